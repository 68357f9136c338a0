#include "app/edit_commands.h"

#include <array>
#include <utility>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/window_rules.h"
#include "platform/paths.h"
#include "platform/text_util.h"
#include "tools/bg_commands.h"
#include "tools/element_edit.h"

namespace qb {

namespace {

bool StageRuns(const AppState& state) {
    return state.bRunning == 1 && !state.Window.StageLoading;
}

// The menu captions are given in Chinese, as every caption of the menus is (translated for the
// English menus); the kinds' names in the same order as EditKind.
constexpr std::array<const char*, 6> kKindCaptions = {"移动",     "更新",     "更改顺序",
                                                      "更改图层", "复制元素", "删除元素"};

std::string KindCaption(const char* verb, const std::optional<EditKind>& kind) {
    if (!kind) return {};
    return std::string(verb) + kKindCaptions[static_cast<size_t>(*kind)];
}

// After an undo or redo: the boxes, the caption and the picture follow the stage as it is now.
void ShowUndone(AppState& state, bool done) {
    if (!done) return;
    EditState& edit = state.Edit;
    ShowStuff(state.Stage, edit.Fields);
    if (edit.SelectedElement >= 0) ShowElement(state.Stage, edit.SelectedElement, edit.Fields, &edit);
    if (state.ports.ui)
        state.ports.ui->SetCaption(edit.SelectedElement >= 0
                                       ? ElementCaption(state.Stage, edit.SelectedElement)
                                       : StageCaption(state.Stage.StageName));
    state.Frame.Retained.Forget();
}

void PreviewChanged(AppState& state) {
    // A kept modern picture would keep showing what was hidden.
    state.Frame.Retained.Forget();
}

bool ElementIndex(const AppState& state, int16_t index) {
    return index >= 0 && static_cast<size_t>(index) < state.Stage.Elements.size();
}

}  // namespace

bool CanUndo(const AppState& state) {
    return StageRuns(state) && state.Edit.History.NextUndo().has_value();
}

bool CanRedo(const AppState& state) {
    return StageRuns(state) && state.Edit.History.NextRedo().has_value();
}

std::string UndoCaption(const AppState& state) {
    return KindCaption("撤销", state.Edit.History.NextUndo());
}

std::string RedoCaption(const AppState& state) {
    return KindCaption("重做", state.Edit.History.NextRedo());
}

void mnuUndo_Click(AppState& state) {
    if (StageRuns(state)) ShowUndone(state, state.Edit.History.Undo(state.Stage, state.Edit));
}

void mnuRedo_Click(AppState& state) {
    if (StageRuns(state)) ShowUndone(state, state.Edit.History.Redo(state.Stage, state.Edit));
}

void SelectListedElement(AppState& state, int16_t index) {
    if (!StageRuns(state) || !ElementIndex(state, index)) return;
    EditState& edit = state.Edit;
    if (edit.History.Pending()) edit.History.Commit(state.Stage, edit);
    EndDrag(edit);
    edit.SelectedElement = index;
    ShowElement(state.Stage, index, edit.Fields, &edit);
    if (state.ports.ui) state.ports.ui->SetCaption(ElementCaption(state.Stage, index));
}

void SetElementHidden(AppState& state, int16_t index, bool on) {
    if (!ElementIndex(state, index)) return;
    state.Edit.Preview.SetHidden(static_cast<size_t>(index), on);
    PreviewChanged(state);
}

void SetElementSolo(AppState& state, int16_t index, bool on) {
    if (!ElementIndex(state, index)) return;
    state.Edit.Preview.SetSolo(static_cast<size_t>(index), on);
    PreviewChanged(state);
}

void SetLayerHidden(AppState& state, ElementLayer layer, bool on) {
    state.Edit.Preview.LayerHidden[static_cast<size_t>(layer)] = on ? 1 : 0;
    PreviewChanged(state);
}

void SetLayerSolo(AppState& state, ElementLayer layer, bool on) {
    state.Edit.Preview.LayerSolo[static_cast<size_t>(layer)] = on ? 1 : 0;
    PreviewChanged(state);
}

bool OpenProblemLine(AppState& state, size_t textLine) {
    const Problem* problem = ProblemAtTextLine(state.Log, textLine);
    if (problem == nullptr || problem->line <= 0) return false;
    // A line number is a line of the definition: the entry's own file when it names one, else the
    // stage's.
    std::string file = problem->file;
    if (file.empty() || !text::Lower(FileNameOf(file)).ends_with(".def")) file = state.StageFile;
    if (file.empty() || !state.ports.ui) return false;
    if (!state.ports.ui->OpenInTextEditorAt(ResolvePath(file), problem->line)) {
        TextEditorFailed(state);
        return false;
    }
    return true;
}

}  // namespace qb

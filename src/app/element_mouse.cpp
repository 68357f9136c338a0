#include "app/element_mouse.h"

#include <algorithm>

#include "app/app_state.h"
#include "app/window_rules.h"
#include "platform/text_util.h"
#include "render/camera.h"
#include "tools/bg_commands.h"
#include "tools/element_edit.h"

namespace qb {

namespace {

void Caption(AppState& state, const std::string& caption) {
    if (state.ports.ui) state.ports.ui->SetCaption(caption);
}

// A stage being loaded is not in the state yet (bRunning is set when it is installed).
bool StageReady(const AppState& state) {
    return state.bRunning == 1;
}

// A drag ends: what it moved becomes one step of the editor's history (none when it moved nothing).
void EndEdit(AppState& state) {
    if (state.Edit.History.Pending()) state.Edit.History.Commit(state.Stage, state.Edit);
    EndDrag(state.Edit);
}

}  // namespace

void StageMouseDown(AppState& state, MouseButton button, int x, int y) {
    if (!StageReady(state) || button == MouseButton::Other) return;
    if (!state.Window.BgEditorShown) {
        ClearSelection(state);
        state.Window.Panning = button == MouseButton::Left;
        state.Window.PanX = x;
        state.Window.PanY = y;
        return;
    }
    const int16_t hit = button == MouseButton::Left ? ElementAt(state.Stage, state.Frame, x, y) : int16_t{-1};
    if (hit < 0) {
        ClearSelection(state);
        return;
    }
    state.Edit.SelectedElement = hit;
    ShowElement(state.Stage, hit, state.Edit.Fields, &state.Edit);
    Caption(state, ElementCaption(state.Stage, hit));
    // A zoomed element's position moves by its zoom on the picture: the drag divides by it too.
    const double zoom = static_cast<size_t>(hit) < state.Frame.Drawn.size() ? state.Frame.Drawn[hit].zoom : 1.0;
    const double perUnit = state.Target.PixelsPerUnit() * zoom;
    BeginDrag(state.Stage, state.Edit, hit, x, y, perUnit, perUnit);
    // The whole drag is one step: taken here, recorded when the button is let go.
    state.Edit.History.Begin(EditKind::Move, state.Stage, state.Edit);
}

void StageMouseMove(AppState& state, int x, int y) {
    if (!StageReady(state)) return;
    if (state.Window.Panning) {
        // Picture pixels to stage units: a hires picture has two a unit, and zoomed in each unit
        // covers `zoom` times as many.
        const double perUnit =
            std::max(1, state.Target.PixelsPerUnit()) * static_cast<double>(state.Camera.Zoom);
        if (perUnit > 0)
            PanCamera(state.Stage, state.Camera, (x - state.Window.PanX) / perUnit,
                      (y - state.Window.PanY) / perUnit);
        state.Window.PanX = x;
        state.Window.PanY = y;
        return;
    }
    if (!DragTo(state.Stage, state.Edit, x, y)) return;
    const BgElement& element = state.Stage.Elements[state.Edit.DragIndex];
    state.Edit.Fields.txtXpos = text::NumberText(element.BaseX);
    state.Edit.Fields.txtYpos = text::NumberText(element.BaseY);
}

void StageMouseUp(AppState& state, MouseButton button) {
    (void)button;  // releasing any button ends a drag
    EndEdit(state);
    state.Window.Panning = false;
}

void BgEditorShown(AppState& state, bool shown) {
    state.Window.BgEditorShown = shown;
    state.Window.Panning = false;
    if (!shown) ClearSelection(state);
}

bool ClearSelection(AppState& state) {
    EndEdit(state);
    if (state.Edit.SelectedElement < 0) return false;
    state.Edit.SelectedElement = -1;
    if (StageReady(state)) Caption(state, StageCaption(state.Stage.StageName));
    return true;
}

}  // namespace qb

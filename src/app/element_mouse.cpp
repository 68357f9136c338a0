#include "app/element_mouse.h"

#include "app/app_state.h"
#include "render/camera.h"
#include "render/element_edit.h"

namespace qb {

namespace {

void Caption(AppState& state, const std::string& caption) {
    if (state.ports.ui) state.ports.ui->SetCaption(caption);
}

bool StageReady(const AppState& state) {
    return state.bRunning == 1 && state.Stage.LoadPhase == 0;
}

}  // namespace

void StageMouseDown(AppState& state, MouseButton button, int x, int y) {
    if (!StageReady(state) || button == MouseButton::Other) return;
    const int16_t hit = button == MouseButton::Left ? ElementAt(state.Stage, x, y) : int16_t{-1};
    if (hit < 0) {
        EndDrag(state.Frame);
        if (state.SelectedElement >= 0) {
            state.SelectedElement = -1;
            Caption(state, state.Stage.StageName);
        }
        return;
    }
    state.SelectedElement = hit;
    Caption(state, ElementCaption(state.Stage, hit));
    BeginDrag(state.Stage, state.Frame, hit, x, y);
}

void StageMouseMove(AppState& state, int x, int y) {
    if (!StageReady(state)) return;
    if (!DragTo(state.Stage, state.Frame, x, y)) return;
    const BgElement& element = state.Stage.Elements[state.Frame.DragIndex];
    state.BgFields.txtXpos = NumberText(element.BaseX);
    state.BgFields.txtYpos = NumberText(element.BaseY);
}

void StageMouseUp(AppState& state, MouseButton button) {
    (void)button;  // releasing any button ends a drag
    EndDrag(state.Frame);
}

}  // namespace qb

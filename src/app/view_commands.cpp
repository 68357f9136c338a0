#include "app/view_commands.h"

#include <cmath>

#include "app/app_state.h"
#include "app/commands.h"
#include "render/camera.h"

namespace qb {

namespace {
bool StageRuns(const AppState& state) {
    return state.Window.Loaded && state.bRunning == 1;
}
bool HasZoomRange(const AppState& state) {
    return state.Camera.ZoomIn != state.Camera.ZoomOut;
}
}  // namespace

void ShowNotice(AppState& state, const std::string& text) {
    if (state.ports.ui) state.ports.ui->SetCaption(text);
    state.Window.NoticeShown = true;
    state.Window.NoticeUntil = state.ports.clock ? state.ports.clock->TickCount() + kNoticeMs : 0;
}

void ZoomStep(AppState& state, int steps) {
    if (!StageRuns(state) || steps == 0) return;
    if (!HasZoomRange(state)) {
        ShowNotice(state, kNoZoomRangeNotice);
        return;
    }
    SetZoom(state.Stage, state.Camera, state.Camera.Zoom * std::pow(kZoomStepFactor, steps));
}

void ResetCameraZoom(AppState& state) {
    if (!StageRuns(state)) return;
    if (!HasZoomRange(state)) {
        ShowNotice(state, kNoZoomRangeNotice);
        return;
    }
    SetZoom(state.Stage, state.Camera, state.Camera.StartZoom);
}

void TellZoomWithoutRange(AppState& state) {
    if (!state.Camera.ZoomWithoutRange) return;
    state.Camera.ZoomWithoutRange = false;
    ShowNotice(state, kNoZoomRangeNotice);
}

}  // namespace qb

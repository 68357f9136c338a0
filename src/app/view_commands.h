#pragma once
// The view's commands beside the scale: the camera's zoom steps from the menu, and the notice a
// zoom key gets on a stage that cannot zoom.
#include <string>

namespace qb {

struct AppState;

// Shown in the caption when a zoom key, the wheel or a zoom item meets a stage whose [Camera] sets
// no zoom range: without it the keys would seem broken.
inline constexpr const char* kNoZoomRangeNotice =
    "This stage does not zoom: its [Camera] has no zoomin/zoomout range.";

// Shows `text` in the caption for kNoticeMs, then the stage's caption again (ExpireNotice).
void ShowNotice(AppState& state, const std::string& text);
// Zooms the camera of the running stage by `steps` key steps (in: positive), as + and - do; on a
// stage without a zoom range it says so instead.
void ZoomStep(AppState& state, int steps);
// The camera's zoom back to the stage's startzoom (Ctrl+0); the same notice without a range.
void ResetCameraZoom(AppState& state);
// Once a pass: tells the user of a zoom key that met a stage without a range (CameraState).
void TellZoomWithoutRange(AppState& state);

}  // namespace qb

#pragma once
// The camera: keys and mouse scrolling within the stage's bounds.
#include <cstdint>

#include "platform/ports.h"
#include "render/camera_state.h"
#include "render/frame.h"
#include "stage/stage_model.h"

namespace qb {

// Arrow keys (within the bounds), the Z and A step keys (at most once per 150 ms), mouse scrolling
// while camera.MouseScroll is 255, and the Delete key (recorded in frame.DeleteRequested, except
// while an element is selected or the key that just removed one is still held). Polled at the end
// of every element pass.
// `hook` (may be null) may claim the Delete key.
void CameraKeys(StageModel& stage, CameraState& camera, FrameState& frame, Keys& keys, Clock& clock,
                ElementPassHook* hook = nullptr);

// The mouse-scroll command: toggles MouseScroll, saving the steps when it goes on and restoring them
// (a restored 0 becoming 1) when it goes off. Answers the new state.
bool ToggleMouseScroll(CameraState& camera);

}  // namespace qb

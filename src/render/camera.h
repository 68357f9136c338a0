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
// `arrows` says which arrow keys are the camera's; `hook` (may be null) may claim the Delete key.
void CameraKeys(StageModel& stage, CameraState& camera, FrameState& frame, Keys& keys, Clock& clock,
                CameraArrows arrows, ElementPassHook* hook = nullptr);

// Picture pixels per stage unit as mouse scrolling reads the pointer: 2 on a hires stage's picture,
// 1 otherwise.
int ScrollPixelsPerUnit(const StageModel& stage);

// The mouse-scroll command: toggles MouseScroll, saving the steps when it goes on and restoring them
// (a restored 0 becoming 1) when it goes off; the horizontal one goes back to the test character's
// pace while the character still sets it. Answers the new state.
bool ToggleMouseScroll(CameraState& camera);

// The test character sets the horizontal step to its walking speed, so that the camera keeps pace
// with it; the user's step is kept aside (once, however often the character starts).
void SetCharCamStep(CameraState& camera, float walkSpeed);
// The character left: the user's horizontal step comes back (a kept 0 as 1), unless mouse scrolling
// still sets it. Nothing happens when the character did not set it.
void ReleaseCharCamStep(CameraState& camera);

// The steps the user chose (configuration, Z and A): the working step, or the kept one while mouse
// scrolling or the test character sets it. These are what the configuration keeps.
float UserHCamStep(const CameraState& camera);
float UserVCamStep(const CameraState& camera);

}  // namespace qb

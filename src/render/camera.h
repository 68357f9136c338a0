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

// Zoom. The stage's zoomout, zoomin and startzoom come from hand-written files: each is taken into
// [kMinZoom, kMaxZoom] (0, negative and NaN become 1), zoomin below zoomout is raised to it and
// startzoom is clamped between them.
inline constexpr float kMinZoom = 1.0f / 16;
inline constexpr float kMaxZoom = 16.0f;
struct ZoomRange {
    float out = 1, in = 1, start = 1;
};
ZoomRange NormaliseZoomRange(float zoomOut, float zoomIn, float startZoom);
// Takes the stage's range into the camera (classic stages: 1, 1, 1, and the zoom controls do
// nothing), with the view's half width in stage units. `keepZoom` keeps the zoom the camera had
// (a reload), clamped to the new range; otherwise the stage opens at startzoom.
void ApplyZoomRange(const StageModel& stage, CameraState& camera, bool keepZoom);
// How far the camera's centre may pass boundleft and boundright at the camera's zoom: the bounds
// describe the fully zoomed-out view, so zoomed in the view's outer edge reaches the same place.
double ZoomBoundSlack(const CameraState& camera);
// Sets the zoom (clamped to the range) and pulls the camera back within the bounds of the new zoom,
// moving the elements with it as a camera move would.
void SetZoom(StageModel& stage, CameraState& camera, double zoom);
// A drag of the view moves the camera by (dx, dy) stage units the other way (the picture follows the
// pointer), within the bounds the keys keep (a camera already past one is not pulled back). The
// elements move with it at once, by delta times the move, so that the element pass does not move
// them again. Answers whether the camera moved.
bool PanCamera(StageModel& stage, CameraState& camera, double dx, double dy);
// Moves the camera by (moveX, moveY) in its own units (CameraX grows leftwards) and the elements
// with it at once, by delta times the move, so that the element pass does not move them again.
void ShiftCamera(StageModel& stage, CameraState& camera, float moveX, float moveY);
// The zoom keys and the mouse wheel step the zoom by this factor.
inline constexpr double kZoomStepFactor = 1.1;

}  // namespace qb

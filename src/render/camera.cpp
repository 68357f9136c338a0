#include "render/camera.h"

#include <algorithm>
#include <cmath>

#include "platform/gfx.h"
#include "platform/text_util.h"
#include "render/draw_modern.h"
#include "stage/stage_version.h"

namespace qb {

namespace {

constexpr int kStepKeyRepeatMs = 150;

// Zoomed in, the camera may pass each horizontal bound by the slack (0 at zoom 1 of a stage that
// does not zoom out, so the classic test is unchanged there).
void MoveRight(const StageModel& stage, CameraState& camera) {
    const double slack = ZoomBoundSlack(camera);
    if (slack == 0) {
        if (stage.BoundRight >= camera.HCamStep - camera.CameraX) camera.CameraX -= camera.HCamStep;
    } else if (stage.BoundRight + slack >= static_cast<double>(camera.HCamStep) - camera.CameraX) {
        camera.CameraX -= camera.HCamStep;
    }
}
void MoveLeft(const StageModel& stage, CameraState& camera) {
    const double slack = ZoomBoundSlack(camera);
    if (slack == 0) {
        if (!(stage.BoundLeft > -camera.CameraX - camera.HCamStep)) camera.CameraX += camera.HCamStep;
    } else if (!(stage.BoundLeft - slack > -static_cast<double>(camera.CameraX) - camera.HCamStep)) {
        camera.CameraX += camera.HCamStep;
    }
}

float NormaliseOneZoom(float z) {
    if (!(z > 0)) return 1;  // 0, negative, NaN
    return std::clamp(z, kMinZoom, kMaxZoom);
}

// The zoom keys (main keyboard and keypad; the keypad's while no element is selected, the editor
// owns them then) and the wheel, in steps of kZoomStepFactor.
void ZoomKeys(StageModel& stage, CameraState& camera, Keys& keys, int64_t now, bool padKeys) {
    const int wheel = keys.WheelSteps();
    bool in = keys.Pressed(Key::ZoomIn);
    bool out = keys.Pressed(Key::ZoomOut);
    if (padKeys) {
        in = keys.Pressed(Key::NumPlus) || in;
        out = keys.Pressed(Key::NumMinus) || out;
    }
    int steps = std::clamp(wheel, -64, 64);
    if ((in || out) && (now - camera.LastZoomKeyTick >= kStepKeyRepeatMs || now < camera.LastZoomKeyTick)) {
        steps += in ? 1 : -1;
        camera.LastZoomKeyTick = now;
    }
    if (steps != 0 && camera.ZoomIn != camera.ZoomOut)
        SetZoom(stage, camera, camera.Zoom * std::pow(kZoomStepFactor, steps));
    else if (steps != 0)
        camera.ZoomWithoutRange = true;
}
void MoveUp(const StageModel& stage, CameraState& camera) {
    if (!(stage.BoundHigh > camera.CameraY - camera.VCamStep)) camera.CameraY -= camera.VCamStep;
}
void MoveDown(const StageModel& stage, CameraState& camera) {
    if (stage.BoundLow >= camera.CameraY + camera.VCamStep) camera.CameraY += camera.VCamStep;
}

}  // namespace

int ScrollPixelsPerUnit(const StageModel& stage) {
    return IsModernStage(stage) ? ModernPlacementFor(stage).scale : 1;
}

void CameraKeys(StageModel& stage, CameraState& camera, FrameState& frame, Keys& keys, Clock& clock,
                CameraArrows arrows, ElementPassHook* hook) {
    bool charOff = arrows == CameraArrows::All;
    bool horizontal = arrows != CameraArrows::None;
    // Every key is read each pass (so a press latched since the last poll is consumed), whether or
    // not it may act now.
    bool right = keys.Pressed(Key::Right);
    bool left = keys.Pressed(Key::Left);
    bool up = keys.Pressed(Key::Up);
    bool down = keys.Pressed(Key::Down);
    if (right && horizontal) MoveRight(stage, camera);
    if (left && horizontal) MoveLeft(stage, camera);
    if (up && charOff) MoveUp(stage, camera);
    if (down && charOff) MoveDown(stage, camera);
    if (hook && hook->OwnsDeleteKey(stage, keys)) {
        // Read by the hook's own keys.
    } else if (keys.Pressed(Key::Delete)) {
        frame.DeleteRequested = true;
    }

    int64_t now = clock.TickCount();
    ZoomKeys(stage, camera, keys, now, !(hook && hook->OwnsPadKeys(stage)));
    if (now - frame.LastStepKeyTick >= kStepKeyRepeatMs || now < frame.LastStepKeyTick) {
        if (keys.Pressed(Key::Z)) {
            if (charOff) {
                camera.HCamStep -= 0.5f;
                if (camera.HCamStep <= 0) camera.HCamStep = 0.5f;
            }
            camera.VCamStep -= 0.5f;
            if (camera.VCamStep <= 0) camera.VCamStep = 0.5f;
            frame.LastStepKeyTick = now;
        } else if (keys.Pressed(Key::A)) {
            if (charOff) {
                camera.HCamStep += 0.5f;
                if (camera.HCamStep >= 10) camera.HCamStep = 10;
            }
            camera.VCamStep += 0.5f;
            if (camera.VCamStep >= 10) camera.VCamStep = 10;
            frame.LastStepKeyTick = now;
        }
    }

    if (camera.MouseScroll == 255) {
        // Pointer positions come in picture pixels (the window's scale is already taken out). The
        // step is worked out from the pointer's distance to the centre in stage units, so a hires
        // picture (two pixels a unit) scrolls as fast per unit of pointer travel as any other.
        auto [x, y] = keys.PointerPos();
        const double width = camera.ViewRight, height = camera.ViewBottom;
        if (x > 0 && x < width && y > 0 && y < height) {
            const float startX = camera.CameraX, startY = camera.CameraY;
            const double unitPixels = std::max(1, ScrollPixelsPerUnit(stage));
            const double offX = (x - width / 2) / unitPixels, offY = (y - height / 2) / unitPixels;
            if (offY < 0) {
                camera.VCamStep = static_cast<float>(std::fabs(offY / 40));
                MoveUp(stage, camera);
            } else if (offY > 0) {
                camera.VCamStep = static_cast<float>(offY / 40);
                MoveDown(stage, camera);
            }
            if (offX < 0) {
                camera.HCamStep = static_cast<float>(std::fabs(offX / 10));
                MoveLeft(stage, camera);
            } else if (offX > 0) {
                camera.HCamStep = static_cast<float>(offX / 10);
                MoveRight(stage, camera);
            }
            camera.ScrollTravelX += camera.CameraX - startX;
            camera.ScrollTravelY += camera.CameraY - startY;
        }
    }
}

bool ToggleMouseScroll(CameraState& camera) {
    const bool horizontalKept = camera.CharSetsHStep;  // the character already kept the user's step
    camera.MouseScroll = static_cast<uint8_t>(~camera.MouseScroll);
    if (camera.MouseScroll == 255) {
        if (!horizontalKept) camera.SavedHCamStep = camera.HCamStep;
        camera.SavedVCamStep = camera.VCamStep;
    } else {
        camera.HCamStep = horizontalKept               ? camera.CharHCamStep
                          : camera.SavedHCamStep == 0 ? 1.0f
                                                       : camera.SavedHCamStep;
        camera.VCamStep = camera.SavedVCamStep == 0 ? 1.0f : camera.SavedVCamStep;
    }
    return camera.MouseScroll == 255;
}

void SetCharCamStep(CameraState& camera, float walkSpeed) {
    if (!camera.CharSetsHStep && camera.MouseScroll != 255) camera.SavedHCamStep = camera.HCamStep;
    camera.CharSetsHStep = true;
    camera.CharHCamStep = walkSpeed;
    camera.HCamStep = walkSpeed;
}

void ReleaseCharCamStep(CameraState& camera) {
    if (!camera.CharSetsHStep) return;
    camera.CharSetsHStep = false;
    if (camera.MouseScroll != 255) camera.HCamStep = camera.SavedHCamStep == 0 ? 1.0f : camera.SavedHCamStep;
}

float UserHCamStep(const CameraState& camera) {
    return camera.CharSetsHStep || camera.MouseScroll == 255 ? camera.SavedHCamStep : camera.HCamStep;
}

float UserVCamStep(const CameraState& camera) {
    return camera.MouseScroll == 255 ? camera.SavedVCamStep : camera.VCamStep;
}

ZoomRange NormaliseZoomRange(float zoomOut, float zoomIn, float startZoom) {
    ZoomRange range;
    range.out = NormaliseOneZoom(zoomOut);
    range.in = std::max(NormaliseOneZoom(zoomIn), range.out);
    range.start = std::clamp(NormaliseOneZoom(startZoom), range.out, range.in);
    return range;
}

void ApplyZoomRange(const StageModel& stage, CameraState& camera, bool keepZoom) {
    const float kept = camera.Zoom;
    // Every stage zooms within its range, classic ones included (the 1.1 engine zooms them too).
    const ZoomRange range = NormaliseZoomRange(stage.ZoomOut, stage.ZoomIn, stage.StartZoom);
    if (IsModernStage(stage)) {
        const ModernPlacement place = ModernPlacementFor(stage);
        camera.ViewHalfUnits = static_cast<float>(ModernPictureSize(stage).width) / static_cast<float>(place.scale) / 2;
    } else {
        camera.ViewHalfUnits = kViewWidth / 2;
    }
    camera.ZoomOut = range.out;
    camera.ZoomIn = range.in;
    camera.StartZoom = range.start;
    // No pull here: a camera that starts outside the bounds stays where the stage puts it, as it
    // always did; only a change of zoom pulls it in.
    camera.Zoom = keepZoom && kept > 0 ? std::clamp(kept, range.out, range.in) : range.start;
}

double ZoomBoundSlack(const CameraState& camera) {
    if (camera.Zoom == camera.ZoomOut) return 0;
    return static_cast<double>(camera.ViewHalfUnits) * (1.0 / camera.ZoomOut - 1.0 / camera.Zoom);
}

void SetZoom(StageModel& stage, CameraState& camera, double zoom) {
    if (!(zoom > 0)) zoom = camera.StartZoom;
    const float before = camera.Zoom;
    camera.Zoom = static_cast<float>(std::clamp(zoom, static_cast<double>(camera.ZoomOut),
                                                static_cast<double>(camera.ZoomIn)));
    // Zooming out narrows the camera's travel: a camera past the new limits comes back to them.
    // Elements follow the camera step by step in the element pass, so the pull moves them here
    // by delta times its length (as the reload does), and the previous position moves along.
    if (camera.Zoom == before) return;
    const double slack = ZoomBoundSlack(camera);
    const double shown = -static_cast<double>(camera.CameraX);
    const double low = stage.BoundLeft - slack, high = stage.BoundRight + slack;
    if (low > high) return;  // crossed bounds: the keys never move such a camera either
    const double target = std::clamp(shown, low, high);
    if (target == shown) return;
    const float newX = static_cast<float>(-target);
    const float dx = newX - camera.CameraX;
    const auto layerDx = static_cast<float>(dx * LayerCameraScale(stage));
    for (BgElement& e : stage.Elements) {
        if (e.Type == "parallax") continue;
        e.PosX += e.DeltaX * layerDx;
    }
    camera.CameraX = newX;
    camera.PrevCameraX += dx;
}

namespace {
// `value` moved toward `target` but no further out than [low, high] (or where it already is).
double ClampMove(double value, double target, double low, double high) {
    if (low > high) return value;  // crossed bounds: the keys never move such a camera either
    return std::clamp(target, std::min(low, value), std::max(high, value));
}
}  // namespace

void ShiftCamera(StageModel& stage, CameraState& camera, float moveX, float moveY) {
    if (!std::isfinite(moveX) || !std::isfinite(moveY) || (moveX == 0 && moveY == 0)) return;
    const double follow = LayerCameraScale(stage);
    for (BgElement& e : stage.Elements) {
        if (e.Type != "parallax") e.PosX += e.DeltaX * static_cast<float>(moveX * follow);
        e.PosY -= e.DeltaY * static_cast<float>(moveY * follow);
    }
    camera.CameraX += moveX;
    camera.CameraY += moveY;
    camera.PrevCameraX += moveX;
    camera.PrevCameraY += moveY;
}

bool PanCamera(StageModel& stage, CameraState& camera, double dx, double dy) {
    if (!std::isfinite(dx) || !std::isfinite(dy)) return false;
    const double slack = ZoomBoundSlack(camera);
    const double shownX = -static_cast<double>(camera.CameraX);
    const double newShownX =
        ClampMove(shownX, shownX - dx, stage.BoundLeft - slack, stage.BoundRight + slack);
    const double newY = ClampMove(camera.CameraY, camera.CameraY - dy, stage.BoundHigh, stage.BoundLow);
    const float moveX = static_cast<float>(-newShownX) - camera.CameraX;
    const float moveY = static_cast<float>(newY) - camera.CameraY;
    if (moveX == 0 && moveY == 0) return false;
    ShiftCamera(stage, camera, moveX, moveY);
    // The test character stands on the stage: it moves on screen with it, as under mouse scrolling.
    camera.ScrollTravelX += moveX;
    camera.ScrollTravelY += moveY;
    return true;
}

}  // namespace qb

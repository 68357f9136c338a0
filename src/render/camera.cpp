#include "render/camera.h"

#include <algorithm>
#include <cmath>

#include "platform/text_util.h"
#include "render/draw_modern.h"

namespace qb {

namespace {

constexpr int kStepKeyRepeatMs = 150;

void MoveRight(const StageModel& stage, CameraState& camera) {
    if (stage.BoundRight >= camera.HCamStep - camera.CameraX) camera.CameraX -= camera.HCamStep;
}
void MoveLeft(const StageModel& stage, CameraState& camera) {
    if (!(stage.BoundLeft > -camera.CameraX - camera.HCamStep)) camera.CameraX += camera.HCamStep;
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

}  // namespace qb

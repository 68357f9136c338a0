#include "character/fighters.h"

#include <algorithm>
#include <cmath>

#include "character/char_walker.h"
#include "render/camera.h"
#include "render/draw_modern.h"
#include "stage/stage_version.h"

namespace qb {

CameraPlace FollowFighters(const StageModel& stage, double slack, const FramingView& view, const FighterSpan& span,
                           CameraPlace camera) {
    CameraPlace next = camera;
    const double tension = stage.Tension;
    const double reach = std::max(0.0, view.halfWidth - tension);
    const bool pastRight = span.right > camera.x + reach, pastLeft = span.left < camera.x - reach;
    if (span.right - span.left > 2 * reach)
        next.x = (span.left + span.right) / 2;
    else if (pastRight)
        next.x = span.right - reach;
    else if (pastLeft)
        next.x = span.left + reach;
    const double low = stage.BoundLeft - slack, high = stage.BoundRight + slack;
    if (low <= high) next.x = std::clamp(next.x, low, high);

    if (stage.TensionHigh != -1 && stage.TensionLow != -1) {
        // A player's row in the view: the floor's row, his height, less the camera's rise.
        const double highRow = view.floorRow + span.highest - camera.y;
        const double lowRow = view.floorRow + span.lowest - camera.y;
        if (highRow < stage.TensionHigh)
            next.y = view.floorRow + span.highest - stage.TensionHigh;
        else if (view.rows - lowRow < stage.TensionLow)
            next.y = view.floorRow + span.lowest - view.rows + stage.TensionLow;
    } else {
        const double height = std::max(0.0, -span.highest - stage.FloorTension);
        next.y = -height * stage.VerticalFollow;
    }
    if (stage.BoundHigh <= stage.BoundLow) next.y = std::clamp<double>(next.y, stage.BoundHigh, stage.BoundLow);
    if (!std::isfinite(next.x)) next.x = camera.x;
    if (!std::isfinite(next.y)) next.y = camera.y;
    return next;
}

namespace {

// How many of the stage's units one of the character's own makes (a 320-wide character on a
// 1280-wide stage walks and jumps four times as far a tick).
double CharScaleOn(const StageModel& stage, const TestCharacter& ch) {
    const double stageWidth = IsModernStage(stage) ? ModernPictureSize(stage).width / std::max(1, ModernPlacementFor(stage).scale)
                                                   : kViewWidth;
    return stageWidth / std::max<int16_t>(ch.LocalCoordWidth, 1);
}

// Ticks an action plays before it ends (a frame of time -1 counts once).
int16_t ActionTicks(const TestCharacter& ch, int16_t slot) {
    if (slot < 0 || static_cast<size_t>(slot) >= ch.Actions.size()) return 0;
    int32_t ticks = 0;
    const CharAction& action = ch.Actions[static_cast<size_t>(slot)];
    for (int16_t i = 0; i < action.FrameCount && static_cast<size_t>(i) < action.Frames.size(); ++i)
        ticks += std::max<int16_t>(action.Frames[static_cast<size_t>(i)].Time, 1);
    return static_cast<int16_t>(std::min(ticks, 32767));
}

void StartAction(TestCharacter& ch, int16_t slot) {
    if (ch.ActionSlot == slot) return;
    ch.ActionSlot = slot;
    ch.FrameIndex = 0;
    const CharFrame* f = CharFrameAt(ch, slot, 0);
    ch.FrameTime = f ? f->Time : 0;
    // Turning, taking off and landing play once; the others loop.
    ch.SlotTicks = slot == kSlotTurn || slot == kSlotJumpStart || slot == kSlotLand ? ActionTicks(ch, slot) : 0;
}

bool HasFrames(const TestCharacter& ch, int16_t slot) {
    return CharFrameAt(ch, slot, 0) != nullptr;
}

// What a grounded character does next: turn when his facing changed (and he has a turn), else walk
// or stand.
void GroundAction(TestCharacter& ch, bool walking, bool turned) {
    if (turned && ch.CanTurn != 0 && HasFrames(ch, kSlotTurn)) {
        StartAction(ch, kSlotTurn);
        return;
    }
    if (ch.ActionSlot == kSlotTurn || ch.ActionSlot == kSlotLand) {
        if (ch.SlotTicks > 0) return;  // still playing
    }
    StartAction(ch, walking ? kSlotWalk : kSlotStand);
}

void Fall(TestCharacter& ch, double scale) {
    const float accel = ch.YAccel > 0 ? ch.YAccel : kDefaultYAccel;
    ch.StageY += ch.VelY;
    ch.VelY += static_cast<float>(accel * scale);
    if (ch.StageY < 0) return;
    ch.StageY = 0;
    ch.VelY = 0;
    ch.Airborne = false;
    StartAction(ch, HasFrames(ch, kSlotLand) ? kSlotLand : kSlotStand);
}

}  // namespace

void StartFighters(CharState& chars, const StageModel& stage, const CameraState& camera) {
    const double follow = LayerCameraScale(stage);
    chars.CamOriginX = static_cast<float>(-camera.CameraX * follow);
    chars.CamOriginY = static_cast<float>(camera.CameraY * follow);
    chars.GroundY0 = chars.Characters.empty() ? 0 : chars.Characters[0].Y;
    const int16_t startX[2] = {stage.P1StartX, stage.P2StartX};
    const int16_t startY[2] = {stage.P1StartY, stage.P2StartY};
    const int16_t facing[2] = {stage.P1Facing, stage.P2Facing};
    for (size_t i = 0; i < std::min<size_t>(2, chars.Characters.size()); ++i) {
        TestCharacter& ch = chars.Characters[i];
        ch.StageX = startX[i];
        ch.StageY = std::min<float>(startY[i], 0);
        ch.Facing = facing[i] < 0 ? -1 : 1;
        ch.VelY = 0;
        ch.Airborne = ch.StageY < 0;
        ch.Walking = 0;
        ch.ActionSlot = -1;
        StartAction(ch, ch.Airborne && HasFrames(ch, kSlotAir) ? kSlotAir : kSlotStand);
    }
    PlaceFighters(chars, stage, camera);
}

void FightersStep(CharState& chars, StageModel& stage, CameraState& camera, Keys& keys) {
    // Every key is read each frame, so that a press latched since the last read is used up.
    const bool right = keys.Pressed(Key::Right), left = keys.Pressed(Key::Left), up = keys.Pressed(Key::Up);
    if (chars.Characters.size() < 2) return;
    const double follow = LayerCameraScale(stage);
    const double unitPixels = std::max(1, ScrollPixelsPerUnit(stage));
    const double zoom = camera.Zoom > 0 ? camera.Zoom : 1;
    FramingView view;
    view.halfWidth = camera.ViewHalfUnits / zoom;
    view.rows = camera.ViewBottom / unitPixels / zoom;
    view.floorRow = chars.GroundY0;
    CameraPlace cam{-camera.CameraX * follow, camera.CameraY * follow};
    const double viewLeft = cam.x - chars.CamOriginX - view.halfWidth, viewRight = cam.x - chars.CamOriginX + view.halfWidth;

    TestCharacter& p1 = chars.Characters[0];
    TestCharacter& p2 = chars.Characters[1];
    for (TestCharacter* ch : {&p1, &p2}) {
        TestCharacter& other = ch == &p1 ? p2 : p1;
        const double scale = CharScaleOn(stage, *ch);
        if (ch->SlotTicks > 0) --ch->SlotTicks;
        bool walking = false;
        if (ch == &p1 && !ch->Airborne && ch->ActionSlot != kSlotJumpStart) {
            if (up) {
                StartAction(*ch, HasFrames(*ch, kSlotJumpStart) ? kSlotJumpStart : kSlotAir);
            } else if (right != left) {
                ch->StageX += static_cast<float>((right ? 1 : -1) * ch->WalkSpeed * scale);
                walking = true;
            }
        }
        if (ch->ActionSlot == kSlotJumpStart && ch->SlotTicks == 0 && !ch->Airborne) {
            // Off the ground once the take-off has played.
            ch->Airborne = true;
            ch->VelY = static_cast<float>((ch->JumpVelY < 0 ? ch->JumpVelY : kDefaultJumpVelY) * scale);
            StartAction(*ch, kSlotAir);
        } else if (ch->ActionSlot == kSlotAir && !ch->Airborne) {
            ch->Airborne = true;
            ch->VelY = static_cast<float>((ch->JumpVelY < 0 ? ch->JumpVelY : kDefaultJumpVelY) * scale);
        }
        if (ch->Airborne) Fall(*ch, scale);
        // The stage's leftbound and rightbound, and screenleft and screenright inside the view.
        const double lo = std::max<double>(stage.LeftBound, viewLeft + stage.ScreenLeft);
        const double hi = std::min<double>(stage.RightBound, viewRight - stage.ScreenRight);
        if (lo <= hi) ch->StageX = static_cast<float>(std::clamp<double>(ch->StageX, lo, hi));
        // A grounded player turns to face the other.
        bool turned = false;
        if (!ch->Airborne && other.StageX != ch->StageX) {
            const int16_t facing = other.StageX > ch->StageX ? 1 : -1;
            turned = facing != ch->Facing;
            ch->Facing = facing;
        }
        ch->Walking = walking ? -1 : 0;
        if (!ch->Airborne && ch->ActionSlot != kSlotJumpStart) GroundAction(*ch, walking, turned);
    }

    // The rule works in the camera's own units (the layers follow it at `follow`).
    if (!(follow > 0)) return;
    FighterSpan span;
    span.left = (std::min(p1.StageX, p2.StageX) + chars.CamOriginX) / follow;
    span.right = (std::max(p1.StageX, p2.StageX) + chars.CamOriginX) / follow;
    span.highest = std::min(p1.StageY, p2.StageY) / follow;
    span.lowest = std::max(p1.StageY, p2.StageY) / follow;
    const FramingView inCamera{view.halfWidth / follow, view.rows / follow, view.floorRow / follow};
    const CameraPlace from{cam.x / follow, cam.y / follow};
    const CameraPlace next = FollowFighters(stage, ZoomBoundSlack(camera), inCamera, span, from);
    ShiftCamera(stage, camera, static_cast<float>(-(next.x - from.x)), static_cast<float>(next.y - from.y));
}

void PlaceFighters(CharState& chars, const StageModel& stage, const CameraState& camera) {
    const double follow = LayerCameraScale(stage);
    const double camX = -camera.CameraX * follow - chars.CamOriginX;
    const double camY = camera.CameraY * follow - chars.CamOriginY;
    chars.GroundY = static_cast<float>(chars.GroundY0 - camY);
    for (size_t i = 0; i < std::min<size_t>(2, chars.Characters.size()); ++i) {
        TestCharacter& ch = chars.Characters[i];
        ch.X = static_cast<float>(kViewWidth / 2 + ch.StageX - camX);
        ch.Y = static_cast<float>(chars.GroundY + ch.StageY);
    }
}

}  // namespace qb

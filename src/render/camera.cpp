#include "render/camera.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/text_util.h"

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

void CameraKeys(StageModel& stage, CameraState& camera, FrameState& frame, Keys& keys, Clock& clock) {
    bool charOff = frame.CharEnabled != 255;
    bool horizontal = charOff || frame.CameraFollow == 1;
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
    if (frame.EditingElement || frame.DeleteHeldByEdit) {
        // The key belongs to the selected element (read by the editing keys), or it just removed
        // one and is still held: a held key would otherwise go on to delete the whole stage.
        if (frame.DeleteHeldByEdit && !keys.IsDown(Key::Delete)) frame.DeleteHeldByEdit = false;
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
        // The view is the window here: pointer positions come in view pixels.
        auto [x, y] = keys.PointerPos();
        const double width = camera.ViewRight, height = camera.ViewBottom;
        if (x > 0 && x < width && y > 0 && y < height) {
            double cy = height / 2, cx = width / 2;
            if (y < cy) {
                camera.VCamStep = static_cast<float>(std::fabs((y - cy) / 40));
                MoveUp(stage, camera);
            } else if (y > cy) {
                camera.VCamStep = static_cast<float>((y - cy) / 40);
                MoveDown(stage, camera);
            }
            if (x < cx) {
                camera.HCamStep = static_cast<float>(std::fabs((x - cx) / 10));
                MoveLeft(stage, camera);
            } else if (x > cx) {
                camera.HCamStep = static_cast<float>((x - cx) / 10);
                MoveRight(stage, camera);
            }
        }
    }
}

bool ToggleMouseScroll(CameraState& camera) {
    camera.MouseScroll = static_cast<uint8_t>(~camera.MouseScroll);
    if (camera.MouseScroll == 255) {
        camera.SavedHCamStep = camera.HCamStep;
        camera.SavedVCamStep = camera.VCamStep;
    } else {
        camera.HCamStep = camera.SavedHCamStep == 0 ? 1.0f : camera.SavedHCamStep;
        camera.VCamStep = camera.SavedVCamStep == 0 ? 1.0f : camera.SavedVCamStep;
    }
    return camera.MouseScroll == 255;
}

std::string NumberText(double value) {
    if (std::isnan(value)) return "0";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.7g", value);
    std::string text = buffer;
    if (text == "-0") text = "0";
    return text;
}

double BoxValue(const std::string& text) {
    const char* begin = text.c_str();
    while (*begin == ' ' || *begin == '\t') ++begin;
    char* end = nullptr;
    double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) return 0;
    return value;
}

void ShowStuff(const StageModel& stage, BgEditorFields& fields) {
    fields.txtcamleft = NumberText(stage.BoundLeft);
    fields.txtcamright = NumberText(stage.BoundRight);
    fields.txtcamhigh = NumberText(stage.BoundHigh);
    fields.txtcamlow = NumberText(stage.BoundLow);
    fields.txtcamstartx = NumberText(stage.StartX);
    fields.txtcamstarty = NumberText(stage.StartY);
}

void UpdateStuff(StageModel& stage, const BgEditorFields& fields, int16_t SelectedElement) {
    stage.BoundLeft = text::RoundClampPixel(BoxValue(fields.txtcamleft));
    stage.BoundRight = text::RoundClampPixel(BoxValue(fields.txtcamright));
    stage.BoundHigh = text::RoundWrapInt16(BoxValue(fields.txtcamhigh));
    stage.BoundLow = text::RoundWrapInt16(BoxValue(fields.txtcamlow));
    if (SelectedElement < 0 || SelectedElement >= static_cast<int>(stage.Elements.size())) return;
    BgElement& element = stage.Elements[SelectedElement];
    element.TileX = text::RoundClampPixel(BoxValue(fields.txtTileX));
    element.TileY = text::RoundClampPixel(BoxValue(fields.txtTileY));
    element.DeltaX = static_cast<float>(BoxValue(fields.txtDeltaX));
    element.DeltaY = static_cast<float>(BoxValue(fields.txtDeltaY));
    element.VelocityX = static_cast<float>(BoxValue(fields.txtVelX));
    element.VelocityY = static_cast<float>(BoxValue(fields.txtVelY));
    int16_t sprite = text::RoundWrapInt16(BoxValue(fields.txtGfx));
    // The element pass indexes the sprite table with this; a number past the table would read
    // outside it, so such a value marks the element as having no sprite.
    element.SpriteIndex = sprite < static_cast<int>(stage.Sprites.size()) && sprite >= -2 ? sprite : -1;
    element.Mask = fields.chkMask ? 1 : 0;
    element.TileSpacingX = text::RoundClampPixel(BoxValue(fields.txtTileSpcX));
    element.TileSpacingY = text::RoundClampPixel(BoxValue(fields.txtTileSpcY));
    element.Type = fields.txtType;
    int16_t dx = text::RoundWrapInt16(element.BaseX - BoxValue(fields.txtXpos));
    int16_t dy = text::RoundWrapInt16(element.BaseY - BoxValue(fields.txtYpos));
    element.BaseX -= dx;
    element.PosX -= dx;
    element.BaseY -= dy;
    element.PosY -= dy;
}

void AutoBound(const StageModel& stage, BgEditorFields& fields) {
    double minLeft = 32000, maxRight = -32000, minTop = 32000, maxBottom = -32000;
    for (const BgElement& element : stage.Elements) {
        if (element.SpriteIndex < 0 || element.SpriteIndex >= static_cast<int>(stage.Sprites.size()))
            continue;
        const SpriteEntry& sprite = stage.Sprites[element.SpriteIndex];
        double left =
            text::RoundClampPixel(text::RoundWrapInt16(element.StartX - sprite.AxisX + 160) - stage.StartX * element.DeltaX);
        double top = text::RoundClampPixel(text::RoundWrapInt16(element.StartY - sprite.AxisY) - stage.StartY * element.DeltaY);
        minLeft = std::min(minLeft, left);
        maxRight = std::max(maxRight, left + sprite.Width);
        minTop = std::min(minTop, top);
        maxBottom = std::max(maxBottom, top + sprite.Height);
    }
    fields.txtcamleft = NumberText(minLeft);
    fields.txtcamright = NumberText(maxRight - 320);
    fields.txtcamhigh = NumberText(minTop);
    fields.txtcamlow = NumberText(maxBottom - 240);
}

}  // namespace qb

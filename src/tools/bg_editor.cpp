#include "tools/bg_editor.h"

#include <algorithm>

#include "platform/text_util.h"

namespace qb {

void ShowStuff(const StageModel& stage, BgEditorFields& fields) {
    fields.txtcamleft = text::NumberText(stage.BoundLeft);
    fields.txtcamright = text::NumberText(stage.BoundRight);
    fields.txtcamhigh = text::NumberText(stage.BoundHigh);
    fields.txtcamlow = text::NumberText(stage.BoundLow);
    fields.txtcamstartx = text::NumberText(stage.StartX);
    fields.txtcamstarty = text::NumberText(stage.StartY);
}

void UpdateStuff(StageModel& stage, const BgEditorFields& fields, int16_t SelectedElement) {
    stage.BoundLeft = text::RoundClampPixel(text::BoxValue(fields.txtcamleft));
    stage.BoundRight = text::RoundClampPixel(text::BoxValue(fields.txtcamright));
    stage.BoundHigh = text::RoundWrapInt16(text::BoxValue(fields.txtcamhigh));
    stage.BoundLow = text::RoundWrapInt16(text::BoxValue(fields.txtcamlow));
    if (SelectedElement < 0 || SelectedElement >= static_cast<int>(stage.Elements.size())) return;
    BgElement& element = stage.Elements[SelectedElement];
    element.TileX = text::RoundClampPixel(text::BoxValue(fields.txtTileX));
    element.TileY = text::RoundClampPixel(text::BoxValue(fields.txtTileY));
    element.DeltaX = static_cast<float>(text::BoxValue(fields.txtDeltaX));
    element.DeltaY = static_cast<float>(text::BoxValue(fields.txtDeltaY));
    element.VelocityX = static_cast<float>(text::BoxValue(fields.txtVelX));
    element.VelocityY = static_cast<float>(text::BoxValue(fields.txtVelY));
    int16_t sprite = text::RoundWrapInt16(text::BoxValue(fields.txtGfx));
    // The element pass indexes the sprite table with this; a number past the table would read
    // outside it, so such a value marks the element as having no sprite.
    element.SpriteIndex = sprite < static_cast<int>(stage.Sprites.size()) && sprite >= -2 ? sprite : -1;
    element.Mask = fields.chkMask ? 1 : 0;
    element.TileSpacingX = text::RoundClampPixel(text::BoxValue(fields.txtTileSpcX));
    element.TileSpacingY = text::RoundClampPixel(text::BoxValue(fields.txtTileSpcY));
    element.Type = fields.txtType;
    int16_t dx = text::RoundWrapInt16(element.BaseX - text::BoxValue(fields.txtXpos));
    int16_t dy = text::RoundWrapInt16(element.BaseY - text::BoxValue(fields.txtYpos));
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
    fields.txtcamleft = text::NumberText(minLeft);
    fields.txtcamright = text::NumberText(maxRight - 320);
    fields.txtcamhigh = text::NumberText(minTop);
    fields.txtcamlow = text::NumberText(maxBottom - 240);
}

}  // namespace qb

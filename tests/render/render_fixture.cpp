#include "tests/render/render_fixture.h"

namespace qb::test {

TinyStage::TinyStage(int viewWidth, int viewHeight) {
    a_allegro_init();
    backBuffer = CreateBitmap(viewWidth, viewHeight);
    camera.ViewRight = static_cast<int16_t>(viewWidth);
    camera.ViewBottom = static_cast<int16_t>(viewHeight);
    camera.HCamStep = camera.VCamStep = 1;
    stage.BoundLeft = -1000;
    stage.BoundRight = 1000;
    stage.BoundHigh = -1000;
    Clear();
}

int16_t TinyStage::AddSprite(const std::vector<std::string>& rows, int axisX, int axisY) {
    SpriteEntry entry;
    entry.Owned = BitmapFromLayout(rows);
    entry.Bitmap = entry.Owned.get();
    entry.Width = static_cast<int16_t>(BitmapWidth(entry.Bitmap));
    entry.Height = static_cast<int16_t>(BitmapHeight(entry.Bitmap));
    entry.AxisX = static_cast<int16_t>(axisX);
    entry.AxisY = static_cast<int16_t>(axisY);
    entry.Owner = -1;
    entry.Mask = 1;
    stage.Sprites.push_back(std::move(entry));
    stage.SpriteCount = static_cast<int16_t>(stage.Sprites.size());
    return static_cast<int16_t>(stage.Sprites.size() - 1);
}

BgElement& TinyStage::AddElement(const std::string& type, int16_t sprite, float x, float y) {
    BgElement element;
    element.Type = type;
    element.SpriteIndex = sprite;
    element.PosX = element.BaseX = x;
    element.PosY = element.BaseY = y;
    element.Enabled = 1;
    element.Visible = 1;
    element.Mask = 1;
    element.Name = "Element " + std::to_string(stage.Elements.size());
    stage.Elements.push_back(element);
    stage.ElementCount = static_cast<int16_t>(stage.Elements.size());
    return stage.Elements.back();
}

int32_t TinyStage::AddAction(const std::vector<Frame>& frames, int16_t loopStart) {
    BgAction action;
    for (const Frame& f : frames) {
        BgFrame frame;
        frame.SpriteIndex = f.sprite;
        frame.Time = f.time;
        frame.Flip = f.flip;
        frame.Trans = f.trans;
        frame.OffsetX = f.offsetX;
        frame.OffsetY = f.offsetY;
        action.Frames.push_back(frame);
    }
    action.NumFrames = static_cast<int16_t>(action.Frames.size());
    action.LoopStart = loopStart;
    action.Number = static_cast<int32_t>(stage.Actions.size()) + 100;
    stage.Actions.push_back(action);
    stage.ActionCount = static_cast<int16_t>(stage.Actions.size());
    return static_cast<int32_t>(stage.Actions.size() - 1);
}

BgElement& TinyStage::AddAnim(int32_t action, float x, float y) {
    const BgAction& a = stage.Actions[action];
    BgElement& element = AddElement("anim", a.Frames[0].SpriteIndex, x, y);
    element.ActionIndex = action;
    element.FrameIndex = 0;
    element.FrameTime = a.Frames[0].Time;
    element.TileSpacingX = element.TileSpacingY = 1;
    return element;
}

void TinyStage::Clear(char letter) {
    a_clear_to_color(backBuffer.get(), LayoutColor(letter));
}

}  // namespace qb::test

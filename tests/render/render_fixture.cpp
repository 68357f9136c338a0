#include "tests/render/render_fixture.h"

namespace qb::test {

namespace {

struct LetterColor {
    char letter;
    int r, g, b;
};
constexpr LetterColor kLetters[] = {
    {'K', 0, 0, 0},       {'R', 255, 0, 0},   {'G', 0, 255, 0},   {'B', 0, 0, 255},
    {'W', 255, 255, 255}, {'Y', 255, 255, 0}, {'C', 0, 255, 255},
};

}  // namespace

int LayoutColor(char letter) {
    switch (letter) {
        case '.':
            return kMaskColor;
        case 'r':
            return 15 << 11;
        case 'g':
            return 31 << 5;
        case 'b':
            return 15;
        default:
            break;
    }
    for (const auto& l : kLetters)
        if (l.letter == letter) return a_makecol(l.r, l.g, l.b);
    return 0x1234;
}

char ColorLetter(int color) {
    for (char letter : std::string(".KRGBWYCrgb"))
        if (LayoutColor(letter) == color) return letter;
    return '?';
}

UniqueBitmap BitmapFromLayout(const std::vector<std::string>& rows) {
    a_allegro_init();
    int h = static_cast<int>(rows.size());
    int w = h ? static_cast<int>(rows[0].size()) : 0;
    UniqueBitmap bitmap = CreateBitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) a_putpixel(bitmap.get(), x, y, LayoutColor(rows[y][x]));
    return bitmap;
}

std::vector<std::string> Dump(BITMAP* bitmap, int x0, int y0, int w, int h) {
    std::vector<std::string> rows;
    for (int y = y0; y < y0 + h; ++y) {
        std::string row;
        for (int x = x0; x < x0 + w; ++x) row += ColorLetter(a_getpixel(bitmap, x, y));
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> Dump(BITMAP* bitmap) {
    return Dump(bitmap, 0, 0, BitmapWidth(bitmap), BitmapHeight(bitmap));
}

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

#include "render/blit_sprite.h"

#include <gtest/gtest.h>

#include "tests/render/render_fixture.h"

namespace qb {
namespace {

using test::TinyStage;
using Rows = std::vector<std::string>;

int Rgb565(int r5, int g6, int b5) {
    return (r5 << 11) | (g6 << 5) | b5;
}

void Blit(TinyStage& t, int16_t element, int x, int y) {
    const BgElement& e = t.stage.Elements[element];
    const SpriteEntry& s = t.stage.Sprites[e.SpriteIndex];
    BlitSprite(t.stage, t.camera, t.backBuffer.get(), x, y, s.Width, s.Height, e.SpriteIndex, 0, 0, element);
}

// Sprite:  R.     Buffer 4x3 of black; the sprite lands at (1, 1).
//          .G
TEST(BlitSprite, NormalElementsHonourTheirMaskFlag) {
    TinyStage t(4, 3);
    int16_t sprite = t.AddSprite({"R.", ".G"});
    t.AddElement("normal", sprite).Mask = 1;
    Blit(t, 0, 1, 1);
    EXPECT_EQ(t.Dump(), (Rows{"KKKK", "KRKK", "KKGK"}));

    t.Clear();
    t.stage.Elements[0].Mask = 0;  // the first element of a stage is always drawn unmasked
    Blit(t, 0, 1, 1);
    EXPECT_EQ(t.Dump(), (Rows{"KKKK", "KR.K", "K.GK"}));
}

// Background (15, 0, 0) everywhere; a 1x1 sprite of (15, 0, 0) at (0, 0).
TEST(BlitSprite, ElementTransWordsAddHalfAddSubtractOrSkip) {
    struct Case {
        const char* trans;
        int expected;
        int16_t alphaS = -1, alphaD = -1;  // no alpha line
    };
    const Case cases[] = {
        {"add", Rgb565(30, 0, 0)},
        {"add1", Rgb565(23, 0, 0)},  // 15 + 15 * 128/256
        {"sub", Rgb565(0, 0, 0)},
        {"none", Rgb565(15, 0, 0)},
        {"", Rgb565(15, 0, 0)},
        {"addalpha", Rgb565(19, 0, 0), 64, 256},  // 15 * 64/256 + 15
        {"default", Rgb565(15, 0, 0)},            // documented: drawn unblended
        {"bogus", -1},                            // not a mode: nothing is drawn
    };
    for (const Case& c : cases) {
        TinyStage t(2, 1);
        int16_t sprite = t.AddSprite({"r"});
        BgElement& e = t.AddElement("normal", sprite);
        e.Trans = c.trans, e.AlphaS = c.alphaS, e.AlphaD = c.alphaD;
        a_clear_to_color(t.backBuffer.get(), Rgb565(15, 0, 0));
        a_putpixel(t.backBuffer.get(), 0, 0, c.expected == -1 ? Rgb565(1, 2, 3) : Rgb565(15, 0, 0));
        Blit(t, 0, 0, 0);
        int want = c.expected == -1 ? Rgb565(1, 2, 3) : c.expected;
        EXPECT_EQ(a_getpixel(t.backBuffer.get(), 0, 0), want) << "trans " << c.trans;
    }
}

// Background (15, 0, 0); a 1x1 frame of (15, 0, 0) at (0, 0).
TEST(BlitSprite, FrameTransLettersAddHalfAddAndSubtract) {
    struct Case {
        const char* trans;
        int expected;
    };
    const Case cases[] = {
        {"a", Rgb565(30, 0, 0)},        {"a1", Rgb565(23, 0, 0)}, {"s", Rgb565(0, 0, 0)},
        {"as64d192", Rgb565(19, 0, 0)},  // additive by the source amount: 15 * 64 / 255 rounds to 4
        {"as64d0", Rgb565(19, 0, 0)},    // the destination amount changes nothing (yet)
        {"as999d0", Rgb565(30, 0, 0)},   // amounts past 255 add fully
        {"x", Rgb565(15, 0, 0)},         // not a mode: nothing is drawn
        {"asd", Rgb565(15, 0, 0)},      {"sub", Rgb565(0, 0, 0)},  // any word starting with S subtracts
    };
    for (const Case& c : cases) {
        TinyStage t(1, 1);
        int16_t sprite = t.AddSprite({"r"});
        t.AddAnim(t.AddAction({{sprite, 5, "", c.trans}}));
        a_clear_to_color(t.backBuffer.get(), Rgb565(15, 0, 0));
        Blit(t, 0, 0, 0);
        EXPECT_EQ(a_getpixel(t.backBuffer.get(), 0, 0), c.expected) << "trans " << c.trans;
    }
}

// add1 and A1 ("AS256D128") take the whole sprite (15, 0, 0) onto half the background (20, 0, 0).
TEST(BlitSprite, Add1TakesTheWholeSpriteOntoHalfTheBackground) {
    TinyStage t(2, 1);
    int16_t sprite = t.AddSprite({"r"});
    t.AddElement("normal", sprite).Trans = "add1";
    t.AddAnim(t.AddAction({{sprite, 5, "", "a1"}}));
    a_clear_to_color(t.backBuffer.get(), Rgb565(20, 0, 0));
    for (int16_t element : {0, 1}) Blit(t, element, element, 0);
    EXPECT_EQ(a_getpixel(t.backBuffer.get(), 0, 0), Rgb565(25, 0, 0));
    EXPECT_EQ(a_getpixel(t.backBuffer.get(), 1, 0), Rgb565(25, 0, 0));
}

// Sprite RGB / YWC drawn by a flipped frame; BltX, BltY name the mirrored far edges (4, 3).
//   h:  BGR at x 1..3, rows 1..2     v: YWC over RGB at x 4..6, rows 1..2
TEST(BlitSprite, MirroredFramesAreDrawnLeftOfAndAboveTheirPosition) {
    const Rows sprite = {"RGB", "YWC"};
    struct Case {
        const char* flip;
        Rows expected;
    };
    const Case cases[] = {
        {"h", {"KKKKKKK", "KBGRKKK", "KCWYKKK"}},
        {"v", {"KKKKKKK", "KYWCKKK", "KRGBKKK"}},
        {"hv", {"KKKKKKK", "KCWYKKK", "KBGRKKK"}},
        {"vh", {"KKKKKKK", "KCWYKKK", "KBGRKKK"}},
    };
    for (const Case& c : cases) {
        TinyStage t(7, 3);
        int16_t s = t.AddSprite(sprite);
        t.AddAnim(t.AddAction({{s, 5, c.flip, ""}}));
        FlipMode flip = FrameFlip(c.flip);
        int x = flip.h ? 4 : 1;
        int y = flip.v ? 3 : 1;
        Blit(t, 0, x, y);
        EXPECT_EQ(t.Dump(), c.expected) << "flip " << c.flip;
    }
}

// Sprite 4x3 at (1, 1):  RGBW    window (2, 2) to (3, 3) in screen pixels: only its four pixels
//                        YCRG    are drawn, taken from the sprite's (1, 1).
//                        BWYC
TEST(BlitSprite, AWindowClipsPlainAndTranslucentDrawsAlike) {
    const Rows sprite = {"RGBW", "YCRG", "BWYC"};
    TinyStage t(6, 5);
    int16_t s = t.AddSprite(sprite);
    BgElement& e = t.AddElement("normal", s, 1, 1);
    e.HasWindow = 1;
    // (sx, sy) = window corner - sprite corner = (1, 1).
    BlitSprite(t.stage, t.camera, t.backBuffer.get(), 2, 2, 2, 2, s, 1, 1, 0);
    EXPECT_EQ(t.Dump(), (Rows{"KKKKKK", "KKKKKK", "KKCRKK", "KKWYKK", "KKKKKK"}));

    // The same window on an additive element: black + colour = colour, same place, same clip.
    t.Clear();
    t.stage.Elements[0].Trans = "add";
    BlitSprite(t.stage, t.camera, t.backBuffer.get(), 2, 2, 2, 2, s, 1, 1, 0);
    EXPECT_EQ(t.Dump(), (Rows{"KKKKKK", "KKKKKK", "KKCRKK", "KKWYKK", "KKKKKK"}));
}

// A floor of five one-colour rows R G B W Y, 16 wide, on a 16x8 buffer.
Rows FloorSprite() {
    return {std::string(16, 'R'), std::string(16, 'G'), std::string(16, 'B'), std::string(16, 'W'),
            std::string(16, 'Y')};
}

std::string FirstColumn(TinyStage& t) {
    std::string column;
    for (const std::string& row : t.Dump()) column += row[0];
    return column;
}

TEST(BlitSprite, ParallaxRowsFollowTheRowStep) {
    {
        TinyStage t(16, 8);
        int16_t s = t.AddSprite(FloorSprite());
        t.AddElement("parallax", s).Mask = 0;
        Blit(t, 0, 0, 0);
        EXPECT_EQ(FirstColumn(t), "RGBWYKKK");  // one source row per screen row, row h copies nothing
    }
    {
        TinyStage t(16, 8);
        int16_t s = t.AddSprite(FloorSprite());
        BgElement& e = t.AddElement("parallax", s);
        e.Mask = 0;
        e.YScaleStart = 50;  // o = 0, .5, 1, 1.5, ... rounded halves to even: 0 0 1 2 2 2 3 4
        Blit(t, 0, 0, 0);
        EXPECT_EQ(FirstColumn(t), "RRGBBBWY");
    }
    {
        TinyStage t(16, 8);
        int16_t s = t.AddSprite(FloorSprite());
        BgElement& e = t.AddElement("parallax", s);
        e.Mask = 0;
        e.YScaleStart = 0;  // a zero step repeats the first row down to the bottom and ends there
        Blit(t, 0, 0, 2);
        EXPECT_EQ(FirstColumn(t), "KKRRRRRR");
    }
}

// A 32-wide, 4-row floor with a white marker in column 8; camera moved 4 pixels right.
// With xscale 1 -> 2 each row scrolls 1/4 more than the one above: the marker lands at
// x 4, 3, 2, 1 on rows 0..3.
TEST(BlitSprite, ParallaxRowsScrollFasterTowardsTheBottom) {
    Rows sprite(4, std::string(32, 'K'));
    for (auto& row : sprite) row[8] = 'W';
    TinyStage t(16, 4);
    int16_t s = t.AddSprite(sprite);
    BgElement& e = t.AddElement("parallax", s);
    e.Mask = 0;
    e.XScaleTop = 1;
    e.XScaleBottom = 2;
    t.camera.CameraX = -4;
    t.Clear('R');
    Blit(t, 0, 0, 0);
    Rows dump = t.Dump();
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(dump[row].find('W'), static_cast<size_t>(4 - row)) << "row " << row;

    // Equal scales: every row scrolls like the delta.
    t.stage.Elements[0].XScaleBottom = 1;
    Blit(t, 0, 0, 0);
    for (const std::string& row : t.Dump()) EXPECT_EQ(row.find('W'), 4u);
}

// A stage whose camera starts 4 pixels right: loading placed the floor's PosX 4 pixels left like
// every element, and the floor scrolls from CameraX (-4) itself. The marker in column 8 must land
// where a delta-1 element's column 8 lands, at x 4, not 4 pixels further left.
TEST(BlitSprite, AFloorCountsTheCameraStartOnlyOnce) {
    Rows sprite(1, std::string(32, 'K'));
    sprite[0][8] = 'W';
    TinyStage t(16, 1);
    int16_t s = t.AddSprite(sprite);
    BgElement& e = t.AddElement("parallax", s, -4, 0);
    e.Mask = 0;
    t.camera.CamOffsetX = 4;
    t.camera.CameraX = -4;
    Blit(t, 0, -4, 0);
    EXPECT_EQ(t.Dump()[0].find('W'), 4u);
}

// "width = 8, 16" on an 8x2 sprite RRRRGGGG: row 0 keeps 8 pixels, row 1 (half way down) is
// stretched to 12, both about the view's centre column 160.
TEST(BlitSprite, WidthFloorsStretchEachRowBetweenTheTopAndBottomWidths) {
    TinyStage t(320, 2);
    int16_t s = t.AddSprite({"RRRRGGGG", "RRRRGGGG"});
    BgElement& e = t.AddElement("parallax", s);
    e.Mask = 0;
    e.WidthGiven = 1;
    e.XScaleTop = 8;
    e.XScaleBottom = 16;
    Blit(t, 0, 156, 0);
    Rows dump = test::Dump(t.backBuffer.get(), 150, 0, 20, 2);
    EXPECT_EQ(dump[0], "KKKKKKRRRRGGGGKKKKKK");
    EXPECT_EQ(dump[1], "KKKKRRRRRRGGGGGGKKKK");
}

TEST(BlitSprite, SpritesOutsideTheTableOrWithoutABitmapDrawNothing) {
    TinyStage t(2, 2);
    int16_t s = t.AddSprite({"R"});
    t.AddElement("normal", s);
    BlitSprite(t.stage, t.camera, t.backBuffer.get(), 0, 0, 1, 1, 7, 0, 0, 0);
    BlitSprite(t.stage, t.camera, t.backBuffer.get(), 0, 0, 1, 1, -1, 0, 0, 0);
    BlitSprite(t.stage, t.camera, t.backBuffer.get(), 0, 0, 1, 1, s, 0, 0, 5);
    t.stage.Sprites[s].Bitmap = nullptr;
    BlitSprite(t.stage, t.camera, t.backBuffer.get(), 0, 0, 1, 1, s, 0, 0, 0);
    EXPECT_EQ(t.Dump(), (Rows{"KK", "KK"}));
}

}  // namespace
}  // namespace qb

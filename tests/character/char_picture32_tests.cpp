#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <utility>
#include <vector>
#include <memory>

#include "character/char_picture32.h"
#include "platform/gfx.h"

namespace qb {
namespace {

std::shared_ptr<Sff2Picture> PictureOf(int w, int h, bool rgba, std::vector<uint8_t> bytes) {
    auto p = std::make_shared<Sff2Picture>();
    p->width = w;
    p->height = h;
    p->rgba = rgba;
    p->size = bytes.size();
    p->bytes = std::make_unique<uint8_t[]>(bytes.size());
    std::memcpy(p->bytes.get(), bytes.data(), bytes.size());
    return p;
}

// One row of a 6 x 1 picture after drawing a 2 x 1 sprite at x = 1, twice its size, mirrored or not,
// over a grey ground.
TEST(DrawSpriteEntry32, IndexedRgbaAndClassicSpritesScaleFlipAndMask) {
    ASSERT_TRUE(a_allegro_init());
    constexpr uint32_t G = 0xFF808080u, R = 0xFFFF0000u, B = 0xFF0000FFu;
    auto colours = std::make_shared<Sff2Colours>();
    colours->rgba[4] = 255;  // colour 1: opaque red
    colours->rgba[7] = 255;
    SpriteEntry indexed;
    indexed.Picture = PictureOf(2, 1, false, {1, 0});  // red, then colour 0 (never drawn)
    indexed.Colours = colours;
    SpriteEntry rgba;
    rgba.Picture = PictureOf(2, 1, true, {0, 0, 255, 255, 255, 255, 255, 128});  // blue, half-white
    SpriteEntry classic;
    UniqueBitmap bitmap = CreateBitmap(2, 1);
    BitmapRow(bitmap.get(), 0)[0] = 0xF800;
    BitmapRow(bitmap.get(), 0)[1] = static_cast<uint16_t>(kMaskColor);
    classic.Bitmap = bitmap.get();
    constexpr uint32_t H = 0xFFC0C0C0u;  // white at alpha 128 over the grey
    struct Case {
        const char* name;
        const SpriteEntry* entry;
        bool flip;
        std::array<uint32_t, 6> row;
    };
    const Case cases[] = {
        {"indexed", &indexed, false, {G, R, R, G, G, G}},
        {"indexed mirrored", &indexed, true, {G, G, G, R, R, G}},
        {"rgba", &rgba, false, {G, B, B, H, H, G}},
        {"rgba mirrored", &rgba, true, {G, H, H, B, B, G}},
        {"classic", &classic, false, {G, R, R, G, G, G}},
        {"classic mirrored", &classic, true, {G, G, G, R, R, G}},
    };
    for (const Case& c : cases) {
        Picture32 picture(6, 1, G);
        DrawSpriteEntry32(picture, *c.entry, 1, 0, 2.0, c.flip);
        for (size_t x = 0; x < 6; ++x) EXPECT_EQ(picture.Pixels[x], c.row[x]) << c.name << " x=" << x;
    }
    // Off the picture on every side, or at a scale that is no size: nothing drawn, nothing read outside.
    for (const auto& [left, top, scale] : {std::tuple{-4, 0, 2.0}, {6, 0, 2.0}, {1, -1, 1.0}, {1, 0, 0.0}}) {
        Picture32 picture(6, 1, G);
        DrawSpriteEntry32(picture, indexed, left, top, scale, false);
        for (uint32_t p : picture.Pixels) EXPECT_EQ(p, G);
    }
}


// The shadow's arithmetic: the fade over the character's height above the floor, the darkening with
// the stage's colour, and the shear of each row.
TEST(CharShadow32, FadeDarkeningAndShearArithmetic) {
    const struct {
        uint8_t given;
        int32_t top, bottom;
        double height, fade;
    } fades[] = {
        {0, -400, -100, 500, 1},  // no fade.range line: always shown
        {1, 0, 0, 500, 1},        // both 0: no fade
        {1, -400, -100, 0, 1},    {1, -400, -100, 100, 1},   {1, -400, -100, 250, 0.5},
        {1, -400, -100, 400, 0},  {1, -400, -100, 900, 0},   {1, 400, 100, 250, 0.5},  // heights as sizes
        {1, 50, 100, 30, 1},      {1, 50, 100, 70, 0},  // written upside down: hidden above top
        {1, -400, -100, -20, 1},  // below the floor counts as on it
    };
    for (const auto& c : fades) {
        StageModel stage;
        stage.ShadowFadeGiven = c.given;
        stage.ShadowFadeTop = c.top;
        stage.ShadowFadeBottom = c.bottom;
        EXPECT_DOUBLE_EQ(ShadowFade(stage, c.height), c.fade) << c.top << "," << c.bottom << " at " << c.height;
    }
    const struct {
        uint32_t dst;
        int intensity;
        uint32_t colour, out;
    } pixels[] = {
        {0xFF808080u, 128, 0, 0xFF404040u},        {0xFF808080u, 256, 0, 0xFF000000u},
        {0xFF808080u, 0, 0x102030u, 0xFF706050u},  {0xFF808080u, 128, 0x102030u, 0xFF302010u},
        {0xFF808080u, 0, 0xFFFFFFu, 0xFF000000u},  {0xFFFF8000u, 64, 0, 0xFFC06000u},
        {0xFFFFFFFFu, 999, 0, 0xFF000000u},  // intensity clamped to 256
    };
    for (const auto& c : pixels)
        EXPECT_EQ(ShadowPixel(c.dst, c.intensity, c.colour), c.out) << std::hex << c.dst << " " << c.colour;
    const struct {
        double xshear, floorY;
        int y, shift;
    } shears[] = {
        {0, 10, 12, 0}, {2, 10, 10, 1}, {2, 10, 12, 5}, {2, 10, 7, 5}, {-1, 10, 7, -3},
        {1e300, 0, 5, 65536}, {std::nan(""), 0, 5, 0},
    };
    for (const auto& c : shears) EXPECT_EQ(ShadowShear(c.xshear, c.floorY, c.y), c.shift) << c.xshear << " y " << c.y;
    StageModel stage;  // [Shadow] color counts on stages before 1.1 only, each channel within 0..255
    stage.ShadowColorR = 300, stage.ShadowColorG = -5, stage.ShadowColorB = 100;
    EXPECT_EQ(ShadowColour(stage), 0xFF0064u);
    stage.MugenVersion = 1.1f;
    EXPECT_EQ(ShadowColour(stage), 0u);
}

// A 1 x 2 sprite (red over blue) drawn at (1, 2), feet and floor at row 4, on a 6 x 8 grey picture.
// Columns 1.. of each row after the shadow (S: grey at half intensity) or the reflection.
TEST(CharShadow32, ShadowAndReflectionLandAsOnTheClassicPicture) {
    constexpr uint32_t G = 0xFF808080u, S = 0xFF404040u, R = 0xFFFF0000u, B = 0xFF0000FFu;
    const uint8_t bytes[] = {255, 0, 0, 255, 0, 0, 255, 255};
    Source32 source;
    source.kind = Source32::Kind::Rgba;
    source.width = 1;
    source.height = 2;
    source.bytes = bytes;
    source.alpha = true;
    const DrawnCharSprite drawn{&source, 1, 2, 1, 2, false, 4, 4};
    const struct {
        const char* name;
        float yscale;
        int16_t intensity;
        float xshear;
        int reflection;  // 0: draw the shadow
        std::vector<std::pair<int, int>> changed;  // (x, y) of the pixels that change
        uint32_t colourAtFirst;
    } cases[] = {
        {"upside down below the feet", 1, 128, 0, 0, {{1, 4}, {1, 5}}, S},
        {"squashed to half", 0.5f, 128, 0, 0, {{1, 4}}, S},
        {"upright, resting on the floor", -0.5f, 128, 0, 0, {{1, 3}}, S},
        {"yscale 0: none", 0, 128, 0, 0, {}, G},
        {"intensity 0: none", 1, 0, 0, 0, {}, G},
        {"sheared right", 1, 128, 2, 0, {{2, 4}, {4, 5}}, S},
        {"reflection, its rows mirrored", 1, 128, 0, 256, {{1, 4}, {1, 5}}, B},
        {"reflection at intensity 0: none", 1, 128, 0, -1, {}, G},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        StageModel stage;
        stage.ShadowYScale = c.yscale;
        stage.ShadowIntensity = c.intensity;
        stage.ShadowXShear = c.xshear;
        Picture32 picture(6, 8, G);
        if (c.reflection != 0)
            DrawCharReflection32(picture, drawn, std::max(c.reflection, 0));
        else
            DrawCharShadow32(picture, drawn, stage, 0);
        int changed = 0;
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 6; ++x) changed += picture.Row(y)[x] != G;
        EXPECT_EQ(changed, static_cast<int>(c.changed.size()));
        if (!c.changed.empty()) {
            const auto [x, y] = c.changed.front();
            EXPECT_EQ(picture.Row(y)[x], c.colourAtFirst);
            for (const auto& [cx, cy] : c.changed) EXPECT_NE(picture.Row(cy)[cx], G) << cx << "," << cy;
        }
        if (c.reflection > 0) {
            EXPECT_EQ(picture.Row(5)[1], R);
        }
    }
}

}  // namespace
}  // namespace qb

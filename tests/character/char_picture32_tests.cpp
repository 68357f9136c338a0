#include <gtest/gtest.h>

#include <cstring>
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

}  // namespace
}  // namespace qb

// Tiles laid into sheets draw exactly the pixels of the same tiles drawn one by one.
#include "render/tile_sheet.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/gfx.h"

namespace qb {
namespace {

// A 3 x 2 sprite in each source kind; "." is its clear pixel where the kind has one:
//   a . b
//   b a .
struct Sprites {
    std::vector<uint8_t> indexed = {1, 0, 2, 2, 1, 0};
    std::vector<uint16_t> rgb565 = {0x1234, static_cast<uint16_t>(kMaskColor), 0xABCD,
                                    0xABCD, 0x1234, static_cast<uint16_t>(kMaskColor)};
    std::vector<uint8_t> rgba = {200, 10, 10, 255, 0, 0, 0, 0, 10, 200, 10, 128,
                                 10, 200, 10, 128, 200, 10, 10, 255, 0, 0, 0, 0};

    Source32 Indexed(bool masked) const {
        Source32 s;
        s.kind = Source32::Kind::Indexed;
        s.width = 3, s.height = 2;
        s.bytes = indexed.data();
        for (uint32_t c = 0; c < 256; ++c) s.colours[c] = 0xFF000000u | c * 0x00302010u;
        if (masked) s.colours[0] &= 0x00FFFFFFu;
        s.binary = true;
        s.masked = s.alpha = masked;
        return s;
    }
    Source32 Rgb565() const {
        Source32 s;
        s.kind = Source32::Kind::Rgb565;
        s.width = 3, s.height = 2;
        s.pixels16 = rgb565.data();
        s.pitch16 = 3;
        s.alpha = true;
        return s;
    }
    Source32 Rgba() const {
        Source32 s;
        s.kind = Source32::Kind::Rgba;
        s.width = 3, s.height = 2;
        s.bytes = rgba.data();
        s.alpha = true;
        return s;
    }
};

// A background that differs at every pixel, so that any blend drawn twice or missed shows.
Picture32 Background() {
    Picture32 p(61, 37);
    for (size_t i = 0; i < p.Pixels.size(); ++i) p.Pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    return p;
}

std::vector<int32_t> Tiles(int32_t start, int32_t step, int n) {
    std::vector<int32_t> out;
    // Backwards, as a run drawn both ways lists its tiles after the forward ones.
    for (int k = n - 1; k >= 0; --k) out.push_back(start + k * step);
    return out;
}

TEST(TileSheet, DrawsTheSamePixelsAsOneBlitATile) {
    const Sprites sprites;
    struct Case {
        const char* name;
        Source32 source;
        const char* trans;
        int alphaS, alphaD;
        int32_t stepX, stepY;  // the sprite is 3 x 2
    };
    const Case cases[] = {
        {"indexed masked, apart", sprites.Indexed(true), "none", -1, -1, 5, 3},
        {"indexed masked, add", sprites.Indexed(true), "add", -1, -1, 3, 2},
        {"indexed unmasked, side by side", sprites.Indexed(false), "none", -1, -1, 3, 2},
        {"indexed unmasked, sub", sprites.Indexed(false), "sub", -1, -1, 3, 2},
        {"16-bit masked, apart, addalpha", sprites.Rgb565(), "addalpha", 128, 128, 4, 2},
        {"rgba, apart, add1", sprites.Rgba(), "add1", -1, -1, 7, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // From off the top-left corner to past the bottom-right one.
        const std::vector<int32_t> xs = Tiles(-4, c.stepX, 70 / c.stepX + 2);
        const std::vector<int32_t> ys = Tiles(-3, c.stepY, 42 / c.stepY + 2);
        const Blend32 blend = ElementBlend32(c.trans, c.alphaS, c.alphaD);
        Picture32 want = Background();
        for (int32_t y : ys)
            for (int32_t x : xs) ComposeRect(want, c.source, 0, 0, 3, 2, x, y, false, false, blend, WholePicture(want));
        Picture32 got = Background();
        int64_t drawn = 0;
        ASSERT_TRUE(DrawTileSheet(got, c.source, blend, xs.data(), static_cast<int>(xs.size()), ys.data(),
                                  static_cast<int>(ys.size()), &drawn));
        EXPECT_EQ(got.Pixels, want.Pixels);
        EXPECT_GT(drawn, 0);
    }
}

// Tiles that cannot share a sheet are left to the caller, untouched.
TEST(TileSheet, DeclinesTilesItCannotLayOut) {
    const Sprites sprites;
    struct Case {
        const char* name;
        Source32 source;
        std::vector<int32_t> xs, ys;
    };
    std::vector<int32_t> uneven = Tiles(0, 3, 20);
    uneven.back() += 1;
    const Case cases[] = {
        {"overlapping", sprites.Indexed(true), Tiles(0, 2, 20), Tiles(0, 2, 15)},
        {"unevenly spaced", sprites.Indexed(true), uneven, Tiles(0, 2, 15)},
        {"apart with no clear colour", sprites.Indexed(false), Tiles(0, 4, 15), Tiles(0, 2, 15)},
        {"too few to gain", sprites.Indexed(true), Tiles(0, 3, 7), Tiles(0, 2, 9)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Picture32 got = Background();
        EXPECT_FALSE(DrawTileSheet(got, c.source, ElementBlend32("none", -1, -1), c.xs.data(),
                                   static_cast<int>(c.xs.size()), c.ys.data(), static_cast<int>(c.ys.size()),
                                   nullptr));
        EXPECT_EQ(got.Pixels, Background().Pixels);
    }
}

}  // namespace
}  // namespace qb

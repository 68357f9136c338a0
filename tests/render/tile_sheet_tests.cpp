// Tiles laid into sheets draw exactly the pixels of the same tiles drawn one by one.
#include "render/tile_sheet.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/gfx.h"

namespace qb {
namespace {

// A 3 x 2 sprite in each source kind, "." its clear pixel:  a . b / b a .
const std::vector<uint8_t> kIndexed = {1, 0, 2, 2, 1, 0};
constexpr uint16_t kClear = kMaskColor;
const std::vector<uint16_t> k565 = {0x1234, kClear, 0xABCD, 0xABCD, 0x1234, kClear};
const std::vector<uint8_t> kRgba = {200, 10, 10, 255, 0, 0, 0, 0, 10, 200, 10, 128,
                                    10, 200, 10, 128, 200, 10, 10, 255, 0, 0, 0, 0};

Source32 Sprite(Source32::Kind kind, bool masked = true) {
    Source32 s;
    s.kind = kind;
    s.width = 3, s.height = 2;
    s.alpha = masked;
    if (kind == Source32::Kind::Rgb565) s.pixels16 = k565.data(), s.pitch16 = 3;
    s.bytes = kind == Source32::Kind::Rgba ? kRgba.data() : kIndexed.data();
    for (uint32_t c = 0; c < 256; ++c) s.colours[c] = 0xFF000000u | c * 0x00302010u;
    if (masked) s.colours[0] &= 0x00FFFFFFu;
    s.binary = true, s.masked = masked;
    return s;
}

// A background that differs at every pixel, so that any blend drawn twice or missed shows.
Picture32 Background() {
    Picture32 p(61, 37);
    for (size_t i = 0; i < p.Pixels.size(); ++i) p.Pixels[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
    return p;
}

// Backwards, as a run drawn both ways lists its tiles after the forward ones.
std::vector<int32_t> Tiles(int32_t start, int32_t step, int n) {
    std::vector<int32_t> out;
    for (int k = n - 1; k >= 0; --k) out.push_back(start + k * step);
    return out;
}

bool Sheet(Picture32& p, const Source32& s, Blend32 b, const std::vector<int32_t>& xs, const std::vector<int32_t>& ys) {
    return DrawTileSheet(p, s, b, xs.data(), static_cast<int>(xs.size()), ys.data(), static_cast<int>(ys.size()),
                         nullptr);
}

TEST(TileSheet, DrawsTheSamePixelsAsOneBlitATile) {
    using K = Source32::Kind;
    struct Case {
        const char* name;
        Source32 source;
        const char* trans;
        int alphaS, alphaD;
        int32_t stepX, stepY;  // the sprite is 3 x 2
    } const cases[] = {
        {"indexed masked, apart", Sprite(K::Indexed), "none", -1, -1, 5, 3},
        {"indexed masked, add", Sprite(K::Indexed), "add", -1, -1, 3, 2},
        {"indexed unmasked, side by side, sub", Sprite(K::Indexed, false), "sub", -1, -1, 3, 2},
        {"16-bit masked, apart, addalpha", Sprite(K::Rgb565), "addalpha", 128, 128, 4, 2},
        {"rgba, apart, add1", Sprite(K::Rgba), "add1", -1, -1, 7, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // From off the top-left corner to past the bottom-right one.
        const std::vector<int32_t> xs = Tiles(-4, c.stepX, 70 / c.stepX + 2), ys = Tiles(-3, c.stepY, 42 / c.stepY + 2);
        const Blend32 blend = ElementBlend32(c.trans, c.alphaS, c.alphaD);
        Picture32 want = Background(), got = Background();
        for (int32_t y : ys)
            for (int32_t x : xs) ComposeRect(want, c.source, 0, 0, 3, 2, x, y, false, false, blend, WholePicture(want));
        ASSERT_TRUE(Sheet(got, c.source, blend, xs, ys));
        EXPECT_EQ(got.Pixels, want.Pixels);
    }
}

// Tiles that cannot share a sheet are left to the caller, untouched.
TEST(TileSheet, DeclinesTilesItCannotLayOut) {
    std::vector<int32_t> uneven = Tiles(0, 3, 20);
    uneven.front() += 1;
    const Blend32 none = ElementBlend32("none", -1, -1);
    const Source32 masked = Sprite(Source32::Kind::Indexed), unmasked = Sprite(Source32::Kind::Indexed, false);
    Picture32 got = Background();
    EXPECT_FALSE(Sheet(got, masked, none, Tiles(0, 2, 20), Tiles(0, 2, 15))) << "overlapping";
    EXPECT_FALSE(Sheet(got, masked, none, uneven, Tiles(0, 2, 15))) << "unevenly spaced";
    EXPECT_FALSE(Sheet(got, unmasked, none, Tiles(0, 4, 15), Tiles(0, 2, 15))) << "apart, no clear colour";
    EXPECT_FALSE(Sheet(got, masked, none, Tiles(0, 3, 7), Tiles(0, 2, 9))) << "too few to gain";
    EXPECT_EQ(got.Pixels, Background().Pixels);
}

}  // namespace
}  // namespace qb

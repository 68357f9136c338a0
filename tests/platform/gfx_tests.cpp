#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "platform/gfx.h"
#include "tests/support/temp_dir.h"

namespace qb {
namespace {

constexpr int R = 0xF800;  // red
constexpr int G = 0x07E0;  // green
constexpr int B = 0x001F;  // blue
constexpr int M = kMaskColor;

UniqueBitmap FromRows(std::initializer_list<std::initializer_list<int>> rows) {
    const int h = static_cast<int>(rows.size());
    const int w = static_cast<int>(rows.begin()->size());
    UniqueBitmap bmp = CreateBitmap(w, h);
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (int c : row) BitmapRow(bmp.get(), y)[x++] = static_cast<uint16_t>(c);
        ++y;
    }
    return bmp;
}

UniqueBitmap Filled(int w, int h, int color) {
    UniqueBitmap bmp = CreateBitmap(w, h);
    a_clear_to_color(bmp.get(), color);
    return bmp;
}

TEST(Gfx, ColoursAreRedOnTop565) {
    EXPECT_EQ(a_makecol(255, 0, 0), R);
    EXPECT_EQ(a_makecol(0, 255, 0), G);
    EXPECT_EQ(a_makecol(0, 0, 255), B);
    EXPECT_EQ(a_makecol(255, 0, 255), kMaskColor);
    auto bmp = CreateBitmap(4, 3);
    ASSERT_NE(bmp, nullptr);
    EXPECT_EQ(BitmapWidth(bmp.get()), 4);
    EXPECT_EQ(BitmapHeight(bmp.get()), 3);
    a_clear_bitmap(bmp.get());
    EXPECT_EQ(a_getpixel(bmp.get(), 3, 2), 0);
    a_putpixel(bmp.get(), 1, 1, R);
    EXPECT_EQ(BitmapRow(bmp.get(), 1)[1], R);
    // Rows are contiguous, as the front ends wrap them without copying.
    EXPECT_EQ(BitmapRow(bmp.get(), 1) - BitmapRow(bmp.get(), 0), 4);
    EXPECT_EQ(a_getpixel(bmp.get(), 4, 0), -1);
    EXPECT_EQ(CreateBitmap(0, 5), nullptr);
}

TEST(Gfx, BitmapBlockMakesOrdinaryBitmapsThatOutliveIt) {
    UniqueBitmap a, b, beyond, none;
    {
        BitmapBlock block(3 * 4 + 5 * 2, 2);
        a = block.Create(3, 4);
        b = block.Create(5, 2);
        beyond = block.Create(7, 7);  // no room left: made the plain way
        none = block.Create(0, 3);
    }
    ASSERT_TRUE(a && b && beyond);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(BitmapWidth(a.get()), 3);
    EXPECT_EQ(BitmapHeight(b.get()), 2);
    EXPECT_EQ(BitmapRow(a.get(), 3) - BitmapRow(a.get(), 0), 9);
    // Allegro draws on them as on its own; neighbours in the block do not overlap.
    a_clear_to_color(a.get(), R);
    a_clear_to_color(b.get(), G);
    a_clear_to_color(beyond.get(), B);
    a_blit(b.get(), beyond.get(), 0, 0, 1, 1, 5, 2);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(a_getpixel(a.get(), x, y), R);
    EXPECT_EQ(a_getpixel(beyond.get(), 5, 2), G);
    EXPECT_EQ(a_getpixel(beyond.get(), 6, 2), B);
    b.reset();
    EXPECT_EQ(a_getpixel(a.get(), 2, 3), R);
    // Once all its bitmaps are gone the block's memory serves the next block of its size.
    a.reset();
    BitmapBlock next(3 * 4 + 5 * 2, 2);
    const UniqueBitmap again = next.Create(5, 4);
    a_clear_to_color(again.get(), G);
    EXPECT_EQ(a_getpixel(again.get(), 4, 3), G);
    ReleaseSpareBitmapMemory();
}

TEST(Gfx, MaskedDrawingSkipsMagenta) {
    // sprite:  R M
    //          M G
    auto sprite = FromRows({{R, M}, {M, G}});
    auto dest = Filled(3, 3, B);
    a_draw_sprite(dest.get(), sprite.get(), 1, 1);
    EXPECT_EQ(a_getpixel(dest.get(), 1, 1), R);
    EXPECT_EQ(a_getpixel(dest.get(), 2, 1), B);
    EXPECT_EQ(a_getpixel(dest.get(), 1, 2), B);
    EXPECT_EQ(a_getpixel(dest.get(), 2, 2), G);

    auto plain = Filled(3, 3, B);
    a_blit(sprite.get(), plain.get(), 0, 0, 0, 0, 2, 2);
    EXPECT_EQ(a_getpixel(plain.get(), 1, 0), M);
    auto masked = Filled(3, 3, B);
    a_masked_blit(sprite.get(), masked.get(), 0, 0, 0, 0, 2, 2);
    EXPECT_EQ(a_getpixel(masked.get(), 1, 0), B);
    EXPECT_EQ(a_getpixel(masked.get(), 1, 1), G);
}

TEST(Gfx, FlippedSpritesMirror) {
    // sprite:  R G
    //          B R
    auto sprite = FromRows({{R, G}, {B, R}});
    auto dest = Filled(2, 2, 0);
    a_draw_sprite_h_flip(dest.get(), sprite.get(), 0, 0);
    EXPECT_EQ(a_getpixel(dest.get(), 0, 0), G);
    EXPECT_EQ(a_getpixel(dest.get(), 0, 1), R);
    a_draw_sprite_v_flip(dest.get(), sprite.get(), 0, 0);
    EXPECT_EQ(a_getpixel(dest.get(), 0, 0), B);
    a_draw_sprite_vh_flip(dest.get(), sprite.get(), 0, 0);
    EXPECT_EQ(a_getpixel(dest.get(), 0, 0), R);
    EXPECT_EQ(a_getpixel(dest.get(), 1, 0), B);
}

TEST(Gfx, AddSpriteSaturatesAndSkipsMask) {
    // sprite:  R   M   half-grey
    const int grey = a_makecol(128, 128, 128);
    auto sprite = FromRows({{R, M, grey}});
    const int dark = a_makecol(200, 40, 0);
    auto dest = Filled(3, 1, dark);
    add_sprite(dest.get(), sprite.get(), 0, 0, 255);
    EXPECT_EQ(a_getpixel(dest.get(), 0, 0), (31 << 11) | (((dark >> 5) & 63) << 5));  // red saturates
    EXPECT_EQ(a_getpixel(dest.get(), 1, 0), dark);
    const int added = a_getpixel(dest.get(), 2, 0);
    EXPECT_EQ(added >> 11, 31);
    EXPECT_EQ((added >> 5) & 63, ((dark >> 5) & 63) + 32);
    EXPECT_EQ(added & 31, 16);

    // Half strength adds half of each channel.
    auto black = Filled(1, 1, 0);
    auto white = FromRows({{0xFFFF}});
    add_sprite(black.get(), white.get(), 0, 0, 128);
    const int half = a_getpixel(black.get(), 0, 0);
    EXPECT_EQ(half >> 11, 16);
    EXPECT_EQ((half >> 5) & 63, 32);
}

TEST(Gfx, SubSpriteClampsAtZeroAndSkipsMask) {
    auto sprite = FromRows({{a_makecol(64, 255, 0), M}});
    const int start = a_makecol(200, 100, 255);
    auto dest = Filled(2, 1, start);
    sub_sprite(dest.get(), sprite.get(), 0, 0);
    const int got = a_getpixel(dest.get(), 0, 0);
    EXPECT_EQ(got >> 11, (200 >> 3) - (64 >> 3));
    EXPECT_EQ((got >> 5) & 63, 0);
    EXPECT_EQ(got & 31, 31);
    EXPECT_EQ(a_getpixel(dest.get(), 1, 0), start);
}

TEST(Gfx, DrawingClipsAtEdgesAndToTheClipRectangle) {
    auto sprite = Filled(3, 3, 0xFFFF);
    // Partly off every edge: only the overlapping corner changes, nothing is written outside.
    for (auto [x, y] : std::array<std::pair<int, int>, 4>{{{-2, -2}, {3, -2}, {-2, 3}, {3, 3}}}) {
        auto dest = Filled(4, 4, 0);
        add_sprite(dest.get(), sprite.get(), x, y, 255);
        int lit = 0;
        for (int yy = 0; yy < 4; ++yy)
            for (int xx = 0; xx < 4; ++xx) lit += a_getpixel(dest.get(), xx, yy) != 0;
        EXPECT_EQ(lit, 1) << x << "," << y;
    }
    // Clip rectangle (1,1)-(2,2) inside a 4 x 4 destination.
    auto dest = Filled(4, 4, 0);
    a_set_clip(dest.get(), 1, 1, 2, 2);
    add_sprite(dest.get(), sprite.get(), 0, 0, 255);
    sub_sprite(dest.get(), FromRows({{B}}).get(), 1, 1);
    a_draw_sprite(dest.get(), FromRows({{R, R, R, R}}).get(), 0, 3);
    a_putpixel(dest.get(), 0, 0, G);
    EXPECT_EQ(a_getpixel(dest.get(), 0, 0), 0);
    EXPECT_EQ(a_getpixel(dest.get(), 1, 1), 0xFFFF & ~B);
    EXPECT_EQ(a_getpixel(dest.get(), 2, 2), 0xFFFF);
    EXPECT_EQ(a_getpixel(dest.get(), 3, 3), 0);
    a_reset_clip(dest.get());
    add_sprite(dest.get(), sprite.get(), 1, 1, 255);
    EXPECT_EQ(a_getpixel(dest.get(), 3, 3), 0xFFFF);
}

// Per-pixel model of the additive and subtractive draws, written from their definition: each channel
// gains round(v * amount / 255), loses v, or becomes round((v * src + d * dst) / 256), clamped to the
// channel's range, only inside the clip box, and mask-colour sprite pixels leave the destination alone.
std::vector<uint16_t> Pixels(BITMAP* bmp) {
    std::vector<uint16_t> out;
    for (int y = 0; y < BitmapHeight(bmp); ++y)
        out.insert(out.end(), BitmapRow(bmp, y), BitmapRow(bmp, y) + BitmapWidth(bmp));
    return out;
}

uint16_t ModelPixel(uint16_t dp, uint16_t sp, int amount, bool subtract, int src, int dst) {
    const int shifts[3] = {11, 5, 0}, limits[3] = {31, 63, 31};
    int out = 0;
    for (int c = 0; c < 3; ++c) {
        const int dv = (dp >> shifts[c]) & limits[c];
        const int sv = (sp >> shifts[c]) & limits[c];
        const int v = subtract ? std::max(0, dv - sv)
                      : src >= 0
                          ? std::min(limits[c], static_cast<int>(std::lround((sv * src + dv * dst) / 256.0)))
                          : std::min(limits[c], dv + static_cast<int>(std::lround(sv * amount / 255.0)));
        out |= v << shifts[c];
    }
    return static_cast<uint16_t>(out);
}

struct Clip {
    int x1, y1, x2, y2;  // inclusive
};

std::vector<uint16_t> ModelDraw(const std::vector<uint16_t>& dest, int dw, int dh, BITMAP* sprite, int x,
                                int y, int amount, bool subtract, Clip clip, int src, int dst) {
    std::vector<uint16_t> out = dest;
    for (int sy = 0; sy < BitmapHeight(sprite); ++sy) {
        for (int sx = 0; sx < BitmapWidth(sprite); ++sx) {
            const int px = x + sx, py = y + sy;
            if (px < std::max(0, clip.x1) || py < std::max(0, clip.y1) || px > std::min(dw - 1, clip.x2) ||
                py > std::min(dh - 1, clip.y2))
                continue;
            const uint16_t sp = BitmapRow(sprite, sy)[sx];
            if (sp == kMaskColor) continue;
            auto& dp = out[static_cast<size_t>(py * dw + px)];
            dp = ModelPixel(dp, sp, amount, subtract, src, dst);
        }
    }
    return out;
}

TEST(Gfx, AdditiveDrawsMatchThePerChannelModelEverywhere) {
    std::mt19937 rng(11);
    const int dw = 41, dh = 9;
    const int amounts[] = {1, 64, 127, 128, 200, 254, 255};
    const int weights[][2] = {{256, 128}, {128, 128}, {64, 200}, {256, 0}};  // blend_sprite's, after those
    int cases = 0;
    // Widths around the 8-pixel groups, starts at every alignment and past every edge, clip boxes
    // that cut groups in two.
    for (int w : {1, 3, 7, 8, 9, 15, 16, 17, 33, 50}) {
        for (int x : {-9, -1, 0, 1, 5, 20, 35, 40}) {
            const Clip clip = (w + x) % 3 == 0 ? Clip{3, 1, 30, 6} : Clip{0, 0, dw - 1, dh - 1};
            const int y = x % 4 - 1;
            auto sprite = CreateBitmap(w, 5);
            for (int sy = 0; sy < 5; ++sy)
                for (int sx = 0; sx < w; ++sx)
                    BitmapRow(sprite.get(), sy)[sx] =
                        rng() % 5 == 0 ? static_cast<uint16_t>(M) : static_cast<uint16_t>(rng());
            for (int op = 0; op < 12; ++op) {
                const bool subtract = op == 7;
                const int amount = op < 7 ? amounts[op] : 255;
                const int src = op > 7 ? weights[op - 8][0] : -1, dst = op > 7 ? weights[op - 8][1] : 0;
                auto dest = CreateBitmap(dw, dh);
                for (int dy = 0; dy < dh; ++dy)
                    for (int dx = 0; dx < dw; ++dx)
                        BitmapRow(dest.get(), dy)[dx] = static_cast<uint16_t>(rng());
                a_set_clip(dest.get(), clip.x1, clip.y1, clip.x2, clip.y2);
                const auto want = ModelDraw(Pixels(dest.get()), dw, dh, sprite.get(), x, y, amount, subtract,
                                            clip, src, dst);
                if (subtract)
                    sub_sprite(dest.get(), sprite.get(), x, y);
                else if (src >= 0)
                    blend_sprite(dest.get(), sprite.get(), x, y, src, dst);
                else
                    add_sprite(dest.get(), sprite.get(), x, y, amount);
                ASSERT_EQ(Pixels(dest.get()), want) << "w=" << w << " x=" << x << " y=" << y
                                                    << " amount=" << amount << (subtract ? " sub" : " add");
                ++cases;
            }
        }
    }
    EXPECT_EQ(cases, 10 * 8 * 12);
}

TEST(Gfx, AdditiveChannelsSaturateWithoutSpillingIntoTheirNeighbours) {
    // A full row of sixteen so both the grouped and the single-pixel code see each case.
    const uint16_t dests[] = {0xF800 | 0x0400 | 0x0010, 0x8000 | 0x07E0 | 0x0010, 0x8000 | 0x0400 | 0x001F};
    const uint16_t adds[] = {0x0800, 0x0020, 0x0001};  // one step of red, green, blue
    for (int c = 0; c < 3; ++c) {
        auto dest = Filled(17, 1, dests[c]);
        auto sprite = Filled(17, 1, adds[c]);
        add_sprite(dest.get(), sprite.get(), 0, 0, 255);
        for (int i = 0; i < 17; ++i) EXPECT_EQ(a_getpixel(dest.get(), i, 0), dests[c]) << c << " at " << i;
    }
    // Going below zero in one channel takes nothing from the one above it.
    auto dest = Filled(17, 1, 0x0800 | 0x0020 | 0x0000);
    auto sprite = Filled(17, 1, 0x0001 | 0x0040);
    sub_sprite(dest.get(), sprite.get(), 0, 0);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(a_getpixel(dest.get(), i, 0), 0x0800) << i;

    // White at half strength onto black: 31 -> 16, 63 -> 32; at 1/255 each channel rounds to zero.
    auto black = Filled(11, 1, 0);
    auto white = Filled(11, 1, 0xFFFF);
    add_sprite(black.get(), white.get(), 0, 0, 128);
    EXPECT_EQ(a_getpixel(black.get(), 0, 0), (16 << 11) | (32 << 5) | 16);
    EXPECT_EQ(a_getpixel(black.get(), 10, 0), (16 << 11) | (32 << 5) | 16);
    add_sprite(black.get(), white.get(), 0, 0, 1);
    EXPECT_EQ(a_getpixel(black.get(), 9, 0), (16 << 11) | (32 << 5) | 16);
}

TEST(Gfx, OnlyTheExactMaskColourIsSkipped) {
    // Colours one bit away from magenta are drawn.
    const uint16_t nearMask[] = {0xF81E, 0xF83F, 0xF01F, 0x781F, 0xF81F, 0xF81D, 0xF85F, 0xF81F, 0x0001};
    auto sprite = CreateBitmap(9, 1);
    for (int i = 0; i < 9; ++i) BitmapRow(sprite.get(), 0)[i] = nearMask[i];
    auto dest = Filled(9, 1, 0);
    add_sprite(dest.get(), sprite.get(), 0, 0, 255);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(a_getpixel(dest.get(), i, 0), nearMask[i] == M ? 0 : nearMask[i]) << i;
}

TEST(Gfx, NullAndWrongBitmapsAreIgnored) {
    auto dest = Filled(2, 2, R);
    a_blit(nullptr, dest.get(), 0, 0, 0, 0, 2, 2);
    a_draw_sprite(dest.get(), nullptr, 0, 0);
    add_sprite(nullptr, dest.get(), 0, 0, 255);
    a_stretch_blit(dest.get(), dest.get(), 0, 0, 5, 5, 0, 0, 2, 2);  // source rectangle outside
    a_textout(nullptr, "x", 0, 0, 0);
    EXPECT_EQ(a_getpixel(dest.get(), 1, 1), R);
}

TEST(Gfx, TextIsDrawnWithTransparentBackground) {
    auto bmp = Filled(40, 10, B);
    a_textout(bmp.get(), "Hi\xE9", 0, 0, R);
    int red = 0, blue = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 24; ++x) (a_getpixel(bmp.get(), x, y) == R ? red : blue) += 1;
    EXPECT_GT(red, 10);
    EXPECT_GT(blue, 100);  // glyph gaps keep the background

    // Latin-1 bytes and the same letter in UTF-8 draw the same glyph; a lone invalid byte does not
    // stop the rest of the text from being drawn.
    auto latin = Filled(24, 8, 0);
    auto utf8 = Filled(24, 8, 0);
    a_textout(latin.get(), "\xE9x", 0, 0, R);
    a_textout(utf8.get(), "\xC3\xA9x", 0, 0, R);
    int same = 0, lit = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 24; ++x) {
            same += a_getpixel(latin.get(), x, y) == a_getpixel(utf8.get(), x, y);
            lit += a_getpixel(latin.get(), x, y) == R && x >= 8;
        }
    }
    EXPECT_EQ(same, 24 * 8);
    EXPECT_GT(lit, 4);  // the 'x' after the accented letter
}

TEST(Gfx, SavedFilesCarryTheirFormatsHeader) {
    test::TempDir dir;
    auto bmp = Filled(5, 3, R);
    ASSERT_TRUE(SavePng(dir.Dir() + "shot.png", bmp.get()));
    const std::string png = dir.Read("shot.png");
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // IHDR width and height, big-endian.
    EXPECT_EQ(static_cast<uint8_t>(png[19]), 5);
    EXPECT_EQ(static_cast<uint8_t>(png[23]), 3);

    ASSERT_TRUE(a_save_pcx(dir.Dir() + "shot.pcx", bmp.get()));
    const std::string pcx = dir.Read("shot.pcx");
    ASSERT_GE(pcx.size(), 128u);
    EXPECT_EQ(static_cast<uint8_t>(pcx[0]), 0x0A);
    EXPECT_EQ(static_cast<uint8_t>(pcx[8]), 4);   // xmax
    EXPECT_EQ(static_cast<uint8_t>(pcx[10]), 2);  // ymax
    EXPECT_EQ(static_cast<uint8_t>(pcx[65]), 3);  // 16-bit bitmaps are written as 24-bit
    // The first run of the red plane holds full red.
    const uint8_t first = static_cast<uint8_t>(pcx[128]);
    const uint8_t value = static_cast<uint8_t>((first & 0xC0) == 0xC0 ? pcx[129] : pcx[128]);
    EXPECT_GE(value, 0xF8);

    EXPECT_FALSE(SavePng(dir.Dir() + "no/such/folder/x.png", bmp.get()));
}

// A stretch to a billion pixels (a floor "width" from a broken file) draws just the part on the
// destination, sampled nearest: source column (x - dx) * sw / dw.
TEST(Gfx, HugeStretchesDrawTheirVisiblePart) {
    const int dw = 2'000'000'000, dx = -1'000'000'000 + 160;  // x 160 lands on source column 2
    auto dest = Filled(320, 2, 0);
    a_stretch_blit(FromRows({{R, G, B, M}}).get(), dest.get(), 0, 0, 4, 1, dx, 0, dw, 1);
    a_stretch_sprite(dest.get(), FromRows({{R, G, M, B}}).get(), dx, -1'000'000'000, dw, 2'000'000'000);
    for (int x : {0, 159}) {
        EXPECT_EQ(a_getpixel(dest.get(), x, 0), G) << x;
        EXPECT_EQ(a_getpixel(dest.get(), x, 1), G) << x;
    }
    for (int x : {160, 319}) {
        EXPECT_EQ(a_getpixel(dest.get(), x, 0), B) << x;
        EXPECT_EQ(a_getpixel(dest.get(), x, 1), 0) << x << ": masked";
    }
}

TEST(Gfx, TimingCountsOnlyWhenEnabled) {
    auto dest = Filled(320, 240, 0);
    auto sprite = Filled(320, 240, R);
    GfxTimingEnable(false);
    GfxTimingReset();
    a_draw_sprite(dest.get(), sprite.get(), 0, 0);
    EXPECT_EQ(GfxTimingNanos(), 0);
    GfxTimingEnable(true);
    a_draw_sprite(dest.get(), sprite.get(), 0, 0);
    add_sprite(dest.get(), sprite.get(), 0, 0, 128);
    const int64_t spent = GfxTimingNanos();
    EXPECT_GT(spent, 0);
    GfxTimingEnable(false);
    a_draw_sprite(dest.get(), sprite.get(), 0, 0);
    EXPECT_EQ(GfxTimingNanos(), spent);
    GfxTimingReset();
    EXPECT_EQ(GfxTimingNanos(), 0);
    // Calls are counted with timing off too.
    a_draw_sprite(dest.get(), sprite.get(), 0, 0);
    add_sprite(dest.get(), sprite.get(), 0, 0, 128);
    EXPECT_EQ(GfxDrawCalls(), 2);
}

TEST(Gfx, BitmapsSurviveAllegroShuttingDown) {
    auto early = CreateBitmap(8, 8);
    auto kept = Filled(8, 8, G);
    auto target = CreateBitmap(8, 8);
    ASSERT_NE(early, nullptr);
    a_allegro_exit();
    early.reset();  // freed without the (gone) system driver
    a_blit(kept.get(), target.get(), 0, 0, 0, 0, 8, 8);  // drawing after shutdown starts it again
    EXPECT_EQ(a_getpixel(target.get(), 3, 3), G);
    a_allegro_exit();
    // Creating again starts it again.
    auto later = CreateBitmap(8, 8);
    ASSERT_NE(later, nullptr);
    a_clear_to_color(later.get(), R);
    EXPECT_EQ(a_getpixel(later.get(), 7, 7), R);
}

}  // namespace
}  // namespace qb

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "demo/sff_writer.h"
#include "platform/gfx.h"
#include "platform/paths.h"
#include "platform/picture32.h"
#include "platform/sff_decoder.h"
#include "platform/sff_file.h"
#include "tests/support/temp_dir.h"

namespace qb {
namespace {

using demo::Palette;
using demo::Picture;
using demo::SffSprite;

// Palette: index 0 black, 1 red, 2 green, 3 blue, 4 magenta (the mask colour as an ordinary colour),
// index 255 white; `shift` adds to red so palettes can be told apart.
Palette TestPalette(uint8_t shift = 0) {
    Palette p{};
    auto set = [&](int i, uint8_t r, uint8_t g, uint8_t b) {
        p[static_cast<size_t>(i) * 3] = r;
        p[static_cast<size_t>(i) * 3 + 1] = g;
        p[static_cast<size_t>(i) * 3 + 2] = b;
    };
    set(0, shift, 0, 0);
    set(1, 255, 0, 0);
    set(2, 0, 255, 0);
    set(3, 0, 0, 255);
    set(4, 255, 0, 255);
    set(255, 255, 255, 255);
    return p;
}

Picture MakePicture(int w, int h, std::vector<uint8_t> pixels) {
    return Picture{w, h, std::move(pixels)};
}

SffSprite Sprite(int32_t group, int16_t image, Picture picture, Palette palette = TestPalette()) {
    SffSprite s;
    s.group = group;
    s.image = image;
    s.axisX = static_cast<int16_t>(group + 10);
    s.axisY = static_cast<int16_t>(image + 20);
    s.picture = std::move(picture);
    s.palette = palette;
    return s;
}

SffSprite Link(int32_t group, int16_t image, int16_t to) {
    SffSprite s;
    s.group = group;
    s.image = image;
    s.linkTo = to;
    return s;
}

// Fills the table the way the stage loader does: group and image from the index, linked entries
// marked with their linked index; `masked` sets every mask word to 1.
SpriteTable IndexTable(const std::string& file, bool masked) {
    auto index = ReadSffIndex(file);
    SpriteTable table(index ? index->entries.size() + 1 : 1);
    if (!index) return table;
    for (size_t j = 0; j < index->entries.size(); ++j) {
        const auto& s = index->entries[j];
        table[j].Group = s.group;
        table[j].Image = s.image;
        table[j].Mask = masked ? 1 : 0;
        if (s.IsLinked()) table[j].Owner = static_cast<int16_t>(s.linkedIndex);
    }
    return table;
}

SpriteTable Decode(const std::string& file, bool masked) {
    SpriteTable table = IndexTable(file, masked);
    EXPECT_TRUE(DecodeSffSprites(file, table, static_cast<int>(table.size()) - 1));
    return table;
}

int Pixel(const SpriteEntry& e, int x, int y) {
    return a_getpixel(e.Bitmap, x, y);
}

void Poke32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// 3 x 2 picture:   0 1 2
//                  3 4 255
Picture SmallPicture() {
    return MakePicture(3, 2, {0, 1, 2, 3, 4, 255});
}

TEST(SffDecoder, DecodesColoursAxisAndSize) {
    const auto file = demo::WriteSff({Sprite(5, 7, SmallPicture())});
    auto table = Decode(file, false);
    const SpriteEntry& e = table[0];
    ASSERT_NE(e.Bitmap, nullptr);
    EXPECT_EQ(e.Width, 3);
    EXPECT_EQ(e.Height, 2);
    EXPECT_EQ(e.AxisX, 15);
    EXPECT_EQ(e.AxisY, 27);
    EXPECT_EQ(e.Owner, -1);
    EXPECT_EQ(e.Owned.get(), e.Bitmap);
    EXPECT_EQ(Pixel(e, 1, 0), 0xF800);
    EXPECT_EQ(Pixel(e, 2, 0), 0x07E0);
    EXPECT_EQ(Pixel(e, 0, 1), 0x001F);
    EXPECT_EQ(Pixel(e, 2, 1), 0xFFFF);
}

TEST(SffDecoder, MaskWordDecidesWhatColourZeroBecomes) {
    const auto file = demo::WriteSff({Sprite(0, 0, SmallPicture(), TestPalette(8))});
    auto masked = Decode(file, true);
    EXPECT_EQ(Pixel(masked[0], 0, 0), kMaskColor);
    auto plain = Decode(file, false);
    EXPECT_EQ(Pixel(plain[0], 0, 0), a_makecol(8, 0, 0));
    // A palette colour that is exactly magenta must not turn transparent, masked or not.
    EXPECT_NE(Pixel(masked[0], 1, 1), kMaskColor);
    EXPECT_NE(Pixel(plain[0], 1, 1), kMaskColor);
    EXPECT_EQ(__builtin_popcount(static_cast<unsigned>(Pixel(plain[0], 1, 1) ^ kMaskColor)), 1);
}

TEST(SffDecoder, OddWidthRowsArePaddedAndLongRunsDecode) {
    // 101 x 3: each row a run of 70 colour-1 pixels then 31 of colour 2 (runs split at 63).
    std::vector<uint8_t> pixels;
    for (int y = 0; y < 3; ++y) {
        pixels.insert(pixels.end(), 70, 1);
        pixels.insert(pixels.end(), 31, 2);
    }
    const auto file = demo::WriteSff({Sprite(0, 0, MakePicture(101, 3, pixels))});
    auto table = Decode(file, false);
    ASSERT_NE(table[0].Bitmap, nullptr);
    EXPECT_EQ(table[0].Width, 101);
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(Pixel(table[0], 0, y), 0xF800);
        EXPECT_EQ(Pixel(table[0], 69, y), 0xF800);
        EXPECT_EQ(Pixel(table[0], 70, y), 0x07E0);
        EXPECT_EQ(Pixel(table[0], 100, y), 0x07E0);
    }
}

// Random pictures of many widths (both sides of the decoder's fast path near a row's end), with
// random run lengths, must decode to exactly the palette colour of every index.
TEST(SffDecoder, RandomPicturesDecodePixelExact) {
    std::mt19937 rng(99);
    Palette palette{};
    for (auto& b : palette) b = static_cast<uint8_t>(rng());
    std::vector<SffSprite> sprites;
    for (int w : {1, 2, 3, 4, 5, 7, 8, 63, 64, 65, 67, 68, 127, 200, 333, 1000, 2047}) {
        Picture picture{w, 5, std::vector<uint8_t>(static_cast<size_t>(w * 5))};
        size_t i = 0;
        while (i < picture.pixels.size()) {
            const auto value = static_cast<uint8_t>(rng());
            size_t run = 1 + rng() % (rng() % 4 == 0 ? 70 : 4);
            for (; run > 0 && i < picture.pixels.size(); --run) picture.pixels[i++] = value;
        }
        sprites.push_back(Sprite(w, 0, std::move(picture), palette));
    }
    const std::string file = demo::WriteSff(sprites);
    for (bool masked : {false, true}) {
        auto table = Decode(file, masked);
        for (size_t j = 0; j < sprites.size(); ++j) {
            const Picture& pic = sprites[j].picture;
            ASSERT_NE(table[j].Bitmap, nullptr);
            ASSERT_EQ(table[j].Width, pic.width);
            for (int y = 0; y < pic.height; ++y) {
                for (int x = 0; x < pic.width; ++x) {
                    const uint8_t index = pic.pixels[static_cast<size_t>(y * pic.width + x)];
                    int want =
                        a_makecol(palette[index * 3u], palette[index * 3u + 1], palette[index * 3u + 2]);
                    if (want == kMaskColor) want ^= 0x20;
                    if (masked && index == 0) want = kMaskColor;
                    ASSERT_EQ(Pixel(table[j], x, y), want)
                        << "width " << pic.width << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(SffDecoder, RunsCrossingRowsDecode) {
    // 3 x 2 picture written by hand as one run of six colour-2 pixels over both padded rows
    // (bytes per line 4: the run covers row 0 and two bytes of row 1), then two literals.
    const auto reference = demo::EncodePcx(MakePicture(3, 2, {2, 2, 2, 2, 2, 1}), TestPalette());
    std::string pcx = reference.substr(0, 128);
    pcx += std::string{static_cast<char>(0xC6), 2, 1, 0};
    pcx += reference.substr(reference.size() - 769);
    std::string file = demo::WriteSff({Sprite(0, 0, SmallPicture())});
    const auto index = ReadSffIndex(file);
    file.resize(index->entries[0].dataStart);
    file += pcx;
    Poke32(file, index->entries[0].offset, static_cast<uint32_t>(file.size()));
    Poke32(file, index->entries[0].offset + 4, static_cast<uint32_t>(pcx.size()));
    auto table = Decode(file, false);
    ASSERT_NE(table[0].Bitmap, nullptr);
    EXPECT_EQ(Pixel(table[0], 2, 0), 0x07E0);
    EXPECT_EQ(Pixel(table[0], 0, 1), 0x07E0);
    EXPECT_EQ(Pixel(table[0], 1, 1), 0x07E0);
    EXPECT_EQ(Pixel(table[0], 2, 1), 0xF800);
}

// Any bytes are codes. Streams of several kinds (any bytes, with runs of length 0 and runs crossing
// rows; runs that fill a row's end exactly in whole groups; long runs) over widths on both sides of
// the block decoders' limits, padded or not, must decode to the plain decoder's pixels and end where
// the codes end, also when nothing follows them (a sprite without palette bytes).
TEST(SffDecoder, FastPathsMatchThePlainDecoder) {
    std::mt19937 rng(5);
    std::array<uint16_t, 256> colors{};
    for (auto& c : colors) c = static_cast<uint16_t>(rng());
    enum Kind { AnyBytes, WholeGroups, LongRuns };
    int compared = 0;
    for (Kind kind : {AnyBytes, WholeGroups, LongRuns}) {
        for (int width : {1, 3, 16, 17, 64, 127, 333, 2050}) {
            for (int pad : {0, 1, 3}) {
                const int height = width > 300 ? 9 : 40;
                const size_t needed = static_cast<size_t>((width + pad) * height);
                std::string codes;
                size_t placed = 0;
                while (placed < needed) {
                    const auto byte = static_cast<uint8_t>(rng());
                    size_t count = byte >= 0xC0 ? byte & 0x3Fu : 1;
                    if (kind == WholeGroups && rng() % 2) count = 8 * (2 + rng() % 6);
                    if (kind == LongRuns) count = 40 + rng() % 24;
                    if (count == 1 && byte < 0xC0) {
                        codes += static_cast<char>(byte);
                    } else {
                        codes += static_cast<char>(0xC0 | count);
                        codes += static_cast<char>(rng());
                    }
                    placed += count;
                }
                std::string pcx(128, '\0');
                pcx[2] = 1;
                pcx[3] = 8;
                pcx[8] = static_cast<char>((width - 1) & 0xFF);
                pcx[9] = static_cast<char>((width - 1) >> 8);
                pcx[10] = static_cast<char>(height - 1);
                pcx[65] = 1;
                pcx[66] = static_cast<char>((width + pad) & 0xFF);
                pcx[67] = static_cast<char>((width + pad) >> 8);
                for (const std::string& after : {std::string(), std::string(769, '\x0C')}) {
                    const std::string data = pcx + codes + after;
                    const auto plain = DecodePcxPixels(AsBytes(data), colors, true);
                    const auto fast = DecodePcxPixels(AsBytes(data), colors, false);
                    ASSERT_TRUE(plain && fast) << kind << " " << width << " " << pad;
                    EXPECT_EQ(plain->End, 128 + codes.size());
                    EXPECT_EQ(fast->End, plain->End) << kind << " " << width << " " << pad;
                    ASSERT_EQ(fast->Pixels, plain->Pixels) << kind << " " << width << " " << pad;
                    ++compared;
                }
            }
        }
    }
    EXPECT_EQ(compared, 3 * 8 * 3 * 2);
}

TEST(SffDecoder, SamePaletteFlagReusesThePreviousPalette) {
    Palette second = TestPalette();
    second[3] = 0;
    second[4] = 0;
    second[5] = 200;  // colour 1 is blue-ish in the second palette
    auto a = Sprite(0, 0, SmallPicture());
    auto b = Sprite(0, 1, SmallPicture(), second);
    auto c = Sprite(0, 2, SmallPicture(), second);
    c.samePalette = true;  // written without a palette: must take b's
    auto d = Sprite(0, 3, SmallPicture(), TestPalette());
    d.samePalette = true;
    auto table = Decode(demo::WriteSff({a, b, c, d}), false);
    EXPECT_EQ(Pixel(table[0], 1, 0), 0xF800);
    EXPECT_EQ(Pixel(table[1], 1, 0), a_makecol(0, 0, 200));
    EXPECT_EQ(Pixel(table[2], 1, 0), a_makecol(0, 0, 200));
    EXPECT_EQ(Pixel(table[3], 1, 0), a_makecol(0, 0, 200));
}

// Large files are decoded in two parts, the second starting at a sprite with a palette of its own:
// the palette rule, and the other-mask copies of linked sprites, must come out as in one pass.
TEST(SffDecoder, PalettesHoldAcrossTheSecondPartOfALargeFile) {
    Palette second = TestPalette();
    second[3] = 0;
    second[5] = 200;  // colour 1 is blue-ish
    auto big = Sprite(0, 0, MakePicture(1024, 1024, std::vector<uint8_t>(1024 * 1024, 1)));
    auto same = Sprite(0, 1, SmallPicture(), second);
    same.samePalette = true;  // takes big's palette
    auto own = Sprite(0, 2, SmallPicture(), second);
    auto after = Sprite(0, 3, SmallPicture(), TestPalette());
    after.samePalette = true;  // takes own's palette
    const auto file = demo::WriteSff({big, same, own, after, Link(0, 4, 0), Link(0, 5, 2), Link(0, 6, 3)});
    SpriteTable table = IndexTable(file, false);
    for (size_t j = 4; j < 7; ++j) table[j].Mask = 1;  // other-mask copies of their targets
    ASSERT_TRUE(DecodeSffSprites(file, table, 7));
    const int red = 0xF800, blue = a_makecol(0, 0, 200);
    const int want[] = {red, red, blue, blue, red, blue, blue};
    for (size_t j = 0; j < 7; ++j) {
        ASSERT_NE(table[j].Bitmap, nullptr) << j;
        EXPECT_EQ(Pixel(table[j], 1, 0), want[j]) << j;
    }
    EXPECT_EQ(Pixel(table[0], 1023, 1023), red);
    EXPECT_EQ(Pixel(table[5], 0, 0), kMaskColor);
    EXPECT_NE(table[5].Bitmap, table[2].Bitmap);
}

TEST(SffDecoder, LinkedSpritesShareBitmapAxisAndSize) {
    auto table = Decode(demo::WriteSff({Sprite(1, 0, SmallPicture()), Link(1, 1, 0), Link(1, 2, 1),
                                        Sprite(2, 0, MakePicture(2, 2, {1, 1, 1, 1}))}),
                        false);
    ASSERT_NE(table[0].Bitmap, nullptr);
    for (int j : {1, 2}) {
        SCOPED_TRACE(j);
        EXPECT_EQ(table[static_cast<size_t>(j)].Bitmap, table[0].Bitmap);
        EXPECT_EQ(table[static_cast<size_t>(j)].Owned, nullptr);
        EXPECT_GE(table[static_cast<size_t>(j)].Owner, 0);
        EXPECT_EQ(table[static_cast<size_t>(j)].AxisX, table[0].AxisX);
        EXPECT_EQ(table[static_cast<size_t>(j)].AxisY, table[0].AxisY);
        EXPECT_EQ(table[static_cast<size_t>(j)].Width, 3);
        EXPECT_EQ(table[static_cast<size_t>(j)].Height, 2);
    }
    // Every bitmap is held by exactly one entry: destroying the table frees each once (ASan checks).
    int owners = 0;
    for (const auto& e : table) owners += e.Owned ? 1 : 0;
    EXPECT_EQ(owners, 2);
}

TEST(SffDecoder, LinkedSpriteWithOtherMaskGetsItsOwnBitmap) {
    const auto file = demo::WriteSff({Sprite(1, 0, SmallPicture()), Link(1, 1, 0), Link(1, 2, 0)});
    SpriteTable table = IndexTable(file, false);
    table[1].Mask = 1;
    table[2].Mask = 1;
    ASSERT_TRUE(DecodeSffSprites(file, table, 3));
    EXPECT_EQ(Pixel(table[0], 0, 0), 0);
    EXPECT_EQ(Pixel(table[1], 0, 0), kMaskColor);
    EXPECT_NE(table[1].Bitmap, table[0].Bitmap);
    EXPECT_EQ(table[1].Owner, -1);
    EXPECT_EQ(table[1].Owned.get(), table[1].Bitmap);
    // A second linked entry with the same mask reuses that copy rather than decoding again.
    EXPECT_EQ(table[2].Bitmap, table[1].Bitmap);
    EXPECT_EQ(table[2].Owned, nullptr);
}

// The 32-bit words of a high-resolution stage's sprites: each pixel as Expand565 makes it, the mask
// colour (colour 0 of a masked entry) with alpha 0 and an ordinary magenta opaque; one copy per
// bitmap, shared by the entries that draw it; none past the budget.
TEST(SffDecoder, ExpandedWordsFollowTheBitmaps) {
    const auto file = demo::WriteSff(
        {Sprite(1, 0, SmallPicture()), Link(1, 1, 0), Sprite(2, 0, MakePicture(2, 2, {1, 1, 1, 1}))});
    SpriteTable table = Decode(file, true);
    ExpandSffBitmaps(table);
    ASSERT_TRUE(table[0].Expanded);
    const std::vector<uint32_t> want = {0x00FF00FFu,
                                        0xFFFF0000u,
                                        0xFF00FF00u,
                                        0xFF0000FFu,
                                        Expand565(static_cast<uint16_t>(Pixel(table[0], 1, 1))),
                                        0xFFFFFFFFu};
    EXPECT_EQ(*table[0].Expanded, want);
    EXPECT_EQ(table[1].Expanded, table[0].Expanded);
    ASSERT_TRUE(table[2].Expanded);
    EXPECT_EQ(table[2].Expanded->size(), 4u);
    EXPECT_EQ(table[3].Expanded, nullptr);  // the loader's spare entry has no bitmap
    ExpandSffBitmaps(table, 6 * 4);         // room for the first picture only
    EXPECT_TRUE(table[0].Expanded);
    EXPECT_FALSE(table[2].Expanded);
    const std::vector<uint8_t> drawn = {0, 1, 0};  // only the link to the first picture is drawn
    ExpandSffBitmaps(table, kMaxDecodedBytes, &drawn);
    EXPECT_FALSE(table[0].Expanded);
    ASSERT_TRUE(table[1].Expanded);
    EXPECT_EQ(*table[1].Expanded, want);
    EXPECT_FALSE(table[2].Expanded);
}

TEST(SffDecoder, LongLinkChainsResolveInBothDirections) {
    // Entry 0 links forward to the end of a chain that ends in the picture at 200; entries 1..199
    // each link to the next. Entry 201 links back to 100.
    std::vector<SffSprite> sprites;
    for (int16_t i = 0; i < 200; ++i) sprites.push_back(Link(0, i, static_cast<int16_t>(i + 1)));
    sprites.push_back(Sprite(0, 200, SmallPicture()));
    sprites.push_back(Link(0, 201, 100));
    auto table = Decode(demo::WriteSff(sprites), false);
    ASSERT_NE(table[200].Bitmap, nullptr);
    for (size_t j : {size_t{0}, size_t{1}, size_t{150}, size_t{199}, size_t{201}}) {
        EXPECT_EQ(table[j].Bitmap, table[200].Bitmap) << j;
        EXPECT_EQ(table[j].Width, 3) << j;
    }
}

TEST(SffDecoder, LinkCyclesAndOutOfRangeLinksLeaveNoBitmap) {
    auto table = Decode(demo::WriteSff({Sprite(0, 0, SmallPicture()), Link(0, 1, 2), Link(0, 2, 1),
                                        Link(0, 3, 99), Link(0, 4, 4)}),
                        false);
    EXPECT_NE(table[0].Bitmap, nullptr);
    for (size_t j = 1; j <= 4; ++j) EXPECT_EQ(table[j].Bitmap, nullptr) << j;
}

TEST(SffDecoder, RealFileQuirksStillDecode) {
    auto a = Sprite(0, 0, SmallPicture());
    auto b = Sprite(0, 1, MakePicture(2, 1, {1, 2}));
    b.samePalette = true;
    auto c = Sprite(0, 2, MakePicture(2, 1, {3, 3}));
    c.samePalette = true;
    std::string file = demo::WriteSff({a, b, c});
    auto index = ReadSffIndex(file);
    ASSERT_TRUE(index && index->entries.size() == 3);
    // b counts a palette it does not hold; the last sprite's length runs past the end and its
    // "next" is 0; the header's group count is 0.
    Poke32(file, index->entries[1].offset + 4, index->entries[1].length + 768);
    Poke32(file, index->entries[2].offset + 4, index->entries[2].length + 5000);
    Poke32(file, index->entries[2].offset, 0);
    Poke32(file, 16, 0);
    auto table = Decode(file, false);
    EXPECT_EQ(Pixel(table[0], 1, 0), 0xF800);
    EXPECT_EQ(Pixel(table[1], 0, 0), 0xF800);
    EXPECT_EQ(Pixel(table[1], 1, 0), 0x07E0);
    EXPECT_EQ(Pixel(table[2], 1, 0), 0x001F);
}

TEST(SffDecoder, PaddingAfterThePaletteIsTolerated) {
    Palette p = TestPalette();
    p[3] = 10;     // colour 1 = (10, 0, 0)
    p[39] = 0x0C;  // where a search backward from the end would take the marker to be
    auto a = Sprite(0, 0, SmallPicture(), p);
    std::string file = demo::WriteSff({a});
    file.append(40, '\0');  // the sprite's data now ends with padding after the palette
    auto index = ReadSffIndex(file);
    Poke32(file, index->entries[0].offset, static_cast<uint32_t>(file.size()));
    Poke32(file, index->entries[0].offset + 4, index->entries[0].length + 40);
    auto table = Decode(file, false);
    EXPECT_EQ(Pixel(table[0], 1, 0), a_makecol(10, 0, 0));
}

TEST(SffDecoder, ImpossiblePicturesLeaveTheirEntryEmptyAndTheRestLoads) {
    auto bad = Sprite(0, 0, SmallPicture());
    std::string file = demo::WriteSff({bad, Sprite(0, 1, SmallPicture()), Sprite(0, 2, SmallPicture())});
    auto index = ReadSffIndex(file);
    // Sprite 0: width 9000. Sprite 1: height claims 4000 rows of data that is not there.
    const size_t pcx0 = index->entries[0].dataStart;
    file[pcx0 + 8] = static_cast<char>(9000 & 0xFF);
    file[pcx0 + 9] = static_cast<char>(9000 >> 8);
    const size_t pcx1 = index->entries[1].dataStart;
    file[pcx1 + 10] = static_cast<char>(4000 & 0xFF);
    file[pcx1 + 11] = static_cast<char>(4000 >> 8);
    auto table = Decode(file, false);
    EXPECT_EQ(table[0].Bitmap, nullptr);
    EXPECT_EQ(table[1].Bitmap, nullptr);
    ASSERT_NE(table[2].Bitmap, nullptr);
    EXPECT_EQ(Pixel(table[2], 1, 0), 0xF800);
}

TEST(SffDecoder, DecodedBytesStayWithinTheBudget) {
    // Three 3 x 2 pictures take 12 bytes each; a budget of 30 holds two of them.
    const auto file = demo::WriteSff({Sprite(0, 0, SmallPicture()), Sprite(0, 1, SmallPicture()),
                                      Sprite(0, 2, SmallPicture()), Link(0, 3, 0)});
    SpriteTable table = IndexTable(file, false);
    ASSERT_TRUE(DecodeSffSprites(file, table, 4, 30));
    EXPECT_NE(table[0].Bitmap, nullptr);
    EXPECT_NE(table[1].Bitmap, nullptr);
    EXPECT_EQ(table[2].Bitmap, nullptr);
    EXPECT_EQ(table[3].Bitmap, table[0].Bitmap);  // sharing costs nothing
}

TEST(SffDecoder, CountAndTableSizeBoundTheWork) {
    const auto file = demo::WriteSff({Sprite(0, 0, SmallPicture()), Sprite(0, 1, SmallPicture())});
    SpriteTable small(1);
    EXPECT_TRUE(DecodeSffSprites(file, small, 2));
    EXPECT_NE(small[0].Bitmap, nullptr);
    SpriteTable table = IndexTable(file, false);
    EXPECT_TRUE(DecodeSffSprites(file, table, 1));
    EXPECT_NE(table[0].Bitmap, nullptr);
    EXPECT_EQ(table[1].Bitmap, nullptr);
    EXPECT_FALSE(DecodeSffSprites("not a sprite file", table, 2));
}

TEST(SffDecoder, LoadStageSffReadsThroughTheResolver) {
    test::TempDir dir;
    const auto file = demo::WriteSff({Sprite(0, 0, SmallPicture())});
    dir.Write("Stages/SlashBG.sff", file);
    SpriteTable table = IndexTable(file, false);
    EXPECT_TRUE(Load_Stage_SFF(dir.Dir() + "stages\\slashbg.SFF", table, 1));
    EXPECT_NE(table[0].Bitmap, nullptr);
    EXPECT_FALSE(Load_Stage_SFF(dir.Dir() + "missing.sff", table, 1));
}

std::vector<std::filesystem::path> CorpusSpriteFiles() {
    std::vector<std::filesystem::path> files;
    const auto root = test::CorpusDir();
    if (root.empty()) return files;
    // Only the corpus folders of version 1 files: stages_v2/ and chars_v2/ hold the newer format.
    for (const char* sub : {"stages", "chars"}) {
        std::error_code ec;
        for (auto it = std::filesystem::recursive_directory_iterator(root / sub, ec);
             !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
            auto ext = it->path().extension().string();
            for (auto& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            if (ext == ".sff") files.push_back(it->path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

TEST(SffDecoder, EveryCorpusSpriteDecodes) {
    const auto files = CorpusSpriteFiles();
    if (files.empty()) GTEST_SKIP() << "no corpus";
    for (const auto& path : files) {
        SCOPED_TRACE(path.string());
        auto bytes = ReadFileBytes(path.string(), kMaxSffFileBytes);
        ASSERT_TRUE(bytes);
        auto index = ReadSffIndex(*bytes);
        ASSERT_TRUE(index);
        EXPECT_EQ(index->entries.size(), index->header.imageCount);
        SpriteTable table = IndexTable(*bytes, true);
        ASSERT_TRUE(Load_Stage_SFF(path.string(), table, static_cast<int>(index->header.imageCount)));
        for (size_t j = 0; j < index->entries.size(); ++j) {
            EXPECT_NE(table[j].Bitmap, nullptr) << j;
            EXPECT_GT(table[j].Width, 0) << j;
        }
    }
}

// A made-up file with every feature (links, chains, shared palettes, odd widths), garbled the same way.
TEST(SffDecoder, GarbledSyntheticFilesNeverCrash) {
    std::vector<SffSprite> sprites;
    for (int i = 0; i < 12; ++i) {
        if (i % 4 == 3) {
            sprites.push_back(Link(0, static_cast<int16_t>(i), static_cast<int16_t>(i - 1 - (i % 8 == 7))));
            continue;
        }
        auto s = Sprite(
            1, static_cast<int16_t>(i),
            MakePicture(5 + i * 7, 3,
                        std::vector<uint8_t>(static_cast<size_t>((5 + i * 7) * 3), static_cast<uint8_t>(i))));
        s.samePalette = i % 2 == 1;
        sprites.push_back(std::move(s));
    }
    const std::string original = demo::WriteSff(sprites);
    std::mt19937 rng(2024);
    for (int round = 0; round < 400; ++round) {
        std::string garbled = original;
        const int flips = 1 + round % 16;
        for (int f = 0; f < flips; ++f) {
            const size_t pos = std::uniform_int_distribution<size_t>(0, garbled.size() - 1)(rng);
            garbled[pos] = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
        }
        if (round % 3 == 0) garbled.resize(std::uniform_int_distribution<size_t>(0, garbled.size())(rng));
        SpriteTable table = IndexTable(garbled, round % 2 == 0);
        for (size_t j = 0; j < table.size(); j += 3) table[j].Mask = 1;  // mixed masks force re-decodes
        DecodeSffSprites(garbled, table, static_cast<int>(table.size()));
        for (const auto& e : table) {
            if (e.Bitmap) {
                ASSERT_EQ(BitmapWidth(e.Bitmap), e.Width);
                ASSERT_EQ(BitmapHeight(e.Bitmap), e.Height);
            }
        }
    }
}

// Cut corpus files at many points and flip bytes: decoding must neither crash nor leak (the sanitizer
// build runs this too).
TEST(SffDecoder, TruncatedAndGarbledFilesNeverCrash) {
    auto files = CorpusSpriteFiles();
    if (files.empty()) GTEST_SKIP() << "no corpus";
    // Smallest files first keep the run short under the sanitizers.
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) {
        return std::filesystem::file_size(a) < std::filesystem::file_size(b);
    });
    files.resize(std::min<size_t>(files.size(), 4));
    std::mt19937 rng(12345);
    for (const auto& path : files) {
        auto bytes = ReadFileBytes(path.string(), kMaxSffFileBytes);
        ASSERT_TRUE(bytes);
        const std::string original = *bytes;
        for (int cut = 0; cut < 24; ++cut) {
            const size_t at = original.size() * static_cast<size_t>(cut) / 24 + static_cast<size_t>(cut);
            const std::string truncated = original.substr(0, std::min(at, original.size()));
            SpriteTable table(600);
            DecodeSffSprites(truncated, table, 600);
        }
        for (int round = 0; round < 24; ++round) {
            std::string garbled = original;
            const int flips = 1 + round * 4;
            for (int f = 0; f < flips; ++f) {
                // Aim most flips at the header and sub-headers, where sizes and offsets live.
                const size_t limit = (f % 2 == 0) ? std::min<size_t>(garbled.size(), 2048) : garbled.size();
                const size_t pos = std::uniform_int_distribution<size_t>(0, limit - 1)(rng);
                garbled[pos] = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
            }
            SpriteTable table = IndexTable(garbled, round % 2 == 0);
            table.resize(table.size() + 10);
            DecodeSffSprites(garbled, table, static_cast<int>(table.size()));
            for (const auto& e : table) {
                if (e.Bitmap) {
                    EXPECT_EQ(BitmapWidth(e.Bitmap), e.Width);
                }
            }
        }
    }
}

}  // namespace
}  // namespace qb

// ---- character sprites: entry k for request k ------------------------------------------------

namespace qb {
namespace {

SpriteTable DecodeChar(const std::string& file, const std::vector<CharSpriteRequest>& requests, size_t tableSize,
                       int32_t count = 1000) {
    SpriteTable table(tableSize);
    EXPECT_TRUE(DecodeCharSprites(file, table, count, requests, static_cast<int32_t>(tableSize) - 1));
    return table;
}

TEST(CharSffDecoder, RequestKFillsEntryKAndRepeatsShareOneBitmap) {
    const auto file = demo::WriteSff({Sprite(9000, 0, SmallPicture()), Sprite(0, 0, SmallPicture()),
                                      Sprite(20, 1, MakePicture(2, 1, {1, 2}))});
    // Entry 3 has no request and entry 2 asks for a sprite the file lacks: both stay fresh.
    auto table = DecodeChar(file, {{20, 1}, {0, 0}, {7, 7}, {20, 1}}, 5);
    EXPECT_EQ(table[0].Group, 20);
    EXPECT_EQ(table[0].Image, 1);
    EXPECT_EQ(table[0].Width, 2);
    EXPECT_EQ(table[0].AxisX, 30);
    EXPECT_EQ(table[0].Owner, -1);
    EXPECT_EQ(table[1].Group, 0);
    EXPECT_EQ(table[1].Width, 3);
    for (size_t k : {2u, 4u}) {
        EXPECT_EQ(table[k].Group, 0) << k;
        EXPECT_EQ(table[k].Width, 0) << k;
        EXPECT_EQ(table[k].Bitmap, nullptr) << k;
    }
    // The repeat draws the first entry's bitmap and does not own it, so it is destroyed once.
    EXPECT_EQ(table[3].Bitmap, table[0].Bitmap);
    EXPECT_EQ(table[3].Owner, 0);
    EXPECT_EQ(table[3].Owned, nullptr);
    // Colour 0 is always transparent in a character.
    EXPECT_EQ(Pixel(table[1], 0, 0), kMaskColor);
}

TEST(CharSffDecoder, SharedPaletteIsTheFilesFirstPalette) {
    Palette own = TestPalette();
    own[3] = 0;
    own[5] = 200;  // colour 1 is blue in the character's own palette
    Palette portrait = TestPalette();
    portrait[3] = 180;  // colour 1 is red in the large portrait's
    auto head = Sprite(9000, 0, SmallPicture(), own);
    auto big = Sprite(9000, 1, SmallPicture(), portrait);
    auto body = Sprite(0, 0, SmallPicture());
    body.samePalette = true;  // written without a palette
    // Old tools still wrote a palette into shared sprites; the shared one wins.
    auto stale = Sprite(0, 1, SmallPicture(), TestPalette());
    stale.samePalette = true;
    auto table = DecodeChar(demo::WriteSff({head, big, body, stale}), {{0, 0}, {0, 1}, {9000, 1}}, 3);
    EXPECT_EQ(Pixel(table[0], 1, 0), a_makecol(0, 0, 200));
    EXPECT_EQ(Pixel(table[1], 1, 0), a_makecol(0, 0, 200));
    EXPECT_EQ(Pixel(table[2], 1, 0), a_makecol(180, 0, 0));  // a sprite with its own keeps it
}

TEST(CharSffDecoder, LinkedSpriteShowsItsTargetAtItsOwnAxis) {
    auto land = Link(47, 0, 0);
    land.axisX = 3;
    land.axisY = 4;
    const auto file = demo::WriteSff({Sprite(40, 0, SmallPicture()), land, Link(48, 0, 3), Link(49, 0, 2)});
    auto table = DecodeChar(file, {{47, 0}, {48, 0}}, 2);
    ASSERT_NE(table[0].Bitmap, nullptr);
    EXPECT_EQ(table[0].Width, 3);
    EXPECT_EQ(table[0].AxisX, 3);
    EXPECT_EQ(table[0].AxisY, 4);
    EXPECT_EQ(Pixel(table[0], 1, 0), 0xF800);
    // A cycle has no picture but keeps its numbers.
    EXPECT_EQ(table[1].Group, 48);
    EXPECT_EQ(table[1].Bitmap, nullptr);
}

TEST(CharSffDecoder, CountsAndIndexesBoundTheWork) {
    const auto file = demo::WriteSff({Sprite(0, 0, SmallPicture()), Sprite(0, 1, SmallPicture())});
    // Only the first `count` sub-headers are looked at, and no request past the highest index or the
    // table is served.
    auto table = DecodeChar(file, {{0, 1}, {0, 0}}, 2, 1);
    EXPECT_EQ(table[0].Bitmap, nullptr);
    EXPECT_NE(table[1].Bitmap, nullptr);
    SpriteTable small(1);
    EXPECT_TRUE(DecodeCharSprites(file, small, 2, {{0, 0}, {0, 1}}, 40));
    EXPECT_NE(small[0].Bitmap, nullptr);
    SpriteTable none(2);
    EXPECT_TRUE(DecodeCharSprites(file, none, 2, {{0, 0}}, -1));
    EXPECT_EQ(none[0].Bitmap, nullptr);
    EXPECT_FALSE(DecodeCharSprites("not a sprite file", none, 2, {{0, 0}}, 1));
    EXPECT_FALSE(Load_Char_SFF("/nonexistent/x.sff", none, 2, {{0, 0}}, 1));
}

TEST(CharSffDecoder, GarbledFilesNeverCrash) {
    std::vector<SffSprite> sprites{Sprite(9000, 0, SmallPicture())};
    for (int i = 0; i < 8; ++i) {
        auto s = Sprite(20, static_cast<int16_t>(i), MakePicture(4 + i, 3, std::vector<uint8_t>((4 + i) * 3, 1)));
        s.samePalette = true;
        sprites.push_back(i % 3 == 2 ? Link(20, static_cast<int16_t>(i), static_cast<int16_t>(i)) : s);
    }
    const std::string original = demo::WriteSff(sprites);
    std::vector<CharSpriteRequest> requests;
    for (int i = 0; i < 8; ++i) requests.push_back({20, i % 5});
    std::mt19937 rng(47);
    for (int round = 0; round < 300; ++round) {
        std::string garbled = original;
        for (int f = 0; f < 1 + round % 12; ++f) {
            const size_t pos = std::uniform_int_distribution<size_t>(0, garbled.size() - 1)(rng);
            garbled[pos] = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
        }
        if (round % 3 == 0) garbled.resize(std::uniform_int_distribution<size_t>(0, garbled.size())(rng));
        SpriteTable table(requests.size());
        DecodeCharSprites(garbled, table, 100000, requests, static_cast<int32_t>(requests.size()) - 1);
        for (const auto& e : table) {
            if (!e.Bitmap) continue;
            ASSERT_EQ(BitmapWidth(e.Bitmap), e.Width);
            ASSERT_EQ(BitmapHeight(e.Bitmap), e.Height);
        }
    }
}

}  // namespace
}  // namespace qb

// The modern path's blending arithmetic and mask rules on the 32-bit picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/gfx.h"
#include "render/compose32.h"
#include "stage/sff2_stage_sprites.h"

namespace qb {
namespace {

// A copy of an indexed picture with the row runs the loader prepares.
std::shared_ptr<Sff2Picture> WithRuns(const Sff2Picture& picture) {
    auto prepared = std::make_shared<Sff2Picture>();
    prepared->width = picture.width;
    prepared->height = picture.height;
    prepared->size = picture.size;
    prepared->bytes = std::make_unique<uint8_t[]>(picture.size);
    std::copy_n(picture.bytes.get(), picture.size, prepared->bytes.get());
    BuildOpaqueRuns(*prepared);
    return prepared;
}

struct BlendCase {
    const char* trans;
    int alphaS, alphaD;  // -1: no alpha line
    uint32_t src, dst, want;
};

// One channel value in all three channels.
constexpr uint32_t Grey(uint32_t v) {
    return 0xFF000000u | v << 16 | v << 8 | v;
}

TEST(Compose32, ElementBlendingIsExactAtTheClamps) {
    const BlendCase cases[] = {
        {"none", -1, -1, Grey(7), Grey(200), Grey(7)},
        {"default", -1, -1, Grey(255), Grey(0), Grey(255)},
        {"add", -1, -1, Grey(10), Grey(20), Grey(30)},
        {"add", -1, -1, Grey(200), Grey(100), Grey(255)},    // clamped
        {"add", 128, 128, Grey(255), Grey(255), Grey(255)},  // s + d = 256 is a true mix
        {"add1", -1, -1, Grey(100), Grey(100), Grey(150)},   // source + destination · 128/256
        {"add1", -1, -1, Grey(255), Grey(255), Grey(255)},
        {"add1", 64, 192, Grey(255), Grey(0), Grey(63)},  // with alpha: add with those weights
        {"add1", 64, 192, Grey(0), Grey(255), Grey(191)},
        {"addalpha", -1, -1, Grey(90), Grey(250), Grey(90)},  // 256,0
        {"addalpha", 128, 128, Grey(255), Grey(0), Grey(127)},
        {"addalpha", 128, 128, Grey(255), Grey(255), Grey(255)},
        {"addalpha", 1, 255, Grey(255), Grey(255), Grey(255)},
        {"addalpha", 300, -5, Grey(40), Grey(99), Grey(40)},  // weights clamped to 256,0
        {"addalpha", 0, 256, Grey(255), Grey(17), Grey(17)},
        {"sub", -1, -1, Grey(200), Grey(100), Grey(0)},  // clamped at 0
        {"sub", -1, -1, Grey(50), Grey(200), Grey(150)},
        {"sub", -1, -1, 0xFF102030u, 0xFF302010u, 0xFF200000u},  // per channel
        {"add", -1, -1, 0xFFF00010u, 0xFF2000F0u, 0xFFFF0000u | 0x00FFu},
        {"glow", -1, -1, Grey(1), Grey(2), Grey(2)},  // unknown: nothing drawn
    };
    for (const BlendCase& c : cases) {
        Blend32 blend = ElementBlend32(c.trans, c.alphaS, c.alphaD);
        EXPECT_EQ(BlendPixel(c.src, c.dst, blend), c.want)
            << c.trans << " alpha " << c.alphaS << "," << c.alphaD << " src " << std::hex << c.src << " dst "
            << c.dst;
    }
}

TEST(Compose32, FrameLettersBlendLikeTheirElementWords) {
    struct Case {
        const char* letters;
        uint32_t src, dst, want;
    } cases[] = {
        {"", Grey(9), Grey(99), Grey(9)},
        {"a", Grey(200), Grey(100), Grey(255)},
        {"a1", Grey(100), Grey(100), Grey(150)},
        {"s", Grey(50), Grey(200), Grey(150)},
        {"sub", Grey(50), Grey(200), Grey(150)},  // any word starting with S subtracts
        {"as128d128", Grey(255), Grey(255), Grey(255)},
        {"as256d0", Grey(33), Grey(250), Grey(33)},
        {"as999d999", Grey(200), Grey(100), Grey(255)},  // clamped to 256,256
        {"as0d256", Grey(200), Grey(100), Grey(100)},
        {"x", Grey(1), Grey(2), Grey(2)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlendPixel(c.src, c.dst, FrameBlend32(c.letters)), c.want) << c.letters;
}

// A 3 × 1 indexed picture 0 1 2 with a given palette, or a 2 × 1 RGBA picture.
SpriteEntry IndexedSprite(uint8_t alphaOfColour1) {
    auto picture = std::make_shared<Sff2Picture>();
    picture->width = 3;
    picture->height = 1;
    picture->size = 3;
    picture->bytes = std::make_unique<uint8_t[]>(3);
    for (uint8_t i = 0; i < 3; ++i) picture->bytes[i] = i;
    auto colours = std::make_shared<Sff2Colours>();
    colours->count = 3;
    const uint8_t rgba[] = {10, 10, 10, 255, 200, 0, 0, alphaOfColour1, 0, 0, 200, 255};
    std::copy(std::begin(rgba), std::end(rgba), colours->rgba.begin());
    SpriteEntry entry;
    entry.Width = 3;
    entry.Height = 1;
    entry.Picture = picture;
    entry.Colours = colours;
    return entry;
}

SpriteEntry RgbaSprite() {
    auto picture = std::make_shared<Sff2Picture>();
    picture->width = 2;
    picture->height = 1;
    picture->rgba = true;
    picture->size = 8;
    picture->bytes = std::make_unique<uint8_t[]>(8);
    const uint8_t rgba[] = {255, 255, 255, 0, 200, 100, 0, 128};
    std::copy(std::begin(rgba), std::end(rgba), picture->bytes.get());
    SpriteEntry entry;
    entry.Width = 2;
    entry.Height = 1;
    entry.Picture = picture;
    return entry;
}

BgElement Element(const char* type, const char* trans, int maskKey) {
    BgElement e;
    e.Type = type;
    e.Trans = trans;
    e.MaskKey = static_cast<int16_t>(maskKey);
    return e;
}

// The engine's letters as its documents write them, and every weight pair: s + d = 256 gives equal
// colours back, 256,0 the source and 0,256 the destination exactly, and s + d >= 256 keeps white white.
TEST(Compose32, FrameLettersAreExactAtEveryWeightPair) {
    struct Case {
        const char* letters;
        uint32_t src, dst, want;
    } cases[] = {
        {"A", Grey(200), Grey(100), Grey(255)},
        {"A1", Grey(100), Grey(101), Grey(150)},
        {"AS64D192", 0xFFFF0000u, 0xFF0000FFu, 0xFF3F00BFu},
        {"S", 0xFF80FF00u, 0xFF40FF80u, 0xFF000080u},
        {"AS00000000064D99999999999", Grey(255), Grey(20), Grey(83)},  // 64,256: every digit counts
    };
    for (const Case& c : cases)
        EXPECT_EQ(BlendPixel(c.src, c.dst, FrameBlend32(c.letters)), c.want) << c.letters;
    for (int s = 0; s <= 256; ++s)
        for (int d = 0; d <= 256; ++d) {
            const Blend32 blend = FrameBlend32("as" + std::to_string(s) + "d" + std::to_string(d));
            for (uint32_t v : {0u, 1u, 127u, 128u, 254u, 255u}) {
                const uint32_t mixed = BlendPixel(Grey(v), Grey(v), blend),
                               apart = BlendPixel(Grey(v), Grey(255 - v), blend);
                ASSERT_TRUE(s + d != 256 || mixed == Grey(v)) << s << "," << d << " " << v;
                ASSERT_TRUE(s != 256 || d != 0 || apart == Grey(v)) << v;
                ASSERT_TRUE(s != 0 || d != 256 || apart == Grey(255 - v)) << v;
            }
            ASSERT_TRUE(s + d < 256 || BlendPixel(Grey(255), Grey(255), blend) == Grey(255)) << s << "," << d;
        }
}

// An anim element's trans over its frames' letters ("a"): default keeps them, any other word replaces
// them; "none" means "default" in stages made before 1.0 and a plain copy from 1.0 on.
TEST(Compose32, AnimElementTransOverridesFrameLettersByVersion) {
    struct Case {
        const char* trans;
        float version;
        uint32_t want;  // Grey(100) over Grey(60)
    } cases[] = {{"", 1.1f, Grey(160)},      {"default", 1.1f, Grey(160)}, {"none", 0, Grey(160)},
                 {"none", 0.99f, Grey(160)}, {"none", 1.0f, Grey(100)},    {"sub", 0, Grey(0)}};
    for (const Case& c : cases) {
        BgElement e = Element("anim", c.trans, -1);
        EXPECT_EQ(BlendPixel(Grey(100), Grey(60), AnimBlend32(e, c.version, FrameBlend32("a"))), c.want)
            << c.trans << " version " << c.version;
    }
}

TEST(Compose32, MaskDefaultsAndWhatTheyHide) {
    struct Case {
        BgElement element;
        bool masked;
    } cases[] = {
        {Element("normal", "", -1), false},  // mask defaults to 0
        {Element("normal", "none", -1), false},
        {Element("normal", "add", -1), true},  // and to 1 for add and sub
        {Element("normal", "add1", -1), true},
        {Element("normal", "sub", -1), true},
        {Element("normal", "addalpha", -1), false},
        {Element("normal", "add", 0), false},  // a written mask wins
        {Element("normal", "", 1), true},
        {Element("parallax", "", 1), true},
        {Element("anim", "", 0), true},  // anims are always masked
    };
    for (const Case& c : cases)
        EXPECT_EQ(ModernMask(c.element), c.masked)
            << c.element.Type << " " << c.element.Trans << " mask " << c.element.MaskKey;

    // What the mask does to the pixels: colour 0 of an indexed picture, PNG alpha, palette alpha.
    const uint32_t under = Grey(50);
    struct Pixels {
        SpriteEntry sprite;
        bool masked;
        PixelVector want;
    };
    const Pixels pixels[] = {
        {IndexedSprite(255), false, {Grey(10), 0xFFC80000u, 0xFF0000C8u}},  // colour 0 opaque
        {IndexedSprite(255), true, {under, 0xFFC80000u, 0xFF0000C8u}},      // colour 0 hidden
        // A 2.01 palette's alpha: colour 1 at 128 mixes red (200) with 50 half and half.
        {IndexedSprite(128), true, {under, 0xFF7D1818u, 0xFF0000C8u}},
        // PNG alpha only while masked: mask = 0 shows the picture opaque, clear pixels included.
        {RgbaSprite(), false, {0xFFFFFFFFu, 0xFFC86400u}},
        {RgbaSprite(), true, {under, 0xFF7D4B18u}},
    };
    for (const Pixels& p : pixels) {
        Picture32 picture(static_cast<int>(p.want.size()), 1, under);
        Source32 source = MakeSource32(p.sprite, p.masked);
        ComposeRect(picture, source, 0, 0, source.width, source.height, 0, 0, false, false, Blend32{},
                    WholePicture(picture));
        EXPECT_EQ(picture.Pixels, p.want) << "masked " << p.masked;
    }
}

// The colour table a draw makes: each colour as 0xAARRGGBB, whether it copies without arithmetic
// (every colour opaque but a masked colour 0) and whether it may be partly clear. One colour's
// alpha is lowered per case, around the places the table is gathered four at a time.
TEST(Compose32, ColourTablesKeepEveryColourAndTheirAlphas) {
    const struct {
        int colour, alpha;  // colour -1: every colour opaque
        bool masked, palette, binary, partial;
    } cases[] = {{-1, 255, false, true, true, false}, {-1, 255, true, true, true, true},
                 {0, 0, false, true, false, true},    {0, 0, true, true, true, true},
                 {1, 254, true, true, false, true},   {3, 0, false, true, false, true},
                 {4, 128, true, true, false, true},   {255, 1, false, true, false, true},
                 {-1, 255, false, false, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "colour " << c.colour << " masked " << c.masked << " palette " << c.palette);
        SpriteEntry sprite = IndexedSprite(255);
        auto colours = std::make_shared<Sff2Colours>();
        size_t at = 0;
        for (uint32_t k = 0; k < 256; ++k)
            for (uint32_t v : {k, 255 - k, k / 2, static_cast<int>(k) == c.colour ? c.alpha + 0u : 255u})
                colours->rgba[at++] = static_cast<uint8_t>(v);
        sprite.Colours = c.palette ? colours : nullptr;
        const Source32 source = MakeSource32(sprite, c.masked);
        EXPECT_EQ(source.binary, c.binary);
        EXPECT_EQ(source.alpha, c.partial);
        for (uint32_t k = 0; k < 256; ++k) {
            const uint32_t a = k == 0 && c.masked ? 0 : static_cast<int>(k) == c.colour ? c.alpha : 255;
            ASSERT_EQ(source.colours[k],
                      a << 24 | (c.palette ? k << 16 | (255 - k) << 8 | k / 2 : k * 0x010101u))
                << k;
        }
    }
}

TEST(Compose32, RectanglesClipAndMirrorInsideThePicture) {
    // Source 0 1 2 (colours 10, red, blue) unmasked, drawn mirrored half off the left edge and
    // through a clip that keeps column 1 only.
    SpriteEntry sprite = IndexedSprite(255);
    Source32 source = MakeSource32(sprite, false);
    Picture32 picture(4, 1, 0xFF000000u);
    EXPECT_EQ(ComposeRect(picture, source, 0, 0, 3, 1, -1, 0, true, false, Blend32{}, WholePicture(picture)),
              2);
    EXPECT_EQ(picture.Pixels, (PixelVector{0xFFC80000u, Grey(10), 0xFF000000u, 0xFF000000u}));
    Picture32 clipped(4, 1, 0xFF000000u);
    EXPECT_EQ(ComposeRect(clipped, source, 0, 0, 3, 1, 0, 0, false, false, Blend32{}, Clip32{1, 0, 2, 1}), 1);
    EXPECT_EQ(clipped.Pixels, (PixelVector{0xFF000000u, 0xFFC80000u, 0xFF000000u, 0xFF000000u}));
    // Hostile placements far outside write nothing.
    EXPECT_EQ(ComposeRect(clipped, source, 0, 0, 3, 1, INT64_C(1) << 40, 0, false, false, Blend32{},
                          WholePicture(clipped)),
              0);
}

TEST(Compose32, FastCopiesAgreeWithThePixelRuleOnLongMixedRows) {
    // 37 × 3 indices with runs of colour 0 (10), of colours without it (14, 15) and single zeros, so that
    // every eight-pixel block kind and the tail meet; drawn masked and not, mirrored and not, at an offset,
    // and compared with BlendPixel pixel by pixel.
    const int w = 37, h = 3;
    auto picture = std::make_shared<Sff2Picture>();
    picture->width = w;
    picture->height = h;
    picture->size = static_cast<size_t>(w * h);
    picture->bytes = std::make_unique<uint8_t[]>(picture->size);
    for (int i = 0; i < w * h; ++i)
        picture->bytes[static_cast<size_t>(i)] =
            static_cast<uint8_t>(i % 40 < 10 || i % 40 == 25 ? 0 : i % 250 + 1);
    auto colours = std::make_shared<Sff2Colours>();
    for (size_t c = 0; c < 256; ++c) {
        colours->rgba[c * 4] = static_cast<uint8_t>(c);
        colours->rgba[c * 4 + 1] = static_cast<uint8_t>(255 - c);
        colours->rgba[c * 4 + 2] = static_cast<uint8_t>(c * 3);
        colours->rgba[c * 4 + 3] = 255;
    }
    // The same picture as the loader prepares it (row runs, colours applied once) must draw the same,
    // also through a part of the source and a clip that cut runs in their middle.
    auto prepared = WithRuns(*picture);
    ASSERT_FALSE(prepared->runRows.empty());
    struct Place {
        int sx, w, dx;
        Clip32 clip;
    };
    const Place places[] = {
        {0, w, 3, {0, 0, w + 5, h}}, {5, 27, -4, {1, 0, 19, h}}, {12, 3, 2, {0, 0, w + 5, h}}};
    for (bool ready : {false, true}) {
        SpriteEntry sprite;
        sprite.Picture = ready ? std::shared_ptr<const Sff2Picture>(prepared) : picture;
        sprite.Colours = colours;
        if (ready) sprite.Expanded = ExpandIndexed(*prepared, *colours);
        for (bool masked : {false, true})
            for (bool flip : {false, true})
                for (const Place& at : places)
                    for (const Blend32 blend :
                         {Blend32{}, Blend32{BlendOp::Add, 256, 128}, Blend32{BlendOp::Add, 200, 100},
                          Blend32{BlendOp::Add, 256, 256}, Blend32{BlendOp::Sub, 256, 256}}) {
                        // A ground that differs in every channel of every pixel, so that a row
                        // blend mixing up pixels or channels shows.
                        auto underAt = [](int x, int y) {
                            return 0xFF000000u | static_cast<uint32_t>((x * 37 + y * 11) & 255) << 16 |
                                   static_cast<uint32_t>((x * 91 + 40) & 255) << 8 |
                                   static_cast<uint32_t>((y * 53 + x * 7 + 200) & 255);
                        };
                        Picture32 got(w + 5, h);
                        for (int y = 0; y < h; ++y)
                            for (int x = 0; x < w + 5; ++x) got.Row(y)[x] = underAt(x, y);
                        const Source32 source = MakeSource32(sprite, masked);
                        ASSERT_EQ(ready, source.expanded != nullptr && source.runs != nullptr);
                        ComposeRect(got, source, at.sx, 0, at.w, h, at.dx, 0, flip, false, blend, at.clip);
                        for (int y = 0; y < h; ++y)
                            for (int x = 0; x < w + 5; ++x) {
                                const uint32_t under = underAt(x, y);
                                uint32_t want = under;
                                const int rel = x - at.dx;
                                if (rel >= 0 && rel < at.w && x >= at.clip.left && x < at.clip.right) {
                                    const int sx = flip ? at.sx + at.w - 1 - rel : at.sx + rel;
                                    const uint8_t index = picture->bytes[static_cast<size_t>(y * w + sx)];
                                    want = BlendPixel(source.colours[index], under, blend);
                                }
                                ASSERT_EQ(got.Row(y)[x], want)
                                    << "op " << int(blend.op) << " prepared " << ready << " masked " << masked
                                    << " flip " << flip << " from " << at.sx << " at " << x << "," << y;
                            }
                    }
    }
    // A PNG picture with every alpha from clear to opaque, copied mixed by it, plain and mirrored.
    auto rgba = std::make_shared<Sff2Picture>();
    rgba->width = w;
    rgba->height = 1;
    rgba->rgba = true;
    rgba->size = static_cast<size_t>(w) * 4;
    rgba->bytes = std::make_unique<uint8_t[]>(rgba->size);
    for (size_t i = 0; i < rgba->size; ++i) rgba->bytes[i] = static_cast<uint8_t>(i * 29 + (i % 4 == 3 ? 0 : 77));
    rgba->bytes[3] = 0;
    rgba->bytes[7] = 255;
    rgba->bytes[11] = 128;
    SpriteEntry png;
    png.Picture = rgba;
    const Source32 source = MakeSource32(png, true);
    for (bool flip : {false, true}) {
        Picture32 got(w, 1);
        for (int x = 0; x < w; ++x) got.Row(0)[x] = 0xFF000000u | static_cast<uint32_t>(x * 0x070B0D);
        const Picture32 before = got;
        ComposeRect(got, source, 0, 0, w, 1, 0, 0, flip, false, Blend32{}, WholePicture(got));
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = &rgba->bytes[static_cast<size_t>(flip ? w - 1 - x : x) * 4];
            const uint32_t c = uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
            ASSERT_EQ(got.Row(0)[x], BlendPixel(c, before.Row(0)[x], Blend32{})) << "flip " << flip << " x " << x;
        }
    }
}

// Every blend's row loop against the pixel rule: a 300-pixel row (longer than one gathered piece)
// of mixed pixels from each kind of source, drawn whole at each of four alignments, mirrored or not,
// clipped in the middle and scaled, must equal the same row drawn one pixel at a time (a one-pixel
// draw takes the scalar rule).
TEST(Compose32, RowLoopsAgreeWithThePixelRuleAtEveryAlignmentAndClip) {
    a_allegro_init();
    const int w = 1400;
    auto indices = std::make_shared<Sff2Picture>();
    indices->width = w;
    indices->height = 1;
    indices->size = w;
    indices->bytes = std::make_unique<uint8_t[]>(w);
    auto rgba = std::make_shared<Sff2Picture>();
    rgba->width = w;
    rgba->height = 1;
    rgba->rgba = true;
    rgba->size = static_cast<size_t>(w) * 4;
    rgba->bytes = std::make_unique<uint8_t[]>(rgba->size);
    UniqueBitmap bitmap = CreateBitmap(w, 1);
    ASSERT_TRUE(bitmap);
    // Pieces of colour of every length from 1 to 18 (the run copies' short, overlapping and whole-vector
    // cases) between holes of every length from 1 to 12; then one hole and a piece of over a thousand
    // pixels, which goes to the library's copy.
    std::vector<bool> holes;
    for (int piece = 1; static_cast<int>(holes.size()) < 300; ++piece) {
        holes.insert(holes.end(), static_cast<size_t>(piece % 12 + 1), true);
        holes.insert(holes.end(), static_cast<size_t>(piece), false);
    }
    holes.resize(300);
    holes.push_back(true);
    holes.resize(static_cast<size_t>(w), false);
    for (int x = 0; x < w; ++x) {
        const bool hole = holes[static_cast<size_t>(x)];
        indices->bytes[static_cast<size_t>(x)] = static_cast<uint8_t>(hole ? 0 : x * 7 % 255 + 1);
        for (int k = 0; k < 3; ++k)
            rgba->bytes[static_cast<size_t>(x * 4 + k)] = static_cast<uint8_t>(x * (k + 3) + 11);
        const int a = x % 5 == 0 ? 0 : x % 5 == 1 ? 255 : x * 37 % 256;
        rgba->bytes[static_cast<size_t>(x * 4 + 3)] = static_cast<uint8_t>(hole ? 0 : a);
        BitmapRow(bitmap.get(), 0)[x] =
            hole ? static_cast<uint16_t>(kMaskColor) : static_cast<uint16_t>(x * 2731);
    }
    auto withRuns = WithRuns(*indices);
    auto colours = [](bool partial) {
        auto c = std::make_shared<Sff2Colours>();
        for (size_t i = 0; i < 256; ++i) {
            const uint8_t v[] = {static_cast<uint8_t>(i * 5), static_cast<uint8_t>(255 - i),
                                 static_cast<uint8_t>(i * 3),
                                 static_cast<uint8_t>(partial && i % 3 == 0 ? i : 255)};
            std::copy(std::begin(v), std::end(v), c->rgba.begin() + static_cast<std::ptrdiff_t>(i * 4));
        }
        return c;
    };
    std::vector<SpriteEntry> sprites(5);
    sprites[0].Picture = rgba;
    sprites[1].Bitmap = bitmap.get();
    sprites[2].Picture = indices;  // palette with partial alphas, no runs
    sprites[2].Colours = colours(true);
    sprites[3].Picture = withRuns;  // runs and the prepared colours
    sprites[3].Colours = colours(false);
    sprites[3].Expanded = ExpandIndexed(*withRuns, *sprites[3].Colours);
    sprites[4].Picture = withRuns;  // runs through partial alphas
    sprites[4].Colours = colours(true);
    const Blend32 blends[] = {Blend32{},
                              {BlendOp::Add, 256, 256},
                              {BlendOp::Add, 256, 128},
                              {BlendOp::Add, 256, 0},
                              {BlendOp::Add, 77, 190},
                              {BlendOp::Sub, 256, 256}};
    auto ground = [](int x) {
        return 0xFF000000u | static_cast<uint32_t>(x * 53 & 255) << 16 |
               static_cast<uint32_t>((x * 17 + 90) & 255) << 8 | static_cast<uint32_t>(x * 101 & 255);
    };
    const int pw = w + 12;
    for (size_t k = 0; k < sprites.size(); ++k)
        for (bool masked : {false, true}) {
            const Source32 source = MakeSource32(sprites[k], masked);
            ASSERT_EQ(source.width, w);
            for (const Blend32 blend : blends)
                for (int dx = 0; dx < 4; ++dx)
                    for (bool flip : {false, true})
                        for (const Clip32 clip : {Clip32{0, 0, pw, 1}, Clip32{dx + 5, 0, pw - 9, 1}})
                            for (int dw : {w, w * 3 / 2}) {
                                Picture32 got(pw, 1), want(pw, 1);
                                for (int x = 0; x < pw; ++x) got.Row(0)[x] = want.Row(0)[x] = ground(x);
                                if (dw == w)
                                    ComposeRect(got, source, 0, 0, w, 1, dx, 0, flip, false, blend, clip);
                                else
                                    ComposeScaledRect(got, source, 0, 0, w, 1, dx, 0, dw, 1, flip, false,
                                                      blend, clip);
                                for (int x = std::max(dx, clip.left); x < std::min(dx + dw, clip.right);
                                     ++x) {
                                    const int c = (x - dx) * w / dw;
                                    ComposeRect(want, source, flip ? w - 1 - c : c, 0, 1, 1, x, 0, false,
                                                false, blend, clip);
                                }
                                ASSERT_EQ(got.Pixels, want.Pixels)
                                    << "source " << k << " masked " << masked << " op " << int(blend.op)
                                    << " " << blend.s << "," << blend.d << " at " << dx << " flip " << flip
                                    << " clip " << clip.left << " width " << dw;
                            }
        }
}

// A scaled draw (the test character on a hires or zoomed picture) shows at every picture pixel the
// source pixel its place maps to, mirrored when flipped, also where a clip cuts into the sprite.
TEST(Compose32, ScaledDrawsShowTheSourcePixelEachPlaceMapsTo) {
    constexpr int sw = 5, sh = 3, dx = 4, dy = 2;
    uint16_t pixels[sw * sh];
    for (int i = 0; i < sw * sh; ++i) pixels[i] = static_cast<uint16_t>(0x0841 * (i + 1));
    Source32 source;
    source.kind = Source32::Kind::Rgb565;
    source.width = sw;
    source.height = sh;
    source.pixels16 = pixels;
    source.pitch16 = sw;
    const Clip32 whole{0, 0, 32, 16}, cut{6, 3, 9, 16};
    const std::tuple<int, int, bool, Clip32> cases[] = {
        {10, 6, false, whole}, {10, 6, true, whole}, {7, 4, false, cut}, {7, 4, true, cut}, {3, 2, true, whole}};
    for (const auto& [dw, dh, flip, clip] : cases) {
        SCOPED_TRACE(testing::Message() << dw << "x" << dh << (flip ? " flipped" : ""));
        Picture32 picture(32, 16, 0xFF000000u);
        ComposeScaled(picture, source, dx, dy, dw, dh, flip, Blend32{}, clip);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x) {
                const bool drawn = x >= std::max(dx, clip.left) && x < std::min(dx + dw, clip.right) &&
                                   y >= std::max(dy, clip.top) && y < std::min(dy + dh, clip.bottom);
                const int sx = (x - dx) * sw / dw, sy = (y - dy) * sh / dh;
                const uint32_t want = drawn ? Expand565(pixels[sy * sw + (flip ? sw - 1 - sx : sx)]) : 0xFF000000u;
                ASSERT_EQ(picture.Row(y)[x], want) << x << "," << y;
            }
    }
}

// Unscaled, mirrored by a negative scale and turned half round about the axis (1, 0) placed at (4, 1),
// a frame lands exactly where the rectangle copy puts it (placements through the element pass and
// hostile values are tested there).
TEST(Compose32, RotatedFramesAgreeWithTheRectangleCopy) {
    SpriteEntry sprite = IndexedSprite(255);
    const Source32 source = MakeSource32(sprite, false);
    auto turned = [&](double scaleX, double angle, bool flipH) {
        Picture32 p(8, 2, 0xFF000000u);
        ComposeRotated(p, source, 4, 1, 1, 0, scaleX, 1, angle, flipH, false, Blend32{}, WholePicture(p));
        return p.Pixels;
    };
    auto plain = [&](int64_t x, bool flipH, bool flipV) {
        Picture32 p(8, 2, 0xFF000000u);
        ComposeRect(p, source, 0, 0, 3, 1, x, flipV ? 0 : 1, flipH, flipV, Blend32{}, WholePicture(p));
        return p.Pixels;
    };
    EXPECT_EQ(turned(1, 0, false), plain(3, false, false));
    EXPECT_EQ(turned(-1, 360, false), plain(2, true, false));
    EXPECT_EQ(turned(-1, 0, true), plain(3, false, false));
    EXPECT_EQ(turned(1, -180, false), plain(2, true, true));
    // Drawn a few columns at a time (a redraw of part of the picture), a turned frame lands the same
    // pixels as drawn at once; a corner past any integer draws nothing.
    Picture32 whole(8, 2, 0xFF000000u), parts(8, 2, 0xFF000000u);
    ComposeRotated(whole, source, 4.3, 1.2, 1, 0, 2.7, 1.3, 33, false, false, Blend32{}, WholePicture(whole));
    for (int left = 0; left < 8; left += 3) {
        parts.ClipLeft = left, parts.ClipRight = left + 3;
        ComposeRotated(parts, source, 4.3, 1.2, 1, 0, 2.7, 1.3, 33, false, false, Blend32{}, WholePicture(parts));
    }
    EXPECT_EQ(parts.Pixels, whole.Pixels);
    EXPECT_NE(whole.Pixels, Picture32(8, 2, 0xFF000000u).Pixels);
    EXPECT_EQ(ComposeRotated(whole, source, 5e30, 1, 1, 0, 1, 1, 30, false, false, Blend32{}, WholePicture(whole)), 0);
}

TEST(Compose32, ScaledRectanglesPickTheNearestSourcePixel) {
    // A 16 × 5 picture of indices with colour-0 holes, part of it (columns 3..13, rows 1..4) scaled down,
    // up and to odd sizes, mirrored either way, partly off the picture; every pixel must be
    // the source pixel floor(offset · source size / drawn size) through the pixel rule.
    const int w = 16, h = 5;
    auto picture = std::make_shared<Sff2Picture>();
    picture->width = w;
    picture->height = h;
    picture->size = static_cast<size_t>(w * h);
    picture->bytes = std::make_unique<uint8_t[]>(picture->size);
    for (int i = 0; i < w * h; ++i)
        picture->bytes[static_cast<size_t>(i)] = static_cast<uint8_t>((i % w + i / w) % 8 < 3 ? 0 : 1 + i * 7 % 255);
    auto colours = std::make_shared<Sff2Colours>();
    for (size_t c = 0; c < 256; ++c) {
        colours->rgba[c * 4] = static_cast<uint8_t>(c);
        colours->rgba[c * 4 + 1] = static_cast<uint8_t>(c * 5);
        colours->rgba[c * 4 + 2] = static_cast<uint8_t>(255 - c);
        colours->rgba[c * 4 + 3] = 255;
    }
    // The same picture with the row runs the loader prepares (the masked copy skips holes by them).
    auto prepared = WithRuns(*picture);
    ASSERT_FALSE(prepared->runRows.empty());
    struct Size {
        int64_t dx, dy, dw, dh;
    };
    const Size sizes[] = {{2, 1, 3, 2}, {-3, -2, 17, 11}, {0, 0, 6, 4}, {4, 3, 13, 3}};
    const int sx = 3, sy = 1, sw = 11, sh = 4;
    for (bool ready : {false, true})
    for (bool masked : {false, true})
        for (bool flipH : {false, true})
            for (bool flipV : {false, true})
                for (const Size& at : sizes)
                    for (const Blend32 blend : {Blend32{}, Blend32{BlendOp::Add, 256, 128}}) {
                        SpriteEntry sprite;
                        sprite.Picture = ready ? std::shared_ptr<const Sff2Picture>(prepared) : picture;
                        sprite.Colours = colours;
                        const uint32_t under = 0xFF405060u;
                        Picture32 got(12, 9, under);
                        const Source32 source = MakeSource32(sprite, masked);
                        ComposeScaledRect(got, source, sx, sy, sw, sh, at.dx, at.dy, at.dw, at.dh, flipH, flipV, blend,
                                          Clip32{0, 0, 11, 9});
                        for (int y = 0; y < 9; ++y)
                            for (int x = 0; x < 12; ++x) {
                                uint32_t want = under;
                                if (x >= at.dx && x < at.dx + at.dw && y >= at.dy && y < at.dy + at.dh && x < 11) {
                                    int c = static_cast<int>((x - at.dx) * sw / at.dw);
                                    int r = static_cast<int>((y - at.dy) * sh / at.dh);
                                    if (flipH) c = sw - 1 - c;
                                    if (flipV) r = sh - 1 - r;
                                    const uint8_t index = picture->bytes[static_cast<size_t>((sy + r) * w + sx + c)];
                                    want = BlendPixel(source.colours[index], under, blend);
                                }
                                ASSERT_EQ(got.Row(y)[x], want)
                                    << "runs " << ready << " masked " << masked << " flips " << flipH << flipV << " size " << at.dw << "x"
                                    << at.dh << " op " << int(blend.op) << " at " << x << "," << y;
                            }
                    }
}

}  // namespace
}  // namespace qb

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>

#include "demo/sff2_writer.h"
#include "demo/sff_writer.h"
#include "platform/paths.h"
#include "platform/sff2_decoder.h"
#include "platform/sff_decoder.h"
#include "tests/support/temp_dir.h"

namespace qb {
namespace {

using demo::Sff2Palette;
using demo::Sff2Sprite;

// Pixels in the shapes the encoders must handle: long flat runs (past every run limit), noise, and
// repeats of earlier stretches at near and far offsets, overlapping themselves or not.
std::vector<uint8_t> Pattern(size_t n, uint32_t seed, int colours) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out;
    while (out.size() < n) {
        const auto colour = static_cast<uint8_t>(rng() % static_cast<uint32_t>(colours));
        switch (rng() % 4) {
            case 0: out.insert(out.end(), 1 + rng() % 300, colour); break;
            case 1:
                for (int k = rng() % 40; k >= 0; --k) out.push_back(static_cast<uint8_t>(rng() % uint32_t(colours)));
                break;
            default:
                if (out.empty()) break;
                const size_t offset = 1 + rng() % std::min<size_t>(out.size(), 1100);
                for (size_t k = 0, len = 2 + rng() % 280; k < len; ++k) out.push_back(out[out.size() - offset]);
        }
    }
    out.resize(n);
    return out;
}

Sff2Sprite Sprite(uint16_t group, uint16_t image, uint8_t format, int w, int h, std::vector<uint8_t> pixels) {
    Sff2Sprite s;
    s.group = group;
    s.image = image;
    s.format = format;
    s.depth = format == 3 || format == 4 ? 5 : format == 12 ? 32 : format == 11 ? 24 : 8;
    s.width = w;
    s.height = h;
    s.pixels = std::move(pixels);
    return s;
}

Sff2Palette Colours(uint16_t group, uint16_t number, uint8_t fourth) {
    Sff2Palette p{group, number, {}, -1};
    for (int c = 0; c < 256; ++c) p.rgba.insert(p.rgba.end(), {uint8_t(c), uint8_t(255 - c), uint8_t(c / 2), fourth});
    return p;
}

struct Decoded {
    std::optional<Sff2File> index;
    Sff2Sheet sheet;
};
Decoded Decode(const std::string& file, size_t budget = kMaxDecodedBytes) {
    Decoded d;
    d.index = ReadSff2(file);
    if (d.index) d.sheet = DecodeSff2Sheet(file, *d.index, budget);
    return d;
}

std::vector<uint8_t> BytesOf(const Sff2Picture* p) {
    return p ? std::vector<uint8_t>(p->Bytes().begin(), p->Bytes().end()) : std::vector<uint8_t>{};
}

TEST(Sff2Decoder, EveryFormatRoundTripsThroughTheWriter) {
    struct Case {
        uint8_t format;
        int colours;
        int w, h;
    } cases[] = {{0, 256, 37, 11}, {2, 256, 300, 200}, {3, 32, 300, 200}, {4, 32, 640, 360},
                 {4, 32, 1, 1},    {10, 256, 45, 30}, {11, 256, 20, 9},   {12, 256, 20, 9}};
    for (const Case& c : cases) {
        SCOPED_TRACE("format " + std::to_string(c.format) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
        const size_t n = size_t(c.w) * size_t(c.h) * (c.format >= 11 ? 4 : 1);
        auto pixels = Pattern(n, c.format + uint32_t(n), c.colours);
        const std::string file = demo::WriteSff2({Sprite(3, 4, c.format, c.w, c.h, pixels)}, {Colours(0, 0, 255)});
        Decoded d = Decode(file);
        ASSERT_TRUE(d.index);
        ASSERT_EQ(d.sheet.spriteErrors[0], Sff2Error::None) << Sff2ErrorCode(d.sheet.spriteErrors[0]);
        const Sff2Picture* p = d.sheet.PictureOf(0);
        EXPECT_EQ(p->rgba, c.format >= 11);
        if (c.format == 11) {
            for (size_t i = 3; i < n; i += 4) pixels[i] = 255;  // PNG24 is opaque
        }
        EXPECT_EQ(BytesOf(p), pixels);
    }
}

TEST(Sff2Decoder, EncodersRoundTripLongAndAwkwardInputs) {
    // Big enough for many groups of four short copies, long copies up to 1024 back and runs past 263.
    for (uint32_t seed = 1; seed <= 6; ++seed) {
        const auto pixels = Pattern(200000, seed, 32);
        const std::pair<uint8_t, std::string> encoded[] = {
            {kSff2Rle8, demo::EncodeRle8(pixels)}, {kSff2Rle5, demo::EncodeRle5(pixels)}, {kSff2Lz5, demo::EncodeLz5(pixels)}};
        for (const auto& [format, body] : encoded) {
            Sff2Sprite s = Sprite(0, 0, format, 400, 500, pixels);
            const std::string file = demo::WriteSff2({s}, {});
            Decoded d = Decode(file);
            ASSERT_EQ(d.sheet.spriteErrors[0], Sff2Error::None) << int(format) << " seed " << seed;
            EXPECT_EQ(BytesOf(d.sheet.PictureOf(0)), pixels) << int(format) << " seed " << seed;
            EXPECT_LT(body.size(), pixels.size()) << int(format);
        }
    }
}

TEST(Sff2File, LinksKeepTheirOwnAxisAndPaletteAndTheFirstNumbersWin) {
    auto a = Sprite(5, 0, 4, 3, 2, {1, 2, 3, 4, 5, 6});
    a.axisX = 10;
    a.inTdata = true;
    auto viaChain = Sprite(5, 2, 4, 3, 2, {});
    viaChain.linkTo = 2;
    viaChain.axisX = -7;
    viaChain.palette = 1;
    auto direct = Sprite(5, 1, 4, 3, 2, {});
    direct.linkTo = 0;
    auto duplicate = Sprite(5, 0, 2, 1, 1, {9});
    auto linkedPalette = Colours(1, 2, 0);
    linkedPalette.linkTo = 0;
    const std::string file = demo::WriteSff2({a, viaChain, direct, duplicate}, {Colours(1, 1, 0), linkedPalette});
    Decoded d = Decode(file);
    ASSERT_TRUE(d.index);
    EXPECT_EQ(d.index->sprites[1].axisX, -7);
    EXPECT_EQ(d.index->sprites[1].palette, 1);
    EXPECT_EQ(d.sheet.PictureOf(1), d.sheet.PictureOf(0));
    EXPECT_EQ(BytesOf(d.sheet.PictureOf(2)), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(d.index->FindSprite(5, 0), 0u);
    EXPECT_EQ(d.index->FindSprite(5, 2), 1u);
    EXPECT_FALSE(d.index->FindSprite(6, 0));
    EXPECT_EQ(d.sheet.paletteErrors[1], Sff2Error::None);
    EXPECT_EQ(d.sheet.palettes[1].rgba, d.sheet.palettes[0].rgba);
}

TEST(Sff2File, TheFourthPaletteByteIsAlphaOnlyFrom201) {
    for (int minor : {0, 1}) {
        const std::string file = demo::WriteSff2({}, {Colours(0, 0, 112)}, minor);
        Decoded d = Decode(file);
        ASSERT_EQ(d.sheet.paletteErrors[0], Sff2Error::None);
        EXPECT_EQ(d.sheet.palettes[0].count, 256);
        EXPECT_EQ(d.sheet.palettes[0].rgba[4 * 9 + 1], 246);
        EXPECT_EQ(d.sheet.palettes[0].rgba[4 * 9 + 3], minor == 0 ? 255 : 112);
    }
}

// Byte offsets in files the writer makes: header 512, then 28-byte sprite nodes, 16-byte palette nodes.
void Poke(std::string& f, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) f[at + size_t(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
size_t Node(size_t k) {
    return 512 + 28 * k;
}

// A PNG's width and height rewritten, its header's CRC made good again.
void PatchPngHeader(std::string& f, size_t png, uint32_t w, uint32_t h, int interlace) {
    for (int i = 0; i < 4; ++i) {
        f[png + 16 + size_t(i)] = static_cast<char>(w >> (24 - 8 * i));
        f[png + 20 + size_t(i)] = static_cast<char>(h >> (24 - 8 * i));
    }
    f[png + 28] = static_cast<char>(interlace);
    const uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(f.data() + png + 12), 17));
    for (int i = 0; i < 4; ++i) f[png + 29 + size_t(i)] = static_cast<char>(crc >> (24 - 8 * i));
}

TEST(Sff2File, HostileFilesAreRefusedOrNameTheDamagedSprite) {
    const auto pixels = Pattern(64 * 48, 5, 32);
    auto link = Sprite(2, 0, 4, 64, 48, {});
    link.linkTo = 0;
    // Nodes: 0 LZ5, 1 RLE8, 2 PNG8, 3 linked to 0, 4 RLE5; one palette.
    const std::string clean = demo::WriteSff2({Sprite(1, 0, 4, 64, 48, pixels), Sprite(1, 1, 2, 64, 48, pixels),
                                               Sprite(1, 2, 10, 64, 48, pixels), link, Sprite(1, 3, 3, 64, 48, pixels)},
                                              {Colours(0, 0, 255)});
    const size_t ldata = 512 + 5 * 28 + 16;
    auto dataOf = [&](size_t k) { return ldata + (clean[Node(k) + 16] & 0xFF) + 256 * (clean[Node(k) + 17] & 0xFF); };
    auto lengthOf = [&](size_t k) { return uint32_t(clean[Node(k) + 20] & 0xFF) + 256 * uint32_t(clean[Node(k) + 21] & 0xFF); };
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        const char* refused;  // the reason, or null when the file is read
        size_t sprite;
        Sff2Error expected;
    } cases[] = {
        {"sprite count past the file", [](std::string& f) { Poke(f, 40, 0x10000000, 4); },
         "the sprite node table runs past the end of the file", 0, {}},
        {"palette count past the file", [](std::string& f) { Poke(f, 48, 0xFFFFFFFF, 4); },
         "the palette node table runs past the end of the file", 0, {}},
        {"cut inside the node table", [](std::string& f) { f.resize(600); },
         "the sprite node table runs past the end of the file", 0, {}},
        {"cut inside the header", [](std::string& f) { f.resize(40); }, "the header is cut short", 0, {}},
        {"version 3", [](std::string& f) { f[15] = 3; }, "not a version 2 sprite file", 0, {}},
        {"cut in the last picture", [](std::string& f) { f.resize(f.size() - 5); }, nullptr, 4, Sff2Error::DataRange},
        {"data offset past ldata", [](std::string& f) { Poke(f, Node(1) + 16, 0x7FFFFFF0, 4); }, nullptr, 1,
         Sff2Error::DataRange},
        {"link outside the table", [](std::string& f) { Poke(f, Node(3) + 12, 77, 2); }, nullptr, 3, Sff2Error::Link},
        {"links in a cycle", [](std::string& f) {
             Poke(f, Node(0) + 20, 0, 4);
             Poke(f, Node(0) + 12, 3, 2);
         }, nullptr, 3, Sff2Error::Link},
        {"unknown format", [](std::string& f) { f[Node(1) + 14] = 7; }, nullptr, 1, Sff2Error::Format},
        {"raw at depth 5", [](std::string& f) { f[Node(1) + 14] = 0; f[Node(1) + 15] = 5; }, nullptr, 1, Sff2Error::Format},
        {"data shorter than its picture", [&](std::string& f) { Poke(f, Node(1) + 20, lengthOf(1) / 2, 4); }, nullptr, 1,
         Sff2Error::ShortData},
        {"a run past the picture", [&](std::string& f) { f[dataOf(1) + 4] = 0x7F; Poke(f, Node(1) + 4, 0x00010001, 4); },
         nullptr, 1, Sff2Error::Size},
        {"a size the data cannot hold", [](std::string& f) { Poke(f, Node(1) + 4, 0xFFFFFFFF, 4); }, nullptr, 1,
         Sff2Error::Size},
        {"an LZ copy before the picture", [&](std::string& f) { f[dataOf(0) + 4] = 1; f[dataOf(0) + 5] = 0x05; },
         nullptr, 0, Sff2Error::LzOffset},
        {"RLE5 packet count past the data", [&](std::string& f) { f[dataOf(4) + 5] = 0x7F; Poke(f, Node(4) + 20, 44, 4); },
         nullptr, 4, Sff2Error::ShortData},
        {"PNG bomb: huge declared size", [&](std::string& f) {
             Poke(f, Node(2) + 4, 0xEA60EA60, 4);
             PatchPngHeader(f, dataOf(2) + 4, 60000, 60000, 0);
         }, nullptr, 2, Sff2Error::Size},
        {"PNG size unlike the node's", [&](std::string& f) { PatchPngHeader(f, dataOf(2) + 4, 64, 47, 0); }, nullptr, 2,
         Sff2Error::Size},
        {"interlaced PNG", [&](std::string& f) { PatchPngHeader(f, dataOf(2) + 4, 64, 48, 1); }, nullptr, 2,
         Sff2Error::PngInterlaced},
        {"PNG8 holding RGB", [&](std::string& f) {
             const std::string rgb = demo::EncodePngRgba(64, 48, Pattern(64 * 48 * 4, 1, 256), false);
             f.replace(dataOf(2) + 4, lengthOf(2) - 4, rgb.substr(0, lengthOf(2) - 4));
         }, nullptr, 2, Sff2Error::PngType},
        {"PNG with a broken stream", [&](std::string& f) { f[dataOf(2) + 4 + 60] ^= 0x55; }, nullptr, 2, Sff2Error::Png},
        {"PNG cut short", [&](std::string& f) { Poke(f, Node(2) + 20, 70, 4); }, nullptr, 2, Sff2Error::ShortData},
        {"palette of 300 colours", [](std::string& f) { Poke(f, 512 + 5 * 28 + 4, 300, 2); }, nullptr, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string file = clean;
        c.damage(file);
        std::string reason;
        const auto index = ReadSff2(file, &reason);
        if (c.refused) {
            EXPECT_FALSE(index);
            EXPECT_EQ(reason, c.refused);
            continue;
        }
        ASSERT_TRUE(index);
        const Sff2Sheet sheet = DecodeSff2Sheet(file, *index, kMaxDecodedBytes);
        if (c.what == std::string("palette of 300 colours")) {
            EXPECT_EQ(sheet.paletteErrors[0], Sff2Error::Size);
            continue;
        }
        EXPECT_EQ(Sff2ErrorCode(sheet.spriteErrors[c.sprite]), Sff2ErrorCode(c.expected));
        EXPECT_EQ(sheet.PictureOf(c.sprite), nullptr);
        // The other sprites are untouched by one sprite's damage (a link shares its target's).
        for (size_t k = 0; k < 5; ++k) {
            if (k != c.sprite && !(c.sprite == 0 && k == 3) && !(c.sprite == 3 && k == 0)) {
                EXPECT_EQ(sheet.spriteErrors[k], Sff2Error::None) << k;
            }
        }
    }
}

TEST(Sff2File, FlippedBytesAndABudgetNeverGiveAPictureOfTheWrongSize) {
    std::vector<Sff2Sprite> sprites;
    for (uint8_t format : {0, 2, 3, 4, 10, 12}) {
        const size_t n = 30 * 20 * (format == 12 ? 4 : 1);
        sprites.push_back(Sprite(format, 0, format, 30, 20, Pattern(n, format, 32)));
    }
    const std::string clean = demo::WriteSff2(sprites, {Colours(0, 0, 1)});
    std::mt19937 rng(11);
    size_t damaged = 0;
    for (int round = 0; round < 400; ++round) {
        std::string file = clean;
        for (int flips = 1 + int(rng() % 4); flips > 0; --flips)
            file[512 + rng() % (file.size() - 512)] ^= static_cast<char>(1 << (rng() % 8));
        const auto index = ReadSff2(file);
        if (!index) continue;
        const Sff2Sheet sheet = DecodeSff2Sheet(file, *index, 30 * 20 * 5);
        for (size_t k = 0; k < index->sprites.size(); ++k) {
            const Sff2Picture* p = sheet.PictureOf(k);
            if (!p) {
                ++damaged;
                continue;
            }
            const auto& node = index->sprites[index->spriteSources[k].node];
            EXPECT_EQ(p->size, size_t(node.width) * node.height * (p->rgba ? 4 : 1));
        }
    }
    EXPECT_GE(damaged, 400u);  // the budget alone refuses the last sprite of every round
}

std::string Crc(const std::vector<uint8_t>& bytes) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(crc32(0, bytes.data(), uInt(bytes.size()))));
    return text;
}

TEST(SffInfo, DumpsBothVersions) {
    auto a = Sprite(7, 1, 4, 3, 2, {1, 2, 3, 4, 5, 6});
    a.axisX = -4;
    a.axisY = 9;
    a.palette = 1;
    auto link = Sprite(7, 2, 4, 3, 2, {});
    link.linkTo = 0;
    auto broken = Sprite(7, 3, 4, 3, 2, {});
    broken.linkTo = 9;
    auto rgba = Sprite(8, 0, 11, 1, 1, {10, 20, 30, 40});
    auto palette = Colours(1, 1, 0);
    palette.rgba.resize(8);
    auto linkedPalette = Colours(1, 2, 0);
    linkedPalette.linkTo = 0;
    const std::string v2 = demo::WriteSff2({a, link, broken, rgba}, {palette, linkedPalette});
    const std::string pixels = Crc({1, 2, 3, 4, 5, 6});
    const std::string rgb = Crc({0, 255, 0, 1, 254, 0});
    std::string reason;
    EXPECT_EQ(SffInfoDump(v2, reason),
              "sff: version=2.0.1.0 sprites=4 palettes=2\n"
              "sprite 0: group=7 image=1 size=3x2 axis=-4,9 format=4 depth=5 palette=1 linked=-1 pixels=" + pixels + "\n"
              "sprite 1: group=7 image=2 size=3x2 axis=0,0 format=4 depth=5 palette=0 linked=0 pixels=" + pixels + "\n"
              "sprite 2: group=7 image=3 size=3x2 axis=0,0 format=4 depth=5 palette=0 linked=9 pixels=error:link\n"
              "sprite 3: group=8 image=0 size=1x1 axis=0,0 format=11 depth=24 palette=0 linked=-1 pixels=" +
                  Crc({10, 20, 30, 255}) + "\n"
              "palette 0: group=1 number=1 colours=2 linked=-1 rgb=" + rgb + "\n"
              "palette 1: group=1 number=2 colours=256 linked=0 rgb=" + rgb + "\n");

    demo::SffSprite classic;
    classic.group = 3;
    classic.image = 4;
    classic.axisX = 5;
    classic.picture = {2, 2, {9, 8, 7, 6}};
    demo::SffSprite classicLink = classic;
    classicLink.linkTo = 0;
    const std::string v1 = demo::WriteSff({classic, classicLink});
    EXPECT_EQ(SffInfoDump(v1, reason),
              "sff: version=1.0.1.0 sprites=2 palettes=0\n"
              "sprite 0: group=3 image=4 size=2x2 axis=5,0 format=0 depth=8 palette=0 linked=-1 pixels=" +
                  Crc({9, 8, 7, 6}) + "\n"
              "sprite 1: group=3 image=4 size=2x2 axis=5,0 format=0 depth=8 palette=0 linked=0 pixels=" +
                  Crc({9, 8, 7, 6}) + "\n");
    // A cut file gives no dump, and the reason the tool reports.
    EXPECT_FALSE(SffInfoDump(v2.substr(0, 600), reason));
    EXPECT_NE(reason.find("the sprite node table runs past the end of the file"), std::string::npos);
}

TEST(Sff2Corpus, EverySpriteOfEveryVersion2FileDecodes) {
    const auto corpus = test::CorpusDir();
    if (corpus.empty() || !std::filesystem::exists(corpus / "stages_v2")) GTEST_SKIP() << "no version 2 corpus";
    size_t files = 0, sprites = 0;
    for (const char* folder : {"stages_v2", "chars_v2"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus / folder)) {
            std::string ext = entry.path().extension().string();
            for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (ext != ".sff") continue;
            SCOPED_TRACE(entry.path().string());
            const auto bytes = ReadFileBytes(entry.path().string(), kMaxSffFileBytes);
            ASSERT_TRUE(bytes);
            Decoded d = Decode(*bytes);
            ASSERT_TRUE(d.index);
            ++files;
            for (size_t k = 0; k < d.index->sprites.size(); ++k, ++sprites) {
                EXPECT_EQ(d.sheet.spriteErrors[k], Sff2Error::None) << "sprite " << k;
                const auto& node = d.index->sprites[k];
                const Sff2Picture* p = d.sheet.PictureOf(k);
                if (!p || node.IsLinked()) continue;
                EXPECT_EQ(p->width, node.width);
                EXPECT_EQ(p->height, node.height);
                // Real pictures back through this project's encoders: RLE8 for all, RLE5 and LZ5 for
                // the ones of 32 colours.
                const auto pixels = BytesOf(p);
                std::vector<uint8_t> formats = {kSff2Rle8};
                if (std::all_of(pixels.begin(), pixels.end(), [](uint8_t v) { return v < 32; }))
                    formats.insert(formats.end(), {kSff2Rle5, kSff2Lz5});
                for (uint8_t format : formats) {
                    Decoded again = Decode(demo::WriteSff2({Sprite(0, 0, format, p->width, p->height, pixels)}, {}));
                    EXPECT_EQ(BytesOf(again.sheet.PictureOf(0)), pixels) << "sprite " << k << " format " << int(format);
                }
            }
            for (Sff2Error e : d.sheet.paletteErrors) EXPECT_EQ(e, Sff2Error::None);
        }
    }
    EXPECT_GE(files, 5u);
    EXPECT_GE(sprites, 353u);
}

}  // namespace
}  // namespace qb

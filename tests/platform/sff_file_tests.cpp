#include <gtest/gtest.h>

#include "demo/sff_writer.h"
#include "platform/sff_file.h"

namespace qb {
namespace {

void Poke32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

demo::SffSprite Sprite(int32_t group, int16_t image, int w = 4, int h = 2) {
    demo::SffSprite s;
    s.group = group;
    s.image = image;
    s.axisX = -3;
    s.axisY = 40;
    s.picture = {w, h, std::vector<uint8_t>(static_cast<size_t>(w * h), 7)};
    return s;
}

TEST(SffFile, ReadsHeaderAndSubHeaderFields) {
    auto linked = Sprite(9000, 2);
    linked.linkTo = 0;
    auto same = Sprite(9000, 3);
    same.samePalette = true;
    const std::string file = demo::WriteSff({Sprite(9000, 1), linked, same});
    auto index = ReadSffIndex(file);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->header.imageCount, 3u);
    EXPECT_EQ(index->header.groupCount, 1u);
    EXPECT_EQ(index->header.firstOffset, 512u);
    EXPECT_EQ(index->header.subHeaderSize, 32u);
    ASSERT_EQ(index->entries.size(), 3u);
    const auto& first = index->entries[0];
    EXPECT_EQ(first.offset, 512u);
    EXPECT_EQ(first.group, 9000);
    EXPECT_EQ(first.image, 1);
    EXPECT_EQ(first.axisX, -3);
    EXPECT_EQ(first.axisY, 40);
    EXPECT_FALSE(first.IsLinked());
    EXPECT_EQ(first.dataStart, 544u);
    EXPECT_EQ(first.DataSize(), first.length);
    EXPECT_EQ(first.next, index->entries[1].offset);
    EXPECT_TRUE(index->entries[1].IsLinked());
    EXPECT_EQ(index->entries[1].linkedIndex, 0);
    EXPECT_EQ(index->entries[1].DataSize(), 0u);
    EXPECT_TRUE(index->entries[2].samePalette);
    EXPECT_FALSE(first.samePalette);
    EXPECT_EQ(index->entries[2].next, file.size());
    // Without a palette the same-palette sprite is 769 bytes shorter.
    EXPECT_EQ(index->entries[2].length + 769, first.length);
}

TEST(SffFile, RefusesWhatIsNotAVersionOneSpriteFile) {
    EXPECT_FALSE(ReadSffIndex(""));
    EXPECT_FALSE(ReadSffIndex("ElecbyteSpr"));
    std::string file = demo::WriteSff({Sprite(0, 0)});
    std::string v2 = file;
    v2[15] = 2;
    EXPECT_FALSE(ReadSffIndex(v2));
    std::string other = file;
    other[0] = 'e';
    EXPECT_FALSE(ReadSffIndex(other));
    EXPECT_TRUE(ReadSffIndex(file));
}

TEST(SffFile, DataEndsAtLengthNextSubHeaderOrFileEnd) {
    std::string file = demo::WriteSff({Sprite(0, 0), Sprite(0, 1), Sprite(0, 2)});
    auto clean = ReadSffIndex(file);
    ASSERT_TRUE(clean);
    const auto e = clean->entries;
    // Sprite 1 claims 768 bytes more than it holds, the last claims 5000 more and points "next" at 0,
    // and the header's group count says 0.
    Poke32(file, e[1].offset + 4, e[1].length + 768);
    Poke32(file, e[2].offset + 4, e[2].length + 5000);
    Poke32(file, e[2].offset, 0);
    Poke32(file, 16, 0);
    auto index = ReadSffIndex(file);
    ASSERT_TRUE(index);
    ASSERT_EQ(index->entries.size(), 3u);
    EXPECT_EQ(index->entries[1].dataEnd, e[2].offset);
    EXPECT_EQ(index->entries[2].dataEnd, file.size());
    EXPECT_EQ(index->entries[2].length, e[2].length + 5000);
}

TEST(SffFile, WalksExactlyTheImageCount) {
    std::string file = demo::WriteSff({Sprite(0, 0), Sprite(0, 1), Sprite(0, 2)});
    Poke32(file, 20, 2);
    auto index = ReadSffIndex(file);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->entries.size(), 2u);
}

TEST(SffFile, HostileChainsStayBounded) {
    const std::string clean = demo::WriteSff({Sprite(0, 0), Sprite(0, 1), Sprite(0, 2)});
    const auto e = ReadSffIndex(clean)->entries;

    std::string huge = clean;
    Poke32(huge, 20, 0xFFFFFFFFu);  // far more images than the file can hold
    auto index = ReadSffIndex(huge);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->entries.size(), 3u);  // the chain ends at the last sub-header
    EXPECT_LE(index->entries.capacity(), huge.size() / kSffSubHeaderSize);

    std::string cycle = huge;
    Poke32(cycle, e[2].offset, static_cast<uint32_t>(e[0].offset));  // last points back to the first
    index = ReadSffIndex(cycle);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->entries.size(), 3u);

    std::string outside = clean;
    Poke32(outside, e[0].offset, 0x7FFFFFF0u);
    index = ReadSffIndex(outside);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->entries.size(), 1u);

    std::string firstOutside = clean;
    Poke32(firstOutside, 24, static_cast<uint32_t>(clean.size() - 10));
    index = ReadSffIndex(firstOutside);
    ASSERT_TRUE(index);
    EXPECT_TRUE(index->entries.empty());

    std::string longLength = clean;
    Poke32(longLength, e[0].offset + 4, 0xFFFFFFFFu);
    index = ReadSffIndex(longLength);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->entries[0].dataEnd, e[1].offset);
}

// The same sprites with their sub-header blocks (sub-header and data) laid out in the file in
// `layout` order while the chain still runs 0, 1, 2, ...: "next" offsets then point backward.
std::string Reordered(const std::string& clean, const std::vector<size_t>& layout) {
    const auto e = ReadSffIndex(clean)->entries;
    std::vector<std::string> blocks;
    for (size_t i = 0; i < e.size(); ++i) {
        const size_t end = i + 1 < e.size() ? e[i + 1].offset : clean.size();
        blocks.push_back(clean.substr(e[i].offset, end - e[i].offset));
    }
    std::string file = clean.substr(0, e[0].offset);
    std::vector<size_t> at(e.size());
    for (size_t block : layout) {
        at[block] = file.size();
        file += blocks[block];
    }
    Poke32(file, 24, static_cast<uint32_t>(at[0]));
    for (size_t i = 0; i < e.size(); ++i)
        Poke32(file, at[i], static_cast<uint32_t>(i + 1 < e.size() ? at[i + 1] : file.size()));
    return file;
}

TEST(SffFile, SubHeadersInAnyFileOrderAreAllIndexed) {
    const std::string clean =
        demo::WriteSff({Sprite(0, 0, 4, 2), Sprite(0, 1, 6, 3), Sprite(0, 2, 2, 2), Sprite(0, 3, 5, 1)});
    const auto e = ReadSffIndex(clean)->entries;
    for (const std::vector<size_t>& layout :
         {std::vector<size_t>{3, 2, 1, 0}, std::vector<size_t>{0, 2, 1, 3},
          std::vector<size_t>{2, 0, 3, 1}}) {
        const std::string file = Reordered(clean, layout);
        auto index = ReadSffIndex(file);
        ASSERT_TRUE(index);
        ASSERT_EQ(index->entries.size(), 4u) << "layout starting " << layout[0];
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(index->entries[i].image, static_cast<int16_t>(i));
            // Data ends at the sub-header that follows it in the file, whatever the chain order.
            EXPECT_EQ(index->entries[i].DataSize(), e[i].DataSize()) << "sprite " << i;
        }
    }
    // A chain that comes back to a sub-header already read stops there, however large the count.
    std::string cycle = Reordered(clean, {3, 2, 1, 0});
    const auto chain = ReadSffIndex(cycle)->entries;
    Poke32(cycle, chain[2].offset, static_cast<uint32_t>(chain[1].offset));
    Poke32(cycle, 20, 0xFFFFFFFFu);
    auto index = ReadSffIndex(cycle);
    ASSERT_TRUE(index);
    EXPECT_EQ(index->entries.size(), 3u);
}

TEST(SffFile, PaletteIsFoundAtTheEndOrBeforePadding) {
    std::vector<uint8_t> pcx(128 + 10, 0x11);
    pcx.push_back(0x0C);
    for (int i = 0; i < 768; ++i) pcx.push_back(static_cast<uint8_t>(i));
    auto palette = FindPcxPalette(pcx);
    ASSERT_TRUE(palette);
    EXPECT_EQ((*palette)[0], 0);
    EXPECT_EQ((*palette)[767], static_cast<uint8_t>(767));

    auto padded = pcx;
    padded.insert(padded.end(), 16, 0);
    palette = FindPcxPalette(padded, 138);
    ASSERT_TRUE(palette);
    EXPECT_EQ((*palette)[1], 1);
    EXPECT_EQ((*palette)[767], static_cast<uint8_t>(767));

    // Something between the pixels and the marker: the first marker after the pixels.
    auto gap = padded;
    gap.insert(gap.begin() + 138, 3, 0x55);
    palette = FindPcxPalette(gap, 138);
    ASSERT_TRUE(palette);
    EXPECT_EQ((*palette)[2], 2);

    // A 0x0C inside the pixel data is not taken for the marker.
    std::vector<uint8_t> none(128 + 900, 0x11);
    none[130] = 0x0C;
    EXPECT_FALSE(FindPcxPalette(none, 128 + 10));
    EXPECT_FALSE(FindPcxPalette(std::vector<uint8_t>(100, 0x0C)));
}

TEST(SffFile, LittleEndianReadersStayInBounds) {
    const std::vector<uint8_t> bytes{0x34, 0x12, 0x78, 0x56};
    EXPECT_EQ(ReadLe16(bytes, 0), 0x1234);
    EXPECT_EQ(ReadLe32(bytes, 0), 0x56781234u);
    EXPECT_EQ(ReadLe16(bytes, 3), 0);
    EXPECT_EQ(ReadLe32(bytes, 1), 0u);
    EXPECT_EQ(ReadLe32(bytes, SIZE_MAX), 0u);
}

}  // namespace
}  // namespace qb

#include <gtest/gtest.h>

#include "platform/zip_archive.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

namespace qb {
namespace {

TEST(ZipNames, LegacyCodePagesBecomeUtf8) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain.def", "plain.def"},
        {"\xE5\x9F\x8E.def", "\xE5\x9F\x8E.def"},                          // already UTF-8: kept
        {"\x93\x73\x8E\x73.def", "\xE9\x83\xBD\xE5\xB8\x82.def"},          // Shift-JIS "toshi"
        {"\x95\x5C.sff", "\xE8\xA1\xA8.sff"},                              // Shift-JIS trail byte 0x5C is no separator
        {"\xB3\xC7\xCA\xD0.def", "\xE5\x9F\x8E\xE5\xB8\x82.def"},          // GBK "chengshi"
        {"caf\xE9.def", "caf\xC3\xA9.def"},                                // Windows-1252
    };
    for (const auto& [raw, utf8] : cases) EXPECT_EQ(ZipNameToUtf8(raw), utf8) << raw;
}

// libzip reads a NUL inside a stored name as a blank; the name is the text before the NUL. A real
// blank stays a blank, and a name cut to nothing stays empty.
TEST(ZipNames, StoredNameIsCutAtItsFirstNul) {
    test::TempDir dir;
    const std::pair<std::string, std::string> cases[] = {
        {std::string("city.def\0.txt", 12), "city.def"},
        {"my stage.def", "my stage.def"},
        {std::string("a b.sff\0c d", 11), "a b.sff"},
        {std::string("\0hidden.def", 11), ""},
    };
    std::vector<test::RawZipItem> items;
    for (const auto& c : cases) items.push_back({c.first, "x", 0, 0, test::Crc32("x"), 1});
    const auto path = dir.Write("names.zip", test::RawZip(items));
    const auto archive = ZipArchive::Open(path.string());
    ASSERT_TRUE(archive);
    ASSERT_EQ(archive->Count(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto entry = archive->Entry(i);
        ASSERT_TRUE(entry);
        EXPECT_EQ(entry->RawName, cases[i].second) << i;
    }
}

}  // namespace
}  // namespace qb

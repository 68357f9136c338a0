#include <gtest/gtest.h>

#include "platform/zip_archive.h"

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

}  // namespace
}  // namespace qb

#include <gtest/gtest.h>

#include <string>

#include "platform/text_util.h"

namespace qb {
namespace {

// Columns a terminal gives a stage name: the lint's table pads its names by this.
TEST(TextWidth, CountsColumnsNotBytes) {
    struct Case {
        const char* text;
        size_t width;
    } const cases[] = {
        {"", 0},
        {"Kung Fu Palace", 14},
        {"Caf\xC3\xA9", 4},                        // é precomposed: 2 bytes, 1 column
        {"Cafe\xCC\x81", 4},                       // e + combining acute: the mark takes none
        {"\xE5\x9F\x8E\xE5\xB8\x82", 4},           // 城市: wide CJK
        {"\xE3\x82\xB9\xE3\x83\x86\xE3\x83\xBC\xE3\x82\xB8", 8},  // ステージ: kana
        {"\xEA\xB2\xBD\xEA\xB8\xB0\xEC\x9E\xA5", 6},  // 경기장: hangul
        {"\xEF\xBC\xA1\xEF\xBC\xA2", 4},           // ＡＢ: fullwidth forms
        {"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", 6},  // Москва: narrow Cyrillic
        {"\xE3\x81\x8B\xE3\x82\x99", 2},           // か + combining voiced mark
        {"a\xE2\x80\x8B" "b", 2},                  // zero-width space
        {"\xFF" "ab", 3},                          // a stray byte is one replacement column
        {"\xE5\x9F", 2},                           // a cut sequence: each byte one column
        {"\xF0\x9F\x8E\xAE", 2},                   // 🎮: a wide pictograph
    };
    for (const Case& c : cases) EXPECT_EQ(text::DisplayWidth(c.text), c.width) << c.text;
}

TEST(TextWidth, CutsWholeCharactersToFitColumns) {
    struct Case {
        const char* text;
        size_t columns;
        const char* kept;
    } const cases[] = {
        {"stage", 3, "sta"},
        {"stage", 9, "stage"},
        {"\xE5\x9F\x8E\xE5\xB8\x82", 3, "\xE5\x9F\x8E"},  // the second wide character does not fit
        {"\xE5\x9F\x8E\xE5\xB8\x82", 1, ""},
        {"e\xCC\x81x", 1, "e\xCC\x81"},                   // the mark stays with its letter
    };
    for (const Case& c : cases) EXPECT_EQ(std::string(text::CutToWidth(c.text, c.columns)), c.kept) << c.text;
}

TEST(TextWidth, UnquotedDropsOnePairOfEnclosingQuotes) {
    struct Case {
        const char* text;
        const char* bare;
    } const cases[] = {
        {"\"Kung Fu Palace\"", "Kung Fu Palace"},
        {"  \"Venice\" ", "Venice"},
        {"Venice", "Venice"},
        {"\"half", "\"half"},
        {"\"", "\""},
        {"\"\"", ""},
        {"say \"hi\"", "say \"hi\""},
    };
    for (const Case& c : cases) EXPECT_EQ(std::string(text::Unquoted(c.text)), c.bare) << c.text;
}

}  // namespace
}  // namespace qb

#include "stage/stage_line_source.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "stage/stage_loader.h"
#include "tests/support/temp_dir.h"

namespace qb {
namespace {

struct Delivered {
    std::vector<std::string> lines;
    std::vector<int32_t> numbers;
};

Delivered ReadAll(StageLineSource& source) {
    Delivered d;
    int32_t number = 0;
    std::string line;
    while (source.Next(line, number)) {
        d.lines.push_back(line);
        d.numbers.push_back(number);
    }
    return d;
}

TEST(StageLineSource, CrLfCrAndLfEndLinesAndCleaningApplies) {
    test::TempDir dir;
    auto path = dir.Write("a.def",
                          "[Info]\r\nname\t=\tx\ry = 1 ; note\r\n; comment\r\n   \r\nz\x81\x40=\x81\x40"
                          "2");
    StageLineSource source;
    ASSERT_TRUE(source.Open(path.string()));
    Delivered d = ReadAll(source);
    EXPECT_EQ(d.lines, (std::vector<std::string>{"[Info]", "name = x", "y = 1 ", "z=2"}));
    EXPECT_EQ(d.numbers, (std::vector<int32_t>{1, 2, 3, 6}));
}

// Bare LF ends a line wherever it stands: in LF-only files, short or long, and alone in a CR LF file.
// Line numbers are those of the file; an LF after CR is one line end, LF LF is an empty line.
TEST(StageLineSource, BareLfEndsALineAlsoAmongCrLfLines) {
    struct Case {
        const char* name;
        std::string text;
    };
    const Case cases[] = {
        {"short LF file", "[Info]\nname = x\n\nspr = a.sff\n[Camera]\n"},
        {"CR LF file with one LF line", "[Info]\r\nname = x\r\n\r\nspr = a.sff\n[Camera]\r\n"},
        {"CR and LF", "[Info]\rname = x\n\r\nspr = a.sff\n[Camera]"},
    };
    for (const Case& c : cases) {
        test::TempDir dir;
        auto path = dir.Write("a.def", c.text);
        StageLineSource source;
        ASSERT_TRUE(source.Open(path.string()));
        Delivered d = ReadAll(source);
        EXPECT_EQ(d.lines, (std::vector<std::string>{"[Info]", "name = x", "spr = a.sff", "[Camera]"}))
            << c.name;
        EXPECT_EQ(d.numbers, (std::vector<int32_t>{1, 2, 4, 5})) << c.name;
    }
}

TEST(StageLineSource, OverlongLinesAreCappedAndMissingFileFails) {
    test::TempDir dir;
    std::string huge(RawLineReader::kMaxLineLength * 3, 'a');
    auto path = dir.Write("a.def", huge + "\r\nx = 1\r\n");
    StageLineSource source;
    ASSERT_TRUE(source.Open(path.string()));
    Delivered d = ReadAll(source);
    ASSERT_FALSE(d.lines.empty());
    for (const auto& line : d.lines) EXPECT_LE(line.size(), RawLineReader::kMaxLineLength);
    EXPECT_EQ(d.lines.back(), "x = 1");
    StageLineSource none;
    EXPECT_FALSE(none.Open((dir.Path() / "none.def").string()));
}

TEST(IsStage, FindsCameraInAnyCaseAndClosesTheFile) {
    test::TempDir dir;
    auto yes = dir.Write("yes.def", "[Info]\r\n[CaMeRa]\r\n");
    auto no = dir.Write("no.def", "[Info]\r\nname = stcommon\r\n");
    std::string across(20000, 'x');
    auto far = dir.Write("far.def", across + "CAMERA");
    EXPECT_TRUE(IsStage(yes.string()));
    EXPECT_FALSE(IsStage(no.string()));
    EXPECT_TRUE(IsStage(far.string()));
    EXPECT_FALSE(IsStage((dir.Path() / "missing.def").string()));
    // Nothing stays open: the file can be removed and the folder emptied right away.
    for (int i = 0; i < 2000; ++i) IsStage(yes.string());
    std::filesystem::remove(yes);
    EXPECT_FALSE(std::filesystem::exists(yes));
}

}  // namespace
}  // namespace qb

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

TEST(StageLineSource, CrAndCrLfEndLinesAndCleaningApplies) {
    test::TempDir dir;
    auto path = dir.Write("a.def",
                          "[Info]\r\nname\t=\tx\ry = 1 ; note\r\n; comment\r\n   \r\nz\x81\x40=\x81\x40"
                          "2");
    StageLineSource source;
    ASSERT_TRUE(source.Open(path.string(), dir.Path().string()));
    EXPECT_FALSE(source.Repaired());
    Delivered d = ReadAll(source);
    EXPECT_EQ(d.lines, (std::vector<std::string>{"[Info]", "name = x", "y = 1 ", "z=2"}));
    EXPECT_EQ(d.numbers, (std::vector<int32_t>{1, 2, 3, 6}));
}

TEST(StageLineSource, ShortBareLfFileIsOneLine) {
    test::TempDir dir;
    auto path = dir.Write("a.def", "[Info]\nname = x\nstartx = 5\n");
    StageLineSource source;
    ASSERT_TRUE(source.Open(path.string(), dir.Path().string()));
    EXPECT_FALSE(source.Repaired());
    Delivered d = ReadAll(source);
    ASSERT_EQ(d.lines.size(), 1u);
    EXPECT_EQ(d.lines[0], "[Info]\nname = x\nstartx = 5\n");
}

std::string LongLfFile() {
    std::string text = "[Info]\nname = Long\n";
    for (int i = 0; i < 20; ++i) text += "; padding line " + std::to_string(i) + "\n";
    text += "[Camera]\nstartx = 5\nboundleft = -9";  // no final line end
    return text;
}

TEST(StageLineSource, LongBareLfFileIsRepairedThroughFixDefAndItIsDeleted) {
    test::TempDir dir;
    test::TempDir program;
    auto path = dir.Write("a.def", LongLfFile());
    StageLineSource source;
    ASSERT_TRUE(source.Open(path.string(), program.Path().string()));
    EXPECT_TRUE(source.Repaired());
    EXPECT_FALSE(source.RepairedInMemory());
    EXPECT_EQ(std::filesystem::path(source.ActivePath()).filename(), "fix.def");
    EXPECT_TRUE(std::filesystem::exists(program.Path() / "fix.def"));
    Delivered d = ReadAll(source);
    EXPECT_EQ(d.lines, (std::vector<std::string>{"[Info]", "name = Long", "[Camera]", "startx = 5",
                                                 "boundleft = -9"}));
    // Every line of the original but the last is followed by an empty line in the copy.
    EXPECT_EQ(d.numbers, (std::vector<int32_t>{1, 3, 45, 47, 49}));
    source.Close();
    EXPECT_FALSE(std::filesystem::exists(program.Path() / "fix.def"));
}

TEST(StageLineSource, UnwritableProgramFolderRepairsInMemoryWithSameLines) {
    test::TempDir dir;
    auto path = dir.Write("a.def", LongLfFile());
    Delivered onDisk;
    {
        test::TempDir program;
        StageLineSource source;
        ASSERT_TRUE(source.Open(path.string(), program.Path().string()));
        onDisk = ReadAll(source);
    }
    test::TempDir parent;
    std::string missing = (parent.Path() / "no" / "such" / "folder").string();
    StageLineSource source;
    ASSERT_TRUE(source.Open(path.string(), missing));
    EXPECT_TRUE(source.RepairedInMemory());
    Delivered inMemory = ReadAll(source);
    EXPECT_EQ(inMemory.lines, onDisk.lines);
    EXPECT_EQ(inMemory.numbers, onDisk.numbers);
    source.Close();
    EXPECT_TRUE(std::filesystem::is_empty(parent.Path()));
}

TEST(StageLineSource, ReadOnlyProgramFolderLeavesNoStrayFile) {
    test::TempDir dir;
    test::TempDir program;
    auto path = dir.Write("a.def", LongLfFile());
    std::filesystem::permissions(program.Path(),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    StageLineSource source;
    ASSERT_TRUE(source.Open(path.string(), program.Path().string()));
    Delivered d = ReadAll(source);
    EXPECT_EQ(d.lines.size(), 5u);
    source.Close();
    std::filesystem::permissions(program.Path(), std::filesystem::perms::owner_all);
    EXPECT_TRUE(std::filesystem::is_empty(program.Path()));
}

TEST(StageLineSource, OverlongLinesAreCappedAndMissingFileFails) {
    test::TempDir dir;
    std::string huge(RawLineReader::kMaxLineLength * 3, 'a');
    auto path = dir.Write("a.def", huge + "\r\nx = 1\r\n");
    StageLineSource source;
    ASSERT_TRUE(source.Open(path.string(), dir.Path().string()));
    Delivered d = ReadAll(source);
    ASSERT_FALSE(d.lines.empty());
    for (const auto& line : d.lines) EXPECT_LE(line.size(), RawLineReader::kMaxLineLength);
    EXPECT_EQ(d.lines.back(), "x = 1");
    StageLineSource none;
    EXPECT_FALSE(none.Open((dir.Path() / "none.def").string(), dir.Path().string()));
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

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/paths.h"
#include "tests/support/temp_dir.h"

namespace qb {
namespace {

TEST(Paths, ResolvesEachComponentWithoutRegardToCase) {
    test::TempDir dir;
    dir.Write("Stages/SlashBG.sff", "x");
    dir.Write("sound/Theme.MP3", "y");
    EXPECT_EQ(ResolvePath(dir.Dir() + "stages\\slashbg.sff"), dir.Dir() + "Stages/SlashBG.sff");
    EXPECT_EQ(ResolvePath(dir.Dir() + "STAGES/SLASHBG.SFF"), dir.Dir() + "Stages/SlashBG.sff");
    EXPECT_EQ(ResolvePath(dir.Dir() + "Sound\\theme.mp3"), dir.Dir() + "sound/Theme.MP3");
    // A folder keeps its trailing separator.
    EXPECT_EQ(ResolvePath(dir.Dir() + "STAGES\\"), dir.Dir() + "Stages/");
    // Missing components are kept as written so new files can be named.
    EXPECT_EQ(ResolvePath(dir.Dir() + "stages\\New.def"), dir.Dir() + "Stages/New.def");
    EXPECT_EQ(ResolvePath(dir.Dir() + "none\\SlashBG.sff"), dir.Dir() + "none/SlashBG.sff");
    EXPECT_EQ(ResolvePath(""), "");
}

TEST(Paths, ExactCaseWinsOverOtherCaseMatches) {
    test::TempDir dir;
    dir.Write("kfm.def", "a");
    dir.Write("KFM.def", "b");
    EXPECT_EQ(ResolvePath(dir.Dir() + "KFM.def"), dir.Dir() + "KFM.def");
    EXPECT_EQ(ResolvePath(dir.Dir() + "kfm.def"), dir.Dir() + "kfm.def");
    // Neither exact: the first in byte order, whatever order the folder lists them in.
    EXPECT_EQ(ResolvePath(dir.Dir() + "Kfm.def"), dir.Dir() + "KFM.def");
}

TEST(Paths, FileAndFolderQueries) {
    test::TempDir dir;
    dir.Write("Chars/KFM/kfm.def", "x");
    EXPECT_TRUE(FileExists(dir.Dir() + "chars\\kfm\\KFM.DEF"));
    EXPECT_FALSE(FileExists(dir.Dir() + "chars\\kfm"));  // a folder is not a file
    EXPECT_FALSE(FileExists(dir.Dir() + "chars\\kfm\\other.def"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(DirExists(dir.Dir() + "CHARS\\Kfm\\"));
    EXPECT_TRUE(DirExists(dir.Dir() + "chars"));
    EXPECT_FALSE(DirExists(dir.Dir() + "chars\\kfm\\kfm.def"));
    EXPECT_FALSE(DirExists(dir.Dir() + "nothing"));
    if (::geteuid() != 0) {  // root reads anything
        const auto locked = dir.Write("locked.def", "x");
        ::chmod(locked.c_str(), 0);
        EXPECT_FALSE(FileExists(locked.string()));
    }
}

TEST(Paths, TextHelpersTakeBothSeparators) {
    EXPECT_EQ(GetPath("c:\\mugen\\stages\\kfm.def"), "c:\\mugen\\stages\\");
    EXPECT_EQ(GetPath("/m/stages/kfm.def"), "/m/stages/");
    EXPECT_EQ(GetPath("a/b\\c.def"), "a/b\\");
    EXPECT_EQ(GetPath("kfm.def"), "");
    EXPECT_EQ(FileNameOf("a/b\\c.def"), "c.def");
    EXPECT_EQ(FileNameOf("c.def"), "c.def");
    EXPECT_EQ(FileNameOf("dir/"), "");
    EXPECT_EQ(JoinPath("/m/", "stages/x.def"), "/m/stages/x.def");
    EXPECT_EQ(JoinPath("/m", "x.def"), "/m/x.def");
    EXPECT_EQ(JoinPath("c:\\m\\", "\\x.def"), "c:\\m\\x.def");
    EXPECT_EQ(JoinPath("", "x.def"), "x.def");
    EXPECT_EQ(ToNativePath("stages\\kfm.sff"), "stages/kfm.sff");
}

TEST(Paths, ReadFileBytesHonoursItsLimit) {
    test::TempDir dir;
    const std::string content(1000, 'q');
    dir.Write("Data.bin", content);
    auto whole = ReadFileBytes(dir.Dir() + "data.BIN", 1000);
    ASSERT_TRUE(whole);
    EXPECT_EQ(*whole, content);
    EXPECT_FALSE(ReadFileBytes(dir.Dir() + "data.bin", 999));
    EXPECT_FALSE(ReadFileBytes(dir.Dir() + "missing.bin", 1000));
    EXPECT_FALSE(ReadFileBytes(dir.Path().string(), 1000));
    auto empty = ReadFileBytes((dir.Write("e", "")).string(), 10);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

TEST(Paths, WriteFileAtomicReplacesWholeAndLeavesNoTemporary) {
    test::TempDir dir;
    const auto target = dir.Write("QB.cfg", "old");
    ::chmod(target.c_str(), 0600);
    ASSERT_TRUE(WriteFileAtomic(dir.Dir() + "qb.CFG", "new content"));
    EXPECT_EQ(dir.Read("QB.cfg"), "new content");
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);  // the replaced file's permissions are kept

    ASSERT_TRUE(WriteFileAtomic(dir.Dir() + "fresh.def", std::string("a\0b", 3)));
    EXPECT_EQ(dir.Read("fresh.def"), std::string("a\0b", 3));

    EXPECT_FALSE(WriteFileAtomic(dir.Dir() + "no/such/folder/x.def", "x"));
    EXPECT_FALSE(WriteFileAtomic(dir.Dir(), "x"));
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        ++entries;
        EXPECT_EQ(e.path().filename().string().find(".tmp-"), std::string::npos) << e.path();
    }
    EXPECT_EQ(entries, 2);
}

}  // namespace
}  // namespace qb

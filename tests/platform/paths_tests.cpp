#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/paths.h"
#include "platform/zip_archive.h"
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
    // A file that says it is empty but is not (the kernel's own files) is still read to its end.
    auto status = ReadFileBytes("/proc/self/status", 1 << 20);
    ASSERT_TRUE(status);
    EXPECT_NE(status->find("Name:"), std::string::npos);
    EXPECT_FALSE(ReadFileBytes("/proc/self/status", 10));
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

// A FIFO (or a device) opened plainly blocks until a writer comes: every reader of a path goes
// through the one open that does not wait and takes regular files only.
TEST(Paths, ReadersTakeRegularFilesOnlyAndNeverWaitOnAFifo) {
    test::TempDir dir;
    dir.Write("real.def", "[Camera]");
    ASSERT_EQ(::mkfifo((dir.Path() / "pipe.def").c_str(), 0600), 0);
    const struct {
        const char* name;
        bool regular;
    } paths[] = {{"real.def", true}, {"PIPE.def", false}, {"", false}, {"missing.def", false}};
    for (const auto& c : paths) {
        const std::string path = dir.Dir() + c.name;
        const int fd = OpenRegularFile(path);
        EXPECT_EQ(fd >= 0, c.regular) << c.name;
        if (fd >= 0) ::close(fd);
        EXPECT_EQ(FileExists(path), c.regular) << c.name;
        EXPECT_EQ(ReadFileBytes(path, 100).has_value(), c.regular) << c.name;
        EXPECT_EQ(ReadFileHead(path, 4).value_or("-"), c.regular ? "[Cam" : "-") << c.name;
        EXPECT_FALSE(ZipArchive::Open(path)) << c.name;  // returns at once: none of them is an archive
    }
}

// Root rewriting a user's file hands it back to the user: the owner and group stay.
TEST(Paths, WriteFileAtomicKeepsOwnerAndGroup) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    test::TempDir dir;
    const auto target = dir.Write("stage.def", "old");
    ASSERT_EQ(::chown(target.c_str(), 4321, 8765), 0);
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomic(target.string(), "new"));
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 8765u);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(dir.Read("stage.def"), "new");
}

}  // namespace
}  // namespace qb

#include "stage/stage_writer.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace qb {
namespace {

TEST(StageWriter, RewritesOnlyTheMusicAndVolumeKeys) {
    struct Case {
        const char* name;
        std::string in;
        std::string out;
    };
    const Case cases[] = {
        {"comment and its blanks kept", "bgmusic = old.mp3   ; intro\r\nbgvolume = 3\r\n",
         "bgmusic = new.mp3   ; intro\r\nbgvolume = -7\r\n"},
        {"tabs before the comment kept, text up to the first = kept",
         "  BGMusic\t=old.mp3\t; a=b\r\n\tbgVolume= 9 ;x\r\n",
         "  BGMusic\t= new.mp3\t; a=b\r\n\tbgVolume= -7 ;x\r\n"},
        {"every line keeps its own end, CR LF, lone CR or LF; no final newline stays none",
         "[Music]\nbgmusic = a.mp3\rbgvolume = 0\r\nx = 1",
         "[Music]\nbgmusic = new.mp3\rbgvolume = -7\r\nx = 1"},
        {"commented-out and look-alike keys untouched, missing lines inserted with the file's LF",
         "[Music]\n; bgmusic = old.mp3\nBGMusic.Loop = 1\nmybgvolume = 2\n",
         "[Music]\nbgmusic = new.mp3\nbgvolume = -7\n; bgmusic = old.mp3\nBGMusic.Loop = 1\n"
         "mybgvolume = 2\n"},
        {"an empty value gets the new one", "bgmusic =\nbgvolume =  ;c\n",
         "bgmusic = new.mp3\nbgvolume = -7  ;c\n"},
        {"missing volume goes after the first key line following [music]",
         "[Info]\nname = x\n[Music] ; tunes\n\n; note\nbgmusic = a.mp3\n[BGdef]\nspr = x.sff\n",
         "[Info]\nname = x\n[Music] ; tunes\n\n; note\nbgmusic = new.mp3\nbgvolume = -7\n[BGdef]\n"
         "spr = x.sff\n"},
        {"missing music goes right after the first [music] line, volume kept",
         "[music]\r\nbgvolume = 1\r\n[Music]\r\n",
         "[music]\r\nbgmusic = new.mp3\r\nbgvolume = -7\r\n[Music]\r\n"},
        {"neither line: both, music then volume", "[Music]\n[BGdef]\nspr = a.sff\n",
         "[Music]\nbgmusic = new.mp3\nbgvolume = -7\n[BGdef]\nspr = a.sff\n"},
        {"inserted lines end as most of the file's lines do", "[Music]\r\n[BGdef]\nspr = a.sff\nx = 1\n",
         "[Music]\r\nbgmusic = new.mp3\nbgvolume = -7\n[BGdef]\nspr = a.sff\nx = 1\n"},
        {"no key line after [music]: the volume right after it", "bgmusic = a.mp3\n[Music]\n",
         "bgmusic = new.mp3\n[Music]\nbgvolume = -7\n"},
        {"[music] as the last line without a line end", "[BGdef]\r\nspr = a.sff\r\n[Music]",
         "[BGdef]\r\nspr = a.sff\r\n[Music]\r\nbgmusic = new.mp3\r\nbgvolume = -7"},
        {"no [music] line: nothing inserted", "[BGdef]\nspr = a.sff\n", "[BGdef]\nspr = a.sff\n"},
        {"empty file stays empty", "", ""},
        {"of two music lines the one a load reads (the last) changes; a commented header is none",
         "; [music]\nbgmusic = a.mp3\n[Music]\nbgmusic = b.mp3\n",
         "; [music]\nbgmusic = a.mp3\n[Music]\nbgmusic = new.mp3\nbgvolume = -7\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RewriteMusicLines(c.in, "new.mp3", -7), c.out) << c.name;
    }
}

struct StageFolder {
    test::TempDir dir;
    const std::string original = "[Music]\nbgmusic = old.mp3\nbgvolume = 0\n";
    std::string path = dir.Write("Stage.def", original).string();

    size_t Entries() const {
        size_t n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++n;
        return n;
    }
};

TEST(StageWriter, ChangeMusicReplacesTheFileKeepingItsPermissions) {
    StageFolder f;
    ::chmod(f.path.c_str(), 0640);
    std::string error;
    // The name is resolved without regard to case, as content names files.
    ASSERT_TRUE(ChangeMusic(f.dir.Dir() + "stage.DEF", "sound/new.ogg", 12, error)) << error;
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(f.dir.Read("Stage.def"), "[Music]\nbgmusic = sound/new.ogg\nbgvolume = 12\n");
    struct stat st;
    ASSERT_EQ(::stat(f.path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // The author's version is kept beside it, once: a second rewrite leaves the backup alone.
    EXPECT_EQ(f.dir.Read("Stage.def.bak"), f.original);
    ASSERT_TRUE(ChangeMusic(f.path, "again.mp3", 3, error)) << error;
    EXPECT_EQ(f.dir.Read("Stage.def.bak"), f.original);
    EXPECT_EQ(f.Entries(), 2u);

    // Through a symbolic link the file it names is rewritten and the link kept.
    const std::string link = f.dir.Dir() + "link.def";
    ASSERT_EQ(::symlink(f.path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(ChangeMusic(link, "linked.mp3", 1, error)) << error;
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(f.dir.Read("Stage.def"), "[Music]\nbgmusic = linked.mp3\nbgvolume = 1\n");
}

TEST(StageWriter, ChangeMusicNeverLosesTheStageFile) {
    const struct {
        AtomicWriteFault fault;
        const char* says;
    } faults[] = {
        {AtomicWriteFault::CreateTemporary, "temporary file"},
        {AtomicWriteFault::Write, "write"},
        {AtomicWriteFault::Replace, "replace"},
    };
    for (const auto& c : faults) {
        StageFolder f;
        std::string error;
        EXPECT_FALSE(ChangeMusic(f.path, "new.mp3", 5, error, c.fault)) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_NE(error.find("Stage.def"), std::string::npos) << error;
        EXPECT_EQ(f.dir.Read("Stage.def"), f.original) << c.says;
        EXPECT_EQ(f.Entries(), 2u) << "a temporary file was left behind after: " << c.says;
        EXPECT_EQ(f.dir.Read("Stage.def.bak"), f.original) << c.says;
    }
}

TEST(StageWriter, ChangeMusicRefusesWhatItCannotWrite) {
    StageFolder f;
    std::string error;
    ::chmod(f.path.c_str(), 0444);
    EXPECT_FALSE(ChangeMusic(f.path, "new.mp3", 5, error));
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_EQ(f.dir.Read("Stage.def"), f.original);

    EXPECT_FALSE(ChangeMusic(f.dir.Dir() + "missing.def", "new.mp3", 5, error));
    EXPECT_NE(error.find("does not exist"), std::string::npos) << error;
    EXPECT_EQ(f.Entries(), 1u);
    f.dir.Write("bare.def", "[BGdef]\nspr = a.sff\n");  // the keys would have no section to go into
    EXPECT_FALSE(ChangeMusic(f.dir.Dir() + "bare.def", "new.mp3", 5, error));
    EXPECT_NE(error.find("has no [Music] section"), std::string::npos) << error;
    EXPECT_EQ(f.Entries(), 2u);
}

// The name is one line of the stage: line breaks in it would write sections and keys of their own.
TEST(StageWriter, ChangeMusicRefusesNamesWithControlCharacters) {
    const std::string names[] = {"x.mp3\r\n[BGdef]\r\nspr = evil.sff", std::string("a\0b.mp3", 7), "a\tb.mp3",
                                 "a\x7f.mp3"};
    for (const std::string& name : names) {
        StageFolder f;
        std::string error;
        EXPECT_FALSE(ChangeMusic(f.path, name, 5, error)) << name;
        EXPECT_NE(error.find("control characters"), std::string::npos) << error;
        EXPECT_EQ(f.dir.Read("Stage.def"), f.original);
    }
    StageFolder f;
    std::string error;
    EXPECT_TRUE(ChangeMusic(f.path, "sound\\\xE9t\xE9 song.mp3", 5, error))
        << error;  // bytes above 127 are text
}

}  // namespace
}  // namespace qb

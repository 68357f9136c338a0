// The headless tool's --char-info: a character loaded and printed, against a reading of its files by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace qb {
namespace {

// Both corpus characters through the headless tool, against a reading of their files by hand.
TEST(ShotCharInfo, CorpusCharactersDump) {
    const auto corpus = test::CorpusDir();
    if (corpus.empty() || !std::filesystem::is_directory(corpus / "chars")) GTEST_SKIP() << "no corpus";
    struct Expect {
        const char* folder;
        const char* def;
        std::vector<std::string> lines;
    };
    const Expect expects[] = {
        {"kazzmir__kfm-winmugen-2001",
         "kfm.def",
         {"char: name=Kung Fu Man canturn=-1 xscale=1 yscale=1 walkspeed=2.4 jump=0,-8.4 yaccel=0.44 sprites=40",
          "action 1: number=5 frames=2 loopstart=0 looplimit=0",
          "frame 1.0: group=5 image=0 sprite=11 offset=0,0 time=4 fliph=-1",
          "action 4: number=41 frames=9 loopstart=7 looplimit=0",
          "frame 5.0: group=11 image=0 sprite=29 offset=0,0 time=3 fliph=0",
          "sprite 0: group=0 image=0 axis=18,105 size=47x106", "sprite 39: group=11 image=0 axis=17,91 size=49x92"}},
        {"MineTech99__sf2vega",
         "sf2'vega.def",
         {"char: name=VEGA canturn=-1 xscale=1 yscale=1 walkspeed=4 jump=0,-8 yaccel=0.33 sprites=20",
          "frame 2.3: group=0 image=0 sprite=0 offset=0,0 time=8 fliph=0",
          "frame 4.4: group=41 image=0 sprite=14 offset=0,0 time=100 fliph=0",
          "action 5: number=47 frames=1 loopstart=0 looplimit=0", "sprite 13: group=40 image=0 axis=31,77 size=87x82"}},
    };
    for (const Expect& e : expects) {
        SCOPED_TRACE(e.folder);
        test::TempDir mugen;
        std::filesystem::create_directories(mugen.Path() / "chars");
        std::filesystem::copy(corpus / "chars" / e.folder, mugen.Path() / "chars" / "c",
                              std::filesystem::copy_options::recursive);
        const auto out = mugen.Path() / "dump.txt";
        const std::string command = std::string("\"") + QB_SHOT_EXE + "\" --mugen \"" + mugen.Dir() + "\" --char \"" +
                                    (mugen.Path() / "chars" / "c" / e.def).string() + "\" --char-info > \"" +
                                    out.string() + "\"";
        ASSERT_EQ(std::system(command.c_str()), 0);
        const std::string dump = mugen.Read("dump.txt");
        for (const std::string& line : e.lines) EXPECT_NE(dump.find(line + "\n"), std::string::npos) << line;
    }
}

}  // namespace
}  // namespace qb

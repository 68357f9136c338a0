// What quillback-shot --info prints about the keys of the engine's 1.0 and 1.1 releases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/shot_tool.h"
#include "tests/lint/lint_stage_text.h"
#include "tests/support/temp_dir.h"

namespace qb::test {

TEST(ShotInfo, ModernLinesShowZoomShadowAndTheElementKeysThatAreNotDefaults) {
    struct Case {
        std::string name, stageKeys, extra;
        std::vector<std::string> lines;  // every "modern: " line after the picture line, in order
    };
    const std::vector<Case> cases = {
        {"plain",
         "",
         "",
         {"modern: zoom zoomout=1 zoomin=1 startzoom=1 tensionhigh=-1 tensionlow=-1",
          "modern: shadow fade.range=none xshear=0"}},
        {"keys",
         "zoomout = 0.7\nzoomin = 1.5\nstartzoom = 1.25\ntensionhigh = 20\ntensionlow = 40\n"
         "[Shadow]\nfade.range = -300, -50\nxshear = 0.25\n",
         "scalestart = 2, 0.5\nscaledelta = 0.125, 0\nzoomdelta = 0.5\nwindow = 0, 0, 100, 50\n"
         "windowdelta = 1, 0.5\n"
         "[BG Plain]\nspriteno = 1,0\n"
         "[BG Floor]\ntype = parallax\nspriteno = 1,0\nwidth = 300, 600\n",
         {"modern: zoom zoomout=0.7 zoomin=1.5 startzoom=1.25 tensionhigh=20 tensionlow=40",
          "modern: shadow fade.range=-300,-50 xshear=0.25",
          "modern: element 0: scalestart=2,0.5 scaledelta=0.125,0 zoomdelta=0.5 window=window:0,0,100,50 "
          "windowdelta=1,0.5",
          "modern: element 2: width=300,600"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        dir.Write("stages/" + c.name + ".sff", demo::WriteSff(kSprites));
        const std::string def =
            dir.Write("stages/" + c.name + ".def", LintStageText(c.name, c.stageKeys, c.extra)).string();
        std::string out;
        ASSERT_EQ(RunShotTool("--mugen " + Quote(dir.Dir()) + " " + Quote(def) + " --info", &out), 0);
        const size_t picture = out.find("\nmodern: picture ");
        ASSERT_NE(picture, std::string::npos) << out;
        std::vector<std::string> lines;
        for (size_t at = out.find('\n', picture + 1); at != std::string::npos && at + 1 < out.size();) {
            const size_t end = out.find('\n', at + 1);
            lines.push_back(out.substr(at + 1, end - at - 1));
            at = end;
        }
        EXPECT_EQ(lines, c.lines);
    }
}

}  // namespace qb::test

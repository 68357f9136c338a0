#include "app/stage_lint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/app/app_fixture.h"
#include "tests/render/picture_file.h"

namespace qb::test {

namespace {

// A stage whose sprite file holds 0,0 and 1,0; `extra` goes after its one element.
std::string LintStageText(const std::string& name, const std::string& stageKeys, const std::string& extra) {
    return "[Info]\nname = " + name + "\n[Camera]\nstartx = 0\n" + stageKeys +  // from line 5
           "[BGdef]\nspr = stages/" + name + ".sff\n[BG Sky]\ntype = normal\nspriteno = 0,0\n" + extra;
}

const std::vector<demo::SffSprite> kSprites = {SolidSprite(0, 0), SolidSprite(1, 0)};

}  // namespace

TEST(StageLint, EachKindOfProblemIsFoundWithItsLine) {
    AppFixture f;
    struct Case {
        std::string name, stageKeys, extra;
        std::string sff;  // "" writes kSprites, "-" none, else these bytes
        std::vector<LintKind> kinds;
        int32_t line;
        std::string says;
    };
    const std::vector<Case> cases = {
        // bgmusic in another letter case than the file in sound/: found, as the player finds it.
        {"clean",
         "bgmusic = Sound/Theme.MP3\n",
         "[BG Anim]\ntype = anim\nactionno = 3\n[Begin Action 3]\n1,0,0,0,5\n"
         "[BGCtrlDef G]\nctrlid = 0\n",
         "",
         {},
         0,
         ""},
        {"reader",
         "starty = high\n",
         "",
         "",
         {LintKind::Definition},
         5,
         "Type mismatch) reading \"starty = high\""},
        {"nosff", "", "", "-", {LintKind::SpriteFile}, 6, "could not be found"},
        {"badsff", "", "", "not a sprite file", {LintKind::SpriteFile}, 6, "is not a readable sprite file"},
        {"element",
         "",
         "[BG Hill]\nspriteno = 5,1\n",
         "",
         {LintKind::Sprite},
         10,
         "element \"Hill\" (normal): sprite 5,1"},
        {"frame",
         "",
         "[BG A]\ntype = anim\nactionno = 2\n[Begin Action 2]\n1,0,0,0,5\n1,0,0,0,5\n7,7,0,0,5\n",
         "",
         {LintKind::Sprite},
         16,
         "[Begin Action 2] frame 3: sprite 7,7"},
        {"action",
         "",
         "[BG A]\ntype = anim\nactionno = 9\n",
         "",
         {LintKind::Action},
         10,
         "actionno 9 has no"},
        {"ctrl",
         "",
         "[BGCtrlDef G]\nctrlid = 4\n[BGCtrl C]\ntype = visible\nctrlid = 0, 6\n",
         "",
         {LintKind::Controller, LintKind::Controller},
         10,
         "controller group \"G\": ctrlid 4 matches no element"},
        {"music", "bgmusic = sound/gone.mp3\n", "", "", {LintKind::Music}, 5, "gone.mp3\": no such file"},
        {"tile", "", "tile = -1, 0\n", "", {LintKind::Definition}, 10, "tile x is negative"},
    };
    f.mugen.Write("sound/theme.mp3", "ID3");
    // Recursion, and a character's definition beside the stages that is left out.
    f.mugen.Write("stages/chars/kfm.def", "[Info]\nname = \"Kung Fu Man\"\n[Files]\nsprite = kfm.sff\n");
    for (const Case& c : cases) {
        if (c.sff.empty()) f.mugen.Write("stages/" + c.name + ".sff", demo::WriteSff(kSprites));
        if (c.sff.size() > 1) f.mugen.Write("stages/" + c.name + ".sff", c.sff);
        f.mugen.Write("stages/" + std::string(c.name == "clean" ? "sub/" : "") + c.name + ".def",
                      LintStageText(c.name, c.stageKeys, c.extra));
    }
    std::vector<std::string> skipped;
    const std::vector<std::string> found = FindStageDefinitions(f.mugen.Dir() + "stages", &skipped);
    ASSERT_EQ(found.size(), cases.size());
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_NE(skipped[0].find("kfm.def"), std::string::npos);
    EXPECT_EQ(LintMugeDir(f.mugen.Dir() + "stages/"), f.mugen.Dir());

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto at = std::find_if(found.begin(), found.end(), [&](const std::string& p) {
            return p.find("/" + c.name + ".def") != p.npos;
        });
        ASSERT_NE(at, found.end());
        const StageLint lint = LintStage(f.state, *at);
        std::vector<LintKind> kinds;
        for (const LintProblem& p : lint.problems) kinds.push_back(p.kind);
        EXPECT_EQ(kinds, c.kinds);
        EXPECT_EQ(lint.loaded, c.sff != "-");
        if (lint.problems.empty()) continue;
        EXPECT_EQ(lint.problems[0].line, c.line);
        EXPECT_NE(lint.problems[0].message.find(c.says), std::string::npos) << lint.problems[0].message;
    }
    EXPECT_EQ(f.state.bRunning, 0);   // every stage was released again
    EXPECT_TRUE(f.ui.boxes.empty());  // and the front end's ports saw nothing of it
}

TEST(StageLint, ShotPrintsOneJsonDocumentAndExitsByTheResult) {
    TempDir clean, dirty;
    clean.Write("stages/a.sff", demo::WriteSff(kSprites));
    clean.Write("stages/a.def", LintStageText("a", "", ""));
    EXPECT_EQ(RunShotTool("--lint " + Quote(clean.Dir() + "stages")), 0);
    EXPECT_EQ(RunShotTool("--json " + Quote(clean.Dir())), 2);

    // A section title with a quote, a backslash and a Windows-1252 e acute.
    dirty.Write("stages/b.sff", demo::WriteSff(kSprites));
    dirty.Write("stages/b.def", LintStageText("b", "", "[BG Caf\xe9 \"q\" \\]\nspriteno = 9,9\n"));
    std::string json;
    EXPECT_EQ(RunShotTool("--lint " + Quote(dirty.Dir()) + " --json", &json), 1);
    for (const char* part :
         {"\"mugen\": ", "\"stages\": [", "\"file\": ", "\"loaded\": true", "\"counts\": {",
          "\"kind\": \"sprite\", \"line\": 10", "element \\\"Caf\xc3\xa9 \\\"q\\\" \\\\\\\" (normal)",
          "\"totals\": {\"stages\": 1, \"withProblems\": 1, \"problems\": 1", "\"sprite\": 1"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
    EXPECT_EQ(json.find_first_of("\r\t\xe9"), std::string::npos);
    EXPECT_EQ(json.back(), '\n');
    EXPECT_EQ(json[json.size() - 2], '}');
}

}  // namespace qb::test

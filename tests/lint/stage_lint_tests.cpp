#include "lint/stage_lint.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/gfx.h"
#include "tests/lint/lint_stage_text.h"
#include "tests/support/modern_stage.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

namespace qb::test {

// A MUGEN directory and the temporary folder packages are extracted into; the loads need the graphics
// library started.
struct LintFixture {
    TempDir mugen;
    TempDir temp;
    LintFixture() { a_allegro_init(); }
};

TEST(StageLint, LintNamesADamagedSpriteInsteadOfRefusingTheFile) {
    LintFixture f;
    f.mugen.Write("stages/modern.sff", test::ModernTestSff());
    const std::string def = f.mugen.Write("stages/modern.def", test::ModernTestDef("stages/modern.sff")).string();
    StageLint lint = LintDefinition(f.mugen.Dir(), def);
    ASSERT_TRUE(lint.loaded);
    ASSERT_EQ(lint.Count(LintKind::SpriteFile), 0);
    ASSERT_EQ(lint.Count(LintKind::Sprite), 1);
    for (const LintProblem& p : lint.problems)
        if (p.kind == LintKind::Sprite) {
            EXPECT_EQ(p.message, "sprite 3,0 in modern.sff: link cannot be decoded");
        }
}

TEST(StageLint, EachKindOfProblemIsFoundWithItsLine) {
    LintFixture f;
    struct Case {
        std::string name, stageKeys, extra;
        std::string sff;  // "" writes kSprites, "-" none, else these bytes
        std::vector<LintKind> kinds;
        int32_t line;
        std::string says;
        // A package: its file under stages/, and entries listed before the stage's own
        // "<name>/stages/<name>.def" and ".sff".
        std::string zip = {};
        std::vector<ZipItem> entries = {};
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
        {"stray",
         "starty = 5\xE2\x80\xAC\n",
         "",
         "",
         {LintKind::Definition},
         5,
         "character U+202C at column 11"},
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
        // Told as written (folder and letter case kept), with where the player looked.
        {"music",
         "bgmusic = Sound/Gone.mp3\n",
         "",
         "",
         {LintKind::Music},
         5,
         "bgmusic \"Sound/Gone.mp3\" was not found (looked for \"" + f.mugen.Dir() +
             "sound/Gone.mp3\" and \""},
        // What the preview does not draw: keys of later engines, and keys of none.
        {"later",
         "ytension.enable = 1\n",
         "angle = 10\n[BGCtrlDef G]\neventID = 3\n",
         "",
         {LintKind::Unsupported, LintKind::Unsupported, LintKind::Unsupported},
         5,
         "\"[Camera]\": \"ytension.enable\" is no key of the engine (misspelt, or another program's)"},
        // Keys of the engine with nothing to draw, and the music keys of 1.1, are not told.
        {"engine", "[PlayerInfo]\np3facing = 1\n[Scaling]\ntopz = 0\n[Music]\nbgmvolume = 50\nbgmloopend = 20\n",
         "sin.y = 1, 2\n[BGCtrlDef G]\nlooptime = 5\n[BGCtrl C]\ntype = null\n", "", {}, 0, ""},
        {"debugbg", "[BGdef]\ndebugbg = 1\n", "", "", {LintKind::Definition}, 6, "\"debugbg\" is left on"},
        // The keys of the 1.0 and 1.1 engines that are drawn, interpolation lines included.
        {"modern",
         "zoomout = 0.8\nzoomin = 1.2\nstartzoom = 1\ntensionhigh = 10\ntensionlow = 20\n"
         "[Shadow]\nfade.range = -300, -50\nxshear = 0.5\n",
         "scalestart = 1, 1\nscaledelta = 0, 0\nzoomdelta = 0.5\nwindowdelta = 1, 1\n"
         "maskwindow = 0, 0, 10, 10\ntrans = AddAlpha\n"
         "[BG Floor]\ntype = parallax\nspriteno = 1,0\nwidth = 100, 200\n"
         "[BG Anim]\ntype = anim\nactionno = 3\n[Begin Action 3]\nInterpolate Offset\n1,0,0,0,5\n1,0,5,0,5\n",
         "",
         {},
         0,
         ""},
        {"window",
         "",
         "window = 0, 0, 10\n",
         "",
         {LintKind::Definition},
         10,
         "element \"[BG Sky]\": \"window\" has 3 values; a window needs four (x1, y1, x2, y2)"},
        // The line written last gives the window: a short one it replaced is not told. A key under a
        // later [Music] header still belongs to the element above it.
        {"maskwindow",
         "",
         "window = 1\nmaskwindow = 0, 0, 10, 10\n[BG Two]\nspriteno = 0,0\nwindow = 0, 0, 1, 1\n[Music]\n"
         "maskwindow = 5,\n",
         "",
         {LintKind::Definition},
         16,
         "element \"[BG Two]\": \"maskwindow\" has 1 value; a window needs four (x1, y1, x2, y2)"},
        {"link",
         "",
         "positionlink = 1\n",
         "",
         {LintKind::Definition},
         10,
         "element \"Sky\" (normal): positionlink = 1 on the first element"},
        {"trans",
         "",
         "trans = ADD1\n[BG Two]\nspriteno = 0,0\ntrans = Blend\n",
         "",
         {LintKind::Definition},
         13,
         "element \"Two\" (normal): trans \"blend\" is not one of none, default, add, add1, sub, addalpha"},
        {"type",
         "",
         "[BG Two]\ntype = Normal\nspriteno = 0,0\n[BG Three]\ntype = normall\nspriteno = 0,0\n",
         "",
         {LintKind::Definition},
         14,
         "element \"Three\" (normal): type \"normall\" is not one of normal, parallax, anim, dummy, null"},
        {"tile", "", "tile = -1, 0\n", "", {LintKind::Definition}, 10, "tile x is negative"},
        {"packed", "", "", "", {}, 0, "", "packs/Packed.ZIP"},
        // Entries the extraction refuses are told; the sprite file was one of them.
        {"hostile",
         "",
         "",
         "-",
         {LintKind::Load, LintKind::Load, LintKind::SpriteFile},
         0,
         "stages/hostile.sff was skipped: a symbolic link",
         "hostile.zip",
         {{"stages/hostile.sff", "/etc/passwd", true}, {"x/\x1b.def", "[Camera]"}}},
        // Every stage of a package, in its listing order; what the package says is told once.
        {"several",
         "",
         "",
         "",
         {LintKind::Load, LintKind::Sprite},
         0,
         "several/stages/link.sff was skipped: a symbolic link",
         "several.zip",
         {{"several/stages/link.sff", "/etc/passwd", true},
          {"several/stages/other.def", LintStageText("several", "", "[BG Hill]\nspriteno = 5,1\n")}}},
    };
    f.mugen.Write("sound/theme.mp3", "ID3");
    // Recursion, and a character's definition beside the stages that is left out.
    f.mugen.Write("stages/chars/kfm.def", "[Info]\nname = \"Kung Fu Man\"\n[Files]\nsprite = kfm.sff\n");
    for (const Case& c : cases) {
        const std::string sff = c.sff.empty() ? demo::WriteSff(kSprites) : c.sff;
        if (!c.zip.empty()) {
            std::vector<ZipItem> items = c.entries;
            const std::string stem = c.name + "/stages/" + c.name;
            items.push_back({stem + ".def", LintStageText(c.name, c.stageKeys, c.extra)});
            if (sff.size() > 1) items.push_back({stem + ".sff", sff});
            f.mugen.Write("stages/" + c.zip, "");
            ASSERT_TRUE(WriteZip(f.mugen.Dir() + "stages/" + c.zip, items));
            continue;
        }
        if (sff.size() > 1) f.mugen.Write("stages/" + c.name + ".sff", sff);
        f.mugen.Write("stages/" + std::string(c.name == "clean" ? "sub/" : "") + c.name + ".def",
                      LintStageText(c.name, c.stageKeys, c.extra));
    }
    std::vector<std::string> skipped, packages;
    const std::vector<std::string> found =
        FindStageDefinitions(f.mugen.Dir() + "stages", &skipped, &packages);
    ASSERT_EQ(found.size() + packages.size(), cases.size());
    ASSERT_EQ(packages.size(), 3u);
    const auto files = [](const std::string& dir) {
        const std::filesystem::recursive_directory_iterator it(dir);
        return std::distance(begin(it), end(it));
    };
    const auto filesBefore = files(f.mugen.Dir()), tempBefore = files(f.temp.Dir());
    ASSERT_EQ(skipped.size(), 1u);
    EXPECT_NE(skipped[0].find("kfm.def"), std::string::npos);
    EXPECT_EQ(LintMugeDir(f.mugen.Dir() + "stages/"), f.mugen.Dir());

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::string>& among = c.zip.empty() ? found : packages;
        const auto at = std::find_if(among.begin(), among.end(), [&](const std::string& p) {
            return p.find("/" + (c.zip.empty() ? c.name + ".def" : c.zip)) != p.npos;
        });
        ASSERT_NE(at, among.end());
        StageLint lint;
        if (c.zip.empty()) {
            lint = LintDefinition(f.mugen.Dir(), *at);
        } else {
            std::vector<PackageLint> stages = LintPackage(f.mugen.Dir(), f.temp.Dir(), *at);
            ASSERT_EQ(stages.size(), c.name == "several" ? 2u : 1u);
            EXPECT_EQ(stages.back().entry, c.name + "/stages/" + c.name + ".def");
            lint = std::move(stages.front().lint);
            for (size_t i = 1; i < stages.size(); ++i)
                lint.problems.insert(lint.problems.end(), stages[i].lint.problems.begin(),
                                     stages[i].lint.problems.end());
        }
        std::vector<LintKind> kinds;
        for (const LintProblem& p : lint.problems) kinds.push_back(p.kind);
        EXPECT_EQ(kinds, c.kinds);
        EXPECT_EQ(lint.loaded, c.sff != "-");
        if (lint.loaded) {
            EXPECT_EQ(lint.stageName, c.name);  // without the definition's quotes
        }
        if (lint.problems.empty()) continue;
        EXPECT_EQ(lint.problems[0].line, c.line);
        EXPECT_NE(lint.problems[0].message.find(c.says), std::string::npos) << lint.problems[0].message;
    }
    // Packages were extracted into private folders inside the temporary folder, all gone again.
    EXPECT_EQ(files(f.mugen.Dir()), filesBefore);
    EXPECT_EQ(files(f.temp.Dir()), tempBefore);
}

}  // namespace qb::test

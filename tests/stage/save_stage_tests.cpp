#include "stage/save_stage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/text_util.h"
#include "tests/stage/stage_fixture.h"

namespace qb {
namespace {

using test::SolidSprite;
using test::StageFixture;

// Two elements and an animation: a plain one at 0,50 with an add blend and layer 2, an anim at
// 10,50 on the front layer with half delta and tiling, and an empty animation that is not written.
constexpr const char* kStage =
    "[Camera]\nstartx = 12.5\nstarty = 3\nboundleft = -100\nboundright = 100\nboundhigh = -20\nboundlow = 0\n"
    "verticalfollow = 0.5\ntension = 40\n[PlayerInfo]\np1startx = -70\n[Bound]\nscreenleft = 15\n"
    "screenright = 16\n[StageInfo]\nzoffset = 200\n[BGdef]\nspr = test.sff\n"
    "[BG Sky]\ntype = normal\nspriteno = 0,0\nstart = 0,50\ntrans = add\nlayerno = 2\nid = 4\n"
    "tile = 1,0\ntilespacing = 3,0\n"
    "[BG Water]\ntype = anim\nactionno = 7\nstart = 10,50\nlayerno = 1\ndelta = 0.5,1\nmask = 1\n"
    "tile = 1,1\ntilespacing = 2,2\n"
    "[Begin Action 7]\n0,0, 1,-2, 5\n0,0, 0,0, -1, H\n[Begin Action 8]\n";

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
        if (end == std::string::npos) break;
        out.push_back(text.substr(pos, end - pos));
        pos = end + 2;
    }
    return out;
}

void ExpectLines(const std::string& text, const std::vector<std::string>& want) {
    const std::vector<std::string> got = Lines(text);
    EXPECT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size() && i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "line " << i + 1;
}

TEST(SaveStage, WritesEveryLineOfBothStyles) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(kStage));
    f.stage.BoundHigh = -20;  // the loader pulls it up to the elements; the writer writes what it holds
    f.stage.Elements[1].BaseX = 12.5f;  // dragged: halves round to even
    f.stage.Elements[1].BaseY = 51.5f;
    const std::string spr = "spr = " + f.stage.SpriteFile;
    const std::vector<std::string> head1 = {"[Info]",
                                            "Name = \"Fenn Test\"",
                                            "",
                                            "",
                                            "[Camera]",
                                            "startx = 12.5",
                                            "starty = 3",
                                            "boundleft = -100",
                                            "boundright = 100",
                                            "boundhigh = -20",
                                            "boundlow = 0",
                                            "",
                                            "",
                                            "[PlayerInfo]",
                                            "",
                                            "",
                                            "[Scaling]",
                                            "",
                                            "",
                                            "[Bound]",
                                            "",
                                            "",
                                            "[StageInfo]",
                                            "",
                                            "",
                                            "[Shadow]",
                                            "",
                                            "",
                                            "[Music]",
                                            "bgmusic = /m/x.mp3",
                                            "",
                                            "",
                                            "[BGdef]",
                                            spr,
                                            "",
                                            ""};
    std::vector<std::string> want1 = head1;
    for (const char* l : {"[BG Sky]",
                          "type = normal",
                          "spriteno = 0,0",
                          "start = 0,50",
                          "ID = 4",
                          "spriteno = 0,0",
                          "trans = add",
                          "",  //
                          "[BG Water]",
                          "type = anim",
                          "actionno = 7",
                          "start = 10,50",
                          "layerno = 1",
                          "spriteno = 0,0",
                          "start = 10,50",
                          "mask = 1",
                          "tile = 1,1",
                          "tilespacing = 2,2",
                          "",
                          "",
                          "[Begin action 7]",
                          "0,0,1,-2,5",
                          "0,0,0,0,-1,h"})
        want1.push_back(l);
    ExpectLines(SaveStageText(f.stage, "/m/x.mp3", SaveStyle::Stage), want1);

    const std::vector<std::string> want2 = {
        "[Info]", "Name = \"Fenn Test\"", "", "", "[Camera]", "startx = 12.5", "starty = 3",
        "boundleft = -100", "boundright = 100", "boundhigh = -20", "boundlow = 0", "verticalfollow = 0.5",
        "tension = 40", "", "", "[PlayerInfo]", "p1startx = -70", "p1starty = 0", "", "", "[Scaling]", "", "",
        "[Bound]", "screenleft = 15", "screenright = 16", "", "", "[StageInfo]", "zoffset = 200", "", "",
        "[Shadow]", "", "", "[Music]", "bgmusic = ", "", "", "[BGdef]", spr, "", "",
        // Sky: start 0,50 is non-zero in y; tile and spacing each have one non-zero member.
        "[BG Sky]", "type = normal", "spriteno = 0,0", "ID = 4", "start = 0,50", "trans = add", "tile = 1,0",
        "tilespacing = 3,0", "",
        // Water: the dragged base rounded; no mask for anim; one delta differs.
        "[BG Water]", "type = anim", "actionno = 7", "layerno = 1", "start = 12,52", "delta = 0.5,1",
        "tile = 1,1", "tilespacing = 2,2", "", "", "[Begin action 7]", "0,0,1,-2,5", "0,0,0,0,-1,h"};
    ExpectLines(SaveStageText(f.stage, "", SaveStyle::Stage2), want2);
}

TEST(SaveStage, NamesAndValuesThatWouldBreakTheFileReadBack) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText("[BG a]\ntype = normal\nspriteno = 0,0\n[BG b]\ntype = normal\nspriteno = 0,0\n"));
    f.stage.Elements[0].Name = "Sky]\r\n[BG evil";
    f.stage.Elements[0].Trans = "add\nmask = 1";
    f.stage.Elements[1].Name = "x;y=z";
    const std::string path = (f.program.Path() / "test.def").string();
    ASSERT_TRUE(SaveStage(f.stage, "a\nb.mp3", path));
    const std::string written = f.program.Read("test.def");
    for (const auto& line : Lines(written)) EXPECT_EQ(line.find('\n'), std::string::npos);

    StageFixture again;
    ASSERT_TRUE(again.Load(path));
    ASSERT_EQ(again.stage.ElementCount, 2);
    EXPECT_EQ(again.stage.Elements[0].Name, "Sky[BG evil");
    EXPECT_EQ(again.stage.Elements[0].Mask, 0);
    EXPECT_EQ(again.stage.Elements[1].Name, "xyz");
}

TEST(SaveStage, ReplacesThePreviousFileInOneStep) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(kStage));
    const auto path = f.program.Write("stage.def", "previous");
    ASSERT_TRUE(SaveStage2(f.stage, "", path.string()));
    EXPECT_EQ(f.program.Read("stage.def"), SaveStageText(f.stage, "", SaveStyle::Stage2));
    ASSERT_TRUE(SaveStage(f.stage, "", path.string()));
    EXPECT_EQ(f.program.Read("stage.def"), SaveStageText(f.stage, "", SaveStyle::Stage));
    // A folder in the way: the write fails and leaves nothing behind.
    std::filesystem::create_directory(f.program.Path() / "dir.def");
    EXPECT_FALSE(SaveStage(f.stage, "", (f.program.Path() / "dir.def").string()));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.program.Path()), {}), 2);
}

// What the keys of the 1.0 and 1.1 engines fill, as numbers.
std::vector<double> ModernFields(const StageModel& s) {
    return {s.ZoomOut, s.ZoomIn, s.StartZoom, s.MugenVersion, double(s.LocalCoordW), double(s.LocalCoordH),
            double(s.Hires)};
}
std::vector<double> ModernFields(const BgElement& e) {
    return {e.ScaleStartX, e.ScaleStartY, e.ScaleDeltaX, e.ScaleDeltaY, e.ZoomDelta, double(e.WidthGiven),
            e.XScaleTop, e.XScaleBottom, double(e.HasWindow), double(e.WindowKind == 1), double(e.WindowKind == 2),
            double(e.WindowValues == 3), e.WindowX1, e.WindowY1, e.WindowX2, e.WindowY2, e.WindowDeltaX,
            e.WindowDeltaY};
}

// The keys of the 1.0 and 1.1 engines survive both writers: every field they fill reads back the
// same. Each field is set away from its default in the stage (or in one element), so that a writer
// that drops a key fails. A value needing more than seven digits, a short window and a maskwindow
// are among them.
TEST(SaveStage, ModernKeysReadBackTheSame) {
    constexpr const char* kModern =
        "[Info]\nmugenversion = 1.1\n[Camera]\nstartx = 0\nboundleft = -100\nboundright = 100\n"
        "zoomout = .7\nzoomin = 1.25\nstartzoom = 0.9\n[StageInfo]\nzoffset = 600\n"
        "localcoord = 1280, 720\nhires = 1\n[BGdef]\nspr = test.sff\n"
        "[BG Floor]\ntype = parallax\nspriteno = 0,0\nwidth = 100, 220\nscalestart = 1.5, 0.75\n"
        "scaledelta = 0.001, -0.002\nzoomdelta = 0.5\nwindow = 0, 0, 639, 359\nwindowdelta = 0.5, 1\n"
        "[BG Masked]\ntype = normal\nspriteno = 0,0\nmaskwindow = -10, 5, 300, 200.25\nzoomdelta = 0\n"
        "scalestart = 0.123456789\n"
        "[BG Short]\ntype = normal\nspriteno = 0,0\nmaskwindow = 1, 2\nwindow = 4, 5, 6\n"
        "scaledelta = 0, 0.25\n";
    StageFixture f;
    ASSERT_TRUE(f.LoadText(kModern));
    ASSERT_EQ(f.stage.ElementCount, 3);
    const std::vector<double> stageUnset = ModernFields(StageModel{});
    const std::vector<double> stageSet = ModernFields(f.stage);
    for (size_t k = 0; k < stageSet.size(); ++k) EXPECT_NE(stageSet[k], stageUnset[k]) << "stage field " << k;
    const std::vector<double> elementUnset = ModernFields(BgElement{});
    for (size_t k = 0; k < elementUnset.size(); ++k)
        EXPECT_TRUE(std::any_of(f.stage.Elements.begin(), f.stage.Elements.end(),
                                [&](const BgElement& e) { return ModernFields(e)[k] != elementUnset[k]; }))
            << "element field " << k << " is set in no element";

    for (SaveStyle style : {SaveStyle::Stage, SaveStyle::Stage2}) {
        SCOPED_TRACE(style == SaveStyle::Stage ? "SaveStage" : "SaveStage2");
        const auto out = f.program.Write("out.def", SaveStageText(f.stage, "", style));
        StageFixture again;
        ASSERT_TRUE(again.Load(out.string()));
        ASSERT_EQ(again.stage.ElementCount, f.stage.ElementCount);
        EXPECT_EQ(ModernFields(again.stage), stageSet);
        for (size_t i = 0; i < f.stage.Elements.size(); ++i)
            EXPECT_EQ(ModernFields(again.stage.Elements[i]), ModernFields(f.stage.Elements[i]))
                << f.stage.Elements[i].Name;
    }
}

// Every corpus stage saved both ways loads again with the same elements and animations.
TEST(SaveStage, CorpusStagesLoadAgain) {
    const auto corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    int stages = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus / "stages")) {
        if (entry.path().extension() != ".def") continue;
        StageFixture f;
        if (!f.Load(entry.path().string()) || f.stage.SpriteCount == 0) continue;
        ++stages;
        for (SaveStyle style : {SaveStyle::Stage, SaveStyle::Stage2}) {
            const auto out = f.program.Write("out.def", SaveStageText(f.stage, "", style));
            StageFixture again;
            ASSERT_TRUE(again.Load(out.string())) << entry.path();
            EXPECT_EQ(again.stage.ElementCount, f.stage.ElementCount) << entry.path();
            EXPECT_EQ(again.stage.SpriteCount, f.stage.SpriteCount) << entry.path();
            for (size_t i = 0; i < f.stage.Elements.size() && i < again.stage.Elements.size(); ++i) {
                EXPECT_EQ(again.stage.Elements[i].Type, f.stage.Elements[i].Type) << entry.path() << " " << i;
                EXPECT_EQ(again.stage.Elements[i].SpriteIndex, f.stage.Elements[i].SpriteIndex)
                    << entry.path();
            }
        }
    }
    EXPECT_GT(stages, 0);
}

}  // namespace
}  // namespace qb

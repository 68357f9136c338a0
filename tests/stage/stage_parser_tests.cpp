#include "stage/stage_parser.h"

#include <gtest/gtest.h>

#include <array>
#include <tuple>
#include <vector>

#include "tests/stage/stage_fixture.h"

namespace qb {
namespace {

using test::SolidSprite;
using test::StageFixture;

constexpr const char* kHead = "[Info]\r\nname = Test\r\n[Camera]\r\nstartx = 0\r\n";

TEST(StageParser, StageKeysKeepNameBlanksAndCase) {
    StageFixture f;
    ASSERT_TRUE(
        f.LoadText("[Info]\r\nname = \"KOF'97 - U.S.A. Stage\"\r\nmugenversion = 2002,02,14\r\n"
                   "[Camera]\r\nboundleft = -150\r\n"
                   "boundlow = 100\r\nboundright=150\r\ntension = 50\r\n[Music]\r\nbgvolume = 20\r\n"
                   "[BGdef]\r\nspr = stages/test.sff\r\n[BG 0]\r\nspriteno = 0,0\r\n"));
    const StageModel& s = f.Stage();
    EXPECT_EQ(s.StageName, "\"KOF'97 - U.S.A. Stage\"");
    EXPECT_EQ(s.BoundLeft, -150);
    EXPECT_EQ(s.BoundRight, 150);
    EXPECT_EQ(s.BoundLow, 0);  // a boundlow line always leaves 0
    EXPECT_EQ(s.Tension, 50);
    EXPECT_EQ(s.BgVolume, 20);
    EXPECT_EQ(s.MugenVersion, 0);  // the documented date form: the engines before 1.0, no error
    EXPECT_EQ(s.ElementCount, 1);
    EXPECT_TRUE(f.Log().empty()) << f.Log();
}

TEST(StageParser, PlayerInfoKeysAndTheirEngineDefaults) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(std::string(kHead) +
                           "[PlayerInfo]\r\np1startx = -80\r\np1facing = -1\r\np2startx = 90\r\np2starty = -5\r\n"
                           "p2facing = 1\r\nleftbound = -300\r\nrightbound = 320\r\n"
                           "[BGdef]\r\nspr = stages/test.sff\r\n[BG 0]\r\nspriteno = 0,0\r\n"));
    const StageModel& s = f.Stage();
    EXPECT_EQ(std::tie(s.P1StartX, s.P1Facing, s.P2StartX, s.P2StartY, s.P2Facing, s.LeftBound, s.RightBound),
              std::make_tuple(-80, -1, 90, -5, 1, -300, 320));
    // A stage without them: p2 at 70 facing left, the players free from -1000 to 1000.
    StageFixture bare;
    ASSERT_TRUE(bare.LoadText(std::string(kHead) + "[BGdef]\r\nspr = stages/test.sff\r\n[BG 0]\r\nspriteno = 0,0\r\n"));
    const StageModel& d = bare.Stage();
    EXPECT_EQ(std::tie(d.P1Facing, d.P2StartX, d.P2Facing, d.LeftBound, d.RightBound),
              std::make_tuple(1, 70, -1, -1000, 1000));
}

TEST(StageParser, SpriteFileNameWithBlanksIsFound) {
    StageFixture f;
    f.mugen.Write("stages/KOF96 - Psycho.sff", demo::WriteSff({SolidSprite(3, 1)}));
    ASSERT_TRUE(f.Load(f.WriteStage(
        "psycho",
        std::string(kHead) + "[BGdef]\r\nspr = stages/KOF96 - Psycho.sff\r\n[BG a]\r\nspriteno = 3,1\r\n",
        {})));
    EXPECT_EQ(f.Stage().Elements[0].SpriteIndex, 0);
}

TEST(StageParser, SectionsAfterFirstElementAreElementKeys) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText("[BG 0]\r\nspriteno = 0,0\r\n[Camera]\r\nstartx = 50\r\nboundleft = -99\r\n"));
    EXPECT_FLOAT_EQ(f.Stage().StartX, 0);
    EXPECT_EQ(f.Stage().BoundLeft, 0);
    EXPECT_EQ(f.Stage().Elements[0].Name, "0");
}

TEST(StageParser, HeadersThatAreNotElements) {
    StageFixture f;
    ASSERT_TRUE(
        f.LoadText(std::string(kHead) +
                   "[BGdef]\r\n[BG Default]\r\n[BGCtrlDef x]\r\n[BG one]\r\ntype = normal\r\n[BG]\r\n"));
    EXPECT_EQ(f.Stage().ElementCount, 2);
    EXPECT_EQ(f.Stage().Elements[0].Name, "one");
    EXPECT_EQ(f.Stage().Elements[1].Name, "No name");
}

TEST(StageParser, FirstTypeLineWinsAndSpellingsAreMended) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(std::string(kHead) +
                           "[BG a]\r\ntype = Paralax\r\ntype = normal\r\n[BG b]\r\n[BG c]\r\ntype = Ani\r\n"
                           "actionno = 1\r\n[BG d]\r\ntype=nomal\r\n[Begin Action 1]\r\n0,0,0,0,5\r\n"));
    const auto& e = f.Stage().Elements;
    ASSERT_EQ(e.size(), 4u);
    EXPECT_EQ(e[0].Type, "parallax");
    EXPECT_EQ(e[1].Type, "normal");  // no type line
    EXPECT_EQ(e[2].Type, "anim");
    EXPECT_EQ(e[3].Type, "normal");
}

TEST(StageParser, NullElementIsDroppedUnlessFirst) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(std::string(kHead) +
                           "[BG first]\r\ntype = null\r\n[BG second]\r\ntype = null\r\nboundleft = -7\r\n"
                           "[BG third]\r\nspriteno = 0,0\r\n"));
    const StageModel& s = f.Stage();
    ASSERT_EQ(s.ElementCount, 2);
    EXPECT_EQ(s.Elements[0].Type, "null");
    EXPECT_EQ(s.Elements[1].Name, "third");
    EXPECT_EQ(s.BoundLeft, -7);  // the rest of a dropped section reads as stage keys
}

TEST(StageParser, ElementKeys) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(
        std::string(kHead) +
        "[BG 0]\r\nspriteno = 0,0\r\n[BG x]\r\ntype = dummy\r\nmask = 1\r\n"
        "[BG y]\r\nspriteno = 5, 6\r\nstart = -10, 20\r\ndelta = .5, .25\r\nvelocity = 1.5\r\n"
        "tile = 1, 0\r\nid = 12\r\ntrans = ADD\r\nsin.x = 4, 60, -270\r\nwindow = 1,2,3,4\r\n"
        "tilespacing = 5\r\nlayerno = 1\r\nwidth = 10, 20\r\nyscalestart = 90\r\nyscaledelta = 1.5\r\n"
        "positionlink = 1\r\n"));
    const auto& e = f.Stage().Elements;
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[1].Mask, 0);  // dummy masks are cleared
    const BgElement& y = e[2];
    EXPECT_EQ(y.SpriteGroup, 5);
    EXPECT_EQ(y.SpriteImage, 6);
    EXPECT_EQ(y.StartX, -10);
    EXPECT_EQ(y.StartY, 20);
    EXPECT_FLOAT_EQ(y.DeltaX, 0.5f);
    EXPECT_FLOAT_EQ(y.DeltaY, 0.25f);
    EXPECT_FLOAT_EQ(y.VelocityX, 1.5f);
    EXPECT_FLOAT_EQ(y.VelocityY, 0);
    EXPECT_EQ(y.TileX, 1);
    EXPECT_EQ(y.TileY, 0);
    EXPECT_EQ(y.Id, 12);
    EXPECT_EQ(y.Trans, "add");
    EXPECT_EQ(y.Mask, 1);
    EXPECT_FLOAT_EQ(y.SinXAmp, 4);
    EXPECT_FLOAT_EQ(y.SinXPeriod, 60);
    EXPECT_FLOAT_EQ(y.SinXPhase, 15);  // the phase in degrees: a quarter of the 60-tick swing on
    EXPECT_EQ(y.HasWindow, 1);
    EXPECT_FLOAT_EQ(y.WindowX1, 1);
    EXPECT_FLOAT_EQ(y.WindowY1, 2);
    EXPECT_FLOAT_EQ(y.WindowX2, 3);
    EXPECT_FLOAT_EQ(y.WindowY2, 4);
    EXPECT_EQ(y.TileSpacingX, 5);
    EXPECT_EQ(y.TileSpacingY, 5);
    EXPECT_EQ(y.LayerNo, 1);
    EXPECT_FLOAT_EQ(y.XScaleTop, 10);
    EXPECT_FLOAT_EQ(y.XScaleBottom, 20);
    EXPECT_EQ(y.WidthGiven, 1);
    EXPECT_EQ(y.YScaleStart, 90);
    EXPECT_FLOAT_EQ(y.YScaleDelta, 1.5f);
    EXPECT_EQ(y.PositionLink, 1);
}

// The 1.0 and 1.1 engines' reading of element keys. Each case is the second element of a stage.
TEST(StageParser, TypeLettersVelocityAndWindowLines) {
    struct Case {
        const char* keys;
        const char* type;
        const char* written;
        float velocityX, velocityY;
        uint8_t windowKind, windowValues;
    };
    const Case cases[] = {
        {"type = nomal", "normal", "nomal", 0, 0, 0, 0},
        {"type = Amin\r\nactionno = 1", "anim", "amin", 0, 0, 0, 0},
        {"type = p", "parallax", "p", 0, 0, 0, 0},
        {"type = Dumb", "dummy", "dumb", 0, 0, 0, 0},
        {"type = xyz", "xyz", "xyz", 0, 0, 0, 0},
        {"actionno = 1", "anim", "", 0, 0, 0, 0},  // an animation and no sprite
        {"type = normal\r\nactionno = 1", "anim", "normal", 0, 0, 0, 0},
        {"actionno = 1\r\nspriteno = 0,0", "normal", "", 0, 0, 0, 0},
        {"velocity = 3", "normal", "", 3, 0, 0, 0},  // one value sets x only
        {"window = 1,2,3", "normal", "", 0, 0, 1, 3},
        {"window = 1,2,3,4\r\nmaskwindow = 5,6,7,8", "normal", "", 0, 0, 2, 4},
        {"maskwindow = 5,6,7,8\r\nwindow = 1,2", "normal", "", 0, 0, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keys);
        StageFixture f;
        ASSERT_TRUE(f.LoadText(std::string(kHead) + "[BG 0]\r\nspriteno = 0,0\r\n[BG e]\r\n" + c.keys +
                               "\r\n[Begin Action 1]\r\n0,0,0,0,5\r\n"));
        ASSERT_EQ(f.Stage().Elements.size(), 2u);
        const BgElement& e = f.Stage().Elements[1];
        EXPECT_EQ(e.Type, c.type);
        EXPECT_EQ(e.TypeWritten, c.written);
        EXPECT_FLOAT_EQ(e.VelocityX, c.velocityX);
        EXPECT_FLOAT_EQ(e.VelocityY, c.velocityY);
        EXPECT_EQ(e.WindowKind, c.windowKind);
        EXPECT_EQ(e.WindowValues, c.windowValues);
        EXPECT_EQ(e.HasWindow, c.windowKind != 0 ? 1 : 0);
    }
}

TEST(StageParser, TileCorrectionsAndRemarks) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(
        std::string(kHead) +
        "[BG 0]\r\ntile = -1, 0\r\nwindowdelta = 1,1\r\n[BG a]\r\ntype = anim\r\ntilespacing = 5, 2\r\n"
        "actionno = 3\r\n[BG b]\r\ntile = 0, -2\r\n[Begin Action 3]\r\n0,0,0,0,5\r\n"));
    const auto& e = f.Stage().Elements;
    EXPECT_EQ(e[0].TileX, 1);
    EXPECT_EQ(e[1].TileSpacingX, 5);
    EXPECT_EQ(e[1].TileSpacingY, 5);
    EXPECT_EQ(e[2].TileY, 1);
    EXPECT_EQ(f.Log(), "Windowdelta not supported yet\r\nTileX < 0\r\nTileY < 0\r\n");
}

TEST(StageParser, MasksAfterParse) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(
        std::string(kHead) +
        "[BG 0]\r\ntrans = add\r\nmask = 1\r\n[BG a]\r\ntype = anim\r\nactionno = 1\r\nmask = 0\r\n"
        "[Begin Action 1]\r\n0,0,0,0,5\r\n"));
    EXPECT_EQ(f.Stage().Elements[0].Mask, 0);  // the first element is always unmasked
    EXPECT_EQ(f.Stage().Elements[1].Mask, 1);  // anim elements are always masked
}

TEST(StageParser, Animations) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(std::string(kHead) +
                           "[BG 0]\r\n[Begin Action 5]\r\n1,0, 0,0, 5\r\n"
                           // Collision boxes copied from a character's animation are no frames.
                           "Clsn2Default: 1\r\n  Clsn2[0] = -10, 0, 10,-79\r\nCLSN1[0]= 1,2,3,4\r\n"
                           "1,1, 2,3, 6, H, A\r\nloopstart\r\n"
                           "1,2, 0,0, -1\r\n[Begin Action 10]\r\n2,0,0,0,5\r\nloopstart\r\n"));
    const auto& a = f.Stage().Actions;
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].Number, 5);
    EXPECT_EQ(a[0].NumFrames, 3);
    EXPECT_EQ(a[0].LoopStart, 3);
    EXPECT_EQ(a[0].Frames[1].OffsetX, 2);
    EXPECT_EQ(a[0].Frames[1].OffsetY, 3);
    EXPECT_EQ(a[0].Frames[1].Time, 6);
    EXPECT_EQ(a[0].Frames[1].Flip, "h");
    EXPECT_EQ(a[0].Frames[1].Trans, "a");
    EXPECT_TRUE(a[0].Frames[0].Flip.empty());
    EXPECT_EQ(a[0].Frames[2].Time, -1);
    EXPECT_EQ(a[1].Number, 10);
    EXPECT_EQ(a[1].LoopStart, 0);  // loopstart after the last frame
}

// The 1.1 frame values 8-10 (x scale, y scale, angle) and the Interpolate lines, which mark the
// frame after them; blank or missing values keep 1, 1, 0 without a log entry.
TEST(StageParser, FrameScaleAngleAndInterpolateLines) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(std::string(kHead) +
                           "[BG 0]\r\n[Begin Action 5]\r\n"
                           "1,0, 0,0, 5, , , 2, -0.5, 45\r\n"
                           "INTERPOLATE OFFSET\r\ninterpolate Angle\r\n"
                           "1,1, 0,0, 5, H, AS128D128, 3\r\n"
                           "Interpolate Scale\r\nInterpolate Blend\r\n"
                           "1,2, 0,0, 5, , , , , 90\r\n"
                           "1,3, 0,0, 5\r\n"
                           "interpolate offset\r\n"  // before the next action's first frame: not carried
                           "[Begin Action 6]\r\n2,0, 0,0, 5\r\n"));
    const auto& a = f.Stage().Actions;
    ASSERT_EQ(a.size(), 2u);
    ASSERT_EQ(a[0].Frames.size(), 4u);
    std::vector<std::array<float, 4>> got;  // x scale, y scale, angle, interpolate bits
    for (const BgFrame& fr : a[0].Frames) got.push_back({fr.ScaleX, fr.ScaleY, fr.Angle, float(fr.Interpolate)});
    EXPECT_EQ(got, (std::vector<std::array<float, 4>>{{2, -0.5f, 45, 0},
                                                       {3, 1, 0, kInterpolateOffset | kInterpolateAngle},
                                                       {1, 1, 90, kInterpolateScale | kInterpolateBlend},
                                                       {1, 1, 0, 0}}));
    EXPECT_EQ(a[1].Frames[0].Interpolate, 0);
    EXPECT_TRUE(f.Log().empty()) << f.Log();
}

TEST(StageParser, ControllersAndIds) {
    StageFixture f;
    ASSERT_TRUE(
        f.LoadText(std::string(kHead) +
                   "[BG 0]\r\nid = 1\r\n[BGCtrlDef Group]\r\nlooptime = 300\r\n"
                   "ctrlid = 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12\r\n[BGCtrl Wave]\r\ntype = SinX\r\n"
                   "time = 5\r\nvalue = 10, 60, 0\r\nx = 10abc\r\n[BGCtrl Show]\r\ntype = visible\r\n"
                   "time = 1, 9, 20\r\nvalue = 1\r\nctrlid = 1, 2, 3\r\n"));
    const StageModel& s = f.Stage();
    ASSERT_EQ(s.CtrlDefCount, 1);
    const BgCtrlDef& g = s.CtrlDefs[0];
    EXPECT_EQ(g.Name, "Group");
    EXPECT_EQ(g.LoopTime, 300);
    EXPECT_EQ(g.CtrlIdsRead.size(), 10u);  // at most ten ids
    ASSERT_EQ(g.CtrlCount, 2);
    const BgCtrl& wave = g.Ctrls[0];
    EXPECT_EQ(wave.Type, "sinx");
    EXPECT_EQ(wave.StartTime, 5);
    EXPECT_EQ(wave.EndTime, 5);
    EXPECT_EQ(wave.LoopTime, -1);
    EXPECT_EQ(wave.SinAmp, 10);
    EXPECT_EQ(wave.SinPeriod, 60);
    EXPECT_EQ(wave.SinPhase, 0);
    EXPECT_FLOAT_EQ(wave.X, 10);
    EXPECT_FLOAT_EQ(wave.Y, 999999);
    const BgCtrl& show = g.Ctrls[1];
    EXPECT_EQ(show.Value, 1);
    EXPECT_EQ(show.StartTime, 1);
    EXPECT_EQ(show.EndTime, 9);
    EXPECT_EQ(show.LoopTime, 20);
    EXPECT_EQ(show.CtrlIdsRead, (std::vector<int32_t>{1, 2, 3}));
}

TEST(StageParser, ControllerBeforeAnyGroupIsSkippedWithEntry) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(std::string(kHead) +
                           "[BG 0]\r\n[BGCtrl lost]\r\ntype = visible\r\nboundleft = 3\r\n"
                           "[BGCtrlDef g]\r\n[BGCtrl kept]\r\ntype = enable\r\n"));
    EXPECT_EQ(f.Stage().CtrlDefCount, 1);
    EXPECT_EQ(f.Stage().CtrlDefs[0].CtrlCount, 1);
    EXPECT_EQ(f.Stage().CtrlDefs[0].Ctrls[0].Name, "kept");
    EXPECT_EQ(f.Stage().BoundLeft, 0);
    EXPECT_NE(f.Log().find("Controller section before any controller group skipped"), std::string::npos);
}

TEST(StageParser, NoElementsLoadsEmptyWithEntry) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(std::string(kHead)));
    EXPECT_EQ(f.Stage().ElementCount, 0);
    EXPECT_EQ(f.Log(), "No background elements found\r\n");
}

TEST(StageParser, IntensityOnlyUnderShadowOrReflection) {
    StageFixture f;
    ASSERT_TRUE(
        f.LoadText("[Camera]\r\nintensity = 64\r\n[Shadow]\r\nintensity = 64;64\r\ncolor = 1,2,3\r\n"
                   "yscale = -0.5\r\n[Reflection]\r\nreflect = 1\r\nintensity = 40\r\n[BG 0]\r\n"));
    const StageModel& s = f.Stage();
    EXPECT_EQ(s.ShadowIntensity, 64);
    EXPECT_EQ(s.ShadowColorR, 1);
    EXPECT_EQ(s.ShadowColorG, 2);
    EXPECT_EQ(s.ShadowColorB, 3);
    EXPECT_FLOAT_EQ(s.ShadowYScale, -0.5f);
    EXPECT_EQ(s.Reflect, 1);
    EXPECT_EQ(s.ReflectionIntensity, 40);
    StageFixture g;
    ASSERT_TRUE(g.LoadText("[Camera]\r\nintensity = 64\r\n[BG 0]\r\n"));
    EXPECT_EQ(g.Stage().ShadowIntensity, 128);
}

TEST(StageParser, MusicLooksInSoundFolderFirstThenBesideStage) {
    StageFixture f;
    f.mugen.Write("sound/stage music.mp3", "x");
    ASSERT_TRUE(f.LoadText(std::string(kHead) + "[Music]\r\nbgmusic = sound/Stage Music.mp3\r\n[BG 0]\r\n"));
    EXPECT_EQ(f.Stage().MusicFile, "stage music.mp3");
    EXPECT_EQ(f.Stage().MusicRef, "sound/Stage Music.mp3");  // as written, for the music rewrite
    EXPECT_EQ(f.load.MusicPath, (f.mugen.Path() / "sound/stage music.mp3").string());

    StageFixture g;
    g.mugen.Write("stages/theme.ogg", "x");
    ASSERT_TRUE(g.LoadText(std::string(kHead) + "[Music]\r\nbgmusic = Theme.ogg\r\n[BG 0]\r\n"));
    EXPECT_EQ(g.Stage().MusicFile, "theme.ogg");
    EXPECT_EQ(g.Stage().MusicRef, "Theme.ogg");
    EXPECT_EQ(g.load.MusicPath, (g.mugen.Path() / "stages/theme.ogg").string());
    // Last, relative to the MUGEN directory, as the engine's own sample stage names its MIDI file.
    StageFixture h;
    h.mugen.Write("stages/kfm.mid", "x");
    ASSERT_TRUE(h.LoadText(std::string(kHead) + "[Music]\r\nbgmusic = stages\\KFM.mid\r\n[BG 0]\r\n"));
    EXPECT_EQ(h.load.MusicPath, (h.mugen.Path() / "stages/kfm.mid").string());
    EXPECT_EQ(MusicLookupPaths("Sound\\x.mp3", h.mugen.Dir(), h.mugen.Dir() + "stages/x.def").size(), 2u);  // not twice
}

TEST(StageParser, MusicLoopVolumeAndDebugBgKeys) {
    // debugbg is read in [BGdef] only, as the engine reads it.
    for (const auto& [text, volume, start, end, debugBg] :
         {std::tuple{"", 100, 0, 0, 0}, {"[BGdef]\r\nDebugBG = 1\r\n", 100, 0, 0, 1},
          {"[Camera]\r\ndebugbg = 1\r\n", 100, 0, 0, 0},
          {"[Music]\r\nbgmvolume = 60\r\nbgmloopstart = 44100\r\nbgmloopend = 88200\r\n", 60, 44100, 88200, 0}}) {
        StageFixture f;
        ASSERT_TRUE(f.LoadText(std::string(kHead) + text + "[BG 0]\r\n"));
        EXPECT_EQ(std::tuple(f.Stage().BgmVolume, f.Stage().BgmLoopStart, f.Stage().BgmLoopEnd, f.Stage().DebugBg),
                  std::tuple(volume, start, end, debugBg)) << text;
    }
}

TEST(StageParser, BareLfStageParsesWithItsOwnLineNumbersAndWritesNothing) {
    StageFixture f;
    std::string def = "[Info]\nname = Bare\n";
    for (int i = 0; i < 15; ++i) def += "; a comment line to make the first line long\n";
    def += "[Camera]\nboundleft = x\n[BG a]\nspriteno = 0,0\n";
    ASSERT_TRUE(f.LoadText(def));
    EXPECT_EQ(f.Stage().StageName, "Bare");
    EXPECT_EQ(f.Stage().ElementCount, 1);
    EXPECT_NE(f.Log().find("While loading test.def!\r\n\r\nI choked on line #19:\r\n\"boundleft = x"),
              std::string::npos)
        << f.Log();
    EXPECT_TRUE(std::filesystem::is_empty(f.program.Path()));
}



}  // namespace
}  // namespace qb

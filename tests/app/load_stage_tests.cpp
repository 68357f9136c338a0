// Loading as the main window does it: menus, caption, camera, music, full screen and the release.
#include "session/load_stage.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <vector>

#include "app/commands.h"
#include "app/run_loop.h"
#include "session/stage_session.h"
#include "stage/stage_loader.h"
#include "tests/app/app_fixture.h"
#include "tests/support/read_counter.h"
#include "tests/support/sprites.h"

namespace qb {
namespace {

using test::AppFixture;
using test::SolidSprite;

TEST(LoadStage, MissingSpriteFileShowsBoxAndReleasesStage) {
    AppFixture f;
    std::string def =
        f.WriteStage("lost", "[Info]\r\nname = Lost\r\n[BGdef]\r\nspr = stages/none.sff\r\n[BG 0]\r\n", {});
    EXPECT_FALSE(f.Load(def));
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].text, "SFF FILE:\r\n" + f.mugen.Dir() + "stages/none.sff\r\nCOULD NOT BE FOUND!");
    EXPECT_EQ(f.ui.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(f.state.bRunning, 0);
    EXPECT_TRUE(f.state.StageFile.empty());
    EXPECT_EQ(f.Stage().ElementCount, 0);
    EXPECT_TRUE(f.Stage().StageName.empty());
    EXPECT_EQ(f.state.Load.LoadPhase, 0);
    EXPECT_EQ(f.ui.captions.back(), f.state.AppTitle);
    for (const char* m : {"mnuOptions", "mnuStage", "mnuStagePrev", "mnuStageNext", "mnuR"})
        EXPECT_TRUE(MenuModel(f.state).Item(m).Enabled) << m;
}

// Opening a stage reads its definition and its sprite file once each before the first frame: the load
// reads them, and what the live reload compares later is what was read then.
TEST(LoadStage, TheFirstFrameReadsEachStageFileOnce) {
    AppFixture f;
    f.state.StageFile = f.AddStage("forest", "Forest Gate");
    test::ReadCounter reads(f.mugen.Dir() + "stages");
    reads.Take();
    ASSERT_TRUE(BeginStageRun(f.state));
    RunPass(f.state);
    const std::map<std::string, int> expected = {{"forest.def", 1}, {"forest.sff", 1}};
    EXPECT_EQ(reads.Take(), expected);
    EXPECT_EQ(f.state.Live.Stamps,
              std::vector<FileStamp>({StampOf(f.state.StageFile), StampOf(f.state.Stage.SpriteFile)}));
}

TEST(LoadStage, CameraStartTable) {
    const std::pair<const char*, float> cases[] = {{"0", 0},    {"50", -39}, {"100", -64}, {"-50", 39},
                                                   {"36", -36}, {"-61", 25}, {"60.5", -39}};
    for (auto [startx, cameraX] : cases) {
        AppFixture f;
        ASSERT_TRUE(
            f.LoadText(std::string("[Camera]\r\nstartx = ") + startx + "\r\n[BG 0]\r\nspriteno = 0,0\r\n"));
        EXPECT_FLOAT_EQ(f.state.Camera.CameraX, cameraX) << startx;
        EXPECT_FLOAT_EQ(f.state.Camera.CameraY, 0);
    }
}

TEST(LoadStage, TheCameraStartsStillInAWholeView) {
    // The previous stage left the camera scrolled and the view rectangle changed.
    AppFixture f;
    f.state.Camera.CameraX = -90;
    f.state.Camera.CameraY = -30;
    f.state.Camera.PrevCameraX = -90;
    f.state.Camera.PrevCameraY = -30;
    f.state.Camera.ViewLeft = 12;
    f.state.Camera.ViewTop = 7;
    f.state.Camera.ViewRight = 100;
    f.state.Camera.ViewBottom = 50;
    ASSERT_TRUE(f.LoadText("[Camera]\r\nstartx = 100\r\nboundleft = -200\r\nboundright = 200\r\n"
                           "[BG a]\r\nspriteno = 0,0\r\ndelta = 0.5, 0.5\r\n[BG b]\r\nspriteno = 0,0\r\n"
                           "start = 40, 60\r\ndelta = 2, 1\r\n"));
    const CameraState& cam = f.state.Camera;
    EXPECT_EQ(std::make_tuple(cam.ViewLeft, cam.ViewTop, cam.ViewRight, cam.ViewBottom),
              std::make_tuple(0.0f, 0.0f, int16_t{320}, int16_t{240}));
    // With no key pressed frames 1 and 3 are the same picture: nothing drifts by the camera's
    // travel from where the previous stage left it.
    std::vector<std::vector<uint16_t>> frames;
    for (int i = 0; i < 3; ++i) {
        DrawStageFrame(f.state, f.keys, f.clock);
        std::vector<uint16_t> pixels;
        for (int y = 0; y < kViewHeight; y += 3)
            for (int x = 0; x < kViewWidth; x += 3)
                pixels.push_back(static_cast<uint16_t>(a_getpixel(f.state.BackBuffer.get(), x, y)));
        frames.push_back(std::move(pixels));
    }
    EXPECT_EQ(frames[0], frames[2]);
    EXPECT_FLOAT_EQ(f.Stage().Elements[1].PosX, 40 + 160 - 64 * 2.0f);
}

TEST(LoadStage, MusicVolumeAndPlay) {
    AppFixture f;
    f.mugen.Write("sound/theme.mp3", "x");
    ASSERT_TRUE(f.LoadText("[Music]\r\nbgmusic = sound/theme.mp3\r\nbgvolume = 127\r\n[BG 0]\r\n"));
    const std::string path = (f.mugen.Path() / "sound/theme.mp3").string();
    EXPECT_EQ(f.media.calls, (std::vector<std::string>{"close", "open " + path, "volume -1506", "play"}));
    EXPECT_EQ(MusicVolume(-255), -6000);
    EXPECT_EQ(MusicVolume(0), -3000);
    EXPECT_EQ(MusicVolume(255), 0);
    EXPECT_EQ(MusicVolume(1000), 0);

    AppFixture quiet;
    quiet.state.Options.Music = false;
    quiet.mugen.Write("sound/theme.mp3", "x");
    ASSERT_TRUE(quiet.LoadText("[Music]\r\nbgmusic = sound/theme.mp3\r\n[BG 0]\r\n"));
    EXPECT_FALSE(quiet.media.playing);
    // Switching Music on plays the stage's music at its volume; off stops it.
    MenuCommand(quiet.state, "mnuMusic");
    EXPECT_TRUE(quiet.media.playing);
    EXPECT_EQ(quiet.media.volume, -3000);
    MenuCommand(quiet.state, "mnuMusic");
    EXPECT_FALSE(quiet.media.playing);
    EXPECT_FALSE(MenuModel(quiet.state).Checked("mnuMusic"));

    UnloadStuff(f.state);
    EXPECT_EQ(f.media.calls.back(), "stop");
    EXPECT_TRUE(f.Stage().MusicFile.empty());
}

TEST(LoadStage, TheStagesMusicLevelLoopAndDebugBgReachThePlayerAndThePicture) {
    AppFixture f;
    f.mugen.Write("sound/theme.mp3", "x");
    f.media.sampleRate = 1000;
    ASSERT_TRUE(f.LoadText("[Music]\r\nbgmusic = sound/theme.mp3\r\nbgvolume = 127\r\nbgmvolume = 50\r\n"
                           "bgmloopstart = 3000\r\nbgmloopend = 9000\r\n[BGdef]\r\ndebugbg = 1\r\n[BG 0]\r\n"));
    EXPECT_EQ(f.media.volume, -1506 - 602);  // half the amplitude bgvolume gives
    EXPECT_EQ(f.state.MUSIC.RestartPosition(), 3);
    // Cleared to magenta as by the Debug BG item, which stays as the user left it.
    EXPECT_TRUE(CurrentFrameOptions(f.state).DebugBG);
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuDebugBG"));
}

TEST(LoadStage, MusicThatCannotPlayLeavesOneLogLineAndSilence) {
    struct Case {
        const char* def;
        bool openWorks;
        const char* logged;  // empty: nothing logged
    };
    for (const Case& c : {Case{"bgmusic = sound/gone.mp3", true, "gone.mp3: no such file"},
                          Case{"bgmusic = sound/theme.mp3", false, "theme.mp3: the file cannot be played"},
                          // An empty value reads as "0": no music at all, even beside a file named 0.
                          Case{"bgmusic =", true, ""}}) {
        AppFixture f;
        f.media.openWorks = c.openWorks;
        f.mugen.Write("sound/theme.mp3", "x");
        f.mugen.Write("stages/0", "x");
        ASSERT_TRUE(f.LoadText(std::string("[Music]\r\n") + c.def + "\r\n[BG 0]\r\n")) << c.def;
        EXPECT_FALSE(f.media.playing) << c.def;
        const std::string& log = f.state.Log.Text();
        if (*c.logged) {
            EXPECT_NE(log.find(std::string("Could not play the music file ")), std::string::npos) << log;
            EXPECT_NE(log.find(c.logged), std::string::npos) << log;
        } else {
            EXPECT_EQ(f.media.calls, std::vector<std::string>{"close"}) << c.def;
        }
    }
}

TEST(LoadStage, TheNextStageNeverPlaysThePreviousStagesMusic) {
    struct Case {
        const char* def;
        const char* opened;  // the file the player holds afterwards, under the MUGEN directory
    };
    for (const Case& c : {Case{"bgmusic = sound/gone.mp3", "stages/gone.mp3"}, Case{"bgmusic =", ""},
                          Case{"bgvolume = 10", ""}}) {
        AppFixture f;
        f.mugen.Write("sound/theme.mp3", "x");
        ASSERT_TRUE(f.LoadText("[Music]\r\nbgmusic = sound/theme.mp3\r\n[BG 0]\r\n"));
        ASSERT_TRUE(f.media.playing);
        UnloadStuff(f.state);
        ASSERT_TRUE(f.LoadText(std::string("[Music]\r\n") + c.def + "\r\n[BG 0]\r\n")) << c.def;
        EXPECT_EQ(f.state.MUSIC.FileName(), *c.opened ? (f.mugen.Path() / c.opened).string() : "") << c.def;
        EXPECT_EQ(f.media.opened, f.state.MUSIC.FileName()) << c.def;
        EXPECT_FALSE(f.media.playing) << c.def;
        // The chooser's preview on this stage stops when the stage is released, music of its own or not.
        f.state.MUSIC.SetFileName((f.mugen.Path() / "sound/theme.mp3").string());
        f.state.MUSIC.Play();
        UnloadStuff(f.state);
        EXPECT_FALSE(f.media.playing) << c.def;
    }
}

TEST(LoadStage, MenusComeBackAndBackBufferIsCleared) {
    AppFixture f;
    f.state.BackBuffer = CreateBitmap(320, 240);
    a_clear_to_color(f.state.BackBuffer.get(), kMaskColor);
    f.keys.Tap(Key::Escape);
    ASSERT_TRUE(f.LoadText("[BG 0]\r\nspriteno = 0,0\r\n"));
    EXPECT_EQ(a_getpixel(f.state.BackBuffer.get(), 10, 10), 0);
    for (const char* m : {"mnuOptions", "mnuStage", "mnuStagePrev", "mnuStageNext", "mnuR"})
        EXPECT_TRUE(MenuModel(f.state).Item(m).Enabled) << m;
    EXPECT_FALSE(f.keys.Pressed(Key::Escape));  // presses made while loading are discarded
    EXPECT_EQ(f.state.Load.LoadPhase, 0);
}

TEST(LoadStage, FullScreenWishIsCarriedOutOnceTheStageRuns) {
    AppFixture f;
    f.state.bMakeFullScreen = 255;
    ASSERT_TRUE(f.LoadText("[BG 0]\r\nspriteno = 0,0\r\n"));
    EXPECT_EQ(f.state.bFullScreen, 1);
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuFS"));
    EXPECT_EQ(f.ui.fullScreenCalls, (std::vector<bool>{true}));
}

TEST(LoadStage, KeptValuesAreResetBetweenStages) {
    AppFixture f;
    ASSERT_TRUE(
        f.LoadText("[Camera]\r\ntension = 50\r\nfloortension = 9\r\nverticalfollow = 0.5\r\n"
                   "[PlayerInfo]\r\np1startx = -80\r\n[Bound]\r\nscreenleft = 40\r\nscreenright = 30\r\n"
                   "[BG 0]\r\nstart = 0, -200\r\n"));
    EXPECT_EQ(f.Stage().Tension, 50);
    EXPECT_LT(f.state.Load.MinPosY, 0);
    UnloadStuff(f.state);
    ASSERT_TRUE(f.LoadText("[Camera]\r\nboundhigh = -300\r\n[BG 0]\r\nspriteno = 0,0\r\n"));
    const StageModel& s = f.Stage();
    EXPECT_EQ(s.Tension, 0);
    EXPECT_EQ(s.FloorTension, 0);
    EXPECT_FLOAT_EQ(s.VerticalFollow, 0);
    EXPECT_EQ(s.P1StartX, 0);
    EXPECT_EQ(s.ScreenLeft, 0);
    EXPECT_EQ(s.ScreenRight, 0);
    // Pulled up to this stage's own highest element, not to the previous stage's.
    EXPECT_EQ(s.BoundHigh, 1);
}

TEST(LoadStage, ParseDisablesFullScreenAndShowsLoadingCaption) {
    AppFixture f;
    // The item is computed from the state: looked at while the load services messages, as the
    // window sees it then.
    int looks = 0;
    int offered = 0;
    f.ui.onDoEvents = [&] {
        ++looks;
        if (MenuModel(f.state).Item("mnuFS").Enabled) ++offered;
    };
    ASSERT_TRUE(f.LoadText("[Info]\r\nname = Cap\r\n[BG one]\r\n[BG]\r\n"));
    EXPECT_GT(looks, 0);
    EXPECT_EQ(offered, 0);
    EXPECT_EQ(f.ui.captions, (std::vector<std::string>{"Loading Cap..."}));
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

TEST(LoadStage, TheMusicChooserFollowsStageLoads) {
    AppFixture f;
    f.mugen.Write("sound/theme.mp3", "x");
    MenuCommand(f.state, "mnuChangeMusic");
    EXPECT_EQ(f.ui.musicChooserShown, 1);
    EXPECT_TRUE(f.state.Chooser.Loaded);
    EXPECT_FALSE(f.state.Chooser.Enabled);  // no stage yet
    ASSERT_TRUE(f.LoadText("[Music]\r\nbgmusic = sound/theme.mp3\r\nbgvolume = 10\r\n[BG 0]\r\n"));
    EXPECT_TRUE(f.state.Chooser.Enabled);
    EXPECT_EQ(f.state.Chooser.CurMusic, "theme.mp3");
    EXPECT_EQ(f.state.Chooser.Volume, 10);
    f.media.position = 125.4;
    f.media.duration = 200;
    OnceASecond(f.state);
    EXPECT_EQ(f.state.Chooser.Time, "2:05");
    UnloadStuff(f.state);
    EXPECT_FALSE(f.state.Chooser.Enabled);
    MusicChooserClosed(f.state);
    EXPECT_FALSE(f.state.Chooser.Loaded);
}

}  // namespace
}  // namespace qb

// Reloading the running stage when its files change, driven with the fake clock as the file watcher
// would drive it; and the stage list following its folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "app/bg_buttons.h"
#include "app/commands.h"
#include "session/live_reload.h"
#include "app/run_loop.h"
#include "tests/app/app_fixture.h"
#include "tools/bg_commands.h"

namespace qb::test {
namespace {

// One 4 x 3 sprite per element; element A at x = 160 + startX, y 10; element B (when asked) at y 100.
std::string Def(int startX, bool withB = false, const std::string& music = "song.mp3") {
    std::string def = "[Info]\r\nname = \"Live\"\r\n[Camera]\r\nboundleft = -100\r\nboundright = 100\r\n[BGdef]\r\n"
                      "spr = stages/test.sff\r\nbgmusic = " + music +
                      "\r\n[BG A]\r\ntype = normal\r\nspriteno = 0,0\r\nstart = " + std::to_string(startX) +
                      ",10\r\ndelta = 0.5,1\r\n";
    if (withB) def += "[BG B]\r\ntype = normal\r\nspriteno = 0,0\r\nstart = 0,100\r\ndelta = 1,1\r\n";
    return def;
}

struct LiveFixture : AppFixture {
    void Start(const std::string& def) {
        for (const char* song : {"stages/song.mp3", "stages/other.mp3"}) mugen.Write(song, "x");
        state.StageFile = WriteStage("test", def);
        ASSERT_TRUE(BeginStageRun(state));
        RunPass(state);
    }
    void Save(const std::string& def) const { mugen.Write("stages/test.def", def); }
    // The watcher's report, the settling time, then one pass of the run loop.
    void Settle() {
        NoteStageFilesChanged(state);
        clock.AdvanceMs(kReloadSettleMs);
        RunPass(state);
    }
    int Pixel(int x, int y) { return a_getpixel(state.BackBuffer.get(), x, y); }
    std::vector<int> Frame() {
        std::vector<int> pixels;
        for (int y = 0; y < kViewHeight; ++y)
            for (int x = 0; x < kViewWidth; ++x) pixels.push_back(Pixel(x, y));
        return pixels;
    }
};

TEST(LiveReload, AnEditIsDrawnOnceItSettlesAndABurstReloadsOnce) {
    LiveFixture f;
    f.Start(Def(0));
    EXPECT_NE(f.Pixel(160, 10), 0);

    for (int save = 0; save <= 4; ++save) {  // an editor's burst: five writes 50 ms apart
        f.Save(Def(save * 10));
        NoteStageFilesChanged(f.state);
        f.clock.AdvanceMs(50);
        RunPass(f.state);
    }
    EXPECT_EQ(f.state.Live.Reloads, 0) << "still settling";
    f.clock.AdvanceMs(kReloadSettleMs - 50);
    RunPass(f.state);
    EXPECT_EQ(f.state.Live.Reloads, 1);
    EXPECT_NE(f.Pixel(200, 10), 0) << "the last save is drawn";
    EXPECT_FALSE(LoadInProgress(f.state)) << "commands work on the reloaded stage";
    EXPECT_EQ(f.Pixel(160, 10), 0) << "and the old place is not";

    f.Save(Def(40));  // the same text again: nothing to reload
    f.Settle();
    EXPECT_EQ(f.state.Live.Reloads, 1);
    EXPECT_TRUE(f.ui.boxes.empty());

    // The editor's own write into the definition is the stage on screen already.
    f.state.Edit.Fields.txtcamleft = "-90";
    BgEditorButton(f.state, "cmdUpdate");
    BgEditorButton(f.state, "cmdWriteStage");
    f.Settle();
    EXPECT_EQ(f.state.Live.Reloads, 1);

    MenuCommand(f.state, "mnuAutoReload");  // off: changes are not followed
    EXPECT_TRUE(StageFilesToWatch(f.state).empty());
    f.Save(Def(0));
    f.Settle();
    EXPECT_EQ(f.state.Live.Reloads, 1);
}

TEST(LiveReload, ABrokenSaveKeepsTheStageOnScreenAndOpensTheLog) {
    const struct {
        const char* what;
        std::function<void(LiveFixture&)> breakIt;
        const char* logged;
    } cases[] = {
        {"emptied definition", [](LiveFixture& f) { f.Save("\r\n"); }, "the file is empty"},
        {"sprite file removed",
         [](LiveFixture& f) { std::filesystem::remove(f.mugen.Path() / "stages/test.sff"); }, "COULD NOT BE FOUND"},
        {"garbled sprite file", [](LiveFixture& f) { f.mugen.Write("stages/test.sff", "not a sprite file"); },
         "no readable sprites"},
        {"no elements left", [](LiveFixture& f) { f.Save("[Camera]\r\n[BGdef]\r\nspr = stages/test.sff\r\n"); },
         "no background elements"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LiveFixture f;
        f.Start(Def(0));
        const std::string sprites = f.mugen.Read("stages/test.sff");
        c.breakIt(f);
        f.Settle();
        EXPECT_EQ(f.state.Live.Reloads, 0);
        EXPECT_NE(f.Pixel(160, 10), 0) << "the old stage is still drawn";
        EXPECT_NE(f.Log().find("Reloading test.def failed: "), std::string::npos) << f.Log();
        EXPECT_NE(f.Log().find(c.logged), std::string::npos) << f.Log();
        EXPECT_TRUE(f.ui.errorLogVisible);
        EXPECT_TRUE(MenuModel(f.state).Checked("mnuError"));
        EXPECT_TRUE(f.ui.boxes.empty()) << "no box in front of the editor";
        f.Settle();  // another report tries again: its entries replace the first attempt's
        EXPECT_EQ(f.Log().find("failed"), f.Log().rfind("failed")) << f.Log();

        f.mugen.Write("stages/test.sff", sprites);  // fixed: the next save reloads
        f.Save(Def(40));
        f.Settle();
        EXPECT_EQ(f.state.Live.Reloads, 1);
        EXPECT_NE(f.Pixel(200, 10), 0);
        EXPECT_EQ(f.Log().find("failed"), std::string::npos) << f.Log();
    }
}

TEST(LiveReload, CameraPauseSelectionAndMusicStay) {
    LiveFixture f;
    f.Start(Def(0, true));
    f.keys.Hold(Key::Right);
    for (int pass = 0; pass < 12; ++pass) RunPass(f.state);
    f.keys.Hold(Key::Right, false);
    RunPass(f.state);  // the elements catch up with the camera's last step
    a_clear_to_color(f.state.BackBuffer.get(), 0);  // no trail of the moving camera
    RunPass(f.state);
    const float cameraX = f.state.Camera.CameraX;
    ASSERT_LT(cameraX, -10.0f) << "the camera moved";
    const std::vector<int> before = f.Frame();
    f.state.Edit.SelectedElement = 1;
    mnuPause_Click(f.state);
    f.media.calls.clear();

    f.Save(Def(0, true) + "; a comment changes the text, not the stage\r\n");
    f.Settle();
    ASSERT_EQ(f.state.Live.Reloads, 1);
    EXPECT_EQ(f.state.Camera.CameraX, cameraX);
    EXPECT_EQ(f.state.Loop.Paused, 255);
    ASSERT_FALSE(f.ui.captions.empty());
    EXPECT_EQ(f.ui.captions.back(), "Live <<PAUSED>>") << "the name's quotes stay out of the caption";
    EXPECT_EQ(f.state.Edit.SelectedElement, 1);
    EXPECT_TRUE(f.Frame() == before) << "drawn once while paused, where the camera looks";
    for (const std::string& call : f.media.calls) EXPECT_EQ(call.rfind("open", 0), std::string::npos) << call;

    f.Save(Def(0, false, "other.mp3"));  // element 1 is gone, and the music changed
    f.Settle();
    EXPECT_EQ(f.state.Live.Reloads, 2);
    EXPECT_EQ(f.state.Edit.SelectedElement, -1);
    EXPECT_NE(f.media.opened.find("other.mp3"), std::string::npos);
}

// Edits made with Update but not written outlive a change on disk: the stage stays, the user is
// told, and then Write puts the edits into the file's new version (both kept, the stage read again)
// while Reload takes the file's.
TEST(LiveReload, UnwrittenEditsAreKeptAgainstAChangeOnDisk) {
    std::string theirs = Def(0);
    theirs.replace(theirs.find("boundright = 100"), 16, "boundright = 175");
    for (const char* choice : {"Write", "Reload"}) {
        LiveFixture f;
        f.Start(Def(0));
        EditState& edit = f.state.Edit;
        edit.SelectedElement = 0;
        ShowElement(f.state.Stage, 0, edit.Fields);
        edit.Fields.txtXpos = "40";
        BgEditorButton(f.state, "cmdUpdate");

        f.Save(theirs);
        f.Settle();
        EXPECT_EQ(f.state.Live.Reloads, 0) << choice;
        EXPECT_EQ(f.state.Stage.Elements[0].StartX, 40) << choice;
        EXPECT_NE(f.Log().find("changed on disk; your unwritten edits are kept. Reload takes the file's "
                               "version, Write puts your edits into it."),
                  std::string::npos);
        ASSERT_FALSE(f.ui.captions.empty());
        EXPECT_NE(f.ui.captions.back().find("changed on disk"), std::string::npos);

        f.ui.boxes.clear();
        if (std::string(choice) == "Write") {
            BgEditorButton(f.state, "cmdWriteStage");
            std::string both = theirs;
            both.replace(both.find("start = 0,10"), 12, "start = 40,10");
            EXPECT_EQ(f.mugen.Read("stages/test.def"), both);
            ASSERT_EQ(f.ui.boxes.size(), 1u);
            EXPECT_EQ(f.ui.boxes[0].icon, MsgIcon::Information);
            // The stage on screen is the file's whole text now, with nothing left unwritten.
            EXPECT_EQ(f.state.Live.Reloads, 1);
            EXPECT_EQ(f.state.Stage.BoundRight, 175);
            EXPECT_FALSE(HasUnwrittenEdits(f.state.Stage, f.state.Edit));
        } else {
            f.ui.boxAnswers = {MsgAnswer::No};  // Discard
            MenuCommand(f.state, "mnuReload");
            ASSERT_EQ(f.ui.boxes.size(), 1u);
            EXPECT_EQ(f.ui.boxes[0].buttons, MsgButtons::WriteDiscardCancel);
            EXPECT_TRUE(f.timers.Active(TimerId::Start));
            EXPECT_EQ(f.mugen.Read("stages/test.def"), theirs);
        }
    }
    // The same line changed by both: the window asks, and Cancel keeps the edits unwritten.
    LiveFixture f;
    f.Start(Def(0));
    f.state.Stage.Elements[0].StartX = 40;
    f.Save(Def(7));
    f.ui.boxAnswers = {MsgAnswer::Cancel};
    BgEditorButton(f.state, "cmdWriteStage");
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_NE(f.ui.boxes[0].text.find("Line 12 of test.def ([BG A])"), std::string::npos);
    EXPECT_TRUE(HasUnwrittenEdits(f.state.Stage, f.state.Edit));
}

// The music chooser's Update DEF is a save by another hand: the editor's Write that follows keeps it.
TEST(LiveReload, WriteAfterTheMusicChoosersUpdateKeepsItsVolume) {
    LiveFixture f;
    std::string def = Def(0);
    f.Start(def.insert(def.find("[BGdef]"), "[Music]\r\nbgmusic = song.mp3\r\nbgvolume = 0\r\n"));
    f.state.Stage.Elements[0].StartX = 40;
    f.state.Chooser.VolumeText = "20";
    ASSERT_TRUE(MusicChooserSave(f.state));
    f.Settle();
    BgEditorButton(f.state, "cmdWriteStage");
    def.replace(def.find("bgvolume = 0"), 12, "bgvolume = 20");
    EXPECT_EQ(f.mugen.Read("stages/test.def"), def.replace(def.find("start = 0,10"), 12, "start = 40,10"));
}

TEST(LiveReload, StageListFollowsItsFolderAndKeepsTheSelection) {
    AppFixture f;
    for (const char* name : {"a", "b", "c"}) f.AddStage(name, name);
    LoadFilestoList(f.state.Stages, f.ui, StagesFolder(f.state), ".def");
    f.state.Stages.Select(1);
    EXPECT_FALSE(RefillStageList(f.state));

    f.AddStage("aa", "aa");
    std::filesystem::remove(f.mugen.Path() / "stages/c.def");
    EXPECT_TRUE(RefillStageList(f.state));
    EXPECT_EQ(f.state.Stages.Names, (std::vector<std::string>{"a", "aa", "b"}));
    EXPECT_EQ(f.state.Stages.ListIndex, 2) << "b stays selected";

    std::filesystem::remove_all(f.mugen.Path() / "stages");
    EXPECT_TRUE(RefillStageList(f.state));
    EXPECT_TRUE(f.state.Stages.Names.empty());
    EXPECT_EQ(f.state.Stages.ListIndex, -1);
    EXPECT_TRUE(f.ui.boxes.empty());
}

}  // namespace
}  // namespace qb::test

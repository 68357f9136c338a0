#include <gtest/gtest.h>

#include <filesystem>

#include "app/commands.h"
#include "session/recent_files.h"
#include "session/stage_session.h"
#include "render/overlays.h"
#include "app/config.h"
#include "session/load_stage.h"
#include "app/run_loop.h"
#include "app/startup.h"
#include "app/window_rules.h"
#include "tests/app/app_fixture.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

// A configuration in the program folder so that start-up does not ask for the MUGEN directory.
void WriteConfigFor(const AppFixture& f, const std::string& extra = {}) {
    f.program.Write("QB.cfg", "MugeDir = " + f.mugen.Dir() + "\r\n" + extra);
}

void StartRunning(AppFixture& f, const std::string& path) {
    f.state.StageFile = path;
    LoadStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);
}

TEST(Startup, TitleCaptionsGeometryInTheirOrder) {
    AppFixture f;
    f.AddStage("b", "B");
    WriteConfigFor(f);
    ASSERT_TRUE(FormLoad(f.state, false));
    EXPECT_EQ(f.state.VersionText, ".67");
    EXPECT_EQ(f.state.AppTitle, "Quillback .67 Beta by Tarnwick");
    // --version names the same release and the same title as the window.
    EXPECT_EQ(VersionLine("quillback"), "quillback 0.6.7 (" + f.state.AppTitle + ")");
    EXPECT_EQ(f.ui.captions.front(), f.state.AppTitle);
    EXPECT_EQ(MenuModel(f.state).Item("mnuFPS").Caption, "FPS Limiter (60 fps)");
    EXPECT_EQ(f.state.Loop.FpsLimit, 60);
    EXPECT_EQ(f.state.Stages.Names, (std::vector<std::string>{"B"}));  // the stage's own name
    EXPECT_EQ(ClientSizeFor(f.state), std::make_pair(640, 480));  // new configurations start at 2x
    EXPECT_EQ(WindowLayoutFor(f.state).list.width, 0);
    EXPECT_EQ(f.ui.moves.back(), std::make_pair(960 - 320, 540 - 240));
    EXPECT_FALSE(MenuModel(f.state).Item("mnuFS").Enabled);
    EXPECT_NE(f.state.BackBuffer, nullptr);
    EXPECT_TRUE(f.ui.boxes.empty());
}

TEST(Startup, OneTimesScaleGivesTheDocumentedGeometry) {
    AppFixture shown;
    WriteConfigFor(shown, "StageList = 255\r\nScale = 1\r\n");
    shown.AddStage("a", "A");
    ASSERT_TRUE(FormLoad(shown.state, false));
    EXPECT_EQ(ClientSizeFor(shown.state), std::make_pair(320 + 120, 240));
    EXPECT_EQ(WindowLayoutFor(shown.state).list, (LayoutRect{320, 1, 120, 240}));
    EXPECT_EQ(shown.state.Options.StageListShown, 255);
    EXPECT_EQ(shown.ui.moves.back(), std::make_pair(960 - 220, 540 - 120));

    mnuStageList_Click(shown.state);  // hide
    EXPECT_EQ(ClientSizeFor(shown.state), std::make_pair(320, 240));
    EXPECT_EQ(WindowLayoutFor(shown.state).list.width, 0);
    SetViewScale(shown.state, 3);
    EXPECT_EQ(ClientSizeFor(shown.state), std::make_pair(960, 720));
    EXPECT_TRUE(MenuModel(shown.state).Checked("mnuScale3"));
    EXPECT_FALSE(MenuModel(shown.state).Checked("mnuScale2"));
    EXPECT_NE(ConfigText(shown.state).find("Scale = 3\r\n"), std::string::npos);
}

TEST(Startup, WithNoStageTheViewSaysHowToOpenOne) {
    // Nothing to open: the hint is presented, its first line in white in the middle rows.
    AppFixture f;
    WriteConfigFor(f, "Intro = False\r\n");
    ASSERT_TRUE(FormLoad(f.state, false));
    FormActivate(f.state);
    ASSERT_EQ(f.sink.presents, 1);
    int lit = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) lit += a_getpixel(f.state.BackBuffer.get(), x, y) != 0 ? 1 : 0;
    EXPECT_GT(lit, 100);
    for (int line = 0; line < kNoStageHintLines; ++line) EXPECT_LE(std::string(kNoStageHint[line]).size(), 40u);

    // A stage on its way (given on the command line, dropped) shows itself instead.
    AppFixture pending;
    WriteConfigFor(pending, "Intro = False\r\n");
    ASSERT_TRUE(FormLoad(pending.state, false));
    OpenFromCommandLine(pending.state, pending.AddStage("a", "A"));
    FormActivate(pending.state);
    EXPECT_EQ(pending.sink.presents, 0);
}

TEST(Startup, SecondInstanceIsRefused) {
    AppFixture f;
    EXPECT_FALSE(FormLoad(f.state, true));
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].text, "Already running..");
    EXPECT_TRUE(f.ui.folderPrompts.empty());
}

TEST(Shutdown, WaitsForTheLoopThenSavesOnceAndQuits) {
    AppFixture f;
    WriteConfigFor(f);
    ASSERT_TRUE(FormLoad(f.state, false));
    StartRunning(f, f.AddStage("a", "A"));
    f.state.Loop.InRunLoop = true;
    mnuExit_Click(f.state);
    EXPECT_TRUE(f.state.Loop.ExitLoop);
    TmrExitTick(f.state);
    EXPECT_TRUE(f.timers.Active(TimerId::Exit));
    EXPECT_EQ(f.ui.quitCalls, 0);
    f.state.Loop.InRunLoop = false;
    f.state.Options.Info = true;
    TmrExitTick(f.state);
    EXPECT_FALSE(f.timers.Active(TimerId::Exit));
    EXPECT_EQ(f.state.bRunning, 0);
    EXPECT_EQ(f.ui.quitCalls, 1);
    EXPECT_NE(f.program.Read("QB.cfg").find("Info = True"), std::string::npos);
    Shutdown(f.state);  // a second shutdown does nothing
    EXPECT_EQ(f.ui.quitCalls, 1);
}

TEST(Shutdown, UnwritableConfigurationIsToldAndTheProgramStillEnds) {
    AppFixture f;
    f.state.ProgramDir = (f.program.Path() / "gone" / "deeper").string();
    f.state.Dirs = PortableDataDirs(f.state.ProgramDir);
    f.state.MugeDir = f.mugen.Dir();
    CloseRequest(f.state);
    TmrExitTick(f.state);
    EXPECT_EQ(f.ui.quitCalls, 1);
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_NE(f.ui.boxes[0].text.find("could not be saved"), std::string::npos);
}

TEST(OpenStage, RefusedFilesChangeNothing) {
    AppFixture f;
    const std::string running = f.AddStage("a", "A");
    StartRunning(f, running);
    const std::string notStage = f.mugen.Write("stages/notes.def", "[Info]\r\nname = x\r\n").string();

    // One box each, naming the file and what is wrong with it.
    OpenStageFile(f.state, f.mugen.Dir() + "stages/missing.def");
    OpenStageFile(f.state, notStage);
    OpenStageFile(f.state, f.mugen.Dir() + "stages");
    EXPECT_EQ(f.BoxTexts(),
              (std::vector<std::string>{
                  "Can't find file: \r\n" + f.mugen.Dir() + "stages/missing.def",
                  "Not a stage!\r\n" + notStage + "\r\nThe file has no [Camera] section, so it is not a stage definition.",
                  "Not a stage!\r\n" + f.mugen.Dir() + "stages\r\nIt is a folder, not a file."}));
    EXPECT_EQ(f.ui.boxes.back().icon, MsgIcon::Exclamation);
    EXPECT_EQ(f.state.bRunning, 1);
    EXPECT_EQ(f.state.StageFile, running);
    EXPECT_FALSE(f.timers.Active(TimerId::Start));
    EXPECT_TRUE(f.state.Menus.RecentFiles.empty());
}

TEST(OpenStage, RefusedFileKeepsAStartThatIsPending) {
    AppFixture f;
    const std::string good = f.AddStage("a", "A");
    OpenStageFile(f.state, good);
    OpenStageFile(f.state, f.mugen.Dir() + "stages/missing.def");
    EXPECT_TRUE(f.timers.Active(TimerId::Start));
    EXPECT_EQ(f.state.StageFile, good);
}

TEST(OpenStage, AcceptedFileReleasesTheRunningStageAndGoesOnTop) {
    AppFixture f;
    StartRunning(f, f.AddStage("a", "A"));
    const std::string next = f.AddStage("b", "B");
    f.state.Menus.RecentFiles = {"/x/old.def"};
    OpenStageFile(f.state, next);
    EXPECT_EQ(f.state.StageFile, next);
    EXPECT_EQ(f.ui.captions.back(), next);
    EXPECT_EQ(f.state.bRunning, 0);
    EXPECT_TRUE(f.state.Loop.ExitLoop);
    EXPECT_TRUE(f.timers.Active(TimerId::Start));
    EXPECT_EQ(f.state.Menus.RecentFiles, (std::vector<std::string>{next, "/x/old.def"}));
    EXPECT_TRUE(MenuModel(f.state).Item("MnuRecentFiles").Visible);
}

TEST(OpenStage, OpenDialogRequestCancelAndZip) {
    AppFixture f;
    const std::string stage = f.AddStage("a", "A");
    f.state.StageFile = "/kept.def";
    mnuOpen_Click(f.state);  // cancelled
    ASSERT_EQ(f.ui.openRequests.size(), 1u);
    const FileDialogRequest& request = f.ui.openRequests[0];
    EXPECT_EQ(request.title, "Choose your stage!");
    EXPECT_EQ(request.filters,
              (std::vector<std::pair<std::string, std::string>>{{".def, .zip", "*.def;*.zip"}}));
    EXPECT_EQ(request.initialDir, f.mugen.Dir() + "stages/");
    EXPECT_TRUE(request.fileMustExist);
    EXPECT_TRUE(request.pathMustExist);
    EXPECT_EQ(f.state.StageFile, "/kept.def");

    f.ui.openAnswers = {f.mugen.Dir() + "stages/pack.ZIP"};  // a missing package
    mnuOpen_Click(f.state);
    EXPECT_EQ(f.BoxTexts(), (std::vector<std::string>{"Can't find file: \r\n" + f.mugen.Dir() + "stages/pack.ZIP"}));
    EXPECT_EQ(f.state.StageFile, "/kept.def");
    EXPECT_FALSE(f.timers.Active(TimerId::Start));

    f.ui.openAnswers = {stage};
    mnuOpen_Click(f.state);
    EXPECT_EQ(f.state.StageFile, stage);
    EXPECT_TRUE(f.timers.Active(TimerId::Start));
    mnuOpen_Click(f.state);  // no start folder of its own: opens where the last choice was
    EXPECT_EQ(f.ui.openRequests.back().initialDir, f.mugen.Dir() + "stages/");
}

TEST(OpenStage, DropsAndTheCommandLineGoThroughTheDropTimer) {
    AppFixture f;
    const std::string running = f.AddStage("a", "A");
    const std::string dropped = f.AddStage("b", "B");
    StartRunning(f, running);
    FilesDropped(f.state, {dropped, "/tmp/readme.txt", f.mugen.Dir() + "stages/a.def.bak"});
    EXPECT_TRUE(f.timers.Active(TimerId::Drop));
    EXPECT_EQ(f.state.bRunning, 1);  // nothing released before the stage test
    TmrDropTick(f.state);
    EXPECT_FALSE(f.timers.Active(TimerId::Drop));
    EXPECT_EQ(f.state.StageFile, dropped);
    EXPECT_TRUE(f.timers.Active(TimerId::Start));

    AppFixture g;
    const std::string stray = g.mugen.Write("stages/x.def", "[Info]\r\nname = stray\r\n").string();
    StartRunning(g, g.AddStage("a", "A"));
    FilesDropped(g.state, {stray});
    TmrDropTick(g.state);
    EXPECT_EQ(g.state.bRunning, 1);  // a stray drop does not end the stage on screen
    ASSERT_FALSE(g.ui.boxes.empty());
    EXPECT_EQ(g.ui.boxes.back().text,
              "Not a stage!\r\n" + stray + "\r\nThe file has no [Camera] section, so it is not a stage definition.");

    // A drop of no definition or package is told, and the stage on screen stays.
    const size_t boxes = g.ui.boxes.size();
    FilesDropped(g.state, {"/tmp/readme.txt"});
    ASSERT_EQ(g.ui.boxes.size(), boxes + 1);
    EXPECT_EQ(g.ui.boxes.back().text, "Not a stage!\r\n/tmp/readme.txt\r\nOnly a stage definition (.def) or "
                                      "a stage package (.zip) opens here.");
    EXPECT_FALSE(g.timers.Active(TimerId::Drop));
    EXPECT_EQ(g.state.bRunning, 1);

    AppFixture h;
    OpenFromCommandLine(h.state, h.AddStage("c", "C"));
    EXPECT_TRUE(h.timers.Active(TimerId::Drop));
    TmrDropTick(h.state);
    EXPECT_TRUE(h.timers.Active(TimerId::Start));
    OpenFromCommandLine(h.state, "/some/where/pack.zip");
    EXPECT_EQ(h.BoxTexts(), (std::vector<std::string>{"Can't find file: \r\n/some/where/pack.zip"}));
    EXPECT_FALSE(h.timers.Active(TimerId::Drop));
}

TEST(OpenStage, RecentFileClickPromotesAndOpens) {
    AppFixture f;
    const std::string a = f.AddStage("a", "A");
    const std::string b = f.AddStage("b", "B");
    f.state.Menus.RecentFiles = {a, "/gone/x.def", b};
    MnuRecentFiles_Click(f.state, 2);
    EXPECT_EQ(f.state.Menus.RecentFiles, (std::vector<std::string>{b, a, "/gone/x.def"}));
    EXPECT_EQ(f.state.StageFile, b);
    EXPECT_TRUE(f.timers.Active(TimerId::Start));

    // An entry whose file went away is taken off the list when chosen, and the box says so.
    f.timers.Stop(TimerId::Start);
    MnuRecentFiles_Click(f.state, 2);
    EXPECT_EQ(f.BoxTexts(), (std::vector<std::string>{"Can't find file: \r\n/gone/x.def\r\nIt was taken off the "
                                                      "recent files."}));
    EXPECT_EQ(f.state.Menus.RecentFiles, (std::vector<std::string>{b, a}));
    EXPECT_EQ(f.state.StageFile, b);
    EXPECT_FALSE(f.timers.Active(TimerId::Start));

    // At start every vanished entry goes, the order of the rest kept.
    std::filesystem::remove(a);
    f.state.Menus.RecentFiles = {"/gone/y.zip", b, a, ""};
    EXPECT_EQ(PruneRecentFiles(f.state.Menus.RecentFiles), 3u);
    EXPECT_EQ(f.state.Menus.RecentFiles, (std::vector<std::string>{b}));
}

TEST(OpenStage, ARefusedListEntryKeepsTheHighlightOnTheStageOnScreen) {
    AppFixture f;
    const std::string a = f.AddStage("a", "A");
    f.mugen.Write("stages/b.def", "[Info]\r\nname = not a stage\r\n");
    ASSERT_TRUE(LoadFilestoList(f.state.Stages, f.ui, f.mugen.Dir() + "stages", ".def"));
    ASSERT_EQ(f.state.Stages.Names, (std::vector<std::string>{"A", "not a stage"}));
    StartRunning(f, a);
    f.state.Stages.Select(0);
    // Every way of reaching the bad entry: a click, the next command, a random pick.
    lstStages_Click(f.state, 1);
    mnuStageNext_Click(f.state);
    mnuR_Click(f.state, 0.9);
    EXPECT_EQ(f.BoxTexts().size(), 3u);
    EXPECT_EQ(f.state.Stages.ListIndex, 0);
    EXPECT_EQ(f.state.StageFile, a);
    EXPECT_EQ(f.state.bRunning, 1);
}

TEST(StageCommands, ReloadKeepsTheStageWhenItsDefinitionIsGoneOrNoStage) {
    for (const bool moved : {true, false}) {
        AppFixture f;
        const std::string def = f.AddStage("a", "A");
        StartRunning(f, def);
        if (moved)
            fs::rename(def, def + ".moved");
        else
            f.mugen.Write("stages/a.def", "[Info]\r\nname = x\r\n");
        mnuReload_Click(f.state);
        ASSERT_EQ(f.BoxTexts().size(), 1u);
        EXPECT_EQ(f.BoxTexts()[0].rfind(moved ? "The stage definition\r\n" + def + "\r\nis gone" : "Not a stage!", 0), 0u);
        EXPECT_EQ(f.state.bRunning, 1);
        EXPECT_EQ(f.state.Stage.StageName, "A");
        EXPECT_FALSE(f.state.Loop.ExitLoop || f.timers.Active(TimerId::Start));
    }
}

TEST(StageCommands, ClosingTheSpriteBrowserEndsDebugMode) {
    AppFixture f;
    StartRunning(f, f.AddStage("a", "A"));
    mnuDebug_Click(f.state);
    SpriteBrowserClosed(f.state);
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuDebug"));
    f.keys.Tap(Key::Pause);
    DrawStageFrame(f.state, f.keys, f.clock);
    EXPECT_EQ(f.state.Loop.Paused, 255) << "the Pause key works again";
    mnuDebug_Click(f.state);  // the next Debug click turns it on again, not off
    EXPECT_NE(f.state.Loop.DebugMode, 0);
}

TEST(StageCommands, CloseKeepsTheFileAndShowsBlack) {
    AppFixture f;
    const std::string stage = f.AddStage("a", "A");
    StartRunning(f, stage);
    mnuClose_Click(f.state);
    EXPECT_EQ(f.state.bRunning, 0);
    EXPECT_TRUE(f.state.Loop.ExitLoop);
    EXPECT_EQ(f.state.StageFile, stage);
    EXPECT_EQ(f.ui.captions.back(), f.state.AppTitle);
    EXPECT_EQ(f.sink.presents, 1);
    EXPECT_EQ(a_getpixel(f.state.BackBuffer.get(), 100, 100), 0);
    EXPECT_FALSE(MenuModel(f.state).Item("mnuFS").Enabled);

    mnuReload_Click(f.state);  // nothing runs: reload asks for a file
    EXPECT_EQ(f.ui.openRequests.size(), 1u);
}

TEST(StageCommands, DeleteAsksThenRemovesTheStageAndRefillsTheList) {
    AppFixture f;
    const std::string a = f.AddStage("a", "A");
    f.AddStage("b", "B");
    ASSERT_TRUE(LoadFilestoList(f.state.Stages, f.ui, f.mugen.Dir() + "stages/", ".def"));
    StartRunning(f, a);

    mnuDelete_Click(f.state);  // Enter: the default button is No
    const std::string sff = (f.mugen.Path() / "stages/a.sff").string();
    EXPECT_EQ(f.ui.boxes.back().text, "Are you sure you want to delete this stage (" + a +
                                          ")?\r\nThese files go to the trash:\r\n" + a + "\r\n" + sff);
    EXPECT_EQ(f.ui.boxes.back().buttons, MsgButtons::YesNoDefaultNo);
    EXPECT_TRUE(fs::exists(a));
    EXPECT_EQ(f.state.bRunning, 1);

    f.ui.trashWorks = false;  // a trash that refuses: nothing is erased, and the user is told
    f.ui.boxAnswers = {MsgAnswer::Yes};
    mnuDelete_Click(f.state);
    EXPECT_TRUE(fs::exists(a));
    // The definition stayed, so its sprite file stays too: one box, about the definition.
    EXPECT_NE(f.ui.boxes.back().text.find(a + "\r\nto the trash: the trash is full"), std::string::npos);
    EXPECT_TRUE(fs::exists(f.mugen.Path() / "stages/a.sff"));

    StartRunning(f, a);
    f.mugen.Write("stages/a.def.bak", "the author's first version");  // the backup goes along
    f.ui.trashWorks = true;
    f.ui.boxAnswers = {MsgAnswer::Yes};
    mnuDelete_Click(f.state);
    EXPECT_NE(f.ui.boxes.back().text.find(a + "\r\n" + a + ".bak\r\n" + sff), std::string::npos);
    EXPECT_EQ(f.ui.trashed, (std::vector<std::string>{a, a + ".bak", sff}));
    EXPECT_FALSE(fs::exists(a + ".bak"));
    EXPECT_FALSE(fs::exists(a));
    EXPECT_FALSE(fs::exists(f.mugen.Path() / "stages/a.sff"));
    EXPECT_TRUE(fs::exists(f.mugen.Path() / "stages/b.sff"));
    EXPECT_EQ(f.state.bRunning, 0);
    EXPECT_EQ(f.state.Stages.Names, (std::vector<std::string>{"B"}));
}

TEST(StageCommands, DeleteKeepsASpriteFileOtherStagesUse) {
    AppFixture f;
    const std::string a = f.AddStage("a", "A", "shared.sff");
    f.mugen.Write("stages/b.def", StageDefText("B", "Shared.SFF"));
    ASSERT_TRUE(LoadFilestoList(f.state.Stages, f.ui, f.mugen.Dir() + "stages/", ".def"));
    StartRunning(f, a);
    f.ui.boxAnswers = {MsgAnswer::Yes};
    mnuDelete_Click(f.state);
    EXPECT_FALSE(fs::exists(a));
    EXPECT_TRUE(fs::exists(f.mugen.Path() / "stages/shared.sff"));
    EXPECT_NE(f.ui.boxes.back().text.find("kept because other stages use it:\r\nb"), std::string::npos);
}

TEST(StageCommands, DeleteLeavesWhatOtherStagesUseAndRefusesReadOnlyFolders) {
    const struct {
        const char* what;
        std::string folder;  // where a.def lives, below the MUGEN directory
        std::string spr;     // a.def's and b.def's sprite file, relative to the MUGEN directory
        bool bBeside;        // b.def (same spr) beside a.def; otherwise in another folder with its own copy
        bool readOnly;
        std::vector<std::string> gone, kept;
        std::string told;  // in the last box
    } cases[] = {
        {"alone", "stages/", "stages/a.sff", false, false, {"stages/a.def", "stages/a.sff"}, {}, ""},
        {"a neighbour outside the list shares it", "more/", "more/common.sff", true, false,
         {"more/a.def"}, {"more/common.sff", "more/b.def"}, "use it:\r\nb"},
        {"the same name in another folder is another file", "stages/", "common.sff", false, false,
         {"stages/a.def", "common.sff"}, {"stages/other/common.sff"}, ""},
        {"a read-only folder", "more/", "more/a.sff", false, true, {}, {"more/a.def", "more/a.sff"}, "is read-only"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AppFixture f;
        f.AddStage("x", "X");  // the list is not empty
        f.mugen.Write(c.spr, TinySff());
        const auto stageText = [](const std::string& spr) {
            std::string text = StageDefText("A", "");
            return text.replace(text.find("spr = stages/"), 13, "spr = " + spr);
        };
        const std::string a = f.mugen.Write(c.folder + "a.def", stageText(c.spr)).string();
        if (c.bBeside) {
            f.mugen.Write(c.folder + "b.def", stageText(c.spr));
        } else {  // listed, with a sprite file of the same name of its own
            f.mugen.Write("stages/other/common.sff", TinySff());
            f.mugen.Write("stages/b.def", stageText("stages/other/common.sff"));
        }
        ASSERT_TRUE(LoadFilestoList(f.state.Stages, f.ui, f.mugen.Dir() + "stages/", ".def"));
        StartRunning(f, a);
        if (c.readOnly) fs::permissions(f.mugen.Path() / c.folder, fs::perms::owner_read | fs::perms::owner_exec);
        f.ui.boxAnswers = {MsgAnswer::Yes};
        mnuDelete_Click(f.state);
        fs::permissions(f.mugen.Path() / c.folder, fs::perms::owner_all);
        for (const auto& file : c.gone) EXPECT_FALSE(fs::exists(f.mugen.Path() / file)) << file;
        for (const auto& file : c.kept) EXPECT_TRUE(fs::exists(f.mugen.Path() / file)) << file;
        EXPECT_EQ(f.state.bRunning, c.readOnly ? 1 : 0);  // refused before anything was closed
        if (!c.told.empty()) {
            ASSERT_FALSE(f.ui.boxes.empty());
            EXPECT_NE(f.ui.boxes.back().text.find(c.told), std::string::npos) << f.ui.boxes.back().text;
        }
        if (c.readOnly) {
            EXPECT_EQ(f.ui.boxes.size(), 1u);  // not even asked
        }
    }
}

TEST(StageCommands, NothingReplacesTheStageWhileDeleteAsks) {
    AppFixture f;
    const std::string a = f.AddStage("a", "A");
    const std::string b = f.AddStage("b", "B");
    StartRunning(f, a);
    // A second start hands over a stage and a package while the question is up; the drop timer ticks.
    bool handedOver = false;
    f.ui.onBox = [&] {
        if (handedOver) return;
        handedOver = true;
        OpenFromCommandLine(f.state, b);
        TmrDropTick(f.state);
        EXPECT_EQ(f.state.StageFile, a);
        EXPECT_EQ(f.state.bRunning, 1);
        OpenFromCommandLine(f.state, "/some/where/pack.zip");
        EXPECT_EQ(f.ui.boxes.size(), 1u);  // not even looked at yet
    };
    f.ui.boxAnswers = {MsgAnswer::Yes};
    mnuDelete_Click(f.state);
    EXPECT_FALSE(fs::exists(a));
    EXPECT_FALSE(fs::exists(f.mugen.Path() / "stages/a.sff"));  // the stage the question named
    EXPECT_TRUE(fs::exists(b));
    EXPECT_TRUE(f.timers.Active(TimerId::Drop));
    TmrDropTick(f.state);  // the hand-over, once the question is answered
    EXPECT_EQ(f.BoxTexts().back(), "Can't find file: \r\n/some/where/pack.zip");
}

TEST(StageList, NavigationOpensTheListedFile) {
    AppFixture f;
    const std::string first = f.AddStage("a.default", "First");
    f.AddStage("b", "Second");
    ASSERT_TRUE(LoadFilestoList(f.state.Stages, f.ui, f.mugen.Dir() + "stages", ".def"));
    ASSERT_EQ(f.state.Stages.Names, (std::vector<std::string>{"First", "Second"}));
    mnuStageNext_Click(f.state);  // nothing selected: the first
    EXPECT_EQ(f.state.Stages.ListIndex, 0);
    EXPECT_EQ(f.state.StageFile, first);  // the listed file, not "a.def"
    mnuStageNext_Click(f.state);
    EXPECT_EQ(f.state.Stages.ListIndex, 1);
    f.timers.Stop(TimerId::Start);
    mnuStageNext_Click(f.state);  // last: no wrap
    EXPECT_EQ(f.state.Stages.ListIndex, 1);
    EXPECT_FALSE(f.timers.Active(TimerId::Start));
    mnuR_Click(f.state, 0.2);
    EXPECT_EQ(f.state.Stages.ListIndex, 0);
    // The highlight follows the stage however it was opened and however its path is spelled.
    OpenStageFile(f.state, f.mugen.Dir() + "stages/./b.def");
    EXPECT_EQ(f.state.Stages.ListIndex, 1);
    OpenStageFile(f.state, f.program.Write("elsewhere.def", StageDefText("Away", "b.sff")).string());
    EXPECT_EQ(f.state.Stages.ListIndex, -1);
    OpenStageFile(f.state, first);
    EXPECT_EQ(f.state.Stages.ListIndex, 0);

    f.state.Load.LoadPhase = 1;  // a click while a stage loads is ignored
    lstStages_Click(f.state, 1);
    EXPECT_EQ(f.state.Stages.ListIndex, 0);
}

TEST(Options, FullScreenWhileAStageRunsAndBack) {
    AppFixture f;
    f.ui.windowPos = {200, 150};
    mnuFS_Click(f.state);  // no stage: only the wish is kept
    EXPECT_EQ(f.state.bMakeFullScreen, 255);
    EXPECT_TRUE(f.ui.fullScreenCalls.empty());
    mnuFS_Click(f.state);
    EXPECT_EQ(f.state.bMakeFullScreen, 0);

    f.state.StageFile = f.AddStage("a", "A");
    f.EndLoopAtDoEvents(2);
    RunStage(f.state);
    ASSERT_TRUE(MenuModel(f.state).Item("mnuFS").Enabled);
    f.keys.Tap(Key::Escape);  // pressed before: does not count
    mnuFS_Click(f.state);
    RunPass(f.state);
    EXPECT_EQ(f.state.bFullScreen, 1);
    EXPECT_EQ(f.ui.fullScreenCalls, (std::vector<bool>{true}));
    EXPECT_EQ(f.state.Window.SavedLeft, 200);
    EXPECT_EQ(f.state.Window.SavedTop, 150);

    f.ui.windowPos = {0, 0};
    f.keys.Tap(Key::Escape);
    RunPass(f.state);
    EXPECT_EQ(f.state.bFullScreen, 0);
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuFS"));
    EXPECT_EQ(f.ui.fullScreenCalls, (std::vector<bool>{true, false}));
    EXPECT_EQ(f.ui.moves.back(), std::make_pair(200, 150));
}

TEST(Options, FpsLimiterAsksForTheLimit) {
    AppFixture f;
    mnuFPS_Click(f.state);  // checked at start: turns it off
    EXPECT_EQ(f.state.Loop.FpsLimit, 0);
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuFPS"));
    // Whole numbers 1 to 1000 turn it on; anything else leaves it off with the limit it had.
    const std::pair<const char*, int> answers[] = {{"30", 30},  {" 1000 ", 1000}, {"1", 1},   {"30.5", 0},
                                                   {"0", 0},    {"-5", 0},        {"abc", 0}, {"1001", 0},
                                                   {"60x", 0}, {"", 0}};
    for (const auto& [answer, limit] : answers) {
        f.state.Loop.FpsLimit = 0;
        f.ui.inputAnswers = {answer};
        mnuFPS_Click(f.state);
        EXPECT_EQ(f.ui.inputPrompts.back(), "Max FPS?");
        EXPECT_EQ(f.state.Loop.FpsLimit, limit) << answer;
        EXPECT_EQ(MenuModel(f.state).Checked("mnuFPS"), limit > 0) << answer;
        if (limit > 0) {
            EXPECT_EQ(MenuModel(f.state).Item("mnuFPS").Caption, "FPS Limiter (" + std::to_string(limit) + " fps)");
            mnuFPS_Click(f.state);  // off again
        }
    }
    EXPECT_EQ(f.ui.inputDefaults.front(), "60");
    mnuFPS_Click(f.state);
    mnuFPS_Click(f.state);  // cancelled: stays off
    EXPECT_EQ(f.ui.inputDefaults.back(), "1") << "the box offers the limit chosen last";
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuFPS"));
    EXPECT_EQ(f.state.Loop.FpsLimit, 0);
}

TEST(Options, TogglesNotepadErrorLogAndSnapshot) {
    AppFixture f;
    mnuInfo_Click(f.state);
    mnuDebugBG_Click(f.state);
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuInfo"));
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuDebugBG"));

    mnuError_Click(f.state);
    EXPECT_TRUE(f.ui.errorLogVisible);
    ErrorLogClosed(f.state);
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuError"));
    mnuError_Click(f.state);
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuError"));

    // No stage: the editor starts without a file, and no complaint.
    const size_t boxes = f.ui.boxes.size();
    mnuNotepad_Click(f.state);
    EXPECT_EQ(f.ui.editorOpened.back(), "");
    EXPECT_EQ(f.ui.boxes.size(), boxes);
    // A stage written in another letter case than the disk's: the editor gets the file on disk.
    const std::string onDisk = f.mugen.Write("stages/Temple.def", "[Camera]\r\n").string();
    f.state.StageFile = f.mugen.Dir() + "STAGES/temple.DEF";
    f.ui.editorWorks = false;
    f.ui.editorTried = "$VISUAL: not set";
    mnuNotepad_Click(f.state);
    EXPECT_EQ(f.ui.editorOpened.back(), onDisk);
    // The first line is the given text (translated by itself); then what was tried and the way out.
    const std::string& told = f.ui.boxes.back().text;
    EXPECT_EQ(told.substr(0, told.find("\r\n")), "Didn't work for some reason...");
    EXPECT_NE(told.find("Tried:\r\n$VISUAL: not set\r\n"), std::string::npos) << told;
    EXPECT_NE(told.find("set $VISUAL (or $EDITOR)"), std::string::npos) << told;
    EXPECT_EQ(f.ui.boxes.back().icon, MsgIcon::Critical);

    mnuSnapshot_Click(f.state);  // no stage: nothing
    EXPECT_FALSE(fs::exists(f.program.Path() / "snapshots"));
    StartRunning(f, f.AddStage("a", "Forest Gate"));
    EXPECT_TRUE(MenuCommand(f.state, "mnuSnapshot"));
    EXPECT_TRUE(fs::exists(f.program.Path() / "snapshots" / "Forest Gate 0.pcx"));
    // The caption says where it went, and gives way to the stage's once the notice's time is up.
    EXPECT_EQ(f.ui.captions.back(), "Snapshot saved: " + (f.program.Path() / "snapshots" / "Forest Gate 0.pcx").string());
    f.clock.AdvanceMs(kNoticeMs - 1);
    ExpireNotice(f.state);
    EXPECT_EQ(f.ui.captions.back().rfind("Snapshot saved: ", 0), 0u);
    f.clock.AdvanceMs(1);
    ExpireNotice(f.state);
    EXPECT_EQ(f.ui.captions.back(), "Forest Gate");
    // Options opens the folder through the desktop (made first when missing).
    EXPECT_TRUE(MenuCommand(f.state, "mnuSnapshotFolder"));
    EXPECT_EQ(f.ui.desktopOpened, (std::vector<std::string>{(f.program.Path() / "snapshots").string()}));
    EXPECT_FALSE(MenuCommand(f.state, "mnuReset"));
}

}  // namespace
}  // namespace qb::test

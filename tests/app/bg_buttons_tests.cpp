#include "app/bg_buttons.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "app/commands.h"
#include "app/run_loop.h"
#include "session/stage_session.h"
#include "app/startup.h"
#include "library/stage_list.h"
#include "tests/app/app_fixture.h"
#include "tools/bg_commands.h"

namespace qb::test {
namespace {

TEST(BgButtons, MusicSavesAndTheWriteIntoTheStageFile) {
    AppFixture f;
    f.state.StageFile = f.AddStage("forest", "Forest Gate");
    f.EndLoopAtDoEvents(5);
    RunStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);
    EXPECT_FALSE(BgEditorButton(f.state, "cmdBogus"));

    // Music: cancelled changes nothing; a chosen file becomes the music, is shown and plays.
    f.mugen.Write("sound/a.mp3", "x");
    const std::string before = f.state.Load.MusicPath;
    ASSERT_TRUE(BgEditorButton(f.state, "cmdMusic"));
    ASSERT_EQ(f.ui.openRequests.size(), 1u);
    EXPECT_EQ(f.ui.openRequests[0].title, "Choose your stage!");
    EXPECT_EQ(f.ui.openRequests[0].filters,
              (std::vector<std::pair<std::string, std::string>>{{"Music Files", "*.mp3"}}));
    EXPECT_EQ(f.ui.openRequests[0].initialDir, f.mugen.Dir() + "sound/");
    EXPECT_EQ(f.state.Load.MusicPath, before);
    EXPECT_EQ(f.state.Edit.Fields.txtMusic, "");
    const std::string song = (f.mugen.Path() / "sound/a.mp3").string();
    f.ui.openAnswers.push_back(song);
    BgEditorButton(f.state, "cmdMusic");
    EXPECT_EQ(f.state.Edit.Fields.txtMusic, song);
    EXPECT_EQ(f.media.opened, song);
    EXPECT_TRUE(f.media.playing);
    // The player holds it: the Music item stops and restarts what the editor chose.
    EXPECT_EQ(f.state.MUSIC.FileName(), song);
    MenuCommand(f.state, "mnuMusic");
    EXPECT_FALSE(f.media.playing);
    MenuCommand(f.state, "mnuMusic");
    EXPECT_TRUE(f.media.playing);
    EXPECT_EQ(f.media.opened, song);

    // Save Changes and Command6 write into the program folder, with the chosen music.
    BgEditorButton(f.state, "cmdSave");
    BgEditorButton(f.state, "Command6");
    EXPECT_NE(f.program.Read("test.def").find("bgmusic = " + song + "\r\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(f.program.Path() / "stage.def"));

    // A box that is no number ends the Update with a message naming it; nothing is taken.
    f.state.Edit.Fields.txtcamhigh = "40000";
    f.state.Edit.Fields.txtcamleft = "-321";
    BgEditorButton(f.state, "cmdUpdate");
    EXPECT_NE(f.ui.boxes.back().text.find("boundhigh"), std::string::npos);
    EXPECT_EQ(f.state.Stage.BoundLeft, -100);
    f.state.Edit.Fields.txtcamhigh = "-20";

    // Update moves the camera bound; the write puts it into the stage file and says so.
    f.state.Edit.Fields.txtcamleft = "-321";
    BgEditorButton(f.state, "cmdUpdate");
    const size_t boxes = f.ui.boxes.size();
    BgEditorButton(f.state, "cmdWriteStage");
    ASSERT_EQ(f.ui.boxes.size(), boxes + 1);
    EXPECT_EQ(f.ui.boxes.back().icon, MsgIcon::Information);
    EXPECT_NE(f.mugen.Read("stages/forest.def").find("boundleft = -321"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(f.mugen.Path() / "stages/forest.def.bak"));

    // A stage from a package runs from a temporary copy: nothing is written there.
    f.state.Package.FromPackage = true;
    f.state.Edit.Fields.txtcamleft = "-50";
    BgEditorButton(f.state, "cmdUpdate");
    BgEditorButton(f.state, "cmdWriteStage");
    EXPECT_EQ(f.ui.boxes.back().icon, MsgIcon::Exclamation);
    EXPECT_EQ(f.mugen.Read("stages/forest.def").find("boundleft = -50"), std::string::npos);
    f.state.Package.FromPackage = false;
}

TEST(BgButtons, ButtonsWithBareCaptionsSayInTheirTipsWhatTheyDo) {
    for (const BgButton& button : BgButtonTable()) {
        const std::string caption = button.caption;
        const bool bare = caption == button.name || caption == "Set";
        EXPECT_EQ(button.tip != nullptr, bare) << button.name;
    }
}

TEST(BgButtons, SavesNeedAStageThatIsNotFromAPackage) {
    const struct {
        const char* what;
        bool running, fromPackage;
        std::string told;
    } cases[] = {
        {"no stage", false, false, "There is no stage to save"},
        {"a package stage", true, true, "opened from a package"},
    };
    for (const auto& c : cases) {
        for (const char* button : {"cmdSave", "Command6"}) {
            SCOPED_TRACE(std::string(c.what) + " " + button);
            AppFixture f;
            f.state.StageFile = f.AddStage("forest", "Forest Gate");
            if (c.running) {
                f.EndLoopAtDoEvents(5);
                RunStage(f.state);
                ASSERT_EQ(f.state.bRunning, 1);
            }
            f.state.Package.FromPackage = c.fromPackage;
            const std::string file = std::string(button) == "cmdSave" ? "test.def" : "stage.def";
            f.program.Write(file, "earlier save");
            ASSERT_TRUE(BgEditorButton(f.state, button));
            EXPECT_EQ(f.program.Read(file), "earlier save");
            ASSERT_EQ(f.ui.boxes.size(), 1u);
            EXPECT_NE(f.ui.boxes[0].text.find(c.told), std::string::npos) << f.ui.boxes[0].text;
            f.state.Package.FromPackage = false;
        }
    }
}

// Every command that replaces or ends the stage asks first while the editor holds unwritten edits
// (the Wall moved to X = 40 with Update): Cancel keeps the stage and the edits, Discard goes on,
// Write puts the edits into the file and goes on.
TEST(BgButtons, ReplacingTheStageAsksBeforeDroppingUnwrittenEdits) {
    const std::vector<std::pair<const char*, std::function<void(AppState&)>>> commands = {
        {">>", [](AppState& s) { MenuCommand(s, "mnuStageNext"); }},
        {"<<", [](AppState& s) { MenuCommand(s, "mnuStagePrev"); }},
        {"R", [](AppState& s) { mnuR_Click(s, 0.9); }},
        {"list click", [](AppState& s) { lstStages_Click(s, 0); }},
        {"Reload", [](AppState& s) { MenuCommand(s, "mnuReload"); }},
        {"Close", [](AppState& s) { MenuCommand(s, "mnuClose"); }},
        {"Exit", [](AppState& s) { MenuCommand(s, "mnuExit"); }},
        {"hand-over",
         [](AppState& s) {
             OpenFromCommandLine(s, s.Stages.Files[0]);
             TmrDropTick(s);
         }},
        {"drop",
         [](AppState& s) {
             FilesDropped(s, {s.Stages.Files[0]});
             TmrDropTick(s);
         }},
    };
    for (const auto& [name, command] : commands) {
        for (MsgAnswer answer : {MsgAnswer::Cancel, MsgAnswer::No, MsgAnswer::Yes}) {
            AppFixture f;
            f.AddStage("a", "A");
            f.AddStage("z", "Z");
            f.state.StageFile = f.AddStage("wall", "Wall");
            LoadFilestoList(f.state.Stages, f.ui, StagesFolder(f.state), ".def");
            f.state.Stages.Select(1);
            ASSERT_TRUE(BeginStageRun(f.state));
            EditState& edit = f.state.Edit;
            edit.SelectedElement = 0;
            ShowElement(f.state.Stage, 0, edit.Fields);
            edit.Fields.txtXpos = "40";
            BgEditorButton(f.state, "cmdUpdate");
            f.ui.boxes.clear();
            f.ui.boxAnswers = {answer};
            // A second start hands over another stage while the question is up: it waits for the answer.
            bool handedOver = false;
            f.ui.onBox = [&] {
                if (handedOver) return;
                handedOver = true;
                OpenFromCommandLine(f.state, f.mugen.Dir() + "stages/a.def");
                TmrDropTick(f.state);
                EXPECT_EQ(f.state.bRunning, 1) << name;
                EXPECT_EQ(f.state.Stage.Elements[0].StartX, 40) << name;
            };

            command(f.state);
            f.ui.onBox = nullptr;
            if (answer == MsgAnswer::Cancel) {
                EXPECT_TRUE(f.timers.Active(TimerId::Drop)) << name;
            }
            ASSERT_FALSE(f.ui.boxes.empty()) << name;
            EXPECT_EQ(f.ui.boxes[0].buttons, MsgButtons::WriteDiscardCancel) << name;
            const bool goesOn = f.state.bRunning == 0 || f.timers.Active(TimerId::Exit);
            EXPECT_EQ(goesOn, answer != MsgAnswer::Cancel) << name << " " << static_cast<int>(answer);
            const bool written = f.mugen.Read("stages/wall.def").find("start = 40,0") != std::string::npos;
            EXPECT_EQ(written, answer == MsgAnswer::Yes) << name;
            if (answer == MsgAnswer::Cancel) {
                EXPECT_EQ(f.state.Stage.Elements[0].StartX, 40) << name;
            }
        }
    }
    // Delete asks too, after its own question: Cancel keeps the stage, its files and the edits.
    for (MsgAnswer answer : {MsgAnswer::Cancel, MsgAnswer::No}) {
        AppFixture f;
        const std::string wall = f.AddStage("wall", "Wall");
        f.state.StageFile = wall;
        ASSERT_TRUE(BeginStageRun(f.state));
        f.state.Edit.SelectedElement = 0;
        ShowElement(f.state.Stage, 0, f.state.Edit.Fields);
        f.state.Edit.Fields.txtXpos = "40";
        BgEditorButton(f.state, "cmdUpdate");
        f.ui.boxAnswers = {MsgAnswer::Yes, answer};
        MenuCommand(f.state, "mnuDelete");
        EXPECT_EQ(std::filesystem::exists(wall), answer == MsgAnswer::Cancel);
        EXPECT_EQ(f.state.bRunning, answer == MsgAnswer::Cancel ? 1 : 0);
        // A stop signal asks nobody: the program ends, the stage file is not written.
        if (answer != MsgAnswer::Cancel) continue;
        f.ui.boxes.clear();
        StopRequest(f.state);
        EXPECT_TRUE(f.ui.boxes.empty());
        EXPECT_TRUE(f.timers.Active(TimerId::Exit));
        EXPECT_EQ(f.mugen.Read("stages/wall.def").find("start = 40,0"), std::string::npos);
    }
    // Nothing unwritten: no question.
    AppFixture f;
    f.state.StageFile = f.AddStage("wall", "Wall");
    ASSERT_TRUE(BeginStageRun(f.state));
    f.ui.boxes.clear();
    MenuCommand(f.state, "mnuClose");
    EXPECT_TRUE(f.ui.boxes.empty());
    EXPECT_EQ(f.state.bRunning, 0);
}

}  // namespace
}  // namespace qb::test

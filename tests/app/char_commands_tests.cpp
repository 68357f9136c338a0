// The test character's commands and its start with the stage, on the window's state with fake ports.
#include <gtest/gtest.h>

#include "app/char_commands.h"
#include "app/commands.h"
#include "app/config.h"
#include "session/load_stage.h"
#include "app/run_loop.h"
#include "session/stage_session.h"
#include "app/startup.h"
#include "tests/app/app_fixture.h"
#include "tests/character/char_fixture.h"

namespace qb::test {
namespace {

// A MUGEN directory holding the default test character ("Tester", walk speed 2, 2 x 3 red sprites
// with their axis at the bottom of column 1) and a stage whose ground line is 200.
struct CharAppFixture : AppFixture {
    std::string charPath = WriteCharFiles(mugen, "chars/t/", "t.def", CharFiles{});
    std::string stagePath = AddStage("s", "S");

    void Start() {
        state.StageFile = stagePath;
        ASSERT_TRUE(BeginStageRun(state));
    }
    void SwitchOnBeforeStart() {
        state.CharSettings.TestCharPath = charPath;
        mnuChar_Click(state);
    }
    const TestCharacter& Character() const { return state.Chars.Characters.at(0); }
};

TEST(TestCharCommands, ChangeAsksForADefinitionCutsItAndRefusesOthers) {
    CharAppFixture f;
    f.ui.openAnswers = {f.charPath + " (copy)", f.stagePath, ""};

    mnuChange_Click(f.state);
    ASSERT_EQ(f.ui.openRequests.size(), 1u);
    const FileDialogRequest& request = f.ui.openRequests[0];
    EXPECT_EQ(request.title, "Choose test character.");
    EXPECT_EQ(request.initialDir, f.mugen.Dir() + "chars/");
    EXPECT_EQ(request.filters, (std::vector<std::pair<std::string, std::string>>{{"DEF Files", "*.def"}}));
    EXPECT_TRUE(request.fileMustExist && request.pathMustExist);
    EXPECT_EQ(f.state.CharSettings.TestCharPath, f.charPath);  // cut after ".def"
    EXPECT_TRUE(f.ui.boxes.empty());

    // A stage has no common states: refused, and the character chosen before stays.
    mnuChange_Click(f.state);
    EXPECT_EQ(f.state.CharSettings.TestCharPath, f.charPath);
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.ui.boxes[0].text, "Not a Character!");
    EXPECT_EQ(f.ui.boxes[0].icon, MsgIcon::Exclamation);

    // Cancel keeps the character chosen before.
    f.state.CharSettings.TestCharPath = f.charPath;
    mnuChange_Click(f.state);
    EXPECT_EQ(f.state.CharSettings.TestCharPath, f.charPath);
}

TEST(TestCharCommands, UseWhileRunningStartsTheCharacterAndTradesTheCameraSteps) {
    CharAppFixture f;
    f.Start();
    f.state.Camera.HCamStep = 3;
    f.state.Camera.VCamStep = 4;
    f.state.CharSettings.TestCharPath = f.charPath;
    // While the character loads, the Options and Stage menus take no commands.
    bool menusOffWhileLoading = false;
    f.ui.onBox = [&] {
        menusOffWhileLoading =
            !MenuModel(f.state).Item("mnuOptions").Enabled && !MenuModel(f.state).Item("mnuStage").Enabled;
    };

    mnuChar_Click(f.state);
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuChar"));
    EXPECT_EQ(f.state.Chars.CharEnabled, 255);
    EXPECT_EQ(f.state.Chars.CharLoaded, 255);
    EXPECT_EQ(MenuModel(f.state).Item("mnuChar").Caption, "Use Tester");
    EXPECT_EQ(f.ui.captions.back(), "S");
    EXPECT_TRUE(MenuModel(f.state).Item("mnuOptions").Enabled && MenuModel(f.state).Item("mnuStage").Enabled);
    EXPECT_EQ(f.Character().X, 160);  // the player-one start (0) in view units
    EXPECT_EQ(f.Character().Y, 200);
    EXPECT_EQ(f.state.Camera.HCamStep, 2);  // the camera keeps pace with the walk
    EXPECT_EQ(f.state.Camera.VCamStep, 4);

    mnuChar_Click(f.state);
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuChar"));
    EXPECT_EQ(f.state.Chars.CharEnabled, 0);
    EXPECT_EQ(f.state.Camera.HCamStep, 3);
    EXPECT_EQ(f.state.Camera.VCamStep, 4);
    EXPECT_EQ(f.state.Chars.CharLoaded, 255);  // switching off keeps the files for the next use

    // A kept horizontal step of 0 comes back as 1.
    mnuChar_Click(f.state);
    f.state.Camera.SavedHCamStep = 0;
    mnuChar_Click(f.state);
    EXPECT_EQ(f.state.Camera.HCamStep, 1);

    // A character that does not load switches off, is forgotten and leaves the camera alone.
    CharFiles broken;
    broken.def = "[Files]\nstcommon = common1.cns\nsprite = t.sff\nanim = gone.air\ncns = t.cns\n";
    f.state.CharSettings.TestCharPath = WriteCharFiles(f.mugen, "chars/b/", "b.def", broken);
    f.state.Chars.CharLoaded = 0;
    f.state.Camera.HCamStep = 5;
    mnuChar_Click(f.state);
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_NE(f.ui.boxes[0].text.find("animation file missing"), std::string::npos);
    EXPECT_TRUE(menusOffWhileLoading);
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuChar"));
    EXPECT_EQ(f.state.Chars.CharEnabled, 0);
    EXPECT_EQ(MenuModel(f.state).Item("mnuChar").Caption, "Use Char");
    EXPECT_EQ(f.state.CharSettings.TestCharPath, "");
    EXPECT_EQ(f.state.Camera.HCamStep, 5);
    EXPECT_TRUE(MenuModel(f.state).Item("mnuOptions").Enabled && MenuModel(f.state).Item("mnuStage").Enabled);

    // With no character chosen the use command asks first; cancelling leaves it off.
    mnuChar_Click(f.state);
    EXPECT_EQ(f.ui.openRequests.size(), 1u);
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuChar"));
    EXPECT_EQ(f.state.Chars.CharEnabled, 0);
}

TEST(TestCharCommands, TheSavedSettingsAreTheUsersNotTheFeatures) {
    CharAppFixture f;
    f.state.Camera.HCamStep = 5;
    f.state.Camera.VCamStep = 1.5f;
    f.SwitchOnBeforeStart();
    const auto saved = [&f] {
        const std::string text = ConfigText(f.state);
        EXPECT_NE(text.find("\r\nTestChar = " + f.charPath + "\r\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\r\nHCamStep = 5\r\nVCamStep = 1.5\r\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\r\nChar = True\r\n"), std::string::npos) << text;
    };
    f.Start();
    ASSERT_EQ(f.state.Camera.HCamStep, 2);  // the walking speed sets the pace meanwhile
    saved();
    mnuMScroll_Click(f.state);
    f.keys.pointer = {300, 220};
    RunPass(f.state);
    saved();
    UnloadStuff(f.state);
    f.Start();  // the next stage starts with both still on
    saved();
    ChooseTestChar(f.state, f.stagePath);  // "Not a Character!"
    EXPECT_EQ(f.BoxTexts().back(), "Not a Character!");
    saved();
    mnuMScroll_Click(f.state);
    mnuChar_Click(f.state);
    EXPECT_EQ(f.state.Camera.HCamStep, 5);
    EXPECT_EQ(f.state.Camera.VCamStep, 1.5f);
}

TEST(TestCharCommands, StageStartPlacesTheCharacterWhichWalksBetweenTheLayers) {
    // Off: the stage starts as always.
    CharAppFixture off;
    off.state.CharSettings.TestCharPath = off.charPath;
    off.Start();
    EXPECT_EQ(off.state.Chars.CharLoaded, 0);
    EXPECT_EQ(off.state.Camera.HCamStep, 1);

    CharAppFixture f;
    f.state.Options.CharP2 = false;  // the walker alone, by its own rules
    f.SwitchOnBeforeStart();
    EXPECT_EQ(f.state.Chars.CharLoaded, 0);  // takes effect at the next stage start
    f.Start();
    ASSERT_EQ(f.state.Chars.CharLoaded, 255);
    EXPECT_EQ(f.state.Camera.HCamStep, 2);
    EXPECT_EQ(f.Character().X, 160);

    // One frame with the right arrow held: drawn with its axis at (160, 200), then a step right.
    f.keys.Hold(Key::Right);
    DrawStageFrame(f.state, f.keys, f.clock);
    BITMAP* back = f.state.BackBuffer.get();
    const int red = a_makecol(255, 0, 0);
    EXPECT_EQ(a_getpixel(back, 159, 197), red);
    EXPECT_EQ(a_getpixel(back, 160, 199), red);
    EXPECT_NE(a_getpixel(back, 161, 199), red);
    EXPECT_EQ(f.Character().X, 162);
    EXPECT_EQ(f.state.Camera.CameraX, 0);  // the character, not the camera, takes the arrow

    // A record the walker cannot use switches the character off; the stage goes on.
    f.state.Chars.Characters[0].Actions.clear();
    DrawStageFrame(f.state, f.keys, f.clock);
    EXPECT_EQ(f.state.Chars.CharEnabled, 0);
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuChar"));
    EXPECT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_EQ(f.state.bRunning, 1);
}

TEST(TestCharCommands, MouseScrollingMovesTheCharacterWithTheStage) {
    AppFixture f;
    f.state.StageFile = f.AddStage("a", "A");  // one element of delta 1 at the camera's start
    f.state.CharSettings.TestCharPath = std::string(QB_DEMO_DIR) + "/chars/wren/wren.def";
    f.state.Options.CharP2 = false;  // the walker alone, by its own rules
    mnuChar_Click(f.state);
    ASSERT_TRUE(BeginStageRun(f.state));
    mnuMScroll_Click(f.state);
    f.keys.pointer = {300, 120};  // right of the centre: the camera scrolls right, up to the bound
    std::vector<float> element, character;
    for (int i = 0; i < 8; ++i) {
        f.clock.AdvanceMs(17);
        RunPass(f.state);
        element.push_back(static_cast<float>(f.state.Frame.Drawn[0].x));
        character.push_back(f.state.Chars.Characters[0].X);
    }
    EXPECT_LT(element.back(), element.front() - 50);
    for (size_t i = 1; i < element.size(); ++i)
        EXPECT_FLOAT_EQ(character[i] - character[0], element[i] - element[0]) << "frame " << i;
}

TEST(TestCharCommands, AnotherChoiceReleasesTheLoadedCharacterAtOnce) {
    CharAppFixture f;
    f.SwitchOnBeforeStart();
    f.Start();
    ASSERT_EQ(f.Character().Name, "Tester");
    UnloadStuff(f.state);

    CharFiles other;
    other.def.replace(other.def.find("Tester"), 6, "Other");
    const std::string otherPath = WriteCharFiles(f.mugen, "chars/o/", "o.def", other);
    ASSERT_TRUE(ChooseTestChar(f.state, otherPath));
    EXPECT_EQ(f.state.Chars.CharLoaded, 0);
    for (const SpriteEntry& entry : f.Character().Sprites) EXPECT_EQ(entry.Bitmap, nullptr);
    f.Start();
    EXPECT_EQ(f.Character().Name, "Other");
    EXPECT_EQ(MenuModel(f.state).Item("mnuChar").Caption, "Use Other");

    // While a stage runs the new choice comes into it at once, and the caption is the stage's again.
    ASSERT_TRUE(ChooseTestChar(f.state, f.charPath));
    EXPECT_EQ(f.state.Chars.CharLoaded, 255);
    EXPECT_EQ(f.Character().Name, "Tester");
    EXPECT_EQ(f.ui.captions.back(), "S");
}

TEST(TestCharCommands, CharTrueInTheConfigurationSwitchesOnAtStartAndShutdownReleases) {
    CharAppFixture f;
    f.program.Write("QB.cfg", "MugeDir = " + f.mugen.Dir() + "\r\nTestChar = " + f.charPath +
                                  "\r\nCharName = Tester\r\nChar = True\r\n");
    ASSERT_TRUE(FormLoad(f.state, false));
    EXPECT_TRUE(f.ui.openRequests.empty());
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuChar"));
    EXPECT_EQ(f.state.Chars.CharEnabled, 255);
    EXPECT_EQ(MenuModel(f.state).Item("mnuChar").Caption, "Use Tester");

    f.Start();
    EXPECT_EQ(f.state.Chars.CharLoaded, 255);
    CloseRequest(f.state);
    TmrExitTick(f.state);
    EXPECT_EQ(f.state.Chars.CharLoaded, 0);
    EXPECT_NE(f.program.Read("QB.cfg").find("\r\nChar = True\r\n"), std::string::npos);

    // No character chosen yet: the wish opens the chooser.
    CharAppFixture unchosen;
    unchosen.program.Write("QB.cfg", "MugeDir = " + unchosen.mugen.Dir() + "\r\nChar = True\r\n");
    ASSERT_TRUE(FormLoad(unchosen.state, false));
    EXPECT_EQ(unchosen.ui.openRequests.size(), 1u);
    EXPECT_FALSE(MenuModel(unchosen.state).Checked("mnuChar"));
}

}  // namespace
}  // namespace qb::test

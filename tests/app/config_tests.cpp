#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/commands.h"
#include "app/config.h"
#include "library/open_stage.h"
#include "tests/app/app_fixture.h"

namespace qb::test {
namespace {

struct ConfigFixture : AppFixture {
    ConfigFixture() { state.VersionText = ".67"; }
    void WriteConfig(const std::string& text) const { program.Write("QB.cfg", text); }
};

TEST(Config, RoundTripKeepsEverySettingWithCaseAndBlanks) {
    ConfigFixture a;
    a.state.MugeDir = "/Games/MUGEN 1.1\nBeta/";  // a line break in a folder's name stays in it
    a.state.CharSettings.TestCharPath = "/Games/MUGEN 1.1 Beta/chars/KFM 2/kfm.def";
    a.state.CharSettings.TestCharName = "Kung Fu Man 2 Turbo";
    a.state.Camera.HCamStep = 1.5f;
    a.state.Camera.VCamStep = 0.5f;
    a.state.Options.Music = false;
    a.state.Options.Info = true;
    a.state.Options.Deform = true;
    a.state.Options.DebugBG = true;
    a.state.Options.StageListShown = 255;
    a.state.Options.ViewScale = 3;
    a.state.Options.SnapshotPng = true;
    MenuCommand(a.state, "mnuLanguageEn");
    a.state.Window.PositionKnown = true;
    a.state.Window.SavedLeft = -8;
    a.state.Window.SavedTop = 40;
    a.state.Options.AutoReload = false;
    a.state.Menus.RecentFiles = {"/D/Stages1 new/x.def", "/d/Ünïcode Á/Temple.DEF", "/a;b/c.def", "/d/cr\rx.def"};
    ASSERT_TRUE(SaveConfig(a.state));

    ConfigFixture b;
    std::filesystem::copy_file(a.program.Path() / "QB.cfg", b.program.Path() / "QB.cfg");
    LoadConfig(b.state);
    EXPECT_EQ(b.state.MugeDir, a.state.MugeDir);
    EXPECT_EQ(b.state.CharSettings.TestCharPath, a.state.CharSettings.TestCharPath);
    EXPECT_EQ(b.state.CharSettings.TestCharName, "Kung Fu Man 2 Turbo");
    EXPECT_EQ(MenuModel(b.state).Item("mnuChar").Caption, "Use Kung Fu Man 2 Turbo");
    EXPECT_FLOAT_EQ(b.state.Camera.HCamStep, 1.5f);
    EXPECT_FLOAT_EQ(b.state.Camera.VCamStep, 0.5f);
    EXPECT_FALSE(MenuModel(b.state).Checked("mnuMusic"));
    EXPECT_TRUE(MenuModel(b.state).Checked("mnuInfo"));
    EXPECT_TRUE(MenuModel(b.state).Checked("mnuDeform"));
    EXPECT_TRUE(MenuModel(b.state).Checked("mnuDebugBG"));
    EXPECT_EQ(b.state.Options.StageListShown, 255);
    EXPECT_EQ(b.state.Options.ViewScale, 3);
    EXPECT_TRUE(MenuModel(b.state).Checked("mnuSnapshotPng"));
    EXPECT_EQ(b.state.Options.Language, "en");
    EXPECT_TRUE(MenuModel(b.state).Checked("mnuLanguageEn"));
    EXPECT_FALSE(MenuModel(b.state).Checked("mnuLanguageZh"));
    EXPECT_TRUE(b.state.Window.PositionKnown);
    EXPECT_EQ(std::make_pair(b.state.Window.SavedLeft, b.state.Window.SavedTop), std::make_pair(-8, 40));
    EXPECT_FALSE(MenuModel(b.state).Checked("mnuAutoReload"));
    EXPECT_EQ(b.state.Menus.RecentFiles, a.state.Menus.RecentFiles);
    EXPECT_TRUE(MenuModel(b.state).Item("MnuRecentFiles").Visible);
    EXPECT_EQ(b.state.Window.ShowIntro, 0);  // the file always says Intro = False
    EXPECT_TRUE(b.ui.boxes.empty());
    EXPECT_TRUE(b.state.Log.Text().empty());
}

TEST(Config, EverySettingReadsBackWhatItWrote) {
    // One line per row of the schema, each away from its default; a row without a case fails below.
    const std::map<std::string, std::vector<std::string>> written = {
        {"Version", {".67A"}},
        {"MugeDir", {"\"/Games/MUGEN\\\\x\\r\\n1/\""}},  // a folder name with a backslash and a line break
        {"TestChar", {"/Games/chars/Kite/kite.def"}},
        {"HCamStep", {"1.25"}},
        {"VCamStep", {"0.5"}},
        {"BGMusic", {"False"}},
        {"Info", {"True"}},
        {"Char", {"True"}},
        {"Deform", {"True"}},
        {"DebugBG", {"True"}},
        {"CharName", {"Kite Runner"}},
        {"StageList", {"255"}},
        {"RecentFile", {"/d/b.def", "/d/A b.DEF"}},
        {"Intro", {"False"}},
        {"Scale", {"3"}},
        {"SnapshotPng", {"True"}},
        {"Language", {"en"}},
        {"Left", {"-8"}},
        {"Top", {"40"}},
        {"AutoReload", {"False"}},
        {"SnapshotInfo", {"True"}},
        {"FpsLimit", {"30"}},
        {"ScaleFit", {"True"}},
        {"SmoothScale", {"True"}},
        {"OverlayBounds", {"True"}},
        {"OverlayScreen", {"False"}},
        {"OverlayStarts", {"True"}},
        {"OverlayMoveBounds", {"True"}},
        {"OverlayFloor", {"False"}},
        {"OverlayElement", {"True"}},
        {"CharP2", {"False"}},
        {"TestChar2", {"/d/chars/Two b.def"}},
        {"LibrarySort", {"author"}},
    };
    std::string file;
    for (const SettingRow& row : SettingsSchema()) {
        const auto values = written.find(row.key);
        ASSERT_NE(values, written.end()) << row.key;
        for (const std::string& value : values->second) file += std::string(row.key) + " = " + value + "\r\n";
    }
    ConfigFixture f;
    f.WriteConfig(file);
    LoadConfig(f.state);
    for (const SettingRow& row : SettingsSchema())
        EXPECT_EQ(SettingText(row, f.state), written.at(row.key)) << row.key;
    EXPECT_EQ(ConfigText(f.state), file);  // in the schema's order

    // A fresh program writes each row's default (none for a row without one).
    const AppState fresh;
    for (const SettingRow& row : SettingsSchema()) {
        const auto expected = row.defaultText ? std::vector<std::string>{row.defaultText} : std::vector<std::string>{};
        if (row.id == Setting::Version) continue;  // the program's release, not a setting
        EXPECT_EQ(SettingText(row, fresh), expected) << row.key;
    }
}

TEST(Config, WritesTheDocumentedLinesWithCrLf) {
    ConfigFixture f;
    f.state.MugeDir = "/m/";
    f.state.Camera.HCamStep = 1;
    f.state.Camera.VCamStep = 0.5f;
    f.state.Menus.RecentFiles = {"/m/stages/b.def", "/m/stages/a.def"};
    EXPECT_EQ(ConfigText(f.state),
              "Version = .67A\r\nMugeDir = /m/\r\nHCamStep = 1\r\nVCamStep = 0.5\r\nBGMusic = True\r\n"
              "Info = False\r\nChar = False\r\nDeform = False\r\nDebugBG = False\r\nCharName = \r\n"
              "StageList = 0\r\nRecentFile = /m/stages/b.def\r\nRecentFile = /m/stages/a.def\r\n"
              "Intro = False\r\nScale = 2\r\nSnapshotPng = False\r\nLanguage = zh\r\nAutoReload = True\r\n"
              "SnapshotInfo = False\r\nFpsLimit = 60\r\nScaleFit = False\r\nSmoothScale = False\r\n"
              "OverlayBounds = False\r\nOverlayScreen = False\r\n"
              "OverlayStarts = False\r\nOverlayMoveBounds = False\r\nOverlayFloor = False\r\nOverlayElement = False\r\n"
              "CharP2 = True\r\nLibrarySort = file\r\n");
}

TEST(Config, EarlierLayoutGivesOnlyTheMugenDirectory) {
    ConfigFixture f;
    f.WriteConfig(".31\r\nC:\\Games\\MUGEN\\\r\nInfo = True\r\nStageList = 255\r\n");
    LoadConfig(f.state);
    EXPECT_EQ(f.state.MugeDir, "C:\\Games\\MUGEN\\");
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuInfo"));
    EXPECT_EQ(f.state.Options.StageListShown, 0);
    EXPECT_TRUE(f.ui.folderPrompts.empty());
}

// What is saved after a load loads back to the same settings: a tab inside a name is part of it,
// blanks and tabs around a value are not (found by fuzzing the reader).
TEST(Config, SavedFileLoadsBackToTheSameSettings) {
    struct Case {
        std::string file;
        std::string mugeDir;
        std::string recent;
    };
    for (const Case& c :
         {Case{".3\n\t", "", ""}, Case{".3\r\n \t/old mugen/ \r\n", "/old mugen/", ""},
          Case{"MugeDir =\t/m/a\tb/\t\r\nRecentFile = /m/x\ty.def \r\n", "/m/a\tb/", "/m/x\ty.def"}}) {
        ConfigFixture first;
        first.WriteConfig(c.file);
        LoadConfig(first.state);
        EXPECT_EQ(first.state.MugeDir, c.mugeDir) << c.file;
        EXPECT_EQ(first.state.Menus.RecentFiles.empty() ? "" : first.state.Menus.RecentFiles[0], c.recent);
        const std::string saved = ConfigText(first.state);

        ConfigFixture second;
        second.WriteConfig(saved);
        LoadConfig(second.state);
        EXPECT_EQ(ConfigText(second.state), saved) << c.file;
    }
}

// A path a line cannot hold (a folder's name may hold a line break) is quoted and reads back whole.
TEST(Config, PathsThatALineCannotHoldAreQuotedAndReadBack) {
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Games\\MUGEN\\", "C:\\Games\\MUGEN\\"},  // plain values are kept as written
        {"/m/two\nlines/", "\"/m/two\\nlines/\""},
        {std::string("/m/cr\r\\\"\x01\0/", 11), "\"/m/cr\\r\\\\\\\"\\x01\\x00/\""},
        {" /m/ ", "\" /m/ \""},
    };
    for (const auto& [value, stored] : cases) {
        EXPECT_EQ(EncodeLineValue(value), stored);
        EXPECT_EQ(DecodeLineValue(stored), value);
    }
    EXPECT_EQ(DecodeLineValue("\"/bad\\q\""), "\"/bad\\q\"");  // another form is taken as written

}

TEST(Config, ValueRulesOfTheFlags) {
    struct Case {
        std::string line;
        uint8_t stageList;
        bool music;
    };
    for (const Case& c : {Case{"StageList = 0\r\nBGMusic = yes", 0, false},
                          Case{"StageList = 255\r\nBGMusic = TRUE", 255, true},
                          Case{"StageList = 1\r\nBGMusic = True", 0, true}}) {
        ConfigFixture f;
        f.WriteConfig("Version = .67A\r\n" + c.line + "\r\n");
        LoadConfig(f.state);
        EXPECT_EQ(f.state.Options.StageListShown, c.stageList) << c.line;
        EXPECT_EQ(MenuModel(f.state).Checked("mnuMusic"), c.music) << c.line;
    }
}

TEST(Config, CharWishIsKeptUntilTheCharacterCommandActs) {
    ConfigFixture f;
    f.WriteConfig("Char = True\r\n");
    LoadConfig(f.state);
    EXPECT_EQ(f.state.CharSettings.CharRequested, 255);
    EXPECT_NE(ConfigText(f.state).find("\r\nChar = True\r\n"), std::string::npos);
}

TEST(Config, EmptyCharNameStaysEmpty) {
    ConfigFixture f;
    f.WriteConfig("TestChar = /m/chars/kfm/kfm.def\r\nCharName = \r\n");
    LoadConfig(f.state);
    EXPECT_EQ(f.state.CharSettings.TestCharName, "");
    EXPECT_EQ(MenuModel(f.state).Item("mnuChar").Caption, "&使用测试人物");
}

TEST(Config, EmptyFileIsReportedAndKeepsDefaults) {
    ConfigFixture f;
    f.state.MugeDir.clear();
    f.WriteConfig("");
    LoadConfig(f.state);
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_NE(f.ui.boxes[0].text.find("Main LoadConfig: "), std::string::npos);
    EXPECT_TRUE(f.ui.folderPrompts.empty());
    EXPECT_EQ(f.state.MugeDir, "");
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuMusic"));
    EXPECT_EQ(f.state.Options.ViewScale, 2);
}

TEST(Config, BadNumberIsLoggedAndReadingGoesOn) {
    ConfigFixture f;
    f.state.Camera.HCamStep = 3;
    f.WriteConfig(
        "HCamStep = fast\r\nVCamStep = 2\r\nScale = 7\r\nLanguage = fr\r\nLeft = 99999999\r\nTop = 5\r\n");
    LoadConfig(f.state);
    EXPECT_EQ(f.state.Options.Language, "zh");    // unknown: the captions as given
    EXPECT_FALSE(f.state.Window.PositionKnown);  // one sane coordinate is no place
    EXPECT_FLOAT_EQ(f.state.Camera.HCamStep, 3);
    EXPECT_FLOAT_EQ(f.state.Camera.VCamStep, 2);
    EXPECT_NE(f.state.Log.Text().find("HCamStep = fast"), std::string::npos);
    EXPECT_EQ(f.state.Options.ViewScale, 2);  // out of 1..4: ignored
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuAutoReload"));  // files written before it lack the line
}

TEST(Config, EightRecentFilesStayEight) {
    ConfigFixture f;
    std::string text;
    for (int i = 1; i <= 8; ++i) text += "RecentFile = /s/" + std::to_string(i) + ".def\r\n";
    f.WriteConfig(text);
    LoadConfig(f.state);
    auto& recent = f.state.Menus.RecentFiles;
    ASSERT_EQ(recent.size(), 8u);
    AddRecentFile(recent, "/s/new.def");
    ASSERT_EQ(recent.size(), 8u);
    EXPECT_EQ(recent.front(), "/s/new.def");
    EXPECT_EQ(recent.back(), "/s/7.def");
}

TEST(Config, FileNameIsFoundInAnyCaseAndRewrittenInPlace) {
    ConfigFixture f;
    f.program.Write("qb.CFG", "Info = True\r\n");
    LoadConfig(f.state);
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuInfo"));
    ASSERT_TRUE(SaveConfig(f.state));
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(f.program.Path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);
    EXPECT_NE(f.program.Read("qb.CFG").find("Info = True"), std::string::npos);
}

TEST(Config, FirstRunAsksUntilAFolderIsChosen) {
    ConfigFixture f;
    f.state.MugeDir.clear();
    f.ui.folderAnswers = {"", "", "/games/MUGEN"};
    LoadConfig(f.state);
    EXPECT_EQ(f.state.MugeDir, "/games/MUGEN/");
    EXPECT_EQ(f.ui.folderPrompts.size(), 3u);
    EXPECT_EQ(f.ui.folderPrompts[0], "Point me to your MUGEN Directory please:\r\nex. C:\\GAMES\\MUGEN");
    ASSERT_FALSE(f.ui.boxes.empty());
    EXPECT_EQ(
        f.ui.boxes[0].text,
        "Browse to your MUGEN directory please so I know where to get stuff.  I won't ask you for it again "
        "unless I forget.");
    EXPECT_FALSE(std::filesystem::exists(f.program.Path() / "QB.cfg"));  // written only at shutdown
}

TEST(Config, FirstRunCanBeLeft) {
    ConfigFixture declined;
    declined.state.MugeDir.clear();
    declined.ui.boxAnswers = {MsgAnswer::Ok, MsgAnswer::No};
    LoadConfig(declined.state);
    EXPECT_EQ(declined.ui.folderPrompts.size(), 1u);
    EXPECT_EQ(declined.state.MugeDir, "");

    ConfigFixture noDialogs;  // a front end whose browser always comes back empty
    noDialogs.state.MugeDir.clear();
    LoadConfig(noDialogs.state);
    EXPECT_EQ(noDialogs.ui.folderPrompts.size(), static_cast<size_t>(kMaxEmptyFolderAnswers));
}

TEST(Config, FirstRunOffersTheInstalledDemoDirectoryFirst) {
    const std::string offer = "Use the demo MUGEN directory installed with Quillback?";
    // Yes takes the demo directory and asks nothing more.
    ConfigFixture yes;
    yes.state.MugeDir.clear();
    yes.state.Dirs.DemoMugen = yes.mugen.Dir();
    yes.ui.boxAnswers = {MsgAnswer::Yes};
    LoadConfig(yes.state);
    EXPECT_EQ(yes.state.MugeDir, yes.mugen.Dir());
    ASSERT_EQ(yes.ui.boxes.size(), 1u);
    EXPECT_EQ(yes.ui.boxes[0].text, offer);
    EXPECT_EQ(yes.ui.boxes[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(yes.ui.folderPrompts.empty());

    // No goes on to the usual message and the folder browser.
    ConfigFixture no;
    no.state.MugeDir.clear();
    no.state.Dirs.DemoMugen = no.mugen.Dir();
    no.ui.boxAnswers = {MsgAnswer::No, MsgAnswer::Ok};
    no.ui.folderAnswers = {"/games/MUGEN"};
    LoadConfig(no.state);
    EXPECT_EQ(no.state.MugeDir, "/games/MUGEN/");
    ASSERT_EQ(no.ui.boxes.size(), 2u);
    EXPECT_EQ(no.ui.boxes[0].text, offer);
    EXPECT_EQ(no.ui.boxes[1].text.rfind("Browse to your MUGEN directory", 0), 0u);
    EXPECT_EQ(no.ui.folderPrompts.size(), 1u);
}

TEST(Config, AnEmptyStoredDirectoryIsNoAnswerAndTheMenuAsksAgain) {
    // A prompt left unanswered was saved as "MugeDir = ": the next start asks again.
    ConfigFixture f;
    f.state.MugeDir.clear();
    f.WriteConfig("Version = .67A\r\nMugeDir = \r\nScale = 2\r\n");
    f.ui.folderAnswers = {f.mugen.Path().string()};
    LoadConfig(f.state);
    EXPECT_EQ(f.ui.folderPrompts.size(), 1u);
    EXPECT_EQ(f.state.MugeDir, f.mugen.Dir());

    // Options asks for the folder at any time and fills the stage list from it.
    test::TempDir other;
    other.Write("stages/dojo.def", "[Camera]\r\n");
    f.ui.folderAnswers = {""};  // cancelled: nothing changes
    mnuMugenDir_Click(f.state);
    EXPECT_EQ(f.state.MugeDir, f.mugen.Dir());
    // The browser opens in the MUGEN directory in use (the first-run prompt has none to offer).
    EXPECT_EQ(f.ui.folderStarts, (std::vector<std::string>{f.mugen.Dir()}));
    f.ui.folderAnswers = {other.Path().string()};
    mnuMugenDir_Click(f.state);
    EXPECT_EQ(f.state.MugeDir, other.Dir());
    EXPECT_EQ(f.state.Stages.Names, (std::vector<std::string>{"dojo"}));
    EXPECT_EQ(MenuModel(f.state).Item("mnuMugenDir").Caption, "设置 &MUGEN 目录...");
}

TEST(Config, AReadOnlyFileIsKeptAndALinkStaysALink) {
    namespace fs = std::filesystem;
    // Read-only: refused, told once however often the settings are saved, file and mode unchanged.
    ConfigFixture fixed;
    fixed.WriteConfig("Info = True\r\n");
    fs::permissions(fixed.program.Path() / "QB.cfg", fs::perms::owner_read | fs::perms::group_read);
    fixed.state.Options.Info = false;
    EXPECT_FALSE(SaveConfig(fixed.state));
    EXPECT_FALSE(SaveConfig(fixed.state));
    EXPECT_EQ(fixed.program.Read("QB.cfg"), "Info = True\r\n");
    EXPECT_EQ(fs::status(fixed.program.Path() / "QB.cfg").permissions(), fs::perms::owner_read | fs::perms::group_read);
    ASSERT_EQ(fixed.ui.boxes.size(), 1u);
    EXPECT_NE(fixed.ui.boxes[0].text.find("is read-only"), std::string::npos);

    // A link to a settings file kept elsewhere: the target gets the settings, the link stays.
    ConfigFixture linked;
    linked.program.Write("dotfiles/qb.cfg", "Info = False\r\n");
    fs::create_symlink("dotfiles/qb.cfg", linked.program.Path() / "QB.cfg");
    linked.state.Options.Info = true;
    ASSERT_TRUE(SaveConfig(linked.state));
    EXPECT_TRUE(fs::is_symlink(linked.program.Path() / "QB.cfg"));
    EXPECT_NE(linked.program.Read("dotfiles/qb.cfg").find("Info = True"), std::string::npos);
    EXPECT_TRUE(linked.ui.boxes.empty());
}

TEST(Config, FailedWriteIsToldAndTouchesNothing) {
    // The configuration's name is taken by a folder: the replace fails and the folder is untouched.
    ConfigFixture blocked;
    std::filesystem::create_directory(blocked.program.Path() / "QB.cfg");
    blocked.program.Write("QB.cfg/keep", "x");
    EXPECT_FALSE(SaveConfig(blocked.state));
    ASSERT_EQ(blocked.ui.boxes.size(), 1u);
    EXPECT_EQ(blocked.ui.boxes[0].icon, MsgIcon::Exclamation);
    EXPECT_NE(blocked.ui.boxes[0].text.find("could not be saved"), std::string::npos);
    EXPECT_EQ(blocked.program.Read("QB.cfg/keep"), "x");
}

}  // namespace
}  // namespace qb::test

// The command table behind the menus: the keys that run items, the submenus of the Options menu,
// and the language a first start takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "app/commands.h"
#include "app/config.h"
#include "app/menu_model.h"
#include "app/window_rules.h"
#include "render/camera.h"
#include "tests/app/app_fixture.h"

namespace qb::test {
namespace {

TEST(MenuModel, EachCommandHasItsOwnKeyAndNoneTakesAKeyTheStageViewPolls) {
    const MenuModel menus;
    const std::map<std::string, std::string> expected = {
        {"mnuOpen", "Ctrl+O"},   {"mnuReload", "F5"},        {"mnuClose", "Ctrl+W"},
        {"mnuExit", "Ctrl+Q"},   {"mnuFS", "F11"},           {"mnuStageNext", "PgDown"},
        {"mnuStagePrev", "PgUp"}, {"mnuR", "Ctrl+R"},        {"mnuPause", "Space"},
        {"mnuSnapshot", "F8"},   {"mnuBgEditor", "Ctrl+E"},  {"mnuError", "Ctrl+L"},
        {"mnuResetZoom", "Ctrl+0"}, {"mnuUndo", "Ctrl+Z"},      {"mnuRedo", "Ctrl+Shift+Z"},
        {"mnuKeys", "F1"},
    };
    // Keys the stage view reads itself: a shortcut would take them first.
    const std::set<std::string> viewKeys = {"Left", "Right", "Up", "Down", "Z", "A", ".", "[", "]",
                                            "Esc",  "Del",   "Ins", "Pause", "+", "-", "="};
    std::map<std::string, std::string> used;
    AppFixture f;
    for (const std::string& name : menus.Order()) {
        const std::string& key = menus.Item(name).Shortcut;
        const auto wanted = expected.find(name);
        EXPECT_EQ(key, wanted == expected.end() ? std::string() : wanted->second) << name;
        if (key.empty()) continue;
        EXPECT_TRUE(used.emplace(key, name).second) << key << " runs both " << used[key] << " and " << name;
        EXPECT_EQ(viewKeys.count(key), 0u) << name << " takes the view's key " << key;
        // A key on an item that runs nothing would be shown and do nothing.
        EXPECT_FALSE(menus.IsSubmenu(name)) << name;
    }
    EXPECT_EQ(used.size(), expected.size());
    // Every one of them runs a command.
    for (const auto& [name, key] : expected) {
        if (name == "mnuExit" || name == "mnuOpen" || name == "mnuFS") continue;  // end, ask, or need a stage
        EXPECT_TRUE(MenuCommand(f.state, name)) << name;
    }
}

TEST(MenuModel, StageCommandsServeRunningStages) {
    AppFixture f;
    f.state.Window.Loaded = true;
    f.state.Stage.ZoomOut = 0.5f;
    f.state.Stage.ZoomIn = 2;
    f.state.Stage.StartZoom = 0.8f;
    ApplyZoomRange(f.state.Stage, f.state.Camera, false);
    for (const char* item : {"mnuResetZoom", "mnuClose", "mnuReload", "mnuDelete"})
        EXPECT_FALSE(MenuModel(f.state).Item(item).Enabled) << item << ": no stage runs";
    f.state.bRunning = 1;
    for (const char* item : {"mnuClose", "mnuReload", "mnuDelete"})
        EXPECT_TRUE(MenuModel(f.state).Item(item).Enabled) << item;
    SetZoom(f.state.Stage, f.state.Camera, 2);
    EXPECT_TRUE(MenuModel(f.state).Item("mnuResetZoom").Enabled);
    EXPECT_TRUE(MenuCommand(f.state, "mnuResetZoom"));
    EXPECT_FLOAT_EQ(f.state.Camera.Zoom, 0.8f);
}

TEST(MenuModel, GivenOptionsKeepTheirOrderAndTheAddedOnesFitInSubmenus) {
    const MenuModel menus;
    // The Options menu's items as the window shows them: the given ones in their order first.
    std::vector<std::string> options;
    bool inOptions = false;
    for (const std::string& name : menus.Order()) {
        if (name == "mnuOptions") inOptions = true;
        if (name == "mnuStageList") inOptions = false;
        if (!inOptions || name == "mnuOptions" || !menus.Item(name).Parent.empty()) continue;
        if (menus.Item(name).Visible) options.push_back(name);
    }
    const std::vector<std::string> given = {"mnuFS",    "mnuMusic", "mnuChangeMusic", "mnuChar",  "mnuChange",
                                            "mnuFPS",   "mnuInfo",  "mnuDebugBG",     "mnuError", "mnuNotepad",
                                            "mnuPause", "mnuSnapshot"};
    ASSERT_GE(options.size(), given.size());
    EXPECT_EQ(std::vector<std::string>(options.begin(), options.begin() + given.size()), given);
    // 12 given + the editor + 6 submenus: a menu of about 20 rows fits a 768-pixel screen.
    EXPECT_LE(options.size(), 20u);
    // Each added item sits in one submenu that exists and is in the Options menu.
    const std::map<std::string, std::string> placed = {
        {"mnuScale1", "mnuScaleMenu"},          {"mnuScale4", "mnuScaleMenu"},    {"mnuStep", "mnuSpeedMenu"},
        {"mnuSpeed25", "mnuSpeedMenu"},         {"mnuSpeed400", "mnuSpeedMenu"},  {"mnuSnapshotPng", "mnuSnapshotMenu"},
        {"mnuAutoReload", "mnuFilesMenu"},      {"mnuMugenDir", "mnuFilesMenu"},  {"mnuLanguageZh", "mnuLanguageMenu"},
        {"mnuLanguageEn", "mnuLanguageMenu"},   {"mnuCharP2", "mnuOverlayMenu"},  {"mnuOverlayFloor", "mnuOverlayMenu"},
    };
    for (const auto& [item, submenu] : placed) {
        EXPECT_EQ(menus.Item(item).Parent, submenu) << item;
        EXPECT_TRUE(menus.IsSubmenu(submenu)) << submenu;
        EXPECT_NE(std::find(options.begin(), options.end(), submenu), options.end()) << submenu;
    }
    // Within the Options menu and within the bar, the Latin access keys differ.
    std::set<char> keys;
    for (const std::string& name : options) {
        const char key = menus.Item(name).AccessKey;
        EXPECT_NE(key, 0) << name;
        EXPECT_TRUE(keys.insert(key).second) << name << " repeats " << key;
    }
}

TEST(DesktopLanguage, ChineseDesktopsKeepTheGivenCaptionsEveryOtherGetsEnglish) {
    const struct {
        const char *lcAll, *lcMessages, *lang, *system, *language;
    } cases[] = {
        {"", "", "zh_CN.UTF-8", "en_US", "zh"},
        {"", "", "zh_TW.Big5", "", "zh"},
        {"", "", "zh", "", "zh"},
        {"", "", "de_DE.UTF-8", "zh_CN", "en"},          // the variable wins over the toolkit
        {"", "", "", "zh_CN", "zh"},                     // nothing set: the toolkit's locale
        {"", "", "", "C", "en"},
        {"C", "", "zh_CN.UTF-8", "", "en"},              // LC_ALL first
        {"", "zh_HK.UTF-8", "en_GB.UTF-8", "", "zh"},    // then LC_MESSAGES
        {"", "", "POSIX", "zh_CN", "en"},
        {"", "", "zhx_XX", "", "en"},                    // not a Chinese locale
        {"ZH_cn", "", "", "", "zh"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DesktopLanguage(c.lcAll, c.lcMessages, c.lang, c.system), c.language)
            << c.lcAll << "|" << c.lcMessages << "|" << c.lang << "|" << c.system;

    // A saved choice wins over the desktop's.
    AppFixture f;
    SetLanguage(f.state, DesktopLanguage("", "", "en_US.UTF-8", ""));
    f.program.Write("QB.cfg", "MugeDir = " + f.mugen.Dir() + "\r\nLanguage = zh\r\n");
    LoadConfig(f.state);
    EXPECT_EQ(f.state.Options.Language, "zh");
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuLanguageZh"));
    // No saved choice: the desktop's stays.
    AppFixture g;
    SetLanguage(g.state, DesktopLanguage("", "", "en_US.UTF-8", ""));
    g.program.Write("QB.cfg", "MugeDir = " + g.mugen.Dir() + "\r\n");
    LoadConfig(g.state);
    EXPECT_EQ(g.state.Options.Language, "en");
    EXPECT_TRUE(MenuModel(g.state).Checked("mnuLanguageEn"));
}

}  // namespace
}  // namespace qb::test

namespace qb::test {
namespace {

// Check marks are computed: each follows the state it shows, whoever changed that state.
TEST(MenuTable, EveryCheckMarkFollowsItsState) {
    using Set = void (*)(AppState&, bool);
    const std::map<std::string, Set> cases = {
        {"mnuFS", [](AppState& s, bool on) { s.bMakeFullScreen = on ? 255 : 0; }},
        {"mnuChar", [](AppState& s, bool on) { s.Chars.CharEnabled = on ? 255 : 0; }},  // the walker's too
        {"mnuFPS", [](AppState& s, bool on) { s.Loop.FpsLimit = on ? 30 : 0; }},
        {"mnuMScroll", [](AppState& s, bool on) { s.Camera.MouseScroll = on ? 255 : 0; }},
        {"mnuError", [](AppState& s, bool on) { s.Window.ErrorLogShown = on; }},
        {"mnuPause", [](AppState& s, bool on) { s.Loop.Paused = on ? 255 : 0; }},
        {"mnuScale3", [](AppState& s, bool on) { s.Window.ShownScale = on ? 3 : 2; }},
        {"mnuSpeed25", [](AppState& s, bool on) { s.Loop.Speed = on ? 0 : kNormalSpeed; }},
        {"mnuLanguageEn", [](AppState& s, bool on) { SetLanguage(s, on ? "en" : "zh"); }},
        {"mnuLanguageZh", [](AppState& s, bool on) { SetLanguage(s, on ? "zh" : "en"); }},
        {"mnuStageList", [](AppState& s, bool on) { s.Options.StageListShown = on ? 255 : 0; }},
        {"mnuDebug", [](AppState& s, bool on) { s.Loop.DebugMode = on ? 255 : 0; }},
    };
    std::set<std::string> covered;
    for (const MenuEntry& item : MenuTable()) {
        if (item.kind != MenuKind::Check && item.kind != MenuKind::Radio) continue;
        const auto given = cases.find(item.name);
        if (given == cases.end() && MenuSwitch(item) == nullptr) continue;
        covered.insert(item.name);
        for (const bool on : {true, false, true}) {
            AppFixture f;
            if (given != cases.end())
                given->second(f.state, on);
            else
                f.state.Options.*MenuSwitch(item) = on;
            EXPECT_EQ(MenuModel(f.state).Checked(item.name), on) << item.name;
        }
    }
    // Every item with a mark has a case here: a new one cannot show a mark nobody looked at.
    for (const MenuEntry& item : MenuTable()) {
        const std::string_view name = item.name;
        const bool mark = item.kind == MenuKind::Check || item.kind == MenuKind::Radio;
        // One scale and one speed stand for their groups, which share one rule.
        if (mark && name.rfind("mnuScale", 0) != 0 && name.rfind("mnuSpeed", 0) != 0) {
            EXPECT_EQ(covered.count(item.name), 1u) << item.name;
        }
    }
}

TEST(MenuTable, StoredSettingsRoundTripThroughTheConfiguration) {
    AppFixture a;
    a.state.VersionText = ".67";
    a.state.CharSettings.TestCharPath = "/m/chars/kfm/kfm.def";
    // Every stored setting away from its default, the switches through their items' commands.
    for (const MenuEntry& item : MenuTable()) {
        if (MenuSwitch(item) != nullptr) {
            EXPECT_TRUE(MenuCommand(a.state, item.name));
        }
    }
    a.state.Chars.CharEnabled = 255;
    a.state.Options.StageListShown = 255;
    a.state.Options.ViewScale = 4;
    SetLanguage(a.state, "en");
    ASSERT_TRUE(SaveConfig(a.state));
    const std::string text = ConfigText(a.state);

    AppFixture b;
    b.state.VersionText = ".67";
    std::filesystem::copy_file(a.program.Path() / "QB.cfg", b.program.Path() / "QB.cfg");
    LoadConfig(b.state);
    b.state.Chars.CharEnabled = b.state.CharSettings.CharRequested;  // start-up's use command
    EXPECT_EQ(ConfigText(b.state), text);
    for (const MenuEntry& item : MenuTable()) {
        const SettingRow* setting = FindSetting(item.setting);
        if (setting == nullptr) continue;
        const std::string key = setting->key;
        // One line per stored item, and the items' marks as they were.
        EXPECT_EQ(text.find("\r\n" + key + " = "), text.rfind("\r\n" + key + " = ")) << key;
        EXPECT_NE(text.find("\r\n" + key + " = "), std::string::npos) << key;
        if (item.kind != MenuKind::Submenu) {
            EXPECT_EQ(MenuModel(b.state).Checked(item.name), MenuModel(a.state).Checked(item.name)) << item.name;
        }
    }
    EXPECT_EQ(b.state.Options.ViewScale, 4);
    EXPECT_TRUE(MenuModel(b.state).Checked("mnuLanguageEn"));
}

TEST(MenuTable, ItemsRunTheirCommandAndTheMarksFollow) {
    const struct {
        const char* item;
        bool (*done)(const AppState&);
    } cases[] = {
        {"mnuInfo", [](const AppState& s) { return s.Options.Info && MenuModel(s).Checked("mnuInfo"); }},
        {"mnuMusic", [](const AppState& s) { return !s.Options.Music && !MenuModel(s).Checked("mnuMusic"); }},
        {"mnuScale1",
         [](const AppState& s) { return s.Options.ViewScale == 1 && MenuModel(s).Checked("mnuScale1") &&
                                        !MenuModel(s).Checked("mnuScale2"); }},
        {"mnuSpeed400", [](const AppState& s) { return s.Loop.Speed == 4 && MenuModel(s).Checked("mnuSpeed400"); }},
        {"mnuPause", [](const AppState& s) { return s.Loop.Paused == 255 && MenuModel(s).Item("mnuStep").Enabled; }},
        {"mnuLanguageEn", [](const AppState& s) { return s.Options.Language == "en"; }},
        {"mnuAutoReload", [](const AppState& s) { return !s.Options.AutoReload; }},
        {"mnuExit", [](const AppState& s) { return s.Loop.ExitLoop; }},
    };
    for (const auto& c : cases) {
        AppFixture f;
        EXPECT_TRUE(MenuCommand(f.state, c.item)) << c.item;
        EXPECT_TRUE(c.done(f.state)) << c.item;
    }
    // The close goes through tmrExit, started by the command itself.
    AppFixture f;
    MenuCommand(f.state, "mnuExit");
    EXPECT_TRUE(f.timers.Active(TimerId::Exit));
    EXPECT_EQ(f.timers.intervals[FakeTimers::Index(TimerId::Exit)], kOneShotTimerMs);
    for (const char* nothing : {"mnuReset", "mnuInstall", "mnuScaleMenu", "mnubla", "mnuOptions", "mnuNone"})
        EXPECT_FALSE(MenuCommand(f.state, nothing)) << nothing;
}

}  // namespace
}  // namespace qb::test

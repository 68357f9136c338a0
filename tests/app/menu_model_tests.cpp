// The command table behind the menus: the keys that run items, the submenus of the Options menu,
// and the language a first start takes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "app/commands.h"
#include "app/config.h"
#include "app/menu_model.h"
#include "app/window_rules.h"
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
    };
    // Keys the stage view reads itself: a shortcut would take them first.
    const std::set<std::string> viewKeys = {"Left", "Right", "Up", "Down", "Z", "A", ".", "[", "]",
                                            "Esc",  "Del",   "Ins", "Pause", "+", "-"};
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
    // 12 given + the editor + 5 submenus: a menu of about 20 rows fits a 768-pixel screen.
    EXPECT_LE(options.size(), 20u);
    // Each added item sits in one submenu that exists and is in the Options menu.
    const std::map<std::string, std::string> placed = {
        {"mnuScale1", "mnuScaleMenu"},          {"mnuScale4", "mnuScaleMenu"},    {"mnuStep", "mnuSpeedMenu"},
        {"mnuSpeed25", "mnuSpeedMenu"},         {"mnuSpeed400", "mnuSpeedMenu"},  {"mnuSnapshotPng", "mnuSnapshotMenu"},
        {"mnuAutoReload", "mnuFilesMenu"},      {"mnuMugenDir", "mnuFilesMenu"},  {"mnuLanguageZh", "mnuLanguageMenu"},
        {"mnuLanguageEn", "mnuLanguageMenu"},
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
    EXPECT_EQ(f.state.Window.Language, "zh");
    EXPECT_TRUE(f.state.Menus.Checked("mnuLanguageZh"));
    // No saved choice: the desktop's stays.
    AppFixture g;
    SetLanguage(g.state, DesktopLanguage("", "", "en_US.UTF-8", ""));
    g.program.Write("QB.cfg", "MugeDir = " + g.mugen.Dir() + "\r\n");
    LoadConfig(g.state);
    EXPECT_EQ(g.state.Window.Language, "en");
    EXPECT_TRUE(g.state.Menus.Checked("mnuLanguageEn"));
}

}  // namespace
}  // namespace qb::test

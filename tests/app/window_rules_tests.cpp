// The main window's rules: the caption of a stage, the scale a resized window shows, where the
// window opens.
#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/window_rules.h"
#include "tests/app/app_fixture.h"

namespace qb::test {
namespace {

TEST(WindowRules, CaptionDropsTheQuotesTheNameIsStoredWith) {
    const struct {
        const char* name;
        bool paused;
        const char* caption;
    } cases[] = {
        {"\"Forest Gate\"", false, "Forest Gate"},
        {"\"Forest Gate\"", true, "Forest Gate <<PAUSED>>"},
        {"Plain \"quoted\" word", false, "Plain \"quoted\" word"},  // only the outer ones
        {"\"Unclosed", false, "Unclosed"},
        {"\"\"", false, ""},
        {"", true, " <<PAUSED>>"},
    };
    for (const auto& c : cases) EXPECT_EQ(StageCaption(c.name, c.paused), c.caption) << c.name;
}

TEST(WindowRules, ResizedWindowShowsTheLargestWholeScaleThatFits) {
    const struct {
        int width, height, list, scale;
    } cases[] = {
        {320, 240, 0, 1},   {639, 479, 0, 1},  {640, 480, 0, 2},  {800, 480, 160, 2},
        {799, 480, 160, 1}, {1920, 480, 0, 2}, {700, 2000, 0, 2}, {1280, 960, 0, 4},
        {2000, 1500, 0, 6}, {100, 50, 160, 1},  // smaller than the minimum size: still 1
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitViewScale(c.width, c.height, c.list), c.scale) << c.width << "x" << c.height;

    // The fitting scale becomes the chosen one while the menu offers it.
    AppFixture f;
    EXPECT_EQ(ClientResized(f.state, 1000, 800), 3);
    EXPECT_EQ(f.state.Options.ViewScale, 3);
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuScale3"));
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuScale2"));
    EXPECT_EQ(ClientResized(f.state, 1920, 1200), 5);
    EXPECT_EQ(f.state.Options.ViewScale, 3);  // saved as the last scale the menu offers
    EXPECT_FALSE(MenuModel(f.state).Checked("mnuScale3"));
}

TEST(WindowRules, ScalesAreOfferedOnlyWhenTheirWindowFitsTheScreen) {
    const struct {
        int width, height, scale;
    } cases[] = {
        {1920, 1080, 4}, {1280, 1024, 3}, {1366, 768, 2}, {1024, 768, 2}, {800, 600, 2},
        {1296, 1040, 4},  // exactly the 4x window with its frame and menu
        {1295, 1040, 3}, {1296, 1039, 3}, {640, 480, 1}, {0, 0, 4},  // unknown screen
    };
    for (const auto& c : cases)
        EXPECT_EQ(LargestScreenScale(c.width, c.height), c.scale) << c.width << "x" << c.height;

    // The menu follows the screen the window is on, and a scale too big for it is not applied.
    AppFixture f;
    f.ui.screenSize = {1280, 1024};
    SetViewScale(f.state, 4);
    EXPECT_EQ(f.state.Options.ViewScale, 3);
    EXPECT_FALSE(MenuModel(f.state).Item("mnuScale4").Enabled);
    EXPECT_TRUE(MenuModel(f.state).Item("mnuScale3").Enabled);
    f.ui.screenSize = {1920, 1080};
    SetViewScale(f.state, 4);
    EXPECT_EQ(f.state.Options.ViewScale, 4);
    EXPECT_TRUE(MenuModel(f.state).Item("mnuScale4").Enabled);
}

TEST(WindowRules, WindowOpensWhereItWasWhenAScreenShowsThatPlace) {
    AppFixture f;
    f.ui.screenSize = {1280, 1024};
    f.ui.windowPos = {300, 200};
    RememberPlace(f.state);  // at shutdown
    EXPECT_TRUE(f.state.Window.PositionKnown);
    f.ui.windowPos = {0, 0};
    SizeAndCenter(f.state);
    EXPECT_EQ(f.ui.windowPos, std::make_pair(300, 200));

    f.state.Window.SavedLeft = 3000;  // a screen that is gone: centred instead
    SizeAndCenter(f.state);
    EXPECT_EQ(f.ui.windowPos, std::make_pair(1280 / 2 - 320, 1024 / 2 - 240));
}

}  // namespace
}  // namespace qb::test

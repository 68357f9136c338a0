// The main window's rules: the caption of a stage, the scale a resized window shows, where the
// window opens.
#include <gtest/gtest.h>

#include <cstdlib>

#include "app/commands.h"
#include "app/config.h"
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

    // The menu follows the screen the window is on, and a scale too big for it is not shown; the
    // setting stays, for a larger screen.
    AppFixture f;
    f.ui.screenSize = {1280, 1024};
    SetViewScale(f.state, 4);
    EXPECT_EQ(f.state.Options.ViewScale, 4);
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuScale3"));
    EXPECT_FALSE(MenuModel(f.state).Item("mnuScale4").Enabled);
    EXPECT_TRUE(MenuModel(f.state).Item("mnuScale3").Enabled);
    f.ui.screenSize = {1920, 1080};
    SetViewScale(f.state, 4);
    EXPECT_TRUE(MenuModel(f.state).Checked("mnuScale4"));
    EXPECT_TRUE(MenuModel(f.state).Item("mnuScale4").Enabled);
}

TEST(WindowRules, LayoutFitsTheScreenAtTheChosenScaleOrBelow) {
    // Screens' available sizes, the "Scale" setting and the picture a stage draws, the list shown
    // (160 wide) -> the window's layout. The window (client plus 16 x 80 of frame, title and menu bar)
    // never runs off the screen; a picture too large even at 1x is shown smaller, keeping its aspect.
    const struct {
        int screenW, screenH, scale, pictureW, pictureH;
        int shownScale, clientW, clientH;
        LayoutRect picture;
    } pinned[] = {
        {1366, 768, 1, 320, 240, 1, 480, 240, {0, 0, 320, 240}},
        {1366, 768, 4, 320, 240, 2, 800, 480, {0, 0, 640, 480}},  // 3x would be 720 + 80 high
        {1366, 768, 2, 640, 480, 2, 800, 480, {0, 0, 640, 480}},
        {1366, 768, 1, 1280, 720, 1, 1350, 669, {0, 0, 1190, 669}},  // 1440 wide at 1x: made smaller
        {1366, 768, 4, 1280, 720, 2, 1350, 669, {0, 0, 1190, 669}},
        {1920, 1080, 4, 320, 240, 4, 1440, 960, {0, 0, 1280, 960}},
        {1920, 1080, 1, 1280, 720, 1, 1440, 720, {0, 0, 1280, 720}},
        {1920, 1080, 4, 1280, 720, 4, 1440, 960, {0, 120, 1280, 720}},  // 1x, centred in the 4x view
        {1920, 1080, 3, 640, 480, 3, 1120, 720, {160, 120, 640, 480}},
        {1920, 1080, 4, 640, 480, 4, 1440, 960, {0, 0, 1280, 960}},  // 2x: a whole scale that fits
        {800, 600, 2, 320, 240, 1, 480, 240, {0, 0, 320, 240}},  // 2x with the list would be 816 wide
        {800, 600, 1, 640, 480, 1, 784, 468, {0, 0, 624, 468}},
        {800, 600, 3, 1280, 720, 1, 784, 351, {0, 0, 624, 351}},
        {0, 0, 4, 320, 240, 4, 1440, 960, {0, 0, 1280, 960}},  // an unknown screen sets no limit
        {0, 0, 1, 1280, 720, 1, 1440, 720, {0, 0, 1280, 720}},
    };
    for (const auto& c : pinned) {
        const WindowLayout l = LayOutWindow({.screenWidth = c.screenW, .screenHeight = c.screenH,
                                             .chosenScale = c.scale, .listWidth = 160,
                                             .pictureWidth = c.pictureW, .pictureHeight = c.pictureH});
        SCOPED_TRACE(testing::Message() << c.screenW << "x" << c.screenH << " " << c.scale << "x " << c.pictureW
                                        << "x" << c.pictureH);
        EXPECT_EQ(l.scale, c.shownScale);
        EXPECT_EQ(std::make_pair(l.clientWidth, l.clientHeight), std::make_pair(c.clientW, c.clientH));
        EXPECT_EQ(l.picture, c.picture);
    }

    // Every screen, scale and stage size: on screen, the list beside the view, the picture inside
    // the view with its aspect, the scale never above the chosen one.
    for (const auto& [screenW, screenH] : {std::pair{1366, 768}, std::pair{1920, 1080}, std::pair{800, 600}})
        for (int scale = 1; scale <= 4; ++scale)
            for (const auto& [pictureW, pictureH] : {std::pair{320, 240}, std::pair{640, 480}, std::pair{1280, 720}}) {
                const WindowLayout l = LayOutWindow({.screenWidth = screenW, .screenHeight = screenH,
                                                     .chosenScale = scale, .listWidth = 160,
                                                     .pictureWidth = pictureW, .pictureHeight = pictureH});
                SCOPED_TRACE(testing::Message() << screenW << "x" << screenH << " " << scale << "x " << pictureW);
                EXPECT_LE(l.clientWidth + kWindowChromeWidth, screenW);
                EXPECT_LE(l.clientHeight + kWindowChromeHeight, screenH);
                EXPECT_EQ(l.list, (LayoutRect{l.view.width, 1, 160, l.view.height}));
                EXPECT_EQ(l.clientWidth, l.view.width + 160);
                EXPECT_TRUE(l.picture.left >= 0 && l.picture.top >= 0 &&
                            l.picture.left + l.picture.width <= l.view.width &&
                            l.picture.top + l.picture.height <= l.view.height);
                EXPECT_LT(std::abs(pictureW * l.picture.height - pictureH * l.picture.width), std::max(pictureW, pictureH));
                EXPECT_LE(l.scale, scale);
            }
}

TEST(WindowRules, TheProgramsOwnSizeNeverBecomesTheScaleSetting) {
    AppFixture f;
    f.ui.screenSize = {1366, 768};
    f.ui.stageListWidth = 160;
    f.state.Options.StageListShown = 255;
    SetViewScale(f.state, 1);
    // A 1280 x 720 stage runs: the window grows to show it, and the user then makes it larger still.
    f.state.bRunning = 1;
    f.state.Stage.LocalCoordW = 1280;
    f.state.Stage.LocalCoordH = 720;
    f.state.InstallPicture();  // as loading does
    EXPECT_EQ(WindowLayoutFor(f.state).clientWidth, 1350);
    ClientResized(f.state, 1360, 700);
    EXPECT_EQ(WindowLayoutFor(f.state).picture, (LayoutRect{0, 12, 1200, 675}));  // fits the user's view
    EXPECT_NE(ConfigText(f.state).find("Scale = 1\r\n"), std::string::npos);
    // Choosing a scale gives the window the layout's size again.
    SetViewScale(f.state, 2);
    EXPECT_EQ(WindowLayoutFor(f.state).clientHeight, 669);
}

TEST(WindowRules, ToolWindowsOpenBesideTheMainWindowAndWhollyOnTheScreen) {
    const LayoutRect screen{0, 0, 1366, 768};
    const struct {
        LayoutRect owner;
        int width, height;
        ToolSide side;
        std::pair<int, int> place;
    } cases[] = {
        {{100, 100, 656, 560}, 300, 500, ToolSide::Right, {756, 100}},
        {{0, 0, 1366, 749}, 300, 500, ToolSide::Right, {1066, 0}},   // no room on either side: on screen
        {{700, 50, 656, 560}, 300, 500, ToolSide::Right, {400, 50}},  // the left side instead
        {{300, 300, 656, 400}, 360, 200, ToolSide::Above, {300, 100}},
        {{300, 0, 656, 400}, 360, 200, ToolSide::Above, {300, 400}},  // music chooser at y = -200: below
        {{0, 0, 1366, 749}, 360, 200, ToolSide::Above, {0, 0}},
        {{1200, 600, 300, 300}, 498, 268, ToolSide::Below, {868, 332}},  // owner half off screen: above
        {{100, 100, 656, 560}, 2000, 900, ToolSide::Right, {0, 0}},      // larger than the screen
    };
    for (const auto& c : cases)
        EXPECT_EQ(PlaceToolWindow(screen, c.owner, c.width, c.height, c.side), c.place) << c.owner.left;
    // A second screen to the right: placed on it, not on the first one.
    EXPECT_EQ(PlaceToolWindow({1366, 0, 1920, 1040}, {3000, 100, 200, 200}, 300, 500, ToolSide::Right),
              std::make_pair(2700, 100));
}

TEST(WindowRules, FitToWindowShowsTheLargestPictureOfItsAspectCentred) {
    const struct {
        int pictureWidth, pictureHeight, areaWidth, areaHeight;
        LayoutRect shown;
    } cases[] = {
        {427, 240, 1280, 720, {0, 0, 1280, 719}},    // a 427 x 240 stage in a 1280 x 720 area: not 2x with borders
        {320, 240, 1280, 720, {160, 0, 960, 720}},   // height-bound: bars left and right
        {320, 240, 800, 1000, {0, 200, 800, 600}},   // width-bound: bars above and below
        {1280, 720, 640, 480, {0, 60, 640, 360}},    // smaller than the picture
        {320, 240, 640, 480, {0, 0, 640, 480}},      // a whole scale stays whole
        {320, 240, 1, 1, {0, 0, 1, 1}},              // never below one pixel
        {320, 240, 0, 480, {0, 0, 0, 0}},            // no area: nothing
        {0, -5, 300, 200, {50, 0, 200, 200}},        // no picture size: taken as 1 x 1
    };
    for (const auto& c : cases)
        EXPECT_EQ(FitPictureRect(c.pictureWidth, c.pictureHeight, c.areaWidth, c.areaHeight), c.shown)
            << c.pictureWidth << "x" << c.pictureHeight << " in " << c.areaWidth << "x" << c.areaHeight;

    // The window's layout: fit keeps the view's size and fills it; without fit a whole scale shows.
    LayoutInputs in;
    in.screenWidth = 1366;
    in.screenHeight = 768;
    in.pictureWidth = 427;
    in.pictureHeight = 240;
    in.userClientWidth = 1280;
    in.userClientHeight = 720;
    EXPECT_EQ(LayOutWindow(in).picture, (LayoutRect{213, 120, 854, 480}));
    in.fit = true;
    const WindowLayout fitted = LayOutWindow(in);
    EXPECT_EQ(fitted.picture, (LayoutRect{0, 0, 1280, 719}));
    EXPECT_EQ(fitted.view, (LayoutRect{0, 0, 1280, 720}));
}

TEST(WindowRules, TheEditorOnASmallScreenLeavesTheStageListUncovered) {
    const LayoutRect screen{0, 0, 1366, 768};
    // The main window at 2x with the 160-pixel list, centred: no room on either side for the editor.
    const LayoutRect owner{275, 0, 816, 600};
    const auto [left, top] = PlaceToolWindow(screen, owner, 420, 560, ToolSide::Right, 160);
    EXPECT_LE(left + 420, owner.left + owner.width - 160);  // the list's left edge
    EXPECT_GE(left, 0);
    EXPECT_EQ(top, 0);
    // Where the right side has room, the editor goes there as before.
    EXPECT_EQ(PlaceToolWindow(screen, {0, 0, 816, 600}, 420, 560, ToolSide::Right, 160), std::make_pair(816, 0));
    // A screen too narrow for both keeps the editor on the screen.
    EXPECT_EQ(PlaceToolWindow({0, 0, 800, 600}, {0, 0, 800, 560}, 700, 500, ToolSide::Right, 160).first, 0);
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

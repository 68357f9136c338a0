// The camera's zoom from the keys, the wheel and the menu, on stages with and without a zoom range.
#include <gtest/gtest.h>

#include "app/menu_model.h"
#include "app/run_loop.h"
#include "app/view_commands.h"
#include "tests/app/app_fixture.h"

namespace qb {
namespace {

constexpr const char* kSky = "[BG 0]\nspriteno = 0,0\nstart = 0,0\n";

TEST(ViewCommands, ZoomOnAStageWithoutARangeSaysSoInTheCaptionAndChangesNothing) {
    const struct {
        const char* what;
        void (*use)(test::AppFixture&);
    } ways[] = {
        {"+ key", [](test::AppFixture& f) { f.keys.Tap(Key::ZoomIn); }},
        {"- key", [](test::AppFixture& f) { f.keys.Tap(Key::ZoomOut); }},
        {"keypad +", [](test::AppFixture& f) { f.keys.Tap(Key::NumPlus); }},
        {"wheel", [](test::AppFixture& f) { f.keys.wheel = -2; }},
        {"zoom in item", [](test::AppFixture& f) { MenuCommand(f.state, "mnuZoomIn"); }},
        {"reset item", [](test::AppFixture& f) { MenuCommand(f.state, "mnuResetZoom"); }},
    };
    for (const auto& way : ways) {
        test::AppFixture f;
        ASSERT_TRUE(f.LoadText(std::string("[Camera]\nboundleft = -100\nboundright = 100\n") + kSky));
        f.state.Window.Loaded = true;
        DrawStageFrame(f.state, f.keys, f.clock);
        f.ui.captions.clear();
        way.use(f);
        DrawStageFrame(f.state, f.keys, f.clock);
        ASSERT_FALSE(f.ui.captions.empty()) << way.what;
        EXPECT_EQ(f.ui.captions.back(), kNoZoomRangeNotice) << way.what;
        EXPECT_EQ(f.state.Camera.Zoom, 1) << way.what;
        // The notice gives way to the stage's caption once its time is up.
        f.clock.AdvanceMs(4000);
        RunPass(f.state);
        EXPECT_NE(f.ui.captions.back(), kNoZoomRangeNotice) << way.what;
    }
}

TEST(ViewCommands, ZoomOnAStageWithARangeZoomsWithoutANotice) {
    test::AppFixture f;
    ASSERT_TRUE(f.LoadText(std::string("[Camera]\nzoomout = .5\nzoomin = 2\nboundleft = -100\nboundright = 100\n") +
                           kSky));
    f.state.Window.Loaded = true;
    f.ui.captions.clear();
    MenuCommand(f.state, "mnuZoomIn");
    EXPECT_GT(f.state.Camera.Zoom, 1);
    f.keys.Tap(Key::ZoomOut);
    f.clock.AdvanceMs(200);
    DrawStageFrame(f.state, f.keys, f.clock);
    MenuCommand(f.state, "mnuZoomOut");
    EXPECT_LT(f.state.Camera.Zoom, 1);
    MenuCommand(f.state, "mnuResetZoom");
    EXPECT_EQ(f.state.Camera.Zoom, 1);
    for (const std::string& caption : f.ui.captions) EXPECT_NE(caption, kNoZoomRangeNotice);
}

}  // namespace
}  // namespace qb

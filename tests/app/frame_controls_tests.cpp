#include "app/frame_controls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/char_commands.h"
#include "app/commands.h"
#include "app/run_loop.h"
#include "tests/app/app_fixture.h"

namespace qb::test {
namespace {

// The demo stage (background controllers, animations, velocities, sine motion) with the demo
// character walking right, run pass by pass as the window's loop does.
struct DemoRun : AppFixture {
    DemoRun() {
        state.MugeDir = std::string(QB_DEMO_DIR) + "/";
        state.StageFile = state.MugeDir + "stages/quillback.def";
        state.CharSettings.TestCharPath = state.MugeDir + "chars/wren/wren.def";
        mnuChar_Click(state);
        keys.Hold(Key::Right);
    }
    void Pass() {
        clock.AdvanceMs(1000.0 / 60);
        RunPass(state);
    }
    std::vector<uint16_t> Picture() const {
        std::vector<uint16_t> pixels(kViewWidth * kViewHeight);
        for (int y = 0; y < kViewHeight; ++y)
            std::memcpy(&pixels[y * kViewWidth], BitmapRow(state.BackBuffer.get(), y), kViewWidth * 2);
        return pixels;
    }
};

TEST(FrameStep, AStepWhilePausedDrawsTheFrameAnUninterruptedRunDraws) {
    constexpr int kN = 150;  // the star, the boat, the lanterns and Wren are all under way
    DemoRun straight;
    ASSERT_TRUE(BeginStageRun(straight.state));
    ASSERT_EQ(straight.state.Chars.CharLoaded, 255);
    std::vector<std::vector<uint16_t>> expected;
    for (int i = 1; i <= kN + 2; ++i) {
        straight.Pass();
        if (i >= kN) expected.push_back(straight.Picture());
    }
    ASSERT_NE(expected[0], expected[1]);  // the stage moves from frame to frame
    ASSERT_NE(expected[1], expected[2]);

    DemoRun stepped;
    ASSERT_TRUE(BeginStageRun(stepped.state));
    for (int i = 1; i < kN; ++i) stepped.Pass();
    stepped.keys.Tap(Key::Pause);
    stepped.Pass();  // frame N is still drawn by the pass that reads the key
    ASSERT_EQ(stepped.state.Loop.Paused, 255);
    EXPECT_EQ(stepped.Picture(), expected[0]);
    for (int i = 0; i < 5; ++i) stepped.Pass();  // time passes and Right stays held: nothing moves
    EXPECT_EQ(stepped.Picture(), expected[0]);
    EXPECT_EQ(stepped.state.Frame.FrameNumber, kN);

    stepped.keys.Tap(Key::Step);
    stepped.Pass();
    EXPECT_EQ(stepped.Picture(), expected[1]);
    EXPECT_EQ(stepped.state.Frame.FrameNumber, kN + 1);
    stepped.Pass();
    EXPECT_EQ(stepped.Picture(), expected[1]);  // one press, one frame

    MenuCommand(stepped.state, "mnuStep");
    stepped.Pass();
    EXPECT_EQ(stepped.Picture(), expected[2]);
    EXPECT_EQ(stepped.state.Loop.Paused, 255);
    EXPECT_EQ(stepped.state.Frame.FrameText, "Frame 152  x1");
}

TEST(RunSpeed, PacesTheLimiterAtTheSpeedAndTheKeysStopAtTheEnds) {
    struct Case {
        int speed;
        const char* item;
        int64_t periodCounts;  // of the 1 MHz fake counter at FpsLimit 60
        int16_t shownCap;
    };
    for (const Case& c : {Case{0, "mnuSpeed25", 66667, 15}, Case{1, "mnuSpeed50", 33333, 30},
                          Case{2, "mnuSpeed100", 16667, 60}, Case{3, "mnuSpeed200", 8333, 120},
                          Case{4, "mnuSpeed400", 4167, 240}}) {
        AppFixture f;
        ASSERT_TRUE(MenuCommand(f.state, c.item));
        EXPECT_EQ(f.state.Loop.Speed, c.speed);
        for (int s = 0; s < kSpeedCount; ++s)
            EXPECT_EQ(f.state.Menus.Checked(SpeedItemName(s)), s == c.speed);
        EXPECT_EQ(CurrentFrameOptions(f.state).FpsLimit, c.shownCap);
        const int64_t start = f.state.Loop.LastPresent = f.clock.nowCounts;
        WaitForFrame(f.state);
        EXPECT_GE(f.state.Loop.LastPresent - start, c.periodCounts) << c.item;
        EXPECT_LE(f.state.Loop.LastPresent - start, c.periodCounts + 50) << c.item;

        f.state.Loop.FpsLimit = 0;  // the limiter off stays unlimited at every speed
        f.clock.sleeps.clear();
        WaitForFrame(f.state);
        EXPECT_TRUE(f.clock.sleeps.empty()) << c.item;
    }
    EXPECT_EQ(PacedFpsLimit(1, 0), 1);  // a quarter of a tiny limit still paces

    AppFixture f;
    f.state.StageFile = f.AddStage("forest", "Forest Gate");
    ASSERT_TRUE(BeginStageRun(f.state));
    for (int i = 0; i < 6; ++i) {
        f.keys.Tap(Key::SpeedUp);
        RunPass(f.state);
    }
    EXPECT_EQ(f.state.Loop.Speed, 4);
    EXPECT_TRUE(f.state.Menus.Checked("mnuSpeed400"));
    for (int i = 0; i < 6; ++i) {
        f.keys.Tap(Key::SpeedDown);
        RunPass(f.state);
    }
    EXPECT_EQ(f.state.Loop.Speed, 0);
}

}  // namespace
}  // namespace qb::test

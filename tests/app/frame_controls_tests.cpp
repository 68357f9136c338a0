#include "app/frame_controls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <tuple>
#include <vector>

#include "app/char_commands.h"
#include "app/commands.h"
#include "app/run_loop.h"
#include "tests/app/app_fixture.h"

namespace qb::test {
namespace {

// The demo stage (controllers, animations, velocities, sine motion) with Wren walking right.
struct DemoRun : AppFixture {
    DemoRun() {
        state.MugeDir = std::string(QB_DEMO_DIR) + "/";
        state.StageFile = state.MugeDir + "stages/quillback.def";
        state.CharSettings.TestCharPath = state.MugeDir + "chars/wren/wren.def";
        mnuChar_Click(state);
        keys.Hold(Key::Right);
        EXPECT_TRUE(BeginStageRun(state) && state.Chars.CharLoaded == 255);
    }
    std::vector<uint16_t> Pass(int passes = 1) {
        for (int i = 0; i < passes; ++i) {
            clock.AdvanceMs(1000.0 / 60);
            RunPass(state);
        }
        std::vector<uint16_t> pixels(kViewWidth * kViewHeight);
        for (int y = 0; y < kViewHeight; ++y)
            std::memcpy(&pixels[y * kViewWidth], BitmapRow(state.BackBuffer.get(), y), kViewWidth * 2);
        return pixels;
    }
};

TEST(FrameStep, AStepWhilePausedDrawsTheFrameAnUninterruptedRunDraws) {
    constexpr int kN = 150;  // the star, the boat, the lanterns and Wren are all under way
    DemoRun straight;
    const auto frameN = straight.Pass(kN), frameN1 = straight.Pass(), frameN2 = straight.Pass();
    ASSERT_NE(frameN, frameN1);  // the stage moves from frame to frame
    ASSERT_NE(frameN1, frameN2);

    DemoRun stepped;
    stepped.Pass(kN - 1);
    stepped.keys.Tap(Key::Pause);
    EXPECT_EQ(stepped.Pass(), frameN);  // the pass that reads the key still draws frame N
    EXPECT_EQ(stepped.Pass(5), frameN) << "paused: time passes, Right is held, nothing moves";
    EXPECT_EQ(stepped.state.Frame.FrameNumber, kN);
    stepped.keys.Tap(Key::Step);
    EXPECT_EQ(stepped.Pass(), frameN1);
    EXPECT_EQ(stepped.Pass(), frameN1) << "one press, one frame";
    MenuCommand(stepped.state, "mnuStep");
    EXPECT_EQ(stepped.Pass(), frameN2);
    EXPECT_EQ(stepped.state.Loop.Paused, 255);
    EXPECT_EQ(stepped.state.Frame.FrameText, "Frame 152  x1");
    stepped.keys.Tap(Key::Step);
    stepped.keys.Tap(Key::Step);
    stepped.Pass(3);
    EXPECT_EQ(stepped.state.Frame.FrameNumber, 154) << "two quick presses, two frames";
}

TEST(RunSpeed, PacesTheLimiterAtTheSpeedAndTheKeysStopAtTheEnds) {
    const int64_t periods[kSpeedCount] = {66667, 33333, 16667, 8333, 4167};  // 1 MHz counts at FpsLimit 60
    AppFixture f;
    for (int s = 0; s < kSpeedCount; ++s) {
        f.state.Loop.FpsLimit = 60;
        ASSERT_TRUE(MenuCommand(f.state, "mnuSpeed" + std::to_string(25 << s)));  // mnuSpeed25 .. mnuSpeed400
        for (int i = 0; i < kSpeedCount; ++i) EXPECT_EQ(MenuModel(f.state).Checked(SpeedItemName(i)), i == s);
        EXPECT_EQ(CurrentFrameOptions(f.state).FpsLimit, 15 << s);  // the shown rate's cap
        const int64_t start = f.state.Loop.LastPresent = f.clock.nowCounts;
        WaitForFrame(f.state);
        EXPECT_GE(f.state.Loop.LastPresent - start, periods[s]);
        EXPECT_LE(f.state.Loop.LastPresent - start, periods[s] + 50);
        f.state.Loop.FpsLimit = 0;  // the limiter off stays unlimited at every speed
        f.clock.sleeps.clear();
        WaitForFrame(f.state);
        EXPECT_TRUE(f.clock.sleeps.empty());
    }
    EXPECT_EQ(PacedFpsLimit(1, 0), 1);  // a quarter of a tiny limit still paces

    DemoRun run;
    for (auto [key, end] : {std::pair{Key::SpeedDown, 0}, std::pair{Key::SpeedUp, 4}}) {
        for (int i = 0; i < 6; ++i) {
            run.keys.Tap(key);
            run.Pass();
        }
        EXPECT_EQ(run.state.Loop.Speed, end);
    }
    // Two quick presses between two passes (a quarter-speed pass is 67 ms apart) are two steps.
    for (auto [key, from, to] : {std::tuple{Key::SpeedUp, 0, 2}, std::tuple{Key::SpeedDown, 4, 2}}) {
        SetRunSpeed(run.state.Loop, from);
        run.keys.Tap(key);
        run.keys.Tap(key);
        run.Pass();
        EXPECT_EQ(run.state.Loop.Speed, to);
    }
}

}  // namespace
}  // namespace qb::test

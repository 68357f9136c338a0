#include "render/scripted_input.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(KeyScript, StepsHoldTheirKeysForTheirFrames) {
    std::vector<KeyStep> steps;
    std::string error;
    ASSERT_TRUE(ParseKeyScript("right*2, none*1,down+Z*2", steps, error)) << error;
    ScriptedKeys keys(steps);
    std::string seen;
    for (int frame = 0; frame < 6; ++frame) {
        keys.SetFrame(frame);
        seen += keys.IsDown(Key::Right) ? 'R' : keys.IsDown(Key::Down) && keys.Pressed(Key::Z) ? 'D' : '-';
    }
    EXPECT_EQ(seen, "RR-DD-");  // after the script nothing is held
}

TEST(KeyScript, MalformedScriptsAreRefusedWithTheBadStep) {
    const char* bad[] = {"",         "right",   "right*", "right*x",   "jump*3",
                         "right*3,", "left+*2", "up*-1",  "a*99999999"};
    for (const char* script : bad) {
        std::vector<KeyStep> steps;
        std::string error;
        EXPECT_FALSE(ParseKeyScript(script, steps, error)) << script;
        EXPECT_FALSE(error.empty()) << script;
    }
    std::vector<KeyStep> steps;
    std::string error;
    ParseKeyScript("up*2,jump*3", steps, error);
    EXPECT_NE(error.find("jump"), std::string::npos);
}

TEST(FrameClock, AdvancesOneSixtiethOfASecondPerFrame) {
    FrameClock clock;
    clock.SetFrame(60);
    EXPECT_EQ(clock.TickCount(), 1000u);
    clock.SetFrame(3);
    EXPECT_EQ(clock.TickCount(), 50u);
    clock.SleepMs(10);
    EXPECT_EQ(clock.TickCount(), 60u);
}

}  // namespace
}  // namespace qb

#include "character/fighters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "tests/support/fakes.h"

namespace qb {
namespace {

StageModel CameraStage() {
    StageModel stage;
    std::tie(stage.BoundLeft, stage.BoundRight, stage.BoundHigh, stage.BoundLow) = std::make_tuple(-150, 150, -60, 0);
    stage.Tension = 50;
    return stage;
}

// A jump of KFM's (jump.neu y -8.4, yaccel .44) ticked as the players' step ticks it: the height
// after each tick until he lands.
std::vector<double> JumpHeights() {
    std::vector<double> heights;
    float y = 0, v = kDefaultJumpVelY;
    do {
        y += v;
        v += kDefaultYAccel;
        heights.push_back(std::min(y, 0.0f));
    } while (y < 0);
    return heights;
}

TEST(Fighters, TheCameraFollowsAJumpAsTheStageSays) {
    struct Case {
        const char* what;
        float verticalFollow;
        int16_t floorTension;
        int32_t tensionHigh, tensionLow;
        // The camera's y at ticks 0, 5, 10, 19 (the top of the jump) and after landing.
        std::vector<int> y;
    };
    const Case cases[] = {
        // "A value of 0 will mean the camera does not move up at all."
        {"verticalfollow 0", 0, 0, -1, -1, {0, 0, 0, 0, 0}},
        // A fifth of the height (the top is about 80 up).
        {"verticalfollow .2", 0.2f, 0, -1, -1, {-2, -9, -14, -17, 0}},
        // The first 60 units of the height are free; a full follow above them, within boundhigh.
        {"floortension 60, verticalfollow 1", 1, 60, -1, -1, {0, 0, -8, -24, 0}},
        // "A value of 1 will makes the camera follow the highest player", up to boundhigh (-60).
        {"verticalfollow 1", 1, 0, -1, -1, {-8, -44, -60, -60, 0}},
        // tensionhigh: the camera rises only when he comes within 130 rows of the view's top (the
        // floor at row 200, so above 70 up), verticalfollow no longer counts; it comes down only
        // when a player nears the bottom (tensionlow -5: 5 rows below it), so it stays up.
        {"tensionhigh 130, tensionlow -5", 0.2f, 0, 130, -5, {0, 0, 0, -14, -14}},
    };
    const std::vector<double> heights = JumpHeights();
    ASSERT_EQ(heights.size(), 40u);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StageModel stage = CameraStage();
        std::tie(stage.VerticalFollow, stage.FloorTension) = std::make_pair(c.verticalFollow, c.floorTension);
        std::tie(stage.TensionHigh, stage.TensionLow) = std::make_pair(c.tensionHigh, c.tensionLow);
        const FramingView view{160, 240, 200};
        CameraPlace camera;
        std::vector<int> seen;
        for (size_t tick = 0; tick < heights.size(); ++tick) {
            camera = FollowFighters(stage, 0, view, FighterSpan{-70, 70, heights[tick], 0}, camera);
            if (tick == 0 || tick == 5 || tick == 10 || tick == 19 || tick + 1 == heights.size())
                seen.push_back(static_cast<int>(std::lround(camera.y)));
            EXPECT_EQ(camera.x, 0);
        }
        EXPECT_EQ(seen, c.y);
    }
}

TEST(Fighters, TheCameraKeepsBothPlayersWithinTensionAndTheBounds) {
    struct Case {
        double left, right, camX;
        double expected;
    };
    const Case cases[] = {
        {-70, 70, 0, 0},       // both well inside: no move
        {-70, 120, 0, 10},     // the right one 10 into the tension zone: the camera moves 10 right
        {-150, 20, 0, -40},    // the left one 40 in: 40 left
        {-200, 200, 30, 0},    // further apart than the view allows: the middle of the two
        {300, 330, 0, 150},    // beyond boundright: the camera stops at the bound
        {-400, -380, 0, -150},
    };
    for (const Case& c : cases) {
        StageModel stage = CameraStage();
        const CameraPlace next = FollowFighters(stage, 0, FramingView{160, 240, 200}, FighterSpan{c.left, c.right, 0, 0},
                                                CameraPlace{c.camX, 0});
        EXPECT_EQ(next.x, c.expected) << c.left << ".." << c.right;
    }
    // Zoomed in, the bounds widen by the slack.
    const CameraPlace zoomed =
        FollowFighters(CameraStage(), 40, FramingView{80, 120, 200}, FighterSpan{300, 330, 0, 0}, CameraPlace{});
    EXPECT_EQ(zoomed.x, 190);
}

// Two characters with every action one tick long and a turn.
CharState TwoStanding() {
    CharState chars;
    for (int i = 0; i < 2; ++i) {
        TestCharacter ch;
        ch.Actions.resize(kCharSlotCount);
        for (int slot = 0; slot < kCharSlotCount; ++slot) {
            ch.Actions[static_cast<size_t>(slot)].Frames.push_back(CharFrame{0, 0, 0, 0, 0, 1, 0});
            ch.Actions[static_cast<size_t>(slot)].FrameCount = 1;
        }
        std::tie(ch.WalkSpeed, ch.CanTurn, ch.Y) = std::make_tuple(4.0f, -1, 200.0f);
        chars.Characters.push_back(std::move(ch));
    }
    std::tie(chars.CharCount, chars.TwoFighters, chars.GroundY0) = std::make_tuple(2, true, 200.0f);
    return chars;
}

TEST(Fighters, PlayerOneWalksJumpsAndTheyTurnToFaceEachOther) {
    StageModel stage = CameraStage();
    std::tie(stage.P1StartX, stage.P2StartX, stage.P2Facing) = std::make_tuple(-30, 10, -1);
    stage.VerticalFollow = 1;
    CameraState camera;
    test::FakeKeys keys;
    CharState chars = TwoStanding();
    StartFighters(chars, stage, camera);
    EXPECT_EQ(std::make_tuple(chars.Characters[0].Facing, chars.Characters[1].Facing, chars.Characters[1].X),
              std::make_tuple(1, -1, 170.0f));

    // Ten steps right: player one passes player two, and both turn round.
    keys.Hold(Key::Right);
    for (int i = 0; i < 10; ++i) FightersStep(chars, stage, camera, keys);
    keys.ReleaseAll();
    EXPECT_EQ(chars.Characters[0].StageX, 10);
    for (int i = 0; i < 3; ++i) FightersStep(chars, stage, camera, keys);
    keys.Hold(Key::Right);
    FightersStep(chars, stage, camera, keys);
    keys.ReleaseAll();
    EXPECT_EQ(std::make_tuple(chars.Characters[0].StageX, chars.Characters[0].Facing, chars.Characters[1].Facing),
              std::make_tuple(14.0f, -1, 1));

    // The up arrow: the take-off plays, he rises, the camera with him, and he lands where he left.
    keys.Tap(Key::Up);
    float highest = 0, cameraHighest = 0;
    for (int i = 0; i < 60; ++i) {
        FightersStep(chars, stage, camera, keys);
        highest = std::min(highest, chars.Characters[0].StageY);
        cameraHighest = std::min(cameraHighest, camera.CameraY);
    }
    EXPECT_LT(highest, -75);
    EXPECT_EQ(cameraHighest, -60);  // boundhigh
    EXPECT_FALSE(chars.Characters[0].Airborne);
    EXPECT_EQ(std::tie(chars.Characters[0].StageX, chars.Characters[0].StageY, camera.CameraY), std::make_tuple(14, 0, 0));
}

}  // namespace
}  // namespace qb

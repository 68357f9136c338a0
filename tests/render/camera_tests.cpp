#include "render/camera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "tests/support/fakes.h"

namespace qb {
namespace {

struct CameraFixture {
    StageModel stage;
    CameraState camera;
    FrameState frame;
    test::FakeKeys keys;
    test::FakeClock clock;
    CameraFixture() {
        stage.BoundLeft = -100;
        stage.BoundRight = 100;
        stage.BoundHigh = -30;
        stage.BoundLow = 0;
        camera.HCamStep = 3;
        camera.VCamStep = 2;
    }
    CameraArrows arrows = CameraArrows::All;
    void Poll() { CameraKeys(stage, camera, frame, keys, clock, arrows); }
    // A modern stage zooming from 0.5 to 2, at `zoom`.
    void Zooming(double zoom) {
        stage.SffMajor = 2;
        stage.ZoomOut = 0.5f;
        stage.ZoomIn = 2;
        ApplyZoomRange(stage, camera, false);
        SetZoom(stage, camera, zoom);
    }
    float ShownX() const { return -camera.CameraX; }
};

TEST(Camera, ArrowKeysStopShortOfTheBounds) {
    CameraFixture f;
    f.keys.Hold(Key::Right);
    for (int i = 0; i < 100; ++i) f.Poll();
    EXPECT_FLOAT_EQ(f.ShownX(), 99);
    f.keys.ReleaseAll();
    f.keys.Hold(Key::Left);
    for (int i = 0; i < 100; ++i) f.Poll();
    EXPECT_FLOAT_EQ(f.ShownX(), -99);
    f.keys.ReleaseAll();
    f.keys.Hold(Key::Up);
    for (int i = 0; i < 100; ++i) f.Poll();
    EXPECT_FLOAT_EQ(f.camera.CameraY, -30);
    f.keys.ReleaseAll();
    f.keys.Hold(Key::Down);
    for (int i = 0; i < 100; ++i) f.Poll();
    EXPECT_FLOAT_EQ(f.camera.CameraY, 0);
}

TEST(Camera, APressSinceTheLastPollMovesOnce) {
    CameraFixture f;
    f.keys.Tap(Key::Right);
    f.Poll();
    f.Poll();
    EXPECT_FLOAT_EQ(f.ShownX(), 3);
}

TEST(Camera, TheTestCharacterTakesTheArrowKeysUnlessTheCameraFollows) {
    CameraFixture f;
    f.arrows = CameraArrows::None;  // the character stands in the stage
    f.keys.Hold(Key::Right);
    f.keys.Hold(Key::Down);
    f.stage.BoundLow = 50;
    f.Poll();
    EXPECT_FLOAT_EQ(f.ShownX(), 0);
    EXPECT_FLOAT_EQ(f.camera.CameraY, 0);
    f.arrows = CameraArrows::LeftRight;  // the camera takes its walk over
    f.Poll();
    EXPECT_FLOAT_EQ(f.ShownX(), 3);
    EXPECT_FLOAT_EQ(f.camera.CameraY, 0);  // vertical stays the character's
}

TEST(Camera, StepKeysActEvery150MsWithinHalfAndTen) {
    CameraFixture f;
    f.keys.Hold(Key::Z);
    for (int i = 0; i < 20; ++i) {
        f.Poll();
        f.clock.AdvanceMs(150);
    }
    EXPECT_FLOAT_EQ(f.camera.HCamStep, 0.5f);
    EXPECT_FLOAT_EQ(f.camera.VCamStep, 0.5f);

    f.keys.ReleaseAll();
    f.keys.Hold(Key::A);
    f.Poll();
    f.clock.AdvanceMs(100);
    f.Poll();  // too soon: no second step
    EXPECT_FLOAT_EQ(f.camera.HCamStep, 1.0f);
    for (int i = 0; i < 40; ++i) {
        f.clock.AdvanceMs(150);
        f.Poll();
    }
    EXPECT_FLOAT_EQ(f.camera.HCamStep, 10);
    EXPECT_FLOAT_EQ(f.camera.VCamStep, 10);

    // With the character on, only the vertical step changes.
    f.arrows = CameraArrows::None;
    f.keys.ReleaseAll();
    f.keys.Hold(Key::Z);
    f.clock.AdvanceMs(150);
    f.Poll();
    EXPECT_FLOAT_EQ(f.camera.HCamStep, 10);
    EXPECT_FLOAT_EQ(f.camera.VCamStep, 9.5f);
}

TEST(Camera, MouseScrollingSpeedGrowsWithTheDistanceFromTheCentre) {
    CameraFixture f;
    f.stage.BoundLow = 100;
    f.keys.pointer = {300, 200};  // 140 right, 80 below the centre of the 320x240 view
    f.Poll();
    EXPECT_FLOAT_EQ(f.ShownX(), 0);  // off until the command turns it on

    EXPECT_TRUE(ToggleMouseScroll(f.camera));
    f.Poll();
    EXPECT_FLOAT_EQ(f.camera.HCamStep, 14);
    EXPECT_FLOAT_EQ(f.camera.VCamStep, 2);
    EXPECT_FLOAT_EQ(f.ShownX(), 14);
    EXPECT_FLOAT_EQ(f.camera.CameraY, 2);

    f.keys.pointer = {-5, 200};  // outside the view: nothing
    f.Poll();
    EXPECT_FLOAT_EQ(f.ShownX(), 14);

    // Turning it off restores the saved steps.
    EXPECT_FALSE(ToggleMouseScroll(f.camera));
    EXPECT_FLOAT_EQ(f.camera.HCamStep, 3);
    EXPECT_FLOAT_EQ(f.camera.VCamStep, 2);
}

// The same pointer travel in stage units scrolls the same, whatever the picture's pixels per unit:
// a hires stage's picture holds two pixels a unit, so its pointer offsets are twice as many pixels.
TEST(Camera, MouseScrollingStepsPerStageUnitOfPointerTravel) {
    const struct {
        int localW, localH, hires;
        std::pair<int, int> pointer;  // picture pixels
        float h, v;                   // steps in stage units
    } cases[] = {
        {320, 240, 0, {300, 200}, 14, 2},     // classic: 140, 80 units from the centre
        {1280, 720, 0, {780, 440}, 14, 2},    // 1280x720 at one pixel a unit
        {640, 480, 1, {920, 640}, 14, 2},     // hires: 280, 160 pixels are 140, 80 units
        {640, 480, 1, {360, 320}, 14, 2},     // the same the other way (left and up)
        {320, 240, 1, {460, 320}, 7, 1},      // hires 320x240 (picture 640x480): 70, 40 units
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.localW << "x" << c.localH << " hires " << c.hires);
        CameraFixture f;
        f.stage.BoundLeft = -1000;
        f.stage.BoundRight = 1000;
        f.stage.BoundHigh = -1000;
        f.stage.BoundLow = 1000;
        f.stage.LocalCoordW = c.localW;
        f.stage.LocalCoordH = c.localH;
        f.stage.Hires = static_cast<int16_t>(c.hires);
        f.camera.ViewRight = static_cast<int16_t>(c.localW * (c.hires ? 2 : 1));
        f.camera.ViewBottom = static_cast<int16_t>(c.localH * (c.hires ? 2 : 1));
        f.keys.pointer = c.pointer;
        ToggleMouseScroll(f.camera);
        f.Poll();
        EXPECT_FLOAT_EQ(f.camera.HCamStep, c.h);
        EXPECT_FLOAT_EQ(f.camera.VCamStep, c.v);
        EXPECT_FLOAT_EQ(std::fabs(f.ShownX()), c.h);
        EXPECT_FLOAT_EQ(std::fabs(f.camera.CameraY), c.v);
    }
}

// The steps the user set (2 and 1 here) survive whatever mouse scrolling and the test character
// (walking 2.4 a frame) do to the working ones. M: mouse scrolling on or off; P: a frame with the
// pointer near the bottom-right corner; C: the character starts (each stage start); c: it leaves.
TEST(Camera, FeaturesLendTheStepsAndGiveTheUsersBack) {
    const struct {
        const char* steps;
        float h, v;  // working steps afterwards
    } cases[] = {
        {"C", 2.4f, 1},    {"Cc", 2, 1},      {"CC", 2.4f, 1},   {"CCc", 2, 1},
        {"MP", 14, 2.5f},  {"MPM", 2, 1},     {"CMPM", 2.4f, 1}, {"CMPcM", 2, 1},
        {"MPCcM", 2, 1},   {"MPCMc", 2, 1},   {"c", 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        CameraFixture f;
        f.camera.HCamStep = 2;
        f.camera.VCamStep = 1;
        f.keys.pointer = {300, 220};
        for (const char* step = c.steps; *step != '\0'; ++step) {
            if (*step == 'M') ToggleMouseScroll(f.camera);
            if (*step == 'P') f.Poll();
            if (*step == 'C') SetCharCamStep(f.camera, 2.4f);
            if (*step == 'c') ReleaseCharCamStep(f.camera);
        }
        EXPECT_FLOAT_EQ(f.camera.HCamStep, c.h);
        EXPECT_FLOAT_EQ(f.camera.VCamStep, c.v);
        EXPECT_FLOAT_EQ(UserHCamStep(f.camera), 2);
        EXPECT_FLOAT_EQ(UserVCamStep(f.camera), 1);
    }
}

TEST(Camera, TheDeleteKeyIsHandedToTheRunLoop) {
    CameraFixture f;
    f.keys.Tap(Key::Delete);
    f.Poll();
    EXPECT_TRUE(f.frame.DeleteRequested);
}

TEST(Camera, ZoomRangesAreNormalisedAndClamped) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float out, in, start;
        ZoomRange want;
    };
    const Case cases[] = {
        {1, 1, 1, {1, 1, 1}},
        {0.7f, 1, 1, {0.7f, 1, 1}},
        {0.5f, 2, 0.1f, {0.5f, 2, 0.5f}},   // startzoom clamped into the range
        {0.5f, 2, 3, {0.5f, 2, 2}},
        {2, 1, 1, {2, 2, 2}},               // zoomin below zoomout is raised to it
        {0, -3, nan, {1, 1, 1}},            // nonsense is 1
        {1e30f, 1e30f, 1e30f, {16, 16, 16}},
        {1e-9f, 1, 1, {1.0f / 16, 1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.out << " " << c.in << " " << c.start);
        const ZoomRange r = NormaliseZoomRange(c.out, c.in, c.start);
        EXPECT_FLOAT_EQ(r.out, c.want.out);
        EXPECT_FLOAT_EQ(r.in, c.want.in);
        EXPECT_FLOAT_EQ(r.start, c.want.start);
    }
    // A stage, classic or modern, opens at its startzoom and keeps any zoom asked for within its range.
    CameraFixture f;
    f.stage.ZoomOut = 0.5f;
    f.stage.ZoomIn = 2;
    f.stage.StartZoom = 0.8f;
    ApplyZoomRange(f.stage, f.camera, false);
    EXPECT_FLOAT_EQ(f.camera.Zoom, 0.8f);
    SetZoom(f.stage, f.camera, 100);
    EXPECT_FLOAT_EQ(f.camera.Zoom, 2);
    SetZoom(f.stage, f.camera, 0.01);
    EXPECT_FLOAT_EQ(f.camera.Zoom, 0.5f);
}

// Bounds -100..100 describe the view at zoomout 0.5 of a view 320 units wide: zoomed to z the
// camera may go 160 * (2 - 1/z) further, so the view's outer edge never passes -420 or 420.
TEST(Camera, ZoomedInTheCameraTravelsFurtherAndZoomingOutPullsItBack) {
    struct Case {
        double zoom;
        float right, left;  // where holding the key stops, with a step of 3
    };
    const Case cases[] = {{0.5, 99, -99}, {1, 258, -258}, {2, 339, -339}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoom);
        CameraFixture f;
        f.Zooming(c.zoom);
        f.keys.Hold(Key::Right);
        for (int i = 0; i < 200; ++i) f.Poll();
        EXPECT_FLOAT_EQ(f.ShownX(), c.right);
        EXPECT_LE(f.ShownX() + 160 / c.zoom, 420);  // the view's right edge
        f.keys.ReleaseAll();
        f.keys.Hold(Key::Left);
        for (int i = 0; i < 400; ++i) f.Poll();
        EXPECT_FLOAT_EQ(f.ShownX(), c.left);
    }
    // Zooming out from the far right pulls the camera to the new limit, and the elements with it
    // as a camera move would (delta times the distance).
    CameraFixture f;
    f.stage.Elements.push_back(BgElement{});
    f.stage.Elements[0].DeltaX = 0.5f;
    f.Zooming(2);
    f.camera.CameraX = f.camera.PrevCameraX = -339;
    SetZoom(f.stage, f.camera, 1);
    EXPECT_FLOAT_EQ(f.ShownX(), 260);
    EXPECT_FLOAT_EQ(f.camera.PrevCameraX, -260);
    EXPECT_FLOAT_EQ(f.stage.Elements[0].PosX, 0.5f * 79);
    // The keys and the wheel step the zoom; the keypad's keys are the element editor's while it
    // owns them.
    f.keys.Tap(Key::ZoomOut);
    f.Poll();
    EXPECT_NEAR(f.camera.Zoom, 1 / 1.1, 1e-6);
    f.keys.wheel = 2;
    f.Poll();
    EXPECT_NEAR(f.camera.Zoom, 1.1, 1e-6);
    f.clock.AdvanceMs(200);
    f.keys.Tap(Key::NumPlus);
    f.Poll();
    EXPECT_NEAR(f.camera.Zoom, 1.21, 1e-5);
}

}  // namespace
}  // namespace qb

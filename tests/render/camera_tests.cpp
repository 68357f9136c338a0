#include "render/camera.h"

#include <gtest/gtest.h>

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
    void Poll() { CameraKeys(stage, camera, frame, keys, clock); }
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
    f.frame.CharEnabled = 255;
    f.keys.Hold(Key::Right);
    f.keys.Hold(Key::Down);
    f.stage.BoundLow = 50;
    f.Poll();
    EXPECT_FLOAT_EQ(f.ShownX(), 0);
    EXPECT_FLOAT_EQ(f.camera.CameraY, 0);
    f.frame.CameraFollow = 1;
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
    f.frame.CharEnabled = 255;
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

TEST(Camera, TheDeleteKeyIsHandedToTheRunLoop) {
    CameraFixture f;
    f.keys.Tap(Key::Delete);
    f.Poll();
    EXPECT_TRUE(f.frame.DeleteRequested);
}

TEST(CameraEditor, ShowStuffAndUpdateStuffExchangeTheBounds) {
    StageModel stage;
    stage.BoundLeft = -150;
    stage.BoundRight = 150;
    stage.BoundHigh = -25;
    stage.StartX = 12.5f;
    stage.StartY = 4;
    BgEditorFields fields;
    ShowStuff(stage, fields);
    EXPECT_EQ(fields.txtcamleft, "-150");
    EXPECT_EQ(fields.txtcamhigh, "-25");
    EXPECT_EQ(fields.txtcamlow, "0");
    EXPECT_EQ(fields.txtcamstartx, "12.5");
    EXPECT_EQ(fields.txtcamstarty, "4");

    fields.txtcamleft = "-90.6";
    fields.txtcamright = "80abc";
    fields.txtcamhigh = "";
    fields.txtcamlow = "7";
    UpdateStuff(stage, fields, -1);
    EXPECT_EQ(stage.BoundLeft, -91);
    EXPECT_EQ(stage.BoundRight, 80);
    EXPECT_EQ(stage.BoundHigh, 0);
    EXPECT_EQ(stage.BoundLow, 7);
}

TEST(CameraEditor, UpdateStuffMovesTheSelectedElementToItsTypedBase) {
    StageModel stage;
    stage.Sprites.resize(3);
    BgElement element;
    element.BaseX = 10;
    element.PosX = 170;
    element.BaseY = 20;
    element.PosY = 20;
    stage.Elements.push_back(element);
    BgEditorFields fields;
    fields.txtXpos = "14";
    fields.txtYpos = "15";
    fields.txtTileX = "1";
    fields.txtDeltaX = ".5";
    fields.txtGfx = "9";  // past the sprite table: the element has no sprite
    fields.txtType = "Normal";
    fields.chkMask = true;
    UpdateStuff(stage, fields, 0);
    const BgElement& e = stage.Elements[0];
    EXPECT_FLOAT_EQ(e.BaseX, 14);
    EXPECT_FLOAT_EQ(e.PosX, 174);
    EXPECT_FLOAT_EQ(e.BaseY, 15);
    EXPECT_FLOAT_EQ(e.PosY, 15);
    EXPECT_EQ(e.TileX, 1);
    EXPECT_FLOAT_EQ(e.DeltaX, 0.5f);
    EXPECT_EQ(e.SpriteIndex, -1);
    EXPECT_EQ(e.Type, "Normal");
    EXPECT_EQ(e.Mask, 1);
}

// Two sprites: 400x100 with axis (200, 0) at start (0, 10), and 50x300 with axis (0, 0) at (300, -80)
// with delta 0.5; camera start x 20. An animated element takes no part.
TEST(CameraEditor, AutoBoundCoversEveryDrawnSprite) {
    StageModel stage;
    stage.StartX = 20;
    stage.Sprites.resize(2);
    stage.Sprites[0].Width = 400;
    stage.Sprites[0].Height = 100;
    stage.Sprites[0].AxisX = 200;
    stage.Sprites[1].Width = 50;
    stage.Sprites[1].Height = 300;
    BgElement wide;
    wide.SpriteIndex = 0;
    wide.StartY = 10;
    BgElement tall;
    tall.SpriteIndex = 1;
    tall.StartX = 300;
    tall.StartY = -80;
    tall.DeltaX = 0.5f;
    BgElement anim;
    anim.SpriteIndex = -2;
    anim.StartX = 5000;
    stage.Elements = {wide, tall, anim};
    BgEditorFields fields;
    AutoBound(stage, fields);
    EXPECT_EQ(fields.txtcamleft, "-60");   // 0 - 200 + 160 - 20
    EXPECT_EQ(fields.txtcamright, "180");  // 300 + 160 - 10 + 50 - 320
    EXPECT_EQ(fields.txtcamhigh, "-80");
    EXPECT_EQ(fields.txtcamlow, "-20");  // -80 + 300 - 240
}

}  // namespace
}  // namespace qb

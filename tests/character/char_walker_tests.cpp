#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "character/char_walker.h"
#include "platform/gfx.h"
#include "platform/picture32.h"
#include "render/camera.h"
#include "tests/character/char_fixture.h"
#include "tests/support/pixel_layout.h"

namespace qb {
namespace {

// A walker in a 320 x 240 view on a white back buffer. The character's only sprite is
//   R.
//   R.
//   RR
//   RR
// with its axis under the left column, so every frame shows it with its feet on Y.
struct Walker {
    Walker() {
        a_allegro_init();
        backBuffer = CreateBitmap(kViewWidth, kViewHeight);
        a_clear_to_color(backBuffer.get(), test::LayoutColor('W'));
        stage.ShadowYScale = 0;
        stage.ScreenLeft = 15;
        stage.ScreenRight = 15;
        stage.Tension = 50;
        stage.BoundLeft = -100;
        stage.BoundRight = 100;
        TestCharacter ch;
        SpriteEntry e;
        e.Owned = test::BitmapFromLayout({"R.", "R.", "RR", "RR"});
        e.Bitmap = e.Owned.get();
        e.Width = 2;
        e.Height = 4;
        e.AxisY = 4;
        e.Owner = -1;
        ch.Sprites.push_back(std::move(e));
        ch.Actions.resize(kCharSlotCount);
        auto action = [&](int slot, int frames, int16_t time) {
            for (int i = 0; i < frames; ++i) ch.Actions[static_cast<size_t>(slot)].Frames.push_back(CharFrame{0, 0, 0, 0, 0, time, 0});
            ch.Actions[static_cast<size_t>(slot)].FrameCount = static_cast<int16_t>(frames);
        };
        action(kSlotStand, 1, 5);
        action(kSlotTurn, 2, 2);
        action(kSlotWalk, 2, 3);
        ch.XScale = ch.YScale = 1;
        ch.WalkSpeed = 2;
        ch.CanTurn = -1;
        ch.Facing = 1;
        ch.X = 4;
        ch.Y = 8;
        chars.Characters.push_back(std::move(ch));
        chars.CharCount = 1;
        chars.CharLoaded = 255;
        chars.GroundY = 12;
        chars.CharEnabled = 255;
    }
    TestCharacter& ch() { return chars.Characters[0]; }
    bool Step() { return Char(chars, CharScene{stage, camera, frame, backBuffer.get(), keys, ui}); }

    StageModel stage;
    CameraState camera;
    FrameState frame;
    UniqueBitmap backBuffer;
    test::FakeKeys keys;
    test::FakeUi ui;
    CharState chars;
};

TEST(CharWalker, DrawsSpriteShadowAndReflectionAtTheAxis) {
    struct Case {
        const char* what;
        float shadowYScale;
        int16_t reflection;
        int16_t facing;
        std::vector<std::string> pixels;  // x 3..6, y 3..11; '?' marks a darkened pixel
    };
    const Case cases[] = {
        {"no shadow", 0, 0, 1, {"WWWW", "WRWW", "WRWW", "WRRW", "WRRW", "WWWW", "WWWW", "WWWW", "WWWW"}},
        // Upside down and squashed to half the height below the feet.
        {"positive scale", 0.5f, 0, 1, {"WWWW", "WRWW", "WRWW", "WRRW", "WRRW", "W??W", "W?WW", "WWWW", "WWWW"}},
        // Upright, squashed, standing on the ground line (12), not on the character's Y (8).
        {"negative scale", -0.5f, 0, 1, {"WWWW", "WRWW", "WRWW", "WRRW", "WRRW", "WWWW", "WWWW", "W?WW", "W??W"}},
        {"reflection", 0, 128, 1, {"WWWW", "WRWW", "WRWW", "WRRW", "WRRW", "W??W", "W??W", "W?WW", "W?WW"}},
        // Facing left the sprite is mirrored about the axis, and so is its shadow.
        {"facing left", 0.5f, 0, -1, {"WWWW", "WWRW", "WWRW", "WRRW", "WRRW", "W??W", "WW?W", "WWWW", "WWWW"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Walker w;
        w.stage.ShadowYScale = c.shadowYScale;
        w.stage.ReflectionIntensity = c.reflection;
        w.ch().Facing = c.facing;
        w.ch().CanTurn = 0;
        w.ch().X = c.facing == 1 ? 4 : 6;
        ASSERT_TRUE(w.Step());
        EXPECT_EQ(test::Dump(w.backBuffer.get(), 3, 3, 4, 9), c.pixels);
        EXPECT_EQ(w.chars.DrawY, 4);
        EXPECT_EQ(w.ch().DrawnFacing, c.facing);
    }
}

// Under the shadow (x 4, y 8) white darkens by intensity in the blender's 1/32 steps, less the colour.
TEST(CharWalker, ShadowDarkensByIntensityLessTheColour) {
    auto floorUnderShadow = [](int16_t intensity) {
        Walker w;
        w.stage.ShadowYScale = 0.5f;
        w.stage.ShadowIntensity = intensity;
        w.stage.ShadowColorR = 64, w.stage.ShadowColorG = 128, w.stage.ShadowColorB = 32;
        EXPECT_TRUE(w.Step());
        return a_getpixel(w.backBuffer.get(), 4, 8);
    };
    EXPECT_EQ(floorUnderShadow(64), ((23 - 8) << 11) | ((47 - 32) << 5) | (23 - 4));  // less 8, 32, 4
    EXPECT_EQ(floorUnderShadow(0), 0xFFFF);  // intensity 0 casts nothing, as on modern stages
}

// On a modern picture the character's place is in stage units: one pixel a unit on a stage of its
// own size, two on a hires stage (whose sprites have twice the resolution of their coordinates).
// His own sprite pixels scale by the stage's width against his (320 here).
TEST(CharWalker, OnAModernPictureThePlaceIsInStageUnits) {
    struct Case {
        int32_t unitScale, pictureWidth, centreShift;
        double stageWidth;
        int32_t drawX, drawY, drawW, drawH;
    };
    const Case cases[] = {
        {1, 400, 40, 320, 44, 4, 2, 4},  // a 400-wide stage: x 4 + the centre's 40
        {2, 640, 0, 640, 8, 8, 4, 8},    // hires: x 4 and y 8 are pixels 8 and 16, the axis 4 is 8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.unitScale);
        Walker w;
        w.ch().CanTurn = 0;
        Picture32 picture(c.pictureWidth, 240);
        CharScene scene{w.stage, w.camera, w.frame, w.backBuffer.get(), w.keys, w.ui};
        scene.view.picture = &picture;
        scene.view.stageWidth = c.stageWidth;
        scene.view.centreShift = c.centreShift;
        scene.view.viewWidth = c.pictureWidth / c.unitScale;
        scene.view.unitScale = c.unitScale;
        ASSERT_TRUE(Char(w.chars, scene));
        EXPECT_EQ(w.chars.DrawX, c.drawX);
        EXPECT_EQ(w.chars.DrawY, c.drawY);
        EXPECT_EQ(w.chars.DrawW, c.drawW);
        EXPECT_EQ(w.chars.DrawH, c.drawH);
    }
}

// Zoomed, he scales and moves about the pivot (here x 40, his feet's row 8) as an element with
// zoomdelta 1 does: both edges are mapped; facing left DrawX stays his right edge.
TEST(CharWalker, ZoomScalesAndMovesHimAboutThePivot) {
    struct Case {
        double zoom;
        int16_t facing;
        int32_t drawX, drawY, drawW, drawH;
    };
    const Case cases[] = {
        {1, 1, 44, 4, 2, 4},    // unzoomed as before
        {2, 1, 48, 0, 4, 8},    // x 44..46 -> 48..52, y 4..8 -> 0..8: the feet stay on the ground line
        {2, -1, 52, 0, 4, 8},   // right edge 46 -> 52
        {0.5, 1, 42, 6, 1, 2},  // x 44..46 -> 42..43, y 4..8 -> 6..8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.zoom << " facing " << c.facing);
        Walker w;
        w.ch().CanTurn = 0;
        w.ch().Facing = c.facing;
        w.ch().X = c.facing == 1 ? 4 : 6;
        Picture32 picture(400, 240);
        std::fill(picture.Pixels.begin(), picture.Pixels.end(), 0xFFFFFFFFu);
        w.stage.ShadowYScale = -0.5f;  // upright, half his height, standing on the floor line (12)
        CharScene scene{w.stage, w.camera, w.frame, w.backBuffer.get(), w.keys, w.ui};
        scene.view.picture = &picture;
        scene.view.centreShift = 40;
        scene.view.viewWidth = 400;
        scene.view.zoom = c.zoom;
        scene.view.pivotX = 40;
        scene.view.pivotY = 8;
        ASSERT_TRUE(Char(w.chars, scene));
        EXPECT_EQ(w.chars.DrawX, c.drawX);
        EXPECT_EQ(w.chars.DrawY, c.drawY);
        EXPECT_EQ(w.chars.DrawW, c.drawW);
        EXPECT_EQ(w.chars.DrawH, c.drawH);
        if (c.zoom == 2 && c.facing == 1) {
            // His shadow zooms too: the floor line 12 maps to 16, the shadow is 4 rows tall above it.
            std::string shadow;
            for (int y = 10; y < 18; ++y) shadow += picture.Row(y)[48] == 0xFFFFFFFFu ? '.' : '#';
            EXPECT_EQ(shadow, "..####..");
        }
    }
}

TEST(CharWalker, TurningPlaysOnceThenWalksOrStands) {
    Walker w;
    w.ch().X = 100;
    w.keys.Hold(Key::Left);
    ASSERT_TRUE(w.Step());
    EXPECT_EQ(w.ch().Facing, -1);
    EXPECT_EQ(w.ch().ActionSlot, kSlotTurn);
    EXPECT_EQ(w.chars.TurnLock, 255);
    // The arrows are ignored while the turn plays: letting go changes nothing yet.
    w.keys.Hold(Key::Left, false);
    w.keys.Hold(Key::Right);
    int frames = 1;
    while (w.chars.TurnLock == 255 && frames < 20) {
        ASSERT_TRUE(w.Step());
        EXPECT_EQ(w.ch().ActionSlot, kSlotTurn);
        EXPECT_EQ(w.ch().X, 100);
        ++frames;
    }
    EXPECT_EQ(frames, 5);  // frame 0 for its two frames, frame 1 until the step past the last one
    w.keys.Hold(Key::Right, false);
    ASSERT_TRUE(w.Step());
    EXPECT_EQ(w.ch().ActionSlot, kSlotStand);
    EXPECT_EQ(w.ch().Facing, -1);

    // Without turning frames the character turns at once and walks in the same frame.
    Walker plain;
    plain.ch().X = 100;
    plain.ch().CanTurn = 0;
    plain.keys.Hold(Key::Left);
    ASSERT_TRUE(plain.Step());
    EXPECT_EQ(plain.ch().Facing, -1);
    EXPECT_EQ(plain.ch().ActionSlot, kSlotWalk);
    EXPECT_EQ(plain.ch().X, 98);
}

TEST(CharWalker, BothArrowsHeldWalkLeftAndUpNeverJumps) {
    Walker w;
    w.ch().X = 100;
    w.ch().CanTurn = 0;
    w.keys.Hold(Key::Right);
    w.keys.Hold(Key::Left);
    w.keys.Hold(Key::Up);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(w.Step());
    EXPECT_EQ(w.ch().Facing, -1);
    EXPECT_EQ(w.ch().ActionSlot, kSlotWalk);
    EXPECT_EQ(w.ch().X, 94);
    EXPECT_EQ(w.ch().Y, 8);
}

TEST(CharWalker, CameraTakesOverWithinTensionUntilTheBound) {
    Walker w;
    w.ch().X = 260;
    w.ch().CanTurn = 0;
    w.keys.Hold(Key::Right);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(w.Step());
    EXPECT_EQ(w.ch().X, 270);  // 320 - Tension: the camera's turn
    EXPECT_EQ(w.chars.CameraFollow, 1);
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(w.Step());
    EXPECT_EQ(w.ch().X, 270);
    // Once the camera is at the stage's bound the character walks on, up to 320 - ScreenRight.
    w.camera.CameraX = -99;
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(w.Step());
    EXPECT_EQ(w.ch().X, 304);
    EXPECT_EQ(w.chars.CameraFollow, 1);
    // Turning away from the edge hands the walk back to the character at once; letting go of the
    // right arrow in the same frame makes that frame a standing one.
    w.keys.Hold(Key::Right, false);
    w.keys.Hold(Key::Left);
    ASSERT_TRUE(w.Step());
    EXPECT_EQ(w.chars.CameraFollow, 0);
    EXPECT_EQ(w.ch().X, 304);
    ASSERT_TRUE(w.Step());
    EXPECT_EQ(w.ch().X, 302);
}

TEST(CharWalker, MouseScrollingCarriesTheCharacterWithTheStage) {
    // Pointer near an edge of the view: the camera scrolls that way and the standing character slides
    // the other way on screen by the same distance, a frame later as the back layer does, once.
    struct Case {
        int px, py;
        float dx, dy;
    };
    for (const Case& c : {Case{310, 120, -15, 0}, Case{10, 120, 15, 0}, Case{160, 230, 0, -2.75f}}) {
        Walker w;
        w.stage.BoundLow = 100;
        w.ch().X = 160;
        w.camera.MouseScroll = 255;
        w.keys.pointer = {c.px, c.py};
        test::FakeClock clock;
        CameraKeys(w.stage, w.camera, w.frame, w.keys, clock, CameraArrowsFor(w.chars), nullptr);
        ASSERT_TRUE(w.Step());
        EXPECT_FLOAT_EQ(w.ch().X, 160) << "the elements drawn before it have not moved yet";
        ASSERT_TRUE(w.Step() && w.Step());
        EXPECT_FLOAT_EQ(w.ch().X, 160 + c.dx) << c.px << "," << c.py;
        EXPECT_FLOAT_EQ(w.ch().Y, 8 + c.dy) << c.px << "," << c.py;
        EXPECT_FLOAT_EQ(w.chars.GroundY, 12 + c.dy) << "the shadow's ground goes along";
    }
}

TEST(CharWalker, AFramePastTheTableDrawsNothingAndABrokenRecordSwitchesOff) {
    Walker w;
    w.ch().Actions[kSlotStand].Frames[0].SpriteIndex = 40;
    ASSERT_TRUE(w.Step());
    EXPECT_EQ(w.chars.DrawW, 0);
    w.ch().FrameIndex = 7;  // past the standing action's only frame
    EXPECT_FALSE(w.Step());
    EXPECT_EQ(w.chars.CharEnabled, 0);
    ASSERT_EQ(w.ui.boxes.size(), 1u);
    EXPECT_NE(w.ui.boxes[0].text.find("Char"), std::string::npos);
}

TEST(CharWalker, InitLoadsOnceAndPlacesAtThePlayerStart) {
    test::CharHarness h;
    TestCharSettings settings;
    settings.TestCharPath = h.Write(test::CharFiles{});
    CharState chars;
    CameraState camera;
    StageModel stage;
    stage.P1StartX = -70;
    stage.ZOffset = 0;
    stage.ZOffsetLink = 1;
    stage.Elements.resize(2);
    stage.Elements[1].PosY = 187;
    a_allegro_init();
    ASSERT_TRUE(InitChar(h.env, chars, settings, stage, camera));
    EXPECT_EQ(chars.CharLoaded, 255);
    EXPECT_EQ(settings.TestCharName, "Tester");
    EXPECT_EQ(h.ui.captions, std::vector<std::string>{"Loading Tester"});
    const TestCharacter& ch = chars.Characters[0];
    EXPECT_EQ(ch.X, 90);
    EXPECT_EQ(ch.Y, 187);  // no zoffset: the linked element's height
    EXPECT_EQ(chars.GroundY, 187);
    EXPECT_EQ(ch.FrameTime, 5);
    stage.ZOffset = 200;
    ASSERT_TRUE(InitChar(h.env, chars, settings, stage, camera));
    EXPECT_EQ(chars.Characters[0].Y, 200);
    EXPECT_EQ(h.ui.captions.size(), 1u);  // not loaded again

    ReleaseCharacter(chars.Characters, chars.CharCount, chars.CharLoaded);
    EXPECT_EQ(chars.CharLoaded, 0);
    for (const SpriteEntry& e : chars.Characters[0].Sprites) EXPECT_EQ(e.Bitmap, nullptr);

    settings.TestCharPath = h.dir.Dir() + "gone.def";
    chars.CharEnabled = 255;
    EXPECT_FALSE(InitChar(h.env, chars, settings, stage, camera));
    EXPECT_EQ(settings.TestCharPath, "");
    EXPECT_EQ(chars.CharEnabled, 0);
}

}  // namespace
}  // namespace qb

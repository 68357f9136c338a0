#include "render/draw_elements.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <memory>

#include "render/anim_pose.h"
#include "render/draw_modern.h"
#include "tests/render/render_fixture.h"
#include "tests/support/fakes.h"

namespace qb {
namespace {

using test::TinyStage;
using Rows = std::vector<std::string>;

struct Pass {
    test::FakeKeys keys;
    test::FakeClock clock;
    void Back(TinyStage& t) { Run(t, 0); }
    void Front(TinyStage& t) { Run(t, 255); }
    void Run(TinyStage& t, uint8_t layer) {
        t.frame.LayerPass = layer;
        FrameContext ctx{t.stage, t.camera, t.frame, t.backBuffer.get(), keys, clock};
        DrawElements(ctx);
    }
};

// Four 1x1 sprites R G B W; the pixel at (0, 0) shows which frame was drawn by each update.
struct AnimFixture {
    TinyStage t{1, 1};
    Pass pass;
    int16_t sprite[4];
    AnimFixture() {
        const char* letters = "RGBW";
        for (int i = 0; i < 4; ++i) sprite[i] = t.AddSprite({std::string(1, letters[i])});
    }
    std::string Run(int updates) {
        std::string seen;
        for (int i = 0; i < updates; ++i) {
            pass.Back(t);
            seen += t.Dump()[0][0];
        }
        return seen;
    }
};

TEST(DrawElements, FramesShowForTheirTimeAndMinusOneForEver) {
    AnimFixture f;
    f.t.AddAnim(
        f.t.AddAction({{f.sprite[0], 2, "", ""}, {f.sprite[1], 1, "", ""}, {f.sprite[2], -1, "", ""}}));
    EXPECT_EQ(f.Run(7), "RRGBBBB");
}

TEST(DrawElements, AnimationsLoopBackToTheirLoopStart) {
    AnimFixture f;
    f.t.AddAnim(
        f.t.AddAction({{f.sprite[0], 1, "", ""}, {f.sprite[1], 1, "", ""}, {f.sprite[2], 1, "", ""}}, 2));
    EXPECT_EQ(f.Run(7), "RGBGBGB");

    AnimFixture g;  // without a loopstart the animation starts over
    g.t.AddAnim(g.t.AddAction({{g.sprite[0], 1, "", ""}, {g.sprite[1], 1, "", ""}}));
    EXPECT_EQ(g.Run(5), "RGRGR");
}

TEST(DrawElements, ElementsOnBothLayersAnimateTwicePerFrame) {
    AnimFixture f;
    BgElement& e = f.t.AddAnim(
        f.t.AddAction({{f.sprite[0], 1, "", ""}, {f.sprite[1], 1, "", ""}, {f.sprite[2], 1, "", ""}}));
    e.LayerNo = -1;
    f.pass.Back(f.t);
    f.pass.Front(f.t);
    EXPECT_EQ(f.t.Dump()[0][0], 'G');  // two updates in one frame

    AnimFixture g;  // a front-layer element is skipped by the back pass
    g.t.AddAnim(g.t.AddAction({{g.sprite[0], 1, "", ""}, {g.sprite[1], 1, "", ""}})).LayerNo = 1;
    g.pass.Back(g.t);
    EXPECT_EQ(g.t.Dump()[0][0], 'K');
    g.pass.Front(g.t);
    EXPECT_EQ(g.t.Dump()[0][0], 'R');
}

TEST(DrawElements, DisabledElementsNeitherAnimateNorDrawButFollowTheCamera) {
    AnimFixture f;
    BgElement& e = f.t.AddAnim(f.t.AddAction({{f.sprite[0], 1, "", ""}, {f.sprite[1], 1, "", ""}}));
    e.Enabled = 0;
    f.t.camera.CameraX = -3;  // the camera moved right during the previous pass
    f.t.camera.HCamStep = 3;
    f.pass.Back(f.t);
    const BgElement& after = f.t.stage.Elements[0];
    EXPECT_EQ(f.t.Dump()[0][0], 'K');
    EXPECT_EQ(after.FrameIndex, 0);
    EXPECT_FLOAT_EQ(after.PosX, -3.0f);
}

// Sprite (axis at column 1, row 1, marked G):   RG.
//                                                RGB
// With its element at (4, 3) the axis line sits left of column 5 and above row 4; mirrored frames
// turn about that line and keep their place.
TEST(DrawElements, MirroredFramesStayOnTheirAxis) {
    struct Case {
        const char* flip;
        Rows expected;
    };
    const Case cases[] = {
        {"", {"KKKKKKKK", "KKKKRGKK", "KKKKRGBK"}},
        {"h", {"KKKKKKKK", "KKKKGRKK", "KKKBGRKK"}},
        {"v", {"KKKKKKKK", "KKKKRGBK", "KKKKRGKK"}},
        {"hv", {"KKKKKKKK", "KKKBGRKK", "KKKKGRKK"}},
    };
    for (const Case& c : cases) {
        TinyStage t(8, 6);
        Pass pass;
        int16_t s = t.AddSprite({"RG.", "RGB"}, 1, 1);
        t.AddAnim(t.AddAction({{s, 10, c.flip, ""}}), 4, 3);
        pass.Back(t);
        EXPECT_EQ(test::Dump(t.backBuffer.get(), 0, 2, 8, 3), c.expected) << "flip " << c.flip;
    }
}

// Tile runs on a 16-pixel view. Sprite RG (2x1), tile spacing 1: step 3.
TEST(DrawElements, TilingRunsBothWaysOrCountsTiles) {
    struct Case {
        int tileX;
        int tileY;
        const char* name;
        Rows expected;
    };
    const Case cases[] = {
        // forward from x = 3 while x <= 16, back from 0 while x >= -2
        {1, 0, "both ways", {"KKKKKKKKKKKKKKKK", "RGKRGKRGKRGKRGKR", "KKKKKKKKKKKKKKKK"}},
        {3, 0, "three", {"KKKKKKKKKKKKKKKK", "KKKRGKRGKRGKKKKK", "KKKKKKKKKKKKKKKK"}},
        {0, 2, "two down", {"KKKKKKKKKKKKKKKK", "KKKRGKKKKKKKKKKK", "KKKKKKKKKKKKKKKK", "KKKRGKKKKKKKKKKK"}},
        {2,
         2,
         "two by two",
         {"KKKKKKKKKKKKKKKK", "KKKRGKRGKKKKKKKK", "KKKKKKKKKKKKKKKK", "KKKRGKRGKKKKKKKK"}},
    };
    for (const Case& c : cases) {
        TinyStage t(16, static_cast<int>(c.expected.size()));
        Pass pass;
        int16_t s = t.AddSprite({"RG"});
        BgElement& e = t.AddElement("normal", s, 3, 1);
        e.TileX = c.tileX;
        e.TileY = c.tileY;
        e.TileSpacingX = 1;
        e.TileSpacingY = 1;
        pass.Back(t);
        EXPECT_EQ(t.Dump(), c.expected) << c.name;
    }
}

TEST(TilePositions, CountedRunsStepBySizePlusSpacing) {
    int32_t out[16];
    // A 50-pixel sprite with spacing 10, two tiles: x and x + 60.
    TileRun run{10, 60, 2, 50, 0, 320, 0, 320};
    ASSERT_EQ(TilePositions(run, out, 16), 2);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[1], 70);
}

TEST(TilePositions, RunsBothWaysGoForwardFirstThenBack) {
    int32_t out[16];
    TileRun run{5, 4, 1, 4, 0, 16, 0, 16};
    ASSERT_EQ(TilePositions(run, out, 16), 5);
    EXPECT_EQ(std::vector<int32_t>(out, out + 5), (std::vector<int32_t>{5, 9, 13, 1, -3}));
}

TEST(TilePositions, ZeroOrNegativeStepsDrawOneTile) {
    int32_t out[16];
    for (double step : {0.0, -5.0}) {
        TileRun infinite{5, step, 1, 4, 0, 16, 0, 16};
        EXPECT_EQ(TilePositions(infinite, out, 16), 1);
        TileRun counted{5, step, 7, 4, 0, 16, 0, 16};
        EXPECT_EQ(TilePositions(counted, out, 16), 1);
    }
}

TEST(TilePositions, TilesWhollyOutsideTheViewAreSkippedWithoutWalkingThem) {
    int32_t out[64];
    // 20000 tiles of 10 pixels starting far to the left: only the 32 on the view are produced.
    TileRun counted{-100000, 10, 20000, 10, 0, 320, 0, 320};
    ASSERT_EQ(TilePositions(counted, out, 64), 32);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[31], 310);
    // An endless run from far away gives the same tiles a short run would.
    TileRun endless{-1e8 - 3, 10, 1, 10, 0, 320, 0, 320};
    int n = TilePositions(endless, out, 64);
    EXPECT_EQ(n, 33);
    for (int i = 0; i < n; ++i) EXPECT_TRUE(out[i] > -10 && out[i] < 320) << out[i];
    // Tiles off the view on both sides of a one-way start.
    TileRun none{400, 10, 5, 10, 0, 320, 0, 320};
    EXPECT_EQ(TilePositions(none, out, 64), 0);
}

// Steps far below the tile size (an "anim" element without tilespacing steps by 1 pixel) draw every
// few tiles only: a handful stacked per pixel instead of thousands, still without a gap.
TEST(TilePositions, TinyStepsUnderBigTilesStayFewAndLeaveNoGap) {
    int32_t out[4096];
    struct Case {
        const char* name;
        TileRun run;
    };
    const Case cases[] = {
        {"both ways", {-700, 1, 1, 2000, 0, 320, 0, 320}},
        {"counted", {-1500, 1, 5000, 2000, 0, 320, 0, 320}},
        {"counted, ending on the view", {-2100, 1, 2200, 2000, 0, 320, 0, 320}},
    };
    for (const Case& c : cases) {
        const int n = TilePositions(c.run, out, 4096);
        std::vector<int32_t> xs(out, out + n);
        std::sort(xs.begin(), xs.end());
        // 2000-pixel tiles a step of 500 apart (4 on a pixel) reach over 2320 pixels in 5 or 6 tiles.
        EXPECT_LE(n, 7) << c.name;
        ASSERT_GT(n, 0) << c.name;
        EXPECT_LE(xs.front(), 0) << c.name;
        for (size_t i = 1; i < xs.size(); ++i) EXPECT_LE(xs[i] - xs[i - 1], 2000) << c.name;
        // As far right as the run itself reaches.
        const double runEnd =
            c.run.count >= 2 ? c.run.start + (c.run.count - 1) * c.run.step + c.run.size : 1e9;
        EXPECT_GE(xs.back() + 2000, std::min(320.0, runEnd)) << c.name;
    }
    // Overlaps real stages use (a quarter of the tile or more) keep every tile.
    TileRun quarter{0, 16, 1, 64, 0, 320, 0, 320};
    EXPECT_EQ(TilePositions(quarter, out, 4096), 20 + 3);
}

TEST(DrawElements, AnimTilesWithZeroSpacingDrawOnceAndEnd) {
    TinyStage t(4, 1);
    Pass pass;
    int16_t s = t.AddSprite({"R"});
    BgElement& e = t.AddAnim(t.AddAction({{s, 5, "", ""}}), 1, 0);
    e.TileX = 1;
    e.TileY = 1;
    e.TileSpacingX = 0;
    e.TileSpacingY = 0;
    pass.Back(t);
    EXPECT_EQ(t.Dump(), (Rows{"KRKK"}));
}

TEST(DrawElements, VelocityControllerOffsetsAndSinesMoveElements) {
    TinyStage t(8, 1);
    Pass pass;
    int16_t s = t.AddSprite({"R"});
    BgElement& e = t.AddElement("normal", s, 0, 0);
    e.VelocityX = 1;
    e.CtrlVelX = 0.5f;
    pass.Back(t);  // drawn at 0 + 0.5 (rounds to 0)
    EXPECT_EQ(t.Dump(), (Rows{"RKKKKKKK"}));
    t.Clear();
    pass.Back(t);  // PosX 1, CtrlOffX 1: x 2
    EXPECT_EQ(t.Dump(), (Rows{"KKRKKKKK"}));

    // A sine with period 60 runs through a whole swing in 60 updates, at its peak after a quarter.
    BgElement& swing = t.stage.Elements[0];
    swing.SinXAmp = 10;
    swing.SinXPeriod = 60;
    swing.SinXPhase = 0;
    for (int i = 0; i < 16; ++i) pass.Back(t);
    EXPECT_NEAR(t.stage.Elements[0].SinOffX, 10, 1e-4);
    for (int i = 16; i < 60; ++i) pass.Back(t);
    EXPECT_EQ(t.stage.Elements[0].SinXPhase, 0);
}

// Element 1 is an invisible dummy holding a sine displacement (1.4, 2.6); element 2 is linked to it
// at (2, 2) and lands at (3, 5). The stage's zoffsetlink names element 1.
TEST(DrawElements, LinkedElementsSwingWithTheirParentAndZOffsetLinkReportsIt) {
    TinyStage t(8, 8);
    Pass pass;
    int16_t s = t.AddSprite({"R"});
    t.AddElement("normal", s, 7, 7);
    BgElement& parent = t.AddElement("dummy", s, 0, 0);
    parent.Visible = 0;
    parent.SinOffX = 1.4f;
    parent.SinOffY = 2.6f;
    BgElement& child = t.AddElement("normal", s, 2, 2);
    child.PositionLink = 1;
    child.LinkParent = 1;
    t.stage.ZOffsetLink = 1;
    pass.Back(t);
    EXPECT_EQ(test::ColorLetter(a_getpixel(t.backBuffer.get(), 3, 5)), 'R');
    EXPECT_EQ(test::ColorLetter(a_getpixel(t.backBuffer.get(), 0, 0)), 'K');  // the dummy is not drawn
    EXPECT_EQ(t.frame.LinkOffsetY, 3);

    // Unlinked, the child uses its own (zero) sine.
    t.Clear();
    t.stage.Elements[2].PositionLink = 0;
    pass.Back(t);
    EXPECT_EQ(test::ColorLetter(a_getpixel(t.backBuffer.get(), 2, 2)), 'R');
}

TEST(DrawElements, ElementsFollowTheCameraByTheirDeltaTimesTheStep) {
    TinyStage t(4, 4);
    Pass pass;
    int16_t s = t.AddSprite({"R"});
    BgElement& near = t.AddElement("normal", s, 100, 50);
    near.DeltaX = 0.5f;
    near.DeltaY = 2;
    t.AddElement("parallax", s, 100, 50);
    t.AddElement("normal", -1, 100, 50);  // no sprite: still follows
    t.camera.HCamStep = 4;
    t.camera.VCamStep = 3;
    t.camera.CameraX = -1;  // moved right (by any distance) and down since the last pass
    t.camera.CameraY = 1;
    pass.Back(t);
    EXPECT_FLOAT_EQ(t.stage.Elements[0].PosX, 98);   // 100 - 0.5 * 4
    EXPECT_FLOAT_EQ(t.stage.Elements[0].PosY, 44);   // 50 - 2 * 3
    EXPECT_FLOAT_EQ(t.stage.Elements[1].PosX, 100);  // floors scroll from CameraX itself
    EXPECT_FLOAT_EQ(t.stage.Elements[1].PosY, 47);
    EXPECT_FLOAT_EQ(t.stage.Elements[2].PosX, 96);
    EXPECT_EQ(t.camera.PrevCameraX, -1);
    // No camera motion since: nothing moves.
    pass.Back(t);
    EXPECT_FLOAT_EQ(t.stage.Elements[0].PosX, 98);
    // Moving left.
    t.camera.CameraX = 5;
    pass.Back(t);
    EXPECT_FLOAT_EQ(t.stage.Elements[0].PosX, 100);
}

// The camera moves half a unit; an element on a sprite with axis 3,2 then stands at 96.5 units plus
// a controller offset of 0.25. Older stages snap it to a whole unit before adding the offset, 1.0
// stages keep the fraction to the pixel, and hires stages double the units but not the axis; their
// layers follow the camera at half its travel (96.75 units, 99.75 + 0.25 at the axis).
TEST(DrawElements, ModernStagesPlaceByUnitsScaleAndFractions) {
    struct Case {
        const char* name;
        bool modern;
        int32_t localW, localH;
        int16_t hires;
        float mugenVersion;
        uint8_t sffMajor, sffMinor;
        int pictureWidth;
        int32_t x, y;
    };
    const Case cases[] = {
        {"classic", false, 320, 240, 0, 0, 1, 0, 320, 96, 8},
        {"localcoord, old", true, 400, 300, 0, 0, 1, 0, 400, 136, 8},
        {"localcoord, 1.0", true, 400, 300, 0, 1.0f, 1, 0, 400, 137, 8},
        {"sff 2.00", true, 400, 300, 0, 0, 2, 0, 400, 136, 8},
        {"sff 2.01", true, 400, 300, 0, 0, 2, 1, 400, 137, 8},
        {"hires", true, 320, 240, 1, 0, 1, 0, 640, 197, 18},
        {"hires, 1.0", true, 320, 240, 1, 1.0f, 1, 0, 640, 197, 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TinyStage t(4, 4);
        Pass pass;
        const int16_t s = t.AddSprite({"R"}, 3, 2);
        BgElement& e = t.AddElement("normal", s, 97, 8);  // start 100,10 less the axis, as loaded
        e.CtrlOffX = 0.25f;
        t.stage.LocalCoordW = c.localW;
        t.stage.LocalCoordH = c.localH;
        t.stage.Hires = c.hires;
        t.stage.MugenVersion = c.mugenVersion;
        t.stage.SffMajor = c.sffMajor;
        t.stage.SffMinor = c.sffMinor;
        EXPECT_EQ(IsModernStage(t.stage), c.modern);
        const PictureSize size = ModernPictureSize(t.stage);
        if (c.modern) {
            EXPECT_EQ(size.width, c.pictureWidth);
        }
        Picture32 picture(size.width, size.height);
        t.camera.HCamStep = 0.5f;
        t.camera.CameraX = -0.5f;  // moved right by half a unit since the last pass
        t.frame.LayerPass = 0;
        FrameContext ctx{t.stage, t.camera, t.frame, t.backBuffer.get(), pass.keys, pass.clock};
        ctx.picture = c.modern ? &picture : nullptr;
        DrawElements(ctx);  // draws, then follows the camera
        DrawElements(ctx);
        EXPECT_EQ(t.frame.Drawn[0].x, c.x);
        EXPECT_EQ(t.frame.Drawn[0].y, c.y);
    }
}

// A floor whose rows are stretched (width = 16 over an 8-pixel sprite) is stretched about the
// picture's own centre: its tiles must reach both edges of a 1280-wide picture.
TEST(DrawElements, StretchedFloorTilesReachBothEdgesOfAWidePicture) {
    TinyStage t(4, 4);
    Pass pass;
    const int16_t s = t.AddSprite({"RRRRRRRR"});
    auto picture = std::make_shared<Sff2Picture>();
    picture->width = 8;
    picture->height = 1;
    picture->size = 8;
    picture->bytes = std::make_unique<uint8_t[]>(8);
    std::fill_n(picture->bytes.get(), 8, uint8_t{200});
    t.stage.Sprites[s].Picture = picture;
    BgElement& floor = t.AddElement("parallax", s, 0, 0);
    floor.WidthGiven = 1;
    floor.XScaleTop = floor.XScaleBottom = 16;
    floor.YScaleStart = 100;
    floor.TileX = 1;
    t.stage.LocalCoordW = 1280;
    Picture32 out(1280, 4);
    ClearPicture32(out);
    t.frame.LayerPass = 0;
    FrameContext ctx{t.stage, t.camera, t.frame, t.backBuffer.get(), pass.keys, pass.clock};
    ctx.picture = &out;
    DrawElements(ctx);
    for (int x : {0, 639, 640, 1279}) EXPECT_EQ(out.Row(0)[x], 0xFFC8C8C8u) << "x " << x;
}

// A 4 x 2 sprite with its axis at its bottom centre stands on the ground line (zoffset 200) of a
// 400 x 300 picture, its axis 60 pixels left of the centre at zoom 1. Zoom moves the axis about the
// centre and the ground and sizes the sprite; scalestart and scaledelta size it about its axis.
TEST(DrawElements, ZoomAndScaleMoveAndSizeSpritesAboutTheCentreAndTheGround) {
    struct Case {
        const char* name;
        float zoom, zoomDelta, startX, startY, deltaX;
        float cameraX;  // the camera's movement from its start, in units
        int16_t tileX;
        int x0, y0, x1, y1;  // the drawn box, right and bottom excluded
    };
    const Case cases[] = {
        {"zoom 1", 1, 1, 1, 1, 0, 0, 0, 138, 198, 142, 200},
        {"zoom 2", 2, 1, 1, 1, 0, 0, 0, 76, 196, 84, 200},
        {"zoom 0.5", 0.5f, 1, 1, 1, 0, 0, 0, 169, 199, 171, 200},
        {"zoomdelta 0 stays", 2, 0, 1, 1, 0, 0, 0, 138, 198, 142, 200},
        {"zoomdelta 0.5 at 2 is 1.5", 2, 0.5f, 1, 1, 0, 0, 0, 107, 197, 113, 200},
        {"scalestart 2,1", 1, 1, 2, 1, 0, 0, 0, 136, 198, 144, 200},
        {"scaledelta .01 after 50 units", 1, 1, 1, 1, 0.01f, 50, 0, 137, 198, 143, 200},
        {"scalestart 2,2 at zoom 2", 2, 1, 2, 2, 0, 0, 0, 72, 192, 88, 200},
        {"tiles cover the wider view", 0.5f, 1, 1, 1, 0, 0, 1, 0, 199, 400, 200},
        {"zoomdelta NaN counts as 1", 2, std::numeric_limits<float>::quiet_NaN(), 1, 1, 0, 0, 0, 76, 196, 84, 200},
        {"scalestart 1e30 stops at 64", 1, 1, 1e30f, 1e30f, 0, 0, 0, 12, 72, 268, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TinyStage t(4, 4);
        Pass pass;
        const int16_t s = t.AddSprite({"RRRR", "RRRR"}, 2, 2);
        BgElement& e = t.AddElement("normal", s, 98, 198);  // axis at 100,200 less the sprite's axis
        e.DeltaX = e.DeltaY = 0;
        e.ZoomDelta = c.zoomDelta;
        e.ScaleStartX = c.startX;
        e.ScaleStartY = c.startY;
        e.ScaleDeltaX = c.deltaX;
        e.TileX = c.tileX;
        t.stage.LocalCoordW = 400;
        t.stage.LocalCoordH = 300;
        t.stage.ZOffset = 200;
        t.camera.ViewRight = 400;
        t.camera.ViewBottom = 300;
        t.camera.Zoom = c.zoom;
        t.camera.CameraX = t.camera.PrevCameraX = -c.cameraX;
        Picture32 picture(400, 300);
        ClearPicture32(picture);
        t.frame.LayerPass = 0;
        FrameContext ctx{t.stage, t.camera, t.frame, t.backBuffer.get(), pass.keys, pass.clock};
        ctx.picture = &picture;
        DrawElements(ctx);
        int x0 = 400, y0 = 300, x1 = 0, y1 = 0;
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x)
                if (picture.Row(y)[x] != 0xFF000000u) {
                    x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x + 1), y1 = std::max(y1, y + 1);
                }
        EXPECT_EQ(x0, c.x0);
        EXPECT_EQ(y0, c.y0);
        EXPECT_EQ(x1, c.x1);
        EXPECT_EQ(y1, c.y1);
        if (c.tileX == 0) {
            // Picking reads where the element landed.
            EXPECT_EQ(t.frame.Drawn[0].x, c.x0);
            EXPECT_EQ(t.frame.Drawn[0].y, c.y0);
        } else {
            for (int x = 0; x < 400; ++x) ASSERT_NE(picture.Row(199)[x], 0xFF000000u) << "gap at " << x;
        }
    }
}

// Values no sane stage has but broken files and the editor can produce: the pass skips or bounds
// them and still draws the well-formed element at the end.
TEST(DrawElements, HostileValuesNeitherCrashNorHang) {
    TinyStage t(16, 8);
    Pass pass;
    int16_t s = t.AddSprite({"RG", "BW"});
    int32_t empty = t.AddAction({{s, 1, "", ""}});
    t.stage.Actions[empty].Frames.clear();
    int32_t badFrame = t.AddAction({{static_cast<int16_t>(900), 1, "", ""}});

    t.AddAnim(badFrame).ActionIndex = 77;     // an action number that matched nothing
    t.AddAnim(badFrame).ActionIndex = empty;  // an action without frames
    t.AddAnim(badFrame);                      // a frame whose sprite is past the table
    t.AddAnim(badFrame).FrameIndex = 40;      // a frame index past the frames
    t.AddElement("normal", 500);              // a sprite past the table
    BgElement& far = t.AddElement("normal", s, 1e30f, -1e30f);
    far.VelocityX = 1e30f;
    far.TileX = far.TileY = 1;
    BgElement& nan = t.AddElement("normal", s, 2, 2);
    nan.DeltaX = std::nanf("");
    nan.SinXAmp = 5;
    nan.SinXPeriod = std::nanf("");
    BgElement& many = t.AddElement("normal", s, -3, 0);
    many.TileX = 999999;
    many.TileY = 999999;
    many.TileSpacingX = -50;
    BgElement& window = t.AddElement("normal", s, 0, 0);
    window.HasWindow = 1;
    window.WindowX1 = -1e9f;
    window.WindowX2 = 1e9f;
    window.WindowY1 = 5;
    window.WindowY2 = 4;  // upside down
    BgElement& linked = t.AddElement("normal", s, 0, 0);
    linked.PositionLink = 1;
    linked.LinkParent = 3000;
    for (const char* type : {"parallax", "parallax", "parallax"}) {
        BgElement& floor = t.AddElement(type, s, -5, 0);
        floor.YScaleStart = 0;
        floor.XScaleTop = 0;
        floor.TileX = 1;
    }
    t.stage.Elements[t.stage.Elements.size() - 2].WidthGiven = 1;
    t.stage.Elements[t.stage.Elements.size() - 1].WidthGiven = 1;
    t.stage.Elements[t.stage.Elements.size() - 1].XScaleTop = -4;
    t.stage.Elements[t.stage.Elements.size() - 1].XScaleBottom = 1e9f;
    t.camera.CameraX = t.camera.PrevCameraX = 1e20f;
    t.camera.CameraY = t.camera.PrevCameraY = -1e20f;
    t.AddElement("normal", s, 14, 6);  // well formed, last
    for (int i = 0; i < 10; ++i) {
        pass.Back(t);
        pass.Front(t);
    }
    EXPECT_EQ(test::Dump(t.backBuffer.get(), 14, 6, 2, 2), (Rows{"RG", "BW"}));
}

// A modern stage (version 2 sprites, one unit a pixel) with one anim element on sprite RG/BW whose
// axis (1,1) stands at (axisX, 4) of an 8 x 8 picture.
struct ModernAnim {
    TinyStage t{8, 8};
    Pass pass;
    Picture32 picture{8, 8};
    int16_t sprite;
    ModernAnim() {
        t.stage.SffMajor = 2;
        sprite = t.AddSprite({"RG", "BW"}, 1, 1);
    }
    BgElement& Add(const std::vector<TinyStage::Frame>& frames, float axisX = 4) {
        return t.AddAnim(t.AddAction(frames), axisX - 1, 3);
    }
    BgFrame& FrameOf(size_t i) { return t.stage.Actions.back().Frames[i]; }
    void Run() {
        ClearPicture32(picture);
        t.frame.LayerPass = 0;
        FrameContext ctx{t.stage, t.camera, t.frame, t.backBuffer.get(), pass.keys, pass.clock};
        ctx.picture = &picture;
        DrawElements(ctx);
    }
};

// Scaled, mirrored and turned frames hang from their axis; one scaled so far left of the view that its
// own rectangle is out of sight still reaches into it.
TEST(DrawElements, ScaledAndTurnedFramesDrawAboutTheirAxis) {
    struct Case {
        float scaleX, scaleY, angle, axisX;
        const char* flip;
        Rows expected;  // rows 2 to 4
    } cases[] = {
        {2, 2, 0, 4, "h", {"KKGGRRKK", "KKGGRRKK", "KKWWBBKK"}},
        {1, 1, 90, 4, "", {"KKKKKKKK", "KKKGWKKK", "KKKRBKKK"}},
        {4, 1, 0, -3, "", {"KKKKKKKK", "GKKKKKKK", "WKKKKKKK"}},
    };
    for (const Case& c : cases) {
        ModernAnim m;
        m.Add({{m.sprite, -1, c.flip, ""}}, c.axisX);
        m.FrameOf(0).ScaleX = c.scaleX;
        m.FrameOf(0).ScaleY = c.scaleY;
        m.FrameOf(0).Angle = c.angle;
        m.Run();
        Rows got;
        for (int y = 2; y <= 4; ++y) {
            got.emplace_back();
            for (int x = 0; x < 8; ++x) {
                const uint32_t p = m.picture.Row(y)[x];  // back to 5-6-5 for the layout letters
                got.back() += test::ColorLetter(
                    static_cast<int>((p >> 19 & 31) << 11 | (p >> 10 & 63) << 5 | (p >> 3 & 31)));
            }
        }
        EXPECT_EQ(got, c.expected) << c.angle << " " << c.scaleX;
    }
}

// "Interpolate" on frame 1 moves frame 0's offset, scale, angle and add weights toward frame 1's over
// frame 0's four ticks; frame 1 then shows its own values, and frame 2 (no line before it) is not
// approached.
TEST(DrawElements, InterpolatedValuesMoveEachTickTowardTheNextFrame) {
    ModernAnim m;
    BgElement& e = m.Add({{m.sprite, 4, "", ""}, {m.sprite, 2, "", "as0d256"}, {m.sprite, 2, "", ""}});
    m.FrameOf(1).OffsetX = 8;
    m.FrameOf(1).OffsetY = -4;
    m.FrameOf(1).ScaleX = 3;
    m.FrameOf(1).ScaleY = 2;
    m.FrameOf(1).Angle = 90;
    m.FrameOf(1).Interpolate = kInterpolateOffset | kInterpolateScale | kInterpolateAngle | kInterpolateBlend;
    m.FrameOf(2).OffsetX = 100;
    struct Tick {
        double offsetX, offsetY, scaleX, scaleY, angle;
        int s, d;
        bool operator==(const Tick&) const = default;
    } ticks[] = {
        {0, 0, 1, 1, 0, 256, 0},           {2, -1, 1.5, 1.25, 22.5, 192, 64}, {4, -2, 2, 1.5, 45, 128, 128},
        {6, -3, 2.5, 1.75, 67.5, 64, 192}, {8, -4, 3, 2, 90, 0, 256},         {8, -4, 3, 2, 90, 0, 256},
        {100, 0, 1, 1, 0, 256, 0},
    };
    for (size_t i = 0; i < std::size(ticks); ++i) {
        m.Run();
        const FramePose pose = PoseOf(m.t.stage.Actions.back(), e, true);
        const Tick& want = ticks[i];
        const Tick got{pose.offsetX, pose.offsetY, pose.scaleX, pose.scaleY,
                       pose.angle,   pose.blend.s, pose.blend.d};
        EXPECT_TRUE(got == want) << "tick " << i << ": " << got.offsetX << "," << got.offsetY << " scale "
                                 << got.scaleX << "," << got.scaleY << " angle " << got.angle << " blend "
                                 << got.s << "," << got.d;
        EXPECT_EQ(m.t.frame.Drawn[0].x, std::lround(3 + want.offsetX)) << "tick " << i;  // placed by it
    }
}

// Scales of 1e9 on tiles run both ways 1 pixel apart stop after a few pictures' worth of pixels; zero,
// infinite and NaN values draw nothing.
TEST(DrawElements, HostileFrameScalesCostABoundedAmountOfWork) {
    const float cases[][3] = {  // x scale, y scale, angle
        {1e9f, 1e9f, 30}, {-1e9f, 1, 1e9f}, {0, 1, 0}, {NAN, 1, 0}, {1, 1, NAN}, {INFINITY, 1, 0}};
    for (const auto& c : cases) {
        ModernAnim m;
        BgElement& e = m.Add({{m.sprite, -1, "", "a"}});
        e.TileX = e.TileY = 1;
        m.FrameOf(0).ScaleX = c[0];
        m.FrameOf(0).ScaleY = c[1];
        m.FrameOf(0).Angle = c[2];
        m.Run();
        EXPECT_LE(m.t.frame.DrawnPixels, std::fabs(c[0]) > 1 && std::isfinite(c[0]) ? 9 * 64 : 0) << c[0];
    }
}

// Each case is one element on the real 320 x 240 view with a 400 x 300 sprite and values a broken or
// hostile file can hold. Whatever they are, a pass makes a bounded number of drawing calls: without
// the bounds these cases take from hundreds of thousands of calls to seconds per call.
TEST(DrawElements, HostileValuesCostABoundedNumberOfDrawingCalls) {
    struct Case {
        const char* name;
        const char* type;
        void (*set)(BgElement&);
    };
    const Case cases[] = {
        {"anim tiled both ways without tilespacing", "anim", [](BgElement& e) { e.TileX = e.TileY = 1; }},
        {"anim counted tiles without tilespacing", "anim", [](BgElement& e) { e.TileX = e.TileY = 30000; }},
        {"tiles overlapping to a 1-pixel step", "normal",
         [](BgElement& e) {
             e.TileX = e.TileY = 1;
             e.TileSpacingX = -399;
             e.TileSpacingY = -299;
         }},
        {"huge counts, negative spacing", "normal",
         [](BgElement& e) {
             e.TileX = e.TileY = 2147483647;
             e.TileSpacingX = -399;
             e.TileSpacingY = -1000;
         }},
        {"floor width 4294967296", "parallax",
         [](BgElement& e) {
             e.WidthGiven = 1;
             e.XScaleTop = e.XScaleBottom = 4294967296.0f;
             e.TileX = 1;
         }},
        {"floor width 2147483647 masked", "parallax",
         [](BgElement& e) {
             e.WidthGiven = 1;
             e.Mask = 1;
             e.XScaleTop = 1;
             e.XScaleBottom = 2147483647.0f;
             e.TileX = 1;
         }},
        {"floor rows of zero and huge steps", "parallax",
         [](BgElement& e) {
             e.YScaleStart = 0;
             e.YScaleDelta = 1e30f;
             e.DeltaX = 1e30f;
             e.TileX = e.TileY = 1;
         }},
        {"velocities, sines and offsets", "normal",
         [](BgElement& e) {
             e.VelocityX = 1e30f;
             e.CtrlVelY = -1e30f;
             e.SinXAmp = 3e38f;
             e.SinXPeriod = 1e-30f;
             e.TileX = e.TileY = 1;
         }},
        {"window from end to end", "normal",
         [](BgElement& e) {
             e.HasWindow = 1;
             e.WindowX1 = e.WindowY1 = -1e9f;
             e.WindowX2 = e.WindowY2 = 1e9f;
         }},
    };
    std::vector<std::string> big(300, std::string(400, 'R'));
    for (int y = 0; y < 300; y += 2) big[y][static_cast<size_t>(y)] = '.';
    for (const Case& c : cases) {
        TinyStage t(320, 240);
        Pass pass;
        int16_t s = t.AddSprite(big, 10, 10);
        BgElement& e = std::string(c.type) == "anim" ? t.AddAnim(t.AddAction({{s, 5, "h", "a"}}), 100, 50)
                                                     : t.AddElement(c.type, s, 100, 50);
        if (std::string(c.type) == "anim") e.TileSpacingX = e.TileSpacingY = 1;
        c.set(e);
        t.camera.CameraY = 30;
        for (int frame = 0; frame < 3; ++frame) {
            GfxTimingReset();
            pass.Back(t);
            pass.Front(t);
            // Tiles: 3 calls for each of a few dozen; floors: a call per view row for each of a
            // couple of tiles.
            EXPECT_LE(GfxDrawCalls(), 1000) << c.name << ", frame " << frame;
        }
    }
}

}  // namespace
}  // namespace qb

#include "render/setup_overlays.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "render/camera.h"

namespace qb {
namespace {

// The segments of one overlay, and the smallest and largest x and y they reach.
struct Extent {
    int count = 0;
    int32_t left = INT32_MAX, right = INT32_MIN, top = INT32_MAX, bottom = INT32_MIN;
};
Extent ExtentOf(const std::vector<OverlaySegment>& segments, SetupOverlay what, uint32_t rgb = 0) {
    Extent e;
    for (const OverlaySegment& s : segments) {
        if (s.what != what || (rgb != 0 && s.rgb != rgb)) continue;
        ++e.count;
        e.left = std::min({e.left, s.x0, s.x1});
        e.right = std::max({e.right, s.x0, s.x1});
        e.top = std::min({e.top, s.y0, s.y1});
        e.bottom = std::max({e.bottom, s.y0, s.y1});
    }
    return e;
}

StageModel KfmLike() {
    StageModel stage;
    stage.BoundLeft = -150;
    stage.BoundRight = 150;
    stage.BoundHigh = -20;
    stage.BoundLow = 0;
    stage.ZOffset = 200;
    stage.P1StartX = -70;
    stage.P2StartX = 70;
    stage.ScreenLeft = stage.ScreenRight = 15;
    return stage;
}

TEST(SetupOverlays, GeometryFollowsTheStageTheCameraAndTheZoom) {
    // A 640 x 360 modern stage (one pixel a unit) zooming from 0.5 to 2, the floor at row 300 (the
    // zoom's pivot row), the camera moved `camX` right and `camY` up.
    struct Case {
        double zoom;
        float camX, camY;
        int p1x, p2x, floorY, reachLeft, reachTop, screenLeft, leftBoundX;
    };
    const Case cases[] = {
        // Zoom 1: p1 at 320 - 70; the view's left edge reaches boundleft less the half-width at
        // zoomout (640 units), which zoomed in is where the camera keys let it go (320 - 790); the
        // view's top row can rise 20 above the view at camera y 0; screenleft 15 pixels in.
        {1.0, 0, 0, 250, 390, 300, -470, -20, 15, -680},
        // Zoomed out to 0.5 about (320, 300): every x halves its distance to 320; the floor row
        // is the pivot and stays; the view's top reaches 300 rows higher than at zoom 1.
        {0.5, 0, 0, 285, 355, 300, -75, -10, 8, -1},
        // Zoom 2 doubles the distances.
        {2.0, 0, 0, 180, 460, 300, -1260, -40, 30, -1},
        // The camera 50 right and 10 up at zoom 1: the stage moves 50 left and 10 down.
        {1.0, 50, -10, 200, 340, 310, -520, -10, 15, -730},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoom);
        StageModel stage = KfmLike();
        stage.SffMajor = 2;
        stage.LocalCoordW = 640;
        stage.LocalCoordH = 360;
        stage.ZOffset = 300;
        stage.ZoomOut = 0.5f;
        stage.ZoomIn = 2;
        CameraState camera;
        ApplyZoomRange(stage, camera, false);
        camera.Zoom = static_cast<float>(c.zoom);
        camera.CameraX = -c.camX;
        camera.CameraY = c.camY;
        const FrameState frame;
        OverlayPicture view{640, 360, 1, c.zoom};
        const auto segments = SetupOverlaySegments(stage, camera, frame, view, 0x3F, -1);
        // The flag posts stand on the start's x.
        const Extent p1 = ExtentOf(segments, kOverlayStarts, 0xFF4040), p2 = ExtentOf(segments, kOverlayStarts, 0x40A0FF);
        EXPECT_EQ(p1.left + 4, c.p1x);
        EXPECT_EQ(p2.right - 4, c.p2x);
        EXPECT_EQ(p1.bottom - 4, c.floorY);
        const Extent floor = ExtentOf(segments, kOverlayFloor);
        EXPECT_EQ(floor.top, c.floorY);
        EXPECT_EQ(floor.left, 0);
        EXPECT_EQ(floor.right, 639);
        const Extent reach = ExtentOf(segments, kOverlayBounds, 0xFFFF00);
        EXPECT_EQ(reach.left, c.reachLeft);
        EXPECT_EQ(reach.top, c.reachTop);
        // Away from zoomout the zoomout reach is drawn too: as far out sideways, not as high.
        const Extent zoomOutReach = ExtentOf(segments, kOverlayBounds, 0xFF9000);
        EXPECT_EQ(zoomOutReach.count, c.zoom == 0.5 ? 0 : 4);
        if (c.zoom != 0.5) {
            EXPECT_EQ(zoomOutReach.left, c.reachLeft);
        }
        EXPECT_EQ(ExtentOf(segments, kOverlayMoveBounds, 0x40FF40).left, c.screenLeft);
        if (c.leftBoundX != -1) {
            EXPECT_EQ(ExtentOf(segments, kOverlayMoveBounds, 0xFF40FF).left, c.leftBoundX);
        }
        // 640 x 360 is wider than 4:3: the 480-wide frame in the middle; zoomed, the zoom-1 view too.
        const Extent frame43 = ExtentOf(segments, kOverlayScreen, 0x00E0FF);
        EXPECT_EQ(frame43.left, 80);
        EXPECT_EQ(frame43.right, 559);
        EXPECT_EQ(ExtentOf(segments, kOverlayScreen, 0x0080FF).count, c.zoom == 1.0 ? 0 : 4);
    }
}

TEST(SetupOverlays, ClassicPictureLinkedFloorAndElement) {
    StageModel stage = KfmLike();
    stage.P2Facing = 1;
    CameraState camera;
    FrameState frame;
    const OverlayPicture view = OverlayPictureFor(stage, camera, nullptr);
    auto segments = SetupOverlaySegments(stage, camera, frame, view, kOverlayStarts | kOverlayBounds, -1);
    // Classic picture: 160 is the stage's centre; p2 faces right as its line says: its flag
    // points right of its post like p1's.
    EXPECT_EQ(ExtentOf(segments, kOverlayStarts, 0xFF4040).left, 86);
    EXPECT_EQ(ExtentOf(segments, kOverlayStarts, 0x40A0FF).right, 230 + 12);
    // The view's reach: boundleft less half the view.
    EXPECT_EQ(ExtentOf(segments, kOverlayBounds, 0xFFFF00).left, -150);

    // zoffset 0 with zoffsetlink: the floor follows the linked element's row and sine offset.
    stage.ZOffset = 0;
    stage.ZOffsetLink = 1;
    stage.Elements.resize(2);
    stage.Elements[1].PosY = 180;
    frame.LinkOffsetY = 5;
    EXPECT_EQ(ExtentOf(SetupOverlaySegments(stage, camera, frame, view, kOverlayFloor, -1), kOverlayFloor).top, 185);

    // The selected element: its drawn box, the axis inside it and its maskwindow (from the
    // view's top centre, right and bottom edges left out).
    stage.Sprites.resize(1);
    stage.Sprites[0].Width = 40;
    stage.Sprites[0].Height = 20;
    stage.Sprites[0].AxisX = 10;
    stage.Sprites[0].AxisY = 20;
    frame.Drawn.resize(2);
    frame.Drawn[1] = DrawnElement{0, 100, 50, -1, -1, 1};
    BgElement& e = stage.Elements[1];
    e.HasWindow = 1;
    e.WindowKind = 2;
    e.WindowValues = 4;
    e.WindowX1 = -20;
    e.WindowX2 = 20;
    e.WindowY1 = 10;
    e.WindowY2 = 30;
    segments = SetupOverlaySegments(stage, camera, frame, view, kOverlayElement, 1);
    const Extent box = ExtentOf(segments, kOverlayElement, 0xFFFFFF);
    EXPECT_EQ(box.left, 100);
    EXPECT_EQ(box.right, 139);
    EXPECT_EQ(box.bottom, 69);
    const Extent axis = ExtentOf(segments, kOverlayElement, 0xFF2020);
    EXPECT_EQ((axis.left + axis.right) / 2, 110);
    EXPECT_EQ((axis.top + axis.bottom) / 2, 70);
    const Extent window = ExtentOf(segments, kOverlayElement, 0xC060FF);
    EXPECT_EQ(window.left, 140);
    EXPECT_EQ(window.right, 179);
    EXPECT_EQ(window.top, 10);
    EXPECT_EQ(window.bottom, 29);
    // Nothing selected, or out of range: no element marks.
    EXPECT_TRUE(SetupOverlaySegments(stage, camera, frame, view, kOverlayElement, 7).empty());
}

TEST(SetupOverlays, NamesAndDrawingStayInsideThePicture) {
    std::string error;
    EXPECT_EQ(ParseOverlayNames("Bounds, floor", error), kOverlayBounds | kOverlayFloor);
    EXPECT_EQ(ParseOverlayNames("all", error), 0x3F);
    EXPECT_FALSE(ParseOverlayNames("bounds,sky", error));
    EXPECT_NE(error.find("\"sky\""), std::string::npos);

    // Far-off and slanted segments are clipped; nothing is written outside the picture.
    Picture32 picture(8, 6);
    const std::vector<OverlaySegment> segments = {{-5000000, 2, 5000000, 2, 0x123456, kOverlayFloor},
                                                  {3, -10, 3, 100, 0xABCDEF, kOverlayMoveBounds},
                                                  {-3, -3, 10, 10, 0x00FF00, kOverlayStarts}};
    DrawOverlaySegments(picture, segments);
    EXPECT_EQ(picture.Pixels[2 * 8 + 0], 0xFF123456u);
    EXPECT_EQ(picture.Pixels[2 * 8 + 7], 0xFF123456u);
    EXPECT_EQ(picture.Pixels[5 * 8 + 3], 0xFFABCDEFu);
    EXPECT_EQ(picture.Pixels[4 * 8 + 4], 0xFF00FF00u);
    EXPECT_EQ(picture.Pixels[0 * 8 + 7], 0xFF000000u);
}

}  // namespace
}  // namespace qb

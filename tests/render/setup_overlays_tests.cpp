#include "render/setup_overlays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

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
        std::tie(e.left, e.right) = std::make_pair(std::min({e.left, s.x0, s.x1}), std::max({e.right, s.x0, s.x1}));
        std::tie(e.top, e.bottom) = std::make_pair(std::min({e.top, s.y0, s.y1}), std::max({e.bottom, s.y0, s.y1}));
    }
    return e;
}

StageModel KfmLike() {
    StageModel stage;
    std::tie(stage.BoundLeft, stage.BoundRight, stage.BoundHigh, stage.BoundLow) = std::make_tuple(-150, 150, -20, 0);
    std::tie(stage.ZOffset, stage.P1StartX, stage.P2StartX) = std::make_tuple(200, -70, 70);
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
        std::tie(stage.SffMajor, stage.LocalCoordW, stage.LocalCoordH, stage.ZOffset) = std::make_tuple(2, 640, 360, 300);
        std::tie(stage.ZoomOut, stage.ZoomIn) = std::make_pair(0.5f, 2.0f);
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
        EXPECT_EQ(std::make_tuple(p1.left + 4, p2.right - 4, p1.bottom - 4), std::make_tuple(c.p1x, c.p2x, c.floorY));
        const Extent floor = ExtentOf(segments, kOverlayFloor);
        EXPECT_EQ(std::tie(floor.top, floor.left, floor.right), std::make_tuple(c.floorY, 0, 639));
        const Extent reach = ExtentOf(segments, kOverlayBounds, 0xFFFF00);
        EXPECT_EQ(std::make_pair(reach.left, reach.top), std::make_pair(c.reachLeft, c.reachTop));
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
        EXPECT_EQ(std::make_pair(frame43.left, frame43.right), std::make_pair(80, 559));
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
    std::tie(stage.Sprites[0].Width, stage.Sprites[0].Height, stage.Sprites[0].AxisX, stage.Sprites[0].AxisY) =
        std::make_tuple(40, 20, 10, 20);
    frame.Drawn.resize(2);
    frame.Drawn[1] = DrawnElement{0, 100, 50, -1, -1, 1};
    BgElement& e = stage.Elements[1];
    std::tie(e.HasWindow, e.WindowKind, e.WindowValues) = std::make_tuple(1, 2, 4);
    std::tie(e.WindowX1, e.WindowX2, e.WindowY1, e.WindowY2) = std::make_tuple(-20.0f, 20.0f, 10.0f, 30.0f);
    segments = SetupOverlaySegments(stage, camera, frame, view, kOverlayElement, 1);
    const Extent box = ExtentOf(segments, kOverlayElement, 0xFFFFFF);
    EXPECT_EQ(std::tie(box.left, box.right, box.bottom), std::make_tuple(100, 139, 69));
    const Extent axis = ExtentOf(segments, kOverlayElement, 0xFF2020);
    EXPECT_EQ(std::make_pair((axis.left + axis.right) / 2, (axis.top + axis.bottom) / 2), std::make_pair(110, 70));
    const Extent window = ExtentOf(segments, kOverlayElement, 0xC060FF);
    EXPECT_EQ(std::tie(window.left, window.right, window.top, window.bottom), std::make_tuple(140, 179, 10, 29));
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
    const auto at = [&](int x, int y) { return picture.Pixels[static_cast<size_t>(y * 8 + x)]; };
    EXPECT_EQ(std::make_tuple(at(0, 2), at(7, 2), at(3, 5), at(4, 4), at(7, 0)),
              std::make_tuple(0xFF123456u, 0xFF123456u, 0xFFABCDEFu, 0xFF00FF00u, 0xFF000000u));
}

}  // namespace
}  // namespace qb

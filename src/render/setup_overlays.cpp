#include "render/setup_overlays.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/gfx.h"
#include "platform/text_util.h"
#include "render/camera.h"
#include "render/draw_elements.h"
#include "render/draw_modern.h"
#include "stage/stage_version.h"

namespace qb {

const char* const kSetupOverlayNames[kSetupOverlayCount] = {"bounds", "screen",     "starts",
                                                            "movebounds", "floor", "element"};

std::optional<uint8_t> ParseOverlayNames(std::string_view list, std::string& error) {
    uint8_t bits = 0;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string word = text::Lower(text::Trim(list.substr(start, comma - start)));
        start = comma + 1;
        if (word.empty()) continue;
        if (word == "all") {
            bits = (1u << kSetupOverlayCount) - 1;
            continue;
        }
        const auto* found = std::find(std::begin(kSetupOverlayNames), std::end(kSetupOverlayNames), word);
        if (found == std::end(kSetupOverlayNames)) {
            error = "unknown overlay \"" + word + "\" (bounds, screen, starts, movebounds, floor, element, all)";
            return std::nullopt;
        }
        bits = static_cast<uint8_t>(bits | 1u << (found - std::begin(kSetupOverlayNames)));
    }
    return bits;
}

OverlayPicture OverlayPictureFor(const StageModel& stage, const CameraState& camera, const Picture32* picture) {
    OverlayPicture view;
    if (!picture) return view;
    view.width = picture->Width;
    view.height = picture->Height;
    view.unitScale = IsModernStage(stage) ? std::max(1, ModernPlacementFor(stage).scale) : 1;
    view.zoom = camera.Zoom > 0 && std::isfinite(camera.Zoom) ? camera.Zoom : 1;
    return view;
}

namespace {

constexpr uint32_t kReachNow = 0xFFFF00, kReachOut = 0xFF9000, kScreenFrame = 0x00E0FF, kZoomOneView = 0x0080FF;
constexpr uint32_t kP1 = 0xFF4040, kP2 = 0x40A0FF, kStageBound = 0xFF40FF, kScreenBound = 0x40FF40;
constexpr uint32_t kFloor = 0x00FF90, kBox = 0xFFFFFF, kAxis = 0xFF2020, kWindow = 0x00C0FF, kMaskWindow = 0xC060FF;

// Far enough outside any picture, near enough that no sum overflows.
constexpr double kFar = 1e7;

int32_t Pixel(double v) {
    if (!std::isfinite(v)) return v > 0 ? static_cast<int32_t>(kFar) : -static_cast<int32_t>(kFar);
    return static_cast<int32_t>(std::lround(std::clamp(v, -kFar, kFar)));
}

// Stage places (x right of the stage's centre, y below the floor; both in stage units) in the
// picture's pixels, as the camera shows them: the elements' rule (the layers follow the camera at
// LayerCameraScale), then the zoom about the centre column and the ground line.
struct StageMap {
    double u = 1, width = kViewWidth, height = kViewHeight, zoom = 1;
    double pivotX = 0, pivotY = 0;
    double camX = 0, camY = 0;  // the camera's shown place in the layers' units
    double follow = 1;
    double zOffset = 0;

    double HalfUnits() const { return width / u / 2; }
    double X(double stageX) const { return pivotX + (u * (HalfUnits() + stageX - camX) - pivotX) * zoom; }
    // `row` in screen units at zoom 1 (0 the view's top).
    double Row(double row) const { return pivotY + (u * row - pivotY) * zoom; }
    double Y(double stageY) const { return Row(zOffset + stageY - camY); }
};

StageMap MapFor(const StageModel& stage, const CameraState& camera, const OverlayPicture& view) {
    StageMap m;
    m.u = std::max(1, view.unitScale);
    m.width = view.width;
    m.height = view.height;
    m.zoom = view.zoom > 0 && std::isfinite(view.zoom) ? view.zoom : 1;
    m.pivotX = view.width / 2.0;
    m.pivotY = ZoomPivotY(stage, static_cast<int>(m.u), view.height);
    m.follow = LayerCameraScale(stage);
    m.camX = -static_cast<double>(camera.CameraX) * m.follow;
    m.camY = static_cast<double>(camera.CameraY) * m.follow;
    m.zOffset = stage.ZOffset;
    return m;
}

struct Segments {
    std::vector<OverlaySegment>& out;
    SetupOverlay what;
    void Line(double x0, double y0, double x1, double y1, uint32_t rgb) {
        out.push_back({Pixel(x0), Pixel(y0), Pixel(x1), Pixel(y1), rgb, what});
    }
    // The outline of the rectangle between two corners (in either order), both edges included.
    void Box(double x0, double y0, double x1, double y1, uint32_t rgb) {
        const int32_t l = Pixel(std::min(x0, x1)), r = Pixel(std::max(x0, x1));
        const int32_t t = Pixel(std::min(y0, y1)), b = Pixel(std::max(y0, y1));
        out.push_back({l, t, r, t, rgb, what});
        out.push_back({l, b, r, b, rgb, what});
        out.push_back({l, t, l, b, rgb, what});
        out.push_back({r, t, r, b, rgb, what});
    }
    void Cross(double x, double y, int arm, uint32_t rgb) {
        Line(x - arm, y, x + arm, y, rgb);
        Line(x, y - arm, x, y + arm, rgb);
    }
};

// Where the view's edges can go at zoom `z`: the camera's centre between boundleft and boundright
// (widened when zoomed in past zoomout, as the camera keys allow) and between boundhigh and
// boundlow, plus the part of the stage the picture shows about it at that zoom.
void Reach(Segments& s, const StageMap& m, const StageModel& stage, const CameraState& camera, double z,
           uint32_t rgb) {
    if (!(z > 0) || !std::isfinite(z)) return;
    const double half = m.HalfUnits();
    const double zoomOut = camera.ZoomOut > 0 ? camera.ZoomOut : 1;
    const double slack = z == zoomOut ? 0 : half * (1 / zoomOut - 1 / z);
    const double left = (stage.BoundLeft - slack) * m.follow - half / z;
    const double right = (stage.BoundRight + slack) * m.follow + half / z;
    const double pivotRow = m.pivotY / m.u;
    const double top = stage.BoundHigh * m.follow + pivotRow * (1 - 1 / z) - m.zOffset;
    const double bottom = stage.BoundLow * m.follow + pivotRow + (m.height / m.u - pivotRow) / z - m.zOffset;
    s.Box(m.X(left), m.Y(top), m.X(right), m.Y(bottom), rgb);
}

// Where the camera's centre can go at the current zoom, drawn through the view's centre: a level
// bar from boundleft to boundright and an upright one from boundhigh to boundlow, ticked at the ends.
void CentreTravel(Segments& s, const StageMap& m, const StageModel& stage, const CameraState& camera, int tick) {
    const double slack = ZoomBoundSlack(camera);
    const double left = m.X((stage.BoundLeft - slack) * m.follow), right = m.X((stage.BoundRight + slack) * m.follow);
    const double midRow = m.height / m.u / 2;
    const double y = m.Row(midRow);
    s.Line(left, y, right, y, kReachNow);
    s.Line(left, y - tick, left, y + tick, kReachNow);
    s.Line(right, y - tick, right, y + tick, kReachNow);
    // A camera higher up shows the view's centre row lower down the stage.
    const double x = m.width / 2;
    const double high = m.Row(midRow - (stage.BoundHigh * m.follow - m.camY));
    const double low = m.Row(midRow - (stage.BoundLow * m.follow - m.camY));
    s.Line(x, high, x, low, kReachNow);
    s.Line(x - tick, high, x + tick, high, kReachNow);
    s.Line(x - tick, low, x + tick, low, kReachNow);
}

// `k`: the markers' size in pixels per pixel of a 240-row picture.
void Starts(Segments& s, const StageMap& m, int16_t x, int16_t y, int16_t facing, uint32_t rgb, int k) {
    const double px = m.X(x), py = m.Y(y);
    const int dir = facing < 0 ? -k : k;
    // A post at the feet with a flag pointing the way the player faces.
    s.Cross(px, py, 4 * k, rgb);
    s.Line(px, py, px, py - 24 * k, rgb);
    s.Line(px, py - 18 * k, px + dir * 12, py - 18 * k, rgb);
    s.Line(px + dir * 12, py - 18 * k, px + dir * 8, py - 22 * k, rgb);
    s.Line(px + dir * 12, py - 18 * k, px + dir * 8, py - 14 * k, rgb);
}

// The floor line's row: zoffset, or, when zoffset is 0 and zoffsetlink names an element, that
// element's row as this frame placed it (the test character stands on the same row).
double LinkedFloorRow(const StageModel& stage, const FrameState& frame, const StageMap& m) {
    if (stage.ZOffset == 0 && stage.ZOffsetLink > 0 && static_cast<size_t>(stage.ZOffsetLink) < stage.Elements.size())
        return m.Row(static_cast<double>(stage.Elements[static_cast<size_t>(stage.ZOffsetLink)].PosY) +
                     frame.LinkOffsetY);
    return m.Y(0);
}

void Element(Segments& s, const StageMap& m, const StageModel& stage, const CameraState& camera,
             const FrameState& frame, int selected) {
    if (selected < 0 || static_cast<size_t>(selected) >= std::min(stage.Elements.size(), frame.Drawn.size())) return;
    const BgElement& e = stage.Elements[static_cast<size_t>(selected)];
    const DrawnElement& drawn = frame.Drawn[static_cast<size_t>(selected)];
    if (drawn.sprite >= 0 && static_cast<size_t>(drawn.sprite) < stage.Sprites.size()) {
        const SpriteEntry& sprite = stage.Sprites[static_cast<size_t>(drawn.sprite)];
        const double w = drawn.w >= 0 ? drawn.w : sprite.Width, h = drawn.h >= 0 ? drawn.h : sprite.Height;
        s.Box(drawn.x, drawn.y, drawn.x + w - 1, drawn.y + h - 1, kBox);
        // The axis inside the drawn box, scaled with it.
        const double sx = sprite.Width > 0 ? w / sprite.Width : 1, sy = sprite.Height > 0 ? h / sprite.Height : 1;
        s.Cross(drawn.x + sprite.AxisX * sx, drawn.y + sprite.AxisY * sy, 3, kAxis);
    }
    if (e.HasWindow == 0 || e.WindowValues < 4) return;
    // As the element pass clips it: "window" from the view's top-left corner, edges included;
    // "maskwindow" from the stage origin (the view's top centre), right and bottom edges left out.
    // windowdelta moves it against the camera as delta moves an element.
    double x1 = std::min(e.WindowX1, e.WindowX2), x2 = std::max(e.WindowX1, e.WindowX2);
    double y1 = std::min(e.WindowY1, e.WindowY2), y2 = std::max(e.WindowY1, e.WindowY2);
    const bool mask = e.WindowKind == 2;
    const double originX = mask ? m.HalfUnits() : 0;
    if (mask) {
        x2 -= 1;
        y2 -= 1;
    }
    const double cameraX = (static_cast<double>(camera.CamOffsetX) - camera.CameraX) * m.follow;
    const double shiftX = originX - cameraX * e.WindowDeltaX;
    const double shiftY = -m.camY * e.WindowDeltaY;
    s.Box((x1 + shiftX) * m.u, (y1 + shiftY) * m.u, (x2 + shiftX) * m.u + (m.u - 1), (y2 + shiftY) * m.u + (m.u - 1),
          mask ? kMaskWindow : kWindow);
}

}  // namespace

std::vector<OverlaySegment> SetupOverlaySegments(const StageModel& stage, const CameraState& camera,
                                                 const FrameState& frame, const OverlayPicture& view,
                                                 uint8_t which, int selected) {
    std::vector<OverlaySegment> out;
    const StageMap m = MapFor(stage, camera, view);
    const double right = view.width - 1, bottom = view.height - 1;
    const int k = std::max(1, view.height / kViewHeight);
    if (which & kOverlayBounds) {
        Segments s{out, kOverlayBounds};
        CentreTravel(s, m, stage, camera, 3 * k);
        Reach(s, m, stage, camera, m.zoom, kReachNow);
        if (camera.ZoomOut != m.zoom) Reach(s, m, stage, camera, camera.ZoomOut, kReachOut);
    }
    if (which & kOverlayScreen) {
        Segments s{out, kOverlayScreen};
        // A picture wider than 4:3 (a widescreen localcoord) holds the frame a 4:3 screen shows.
        if (int64_t{view.width} * 3 > int64_t{view.height} * 4) {
            const double frameWidth = view.height * 4.0 / 3.0;
            const double left = std::floor((view.width - frameWidth) / 2);
            s.Box(left, 0, left + frameWidth - 1, bottom, kScreenFrame);
        }
        // Zoomed, the picture the view shows at zoom 1.
        if (m.zoom != 1)
            s.Box(m.pivotX * (1 - m.zoom), m.pivotY * (1 - m.zoom), m.pivotX + (view.width - m.pivotX) * m.zoom - 1,
                  m.pivotY + (view.height - m.pivotY) * m.zoom - 1, kZoomOneView);
    }
    if (which & kOverlayStarts) {
        Segments s{out, kOverlayStarts};
        Starts(s, m, stage.P1StartX, stage.P1StartY, stage.P1Facing, kP1, k);
        Starts(s, m, stage.P2StartX, stage.P2StartY, stage.P2Facing, kP2, k);
    }
    if (which & kOverlayMoveBounds) {
        Segments s{out, kOverlayMoveBounds};
        s.Line(m.X(stage.LeftBound), 0, m.X(stage.LeftBound), bottom, kStageBound);
        s.Line(m.X(stage.RightBound), 0, m.X(stage.RightBound), bottom, kStageBound);
        // screenleft and screenright: how near the view's edges a player may come.
        const double inLeft = stage.ScreenLeft * m.u * m.zoom, inRight = stage.ScreenRight * m.u * m.zoom;
        s.Line(inLeft, 0, inLeft, bottom, kScreenBound);
        s.Line(right - inRight, 0, right - inRight, bottom, kScreenBound);
    }
    if (which & kOverlayFloor) {
        Segments s{out, kOverlayFloor};
        const double row = LinkedFloorRow(stage, frame, m);
        s.Line(0, row, right, row, kFloor);
    }
    if (which & kOverlayElement) {
        Segments s{out, kOverlayElement};
        Element(s, m, stage, camera, frame, selected);
    }
    return out;
}

namespace {

// Calls put(x, y) for each pixel of the segment inside width x height. Only short slanted segments
// are drawn point by point (the markers' flags); the long ones are always level or upright.
template <typename Put>
void Walk(const OverlaySegment& s, int width, int height, Put put) {
    if (s.y0 == s.y1) {
        if (s.y0 < 0 || s.y0 >= height) return;
        const int32_t a = std::max(0, std::min(s.x0, s.x1)), b = std::min(width - 1, std::max(s.x0, s.x1));
        for (int32_t x = a; x <= b; ++x) put(x, s.y0);
        return;
    }
    if (s.x0 == s.x1) {
        if (s.x0 < 0 || s.x0 >= width) return;
        const int32_t a = std::max(0, std::min(s.y0, s.y1)), b = std::min(height - 1, std::max(s.y0, s.y1));
        for (int32_t y = a; y <= b; ++y) put(s.x0, y);
        return;
    }
    const int64_t dx = int64_t{s.x1} - s.x0, dy = int64_t{s.y1} - s.y0;
    const int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    if (steps > 4096) return;
    for (int64_t i = 0; i <= steps; ++i) {
        const int64_t x = s.x0 + (dx * i + (dx >= 0 ? steps / 2 : -steps / 2)) / steps;
        const int64_t y = s.y0 + (dy * i + (dy >= 0 ? steps / 2 : -steps / 2)) / steps;
        if (x >= 0 && x < width && y >= 0 && y < height) put(static_cast<int32_t>(x), static_cast<int32_t>(y));
    }
}

}  // namespace

void DrawOverlaySegments(BITMAP* backBuffer, const std::vector<OverlaySegment>& segments) {
    if (!backBuffer) return;
    const int width = BitmapWidth(backBuffer), height = BitmapHeight(backBuffer);
    for (const OverlaySegment& s : segments) {
        const auto colour = static_cast<uint16_t>(
            a_makecol(static_cast<int>(s.rgb >> 16 & 0xFF), static_cast<int>(s.rgb >> 8 & 0xFF), static_cast<int>(s.rgb & 0xFF)));
        Walk(s, width, height, [&](int32_t x, int32_t y) { BitmapRow(backBuffer, y)[x] = colour; });
    }
}

void DrawOverlaySegments(Picture32& picture, const std::vector<OverlaySegment>& segments) {
    for (const OverlaySegment& s : segments) {
        const uint32_t colour = 0xFF000000u | s.rgb;
        Walk(s, picture.Width, picture.Height, [&](int32_t x, int32_t y) {
            picture.Pixels[static_cast<size_t>(y) * static_cast<size_t>(picture.Width) + static_cast<size_t>(x)] = colour;
        });
    }
}

}  // namespace qb

#include "render/draw_elements.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "platform/gfx.h"
#include "platform/text_util.h"
#include "render/anim_pose.h"
#include "render/bg_ctrl.h"
#include "render/blit_sprite.h"
#include "render/camera.h"
#include "render/compose32.h"
#include "render/draw_modern.h"
#include "render/tile_sheet.h"
#include "stage/stage_version.h"

namespace qb {

namespace {

constexpr double kPi = 3.14159265358979;
// A tile run never draws more than this many tiles on one axis (a 1-pixel step across the view and
// back fits easily).
constexpr int kMaxTilesPerAxis = 4096;
// At most about this many tiles of one run are stacked on any pixel (twice that when the step does
// not divide the tile size): real stages overlap their tiles far less.
constexpr double kMaxStackedTiles = 4;
// Scaled or turned anim tiles of one element visit at most this many pictures' worth of pixels.
constexpr int64_t kMaxTurnedCover = 8;

double ClampK(double k) {
    return std::clamp(k, -1e9, 1e9);
}

bool ValidSprite(const StageModel& stage, int index) {
    return index >= 0 && index < static_cast<int>(stage.Sprites.size());
}

// Advances an animated element by one update and answers its current frame, or nullptr when the
// element's animation cannot be read (an action number that matched nothing, or no frames).
const BgFrame* AdvanceAnimation(const StageModel& stage, BgElement& element) {
    if (element.ActionIndex < 0 || element.ActionIndex >= static_cast<int>(stage.Actions.size()))
        return nullptr;
    const BgAction& action = stage.Actions[element.ActionIndex];
    const int frameCount = static_cast<int>(action.Frames.size());
    if (frameCount == 0) return nullptr;
    if (element.FrameIndex < 0 || element.FrameIndex >= frameCount) element.FrameIndex = 0;
    if (element.FrameTime < 1) {
        if (action.Frames[element.FrameIndex].Time != -1) {
            element.FrameIndex += 1;
            if (element.FrameIndex > frameCount - 1)
                element.FrameIndex = action.LoopStart >= 1 && action.LoopStart <= frameCount
                                         ? static_cast<int16_t>(action.LoopStart - 1)
                                         : 0;
        }
        element.FrameTime = action.Frames[element.FrameIndex].Time;
    }
    element.FrameTime -= 1;
    return &action.Frames[element.FrameIndex];
}

// Base position. Animated frames are placed by their own axis against the element's reference
// axis; mirrored frames about that axis.
void BaseCorner(const StageModel& stage, const BgElement& element, const FramePose& pose, int16_t sprite,
                int32_t& x, int32_t& y) {
    const BgFrame* animFrame = pose.frame;
    int refAxisX = 0, refAxisY = 0;
    if (ValidSprite(stage, element.SpriteIndex)) {
        refAxisX = stage.Sprites[element.SpriteIndex].AxisX;
        refAxisY = stage.Sprites[element.SpriteIndex].AxisY;
    }
    if (!animFrame) {
        x = text::RoundClampPixel(element.PosX);
        y = text::RoundClampPixel(element.PosY);
        return;
    }
    const SpriteEntry& own = stage.Sprites[sprite];
    FlipMode flip = FrameFlip(animFrame->Flip);
    int16_t sumX = flip.h ? static_cast<int16_t>(own.AxisX + refAxisX) : static_cast<int16_t>(own.AxisX - refAxisX);
    int16_t sumY = flip.v ? static_cast<int16_t>(own.AxisY + refAxisY) : static_cast<int16_t>(own.AxisY - refAxisY);
    x = flip.h ? text::RoundClampPixel(pose.offsetX + static_cast<double>(element.PosX) + sumX)
               : text::RoundClampPixel(pose.offsetX + static_cast<double>(element.PosX) - sumX);
    y = flip.v ? text::RoundClampPixel(pose.offsetY + static_cast<double>(element.PosY) + sumY)
               : text::RoundClampPixel(pose.offsetY + static_cast<double>(element.PosY) - sumY);
}

struct ElementMotion {
    double x = 0, y = 0;  // controller and sine offsets, in stage units
};

// The modern corner in picture pixels: the sprite's axis position in stage units (scaled by the
// placement), less the axis in sprite pixels. Older stages snap the axis position to whole units
// first; 1.0 stages keep its fraction and round once, at the pixel.
void PlaceInPixels(const StageModel& stage, const BgElement& element, const FramePose& pose, int16_t sprite,
                   const ElementMotion& motion, const ModernPlacement& place, int32_t& x, int32_t& y) {
    const BgFrame* animFrame = pose.frame;
    // The load subtracted the element's own sprite axis from its position, in units.
    double refX = 0, refY = 0;
    if (ValidSprite(stage, element.SpriteIndex)) {
        refX = stage.Sprites[element.SpriteIndex].AxisX;
        refY = stage.Sprites[element.SpriteIndex].AxisY;
    }
    double axisX = static_cast<double>(element.PosX) + refX;
    double axisY = static_cast<double>(element.PosY) + refY;
    double ownX = refX, ownY = refY;
    if (animFrame) {
        // Frames are placed by their own axis; a mirrored frame hangs the other way from it.
        const SpriteEntry& own = stage.Sprites[sprite];
        const FlipMode flip = FrameFlip(animFrame->Flip);
        axisX += pose.offsetX;
        axisY += pose.offsetY;
        ownX = flip.h ? -own.AxisX : own.AxisX;
        ownY = flip.v ? -own.AxisY : own.AxisY;
    }
    if (!place.fractional) {
        axisX = std::nearbyint(axisX);
        axisY = std::nearbyint(axisY);
    }
    double unitsX = motion.x + axisX + place.centreUnits;
    double unitsY = motion.y + axisY;
    if (!place.fractional) {
        unitsX = std::nearbyint(unitsX);
        unitsY = std::nearbyint(unitsY);
    }
    x = text::RoundClampPixel(unitsX * place.scale - ownX);
    y = text::RoundClampPixel(unitsY * place.scale - ownY);
}

// The sprite's own axis in picture pixels from its corner (a mirrored frame hangs the other way).
void OwnAxis(const StageModel& stage, const BgElement& element, const BgFrame* animFrame, int16_t sprite,
             double& ownX, double& ownY) {
    ownX = ownY = 0;
    if (animFrame) {
        const SpriteEntry& own = stage.Sprites[sprite];
        const FlipMode flip = FrameFlip(animFrame->Flip);
        ownX = flip.h ? -own.AxisX : own.AxisX;
        ownY = flip.v ? -own.AxisY : own.AxisY;
    } else if (ValidSprite(stage, element.SpriteIndex)) {
        ownX = stage.Sprites[element.SpriteIndex].AxisX;
        ownY = stage.Sprites[element.SpriteIndex].AxisY;
    }
}

}  // namespace

ElementScale ElementScaleFor(const BgElement& element, const CameraState& camera) {
    ElementScale s;
    constexpr double kMaxScale = 64;
    // zoomdelta 0 keeps the element as it is at every zoom; 1 follows the zoom fully.
    const double zoomDelta = std::isfinite(element.ZoomDelta) ? element.ZoomDelta : 1.0;
    s.zoom = std::clamp(1 + (static_cast<double>(camera.Zoom) - 1) * zoomDelta, 0.0, kMaxScale);
    // The camera's movement from its start, in stage units (the shown camera x starts at the start
    // offset, y at 0).
    const double moveX = -static_cast<double>(camera.CameraX) - camera.CamOffsetX;
    const double moveY = camera.CameraY;
    auto own = [&](float start, float delta, double move) {
        const double v = static_cast<double>(start) + static_cast<double>(delta) * move;
        return std::isfinite(v) ? std::clamp(v, 0.0, kMaxScale) : 1.0;
    };
    s.x = own(element.ScaleStartX, element.ScaleDeltaX, moveX);
    s.y = own(element.ScaleStartY, element.ScaleDeltaY, moveY);
    return s;
}

ScaledPlacement PlaceScaled(const ElementScale& scale, double axisX, double axisY, double pivotX, double pivotY) {
    ScaledPlacement p;
    p.zoom = scale.zoom;
    p.pivotX = pivotX;
    p.pivotY = pivotY;
    // The axis moves about the pivot by the zoom scale; the sprite around its axis by both scales.
    p.ax = scale.zoom * scale.x;
    p.ay = scale.zoom * scale.y;
    p.bx = pivotX + (axisX - pivotX) * scale.zoom - axisX * p.ax;
    p.by = pivotY + (axisY - pivotY) * scale.zoom - axisY * p.ay;
    return p;
}

double ZoomPivotY(const StageModel& stage, int unitScale, int pictureHeight) {
    return stage.ZOffset >= 0 ? static_cast<double>(stage.ZOffset) * unitScale : static_cast<double>(pictureHeight);
}

namespace {

// One swing lasts `period` ticks ("the period of the motion in game ticks"); `phase` counts the ticks
// into it. A negative period swings the other way round.
void UpdateSine(float amp, float period, float& phase, float& offset) {
    if (amp == 0 || period == 0) return;
    offset = static_cast<float>(amp * std::sin(2 * kPi * phase / period));
    const float cycle = std::fabs(period);
    phase += 1;
    if (phase >= cycle) phase = std::fmod(phase, cycle);
}

// `follow` is the layers' camera scale (LayerCameraScale).
void FollowCamera(BgElement& element, const CameraState& camera, double follow) {
    if (camera.CameraX != camera.PrevCameraX && element.Type != "parallax") {
        const auto step = static_cast<float>(camera.HCamStep * follow);
        if (camera.PrevCameraX - camera.CameraX > 0)
            element.PosX -= element.DeltaX * step;
        else
            element.PosX += element.DeltaX * step;
    }
    if (camera.CameraY != camera.PrevCameraY) {
        const auto step = static_cast<float>(camera.VCamStep * follow);
        if (camera.CameraY - camera.PrevCameraY > 0)
            element.PosY -= element.DeltaY * step;
        else
            element.PosY += element.DeltaY * step;
    }
}

struct PixelWindow {
    int32_t x = 0, y = 0, w = 0, h = 0;
};

// A modern element's window in picture pixels. "window" counts from the view's top-left corner and
// includes its right and bottom edges; "maskwindow" counts from the stage origin (the top centre of
// the view) and excludes them. Corners written the wrong way round are put in order. windowdelta
// moves the window against the camera as delta moves an element.
PixelWindow ModernWindow(const StageModel& stage, const BgElement& element, const CameraState& camera,
                         int pictureWidth, int scale) {
    double x1 = std::min(element.WindowX1, element.WindowX2), x2 = std::max(element.WindowX1, element.WindowX2);
    double y1 = std::min(element.WindowY1, element.WindowY2), y2 = std::max(element.WindowY1, element.WindowY2);
    double originX = 0;
    if (element.WindowKind == 2) {
        originX = pictureWidth / 2.0 / scale;
    } else {
        x2 += 1;
        y2 += 1;
    }
    // The camera in stage units, as the elements see it (CameraX is the negative of the camera's x).
    const double follow = LayerCameraScale(stage);
    const double cameraX = (static_cast<double>(camera.CamOffsetX) - camera.CameraX) * follow;
    const double cameraY = camera.CameraY * follow;
    const double shiftX = originX - cameraX * element.WindowDeltaX;
    const double shiftY = -cameraY * element.WindowDeltaY;
    PixelWindow w;
    w.x = text::RoundClampPixel((x1 + shiftX) * scale);
    w.y = text::RoundClampPixel((y1 + shiftY) * scale);
    w.w = text::RoundClampPixel((x2 + shiftX) * scale) - w.x;
    w.h = text::RoundClampPixel((y2 + shiftY) * scale) - w.y;
    return w;
}

// One element's draw: its sprite at the worked-out corner (x, y), onto the modern picture when
// `picture` is set, else onto the back buffer. Tile spacing and windows are in stage units, `scale`
// pixels each on the modern picture. A zoomed or scaled element (`placed` set, modern picture only)
// is worked out at zoom 1 and each tile mapped onto the picture at the blit.
struct ElementDraw {
    StageModel& stage;
    const CameraState& camera;
    BITMAP* backBuffer = nullptr;
    Picture32* picture = nullptr;
    int64_t* drawnPixels = nullptr;  // counts the pixels written into the picture (may be null)
    int16_t index = 0;
    int16_t sprite = 0;
    int32_t x = 0, y = 0;
    int scale = 1;
    const ScaledPlacement* placed = nullptr;
    const Source32* source = nullptr;  // MakeSource32 of the sprite for this element, made already
};

// Blits one tile of the element at a time onto whichever picture the draw names.
class TileBlitter {
public:
    explicit TileBlitter(const ElementDraw& d) : m_d(d) {
        // One colour table for all the tiles (a 1-pixel sprite tiled over the picture is a million
        // blits).
        if (d.picture)
            m_source.emplace(
                d.source ? *d.source
                         : MakeSource32(d.stage.Sprites[d.sprite], ModernMask(d.stage.Elements[d.index])));
    }
    // Every tile is clipped to `window` (picture pixels) as well.
    void ClipTo(const Clip32& window) {
        m_windowRect = window;
        m_window = &m_windowRect;
    }
    const Clip32* Window() const { return m_window; }
    const Source32& Source() const { return *m_source; }
    // A scaled or turned frame may cover the whole picture from every tile of a run (a scale of
    // 1e9): its tiles stop once they have visited this many pixels.
    void LimitTo(int64_t budget) { m_budget = budget; }

    void operator()(int32_t bx, int32_t by, int32_t bw, int32_t bh, int32_t sx, int32_t sy) {
        const ElementDraw& d = m_d;
        if (!d.picture) {
            BlitSprite(d.stage, d.camera, d.backBuffer, bx, by, bw, bh, d.sprite, sx, sy, d.index);
            return;
        }
        if (m_budget >= 0 && m_visited >= m_budget) return;
        const int64_t n =
            d.placed ? BlitSprite32Scaled(d.stage, d.camera, *d.picture, bx - sx, by - sy, d.sprite, d.index, d.scale,
                                          *d.placed, m_window, &*m_source)
                     : BlitSprite32(d.stage, d.camera, *d.picture, bx, by, bw, bh, d.sprite, sx, sy, d.index, d.scale,
                                    &*m_source, m_window);
        m_visited += n;
        if (d.drawnPixels) *d.drawnPixels += n;
    }

private:
    const ElementDraw& m_d;
    std::optional<Source32> m_source;
    Clip32 m_windowRect;
    const Clip32* m_window = nullptr;
    int64_t m_budget = -1;
    int64_t m_visited = 0;
};

// A window rectangle on the picture; a zoomed element's window scales with it about the same pivot.
Clip32 WindowOnPicture(const PixelWindow& w, const ScaledPlacement* placed) {
    if (!placed) return {w.x, w.y, static_cast<int>(int64_t{w.x} + w.w), static_cast<int>(int64_t{w.y} + w.h)};
    return {text::RoundClampPixel(placed->ZoomX(w.x)), text::RoundClampPixel(placed->ZoomY(w.y)),
            text::RoundClampPixel(placed->ZoomX(static_cast<double>(w.x) + w.w)),
            text::RoundClampPixel(placed->ZoomY(static_cast<double>(w.y) + w.h))};
}

// An untiled element with a window draws only the window's part of its sprite, in one blit.
void DrawThroughWindow(const ElementDraw& d, TileBlitter& blit) {
    const BgElement& element = d.stage.Elements[d.index];
    if (d.picture) {
        const PixelWindow w = ModernWindow(d.stage, element, d.camera, d.picture->Width, d.scale);
        if (d.placed) blit.ClipTo(WindowOnPicture(w, d.placed));
        blit(w.x, w.y, w.w, w.h, w.x - d.x, w.y - d.y);
        return;
    }
    // The classic window counts from the view's corner and includes its right and bottom edges.
    const double x1 = static_cast<double>(element.WindowX1) * d.scale;
    const double y1 = static_cast<double>(element.WindowY1) * d.scale;
    const int32_t sx = text::RoundClampPixel(x1 - static_cast<double>(d.x));
    const int32_t sy = text::RoundClampPixel(y1 - static_cast<double>(d.y));
    const int32_t wx = text::RoundClampPixel(x1);
    const int32_t wy = text::RoundClampPixel(y1);
    const int32_t ww = text::RoundClampPixel((static_cast<double>(element.WindowX2) - element.WindowX1 + 1) * d.scale);
    const int32_t wh = text::RoundClampPixel((static_cast<double>(element.WindowY2) - element.WindowY1 + 1) * d.scale);
    blit(wx, wy, ww, wh, sx, sy);
}

struct TileRuns {
    TileRun x, y;
};

// The tile runs of both axes over the whole picture, before the element's kind widens or narrows them.
TileRuns BaseRuns(const ElementDraw& d, double bufferW, double bufferH) {
    const BgElement& element = d.stage.Elements[d.index];
    const SpriteEntry& entry = d.stage.Sprites[d.sprite];
    const bool anim = element.Type == "anim";
    const double spaceX = static_cast<double>(element.TileSpacingX) * d.scale;
    const double spaceY = static_cast<double>(element.TileSpacingY) * d.scale;
    const double stepX = anim ? spaceX : static_cast<double>(entry.Width) + spaceX;
    const double stepY = anim ? spaceY : static_cast<double>(entry.Height) + spaceY;
    return {{static_cast<double>(d.x), stepX, element.TileX, static_cast<double>(entry.Width), d.camera.ViewLeft,
             static_cast<double>(d.camera.ViewRight), 0, bufferW},
            {static_cast<double>(d.y), stepY, element.TileY, static_cast<double>(entry.Height), d.camera.ViewTop,
             static_cast<double>(d.camera.ViewBottom), 0, bufferH}};
}

// The runs are worked out at zoom 1: they must cover what the picture shows of it, the wider view
// of a zoom below 1 included. False when the sprite is scaled below a pixel: it shows nothing, and
// its runs would walk the whole widened band (the tile counts grow as the scale shrinks).
bool ZoomRuns(const ElementDraw& d, double bufferW, double bufferH, TileRuns& runs) {
    const ScaledPlacement& placed = *d.placed;
    const SpriteEntry& entry = d.stage.Sprites[d.sprite];
    if (!(placed.ax * entry.Width >= 1 && placed.ay * entry.Height >= 1)) return false;
    auto backX = [&](double v) { return (v - placed.bx) / placed.ax; };
    auto backY = [&](double v) { return (v - placed.by) / placed.ay; };
    runs.x.visibleLow = backX(0), runs.x.visibleHigh = backX(bufferW);
    runs.x.nearEdge = backX(d.camera.ViewLeft), runs.x.farEdge = backX(d.camera.ViewRight);
    runs.y.visibleLow = backY(0), runs.y.visibleHigh = backY(bufferH);
    runs.y.nearEdge = backY(d.camera.ViewTop), runs.y.farEdge = backY(d.camera.ViewBottom);
    return true;
}

// Anim tiles are mirrored about their axis: a flipped frame is drawn left of (above) its position,
// so the visible test looks at where the pixels really go. A scaled or turned frame reaches as far
// from its axis as its farthest corner times the larger scale: tiles that far outside the view may
// still show, and the run's tiles then share a budget of pixels.
void AnimRuns(const ElementDraw& d, double bufferW, double bufferH, TileRuns& runs, TileBlitter& blit) {
    const BgElement& element = d.stage.Elements[d.index];
    const SpriteEntry& entry = d.stage.Sprites[d.sprite];
    const int32_t w = entry.Width, h = entry.Height;
    const BgAction& action = d.stage.Actions[element.ActionIndex];
    const FlipMode flip = FrameFlip(action.Frames[element.FrameIndex].Flip);
    if (flip.h) runs.x.visibleLow += w, runs.x.visibleHigh += w;
    if (flip.v) runs.y.visibleLow += h, runs.y.visibleHigh += h;
    const FramePose pose = PoseOf(action, element, d.picture != nullptr);
    if (!d.picture || !pose.Transformed()) return;
    const double reachX = std::max(std::abs(entry.AxisX), std::abs(w - entry.AxisX));
    const double reachY = std::max(std::abs(entry.AxisY), std::abs(h - entry.AxisY));
    const double r = std::max(std::fabs(pose.scaleX), std::fabs(pose.scaleY)) * std::hypot(reachX, reachY);
    const double growX = std::isfinite(r) ? std::min(r, bufferW) : bufferW;
    const double growY = std::isfinite(r) ? std::min(r, bufferH) : bufferH;
    runs.x.visibleLow -= growX, runs.x.visibleHigh += growX;
    runs.y.visibleLow -= growY, runs.y.visibleHigh += growY;
    blit.LimitTo(kMaxTurnedCover * static_cast<int64_t>(bufferW * bufferH));
}

// A floor's rows move with the camera by their own factors; a tile is seen when any row of it lands
// on the buffer. The runs follow what can be seen rather than the base positions. Rows of a floor on
// the modern picture are drawn about the picture's own centre. False when nothing can show.
bool FloorRuns(const ElementDraw& d, double bufferW, double bufferH, TileRuns& runs) {
    const StageModel& stage = d.stage;
    const CameraState& camera = d.camera;
    const BgElement& element = stage.Elements[d.index];
    const SpriteEntry& entry = stage.Sprites[d.sprite];
    const int32_t w = entry.Width, h = entry.Height;
    const ScaledPlacement* placed = d.placed;
    constexpr double kFar = std::numeric_limits<double>::max() / 4;
    ParallaxExtent extent = d.picture ? ParallaxFloorExtent(stage, camera, element, entry, d.scale, bufferW / 2)
                                      : ParallaxFloorExtent(stage, camera, element, entry);
    if (d.picture) {
        // The modern rows as DrawParallax32 places them; each row's left edge is linear in the
        // tile's corner p (a + b * p) and in the source row, so the top and bottom rows bound them.
        const double axisX = ValidSprite(stage, element.SpriteIndex) ? stage.Sprites[element.SpriteIndex].AxisX
                                                                     : entry.AxisX;
        auto map = [&](double o) {
            const double follow = LayerCameraScale(stage);
            const double a = ModernFloorRow(element, camera, follow, w, h, 0, axisX, d.scale, bufferW / 2, o).left;
            const double b = ModernFloorRow(element, camera, follow, w, h, 1, axisX, d.scale, bufferW / 2, o).left - a;
            return ParallaxRowMap{a, b};
        };
        extent.top = map(0);
        extent.bottom = map(h);
    }
    // Zoomed, the floor's rows are worked out at zoom 1 and scaled about the pivot: the picture
    // shows the zoom-1 band [edge0, edge1).
    double edge0 = 0, edge1 = bufferW;
    if (placed) {
        if (!(placed->zoom > 0)) return false;
        edge0 = placed->pivotX - placed->pivotX / placed->zoom;
        edge1 = placed->pivotX + (bufferW - placed->pivotX) / placed->zoom;
        runs.y.visibleLow = placed->pivotY - placed->pivotY / placed->zoom;
        runs.y.visibleHigh = placed->pivotY + (bufferH - placed->pivotY) / placed->zoom;
    }
    double low = kFar, high = -kFar;
    for (const ParallaxRowMap& row : {extent.top, extent.bottom}) {
        if (row.b <= 0) continue;
        low = std::min(low, (edge0 - row.a) / row.b - w);
        high = std::max(high, (edge1 - row.a) / row.b);
    }
    runs.x.visibleLow = low;
    runs.x.visibleHigh = high;
    runs.x.nearEdge = -kFar;
    runs.x.farEdge = kFar;
    runs.y.size = extent.rows;
    if (d.picture) {
        // Rows start where the vertical scale about the axis row puts the floor's top.
        const double axisY = ValidSprite(stage, element.SpriteIndex) ? stage.Sprites[element.SpriteIndex].AxisY
                                                                     : entry.AxisY;
        const double shift = ModernFloorTopShift(element, camera, LayerCameraScale(stage), axisY);
        runs.y.visibleLow -= shift;
        runs.y.visibleHigh -= shift;
        // The engines never repeat a floor downwards.
        runs.y.count = 0;
    }
    return true;
}

// Draws the element's sprite once or as tiles at its corner.
void DrawElement(const ElementDraw& d) {
    const BgElement& element = d.stage.Elements[d.index];
    const SpriteEntry& entry = d.stage.Sprites[d.sprite];
    const bool floor = element.Type == "parallax";
    const bool tiled = element.TileX != 0 || element.TileY != 0;
    TileBlitter blit(d);
    if (element.HasWindow == 1 && d.picture && (floor || tiled)) {
        // The window clips whatever the element draws: every tile of a run, every row of a floor.
        const Clip32 window = WindowOnPicture(ModernWindow(d.stage, element, d.camera, d.picture->Width, d.scale),
                                              d.placed);
        if (window.right <= window.left || window.bottom <= window.top) return;
        blit.ClipTo(window);
    } else if (element.HasWindow == 1 && !tiled && !(floor && d.picture)) {
        DrawThroughWindow(d, blit);
        return;
    }
    const double bufferW = d.picture ? d.picture->Width : BitmapWidth(d.backBuffer);
    const double bufferH = d.picture ? d.picture->Height : BitmapHeight(d.backBuffer);
    TileRuns runs = BaseRuns(d, bufferW, bufferH);
    if (d.placed && !ZoomRuns(d, bufferW, bufferH, runs)) return;
    if (element.Type == "anim") AnimRuns(d, bufferW, bufferH, runs, blit);
    if (floor && !FloorRuns(d, bufferW, bufferH, runs)) return;

    int32_t xs[kMaxTilesPerAxis];
    int32_t ys[kMaxTilesPerAxis];
    const int nx = TilePositions(runs.x, xs, kMaxTilesPerAxis);
    const int ny = TilePositions(runs.y, ys, kMaxTilesPerAxis);
    if (d.picture && !d.placed && element.Type == "normal" &&
        DrawTileSheet(*d.picture, blit.Source(), ElementBlend32(element.Trans, element.AlphaS, element.AlphaD), xs,
                      nx, ys, ny, d.drawnPixels, blit.Window()))
        return;
    // Columns of counted tiles with rows both ways are drawn column by column; every other case
    // row by row.
    const bool columnsOuter = element.TileX >= 2 && element.TileY == 1;
    if (columnsOuter) {
        for (int i = 0; i < nx; ++i)
            for (int j = 0; j < ny; ++j) blit(xs[i], ys[j], entry.Width, entry.Height, 0, 0);
    } else {
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i) blit(xs[i], ys[j], entry.Width, entry.Height, 0, 0);
    }
}

}  // namespace

int TilePositions(const TileRun& run, int32_t* out, int limit) {
    int n = 0;
    auto visible = [&](double p) { return p + run.size > run.visibleLow && p < run.visibleHigh; };
    auto emit = [&](double p) {
        if (n < limit && visible(p)) out[n++] = text::RoundClampPixel(p);
    };
    if (run.count == 0 || run.step <= 0) {
        emit(run.start);
        return n;
    }
    // Tiles k with start + k * step inside the visible band.
    double kLow = ClampK(std::floor((run.visibleLow - run.size - run.start) / run.step) + 1);
    double kHigh = ClampK(std::ceil((run.visibleHigh - run.start) / run.step) - 1);
    // Steps far below the tile size (an "anim" element without tilespacing steps by 1 pixel) would
    // stack thousands of tiles on every pixel. Only every stride-th tile is drawn then, so that at
    // most about kMaxStackedTiles cover a pixel: the tiles still overlap and leave no gap, and
    // counting from tile 0 keeps the choice steady while the element moves.
    const double stride = std::max(1.0, std::floor(run.size / (kMaxStackedTiles * run.step)));
    auto firstAtOrAfter = [&](double k) { return std::ceil(k / stride) * stride; };
    auto lastAtOrBefore = [&](double k) { return std::floor(k / stride) * stride; };
    if (run.count >= 2) {
        double first = std::max(0.0, kLow);
        double last = std::min(static_cast<double>(run.count) - 1, kHigh);
        for (double k = firstAtOrAfter(first); k <= last && n < limit; k += stride)
            emit(run.start + k * run.step);
        // The run's last tile marks where it ends; keep it when the stride passed over it.
        const double end = static_cast<double>(run.count) - 1;
        if (stride > 1 && end <= last && lastAtOrBefore(end) != end) emit(run.start + end * run.step);
        return n;
    }
    // Both ways: forward from the start while the position is within the far edge, then back from
    // one step before the start while the tile still reaches the near edge.
    double forwardLast = ClampK(std::floor((run.farEdge - run.start) / run.step));
    double backFirst = ClampK(std::ceil((run.nearEdge - run.size - run.start) / run.step));
    for (double k = firstAtOrAfter(std::max(0.0, kLow)); k <= std::min(forwardLast, kHigh) && n < limit;
         k += stride)
        emit(run.start + k * run.step);
    for (double k = lastAtOrBefore(std::min(-1.0, kHigh)); k >= std::max(backFirst, kLow) && n < limit;
         k -= stride)
        emit(run.start + k * run.step);
    return n;
}

void DrawElements(FrameContext& ctx) {
    StageModel& stage = ctx.stage;
    CameraState& camera = ctx.camera;
    FrameState& frame = ctx.frame;
    BITMAP* backBuffer = ctx.backBuffer;
    const ModernPlacement place = ctx.picture ? ModernPlacementFor(stage) : ModernPlacement{};
    const bool frontPass = frame.LayerPass == 255;
    const double follow = LayerCameraScale(stage);
    if (!frontPass) RunBgCtrls(stage);

    const int count = static_cast<int>(stage.Elements.size());
    frame.Drawn.resize(stage.Elements.size());
    // Modern stages: the sine offsets each element used in this pass. An element's sine moves on
    // right after it is drawn, so a linked element reading its root's offsets then would run one
    // update ahead of the root; it takes what the root used instead.
    std::vector<ElementMotion> sineUsed;
    std::vector<uint8_t> sineSet;
    if (ctx.picture) {
        sineUsed.assign(stage.Elements.size(), ElementMotion{});
        sineSet.assign(stage.Elements.size(), 0);
    }
    // The modern picture's elements are drawn after the loop (nothing the loop changes later is read
    // by drawing), so that what later opaque layers hide can be left out.
    std::vector<ModernDraw> modern;
    // Elements the element list hides still move and animate, so that showing them again shows
    // them where the stage has them; they are only not drawn, nor picked.
    const std::vector<uint8_t> shown = ctx.preview && ctx.preview->Active() ? PreviewShown(stage, *ctx.preview)
                                                                            : std::vector<uint8_t>();
    for (int i = 0; i < count; ++i) {
        BgElement& element = stage.Elements[i];
        bool handled = !(frontPass ? element.LayerNo == 0 : element.LayerNo > 0) && element.Enabled != 0;
        if (handled) {
            frame.Drawn[i] = DrawnElement{};
            int16_t sprite = element.SpriteIndex;
            const BgFrame* animFrame = nullptr;
            FramePose pose;
            bool isAnim = element.Type == "anim";
            if (isAnim) {
                animFrame = AdvanceAnimation(stage, element);
                sprite = animFrame ? animFrame->SpriteIndex : -1;
                // Interpolated offsets, scales and angles are drawn on the modern picture only.
                if (animFrame)
                    pose = PoseOf(stage.Actions[element.ActionIndex], element, ctx.picture != nullptr);
            } else if (element.ParallaxAnim && element.Type == "parallax" && ctx.picture) {
                // An animated floor (1.1) steps through its action as an anim does and draws the
                // current frame's sprite by the floor's rules. It stays where its first frame put it:
                // the floor rules place rows, not frames, so frame offsets and mirrors do not apply.
                if (const BgFrame* f = AdvanceAnimation(stage, element)) sprite = f->SpriteIndex;
            }
            if (sprite != -1 && element.SpriteIndex != -1 && ValidSprite(stage, sprite)) {
                // Controller motion and sine offsets (a linked element swings with its parent).
                element.CtrlOffX += element.CtrlVelX;
                element.CtrlOffY += element.CtrlVelY;
                const BgElement* sineSource = &element;
                const bool linked =
                    element.PositionLink != 0 && element.LinkParent >= 0 && element.LinkParent < count;
                if (linked) sineSource = &stage.Elements[element.LinkParent];
                double sineX = sineSource->SinOffX, sineY = sineSource->SinOffY;
                if (ctx.picture) {
                    if (linked && sineSet[element.LinkParent]) {
                        sineX = sineUsed[element.LinkParent].x;
                        sineY = sineUsed[element.LinkParent].y;
                    }
                    sineUsed[i] = ElementMotion{sineX, sineY};
                    sineSet[i] = 1;
                }
                const ElementMotion motion{static_cast<double>(element.CtrlOffX) + sineX,
                                           sineY + element.CtrlOffY};
                int32_t x, y;
                if (place.scale == 1 && !place.fractional) {
                    // Whole units, rounded as the classic pass rounds them.
                    BaseCorner(stage, element, pose, sprite, x, y);
                    x = text::RoundClampPixel(static_cast<double>(element.CtrlOffX) + sineX + x +
                                              place.centreUnits);
                    y = text::RoundClampPixel(sineY + y + element.CtrlOffY);
                } else {
                    PlaceInPixels(stage, element, pose, sprite, motion, place, x, y);
                }
                if (stage.ZOffsetLink > 0 && stage.ZOffsetLink == i)
                    frame.LinkOffsetY = text::RoundWrapInt16(sineY);

                // Zoom and scale are the modern picture's; at zoom 1 and scale 1 the unscaled path
                // draws exactly as before.
                ScaledPlacement placed;
                bool scaled = false;
                if (ctx.picture) {
                    const ElementScale es = ElementScaleFor(element, camera);
                    scaled = es.zoom != 1 || es.x != 1 || es.y != 1;
                    if (scaled) {
                        double ownX, ownY;
                        OwnAxis(stage, element, animFrame, sprite, ownX, ownY);
                        const double pivotY = ZoomPivotY(stage, place.scale, ctx.picture->Height);
                        placed = PlaceScaled(es, x + ownX, y + ownY, ctx.picture->Width / 2.0, pivotY);
                        if (element.Type == "parallax") {
                            // Floors scale their rows and row widths by the zoom alone.
                            placed = PlaceScaled(ElementScale{es.zoom, 1, 1}, x + ownX, y + ownY,
                                                 ctx.picture->Width / 2.0, pivotY);
                        }
                    }
                }
                if (scaled) {
                    // Picking and the outline read the mapped rectangle: both edges rounded, as drawn.
                    const SpriteEntry& entry = stage.Sprites[sprite];
                    const int32_t left = text::RoundClampPixel(placed.MapX(x));
                    const int32_t top = text::RoundClampPixel(placed.MapY(y));
                    frame.Drawn[i] = DrawnElement{
                        sprite, left, top,
                        text::RoundClampPixel(placed.MapX(static_cast<double>(x) + entry.Width)) - left,
                        text::RoundClampPixel(placed.MapY(static_cast<double>(y) + entry.Height)) - top, placed.zoom};
                } else {
                    frame.Drawn[i] = DrawnElement{sprite, x, y};
                }
                const bool previewed = shown.empty() || shown[static_cast<size_t>(i)] != 0;
                if (!previewed) frame.Drawn[i].sprite = -1;
                if (element.Visible != 0 && previewed && ctx.picture)
                    modern.push_back({static_cast<int16_t>(i), sprite, x, y, placed, scaled});
                else if (element.Visible != 0 && previewed && backBuffer)
                    DrawElement({.stage = stage, .camera = camera, .backBuffer = backBuffer,
                                 .index = static_cast<int16_t>(i), .sprite = sprite, .x = x, .y = y,
                                 .scale = place.scale});

                element.PosX += element.VelocityX;
                element.PosY += element.VelocityY;
                UpdateSine(element.SinXAmp, element.SinXPeriod, element.SinXPhase, element.SinOffX);
                UpdateSine(element.SinYAmp, element.SinYPeriod, element.SinYPhase, element.SinOffY);
            }
        }
        FollowCamera(element, camera, follow);
    }
    if (ctx.picture && ctx.retain) {
        // Drawn once both passes have placed their elements: what changed is known then.
        frame.Retained.Pending[frontPass ? 1 : 0] = std::move(modern);
        frame.Retained.PendingCamera[frontPass ? 1 : 0] = camera;
    } else if (ctx.picture) {
        // The back pass starts the frame: rows no element covers start from empty.
        std::optional<uint32_t> clear;
        if (!frontPass) clear = ctx.options.DebugBG ? Expand565(kMaskColor) : 0xFF000000u;
        DrawModernPass(
            stage, camera, *ctx.picture, modern, clear, [&](const ModernDraw& d, const Source32* source) {
                DrawElement({stage, camera, backBuffer, ctx.picture, &frame.DrawnPixels, d.index, d.sprite,
                             d.x, d.y, place.scale, d.scaled ? &d.placed : nullptr, source});
            },
            nullptr, &frame.Stacks);
    }
    camera.PrevCameraX = camera.CameraX;
    camera.PrevCameraY = camera.CameraY;
    CameraKeys(stage, camera, frame, ctx.keys, ctx.clock,
               ctx.cameraArrows ? ctx.cameraArrows() : CameraArrows::All, ctx.hook);
    if (ctx.hook) ctx.hook->AfterPass(stage, frame, ctx.keys, ctx.clock);
}

void DrawKeptPicture(FrameContext& ctx) {
    StageModel& stage = ctx.stage;
    FrameState& frame = ctx.frame;
    RetainedPicture& kept = frame.Retained;
    Picture32& picture = *ctx.picture;
    const ModernPlacement place = ModernPlacementFor(stage);
    // Nothing may change the elements between the passes; a draw that no longer names an element
    // or a sprite is left out all the same.
    for (auto& draws : kept.Pending)
        std::erase_if(draws, [&](const ModernDraw& d) {
            return d.index < 0 || d.index >= static_cast<int>(stage.Elements.size()) || !ValidSprite(stage, d.sprite);
        });
    const uint32_t clear = ctx.options.DebugBG ? Expand565(kMaskColor) : 0xFF000000u;
    auto draw = [&](Picture32& target, const Clip32* area, int64_t* drawn) {
        for (size_t pass = 0; pass < 2; ++pass) {
            const CameraState& camera = kept.PendingCamera[pass];
            std::optional<uint32_t> clearColour;
            if (pass == 0) clearColour = clear;
            DrawModernPass(
                stage, camera, target, kept.Pending[pass], clearColour,
                [&](const ModernDraw& d, const Source32* source) {
                    DrawElement({stage, camera, ctx.backBuffer, &target, drawn, d.index, d.sprite, d.x, d.y,
                                 place.scale, d.scaled ? &d.placed : nullptr, source});
                },
                area, &frame.Stacks);
        }
    };
    const Clip32 area = kept.Area(stage, picture, clear);
    if (!area.Empty()) draw(picture, &area, &frame.DrawnPixels);
    if (ctx.verifyKept && area != picture.Whole()) {
        Picture32 whole(picture.Width, picture.Height);
        draw(whole, nullptr, nullptr);
        if (whole.Pixels != picture.Pixels) ++kept.Mismatches;
    }
}

}  // namespace qb

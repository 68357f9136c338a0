#include "render/draw_elements.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "platform/gfx.h"
#include "render/bg_ctrl.h"
#include "render/blit_sprite.h"
#include "render/camera.h"
#include "render/compose32.h"
#include "render/draw_modern.h"
#include "platform/text_util.h"

namespace qb {

namespace {

constexpr double kPi = 3.14159265358979;
// A tile run never draws more than this many tiles on one axis (a 1-pixel step across the view and
// back fits easily).
constexpr int kMaxTilesPerAxis = 4096;
// At most about this many tiles of one run are stacked on any pixel (twice that when the step does
// not divide the tile size): real stages overlap their tiles far less.
constexpr double kMaxStackedTiles = 4;

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
void BaseCorner(const StageModel& stage, const BgElement& element, const BgFrame* animFrame, int16_t sprite,
                int32_t& x, int32_t& y) {
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
    x = flip.h ? text::RoundClampPixel(animFrame->OffsetX + static_cast<double>(element.PosX) + sumX)
               : text::RoundClampPixel(animFrame->OffsetX + static_cast<double>(element.PosX) - sumX);
    y = flip.v ? text::RoundClampPixel(animFrame->OffsetY + static_cast<double>(element.PosY) + sumY)
               : text::RoundClampPixel(animFrame->OffsetY + static_cast<double>(element.PosY) - sumY);
}

struct ElementMotion {
    double x = 0, y = 0;  // controller and sine offsets, in stage units
};

// The modern corner in picture pixels: the sprite's axis position in stage units (scaled by the
// placement), less the axis in sprite pixels. Older stages snap the axis position to whole units
// first; 1.0 stages keep its fraction and round once, at the pixel.
void PlaceInPixels(const StageModel& stage, const BgElement& element, const BgFrame* animFrame, int16_t sprite,
                   const ElementMotion& motion, const ModernPlacement& place, int32_t& x, int32_t& y) {
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
        axisX += animFrame->OffsetX;
        axisY += animFrame->OffsetY;
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

void UpdateSine(float amp, float period, float& phase, float& offset) {
    if (amp == 0 || period == 0) return;
    offset = static_cast<float>(amp * std::sin(kPi / period * phase));
    phase += 1;
    if (phase == 2 * period) phase = 0;
}

void FollowCamera(BgElement& element, const CameraState& camera) {
    if (camera.CameraX != camera.PrevCameraX && element.Type != "parallax") {
        if (camera.PrevCameraX - camera.CameraX > 0)
            element.PosX -= element.DeltaX * camera.HCamStep;
        else
            element.PosX += element.DeltaX * camera.HCamStep;
    }
    if (camera.CameraY != camera.PrevCameraY) {
        if (camera.CameraY - camera.PrevCameraY > 0)
            element.PosY -= element.DeltaY * camera.VCamStep;
        else
            element.PosY += element.DeltaY * camera.VCamStep;
    }
}

// Draws the element's sprite once or as tiles at the worked-out corner (x, y).
// Tile spacing and windows are in stage units, `scale` pixels each on the modern picture.
void DrawElement(StageModel& stage, const CameraState& camera, BITMAP* backBuffer, Picture32* picture,
                 int64_t* drawnPixels, int16_t index, int16_t sprite, int32_t x, int32_t y, int scale) {
    // The modern path draws into the 32-bit picture through the same placement and tiling.
    auto blit = [&](int32_t bx, int32_t by, int32_t bw, int32_t bh, int32_t sx, int32_t sy) {
        if (picture) {
            const int64_t n = BlitSprite32(stage, camera, *picture, bx, by, bw, bh, sprite, sx, sy, index, scale);
            if (drawnPixels) *drawnPixels += n;
        } else {
            BlitSprite(stage, camera, backBuffer, bx, by, bw, bh, sprite, sx, sy, index);
        }
    };
    const BgElement& element = stage.Elements[index];
    const SpriteEntry& entry = stage.Sprites[sprite];
    int32_t BltW = entry.Width;
    int32_t BltH = entry.Height;
    if (element.TileX == 0 && element.TileY == 0) {
        if (element.HasWindow == 1) {
            const double x1 = static_cast<double>(element.WindowX1) * scale;
            const double y1 = static_cast<double>(element.WindowY1) * scale;
            int32_t sx = text::RoundClampPixel(x1 - static_cast<double>(x));
            int32_t sy = text::RoundClampPixel(y1 - static_cast<double>(y));
            int32_t wx = text::RoundClampPixel(x1);
            int32_t wy = text::RoundClampPixel(y1);
            int32_t ww = text::RoundClampPixel((static_cast<double>(element.WindowX2) - element.WindowX1 + 1) * scale);
            int32_t wh = text::RoundClampPixel((static_cast<double>(element.WindowY2) - element.WindowY1 + 1) * scale);
            blit(wx, wy, ww, wh, sx, sy);
            return;
        }
    }
    bool anim = element.Type == "anim";
    const double spaceX = static_cast<double>(element.TileSpacingX) * scale;
    const double spaceY = static_cast<double>(element.TileSpacingY) * scale;
    double stepX = anim ? spaceX : static_cast<double>(BltW) + spaceX;
    double stepY = anim ? spaceY : static_cast<double>(BltH) + spaceY;
    const double bufferW = picture ? picture->Width : BitmapWidth(backBuffer);
    const double bufferH = picture ? picture->Height : BitmapHeight(backBuffer);
    constexpr double kFar = std::numeric_limits<double>::max() / 4;

    TileRun runX{static_cast<double>(x),
                 stepX,
                 element.TileX,
                 static_cast<double>(BltW),
                 camera.ViewLeft,
                 static_cast<double>(camera.ViewRight),
                 0,
                 bufferW};
    TileRun runY{static_cast<double>(y),
                 stepY,
                 element.TileY,
                 static_cast<double>(BltH),
                 camera.ViewTop,
                 static_cast<double>(camera.ViewBottom),
                 0,
                 bufferH};
    // Anim tiles are mirrored about their axis: a flipped frame is drawn left of (above) its
    // position, so the visible test looks at where the pixels really go.
    if (anim) {
        const BgAction& action = stage.Actions[element.ActionIndex];
        FlipMode flip = FrameFlip(action.Frames[element.FrameIndex].Flip);
        if (flip.h) runX.visibleLow += BltW, runX.visibleHigh += BltW;
        if (flip.v) runY.visibleLow += BltH, runY.visibleHigh += BltH;
    }
    if (element.Type == "parallax") {
        // A floor's rows move with the camera by their own factors; a tile is seen when any row of
        // it lands on the buffer. The runs follow what can be seen rather than the base positions.
        // Rows of a floor on the modern picture are drawn about the picture's own centre.
        ParallaxExtent extent = picture ? ParallaxFloorExtent(stage, camera, element, entry, scale, bufferW / 2)
                                        : ParallaxFloorExtent(stage, camera, element, entry);
        double low = kFar, high = -kFar;
        for (const ParallaxRowMap& row : {extent.top, extent.bottom}) {
            if (row.b <= 0) continue;
            low = std::min(low, (0 - row.a) / row.b - BltW);
            high = std::max(high, (bufferW - row.a) / row.b);
        }
        runX.visibleLow = low;
        runX.visibleHigh = high;
        runX.nearEdge = -kFar;
        runX.farEdge = kFar;
        runY.size = extent.rows;
    }

    int32_t xs[kMaxTilesPerAxis];
    int32_t ys[kMaxTilesPerAxis];
    int nx = TilePositions(runX, xs, kMaxTilesPerAxis);
    int ny = TilePositions(runY, ys, kMaxTilesPerAxis);
    // Columns of counted tiles with rows both ways are drawn column by column; every other case
    // row by row.
    bool columnsOuter = element.TileX >= 2 && element.TileY == 1;
    if (columnsOuter) {
        for (int i = 0; i < nx; ++i)
            for (int j = 0; j < ny; ++j)
                blit(xs[i], ys[j], BltW, BltH, 0, 0);
    } else {
        for (int j = 0; j < ny; ++j)
            for (int i = 0; i < nx; ++i)
                blit(xs[i], ys[j], BltW, BltH, 0, 0);
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
    if (!frontPass) RunBgCtrls(stage);

    const int count = static_cast<int>(stage.Elements.size());
    frame.Drawn.resize(stage.Elements.size());
    // The modern picture's elements are drawn after the loop (nothing the loop changes later is read
    // by drawing), so that what later opaque layers hide can be left out.
    std::vector<ModernDraw> modern;
    for (int i = 0; i < count; ++i) {
        BgElement& element = stage.Elements[i];
        bool handled = !(frontPass ? element.LayerNo == 0 : element.LayerNo > 0) && element.Enabled != 0;
        if (handled) {
            frame.Drawn[i] = DrawnElement{};
            int16_t sprite = element.SpriteIndex;
            const BgFrame* animFrame = nullptr;
            bool isAnim = element.Type == "anim";
            if (isAnim) {
                animFrame = AdvanceAnimation(stage, element);
                sprite = animFrame ? animFrame->SpriteIndex : -1;
            }
            if (sprite != -1 && element.SpriteIndex != -1 && ValidSprite(stage, sprite)) {
                // Controller motion and sine offsets (a linked element swings with its parent).
                element.CtrlOffX += element.CtrlVelX;
                element.CtrlOffY += element.CtrlVelY;
                const BgElement* sineSource = &element;
                if (element.PositionLink != 0 && element.LinkParent >= 0 && element.LinkParent < count)
                    sineSource = &stage.Elements[element.LinkParent];
                const ElementMotion motion{static_cast<double>(element.CtrlOffX) + sineSource->SinOffX,
                                           static_cast<double>(sineSource->SinOffY) + element.CtrlOffY};
                int32_t x, y;
                if (place.scale == 1 && !place.fractional) {
                    // Whole units, rounded as the classic pass rounds them.
                    BaseCorner(stage, element, animFrame, sprite, x, y);
                    x = text::RoundClampPixel(static_cast<double>(element.CtrlOffX) + sineSource->SinOffX + x +
                                              place.centreUnits);
                    y = text::RoundClampPixel(static_cast<double>(sineSource->SinOffY) + y + element.CtrlOffY);
                } else {
                    PlaceInPixels(stage, element, animFrame, sprite, motion, place, x, y);
                }
                if (stage.ZOffsetLink > 0 && stage.ZOffsetLink == i)
                    frame.LinkOffsetY = text::RoundWrapInt16(sineSource->SinOffY);

                frame.Drawn[i] = DrawnElement{sprite, x, y};
                if (element.Visible != 0 && ctx.picture)
                    modern.push_back({static_cast<int16_t>(i), sprite, x, y});
                else if (element.Visible != 0 && backBuffer)
                    DrawElement(stage, camera, backBuffer, ctx.picture, &frame.DrawnPixels, static_cast<int16_t>(i),
                                sprite, x, y, place.scale);

                element.PosX += element.VelocityX;
                element.PosY += element.VelocityY;
                UpdateSine(element.SinXAmp, element.SinXPeriod, element.SinXPhase, element.SinOffX);
                UpdateSine(element.SinYAmp, element.SinYPeriod, element.SinYPhase, element.SinOffY);
            }
        }
        FollowCamera(element, camera);
    }
    if (ctx.picture) {
        // The back pass starts the frame: rows no element covers start from empty.
        std::optional<uint32_t> clear;
        if (!frontPass) clear = ctx.options.DebugBG ? Expand565(kMaskColor) : 0xFF000000u;
        DrawModernPass(stage, camera, *ctx.picture, modern, clear, [&](const ModernDraw& d) {
            DrawElement(stage, camera, backBuffer, ctx.picture, &frame.DrawnPixels, d.index, d.sprite, d.x, d.y,
                        place.scale);
        });
    }
    camera.PrevCameraX = camera.CameraX;
    camera.PrevCameraY = camera.CameraY;
    CameraKeys(stage, camera, frame, ctx.keys, ctx.clock,
               ctx.cameraArrows ? ctx.cameraArrows() : CameraArrows::All, ctx.hook);
    if (ctx.hook) ctx.hook->AfterPass(stage, frame, ctx.keys, ctx.clock);
}

}  // namespace qb

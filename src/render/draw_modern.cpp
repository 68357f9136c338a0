#include "render/draw_modern.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

#include "platform/gfx.h"
#include "platform/text_util.h"
#include "render/anim_pose.h"
#include "render/blit_sprite.h"
#include "render/compose32.h"
#include "render/layer_stacks.h"
#include "render/overlays.h"
#include "stage/stage_version.h"

namespace qb {

namespace {

constexpr int kMinSide = 64;
constexpr int kMaxSide = 4096;

// The axis the element pass placed a floor's corner by: its own sprite's (an animated floor's
// frames all stand where its first frame stands).
const SpriteEntry& FloorAxis(const StageModel& stage, const BgElement& element, const SpriteEntry& drawn) {
    if (element.SpriteIndex >= 0 && element.SpriteIndex < static_cast<int>(stage.Sprites.size()))
        return stage.Sprites[element.SpriteIndex];
    return drawn;
}

double RowStep(const BgElement& element, const CameraState& camera, double follow) {
    return std::fabs(
        (static_cast<double>(element.YScaleDelta) * camera.CameraY * follow + element.YScaleStart) / 100.0);
}

double WidthRowWidth(const BgElement& element, double o, int height) {
    if (height <= 0) return element.XScaleTop;
    return element.XScaleTop + (static_cast<double>(element.XScaleBottom) - element.XScaleTop) * o / height;
}

// Floor row r of the picture (counted from the floor's top, at zoom 1) shows source row r * step;
// the rows drawn end past the sprite's last row or the picture's bottom.
struct FloorRows {
    double step = 1;
    int first = 0, last = -1;
};
FloorRows RowsOnPicture(const BgElement& element, const CameraState& camera, double follow, int h, double top,
                        int pictureHeight, double zoom) {
    FloorRows rows;
    rows.step = RowStep(element, camera, follow);
    const int topRow = text::RoundClampPixel(top);
    rows.first = std::max(0, -topRow);
    const double lastOnScreen = static_cast<double>(pictureHeight) - 1 - topRow;
    const double lastInSprite = rows.step > 0 ? std::floor(h / rows.step * zoom) : lastOnScreen;
    rows.last = static_cast<int>(std::clamp(std::min(lastOnScreen, lastInSprite), -1.0, double(1 << 20)));
    return rows;
}

int64_t DrawZoomedParallax32(const CameraState& camera, double follow, Picture32& picture,
                             const BgElement& element, const Source32& source, int32_t BltX, int32_t BltY,
                             double axisX, double axisY, int scale, double zoom, double pivotX, double pivotY,
                             const Clip32& clip) {
    const int h = source.height, w = source.width;
    if (w <= 0 || h <= 0 || !(zoom > 0)) return 0;
    const Blend32 blend = ElementBlend32(element.Trans, element.AlphaS, element.AlphaD);
    const double floorTop = BltY + ModernFloorTopShift(element, camera, follow, axisY);
    const double top = pivotY + (floorTop - pivotY) * zoom;
    const int topRow = text::RoundClampPixel(top);
    const FloorRows rows = RowsOnPicture(element, camera, follow, h, top, picture.Height, zoom);
    auto zoomX = [&](double x) { return pivotX + (x - pivotX) * zoom; };
    int64_t written = 0;
    for (int r = rows.first; r <= rows.last; ++r) {
        const double o = r / zoom * rows.step;  // the floor's own row r / zoom
        if (o > h) break;
        // The source row under the drawn row's top: a floor stretched twice as tall shows every row
        // twice and ends exactly at its last row (rounding would lose the last one).
        const int srcY = text::RoundClampPixel(std::floor(o));
        if (srcY >= h) continue;
        const FloorRow row =
            ModernFloorRow(element, camera, follow, w, h, BltX, axisX, scale, picture.Width / 2.0, o);
        // Unstretched rows keep whole source columns at zoom 1, as the unzoomed floor does.
        const double left = element.WidthGiven ? row.left : -std::nearbyint(-row.left);
        if (row.width < 1) continue;
        const int64_t l = text::RoundClampPixel(zoomX(left)), rr = text::RoundClampPixel(zoomX(left + row.width));
        if (rr <= l) continue;
        written += ComposeScaledRect(picture, source, 0, srcY, w, 1, l, topRow + r, rr - l, 1, false, false, blend,
                                     clip);
    }
    return written;
}

// A modern floor on the 32-bit picture: floor row n copies source row n·step, placed by
// ModernFloorRow (unstretched and scrolled by its own factor with xscale, stretched onto the
// trapezoid with width). Stage units count `scale` pixels each; `axisX` is the sprite's own axis
// within its corner BltX. Zoomed (`zoom` other than 1, about pivotX and pivotY), the same floor is
// drawn with every row and row width scaled: destination row r shows floor row r / zoom.
// Rows are clipped to `clip` (the element's window, or the whole picture).
int64_t DrawParallax32(const CameraState& camera, double follow, Picture32& picture, const BgElement& element,
                       const Source32& source, int32_t BltX, int32_t BltY, double axisX, double axisY,
                       int scale, const Clip32& clip, double zoom = 1, double pivotX = 0, double pivotY = 0) {
    if (zoom != 1)
        return DrawZoomedParallax32(camera, follow, picture, element, source, BltX, BltY, axisX, axisY, scale,
                                    zoom, pivotX, pivotY, clip);
    const int h = source.height, w = source.width;
    if (w <= 0 || h <= 0) return 0;
    const Blend32 blend = ElementBlend32(element.Trans, element.AlphaS, element.AlphaD);
    // The vertical scale stretches the floor about its axis row: a ceiling hanging from its bottom
    // edge keeps meeting the wall below it.
    BltY = text::RoundClampPixel(BltY + ModernFloorTopShift(element, camera, follow, axisY));
    const FloorRows rows = RowsOnPicture(element, camera, follow, h, BltY, picture.Height, 1);
    int64_t written = 0;
    for (int n = rows.first; n <= rows.last; ++n) {
        const double o = n * rows.step;
        if (o > h) break;
        // The source row under the drawn row's top: a floor stretched twice as tall shows every row
        // twice and ends exactly at its last row (rounding would lose the last one).
        const int srcY = text::RoundClampPixel(std::floor(o));
        if (srcY >= h) continue;
        const FloorRow row =
            ModernFloorRow(element, camera, follow, w, h, BltX, axisX, scale, picture.Width / 2.0, o);
        if (!element.WidthGiven) {
            // Picture column 0 shows source column srcX.
            const int srcX = text::RoundClampPixel(-row.left);
            if (srcX >= w || srcX <= -picture.Width) continue;
            written += ComposeRect(picture, source, srcX, srcY, picture.Width, 1, 0, BltY + n, false, false, blend, clip);
            continue;
        }
        if (row.width < 1) continue;
        written += ComposeStretchedRow(picture, source, srcY, text::RoundClampPixel(row.left),
                                       text::RoundClampPixel(row.width), BltY + n, blend, clip);
    }
    return written;
}

}  // namespace

double ModernFloorTopShift(const BgElement& element, const CameraState& camera, double follow, double axisY) {
    const double m = RowStep(element, camera, follow);
    if (!(m > 0) || !std::isfinite(m)) return 0;
    return std::clamp(axisY - axisY / m, -1e6, 1e6);
}

FloorRow ModernFloorRow(const BgElement& element, const CameraState& camera, double follow, int spriteW,
                        int spriteH, double cornerX, double axisX, int scale, double centre, double o) {
    const double base = cornerX + static_cast<double>(camera.CamOffsetX) * follow * element.DeltaX * scale;
    const double camX = static_cast<double>(camera.CameraX) * follow * scale;
    if (!element.WidthGiven) {
        // xscale = top,bottom: the top edge scrolls at delta, the bottom edge (the sprite's last row,
        // whatever the vertical scale) at delta * bottom / top, the rows between in proportion.
        double d = element.DeltaX;
        if (element.XScaleTop != 0 && spriteH > 0)
            d *= 1 + (static_cast<double>(element.XScaleBottom) / element.XScaleTop - 1) * o / spriteH;
        return {base + d * camX, static_cast<double>(spriteW)};
    }
    // width = top,bottom: the row is stretched to its share of the trapezoid and centred on the
    // element's position (the sprite's own axis x plays no part); it scrolls by delta times its
    // width against the top's.
    if (element.XScaleTop <= 0 || spriteW <= 0) return {};
    const double rowUnits = WidthRowWidth(element, o, spriteH);
    const double rowWidth = rowUnits * scale;
    if (!(rowWidth > 0)) return {};
    const double stretch = rowWidth / spriteW;
    const double d = element.DeltaX * rowUnits / element.XScaleTop;
    return {centre + d * camX + (base + axisX - centre) * stretch - rowWidth / 2, rowWidth};
}

bool IsModernStage(const StageModel& stage) {
    // The load decides the element rules by the same test.
    return IsModernStageModel(stage);
}

bool DrawsOnPicture(const StageModel& stage, const CameraState& camera) {
    return IsModernStage(stage) || camera.Zoom != 1;
}

ModernPlacement ModernPlacementFor(const StageModel& stage) {
    ModernPlacement place;
    place.scale = stage.Hires != 0 ? 2 : 1;
    const PictureSize size = ModernPictureSize(stage);
    place.centreUnits = size.width / 2 / place.scale - kViewWidth / 2;
    place.fractional = stage.MugenVersion >= 1.0f || stage.SffMajor > 2 || (stage.SffMajor == 2 && stage.SffMinor >= 1);
    return place;
}

PictureSize ModernPictureSize(const StageModel& stage) {
    const int64_t scale = stage.Hires != 0 ? 2 : 1;
    PictureSize size;
    size.width = static_cast<int>(std::clamp<int64_t>(int64_t{stage.LocalCoordW} * scale, kMinSide, kMaxSide));
    size.height = static_cast<int>(std::clamp<int64_t>(int64_t{stage.LocalCoordH} * scale, kMinSide, kMaxSide));
    return size;
}

int32_t ModernCentreShift(const Picture32& picture) {
    return picture.Width / 2 - kViewWidth / 2;
}

namespace {

// How an element's sprite is drawn this tick: its blending and, for an anim, its frame's flip and
// pose. False when nothing is drawn (another type, an unreadable action, a blend that skips).
struct ElementLook {
    Blend32 blend;
    FlipMode flip;
    FramePose pose;
};

bool LookOf(const StageModel& stage, const BgElement& element, ElementLook& look) {
    if (element.Type == "normal") {
        look.blend = ElementBlend32(element.Trans, element.AlphaS, element.AlphaD);
    } else if (element.Type == "anim") {
        if (element.ActionIndex < 0 || element.ActionIndex >= static_cast<int>(stage.Actions.size())) return false;
        const BgAction& action = stage.Actions[element.ActionIndex];
        if (element.FrameIndex < 0 || element.FrameIndex >= static_cast<int>(action.Frames.size())) return false;
        look.pose = PoseOf(action, element, true);
        look.blend = AnimBlend32(element, stage.MugenVersion, look.pose.blend);
        look.flip = FrameFlip(look.pose.frame->Flip);
    } else {
        return false;
    }
    return !look.blend.skip;
}

// The source one blit draws from: `prepared`, or made into `made`. Null when the element or the
// sprite number is out of range, or the sprite has nothing to draw.
const Source32* BlitSource(const StageModel& stage, int16_t SrcIndex, int16_t BGCNT, const Source32* prepared,
                           std::optional<Source32>& made) {
    if (BGCNT < 0 || BGCNT >= static_cast<int>(stage.Elements.size())) return nullptr;
    if (SrcIndex < 0 || SrcIndex >= static_cast<int>(stage.Sprites.size())) return nullptr;
    const Source32& source =
        prepared ? *prepared : made.emplace(MakeSource32(stage.Sprites[SrcIndex], ModernMask(stage.Elements[BGCNT])));
    return source.kind == Source32::Kind::None ? nullptr : &source;
}

// A floor's rows, about the axis of the sprite the element names.
int64_t DrawFloor32(const StageModel& stage, const CameraState& camera, Picture32& picture, const BgElement& element,
                    const SpriteEntry& sprite, const Source32& source, int32_t BltX, int32_t BltY, int scale,
                    const Clip32* window, double zoom = 1, double pivotX = 0, double pivotY = 0) {
    const SpriteEntry& axis = FloorAxis(stage, element, sprite);
    return DrawParallax32(camera, LayerCameraScale(stage), picture, element, source, BltX, BltY, axis.AxisX,
                          axis.AxisY, scale, window ? *window : WholePicture(picture), zoom, pivotX, pivotY);
}

}  // namespace

int64_t BlitSprite32(const StageModel& stage, const CameraState& camera, Picture32& picture, int32_t BltX,
                     int32_t BltY, int32_t BltW, int32_t BltH, int16_t SrcIndex, int32_t sx, int32_t sy,
                     int16_t BGCNT, int scale, const Source32* prepared, const Clip32* window) {
    std::optional<Source32> made;
    const Source32* from = BlitSource(stage, SrcIndex, BGCNT, prepared, made);
    if (!from) return 0;
    const Source32& source = *from;
    const SpriteEntry& sprite = stage.Sprites[SrcIndex];
    const BgElement& element = stage.Elements[BGCNT];
    if (element.Type == "parallax")
        return DrawFloor32(stage, camera, picture, element, sprite, source, BltX, BltY, scale, window);

    ElementLook look;
    if (!LookOf(stage, element, look)) return 0;
    const Blend32 blend = look.blend;
    const FlipMode flip = look.flip;
    const FramePose& pose = look.pose;

    int64_t x = int64_t{BltX} - sx;
    int64_t y = int64_t{BltY} - sy;
    if (flip.h) x -= source.width;
    if (flip.v) y -= source.height;
    const bool windowed =
        sx != 0 || sy != 0 || (element.HasWindow == 1 && element.TileX == 0 && element.TileY == 0);
    Clip32 clip = WholePicture(picture);
    if (windowed) {
        if (BltW <= 0 || BltH <= 0) return 0;
        clip = {std::max(BltX, 0), std::max(BltY, 0),
                static_cast<int>(std::min<int64_t>(int64_t{BltX} + BltW, picture.Width)),
                static_cast<int>(std::min<int64_t>(int64_t{BltY} + BltH, picture.Height))};
    }
    if (window)
        clip = {std::max(clip.left, window->left), std::max(clip.top, window->top),
                std::min(clip.right, window->right), std::min(clip.bottom, window->bottom)};
    if (pose.Transformed()) {
        // The corner was worked out from where the frame's axis lands: put the axis back and turn
        // the frame about it.
        const double atX = static_cast<double>(int64_t{BltX} - sx) + (flip.h ? -sprite.AxisX : sprite.AxisX);
        const double atY = static_cast<double>(int64_t{BltY} - sy) + (flip.v ? -sprite.AxisY : sprite.AxisY);
        return ComposeRotated(picture, source, atX, atY, sprite.AxisX, sprite.AxisY, pose.scaleX, pose.scaleY,
                              pose.angle, flip.h, flip.v, blend, clip);
    }
    return ComposeRect(picture, source, 0, 0, source.width, source.height, x, y, flip.h, flip.v, blend, clip);
}

int64_t BlitSprite32Scaled(const StageModel& stage, const CameraState& camera, Picture32& picture, int32_t BltX,
                           int32_t BltY, int16_t SrcIndex, int16_t BGCNT, int scale, const ScaledPlacement& placed,
                           const Clip32* window, const Source32* prepared) {
    std::optional<Source32> made;
    const Source32* from = BlitSource(stage, SrcIndex, BGCNT, prepared, made);
    if (!from) return 0;
    const Source32& source = *from;
    const SpriteEntry& sprite = stage.Sprites[SrcIndex];
    const BgElement& element = stage.Elements[BGCNT];
    if (element.Type == "parallax")
        return DrawFloor32(stage, camera, picture, element, sprite, source, BltX, BltY, scale, window, placed.zoom,
                           placed.pivotX, placed.pivotY);

    ElementLook look;
    if (!LookOf(stage, element, look)) return 0;
    const Blend32 blend = look.blend;
    const FlipMode flip = look.flip;
    const FramePose& pose = look.pose;
    Clip32 clip = window ? *window : WholePicture(picture);
    if (pose.Transformed()) {
        // The frame's own scale and turn about its axis, on top of the element's mapping.
        const double atX = placed.MapX(static_cast<double>(BltX) + (flip.h ? -sprite.AxisX : sprite.AxisX));
        const double atY = placed.MapY(static_cast<double>(BltY) + (flip.v ? -sprite.AxisY : sprite.AxisY));
        return ComposeRotated(picture, source, atX, atY, sprite.AxisX, sprite.AxisY, pose.scaleX * placed.ax,
                              pose.scaleY * placed.ay, pose.angle, flip.h, flip.v, blend, clip);
    }
    // The corners at zoom 1 (a mirrored frame hangs the other way from its position), then mapped:
    // rounding both edges, not the size, keeps neighbouring tiles without gaps or overlaps.
    double x = BltX, y = BltY;
    if (flip.h) x -= source.width;
    if (flip.v) y -= source.height;
    const int64_t left = text::RoundClampPixel(placed.MapX(x));
    const int64_t right = text::RoundClampPixel(placed.MapX(x + source.width));
    const int64_t top = text::RoundClampPixel(placed.MapY(y));
    const int64_t bottom = text::RoundClampPixel(placed.MapY(y + source.height));
    return ComposeScaledRect(picture, source, 0, 0, source.width, source.height, left, top, right - left,
                             bottom - top, flip.h, flip.v, blend, clip);
}

namespace {

// Every pixel of source row `row` is drawn opaque by a plain copy.
bool RowOpaque(const Source32& source, int row) {
    switch (source.kind) {
        case Source32::Kind::Indexed: {
            if (!source.binary) return false;
            if (!source.masked) return true;
            if (!source.runRows) return false;
            // One run of non-zero indices from the first column to the last.
            const uint32_t first = source.runRows[row], end = source.runRows[row + 1];
            return end - first == 2 && source.runs[first] == 0 && source.runs[first + 1] == source.width;
        }
        case Source32::Kind::Rgba:
        case Source32::Kind::Rgb565:
            return !source.alpha;
        case Source32::Kind::None:
            break;
    }
    return false;
}

// Tiles of the same height this many at most across a view: DrawElement's tile limit.
constexpr int64_t kCoverTileLimit = 4000;
// More separate bands than this and an element is drawn whole: each band repeats its tile walk.
constexpr int kMaxBands = 16;

}  // namespace

namespace {

// MakeSource32 of the draw's sprite as its element masks it; empty for a draw out of range.
Source32 SourceOf(const StageModel& stage, const ModernDraw& draw) {
    if (draw.index < 0 || draw.index >= static_cast<int>(stage.Elements.size())) return {};
    if (draw.sprite < 0 || draw.sprite >= static_cast<int>(stage.Sprites.size())) return {};
    return MakeSource32(stage.Sprites[draw.sprite], ModernMask(stage.Elements[draw.index]));
}

// MarkCoveredRows with the draw's source made already.
void MarkRowsOf(const StageModel& stage, const CameraState& camera, const Picture32& picture,
                const ModernDraw& draw, const Source32& source, int order, std::vector<int>& cover) {
    if (draw.index < 0 || draw.index >= static_cast<int>(stage.Elements.size())) return;
    if (draw.sprite < 0 || draw.sprite >= static_cast<int>(stage.Sprites.size())) return;
    const BgElement& element = stage.Elements[draw.index];
    // A stage that may zoom scales its elements: only stages that cannot are culled.
    if (stage.ZoomOut != 1 || stage.ZoomIn != 1 || stage.StartZoom != 1) return;
    if (element.Type != "normal" || element.HasWindow != 0 || element.TileY != 0) return;
    if (element.ScaleStartX != 1 || element.ScaleStartY != 1 || element.ScaleDeltaX != 0 || element.ScaleDeltaY != 0)
        return;
    const Blend32 blend = ElementBlend32(element.Trans, element.AlphaS, element.AlphaD);
    if (blend.skip || blend.op != BlendOp::Copy) return;
    const int64_t w = source.width, h = source.height;
    if (source.kind == Source32::Kind::None || w <= 0 || h <= 0) return;
    const SpriteEntry& entry = stage.Sprites[draw.sprite];
    if (entry.Width != w || entry.Height != h) return;
    bool across = false;
    if (element.TileX == 0) {
        across = draw.x <= 0 && int64_t{draw.x} + w >= picture.Width;
    } else if (element.TileX == 1 && element.TileSpacingX == 0) {
        // Tiles without end, edge to edge, laid from the view's left edge to its right one.
        across = camera.ViewLeft <= 0 && camera.ViewRight >= picture.Width && w * kCoverTileLimit >= picture.Width;
    }
    if (!across) return;
    const int64_t top = std::max<int64_t>(draw.y, 0), bottom = std::min<int64_t>(int64_t{draw.y} + h, picture.Height);
    for (int64_t y = top; y < bottom; ++y)
        if (RowOpaque(source, static_cast<int>(y - draw.y))) cover[static_cast<size_t>(y)] = order;
}

// A draw that may join a stack: a normal element copied unscaled and unwindowed, through colour 0's
// mask, from an indexed picture whose other colours are all opaque (`source`, its MakeSource32).
bool StackableDraw(const StageModel& stage, const ModernDraw& d, const Source32& source) {
    if (d.scaled || source.kind != Source32::Kind::Indexed || !source.binary || !source.masked) return false;
    const BgElement& e = stage.Elements[d.index];
    if (e.Type != "normal" || e.HasWindow != 0) return false;
    const Blend32 blend = ElementBlend32(e.Trans, e.AlphaS, e.AlphaD);
    return !blend.skip && blend.op == BlendOp::Copy;
}

// Whether stackable `upper`, drawn right after stackable `lower`, lands on the same pixels in the same
// way: tiled alike, at the same corner, with sprites that stack.
bool StacksOn(const StageModel& stage, const ModernDraw& lower, const ModernDraw& upper) {
    if (lower.x != upper.x || lower.y != upper.y) return false;
    const BgElement& a = stage.Elements[lower.index];
    const BgElement& b = stage.Elements[upper.index];
    if (a.TileX != b.TileX || a.TileY != b.TileY || a.TileSpacingX != b.TileSpacingX ||
        a.TileSpacingY != b.TileSpacingY)
        return false;
    const SpriteEntry& sa = stage.Sprites[lower.sprite];
    const SpriteEntry& sb = stage.Sprites[upper.sprite];
    return sa.Width == sb.Width && sa.Height == sb.Height && CanStack(sa, sb);
}

}  // namespace

void MarkCoveredRows(const StageModel& stage, const CameraState& camera, const Picture32& picture,
                     const ModernDraw& draw, int order, std::vector<int>& cover) {
    MarkRowsOf(stage, camera, picture, draw, SourceOf(stage, draw), order, cover);
}

void DrawModernPass(const StageModel& stage, const CameraState& camera, Picture32& picture,
                    const std::vector<ModernDraw>& passDraws, std::optional<uint32_t> clearColour,
                    const std::function<void(const ModernDraw&, const Source32*)>& drawOne,
                    const Clip32* area, LayerStacks* stacks) {
    const int height = picture.Height;
    const Clip32 limit = area ? *area : picture.Whole();
    const int top = std::clamp(limit.top, 0, height), bottom = std::clamp(limit.bottom, top, height);
    const int left = std::clamp(limit.left, 0, picture.Width), right = std::clamp(limit.right, left, picture.Width);
    if (top >= bottom || left >= right) return;
    const bool whole = top == 0 && bottom == height && left == 0 && right == picture.Width;
    // Each draw's colour table once, for the culling and the drawing both; layers that land on the
    // same pixels are one draw of their stack (the backmost layer's draw with the stack's colours).
    std::vector<Source32> own;
    std::vector<uint8_t> stackable;
    own.reserve(passDraws.size());
    for (const ModernDraw& d : passDraws) {
        own.push_back(SourceOf(stage, d));
        stackable.push_back(stacks && StackableDraw(stage, d, own.back()) ? 1 : 0);
    }
    std::vector<ModernDraw> draws;
    std::vector<Source32> sources;
    draws.reserve(passDraws.size());
    sources.reserve(passDraws.size());
    std::vector<const SpriteEntry*> layers;
    for (size_t k = 0; k < passDraws.size();) {
        size_t end = k + 1;
        if (stackable[k])
            while (end < passDraws.size() && stackable[end] && StacksOn(stage, passDraws[k], passDraws[end]))
                ++end;
        const SpriteEntry* stack = nullptr;
        if (end - k >= 2) {
            layers.clear();
            for (size_t j = k; j < end; ++j) layers.push_back(&stage.Sprites[passDraws[j].sprite]);
            stack = stacks->Stack(layers);
        }
        draws.push_back(passDraws[k]);
        sources.push_back(stack ? MakeSource32(*stack, true) : own[k]);
        k = stack ? end : k + 1;
    }
    // cover[y]: the last element (in drawing order) that paints row y wholly, -1 none.
    std::vector<int> cover(static_cast<size_t>(std::max(height, 0)), -1);
    for (size_t k = 0; k < draws.size(); ++k)
        MarkRowsOf(stage, camera, picture, draws[k], sources[k], static_cast<int>(k), cover);
    if (clearColour) {
        for (int y = top; y < bottom; ++y)
            if (cover[static_cast<size_t>(y)] < 0) std::fill(picture.Row(y) + left, picture.Row(y) + right, *clearColour);
    }
    const int clipLeft = picture.ClipLeft, clipRight = picture.ClipRight;
    picture.ClipLeft = std::max(clipLeft, left);
    picture.ClipRight = std::min(clipRight, right);
    std::vector<std::pair<int, int>> bands;
    for (size_t k = 0; k < draws.size(); ++k) {
        // Rows where no later element covers: this one shows there.
        bands.clear();
        for (int y = top; y < bottom;) {
            if (cover[static_cast<size_t>(y)] > static_cast<int>(k)) {
                ++y;
                continue;
            }
            const int start = y;
            while (y < bottom && cover[static_cast<size_t>(y)] <= static_cast<int>(k)) ++y;
            bands.emplace_back(start, y);
        }
        if (bands.empty()) continue;
        if (whole && bands.size() == 1 && bands[0].first == 0 && bands[0].second == height) {
            drawOne(draws[k], &sources[k]);
            continue;
        }
        if (bands.size() > kMaxBands) bands.assign(1, {top, bottom});
        for (const auto& [bandTop, bandBottom] : bands) {
            picture.ClipTop = bandTop;
            picture.ClipBottom = bandBottom;
            drawOne(draws[k], &sources[k]);
        }
        picture.ClipTop = 0;
        picture.ClipBottom = std::numeric_limits<int>::max();
    }
    picture.ClipLeft = clipLeft;
    picture.ClipRight = clipRight;
}

void DrawInfoText32(Picture32& picture, const std::string& text, int dy) {
    if (text.empty() || picture.Width <= 0) return;
    // The built-in font draws into a 16-bit bitmap; its lit pixels are copied across.
    // The strip has a pixel of room all round for the text's black edge.
    const int width = std::min<int>(static_cast<int>(text.size()) * 8 + 2, picture.Width);
    UniqueBitmap strip = CreateBitmap(width, 10);
    if (!strip) return;
    a_clear_to_color(strip.get(), kMaskColor);
    DrawOutlinedText(strip.get(), text, 1, 1);
    for (int y = 0; y < 10; ++y) {
        const int py = 2 + dy + y;
        if (py < 0 || py >= picture.Height) continue;
        const uint16_t* row = BitmapRow(strip.get(), y);
        uint32_t* out = picture.Row(py);
        for (int x = 0; x < width && 3 + x < picture.Width; ++x)
            if (row[x] != kMaskColor) out[3 + x] = Expand565(row[x]);
    }
}

void ClearPicture32(Picture32& picture) {
    std::fill(picture.Pixels.begin(), picture.Pixels.end(), 0xFF000000u);
}

void DebugClear32(Picture32& picture) {
    std::fill(picture.Pixels.begin(), picture.Pixels.end(), Expand565(kMaskColor));
}

}  // namespace qb

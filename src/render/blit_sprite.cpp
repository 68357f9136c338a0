#include "render/blit_sprite.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

#include "platform/gfx.h"
#include "platform/text_util.h"
#include "render/compose32.h"
#include "stage/stage_version.h"

namespace qb {

namespace {

bool ParseInt(const std::string& text, size_t& pos, int& value) {
    size_t start = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
    if (pos == start) return false;
    value = std::atoi(text.substr(start, std::min<size_t>(pos - start, 6)).c_str());
    return true;
}

// Parallax row step: source rows advanced per screen row. YScaleStart 100 means one to one.
// `follow` is the layers' camera scale (LayerCameraScale), 1 on every classic stage.
double RowStep(const BgElement& element, const CameraState& camera, double follow) {
    return std::fabs(
        (static_cast<double>(element.YScaleDelta) * camera.CameraY * follow + element.YScaleStart) / 100.0);
}

// Per screen row growth of the scroll factor of an "xscale" floor. A missing xscale line leaves
// both scales at 0; such a floor scrolls every row like its delta instead of dividing by zero.
double RowGrowth(const BgElement& element, int height) {
    if (element.XScaleTop == 0 || height <= 0) return 0;
    double d = element.DeltaX;
    return (static_cast<double>(element.XScaleBottom) / element.XScaleTop * d - d) / height;
}

// Rows of the floor that can land on the back buffer: screen rows from BltY while the source row
// stays inside the sprite. A zero step would repeat the first source row for ever; the screen's
// height bounds it instead.
struct RowRange {
    int first = 0;
    int last = -1;  // inclusive
};
RowRange VisibleRows(int BltY, double step, int height, int bufferHeight) {
    RowRange range;
    range.first = std::max(0, -BltY);
    double lastOnScreen = static_cast<double>(bufferHeight) - 1 - BltY;
    double lastInSprite = step > 0 ? std::floor(height / step) : lastOnScreen;
    // n * step <= height is the loop's own end; floor keeps it.
    range.last = static_cast<int>(std::clamp(std::min(lastOnScreen, lastInSprite), -1.0, double(1 << 20)));
    return range;
}

double WidthRowWidth(const BgElement& element, double o, int height) {
    if (height <= 0) return element.XScaleTop;
    return element.XScaleTop + (static_cast<double>(element.XScaleBottom) - element.XScaleTop) * o / height;
}

void DrawParallax(const StageModel& stage, const CameraState& camera, BITMAP* bb, const BgElement& element,
                  const SpriteEntry& sprite, int32_t BltX, int32_t BltY) {
    BITMAP* src = sprite.Bitmap;
    int h = sprite.Height;
    int w = sprite.Width;
    int bufferHeight = BitmapHeight(bb);
    double m = RowStep(element, camera, 1);
    RowRange rows = VisibleRows(BltY, m, h, bufferHeight);
    // Loading placed PosX for the camera's start like every element, but a floor takes its scroll
    // from CameraX itself; undo the start offset here so it is not counted twice.
    double base = BltX + static_cast<double>(camera.CamOffsetX) * element.DeltaX;
    if (!element.WidthGiven) {
        double f = RowGrowth(element, h);
        for (int n = rows.first; n <= rows.last; ++n) {
            double o = n * m;
            if (o > h) break;
            double d = element.DeltaX + f * n;
            int srcX = text::RoundClampPixel(-base - d * camera.CameraX);
            int srcY = text::RoundClampPixel(o);
            // A row scrolled wholly off the sprite copies nothing; tiled floors have many such rows.
            if (srcX >= w || srcX <= -kViewWidth || srcY >= h) continue;
            if (element.Mask == 1)
                a_masked_blit(src, bb, srcX, srcY, 0, BltY + n, kViewWidth, 1);
            else
                a_blit(src, bb, srcX, srcY, 0, BltY + n, kViewWidth, 1);
        }
        return;
    }
    // "width" floors: every source row is stretched to a width growing from the top width to the
    // bottom width, about the stage's centre line, and scrolls in proportion to its width.
    if (w <= 0 || element.XScaleTop <= 0) return;
    for (int n = rows.first; n <= rows.last; ++n) {
        double o = n * m;
        if (o > h) break;
        double rowWidth = WidthRowWidth(element, o, h);
        if (rowWidth < 1) continue;
        double scale = rowWidth / w;
        double d = element.DeltaX * rowWidth / element.XScaleTop;
        int left = text::RoundClampPixel(160 + d * camera.CameraX + (base - 160) * scale);
        int width = text::RoundClampPixel(rowWidth);
        int srcY = text::RoundClampPixel(o);
        if (srcY >= h) continue;
        if (left >= kViewWidth || static_cast<double>(left) + width <= 0) continue;  // lands off the view
        int y = BltY + n;
        if (element.Mask == 1) {
            a_set_clip(bb, 0, y, kViewWidth - 1, y);
            a_stretch_sprite(bb, src, left, y - srcY, width, h);
            a_reset_clip(bb);
        } else {
            a_stretch_blit(src, bb, 0, srcY, w, 1, left, y, width, 1);
        }
    }
}

// The part of the back buffer a draw may touch: the window's rectangle or the whole buffer.
struct Area {
    int64_t left, top, right, bottom;  // right and bottom exclusive
};

// Draws `sprite` mirrored as asked at (x, y), masked, through the draw the mode names. Translucent
// mirrored frames go through a mirrored copy because the additive draws have no mirrored form. Only
// the part of the sprite that lands in `area` is copied: a large sprite tiled across the view would
// otherwise be copied whole for every tile.
void DrawMirroredTrans(BITMAP* bb, BITMAP* sprite, int x, int y, FlipMode flip, TransMode trans, Area area) {
    BITMAP* source = sprite;
    UniqueBitmap mirrored;
    if (flip.h || flip.v) {
        const int64_t left = std::max<int64_t>(x, area.left), top = std::max<int64_t>(y, area.top);
        const int64_t right = std::min<int64_t>(int64_t{x} + BitmapWidth(sprite), area.right);
        const int64_t bottom = std::min<int64_t>(int64_t{y} + BitmapHeight(sprite), area.bottom);
        if (left >= right || top >= bottom) return;
        mirrored = CreateBitmap(static_cast<int>(right - left), static_cast<int>(bottom - top));
        if (!mirrored) return;
        a_clear_to_color(mirrored.get(), kMaskColor);
        const int mx = static_cast<int>(x - left), my = static_cast<int>(y - top);
        if (flip.h && flip.v)
            a_draw_sprite_vh_flip(mirrored.get(), sprite, mx, my);
        else if (flip.h)
            a_draw_sprite_h_flip(mirrored.get(), sprite, mx, my);
        else
            a_draw_sprite_v_flip(mirrored.get(), sprite, mx, my);
        source = mirrored.get();
        x = static_cast<int>(left);
        y = static_cast<int>(top);
    }
    if (trans.kind == TransKind::Add)
        add_sprite(bb, source, x, y, trans.amount);
    else if (trans.kind == TransKind::Blend)
        blend_sprite(bb, source, x, y, trans.src, trans.dst);
    else if (trans.kind == TransKind::Sub)
        sub_sprite(bb, source, x, y);
}

}  // namespace

TransMode ElementTrans(const std::string& trans, int alphaS, int alphaD) {
    // The words and weights are the engine's, as the modern picture uses them ("default" draws a
    // normal element unblended; addalpha and add with "alpha = s,d" weigh both sides; add1 is the
    // whole sprite onto half the background), drawn with the 16-bit picture's blends.
    const Blend32 blend = ElementBlend32(trans, alphaS, alphaD);
    if (blend.skip) return {TransKind::Skip, 0};
    switch (blend.op) {
        case BlendOp::Copy:
            return {TransKind::Plain, 255};
        case BlendOp::Sub:
            return {TransKind::Sub, 255};
        case BlendOp::Add:
            break;
    }
    if (blend.s == 256 && blend.d == 256) return {TransKind::Add, 255};
    return {TransKind::Blend, 255, blend.s, blend.d};
}

TransMode FrameTrans(const std::string& trans) {
    if (trans.empty()) return {TransKind::Plain, 255};
    if (trans == "a") return {TransKind::Add, 255};
    // "A shorthand for AS256D128 is A1": the whole sprite onto the background at half.
    if (trans == "a1") return {TransKind::Blend, 255, 256, 128};
    // The engine subtracts for any word that starts with S ("sub" as well as "s").
    if (trans[0] == 's') return {TransKind::Sub, 255};
    // "as<src>d<dst>" asks for source-times-src plus destination-times-dst. Here it is drawn
    // additively with the source amount alone (clamped to 0..255) and the destination kept whole:
    // glows and light shafts, the usual use (AS<n>D256), come out right, while "as256d0"-style
    // opaque draws come out too bright.
    if (trans.size() > 2 && trans[0] == 'a' && trans[1] == 's') {
        size_t pos = 2;
        int amount = 0;
        if (ParseInt(trans, pos, amount) && pos < trans.size() && trans[pos] == 'd')
            return {TransKind::Add, std::clamp(amount, 0, 255)};
    }
    return {TransKind::Skip, 0};
}

FlipMode FrameFlip(const std::string& flip) {
    FlipMode mode;
    mode.h = flip.find('h') != std::string::npos;
    mode.v = flip.find('v') != std::string::npos;
    return mode;
}

ParallaxExtent ParallaxFloorExtent(const StageModel& stage, const CameraState& camera,
                                   const BgElement& element, const SpriteEntry& sprite, int scale,
                                   double centre) {
    ParallaxExtent extent;
    int h = sprite.Height;
    int w = sprite.Width;
    const double follow = LayerCameraScale(stage);
    double m = RowStep(element, camera, follow);
    int lastRow = m > 0 ? static_cast<int>(std::min(std::floor(h / m), 4096.0)) : kViewHeight;
    extent.rows = lastRow + 1;
    double offset = static_cast<double>(camera.CamOffsetX) * follow * element.DeltaX * scale;
    double camX = static_cast<double>(camera.CameraX) * follow * scale;
    if (!element.WidthGiven) {
        double f = RowGrowth(element, h);
        extent.top = {offset + element.DeltaX * camX, 1.0};
        extent.bottom = {offset + (element.DeltaX + f * lastRow) * camX, 1.0};
        return extent;
    }
    auto rowMap = [&](double o) {
        double rowUnits = WidthRowWidth(element, o, h);
        double stretch = w > 0 ? rowUnits * scale / w : 1.0;
        double d = element.XScaleTop > 0 ? element.DeltaX * rowUnits / element.XScaleTop : element.DeltaX;
        return ParallaxRowMap{centre + d * camX + (offset - centre) * stretch, stretch};
    };
    extent.top = rowMap(0);
    extent.bottom = rowMap(std::min<double>(h, lastRow * m));
    return extent;
}

void BlitSprite(const StageModel& stage, const CameraState& camera, BITMAP* backBuffer, int32_t BltX,
                int32_t BltY, int32_t BltW, int32_t BltH, int16_t SrcIndex, int32_t sx, int32_t sy,
                int16_t BGCNT) {
    if (!backBuffer || BGCNT < 0 || BGCNT >= static_cast<int>(stage.Elements.size())) return;
    if (SrcIndex < 0 || SrcIndex >= static_cast<int>(stage.Sprites.size())) return;
    const SpriteEntry& sprite = stage.Sprites[SrcIndex];
    if (!sprite.Bitmap) return;
    const BgElement& element = stage.Elements[BGCNT];

    if (element.Type == "parallax") {
        DrawParallax(stage, camera, backBuffer, element, sprite, BltX, BltY);
        return;
    }

    TransMode trans;
    FlipMode flip;
    if (element.Type == "normal") {
        trans = ElementTrans(element.Trans, element.AlphaS, element.AlphaD);
    } else if (element.Type == "anim") {
        if (element.ActionIndex < 0 || element.ActionIndex >= static_cast<int>(stage.Actions.size())) return;
        const BgAction& action = stage.Actions[element.ActionIndex];
        if (element.FrameIndex < 0 || element.FrameIndex >= static_cast<int>(action.Frames.size())) return;
        const BgFrame& frame = action.Frames[element.FrameIndex];
        trans = FrameTrans(frame.Trans);
        flip = FrameFlip(frame.Flip);
    } else {
        return;
    }
    if (trans.kind == TransKind::Skip) return;

    if (trans.kind == TransKind::Plain && !flip.h && !flip.v) {
        // The only path that copies a part of the sprite: this is how a window takes effect.
        if (element.Mask == 1)
            a_masked_blit(sprite.Bitmap, backBuffer, sx, sy, BltX, BltY, BltW, BltH);
        else
            a_blit(sprite.Bitmap, backBuffer, sx, sy, BltX, BltY, BltW, BltH);
        return;
    }

    // Whole-sprite draws. The sprite's own corner is the rectangle's corner less the window's
    // offset inside the sprite; a window (sx, sy or a size other than the sprite's) becomes a clip.
    int x = BltX - sx;
    int y = BltY - sy;
    int w = BitmapWidth(sprite.Bitmap);
    int h = BitmapHeight(sprite.Bitmap);
    bool windowed =
        sx != 0 || sy != 0 || (element.HasWindow == 1 && element.TileX == 0 && element.TileY == 0);
    if (flip.h) x -= w;
    if (flip.v) y -= h;
    if (windowed) {
        if (BltW <= 0 || BltH <= 0) return;
        a_set_clip(backBuffer, BltX, BltY, BltX + BltW - 1, BltY + BltH - 1);
    }
    if (trans.kind == TransKind::Plain) {
        if (flip.h && flip.v)
            a_draw_sprite_vh_flip(backBuffer, sprite.Bitmap, x, y);
        else if (flip.h)
            a_draw_sprite_h_flip(backBuffer, sprite.Bitmap, x, y);
        else
            a_draw_sprite_v_flip(backBuffer, sprite.Bitmap, x, y);
    } else {
        Area area{0, 0, BitmapWidth(backBuffer), BitmapHeight(backBuffer)};
        if (windowed)
            area = {std::max<int64_t>(0, BltX), std::max<int64_t>(0, BltY),
                    std::min<int64_t>(area.right, int64_t{BltX} + BltW),
                    std::min<int64_t>(area.bottom, int64_t{BltY} + BltH)};
        DrawMirroredTrans(backBuffer, sprite.Bitmap, x, y, flip, trans, area);
    }
    if (windowed) a_reset_clip(backBuffer);
}

}  // namespace qb

#pragma once
// Compositing into the 32-bit picture of modern stages: the blending arithmetic the engine uses
// (source times s/256 plus destination times d/256, clamped per channel; subtraction), colour 0 and
// alpha as the mask rules say, and the loops that put a sprite, a part of it or a stretched row onto
// the picture. Every loop works on row pointers and clips once per call.
#include <array>
#include <cstdint>
#include <string>

#include "platform/picture32.h"
#include "platform/sprite_table.h"
#include "stage/stage_model.h"

namespace qb {

enum class BlendOp : uint8_t { Copy, Add, Sub };
// Copy: the source replaces the destination (mixed by its alpha where it has one). Add: source·s/256
// + destination·d/256 per channel, clamped to 255. Sub: destination − source, clamped to 0.
struct Blend32 {
    BlendOp op = BlendOp::Copy;
    int s = 256;
    int d = 0;
    bool skip = false;  // a word the engine does not know: nothing is drawn
    bool operator==(const Blend32&) const = default;
};

// One channel of Add, exactly: the two products are summed before the division, so s + d = 256 mixes
// without losing the top value (255·128 + 255·128 = 255·256).
inline uint32_t AddChannel(uint32_t src, uint32_t dst, int s, int d) {
    const uint32_t v = (src * static_cast<uint32_t>(s) + dst * static_cast<uint32_t>(d)) >> 8;
    return v > 255 ? 255 : v;
}
inline uint32_t SubChannel(uint32_t src, uint32_t dst) {
    return dst > src ? dst - src : 0;
}
// One whole pixel (0xAARRGGBB, alpha of the result 255) through a blend, with the source's alpha
// `a` (0..255) scaling its weight. The reference the compositing loops agree with.
uint32_t BlendPixel(uint32_t src, uint32_t dst, Blend32 blend);

// An element's "trans" and "alpha" (none/default: copy; add 256,256; add1 256,128 or, with alpha,
// add with those weights; addalpha 256,0 or alpha's weights; sub). Weights are clamped to 0..256.
Blend32 ElementBlend32(const std::string& trans, int alphaS, int alphaD);
// An animation frame's letters: "a" 256,256, "a1" 256,128, "as<s>d<d>", "s" (or any word starting
// with s); empty copies.
Blend32 FrameBlend32(const std::string& trans);
// An anim element's blending of one frame: an element without trans, or with "default", keeps the
// frame's letters; any other word replaces them. Stages made before 1.0 (mugenversion below 1.0)
// wrote "none" meaning "default", so there it keeps the letters too.
Blend32 AnimBlend32(const BgElement& element, float mugenVersion, Blend32 frameBlend);
// Whether colour 0 of an indexed picture is transparent (and PNG alpha honoured) for an element:
// anim elements always; otherwise its "mask" value when it has one, else 1 for add, add1 and sub.
bool ModernMask(const BgElement& element);

// A sprite prepared for one draw: indexed pictures through a 256-entry colour table (colour 0 with
// alpha 0 when masked), RGBA pictures (alpha honoured only when masked: the engine shows a PNG with
// mask = 0 opaque), or a version 1 bitmap of a hires stage (the mask colour transparent).
struct Source32 {
    enum class Kind : uint8_t { None, Indexed, Rgba, Rgb565 } kind = Kind::None;
    int width = 0;
    int height = 0;
    const uint8_t* bytes = nullptr;      // Indexed: width a row; Rgba: width·4 a row
    const uint16_t* pixels16 = nullptr;  // Rgb565
    size_t pitch16 = 0;
    // Rgb565 of a stage sprite: the same pixels through Expand565, the mask colour with alpha 0
    // (SpriteEntry::Expanded), width a row; or null.
    const uint32_t* wide = nullptr;
    bool alpha = false;  // some pixel may be (partly) transparent
    // Indexed: every colour is opaque but colour 0 of a masked picture (the usual case), so a copy
    // needs no arithmetic at all.
    bool binary = false;
    bool masked = false;
    // Indexed: each row's runs of indices other than 0 (Sff2Picture::runRows/runs), or null.
    const uint32_t* runRows = nullptr;
    const uint16_t* runs = nullptr;
    // Indexed, binary: the picture through its colours (SpriteEntry::Expanded), or null.
    const uint32_t* expanded = nullptr;
    std::array<uint32_t, 256> colours{};
};
Source32 MakeSource32(const SpriteEntry& sprite, bool masked);

// Clip rectangle, right and bottom excluded.
inline Clip32 WholePicture(const Picture32& picture) {
    return {0, 0, picture.Width, picture.Height};
}

// Draws the source's rectangle (sx, sy, w, h) with its top-left corner at (dx, dy), mirrored as asked
// (within the rectangle), inside `clip`. Answers the number of pixels written.
int64_t ComposeRect(Picture32& picture, const Source32& source, int sx, int sy, int w, int h, int64_t dx,
                    int64_t dy, bool flipH, bool flipV, Blend32 blend, Clip32 clip);
// Row `sy` of the source stretched (nearest pixel) to `dw` pixels starting at dx on row dy.
int64_t ComposeStretchedRow(Picture32& picture, const Source32& source, int sy, int64_t dx, int64_t dw,
                            int dy, Blend32 blend, Clip32 clip);

// The whole source scaled (nearest pixel) to dw × dh at (dx, dy), mirrored left to right when asked.
int64_t ComposeScaled(Picture32& picture, const Source32& source, int64_t dx, int64_t dy, int64_t dw, int64_t dh,
                      bool flipH, Blend32 blend, Clip32 clip);

// The whole source mirrored as asked, scaled by (scaleX, scaleY) (a negative scale mirrors too) and
// then turned `angle` degrees counter-clockwise, all about its axis (axisX, axisY: a pixel edge of the
// source), which lands on the picture at (atX, atY); unscaled and unturned, the source's left edge
// is atX - axisX, exactly where ComposeRect puts it. Each destination pixel takes the source pixel
// under its centre. Only the turned rectangle's bounds inside the clip are visited, so any scale
// costs at most the clip's area; a zero, infinite or NaN value draws nothing. Answers the pixels
// visited.
int64_t ComposeRotated(Picture32& picture, const Source32& source, double atX, double atY, double axisX,
                       double axisY, double scaleX, double scaleY, double angle, bool flipH, bool flipV,
                       Blend32 blend, Clip32 clip);

// The source's rectangle (sx, sy, sw, sh) scaled (nearest pixel) to dw × dh at (dx, dy), mirrored as
// asked, inside `clip`: zoomed and scaled elements. The source column of each destination column is
// worked out once per call (no division per pixel), the source row once per row.
int64_t ComposeScaledRect(Picture32& picture, const Source32& source, int sx, int sy, int sw, int sh, int64_t dx,
                          int64_t dy, int64_t dw, int64_t dh, bool flipH, bool flipV, Blend32 blend, Clip32 clip);

}  // namespace qb

#pragma once
// Drawing one sprite of one background element into the back buffer.
#include <cstdint>
#include <string>

#include "render/camera_state.h"
#include "stage/stage_model.h"

struct BITMAP;

namespace qb {

// Draws sprite `SrcIndex` for element `BGCNT` at a position the element pass worked out.
// (BltX, BltY, BltW, BltH, sx, sy) is the rectangle of the plain copy: for an element with a window
// it is the window in screen pixels and (sx, sy) the window's corner inside the sprite; otherwise
// the whole sprite at its place with sx = sy = 0.
//
// Mirrored frames are placed by the caller about their axis: for a flip holding "h" BltX is the
// axis-mirrored right edge (the sprite is drawn at BltX - width); for "v" BltY is the bottom edge.
// A window clips every kind of draw (plain, masked, flipped, translucent).
void BlitSprite(const StageModel& stage, const CameraState& camera, BITMAP* backBuffer, int32_t BltX,
                int32_t BltY, int32_t BltW, int32_t BltH, int16_t SrcIndex, int32_t sx, int32_t sy,
                int16_t BGCNT);

// How a translucency word draws. Element words ("none", "default", "add", "add1", "addalpha", "sub",
// with the element's alpha) and animation-frame letters ("a", "a1", "s", "as<n>d<m>") both map here.
enum class TransKind { Plain, Add, Blend, Sub, Skip };
struct TransMode {
    TransKind kind = TransKind::Plain;
    int amount = 255;  // for Add: 255 full, 128 half
    int src = 256;     // for Blend: sprite * src/256 + destination * dst/256
    int dst = 256;
};
// alphaS < 0: the element has no alpha line.
TransMode ElementTrans(const std::string& trans, int alphaS, int alphaD);
TransMode FrameTrans(const std::string& trans);

struct FlipMode {
    bool h = false;
    bool v = false;
};
// "h", "v", "hv", "vh" (any case already lowered): which axes a frame mirrors.
FlipMode FrameFlip(const std::string& flip);

}  // namespace qb

namespace qb {

// Where the rows of a parallax floor land: row r of a floor whose base x is p starts at screen
// x = a + b * p. The element pass uses the first and last row to decide which tiles can be seen.
struct ParallaxRowMap {
    double a = 0;
    double b = 1;
};
struct ParallaxExtent {
    ParallaxRowMap top;
    ParallaxRowMap bottom;
    int rows = 0;  // screen rows the floor covers
};
// `scale` is the picture pixels per stage unit and `centre` the picture's centre line (the modern
// path's picture is wider than the classic view and hires stages count two pixels a unit).
ParallaxExtent ParallaxFloorExtent(const StageModel& stage, const CameraState& camera,
                                   const BgElement& element, const SpriteEntry& sprite, int scale = 1,
                                   double centre = 160);

}  // namespace qb

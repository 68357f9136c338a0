#pragma once
// What an animation frame looks like on the current tick: its offset, scale, angle and blending,
// moved toward the next frame's values where an Interpolate line asks for it.
#include "render/compose32.h"
#include "stage/stage_model.h"

namespace qb {

struct FramePose {
    const BgFrame* frame = nullptr;
    double offsetX = 0, offsetY = 0;
    double scaleX = 1, scaleY = 1, angle = 0;
    Blend32 blend;  // the frame's letters (before the element's own trans)
    // Whether the frame is drawn scaled or turned; at scale 1 and angle 0 it takes the plain path.
    bool Transformed() const { return scaleX != 1 || scaleY != 1 || angle != 0; }
};

// The pose of the element's current frame (element.FrameIndex) on the tick AdvanceAnimation just
// counted (element.FrameTime: the ticks the frame has left after this one).
//
// Interpolation: an "Interpolate X" line stands before the frame whose values it moves toward, so
// the frame after the line carries the bit and the frame before it does the moving. While frame i
// (shown for T ticks) is on its tick t = 0 .. T-1, a value is a + (b - a) · t / T, a frame i's and b
// frame i+1's; frame i+1 then starts exactly at b. A frame shown for ever (-1) or for no time has no
// ticks to move over, and the last frame does not move toward the loop start (no line stands between
// them). Blending moves only between add weights (a frame without letters counts as 256,0).
// Without `interpolate` (the classic picture) the frame's own values are answered.
FramePose PoseOf(const BgAction& action, const BgElement& element, bool interpolate);

}  // namespace qb

#pragma once
// The per-frame element pass: controllers, animation, placement, tiling, motion, camera follow and
// the camera keys at its end.
#include <cstdint>

#include "platform/ports.h"
#include "render/camera_state.h"
#include "render/draw_modern.h"
#include "render/frame.h"
#include "stage/stage_model.h"

struct BITMAP;

namespace qb {

// One layer pass (ctx.frame.LayerPass: 0 back, 255 front). The back pass runs the controllers
// first; the camera keys and then the hook end every pass. Records where each handled element was
// drawn in ctx.frame.Drawn.
void DrawElements(FrameContext& ctx);
// With ctx.retain, the passes leave the modern picture's draws in ctx.frame.Retained; this draws
// them after both passes, limited to what changed since the last frame.
void DrawKeptPicture(FrameContext& ctx);

// The tile positions of one axis, in drawing order. `count` is the element's tile value for the
// axis: 0 one tile at `start`, 1 a run both ways across the view, n >= 2 n tiles. Positions whose
// tile (of `size` pixels) lies wholly outside [visibleLow, visibleHigh) are left out; a step of 0
// or less draws a single tile instead of never ending.
struct TileRun {
    double start = 0;
    double step = 0;
    int32_t count = 0;
    double size = 0;
    double nearEdge = 0;  // the view's near edge (runs go back while position >= nearEdge - size)
    double farEdge = 0;   // the view's far edge (runs go forward while position <= farEdge)
    double visibleLow = 0;
    double visibleHigh = 0;
};
// Appends at most `limit` positions; answers how many.
int TilePositions(const TileRun& run, int32_t* out, int limit);

// An element's scales on the modern picture: `zoom` = 1 + (camera zoom - 1) * zoomdelta (its
// position's offset from the pivot and its size), x and y = scalestart + scaledelta * the camera's
// movement from its start in stage units (its size only). Each is kept within [0, 64].
struct ElementScale {
    double zoom = 1, x = 1, y = 1;
};
ElementScale ElementScaleFor(const BgElement& element, const CameraState& camera);
// The mapping from zoom-1 picture pixels for an element whose sprite axis lands at (axisX, axisY)
// at zoom 1; the pivot is the view's horizontal centre and the ground line.
ScaledPlacement PlaceScaled(const ElementScale& scale, double axisX, double axisY, double pivotX, double pivotY);
// The zoom's pivot row on a modern picture: the ground line (zoffset, in pixels); a stage without
// zoffset zooms about the picture's bottom edge. The pivot column is the picture's centre.
double ZoomPivotY(const StageModel& stage, int unitScale, int pictureHeight);

}  // namespace qb

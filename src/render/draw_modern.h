#pragma once
// The modern path: stages with a version 2 sprite file, a localcoord other than 320,240 or hires = 1
// draw into a 32-bit picture of their own size, one stage unit a pixel (two for hires stages).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/picture32.h"
#include "render/camera_state.h"
#include "render/compose32.h"
#include "stage/stage_model.h"

namespace qb {

class LayerStacks;

bool IsModernStage(const StageModel& stage);
// Whether this frame draws into the 32-bit picture: every modern stage, and a classic stage while its
// camera is zoomed (the engines zoom classic stages too; at zoom 1 they keep the classic picture).
bool DrawsOnPicture(const StageModel& stage, const CameraState& camera);
// How stage units land on a modern stage's picture.
struct ModernPlacement {
    // Picture pixels per stage unit: hires stages hold sprites at twice the resolution of their
    // coordinates (as a 640,480 localcoord over 320,240 units), so positions double while sprite
    // pixels stay 1:1.
    int scale = 1;
    // Elements are placed about the classic centre (160); the stage's own centre is localcoord / 2.
    double centreUnits = 0;
    // Stages for the 1.0 engine (mugenversion >= 1.0, or a 2.01 sprite file) keep fractional
    // positions down to the pixel; older ones snap each element to whole units as they always did.
    bool fractional = false;
};
ModernPlacement ModernPlacementFor(const StageModel& stage);
// The picture a modern stage draws into: localcoord (times two for hires), each side clamped to 64..4096 so that a hostile value cannot ask for gigabytes.
struct PictureSize {
    int width = 320;
    int height = 240;
};
PictureSize ModernPictureSize(const StageModel& stage);
// Positions are placed about the classic centre (160) when a stage loads; the modern picture's
// centre is width / 2, so the test character moves right by this many pixels.
int32_t ModernCentreShift(const Picture32& picture);

// The 32-bit counterpart of BlitSprite (same rectangle and window conventions). Answers the pixels
// written, for the benchmark's memcpy floor. `source` (may be null) is MakeSource32 of the sprite for
// this element, made once for all the tiles of a run: it builds a 256-colour table, which costs far
// more than a small tile's pixels. `window` (may be null) further clips a tile or a floor to the
// element's window, in picture pixels.
int64_t BlitSprite32(const StageModel& stage, const CameraState& camera, Picture32& picture, int32_t BltX,
                     int32_t BltY, int32_t BltW, int32_t BltH, int16_t SrcIndex, int32_t sx, int32_t sy,
                     int16_t BGCNT, int scale = 1, const Source32* source = nullptr, const Clip32* window = nullptr);

// Where source row `o` (fractional, from the sprite's top) of a modern floor lands at zoom 1, in
// picture pixels: its left edge and width. `cornerX` is the sprite's corner as the element pass
// placed it, `axisX` the sprite's own axis within it, `centre` the picture's centre column. The
// vertical scale (yscalestart, yscaledelta) decides which rows are drawn, not where they go across.
// `follow` is the layers' camera scale (LayerCameraScale) that the camera's position is taken at.
struct FloorRow {
    double left = 0, width = 0;
};
FloorRow ModernFloorRow(const BgElement& element, const CameraState& camera, double follow, int spriteW,
                        int spriteH, double cornerX, double axisX, int scale, double centre, double o);

// The vertical scale (1 / step, the step being yscalestart/100 + yscaledelta/100 * camera y) stretches
// a floor about its axis row: its top row moves down by this many pixels (up when negative) from
// the corner the element pass placed, `axisY` being the sprite's own axis row.
double ModernFloorTopShift(const BgElement& element, const CameraState& camera, double follow, double axisY);

// Where a zoomed or scaled element lands: picture pixel = a · (its pixel at zoom 1 and scale 1) + b,
// per axis. Its zoom scale moves the sprite's axis about the pivot (the view's horizontal centre,
// the ground line); its own scale (scalestart, scaledelta) then sizes the sprite about that axis.
struct ScaledPlacement {
    double ax = 1, bx = 0, ay = 1, by = 0;
    double zoom = 1;  // the element's zoom scale: floors and windows scale by it about the pivot
    double pivotX = 0, pivotY = 0;
    bool operator==(const ScaledPlacement&) const = default;
    double MapX(double x) const { return ax * x + bx; }
    double MapY(double y) const { return ay * y + by; }
    double ZoomX(double x) const { return pivotX + (x - pivotX) * zoom; }
    double ZoomY(double y) const { return pivotY + (y - pivotY) * zoom; }
};
// BlitSprite32 for a zoomed or scaled element: (BltX, BltY) is the corner at zoom 1, `window` (may
// be null) the element's window already in picture pixels. Floors scale their rows and row widths.
int64_t BlitSprite32Scaled(const StageModel& stage, const CameraState& camera, Picture32& picture, int32_t BltX,
                           int32_t BltY, int16_t SrcIndex, int16_t BGCNT, int scale, const ScaledPlacement& placed,
                           const Clip32* window, const Source32* source = nullptr);
// Element culling. The modern pass places all its elements first and draws them afterwards, so
// that rows a later element covers from edge to edge with opaque pixels are not drawn under it (a
// 1280 x 720 stage stacks several such layers: drawing them all cost most of a frame).
struct ModernDraw {
    int16_t index = 0;   // the element
    int16_t sprite = 0;  // the sprite drawn this frame
    int32_t x = 0, y = 0;  // its corner in picture pixels
    ScaledPlacement placed;  // how a zoomed or scaled element maps onto the picture
    bool scaled = false;
    bool operator==(const ModernDraw&) const = default;
};
// Marks in `cover` (one entry a picture row) the rows `draw` paints wholly and opaquely: a normal
// element copied without blending, not windowed or scaled, tiled without gaps across the view (or
// one sprite wider than it), rows whose pixels are all opaque. Each marked row is set to `order`.
void MarkCoveredRows(const StageModel& stage, const CameraState& camera, const Picture32& picture,
                     const ModernDraw& draw, int order, std::vector<int>& cover);
// Draws the pass's elements in order through `drawOne`, each limited to the rows no later element
// covers. `drawOne` gets the draw's source (MakeSource32 of its sprite as its element masks it),
// made once for the culling and the drawing both.
// `clearColour`: the back pass starts the frame, filling the rows no element covers.
// `area` (may be null: the whole picture) limits all of it to a rectangle of the picture.
// With `stacks`, consecutive layers that land on the same pixels (StacksOn) are drawn as one sprite
// stacked from theirs: `drawOne` gets the backmost layer's draw with the stack's source.
void DrawModernPass(const StageModel& stage, const CameraState& camera, Picture32& picture,
                    const std::vector<ModernDraw>& draws, std::optional<uint32_t> clearColour,
                    const std::function<void(const ModernDraw&, const Source32*)>& drawOne,
                    const Clip32* area = nullptr, LayerStacks* stacks = nullptr);

// The info overlay's text in white with the built-in font, at (4, 3 + dy) as on the classic picture.
void DrawInfoText32(Picture32& picture, const std::string& text, int dy = 0);
// Every frame starts from opaque black.
void ClearPicture32(Picture32& picture);
// The debug background: the mask colour, as the classic picture shows it.
void DebugClear32(Picture32& picture);

}  // namespace qb

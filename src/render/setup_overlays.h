#pragma once
// The stage's setup drawn over the finished frame: where the camera's view can reach, the frame a
// 4:3 screen shows, the players' starts and how far they may walk, the floor line and the selected
// element's box, axis and window. The geometry is worked out here in the picture's pixels; drawing
// it is a loop over line segments.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gfx.h"
#include "platform/picture32.h"
#include "render/camera_state.h"
#include "render/frame.h"
#include "stage/stage_model.h"

struct BITMAP;

namespace qb {

// One bit per overlay; the names are what `--overlay` and the settings call them.
enum SetupOverlay : uint8_t {
    kOverlayBounds = 1,      // "bounds": the view's reach at the current zoom and at zoomout
    kOverlayScreen = 2,      // "screen": the 4:3 frame inside a wider picture, the zoom-1 view
    kOverlayStarts = 4,      // "starts": p1 and p2 with their facing
    kOverlayMoveBounds = 8,  // "movebounds": leftbound/rightbound and screenleft/screenright
    kOverlayFloor = 16,      // "floor": zoffset, or the zoffsetlink element's row
    kOverlayElement = 32,    // "element": the selected element's box, axis and window
};
inline constexpr int kSetupOverlayCount = 6;
// The overlays' names in bit order.
extern const char* const kSetupOverlayNames[kSetupOverlayCount];

// "bounds,floor" (any letter case, blanks allowed; "all" for every one) as bits; nullopt with
// `error` naming the word it does not know.
std::optional<uint8_t> ParseOverlayNames(std::string_view list, std::string& error);

// A segment in picture pixels, both ends included; `what` is the overlay it belongs to.
struct OverlaySegment {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    uint32_t rgb = 0;  // 0xRRGGBB
    SetupOverlay what = kOverlayBounds;
};

// The picture the overlays are drawn on: its size, the stage units a pixel holds and the zoom.
struct OverlayPicture {
    int width = kViewWidth, height = kViewHeight;
    int unitScale = 1;  // picture pixels per stage unit (2 on a hires stage's picture)
    double zoom = 1;
};
// The picture of this frame: the modern picture when `picture` is set, else the classic one.
OverlayPicture OverlayPictureFor(const StageModel& stage, const CameraState& camera, const Picture32* picture);

// Every segment of the overlays in `which` for the stage as the camera shows it now. `selected` is
// the editor's element (-1: none); `frame` says where the last pass drew it.
std::vector<OverlaySegment> SetupOverlaySegments(const StageModel& stage, const CameraState& camera,
                                                 const FrameState& frame, const OverlayPicture& view,
                                                 uint8_t which, int selected);

// Draws the segments, clipped to the picture.
void DrawOverlaySegments(BITMAP* backBuffer, const std::vector<OverlaySegment>& segments);
void DrawOverlaySegments(Picture32& picture, const std::vector<OverlaySegment>& segments);

}  // namespace qb

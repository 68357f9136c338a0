#pragma once
// The camera's values as the main window keeps them. CameraX is the negative of the camera x shown
// to the user; CameraY is shown unchanged (negative is up).
#include <cstdint>

namespace qb {

// Which arrow keys move the camera. The test character takes them while it stands in the stage, except
// left and right while the camera takes its walk over near the view's edges; with the character in the
// stage the Z and A keys change only the vertical step (the horizontal one is its walking pace).
enum class CameraArrows : uint8_t { All, LeftRight, None };

struct CameraState {
    float CameraX = 0;
    float CameraY = 0;
    float PrevCameraX = 0;
    float PrevCameraY = 0;
    float HCamStep = 0;
    float VCamStep = 0;
    // The user's steps, kept while a feature sets the working ones: the horizontal one while mouse
    // scrolling or the test character does, the vertical one while mouse scrolling does.
    float SavedHCamStep = 0;
    float SavedVCamStep = 0;
    uint8_t MouseScroll = 0;
    // True while the test character sets the horizontal step to its walking speed, CharHCamStep.
    bool CharSetsHStep = false;
    float CharHCamStep = 0;
    // Horizontal start offset for the stage's startx, set by the load; the element placement and
    // the parallax floors read it.
    int16_t CamOffsetX = 0;
    // Camera travel made by mouse scrolling and not yet taken up by the test character, which stands
    // on the stage and so moves on screen with it (its own walk hand-over is not scrolling).
    float ScrollTravelX = 0;
    float ScrollTravelY = 0;
    // View rectangle: near edges of tiling runs.
    float ViewLeft = 0;
    float ViewTop = 0;
    int16_t ViewRight = 320;
    int16_t ViewBottom = 240;
    // Zoom, modern stages only (classic stages keep 1 throughout): the stage's range after
    // normalising, and the zoom now. At zoom z the picture shows 1/z of the view around the camera.
    float Zoom = 1;
    float ZoomOut = 1;
    float ZoomIn = 1;
    float StartZoom = 1;
    // Half the view's width in stage units: how far the camera may pass a bound when zoomed in.
    float ViewHalfUnits = 160;
    // Millisecond tick of the last zoom key step (a held key steps at most every 150 ms).
    int64_t LastZoomKeyTick = -1'000'000;
    // A zoom key or the wheel was used on a stage without a zoom range (zoomin equal to zoomout):
    // nothing zoomed, and the window says why (cleared by whoever tells the user).
    bool ZoomWithoutRange = false;

    bool operator==(const CameraState&) const = default;
};

}  // namespace qb

#pragma once
// A modern stage's picture kept between frames. A 1280 x 720 picture costs most of a frame to draw
// whole, while on most frames of a stage at rest only a few small elements change (an animation's
// next sprite, a blinking light). While the picture, the camera and the clear colour stand still,
// a frame draws again only the area of the elements whose drawing changed, every element limited
// to it, so that the area comes out as a whole frame would draw it; the window then shows only
// that area.
#include <array>
#include <vector>

#include "platform/picture32.h"
#include "render/anim_pose.h"
#include "render/camera_state.h"
#include "render/compose32.h"
#include "render/draw_modern.h"
#include "stage/stage_model.h"

namespace qb {

// The rows the info overlay's two lines may write, across the whole picture.
Clip32 InfoTextArea(const Picture32& picture);

// The part of a source that draws anything: its pixels' rows and columns [left, right) x [top, bottom)
// that are not wholly transparent (all of it when no pixel can be). Empty when nothing draws.
Clip32 SourceContent(const Source32& source);

// Where one element's draw may write: a rectangle around the part of its sprite that draws, `content`
// (null: all of the sprite), a band across the picture for tiles one way; the whole picture for tiles
// both ways and floors. `pose` is the anim frame's (null for other elements): a scaled or turned frame
// reaches as far as its farthest corner.
Clip32 DrawBounds(const StageModel& stage, const Picture32& picture, const ModernDraw& draw, const FramePose* pose,
                  const Clip32* content = nullptr);

class RetainedPicture {
public:
    // The passes' draws wait here, each with the camera it was placed with, until both passes have
    // placed theirs.
    std::array<std::vector<ModernDraw>, 2> Pending;
    std::array<CameraState, 2> PendingCamera{};
    // The area drawn since the window last showed the picture (the info overlay's included).
    Clip32 Shown;
    // Frames drawn whole, in part, and not at all (the info overlay aside), since the stage started.
    int64_t WholeFrames = 0, PartFrames = 0, KeptFrames = 0;
    // Kept frames that differed from the frame drawn whole (checked only when asked for).
    int64_t Mismatches = 0;

    // The picture was drawn or changed some other way: the next frame is drawn whole.
    void Forget();
    // The area of `picture` this frame must draw so that it shows the Pending draws, everything else
    // being as the last frame left it; remembers the draws for the next frame. `clear` is the colour
    // of rows no element covers.
    Clip32 Area(const StageModel& stage, const Picture32& picture, uint32_t clear);
    // The info overlay was drawn over the picture: the next frame draws its rows again.
    void OverlayDrawn(const Picture32& picture);

private:
    struct Record {
        ModernDraw draw;
        FramePose pose;  // the anim frame's values (its frame pointer left null)
        Clip32 bounds;
        BgElement element;  // as drawn, less what moves on every frame without changing the picture
    };
    void Remember(const StageModel& stage, const Picture32& picture, int pass, std::vector<Record>& into);
    // SourceContent of a sprite drawn masked or not, worked out once.
    const Clip32* ContentOf(const StageModel& stage, int sprite, bool masked);

    bool m_valid = false;
    bool m_overlay = false;
    const uint32_t* m_pixels = nullptr;
    int m_width = 0, m_height = 0;
    uint32_t m_clear = 0;
    std::array<CameraState, 2> m_cameras{};
    std::array<std::vector<Record>, 2> m_records, m_next;
    struct Content {
        const void* picture = nullptr;  // the decoded picture it was worked out from
        Clip32 box;
    };
    std::array<std::vector<Content>, 2> m_content;  // unmasked, masked; by sprite
};

}  // namespace qb

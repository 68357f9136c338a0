#pragma once
// The picture the frames of the installed stage draw into, and everything the layers above ask of
// it: what to present, a snapshot, the picture's size in pixels and how the pointer's travel maps
// onto stage units. Classic stages draw into the 16-bit back buffer (320 x 240); modern stages, and
// classic ones while the camera is zoomed, into a 32-bit picture of the stage's own size. Which one
// a frame uses is decided here only.
#include <cstdint>
#include <string>

#include "platform/gfx.h"
#include "platform/picture32.h"
#include "platform/ports.h"
#include "render/camera_state.h"
#include "render/draw_modern.h"
#include "render/overlays.h"
#include "stage/stage_model.h"

struct BITMAP;

namespace qb {

// How the test character stands on the picture of this frame (see CharScene): `picture` null on
// the classic back buffer, where the other fields keep their classic values.
struct PictureView {
    Picture32* picture = nullptr;
    double stageWidth = 320;  // the picture's width at zoom 1: the character is scaled to it
    int32_t centreShift = 0;  // stage units the picture's centre lies right of the classic centre
    int32_t viewWidth = 320;  // the view's width in stage units
    int32_t unitScale = 1;    // picture pixels per stage unit
    double zoom = 1;
    double pivotX = 0, pivotY = 0;  // what the zoom scales about: the centre column, the ground line
};

// What a sink is handed for a picture: the back buffer whole, a 32-bit picture with what changed.
FrameImage FrameOf(const BITMAP* backBuffer);
FrameImage FrameOf(const Picture32& picture, const Clip32& changed);

class FrameTarget {
public:
    // `backBuffer` is the classic picture's owner; the bitmap itself may be made later.
    explicit FrameTarget(const UniqueBitmap* backBuffer = nullptr) : m_backBuffer(backBuffer) {}

    // A stage was installed: its kind, picture size and placement hold until the next install.
    void Install(const StageModel& stage);
    // Before each frame: the picture it draws into, or null for the back buffer. The camera's view
    // rectangle becomes the picture's (tiling runs and mouse scrolling read it).
    Picture32* BeginFrame(CameraState& camera);

    BITMAP* BackBuffer() const { return m_backBuffer ? m_backBuffer->get() : nullptr; }
    // The 32-bit picture while frames draw into it, else null.
    const Picture32* Picture() const { return m_picture.Width > 0 ? &m_picture : nullptr; }

    // Shows the picture the last frame drew (only `shown` of it when it is the 32-bit one, which
    // the sink already holds; `shown` is then emptied). The picture moves into the memory the sink
    // asks for, from then on made there.
    void Present(FrameSink& sink, Clip32& shown);
    // Saves the picture into the snapshots folder of `dataDir` (see TakeSnapshot); the path, or
    // empty when nothing was written.
    // `under` (may be null): rows kept from under the info overlay, put back in the saved copy.
    std::string Snapshot(const std::string& dataDir, const std::string& stageName, uint8_t running,
                         SnapshotFormat format, const UnderOverlay* under = nullptr) const;
    // Writes the picture to `path`: PCX for ".pcx" (24-bit colour for the 32-bit picture), PNG
    // otherwise. False, with `error`, when it could not.
    bool Save(const std::string& path, std::string& error) const;
    // The size of the picture the last frame drew.
    PictureSize PixelSize() const;
    // Picture pixels per stage unit under the pointer: 2 on a hires stage's picture, else 1.
    int PixelsPerUnit() const;
    // The picture of this frame as the character walks on it.
    PictureView CharacterView(const CameraState& camera);

    // The stage as installed: its own picture's size at zoom 1 and the name of its kind ("modern"
    // or "classic"), as the headless tool's dump shows them.
    PictureSize StageSize() const { return m_modern ? m_size : PictureSize{}; }
    const char* KindName() const { return m_modern ? "modern" : "classic"; }

private:
    const UniqueBitmap* m_backBuffer = nullptr;
    Picture32 m_picture;
    std::shared_ptr<PixelMemory> m_memory;  // where the sink wants pictures made (null: the heap)
    bool m_modern = false;
    PictureSize m_size;
    ModernPlacement m_place;
    double m_pivotY = 0;  // the zoom's pivot row on the picture
};

}  // namespace qb

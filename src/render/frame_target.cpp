#include "render/frame_target.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "platform/picture32_io.h"
#include "render/draw_elements.h"

namespace qb {

void FrameTarget::Install(const StageModel& stage) {
    m_modern = IsModernStage(stage);
    m_size = ModernPictureSize(stage);
    m_place = ModernPlacementFor(stage);
    m_pivotY = ZoomPivotY(stage, std::max(1, m_place.scale), m_size.height);
}

Picture32* FrameTarget::BeginFrame(CameraState& camera) {
    // The engines zoom classic stages too; at zoom 1 they keep the classic picture.
    if (!m_modern && camera.Zoom == 1) {
        if (m_picture.Width != 0) m_picture = Picture32();
        return nullptr;
    }
    if (m_picture.Width != m_size.width || m_picture.Height != m_size.height)
        m_picture = Picture32(m_size.width, m_size.height, 0xFF000000u, m_memory);
    camera.ViewRight = static_cast<int16_t>(m_size.width);
    camera.ViewBottom = static_cast<int16_t>(m_size.height);
    return &m_picture;
}

FrameImage FrameOf(const BITMAP* backBuffer) {
    FrameImage frame;
    if (backBuffer == nullptr) return frame;
    frame.width = BitmapWidth(backBuffer);
    frame.height = BitmapHeight(backBuffer);
    frame.pixels = BitmapRow(backBuffer, 0);
    // A memory bitmap's rows lie one after another, `pitch` pixels apart.
    frame.pitch = frame.height > 1 ? static_cast<int>(BitmapRow(backBuffer, 1) - BitmapRow(backBuffer, 0))
                                   : frame.width;
    frame.format = FrameImage::Format::Rgb565;
    frame.changed = {0, 0, frame.width, frame.height};
    return frame;
}

FrameImage FrameOf(const Picture32& picture, const Clip32& changed) {
    FrameImage frame;
    frame.pixels = picture.Pixels.data();
    frame.width = picture.Width;
    frame.height = picture.Height;
    frame.pitch = picture.Width;
    frame.format = FrameImage::Format::Rgb32;
    frame.changed = changed;
    return frame;
}

void FrameTarget::Present(FrameSink& sink, Clip32& shown) {
    if (std::shared_ptr<PixelMemory> memory = sink.PictureMemory(); memory != m_memory) {
        m_memory = std::move(memory);
        // The pixels move with what the frame drew (a move assignment takes the new memory along);
        // the sink has not shown this memory yet, so it shows the whole picture.
        if (m_picture.Width > 0)
            m_picture.Pixels = PixelVector(m_picture.Pixels.begin(), m_picture.Pixels.end(),
                                           PixelAllocator<uint32_t>(m_memory));
    }
    if (const Picture32* picture = Picture()) {
        // Only what the frames drew since the last present; the sink shows the whole picture when
        // it is not the one it showed last.
        sink.Present(FrameOf(*picture, shown));
        shown = Clip32{};
    } else if (const BITMAP* backBuffer = BackBuffer()) {
        sink.Present(FrameOf(backBuffer));
    }
}

std::string FrameTarget::Snapshot(const std::string& dataDir, const std::string& stageName, uint8_t running,
                                  SnapshotFormat format, const UnderOverlay* under) const {
    const bool clean = under != nullptr && under->Rows > 0;
    if (const Picture32* picture = Picture()) {
        if (!clean) return TakeSnapshot32(dataDir, stageName, *picture, running, format);
        Picture32 copy = *picture;
        RestoreUnderOverlay(*under, copy);
        return TakeSnapshot32(dataDir, stageName, copy, running, format);
    }
    BITMAP* backBuffer = BackBuffer();
    if (!clean || !backBuffer) return TakeSnapshot(dataDir, stageName, backBuffer, running, format);
    UniqueBitmap copy = CreateBitmap(BitmapWidth(backBuffer), BitmapHeight(backBuffer));
    if (!copy) return {};
    a_blit(backBuffer, copy.get(), 0, 0, 0, 0, BitmapWidth(backBuffer), BitmapHeight(backBuffer));
    RestoreUnderOverlay(*under, copy.get());
    return TakeSnapshot(dataDir, stageName, copy.get(), running, format);
}

bool FrameTarget::Save(const std::string& path, std::string& error) const {
    std::string ext = std::filesystem::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const bool pcx = ext == ".pcx";
    if (const Picture32* picture = Picture())
        return pcx ? SavePicture32Pcx(path, *picture, error) : SavePicture32Png(path, *picture, error);
    BITMAP* backBuffer = BackBuffer();
    error.clear();
    if (backBuffer && (pcx ? a_save_pcx(path, backBuffer) : SavePng(path, backBuffer))) return true;
    if (!backBuffer) error = "no picture";
    return false;
}

PictureSize FrameTarget::PixelSize() const {
    if (const Picture32* picture = Picture()) return {picture->Width, picture->Height};
    return {kViewWidth, kViewHeight};
}

int FrameTarget::PixelsPerUnit() const {
    // A drag moves an element in units; picking stays in pixels, where the frame drew.
    if (!m_modern || !Picture()) return 1;
    return std::max(1, m_place.scale);
}

PictureView FrameTarget::CharacterView(const CameraState& camera) {
    PictureView view;
    if (m_picture.Width <= 0) return view;
    view.picture = &m_picture;
    view.stageWidth = m_size.width;
    view.unitScale = std::max(1, m_place.scale);
    view.centreShift = static_cast<int32_t>(m_place.centreUnits);
    view.viewWidth = m_picture.Width / view.unitScale;
    view.zoom = camera.Zoom;
    view.pivotX = m_picture.Width / 2.0;
    view.pivotY = m_pivotY;
    return view;
}

}  // namespace qb

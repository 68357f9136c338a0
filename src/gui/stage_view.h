#pragma once
// The widget that shows the stage's frames, scaled by a whole number without smoothing.
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <array>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>
#include <utility>

#include "platform/ports.h"

struct BITMAP;

class QWindow;

namespace qb::gui {

class X11PictureMemory;

// Converts 5-6-5 pixels to 32-bit ones through two 256-entry tables, one per byte of the pixel.
// Red lives wholly in the high byte and blue in the low one; green's six bits straddle the two,
// but its 8-bit expansion (g << 2 | g >> 4) splits into disjoint bits per byte, so an OR of two
// look-ups gives exactly what Qt's own RGB16 conversion gives, at a fraction of its cost.
class Rgb16Converter {
public:
    Rgb16Converter();
    uint32_t Convert(uint16_t pixel) const { return m_high[pixel >> 8] | m_low[pixel & 0xFF]; }
    // Writes `width` x `height` 5-6-5 pixels (rows `pitch` pixels apart) into `target`, each pixel
    // as a `scale` x `scale` block. `target` must be Format_RGB32 of at least width*scale x height*scale.
    void ConvertScaled(const uint16_t* rows, int pitch, int width, int height, int scale,
                       QImage& target) const;
    // The same into raw 32-bit rows `targetPitch` pixels apart, starting at `target`.
    void ConvertScaled(const uint16_t* rows, int pitch, int width, int height, int scale, uint32_t* target,
                       qsizetype targetPitch) const;

private:
    std::array<uint32_t, 256> m_high{};
    std::array<uint32_t, 256> m_low{};
};

class StageView : public QWidget {
    Q_OBJECT
public:
    explicit StageView(QWidget* parent = nullptr);

    // 0: the largest whole-number scale that fits the widget (full screen); 1..4: fixed.
    void SetScale(int scale);
    int Scale() const { return m_scale; }
    // The scale in use now (for a fitting view, worked out from its size).
    int EffectiveScale() const;
    // Paints the frame at once: a 5-6-5 one from a copy (320 x 240 at most), a 32-bit one wrapped
    // without copying (it lives in the application's state until the next frame). When it is the
    // 32-bit picture shown last, only its `changed` part is painted again (nothing when it is empty).
    void Present(const FrameImage& frame);
    void ShowBlack();
    // Memory the display reads 32-bit pictures from: a picture made there is shown, at 1x, by the
    // display copying it onto the window, without a paint (null: every frame is painted).
    void SetPictureMemory(std::shared_ptr<X11PictureMemory> memory) { m_memory = std::move(memory); }
    // A rectangle in frame pixels (left, top, width, height) outlined over the picture: the
    // selected element. Nullopt: none.
    void SetOutline(const std::optional<std::array<int, 4>>& outline);
    // Where the window's layout shows a picture of this size (its own pixels) inside the widget, at
    // the size shown (smaller than the picture where the screen has no room for it). Pictures of other
    // sizes, and every picture without an area, take the largest whole scale that fits.
    void SetPictureArea(QSize picture, QRect area);
    // Where the picture sits inside the widget.
    QRect PictureRect() const;
    // "Fit to window": a picture without an area from the layout (full screen) fills the widget,
    // keeping its aspect; `smooth` smooths a picture shown at a fraction of a whole scale.
    void SetScaling(bool fit, bool smooth);
    // Lines written over a black picture instead of it (the "no stage" hint in a language the back
    // buffer's font cannot write); empty: the picture.
    void SetHint(const QStringList& lines);
    // A point of the widget in the frame's own pixels (0..319, 0..239 on the picture; outside it
    // when the point is beside the picture), rounding towards minus infinity.
    std::pair<int, int> ToFramePixels(QPoint widgetPoint) const;
    int PresentCount() const { return m_presents; }
    // Paints that went straight into the window's backing store (no intermediate picture).
    int DirectPaints() const { return m_directPaints; }
    // Frames the display copied from the picture's own memory (no paint).
    int SharedPuts() const { return m_sharedPuts; }
    // Paint events, and the area the last one painted.
    int PaintCount() const { return m_paints; }
    QRect LastPainted() const { return m_lastPainted; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Converts the last frame straight into the backing store the painter draws on, when that is a
    // plain 32-bit image reached by a translation (the usual case): this saves writing and reading
    // a whole scaled picture per frame. Answers false when it cannot.
    bool PaintDirect(QPainter& painter, const QRect& picture);
    // The 32-bit picture shown at a whole scale above 1, written the same way, each pixel as a
    // block, over `region` (widget coordinates) only. Answers false when it cannot.
    bool PaintWrappedDirect(QPainter& painter, const QRect& picture, const QRegion& region);
    // Shows `area` of the 32-bit frame by the display's copy from the picture's memory; false when
    // this frame must be painted (another scale, an outline or hint over it, the view covered).
    bool PutShared(const FrameImage& frame, const QRect& area);
    void CopyFrame(const FrameImage& frame);
    void WrapFrame(const FrameImage& frame);

    Rgb16Converter m_converter;
    QImage m_last;   // the last presented 5-6-5 frame, 320 x 240 RGB16 (repaints convert from it)
    QImage m_frame;  // the scaled picture, for painters that cannot be written directly
    QImage m_wrapped;  // the last 32-bit frame's pixels (not owned); null while m_last shows
    QSize m_base{320, 240};  // the size of the picture shown, at 1x
    QSize m_areaPicture;     // SetPictureArea
    QRect m_area;
    std::optional<std::array<int, 4>> m_outline;
    QImage m_frame1x;  // the 5-6-5 frame in 32 bits at 1x, for pictures shown at a fraction
    QStringList m_hint;
    bool m_fit = false;
    bool m_smooth = false;
    int m_scale = 1;
    int m_presents = 0;
    int m_directPaints = 0;
    int m_sharedPuts = 0;
    std::shared_ptr<X11PictureMemory> m_memory;
    // The top-level window whose exposures this view watches: the backing store under a put picture
    // is older than the picture, so an exposed view is painted again rather than flushed.
    QPointer<QWindow> m_watched;
    int m_paints = 0;
    QRect m_lastPainted;
};

}  // namespace qb::gui

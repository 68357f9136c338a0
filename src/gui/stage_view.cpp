#include "gui/stage_view.h"

#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cstring>

#include <QWindow>

#include "app/window_rules.h"
#include "gui/x11_picture_memory.h"
#include "platform/gfx.h"

namespace qb::gui {

namespace {
uint32_t Expand5(uint32_t v) {
    return (v << 3) | (v >> 2);
}
}  // namespace

Rgb16Converter::Rgb16Converter() {
    for (uint32_t byte = 0; byte < 256; ++byte) {
        // High byte: rrrrrggg (red, top three green bits).
        uint32_t r5 = byte >> 3;
        uint32_t gHigh = byte & 7;
        uint32_t green = (gHigh << 5) | (gHigh >> 1);
        m_high[byte] = 0xFF000000u | (Expand5(r5) << 16) | (green << 8);
        // Low byte: gggbbbbb (low three green bits, blue).
        uint32_t gLow = byte >> 5;
        uint32_t b5 = byte & 31;
        m_low[byte] = ((gLow << 2) << 8) | Expand5(b5);
    }
}

namespace {
// One row, each source pixel written `Scale` times; the scale is a constant so that the compiler
// unrolls the inner writes (the 2x case is about twice as fast as with a run-time count).
template <int Scale>
void ConvertRow(const Rgb16Converter& converter, const uint16_t* src, int width, uint32_t* out) {
    for (int x = 0; x < width; ++x) {
        const uint32_t c = converter.Convert(src[x]);
        for (int k = 0; k < Scale; ++k) out[k] = c;
        out += Scale;
    }
}
}  // namespace

void Rgb16Converter::ConvertScaled(const uint16_t* rows, int pitch, int width, int height, int scale,
                                   QImage& target) const {
    ConvertScaled(rows, pitch, width, height, scale, reinterpret_cast<uint32_t*>(target.bits()),
                  target.bytesPerLine() / static_cast<qsizetype>(sizeof(uint32_t)));
}

void Rgb16Converter::ConvertScaled(const uint16_t* rows, int pitch, int width, int height, int scale,
                                   uint32_t* target, qsizetype targetPitch) const {
    const auto rowBytes = static_cast<size_t>(width) * static_cast<size_t>(scale) * sizeof(uint32_t);
    for (int y = 0; y < height; ++y) {
        const uint16_t* src = rows + static_cast<ptrdiff_t>(y) * pitch;
        uint32_t* first = target + static_cast<qsizetype>(y) * scale * targetPitch;
        switch (scale) {
            case 1:
                ConvertRow<1>(*this, src, width, first);
                break;
            case 2:
                ConvertRow<2>(*this, src, width, first);
                break;
            case 3:
                ConvertRow<3>(*this, src, width, first);
                break;
            case 4:
                ConvertRow<4>(*this, src, width, first);
                break;
            default: {
                uint32_t* out = first;
                for (int x = 0; x < width; ++x) {
                    const uint32_t c = Convert(src[x]);
                    for (int k = 0; k < scale; ++k) *out++ = c;
                }
            }
        }
        // The other rows of the block are copies of the first.
        for (int k = 1; k < scale; ++k) std::memcpy(first + k * targetPitch, first, rowBytes);
    }
}

StageView::StageView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    m_last = QImage(kViewWidth, kViewHeight, QImage::Format_RGB16);
    m_last.fill(0);
    SetScale(1);
}

void StageView::SetScale(int scale) {
    m_scale = std::clamp(scale, 0, 4);
    if (m_scale > 0) {
        setFixedSize(kViewWidth * m_scale, kViewHeight * m_scale);
    } else {
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    updateGeometry();
}

void StageView::SetPictureArea(QSize picture, QRect area) {
    if (picture == m_areaPicture && area == m_area) return;
    m_areaPicture = picture;
    m_area = area;
    update();
}

int StageView::EffectiveScale() const {
    if (m_base == m_areaPicture && m_area.isValid()) return std::max(1, m_area.width() / m_base.width());
    // A fixed scale is the 320 x 240 frame's; any other picture, and every picture of a fitting view,
    // takes the largest whole scale that fits, never below 1.
    if (m_scale > 0 && m_base == QSize(kViewWidth, kViewHeight)) return m_scale;
    return std::max(1, std::min(width() / std::max(1, m_base.width()), height() / std::max(1, m_base.height())));
}

QSize StageView::sizeHint() const {
    int s = m_scale > 0 ? m_scale : 1;
    return {kViewWidth * s, kViewHeight * s};
}

void StageView::SetScaling(bool fit, bool smooth) {
    if (fit == m_fit && smooth == m_smooth) return;
    m_fit = fit;
    m_smooth = smooth;
    update();
}

void StageView::SetHint(const QStringList& lines) {
    if (lines == m_hint) return;
    m_hint = lines;
    update();
}

namespace {
// A picture shown at a whole scale of its own size: each pixel a square block, no resampling.
bool WholeScale(QSize base, QSize shown) {
    return base.width() > 0 && base.height() > 0 && shown.width() % base.width() == 0 &&
           shown.height() % base.height() == 0 && shown.width() / base.width() == shown.height() / base.height();
}
}  // namespace

QRect StageView::PictureRect() const {
    if (m_base == m_areaPicture && m_area.isValid()) return m_area;
    if (m_fit) {
        const LayoutRect fit = FitPictureRect(m_base.width(), m_base.height(), width(), height());
        return {fit.left, fit.top, fit.width, fit.height};
    }
    const int s = EffectiveScale();
    const int w = m_base.width() * s;
    const int h = m_base.height() * s;
    return {(width() - w) / 2, (height() - h) / 2, w, h};
}

std::pair<int, int> StageView::ToFramePixels(QPoint widgetPoint) const {
    // By the shown size's ratio, so that a picture shown smaller maps as one shown at a whole scale.
    const QRect shown = PictureRect();
    const QPoint local = widgetPoint - shown.topLeft();
    auto floorDiv = [](int64_t a, int64_t b) { return static_cast<int>(a >= 0 ? a / b : -((-a + b - 1) / b)); };
    return {floorDiv(int64_t{local.x()} * m_base.width(), std::max(1, shown.width())),
            floorDiv(int64_t{local.y()} * m_base.height(), std::max(1, shown.height()))};
}

void StageView::Present(const FrameImage& frame) {
    if (frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0) return;
    ++m_presents;
    if (frame.format == FrameImage::Format::Rgb565)
        CopyFrame(frame);
    else
        WrapFrame(frame);
}

void StageView::WrapFrame(const FrameImage& frame) {
    const auto* pixels = static_cast<const uchar*>(frame.pixels);
    const bool same = !m_wrapped.isNull() && m_wrapped.constBits() == pixels && m_base == QSize(frame.width, frame.height);
    if (!same) {
        m_wrapped = QImage(pixels, frame.width, frame.height, static_cast<qsizetype>(frame.pitch) * 4,
                           QImage::Format_RGB32);
        m_base = QSize(frame.width, frame.height);
        repaint();
        return;
    }
    // Only the part that changed goes to the screen: at rest that is a few small elements.
    const Clip32& changed = frame.changed;
    const Clip32 area{std::max(changed.left, 0), std::max(changed.top, 0), std::min(changed.right, frame.width),
                      std::min(changed.bottom, frame.height)};
    if (area.Empty()) return;
    if (PutShared(frame, QRect(area.left, area.top, area.right - area.left, area.bottom - area.top))) return;
    // The changed pixels' place on the widget, rounded outwards where the picture is shown smaller.
    const QRect shown = PictureRect();
    const auto x = [&](int px, bool up) {
        const int64_t v = int64_t{px} * shown.width();
        return shown.left() + static_cast<int>(up ? (v + m_base.width() - 1) / m_base.width() : v / m_base.width());
    };
    const auto y = [&](int py, bool up) {
        const int64_t v = int64_t{py} * shown.height();
        return shown.top() + static_cast<int>(up ? (v + m_base.height() - 1) / m_base.height() : v / m_base.height());
    };
    repaint(QRect(QPoint(x(area.left, false), y(area.top, false)), QPoint(x(area.right, true) - 1, y(area.bottom, true) - 1)));
}

bool StageView::PutShared(const FrameImage& frame, const QRect& area) {
    if (!m_memory || m_outline || !m_hint.isEmpty() || !isVisible()) return false;
    const QRect shown = PictureRect();
    if (shown.size() != m_base || devicePixelRatioF() != 1.0) return false;
    if (!m_memory->Holds(frame.pixels, frame.pitch, frame.height)) return false;
    QWidget* top = window();
    QWindow* handle = top->windowHandle();
    if (handle == nullptr || !handle->isExposed()) return false;
    // The display writes the window directly: only where nothing else of the window lies over the view.
    const QRect target = area.translated(shown.topLeft());
    if (!(QRegion(target) - visibleRegion()).isEmpty()) return false;
    if (m_watched != handle) {
        if (m_watched) m_watched->removeEventFilter(this);
        handle->installEventFilter(this);
        m_watched = handle;
    }
    if (!m_memory->Put(static_cast<uint32_t>(top->winId()), frame.pixels, frame.pitch, frame.height, area,
                       mapTo(top, target.topLeft())))
        return false;
    ++m_sharedPuts;
    return true;
}

bool StageView::eventFilter(QObject* watched, QEvent* event) {
    // An exposed window is flushed from its backing store, which holds an older picture where the
    // display copied the frames: the view paints the current one into it.
    if (watched == m_watched && event->type() == QEvent::Expose) update();
    return QWidget::eventFilter(watched, event);
}

void StageView::CopyFrame(const FrameImage& frame) {
    m_wrapped = QImage();
    m_base = QSize(kViewWidth, kViewHeight);
    const int w = std::min(frame.width, kViewWidth);
    const int h = std::min(frame.height, kViewHeight);
    const auto* rows = static_cast<const uint16_t*>(frame.pixels);
    // A copy of 150 KB: repaints (exposes, a scale change) can then convert without the bitmap.
    for (int y = 0; y < h; ++y)
        std::memcpy(m_last.scanLine(y), rows + static_cast<ptrdiff_t>(y) * frame.pitch,
                    static_cast<size_t>(w) * sizeof(uint16_t));
    repaint();
}

void StageView::ShowBlack() {
    m_wrapped = QImage();
    m_base = QSize(kViewWidth, kViewHeight);
    m_last.fill(0);
    repaint();
}

namespace {
// The backing store's pixels under a painter, when they are a plain 32-bit image reached by a
// translation: `origin` is the painter's (0, 0), rows `pitch` pixels apart, and `bounds` the
// painter's coordinates the image holds. Null `origin` otherwise (a high-density screen, a
// 16-bit or scaled device): the painter's way is taken then.
struct DirectTarget {
    uint32_t* origin = nullptr;
    qsizetype pitch = 0;
    QRect bounds;
};

DirectTarget DirectTargetOf(QPainter& painter) {
    QPaintEngine* engine = painter.paintEngine();
    if (engine == nullptr || engine->type() != QPaintEngine::Raster) return {};
    QPaintDevice* device = engine->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image) return {};
    auto* image = static_cast<QImage*>(device);
    const QImage::Format format = image->format();
    if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied &&
        format != QImage::Format_ARGB32)
        return {};
    if (image->devicePixelRatio() != 1.0) return {};
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxTranslate) return {};
    const QPoint offset(qRound(transform.dx()), qRound(transform.dy()));
    const qsizetype pitch = image->bytesPerLine() / static_cast<qsizetype>(sizeof(uint32_t));
    uint32_t* origin = reinterpret_cast<uint32_t*>(image->bits()) + offset.y() * pitch + offset.x();
    return {origin, pitch, image->rect().translated(-offset)};
}
}  // namespace

bool StageView::PaintDirect(QPainter& painter, const QRect& picture) {
    if (!WholeScale(QSize(kViewWidth, kViewHeight), picture.size())) return false;
    // The direct write covers the whole picture; a partial repaint takes the painter's way.
    if (painter.hasClipping() && !(QRegion(picture) - painter.clipRegion()).isEmpty()) return false;
    const DirectTarget target = DirectTargetOf(painter);
    if (target.origin == nullptr || !target.bounds.contains(picture)) return false;
    uint32_t* origin = target.origin + picture.y() * target.pitch + picture.x();
    m_converter.ConvertScaled(reinterpret_cast<const uint16_t*>(m_last.constBits()),
                              static_cast<int>(m_last.bytesPerLine() / 2), kViewWidth, kViewHeight,
                              picture.width() / kViewWidth, origin, target.pitch);
    ++m_directPaints;
    return true;
}

bool StageView::PaintWrappedDirect(QPainter& painter, const QRect& picture, const QRegion& region) {
    // At 1x the painter's copy is a plain copy of rows already; above it, its general scaler makes a
    // present of a 320 x 240 picture at 2x cost about 220 us against 140 us written as blocks here
    // (present_bench, BM_PresentPicture).
    const int scale = picture.width() / std::max(1, m_base.width());
    if (scale < 2 || !WholeScale(m_base, picture.size()) || painter.hasClipping()) return false;
    const DirectTarget target = DirectTargetOf(painter);
    const QRegion area = region & picture;
    if (target.origin == nullptr || !target.bounds.contains(area.boundingRect())) return false;
    const auto* pixels = reinterpret_cast<const uint32_t*>(m_wrapped.constBits());
    const qsizetype pitch = m_wrapped.bytesPerLine() / static_cast<qsizetype>(sizeof(uint32_t));
    // Only the region is written: the outline drawn over the rest of the picture stays.
    for (const QRect& rect : area) {
        const int width = rect.width();
        const int firstX = rect.left() - picture.left();
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            uint32_t* out = target.origin + y * target.pitch + rect.left();
            const int pictureY = y - picture.top();
            if (y > rect.top() && pictureY % scale != 0) {
                // The same picture row as the line above.
                std::memcpy(out, out - target.pitch, static_cast<size_t>(width) * sizeof(uint32_t));
                continue;
            }
            const uint32_t* row = pixels + (pictureY / scale) * pitch + firstX / scale;
            int run = scale - firstX % scale;  // what is left of the first pixel's block
            for (int x = 0; x < width; ++row, run = scale) {
                const uint32_t colour = *row;
                for (const int end = std::min(width, x + run); x < end; ++x) out[x] = colour;
            }
        }
    }
    ++m_directPaints;
    return true;
}

void StageView::SetOutline(const std::optional<std::array<int, 4>>& outline) {
    if (outline == m_outline) return;
    m_outline = outline;
    update();
}

void StageView::paintEvent(QPaintEvent* event) {
    ++m_paints;
    m_lastPainted = event->rect();
    QPainter painter(this);
    const QRect picture = PictureRect();
    if (picture != rect()) {
        // Black borders around the picture (full screen, or a view bigger than its picture).
        QRegion border = QRegion(rect()).subtracted(QRegion(picture));
        for (const QRect& r : border) painter.fillRect(r, Qt::black);
    }
    // A fraction of a whole scale (fit to window, or a picture made smaller to fit the screen) is
    // smoothed when the user chose so; whole scales keep their square pixels either way.
    const bool whole = WholeScale(m_base, picture.size());
    painter.setRenderHint(QPainter::SmoothPixmapTransform, m_smooth && !whole);
    if (!m_hint.isEmpty()) {
        painter.fillRect(picture, Qt::black);
        QFont font = painter.font();
        font.setPixelSize(std::max(8, picture.height() / 22));
        painter.setFont(font);
        const int lineHeight = std::max(10, picture.height() / 14);
        int y = picture.top() + (picture.height() - lineHeight * static_cast<int>(m_hint.size())) / 2;
        for (qsizetype i = 0; i < m_hint.size(); ++i, y += lineHeight) {
            painter.setPen(i == 0 ? QColor(255, 255, 255) : QColor(176, 176, 176));
            painter.drawText(QRect(picture.left(), y, picture.width(), lineHeight), Qt::AlignCenter, m_hint[i]);
        }
    } else if (!m_wrapped.isNull()) {
        // Whole-number scales without smoothing; at 1x this is a plain copy of the rows.
        if (!PaintWrappedDirect(painter, picture, event->region())) painter.drawImage(picture, m_wrapped);
    } else if (!whole) {
        if (m_frame1x.size() != QSize(kViewWidth, kViewHeight))
            m_frame1x = QImage(kViewWidth, kViewHeight, QImage::Format_RGB32);
        m_converter.ConvertScaled(reinterpret_cast<const uint16_t*>(m_last.constBits()),
                                  static_cast<int>(m_last.bytesPerLine() / 2), kViewWidth, kViewHeight, 1,
                                  m_frame1x);
        painter.drawImage(picture, m_frame1x);
    } else if (!PaintDirect(painter, picture)) {
        // On a high-density screen (a whole-number ratio, see main.cpp) the picture is made in device
        // pixels, so each frame pixel stays a sharp square block.
        const int ratio = std::max(1, qRound(devicePixelRatioF()));
        const int s = EffectiveScale() * ratio;
        if (m_frame.size() != picture.size() * ratio)
            m_frame = QImage(picture.size() * ratio, QImage::Format_RGB32);
        m_converter.ConvertScaled(reinterpret_cast<const uint16_t*>(m_last.constBits()),
                                  static_cast<int>(m_last.bytesPerLine() / 2), kViewWidth, kViewHeight, s,
                                  m_frame);
        m_frame.setDevicePixelRatio(ratio);
        painter.drawImage(picture.topLeft(), m_frame);
    }
    if (m_outline) {
        // Drawn over the shown picture only, so snapshots of the back buffer stay clean. Dashes of
        // two colours show on dark and light art alike.
        const auto& [x, y, w, h] = *m_outline;
        const auto sx = [&](int v) { return static_cast<int>(int64_t{v} * picture.width() / m_base.width()); };
        const auto sy = [&](int v) { return static_cast<int>(int64_t{v} * picture.height() / m_base.height()); };
        const QRect box(picture.left() + sx(x), picture.top() + sy(y), std::max(1, sx(w)), std::max(1, sy(h)));
        painter.setClipRect(picture);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setPen(QPen(QColor(255, 230, 0), 1, Qt::DashLine));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
    }
}

}  // namespace qb::gui

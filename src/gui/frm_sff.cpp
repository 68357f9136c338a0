#include "gui/frm_sff.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include "gui/qt_ui.h"
#include "gui/translation.h"
#include "platform/gfx.h"
#include "stage/stage_model.h"
#include "tools/sprite_browser.h"

namespace qb::gui {

namespace {
constexpr int kTwips = 15;

// The sprite's pixels, see-through where their alpha says so (the checkerboard shows behind).
QImage SpriteImage(const SpriteRgba& pixels) {
    QImage image(pixels.Width, pixels.Height, QImage::Format_ARGB32);
    const uint8_t* p = pixels.Bytes.data();
    for (int y = 0; y < pixels.Height; ++y) {
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < pixels.Width; ++x, p += 4) out[x] = qRgba(p[0], p[1], p[2], p[3]);
    }
    return image;
}
}  // namespace

SpriteCanvas::SpriteCanvas(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("picSprite"));
    setCursor(Qt::OpenHandCursor);
}

void SpriteCanvas::SetSprite(const StageModel* stage, int row, int zoom) {
    m_stage = stage;
    m_row = row;
    m_zoom = std::max(1, zoom);
    QSize size(0, 0);
    if (m_stage && m_row >= 0 && m_row < static_cast<int>(m_stage->Sprites.size())) {
        const SpriteEntry& sprite = m_stage->Sprites[static_cast<size_t>(m_row)];
        size = QSize(sprite.Width * m_zoom, sprite.Height * m_zoom);
    }
    setMinimumSize(size);
    update();
}

void SpriteCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragging = true;
    m_dragFrom = event->globalPosition().toPoint();
    setCursor(Qt::ClosedHandCursor);
}

void SpriteCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (!m_dragging) return;
    const QPoint now = event->globalPosition().toPoint();
    emit PanRequested(m_dragFrom - now);
    m_dragFrom = now;
}

void SpriteCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    m_dragging = false;
    setCursor(Qt::OpenHandCursor);
}

void SpriteCanvas::paintEvent(QPaintEvent*) {
    QPainter p(this);
    constexpr int kCell = 8;
    for (int y = 0; y < height(); y += kCell)
        for (int x = 0; x < width(); x += kCell)
            p.fillRect(x, y, kCell, kCell,
                       ((x / kCell + y / kCell) % 2) ? QColor(200, 200, 200) : QColor(240, 240, 240));
    if (!m_stage || m_row < 0 || m_row >= static_cast<int>(m_stage->Sprites.size())) return;
    const SpriteEntry& sprite = m_stage->Sprites[static_cast<size_t>(m_row)];
    const auto pixels = SpritePixels(*m_stage, m_row);
    if (!pixels) return;
    const QImage image = SpriteImage(*pixels);
    p.drawImage(QRect(0, 0, image.width() * m_zoom, image.height() * m_zoom), image);
    const int ax = sprite.AxisX * m_zoom, ay = sprite.AxisY * m_zoom;
    p.setPen(QPen(Qt::red, 1));
    p.drawLine(ax - 6, ay, ax + 6, ay);
    p.drawLine(ax, ay - 6, ax, ay + 6);
}

FrmSff::FrmSff(const StageModel& stage, SpriteBrowserState& browser, QWidget* parent)
    : QWidget(parent, Qt::Window), m_stage(stage), m_browser(browser) {
    setObjectName(QStringLiteral("frmSFF"));
    setWindowTitle(QStringLiteral("SFF"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // A zoomed sprite larger than the window scrolls (bars, or a drag on the picture).
    m_area = new QScrollArea(this);
    m_area->setObjectName(QStringLiteral("scrSprite"));
    m_area->setWidgetResizable(true);
    m_area->setMinimumSize(6585 / kTwips, 4440 / kTwips);
    m_canvas = new SpriteCanvas(m_area);
    m_area->setWidget(m_canvas);
    layout->addWidget(m_area, 1);
    connect(m_canvas, &SpriteCanvas::PanRequested, this, [this](QPoint delta) {
        m_area->horizontalScrollBar()->setValue(m_area->horizontalScrollBar()->value() + delta.x());
        m_area->verticalScrollBar()->setValue(m_area->verticalScrollBar()->value() + delta.y());
    });
    m_hscSGFX = new QScrollBar(Qt::Horizontal, this);
    m_hscSGFX->setObjectName(QStringLiteral("hscSGFX"));
    m_hscSGFX->setFixedHeight(300 / kTwips);
    layout->addWidget(m_hscSGFX);
    auto* tools = new QHBoxLayout();
    layout->addLayout(tools);
    auto spin = [this, tools](const char* name, const char* label, int low, int high) {
        tools->addWidget(new QLabel(QString::fromUtf8(label), this));
        auto* box = new QSpinBox(this);
        box->setObjectName(QString::fromUtf8(name));
        box->setRange(low, high);
        tools->addWidget(box);
        return box;
    };
    m_zoom = spin("spnZoom", "Zoom:", 1, 8);
    m_group = spin("spnGroup", "Group:", -1, 65535);
    m_image = spin("spnImage", "Image:", -1, 65535);
    m_go = new QPushButton(QStringLiteral("Go"), this);
    m_go->setObjectName(QStringLiteral("cmdGo"));
    tools->addWidget(m_go);
    m_save = new QPushButton(QStringLiteral("Save PNG..."), this);
    m_save->setObjectName(QStringLiteral("cmdSavePng"));
    Retranslated(this, [this] {
        setWindowTitle(ToolText(FromContentText(SpriteBrowserCaption(m_browser, m_stage))));
        m_go->setText(ToolText("Go"));
        m_save->setText(ToolText("Save PNG..."));
    });
    tools->addWidget(m_save);
    tools->addStretch(1);
    // On a line of its own: beside the tools it would be cut off at the window's width.
    m_details = new QLabel(this);
    m_details->setObjectName(QStringLiteral("lblDetails"));
    m_details->setContentsMargins(4, 0, 4, 2);
    layout->addWidget(m_details);

    // Value changes and every position while dragging run the same show operation.
    connect(m_hscSGFX, &QScrollBar::valueChanged, this, [this](int v) {
        m_browser.Value = v;
        ShowSprite();
    });
    connect(m_zoom, &QSpinBox::valueChanged, this, [this] { ShowSprite(); });
    connect(m_go, &QPushButton::clicked, this, [this] {
        const int row = FindSpriteRow(m_stage, m_group->value(), m_image->value());
        if (row < 0) {
            QMessageBox::information(this, windowTitle(), ToolText(QStringLiteral("No such sprite.")));
            return;
        }
        m_hscSGFX->setValue(row);
    });
    connect(m_save, &QPushButton::clicked, this, [this] {
        const std::string path =
            m_saveAsk
                ? m_saveAsk()
                : ToNativeText(QFileDialog::getSaveFileName(this, QStringLiteral("Save sprite"),
                                                            FromContentText(SpriteFileNameFor(m_browser, m_stage)),
                                                            QStringLiteral("PNG pictures (*.png)")));
        if (path.empty()) return;
        if (!SaveShownSprite(m_browser, m_stage, path))
            QMessageBox::warning(this, windowTitle(), ToolText(QStringLiteral("The sprite could not be saved.")));
    });
    resize(6585 / kTwips, 4815 / kTwips + 40);
}

void FrmSff::Open() {
    OpenSpriteBrowser(m_browser, m_stage);
    const QSignalBlocker block(m_hscSGFX);
    m_hscSGFX->setRange(0, std::max(m_browser.Max, 0));
    m_hscSGFX->setValue(0);
    m_hscSGFX->setVisible(true);
    ShowSprite();
}

void FrmSff::Refresh() {
    if (m_shownTable != m_stage.Sprites.data() || m_shownCount != m_stage.SpriteCount) ShowSprite();
}

void FrmSff::ShowSprite() {
    m_shownTable = m_stage.Sprites.data();
    m_shownCount = m_stage.SpriteCount;
    const int row = ShownSpriteRow(m_browser, m_stage);
    if (m_hscSGFX->maximum() != std::max(m_browser.Max, 0) || m_hscSGFX->value() != m_browser.Value) {
        const QSignalBlocker block(m_hscSGFX);
        m_hscSGFX->setRange(0, std::max(m_browser.Max, 0));
        m_hscSGFX->setValue(m_browser.Value);
    }
    m_canvas->SetSprite(&m_stage, row, m_zoom->value());
    m_details->setText(QString::fromStdString(SpriteDetailsText(m_stage, row)));
    if (row >= 0) {
        const SpriteEntry& s = m_stage.Sprites[static_cast<size_t>(row)];
        const QSignalBlocker g(m_group), i(m_image);
        m_group->setValue(s.Group);
        m_image->setValue(s.Image);
    }
    setWindowTitle(ToolText(FromContentText(SpriteBrowserCaption(m_browser, m_stage))));
}

void FrmSff::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (m_closed) m_closed();
}

}  // namespace qb::gui

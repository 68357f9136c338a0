#include "gui/frm_bg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/bg_buttons.h"
#include "gui/qt_ui.h"
#include "gui/translation.h"
#include "tools/bg_editor.h"

namespace qb::gui {

namespace {
// The music box spans the grid's width below the element boxes and the mask; the buttons follow it.
constexpr int kMusicRow = 15;
}  // namespace

FrmBg::FrmBg(BgEditorFields& fields, std::function<void(const std::string&)> button, QWidget* parent,
             bool developer)
    // A tool window of the main window (its parent) stays above it, as the music chooser does.
    : QWidget(parent, Qt::Tool), m_fields(fields), m_button(std::move(button)) {
    setObjectName(QStringLiteral("frmBG"));
    Retranslated(this, [this] { setWindowTitle(ToolText("BG")); });
    // The boxes on the left, the element list (when there is one) beside them.
    m_sides = new QHBoxLayout(this);
    auto* grid = new QGridLayout;
    m_sides->addLayout(grid);
    struct BoxLayout {
        const char* name;
        const char* label;
        std::string BgEditorFields::*field;
        int row, column;
    };
    const BoxLayout layouts[] = {
        {"txtcamstartx", "camstartx=", &BgEditorFields::txtcamstartx, 0, 0},
        {"txtcamstarty", "camstarty=", &BgEditorFields::txtcamstarty, 0, 2},
        {"txtcamleft", "boundleft =", &BgEditorFields::txtcamleft, 1, 0},
        {"txtcamright", "boundright =", &BgEditorFields::txtcamright, 1, 2},
        {"txtcamhigh", "boundhigh =", &BgEditorFields::txtcamhigh, 2, 0},
        {"txtcamlow", "boundlow =", &BgEditorFields::txtcamlow, 2, 2},
        {"txtXpos", "X:", &BgEditorFields::txtXpos, 3, 0},
        {"txtYpos", "Y:", &BgEditorFields::txtYpos, 3, 2},
        {"txtType", "         type = ", &BgEditorFields::txtType, 4, 0},
        {"txtGfx", "Gfx", &BgEditorFields::txtGfx, 4, 2},
        {"txtVelX", "Vel X:", &BgEditorFields::txtVelX, 5, 0},
        {"txtVelY", "Vel Y:", &BgEditorFields::txtVelY, 5, 2},
        {"txtDeltaX", "DeltaX:", &BgEditorFields::txtDeltaX, 6, 0},
        {"txtDeltaY", "Delta Y: ", &BgEditorFields::txtDeltaY, 6, 2},
        {"txtTileX", "Tile X: ", &BgEditorFields::txtTileX, 7, 0},
        {"txtTileY", "Tile Y: ", &BgEditorFields::txtTileY, 7, 2},
        {"txtTileSpcX", "TileSX: ", &BgEditorFields::txtTileSpcX, 8, 0},
        {"txtTileSpcY", "Tile SY: ", &BgEditorFields::txtTileSpcY, 8, 2},
        {"txtScaleStartX", "ScaleStart X:", &BgEditorFields::txtScaleStartX, 9, 0},
        {"txtScaleStartY", "ScaleStart Y:", &BgEditorFields::txtScaleStartY, 9, 2},
        {"txtScaleDeltaX", "ScaleDelta X:", &BgEditorFields::txtScaleDeltaX, 10, 0},
        {"txtScaleDeltaY", "ScaleDelta Y:", &BgEditorFields::txtScaleDeltaY, 10, 2},
        {"txtZoomDelta", "ZoomDelta:", &BgEditorFields::txtZoomDelta, 11, 0},
        {"txtWidthTop", "Width top:", &BgEditorFields::txtWidthTop, 12, 0},
        {"txtWidthBottom", "Width bottom:", &BgEditorFields::txtWidthBottom, 12, 2},
        {"txtWindow", "Window:", &BgEditorFields::txtWindow, 13, 0},
        {"txtMaskWindow", "MaskWindow:", &BgEditorFields::txtMaskWindow, 13, 2},
        {"txtMusic", "Music:", &BgEditorFields::txtMusic, kMusicRow, 0},
    };
    // What the boxes of the 1.0 and 1.1 keys take (UpdateStuff: an empty one leaves its value).
    const std::map<std::string, const char*> tips = {
        {"txtWidthTop", "A parallax floor's width at its top edge; empty: as it is."},
        {"txtWidthBottom", "A parallax floor's width at its bottom edge; empty: as it is."},
        {"txtWindow", "x1, y1, x2, y2 of a \"window\" line; empty: as it is."},
        {"txtMaskWindow", "x1, y1, x2, y2 of a \"maskwindow\" line; empty: as it is."},
    };
    for (const BoxLayout& layout : layouts) {
        auto* label = new QLabel(QString::fromUtf8(layout.label), this);
        auto* box = new QLineEdit(this);
        box->setObjectName(QString::fromUtf8(layout.name));
        grid->addWidget(label, layout.row, layout.column);
        grid->addWidget(box, layout.row, layout.column + 1, 1, layout.row == kMusicRow ? 3 : 1);
        if (const auto tip = tips.find(layout.name); tip != tips.end())
            box->setToolTip(QString::fromUtf8(tip->second));
        auto field = layout.field;
        connect(box, &QLineEdit::textEdited, this,
                [this, name = std::string(layout.name), field](const QString& text) {
                    Bound& bound = m_boxes.at(name);
                    bound.shown = ToNativeText(text);
                    m_fields.*field = bound.shown;
                });
        m_boxes.emplace(layout.name, Bound{field, box, "\x01"});
    }
    m_chkMask = new QCheckBox(QStringLiteral("Mask"), this);
    m_chkMask->setObjectName(QStringLiteral("chkMask"));
    grid->addWidget(m_chkMask, kMusicRow - 1, 0);
    connect(m_chkMask, &QCheckBox::clicked, this, [this](bool on) {
        m_fields.chkMask = on;
        m_maskShown = on;
    });

    int index = 0;
    // The core's table gives each button its caption and tooltip (app/bg_buttons.h).
    for (const BgButton& button : BgButtonTable()) {
        if (button.developer && !developer) continue;
        auto* b = new QPushButton(QString::fromUtf8(button.caption), this);
        b->setObjectName(QString::fromUtf8(button.name));
        if (button.tip != nullptr) b->setToolTip(QString::fromUtf8(button.tip));
        grid->addWidget(b, kMusicRow + 1 + index / 4, index % 4);
        ++index;
        connect(b, &QPushButton::clicked, this, [this, name = std::string(button.name)] {
            if (m_button) m_button(name);
            Refresh();
        });
        m_buttons.emplace(button.name, b);
    }
    // The users' buttons in the menus' language (the developers' test buttons keep their names).
    Retranslated(this, [this] {
        m_chkMask->setText(ToolText("Mask"));
        for (const BgButton& button : BgButtonTable()) {
            QPushButton* b = Button(button.name);
            if (b == nullptr || button.developer) continue;
            b->setText(ToolText(button.caption));
            if (button.tip != nullptr) b->setToolTip(ToolText(button.tip));
        }
    });
    // The grid at its natural size: stretching the window would only pull the boxes and labels apart.
    m_sides->setSizeConstraint(QLayout::SetFixedSize);
    Refresh();
}

void FrmBg::SetSidePanel(QWidget* panel, std::function<void()> refresh) {
    panel->setParent(this);
    m_sides->addWidget(panel);
    m_refreshSide = std::move(refresh);
    if (m_refreshSide) m_refreshSide();
}

void FrmBg::Refresh() {
    if (m_refreshSide) m_refreshSide();
    for (auto& [name, bound] : m_boxes) {
        const std::string& value = m_fields.*(bound.field);
        if (value == bound.shown) continue;
        bound.shown = value;
        bound.box->setText(FromContentText(value));
    }
    if (m_fields.chkMask != m_maskShown || m_chkMask->isChecked() != m_fields.chkMask) {
        m_maskShown = m_fields.chkMask;
        m_chkMask->setChecked(m_fields.chkMask);
    }
}

QLineEdit* FrmBg::Box(const std::string& name) const {
    auto it = m_boxes.find(name);
    return it == m_boxes.end() ? nullptr : it->second.box;
}

QPushButton* FrmBg::Button(const std::string& name) const {
    auto it = m_buttons.find(name);
    return it == m_buttons.end() ? nullptr : it->second;
}

void FrmBg::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_shown) m_shown(true);
}

void FrmBg::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (m_shown) m_shown(false);
}

}  // namespace qb::gui

#include "gui/frm_music.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "app/app_state.h"
#include "app/commands.h"
#include "gui/qt_ui.h"
#include "gui/translation.h"

namespace qb::gui {

FrmMusic::FrmMusic(AppState& state, QWidget* owner)
    // A tool window of the main window stays above it.
    : QWidget(owner, Qt::Tool), m_state(state) {
    setObjectName(QStringLiteral("frmMusic"));
    setFixedSize(360, 170);

    m_frame1 = new QGroupBox(QStringLiteral("Current music file:"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setGeometry(8, 4, 300, 52);
    m_txtCurMusic = new QLineEdit(m_frame1);
    m_txtCurMusic->setObjectName(QStringLiteral("txtCurMusic"));
    m_txtCurMusic->setGeometry(8, 20, 284, 24);
    // The file text changes only through Browse: focus passes on to the button at once.
    m_txtCurMusic->setReadOnly(true);
    m_txtCurMusic->installEventFilter(this);

    auto* volumeLabel = new QLabel(QStringLiteral("Volume:                        (Default is 0, which is 50%)"), this);
    // The label is the volume box's: it names the number the box shows (the stage's bgvolume) and
    // spans the box and the scroll bar that set it, never the time beside them.
    volumeLabel->setObjectName(QStringLiteral("lblVolume"));
    volumeLabel->setGeometry(8, 62, 310, 18);
    auto* masterLabel = new QLabel(QStringLiteral("Keep in mind volume is relative to the master volume!"), this);
    masterLabel->setGeometry(8, 142, 340, 18);

    m_txtVolume = new QLineEdit(this);
    m_txtVolume->setObjectName(QStringLiteral("txtVolume"));
    m_txtVolume->setGeometry(8, 84, 60, 24);
    m_txtVolume->setReadOnly(true);
    volumeLabel->setBuddy(m_txtVolume);

    m_lblTime = new QLabel(QStringLiteral("0:00"), this);
    m_lblTime->setObjectName(QStringLiteral("lblTime"));
    m_lblTime->setGeometry(80, 84, 60, 24);
    QFont timeFont = m_lblTime->font();
    timeFont.setPointSize(14);
    m_lblTime->setFont(timeFont);

    m_cmdBrowse = new QPushButton(QStringLiteral("Browse"), this);
    m_cmdBrowse->setObjectName(QStringLiteral("cmdBrowse"));
    m_cmdBrowse->setGeometry(150, 84, 70, 26);
    m_cmdPlay = new QPushButton(QStringLiteral("Play"), this);
    m_cmdPlay->setObjectName(QStringLiteral("cmdPlay"));
    m_cmdPlay->setGeometry(150, 114, 70, 26);
    m_cmdSave = new QPushButton(QStringLiteral("Update DEF"), this);
    m_cmdSave->setObjectName(QStringLiteral("cmdSave"));
    m_cmdSave->setGeometry(228, 84, 80, 26);

    Retranslated(this, [this, volumeLabel, masterLabel] {
        setWindowTitle(ToolText(FromContentText(m_state.Chooser.Caption)));
        m_frame1->setTitle(ToolText("Current music file:"));
        volumeLabel->setText(ToolText("Volume:                        (Default is 0, which is 50%)"));
        masterLabel->setText(ToolText("Keep in mind volume is relative to the master volume!"));
        m_cmdBrowse->setText(ToolText("Browse"));
        m_cmdPlay->setText(ToolText("Play"));
        m_cmdSave->setText(ToolText("Update DEF"));
    });

    m_vscVol = new QScrollBar(Qt::Vertical, this);
    m_vscVol->setObjectName(QStringLiteral("vscVol"));
    m_vscVol->setGeometry(320, 8, 24, 130);
    m_vscVol->setRange(-255, 255);
    // The loud end is up.
    m_vscVol->setInvertedAppearance(true);
    m_vscVol->setInvertedControls(false);

    connect(m_vscVol, &QScrollBar::valueChanged, this, [this](int value) {
        if (m_updating) return;
        vscVol_Change(m_state.Chooser, m_state.MUSIC, value);
        Changed();
    });
    connect(m_cmdBrowse, &QPushButton::clicked, this, [this] {
        MusicChooserEnv env = ChooserEnv(m_state);
        cmdBrowse_Click(m_state.Chooser, env);
        Changed();
        if (parentWidget()) parentWidget()->activateWindow();
    });
    connect(m_cmdPlay, &QPushButton::clicked, this, [this] {
        cmdPlay_Click(m_state.MUSIC);
        Changed();
    });
    connect(m_cmdSave, &QPushButton::clicked, this, [this] {
        MusicChooserSave(m_state);
        Changed();
    });
}

void FrmMusic::Changed() {
    Refresh();
    if (m_changed) m_changed();
}

void FrmMusic::Refresh() {
    const MusicChooser& c = m_state.Chooser;
    if (c.Revision == m_shownRevision) return;
    m_shownRevision = c.Revision;
    m_updating = true;
    setWindowTitle(ToolText(FromContentText(c.Caption)));
    m_txtCurMusic->setText(FromContentText(c.CurMusic));
    m_txtVolume->setText(QString::fromStdString(c.VolumeText));
    m_vscVol->setValue(c.Volume);
    m_lblTime->setText(QString::fromStdString(c.Time));
    for (QWidget* control : {static_cast<QWidget*>(m_vscVol), static_cast<QWidget*>(m_txtCurMusic),
                             static_cast<QWidget*>(m_txtVolume), static_cast<QWidget*>(m_cmdSave),
                             static_cast<QWidget*>(m_cmdBrowse), static_cast<QWidget*>(m_cmdPlay),
                             static_cast<QWidget*>(m_frame1)})
        control->setEnabled(c.Enabled);
    m_updating = false;
}

bool FrmMusic::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_txtCurMusic && event->type() == QEvent::FocusIn) m_cmdBrowse->setFocus();
    return QWidget::eventFilter(watched, event);
}

void FrmMusic::closeEvent(QCloseEvent* event) {
    // Closing unloads the chooser; the next Change music loads it afresh from the stage.
    event->ignore();
    hide();
    MusicChooserClosed(m_state);
    if (m_changed) m_changed();
}

}  // namespace qb::gui

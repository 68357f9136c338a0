#pragma once
// frmMusic, the music chooser: shows the core's MusicChooser fields and calls its routines.
#include <QWidget>
#include <cstdint>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace qb {
struct AppState;
}

namespace qb::gui {

class FrmMusic : public QWidget {
    Q_OBJECT
public:
    FrmMusic(AppState& state, QWidget* owner);

    // Shows the chooser's fields when they changed since the last call.
    void Refresh();
    // Called after a control changed the core's state (the main window brings itself up to date).
    void SetChangedHandler(std::function<void()> handler) { m_changed = std::move(handler); }

    QScrollBar* VolumeBar() const { return m_vscVol; }
    QLineEdit* CurrentMusic() const { return m_txtCurMusic; }
    QLineEdit* VolumeText() const { return m_txtVolume; }
    QLabel* TimeLabel() const { return m_lblTime; }
    QPushButton* SaveButton() const { return m_cmdSave; }
    QPushButton* BrowseButton() const { return m_cmdBrowse; }
    QPushButton* PlayButton() const { return m_cmdPlay; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Changed();

    AppState& m_state;
    QScrollBar* m_vscVol = nullptr;
    QLineEdit* m_txtCurMusic = nullptr;
    QLineEdit* m_txtVolume = nullptr;
    QLabel* m_lblTime = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdBrowse = nullptr;
    QPushButton* m_cmdPlay = nullptr;
    QGroupBox* m_frame1 = nullptr;
    uint32_t m_shownRevision = UINT32_MAX;
    bool m_updating = false;
    std::function<void()> m_changed;
};

}  // namespace qb::gui

#pragma once
// The sprite browser: one sprite of the stage's sprite table at a time, picked with the scroll bar.
#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QScrollArea;
class QScrollBar;
class QSpinBox;
class QPushButton;

namespace qb {
struct StageModel;
struct SpriteBrowserState;
}  // namespace qb

namespace qb::gui {

// Draws one sprite at a whole-number zoom: masked pixels over a checkerboard, the axis as a cross.
// It is at least as large as the zoomed sprite (the scroll area around it then scrolls), and a drag
// with the left button asks to pan by the pointer's travel.
class SpriteCanvas : public QWidget {
    Q_OBJECT
public:
    explicit SpriteCanvas(QWidget* parent = nullptr);
    void SetSprite(const StageModel* stage, int row, int zoom);

signals:
    void PanRequested(QPoint delta);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QPoint m_dragFrom;
    bool m_dragging = false;
    const StageModel* m_stage = nullptr;
    int m_row = -1;
    int m_zoom = 1;
};

class FrmSff : public QWidget {
    Q_OBJECT
public:
    FrmSff(const StageModel& stage, SpriteBrowserState& browser, QWidget* parent = nullptr);

    // Window creation: the scroll range of the stage loaded now, the first sprite.
    void Open();
    // The show operation: the sprite of the scroll bar's value and the caption.
    void ShowSprite();
    // Shows again when the stage's sprite table changed (another stage loaded, or none) since the last
    // show: the range shrinks to the table and the picture follows.
    void Refresh();
    // Runs when the user closes the window (debug mode ends with it).
    void SetClosedHandler(std::function<void()> handler) { m_closed = std::move(handler); }
    // Asked for the file "Save PNG" writes; empty cancels. Tests replace it.
    void SetSaveAsk(std::function<std::string()> ask) { m_saveAsk = std::move(ask); }

    QScrollBar* ScrollBar() const { return m_hscSGFX; }
    QScrollArea* PictureArea() const { return m_area; }
    QLabel* DetailsLabel() const { return m_details; }
    QSpinBox* ZoomBox() const { return m_zoom; }
    QSpinBox* GroupBox() const { return m_group; }
    QSpinBox* ImageBox() const { return m_image; }
    QPushButton* GoButton() const { return m_go; }
    QPushButton* SaveButton() const { return m_save; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::function<void()> m_closed;
    const StageModel& m_stage;
    SpriteBrowserState& m_browser;
    SpriteCanvas* m_canvas = nullptr;
    QScrollArea* m_area = nullptr;
    QLabel* m_details = nullptr;
    QScrollBar* m_hscSGFX = nullptr;
    QSpinBox* m_zoom = nullptr;
    QSpinBox* m_group = nullptr;
    QSpinBox* m_image = nullptr;
    QPushButton* m_go = nullptr;
    QPushButton* m_save = nullptr;
    std::function<std::string()> m_saveAsk;
    const void* m_shownTable = nullptr;
    int m_shownCount = -1;
};

}  // namespace qb::gui

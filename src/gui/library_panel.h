#pragma once
// The stage library's controls around lstStages: the filter box, the choice of order, the list/grid
// switch with the thumbnails, and type-ahead. The rows themselves are the core's (StageList); this
// renders them and turns what the user types and picks into the core's calls.
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QObject>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>

class QComboBox;
class QKeyEvent;
class QLineEdit;
class QListWidget;
class QToolButton;
class QWidget;

namespace qb {
struct AppState;
}

namespace qb::gui {

class ThumbWorker;

// One cell of the grid, and the list's width with the grid on: two cells and the scroll bar.
inline constexpr int kGridCellWidth = 116;
inline constexpr int kGridListWidth = 2 * kGridCellWidth + 24;

class LibraryPanel : public QObject {
    Q_OBJECT
public:
    // `changed` runs after the shown rows changed (the window renders the list again).
    LibraryPanel(QWidget* client, QListWidget* list, AppState& state, std::function<void()> changed);
    ~LibraryPanel() override;

    // Puts the controls at the top of `area` and the list below them; hides them with `shown` false.
    void Place(const QRect& area, bool shown);
    // Renders the core's shown rows into the list: text (name, author), tooltip (path), picture.
    void Fill();
    // Type-ahead: a typed character while the pointer is over the list moves its highlight to the
    // next row whose name starts with what was typed in the last second; Enter opens it. True when
    // the key was taken.
    bool TakeKey(const QKeyEvent& key);

    // True while the list shows thumbnails (the window then gives it kGridListWidth).
    bool GridShown() const;
    QLineEdit* FilterBox() const { return m_filter; }
    QComboBox* SortBox() const { return m_sort; }
    QToolButton* GridButton() const { return m_grid; }

private:
    void Retranslate();
    void SetGrid(bool on);
    void RequestThumbnails();
    void ThumbnailReady(const QString& file, const QString& entry, const QString& png);

    QWidget* m_client;
    QListWidget* m_list;
    AppState& m_state;
    std::function<void()> m_changed;
    QLineEdit* m_filter = nullptr;
    QComboBox* m_sort = nullptr;
    QToolButton* m_grid = nullptr;
    std::unique_ptr<ThumbWorker> m_worker;
    QIcon m_placeholder;
    QHash<QString, QIcon> m_icons;  // file + '!' + entry -> picture
    QHash<QString, int> m_rowOfKey;  // file + '!' + entry -> the list's row
    QString m_typed;
    QElapsedTimer m_lastKey;
};

}  // namespace qb::gui

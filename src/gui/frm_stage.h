#pragma once
// frmStage: the main window. It renders the core's state (menus, stage list, caption, the frame)
// and turns what the user does into calls of the core's commands; it decides nothing itself.
#include <QListWidget>
#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QScrollBar>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/menu_model.h"
#include "app/window_rules.h"
#include "gui/qt_ui.h"
#include "gui/stage_view.h"
#include "gui/translation.h"

class QAction;
class QMenu;

namespace qb {
struct AppState;
}

namespace qb::gui {

class QtKeys;
class FrmError;
class FrmMusic;
class FrmSff;
class FrmBg;
class FrmKeys;
class StageWatcher;
class LibraryPanel;

// frmFS: the full-screen window. Its view fits the largest whole-number scale, black around it.
class FrmFS : public QWidget {
    Q_OBJECT
public:
    explicit FrmFS(QWidget* parent = nullptr);
    StageView* View() const { return m_view; }
    // Called when the window is asked to close (a window manager's close button or key): full
    // screen ends instead, so the program never runs on without a visible window.
    void SetCloseHandler(std::function<void()> handler) { m_closed = std::move(handler); }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    StageView* m_view = nullptr;
    std::function<void()> m_closed;
};

class FrmStage : public QMainWindow {
    Q_OBJECT
public:
    FrmStage(AppState& state, QtKeys& keys);
    ~FrmStage() override;

    // ---- What the core asks of the window (through the Ui port and the frame sink).
    void ApplyCaption(const std::string& caption);
    std::pair<int, int> ScreenSize() const;
    std::pair<int, int> WindowPos() const;
    void MoveWindow(int left, int top);
    bool PositionVisible(int left, int top) const;
    int StageListWidth() const;
    void SetFullScreen(bool on);
    void ShowErrorLog(bool visible);
    // Shows frmMusic right above this window (creating it on first use).
    void ShowMusicChooser();
    void ShowSpriteBrowser();
    void ShowBgEditor();
    void Quit();
    // A frame, shown where the window's layout puts its picture.
    void Present(const FrameImage& frame);

    // Brings every view of the core's state up to date (menus, list, tool windows, watched files),
    // rendering only what differs from what is shown. Runs once per event-loop turn and after each
    // presented frame; the tests call it to look at once.
    void Refresh();
    // The core's Timers port: the window's one-shot timers.
    Timers& TimersPort() { return *m_timers; }

    // ---- Parts the tests drive.
    StageView* View() const { return m_view; }
    FrmFS* FullScreenWindow() const { return m_fs.get(); }
    FrmError* ErrorWindow() const { return m_error.get(); }
    FrmError& ErrorLogWindow();
    FrmMusic* MusicWindow() const { return m_music.get(); }
    FrmSff* SpriteBrowser() const { return m_sff.get(); }
    FrmBg* BgEditor() const { return m_bg.get(); }
    FrmKeys* KeyReferenceWindow() const { return m_keysWindow.get(); }
    StageWatcher* Watcher() const { return m_watcher.get(); }
    QListWidget* StageListBox() const { return m_lstStages; }
    LibraryPanel* Library() const { return m_library; }
    QScrollBar* ScrollBar() const { return m_hscHScroll; }
    QAction* MenuAction(const std::string& name) const;
    std::vector<QAction*> RecentFileActions() const { return m_recentActions; }
    QTimer* Timer(const char* name) const;
    // The view that shows frames now (the full-screen one while full screen is on).
    StageView* ActiveView() const;
    // Memory the display reads pictures from, for both views (see StageView).
    void SetPictureMemory(std::shared_ptr<X11PictureMemory> memory);
    std::shared_ptr<X11PictureMemory> PictureMemory() const { return m_pictureMemory; }
    bool Quitting() const { return m_quitting; }
    // Files dropped on the window (as a QDropEvent delivers them).
    void DropFiles(const std::vector<std::string>& paths);

signals:
    void QuitRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    // Renders the core's layout for the window (app/window_rules.h): only what differs from the
    // layout shown. The window's own size changes only here.
    void RefreshLayout();
    // The available area of the screen the window is on; empty when unknown.
    QRect ScreenArea() const;
    // Moves a tool window (shown, so its frame is known) to the place the core gives it.
    // `keepRight`: pixels at the main window's right edge (the stage list) the tool leaves uncovered.
    void PlaceToolWindow(QWidget& tool, ToolSide side, int keepRight = 0);
    // The pixels at the window's right edge a tool window leaves uncovered: the stage list's.
    int StageListKeptClear() const;
    void RefreshMenus(const MenuModel& menus);
    void RefreshRecentFiles();
    void RefreshStageList();
    // The view's scaling settings (fit, smoothing) and, on the "no stage" picture, its hint in the
    // language of the menus.
    void RefreshViewSettings();
    void ShowKeyReference();
    void RunMenuItem(const std::string& name);
    void OnTimer(TimerId id);
    bool OwnsWidget(QObject* object) const;

    AppState& m_state;
    QtKeys& m_keys;
    std::shared_ptr<X11PictureMemory> m_pictureMemory;
    StageView* m_view = nullptr;
    QListWidget* m_lstStages = nullptr;
    LibraryPanel* m_library = nullptr;  // the filter, order and grid around lstStages (owned by the client)
    QScrollBar* m_hscHScroll = nullptr;
    std::unique_ptr<QtTimers> m_timers;
    // Top-level windows without an owner: hiding the main window must not hide them.
    std::unique_ptr<FrmFS> m_fs;
    std::unique_ptr<FrmError> m_error;
    std::unique_ptr<FrmMusic> m_music;
    std::unique_ptr<FrmSff> m_sff;
    std::unique_ptr<FrmBg> m_bg;
    std::unique_ptr<FrmKeys> m_keysWindow;
    std::unique_ptr<StageWatcher> m_watcher;  // the stage's files and the stage list's folder

    LanguageSwitch m_language;
    QMap<QString, QAction*> m_actions;
    QMap<QString, QMenu*> m_menus;
    // Items with a key, which the full-screen window takes on too.
    QList<QAction*> m_shortcutActions;
    QAction* m_recentAnchor = nullptr;  // the separator of MnuRecentFiles (item 0)
    QMenu* m_stageMenu = nullptr;
    std::vector<QAction*> m_recentActions;
    std::vector<std::string> m_recentShown;
    MenuModel m_shownMenus;
    WindowLayout m_shownLayout;
    bool m_layoutShown = false;
    // The window sizes the last layouts asked for: a resize to one is the program's, never the user's.
    std::vector<QSize> m_requestedSizes;
    bool m_menusShown = false;  // false: render every item again (a new language)
    unsigned m_listRevision = ~0u;
    bool m_activated = false;
    bool m_quitting = false;
    bool m_refreshing = false;
    bool m_refreshDue = true;  // an event that may have run core code since the last refresh
    // The frame shown last is the "no stage" hint (the core said so when it drew it).
    bool m_hintShown = false;
};

}  // namespace qb::gui

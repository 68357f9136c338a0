#include "gui/frm_stage.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

#include "app/app_state.h"
#include "app/commands.h"
#include "app/element_mouse.h"
#include "session/install_command.h"
#include "session/stage_session.h"
#include "app/startup.h"
#include "app/bg_buttons.h"
#include "app/edit_commands.h"
#include "gui/element_tree.h"
#include "gui/frm_bg.h"
#include "gui/frm_error.h"
#include "gui/frm_keys.h"
#include "gui/frm_music.h"
#include "tools/element_edit.h"
#include "gui/frm_sff.h"
#include "gui/library_panel.h"
#include "gui/qt_keys.h"
#include "gui/qt_ui.h"
#include "gui/translation.h"
#include "app/window_rules.h"
#include "gui/stage_watcher.h"
#include "render/overlays.h"

namespace qb::gui {

namespace {

// The first item that stands on the menu bar itself rather than in one of the two drop-down menus.
constexpr const char* kFirstBarItem = "mnuStageList";
// The first item of the Options menu that the program added beyond the given ones.
constexpr const char* kFirstAddedOption = "mnuBgEditor";

// Width of lstStages in pixels: wide enough for the usual stage file names.
constexpr int kStageListWidth = 160;

QString EscapeAmpersands(QString text) {
    return text.replace('&', QStringLiteral("&&"));
}

// A menu item's text: its caption, and after a tab (the menus' key column) a key the stage view
// reads itself that does the same; such a key is named, never bound.
QString ActionText(const MenuItemState& item) {
    QString text = MenuText(item.Caption, item.AccessKey);
    if (!item.KeyHint.empty()) text += QLatin1Char('\t') + KeyText(item.KeyHint.c_str());
    return text;
}

// A bar item's tooltip: what it does and its key.
QString ToolTipText(const MenuItemState& item) {
    const QString key = QKeySequence(QString::fromStdString(item.Shortcut), QKeySequence::PortableText)
                            .toString(QKeySequence::NativeText);
    if (item.Tip.empty()) return key;
    return key.isEmpty() ? KeyText(item.Tip.c_str()) : KeyText(item.Tip.c_str()) + QStringLiteral(" (") + key + QLatin1Char(')');
}

}  // namespace

// ---- frmFS -------------------------------------------------------------------------------

FrmFS::FrmFS(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    setObjectName(QStringLiteral("frmFS"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_view = new StageView(this);  // owned by the window (Qt parent)
    m_view->setObjectName(QStringLiteral("picFS"));
    m_view->SetScale(0);
    m_view->setCursor(Qt::BlankCursor);
}

void FrmFS::resizeEvent(QResizeEvent* event) {
    m_view->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void FrmFS::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (m_closed) m_closed();
}

// ---- frmStage ----------------------------------------------------------------------------

FrmStage::FrmStage(AppState& state, QtKeys& keys) : m_state(state), m_keys(keys) {
    setObjectName(QStringLiteral("frmStage"));
    setAcceptDrops(true);
    auto* client = new QWidget(this);  // owned by the window (Qt parent), as every child below
    client->setObjectName(QStringLiteral("client"));
    setCentralWidget(client);

    m_view = new StageView(client);
    m_view->setObjectName(QStringLiteral("picStage"));
    // The view fills the client area beside the list, the frame at the largest whole-number scale
    // that fits, centred on black.
    m_view->SetScale(0);
    m_view->move(0, 0);
    client->installEventFilter(this);
    m_view->setFocus();

    // The list and the scroll bar never take the keyboard: typed keys belong to the stage view.
    m_lstStages = new QListWidget(client);
    m_lstStages->setObjectName(QStringLiteral("lstStages"));
    m_lstStages->setFocusPolicy(Qt::NoFocus);
    m_lstStages->setSelectionMode(QAbstractItemView::SingleSelection);
    m_lstStages->hide();
    connect(m_lstStages, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        lstStages_Click(m_state, m_lstStages->row(item));
        // The click moved the widget's highlight; a refused stage leaves the core's where it was.
        RefreshStageList();
    });
    m_library = new LibraryPanel(client, m_lstStages, m_state, [this] { Refresh(); });

    // The scroll bar lies outside the client area, as in the window's original layout: present and
    // wired, but not seen.
    m_hscHScroll = new QScrollBar(Qt::Horizontal, client);
    m_hscHScroll->setObjectName(QStringLiteral("hscHScroll"));
    m_hscHScroll->setFocusPolicy(Qt::NoFocus);
    m_hscHScroll->setRange(-kViewWidth, kViewWidth);
    m_hscHScroll->hide();
    connect(m_hscHScroll, &QScrollBar::valueChanged, this, [this](int value) { hscHScroll_Change(m_state, value); });
    connect(m_hscHScroll, &QScrollBar::sliderMoved, this, [this](int value) { hscHScroll_Scroll(m_state, value); });

    m_timers = std::make_unique<QtTimers>(this, [this](TimerId id) { OnTimer(id); });
    // Whatever changed the core's state (a command, a tick, a file report), the window shows it
    // before the event loop next waits; while a stage runs, each presented frame does the same.
    // The core runs only inside the events Qt delivers, so a wait with no such event since the
    // last refresh has nothing new to show: a running stage's frame refreshes as it is presented
    // and then waits, and a second refresh there only costs the menus' check again (tens of
    // microseconds with the caches cold after the wait).
    connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this, [this] {
        if (m_refreshDue) Refresh();
    });

    m_watcher = std::make_unique<StageWatcher>(m_state, nullptr);

    BuildMenus();
    qApp->installEventFilter(this);
    Refresh();
}

FrmStage::~FrmStage() {
    qApp->removeEventFilter(this);
}

QAction* FrmStage::MenuAction(const std::string& name) const {
    return m_actions.value(QString::fromStdString(name), nullptr);
}

QTimer* FrmStage::Timer(const char* name) const {
    return m_timers->Timer(name);
}

void FrmStage::SetPictureMemory(std::shared_ptr<X11PictureMemory> memory) {
    m_pictureMemory = std::move(memory);
    m_view->SetPictureMemory(m_pictureMemory);
    if (m_fs) m_fs->View()->SetPictureMemory(m_pictureMemory);
}

StageView* FrmStage::ActiveView() const {
    if (m_fs && m_fs->isVisible()) return m_fs->View();
    return m_view;
}

FrmError& FrmStage::ErrorLogWindow() {
    if (!m_error) {
        m_error = std::make_unique<FrmError>(m_state.Log);
        // A window closed from its title bar clears its item's mark at once (the item is in view).
        m_error->SetClosedHandler([this] {
            ErrorLogClosed(m_state);
            Refresh();
        });
        m_error->SetLineHandler([this](int line) {
            if (line >= 0) OpenProblemLine(m_state, static_cast<size_t>(line));
        });
    }
    return *m_error;
}

void FrmStage::BuildMenus() {
    QMenu* current = nullptr;
    bool onBar = false;
    const MenuModel menus(m_state);
    for (const std::string& name : MenuModel::Order()) {
        const QString qname = QString::fromStdString(name);
        const auto& item = menus.Item(name);
        // A separator's "-" is no text to draw beside its line.
        const QString caption = item.Caption == "-" ? QString() : MenuText(item.Caption, item.AccessKey);
        if (name == kFirstBarItem) onBar = true;
        if (item.Kind == MenuKind::DropDown) {
            current = menuBar()->addMenu(caption);
            current->setObjectName(qname);
            current->menuAction()->setObjectName(qname);
            m_menus.insert(qname, current);
            m_actions.insert(qname, current->menuAction());
            if (name == "mnuStage") m_stageMenu = current;
            continue;
        }
        // The items added beyond the given ones start below a line.
        if (name == kFirstAddedOption && current != nullptr) current->addSeparator();
        QMenu* parent = item.Parent.empty() ? current : m_menus.value(QString::fromStdString(item.Parent), nullptr);
        if (item.Kind == MenuKind::Submenu && parent != nullptr) {
            QMenu* sub = parent->addMenu(caption);
            sub->setObjectName(qname);
            sub->menuAction()->setObjectName(qname);
            m_menus.insert(qname, sub);
            m_actions.insert(qname, sub->menuAction());
            continue;
        }
        QAction* action = nullptr;
        if (onBar && item.Parent.empty()) {
            action = menuBar()->addAction(caption);
        } else if (parent != nullptr) {
            action = parent->addAction(caption);
        } else {
            continue;
        }
        action->setObjectName(qname);
        if (item.Caption == "-") action->setSeparator(true);
        if (name == "MnuRecentFiles") m_recentAnchor = action;
        action->setCheckable(item.Kind == MenuKind::Check || item.Kind == MenuKind::Radio);
        if (!item.Shortcut.empty()) {
            // The key comes from the command table, so the menu shows the key that runs it.
            action->setShortcut(QKeySequence(QString::fromStdString(item.Shortcut), QKeySequence::PortableText));
            if (!item.AlsoShortcut.empty())
                action->setShortcuts({action->shortcut(), QKeySequence(QString::fromStdString(item.AlsoShortcut),
                                                                       QKeySequence::PortableText)});
            // The bar shows no keys: a tooltip names it.
            if (onBar) action->setToolTip(ToolTipText(item));
            // F8 works in every window of the program, as it always did; undo and redo work in the
            // editor and its element list too (a text box keeps its own undo of what is typed).
            if (name == "mnuSnapshot" || name == "mnuUndo" || name == "mnuRedo")
                action->setShortcutContext(Qt::ApplicationShortcut);
            m_shortcutActions.push_back(action);
        }
        if (!action->isSeparator())
            connect(action, &QAction::triggered, this, [this, name] { RunMenuItem(name); });
        m_actions.insert(qname, action);
    }
}

void FrmStage::RefreshMenus(const MenuModel& menus) {
    for (auto it = m_actions.begin(); it != m_actions.end(); ++it) {
        const std::string name = it.key().toStdString();
        if (!menus.Has(name)) continue;
        const auto& item = menus.Item(name);
        if (m_menusShown && item == m_shownMenus.Item(name)) continue;
        QAction* action = it.value();
        if (!action->isSeparator()) action->setText(ActionText(item));
        if (!item.Tip.empty()) action->setToolTip(ToolTipText(item));
        if (action->isCheckable()) action->setChecked(item.Checked);
        action->setEnabled(item.Enabled);
        action->setVisible(item.Visible);
    }
    m_shownMenus = menus;
    m_menusShown = true;
}

void FrmStage::RefreshRecentFiles() {
    if (m_stageMenu == nullptr || m_recentAnchor == nullptr) return;
    const auto& recent = m_state.Menus.RecentFiles;
    if (recent == m_recentShown && m_recentActions.size() == recent.size()) return;
    for (QAction* action : m_recentActions) {
        m_stageMenu->removeAction(action);
        action->deleteLater();
    }
    m_recentActions.clear();
    // Item 1 (the most recent) sits right under the separator, above mnubla.
    QAction* before = MenuAction("mnubla");
    for (size_t i = 0; i < recent.size(); ++i) {
        auto* action = new QAction(EscapeAmpersands(FromContentText(recent[i])), m_stageMenu);
        action->setObjectName(QStringLiteral("MnuRecentFiles"));
        action->setProperty("Index", static_cast<int>(i + 1));
        const int index = static_cast<int>(i);
        connect(action, &QAction::triggered, this, [this, index] { MnuRecentFiles_Click(m_state, index); });
        m_stageMenu->insertAction(before, action);
        m_recentActions.push_back(action);
    }
    m_recentShown = recent;
    m_recentAnchor->setVisible(!recent.empty());
}

void FrmStage::RefreshStageList() {
    const StageList& list = m_state.Stages;
    QSignalBlocker block(m_lstStages);
    const int count = static_cast<int>(list.Names.size());
    m_library->Fill();
    if (list.ListIndex >= 0 && list.ListIndex < count) {
        m_lstStages->setCurrentRow(list.ListIndex);
        m_lstStages->scrollToItem(m_lstStages->item(list.ListIndex));
    } else {
        m_lstStages->clearSelection();
        m_lstStages->setCurrentRow(-1);
    }
}

void FrmStage::Refresh() {
    if (m_refreshing || m_quitting) return;
    m_refreshing = true;
    m_refreshDue = false;
    if (m_language.Current() != m_state.Options.Language) {
        // Installing the translation retranslates the open tool windows; the menus render again.
        m_language.Apply(m_state.Options.Language);
        m_menusShown = false;
    }
    const MenuModel menus(m_state);
    if (!m_menusShown || !(menus == m_shownMenus)) RefreshMenus(menus);
    RefreshRecentFiles();
    if (m_state.Stages.Revision != m_listRevision) {
        m_listRevision = m_state.Stages.Revision;
        RefreshStageList();
    }
    if (m_error && m_error->isVisible()) m_error->Refresh();
    if (m_music) {
        if (!m_state.Chooser.Loaded && m_music->isVisible()) m_music->hide();
        m_music->Refresh();
    }
    if (m_bg && m_bg->isVisible()) m_bg->Refresh();
    if (m_sff && m_sff->isVisible()) m_sff->Refresh();
    if (m_state.Window.KeyReferenceWanted) ShowKeyReference();
    RefreshViewSettings();
    RefreshLayout();
    m_watcher->Sync();
    m_refreshing = false;
}

void FrmStage::RunMenuItem(const std::string& name) {
    MenuCommand(m_state, name);
    // A check item toggles itself when clicked; the model decides, so its mark is rendered again.
    m_menusShown = false;
    Refresh();
}

void FrmStage::OnTimer(TimerId id) {
    // A tick may run the whole run loop.
    if (id == TimerId::Start)
        TmrStartTick(m_state);
    else if (id == TimerId::Exit)
        TmrExitTick(m_state);
    else if (id == TimerId::Drop)
        TmrDropTick(m_state);
    // What the run changed after its last frame shows at the next wait.
    m_refreshDue = true;
}

// ---- Geometry --------------------------------------------------------------------------------

void FrmStage::ApplyCaption(const std::string& caption) {
    // A stage's name passes as it is; the program's own notices are translated.
    setWindowTitle(MessageText(caption));
}

void FrmStage::RefreshViewSettings() {
    for (StageView* view : {m_view, m_fs ? m_fs->View() : nullptr}) {
        if (view == nullptr) continue;
        view->SetScaling(m_state.Options.ScaleFit, m_state.Options.SmoothScale);
        // The back buffer's font has no Chinese: the view writes the hint itself then.
        QStringList hint;
        if (m_hintShown && m_state.Options.Language != kLanguageEnglish)
            for (int i = 0; i < kNoStageHintLines; ++i) hint << MessageText(kNoStageHint[i]);
        view->SetHint(hint);
    }
}

void FrmStage::ShowKeyReference() {
    m_state.Window.KeyReferenceWanted = false;
    if (!m_keysWindow) {
        m_keysWindow = std::make_unique<FrmKeys>();
        m_keysWindow->show();
        PlaceToolWindow(*m_keysWindow, ToolSide::Right, StageListKeptClear());
    }
    m_keysWindow->show();
    m_keysWindow->raise();
}

void FrmStage::RefreshLayout() {
    const WindowLayout layout = WindowLayoutFor(m_state);
    if (m_layoutShown && layout == m_shownLayout) return;
    m_shownLayout = layout;
    m_layoutShown = true;
    const bool listShown = layout.list.width > 0;
    QWidget* client = centralWidget();
    client->setMinimumSize(kViewWidth + layout.list.width, kViewHeight);
    m_lstStages->setVisible(listShown);
    // The menu bar wraps onto a second row when the window is narrower than its items.
    const int barHeight = std::max(0, menuBar()->heightForWidth(layout.clientWidth));
    const QSize requested(layout.clientWidth, layout.clientHeight + barHeight);
    // A size the user gave the window (maximised too) is the layout's already: nothing to resize.
    const bool sizeChanged = size() != requested;
    if (sizeChanged) {
        // The size the layout asks for wins over a maximised window.
        if (isMaximized()) showNormal();
        m_requestedSizes.push_back(requested);
        if (m_requestedSizes.size() > 4) m_requestedSizes.erase(m_requestedSizes.begin());
        resize(requested);
        // The central widget follows at once, so that whoever looks sees the new size now.
        client->resize(layout.clientWidth, layout.clientHeight);
    }
    const auto rect = [](const LayoutRect& r) { return QRect(r.left, r.top, r.width, r.height); };
    m_view->setGeometry(rect(layout.view));
    m_library->Place(rect(layout.list), listShown);
    m_view->SetPictureArea(QSize(layout.pictureWidth, layout.pictureHeight), rect(layout.picture));
    if (sizeChanged && isVisible()) {
        // The window grew right and down from where it stood: keep it wholly on the screen.
        const QRect screen = ScreenArea();
        const QRect frame = frameGeometry();
        const QSize frameSize = m_requestedSizes.back() + (frame.size() - size());
        if (screen.isValid()) {
            const auto [left, top] = PlaceOnScreen({screen.left(), screen.top(), screen.width(), screen.height()},
                                                   {frame.left(), frame.top(), frameSize.width(), frameSize.height()});
            if (left != frame.left() || top != frame.top()) move(left, top);
        }
    }
}

QRect FrmStage::ScreenArea() const {
    const QScreen* s = screen();
    return s != nullptr ? s->availableGeometry() : QRect();
}

int FrmStage::StageListKeptClear() const {
    // The list and the window's right border beside it.
    return m_lstStages->isVisible() ? m_lstStages->width() + (frameGeometry().width() - width()) / 2 : 0;
}

void FrmStage::PlaceToolWindow(QWidget& tool, ToolSide side, int keepRight) {
    const QRect screen = ScreenArea();
    const QRect owner = frameGeometry();
    const QRect frame = tool.frameGeometry();
    const auto [left, top] = qb::PlaceToolWindow({screen.left(), screen.top(), screen.width(), screen.height()},
                                                 {owner.left(), owner.top(), owner.width(), owner.height()},
                                                 frame.width(), frame.height(), side, keepRight);
    tool.move(left, top);
}

void FrmStage::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    // A size this window asked for is never the user's choice (the window system may report the
    // sizes of requests made in a row late, one after another); any other one is: the layout keeps it.
    if (!isVisible() || m_quitting) return;
    if (std::find(m_requestedSizes.begin(), m_requestedSizes.end(), event->size()) != m_requestedSizes.end())
        return;
    const QSize size = event->size();
    const int barHeight = std::max(0, menuBar()->heightForWidth(size.width()));
    ClientResized(m_state, size.width(), size.height() - barHeight);
    RefreshLayout();
}

std::pair<int, int> FrmStage::ScreenSize() const {
    const QRect area = ScreenArea();
    return {area.width(), area.height()};
}

std::pair<int, int> FrmStage::WindowPos() const {
    return {pos().x(), pos().y()};
}

void FrmStage::MoveWindow(int left, int top) {
    move(left, top);
}

int FrmStage::StageListWidth() const {
    return m_library && m_library->GridShown() ? kGridListWidth : kStageListWidth;
}

bool FrmStage::PositionVisible(int left, int top) const {
    // Some of the title bar must be on a screen for the user to take hold of the window.
    return QGuiApplication::screenAt(QPoint(left + 40, top + 10)) != nullptr;
}

void FrmStage::SetFullScreen(bool on) {
    if (on) {
        if (!m_fs) {
            m_fs = std::make_unique<FrmFS>();
            m_fs->View()->SetPictureMemory(m_pictureMemory);
            // The menus' keys work in the full-screen window too, where the menus are hidden.
            for (QAction* action : m_shortcutActions) m_fs->addAction(action);
            m_fs->SetCloseHandler([this] {
                LeaveFullScreen(m_state);
                Refresh();
            });
        }
        QScreen* target = screen();
        if (target != nullptr) {
            m_fs->setScreen(target);
            // Without a window manager the full-screen request alone moves nothing.
            m_fs->setGeometry(target->geometry());
        }
        m_fs->setWindowTitle(windowTitle());
        m_fs->showFullScreen();
        m_fs->raise();
        m_fs->activateWindow();
        m_fs->View()->setFocus();
        hide();
    } else {
        if (m_fs) m_fs->hide();
        show();
        raise();
        activateWindow();
        m_view->setFocus();
    }
    m_keys.ReleaseAll();
}

void FrmStage::ShowErrorLog(bool visible) {
    FrmError& window = ErrorLogWindow();
    if (visible) {
        window.Refresh();
        const bool first = !window.property("placed").toBool();
        window.show();
        if (first) {
            // Below the main window when it first opens; later it stays where the user put it.
            PlaceToolWindow(window, ToolSide::Below);
            window.setProperty("placed", true);
        }
        window.raise();
    } else {
        window.hide();
    }
}

void FrmStage::ShowMusicChooser() {
    if (!m_music) {
        m_music = std::make_unique<FrmMusic>(m_state, this);
        m_music->SetChangedHandler([this] { Refresh(); });
    }
    m_music->Refresh();
    m_music->show();
    // Directly above the main window, left edges aligned (below it when the screen has no room
    // above); placed once shown, when the window's frame is known.
    PlaceToolWindow(*m_music, ToolSide::Above);
    m_music->raise();
}

void FrmStage::ShowSpriteBrowser() {
    // A window closed from its title bar is unloaded: the next one takes the range of the stage
    // loaded then.
    if (!m_sff || !m_sff->isVisible()) {
        m_sff = std::make_unique<FrmSff>(m_state.Stage, m_state.Edit.Browser);
        m_sff->SetClosedHandler([this] {
            SpriteBrowserClosed(m_state);
            Refresh();
        });
        m_sff->Open();
        m_sff->show();
        PlaceToolWindow(*m_sff, ToolSide::Right);
    }
    m_sff->show();
    m_sff->raise();
}

void FrmStage::ShowBgEditor() {
    if (!m_bg) {
        m_bg = std::make_unique<FrmBg>(
            m_state.Edit.Fields,
            [this](const std::string& control) { BgEditorButton(m_state, control); },
            this, m_state.Window.Developer);
        m_bg->SetShownHandler([this](bool shown) { BgEditorShown(m_state, shown); });
        auto* list = new ElementTree(m_state);  // owned by the editor window (Qt parent)
        list->SetChangedHandler([this] { Refresh(); });
        m_bg->SetSidePanel(list, [list] { list->Refresh(); });
        m_bg->Refresh();
        m_bg->show();
        // Beside the main window, tops aligned (on its left when the right side has no room), so
        // neither the view nor the menu bar is covered where the screen allows; placed once shown,
        // when its frame is known. Later the editor stays where the user put it. On a small screen
        // it covers the view's left part rather than the stage list.
        PlaceToolWindow(*m_bg, ToolSide::Right, StageListKeptClear());
    }
    m_bg->Refresh();
    m_bg->show();
    m_bg->raise();
}

void FrmStage::Quit() {
    m_quitting = true;
    m_timers->StopAll();
    if (m_error) m_error->hide();
    if (m_sff) m_sff->hide();
    if (m_bg) m_bg->hide();
    if (m_keysWindow) m_keysWindow->hide();
    if (m_fs) m_fs->hide();
    close();
    emit QuitRequested();
}

void FrmStage::Present(const FrameImage& frame) {
    ActiveView()->SetOutline(m_state.bRunning != 0
                                 ? ElementOutline(m_state.Stage, m_state.Frame, m_state.Edit.SelectedElement)
                                 : std::nullopt);
    // A new stage's picture size gives the window another layout before its first frame is shown.
    if (ActiveView() == m_view) RefreshLayout();
    // The core marks the frame that is the "no stage" hint; the next frame is a stage's again.
    m_hintShown = m_state.Window.HintShown;
    m_state.Window.HintShown = false;
    RefreshViewSettings();
    ActiveView()->Present(frame);
    Refresh();
}

// ---- Events ----------------------------------------------------------------------------------

void FrmStage::closeEvent(QCloseEvent* event) {
    if (m_quitting) {
        event->accept();
        return;
    }
    // The window goes only once the core's shutdown has run (tmrExit, then Quit).
    event->ignore();
    CloseRequest(m_state);
}

void FrmStage::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!m_activated) {
        m_activated = true;
        // The first activation comes after the window is up, as the activation event does.
        QTimer::singleShot(0, this, [this] { FormActivate(m_state); });
    }
}

void FrmStage::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FrmStage::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void FrmStage::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(ToNativeText(url.toLocalFile()));
    event->acceptProposedAction();
    // Shift held: a package is installed into the MUGEN directory instead of opened.
    if (event->modifiers() & Qt::ShiftModifier) {
        if (!paths.empty()) FilesDroppedToInstall(m_state, paths);
        return;
    }
    DropFiles(paths);
}

void FrmStage::DropFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    FilesDropped(m_state, paths);
}

bool FrmStage::OwnsWidget(QObject* object) const {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr) return false;
    // The menus handle their own keyboard navigation.
    if (qobject_cast<QMenuBar*>(widget) != nullptr || qobject_cast<QMenu*>(widget) != nullptr) return false;
    // The library's filter box is typed into.
    if (m_library && widget == m_library->FilterBox()) return false;
    const QWidget* window = widget->window();
    return window == this || (m_fs && window == m_fs.get());
}

bool FrmStage::eventFilter(QObject* watched, QEvent* event) {
    // Painting runs no core code; anything else (input, a timer, a queued signal) may.
    if (event->type() != QEvent::Paint && event->type() != QEvent::UpdateRequest) m_refreshDue = true;
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            if (!OwnsWidget(watched)) break;
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Alt) break;  // Alt opens the menu bar
            // Type-ahead while the pointer is over the list.
            if (event->type() == QEvent::KeyPress && m_library->TakeKey(*key)) return true;
            const bool down = event->type() == QEvent::KeyPress;
            if (!key->isAutoRepeat())
                m_keys.KeyEvent(key->key(), down, key->modifiers().testFlag(Qt::KeypadModifier));
            if (down && key->key() == Qt::Key_Escape) ClearSelection(m_state);
            if (down && key->key() == Qt::Key_Escape && m_state.bFullScreen == 1) {
                // The main window comes back with its menus as they are now.
                LeaveFullScreen(m_state);
                Refresh();
            }
            // No control of the window sees a typed key: the stage is steered by polled keys.
            return true;
        }
        case QEvent::ShortcutOverride: {
            // F8 is the snapshot item's shortcut, which takes the key press before any widget
            // sees it; the polled state learns of it here, and the shortcut still fires.
            auto* key = static_cast<QKeyEvent*>(event);
            if (OwnsWidget(watched) && key->key() == Qt::Key_F8 && !key->isAutoRepeat())
                m_keys.KeyEvent(Qt::Key_F8, true);
            break;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease: {
            if (!OwnsWidget(watched)) break;
            auto* mouse = static_cast<QMouseEvent*>(event);
            const bool down = event->type() != QEvent::MouseButtonRelease;
            if (mouse->button() == Qt::LeftButton) m_keys.MouseButton(Key::MouseLeft, down);
            if (mouse->button() == Qt::RightButton) m_keys.MouseButton(Key::MouseRight, down);
            // Clicks on the picture pick and drag elements; the core decides, in frame pixels.
            if (StageView* view = ActiveView(); watched == view) {
                const auto [x, y] = view->ToFramePixels(mouse->position().toPoint());
                const MouseButton button = mouse->button() == Qt::LeftButton    ? MouseButton::Left
                                           : mouse->button() == Qt::RightButton ? MouseButton::Right
                                                                                : MouseButton::Other;
                if (down)
                    StageMouseDown(m_state, button, x, y);
                else
                    StageMouseUp(m_state, button);
            }
            break;
        }
        case QEvent::Wheel: {
            // The wheel over the picture zooms (modern stages; the camera ignores it otherwise).
            if (watched != ActiveView()) break;
            m_keys.Wheel(static_cast<QWheelEvent*>(event)->angleDelta().y());
            return true;
        }
        case QEvent::MouseMove: {
            StageView* view = ActiveView();
            if (watched != view) break;
            const auto [x, y] = view->ToFramePixels(static_cast<QMouseEvent*>(event)->position().toPoint());
            StageMouseMove(m_state, x, y);
            break;
        }
        case QEvent::WindowDeactivate:
            if (watched == this || (m_fs && watched == m_fs.get())) m_keys.ReleaseAll();
            break;
        default:
            break;
    }
    return QMainWindow::eventFilter(watched, event);
}

}  // namespace qb::gui

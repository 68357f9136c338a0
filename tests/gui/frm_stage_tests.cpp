// The main window's wiring: every path that opens a stage, the commands, menus, list, scale, full
// screen, keys and the configuration written at shutdown, driven through the real window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLockFile>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QToolButton>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "app/bg_buttons.h"
#include "gui/frm_bg.h"
#include "gui/frm_error.h"
#include "gui/frm_music.h"
#include "gui/library_panel.h"
#include "gui/qt_keys.h"
#include "tests/character/char_fixture.h"
#include "tests/gui/gui_harness.h"
#include "tests/support/zip_builder.h"
#include "tools/bg_commands.h"
#include "tools/element_edit.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

std::string Text(const QAction* action) {
    return action->text().toStdString();
}

void SendKey(QWidget* target, int key, bool press) {
    QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

TEST(FrmStage, OpensWithTheDocumentedMenusListAndGeometry) {
    GuiHarness h;
    ASSERT_TRUE(h.Start());
    auto& w = h.Window();
    const std::string title = "Quillback .67 Beta by Tarnwick";
    EXPECT_EQ(w.windowTitle().toStdString(), title);

    // Captions as the model holds them, but for access-key marks that cannot be typed (on a blank,
    // which Qt would draw as a stray underscore, or on a Chinese character): the Latin key follows.
    EXPECT_EQ(Text(w.MenuAction("mnuStage")), "背景(&S)");
    EXPECT_EQ(Text(w.MenuAction("mnuOpen")), "打开(&O)");
    EXPECT_EQ(Text(w.MenuAction("mnuFS")), "全屏（ESC退出）(&F)");
    EXPECT_EQ(Text(w.MenuAction("mnuDebugBG")), "调试  BG(&G)");
    EXPECT_EQ(Text(w.MenuAction("mnuChangeMusic")), "更改音乐(&H)");
    EXPECT_EQ(Text(w.MenuAction("mnuMugenDir")), "设置 &MUGEN 目录...");  // a Latin mark stays
    // A caption made at run time is translated by its fixed beginning, its number kept.
    EXPECT_EQ(Text(w.MenuAction("mnuFPS")), "FPS 限制器 (60 fps)(&L)");
    EXPECT_EQ(Text(w.MenuAction("mnuStageNext")), ">>");
    // Every item shows and answers to the key the command table gives it; the added options sit in
    // submenus.
    for (const std::string& name : MenuModel::Order()) {
        EXPECT_EQ(w.MenuAction(name)->shortcut().toString(QKeySequence::PortableText).toStdString(),
                  MenuModel(h.State()).Item(name).Shortcut)
            << name;
    }
    EXPECT_EQ(w.MenuAction("mnuSnapshot")->shortcut(), QKeySequence(Qt::Key_F8));
    ASSERT_NE(w.MenuAction("mnuScaleMenu")->menu(), nullptr);
    EXPECT_TRUE(w.MenuAction("mnuScaleMenu")->menu()->actions().contains(w.MenuAction("mnuScale2")));
    // Initial states.
    EXPECT_FALSE(w.MenuAction("mnuFS")->isEnabled());
    EXPECT_TRUE(w.MenuAction("mnuMusic")->isChecked());
    EXPECT_TRUE(w.MenuAction("mnuFPS")->isChecked());
    EXPECT_FALSE(w.MenuAction("mnuInstall")->isVisible());
    EXPECT_FALSE(w.MenuAction("MnuRecentFiles")->isVisible());
    // Scale 2 is the setting, but its window with the list (816 wide) would not fit the 800 x 600
    // test screen: 1x is shown.
    EXPECT_TRUE(w.MenuAction("mnuScale1")->isChecked());
    EXPECT_EQ(h.State().Options.ViewScale, 2);
    EXPECT_TRUE(w.MenuAction("mnuInfo")->isCheckable());
    // The drop-down menus and the items standing on the bar, in order.
    std::vector<std::string> bar;
    for (QAction* a : w.menuBar()->actions()) bar.push_back(a->objectName().toStdString());
    EXPECT_EQ(bar, (std::vector<std::string>{"mnuStage", "mnuEdit", "mnuOptions", "mnuStageList", "mnuStagePrev",
                                             "mnuStageNext", "mnuR", "mnuDebug", "mnuAbout", "mnuHelp"}));
    auto* stageMenu = w.findChild<QMenu*>("mnuStage");
    ASSERT_NE(stageMenu, nullptr);
    EXPECT_EQ(stageMenu->actions().front()->objectName(), "mnuOpen");
    EXPECT_EQ(stageMenu->actions().back()->objectName(), "mnuExit");

    // 1x with the list shown: 320 + list width by 240, the list beside the view.
    EXPECT_EQ(w.View()->size(), QSize(320, 240));
    EXPECT_EQ(w.centralWidget()->size(), QSize(320 + w.StageListWidth(), 240));
    EXPECT_TRUE(w.StageListBox()->isVisible());
    EXPECT_EQ(w.StageListBox()->geometry().left(), 320);
    ASSERT_EQ(w.StageListBox()->count(), 2);
    // Each row: the stage's own name and its author.
    EXPECT_EQ(w.StageListBox()->item(0)->text(), QStringLiteral("Quillback Demo \u00b7 Quillback"));
    EXPECT_EQ(w.StageListBox()->item(1)->text(), QStringLiteral("Second \u00b7 Quillback"));
    EXPECT_EQ(w.StageListBox()->item(1)->toolTip(), "stages/second.def");
    // The library's controls reach the core: the filter narrows the rows, the order is kept in the
    // settings, the grid widens the list.
    w.Library()->FilterBox()->setText("SECOND");
    ASSERT_EQ(w.StageListBox()->count(), 1);
    w.Library()->FilterBox()->clear();
    EXPECT_EQ(w.StageListBox()->count(), 2);
    w.Library()->SortBox()->setCurrentIndex(static_cast<int>(LibrarySort::Date));
    EXPECT_EQ(h.State().Stages.Sort, LibrarySort::Date);
    w.Library()->GridButton()->setChecked(true);
    EXPECT_EQ(w.StageListBox()->viewMode(), QListView::IconMode);
    EXPECT_EQ(w.centralWidget()->width(), 320 + gui::kGridListWidth);
    w.Library()->GridButton()->setChecked(false);

    // Hiding the list gives the view alone, at the chosen 2x that now fits.
    h.Trigger("mnuStageList");
    EXPECT_FALSE(w.StageListBox()->isVisible());
    EXPECT_EQ(w.centralWidget()->size(), QSize(640, 480));
    EXPECT_TRUE(w.MenuAction("mnuScale2")->isChecked());

    h.ThenExit();
    h.Run();
    const std::string cfg = h.ConfigText();
    EXPECT_NE(cfg.find("MugeDir = " + h.MugeDir() + "\r\n"), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("StageList = 0\r\n"), std::string::npos) << cfg;
    EXPECT_NE(cfg.find("LibrarySort = date\r\n"), std::string::npos) << cfg;
}

TEST(FrmStage, OpensStagesThroughEveryPathAndRemembersThem) {
    GuiHarness h;
    ASSERT_TRUE(h.Start());
    auto& w = h.Window();
    const std::string first = h.StagePath("quillback");
    const std::string second = h.StagePath("second");

    // List click.
    h.Do(
        [&] {
            QListWidgetItem* item = w.StageListBox()->item(1);
            emit w.StageListBox()->itemClicked(item);
        },
        "click second");
    h.WaitRunning(second);
    h.Do(
        [&] {
            EXPECT_EQ(w.windowTitle().toStdString(), "Second");
            EXPECT_EQ(w.StageListBox()->currentRow(), 1);
            EXPECT_TRUE(w.MenuAction("mnuFS")->isEnabled());
            ASSERT_EQ(w.RecentFileActions().size(), 1u);
            EXPECT_TRUE(w.MenuAction("MnuRecentFiles")->isVisible());
            // The open dialog, answered by the script.
            h.openAnswers.push_back(first);
            h.Trigger("mnuOpen");
            ASSERT_EQ(h.openRequests.size(), 1u);
            EXPECT_EQ(h.openRequests[0].title, "Choose your stage!");
            EXPECT_TRUE(h.openRequests[0].fileMustExist);
        },
        "open dialog");
    h.WaitRunning(first);
    // A drop, as a QDropEvent delivers it.
    h.Do(
        [&] {
            QMimeData data;
            QMimeData* mime = &data;
            mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(second))});
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&w, &enter);
            EXPECT_TRUE(enter.isAccepted());
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&w, &drop);
        },
        "drop second");
    h.WaitRunning(second);
    // Recent files: the newest first; item 2 is the first stage.
    h.Do(
        [&] {
            auto recent = w.RecentFileActions();
            ASSERT_EQ(recent.size(), 2u);
            EXPECT_EQ(recent[0]->text().toStdString(), second);
            EXPECT_EQ(recent[1]->text().toStdString(), first);
            recent[1]->trigger();
        },
        "recent file 2");
    h.WaitRunning(first);
    h.Do(
        [&] {
            EXPECT_EQ(w.RecentFileActions()[0]->text().toStdString(), first);
            h.Trigger("mnuReload");
        },
        "reload");
    h.WaitRunning(first);
    h.Do(
        [&] {
            h.Trigger("mnuClose");
            EXPECT_EQ(h.State().bRunning, 0);
            EXPECT_EQ(w.windowTitle().toStdString(), h.State().AppTitle);
            EXPECT_FALSE(w.MenuAction("mnuFS")->isEnabled());
        },
        "close");
    h.Then([&] { return !h.State().Loop.InRunLoop; }, [&] {}, "loop ended");
    h.ThenExit();
    h.Run();

    const std::string cfg = h.ConfigText();
    const size_t a = cfg.find("RecentFile = " + first + "\r\n");
    const size_t b = cfg.find("RecentFile = " + second + "\r\n");
    EXPECT_NE(a, std::string::npos) << cfg;
    EXPECT_NE(b, std::string::npos) << cfg;
    EXPECT_LT(a, b) << "most recent first";
}

// A package dropped with Shift held is installed, not opened; the Stage menu's item asks for one with
// the file dialog. The stage on screen stays either way.
TEST(FrmStage, ShiftDropAndMenuItemInstallAPackage) {
    GuiHarness h;
    const std::string first = h.StagePath("quillback");
    const std::string zip = (h.programDir.Path() / "pack.zip").string();
    ASSERT_TRUE(WriteZip(zip, {{"pack.def", "[Info]\nname = \"P\"\n[Camera]\nstartx = 0\n"}}));
    ASSERT_TRUE(h.Start(first));
    h.WaitRunning(first);
    h.Do(
        [&] {
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(QString::fromStdString(zip))});
            // The drop reaches the widget that took the drag's entry.
            QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::ShiftModifier);
            QApplication::sendEvent(&h.Window(), &enter);
            QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::ShiftModifier);
            QApplication::sendEvent(&h.Window(), &drop);
            ASSERT_FALSE(h.boxes.empty());
            EXPECT_EQ(h.boxes.back().text.rfind("Package installed:", 0), 0u) << h.boxes.back().text;
            EXPECT_TRUE(std::filesystem::exists(h.mugen.Path() / "stages/pack/pack.def"));
            // Installed again from the menu: the folder is there, and No keeps it.
            h.openAnswers.push_back(zip);
            h.boxAnswers.push_back(MsgAnswer::No);
            h.Trigger("mnuInstallPackage");
            ASSERT_EQ(h.openRequests.size(), 1u);
            EXPECT_EQ(h.boxes.back().text.rfind("Replace the installed stage?", 0), 0u) << h.boxes.back().text;
            EXPECT_EQ(h.State().StageFile, first);
        },
        "install");
    h.ThenExit();
    h.Run();
}

TEST(FrmStage, CommandLineArgumentOpensTheStageAtStart) {
    GuiHarness h;
    const std::string second = h.StagePath("second");
    ASSERT_TRUE(h.Start(second));
    h.WaitRunning(second);
    h.Do([&] { EXPECT_EQ(h.Window().windowTitle().toStdString(), "Second"); });
    h.ThenExit();
    h.Run();
}

TEST(FrmStage, DeleteAsksThenRemovesTheStageAndRefillsTheList) {
    GuiHarness h;
    const std::string second = h.StagePath("second");
    ASSERT_TRUE(h.Start(second));
    h.WaitRunning(second);
    h.Do(
        [&] {
            h.Trigger("mnuDelete");  // the script answers No by default
            ASSERT_EQ(h.boxes.size(), 1u);
            EXPECT_EQ(h.boxes[0].buttons, MsgButtons::YesNoDefaultNo);
            EXPECT_TRUE(fs::exists(second));
            EXPECT_EQ(h.State().bRunning, 1);
        },
        "delete, answered No");
    h.Do(
        [&] {
            // The desktop's trash, kept in the test's own folder (same file system as the stage).
            const fs::path data = h.programDir.Path() / "xdg-data";
            fs::create_directories(data);
            qputenv("XDG_DATA_HOME", QByteArray::fromStdString(data.string()));
            h.boxAnswers.push_back(MsgAnswer::Yes);
            h.Trigger("mnuDelete");
            qunsetenv("XDG_DATA_HOME");
            EXPECT_TRUE(fs::exists(data / "Trash/files/second.def"));
            EXPECT_FALSE(fs::exists(second));
            EXPECT_FALSE(fs::exists(h.mugen.Path() / "stages" / "second.sff"));
            EXPECT_TRUE(fs::exists(h.mugen.Path() / "stages" / "quillback.sff"));
            ASSERT_EQ(h.Window().StageListBox()->count(), 1);
            EXPECT_EQ(h.Window().StageListBox()->item(0)->text(), QStringLiteral("Quillback Demo \u00b7 Quillback"));
            EXPECT_EQ(h.Window().windowTitle().toStdString(), h.State().AppTitle);
        },
        "delete, answered Yes");
    h.ThenExit();
    h.Run();
}

TEST(FrmStage, EveryMenuItemTogglesAsTheModelSays) {
    GuiHarness h;
    const std::string first = h.StagePath("quillback");
    ASSERT_TRUE(h.Start(first));
    h.WaitRunning(first);
    h.Do(
        [&] {
            auto& w = h.Window();
            // Items that open, close or end the stage are driven by the other tests.
            const std::vector<std::string> skip = {"mnuOpen", "mnuClose",    "mnuReload",    "mnuDelete",
                                                   "mnuExit", "mnuFS",       "mnuStageNext", "mnuStagePrev",
                                                   "mnuR",    "mnuStageList"};
            h.inputAnswers = {"30"};
            int toggled = 0;
            for (const std::string& name : MenuModel::Order()) {
                QAction* action = w.MenuAction(name);
                ASSERT_NE(action, nullptr) << name;
                if (action->isSeparator() || action->menu() != nullptr) continue;
                if (std::find(skip.begin(), skip.end(), name) != skip.end()) continue;
                if (!action->isVisible() || !action->isEnabled()) continue;
                for (int pass = 0; pass < 2; ++pass) {
                    action->trigger();
                    // Every check mark on screen is the model's.
                    for (const std::string& other : MenuModel::Order()) {
                        QAction* shown = w.MenuAction(other);
                        if (shown->isCheckable()) {
                            EXPECT_EQ(shown->isChecked(), MenuModel(h.State()).Checked(other))
                                << other << " after " << name;
                        }
                    }
                }
                ++toggled;
            }
            EXPECT_GE(toggled, 15);
            // The limiter went off, then on again with the typed limit.
            EXPECT_EQ(h.State().Loop.FpsLimit, 30);
            EXPECT_EQ(Text(w.MenuAction("mnuFPS")), "FPS Limiter (30 fps)");
            EXPECT_EQ(h.editorOpened, (std::vector<std::string>{first, first}));
            EXPECT_EQ(h.desktopOpened, (std::vector<std::string>(2, (h.programDir.Path() / "snapshots").string())));
            EXPECT_FALSE(w.MenuAction("mnuPause")->isChecked());
            // The stage name keeps its quotes; the snapshot went to the snapshots folder. The caption
            // shows the last notice, the zoom items' (the demo stage has no zoom range), in the
            // menus' language (the stage's caption, without the quotes, comes back a few seconds later).
            EXPECT_EQ(h.State().Stage.StageName, "\"Quillback Demo\"");
            EXPECT_TRUE(fs::exists(h.programDir.Path() / "snapshots" / "Quillback Demo 1.pcx"));
            EXPECT_EQ(w.windowTitle(), QString::fromUtf8("这个背景不能缩放：它的 [Camera] 没有 zoomin/zoomout 范围。"));
            // The only scale item whose window fits the 800 x 600 test screen with the list beside the
            // view is 1x (2x would be 816 wide): pressed twice, it stays 1x.
            EXPECT_EQ(w.View()->size(), QSize(320, 240));
            // Snapshot (twice, through the menu): two pictures in the program's snapshots folder.
            EXPECT_TRUE(fs::exists(h.programDir.Path() / "snapshots" / "Quillback Demo 1.pcx"));
        },
        "toggle every item");
    h.ThenExit();
    h.Run();
    const std::string cfg = h.ConfigText();
    EXPECT_NE(cfg.find("Info = False"), std::string::npos) << cfg;
}

TEST(FrmStage, TestCharacterAndAboutComeThroughTheMenus) {
    GuiHarness h;
    const std::string first = h.StagePath("quillback");
    const std::string character = WriteCharFiles(h.mugen, "chars/t/", "t.def", CharFiles{});
    ASSERT_TRUE(h.Start(first));
    h.WaitRunning(first);
    h.Do(
        [&] {
            auto& w = h.Window();
            // Use with no character chosen asks for one, then switches it on.
            h.openAnswers.push_back(character);
            h.Trigger("mnuChar");
            ASSERT_EQ(h.openRequests.size(), 1u);
            EXPECT_EQ(h.openRequests[0].title, "Choose test character.");
            EXPECT_TRUE(w.MenuAction("mnuChar")->isChecked());
            EXPECT_EQ(Text(w.MenuAction("mnuChar")), "使用 Tester(&U)");
            EXPECT_EQ(h.State().Chars.CharLoaded, 255);
            // Change goes through the same dialog.
            h.Trigger("mnuChange");
            EXPECT_EQ(h.openRequests.size(), 2u);
            // About without KFM: the two boxes.
            h.Trigger("mnuAbout");
            ASSERT_EQ(h.boxes.size(), 2u);
            EXPECT_NE(h.boxes[1].text.find("quillback@users.noreply.invalid"), std::string::npos);
        },
        "character and about");
    h.WaitRunning(first);
    h.ThenExit();
    h.Run();
    EXPECT_NE(h.ConfigText().find("\r\nChar = True\r\n"), std::string::npos);
}

TEST(FrmStage, ScaleAndFullScreenComeAndGo) {
    GuiHarness h;
    const std::string first = h.StagePath("quillback");
    ASSERT_TRUE(h.Start(first));
    h.WaitRunning(first);
    QPoint before;
    h.Do(
        [&] {
            auto& w = h.Window();
            h.Trigger("mnuStageList");  // hide the list: the view alone
            h.Trigger("mnuScale2");
            EXPECT_EQ(w.centralWidget()->size(), QSize(640, 480));
            // The test platform's screen is 800 x 600: the larger scales are not offered.
            EXPECT_FALSE(w.MenuAction("mnuScale3")->isEnabled());
            EXPECT_FALSE(w.MenuAction("mnuScale4")->isEnabled());
            h.Trigger("mnuScale1");
            EXPECT_EQ(w.View()->size(), QSize(320, 240));
            EXPECT_EQ(w.centralWidget()->size(), QSize(320, 240));
            EXPECT_TRUE(w.MenuAction("mnuScale1")->isChecked());
            EXPECT_FALSE(w.MenuAction("mnuScale2")->isChecked());
            w.move(40, 30);
            before = w.pos();
            h.Trigger("mnuFS");
            ASSERT_NE(w.FullScreenWindow(), nullptr);
            EXPECT_TRUE(w.FullScreenWindow()->isVisible());
            EXPECT_FALSE(w.isVisible());
            EXPECT_EQ(w.ActiveView(), w.FullScreenWindow()->View());
            // Boxes asked for in full screen belong to the full-screen window, not the hidden one.
            EXPECT_EQ(h.program->Ui().Owner(), w.FullScreenWindow());
        },
        "scale, then full screen");
    // Frames now reach the full-screen view, scaled by a whole number with black borders.
    h.Then([&] { return h.Window().FullScreenWindow()->View()->PresentCount() >= 3; },
           [&] {
               gui::StageView* view = h.Window().FullScreenWindow()->View();
               const int scale = view->EffectiveScale();
               EXPECT_GE(scale, 1);
               EXPECT_TRUE(320 * (scale + 1) > view->width() || 240 * (scale + 1) > view->height())
                   << "largest scale";
               EXPECT_EQ(view->PictureRect().size(), QSize(320 * scale, 240 * scale));
               SendKey(view, Qt::Key_Escape, true);
               SendKey(view, Qt::Key_Escape, false);
               auto& w = h.Window();
               EXPECT_FALSE(w.FullScreenWindow()->isVisible());
               EXPECT_TRUE(w.isVisible());
               EXPECT_EQ(w.pos(), before);
               EXPECT_FALSE(w.MenuAction("mnuFS")->isChecked());
               EXPECT_EQ(w.ActiveView(), w.View());
           },
           "escape leaves full screen");
    h.Do(
        [&] {
            h.Trigger("mnuFS");
            EXPECT_TRUE(h.Window().FullScreenWindow()->isVisible());
            h.Trigger("mnuFS");  // the item leaves it too
            EXPECT_TRUE(h.Window().isVisible());
            EXPECT_FALSE(h.Window().FullScreenWindow()->isVisible());
            // Closing the full-screen window (a window manager's close) leaves full screen too.
            h.Trigger("mnuFS");
            h.Window().FullScreenWindow()->close();
            EXPECT_TRUE(h.Window().isVisible());
            EXPECT_EQ(h.State().bFullScreen, 0);
        },
        "the item enters and leaves");
    h.ThenExit();
    h.Run();
    EXPECT_NE(h.ConfigText().find("Scale = 1"), std::string::npos) << h.ConfigText();
}

TEST(FrmStage, TypedKeysReachTheCoreAndNoControl) {
    GuiHarness h;
    const std::string first = h.StagePath("quillback");
    ASSERT_TRUE(h.Start(first));
    h.WaitRunning(first);
    h.Do(
        [&] {
            auto& w = h.Window();
            auto& keys = h.program->Keys();
            QListWidget* list = w.StageListBox();
            list->setCurrentRow(0);
            SendKey(list, Qt::Key_Down, true);
            EXPECT_EQ(list->currentRow(), 0) << "the list must not move with the arrow keys";
            EXPECT_TRUE(keys.IsDown(Key::Down));
            SendKey(list, Qt::Key_Down, false);
            EXPECT_FALSE(keys.IsDown(Key::Down));
            // A tap between two polls is still seen once.
            SendKey(w.View(), Qt::Key_Z, true);
            SendKey(w.View(), Qt::Key_Z, false);
            EXPECT_TRUE(keys.Pressed(Key::Z));
            EXPECT_FALSE(keys.Pressed(Key::Z));
            // F8 is the snapshot shortcut: the picture is saved and the key is still seen by the core.
            // A key press sent by a program goes through the shortcut map first, as a typed one does.
            SendKey(w.View(), Qt::Key_F8, true);
            SendKey(w.View(), Qt::Key_F8, false);
            EXPECT_TRUE(fs::exists(h.programDir.Path() / "snapshots" / "Quillback Demo 0.pcx"))
                << "snapshot through F8";
            EXPECT_TRUE(keys.Pressed(Key::F8));
        },
        "keys");
    h.ThenExit();
    h.Run();
}

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

TEST(FrmStage, ClickOnTheViewSelectsAndDragsAnElement) {
    GuiHarness h;
    const std::string first = h.StagePath("quillback");
    ASSERT_TRUE(h.Start(first));
    h.WaitRunning(first);
    h.Do(
        [&] {
            auto& w = h.Window();
            AppState& state = h.State();
            gui::StageView* view = w.View();
            const int scale = view->EffectiveScale();
            // A frame pixel some element covers, and the element the core picks there.
            int fx = -1, fy = -1, picked = -1;
            for (int y = 0; y < kViewHeight && picked < 0; y += 4)
                for (int x = 0; x < kViewWidth && picked < 0; x += 4)
                    if ((picked = ElementAt(state.Stage, state.Frame, x, y)) >= 0) fx = x, fy = y;
            ASSERT_GE(picked, 0) << "the demo stage shows elements";
            const QPoint at = view->PictureRect().topLeft() + QPoint(fx * scale + scale / 2, fy * scale + scale / 2);
            const float posX = state.Stage.Elements[picked].PosX;

            SendMouse(view, QEvent::MouseButtonPress, at, Qt::LeftButton);
            SendMouse(view, QEvent::MouseButtonRelease, at, Qt::LeftButton);
            EXPECT_EQ(state.Edit.SelectedElement, -1) << "the editor is closed";
            w.ShowBgEditor();
            SendMouse(view, QEvent::MouseButtonPress, at, Qt::LeftButton);
            EXPECT_EQ(state.Edit.SelectedElement, picked);
            const BgElement& element = state.Stage.Elements[picked];
            EXPECT_EQ(w.windowTitle().toStdString(), "\"" + element.Name + "\" - Background Element #" +
                                                         std::to_string(picked + 1) + "/" +
                                                         std::to_string(state.Stage.Elements.size()));
            SendMouse(view, QEvent::MouseMove, at + QPoint(4 * scale, 0), Qt::NoButton);
            EXPECT_EQ(element.PosX, posX + 4) << "moves arrive in frame pixels";
            SendMouse(view, QEvent::MouseButtonRelease, at + QPoint(4 * scale, 0), Qt::LeftButton);
            EXPECT_EQ(state.Edit.DragIndex, -1);

            SendMouse(view, QEvent::MouseButtonPress, at, Qt::RightButton);
            SendMouse(view, QEvent::MouseButtonRelease, at, Qt::RightButton);
            EXPECT_EQ(state.Edit.SelectedElement, -1);
            EXPECT_EQ(w.windowTitle().toStdString(), "Quillback Demo");
            SendMouse(view, QEvent::MouseButtonPress, at, Qt::LeftButton);
            ASSERT_EQ(state.Edit.SelectedElement, picked);
            w.BgEditor()->hide();
            EXPECT_EQ(state.Edit.SelectedElement, -1) << "closing the editor drops the selection";
        },
        "click");
    h.ThenExit();
    h.Run();
}

TEST(FrmStage, ErrorLogWindowShowsTheLogAndClosingOnlyHidesIt) {
    GuiHarness h;
    // A definition with a value the reader cannot convert lands an entry in the log.
    const std::string bad = h.StagePath("quillback");
    {
        std::string def = h.mugen.Read("stages/quillback.def");
        def.replace(def.find("startx = 0"), 10, "startx = left");
        h.mugen.Write("stages/quillback.def", def);
    }
    ASSERT_TRUE(h.Start(bad));
    h.WaitRunning(bad);
    h.Do(
        [&] {
            auto& w = h.Window();
            h.Trigger("mnuError");
            ASSERT_NE(w.ErrorWindow(), nullptr);
            gui::FrmError& log = *w.ErrorWindow();
            EXPECT_TRUE(log.isVisible());
            EXPECT_EQ(log.windowTitle(), QString::fromUtf8("错误日志"));
            EXPECT_EQ(log.size(), QSize(498, 268));
            EXPECT_EQ(log.TextBox()->objectName(), "txtError");
            EXPECT_FALSE(h.State().Log.Text().empty());
            EXPECT_FALSE(log.TextBox()->toPlainText().isEmpty());
            EXPECT_TRUE(w.MenuAction("mnuError")->isChecked());
            log.close();
            EXPECT_FALSE(log.isVisible());
            EXPECT_FALSE(w.MenuAction("mnuError")->isChecked());
            h.Trigger("mnuError");
            EXPECT_TRUE(log.isVisible());
            EXPECT_FALSE(log.TextBox()->toPlainText().isEmpty()) << "hiding keeps the text";
        },
        "error log");
    h.ThenExit();
    h.Run();
}

TEST(FrmStage, MusicChooserSitsAboveTheWindowAndDrivesTheCore) {
    GuiHarness h;
    const std::string stage = h.StagePath("quillback");
    ASSERT_TRUE(h.Start(stage));
    h.WaitRunning(stage);
    h.Do(
        [&] {
            auto& w = h.Window();
            h.Trigger("mnuChangeMusic");
            ASSERT_NE(w.MusicWindow(), nullptr);
            gui::FrmMusic& music = *w.MusicWindow();
            EXPECT_TRUE(music.isVisible());
            EXPECT_EQ(music.windowTitle(), QString::fromUtf8("选择音乐"));
            EXPECT_EQ(music.frameGeometry().bottom() + 1, w.frameGeometry().top());
            EXPECT_EQ(music.frameGeometry().left(), w.frameGeometry().left());
            EXPECT_TRUE(music.SaveButton()->isEnabled());
            EXPECT_EQ(music.CurrentMusic()->text().toStdString(), h.State().Chooser.CurMusic);
            // The loud end is up: the bar's maximum is drawn at the top.
            EXPECT_TRUE(music.VolumeBar()->invertedAppearance());
            music.VolumeBar()->setValue(255);
            EXPECT_EQ(h.State().Chooser.Volume, 255);
            EXPECT_EQ(music.VolumeText()->text(), "255");
            music.close();
            EXPECT_FALSE(h.State().Chooser.Loaded);
            EXPECT_FALSE(music.isVisible());
        },
        "music chooser");
    h.ThenExit();
    h.Run();
}

TEST(FrmStage, ClosingWhileRunningEndsTheLoopBeforeTheShutdown) {
    GuiHarness h;
    const std::string first = h.StagePath("quillback");
    ASSERT_TRUE(h.Start(first));
    h.WaitRunning(first);
    h.Do(
        [&] {
            auto& w = h.Window();
            w.close();
            // The window stays until tmrExit has run the shutdown, after the loop returned.
            EXPECT_TRUE(w.isVisible());
            EXPECT_TRUE(h.State().Loop.ExitLoop);
            EXPECT_TRUE(w.Timer("tmrExit")->isActive());
            EXPECT_FALSE(fs::exists(h.programDir.Path() / "QB.cfg") &&
                         h.ConfigText().find("HCamStep") != std::string::npos);
        },
        "close request");
    h.Run();
    EXPECT_FALSE(h.Window().isVisible());
    EXPECT_FALSE(h.State().Loop.InRunLoop);
    EXPECT_NE(h.ConfigText().find("HCamStep = "), std::string::npos);
}

TEST(FrmStage, AStopSignalClosesAnOpenBoxAndExitsAsExitDoes) {
    GuiHarness h;
    const std::string first = h.StagePath("quillback");
    ASSERT_TRUE(h.Start(first));
    h.WaitRunning(first);
    h.Do(
        [&] {
            // Unwritten edits: a question about them, were it asked, would be closed as Cancel too.
            AppState& s = h.State();
            s.Edit.SelectedElement = 0;
            ShowElement(s.Stage, 0, s.Edit.Fields);
            s.Edit.Fields.txtXpos = "40";
            BgEditorButton(s, "cmdUpdate");
            ASSERT_TRUE(HasUnwrittenEdits(s.Stage, s.Edit));
            h.boxAnswers = {MsgAnswer::Cancel};
            // A box open inside the run loop, as the Delete question is; the signal arrives meanwhile.
            QTimer::singleShot(50, h.program.get(), [&] { h.program->RequestStop(); });
            QMessageBox box(QMessageBox::Question, "t", "Delete?", QMessageBox::Yes | QMessageBox::No, &h.Window());
            box.setDefaultButton(QMessageBox::No);
            EXPECT_NE(box.exec(), QMessageBox::Yes);
            EXPECT_TRUE(h.State().Loop.ExitLoop);
        },
        "stop signal while a box is open");
    h.Run();
    EXPECT_TRUE(h.program->Finished());
    EXPECT_NE(h.ConfigText().find("HCamStep = "), std::string::npos);
    EXPECT_TRUE(h.boxes.empty());  // nobody was asked
}

TEST(FrmStage, SecondInstanceIsRefused) {
    GuiHarness h;
    QLockFile other(QString::fromStdString((h.programDir.Path() / "quillback.lock").string()));
    ASSERT_TRUE(other.tryLock(0));
    EXPECT_FALSE(h.Start());
    ASSERT_EQ(h.boxes.size(), 1u);
    EXPECT_EQ(h.boxes[0].text, "Already running..");
}

}  // namespace
}  // namespace qb::test

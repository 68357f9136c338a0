// The main window's language switch and the hand-over of a second start's stage, driven through
// the real window.
#include <gtest/gtest.h>

#include <QAction>

#include "gui/frm_bg.h"
#include "tests/gui/gui_harness.h"

namespace qb::test {
namespace {

std::string Caption(gui::FrmStage& w, const char* item) {
    return w.MenuAction(item)->text().toStdString();
}

TEST(FrmStageLanguage, EnglishRetranslatesMenusAndOpenToolWindowsAndIsSaved) {
    GuiHarness h;
    ASSERT_TRUE(h.Start());
    h.Do([&] {
        auto& w = h.Window();
        h.Trigger("mnuBgEditor");
        ASSERT_NE(w.BgEditor(), nullptr);
        EXPECT_EQ(w.BgEditor()->windowTitle(), QString::fromUtf8("背景编辑器"));
        h.Trigger("mnuLanguageEn");
        EXPECT_EQ(Caption(w, "mnuOptions"), "&Options");
        EXPECT_EQ(Caption(w, "mnuStage"), "&Stage");
        EXPECT_EQ(Caption(w, "mnuFS"), "&Full Screen (Esc to leave)");
        EXPECT_EQ(Caption(w, "mnuFPS"), "FPS Limiter (60 fps)");  // made at run time: as it is
        // The Latin key the Chinese captions get is the English caption's.
        for (const std::string& name : MenuModel::Order()) {
            const char key = MenuModel(h.State()).Item(name).AccessKey;
            const QString text = w.MenuAction(name)->text();
            if (key == 0 || name == "mnuFPS") continue;
            const qsizetype mark = text.indexOf('&');
            ASSERT_GE(mark, 0) << name;
            EXPECT_EQ(text.at(mark + 1).toUpper(), QChar(key)) << name << " " << text.toStdString();
        }
        EXPECT_TRUE(w.MenuAction("mnuLanguageEn")->isChecked());
    });
    // Open windows hear of the new language through Qt's (posted) LanguageChange event.
    h.Then([&] { return h.Window().BgEditor()->windowTitle() == "Background Editor"; },
           [&] {
               h.Trigger("mnuLanguageZh");
               EXPECT_EQ(Caption(h.Window(), "mnuOptions"), "选项(&O)");
           });
    h.Then([&] { return h.Window().BgEditor()->windowTitle() == QString::fromUtf8("背景编辑器"); },
           [&] { h.Trigger("mnuLanguageEn"); });
    h.ThenExit();
    h.Run();
    EXPECT_NE(h.ConfigText().find("Language = en\r\n"), std::string::npos) << h.ConfigText();
}

TEST(FrmStageInstance, SecondStartHandsItsStageToTheRunningCopy) {
    GuiHarness h;
    ASSERT_TRUE(h.Start());
    const std::string second = h.StagePath("second");
    // A folder's name may hold a line break and end in a blank: the hand-over is one line.
    const std::string odd =
        h.mugen.Write("odd\nfolder /second.def", h.mugen.Read("stages/second.def")).string();
    std::vector<std::string> secondBoxes;
    const auto startSecond = [&](const std::string& argument) {
        h.Do([&, argument] {
            gui::QuillbackApp other;
            gui::StartOptions options;
            options.programDir = h.programDir.Path().string();
            options.argument = argument;
            options.script.msgBox = [&](const std::string& text, MsgIcon, MsgButtons, const std::string&) {
                secondBoxes.push_back(text);
                return MsgAnswer::Ok;
            };
            EXPECT_FALSE(other.Start(options));  // ends at once, quietly
        });
    };
    startSecond(second);
    h.WaitRunning(second);
    h.Do([&] { EXPECT_EQ(h.Window().StageListBox()->currentRow(), 1); });
    startSecond(odd);
    h.WaitRunning(odd);
    h.ThenExit();
    h.Run();
    EXPECT_TRUE(secondBoxes.empty());
    EXPECT_TRUE(h.boxes.empty());
}

TEST(FrmStageGeometry, AResizedWindowFitsTheViewAndTheChosenScaleSizesItAgain) {
    GuiHarness h;
    ASSERT_TRUE(h.Start());
    auto& w = h.Window();
    const int list = w.StageListWidth();
    EXPECT_EQ(w.centralWidget()->minimumSize(), QSize(320 + list, 240));
    h.Do([&] { w.resize(1100, 900); });
    // The window manager's answer comes as an event: wait for the client area to follow.
    h.Then([&] { return w.centralWidget()->width() == 1100; },
           [&] {
               // 940 x ~880 beside the list: 2x, centred on black.
               EXPECT_EQ(w.View()->size(), QSize(1100 - list, w.centralWidget()->height()));
               EXPECT_EQ(w.View()->PictureRect().size(), QSize(640, 480));
               EXPECT_EQ(w.View()->PictureRect().left(), (1100 - list - 640) / 2);
               EXPECT_EQ(w.StageListBox()->geometry().left(), 1100 - list);
               // A scale chosen: the window takes the layout's size again (1x: the only scale whose window
               // fits the 800 x 600 test screen with the list, the only item offered).
               EXPECT_FALSE(w.MenuAction("mnuScale2")->isEnabled());
               h.Trigger("mnuScale1");
               EXPECT_EQ(w.centralWidget()->size(), QSize(320 + list, 240));
           });
    h.ThenExit();
    h.Run();
}

}  // namespace
}  // namespace qb::test

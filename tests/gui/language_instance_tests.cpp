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
        EXPECT_EQ(w.BgEditor()->windowTitle(), "BG");
        h.Trigger("mnuLanguageEn");
        EXPECT_EQ(Caption(w, "mnuOptions"), "&Options");
        EXPECT_EQ(Caption(w, "mnuStage"), "&Stage");
        EXPECT_EQ(Caption(w, "mnuFS"), "&Full Screen (Esc to leave)");
        EXPECT_EQ(Caption(w, "mnuFPS"), "FPS Limiter (60 fps)");  // made at run time: as it is
        EXPECT_TRUE(w.MenuAction("mnuLanguageEn")->isChecked());
    });
    // Open windows hear of the new language through Qt's (posted) LanguageChange event.
    h.Then([&] { return h.Window().BgEditor()->windowTitle() == "Background Editor"; },
           [&] {
               h.Trigger("mnuLanguageZh");
               EXPECT_EQ(Caption(h.Window(), "mnuOptions"), "选项");
           });
    h.Then([&] { return h.Window().BgEditor()->windowTitle() == "BG"; }, [&] { h.Trigger("mnuLanguageEn"); });
    h.ThenExit();
    h.Run();
    EXPECT_NE(h.ConfigText().find("Language = en\r\n"), std::string::npos) << h.ConfigText();
}

TEST(FrmStageInstance, SecondStartHandsItsStageToTheRunningCopy) {
    GuiHarness h;
    ASSERT_TRUE(h.Start());
    const std::string second = h.StagePath("second");
    std::vector<std::string> secondBoxes;
    h.Do([&] {
        gui::QuillbackApp other;
        gui::StartOptions options;
        options.programDir = h.programDir.Path().string();
        options.argument = second;
        options.script.msgBox = [&](const std::string& text, MsgIcon, MsgButtons, const std::string&) {
            secondBoxes.push_back(text);
            return MsgAnswer::Ok;
        };
        EXPECT_FALSE(other.Start(options));  // ends at once, quietly
    });
    h.WaitRunning(second);
    h.Do([&] { EXPECT_EQ(h.Window().StageListBox()->currentRow(), 1); });
    h.ThenExit();
    h.Run();
    EXPECT_TRUE(secondBoxes.empty());
    EXPECT_TRUE(h.boxes.empty());
}

}  // namespace
}  // namespace qb::test

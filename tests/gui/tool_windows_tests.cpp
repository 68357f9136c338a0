// The sprite browser and the background editor windows, opened through the menus over a running stage.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <filesystem>

#include "gui/frm_bg.h"
#include "gui/frm_sff.h"
#include "tests/gui/gui_harness.h"
#include "tools/sprite_browser.h"

namespace qb::test {
namespace {

TEST(ToolWindows, DebugOpensTheSpriteBrowserAndTheOptionsItemTheEditor) {
    GuiHarness h;
    const std::string first = h.StagePath("quillback");
    ASSERT_TRUE(h.Start(first));
    h.WaitRunning(first);
    h.Do(
        [&] {
            auto& w = h.Window();
            AppState& state = h.State();
            const int count = state.Stage.SpriteCount;
            ASSERT_GT(count, 1);
            h.Trigger("mnuDebug");
            ASSERT_NE(w.SpriteBrowser(), nullptr);
            gui::FrmSff& sff = *w.SpriteBrowser();
            EXPECT_TRUE(sff.isVisible());
            EXPECT_EQ(sff.ScrollBar()->objectName(), "hscSGFX");
            EXPECT_EQ(sff.ScrollBar()->maximum(), count - 1);
            const SpriteEntry& second = state.Stage.Sprites[1];
            sff.ScrollBar()->setValue(1);
            EXPECT_EQ(sff.windowTitle().toStdString(), "(2/" + std::to_string(count) +
                                                           ")  Group: " + std::to_string(second.Group) +
                                                           "  Image: " + std::to_string(second.Image));
            sff.GroupBox()->setValue(state.Stage.Sprites[0].Group);
            sff.ImageBox()->setValue(state.Stage.Sprites[0].Image);
            sff.GoButton()->click();
            EXPECT_EQ(sff.ScrollBar()->value(), 0);
            EXPECT_EQ(sff.DetailsLabel()->text().toStdString(), SpriteDetailsText(state.Stage, 0));
            // A zoomed sprite larger than the window scrolls inside its area.
            EXPECT_EQ(sff.PictureArea()->widget()->minimumSize(),
                      QSize(state.Stage.Sprites[0].Width, state.Stage.Sprites[0].Height));
            const std::string png = (h.programDir.Path() / "sprite.png").string();
            sff.SetSaveAsk([&] { return png; });
            sff.SaveButton()->click();
            EXPECT_TRUE(std::filesystem::exists(png));
            // A stage with fewer sprites while the window is open: the range follows the table.
            sff.ScrollBar()->setValue(count - 1);
            state.Stage.SpriteCount = 1;
            w.Refresh();
            EXPECT_EQ(sff.ScrollBar()->maximum(), 0);
            EXPECT_EQ(sff.windowTitle().left(5), "(1/1)");
            state.Stage.SpriteCount = static_cast<int16_t>(count);
            // Closing the browser ends debug mode, and its menu mark goes with it.
            EXPECT_TRUE(MenuModel(state).Checked("mnuDebug"));
            sff.close();
            EXPECT_EQ(state.Loop.DebugMode, 0);
            EXPECT_FALSE(MenuModel(state).Checked("mnuDebug"));

            h.Trigger("mnuBgEditor");
            ASSERT_NE(w.BgEditor(), nullptr);
            gui::FrmBg& bg = *w.BgEditor();
            EXPECT_TRUE(bg.isVisible());
            EXPECT_EQ(bg.windowTitle(), QString::fromUtf8("背景编辑器"));
            // A tool window of the main window, beside it, at its own fixed size.
            EXPECT_EQ(bg.parentWidget(), &w);
            EXPECT_EQ(bg.windowType(), Qt::Tool);
            EXPECT_EQ(bg.minimumSize(), bg.maximumSize());
            // The 800-wide test screen has room on neither side: it opens on the screen over the view,
            // as far from the stage list as the screen allows (with its element list it is wider than
            // the room left of the list; a 1366-wide screen has that room).
            EXPECT_TRUE(w.screen()->availableGeometry().contains(bg.frameGeometry()));
            ASSERT_TRUE(w.StageListBox()->isVisible());
            const int listLeft = w.StageListBox()->mapToGlobal(QPoint(0, 0)).x();
            if (bg.frameGeometry().width() <= listLeft - w.screen()->availableGeometry().left())
                EXPECT_LT(bg.frameGeometry().right(), listLeft);
            else
                EXPECT_EQ(bg.frameGeometry().left(), w.screen()->availableGeometry().left());
            EXPECT_FALSE(bg.Button("Command6")->toolTip().isEmpty());
            // The test buttons are for developers; Save Stage (no action) for nobody.
            for (const char* test : {"Command1", "Command2", "Command3", "Command4", "Command5"})
                EXPECT_EQ(bg.Button(test), nullptr) << test;
            EXPECT_FALSE(MenuModel(state).Item("mnuDeform").Visible);
            {
                gui::FrmBg developer(state.Edit.Fields, nullptr, nullptr, true);
                for (const char* bare : {"Command1", "Command3", "Command4", "Command5"})
                    EXPECT_FALSE(developer.Button(bare)->toolTip().isEmpty()) << bare;
                EXPECT_EQ(developer.Button("Command2"), nullptr);
            }
            EXPECT_EQ(bg.Box("txtcamleft")->text().toStdString(), state.Edit.Fields.txtcamleft);
            EXPECT_EQ(bg.Button("cmdSave")->text(), QString::fromUtf8("保存改动"));  // in the menus' language
            // Typing reaches the core's box; Update applies it.
            bg.Box("txtcamleft")->setText("-77");
            emit bg.Box("txtcamleft")->textEdited("-77");
            bg.Button("cmdUpdate")->click();
            EXPECT_EQ(state.Stage.BoundLeft, -77);
            // A box the core changes shows the new value.
            state.Edit.Fields.txtXpos = "12";
            state.Edit.Fields.txtMaskWindow = "0,0,8,8";
            w.Refresh();
            EXPECT_EQ(bg.Box("txtXpos")->text(), "12");
            EXPECT_EQ(bg.Box("txtMaskWindow")->text(), "0,0,8,8");
            bg.Button("cmdSave")->click();
            EXPECT_TRUE(std::filesystem::exists(h.programDir.Path() / "test.def"));
        },
        "tool windows");
    h.ThenExit();
    h.Run();
}

}  // namespace
}  // namespace qb::test

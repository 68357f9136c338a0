#include "app/edit_commands.h"

#include <gtest/gtest.h>

#include "app/bg_buttons.h"
#include "app/element_mouse.h"
#include "app/menu_model.h"
#include "session/load_stage.h"
#include "tests/app/app_fixture.h"
#include "tools/bg_editor.h"

namespace qb::test {
namespace {

TEST(EditCommands, TheEditMenuNamesWhatItUndoesAndRedoes) {
    AppFixture f;
    ASSERT_TRUE(
        f.LoadText("[BGdef]\nspr = stages/test.sff\n[BG sky]\ntype = normal\nspriteno = 0,0\nstart = 1,2\n"));
    EXPECT_FALSE(MenuModel(f.state).Item("mnuUndo").Enabled);
    EXPECT_EQ(MenuModel(f.state).Item("mnuUndo").Caption, "&撤销");
    ShowStuff(f.Stage(), f.state.Edit.Fields);  // as a run starts
    SelectListedElement(f.state, 0);
    f.state.Edit.Fields.txtXpos = "40";
    ASSERT_TRUE(BgEditorButton(f.state, "cmdUpdate"));
    EXPECT_EQ(f.Stage().Elements[0].StartX, 40);
    EXPECT_TRUE(MenuModel(f.state).Item("mnuUndo").Enabled);
    EXPECT_EQ(MenuModel(f.state).Item("mnuUndo").Caption, "撤销更新");

    ClearSelection(f.state);
    ASSERT_TRUE(MenuCommand(f.state, "mnuUndo"));
    EXPECT_EQ(f.Stage().Elements[0].StartX, 1);
    // The element is selected again and the boxes show it as it is now.
    EXPECT_EQ(f.state.Edit.SelectedElement, 0);
    EXPECT_EQ(f.state.Edit.Fields.txtXpos, "1");
    EXPECT_EQ(MenuModel(f.state).Item("mnuRedo").Caption, "重做更新");
    EXPECT_EQ(MenuModel(f.state).Item("mnuRedo").AlsoShortcut, "Ctrl+Y");
    ASSERT_TRUE(MenuCommand(f.state, "mnuRedo"));
    EXPECT_EQ(f.Stage().Elements[0].StartX, 40);
    // Closing the stage takes its steps along.
    MenuCommand(f.state, "mnuUndo");
    ASSERT_TRUE(CanRedo(f.state));
    UnloadStuff(f.state);
    EXPECT_EQ(f.state.Edit.History.Steps(), 0u);
}

TEST(EditCommands, ADoubleClickedLogLineOpensTheDefinitionAtItsEntrysLine) {
    AppFixture f;
    f.state.StageFile = f.WriteStage("test", "[BGdef]\n");
    f.state.Log.Append("A package note");  // text line 0
    f.state.Log.Add(Problem{.kind = ProblemKind::ReaderError,
                            .file = f.mugen.Dir() + "stages/Other.def",
                            .line = 12,
                            .text = "Type mismatch",
                            .subject = "start = x",
                            .code = 13});                                                       // lines 1-6
    f.state.Log.Add(Problem{.kind = ProblemKind::NegativeTileX, .file = "x.sff", .line = 30});  // line 7
    const std::string other = f.mugen.Write("stages/other.def", "[BGdef]\n").string();
    struct Case {
        size_t textLine;
        bool opens;
        int line;
    };
    for (const Case& c :
         {Case{0, false, 0}, Case{1, true, 12}, Case{6, true, 12}, Case{7, true, 30}, Case{8, false, 0}}) {
        f.ui.editorLines.clear();
        f.ui.editorOpened.clear();
        EXPECT_EQ(OpenProblemLine(f.state, c.textLine), c.opens) << c.textLine;
        if (!c.opens) continue;
        ASSERT_EQ(f.ui.editorLines, std::vector<int>{c.line});
        // The entry's own definition (found whatever its letter case), else the stage's.
        EXPECT_EQ(f.ui.editorOpened.front(), c.line == 12 ? other : f.state.StageFile) << c.textLine;
    }
}

}  // namespace
}  // namespace qb::test

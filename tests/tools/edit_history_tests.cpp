#include "tools/edit_history.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/stage/stage_fixture.h"
#include "tests/support/fakes.h"
#include "tools/bg_commands.h"
#include "tools/element_edit.h"

namespace qb {
namespace {

using test::StageFixture;

// Four elements (the last position-linked to the third) and a controller group aimed at "b".
constexpr const char* kStage =
    "[Camera]\nboundleft = -150\n[BGdef]\nspr = stages/test.sff\n"
    "[BG a]\ntype = normal\nspriteno = 0,0\nstart = 1,2\nid = 1\n"
    "[BG b]\ntype = normal\nspriteno = 0,0\nstart = 3,4\ndelta = 0.5,0.5\nid = 2\n"
    "[BG c]\ntype = normal\nspriteno = 0,0\nstart = 5,6\nvelocity = 1,0\n"
    "[BG c2]\ntype = normal\nspriteno = 0,0\npositionlink = 1\nstart = 0,10\n"
    "[BGCtrlDef x]\nctrlid = 2\n[BGCtrl v]\ntype = visible\ntime = 0\nvalue = 1\n";

// What an edit may change and a write puts into the file.
struct Edited {
    std::vector<std::string> names;
    std::vector<EditableElement> elements;
    std::vector<std::vector<int32_t>> ctrlIds;
    std::vector<int16_t> origin;
    int32_t boundLeft;
    bool operator==(const Edited&) const = default;
};

Edited Capture(const StageModel& stage, const EditState& edit) {
    Edited e{{}, CaptureEditable(stage).Elements, {}, edit.Origin, stage.BoundLeft};
    for (const BgElement& element : stage.Elements) e.names.push_back(element.Name);
    for (const BgCtrlDef& group : stage.CtrlDefs) {
        e.ctrlIds.push_back(group.CtrlIds);
        for (const BgCtrl& ctrl : group.Ctrls) e.ctrlIds.push_back(ctrl.CtrlIds);
    }
    return e;
}

struct HistoryFixture {
    StageFixture f;
    std::string path;
    std::string original;
    EditState edit;
    test::FakeKeys keys;
    test::FakeClock clock;

    HistoryFixture() {
        path = f.WriteStage("test", kStage);
        original = f.mugen.Read("stages/test.def");
        EXPECT_TRUE(f.Load(path));
        BeginEditBaseline(f.stage, f.load.Source, edit);
    }
    // An editing key as a pass reads it, later than the last one could act.
    void Press(Key key) {
        clock.AdvanceMs(200);
        keys.Tap(key);
        EditKeys(f.stage, edit, keys, clock, {});
    }
    // A drag as the view does it: grabbed, moved through several points, let go.
    void Drag(int16_t index, int dx, int dy) {
        edit.SelectedElement = index;
        BeginDrag(f.stage, edit, index, 100, 100);
        edit.History.Begin(EditKind::Move, f.stage, edit);
        for (int step = 1; step <= 4; ++step) DragTo(f.stage, edit, 100 + dx * step / 4, 100 + dy * step / 4);
        edit.History.Commit(f.stage, edit);
        EndDrag(edit);
    }
    // Update with the boxes as the editor shows them, `change` applied to them.
    void Update(int16_t index, const std::function<void(BgEditorFields&)>& change) {
        edit.SelectedElement = index;
        ShowStuff(f.stage, edit.Fields);
        ShowElement(f.stage, index, edit.Fields, &edit);
        change(edit.Fields);
        edit.History.Begin(EditKind::Update, f.stage, edit);
        EXPECT_EQ(UpdateStuff(f.stage, edit.Fields, index), "");
        edit.History.Commit(f.stage, edit);
    }
};

TEST(EditHistory, EachKindOfEditIsUndoneAndRedoneAndUndoneLeavesTheFileAsItWas) {
    struct Case {
        EditKind kind;
        int16_t selected;  // the element the edit is made on
        std::function<void(HistoryFixture&)> edit;
    };
    const std::vector<Case> cases = {
        {EditKind::Move, 1, [](HistoryFixture& h) { h.Drag(1, 7, -3); }},
        {EditKind::Update, 2,
         [](HistoryFixture& h) {
             h.Update(2, [](BgEditorFields& b) {
                 b.txtDeltaX = "0.25";  // also given to the linked "c2"
                 b.txtcamleft = "-99";
             });
         }},
        {EditKind::Order, 0, [](HistoryFixture& h) { h.Press(Key::NumPlus); }},
        {EditKind::Layer, 3, [](HistoryFixture& h) { h.Press(Key::NumPlus); }},
        {EditKind::Clone, 1, [](HistoryFixture& h) { h.Press(Key::Insert); }},
        {EditKind::Delete, 0, [](HistoryFixture& h) { h.Press(Key::Delete); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(EditKindName(c.kind));
        HistoryFixture h;
        const Edited before = Capture(h.f.stage, h.edit);
        h.edit.SelectedElement = c.selected;
        c.edit(h);
        const Edited after = Capture(h.f.stage, h.edit);
        ASSERT_NE(after, before);
        ASSERT_EQ(h.edit.History.NextUndo(), c.kind);
        h.edit.SelectedElement = -1;
        ASSERT_TRUE(h.edit.History.Undo(h.f.stage, h.edit));
        EXPECT_EQ(Capture(h.f.stage, h.edit), before);
        EXPECT_EQ(h.edit.SelectedElement, c.selected) << "the element the edit concerned";
        EXPECT_EQ(h.f.stage.ElementCount, static_cast<int16_t>(h.f.stage.Elements.size()));
        EXPECT_EQ(h.edit.History.NextUndo(), std::nullopt);
        ASSERT_EQ(h.edit.History.NextRedo(), c.kind);
        ASSERT_TRUE(h.edit.History.Redo(h.f.stage, h.edit));
        EXPECT_EQ(Capture(h.f.stage, h.edit), after);
        ASSERT_TRUE(h.edit.History.Undo(h.f.stage, h.edit));
        EXPECT_FALSE(HasUnwrittenEdits(h.f.stage, h.edit));
        const WriteBackResult r = WriteToStageFile(h.f.stage, h.edit, h.path);
        EXPECT_TRUE(r.ok) << r.error;
        EXPECT_EQ(h.f.mugen.Read("stages/test.def"), h.original);
    }
}

TEST(EditHistory, ADragIsOneStepAndItsUndoKeepsTheElementsOwnMotion) {
    HistoryFixture h;
    const float startPos = h.f.stage.Elements[2].PosX;
    h.Drag(2, 12, 0);
    EXPECT_EQ(h.f.stage.Elements[2].StartX, 17);
    h.f.stage.Elements[2].PosX += 5;  // "c" drifts on (velocity 1) while the stage runs
    h.f.stage.Elements[2].FrameTime = 9;
    ASSERT_TRUE(h.edit.History.Undo(h.f.stage, h.edit));
    EXPECT_EQ(h.edit.History.NextUndo(), std::nullopt) << "four pointer moves, one step";
    EXPECT_EQ(h.f.stage.Elements[2].StartX, 5);
    EXPECT_EQ(h.f.stage.Elements[2].PosX, startPos + 5) << "back by the drag, not by the drift";
    EXPECT_EQ(h.f.stage.Elements[2].FrameTime, 9);
    // A click that moves nothing records nothing, and a new edit drops what could be redone.
    h.Drag(2, 0, 0);
    EXPECT_EQ(h.edit.History.NextRedo(), EditKind::Move);
    h.Drag(1, 1, 1);
    EXPECT_EQ(h.edit.History.NextRedo(), std::nullopt);
}

TEST(EditHistory, UndoAfterAWriteFollowsTheFilesNewOrder) {
    HistoryFixture h;
    h.edit.SelectedElement = 0;
    h.Press(Key::NumPlus);  // "b" first, "a" second
    ASSERT_TRUE(WriteToStageFile(h.f.stage, h.edit, h.path).ok);
    ASSERT_TRUE(h.edit.History.Undo(h.f.stage, h.edit));
    // The file holds "b" first now: the stage differs from it, and writing puts "a" first again.
    EXPECT_TRUE(HasUnwrittenEdits(h.f.stage, h.edit));
    ASSERT_TRUE(WriteToStageFile(h.f.stage, h.edit, h.path).ok);
    EXPECT_EQ(h.f.mugen.Read("stages/test.def"), h.original);
}

TEST(EditHistory, MemoryIsBoundedAndALoadClearsTheSteps) {
    HistoryFixture h;
    h.edit.SelectedElement = 3;
    for (size_t i = 0; i < EditHistory::kMaxSteps + 20; ++i)
        h.Press(i % 2 == 0 ? Key::NumPlus : Key::NumMinus);
    EXPECT_EQ(h.edit.History.Steps(), EditHistory::kMaxSteps);
    EXPECT_LT(h.edit.History.Bytes(), EditHistory::kMaxBytes);
    // A table that no longer holds what the step changed is not touched, and the steps go.
    h.f.stage.Elements.pop_back();
    const Edited shrunk = Capture(h.f.stage, h.edit);
    EXPECT_FALSE(h.edit.History.Undo(h.f.stage, h.edit));
    EXPECT_EQ(Capture(h.f.stage, h.edit), shrunk);
    EXPECT_EQ(h.edit.History.Steps(), 0u);
    h.edit.SelectedElement = 0;
    h.Press(Key::Insert);
    BeginEditBaseline(h.f.stage, h.f.load.Source, h.edit);  // a reload
    EXPECT_EQ(h.edit.History.NextUndo(), std::nullopt);
}

}  // namespace
}  // namespace qb

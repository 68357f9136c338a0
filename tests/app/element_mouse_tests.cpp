#include "app/element_mouse.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/run_loop.h"
#include "render/draw_elements.h"
#include "platform/text_util.h"
#include "tests/app/app_fixture.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

// A running stage with its one 8x8 element ("Sky"); answers a view pixel inside the element.
std::pair<int, int> RunSkyStage(AppFixture& f, const std::string& path) {
    f.state.StageFile = path;
    f.EndLoopAtDoEvents(1);
    RunStage(f.state);
    f.ui.onDoEvents = nullptr;
    EXPECT_EQ(f.state.bRunning, 1);
    BgEditorShown(f.state, true);  // elements are picked only while the editor is open
    if (f.state.Stage.Elements.empty()) return {-1, -1};
    if (f.state.Frame.Drawn.empty()) return {-1, -1};
    const DrawnElement& at = f.state.Frame.Drawn[0];  // where the frame drew it
    return {at.x + 3, at.y + 3};
}

TEST(StageMouse, ClickSelectsDragMovesAndEmptyClickClears) {
    AppFixture f;
    const auto [x, y] = RunSkyStage(f, f.AddStage("forest", "Forest Gate"));
    const BgElement& sky = f.state.Stage.Elements[0];
    const float posX = sky.PosX, posY = sky.PosY, baseX = sky.BaseX, baseY = sky.BaseY;

    StageMouseDown(f.state, MouseButton::Left, x, y);
    EXPECT_EQ(f.state.Edit.SelectedElement, 0);
    EXPECT_EQ(f.ui.captions.back(), "\"" + sky.Name + "\" - Background Element #1/1");
    EXPECT_FALSE(sky.Name.empty());

    StageMouseMove(f.state, x + 5, y - 2);
    EXPECT_EQ(sky.PosX, posX + 5);
    EXPECT_EQ(sky.PosY, posY - 2);
    EXPECT_EQ(sky.BaseX, baseX + 5);
    EXPECT_EQ(sky.BaseY, baseY - 2);
    EXPECT_EQ(f.state.Edit.Fields.txtXpos, text::NumberText(baseX + 5));
    StageMouseUp(f.state, MouseButton::Left);
    StageMouseMove(f.state, x + 50, y + 50);
    EXPECT_EQ(sky.PosX, posX + 5) << "released: moving no longer drags";
    EXPECT_EQ(f.state.Edit.SelectedElement, 0) << "the selection outlives the drag";

    StageMouseDown(f.state, MouseButton::Left, 319, 239);  // nothing there
    EXPECT_EQ(f.state.Edit.SelectedElement, -1);
    EXPECT_EQ(f.ui.captions.back(), "Forest Gate");

    RunPass(f.state);  // picking sees the element where the last frame drew it
    StageMouseDown(f.state, MouseButton::Left, x + 5, y - 2);
    EXPECT_EQ(f.state.Edit.SelectedElement, 0);
    StageMouseDown(f.state, MouseButton::Right, x + 5, y - 2);
    EXPECT_EQ(f.state.Edit.SelectedElement, -1) << "a right click clears even over an element";
    StageMouseMove(f.state, x + 60, y);
    EXPECT_EQ(sky.PosX, posX + 5) << "the right click ended the drag";
}

// A drag moves the element by the pointer's travel in stage units: a hires stage's picture has two
// pixels a unit, so there the element moves half as many units as the pointer moves pixels.
TEST(StageMouse, DragsMoveElementsInStageUnits) {
    for (const int hires : {0, 1}) {
        SCOPED_TRACE(hires);
        AppFixture f;
        f.mugen.Write("stages/gate.sff", TinySff());
        const std::string def = f.mugen.Write("stages/gate.def", "[StageInfo]\nhires = " + std::to_string(hires) +
                                                                     "\n" + StageDefText("Gate", "gate.sff"))
                                    .string();
        const auto [x, y] = RunSkyStage(f, def);
        ASSERT_EQ(DrawnPicture(f.state).Width, hires ? 640 : 0);
        const BgElement& sky = f.state.Stage.Elements[0];
        const float baseX = sky.BaseX, baseY = sky.BaseY;
        StageMouseDown(f.state, MouseButton::Left, x, y);
        ASSERT_EQ(f.state.Edit.SelectedElement, 0);
        StageMouseMove(f.state, x + 8, y - 4);
        EXPECT_EQ(sky.BaseX, baseX + (hires ? 4 : 8));
        EXPECT_EQ(sky.BaseY, baseY - (hires ? 2 : 4));
    }
}

// With the editor closed a click selects nothing and a drag pans the camera within the bounds,
// moving the elements by delta times the pan; closing the editor or Escape drops a selection.
TEST(StageMouse, WithTheEditorClosedADragPansTheCamera) {
    AppFixture f;
    const std::string def = f.AddStage("forest", "Forest Gate");
    const auto [x, y] = RunSkyStage(f, def);
    StageMouseDown(f.state, MouseButton::Left, x, y);
    ASSERT_EQ(f.state.Edit.SelectedElement, 0);
    BgEditorShown(f.state, false);
    EXPECT_EQ(f.state.Edit.SelectedElement, -1) << "closing the editor drops the selection";
    EXPECT_EQ(f.ui.captions.back(), "Forest Gate");

    StageModel& stage = f.state.Stage;
    stage.BoundLeft = -100, stage.BoundRight = 100, stage.BoundHigh = -50, stage.BoundLow = 0;
    const BgElement& sky = stage.Elements[0];
    const float camX = f.state.Camera.CameraX, camY = f.state.Camera.CameraY;
    const float posX = sky.PosX, baseX = sky.BaseX;
    StageMouseDown(f.state, MouseButton::Left, x, y);
    EXPECT_EQ(f.state.Edit.SelectedElement, -1);
    StageMouseMove(f.state, x - 10, y + 20);  // the picture follows the pointer: the camera goes right and up
    EXPECT_EQ(f.state.Camera.CameraX, camX - 10);
    EXPECT_EQ(f.state.Camera.CameraY, std::max(camY - 20, -50.0f));
    EXPECT_EQ(sky.PosX, posX - 10 * sky.DeltaX) << "the element follows the camera at its delta";
    EXPECT_EQ(sky.BaseX, baseX) << "the element itself is not edited";
    StageMouseMove(f.state, x - 1000, y - 1000);
    EXPECT_EQ(-f.state.Camera.CameraX, 100) << "boundright";
    EXPECT_EQ(f.state.Camera.CameraY, 0) << "boundlow";
    const float panned = f.state.Camera.CameraX;
    RunPass(f.state);
    EXPECT_EQ(f.state.Camera.CameraX, panned);
    StageMouseUp(f.state, MouseButton::Left);
    StageMouseMove(f.state, x, y);
    EXPECT_EQ(f.state.Camera.CameraX, panned) << "released: moving no longer pans";

    BgEditorShown(f.state, true);
    RunPass(f.state);
    const DrawnElement& at = f.state.Frame.Drawn[0];
    StageMouseDown(f.state, MouseButton::Left, at.x + 3, at.y + 3);
    ASSERT_EQ(f.state.Edit.SelectedElement, 0);
    EXPECT_TRUE(ClearSelection(f.state)) << "Escape";
    EXPECT_EQ(f.state.Edit.SelectedElement, -1);
    EXPECT_EQ(f.state.Edit.DragIndex, -1);
    EXPECT_FALSE(ClearSelection(f.state));
}

TEST(StageMouse, DeleteWithASelectionNeverDeletesTheStageFile) {
    AppFixture f;
    const std::string path = f.AddStage("forest", "Forest Gate");
    const auto [x, y] = RunSkyStage(f, path);
    f.ui.boxAnswers = {MsgAnswer::Yes, MsgAnswer::Yes};  // would confirm a stage deletion

    StageMouseDown(f.state, MouseButton::Left, x, y);
    StageMouseUp(f.state, MouseButton::Left);
    ASSERT_EQ(f.state.Edit.SelectedElement, 0);
    f.keys.Hold(Key::Delete);
    for (int i = 0; i < 4; ++i) {
        f.clock.AdvanceMs(16);
        RunPass(f.state);
    }
    EXPECT_TRUE(fs::exists(path));
    EXPECT_TRUE(fs::exists(f.mugen.Path() / "stages/forest.sff"));
    EXPECT_TRUE(f.ui.boxes.empty()) << "the delete-stage command was not even asked";
    EXPECT_EQ(f.state.bRunning, 1);
    EXPECT_TRUE(f.state.Stage.Elements.empty());
    EXPECT_EQ(f.state.Edit.SelectedElement, -1);
    EXPECT_EQ(f.ui.captions.back(), "Deleted..");

    // With nothing selected the key is the stage command's again (it asks first).
    f.keys.Hold(Key::Delete, false);
    RunPass(f.state);
    f.ui.boxAnswers = {MsgAnswer::No};
    f.keys.Tap(Key::Delete);
    RunPass(f.state);
    ASSERT_EQ(f.ui.boxes.size(), 1u);
    EXPECT_TRUE(fs::exists(path));
}

TEST(StageMouse, InsertThroughTheRunLoopClonesAndCaptions) {
    AppFixture f;
    const auto [x, y] = RunSkyStage(f, f.AddStage("forest", "Forest Gate"));
    StageMouseDown(f.state, MouseButton::Left, x, y);
    f.clock.AdvanceMs(200);
    f.keys.Tap(Key::Insert);
    RunPass(f.state);
    EXPECT_EQ(f.state.Stage.Elements.size(), 2u);
    EXPECT_EQ(f.state.Edit.SelectedElement, 1);
    EXPECT_EQ(f.ui.captions.back(), "Cloned..");
    EXPECT_EQ(f.state.Edit.DragIndex, 0) << "the drag stays on the element that was grabbed";
}

}  // namespace
}  // namespace qb::test

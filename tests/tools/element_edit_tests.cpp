#include "tools/element_edit.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "render/bg_ctrl.h"
#include "platform/picture32.h"
#include "render/draw_elements.h"
#include "render/draw_modern.h"
#include "tests/render/render_fixture.h"
#include "tests/support/fakes.h"

namespace qb {
namespace {

using test::TinyStage;

// Draws both layers, as a frame does, so that picking sees where the elements are.
void DrawBothLayers(TinyStage& t) {
    test::FakeKeys keys;
    test::FakeClock clock;
    for (uint8_t layer : {uint8_t{0}, uint8_t{255}}) {
        t.frame.LayerPass = layer;
        FrameContext ctx{t.stage, t.camera, t.frame, t.backBuffer.get(), keys, clock};
        DrawElements(ctx);
    }
}

std::vector<std::string> Names(const StageModel& stage) {
    std::vector<std::string> names;
    for (const BgElement& e : stage.Elements) names.push_back(e.Name);
    return names;
}

TEST(ElementSelection, FrontMostElementUnderThePointerWins) {
    TinyStage t;
    const int16_t box = t.AddSprite({"RRRR", "RRRR", "RRRR", "RRRR"});
    t.AddElement("normal", box, 0, 0);              // 0: back layer
    t.AddElement("normal", box, 2, 2);              // 1: back layer, drawn after 0
    t.AddElement("normal", box, 0, 0).LayerNo = 1;  // 2: front layer
    t.AddElement("normal", box, 8, 0);              // 3: back layer, after the front one in the table
    const auto ElementAt = [&t](int x, int y) {
        DrawBothLayers(t);
        return qb::ElementAt(t.stage, t.frame, x, y);
    };

    EXPECT_EQ(ElementAt(3, 3), 2) << "the front layer covers both back-layer elements";
    t.stage.Elements[2].Visible = 0;
    EXPECT_EQ(ElementAt(3, 3), 1) << "within a layer the one drawn last is on top";
    EXPECT_EQ(ElementAt(1, 1), 0);
    EXPECT_EQ(ElementAt(5, 5), 1) << "bottom-right pixel of the 4x4 rectangle at (2, 2)";
    EXPECT_EQ(ElementAt(6, 6), -1) << "one past the rectangle";
    EXPECT_EQ(ElementAt(15, 7), -1) << "empty space";
    t.stage.Elements[1].Enabled = 0;
    EXPECT_EQ(ElementAt(3, 3), 0) << "disabled elements are not picked";
    t.stage.Elements[0].SpriteIndex = -1;
    EXPECT_EQ(ElementAt(1, 1), -1) << "an element without a sprite draws nothing to pick";
    // The rectangle is where the element is drawn now: controller offsets move it.
    t.stage.Elements[3].CtrlOffX = -8;
    EXPECT_EQ(ElementAt(0, 0), 3);
}

TEST(ElementSelection, OutlineIsWhereTheElementWasDrawn) {
    TinyStage t;
    const int16_t wide = t.AddSprite({"RRRRRR", "RRRRRR", "RRRRRR"});
    t.AddElement("normal", wide, 5, 7);
    t.AddElement("normal", wide, 0, 0).Visible = 0;
    DrawBothLayers(t);
    using Box = std::array<int, 4>;
    EXPECT_EQ(ElementOutline(t.stage, t.frame, 0), (Box{5, 7, 6, 3}));
    // What picking cannot hit has no outline: hidden, out of the table, nothing selected.
    EXPECT_EQ(ElementOutline(t.stage, t.frame, 1), std::nullopt);
    EXPECT_EQ(ElementOutline(t.stage, t.frame, 2), std::nullopt);
    EXPECT_EQ(ElementOutline(t.stage, t.frame, -1), std::nullopt);
    // The outline follows the element as the next frame draws it.
    t.stage.Elements[0].CtrlOffX = 10;
    DrawBothLayers(t);
    EXPECT_EQ(ElementOutline(t.stage, t.frame, 0), (Box{15, 7, 6, 3}));
}

// A 4 x 2 sprite standing on the ground line (zoffset 200) of a 400 x 300 modern picture, its axis
// 60 pixels left of the centre: zoomed, picking and the outline use the rectangle as drawn, and a
// drag keeps the element under the pointer (its position moves by travel / zoom).
TEST(ElementSelection, ZoomedElementsArePickedAndDraggedWhereTheyAreDrawn) {
    struct Case {
        float zoom;
        std::array<int, 4> box;  // left, top, width, height
    };
    const Case cases[] = {{1, {138, 198, 4, 2}}, {2, {76, 196, 8, 4}}, {0.5f, {169, 199, 2, 1}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.zoom);
        TinyStage t(4, 4);
        const int16_t s = t.AddSprite({"RRRR", "RRRR"}, 2, 2);
        t.AddElement("normal", s, 98, 198);
        t.stage.LocalCoordW = 400;
        t.stage.LocalCoordH = 300;
        t.stage.ZOffset = 200;
        t.camera.ViewRight = 400;
        t.camera.ViewBottom = 300;
        t.camera.Zoom = c.zoom;
        Picture32 picture(400, 300);
        test::FakeKeys keys;
        test::FakeClock clock;
        auto draw = [&] {
            t.frame.LayerPass = 0;
            FrameContext ctx{t.stage, t.camera, t.frame, t.backBuffer.get(), keys, clock};
            ctx.picture = &picture;
            DrawElements(ctx);
        };
        draw();
        const auto [x, y, w, h] = c.box;
        EXPECT_EQ(ElementOutline(t.stage, t.frame, 0), c.box);
        EXPECT_EQ(ElementAt(t.stage, t.frame, x + w - 1, y + h - 1), 0) << "the far corner as drawn";
        EXPECT_EQ(ElementAt(t.stage, t.frame, x + w, y), -1);
        EXPECT_EQ(ElementAt(t.stage, t.frame, x, y + h), -1);
        EditState edit;
        BeginDrag(t.stage, edit, 0, x, y, t.frame.Drawn[0].zoom, t.frame.Drawn[0].zoom);
        ASSERT_TRUE(DragTo(t.stage, edit, x + 8, y - 4));
        draw();
        EXPECT_EQ(ElementOutline(t.stage, t.frame, 0), (std::array<int, 4>{x + 8, y - 4, w, h}))
            << "the element followed the pointer";
    }
}

TEST(ElementSelection, CaptionNamesTheElementAndItsPlace) {
    TinyStage t;
    const int16_t box = t.AddSprite({"R"});
    t.AddElement("normal", box);
    t.AddElement("normal", box).Name = "Clouds";
    EXPECT_EQ(ElementCaption(t.stage, 1), "\"Clouds\" - Background Element #2/2");
}

TEST(ElementDrag, MovesPositionAndBaseByThePointerTravel) {
    TinyStage t;
    const int16_t box = t.AddSprite({"R"});
    t.AddElement("normal", box);
    BgElement& e = t.AddElement("normal", box, 10, 20);
    e.BaseX = 5;
    e.BaseY = 7;
    e.StartX = 5;
    e.StartY = 7;
    EditState edit;
    BeginDrag(t.stage, edit, 1, 12, 22);
    EXPECT_TRUE(DragTo(t.stage, edit, 15, 19));
    EXPECT_EQ(t.stage.Elements[1].StartX, 8) << "the start a write keeps moves too";
    EXPECT_EQ(t.stage.Elements[1].StartY, 4);
    EXPECT_EQ(t.stage.Elements[1].PosX, 13);
    EXPECT_EQ(t.stage.Elements[1].PosY, 17);
    EXPECT_EQ(t.stage.Elements[1].BaseX, 8);
    EXPECT_EQ(t.stage.Elements[1].BaseY, 4);
    // Travel is measured from the grab point, not from the last move.
    EXPECT_TRUE(DragTo(t.stage, edit, 12, 22));
    EXPECT_EQ(t.stage.Elements[1].PosX, 10);
    EXPECT_EQ(t.stage.Elements[1].BaseY, 7);
    EndDrag(edit);
    EXPECT_FALSE(DragTo(t.stage, edit, 40, 40));
    EXPECT_EQ(t.stage.Elements[1].PosX, 10);
    EXPECT_EQ(t.stage.Elements[0].PosX, 0);
}

// Three 1x1 elements A, B, C and one pass that polls the keys.
struct EditFixture {
    TinyStage t;
    test::FakeKeys keys;
    test::FakeClock clock;
    EditState edit;
    std::optional<std::string> caption;  // the last one the keys set
    int16_t& selected = edit.SelectedElement;
    EditFixture() {
        const int16_t box = t.AddSprite({"R"});
        for (const char* name : {"A", "B", "C"}) t.AddElement("normal", box).Name = name;
        clock.AdvanceMs(10'000);
        selected = 0;
    }
    void Pass() {
        t.frame.LayerPass = 255;
        ElementEditor editor(edit, [this](const std::string& text) { caption = text; });
        FrameContext ctx{t.stage, t.camera, t.frame, t.backBuffer.get(), keys, clock, {}, &editor};
        DrawElements(ctx);
    }
    // Taps the key and runs a pass 150 ms later than the last one that acted.
    void Press(Key key) {
        clock.AdvanceMs(150);
        keys.Tap(key);
        Pass();
    }
    std::string TakeCaption() {
        std::string taken = caption.value_or("(none)");
        caption.reset();
        return taken;
    }
};

TEST(EditKeys, PlusMovesTheElementLaterAtMostOncePer150Ms) {
    EditFixture f;
    f.Press(Key::NumPlus);
    EXPECT_EQ(Names(f.t.stage), (std::vector<std::string>{"B", "A", "C"}));
    EXPECT_EQ(f.selected, 1);
    EXPECT_EQ(f.TakeCaption(), "\"A\" - Background Element #2/3");

    f.keys.Tap(Key::NumPlus);
    f.clock.AdvanceMs(149);
    f.Pass();
    EXPECT_EQ(f.selected, 1) << "too soon after the last step";
    f.clock.AdvanceMs(1);
    f.Pass();  // the press was kept until it could act
    EXPECT_EQ(Names(f.t.stage), (std::vector<std::string>{"B", "C", "A"}));
    EXPECT_EQ(f.selected, 2);

    f.TakeCaption();
    f.Press(Key::NumPlus);  // the last one: to the front layer instead
    EXPECT_EQ(Names(f.t.stage), (std::vector<std::string>{"B", "C", "A"}));
    EXPECT_EQ(f.t.stage.Elements[2].LayerNo, 1);
    EXPECT_EQ(f.selected, 2);
    EXPECT_EQ(f.TakeCaption(), "(none)");
}

TEST(EditKeys, MinusLeavesTheFrontLayerFirstThenMovesEarlier) {
    EditFixture f;
    f.selected = 2;
    f.t.stage.Elements[2].LayerNo = 1;
    f.Press(Key::NumMinus);
    EXPECT_EQ(f.t.stage.Elements[2].LayerNo, 0);
    EXPECT_EQ(Names(f.t.stage), (std::vector<std::string>{"A", "B", "C"}));
    f.Press(Key::NumMinus);
    EXPECT_EQ(Names(f.t.stage), (std::vector<std::string>{"A", "C", "B"}));
    EXPECT_EQ(f.selected, 1);
    EXPECT_EQ(f.TakeCaption(), "\"C\" - Background Element #2/3");
    f.Press(Key::NumMinus);
    f.Press(Key::NumMinus);  // first already: stays
    EXPECT_EQ(Names(f.t.stage), (std::vector<std::string>{"C", "A", "B"}));
    EXPECT_EQ(f.selected, 0);
    f.t.stage.Elements[0].LayerNo = 1;
    f.Press(Key::NumMinus);
    EXPECT_EQ(f.t.stage.Elements[0].LayerNo, 0) << "the first element can leave the front layer too";
}

TEST(EditKeys, NothingHappensWithoutASelection) {
    EditFixture f;
    f.selected = -1;
    for (Key key : {Key::NumPlus, Key::NumMinus, Key::Insert, Key::Delete}) f.Press(key);
    EXPECT_EQ(Names(f.t.stage), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(f.TakeCaption(), "(none)");
    // Those presses are gone: selecting an element later does not let them act on it.
    f.keys.Tap(Key::Insert);
    f.keys.Tap(Key::NumPlus);
    f.Pass();
    f.selected = 0;
    f.clock.AdvanceMs(150);
    f.Pass();
    EXPECT_EQ(Names(f.t.stage), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(f.selected, 0);
}

TEST(EditKeys, DeleteRemovesTheElementAndNeverReachesTheStageCommand) {
    EditFixture f;
    f.selected = 1;
    f.keys.Hold(Key::Delete);
    f.clock.AdvanceMs(150);
    f.Pass();
    EXPECT_EQ(Names(f.t.stage), (std::vector<std::string>{"A", "C"}));
    EXPECT_EQ(f.t.stage.ElementCount, 2);
    EXPECT_EQ(f.selected, -1);
    EXPECT_EQ(f.TakeCaption(), "Deleted..");
    // Still held over several passes with nothing selected: not a request to delete the stage.
    for (int i = 0; i < 5; ++i) {
        f.clock.AdvanceMs(16);
        f.Pass();
    }
    EXPECT_FALSE(f.t.frame.DeleteRequested);
    EXPECT_EQ(f.t.stage.Elements.size(), 2u);
    // Released and pressed again without a selection: that is the stage command's key.
    f.keys.Hold(Key::Delete, false);
    f.Pass();
    f.keys.Tap(Key::Delete);
    f.Pass();
    EXPECT_TRUE(f.t.frame.DeleteRequested);
}

TEST(EditKeys, InsertClonesTheSelectedRecordToTheEndAndSelectsIt) {
    EditFixture f;
    f.selected = 0;
    f.t.stage.Elements[0].PosX = 42;
    f.t.stage.Elements[0].VelocityX = 1;
    f.t.stage.Elements[0].LayerNo = 1;  // moved by the fixture's (front) pass
    f.Press(Key::Insert);
    ASSERT_EQ(f.t.stage.Elements.size(), 4u);
    EXPECT_EQ(f.t.stage.ElementCount, 4);
    EXPECT_EQ(f.t.stage.Elements[3].Name, "A");
    EXPECT_EQ(f.t.stage.Elements[3].PosX, 43) << "copied after this pass moved the original";
    EXPECT_EQ(f.selected, 3);
    EXPECT_EQ(f.TakeCaption(), "Cloned..");
    f.Pass();
    EXPECT_EQ(f.t.stage.Elements[0].PosX, 44);
    EXPECT_EQ(f.t.stage.Elements[3].PosX, 44) << "the copy moves on by itself";
}

// A position link reads the file's order: the keys refuse a move that would give a linked element
// another parent on the next load (the linked one itself, or the two before it), and say why.
TEST(EditKeys, APositionLinkHoldsTheOrder) {
    const struct {
        int selected;
        Key key;
    } refused[] = {{2, Key::NumMinus}, {1, Key::NumPlus}, {0, Key::NumPlus}, {1, Key::NumMinus}};
    for (const auto& c : refused) {
        EditFixture f;
        f.t.stage.Elements[2].PositionLink = 1;  // C follows B
        f.selected = static_cast<int16_t>(c.selected);
        f.Press(c.key);
        EXPECT_EQ(Names(f.t.stage), (std::vector<std::string>{"A", "B", "C"})) << c.selected;
        EXPECT_NE(f.TakeCaption().find("position-linked"), std::string::npos) << c.selected;
    }
}

TEST(EditKeys, IndicesHeldElsewhereFollowTheirElement) {
    EditFixture f;
    const int16_t box = 0;
    f.t.AddElement("normal", box).Name = "D";
    StageModel& s = f.t.stage;
    BgCtrlDef group;
    group.CtrlIds = {1};
    group.CtrlIdCount = 1;
    group.LoopTime = -1;
    BgCtrl hide;
    hide.Type = "visible";
    hide.Value = 0;
    hide.EndTime = 1000;
    hide.CtrlIds = {3, 2};
    hide.CtrlIdCount = 2;
    group.Ctrls = {hide};
    s.CtrlDefs = {group};
    s.Elements[3].LinkParent = 2;
    s.ZOffsetLink = 2;
    f.edit.DragIndex = 1;

    f.selected = 1;
    f.Press(Key::NumPlus);  // B and C trade places
    ASSERT_EQ(Names(s), (std::vector<std::string>{"A", "C", "B", "D"}));
    s.Elements[3].PositionLink = 1;  // linked after the move (a link refuses it: see below)
    EXPECT_EQ(s.CtrlDefs[0].CtrlIds, (std::vector<int32_t>{2}));
    EXPECT_EQ(s.CtrlDefs[0].Ctrls[0].CtrlIds, (std::vector<int32_t>{3, 1}));
    EXPECT_EQ(s.Elements[3].LinkParent, 1);
    EXPECT_EQ(s.ZOffsetLink, 1);
    EXPECT_EQ(f.edit.DragIndex, 2) << "a drag in progress follows the element";
    RunBgCtrls(s);
    EXPECT_EQ(s.Elements[1].Visible, 0) << "C is still the controller's target";
    EXPECT_EQ(s.Elements[2].Visible, 1);

    // Removing C: references to it go, later ones move down, none is left past the table.
    f.selected = 1;
    f.keys.ReleaseAll();
    f.Press(Key::Delete);
    ASSERT_EQ(Names(s), (std::vector<std::string>{"A", "B", "D"}));
    EXPECT_EQ(s.CtrlDefs[0].CtrlIds, (std::vector<int32_t>{1}));
    EXPECT_EQ(s.CtrlDefs[0].Ctrls[0].CtrlIds, (std::vector<int32_t>{2, -1}));
    EXPECT_EQ(s.Elements[2].LinkParent, -1);
    EXPECT_EQ(s.Elements[2].PositionLink, 0);
    EXPECT_EQ(s.ZOffsetLink, -1);
    EXPECT_EQ(f.edit.DragIndex, 1);
    RunBgCtrls(s);  // a target of -1 is skipped
    EXPECT_EQ(s.Elements[2].Visible, 0);
}

}  // namespace
}  // namespace qb

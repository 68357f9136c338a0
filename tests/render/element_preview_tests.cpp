#include "render/element_preview.h"

#include <gtest/gtest.h>

#include <functional>

#include "render/draw_elements.h"
#include "tests/render/render_fixture.h"
#include "tests/support/fakes.h"

namespace qb {
namespace {

using test::TinyStage;

// Elements: 0 back, 1 back linked to 0, 2 back linked to 1, 3 front, 4 front linked to 2 (another
// layer: under its own layer in the list, so 2's switches do not reach it).
StageModel LinkedStage() {
    StageModel stage;
    stage.Elements.resize(5);
    const auto link = [&stage](size_t child, int16_t parent) {
        stage.Elements[child].PositionLink = 1;
        stage.Elements[child].LinkParent = parent;
    };
    link(1, 0);
    link(2, 1);
    stage.Elements[3].LayerNo = 1;
    stage.Elements[4].LayerNo = 1;
    link(4, 2);
    return stage;
}

TEST(ElementPreview, HideAndSoloReachTheRowsUnderTheirRow) {
    using Shown = std::vector<uint8_t>;
    struct Case {
        const char* what;
        std::function<void(ElementPreview&)> set;
        Shown shown;
    };
    const std::vector<Case> cases = {
        {"nothing switched", [](ElementPreview&) {}, {1, 1, 1, 1, 1}},
        {"hidden parent hides its chain", [](ElementPreview& p) { p.SetHidden(1, true); }, {1, 0, 0, 1, 1}},
        {"hidden layer", [](ElementPreview& p) { p.LayerHidden[1] = 1; }, {1, 1, 1, 0, 0}},
        {"solo shows only its chain", [](ElementPreview& p) { p.SetSolo(1, true); }, {0, 1, 1, 0, 0}},
        {"two solos", [](ElementPreview& p) { p.SetSolo(2, true), p.SetSolo(3, true); }, {0, 0, 1, 1, 0}},
        {"soloed layer", [](ElementPreview& p) { p.LayerSolo[0] = 1; }, {1, 1, 1, 0, 0}},
        {"hidden wins over solo",
         [](ElementPreview& p) { p.LayerSolo[0] = 1, p.SetHidden(0, true); },
         {0, 0, 0, 0, 0}},
        {"switched off again",
         [](ElementPreview& p) { p.SetHidden(0, true), p.SetHidden(0, false); },
         {1, 1, 1, 1, 1}},
    };
    const StageModel stage = LinkedStage();
    for (const Case& c : cases) {
        ElementPreview preview;
        c.set(preview);
        EXPECT_EQ(PreviewShown(stage, preview), c.shown) << c.what;
    }
    // A link round a circle (an edited table) still ends.
    StageModel circle = LinkedStage();
    circle.Elements[0].PositionLink = 1;
    circle.Elements[0].LinkParent = 2;
    ElementPreview preview;
    preview.SetHidden(2, true);
    EXPECT_EQ(PreviewShown(circle, preview).size(), 5u);
}

TEST(ElementPreview, AHiddenElementIsNeitherDrawnNorPickedButMovesOn) {
    TinyStage t(4, 1);
    const int16_t red = t.AddSprite({"R"});
    const int16_t green = t.AddSprite({"G"});
    t.AddElement("normal", red, 0, 0).VelocityX = 1;
    t.AddElement("normal", green, 2, 0);
    ElementPreview preview;
    preview.SetHidden(0, true);
    test::FakeKeys keys;
    test::FakeClock clock;
    t.Clear();
    FrameContext ctx{t.stage, t.camera, t.frame, t.backBuffer.get(), keys, clock};
    ctx.preview = &preview;
    DrawElements(ctx);
    EXPECT_EQ(t.Dump(), (std::vector<std::string>{"KKGK"}));
    EXPECT_EQ(t.frame.Drawn[0].sprite, -1) << "nothing to pick";
    EXPECT_EQ(t.stage.Elements[0].PosX, 1) << "it moves on while hidden";
    preview.SetHidden(0, false);
    t.Clear();
    DrawElements(ctx);
    EXPECT_EQ(t.Dump(), (std::vector<std::string>{"KRGK"}));
}

}  // namespace
}  // namespace qb

// A modern stage's picture kept between frames, only what changed drawn again: every frame has to be
// the picture drawing it whole gives, whatever moves, changes, appears or goes between frames.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "app/run_loop.h"
#include "demo/demo_modern.h"
#include "demo/demo_stage.h"
#include "platform/paths.h"
#include "tests/app/app_fixture.h"
#include "tools/element_edit.h"

namespace qb {
namespace {

// What happens before frame `k`, done alike to both runs.
using Script = std::function<void(int k, AppState& state, test::FakeKeys& keys)>;

// Runs `frames` frames of the stage the two fixtures loaded, one keeping its picture, the other
// drawing every frame whole, and compares each frame. Answers the frames the kept run drew in part
// or not at all.
int64_t CompareRuns(test::AppFixture& kept, test::AppFixture& whole, int frames, const Script& script) {
    whole.state.Loop.WholeFrames = true;
    kept.state.Loop.VerifyKept = true;
    const RetainedPicture& r = kept.state.Frame.Retained;
    for (int k = 0; k < frames; ++k) {
        for (test::AppFixture* f : {&kept, &whole}) {
            script(k, f->state, f->keys);
            DrawStageFrame(f->state, f->keys, f->clock);
            f->clock.AdvanceMs(1000.0 / 60);
        }
        const Picture32& a = test::DrawnPicture(kept.state);
        const Picture32& b = test::DrawnPicture(whole.state);
        EXPECT_EQ(a.Width, b.Width);
        if (a.Pixels != b.Pixels) {
            size_t at = 0;
            while (at < a.Pixels.size() && at < b.Pixels.size() && a.Pixels[at] == b.Pixels[at]) ++at;
            ADD_FAILURE() << "frame " << k << " differs first at x " << at % static_cast<size_t>(std::max(a.Width, 1))
                          << ", y " << at / static_cast<size_t>(std::max(a.Width, 1));
            break;
        }
    }
    EXPECT_EQ(r.Mismatches, 0);
    return r.PartFrames + r.KeptFrames;
}

// The camera travels and stands, zooms where the stage lets it, the overlay and the debug background
// come and go, and the editor's and the controllers' changes land between frames.
void Everything(int k, AppState& state, test::FakeKeys& keys) {
    keys.Hold(Key::Left, k >= 20 && k < 50);
    keys.Hold(Key::Up, k >= 50 && k < 56);
    if (k == 80 || k == 240) keys.Tap(k == 80 ? Key::ZoomIn : Key::ZoomOut);
    if (k == 180 || k == 220) state.Options.Info = !state.Options.Info;
    if (k == 200 || k == 210) state.Options.DebugBG = !state.Options.DebugBG;
    StageModel& stage = state.Stage;
    const int count = static_cast<int>(stage.Elements.size());
    if (k == 100 && count > 1) stage.Elements[1].VelocityX = 0.7f;
    if (k == 120 && count > 2) stage.Elements[2].Trans = "add";
    if (k == 130 && count > 3) stage.Elements[3].Visible = 0;
    if (k == 140 && count > 3) stage.Elements[3].Visible = 1;
    if (k == 150 && count > 1) stage.Elements[count - 2].PosX += 7;
    if (k == 250 && count > 1) RemoveElement(stage, state.Edit, 1);
    if (k == 260 && count > 2) std::swap(stage.Elements[0], stage.Elements[1]);
}

TEST(KeptPicture, EveryFrameIsTheWholeFramesPicture) {
    struct Case {
        const char* name;
        std::function<std::string(test::AppFixture&)> write;
    } cases[] = {
        {"the modern demo (floors, anims, blending, zoom)",
         [](test::AppFixture& f) {
             std::string error;
             EXPECT_TRUE(demo::WriteModernDemo(f.mugen.Path(), error)) << error;
             return f.mugen.Dir() + "stages/lanternpass.def";
         }},
        {"the modern demo zoomed (scaled elements, floors and turned frames)",
         [](test::AppFixture& f) {
             std::string error;
             EXPECT_TRUE(demo::WriteModernDemo(f.mugen.Path(), error)) << error;
             std::string def = demo::ModernStageDef();
             def.insert(def.find("[Camera]\r\n") + 10, "zoomout = 0.5\r\nzoomin = 2\r\n");
             return f.mugen.Write("stages/lanternpass.def", def).string();
         }},
        {"the classic demo at its own resolution (tiles, sines, controllers, windows)",
         [](test::AppFixture& f) {
             std::string error;
             EXPECT_TRUE(demo::WriteDemoMugen(f.mugen.Path(), error)) << error;
             std::string def = demo::DemoStageDef();
             const size_t at = def.find("[StageInfo]\r\n");
             def.insert(at + 13, "localcoord = 400,300\r\n");
             return f.mugen.Write("stages/quillback.def", def).string();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::AppFixture kept, whole;
        ASSERT_TRUE(kept.Load(c.write(kept)));
        ASSERT_TRUE(whole.Load(c.write(whole)));
        ASSERT_TRUE(IsModernStage(kept.Stage()));
        EXPECT_GT(CompareRuns(kept, whole, 280, Everything), 20);
    }
}

}  // namespace
}  // namespace qb

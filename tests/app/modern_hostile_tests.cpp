// Modern stages with values no sane stage has but broken files and the editor can produce, loaded as
// the window loads them: every frame finishes and writes a bounded number of pixels.
#include <gtest/gtest.h>

#include "app/run_loop.h"
#include "tests/app/app_fixture.h"
#include "tests/support/modern_stage.h"

namespace qb {
namespace {

// Each case is one stage at localcoord 400,300 whose elements tile the 4 x 2 sprite 0,0 over the whole
// picture (the cheapest sprite to repeat). Zoom, element scale, maskwindow, windowdelta and frame
// scale and angle are read but not drawn by every build: where they are not, these cases cost what
// the plain tiles cost, and the bound is there for the build that draws them (a zoom or a scale near
// 0 tiles a sprite millions of times over, one near 1e30 covers the picture with one).
TEST(ModernStage, HostileValuesCostABoundedNumberOfPixels) {
    struct Case {
        const char* name;
        std::string camera;    // [Camera] lines
        std::string elements;  // element sections
    };
    const std::string tiled = "[BG Tiles]\ntype = normal\nspriteno = 0,0\ntile = 1,1\n";
    const Case cases[] = {
        {"zoom 0", "zoomout = 0\nzoomin = 0\nstartzoom = 0\n", tiled + "zoomdelta = 0\n"},
        {"zoom negative", "zoomout = -2\nzoomin = -1\nstartzoom = -1\n", tiled + "zoomdelta = -3\n"},
        {"zoom 1e30", "zoomout = 1e30\nzoomin = 1e30\nstartzoom = 1e30\n", tiled + "zoomdelta = 1e30\n"},
        {"scale 1e9", "", tiled + "scalestart = 1e9, 1e9\nscaledelta = 1e9, 1e9\n"},
        {"scale near 0", "", tiled + "scalestart = 1e-9, 1e-9\nscaledelta = -1e9, -1e9\n"},
        {"frame scale and angle", "",
         "[BG Anim]\ntype = anim\nactionno = 1\ntile = 1,1\ntilespacing = 0,0\n"
         "[Begin Action 1]\nInterpolate Scale\nInterpolate Angle\n0,0,0,0,3,,,1e9,1e-9,1e30\n"
         "0,0,0,0,3,,,-1e9,0,-1e30\n"},
        {"windows inverted", "",
         tiled + "window = 300, 200, 10, 10\n" + tiled + "maskwindow = 1e9, 1e9, -1e9, -1e9\n" + tiled +
             "maskwindow = -1e9, -1e9, 1e9, 1e9\nwindowdelta = 1e30, -1e30\n"},
        {"width 0 and 1e9", "",
         "[BG Floor]\ntype = parallax\nspriteno = 0,0\nwidth = 0, 0\ntile = 1,0\n"
         "[BG Wide]\ntype = parallax\nspriteno = 0,0\nwidth = 1e9, 1e9\ntile = 1,0\n"
         "[BG Scaled]\ntype = parallax\nspriteno = 0,0\nxscale = 1e9, -1e9\nyscalestart = 1e9\n"
         "yscaledelta = 1e9\ntile = 1,0\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::AppFixture f;
        f.mugen.Write("stages/hostile.sff", test::ModernTestSff());
        const std::string def =
            "[Info]\nname = Hostile\nmugenversion = 1.1\n[Camera]\nstartx = 0\n"
            "boundleft = -300\nboundright = 300\nboundhigh = -200\n" +
            c.camera + "[StageInfo]\nlocalcoord = 400,300\n[BGdef]\nspr = stages/hostile.sff\n" + c.elements;
        ASSERT_TRUE(f.Load(f.mugen.Write("stages/hostile.def", def).string()));
        int elements = 0;
        for (const BgElement& e : f.Stage().Elements) elements += e.Enabled != 0 ? 1 : 0;
        ASSERT_GT(elements, 0);
        // Each element at most covers the picture a few times over (tiles meeting at their edges,
        // blending passes); a frame that draws millions of tiles goes far past it.
        for (int frame = 0; frame < 6; ++frame) {
            f.keys.ReleaseAll();
            f.keys.Hold(frame < 3 ? Key::Right : Key::Up);
            const int64_t before = f.state.Frame.DrawnPixels;
            DrawStageFrame(f.state, f.keys, f.clock);
            f.clock.AdvanceMs(17);
            const Picture32& picture = test::DrawnPicture(f.state);
            ASSERT_EQ(picture.Width, 400);
            const int64_t drawn = f.state.Frame.DrawnPixels - before;
            EXPECT_LE(drawn, int64_t{4} * elements * picture.Width * picture.Height) << "frame " << frame;
        }
    }
}

}  // namespace
}  // namespace qb

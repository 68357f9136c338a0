// A modern stage (version 2 sprite file, localcoord 400,300) loaded as the window loads it and drawn
// into its own 32-bit picture.
#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/run_loop.h"
#include "session/stage_session.h"
#include "platform/gfx.h"
#include "platform/paths.h"
#include "render/camera.h"
#include "tests/app/app_fixture.h"
#include "tests/support/modern_stage.h"

namespace qb {
namespace {

constexpr uint32_t kBlack = 0xFF000000u, kBlue = 0xFF0000FFu, kRed = 0xFFFF0000u;

TEST(ModernStage, DrawsAtItsOwnSizeAboutItsOwnCentre) {
    test::AppFixture f;
    f.mugen.Write("stages/modern.sff", test::ModernTestSff());
    ASSERT_TRUE(f.Load(f.mugen.Write("stages/modern.def", test::ModernTestDef("stages/modern.sff")).string()));
    EXPECT_EQ(f.Stage().LocalCoordW, 400);
    EXPECT_FLOAT_EQ(f.Stage().MugenVersion, 1.1f);
    EXPECT_EQ(f.Stage().CutLow, 7);
    EXPECT_FLOAT_EQ(f.Stage().StageXScale, 1.5f);
    EXPECT_EQ(f.Stage().ShadowYScale, 0.5f);  // the classic reading of any "yscale" line is kept
    EXPECT_NE(f.Log().find("Damaged sprite 3,0 in modern.sff: link"), std::string::npos) << f.Log();

    DrawStageFrame(f.state, f.keys, f.clock);
    const Picture32& p = test::DrawnPicture(f.state);
    ASSERT_EQ(p.Width, 400);
    ASSERT_EQ(p.Height, 300);
    auto row = [&](int x, int y, int n) { return std::vector<uint32_t>(p.Row(y) + x, p.Row(y) + x + n); };
    using Row = std::vector<uint32_t>;
    // The centre is x = 200: each element's axis 0 lands there. Unmasked, colour 0 shows.
    EXPECT_EQ(row(199, 10, 6), (Row{kBlack, kBlue, kRed, kBlue, kRed, kBlack}));
    EXPECT_EQ(row(199, 11, 6), (Row{kBlack, kRed, kRed, kRed, kRed, kBlack}));
    // add1 masks colour 0 and adds red onto black at 256 (the destination weighs 128).
    EXPECT_EQ(row(199, 20, 6), (Row{kBlack, kBlack, kRed, kBlack, kRed, kBlack}));
    // The linked sprite shows 0,0's pixels placed by its own axis (2 to the left).
    EXPECT_EQ(row(197, 30, 6), (Row{kBlack, kBlue, kRed, kBlue, kRed, kBlack}));
    // PNG32 with mask = 1: alpha 0 leaves black, green at 128 mixes.
    EXPECT_EQ(row(200, 40, 2), (Row{kBlack, 0xFF006400u}));
    // The damaged sprite draws nothing.
    EXPECT_EQ(row(196, 50, 8), Row(8, kBlack));

    // The snapshot is that picture, as 24-bit PCX (three planes a row).
    mnuSnapshot_Click(f.state);
    std::optional<std::string> pcx = ReadFileBytes(JoinPath(f.state.Dirs.Data, "snapshots") + "/Modern 0.pcx", 1 << 24);
    ASSERT_TRUE(pcx && pcx->size() > 128);
    EXPECT_EQ(static_cast<uint8_t>((*pcx)[8]) | static_cast<uint8_t>((*pcx)[9]) << 8, 399);
    EXPECT_EQ((*pcx)[65], 3);

    // Closed, the view goes back to the classic picture (the no-stage hint), not the last frame.
    const int presents = f.sink.presents;
    mnuClose_Click(f.state);
    EXPECT_EQ(test::DrawnPicture(f.state).Width, 0);
    EXPECT_GT(f.sink.presents, presents);
}

// A classic stage keeps its 16-bit picture at zoom 1; zoomed, it draws into the 32-bit picture at 320 x 240.
TEST(ModernStage, ClassicStagesZoomOnThePictureAndKeepTheSixteenBitOneAtZoomOne) {
    test::AppFixture f;
    const std::vector<demo::SffSprite> sprites{test::SolidSprite(0, 0, 0, 0, 40, 20)};
    ASSERT_TRUE(f.LoadText("[Camera]\nzoomout = .5\nboundleft = -100\nboundright = 100\n[StageInfo]\nzoffset = 200\n"
                           "[BG 0]\nspriteno = 0,0\nstart = -20,180\nmask = 1\n",
                           sprites));
    DrawStageFrame(f.state, f.keys, f.clock);
    EXPECT_EQ(test::DrawnPicture(f.state).Width, 0);
    EXPECT_NE(a_getpixel(f.state.BackBuffer.get(), 140, 180), 0);  // x 140..179, y 180..199

    SetZoom(f.Stage(), f.state.Camera, 0.5);
    DrawStageFrame(f.state, f.keys, f.clock);
    const Picture32& p = test::DrawnPicture(f.state);
    ASSERT_EQ(p.Width, 320);
    ASSERT_EQ(p.Height, 240);
    // Half size about (160, 200): x 150..169, y 190..199.
    EXPECT_NE(p.Row(199)[169], kBlack);
    EXPECT_EQ(p.Row(189)[149], kBlack);
    EXPECT_EQ(p.Row(190)[170], kBlack);

    SetZoom(f.Stage(), f.state.Camera, 1);
    DrawStageFrame(f.state, f.keys, f.clock);
    EXPECT_EQ(test::DrawnPicture(f.state).Width, 0);
}

}  // namespace
}  // namespace qb

// A modern stage (version 2 sprite file, localcoord 400,300) loaded as the window loads it and drawn
// into its own 32-bit picture.
#include <gtest/gtest.h>

#include "app/commands.h"
#include "app/run_loop.h"
#include "platform/paths.h"
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
    const Picture32& p = f.state.ModernPicture;
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
}

TEST(ModernStage, ClassicStagesKeepTheSixteenBitPicture) {
    test::AppFixture f;
    ASSERT_TRUE(f.Load(f.AddStage("classic", "Classic")));
    DrawStageFrame(f.state, f.keys, f.clock);
    EXPECT_EQ(f.state.ModernPicture.Width, 0);
    EXPECT_EQ(f.Stage().LocalCoordW, 320);
}

}  // namespace
}  // namespace qb

#include "stage/load_stage_files.h"

#include <gtest/gtest.h>

#include <tuple>

#include "demo/sff2_writer.h"
#include "platform/paths.h"
#include "tests/stage/stage_fixture.h"

namespace qb {
namespace {

using test::StageFixture;

// Each problem of a broken stage is one record with the line it is about, and the log shows the
// records exactly as the log window always showed these entries.
TEST(LoadStageFiles, ProblemsOfABrokenStageAreRecords) {
    StageFixture f;
    const std::string def =
        "[Camera]\r\n"           // 1
        "startx = abc\r\n"       // 2: not a number
        "[BGCtrl early]\r\n"     // 3: a controller before any group
        "[BG 0]\r\n"             // 4
        "spriteno = 0,0\r\n"     // 5
        "tile = -1,-2\r\n"       // 6: both counts negative
        "windowdelta = 1,1\r\n"  // 7
        "[BG 1]\r\n";            // 8
    f.mugen.Write("stages/test.sff", "not a sprite file");
    const std::string defPath = f.WriteStage("test", def, {});
    const std::string sprite = ResolvePath(f.mugen.Dir() + "stages/test.sff");
    ASSERT_TRUE(f.Load(defPath));

    using Row = std::tuple<ProblemKind, std::string, int32_t>;
    const std::vector<Row> expected = {
        {ProblemKind::ReaderError, defPath, 2},   {ProblemKind::ParseRemark, defPath, 3},
        {ProblemKind::WindowDelta, defPath, 7},   {ProblemKind::NegativeTileX, defPath, 6},
        {ProblemKind::NegativeTileY, defPath, 6}, {ProblemKind::UnreadableSpriteFile, sprite, 0},
    };
    std::vector<Row> rows;
    for (const Problem& p : f.log.Records()) rows.emplace_back(p.kind, p.file, p.line);
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(f.log.Records()[0].subject, "startx = abc");
    EXPECT_EQ(f.Log(),
              "---------------------------\r\nERROR #13  (Type mismatch)\r\nWhile loading test.def!\r\n\r\n"
              "I choked on line #2:\r\n\"startx = abc\r\n"
              "Controller section before any controller group skipped (line 3)\r\n"
              "Windowdelta not supported yet\r\nTileX < 0\r\nTileY < 0\r\n"
              "Not a readable sprite file: test.sff\r\n");
}

// A load nobody watches (the live reload) tells its boxes in its log, where they were asked.
TEST(LoadStageFiles, BoxesGoAmongTheProblemsWhereTheyWereAsked) {
    StageFixture f;
    const std::string defPath = f.WriteStage(
        "lost", "[Camera]\r\nstartx = abc\r\n[BGdef]\r\nspr = stages/none.sff\r\n[BG 0]\r\n", {});
    Progress quiet;
    const LoadResult result = LoadStageFiles({defPath, f.mugen.Dir()}, quiet);
    EXPECT_FALSE(result.ok);
    ASSERT_EQ(result.boxes.size(), 1u);
    const std::string box = "SFF FILE:\r\n" + f.mugen.Dir() + "stages/none.sff\r\nCOULD NOT BE FOUND!";
    EXPECT_EQ(result.boxes[0].text, box);
    const std::vector<Problem> told = result.ProblemsWithBoxes();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].kind, ProblemKind::ReaderError);
    EXPECT_EQ(told[1].kind, ProblemKind::Note);
    EXPECT_EQ(told[1].text, box);
    EXPECT_EQ(result.files, std::vector<std::string>{ResolvePath(defPath)}) << "no sprite file was read";
}

// A modern stage's sprites get their 32-bit words only when an element or a frame of any animation
// names them (a sprite and a link to its picture through the same palette share them).
TEST(LoadStageFiles, OnlyDrawnSpritesGetTheirColoursExpanded) {
    StageFixture f;
    demo::Sff2Sprite picture{.format = 2, .width = 4, .height = 2, .pixels = {0, 1, 0, 1, 1, 1, 1, 1}};
    demo::Sff2Sprite link{.group = 2, .width = 4, .height = 2, .linkTo = 0};
    demo::Sff2Palette opaque{.rgba = std::vector<uint8_t>(256 * 4, 7)};  // a 2.00 file: all opaque
    f.mugen.Write("stages/modern.sff", demo::WriteSff2({picture, link}, {opaque}, 0));
    const std::string def = "[Info]\nmugenversion = 1.1\n[StageInfo]\nlocalcoord = 400,300\n"
                            "[BGdef]\nspr = stages/modern.sff\n[BG Linked]\ntype = normal\nspriteno = 2,0\n";
    ASSERT_TRUE(f.Load(f.mugen.Write("stages/a.def", def).string()));
    EXPECT_TRUE(f.stage.Sprites[1].Expanded);
    EXPECT_FALSE(f.stage.Sprites[0].Expanded);
    ASSERT_TRUE(f.Load(f.mugen.Write("stages/b.def", def + "[Begin Action 7]\n0,0, 0,0, 5\n").string()));
    EXPECT_TRUE(f.stage.Sprites[0].Expanded);
    EXPECT_EQ(f.stage.Sprites[0].Expanded, f.stage.Sprites[1].Expanded);
}

}  // namespace
}  // namespace qb

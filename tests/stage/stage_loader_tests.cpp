#include "stage/stage_loader.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/sff_file.h"
#include "tests/stage/stage_fixture.h"

namespace qb {
namespace {

using test::SolidSprite;
using test::StageFixture;

TEST(StageLoader, SprRelativeToMugenDirectory) {
    StageFixture f;
    f.mugen.Write("stages/kfm.sff", demo::WriteSff({SolidSprite(7, 0)}));
    ASSERT_TRUE(
        f.Load(f.WriteStage("mine", "[BGdef]\r\nspr = stages/kfm.sff\r\n[BG 0]\r\nspriteno = 7,0\r\n", {})));
    EXPECT_EQ(std::filesystem::path(f.Stage().SpriteFile), f.mugen.Path() / "stages/kfm.sff");
    EXPECT_EQ(f.Stage().Elements[0].SpriteIndex, 0);
}

TEST(StageLoader, SprFallsBackToDefinitionFolderWithBareName) {
    StageFixture f;
    test::TempDir elsewhere;
    elsewhere.Write("kfm.sff", demo::WriteSff({SolidSprite(7, 0)}));
    auto def =
        elsewhere.Write("copy.def", "[BGdef]\r\nspr = stages\\sub/KFM.SFF\r\n[BG 0]\r\nspriteno = 7,0\r\n");
    ASSERT_TRUE(f.Load(def.string()));
    EXPECT_EQ(std::filesystem::path(f.Stage().SpriteFile), elsewhere.Path() / "kfm.sff");
    // A path relative to the definition's folder, as stages in subfolders write it.
    auto nested = elsewhere.Write("sub/up.def", "[BGdef]\r\nspr = ..\\KFM.sff\r\n[BG 0]\r\nspriteno = 7,0\r\n");
    ASSERT_TRUE(f.Load(nested.string()));
    EXPECT_EQ(std::filesystem::weakly_canonical(f.Stage().SpriteFile), elsewhere.Path() / "kfm.sff");
}

TEST(StageLoader, NoSprLoadsSpriteFileBesideDefinition) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText("[BG 0]\r\nspriteno = 0,0\r\n"));
    EXPECT_EQ(std::filesystem::path(f.Stage().SpriteFile), f.mugen.Path() / "stages/test.sff");
    EXPECT_TRUE(f.load.SpritesLoaded);
    EXPECT_EQ(f.Stage().SpriteCount, 1);
}

TEST(StageLoader, EmptyMugenDirectoryDoesNotResolveAgainstWorkingDirectory) {
    EXPECT_EQ(LocateSpriteFile("stages/x.sff", "/a/b/c.def", ""), "");
    EXPECT_EQ(LocateSpriteFile("stages/x.sff", "/M/Stages/c.def", "/m/"), "/m/stages/x.sff");
    EXPECT_EQ(LocateSpriteFile("", "/a/b/c.def", "/m/"), "/a/b/c.sff");
    EXPECT_EQ(LocateSpriteFile("c:\\x.sff", "/a/b/c.def", "/m/"), "c:\\x.sff");
}



TEST(StageLoader, PlacementWithAxisDeltaAndPositionLink) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(
        "[Camera]\r\nstartx = 50\r\n[BG a]\r\nspriteno = 0,0\r\nstart = 0, 100\r\ndelta = 0.5, 2\r\n"
        "velocity = 3, 4\r\n[BG b]\r\nspriteno = 1,0\r\nstart = 10, 20\r\npositionlink = 1\r\n"
        "[BG c]\r\nspriteno = 1,0\r\nstart = 1, 2\r\npositionlink = 1\r\n",
        {SolidSprite(0, 0, 5, 6), SolidSprite(1, 0, 7, 8)}));
    const auto& e = f.Stage().Elements;
    // CamOffsetX 39: x = start - axis + 160 - 39 * delta.
    EXPECT_FLOAT_EQ(e[0].PosX, 0 - 5 + 160 - 39 * 0.5f);
    EXPECT_FLOAT_EQ(e[0].PosY, 100 - 6);
    EXPECT_FLOAT_EQ(e[1].PosX, 0 + 10 - 7 + 160 - 39 * 0.5f);
    EXPECT_FLOAT_EQ(e[1].PosY, 100 + 20 - 8);
    EXPECT_FLOAT_EQ(e[1].DeltaX, 0.5f);
    EXPECT_FLOAT_EQ(e[1].DeltaY, 2);
    EXPECT_FLOAT_EQ(e[1].VelocityX, 3);
    EXPECT_FLOAT_EQ(e[1].VelocityY, 4);
    EXPECT_EQ(e[1].LinkParent, 0);
    EXPECT_EQ(e[2].LinkParent, 0);  // the remembered parent stays for a run of linked elements
    EXPECT_FLOAT_EQ(e[2].PosY, 100 + 2 - 8);
    for (const auto& el : e) {
        EXPECT_EQ(el.Enabled, 1);
        EXPECT_EQ(el.Visible, 1);
    }
}

// a, then x linked to it, then b (not linked; its sprite is missing, so it is never placed), then
// the linked c. Modern stages link c to its root b, the nearest element before it without
// positionlink; classic ones keep the parent remembered from x. Either way c's own delta and velocity
// give way to its parent's.
TEST(StageLoader, PositionLinkRootsOnClassicAndModernStages) {
    struct Case {
        const char* name;
        const char* info;
        int16_t parent;
        float deltaX, velocityX;
    };
    const Case cases[] = {
        {"classic", "", 0, 0.5f, 1},
        {"modern", "[StageInfo]\r\nlocalcoord = 400,300\r\n", 2, 0.25f, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StageFixture f;
        ASSERT_TRUE(f.LoadText(std::string(c.info) +
                               "[BG a]\r\nspriteno = 0,0\r\nstart = 10, 0\r\ndelta = .5, 1\r\nvelocity = 1, 0\r\n"
                               "[BG x]\r\nspriteno = 0,0\r\npositionlink = 1\r\n"
                               "[BG b]\r\nspriteno = 9,9\r\ndelta = .25, 1\r\n"
                               "[BG c]\r\nspriteno = 0,0\r\ndelta = 2, 2\r\nvelocity = 5, 5\r\npositionlink = 1\r\n"));
        EXPECT_EQ(f.Stage().Elements[1].LinkParent, 0);
        const BgElement& linked = f.Stage().Elements[3];
        EXPECT_EQ(linked.LinkParent, c.parent);
        EXPECT_FLOAT_EQ(linked.DeltaX, c.deltaX);
        EXPECT_FLOAT_EQ(linked.VelocityX, c.velocityX);
    }
}

TEST(StageLoader, PositionLinkOnFirstElementPlacesItAlone) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText("[BG a]\r\nspriteno = 0,0\r\nstart = 4, 5\r\npositionlink = 1\r\n"));
    EXPECT_FLOAT_EQ(f.Stage().Elements[0].PosX, 164);
    EXPECT_FLOAT_EQ(f.Stage().Elements[0].PosY, 5);
}

TEST(StageLoader, AnimationWithMissingFirstSpriteGetsMinusTwo) {
    StageFixture f;
    ASSERT_TRUE(
        f.LoadText("[BG 0]\r\nspriteno = 0,0\r\n[BG a]\r\ntype = anim\r\nactionno = 7\r\nstart = 3, 4\r\n"
                   "[Begin Action 7]\r\n9,9, 0,0, 4\r\n1,0, 0,0, 5\r\n",
                   {SolidSprite(0, 0), SolidSprite(1, 0, 20, 30)}));
    const BgElement& a = f.Stage().Elements[1];
    EXPECT_EQ(a.SpriteIndex, -2);
    EXPECT_FLOAT_EQ(a.PosX, 3 + 160);  // axis (0, 0)
    EXPECT_FLOAT_EQ(a.PosY, 4);
    EXPECT_EQ(a.FrameTime, 4);
    EXPECT_EQ(a.Enabled, 1);
}

TEST(StageLoader, AnimationWithUnknownActionIsNeverPlaced) {
    StageFixture f;
    ASSERT_TRUE(
        f.LoadText("[BG 0]\r\nspriteno = 0,0\r\n[BG a]\r\ntype = anim\r\nactionno = 3\r\n"
                   "[Begin Action 0]\r\n0,0, 0,0, 5\r\n"));
    const BgElement& a = f.Stage().Elements[1];
    EXPECT_EQ(a.ActionNo, 3);
    EXPECT_EQ(a.ActionIndex, -1);
    EXPECT_EQ(a.SpriteIndex, -1);
    EXPECT_EQ(a.Enabled, 0);
    EXPECT_EQ(a.Visible, 0);
}

TEST(StageLoader, MissingSpriteLeavesElementUnplacedAndDummyIsPlacedInvisible) {
    StageFixture f;
    ASSERT_TRUE(
        f.LoadText("[BG 0]\r\nspriteno = 0,0\r\n[BG gone]\r\nspriteno = 40,4\r\n[BG d]\r\ntype = dummy\r\n"
                   "start = 1, 2\r\n"));
    const auto& e = f.Stage().Elements;
    EXPECT_EQ(e[1].SpriteIndex, -1);
    EXPECT_EQ(e[1].Enabled, 0);
    EXPECT_EQ(e[2].Enabled, 1);
    EXPECT_EQ(e[2].Visible, 0);
    EXPECT_FLOAT_EQ(e[2].PosX, 161);
}

TEST(StageLoader, ControllerTargetsResolveToElementIndices) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(
        "[BG 0]\r\nspriteno = 0,0\r\n[BG 1]\r\nid = 3\r\n[BG 2]\r\n[BG 3]\r\n[BG 4]\r\nid = 3\r\n"
        "[Begin Action 40]\r\n0,0,0,0,1\r\n[Begin Action 41]\r\n0,0,0,0,1\r\n"
        "[BGCtrlDef g]\r\nctrlid = 3\r\n[BGCtrl c]\r\ntype = anim\r\nvalue = 41\r\nctrlid = 8, 3\r\n"
        "[BGCtrl d]\r\ntype = anim\r\nvalue = 99\r\n"));
    const BgCtrlDef& g = f.Stage().CtrlDefs[0];
    EXPECT_EQ(g.CtrlIdCount, 2);
    EXPECT_EQ(g.CtrlIds, (std::vector<int32_t>{1, 4}));
    EXPECT_EQ(g.CtrlIdsRead, (std::vector<int32_t>{3}));
    const BgCtrl& c = g.Ctrls[0];
    EXPECT_EQ(c.CtrlIdCount, 3);
    EXPECT_EQ(c.CtrlIds, (std::vector<int32_t>{-1, 1, 4}));
    EXPECT_EQ(c.Value, 1);            // animation number 41 is index 1
    EXPECT_EQ(g.Ctrls[1].Value, -1);  // no animation 99: no index
}

TEST(StageLoader, FirstElementsOwnAnimationKeepsColourZero) {
    StageFixture f;
    ASSERT_TRUE(
        f.LoadText("[BG 0]\r\ntype = anim\r\nactionno = 1\r\n[BG a]\r\ntype = anim\r\nactionno = 2\r\n"
                   "[BG b]\r\nspriteno = 3,0\r\nmask = 1\r\n[BG c]\r\nspriteno = 4,0\r\n"
                   "[Begin Action 1]\r\n1,0,0,0,5\r\n[Begin Action 2]\r\n2,0,0,0,5\r\n",
                   {SolidSprite(1, 0), SolidSprite(2, 0), SolidSprite(3, 0), SolidSprite(4, 0)}));
    const auto& s = f.Stage().Sprites;
    EXPECT_EQ(s[0].Mask, 0);  // element 0's own animation
    EXPECT_EQ(s[1].Mask, 1);  // another element's animation
    EXPECT_EQ(s[2].Mask, 1);  // a masked normal element
    EXPECT_EQ(s[3].Mask, 0);  // an unmasked one
    EXPECT_EQ(f.Stage().Elements[0].Mask, 0);
}

TEST(StageLoader, LinkedSpritesShareOwnerAndMatchByOwnGroup) {
    StageFixture f;
    demo::SffSprite linked = SolidSprite(5, 1);
    linked.linkTo = 0;
    ASSERT_TRUE(f.LoadText("[BG 0]\r\nspriteno = 5,1\r\n", {SolidSprite(5, 0, 2, 3), linked}));
    const auto& s = f.Stage().Sprites;
    ASSERT_EQ(f.Stage().SpriteCount, 2);
    EXPECT_EQ(s[1].Owner, 0);
    EXPECT_EQ(s[1].Group, 5);
    EXPECT_EQ(s[1].Image, 1);
    EXPECT_EQ(f.Stage().Elements[0].SpriteIndex, 1);
    EXPECT_GE(f.ui.doEventsCalls, 2);
}


TEST(StageLoader, BoundHighAndZOffsetLink) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(
        "[Camera]\r\nboundhigh = 25\r\n[StageInfo]\r\nzoffsetlink = 5\r\n[BG 0]\r\nspriteno = 0,0\r\n"
        "start = 0, -40\r\n[BG 1]\r\nspriteno = 0,0\r\nid = 5\r\n[BG 2]\r\nspriteno = 0,0\r\nid = 1\r\n",
        {SolidSprite(0, 0, 0, 10)}));
    EXPECT_EQ(f.Stage().ZOffsetLink, 1);  // the element with id 5, not the later one whose id is 1
    EXPECT_EQ(f.Stage().BoundHigh, 0);    // above 0 becomes 0; the highest element is at -50
    StageFixture g;
    ASSERT_TRUE(g.LoadText("[Camera]\r\nboundhigh = -300\r\n[BG 0]\r\nspriteno = 0,0\r\nstart = 0, -40\r\n",
                           {SolidSprite(0, 0, 0, 10)}));
    EXPECT_EQ(g.Stage().BoundHigh, -49);
    // A 1.x stage keeps it as written: the engine lets the camera reach a sky that tiles upward.
    StageFixture h;
    ASSERT_TRUE(h.LoadText("[Camera]\r\nboundhigh = -300\r\n[StageInfo]\r\nlocalcoord = 640,480\r\n"
                           "[BG 0]\r\nspriteno = 0,0\r\nstart = 0, -40\r\n",
                           {SolidSprite(0, 0, 0, 10)}));
    EXPECT_EQ(h.Stage().BoundHigh, -300);
}


TEST(StageLoader, GarbledSpriteFileLoadsWhatItHolds) {
    StageFixture f;
    std::string sff = demo::WriteSff({SolidSprite(0, 0), SolidSprite(1, 0), SolidSprite(2, 0)});
    // Claim a million images and cut the file inside the third picture.
    sff[20] = 0x40;
    sff[21] = 0x42;
    sff[22] = 0x0F;
    sff.resize(sff.size() - 10);
    f.mugen.Write("stages/test.sff", sff);
    ASSERT_TRUE(f.Load(f.WriteStage("test", "[BG 0]\r\nspriteno = 0,0\r\n[BG 1]\r\nspriteno = 2,0\r\n", {})));
    EXPECT_LE(f.Stage().SpriteCount, 3);
    EXPECT_LE(f.Stage().Sprites.size(), 4u);
    EXPECT_NE(f.Stage().Sprites[0].Bitmap, nullptr);
    EXPECT_NE(f.Log().find("Sprite file test.sff: "), std::string::npos) << f.Log();

    // Cut short between two sprites: the log says how many are missing and why.
    StageFixture cut;
    sff = demo::WriteSff({SolidSprite(0, 0), SolidSprite(1, 0), SolidSprite(2, 0)});
    const size_t second = ReadLe32(AsBytes(sff), 512);
    const size_t end = ReadLe32(AsBytes(sff), second);  // where the third sub-header starts
    cut.mugen.Write("stages/test.sff", sff.substr(0, end));
    ASSERT_TRUE(cut.Load(cut.WriteStage("test", "[BG 0]\r\nspriteno = 0,0\r\n", {})));
    EXPECT_EQ(cut.Log(), "Sprite file test.sff: 1 of its 3 sprites could not be read (the file ends at byte " +
                             std::to_string(end) + ", before sprite 3); the elements that show them draw nothing\r\n");

    StageFixture g;
    g.mugen.Write("stages/test.sff", "not a sprite file at all");
    ASSERT_TRUE(g.Load(g.WriteStage("test", "[BG 0]\r\nspriteno = 0,0\r\n", {})));
    EXPECT_EQ(g.Stage().SpriteCount, 0);
    EXPECT_EQ(g.Stage().Elements[0].SpriteIndex, -1);
    EXPECT_NE(g.Log().find("Not a readable sprite file"), std::string::npos);
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {


}  // namespace
}  // namespace qb

#include "tools/bg_commands.h"
#include "tools/sprite_browser.h"

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "tests/stage/stage_fixture.h"

namespace qb {
namespace {

using test::StageFixture;

constexpr const char* kStage =
    "[Camera]\nboundleft = -150\n[BGdef]\nspr = stages/test.sff\n"
    "[BG a]\ntype = normal\nspriteno = 0,0\nstart = 1,2\n"
    "[BG b]\ntype = normal\nspriteno = 0,0\nstart = 3,4\ndelta = 0.5,0.5\n";

TEST(BgCommands, ShownElementUpdatesBackUnchanged) {
    StageFixture f;
    ASSERT_TRUE(f.LoadText(kStage));
    BgElement& b = f.stage.Elements[1];
    b.VelocityX = -0.25f;
    b.Mask = 1;
    const BgElement before = b;
    BgEditorFields fields;
    ShowElement(f.stage, 1, fields);
    EXPECT_EQ(fields.txtDeltaX, "0.5");
    EXPECT_EQ(fields.txtXpos, "3");
    EXPECT_TRUE(fields.chkMask);
    UpdateStuff(f.stage, fields, 1);
    EXPECT_EQ(b.DeltaX, before.DeltaX);
    EXPECT_EQ(b.VelocityX, before.VelocityX);
    EXPECT_EQ(b.BaseX, before.BaseX);
    EXPECT_EQ(b.PosY, before.PosY);
    EXPECT_EQ(b.Type, before.Type);
    EXPECT_EQ(b.SpriteIndex, before.SpriteIndex);
    ShowElement(f.stage, 5, fields);  // outside the table: nothing happens
}

TEST(BgCommands, WriteToStageFileFollowsReorderedElementsAndRefusesRemoved) {
    StageFixture f;
    const std::string path = f.WriteStage("test", kStage);
    ASSERT_TRUE(f.Load(path));
    EditState edit;
    BeginEditBaseline(f.stage, edit);
    SwapElements(f.stage, edit, 0, 1);  // "b" is now first in the model, still second in the file
    f.stage.Elements[0].DeltaX = 2;
    WriteBackResult r = WriteToStageFile(f.stage, edit, path);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.linesChanged, 1);
    EXPECT_NE(f.mugen.Read("stages/test.def").find("[BG b]\ntype = normal\nspriteno = 0,0\nstart = 3,4\ndelta = 2,0.5\n"),
              std::string::npos);
    // What was written is the new baseline: writing again changes nothing.
    r = WriteToStageFile(f.stage, edit, path);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.linesChanged + r.linesAdded, 0);

    const std::string written = f.mugen.Read("stages/test.def");
    RemoveElement(f.stage, edit, 1);
    EXPECT_FALSE(WriteToStageFile(f.stage, edit, path).ok);
    EXPECT_EQ(f.mugen.Read("stages/test.def"), written);
}

TEST(BgCommands, TestButtonsRewriteOnlyTheMusicLines) {
    test::TempDir program;
    const std::string dir = program.Path().string();
    EXPECT_FALSE(Command3_Click(dir));  // no test.def yet
    EXPECT_EQ(Command4_Click(dir), -1);
    const std::string def = "[Music]\r\nbgmusic = a.mp3   ; intro\r\n; bgmusic = x\r\nBGMUSIC = y\r\nbgvolume = 5\r\n";
    program.Write("test.def", def);
    EXPECT_EQ(Command4_Click(dir), static_cast<int64_t>(def.size()));

    ASSERT_TRUE(Command5_Click(dir));
    EXPECT_EQ(program.Read("shout.def"),
              "[Music]\r\nbgmusic = f:\\mugen\\suckme.mp3   ; intro\r\n; bgmusic = x\r\nBGMUSIC = y\r\nbgvolume = 5\r\n");
    EXPECT_EQ(program.Read("test.def"), def);

    // A value longer than the old one leaves the following lines whole.
    ASSERT_TRUE(Command3_Click(dir));
    const std::string mid = JoinPath(dir, "lalala.mid");
    EXPECT_EQ(program.Read("test.def"), "[Music]\r\nbgmusic = " + mid + "   ; intro\r\n; bgmusic = " + mid +
                                            "\r\nBGMUSIC = y\r\nbgvolume = 5\r\n");
    EXPECT_EQ(CommentPart("a = b"), "");
    EXPECT_EQ(CommentPart("a = b\t ;c"), "\t ;c");
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

TEST(SpriteBrowser, CaptionCountsFromOneAndTheRangeFollowsASmallerTable) {
    StageModel stage;
    SpriteBrowserState browser;
    OpenSpriteBrowser(browser, stage);
    EXPECT_EQ(ShownSpriteRow(browser, stage), -1);
    EXPECT_EQ(SpriteBrowserCaption(browser, stage), "SFF");

    stage.Sprites.resize(120);
    stage.Sprites[119].Group = 40;
    stage.Sprites[119].Image = 3;
    OpenSpriteBrowser(browser, stage);
    EXPECT_EQ(SpriteBrowserCaption(browser, stage), "(1\\120)  Group: 0  Image: 0");
    browser.Value = FindSpriteRow(stage, 40, 3);
    EXPECT_EQ(SpriteBrowserCaption(browser, stage), "(120\\120)  Group: 40  Image: 3");
    EXPECT_EQ(FindSpriteRow(stage, 40, 4), -1);

    // A stage with fewer sprites loaded while the window stays open.
    stage.Sprites.resize(5);
    EXPECT_EQ(ShownSpriteRow(browser, stage), 4);
    EXPECT_EQ(SpriteBrowserCaption(browser, stage), "(5\\5)  Group: 0  Image: 0");
    stage.Sprites.clear();
    EXPECT_EQ(ShownSpriteRow(browser, stage), -1);
    EXPECT_FALSE(SaveShownSprite(browser, stage, "/nonexistent/x.png"));
}

}  // namespace
}  // namespace qb

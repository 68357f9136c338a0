#include "tools/bg_editor.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(BgEditor, ShowStuffAndUpdateStuffExchangeTheBounds) {
    StageModel stage;
    stage.BoundLeft = -150;
    stage.BoundRight = 150;
    stage.BoundHigh = -25;
    stage.StartX = 12.5f;
    stage.StartY = 4;
    BgEditorFields fields;
    ShowStuff(stage, fields);
    EXPECT_EQ(fields.txtcamleft, "-150");
    EXPECT_EQ(fields.txtcamhigh, "-25");
    EXPECT_EQ(fields.txtcamlow, "0");
    EXPECT_EQ(fields.txtcamstartx, "12.5");
    EXPECT_EQ(fields.txtcamstarty, "4");

    fields.txtcamleft = "-90.6";
    fields.txtcamright = "80abc";
    fields.txtcamhigh = "";
    fields.txtcamlow = "7";
    UpdateStuff(stage, fields, -1);
    EXPECT_EQ(stage.BoundLeft, -91);
    EXPECT_EQ(stage.BoundRight, 80);
    EXPECT_EQ(stage.BoundHigh, 0);
    EXPECT_EQ(stage.BoundLow, 7);
}

TEST(BgEditor, UpdateStuffMovesTheSelectedElementToItsTypedBase) {
    StageModel stage;
    stage.Sprites.resize(3);
    BgElement element;
    element.BaseX = 10;
    element.PosX = 170;
    element.BaseY = 20;
    element.PosY = 20;
    stage.Elements.push_back(element);
    BgEditorFields fields;
    fields.txtXpos = "14";
    fields.txtYpos = "15";
    fields.txtTileX = "1";
    fields.txtDeltaX = ".5";
    fields.txtGfx = "9";  // past the sprite table: the element has no sprite
    fields.txtType = "Normal";
    fields.chkMask = true;
    UpdateStuff(stage, fields, 0);
    const BgElement& e = stage.Elements[0];
    EXPECT_FLOAT_EQ(e.BaseX, 14);
    EXPECT_FLOAT_EQ(e.PosX, 174);
    EXPECT_FLOAT_EQ(e.BaseY, 15);
    EXPECT_FLOAT_EQ(e.PosY, 15);
    EXPECT_EQ(e.TileX, 1);
    EXPECT_FLOAT_EQ(e.DeltaX, 0.5f);
    EXPECT_EQ(e.SpriteIndex, -1);
    EXPECT_EQ(e.Type, "Normal");
    EXPECT_EQ(e.Mask, 1);
}

// Two sprites: 400x100 with axis (200, 0) at start (0, 10), and 50x300 with axis (0, 0) at (300, -80)
// with delta 0.5; camera start x 20. An animated element takes no part.
TEST(BgEditor, AutoBoundCoversEveryDrawnSprite) {
    StageModel stage;
    stage.StartX = 20;
    stage.Sprites.resize(2);
    stage.Sprites[0].Width = 400;
    stage.Sprites[0].Height = 100;
    stage.Sprites[0].AxisX = 200;
    stage.Sprites[1].Width = 50;
    stage.Sprites[1].Height = 300;
    BgElement wide;
    wide.SpriteIndex = 0;
    wide.StartY = 10;
    BgElement tall;
    tall.SpriteIndex = 1;
    tall.StartX = 300;
    tall.StartY = -80;
    tall.DeltaX = 0.5f;
    BgElement anim;
    anim.SpriteIndex = -2;
    anim.StartX = 5000;
    stage.Elements = {wide, tall, anim};
    BgEditorFields fields;
    AutoBound(stage, fields);
    EXPECT_EQ(fields.txtcamleft, "-60");   // 0 - 200 + 160 - 20
    EXPECT_EQ(fields.txtcamright, "180");  // 300 + 160 - 10 + 50 - 320
    EXPECT_EQ(fields.txtcamhigh, "-80");
    EXPECT_EQ(fields.txtcamlow, "-20");  // -80 + 300 - 240
}

}  // namespace
}  // namespace qb

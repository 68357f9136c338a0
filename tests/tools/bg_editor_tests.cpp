#include "tools/bg_editor.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(BgEditor, ShowStuffAndUpdateStuffExchangeTheCameraStartAndBounds) {
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
    fields.txtcamright = " 80";
    fields.txtcamlow = "7";
    fields.txtcamstartx = "-30.5";
    fields.txtcamstarty = "-9";
    EXPECT_EQ(UpdateStuff(stage, fields, -1), "");
    EXPECT_EQ(stage.BoundLeft, -91);
    EXPECT_EQ(stage.BoundRight, 80);
    EXPECT_EQ(stage.BoundHigh, -25);
    EXPECT_EQ(stage.BoundLow, 7);
    EXPECT_FLOAT_EQ(stage.StartX, -30.5f);
    EXPECT_EQ(stage.StartY, -9);
}

// A box its field cannot hold ends the Update before anything is stored, and the message names it.
TEST(BgEditor, UpdateStuffRefusesBoxesThatAreNoNumberOrOutOfRange) {
    struct Case {
        std::string BgEditorFields::*box;
        const char* text;
        const char* named;
    };
    const Case cases[] = {
        {&BgEditorFields::txtcamhigh, "40000", "boundhigh"},
        {&BgEditorFields::txtcamlow, "-32769", "boundlow"},
        {&BgEditorFields::txtcamright, "80abc", "boundright"},
        {&BgEditorFields::txtcamleft, "", "boundleft"},
        {&BgEditorFields::txtcamstarty, "1e6", "camstarty"},
        {&BgEditorFields::txtcamstartx, "1e39", "camstartx"},
        {&BgEditorFields::txtTileX, "3000000000", "Tile X"},
        {&BgEditorFields::txtDeltaY, "half", "Delta Y"},
        {&BgEditorFields::txtGfx, "70000", "Gfx"},
        {&BgEditorFields::txtXpos, "x", "X"},
    };
    for (const Case& c : cases) {
        StageModel stage;
        stage.BoundHigh = -25;
        stage.Elements.emplace_back();
        stage.Elements[0].TileX = 2;
        BgEditorFields fields;
        ShowStuff(stage, fields);
        fields.txtType = "normal";
        for (std::string* box : {&fields.txtTileX, &fields.txtTileY, &fields.txtDeltaX, &fields.txtDeltaY,
                                 &fields.txtVelX, &fields.txtVelY, &fields.txtGfx, &fields.txtTileSpcX,
                                 &fields.txtTileSpcY, &fields.txtXpos, &fields.txtYpos})
            *box = "1";
        fields.txtcamleft = "-99";  // a good box before the bad one is not taken either
        fields.*c.box = c.text;
        const std::string refused = UpdateStuff(stage, fields, 0);
        EXPECT_NE(refused.find(std::string("box ") + c.named + " holds"), std::string::npos) << refused;
        EXPECT_EQ(stage.BoundLeft, 0) << c.named;
        EXPECT_EQ(stage.BoundHigh, -25) << c.named;
        EXPECT_EQ(stage.Elements[0].TileX, 2) << c.named;
    }
}

TEST(BgEditor, UpdateStuffMovesTheSelectedElementToItsTypedBase) {
    StageModel stage;
    stage.Sprites.resize(3);
    stage.SpriteCount = 2;
    stage.Sprites[1].Group = 5;
    BgElement element;
    element.BaseX = 10;
    element.PosX = 170;
    element.BaseY = 20;
    element.PosY = 20;
    element.StartX = 10;
    element.StartY = 20;
    stage.Elements.push_back(element);
    element.PositionLink = 1;  // linked: placed from its parent by its own start, its base unset
    element.StartX = -95;
    element.StartY = -271;
    element.BaseX = element.BaseY = 0;
    stage.Elements.push_back(element);
    BgEditorFields fields;
    ShowStuff(stage, fields);
    for (std::string* box : {&fields.txtTileY, &fields.txtDeltaY, &fields.txtVelX, &fields.txtVelY,
                             &fields.txtTileSpcX, &fields.txtTileSpcY})
        *box = "0";
    fields.txtXpos = "14";
    fields.txtYpos = "15";
    fields.txtTileX = "1";
    fields.txtDeltaX = ".5";
    fields.txtGfx = "1";
    fields.txtType = "Normal";
    fields.chkMask = true;
    ASSERT_EQ(UpdateStuff(stage, fields, 0), "");
    const BgElement& e = stage.Elements[0];
    EXPECT_EQ(e.StartX, 14);  // the start moves with the base
    EXPECT_FLOAT_EQ(e.BaseX, 14);
    EXPECT_FLOAT_EQ(e.PosX, 174);
    EXPECT_FLOAT_EQ(e.BaseY, 15);
    EXPECT_FLOAT_EQ(e.PosY, 15);
    EXPECT_EQ(e.TileX, 1);
    EXPECT_FLOAT_EQ(e.DeltaX, 0.5f);
    EXPECT_EQ(e.SpriteIndex, 1);
    EXPECT_EQ(e.SpriteGroup, 5);
    EXPECT_EQ(e.Type, "normal");  // as the loader names it
    EXPECT_EQ(e.OwnMask, 1);
    EXPECT_EQ(e.Mask, 0) << "the first element draws unmasked, as the file will load";

    // The linked element's boxes hold its offset from the parent, and a move changes that offset.
    BgElement& linked = stage.Elements[1];
    EXPECT_EQ(EditedPosition(linked), std::make_pair(-95.0, -271.0));
    fields.txtXpos = "-90";
    fields.txtYpos = "-271";
    const float posX = linked.PosX;
    ASSERT_EQ(UpdateStuff(stage, fields, 1), "");
    EXPECT_EQ(linked.StartX, -90);
    EXPECT_EQ(linked.StartY, -271);
    EXPECT_FLOAT_EQ(linked.PosX, posX + 5);
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

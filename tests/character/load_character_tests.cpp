#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "character/load_character.h"
#include "demo/sff2_writer.h"
#include "platform/gfx.h"
#include "platform/sff2_file.h"
#include "tests/character/char_fixture.h"

namespace qb {
namespace {

using test::CharFiles;
using test::CharHarness;

// The animation file with `standing` as action 0's frame lines.
std::string AirWithStanding(const std::string& standing) {
    return "[Begin Action 0]\n" + standing + "[Begin Action 20]\n20,0, 0,0, 3\n20,1,0,0,3\n20,0,0,0,3\n20,1,0,0,3\n" +
           "[Begin Action 47]\n0,0, 0,0, 2\n";
}

TEST(LoadCharacter, FrameLinesFollowTheFifthCommaRules) {
    struct Case {
        const char* line;
        int32_t group;
        int16_t image, offsetX, offsetY, time, flipH;
    };
    const Case cases[] = {
        {"5,2,-3,0,7,H", 5, 2, 3, 0, 7, -1},          // a flip negates the x offset
        {"5, 2, 0,0, -1", 5, 2, 0, 0, 100, 0},        // "forever" without a flip field
        {"5,2,0,0,-1,H", 5, 2, 0, 0, -1, -1},         // with one it stays -1
        {"5,2, 4,6, 8 ;comment, H", 5, 2, 4, 6, 8, 0}, // a comment is no flip field
        {"5,2,4,0,3, VH", 5, 2, -4, 0, 3, -1},
        {"5,2,4,0,3, v", 5, 2, 4, 0, 3, 0},           // vertical flips are ignored
        {"5,2,4,0,3,,A", 5, 2, 4, 0, 3, 0},
        {"5,2,x,1,3", 5, 2, 0, 1, 3, 0},              // a field that is no number stays 0
        {"7,1,2,3", 7, 1, 2, 0, 0, 0},                // too few commas: later fields stay 0
        {"9", 0, 0, 0, 0, 0, 0},                      // no comma at all: no time either
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        CharHarness h;
        CharFiles files;
        files.air = AirWithStanding(std::string(c.line) + "\n");
        ASSERT_TRUE(h.Load(files));
        const CharAction& stand = h.character.Actions[0];
        ASSERT_EQ(stand.FrameCount, 1);
        const CharFrame& f = stand.Frames[0];
        EXPECT_EQ(f.Group, c.group);
        EXPECT_EQ(f.Image, c.image);
        EXPECT_EQ(f.OffsetX, c.offsetX);
        EXPECT_EQ(f.OffsetY, c.offsetY);
        EXPECT_EQ(f.Time, c.time);
        EXPECT_EQ(f.FlipH, c.flipH);
    }
}

TEST(LoadCharacter, ActionHeadersAreComparedAsNumbersAndOnlyOnce) {
    CharHarness h;
    CharFiles files;
    files.air =
        ";[Begin Action 0]\n9,9, 0,0, 1\n"          // commented out
        "[Begin Action 000] ; stand\n0,0, 0,0, 5\n"  // a comment after it is fine
        "-1,0, 0,0, 5\n"                            // negative groups are never frames
        "[Begin Action 2]\n2,0, 0,0, 5\n"           // not a walker action
        "[Begin Action 0020]\n20,0, 0,0, 3\n20,1, 0,0, 3\nLoopStart\n20,0, 0,0, 3\n20,1, 0,0, 3\n"
        "[Begin Action 020]\n99,0, 0,0, 3\n"        // a repeat: the first definition wins
        "[Begin Action 41]\n41,0, 0,0, 3\n; loopstart\n41,1, 0,0, 3\n"
        "[Begin Action 47]\n0,0, 0,0, 2\n";
    ASSERT_TRUE(h.Load(files));
    const auto& a = h.character.Actions;
    EXPECT_EQ(a[0].FrameCount, 1);
    EXPECT_EQ(a[0].Frames[0].Group, 0);
    EXPECT_EQ(a[2].Number, 20);
    EXPECT_EQ(a[2].FrameCount, 4);
    ASSERT_EQ(a[2].Frames.size(), 4u);
    EXPECT_EQ(a[2].LoopStart, 2);
    EXPECT_EQ(a[2].LoopLimit, 10);
    EXPECT_EQ(a[4].LoopStart, 0);  // a commented loop start does not count
    EXPECT_EQ(a[1].FrameCount, 0);
    EXPECT_EQ(h.character.CanTurn, 0);  // no turning action
}

TEST(LoadCharacter, AHeaderWithoutANumberStartsNoAction) {
    for (const char* header :
         {"[Begin Action xyz]", "[Begin Action 0", "[Begin Action ]", "[Begin Action 99999]"}) {
        SCOPED_TRACE(header);
        CharHarness h;
        CharFiles files;
        files.air = std::string(header) + "\n9000,0, 0,0, 5\n" + AirWithStanding("0,0, 0,0, 5\n");
        ASSERT_TRUE(h.Load(files));
        const CharAction& stand = h.character.Actions[0];
        ASSERT_EQ(stand.FrameCount, 1);
        EXPECT_EQ(stand.Frames[0].Group, 0);  // the real standing action, not the portrait
    }
}

TEST(LoadCharacter, WalkFixUpAndTurnFlags) {
    CharHarness h;
    CharFiles files;
    files.air = "[Begin Action 0]\n0,0,0,0,5\n[Begin Action 5]\n5,0,0,0,4\nLoopstart\n-1,0,0,0,4\n"
                "[Begin Action 20]\n20,0,0,0,3\n20,1,0,0,3\n20,0,0,0,3\n[Begin Action 47]\n0,0,0,0,2\n";
    ASSERT_TRUE(h.Load(files));
    const auto& a = h.character.Actions;
    // A turn with a negative-group frame cannot be shown; its loop plays without limit.
    EXPECT_EQ(h.character.CanTurn, 0);
    EXPECT_EQ(a[1].LoopLimit, -1);
    // A walk of three frames or fewer holds its last frame.
    EXPECT_EQ(a[2].Frames[2].Time, 25);
    EXPECT_EQ(a[2].Frames[1].Time, 3);

    CharHarness four;
    ASSERT_TRUE(four.Load(CharFiles{}));
    EXPECT_EQ(four.character.Actions[2].Frames[3].Time, 3);
    EXPECT_EQ(four.character.CanTurn, -1);
}

TEST(LoadCharacter, RefusalsSayWhy) {
    struct Case {
        const char* what;
        std::string air;
        std::string expected;  // after the definition path's quoted form
    };
    const std::string walk = "[Begin Action 20]\n20,0,0,0,3\n20,1,0,0,3\n20,0,0,0,3\n20,1,0,0,3\n";
    const Case cases[] = {
        {"no landing", "[Begin Action 0]\n0,0,0,0,5\n" + walk, " - character has no walking frames."},
        {"no standing frames", "[Begin Action 0]\n" + walk + "[Begin Action 47]\n0,0,0,0,2\n",
         " - character has no standing frames."},
        {"no walking frames", "[Begin Action 0]\n0,0,0,0,5\n[Begin Action 20]\n[Begin Action 47]\n0,0,0,0,2\n",
         " - character has no walking frames."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CharHarness h;
        CharFiles files;
        files.air = c.air;
        EXPECT_FALSE(h.Load(files));
        EXPECT_EQ(h.OnlyBox(), "Unable to load \"" + h.dir.Dir() + "chars/t/t.def\"" + c.expected);
        ASSERT_EQ(h.ui.boxes.size(), 1u);
        EXPECT_EQ(h.ui.boxes[0].icon, MsgIcon::Exclamation);
        EXPECT_EQ(h.ui.boxes[0].title, kCharBoxTitle);
    }

    CharHarness negativeWalk;
    CharFiles files;
    files.air = "[Begin Action 0]\n0,0,0,0,5\n[Begin Action 20]\n20,0,0,0,3\n-1,0,0,0,3\n[Begin Action 47]\n";
    EXPECT_FALSE(negativeWalk.Load(files));
    EXPECT_EQ(negativeWalk.OnlyBox(), "Unable to load \"Tester\"");

    for (const char* missing : {"t.air", "t.cns"}) {
        CharHarness h;
        const std::string def = h.Write(CharFiles{});
        std::filesystem::remove(h.dir.Path() / "chars/t" / missing);
        EXPECT_FALSE(LoadCharacter(h.env, h.character, def, false));
        EXPECT_EQ(h.OnlyBox(), "Unable to load \"" + def + "\" - " +
                                   (missing[2] == 'a' ? "animation" : "constants") + " file missing.");
    }

    CharHarness absent;
    const std::string path = absent.dir.Dir() + "nothere.def";
    EXPECT_FALSE(LoadCharacter(absent.env, absent.character, path, false));
    EXPECT_EQ(absent.OnlyBox(), "\"" + path + "\" could not be found.\r\nUnable to load " + path + ".");
    EXPECT_EQ(absent.ui.boxes[0].title, "");  // the application's title
}

TEST(LoadCharacter, DefinitionFilesAndLineEnds) {
    struct Case {
        const char* what;
        std::string def;
        std::string name;
        bool loads;
    };
    const std::string files = "cns = t.cns\nsprite = t.sff\nanim = t.air\n";
    const Case cases[] = {
        {"CR LF", "[Info]\r\ndisplayname = \"A\"\r\n[Files]\r\n" + files, "A", true},
        {"bare CR", "[Info]\rdisplayname = \"A\"\r[Files]\rcns = t.cns\rsprite = t.sff\ranim = t.air\r", "A", true},
        {"comment after the name", "displayname = \"A\" ; shown\n[Files]\n" + files, "A", true},
        {"commented out", "; displayname = \"X\"\nname = \"N\" ;displayname\n[Files]\n" + files, "", true},
        {"one quote", "displayname = \"A\n[Files]\n" + files, "", true},
        // The section ends at the next header, unless a comment shares its line.
        {"section ends", "[Files]\ncns = t.cns\n[Arcade]\nsprite = t.sff\nanim = t.air\n", "", false},
        {"header with comment", "[Files]\ncns = t.cns\n[Arcade] ; x\nsprite = t.sff\nanim = t.air\n", "", true},
        // Only a line that starts with "cns" names the constants; an indented one does not.
        {"indented cns", "[Files]\n  cns = t.cns\nst = t.cns\nstcommon = common1.cns\nsprite = t.sff\nanim = t.air\n", "",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CharHarness h;
        CharFiles f;
        f.def = c.def;
        EXPECT_EQ(h.Load(f), c.loads);
        if (c.loads) {
            EXPECT_EQ(h.character.Name, c.name);
        }
    }
}

TEST(LoadCharacter, ConstantsComeFromSizeUntilTheFirstState) {
    CharHarness h;
    CharFiles files;
    files.cns =
        "walk.fwd = 9\n"  // before [Size]: not read
        "[Size]\nxscale = 1.5\nyscale = 2,3 ; a second component does not convert\n"
        "; comments are skipped\n\n"
        "[Velocity]\nwalk.fwd  = 2.4\nairjump.neu = 5,5\njump.neu = 0,-8.4\n"
        "[Movement]\nyaccel = .44\n"
        "[Statedef 0]\nxscale = 7\n";
    ASSERT_TRUE(h.Load(files));
    const TestCharacter& c = h.character;
    EXPECT_FLOAT_EQ(c.XScale, 1.5f);
    EXPECT_FLOAT_EQ(c.YScale, 0.0f);
    EXPECT_FLOAT_EQ(c.WalkSpeed, 2.4f);
    EXPECT_FLOAT_EQ(c.JumpVelX, 0.0f);
    EXPECT_FLOAT_EQ(c.JumpVelY, -8.4f);
    EXPECT_FLOAT_EQ(c.YAccel, 0.44f);
}

TEST(LoadCharacter, FramesMapToTheFirstEntryHoldingTheirSprite) {
    CharHarness h;
    CharFiles files;
    // The turn's first frame shows for no time: its frames ask for no sprites, so the requests after
    // it move up and the table ends in entries no request fills.
    files.air = "[Begin Action 0]\n0,0,0,0,5\n0,0,0,0,5\n[Begin Action 5]\n5,0,0,0,0\n"
                "[Begin Action 20]\n20,0,0,0,3\n20,1,0,0,3\n20,0,0,0,3\n20,1,0,0,3\n[Begin Action 47]\n0,0,0,0,2\n";
    ASSERT_TRUE(h.Load(files));
    const TestCharacter& c = h.character;
    ASSERT_EQ(c.Sprites.size(), 8u);
    const int32_t groups[] = {0, 0, 20, 20, 20, 20, 0, 0};
    const int16_t images[] = {0, 0, 0, 1, 0, 1, 0, 0};
    for (size_t k = 0; k < 8; ++k) {
        EXPECT_EQ(c.Sprites[k].Group, groups[k]) << k;
        EXPECT_EQ(c.Sprites[k].Image, images[k]) << k;
        EXPECT_EQ(c.Sprites[k].Bitmap != nullptr, k != 7) << k;  // entry 6 is the landing's request
    }
    EXPECT_EQ(c.Actions[0].Frames[1].SpriteIndex, 0);
    EXPECT_EQ(c.Actions[2].Frames[3].SpriteIndex, 3);
    EXPECT_EQ(c.Actions[5].Frames[0].SpriteIndex, 0);
    // The turn's sprite was never requested: it keeps index 0.
    EXPECT_EQ(c.Actions[1].Frames[0].SpriteIndex, 0);
}

TEST(LoadCharacter, IsCharLooksForTheCommonStates) {
    test::TempDir dir;
    dir.Write("a.def", "[Files]\nStCommon = common1.cns\n");
    dir.Write("b.def", "[Info]\nname = \"stage\"\n");
    EXPECT_TRUE(IsChar(dir.Dir() + "A.DEF"));
    EXPECT_FALSE(IsChar(dir.Dir() + "b.def"));
    EXPECT_FALSE(IsChar(dir.Dir() + "c.def"));
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

// The default animations' four sprites in a version 2 file: 0,0 in RLE8; 5,0 linked to it with an
// axis of its own; 20,0 a PNG32 whose right pixel is nearly transparent; 20,1 in LZ5 through the
// second palette.
std::string Version2Sprites() {
    // 2.01: the fourth byte is alpha.
    demo::Sff2Palette red{1, 1, std::vector<uint8_t>(32 * 4, 0), -1};
    for (size_t c = 0; c < 32; ++c) red.rgba[c * 4 + 3] = 255;
    demo::Sff2Palette green = red;
    green.number = 2;
    red.rgba[4] = 255;  // colour 1
    green.rgba[5] = 255;
    const std::vector<uint8_t> indices = {0, 1, 1, 1, 1, 0};
    std::vector<demo::Sff2Sprite> sprites(4);
    sprites[0] = {0, 0, 1, 3, kSff2Rle8, 8, 2, 3, indices, 0, -1, false};
    sprites[1] = {5, 0, 7, 8, kSff2Rle8, 8, 2, 3, {}, 0, 0, false};
    sprites[2] = {20, 0, 1, 1, kSff2Png32, 32, 2, 1, {0, 0, 255, 255, 9, 9, 9, 100}, 0, -1, false};
    sprites[3] = {20, 1, 2, 2, kSff2Lz5, 8, 2, 3, indices, 1, -1, false};
    return demo::WriteSff2(sprites, {red, green}, 1);
}

TEST(LoadCharacter, Version2SpriteFilesAndTheCoordinateWidth) {
    constexpr uint16_t kMask = 0xF81F, kRed = 0xF800, kGreen = 0x07E0, kBlue = 0x001F;
    struct Case {
        const char* localcoord;  // the definition's [Info] line
        int16_t width;
    };
    const Case cases[] = {
        {"", 320},
        {"localcoord = 1280,720", 1280},
        {"localcoord = 640 ; no height", 640},
        {";localcoord = 1280,720", 320},
        {"localcoord = wide,720", 320},
        {"localcoord = -5,720", 320},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.localcoord);
        CharHarness h;
        CharFiles files;
        files.def = std::string("[Info]\ndisplayname = \"Tester\"\n") + c.localcoord +
                    "\n[Files]\ncns = t.cns\nstcommon = common1.cns\nsprite = t.sff\nanim = t.air\n";
        files.spriteFile = Version2Sprites();
        ASSERT_TRUE(h.Load(files));
        const TestCharacter& ch = h.character;
        EXPECT_EQ(ch.LocalCoordWidth, c.width);
        // Stand, turn, four walk frames, landing: one entry a frame.
        ASSERT_EQ(ch.Sprites.size(), 7u);
        const SpriteEntry& stand = ch.Sprites[0];
        const SpriteEntry& turn = ch.Sprites[1];
        ASSERT_TRUE(stand.Picture && stand.Colours && stand.Bitmap);
        EXPECT_EQ(stand.Owner, -1);
        EXPECT_EQ(std::make_tuple(stand.Width, stand.Height, stand.AxisX, stand.AxisY),
                  std::make_tuple(int16_t{2}, int16_t{3}, int16_t{1}, int16_t{3}));
        // The linked turn shows the standing picture at its own axis, sharing its bitmap.
        EXPECT_EQ(turn.Picture, stand.Picture);
        EXPECT_EQ(turn.Bitmap, stand.Bitmap);
        EXPECT_EQ(turn.Owner, 0);
        EXPECT_EQ(std::make_tuple(turn.Width, turn.AxisX, turn.AxisY), std::make_tuple(int16_t{2}, int16_t{7}, int16_t{8}));
        // The classic path's bitmaps: colour 0 masked, each sprite through the palette it names,
        // alpha below one half masked.
        EXPECT_EQ(BitmapRow(stand.Bitmap, 0)[0], kMask);
        EXPECT_EQ(BitmapRow(stand.Bitmap, 0)[1], kRed);
        const SpriteEntry& walk0 = ch.Sprites[2];
        ASSERT_TRUE(walk0.Picture && walk0.Bitmap);
        EXPECT_TRUE(walk0.Picture->rgba);
        EXPECT_EQ(BitmapRow(walk0.Bitmap, 0)[0], kBlue);
        EXPECT_EQ(BitmapRow(walk0.Bitmap, 0)[1], kMask);
        const SpriteEntry& walk1 = ch.Sprites[3];
        ASSERT_TRUE(walk1.Bitmap);
        EXPECT_EQ(BitmapRow(walk1.Bitmap, 1)[0], kGreen);
        EXPECT_EQ(ch.Actions[kSlotWalk].Frames[1].SpriteIndex, 3);
    }
}

}  // namespace
}  // namespace qb

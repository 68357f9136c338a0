// Windows and tiles of modern stages, from the definition's text to the picture: the parse, the
// load's rules for modern stages and the element pass together decide them.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "render/draw_elements.h"
#include "render/draw_modern.h"
#include "tests/stage/stage_fixture.h"
#include "tests/support/fakes.h"

namespace qb {
namespace {

using test::SolidSprite;

// A 64 x 64 stage (localcoord 64,64: modern, one unit a pixel, the stage origin at x 32) whose
// elements are given as text; an element at start -30,1 has its corner at pixel (2, 1).
struct ModernText {
    test::StageFixture files;
    CameraState camera;
    FrameState frame;
    test::FakeKeys keys;
    test::FakeClock clock;
    Picture32 picture{64, 64};
    std::vector<demo::SffSprite> sprites;  // empty: the 4 x 3 sprite 0,0 and the 10 x 3 sprite 0,1

    bool Load(const std::string& info, const std::string& elements, int spriteWidth = 4,
              const std::string& actions = "") {
        const std::string def = "[Info]\r\nname = t\r\n" + info +
                                "\r\n[StageInfo]\r\nlocalcoord = 64,64\r\n[Camera]\r\nstartx = 0\r\n"
                                "[BGdef]\r\nspr = stages/test.sff\r\n" +
                                elements + "[Begin Action 1]\r\n0,0,0,0,-1\r\n" + actions;
        // Sprite 0,1 is a wider one (10 x 3) for the animations' second frames.
        if (sprites.empty()) sprites = {SolidSprite(0, 0, 0, 0, spriteWidth, 3), SolidSprite(0, 1, 0, 0, 10, 3)};
        if (!files.LoadText(def, sprites)) return false;
        camera.ViewRight = camera.ViewBottom = 64;
        camera.HCamStep = camera.VCamStep = 1;
        return IsModernStage(files.stage);
    }
    void Draw() {
        ClearPicture32(picture);
        frame.LayerPass = 0;
        FrameContext ctx{files.stage, camera, frame, nullptr, keys, clock};
        ctx.picture = &picture;
        DrawElements(ctx);
    }
    bool Lit(int x, int y) { return picture.Row(y)[x] != 0xFF000000u; }
    // Columns 0..23 of row 1, and rows 0..11 with anything drawn on them ('#' drawn, '.' not).
    std::string Columns() {
        std::string out;
        for (int x = 0; x < 24; ++x) out += Lit(x, 1) ? '#' : '.';
        return out;
    }
    // The first and last lit column of row y ({-1, -1} when none is lit).
    std::pair<int, int> Span(int y) {
        std::pair<int, int> span{-1, -1};
        for (int x = 0; x < picture.Width; ++x)
            if (Lit(x, y)) span = {span.first < 0 ? x : span.first, x};
        return span;
    }
    std::string Rows() {
        std::string out;
        for (int y = 0; y < 12; ++y) {
            int x = 0;
            while (x < picture.Width && !Lit(x, y)) ++x;
            out += x < picture.Width ? '#' : '.';
        }
        return out;
    }
};

// A 16-pixel-wide element at x 2..17 behind windows of each kind.
TEST(ModernWindows, KindsCornersValuesAndWindowDelta) {
    struct Case {
        const char* name;
        const char* keys;
        float cameraX;  // the camera's x as the user sees it
        const char* columns;
    };
    const Case cases[] = {
        {"window: view corner, edges included", "window = 6,0,9,63", 0, "......####.............."},
        {"maskwindow: stage origin, right edge excluded", "maskwindow = -26,0,-22,64", 0,
         "......####.............."},
        {"three values: no window", "window = 6,0,9", 0, "..################......"},
        {"inverted corners", "window = 9,63,6,0", 0, "......####.............."},
        {"the last line wins: maskwindow", "window = 0,0,63,63\r\nmaskwindow = -26,0,-22,64", 0,
         "......####.............."},
        {"the last line wins: window", "maskwindow = -26,0,-22,64\r\nwindow = 10,0,13,63", 0,
         "..........####.........."},
        {"windowdelta moves against the camera", "window = 6,0,9,63\r\nwindowdelta = 0.5,0", 4,
         "....####................"},
        {"a window below the element hides it", "window = 0,10,63,20", 0, "........................"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModernText t;
        ASSERT_TRUE(t.Load("", std::string("[BG w]\r\nspriteno = 0,0\r\nstart = -30,1\r\n") + c.keys + "\r\n", 16));
        // The camera stands where the case puts it; the element itself does not move.
        t.camera.CameraX = t.camera.PrevCameraX = -c.cameraX;
        t.Draw();
        EXPECT_EQ(t.Columns(), c.columns);
    }
    // Modern stages draw windowdelta, so the load does not call it unsupported.
    ModernText t;
    ASSERT_TRUE(t.Load("", "[BG w]\r\nspriteno = 0,0\r\nwindowdelta = 1,1\r\n"));
    for (const Problem& p : t.files.log.Records()) EXPECT_NE(p.kind, ProblemKind::WindowDelta);
}

// The window clips whatever the element draws: every tile of a run and every row of a floor, tiled
// or not (the 4 x 3 sprite's corner at (2, 1)).
TEST(ModernWindows, ClipTilesAndFloors) {
    struct Case {
        const char* name;
        const char* keys;
        const char* columns;
        const char* rows;
        int spriteWidth = 4;
    };
    const Case cases[] = {
        {"tiles both ways", "tile = 1,0\r\nwindow = 6,0,9,63", "......####..............", ".###........"},
        // Tiles this small are drawn as one sheet, which must not slip past the window.
        {"tiny tiles everywhere", "tile = 1,1\r\nwindow = 6,2,9,63", "........................",
         "..##########", 1},
        {"counted tiles", "tile = 3,0\r\ntilespacing = 2,0\r\nwindow = 4,0,9,63", "....##..##..............",
         ".###........"},
        {"tiles downwards", "tile = 0,1\r\ntilespacing = 0,1\r\nwindow = 0,2,63,6", "........................",
         "..##.##....."},
        {"floor", "type = parallax\r\nwindow = 4,2,9,63", "........................", "..##........"},
        {"tiled floor", "type = parallax\r\ntile = 1,0\r\nwindow = 6,0,9,63", "......####..............",
         ".###........"},
        {"floor behind a maskwindow", "type = parallax\r\ntile = 1,0\r\nmaskwindow = -26,0,-22,64",
         "......####..............", ".###........"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModernText t;
        ASSERT_TRUE(t.Load("", std::string("[BG w]\r\nspriteno = 0,0\r\nstart = -30,1\r\n") + c.keys + "\r\n",
                           c.spriteWidth));
        t.Draw();
        EXPECT_EQ(t.Columns(), c.columns);
        EXPECT_EQ(t.Rows(), c.rows);
        if (c.spriteWidth == 1) {
            EXPECT_EQ(t.Span(30), (std::pair<int, int>{6, 9}));
        }
    }
}

// An animated floor (1.1: type = parallax with actionno) steps through its frames as an anim does,
// drawing each frame's sprite (4 wide, then 10 wide) by the floor's rules; spriteno is then unused.
TEST(ModernFloors, AnimatedFloorsDrawTheirActionsCurrentFrame) {
    const char* action = "[Begin Action 2]\r\n0,0,0,0,2\r\n0,1,0,0,3\r\n";
    for (const char* sprite : {"", "spriteno = 0,1\r\n"}) {
        SCOPED_TRACE(sprite);
        ModernText t;
        ASSERT_TRUE(t.Load("mugenversion = 1.1",
                           std::string("[BG f]\r\ntype = parallax\r\nactionno = 2\r\nstart = -30,1\r\n") + sprite,
                           4, action));
        std::vector<std::string> seen;
        for (int update = 0; update < 6; ++update) {
            t.Draw();
            seen.push_back(t.Columns());
        }
        const std::string narrow = "..####..................", wide = "..##########............";
        EXPECT_EQ(seen, (std::vector<std::string>{narrow, narrow, wide, wide, wide, narrow}));
        EXPECT_EQ(t.Rows(), ".###........") << "rows as the floor's";
    }
}

// The floor rules, on a 16 x 8 floor whose axis stands at (24, 20) or (32, 20) of the picture:
// - xscale = 1,2: the top edge scrolls at delta, the bottom edge (the sprite's last row) at twice
//   that, whatever the vertical scale;
// - yscalestart 100, yscaledelta 100: the vertical scale is 1 / (1 + camera y), about the axis row
//   (a ceiling hanging from its bottom row keeps meeting the wall under it);
// - width = 8,24: the top row is 8 wide, centred on the element's x whatever the sprite's axis.
TEST(ModernFloors, RowsFollowTheFloorRules) {
    struct Case {
        const char* name;
        int axisX, axisY;
        const char* keys;
        float cameraX, cameraY;  // as the user sees them
        int row;                 // the picture row looked at
        std::pair<int, int> span;
        int firstRow, lastRow;  // rows with anything drawn
    };
    const Case cases[] = {
        {"xscale: top row at delta", 0, 0, "start = -8,20\r\nxscale = 1,2", 8, 0, 20, {16, 31}, 20, 27},
        {"xscale: last row near twice delta", 0, 0, "start = -8,20\r\nxscale = 1,2", 8, 0, 27, {9, 24}, 20, 27},
        // Scaled twice as tall, drawn row 14 shows source row 7 and scrolls as it does unscaled.
        {"xscale stretched: source row 7", 0, 0, "start = -8,20\r\nxscale = 1,2", 8, -0.5f, 34, {9, 24}, 20, 35},
        {"floor hanging from its top row, scale 2", 0, 0, "start = -8,20", 0, -0.5f, 20, {24, 39}, 20, 35},
        {"ceiling hanging from its bottom row, scale 2", 0, 8, "start = -8,20", 0, -0.5f, 19, {24, 39}, 4, 19},
        {"ceiling hanging from its bottom row, scale 1/2", 0, 8, "start = -8,20", 0, 1, 19, {24, 39}, 16, 19},
        {"width: axis at the left", 0, 0, "start = 0,20\r\nwidth = 8,24", 0, 0, 20, {28, 35}, 20, 27},
        {"width: axis at the right", 16, 0, "start = 0,20\r\nwidth = 8,24", 0, 0, 20, {28, 35}, 20, 27},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModernText t;
        t.sprites = {SolidSprite(0, 0, static_cast<int16_t>(c.axisX), static_cast<int16_t>(c.axisY), 16, 8)};
        ASSERT_TRUE(t.Load("mugenversion = 1.1", std::string("[BG f]\r\ntype = parallax\r\nspriteno = 0,0\r\n"
                                                             "delta = 1,0\r\nyscalestart = 100\r\nyscaledelta = 100\r\n") +
                                                     c.keys + "\r\n"));
        t.camera.CameraX = t.camera.PrevCameraX = -c.cameraX;
        t.camera.CameraY = t.camera.PrevCameraY = c.cameraY;
        t.Draw();
        EXPECT_EQ(t.Span(c.row), c.span);
        int first = -1, last = -1;
        for (int y = 0; y < 64; ++y)
            if (t.Span(y).first >= 0) first = first < 0 ? y : first, last = y;
        EXPECT_EQ(first, c.firstRow);
        EXPECT_EQ(last, c.lastRow);
    }
}

// A 4 x 3 sprite at (2, 1); an "anim" element steps by its spacing alone.
TEST(ModernTiles, CountsSpacingByVersionAnimSpacingAndFloors) {
    struct Case {
        const char* name;
        const char* info;
        const char* element;
        const char* columns;
        const char* rows;
    };
    const Case cases[] = {
        {"three tiles exactly", "", "tile = 3,0\r\ntilespacing = 2,0", "..####..####..####......", ".###........"},
        {"one-value spacing, 1.0: no y spacing", "mugenversion = 1.0", "tile = 0,2\r\ntilespacing = 2",
         "..####..................", ".######....."},
        {"one-value spacing, older: y copies x", "", "tile = 0,2\r\ntilespacing = 2", "..####..................",
         ".###..###..."},
        {"anim without spacing is not tiled", "", "type = anim\r\nactionno = 1\r\ntile = 3,3",
         "..####..................", ".###........"},
        {"anim steps by its spacing", "", "type = anim\r\nactionno = 1\r\ntile = 2,0\r\ntilespacing = 6,0",
         "..####..####............", ".###........"},
        {"anim spacing 0 on y: tiled along x only", "", "type = anim\r\nactionno = 1\r\ntile = 2,2\r\ntilespacing = 5,0",
         "..####.####.............", ".###........"},
        {"a floor never tiles downwards", "", "type = parallax\r\ntile = 0,2", nullptr, ".###........"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ModernText t;
        ASSERT_TRUE(t.Load(c.info, std::string("[BG t]\r\nspriteno = 0,0\r\nstart = -30,1\r\n") + c.element + "\r\n"));
        t.Draw();
        if (c.columns) {
            EXPECT_EQ(t.Columns(), c.columns);
        }
        EXPECT_EQ(t.Rows(), c.rows);
    }
}

// The root sways by a sine; the linked element must stand at the root's offset of the same update
// (read after the root moved on, it would run an update ahead).
TEST(ModernLinks, LinkedElementsFollowTheRootsSineOfTheSameUpdate) {
    ModernText t;
    ASSERT_TRUE(t.Load("mugenversion = 1.0",
                       "[BG root]\r\nspriteno = 0,0\r\nstart = -30,1\r\nsin.x = 6, 8, 0\r\n"
                       "[BG child]\r\nspriteno = 0,0\r\nstart = 0,20\r\npositionlink = 1\r\n"));
    for (int update = 0; update < 12; ++update) {
        t.Draw();
        SCOPED_TRACE(update);
        EXPECT_EQ(t.frame.Drawn[1].x, t.frame.Drawn[0].x);
        EXPECT_EQ(t.frame.Drawn[1].y, t.frame.Drawn[0].y + 20);
    }
}

}  // namespace
}  // namespace qb

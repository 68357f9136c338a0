#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "render/compose32.h"
#include "render/draw_modern.h"
#include "render/layer_stacks.h"
#include "stage/sff2_stage_sprites.h"
#include "tests/render/render_fixture.h"

namespace qb {
namespace {

using test::TinyStage;

constexpr int kW = 8, kH = 6;

// A version 2 sprite drawn from the layout: '.' is colour 0, every other letter the colour of its
// code, with the row runs the loader builds.
int16_t IndexedSprite(TinyStage& t, const std::vector<std::string>& rows) {
    const int16_t s = t.AddSprite(rows);
    auto picture = std::make_shared<Sff2Picture>();
    picture->width = static_cast<int>(rows[0].size());
    picture->height = static_cast<int>(rows.size());
    picture->size = rows.size() * rows[0].size();
    picture->bytes = std::make_unique<uint8_t[]>(picture->size);
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            picture->bytes[y * rows[0].size() + x] = rows[y][x] == '.' ? 0 : static_cast<uint8_t>(rows[y][x]);
    BuildOpaqueRuns(*picture);
    t.stage.Sprites[s].Picture = picture;
    return s;
}

// Draws one placed element as the pass does (tiles without end laid across the picture), so the
// culled pass can be compared with drawing everything.
void DrawPlaced(TinyStage& t, Picture32& picture, const ModernDraw& d, const Source32* source = nullptr) {
    const BgElement& e = t.stage.Elements[d.index];
    const SpriteEntry& s = t.stage.Sprites[d.sprite];
    int64_t x = d.x;
    if (e.TileX == 1)
        while (x > 0) x -= s.Width;
    do {
        BlitSprite32(t.stage, t.camera, picture, static_cast<int32_t>(x), d.y, s.Width, s.Height, d.sprite, 0, 0,
                     d.index, 1, source);
        x += s.Width;
    } while (e.TileX == 1 && x < picture.Width);
}

// Which rows of an 8 x 6 picture an element covers wholly with opaque pixels. Sprites: '.' is the
// mask colour (colour 0 of the indexed ones), so an element that masks it has a hole there; a
// version 1 bitmap that masks is never taken as covering (its rows would have to be read).
TEST(ModernCulling, OnlyOpaqueCopiesFromEdgeToEdgeCoverRows) {
    const struct {
        const char* name;
        std::vector<std::string> rows;
        int x, y;
        const char* trans;
        int mask, tileX, window;
        bool indexed;
        float zoomOut;
        const char* covered;  // one letter a picture row: '#' covered
    } cases[] = {
        {"opaque, as wide as the picture", {"RRRRRRRR", "RRRRRRRR"}, 0, 2, "none", 0, 0, 0, false, 1, "..##.."},
        {"wider, hanging over both edges", {"RRRRRRRRRR"}, -1, 5, "none", 0, 0, 0, false, 1, ".....#"},
        {"off the top", {"RRRRRRRR", "RRRRRRRR"}, 0, -1, "none", 0, 0, 0, false, 1, "#....."},
        {"one column short", {"RRRRRRRR"}, 1, 0, "none", 0, 0, 0, false, 1, "......"},
        {"tiled without end", {"RG", "RG", "RG"}, 3, 1, "none", 0, 1, 0, false, 1, ".###.."},
        {"masked: rows with a hole stay", {"RRRRRRRRRRRRRRRRRRRRRRRR", "RRRRRRRRRRR.RRRRRRRRRRRR", "RRRRRRRRRRRRRRRRRRRRRRRR"}, -8, 0, "none", 1, 0, 0, true, 1, "#.#..."},
        {"unmasked: the hole is drawn", {"RRRRRRRR", "RRR.RRRR"}, 0, 0, "none", 0, 0, 0, true, 1, "##...."},
        {"masked bitmap", {"RRRRRRRR"}, 0, 0, "none", 1, 0, 0, false, 1, "......"},
        {"added", {"RRRRRRRR"}, 0, 0, "add", 0, 0, 0, false, 1, "......"},
        {"windowed", {"RRRRRRRR"}, 0, 0, "none", 0, 0, 1, false, 1, "......"},
        {"a stage that zooms", {"RRRRRRRR"}, 0, 0, "none", 0, 0, 0, false, 0.5f, "......"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TinyStage t(kW, kH);
        const int16_t s = c.indexed ? IndexedSprite(t, c.rows) : t.AddSprite(c.rows);
        BgElement& e = t.AddElement("normal", s, static_cast<float>(c.x), static_cast<float>(c.y));
        e.Trans = c.trans;
        e.MaskKey = static_cast<int16_t>(c.mask);
        e.TileX = c.tileX;
        e.HasWindow = static_cast<uint8_t>(c.window);
        t.stage.ZoomOut = c.zoomOut;
        t.camera.ViewRight = kW;
        t.camera.ViewBottom = kH;
        Picture32 picture(kW, kH);
        std::vector<int> cover(kH, -1);
        MarkCoveredRows(t.stage, t.camera, picture, {0, s, c.x, c.y}, 3, cover);
        std::string got;
        for (int v : cover) got += v == 3 ? '#' : '.';
        EXPECT_EQ(got, c.covered);
    }
}

// A sky over the whole picture, a translucent cloud over rows 0-2, a band of ground over rows 2-3
// and a masked hill (wider than the picture: tiny pictures keep no row runs) over rows 4-5 whose
// second row has a hole: each element is drawn only in the rows
// no later one covers, the clear only where nothing covers, and the picture is the one drawing
// everything gives.
TEST(ModernCulling, HiddenRowsAreLeftOutAndThePictureIsUnchanged) {
    TinyStage t(kW, kH);
    const int16_t sky = t.AddSprite(std::vector<std::string>(kH, "BBBBBBBB"));
    const int16_t cloud = t.AddSprite({"WWWWWWWW", "WWWWWWWW", "WWWWWWWW"});
    const int16_t ground = t.AddSprite({"GGGGGGGG", "GGGGGGGG"});
    const int16_t hill = IndexedSprite(t, {"YYYYYYYYYYYYYYYYYYYYYYYY", "YYYYYYYYYY..YYYYYYYYYYYY"});
    t.AddElement("normal", sky).Trans = "none";
    t.AddElement("normal", cloud).Trans = "add";
    t.AddElement("normal", ground, 0, 2).Trans = "none";
    BgElement& h = t.AddElement("normal", hill, -8, 4);
    h.MaskKey = 1;
    t.camera.ViewRight = kW;
    t.camera.ViewBottom = kH;
    const std::vector<ModernDraw> draws = {{0, sky, 0, 0}, {1, cloud, 0, 0}, {2, ground, 0, 2}, {3, hill, -8, 4}};

    Picture32 whole(kW, kH, 0xFF123456u);
    ClearPicture32(whole);
    for (const ModernDraw& d : draws) DrawPlaced(t, whole, d);

    Picture32 culled(kW, kH, 0xFF123456u);  // a previous frame's leftovers
    std::vector<std::string> bands(draws.size());
    DrawModernPass(t.stage, t.camera, culled, draws, 0xFF000000u, [&](const ModernDraw& d, const Source32*) {
        bands[static_cast<size_t>(d.index)] += std::to_string(std::max(culled.ClipTop, 0)) + "-" +
                                               std::to_string(std::min(culled.ClipBottom, kH)) + " ";
        DrawPlaced(t, culled, d);
    });
    EXPECT_EQ(bands, (std::vector<std::string>{"0-2 5-6 ", "0-2 5-6 ", "0-4 5-6 ", "0-6 "}));
    EXPECT_EQ(culled.Pixels, whole.Pixels);
    EXPECT_EQ(culled.ClipTop, 0);  // the whole picture again for what draws next
    EXPECT_GT(culled.ClipBottom, kH);
}

// Masked layers tiled alike at the same corner, through the same colours, are drawn as one stack (one
// draw, the backmost layer's, with the stack's source); a layer elsewhere, through other colours or
// blended splits the stacks. The picture is the one drawing every layer gives, also after a reload
// gives a layer a new picture.
TEST(ModernCulling, LayersOnTheSamePixelsAreDrawnAsOneStack) {
    TinyStage t(kW, kH);
    auto colours = std::make_shared<Sff2Colours>();
    for (size_t c = 0; c < 1024; ++c) colours->rgba[c] = static_cast<uint8_t>(c % 4 == 3 ? 255 : c * 7);
    auto other = std::make_shared<Sff2Colours>(*colours);
    other->rgba[4 * 'Q'] = 1;
    std::vector<ModernDraw> draws;
    auto layer = [&](const std::vector<std::string>& rows, int x, std::shared_ptr<Sff2Colours> c) {
        const int16_t s = IndexedSprite(t, rows);
        t.stage.Sprites[s].Colours = c;
        t.stage.Sprites[s].Expanded = ExpandIndexed(*t.stage.Sprites[s].Picture, *c);
        BgElement& e = t.AddElement("normal", s, static_cast<float>(x), 1);
        e.MaskKey = 1;
        e.TileX = 1;
        draws.push_back({static_cast<int16_t>(draws.size()), s, x, 1});
    };
    layer({"AAAAA", "A...A", "AAAAA"}, 2, colours);  // stacked with the next two
    layer({"..BB.", ".B..B", "....."}, 2, colours);
    layer({"...C.", "..CCC", "..C.."}, 2, colours);
    layer({"DD...", ".DDD.", "...DD"}, 3, colours);  // elsewhere
    layer({"E.E.E", ".E.E.", "E.E.E"}, 2, colours);  // alone: the next has other colours
    layer({"QQQ..", "..Q..", "..QQQ"}, 2, other);    // stacked with the next
    layer({"R...R", "R...R", "R...R"}, 2, other);
    layer({"SSSSS", "S.S.S", "SSSSS"}, 2, other);    // blended
    t.stage.Elements[7].Trans = "add";
    t.camera.ViewRight = kW;
    t.camera.ViewBottom = kH;
    LayerStacks stacks;
    std::vector<int> drawn;
    auto check = [&] {
        Picture32 whole(kW, kH), stacked(kW, kH);
        ClearPicture32(whole);
        for (const ModernDraw& d : draws) DrawPlaced(t, whole, d);
        drawn.clear();
        DrawModernPass(
            t.stage, t.camera, stacked, draws, 0xFF000000u,
            [&](const ModernDraw& d, const Source32* source) {
                drawn.push_back(d.index);
                DrawPlaced(t, stacked, d, source);
            },
            nullptr, &stacks);
        EXPECT_EQ(stacked.Pixels, whole.Pixels);
    };
    check();
    EXPECT_EQ(drawn, (std::vector<int>{0, 3, 4, 5, 7}));
    check();
    EXPECT_EQ(stacks.Count(), 2u);  // kept from the last pass

    const int16_t fresh = IndexedSprite(t, {"Z..Z.", ".Z..Z", "Z.Z.."});
    SpriteEntry& reloaded = t.stage.Sprites[draws[1].sprite];
    reloaded.Picture = t.stage.Sprites[fresh].Picture;
    reloaded.Expanded = ExpandIndexed(*reloaded.Picture, *colours);
    check();
    EXPECT_EQ(stacks.Count(), 3u);
}

}  // namespace
}  // namespace qb

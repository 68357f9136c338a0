#include "tools/bg_commands.h"
#include "tools/sprite_browser.h"

#include <gtest/gtest.h>
#include <png.h>

#include "demo/sff2_writer.h"
#include "demo/sff_writer.h"
#include "platform/sff2_decoder.h"
#include "platform/sff_decoder.h"
#include "tests/support/temp_dir.h"

#include "platform/paths.h"
#include "platform/text_util.h"
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
    ShowStuff(f.stage, fields);
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
    EXPECT_EQ(b.StartX, before.StartX);
    ShowElement(f.stage, 5, fields);  // outside the table: nothing happens
}

TEST(BgCommands, WriteToStageFileFollowsReorderedElementsAndRefusesRemoved) {
    StageFixture f;
    const std::string path = f.WriteStage("test", kStage);
    ASSERT_TRUE(f.Load(path));
    EditState edit;
    BeginEditBaseline(f.stage, f.load.Source, edit);
    SwapElements(f.stage, edit, 0, 1);  // "b" is now first in the model, still second in the file
    f.stage.Elements[0].DeltaX = 2;
    WriteBackResult r = WriteToStageFile(f.stage, edit, path);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.linesChanged, 1);
    EXPECT_NE(f.mugen.Read("stages/test.def")
                  .find("[BG b]\ntype = normal\nspriteno = 0,0\nstart = 3,4\ndelta = 2,0.5\n"),
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

// The first element draws unmasked whatever its lines say; one that moves into or out of first place
// shows the mask a reading of the written file gives it.
TEST(BgCommands, AnElementChangingFirstPlaceDrawsTheMaskTheFileGivesIt) {
    StageFixture f;
    const std::string path = f.WriteStage(
        "test", "[BGdef]\nspr = stages/test.sff\n[BG a]\ntype = normal\nspriteno = 0,0\ntrans = add\n"
                "[BG b]\ntype = normal\nspriteno = 0,0\nmask = 1\n[BG c]\ntype = normal\nspriteno = 0,0\n");
    ASSERT_TRUE(f.Load(path));
    EditState edit;
    BeginEditBaseline(f.stage, f.load.Source, edit);
    const auto masks = [](const StageModel& s) {
        std::string m;
        for (const BgElement& e : s.Elements) m += e.Name + std::to_string(e.Mask) + " ";
        return m;
    };
    for (std::pair<int, int> swap : {std::pair{0, 1}, {1, 2}, {0, 1}}) {
        SwapElements(f.stage, edit, swap.first, swap.second);
        const WriteBackResult r = WriteToStageFile(f.stage, edit, path);
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.linesChanged + r.linesAdded, 0) << "a new order adds no mask line";
        StageFixture again;
        ASSERT_TRUE(again.Load(path));
        EXPECT_EQ(masks(f.stage), masks(again.stage));
    }
    EXPECT_EQ(masks(f.stage), "c0 b1 a1 ");
    // The box shows and edits the first element's own mask; the picture keeps it unmasked.
    ShowStuff(f.stage, edit.Fields);
    ShowElement(f.stage, 0, edit.Fields, &edit);
    edit.Fields.chkMask = true;
    ASSERT_EQ(UpdateStuff(f.stage, edit.Fields, 0, &edit.Source.Elements[2]), "");
    EXPECT_EQ(f.stage.Elements[0].Mask, 0);
    EXPECT_EQ(f.stage.Elements[0].OwnMask, 1);
    RemoveElement(f.stage, edit, 0);
    EXPECT_EQ(masks(f.stage), "b0 a1 ") << "the new first element is drawn unmasked";
}

TEST(BgCommands, TestButtonsRewriteOnlyTheMusicLines) {
    test::TempDir program;
    const std::string dir = program.Path().string();
    EXPECT_FALSE(Command3_Click(dir));  // no test.def yet
    EXPECT_EQ(Command4_Click(dir), -1);
    const std::string def =
        "[Music]\r\nbgmusic = a.mp3   ; intro\r\n; bgmusic = x\r\nBGMUSIC = y\r\nbgvolume = 5\r\n";
    program.Write("test.def", def);
    EXPECT_EQ(Command4_Click(dir), static_cast<int64_t>(def.size()));

    ASSERT_TRUE(Command5_Click(dir));
    EXPECT_EQ(program.Read("shout.def"),
              "[Music]\r\nbgmusic = f:\\mugen\\suckme.mp3   ; intro\r\n; bgmusic = x\r\nBGMUSIC = "
              "y\r\nbgvolume = 5\r\n");
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

TEST(SpriteBrowser, CaptionCountsFromOneAndTheRangeFollowsTheTable) {
    StageModel stage;
    SpriteBrowserState browser;
    OpenSpriteBrowser(browser, stage);
    EXPECT_EQ(ShownSpriteRow(browser, stage), -1);
    EXPECT_EQ(SpriteBrowserCaption(browser, stage), "SFF");

    stage.Sprites.resize(121);  // a spare row past the counted ones is never shown
    stage.SpriteCount = 120;
    stage.Sprites[119].Group = 40;
    stage.Sprites[119].Image = 3;
    OpenSpriteBrowser(browser, stage);
    EXPECT_EQ(SpriteBrowserCaption(browser, stage), "(1/120)  Group: 0  Image: 0");
    browser.Value = FindSpriteRow(stage, 40, 3);
    EXPECT_EQ(SpriteBrowserCaption(browser, stage), "(120/120)  Group: 40  Image: 3");
    stage.SpriteFile = "/m/stages\\Old.Town.sff";
    EXPECT_EQ(SpriteFileNameFor(browser, stage), "Old.Town-40-3.png");
    EXPECT_EQ(FindSpriteRow(stage, 40, 4), -1);
    stage.Sprites[119].Width = 640;
    stage.Sprites[119].Height = 48;
    stage.Sprites[119].AxisX = -12;
    stage.Sprites[119].AxisY = 300;
    EXPECT_EQ(SpriteDetailsText(stage, 119), "Size: 640 x 48  Axis: -12, 300");
    EXPECT_EQ(SpriteDetailsText(stage, 120), "") << "the spare row is not shown";
    EXPECT_EQ(SpriteDetailsText(stage, -1), "");

    // A stage with fewer sprites loaded while the window stays open.
    stage.SpriteCount = 5;
    EXPECT_EQ(ShownSpriteRow(browser, stage), 4);
    EXPECT_EQ(SpriteBrowserCaption(browser, stage), "(5/5)  Group: 0  Image: 0");
    stage.SpriteCount = 0;
    EXPECT_EQ(ShownSpriteRow(browser, stage), -1);
    EXPECT_FALSE(SaveShownSprite(browser, stage, "/nonexistent/x.png"));
    // Reloaded (or another stage): the table is back and so is the whole range.
    stage.SpriteCount = 120;
    browser.Value = 119;
    EXPECT_EQ(ShownSpriteRow(browser, stage), 119);
    EXPECT_EQ(SpriteBrowserCaption(browser, stage), "(120/120)  Group: 40  Image: 3");
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

std::vector<std::string> RawLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return lines;
}

// The boxes show what the file says, every digit, and Update takes what the file can say and refuses
// the rest with the reason: nothing else is marked as unwritten.
TEST(BgCommands, UpdateTakesOnlyWhatTheFileWillRead) {
    constexpr const char* kTricky =
        "[BGdef]\nspr = stages/test.sff\n"
        "[BG A]\ntype = normal\nspriteno = 0,0\ndelta = 1.263888888888889,1\nvelocity = 0.1,0\n"
        "[BG L]\ntype = normal\nspriteno = 0,0\npositionlink = 1\n"
        "[BG N]\ntype = anim\nactionno = 5\ntilespacing = 4,9\n"
        "[BG M]\nactionno = 5\n"
        "[Begin Action 5]\n0,0,0,0,-1\n";
    struct Case {
        const char* name;
        int16_t element;
        std::string BgEditorFields::*box;
        const char* typed;
        const char* refused;  // a part of the answer; empty when taken
        bool unwritten;
    };
    const Case cases[] = {
        {"unchanged", 0, &BgEditorFields::txtDeltaX, nullptr, "", false},
        {"digits typed", 0, &BgEditorFields::txtDeltaX, "1.26388888", "", false},
        {"delta y", 0, &BgEditorFields::txtDeltaY, "2", "", true},
        {"linked velocity", 1, &BgEditorFields::txtVelY, "2", "position-linked", false},
        {"anim y spacing", 2, &BgEditorFields::txtTileSpcY, "7", "x spacing both ways", false},
        {"anim only", 3, &BgEditorFields::txtType, "normal", "read back as anim", false},
        {"null", 0, &BgEditorFields::txtType, "null", "out of the stage", false},
        {"no sprite", 0, &BgEditorFields::txtGfx, "5", "no sprite of the stage", false},
        {"type spelled", 0, &BgEditorFields::txtType, " Para", "", true},
    };
    for (const Case& c : cases) {
        StageFixture f;
        const std::string path = f.WriteStage("test", kTricky);
        ASSERT_TRUE(f.Load(path));
        EditState edit;
        ShowStuff(f.stage, edit.Fields);
        BeginEditBaseline(f.stage, f.load.Source, edit);
        ShowElement(f.stage, c.element, edit.Fields, &edit);
        // The linked element shows the delta it takes from its parent.
        EXPECT_EQ(edit.Fields.txtDeltaX, c.element < 2 ? "1.263888888888889" : "1") << c.name;
        EXPECT_EQ(edit.Fields.txtVelX, c.element < 2 ? "0.1" : "0") << c.name;
        if (c.typed) edit.Fields.*c.box = c.typed;
        const std::string answer = UpdateStuff(f.stage, edit.Fields, c.element, &edit.Source.Elements[c.element]);
        if (*c.refused == '\0')
            EXPECT_EQ(answer, "") << c.name;
        else
            EXPECT_NE(answer.find(c.refused), std::string::npos) << c.name << ": " << answer;
        EXPECT_EQ(HasUnwrittenEdits(f.stage, edit), c.unwritten) << c.name;
        if (!c.unwritten) continue;
        ASSERT_TRUE(WriteToStageFile(f.stage, edit, path).ok) << c.name;
        StageFixture again;
        ASSERT_TRUE(again.Load(path));
        EXPECT_TRUE(again.stage.Elements[0] == f.stage.Elements[0]) << c.name;
    }
}

// What the stage file lacks, case by case: the element boxes start empty for each stage (they
// showed the previous stage's element); a reorder, a layer or a sprite is written too; a write clears it.
TEST(BgCommands, UnwrittenEditsAreWhatTheStageFileLacks) {
    struct Case {
        const char* name;
        void (*edit)(StageModel&, EditState&);
        bool unwritten;
    };
    const Case cases[] = {
        {"nothing", [](StageModel&, EditState&) {}, false},
        {"Update unchanged",
         [](StageModel& s, EditState& e) {
             ShowElement(s, 1, e.Fields);
             UpdateStuff(s, e.Fields, 1);
         },
         false},
        {"reordered", [](StageModel& s, EditState& e) { SwapElements(s, e, 0, 1); }, true},
        {"layer", [](StageModel& s, EditState&) { s.Elements[1].LayerNo = 1; }, true},
        {"sprite",
         [](StageModel& s, EditState& e) {
             ShowElement(s, 1, e.Fields);
             e.Fields.txtGfx = "1";
             UpdateStuff(s, e.Fields, 1);
         },
         true},
        {"moved with Update",
         [](StageModel& s, EditState& e) {
             ShowElement(s, 0, e.Fields);
             e.Fields.txtXpos = "41";
             UpdateStuff(s, e.Fields, 0);
         },
         true},
        {"camera start",
         [](StageModel& s, EditState& e) {
             e.Fields.txtcamstartx = "20";
             UpdateStuff(s, e.Fields, -1);
         },
         true},
        {"removed", [](StageModel& s, EditState& e) { RemoveElement(s, e, 1); }, true},
        {"cloned", [](StageModel& s, EditState&) { CloneElement(s, 0); }, true},
    };
    for (const Case& c : cases) {
        StageFixture f;
        const std::string path =
            f.WriteStage("test", kStage, {test::SolidSprite(0, 0), test::SolidSprite(3, 1)});
        ASSERT_TRUE(f.Load(path));
        EditState edit;
        ShowStuff(f.stage, edit.Fields);
        edit.Fields.txtXpos = "99";  // as a previous stage's element left it
        BeginEditBaseline(f.stage, f.load.Source, edit);
        EXPECT_EQ(edit.Fields.txtXpos, "") << c.name;
        c.edit(f.stage, edit);
        EXPECT_EQ(HasUnwrittenEdits(f.stage, edit), c.unwritten) << c.name;
        if (!c.unwritten || f.stage.Elements.size() != 2) continue;
        // Save Changes has the edited values too, and a write leaves nothing unwritten.
        ASSERT_TRUE(cmdSave_Click(f.stage, "", f.program.Dir()));
        if (std::string(c.name) == "moved with Update") {
            EXPECT_NE(f.program.Read("test.def").find("start = 41,2\r\n"), std::string::npos);
        }
        ASSERT_TRUE(WriteToStageFile(f.stage, edit, path).ok) << c.name;
        EXPECT_FALSE(HasUnwrittenEdits(f.stage, edit)) << c.name;
    }
}

// Three elements of a real stage edited through the editor's boxes and Update, then written: the file
// differs from the original in exactly the edited lines, and loads with the edited values.
TEST(BgCommands, WriteToACorpusStageChangesOnlyTheEditedLines) {
    const auto corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    StageFixture f;
    const auto dir = corpus / "stages" / "kazzmir__kfm";
    for (const char* name : {"kfm.def", "kfm.sff"})
        f.mugen.Write(std::string("stages/") + name,
                      ReadFileBytes((dir / name).string(), 1u << 26).value_or(""));
    const std::string path = (f.mugen.Path() / "stages/kfm.def").string();
    const std::string original = f.mugen.Read("stages/kfm.def");
    ASSERT_TRUE(f.Load(path));
    ASSERT_GE(f.stage.Elements.size(), 3u);
    EditState edit;
    ShowStuff(f.stage, edit.Fields);  // as the stage start fills the camera boxes
    BeginEditBaseline(f.stage, f.load.Source, edit);
    for (int16_t i : {0, 1, 2}) {
        ShowElement(f.stage, i, edit.Fields);
        edit.Fields.txtXpos = text::NumberText(f.stage.Elements[i].BaseX + 10 + i);
        if (i == 1) edit.Fields.txtDeltaX = "0.25";
        UpdateStuff(f.stage, edit.Fields, i);
    }
    const WriteBackResult r = WriteToStageFile(f.stage, edit, path);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(f.mugen.Read("stages/kfm.def.bak"), original);

    const auto before = RawLines(original), after = RawLines(f.mugen.Read("stages/kfm.def"));
    ASSERT_EQ(before.size() + static_cast<size_t>(r.linesAdded), after.size());
    int changed = 0;
    for (size_t i = 0, j = 0; i < before.size() && j < after.size(); ++i, ++j) {
        if (before[i] == after[j]) continue;
        ++changed;
        EXPECT_TRUE(after[j].find("start") != std::string::npos ||
                    after[j].find("delta") != std::string::npos)
            << after[j];
    }
    EXPECT_EQ(changed, r.linesChanged);
    EXPECT_EQ(r.linesChanged + r.linesAdded, 4);

    StageFixture again;
    ASSERT_TRUE(again.Load(path));
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(again.stage.Elements[i].StartX, text::RoundClampInt32(f.stage.Elements[i].BaseX)) << i;
    EXPECT_FLOAT_EQ(again.stage.Elements[1].DeltaX, 0.25f);
}

// The boxes of the 1.0 and 1.1 keys, from ShowElement through Update to the stage file and back: a
// value goes onto the line the parser read (a window that changes its kind renames that line) or is
// added to the element's section; a box that cannot be taken writes nothing.
TEST(BgCommands, ModernBoxesRoundTripThroughTheStageFile) {
    constexpr const char* kModern =
        "[Camera]\nboundleft = -150\n[BGdef]\nspr = stages/test.sff\n"
        "[BG a]\ntype = normal\nspriteno = 0,0\nscalestart = 2, 2 ; big\n  window = 0,0,10,10 ; view\n"
        "[BG floor]\ntype = parallax\nspriteno = 0,0\nxscale = 1,2\n";
    struct Case {
        const char* name;
        int16_t element;
        void (*edit)(BgEditorFields&);
        std::vector<std::string> lines;  // in the written file ({} when nothing is written)
        const char* refusedBox;          // named in Update's answer
        // The written file loads with the edited values (the parse reads every key but maskwindow).
        bool reloads;
    };
    const Case cases[] = {
        {"unchanged", 1, [](BgEditorFields&) {}, {}, nullptr, true},
        {"scale and zoom",
         0,
         [](BgEditorFields& b) {
             b.txtScaleStartX = "1.5";
             b.txtScaleDeltaY = "0.25";
             b.txtZoomDelta = "0.5";
         },
         {"scalestart = 1.5,2 ; big\n  window = 0,0,10,10 ; view\nscaledelta = 0,0.25\nzoomdelta = 0.5\n[BG"},
         nullptr,
         true},
        {"width over xscale",
         1,
         [](BgEditorFields& b) {
             b.txtWidthTop = "300";
             b.txtWidthBottom = "600";
         },
         {"xscale = 1,2\nwidth = 300,600\n"},
         nullptr,
         true},
        {"window",
         0,
         [](BgEditorFields& b) { b.txtWindow = "5, 6,70,80.5"; },
         {"  window = 5,6,70,80.5 ; view\n"},
         nullptr,
         true},
        // The window's own line becomes the maskwindow line: two lines would leave the last one.
        {"window to maskwindow",
         0,
         [](BgEditorFields& b) {
             b.txtWindow.clear();
             b.txtMaskWindow = "0,0,20,30";
         },
         {"  maskwindow = 0,0,20,30 ; view\n[BG floor]"},
         nullptr,
         false},
        {"maskwindow added",
         1,
         [](BgEditorFields& b) { b.txtMaskWindow = "1,2,3,4"; },
         {"xscale = 1,2\nmaskwindow = 1,2,3,4\n"},
         nullptr,
         false},
        {"three window values", 0, [](BgEditorFields& b) { b.txtWindow = "1,2,3"; }, {}, "Window", false},
        {"two windows", 0, [](BgEditorFields& b) { b.txtMaskWindow = "1,2,3,4"; }, {}, "MaskWindow", false},
        {"half a width", 1, [](BgEditorFields& b) { b.txtWidthTop = "300"; }, {}, "Width bottom", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StageFixture f;
        const std::string path = f.WriteStage("test", kModern);
        ASSERT_TRUE(f.Load(path));
        EditState edit;
        ShowStuff(f.stage, edit.Fields);
        BeginEditBaseline(f.stage, f.load.Source, edit);
        ShowElement(f.stage, c.element, edit.Fields);
        c.edit(edit.Fields);
        const std::string refused = UpdateStuff(f.stage, edit.Fields, c.element);
        EXPECT_EQ(refused.empty() ? "" : refused.substr(8, refused.find(" holds") - 8),
                  c.refusedBox ? c.refusedBox : "")
            << refused;
        ASSERT_TRUE(WriteToStageFile(f.stage, edit, path).ok);
        const std::string written = f.mugen.Read("stages/test.def");
        if (c.lines.empty()) {
            EXPECT_EQ(written, kModern);
        }
        for (const std::string& line : c.lines) EXPECT_NE(written.find(line), std::string::npos) << written;
        if (!c.reloads) continue;
        StageFixture again;
        ASSERT_TRUE(again.Load(path));
        EXPECT_TRUE(CaptureEditable(again.stage).Elements[c.element] ==
                    CaptureEditable(f.stage).Elements[c.element]);
    }
}

// A PNG as Save PNG wrote it: its colour type (from the header) and its pixels as RGBA.
std::pair<int, std::vector<uint8_t>> ReadBack(const std::string& path) {
    const auto bytes = ReadFileBytes(path, 1 << 20);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!bytes || bytes->size() < 26 ||
        !png_image_begin_read_from_memory(&image, bytes->data(), bytes->size()))
        return {-1, {}};
    image.format = PNG_FORMAT_RGBA;
    std::vector<uint8_t> rgba(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) rgba.clear();
    return {static_cast<uint8_t>((*bytes)[25]), rgba};
}

TEST(SpriteBrowser, SavePngWritesTheSpritesOwnPixelsAndPalette) {
    test::TempDir dir;
    demo::Palette first{}, second{};
    first[3] = 203, first[4] = 101, first[5] = 7;     // colour 1: no 5-6-5 colour is this one
    first[6] = 255, first[8] = 255;                   // colour 2: magenta, an ordinary colour here
    second[3] = 9, second[4] = 250, second[5] = 131;  // colour 1 in the second palette
    const demo::Picture picture{3, 1, {0, 1, 2}};
    const demo::SffSprite own{0, 0, 0, 0, picture, first}, shared{0, 1, 0, 0, picture, {}, true},
        other{1, 0, 0, 0, picture, second}, link{2, 0, 0, 0, {}, {}, false, 1};
    StageModel stage;
    stage.SpriteFile = dir.Write("stages/s.sff", demo::WriteSff({own, shared, other, link})).string();
    stage.Sprites.resize(4);
    stage.SpriteCount = 4;
    stage.Sprites[0].Mask = stage.Sprites[3].Mask = 1;
    const struct {
        int row;
        const char *typed, *written;
        std::vector<uint8_t> rgba;
    } cases[] = {
        {0, "a", "a.png", {0, 0, 0, 0, 203, 101, 7, 255, 255, 0, 255, 255}},        // masked: colour 0 clear
        {1, "b.PNG", "b.PNG", {0, 0, 0, 255, 203, 101, 7, 255, 255, 0, 255, 255}},  // the shared palette
        {2, "c.pic", "c.pic", {0, 0, 0, 255, 9, 250, 131, 255, 0, 0, 0, 255}},
        {3, "d", "d.png", {0, 0, 0, 0, 203, 101, 7, 255, 255, 0, 255, 255}},  // the linked sprite's picture
    };
    SpriteBrowserState browser;
    OpenSpriteBrowser(browser, stage);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        browser.Value = c.row;
        ASSERT_TRUE(SaveShownSprite(browser, stage, (dir.Path() / c.typed).string()));
        EXPECT_EQ(ReadBack((dir.Path() / c.written).string()),
                  std::make_pair(int{PNG_COLOR_TYPE_PALETTE}, c.rgba));
    }
    stage.SpriteFile = (dir.Path() / "gone.sff").string();
    EXPECT_FALSE(SaveShownSprite(browser, stage, (dir.Path() / "e.png").string()));
}

}  // namespace
}  // namespace qb

namespace qb {
namespace {

// A version 2 table as the stage loader fills it: each entry with its decoded picture and the
// colours of the palette its node names.
TEST(SpriteBrowser, Version2SpritesShowAndSaveWithTheirAlpha) {
    const std::vector<uint8_t> rgba = {255, 0, 0, 255, 0, 255, 0, 77, 0, 0, 255, 0, 10, 20, 30, 200};
    demo::Sff2Palette palette{1, 1, {}, -1};
    for (int c = 0; c < 256; ++c) palette.rgba.insert(palette.rgba.end(), {uint8_t(c), 7, uint8_t(255 - c), 255});
    std::vector<demo::Sff2Sprite> nodes(2);
    nodes[0] = {0, 0, 0, 0, kSff2Png32, 32, 2, 2, rgba, 0, -1, false};
    nodes[1] = {0, 1, 0, 0, kSff2Lz5, 8, 2, 1, {0, 3}, 0, -1, false};
    const std::string file = demo::WriteSff2(nodes, {palette}, 1);
    const auto index = ReadSff2(file);
    ASSERT_TRUE(index);
    Sff2Sheet sheet = DecodeSff2Sheet(file, *index, kMaxDecodedBytes);
    ASSERT_EQ(sheet.palettes.size(), 1u);
    StageModel stage;
    stage.Sprites.resize(2);
    stage.SpriteCount = 2;
    for (size_t k = 0; k < 2; ++k) {
        stage.Sprites[k].Picture = std::make_shared<Sff2Picture>(std::move(sheet.pictures[k]));
        stage.Sprites[k].Colours = std::make_shared<Sff2Colours>(sheet.palettes[0]);
        stage.Sprites[k].Image = static_cast<int16_t>(k);
    }
    stage.Sprites[1].Mask = 1;
    const std::vector<uint8_t> indexed = {0, 7, 255, 0, 3, 7, 252, 255};  // colour 0 clear: masked
    EXPECT_EQ(SpritePixels(stage, 0)->Bytes, rgba);
    EXPECT_EQ(SpritePixels(stage, 1)->Bytes, indexed);

    test::TempDir dir;
    SpriteBrowserState browser;
    OpenSpriteBrowser(browser, stage);
    for (const auto& [row, expected] : {std::pair{0, rgba}, std::pair{1, indexed}}) {
        browser.Value = row;
        const std::string path = (dir.Path() / ("v2-" + std::to_string(row))).string();
        ASSERT_TRUE(SaveShownSprite(browser, stage, path));
        EXPECT_EQ(ReadBack(path + ".png"), std::make_pair(int{PNG_COLOR_TYPE_RGB_ALPHA}, expected)) << row;
    }
}

}  // namespace
}  // namespace qb

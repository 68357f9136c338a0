#include "stage/write_back.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/stage/stage_fixture.h"

namespace qb {
namespace {

using test::StageFixture;

// LF line ends, a tab, comments glued to values, a controller between elements, a "null" element the
// parser drops, an element without delta, and no line end at the end of the file.
constexpr const char* kStage =
    "; my stage\n[Camera]\nstartx = 0 ; centre\nboundleft = -150\nboundright = 150\n\n"
    "[BGdef]\nspr = stages/wb.sff\n"
    "[BG Sky]\ntype = normal\nspriteno = 0,0\nstart\t= 0, 10   ; top\ndelta = 0.5,0.5\nunknown = 3\n\n"
    "[BGCtrlDef x]\nctrlid = 1\n[BGCtrl y]\ntype = null\n"
    "[BG Gone]\ntype = null\n"
    "[BG Floor]\ntype = normal\nspriteno = 0,0\nstart = 0,100\n"
    "[BG Tree]\ntype = normal\nspriteno = 0,0\nstart = 40,100\nmask = 1";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

struct WriteBackFixture : StageFixture {
    std::string path;
    EditableValues before;
    WriteBackFixture() {
        path = WriteStage("wb", kStage);
        EXPECT_TRUE(Load(path));
        before = CaptureEditable(stage);
    }
    // Edits three elements and the camera as the editor's commands do.
    void Edit() {
        stage.Elements[0].StartX += 7;     // moved: start
        stage.Elements[1].DeltaX = 0.25f;  // no delta line: added at the section's end
        stage.Elements[2].Mask = 0;        // the file's last line, without a line end
        stage.Elements[2].VelocityX = 1.5f;
        stage.BoundLeft = -200;
    }
};

TEST(WriteBack, RewritesOnlyTheChangedLinesAndReloads) {
    WriteBackFixture f;
    f.Edit();
    const WriteBackResult r = WriteBackStage(f.path, f.load.Source, f.before, CaptureEditable(f.stage));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.linesChanged, 3);
    EXPECT_EQ(r.linesAdded, 2);
    const std::string want =
        "; my stage\n[Camera]\nstartx = 0 ; centre\nboundleft = -200\nboundright = 150\n\n"
        "[BGdef]\nspr = stages/wb.sff\n"
        "[BG Sky]\ntype = normal\nspriteno = 0,0\nstart\t= 7,10   ; top\ndelta = 0.5,0.5\nunknown = 3\n\n"
        "[BGCtrlDef x]\nctrlid = 1\n[BGCtrl y]\ntype = null\n"
        "[BG Gone]\ntype = null\n"
        "[BG Floor]\ntype = normal\nspriteno = 0,0\nstart = 0,100\ndelta = 0.25,1\n"
        "[BG Tree]\ntype = normal\nspriteno = 0,0\nstart = 40,100\nmask = 0\nvelocity = 1.5,0";
    EXPECT_EQ(f.mugen.Read("stages/wb.def"), want);
    EXPECT_EQ(f.mugen.Read("stages/wb.def.bak"), kStage);

    StageFixture again;
    ASSERT_TRUE(again.Load(f.path));
    EXPECT_EQ(again.stage.BoundLeft, -200);
    EXPECT_EQ(again.stage.Elements[0].StartX, 7);
    EXPECT_FLOAT_EQ(again.stage.Elements[1].DeltaX, 0.25f);
    EXPECT_EQ(again.stage.Elements[2].Mask, 0);
    EXPECT_FLOAT_EQ(again.stage.Elements[2].VelocityX, 1.5f);

    // A second write keeps the first backup: it stays the original.
    f.before = CaptureEditable(f.stage);
    f.stage.Elements[0].TileX = 1;
    ASSERT_TRUE(WriteBackStage(f.path, MapStageSource(f.mugen.Read("stages/wb.def")), f.before,
                               CaptureEditable(f.stage))
                    .ok);
    EXPECT_EQ(f.mugen.Read("stages/wb.def.bak"), kStage);
}

TEST(WriteBack, FailureBeforeTheRenameLeavesTheOriginal) {
    WriteBackFixture f;
    f.Edit();
    bool called = false;
    WriteBackOptions options;
    options.beforeRename = [&] {
        called = true;
        return false;
    };
    const WriteBackResult r =
        WriteBackStage(f.path, f.load.Source, f.before, CaptureEditable(f.stage), options);
    EXPECT_TRUE(called);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(f.mugen.Read("stages/wb.def"), kStage);
    for (const auto& e : std::filesystem::directory_iterator(f.mugen.Path() / "stages"))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

TEST(WriteBack, RefusesWhatItCannotMatch) {
    WriteBackFixture f;
    // Nothing changed: nothing written, no backup.
    EXPECT_TRUE(WriteBackStage(f.path, f.load.Source, f.before, CaptureEditable(f.stage)).ok);
    EXPECT_FALSE(std::filesystem::exists(f.path + ".bak"));
    // An element was added by the editor: the sections no longer line up with the elements.
    EditableValues after = CaptureEditable(f.stage);
    after.Elements.push_back({});
    EditableValues more = f.before;
    more.Elements.push_back({});
    EXPECT_FALSE(WriteBackStage(f.path, f.load.Source, f.before, after).ok);
    EXPECT_FALSE(WriteBackStage(f.path, f.load.Source, more, after).ok);
    EXPECT_EQ(f.mugen.Read("stages/wb.def"), kStage);
}

// The parser's own reading decides which line a value goes to: the line whose value it kept (the
// last of duplicate keys, the first type line), keys read under a later [Music] header, the blanks
// around "=" as written; a linked element's own start; a missing key after the element's own lines.
constexpr const char* kMapped =
    "[Camera]\r\nstartx = 0\r\nboundleft = -150\r\n[BGdef]\r\nspr = stages/m.sff\r\n"
    "[BG Floor]\r\ntype  =\tnormal\r\ntype = anim\r\nspriteno = 0,0\r\nstart = 0,100\r\n"
    "start = 5,11   ; kept\r\n\r\n"
    "[BG Lantern]\r\ntype = normal\r\nspriteno = 0,0\r\nstart = -95,-271\r\npositionlink = 1\r\n"
    "[Music]\r\ntile = 2,0\r\nbgmusic = x.mp3\r\n";

TEST(WriteBack, EditsTheLinesTheParserKept) {
    StageFixture f;
    const std::string path = f.WriteStage("m", kMapped);
    ASSERT_TRUE(f.Load(path));
    const EditableValues before = CaptureEditable(f.stage);
    ASSERT_EQ(before.Elements[1].StartX, -95);  // its own start, not the base it never gets
    BgElement& floor = f.stage.Elements[0];
    BgElement& lantern = f.stage.Elements[1];
    floor.StartX += 35;
    floor.Type = "parallax";
    lantern.StartX += 5;
    lantern.VelocityX = 3;  // its parent's on loading: a linked element's own line is never written
    lantern.LayerNo = 1;
    lantern.TileX = 3;
    f.stage.BoundLeft = -200;
    const WriteBackResult r = WriteBackStage(path, f.load.Source, before, CaptureEditable(f.stage));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(f.mugen.Read("stages/m.def"),
              "[Camera]\r\nstartx = 0\r\nboundleft = -200\r\n[BGdef]\r\nspr = stages/m.sff\r\n"
              "[BG Floor]\r\ntype  =\tparallax\r\ntype = anim\r\nspriteno = 0,0\r\nstart = 0,100\r\n"
              "start = 40,11   ; kept\r\n\r\n"
              "[BG Lantern]\r\ntype = normal\r\nspriteno = 0,0\r\nstart = -90,-271\r\npositionlink = 1\r\n"
              "layerno = 1\r\n[Music]\r\ntile = 3,0\r\nbgmusic = x.mp3\r\n");
    EXPECT_EQ(r.linesChanged, 5);
    EXPECT_EQ(r.linesAdded, 1);

    StageFixture again;
    ASSERT_TRUE(again.Load(path));
    EXPECT_EQ(again.stage.Elements[0].Type, "parallax");
    EXPECT_EQ(again.stage.Elements[0].StartX, 40);
    EXPECT_EQ(again.stage.Elements[1].StartX, -90);
    EXPECT_EQ(again.stage.Elements[1].TileX, 3);
    // The map of the written text is the one a fresh load makes.
    const StageSource remapped = MapStageSource(r.written);
    EXPECT_EQ(remapped.Elements[1].Keys, again.load.Source.Elements[1].Keys);
    EXPECT_EQ(remapped.Elements[1].Keys.at("layerno"), 18);
    EXPECT_EQ(remapped.Elements[1].Keys.at("tile"), 20);
}

// A read-only file changes nothing and says why. A symbolic link is written through, and stays a link.
TEST(WriteBack, RefusesAFileThatCannotBeWritten) {
    namespace fs = std::filesystem;
    struct Case {
        const char* name;
        std::string onDisk;  // written over the file after the load (empty: left alone)
        bool readOnly = false;
        const char* says;
    };
    const Case cases[] = {{"read-only", "", true, "read-only"}};
    for (const Case& c : cases) {
        StageFixture f;
        const std::string path = f.WriteStage("m", kMapped);
        ASSERT_TRUE(f.Load(path));
        const EditableValues before = CaptureEditable(f.stage);
        f.stage.Elements[0].StartX += 35;
        if (!c.onDisk.empty()) f.mugen.Write("stages/m.def", c.onDisk);
        if (c.readOnly) fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
        const std::string disk = f.mugen.Read("stages/m.def");
        const WriteBackResult r = WriteBackStage(path, f.load.Source, before, CaptureEditable(f.stage));
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_NE(r.error.find(c.says), std::string::npos) << c.name << ": " << r.error;
        EXPECT_EQ(f.mugen.Read("stages/m.def"), disk) << c.name;
        EXPECT_FALSE(fs::exists(path + ".bak")) << c.name;
    }

    StageFixture f;
    f.WriteStage("m", kMapped);
    const std::string real = f.program.Write("real/m.def", kMapped).string();
    const fs::path link = f.mugen.Path() / "stages/linked.def";
    fs::create_symlink(real, link);
    ASSERT_TRUE(f.Load(link.string()));
    const EditableValues before = CaptureEditable(f.stage);
    f.stage.Elements[0].StartX += 35;
    const WriteBackResult r = WriteBackStage(link.string(), f.load.Source, before, CaptureEditable(f.stage));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(f.program.Read("real/m.def").find("start = 40,11"), std::string::npos);
    EXPECT_TRUE(fs::exists(real + ".bak"));
}

// Each edit rewrites its own line only: unchanged digits and notes stay, a window goes to the line read
// last, layer, sprite and order are written, and reading the file again gives the edited values.
constexpr const char* kKept =
    "[Camera]\nboundleft = -150\n[BGdef]\nspr = stages/k.sff\n"
    "[BG A]\ntype = normal\nspriteno = 0,0\ndelta = 1.263888888888889, 1\nvelocity = .5, 0  was .4\n"
    "window = 0,0,10,10\nmaskwindow = 1,1,5,5   ; last wins\n\n; B comes next\n"
    "[BG B]\ntype = normal\nspriteno = 0,0\nstart = 3,4";

TEST(WriteBack, ChangesOnlyWhatTheEditChanged) {
    struct Case {
        const char* name;
        void (*edit)(EditableValues&);
        const char* from;  // replaced in kKept by `to`
        const char* to;
    };
    const Case cases[] = {
        {"delta y", [](EditableValues& v) { v.Elements[0].DeltaY = 2; }, "delta = 1.263888888888889, 1",
         "delta = 1.263888888888889,2"},
        {"velocity x", [](EditableValues& v) { v.Elements[0].VelocityX = 1.1f; }, "velocity = .5, 0  was .4",
         "velocity = 1.1,0  was .4"},
        {"mask window", [](EditableValues& v) { v.Elements[0].WindowX2 = 20; }, "maskwindow = 1,1,5,5",
         "maskwindow = 1,1,20,5"},
        {"window kind", [](EditableValues& v) { v.Elements[0].WindowKind = 1; }, "maskwindow = 1,1,5,5",
         "window = 1,1,5,5"},
        {"sprite and layer",
         [](EditableValues& v) {
             v.Elements[1].SpriteGroup = 3;
             v.Elements[1].SpriteImage = 1;
             v.Elements[1].LayerNo = 1;
         },
         "spriteno = 0,0\nstart = 3,4", "spriteno = 3,1\nstart = 3,4\nlayerno = 1"},
        {"order", [](EditableValues& v) { v.Order = {1, 0}; }, "", ""},
    };
    for (const Case& c : cases) {
        StageFixture f;
        const std::string path = f.WriteStage("k", kKept);
        ASSERT_TRUE(f.Load(path));
        const EditableValues before = CaptureEditable(f.stage);
        EditableValues after = before;
        c.edit(after);
        const WriteBackResult r = WriteBackStage(path, f.load.Source, before, after);
        ASSERT_TRUE(r.ok) << c.name << ": " << r.error;
        std::string want = kKept;
        if (after.Order.empty()) {
            want.replace(want.find(c.from), std::string(c.from).size(), c.to);
        } else {
            // The sections change places; the blank line and the comment between them stay.
            const size_t a = want.find("[BG A]"), gap = want.find("\n\n; B"), b = want.find("[BG B]");
            want = want.substr(0, a) + want.substr(b) + "\n" + want.substr(gap + 1, b - gap - 1) +
                   want.substr(a, gap - a);
            after.Elements = {after.Elements[1], after.Elements[0]};
            EXPECT_EQ(r.sectionsMoved, 2);
        }
        EXPECT_EQ(f.mugen.Read("stages/k.def"), want) << c.name;
        StageFixture again;
        ASSERT_TRUE(again.Load(path));
        EXPECT_TRUE(CaptureEditable(again.stage).Elements == after.Elements) << c.name;
    }

    // Keys read under a later header belong to the element before it: its place cannot move.
    StageFixture f;
    const std::string stray = "[BG A]\nspriteno = 0,0\n[Music]\ntile = 2,0\n[BG B]\nspriteno = 0,0\n";
    const std::string path = f.WriteStage("s", stray);
    ASSERT_TRUE(f.Load(path));
    EditableValues after = CaptureEditable(f.stage);
    after.Order = {1, 0};
    const WriteBackResult r = WriteBackStage(path, f.load.Source, CaptureEditable(f.stage), after);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("element 1"), std::string::npos) << r.error;
    EXPECT_EQ(f.mugen.Read("stages/s.def"), stray);

    // A new order is not written into a file another program changed since the load.
    ASSERT_TRUE(f.Load(f.WriteStage("s", "[BG A]\nspriteno = 0,0\n[BG B]\nspriteno = 0,0\n")));
    f.WriteStage("s", "; theirs\n" + f.load.Source.Bytes);
    after = CaptureEditable(f.stage);
    after.Order = {1, 0};
    EXPECT_NE(WriteBackStage(path, f.load.Source, CaptureEditable(f.stage), after).error.find("drawing order"),
              std::string::npos);
    EXPECT_EQ(f.mugen.Read("stages/s.def"), "; theirs\n" + f.load.Source.Bytes);
}

// Another program saved the file after the load: the edits go into its version, every other byte as it
// wrote it; a line it changed, added or removed that an edit goes to is asked about, naming it.
TEST(WriteBack, PutsTheEditsIntoTheVersionOnDisk) {
    using Swaps = std::vector<std::pair<std::string, std::string>>;
    const std::string sky = "start\t= 0, 10   ; top", moved = "start = 3,10 ; moved";
    const std::string tree = "[BG Tree]\ntype = normal\nspriteno = 0,0\nstart = 40,100\nmask = 1";
    // The edits as they read where the other version still has the loaded lines.
    const Swaps edits = {
        {"boundleft = -150", "boundleft = -200"}, {sky, "start\t= 7,10   ; top"}, {"mask = 1", "mask = 0"}};
    struct Case {
        Swaps theirs;      // the other program's changes to the loaded text
        MsgAnswer answer;  // to the one question; Ok: none asked
        bool written;
        Swaps more = {};        // the write's changes besides `edits`
        const char* says = "";  // in the question, or the error
    };
    const char* changed =
        "Line 12 of wb.def ([BG Sky]) was changed by another program since the stage was loaded:\r\n    "
        "start = 3,10 ; moved\r\nYour edit makes it:\r\n    start = 7,10 ; moved";
    const char* removed =
        "Line 4 of wb.def ([Camera]) as it was loaded was removed by another program:\r\n    boundleft = "
        "-150";
    const char* gone = "[BG Sky] (line 9 when the stage was loaded) is no longer";
    const std::string kept = "= 150\nboundleft = -200\n";
    const Case cases[] = {
        {{{"boundright = 150", "boundright = 175"}}, MsgAnswer::Ok, true},
        {{{"\n" + tree, ""}, {"[BG Sky]", tree + "\n[BG Sky]"}}, MsgAnswer::Ok, true},  // sections moved
        {{{"\n", "\r\n"}}, MsgAnswer::Ok, true},
        {{{sky, "start = 7,10"}}, MsgAnswer::Ok, true},  // the same value
        {{{sky, moved}}, MsgAnswer::Yes, true, {{moved, "start = 7,10 ; moved"}}, changed},
        {{{sky, moved}}, MsgAnswer::No, true, {}, changed},
        {{{sky, moved}}, MsgAnswer::Cancel, false, {}, changed},
        {{{"boundleft = -150\n", ""}}, MsgAnswer::Yes, true, {{"= 150\n", kept}}, removed},
        {{{"[BG Sky]", "[BG Sky2]"}}, MsgAnswer::Ok, false, {}, gone},
    };
    for (const Case& c : cases) {
        WriteBackFixture f;
        f.stage.Elements[0].StartX += 7;
        f.stage.Elements[2].Mask = 0;
        f.stage.BoundLeft = -200;
        std::string disk = kStage, want;
        for (const auto& [from, to] : c.theirs) disk = Replaced(disk, from, to);
        f.mugen.Write("stages/wb.def", want = disk);
        for (const Swaps& swaps : {edits, c.more})
            for (const auto& [from, to] : swaps) want = c.written ? Replaced(want, from, to) : want;
        if (c.answer != MsgAnswer::Ok) f.ui.boxAnswers = {c.answer};
        WriteBackOptions options;
        options.ui = &f.ui;
        const WriteBackResult r =
            WriteBackStage(f.path, f.load.Source, f.before, CaptureEditable(f.stage), options);
        EXPECT_EQ(f.mugen.Read("stages/wb.def"), want) << disk;
        EXPECT_EQ(r.ok, c.written) << disk;
        EXPECT_EQ(f.mugen.Read("stages/wb.def.bak"), c.written ? disk : "") << disk;
        ASSERT_EQ(f.ui.boxes.size(), c.answer != MsgAnswer::Ok ? 1u : 0u) << disk;
        EXPECT_NE((f.ui.boxes.empty() ? r.error : f.ui.boxes[0].text).find(c.says), std::string::npos)
            << disk;
    }
}

}  // namespace
}  // namespace qb

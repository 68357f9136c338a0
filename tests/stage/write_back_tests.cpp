#include "stage/write_back.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "platform/text_util.h"
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

// `bytes` with line `number` (from 1) holding `body`; its line end stays.
std::string WithLine(const std::string& bytes, int32_t number, const std::string& body) {
    size_t begin = 0;
    for (int32_t n = 1; n < number; ++n) {
        begin = bytes.find_first_of("\r\n", begin);
        begin += bytes.compare(begin, 2, "\r\n") == 0 ? 2 : 1;
    }
    const size_t end = std::min(bytes.find_first_of("\r\n", begin), bytes.size());
    return bytes.substr(0, begin) + body + bytes.substr(end);
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
    lantern.VelocityX = 3;
    lantern.TileX = 3;
    f.stage.BoundLeft = -200;
    const WriteBackResult r = WriteBackStage(path, f.load.Source, before, CaptureEditable(f.stage));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(f.mugen.Read("stages/m.def"),
              "[Camera]\r\nstartx = 0\r\nboundleft = -200\r\n[BGdef]\r\nspr = stages/m.sff\r\n"
              "[BG Floor]\r\ntype  =\tparallax\r\ntype = anim\r\nspriteno = 0,0\r\nstart = 0,100\r\n"
              "start = 40,11   ; kept\r\n\r\n"
              "[BG Lantern]\r\ntype = normal\r\nspriteno = 0,0\r\nstart = -90,-271\r\npositionlink = 1\r\n"
              "velocity = 3,0\r\n[Music]\r\ntile = 3,0\r\nbgmusic = x.mp3\r\n");
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
    EXPECT_EQ(remapped.Elements[1].Keys.at("velocity"), 18);
    EXPECT_EQ(remapped.Elements[1].Keys.at("tile"), 20);
}

// Another program saved the file after the load: the edits (Sky's start, boundleft) go into its
// version, found through that version's own map, and every other byte stays as it wrote it. A line
// it changed, added or removed that an edit goes to is asked about; the answer decides that line.
TEST(WriteBack, PutsTheEditsIntoTheVersionOnDisk) {
    using Swaps = std::vector<std::pair<std::string, std::string>>;
    const std::string newSection = "[BG New]\ntype = normal\nspriteno = 0,0\nstart = 1,1\n";
    const std::string skyStart = "start\t= 0, 10   ; top";
    const std::string tree = "[BG Tree]\ntype = normal\nspriteno = 0,0\nstart = 40,100\nmask = 1";
    // The edits as they read in any version that still has the loaded lines.
    const Swaps edits = {{"boundleft = -150", "boundleft = -200"},
                         {skyStart, "start\t= 7,10   ; top"},
                         {"mask = 1", "mask = 0"}};
    struct Case {
        const char* name;
        Swaps theirs;  // the other program's changes to the loaded text
        std::deque<MsgAnswer> answers;
        bool written;
        Swaps more = {};            // the write's changes to their text besides `edits`
        const char* box = nullptr;  // in the one question asked
    };
    const Case cases[] = {
        {"another line", {{"boundright = 150", "boundright = 175"}}, {}, true},
        {"sections added and moved",
         {{"[BG Sky]", newSection + "[BG Sky]"}, {tree, ""}, {"[BGCtrlDef x]", tree + "\n[BGCtrlDef x]"}},
         {},
         true},
        {"line ends", {{"\n", "\r\n"}}, {}, true},
        {"same value", {{skyStart, "start = 7,10"}}, {}, true},
        {"same line, write mine",
         {{skyStart, "start = 3,10 ; moved"}},
         {MsgAnswer::Yes},
         true,
         {{"start = 3,10 ; moved", "start = 7,10 ; moved"}},
         "Line 12 of wb.def ([BG Sky]) was changed by another program since the stage was loaded:\r\n"
         "    start = 3,10 ; moved\r\nYour edit makes it:\r\n    start = 7,10 ; moved"},
        {"same line, keep theirs",
         {{skyStart, "start = 3,10 ; moved"}},
         {MsgAnswer::No},
         true,
         {},
         "start = 3,10 ; moved"},
        {"same line, cancel",
         {{skyStart, "start = 3,10 ; moved"}},
         {MsgAnswer::Cancel},
         false,
         {},
         "start = 3,10 ; moved"},
        {"line removed, write mine",
         {{"boundleft = -150\n", ""}},
         {MsgAnswer::Yes},
         true,
         {{"boundright = 150\n", "boundright = 150\nboundleft = -200\n"}},
         "Line 4 of wb.def ([Camera]) as it was loaded was removed by another program:\r\n"
         "    boundleft = -150"},
        {"line added",
         {{"[BG Floor]\ntype = normal\n", "[BG Floor]\ntype = normal\ndelta = 2,2\n"}},
         {MsgAnswer::Yes},
         true,
         {{"delta = 2,2", "delta = 0.25,1"}},
         "was added by another program"},
        {"section renamed", {{"[BG Sky]", "[BG Sky2]"}}, {}, false},
    };
    for (const Case& c : cases) {
        WriteBackFixture f;
        f.stage.Elements[0].StartX += 7;
        f.stage.Elements[2].Mask = 0;
        f.stage.BoundLeft = -200;
        if (std::string(c.name) == "line added") f.stage.Elements[1].DeltaX = 0.25f;
        std::string disk = kStage;
        for (const auto& [from, to] : c.theirs) disk = Replaced(disk, from, to);
        f.mugen.Write("stages/wb.def", disk);
        f.ui.boxAnswers = c.answers;
        WriteBackOptions options;
        options.ui = &f.ui;
        const WriteBackResult r =
            WriteBackStage(f.path, f.load.Source, f.before, CaptureEditable(f.stage), options);
        std::string want = disk;
        for (const Swaps& swaps : {edits, c.more})
            for (const auto& [from, to] : swaps) want = c.written ? Replaced(want, from, to) : want;
        EXPECT_EQ(f.mugen.Read("stages/wb.def"), want) << c.name;
        EXPECT_EQ(r.ok, c.written) << c.name << ": " << r.error;
        EXPECT_EQ(std::filesystem::exists(f.path + ".bak"), c.written) << c.name;
        if (c.written) {
            EXPECT_EQ(f.mugen.Read("stages/wb.def.bak"), disk) << c.name;
        }
        EXPECT_EQ(f.ui.boxes.size(), c.answers.size()) << c.name;
        if (c.box) {
            ASSERT_FALSE(f.ui.boxes.empty()) << c.name;
            EXPECT_NE(f.ui.boxes[0].text.find(c.box), std::string::npos)
                << c.name << ": " << f.ui.boxes[0].text;
            EXPECT_EQ(f.ui.boxes[0].buttons, MsgButtons::MineTheirsCancel);
        }
    }
    // Without anyone to ask, a line both changed writes nothing; the error names it. A section
    // that is gone is named too.
    WriteBackFixture f;
    f.stage.Elements[0].StartX += 7;
    f.mugen.Write("stages/wb.def", Replaced(kStage, skyStart, "start = 3,10"));
    WriteBackResult r = WriteBackStage(f.path, f.load.Source, f.before, CaptureEditable(f.stage));
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("Line 12 of wb.def"), std::string::npos) << r.error;
    f.mugen.Write("stages/wb.def", Replaced(kStage, "[BG Sky]", ""));
    r = WriteBackStage(f.path, f.load.Source, f.before, CaptureEditable(f.stage));
    EXPECT_NE(r.error.find("[BG Sky] (line 9 when the stage was loaded) is no longer in wb.def"),
              std::string::npos)
        << r.error;
}

// A read-only file is not written; a symbolic link is written through, and stays a link.
TEST(WriteBack, RefusesAReadOnlyFileAndWritesThroughALink) {
    namespace fs = std::filesystem;
    {
        StageFixture f;
        const std::string path = f.WriteStage("m", kMapped);
        ASSERT_TRUE(f.Load(path));
        const EditableValues before = CaptureEditable(f.stage);
        f.stage.Elements[0].StartX += 35;
        fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
        const WriteBackResult r = WriteBackStage(path, f.load.Source, before, CaptureEditable(f.stage));
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.error.find("read-only"), std::string::npos) << r.error;
        EXPECT_EQ(f.mugen.Read("stages/m.def"), kMapped);
        EXPECT_FALSE(fs::exists(path + ".bak"));
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

// Real stages: an edit in the editor, another program's change to boundright, then Write. The file
// differs from the other program's version in exactly the two edited lines, and reads back with all
// three values.
TEST(WriteBack, CorpusStagesKeepAnotherProgramsChange) {
    const auto corpus = test::CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    int stages = 0;
    for (const char* folder : {"stages", "stages_v2"}) {
        if (!std::filesystem::exists(corpus / folder)) continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(corpus / folder)) {
            if (entry.path().extension() != ".def") continue;
            StageFixture f;
            if (!f.Load(entry.path().string()) || f.stage.Elements.empty()) continue;
            const StageSource& source = f.load.Source;
            const auto right = source.StageKeys.find("boundright");
            const auto left = source.StageKeys.find("boundleft");
            const auto start = source.Elements.back().Keys.find("start");
            if (!source.Complete || right == source.StageKeys.end() || left == source.StageKeys.end() ||
                start == source.Elements.back().Keys.end())
                continue;
            ++stages;
            const std::string name = entry.path().string();
            const EditableValues before = CaptureEditable(f.stage);
            f.stage.Elements.back().StartX += 7;
            f.stage.BoundLeft -= 10;
            // The other program: boundright's line with the value 25 further, every other byte kept.
            const std::string disk = WithLine(source.Bytes, right->second,
                                              "boundright = " + std::to_string(f.stage.BoundRight + 25));
            const std::vector<std::string> theirs = text::SplitTextLines(disk);
            const std::string path = f.program.Write("copy.def", disk).string();
            WriteBackOptions options;
            options.ui = &f.ui;
            const WriteBackResult r = WriteBackStage(path, source, before, CaptureEditable(f.stage), options);
            ASSERT_TRUE(r.ok) << name << ": " << r.error;
            EXPECT_TRUE(f.ui.boxes.empty()) << name;
            const std::vector<std::string> written = text::SplitTextLines(f.program.Read("copy.def"));
            ASSERT_EQ(written.size(), theirs.size()) << name;
            for (size_t i = 0; i < written.size(); ++i) {
                const int32_t number = static_cast<int32_t>(i) + 1;
                if (number == left->second)
                    EXPECT_NE(written[i].find("= " + std::to_string(f.stage.BoundLeft)), std::string::npos)
                        << name;
                else if (number != start->second)
                    EXPECT_EQ(written[i], theirs[i]) << name;
                else
                    EXPECT_NE(written[i], theirs[i]) << name;
            }
        }
    }
    EXPECT_GT(stages, 0);
}

}  // namespace
}  // namespace qb

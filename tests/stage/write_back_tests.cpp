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
        stage.Elements[0].BaseX += 7;      // moved: start
        stage.Elements[1].DeltaX = 0.25f;  // no delta line: added at the section's end
        stage.Elements[2].Mask = 0;        // the file's last line, without a line end
        stage.Elements[2].VelocityX = 1.5f;
        stage.BoundLeft = -200;
    }
};

TEST(WriteBack, RewritesOnlyTheChangedLinesAndReloads) {
    WriteBackFixture f;
    f.Edit();
    const WriteBackResult r = WriteBackStage(f.path, f.before, CaptureEditable(f.stage));
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
    ASSERT_TRUE(WriteBackStage(f.path, f.before, CaptureEditable(f.stage)).ok);
    EXPECT_EQ(f.mugen.Read("stages/wb.def.bak"), kStage);
}

TEST(WriteBack, FailureBeforeTheRenameLeavesTheOriginal) {
    WriteBackFixture f;
    f.Edit();
    bool called = false;
    const WriteBackResult r = WriteBackStage(f.path, f.before, CaptureEditable(f.stage), [&] {
        called = true;
        return false;
    });
    EXPECT_TRUE(called);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(f.mugen.Read("stages/wb.def"), kStage);
    for (const auto& e : std::filesystem::directory_iterator(f.mugen.Path() / "stages"))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

TEST(WriteBack, RefusesWhatItCannotMatch) {
    WriteBackFixture f;
    // Nothing changed: nothing written, no backup.
    EXPECT_TRUE(WriteBackStage(f.path, f.before, CaptureEditable(f.stage)).ok);
    EXPECT_FALSE(std::filesystem::exists(f.path + ".bak"));
    // An element was added by the editor: the sections no longer line up with the elements.
    EditableValues after = CaptureEditable(f.stage);
    after.Elements.push_back({});
    EditableValues more = f.before;
    more.Elements.push_back({});
    EXPECT_FALSE(WriteBackStage(f.path, f.before, after).ok);
    EXPECT_FALSE(WriteBackStage(f.path, more, after).ok);
    EXPECT_EQ(f.mugen.Read("stages/wb.def"), kStage);
}

}  // namespace
}  // namespace qb

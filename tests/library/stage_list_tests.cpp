#include <gtest/gtest.h>

#include "library/open_stage.h"
#include "library/stage_list.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"

namespace qb::test {
namespace {

TEST(LoadFilestoList, ListsDefinitionsSortedWithoutTheirEnding) {
    TempDir mugen;
    for (const char* name : {"kfm.def", "Temple.DEF", "notes.txt", "a.default.def", "old.def.bak"}) {
        mugen.Write(std::string("Stages/") + name, "x");
    }
    std::filesystem::create_directories(mugen.Path() / "Stages" / "folder.def");
    FakeUi ui;
    StageList list;
    // The folder is named "stages" by convention; the disk says "Stages".
    ASSERT_TRUE(LoadFilestoList(list, ui, mugen.Dir() + "stages\\", ".def"));
    EXPECT_EQ(list.Names, (std::vector<std::string>{"a", "kfm", "Temple"}));
    EXPECT_EQ(list.Files[0], (mugen.Path() / "Stages" / "a.default.def").string());
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(LoadFilestoList, NoFilesIsToldAndTheListStays) {
    TempDir mugen;
    mugen.Write("stages/readme.txt", "x");
    FakeUi ui;
    StageList list;
    list.Names = {"kept"};
    EXPECT_FALSE(LoadFilestoList(list, ui, mugen.Dir() + "stages", ".def"));
    EXPECT_FALSE(LoadFilestoList(list, ui, mugen.Dir() + "nowhere", ".def"));
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text, "No files.. uh.. ");
    EXPECT_EQ(ui.boxes[1].text, "No files.. uh.. ");
    EXPECT_EQ(list.Names, (std::vector<std::string>{"kept"}));
}

TEST(StageListNavigation, NextPreviousAndRandomRules) {
    StageList empty;
    EXPECT_EQ(NextStageIndex(empty), -1);
    EXPECT_EQ(PrevStageIndex(empty), -1);
    EXPECT_EQ(RandomStageIndex(empty, 0.5), -1);

    StageList list;
    list.Names = {"a", "b", "c"};
    EXPECT_EQ(NextStageIndex(list), 0);  // nothing selected: the first
    EXPECT_EQ(PrevStageIndex(list), -1);
    list.Select(0);
    EXPECT_EQ(PrevStageIndex(list), -1);  // no wrap at the top
    EXPECT_EQ(NextStageIndex(list), 1);
    list.Select(2);
    EXPECT_EQ(NextStageIndex(list), -1);  // no wrap at the bottom
    EXPECT_EQ(PrevStageIndex(list), 1);
    EXPECT_EQ(RandomStageIndex(list, 0.0), 0);
    EXPECT_EQ(RandomStageIndex(list, 0.34), 1);
    EXPECT_EQ(RandomStageIndex(list, 0.9999), 2);
    EXPECT_EQ(RandomStageIndex(list, 1.0), 2);  // never past the end
}

TEST(RecentFiles, MoveToTopAndKeepSix) {
    std::vector<std::string> recent;
    AddRecentFile(recent, "/s/a.def");
    AddRecentFile(recent, "/s/b.def");
    AddRecentFile(recent, "/s/a.def");
    EXPECT_EQ(recent, (std::vector<std::string>{"/s/a.def", "/s/b.def"}));
    AddRecentFile(recent, "/s/A.def");  // letter case makes a different entry
    EXPECT_EQ(recent.size(), 3u);
    for (const char* p : {"/s/c.def", "/s/d.def", "/s/e.def"}) AddRecentFile(recent, p);
    ASSERT_EQ(recent.size(), 6u);
    AddRecentFile(recent, "/s/f.def");
    EXPECT_EQ(recent, (std::vector<std::string>{"/s/f.def", "/s/e.def", "/s/d.def", "/s/c.def", "/s/A.def",
                                                "/s/a.def"}));
    PromoteRecentFile(recent, 4);
    EXPECT_EQ(recent.front(), "/s/A.def");
    EXPECT_EQ(recent[1], "/s/f.def");
    PromoteRecentFile(recent, 9);
    EXPECT_EQ(recent.front(), "/s/A.def");
}

TEST(OpenPaths, TheFileEndingDecides) {
    EXPECT_EQ(ClassifyDialogAnswer("").Target, OpenTarget::None);
    EXPECT_EQ(ClassifyDialogAnswer("/s/Pack.ZIP").Target, OpenTarget::Package);
    const OpenPath def = ClassifyDialogAnswer(" /s/city.def ");
    EXPECT_EQ(def.Target, OpenTarget::Definition);
    EXPECT_EQ(def.Path, "/s/city.def");

    // A folder named like a definition does not turn the package into "/my.def".
    const OpenPath dropped = ClassifyDroppedFiles({"/my.default/x.zip"});
    EXPECT_EQ(dropped.Target, OpenTarget::Package);
    EXPECT_EQ(dropped.Path, "/my.default/x.zip");
    const OpenPath last = ClassifyDroppedFiles({"/a.def", "/notes.txt", "/b.DEF", "/c.sff"});
    EXPECT_EQ(last.Path, "/b.DEF");
    EXPECT_EQ(ClassifyDroppedFiles({"/notes.txt"}).Target, OpenTarget::None);
}

}  // namespace
}  // namespace qb::test

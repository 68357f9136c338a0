#include <gtest/gtest.h>

#include "tests/support/fakes.h"
#include "platform/file_dialog.h"

namespace qb::test {
namespace {

TEST(Dialog, FilterPairsFlagsAndStartFolder) {
    EXPECT_EQ(SplitDialogFilter("a|*.x"), (std::vector<std::pair<std::string, std::string>>{{"a", "*.x"}}));
    EXPECT_EQ(SplitDialogFilter("DEF Files|*.def|Music files|*.mp3;*.ogg|"),
              (std::vector<std::pair<std::string, std::string>>{{"DEF Files", "*.def"},
                                                                {"Music files", "*.mp3;*.ogg"}}));
    FakeUi ui;
    clsDialog cdl;
    cdl.ShowOpen(ui, "Pick", "/start", "a|*.x", kOfnFileMustExist);
    ASSERT_EQ(ui.openRequests.size(), 1u);
    EXPECT_EQ(ui.openRequests[0].title, "Pick");
    EXPECT_EQ(ui.openRequests[0].initialDir, "/start");
    EXPECT_TRUE(ui.openRequests[0].fileMustExist);
    EXPECT_FALSE(ui.openRequests[0].pathMustExist);
}

TEST(Dialog, RemembersTheLastChoiceAndCancelKeepsIt) {
    FakeUi ui;
    clsDialog cdl;
    ui.openAnswers = {" /games/mugen/stages/city.def "};
    EXPECT_EQ(cdl.ShowOpen(ui, "t", "/games", "a|*.def", 6144), "/games/mugen/stages/city.def");
    EXPECT_EQ(cdl.FileName(), "/games/mugen/stages/city.def");
    EXPECT_EQ(cdl.ShowOpen(ui, "t", "", "a|*.def", 6144), "");  // cancelled
    EXPECT_EQ(ui.openRequests.back().initialDir, "/games/mugen/stages/");
    EXPECT_EQ(cdl.FileName(), "/games/mugen/stages/city.def");

    ui.saveAnswers = {"/out/stage"};
    EXPECT_EQ(cdl.ShowSave(ui, "Save", "", "DEF|*.def", "def", 0), "/out/stage.def");
    EXPECT_EQ(cdl.FileName(), "/out/stage.def");
}

TEST(Dialog, FolderBrowserAnswersWithoutTrailingSeparator) {
    FakeUi ui;
    ui.folderAnswers = {"/games/MUGEN/", "/", ""};
    EXPECT_EQ(BrowseForFolder(ui, "Where?"), "/games/MUGEN");
    EXPECT_EQ(BrowseForFolder(ui, "Where?"), "/");
    EXPECT_EQ(BrowseForFolder(ui, "Where?"), "");
    EXPECT_EQ(ui.folderPrompts[0], "Where?");
}

}  // namespace
}  // namespace qb::test

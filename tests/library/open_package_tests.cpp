#include "library/open_package.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

bool Empty(const std::string& dir) {
    return fs::is_empty(dir);
}

}  // namespace

// What a package gives is answered, never shown: the caller boxes the refusal. A package that does
// not open leaves nothing on disk.
TEST(OpenPackage, AnswersTheStageOrWhyNot) {
    const std::string stage = "[Info]\nname = \"S\"\n[Camera]\nstartx = 0\n";
    struct Case {
        std::string name;
        std::vector<ZipItem> items;  // none: the file is not a zip archive
        std::string preferred;
        std::deque<int> answers;  // the chooser's answers (-1: Cancel)
        std::string entry;        // the entry opened; empty: none
        std::string refusal;      // text the refusal holds; empty: none
        size_t choices;
    };
    const std::vector<Case> cases = {
        {"not a zip", {}, "", {}, "", "ZIP ERROR!", 0},
        {"sprites only", {{"a.sff", "SFF"}}, "", {}, "", "holds no stage definition", 0},
        {"no camera", {{"a.def", "[Info]\nname = a\n"}}, "", {}, "", "a.def has no [Camera] section", 0},
        {"one stage", {{"st/a.def", stage}, {"st/a.sff", "SFF"}, {"readme.txt", "x"}}, "", {}, "st/a.def", "", 0},
        // The last one listed is preselected; a reload's entry is taken without asking.
        {"two stages", {{"a.def", stage}, {"b.def", stage}}, "", {}, "b.def", "", 1},
        {"two, preferred", {{"a.def", stage}, {"b.def", stage}}, "a.def", {}, "a.def", "", 0},
        {"two, preferred gone", {{"a.def", stage}, {"b.def", stage}}, "c.def", {0}, "a.def", "", 1},
        {"two, cancelled", {{"a.def", stage}, {"b.def", stage}}, "", {-1}, "", "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir root, temp;
        const std::string zip = (root.Path() / "p.zip").string();
        if (c.items.empty())
            root.Write("p.zip", "PK not really");
        else
            ASSERT_TRUE(WriteZip(zip, c.items));
        DataDirs dirs;
        dirs.Temp = temp.Dir();
        FakeUi ui;
        ui.chooseAnswers = c.answers;
        PackageOpen open = OpenPackage(zip, dirs, ui, c.preferred);
        EXPECT_EQ(open.Opened(), !c.entry.empty());
        EXPECT_EQ(open.package.DefinitionEntry, c.entry);
        EXPECT_EQ(open.package.FromPackage, open.Opened());
        EXPECT_EQ(ui.choices.size(), c.choices);
        EXPECT_TRUE(ui.boxes.empty());
        if (c.refusal.empty()) {
            EXPECT_TRUE(open.refusal.empty()) << open.refusal;
        } else {
            EXPECT_NE(open.refusal.find(c.refusal), std::string::npos) << open.refusal;
            EXPECT_NE(open.refusal.find(zip), std::string::npos);  // the box names the package
        }
        if (open.Opened()) {
            // Only definitions and sprite files come out, inside the package's own folder.
            EXPECT_TRUE(fs::exists(open.definition));
            EXPECT_EQ(open.definition.rfind(open.package.Folder, 0), 0u);
            for (const std::string& file : open.package.CreatedFiles)
                EXPECT_EQ(file.find("readme"), std::string::npos) << file;
        }
        DeleteExtractedFiles(open.package);
        EXPECT_TRUE(Empty(temp.Dir()));
    }
}

}  // namespace qb::test

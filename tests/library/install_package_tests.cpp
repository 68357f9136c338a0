#include "library/install_package.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

const std::string kStage = "[Info]\nname = \"S\"\n[Camera]\nstartx = 0\n";

// Every path under `root` (links not followed), so that a test sees anything written where it should not be.
std::set<std::string> Tree(const fs::path& root) {
    std::set<std::string> paths;
    for (const auto& e : fs::recursive_directory_iterator(root))
        paths.insert(fs::relative(e.path(), root).string());
    return paths;
}

}  // namespace

// What reaches the disk is the package's folder under stages/ or nothing: hostile names land flat
// inside it, links and unusable names are skipped and told, a collision or a refused package leaves
// the tree as it was.
TEST(InstallPackage, InstallsIntoItsOwnFolderOrLeavesTheTreeAlone) {
    struct Case {
        std::string name, zipName;
        std::vector<ZipItem> items;  // none: the file is not a zip archive
        std::string existing;        // made under stages/ first ("d/": a folder)
        std::set<std::string> made;  // what the install adds under stages/; empty: refused
        std::string refusal;
        size_t skipped = 0;
        size_t warned = 0;
    };
    const std::vector<Case> cases = {
        {"plain",
         "Cool Stage.zip",
         {{"Cool/cool.def", kStage + "[BGdef]\nspr = cool.sff\n"}, {"Cool/cool.sff", "SFF"}},
         "",
         {"Cool Stage", "Cool Stage/cool.def", "Cool Stage/cool.sff"},
         ""},
        // Written for stages/ itself: the engine would look for stages/w.sff.
        {"sprite named by stages/",
         "w.zip",
         {{"w.def", kStage + "[BGdef]\nspr = \"stages\\W.sff\" ; sprites\n"}, {"W.sff", "S"}},
         "",
         {"w", "w/w.def", "w/W.sff"},
         "",
         0,
         1},
        {"hostile names",
         "h.ZIP",
         {{"../../up.def", kStage},
          {"/abs/x.sff", "S"},
          {"C:\\win\\y.txt", "Y"},
          {"..", "Z"},
          {"link.def", "/etc/passwd", true},
          {"a/\x01.sff", "Q"}},
         "",
         {"h", "h/up.def", "h/x.sff", "h/y.txt"},
         "",
         3},
        {"folder in another case", "kfm.zip", {{"kfm.def", kStage}}, "KFM/", {}, "exists already"},
        {"file of that name", "kfm.zip", {{"kfm.def", kStage}}, "kfm", {}, "exists already"},
        {"not a zip", "p.zip", {}, "", {}, "ZIP ERROR!"},
        {"no stage", "chars.zip", {{"kfm.def", "[Files]\nsprite = kfm.sff\n"}}, "", {}, "Not a stage!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir mugen, source;
        mugen.Write("stages/other.def", kStage);
        if (!c.existing.empty()) {
            if (c.existing.back() == '/')
                fs::create_directories(mugen.Path() / "stages" / c.existing);
            else
                mugen.Write("stages/" + c.existing, "mine");
        }
        const std::string zip = (source.Path() / c.zipName).string();
        if (c.items.empty())
            source.Write(c.zipName, "PK not really");
        else
            ASSERT_TRUE(WriteZip(zip, c.items));
        const std::set<std::string> before = Tree(mugen.Path());
        const PackageInstall installed = InstallPackage(zip, mugen.Dir(), false);
        std::set<std::string> added;
        for (const std::string& p : Tree(mugen.Path()))
            if (!before.count(p)) added.insert(fs::path(p).lexically_relative("stages").string());
        EXPECT_EQ(added, c.made);
        EXPECT_EQ(installed.Installed(), c.refusal.empty());
        EXPECT_NE(installed.refusal.find(c.refusal), std::string::npos) << installed.refusal;
        EXPECT_EQ(installed.collision, c.refusal == "exists already");
        EXPECT_EQ(installed.skipped.size(), c.skipped);
        EXPECT_EQ(installed.warnings.size(), c.warned);
        EXPECT_EQ(installed.stages.size(), c.refusal.empty() ? 1u : 0u);
        if (!c.existing.empty() && c.existing.back() != '/') {
            EXPECT_EQ(mugen.Read("stages/" + c.existing), "mine");
        }
    }
}

// A package that declares more than opening allows writes nothing, not even its first entries.
TEST(InstallPackage, RefusesAPackageTooLargeWithoutWritingIt) {
    TempDir mugen, source;
    fs::create_directories(mugen.Path() / "stages");
    std::vector<RawZipItem> items = {{"big.def", kStage, 0, 0, Crc32(kStage), kStage.size()}};
    for (int i = 0; i < 5; ++i)
        items.push_back({"part" + std::to_string(i) + ".sff", "x", 0, 0, 0, 250ull << 20});
    source.Write("big.zip", RawZip(items));
    const PackageInstall installed = InstallPackage((source.Path() / "big.zip").string(), mugen.Dir(), false);
    EXPECT_NE(installed.refusal.find("would unpack to"), std::string::npos) << installed.refusal;
    EXPECT_TRUE(fs::is_empty(mugen.Path() / "stages"));
}

// The Replace? question: No keeps the old folder and says nothing more; Yes exchanges it whole (an
// old file the package lacks goes too) and then asks about the stage-select list, whose answer
// appends the stage's line, keeps the old list as .bak, and is told in the closing message.
TEST(InstallPackage, AskingReplacesOnlyWhenToldAndAddsToTheSelectList) {
    TempDir mugen, source;
    mugen.Write("stages/pack/old.txt", "old");
    mugen.Write("data/select.def", "[Characters]\r\nkfm\r\n[ExtraStages]\r\n");
    const std::string zip = (source.Path() / "pack.zip").string();
    ASSERT_TRUE(WriteZip(zip, {{"new.def", kStage}}));
    FakeUi no;
    no.boxAnswers = {MsgAnswer::No};
    EXPECT_FALSE(InstallPackageAsking(zip, mugen.Dir(), no));
    ASSERT_EQ(no.boxes.size(), 1u);
    EXPECT_EQ(mugen.Read("stages/pack/old.txt"), "old");

    FakeUi yes;
    yes.boxAnswers = {MsgAnswer::Yes, MsgAnswer::Yes};
    EXPECT_TRUE(InstallPackageAsking(zip, mugen.Dir(), yes));
    EXPECT_FALSE(fs::exists(mugen.Path() / "stages/pack/old.txt"));
    EXPECT_EQ(mugen.Read("stages/pack/new.def"), kStage);
    EXPECT_EQ(Tree(mugen.Path() / "stages"), (std::set<std::string>{"pack", "pack/new.def"}));
    EXPECT_EQ(mugen.Read("data/select.def"),
              "[Characters]\r\nkfm\r\n[ExtraStages]\r\nstages/pack/new.def\r\n");
    EXPECT_EQ(mugen.Read("data/select.def.bak"), "[Characters]\r\nkfm\r\n[ExtraStages]\r\n");
    ASSERT_EQ(yes.boxes.size(), 3u);
    EXPECT_NE(yes.boxes[2].text.find("Added to "), std::string::npos) << yes.boxes[2].text;
}

// Layouts of real lists: the engine's own sample (comments under the header, a separator comment
// before the next section), CR LF files, a section first or last without a final line end, one the
// file lacks, a header in odd case, an entry already there in another spelling.
TEST(InstallPackage, SelectListGetsOneLineInItsExtraStagesSection) {
    const std::string line = "stages/pack/x.def";
    struct Case {
        std::string name, text, expected;
        bool present = false;
    };
    const std::vector<Case> cases = {
        {"engine sample",
         "[Characters]\nkfm, stages/kfm.def\n\n;----\n[ExtraStages]\n ;Put extra stages "
         "here.\nstages/stage0.def\n\n;----\n[Options]\narcade.maxmatches = 6\n",
         "[Characters]\nkfm, stages/kfm.def\n\n;----\n[ExtraStages]\n ;Put extra stages "
         "here.\nstages/stage0.def\nstages/pack/x.def\n\n;----\n[Options]\narcade.maxmatches = 6\n"},
        {"comments only, CR LF",
         "[Characters]\r\n[ExtraStages]\r\n ;For example, you can insert "
         "\"stages/mybg.def\".\r\n\r\n[Options]\r\n",
         "[Characters]\r\n[ExtraStages]\r\n ;For example, you can insert "
         "\"stages/mybg.def\".\r\nstages/pack/x.def\r\n\r\n[Options]\r\n"},
        {"last, no final line end, commented entry",
         "[extrastages] ; stages\r\n;stages/pack/x.def\r\nstages/a.def",
         "[extrastages] ; stages\r\n;stages/pack/x.def\r\nstages/a.def\r\nstages/pack/x.def\r\n"},
        {"first", "[ExtraStages]\nstages/a.def\n[Characters]\nkfm\n",
         "[ExtraStages]\nstages/a.def\nstages/pack/x.def\n[Characters]\nkfm\n"},
        {"missing", "[Characters]\nkfm", "[Characters]\nkfm\n\n[ExtraStages]\nstages/pack/x.def\n"},
        {"empty file", "", "[ExtraStages]\nstages/pack/x.def\n"},
        {"present", "[ExtraStages]\r\n  Stages\\Pack\\X.def ; mine\r\n",
         "[ExtraStages]\r\n  Stages\\Pack\\X.def ; mine\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> present;
        EXPECT_EQ(AddExtraStages(c.text, {line}, present), c.expected);
        EXPECT_EQ(present.size(), c.present ? 1u : 0u);
    }
    // The file itself: untouched, and no backup made, when the line is there already.
    TempDir mugen;
    mugen.Write("data/select.def", cases.back().text);
    const SelectListChange change = AddToSelectList(mugen.Dir(), {line});
    EXPECT_FALSE(change.changed);
    EXPECT_EQ(change.present, std::vector<std::string>{line});
    EXPECT_FALSE(fs::exists(mugen.Path() / "data/select.def.bak"));
    TempDir bare;
    EXPECT_NE(AddToSelectList(bare.Dir(), {line}).error.find("no stage-select list"), std::string::npos);
}

}  // namespace qb::test

// The stage checker as the command line runs it: what quillback-shot --lint prints and how it exits.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/shot_tool.h"
#include "tests/lint/lint_stage_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

namespace qb::test {

TEST(StageLint, ShotPrintsOneJsonDocumentAndExitsByTheResult) {
    TempDir clean, dirty;
    clean.Write("stages/a.sff", demo::WriteSff(kSprites));
    clean.Write("stages/a.def", LintStageText("a", "", ""));
    clean.Write("stages/kfm.def", "[Files]\nsprite = kfm.sff\n");  // a character's definition
    std::string text;
    EXPECT_EQ(RunShotTool("--lint " + Quote(clean.Dir() + "stages"), &text), 0);
    EXPECT_NE(text.find("; 1 other .def file skipped\nskipped kfm.def: not a stage"), std::string::npos) << text;
    EXPECT_EQ(RunShotTool("--json " + Quote(clean.Dir())), 2);

    // A section title with a quote, a backslash and a Windows-1252 e acute.
    dirty.Write("stages/b.sff", demo::WriteSff(kSprites));
    dirty.Write("stages/b.def", LintStageText("b", "", "[BG Caf\xe9 \"q\" \\]\nspriteno = 9,9\n"));
    dirty.Write("stages/junk.zip", "not a zip");
    std::string json;
    EXPECT_EQ(RunShotTool("--lint " + Quote(dirty.Dir()) + " --json", &json), 1);
    for (const char* part :
         {"\"mugen\": ", "\"stages\": [", "\"file\": ", "\"loaded\": true", "\"counts\": {",
          "\"kind\": \"sprite\", \"line\": 10", "element \\\"Caf\xc3\xa9 \\\"q\\\" \\\\\\\" (normal)",
          "\"package\": ", "\"message\": \"opening the package: \\\"ZIP ERROR! ",
          "\"totals\": {\"stages\": 2, \"withProblems\": 2, \"problems\": 3", "\"sprite\": 1",
          "\"packages\": 1}"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
    EXPECT_EQ(json.find_first_of("\r\t\xe9"), std::string::npos);
    EXPECT_EQ(json.back(), '\n');
    EXPECT_EQ(json[json.size() - 2], '}');
}

// Stages checked side by side report exactly what one job reports, in the same order: no stage's
// log, sprites or scratch folder leaks into another's.
TEST(StageLint, ShotReportsTheSameWithAnyNumberOfJobs) {
    TempDir tree;
    for (const char* name : {"a", "B", "c", "d", "e", "f"}) {
        const std::string n = name;
        tree.Write("stages/" + n + "/" + n + ".sff", demo::WriteSff(kSprites));
        // Each stage has its own faults, so that one told under another's name shows.
        tree.Write("stages/" + n + "/" + n + ".def",
                   LintStageText(n, "", "[BG " + n + "]\nspriteno = 7," + std::to_string(n[0]) + "\n"));
    }
    tree.Write("stages/broken/broken.def", "[Camera]\n[BGdef]\nspr = nothere.sff\n");
    ASSERT_TRUE(WriteZip(tree.Dir() + "stages/pack.zip",
                         {{"p.def", LintStageText("p", "", "[BG p]\nspriteno = 8,8\n")},
                          {"q.def", LintStageText("q", "", "")},
                          {"../evil.sff", "x"}}));
    std::string one, two, many;
    EXPECT_EQ(RunShotTool("--lint " + Quote(tree.Dir() + "stages") + " --jobs 1", &one), 1);
    EXPECT_EQ(RunShotTool("--lint " + Quote(tree.Dir() + "stages") + " --jobs 2", &two), 1);
    EXPECT_EQ(RunShotTool("--jobs 5 --lint " + Quote(tree.Dir() + "stages") + " --json", &many), 1);
    EXPECT_NE(one.find("a/a.def:10: sprite: element \"a\" (normal): sprite 7,97 is not in"), std::string::npos) << one;
    EXPECT_NE(one.find("pack.zip!q.def"), std::string::npos) << one;
    EXPECT_EQ(one, two);
    std::string json;
    EXPECT_EQ(RunShotTool("--lint " + Quote(tree.Dir() + "stages") + " --json --jobs 1", &json), 1);
    EXPECT_EQ(json, many);
    EXPECT_EQ(RunShotTool("--lint " + Quote(tree.Dir()) + " --jobs 0"), 2);
}

}  // namespace qb::test

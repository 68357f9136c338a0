// The stage checker as the command line runs it: what quillback-shot --lint prints and how it exits.
#include <gtest/gtest.h>

#include <string>

#include "tests/cli/shot_tool.h"
#include "tests/lint/lint_stage_text.h"
#include "tests/support/temp_dir.h"

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

}  // namespace qb::test

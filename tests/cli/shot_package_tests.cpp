// Stage packages through the headless tool: it opens them as the window does and leaves no file behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/app/package_fixture.h"
#include "tests/cli/shot_tool.h"

namespace qb::test {
namespace {

// The headless tool extracts, loads, prints and releases a package as the window does.
TEST(StagePackage, HeadlessToolLeavesTheProgramFolderAsItFoundIt) {
    PackageFixture f;
    f.program.Write("QB.cfg", "kept");
    const auto before = f.ProgramListing();
    const std::string package = f.Package("city.zip", f.CityItems());
    const std::string common = "--mugen " + Quote(f.mugen.Dir()) + " --program-dir " + Quote(f.program.Path().string());
    std::string output;
    ASSERT_EQ(RunShotTool(common + " " + Quote(package) + " --info", &output), 0);
    EXPECT_NE(output.find("City"), std::string::npos);
    EXPECT_EQ(f.ProgramListing(), before);

    const std::string png = (f.mugen.Path() / "city.png").string();
    ASSERT_EQ(RunShotTool(common + " " + Quote(package) + " --frames 3 --out " + Quote(png)), 0);
    EXPECT_TRUE(fs::exists(png));
    EXPECT_EQ(f.ProgramListing(), before);

    const std::string empty = f.Package("nostage.zip", {{"readme.txt", "x"}});
    EXPECT_EQ(RunShotTool(common + " " + Quote(empty) + " --info"), 1);
    EXPECT_EQ(f.ProgramListing(), before);
}

}  // namespace
}  // namespace qb::test

#include "platform/data_dirs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>

#include "tests/support/temp_dir.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

TEST(DataDirs, OneDecisionForEveryLayout) {
    struct Case {
        const char* what;
        std::string programDir;
        bool writable;
        std::map<std::string, std::string> env;
        DataDirs expected;
    };
    const std::map<std::string, std::string> home{{"HOME", "/home/ann"}};
    const DataDirs homeDefaults{"/home/ann/.config/quillback", "/home/ann/.local/share/quillback",
                                "/home/ann/.cache/quillback/tmp", "", false};
    const std::vector<Case> cases = {
        {"writable portable folder", "/opt/qb/", true, home, {"/opt/qb", "/opt/qb", "/opt/qb", "", true}},
        {"writable build folder named bin, no share/quillback",
         "/src/bin",
         true,
         home,
         {"/src/bin", "/src/bin", "/src/bin", "", true}},
        {"read-only folder, XDG variables set",
         "/opt/qb",
         false,
         {{"HOME", "/home/ann"},
          {"XDG_CONFIG_HOME", "/cfg"},
          {"XDG_DATA_HOME", "/data"},
          {"XDG_CACHE_HOME", "/c"}},
         {"/cfg/quillback", "/data/quillback", "/c/quillback/tmp", "", false}},
        {"read-only folder, XDG variables unset", "/opt/qb", false, home, homeDefaults},
        {"read-only folder, XDG variables empty or relative",
         "/opt/qb",
         false,
         {{"HOME", "/home/ann/"},
          {"XDG_CONFIG_HOME", ""},
          {"XDG_DATA_HOME", "data"},
          {"XDG_CACHE_HOME", "./c"}},
         homeDefaults},
        {"installed, writable anyway (root, or a prefix in the home folder)",
         "/usr/local/bin",
         true,
         home,
         {homeDefaults.Config, homeDefaults.Data, homeDefaults.Temp, "/usr/local/share/quillback/demo-mugen/",
          false}},
        {"read-only folder, no usable HOME",
         "/opt/qb",
         false,
         {{"HOME", "relative"}},
         {"/opt/qb", "/opt/qb", "/opt/qb", "", true}},
    };
    const std::set<std::string> folders{"/usr/local/share/quillback",
                                        "/usr/local/share/quillback/demo-mugen"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto env = [&](const char* name) -> const char* {
            const auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        };
        const DataDirs d = DecideDataDirs(
            c.programDir, env, [&](const std::string&) { return c.writable; },
            [&](const std::string& path) { return folders.count(path) > 0; });
        EXPECT_EQ(d.Config, c.expected.Config);
        EXPECT_EQ(d.Data, c.expected.Data);
        EXPECT_EQ(d.Temp, c.expected.Temp);
        EXPECT_EQ(d.DemoMugen, c.expected.DemoMugen);
        EXPECT_EQ(d.Portable, c.expected.Portable);
    }
}

TEST(DataDirs, RealProbeAndFoldersMadeOnDemand) {
    TempDir dir;
    // A folder the probe can write stays the home, and the probe leaves nothing behind; one that
    // cannot take a file (here: missing, which holds for root too) sends the files to the user's folders.
    EXPECT_TRUE(FindDataDirs(dir.Path().string()).Portable);
    EXPECT_TRUE(fs::is_empty(dir.Path()));
    EXPECT_FALSE(FindDataDirs((dir.Path() / "missing").string()).Portable);

    const DataDirs perUser{"", "", (dir.Path() / "cache" / "quillback" / "tmp").string(), "", false};
    ASSERT_TRUE(PrepareDataDir(perUser, perUser.Temp));
    for (const fs::path& made :
         {dir.Path() / "cache", dir.Path() / "cache" / "quillback", fs::path(perUser.Temp)}) {
        struct stat st {};
        ASSERT_EQ(::stat(made.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << made;
    }
    // A portable program's folders are used as they are: nothing is made.
    const DataDirs portable = PortableDataDirs((dir.Path() / "gone").string());
    EXPECT_TRUE(PrepareDataDir(portable, portable.Data));
    EXPECT_FALSE(fs::exists(dir.Path() / "gone"));
}

}  // namespace
}  // namespace qb::test

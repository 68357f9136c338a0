#include "platform/data_dirs.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
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
                                "/home/ann/.cache/quillback/tmp", "", false, "/home/ann/.cache/quillback"};
    const std::string cache = homeDefaults.Cache;  // the per-user cache, portable or not
    const std::vector<Case> cases = {
        // A portable program's extracted files go to the system's temporary folder, never beside
        // its settings and the editor's files.
        {"writable portable folder", "/opt/qb/", true, home, {"/opt/qb", "/opt/qb", "/tmp", "", true, cache}},
        {"writable portable folder, TMPDIR set",
         "/opt/qb",
         true,
         {{"HOME", "/home/ann"}, {"TMPDIR", "/scratch/"}},
         {"/opt/qb", "/opt/qb", "/scratch", "", true, cache}},
        {"writable build folder named bin, no share/quillback",
         "/src/bin",
         true,
         home,
         {"/src/bin", "/src/bin", "/tmp", "", true, cache}},
        {"read-only folder, XDG variables set",
         "/opt/qb",
         false,
         {{"HOME", "/home/ann"},
          {"XDG_CONFIG_HOME", "/cfg"},
          {"XDG_DATA_HOME", "/data"},
          {"XDG_CACHE_HOME", "/c"}},
         {"/cfg/quillback", "/data/quillback", "/c/quillback/tmp", "", false, "/c/quillback"}},
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
          false, cache}},
        {"read-only folder, no usable HOME",
         "/opt/qb",
         false,
         {{"HOME", "relative"}},
         {"/opt/qb", "/opt/qb", "/tmp", "", true}},
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
        EXPECT_EQ(d.Cache, c.expected.Cache);
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

// Package folders are private, named after their process, and a start removes those whose process
// is gone, and nothing else.
TEST(DataDirs, PackageFoldersArePrivateAndStaleOnesGoAtStart) {
    TempDir dir;
    const DataDirs dirs{"", "", (dir.Path() / "cache" / "tmp").string(), "", false};
    const std::string mine = MakePackageFolder(dirs);
    ASSERT_FALSE(mine.empty());
    EXPECT_EQ(fs::path(mine).parent_path(), fs::path(dirs.Temp));
    struct stat st {};
    ASSERT_EQ(::stat(mine.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(
        fs::path(mine).filename().string().rfind("quillback-package-" + std::to_string(::getpid()) + "-", 0),
        0u);

    const fs::path temp(dirs.Temp);
    const struct {
        const char* name;
        bool removed;
    } cases[] = {
        {"quillback-package-111-aaaaaa", true},   // its process is gone
        {"quillback-package-222-bbbbbb", false},  // still running
        {"quillback-package-111-toolong", false}, {"quillback-package-x1-cccccc", false},
        {"quillback-lint-111111", false},         {"other", false},
    };
    for (const auto& c : cases) {
        fs::create_directories(temp / c.name);
        std::ofstream(temp / c.name / "city.sff") << "half";
    }
    fs::create_symlink(dir.Path(), temp / "quillback-package-111-linked");
    const auto running = [&](long pid) { return pid == 222 || pid == ::getpid(); };
    EXPECT_EQ(RemoveStalePackageFolders(dirs.Temp, running), 1);
    for (const auto& c : cases) EXPECT_EQ(fs::exists(temp / c.name), !c.removed) << c.name;
    EXPECT_TRUE(fs::is_symlink(temp / "quillback-package-111-linked"));
    EXPECT_TRUE(fs::exists(mine));  // this process runs

    EXPECT_TRUE(ProcessRunning(::getpid()));
}

}  // namespace
}  // namespace qb::test

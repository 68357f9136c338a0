#include "platform/trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "tests/support/temp_dir.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

int Mode(const fs::path& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 0777) : -1;
}

TEST(Trash, TheHomeTrashFollowsTheDataFolder) {
    const std::vector<std::pair<std::map<std::string, std::string>, std::string>> cases = {
        {{{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "/data/ann/"}}, "/data/ann/Trash"},
        {{{"HOME", "/home/ann"}, {"XDG_DATA_HOME", "relative/share"}}, "/home/ann/.local/share/Trash"},
        {{{"HOME", "relative"}}, ""},
    };
    for (const auto& [env, expected] : cases) {
        const auto lookup = [&env = env](const char* name) -> const char* {
            const auto it = env.find(name);
            return it == env.end() ? nullptr : it->second.c_str();
        };
        EXPECT_EQ(HomeTrashDir(lookup), expected) << expected;
    }
}

// Each case trashes files out of one stage folder into a per-user trash on the same disk.
TEST(Trash, FilesArriveInTheTrashOrStayWhereTheyAre) {
    struct Case {
        const char* what;
        std::vector<std::string> files;  // trashed in this order, all in folder "a/" unless named "b/..."
        bool readOnlyFolder = false;
        bool trashBlocked = false;  // a plain file where the trash folder should be
        std::vector<std::string> arrivedAs;  // names in files/; empty: the moves must fail
        std::string error;
    };
    const std::vector<Case> cases = {
        {"no data folder yet: the trash is made, mode 0700", {"a/my stage.def"}, false, false, {"my stage.def"}, ""},
        {"the same name twice gets a second name", {"a/x.def", "b/x.def"}, false, false, {"x.def", "x.2.def"}, ""},
        {"a read-only folder keeps its file", {"a/x.def"}, true, false, {}, "is read-only"},
        {"a trash that cannot be made keeps the file", {"a/x.def"}, false, true, {}, "share/Trash"},
        {"a file that is not there", {"a/gone.def"}, false, false, {}, "not there"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const fs::path trash = dir.Path() / "home/.local/share/Trash";
        fs::create_directories(dir.Path() / "a");
        for (const std::string& file : c.files)
            if (file.find("gone") == std::string::npos) dir.Write(file, "[Camera]\r\n");
        if (c.trashBlocked) dir.Write("home/.local/share", "not a folder");
        if (c.readOnlyFolder) fs::permissions(dir.Path() / "a", fs::perms::owner_read | fs::perms::owner_exec);

        std::vector<TrashResult> results;
        for (const std::string& file : c.files) results.push_back(MoveToTrash((dir.Path() / file).string(), trash.string()));
        fs::permissions(dir.Path() / "a", fs::perms::owner_all);

        if (c.arrivedAs.empty()) {
            ASSERT_EQ(results.size(), 1u);
            EXPECT_FALSE(results[0].ok);
            EXPECT_NE(results[0].error.find(c.error), std::string::npos) << results[0].error;
            if (c.files[0].find("gone") == std::string::npos) {
                EXPECT_TRUE(fs::exists(dir.Path() / c.files[0]));
            }
            if (!c.trashBlocked) {
                EXPECT_FALSE(fs::exists(trash / "info") && !fs::is_empty(trash / "info"));
            }
            continue;
        }
        for (size_t i = 0; i < c.files.size(); ++i) {
            ASSERT_TRUE(results[i].ok) << results[i].error;
            EXPECT_EQ(results[i].trashedAs, (trash / "files" / c.arrivedAs[i]).string());
            EXPECT_FALSE(fs::exists(dir.Path() / c.files[i]));
            EXPECT_EQ(dir.Read(fs::relative(trash / "files" / c.arrivedAs[i], dir.Path()).string()), "[Camera]\r\n");
            std::string escaped = fs::canonical(dir.Path()).string() + "/" + c.files[i];
            for (size_t at = escaped.find(' '); at != std::string::npos; at = escaped.find(' '))
                escaped.replace(at, 1, "%20");
            const std::string info =
                dir.Read(fs::relative(trash / "info" / (c.arrivedAs[i] + ".trashinfo"), dir.Path()).string());
            EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + escaped + "\nDeletionDate=", 0), 0u) << info;
        }
        for (const fs::path& made : {dir.Path() / "home/.local", dir.Path() / "home/.local/share", trash,
                                     trash / "files", trash / "info"})
            EXPECT_EQ(Mode(made), 0700) << made;
    }
}

}  // namespace
}  // namespace qb::test

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string_view>

#include "library/unzip.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

// Every file under `root` with its size: what a hostile archive must not change.
std::map<std::string, uintmax_t> Listing(const fs::path& root) {
    std::map<std::string, uintmax_t> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string relative = fs::relative(entry.path(), root).string();
        files[relative] = entry.is_regular_file() ? entry.file_size() : 0;
    }
    return files;
}

struct UnzipFixture {
    TempDir root;
    fs::path folder = root.Path() / "program";
    UnzipFixture() { fs::create_directories(folder); }
    std::string Archive(const std::vector<ZipItem>& items) const {
        const std::string path = (root.Path() / "in.zip").string();
        EXPECT_TRUE(WriteZip(path, items));
        return path;
    }
    std::string RawArchive(const std::vector<RawZipItem>& items) const {
        return root.Write("raw.zip", RawZip(items)).string();
    }
    void Open(cUnzip& zip, const std::string& archive) const {
        zip.ZipFile(archive);
        zip.UnzipFolder(folder.string());
        zip.Directory();
    }
};

TEST(Unzip, SplitsNamesAsTheListingDoes) {
    using namespace std::string_view_literals;
    const struct {
        std::string_view stored;
        const char* folder;
        const char* name;
        const char* path;
    } cases[] = {
        {"stages/city.def", "stages", "city.def", "stages/city.def"},
        {"top.sff", "", "top.sff", "top.sff"},
        {"stages\\city.def", "", "stages\\city.def", "stages\\city.def"},  // stored backslashes do not split
        {"a/b/c.def", "a\\b", "c.def", "a/b/c.def"},
        {"/abs.def", "", "/abs.def", "/abs.def"},  // a leading slash is not turned and stays in the name
        {"//x", "/", "x", "//x"},
        {"cut.def\0tail/x"sv, "", "cut.def", "cut.def"},  // cut at the first NUL
    };
    for (const auto& c : cases) {
        std::string folder, name;
        SplitEntryName(c.stored, folder, name);
        EXPECT_EQ(folder, c.folder) << c.stored;
        EXPECT_EQ(name, c.name) << c.stored;
        EXPECT_EQ(EntryPath(folder, name), c.path) << c.stored;
    }
}

TEST(Unzip, ReducesStoredNamesToSafeBaseNames) {
    const std::pair<std::string, std::string> cases[] = {
        {"stages/city.def", "city.def"},
        {"../../evil.def", "evil.def"},
        {"/etc/evil.def", "evil.def"},
        {"C:\\Windows\\evil.def", "evil.def"},
        {"C:evil.def", "evil.def"},
        {"stages/..", ""},
        {"stages/.", ""},
        {"stages/", ""},
        {"bad\x01name.def", ""},
        {std::string(300, 'a'), ""},
        {"\xB3\xC7\xCA\xD0.def", "\xE5\x9F\x8E\xE5\xB8\x82.def"},  // GBK bytes become UTF-8
    };
    for (const auto& [stored, expected] : cases) EXPECT_EQ(SafeEntryFileName(stored), expected) << stored;
}

TEST(Unzip, ListsEntriesAndKeepsThemUntilTheArchiveChanges) {
    UnzipFixture f;
    const std::string archive = f.Archive({{"stages/city.def", "[Camera]\r\n"},
                                           {"stages/city.sff", std::string(1000, 'x')},
                                           {"stages/", ""},
                                           {"readme.txt", "hello"}});
    cUnzip zip;
    f.Open(zip, archive);
    ASSERT_EQ(zip.FileCount(), 3);  // the folder entry lists no name
    EXPECT_EQ(zip.FileName(1), "city.def");
    EXPECT_EQ(zip.FileDirectory(1), "stages");
    EXPECT_EQ(zip.FileDirectory(3), "");
    EXPECT_GT(zip.FileCompressionRatio(2), 90);  // 1000 x deflate to almost nothing
    EXPECT_EQ(zip.FileCRC(3), Crc32("hello"));
    EXPECT_EQ(zip.FileCompressionMethod(3), "Stored");
    EXPECT_NE(zip.FileDate(1).Year, 0);
    EXPECT_FALSE(zip.FileEncrypted(1));
    EXPECT_TRUE(zip.FileSelected(1));
    EXPECT_EQ(zip.FileName(0), "");  // out of range answers empty
    EXPECT_EQ(zip.FileName(4), "");

    zip.Directory();  // listed again without a new archive: the entries double
    EXPECT_EQ(zip.FileCount(), 6);
    zip.ZipFile(archive);
    EXPECT_EQ(zip.FileCount(), 0);

    cUnzip unreadable;
    f.Open(unreadable, f.root.Write("junk.zip", "not a zip").string());
    EXPECT_EQ(unreadable.FileCount(), 0);
}

TEST(Unzip, PackedSizeAndIncludeList) {
    cUnzip zip;
    for (const char* name : {"a.def", "b.sff", "c.txt"}) {
        UnzipEntry entry;
        entry.Name = name;
        entry.Folder = "stages\\sub";
        entry.Size = 1000;
        entry.Factor = 57;
        zip.AddEntry(entry);
    }
    zip.AddEntry(UnzipEntry{});  // an empty name is not an entry
    ASSERT_EQ(zip.FileCount(), 3);
    EXPECT_EQ(zip.FilePackedSize(1), 570);
    EXPECT_TRUE(zip.IncludeList().empty());  // everything selected: extract all
    zip.FileSelected(3, false);
    EXPECT_EQ(zip.IncludeList(), (std::vector<std::string>{"stages/sub/a.def", "stages/sub/b.sff"}));
}

TEST(Unzip, OptionsLiveInTheRecord) {
    cUnzip zip;
    EXPECT_EQ(zip.OptionsRecord(), (std::array<int32_t, 17>{}));
    zip.OverwriteExisting(true);
    zip.CaseSensitiveFileNames(true);
    zip.MessageLevel(7);
    EXPECT_EQ(zip.OptionsRecord()[10], 1);
    EXPECT_EQ(zip.OptionsRecord()[13], 1);
    EXPECT_EQ(zip.OptionsRecord()[3], 7);
    EXPECT_TRUE(zip.OverwriteExisting());
    int32_t major = -1, minor = -1, revision = -1;
    std::string date = "kept", extra;
    zip.GetVersion(major, minor, revision, date, extra);
    EXPECT_GE(major, 1);
    EXPECT_EQ(date, "kept");
}

TEST(Unzip, ExtractsSelectedEntriesFlatAndRemembersThem) {
    UnzipFixture f;
    const std::string def = "[Camera]\r\nstartx = 0\r\n";
    const std::string archive =
        f.Archive({{"stages/city.def", def}, {"stages/deep/city.sff", "SFF"}, {"readme.txt", "hi"}});
    cUnzip zip;
    f.Open(zip, archive);
    zip.FileSelected(3, false);
    std::vector<std::string> progress;
    zip.Progress = [&](int32_t count, const std::string& text) {
        EXPECT_EQ(count, 1);
        progress.push_back(text);
    };
    EXPECT_FALSE(zip.Unzip());  // status 0: everything chosen was written
    EXPECT_EQ(Listing(f.root.Path() / "program"),
              (std::map<std::string, uintmax_t>{{"city.def", def.size()}, {"city.sff", 3}}));
    const std::string created[] = {(f.folder / "city.def").string(), (f.folder / "city.sff").string()};
    EXPECT_EQ(zip.CreatedFiles(), std::vector<std::string>(std::begin(created), std::end(created)));
    EXPECT_EQ(zip.Entry(1).Outcome, EntryOutcome::Created);
    EXPECT_EQ(zip.Entry(3).Outcome, EntryOutcome::NotTried);
    EXPECT_EQ(progress, (std::vector<std::string>{"  inflating: stages\\city.def", "  inflating: stages\\deep\\city.sff"}));
}

// The name an entry is selected by is the name it is written under: separators the listing does not
// split on ("\\", ":") still end a part, so "x.def\\qt.conf" is written, and judged, as qt.conf.
TEST(Unzip, WrittenNameIsWhatTheFileBecomes) {
    UnzipFixture f;
    const std::pair<std::string, std::string> cases[] = {
        {"stages/city.def", "city.def"}, {"x.def\\qt.conf", "qt.conf"}, {"y.sff:z.sh", "z.sh"},
        {"../../evil.def", "evil.def"},  {"a/b\\c d.sff", "c d.sff"},   {"stages/..", ""},
    };
    std::vector<RawZipItem> items;
    for (const auto& c : cases) items.push_back({c.first, "x", 0, 0, Crc32("x"), 1});
    cUnzip zip;
    f.Open(zip, f.RawArchive(items));
    ASSERT_EQ(zip.FileCount(), static_cast<int32_t>(std::size(cases)));
    for (int32_t i = 1; i <= zip.FileCount(); ++i) {
        const auto& c = cases[static_cast<size_t>(i - 1)];
        EXPECT_EQ(zip.WrittenName(i), c.second) << c.first;
        EXPECT_EQ(SafeEntryFileName(c.first), c.second) << c.first;  // what Unzip writes
    }
    zip.SpaceToUnderScore(true);
    EXPECT_EQ(zip.WrittenName(5), "c_d.sff");
}

// An archive with more entries than the bound is neither listed nor extracted, and says how many.
TEST(Unzip, RefusesArchivesWithTooManyEntries) {
    UnzipFixture f;
    const std::string archive = f.Archive({{"a.def", "1"}, {"b.def", "2"}, {"c.sff", "3"}});
    for (const uint64_t bound : {uint64_t{2}, uint64_t{3}}) {
        cUnzip zip;
        zip.MaxEntries(bound);
        f.Open(zip, archive);
        const bool refused = bound < 3;
        EXPECT_EQ(zip.FileCount(), refused ? 0 : 3) << bound;
        EXPECT_EQ(zip.TooManyEntries(), refused ? 3u : 0u) << bound;
        EXPECT_EQ(zip.Unzip(), refused) << bound;  // nothing listed would mean "extract everything"
        EXPECT_EQ(fs::is_empty(f.folder), refused) << bound;
        fs::remove_all(f.folder);
        fs::create_directories(f.folder);
    }
    EXPECT_EQ(cUnzip().MaxEntries(), kMaxPackageEntries);
}

// Each hostile archive: what lands in the program folder (nothing outside it ever changes) and how
// the entry ends.
TEST(Unzip, HostileArchivesWriteNothingOutsideTheFolderAndNothingUnbounded) {
    uint32_t bombCrc = 0;
    const std::string bomb = DeflatedZeros(kMaxEntryBytes + 1, bombCrc);
    uint32_t liarCrc = 0;
    const std::string liar = DeflatedZeros(8u << 20, liarCrc);
    const std::string absolute = "/tmp/qb-unzip-absolute-" + std::to_string(::getpid()) + ".def";
    struct Case {
        const char* what;
        std::vector<ZipItem> items;  // built with libzip
        std::vector<RawZipItem> raw;  // or by hand
        std::set<std::string> written;
        EntryOutcome outcome;
    };
    const Case cases[] = {
        {"dot-dot", {{"../../evil.def", "x"}}, {}, {"evil.def"}, EntryOutcome::Created},
        {"absolute", {{absolute, "x"}}, {}, {fs::path(absolute).filename().string()}, EntryOutcome::Created},
        {"drive and backslashes", {{"C:\\evil\\x.def", "x"}}, {}, {"x.def"}, EntryOutcome::Created},
        {"only dots", {{"stages/..", "x"}}, {}, {}, EntryOutcome::UnsafeName},
        {"symbolic link", {{"link.sff", "/etc/passwd", true}}, {}, {}, EntryOutcome::Symlink},
        {"existing file", {{"stages/keep.def", "new"}}, {}, {}, EntryOutcome::Existed},
        {"password", {{"secret.def", "x", false, "pw"}}, {}, {}, EntryOutcome::Encrypted},
        {"bomb", {}, {{"bomb.sff", bomb, 8, 0, bombCrc, kMaxEntryBytes + 1}}, {}, EntryOutcome::TooLarge},
        {"size that lies", {}, {{"liar.sff", liar, 8, 0, liarCrc, 1000}}, {}, EntryOutcome::Damaged},
        {"total over the bound",
         {},
         {{"a.sff", "x", 0, 0, Crc32("x"), 600u << 20}, {"b.sff", "y", 0, 0, Crc32("y"), 600u << 20}},
         {},
         EntryOutcome::TooLarge},
        {"unknown method", {}, {{"ppmd.sff", "xxxx", 98, 0, 0, 4}}, {}, EntryOutcome::Unsupported},
        {"encrypted flag", {}, {{"old.def", std::string(20, 'z'), 0, 1, 0, 8}}, {}, EntryOutcome::Encrypted},
        {"bad checksum", {}, {{"crc.def", "data", 0, 0, 12345, 4}}, {}, EntryOutcome::Damaged},
    };
    for (const Case& c : cases) {
        UnzipFixture f;
        f.root.Write("program/keep.def", "mine");
        f.root.Write("outside.txt", "outside");
        const std::string archive = c.raw.empty() ? f.Archive(c.items) : f.RawArchive(c.raw);
        auto before = Listing(f.root.Path());
        cUnzip zip;
        f.Open(zip, archive);
        ASSERT_GE(zip.FileCount(), 1) << c.what;
        zip.Unzip();
        auto after = Listing(f.root.Path());
        for (const std::string& name : c.written) {
            EXPECT_EQ(after.erase("program/" + name), 1u) << c.what << ": " << name;
        }
        EXPECT_EQ(after, before) << c.what;
        EXPECT_EQ(f.root.Read("program/keep.def"), "mine") << c.what;
        EXPECT_EQ(zip.Entry(1).Outcome, c.outcome) << c.what;
        EXPECT_EQ(zip.CreatedFiles().size(), c.written.size()) << c.what;
        EXPECT_FALSE(fs::exists(absolute)) << c.what;
    }
}

TEST(Unzip, AsksForAPasswordOnceAndUsesIt) {
    UnzipFixture f;
    const std::string archive = f.Archive({{"a.def", "A", false, "pw"}, {"b.sff", "B", false, "pw"}});
    cUnzip refused;
    f.Open(refused, archive);
    EXPECT_TRUE(refused.FileEncrypted(1));
    int asked = 0;
    refused.PasswordRequest = [&](std::string&, bool& cancel) {
        ++asked;
        cancel = true;
    };
    EXPECT_TRUE(refused.Unzip());
    EXPECT_EQ(asked, 1);  // not asked again after a refusal
    EXPECT_TRUE(refused.CreatedFiles().empty());

    cUnzip given;
    f.Open(given, archive);
    given.PasswordRequest = [](std::string& password, bool&) { password = "  pw "; };
    EXPECT_FALSE(given.Unzip());
    EXPECT_EQ(f.root.Read("program/a.def"), "A");
    EXPECT_EQ(f.root.Read("program/b.sff"), "B");

    cUnzip wrong;
    fs::remove_all(f.folder);
    fs::create_directories(f.folder);
    f.Open(wrong, archive);
    wrong.PasswordRequest = [](std::string& password, bool&) { password = "nope"; };
    EXPECT_TRUE(wrong.Unzip());
    EXPECT_TRUE(fs::is_empty(f.folder));  // nothing half-written
}

TEST(Unzip, CancelStopsAndTestZipWritesNothing) {
    UnzipFixture f;
    const std::string archive = f.Archive({{"a.def", "A"}, {"b.sff", "B"}});
    cUnzip cancelled;
    f.Open(cancelled, archive);
    std::vector<std::string> seen;
    cancelled.Cancel = [&](const std::string& name, bool& cancel) {
        seen.push_back(name);
        cancel = name == "b.sff";
    };
    EXPECT_TRUE(cancelled.Unzip());
    EXPECT_EQ(seen, (std::vector<std::string>{"a.def", "b.sff"}));
    EXPECT_EQ(cancelled.CreatedFiles().size(), 1u);
    fs::remove(f.folder / "a.def");

    cUnzip tested;
    f.Open(tested, archive);
    tested.TestZip(true);
    EXPECT_FALSE(tested.Unzip());
    EXPECT_EQ(tested.Entry(2).Outcome, EntryOutcome::Tested);
    EXPECT_TRUE(fs::is_empty(f.folder));

    cUnzip none;
    EXPECT_FALSE(none.Unzip());  // no archive named: nothing done, status 0
}

}  // namespace
}  // namespace qb::test

#include <gtest/gtest.h>

#include <filesystem>

#include "library/stage_list.h"
#include "library/thumbnail.h"
#include "tests/support/temp_dir.h"
#include "tests/support/zip_builder.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCamera = "[Camera]\nstartx = 0\n[BGdef]\nspr = x.sff\n";

std::string Stage(const std::string& info) {
    return "; comment\n[Info]\n" + info + "\n" + kCamera;
}

TEST(StageHead, ReadsTheInfoSectionOnly) {
    struct Case {
        const char* text;
        const char* name;
        const char* display;
        const char* author;
        float version;
        bool stage;
    };
    const Case cases[] = {
        {"[Info]\nname = \"Temple; night\" ; the name\nauthor = Elecbyte ; made by\n[Camera]\n", "Temple; night", "",
         "Elecbyte", 0, true},
        {"[ INFO ]\r\nName=Plain\r\ndisplayname = \"Shown\"\r\nmugenversion = 1.1\r\n[BGdef]\r\n", "Plain", "Shown", "",
         1.1f, true},
        // A name in another section is not the stage's; a character's definition has no stage section.
        {"[Files]\nname = kfm.cns\n[Info]\nauthor=\n", "", "", "", 0, false},
        {"name = \"before any section\"\n[StageInfo]\n", "", "", "", 0, true},
    };
    for (const Case& c : cases) {
        const StageHead head = ReadStageHead(c.text);
        EXPECT_EQ(head.Name, c.name) << c.text;
        EXPECT_EQ(head.DisplayName, c.display) << c.text;
        EXPECT_EQ(head.Author, c.author) << c.text;
        EXPECT_FLOAT_EQ(head.MugenVersion, c.version) << c.text;
        EXPECT_EQ(head.StageSections, c.stage) << c.text;
    }
}

// A library as collectors keep one: stages at the top, in folders at any depth, and in packages.
struct Library {
    TempDir mugen;
    Library() {
        mugen.Write("Stages/kfm.def", Stage("name = \"Temple\"\nauthor = Elecbyte"));
        mugen.Write("Stages/Folder/deep/x.def", Stage("name = Internal\ndisplayname = \"Shown Name\"\nmugenversion = 1.0"));
        mugen.Write("Stages/Folder/plain.default.def", kCamera);
        mugen.Write("Stages/notes.txt", "x");
        // No mugenversion, but a version 2 sprite file: made for the new engines all the same.
        mugen.Write("Stages/v2/new.def", "[Info]\nname = New\n[BGdef]\nspr = new.SFF\n");
        mugen.Write("Stages/v2/new.SFF", std::string("ElecbyteSpr\0\0\1\0\2", 16));
        EXPECT_TRUE(WriteZip((mugen.Path() / "Stages/pack.zip").string(),
                             {{"stages/city.def", Stage("name = City\nauthor = Someone")},
                              {"stages/city.sff", "sprites"},
                              {"stages/modern.def", "[Info]\nname = Modern\n[Camera]\n[BGdef]\nspr = stages/Modern.sff\n"},
                              {"Modern.sff", std::string("ElecbyteSpr\0\1\0\0\2", 16)},
                              {"chars/kfm/kfm.def", "[Info]\nname = \"Kung Fu Man\"\n[Files]\ncns = kfm.cns\n"},
                              {"stages\\old.DEF", Stage("name = Old")}}));
        mugen.Write("Stages/broken.zip", "not a zip");
        // A folder linked into itself is walked once.
        fs::create_directory_symlink(mugen.Path() / "Stages/Folder", mugen.Path() / "Stages/Folder/loop");
    }
    std::string Stages() const { return (mugen.Path() / "Stages").string(); }
};

TEST(StageLibrary, ListsFoldersAndPackagesWithTheStagesOwnNames) {
    Library lib;
    const LibraryScan scan = ScanStageLibrary(lib.Stages(), nullptr);
    EXPECT_FALSE(scan.BrokeOff);
    struct Row {
        std::string list, name, author, entry;
        StageKind kind;
    };
    const std::vector<Row> expected = {
        {"stages/Folder/deep/x.def", "Shown Name", "", "", StageKind::Modern},
        {"stages/Folder/plain.default.def", "plain", "", "", StageKind::Classic},
        {"stages/kfm.def", "Temple", "Elecbyte", "", StageKind::Classic},
        {"stages/pack.zip!stages/city.def", "City", "Someone", "stages/city.def", StageKind::Classic},
        {"stages/pack.zip!stages/modern.def", "Modern", "", "stages/modern.def", StageKind::Modern},
        // Named as the package opener names its entries, so that the row opens this very stage.
        {"stages/pack.zip!stages\\old.DEF", "Old", "", "stages\\old.DEF", StageKind::Classic},
        {"stages/v2/new.def", "New", "", "", StageKind::Modern},
    };
    ASSERT_EQ(scan.Rows.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const LibraryRow& row = scan.Rows[i];
        EXPECT_EQ(row.ListName, expected[i].list);
        EXPECT_EQ(row.Name, expected[i].name) << row.ListName;
        EXPECT_EQ(row.Author, expected[i].author) << row.ListName;
        EXPECT_EQ(row.Entry, expected[i].entry) << row.ListName;
        EXPECT_EQ(row.Kind, expected[i].kind) << row.ListName;
    }
    EXPECT_EQ(scan.Rows[3].File, (lib.mugen.Path() / "Stages/pack.zip").string());
    EXPECT_EQ(scan.Rows[0].File, (lib.mugen.Path() / "Stages/Folder/deep/x.def").string());
}

TEST(StageLibrary, CacheAnswersUnchangedFilesAndRereadsChangedOnes) {
    Library lib;
    TempDir cacheDir;
    const std::string cacheFile = (cacheDir.Path() / "library.tsv").string();
    const LibraryScan first = ScanStageLibrary(lib.Stages(), nullptr);
    EXPECT_EQ(first.ReadFiles, 6u);  // four definitions and two packages, one of them broken
    ASSERT_TRUE(LibraryCache::Save(cacheFile, first.Rows));

    const LibraryCache cache = LibraryCache::Load(cacheFile);
    const LibraryScan second = ScanStageLibrary(lib.Stages(), &cache);
    EXPECT_EQ(second.Rows, first.Rows);
    EXPECT_EQ(second.ReadFiles, 1u) << "only the package that holds no stage is read again";

    // A changed definition and a changed package are read again, whatever the cache says.
    lib.mugen.Write("Stages/kfm.def", Stage("name = \"Temple at night\""));
    EXPECT_TRUE(WriteZip((lib.mugen.Path() / "Stages/pack.zip").string(), {{"city.def", Stage("name = New City")}}));
    const LibraryScan third = ScanStageLibrary(lib.Stages(), &cache);
    EXPECT_EQ(third.ReadFiles, 3u);
    ASSERT_EQ(third.Rows.size(), 5u);
    EXPECT_EQ(third.Rows[2].Name, "Temple at night");
    EXPECT_EQ(third.Rows[3].Name, "New City");

    // A damaged or foreign cache is no cache.
    for (const char* bytes : {"", "quillback-library 1\n/x\t\tbig\t0\tclassic\tA\t\n", "other 1\n"}) {
        cacheDir.Write("bad.tsv", bytes);
        const LibraryCache bad = LibraryCache::Load((cacheDir.Path() / "bad.tsv").string());
        EXPECT_EQ(bad.Files(), 0u) << bytes;
    }
}

std::vector<LibraryRow> Rows() {
    // name, author, time, kind: enough to tell every order apart.
    std::vector<LibraryRow> rows(4);
    const char* names[] = {"Temple", "city", "Balrog", "Falls"};
    const char* authors[] = {"Elecbyte", "", "MineTech99", "kazzmir"};
    for (size_t i = 0; i < rows.size(); ++i) {
        rows[i].File = "/m/stages/" + std::to_string(i) + ".def";
        rows[i].ListName = "stages/" + std::to_string(i) + ".def";
        rows[i].Name = names[i];
        rows[i].Author = authors[i];
        rows[i].ModifiedNs = static_cast<int64_t>(i % 2 ? 100 + i : i);
        rows[i].Kind = i == 3 ? StageKind::Modern : StageKind::Classic;
    }
    return rows;
}

TEST(StageLibrary, FilterAndOrderMakeTheRowsTheCommandsWalk) {
    StageList list;
    list.All = Rows();
    struct Case {
        const char* filter;
        LibrarySort sort;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"", LibrarySort::File, {"Temple", "city", "Balrog", "Falls"}},
        {"", LibrarySort::Name, {"Balrog", "city", "Falls", "Temple"}},
        {"", LibrarySort::Author, {"Temple", "Falls", "Balrog", "city"}},  // no author last
        {"", LibrarySort::Date, {"Falls", "city", "Balrog", "Temple"}},    // newest first
        {"", LibrarySort::Kind, {"Temple", "city", "Balrog", "Falls"}},
        {"KAZZ", LibrarySort::File, {"Falls"}},                             // author
        {"stages/2", LibrarySort::File, {"Balrog"}},                        // file
        {"temple ELEC", LibrarySort::Name, {"Temple"}},                     // every word
        {"temple kazz", LibrarySort::Name, {}},
        {"nothing", LibrarySort::File, {}},
    };
    for (const Case& c : cases) {
        list.Filter = c.filter;
        list.Sort = c.sort;
        ShowLibraryRows(list);
        EXPECT_EQ(list.Names, c.names) << c.filter << " " << LibrarySortWord(c.sort);
        EXPECT_EQ(list.Rows.size(), list.Files.size());
    }

    // The next and previous commands walk the shown rows; the selection follows its stage.
    list.Filter = "l";
    list.Sort = LibrarySort::Name;
    ShowLibraryRows(list);
    ASSERT_EQ(list.Names, (std::vector<std::string>{"Balrog", "Falls", "Temple"}));
    for (int i = 0; i < 3; ++i) list.Select(NextStageIndex(list));
    EXPECT_EQ(list.Files[static_cast<size_t>(list.ListIndex)], "/m/stages/0.def");
    EXPECT_EQ(NextStageIndex(list), -1);
    list.Filter.clear();
    ShowLibraryRows(list);
    EXPECT_EQ(list.ListIndex, 3) << "Temple, now last of four";
    EXPECT_EQ(list.Names[static_cast<size_t>(PrevStageIndex(list))], "Falls");
    list.Filter = "city";
    ShowLibraryRows(list);
    EXPECT_EQ(list.ListIndex, -1) << "the selected stage is filtered out";
    EXPECT_EQ(NextStageIndex(list), 0);
}

TEST(StageLibrary, TypeAheadFindsTheNextNameStartingSoElseContaining) {
    StageList list;
    list.All = Rows();
    list.Sort = LibrarySort::Name;
    ShowLibraryRows(list);  // Balrog, city, Falls, Temple
    EXPECT_EQ(TypeAheadIndex(list, "c", -1), 1);
    EXPECT_EQ(TypeAheadIndex(list, "T", 0), 3);
    EXPECT_EQ(TypeAheadIndex(list, "b", 1), 0) << "wraps round";
    EXPECT_EQ(TypeAheadIndex(list, "all", -1), 2) << "no name starts so: Falls contains it";
    EXPECT_EQ(TypeAheadIndex(list, "zz", -1), -1);
    EXPECT_EQ(TypeAheadIndex(list, "", -1), -1);
}

TEST(StageLibrary, SortWordsRoundTrip) {
    for (int i = 0; i < kLibrarySortCount; ++i)
        EXPECT_EQ(LibrarySortFromWord(LibrarySortWord(static_cast<LibrarySort>(i))), static_cast<LibrarySort>(i));
    EXPECT_EQ(LibrarySortFromWord("NAME"), LibrarySort::Name);
    EXPECT_EQ(LibrarySortFromWord("size"), LibrarySort::File);
}

TEST(Thumbnails, KeyChangesWithEitherFileAndOnlyThen) {
    TempDir mugen;
    const fs::path def = mugen.Write("stages/city/city.def", "[Info]\nname=City\n[BGdef]\nspr = stages\\city\\City.sff ; art\n");
    const fs::path sff = mugen.Write("stages/city/city.sff", "sprites");
    LibraryRow row;
    row.File = def.string();
    // The sprite file is found as the loader finds it: through the MUGEN directory, without regard to case.
    EXPECT_EQ(StageSpriteFile(row.File, mugen.Dir()), sff.string());
    const std::string key = ThumbnailKey(ThumbSourceOf(row, mugen.Dir()));
    EXPECT_EQ(key.size(), 16u);
    EXPECT_EQ(ThumbnailKey(ThumbSourceOf(row, mugen.Dir())), key) << "unchanged files, same picture";
    EXPECT_EQ(ThumbnailPath("/c", key), "/c/thumbs/" + key + ".png");

    const auto stampAt = [](const fs::path& p, int seconds) {
        fs::last_write_time(p, fs::file_time_type(std::chrono::seconds(seconds)));
    };
    stampAt(sff, 1000);
    const std::string touchedSprite = ThumbnailKey(ThumbSourceOf(row, mugen.Dir()));
    EXPECT_NE(touchedSprite, key);
    stampAt(def, 1000);
    const std::string touchedDef = ThumbnailKey(ThumbSourceOf(row, mugen.Dir()));
    EXPECT_NE(touchedDef, touchedSprite);
    mugen.Write("stages/city/city.sff", "sprites, more of them");
    stampAt(sff, 1000);
    EXPECT_NE(ThumbnailKey(ThumbSourceOf(row, mugen.Dir())), touchedDef) << "same time, other size";

    // Paths, entries and stamps each count, and do not run into one another.
    ThumbSource a{"/s/ab", "", {1, 2}, "/s/c", {3, 4}};
    ThumbSource b = a;
    b.File = "/s/a";
    b.Entry = "b";
    EXPECT_NE(ThumbnailKey(a), ThumbnailKey(b));
    b = a;
    b.SpriteStamp.Size = 5;
    EXPECT_NE(ThumbnailKey(a), ThumbnailKey(b));
}

TEST(Thumbnails, ScaleFrameAveragesAndKeepsTheShape) {
    // 4 x 2 pixels of 5-6-5: a white and a black half.
    const uint16_t pixels[] = {0xFFFF, 0xFFFF, 0x0000, 0x0000, 0xFFFF, 0xFFFF, 0x0000, 0xF800};
    FrameImage frame{pixels, 4, 2, 4, FrameImage::Format::Rgb565, {}};
    const Thumbnail half = ScaleFrame(frame, 2);
    ASSERT_EQ(half.Width, 2);
    ASSERT_EQ(half.Height, 1);
    EXPECT_EQ((std::vector<uint8_t>(half.Rgba.begin(), half.Rgba.end())),
              (std::vector<uint8_t>{255, 255, 255, 255, 63, 0, 0, 255}));
    EXPECT_EQ(ScaleFrame(frame, 100).Width, 4) << "never scaled up";
    EXPECT_EQ(ScaleFrame(FrameImage{}, 100).Width, 0);
}

}  // namespace
}  // namespace qb::test

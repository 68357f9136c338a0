#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <map>
#include <set>

#include "app/bg_buttons.h"
#include "app/commands.h"
#include "app/config.h"
#include "session/live_reload.h"
#include "session/load_stage.h"
#include "app/run_loop.h"
#include "session/stage_session.h"
#include "app/startup.h"
#include "demo/sff2_writer.h"
#include "library/unzip.h"
#include "platform/sff2_file.h"
#include "platform/paths.h"
#include "tests/app/package_fixture.h"
#include "tests/support/zip_builder.h"
#include "tools/bg_commands.h"

namespace qb::test {
namespace {

TEST(StagePackage, LifeCycleThroughTheOpenDialog) {
    PackageFixture f;
    const auto before = f.ProgramListing();
    const std::string package = f.Package("city.zip", f.CityItems());
    f.ui.openAnswers = {package};
    mnuOpen_Click(f.state);
    const std::string folder = fs::path(f.state.Package.Folder).filename().string();
    EXPECT_EQ(f.state.StageFile, f.Extracted("city.def"));
    EXPECT_EQ(f.state.Package.PackageFile, package);
    EXPECT_EQ(f.state.Menus.RecentFiles.front(), package);  // the package, not the extracted file
    EXPECT_TRUE(f.timers.Active(TimerId::Start));
    const std::map<std::string, uintmax_t> extracted{
        {folder, 0},
        {folder + "/city.def", StageDefText("City", "city.sff").size()},
        {folder + "/city.sff", TinySff().size()}};
    EXPECT_EQ(f.TempListing(),
              extracted);  // flat, only definitions and sprite files, in a folder of their own
    EXPECT_EQ(f.ProgramListing(), before);

    LoadStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);
    EXPECT_EQ(f.state.Package.ExtractedSpriteFile, f.Extracted("city.sff"));
    mnuReload_Click(f.state);
    EXPECT_EQ(f.TempListing(), extracted);  // a reload of an unchanged package reads the same files
    LoadStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);

    mnuClose_Click(f.state);
    EXPECT_TRUE(f.TempListing().empty());
    EXPECT_EQ(f.ProgramListing(), before);
    EXPECT_FALSE(f.state.Package.FromPackage);
    EXPECT_TRUE(f.ui.boxes.empty());
}

TEST(StagePackage, DropRecentEntryAndCommandLineExtractTheirPackage) {
    PackageFixture f;
    const auto before = f.ProgramListing();
    const std::string package = f.Package("city.zip", f.CityItems());

    FilesDropped(f.state, {package});
    EXPECT_TRUE(fs::exists(f.Extracted("city.def")));  // extracted at once; opened by tmrDrop
    TmrDropTick(f.state);
    EXPECT_EQ(f.state.StageFile, f.Extracted("city.def"));
    EXPECT_EQ(f.state.Menus.RecentFiles, (std::vector<std::string>{package}));
    mnuClose_Click(f.state);
    EXPECT_EQ(f.ProgramListing(), before);  // released before it ever ran
    EXPECT_TRUE(f.TempListing().empty());

    f.state.Menus.RecentFiles = {f.AddStage("a", "A"), package};
    MnuRecentFiles_Click(f.state, 1);
    EXPECT_EQ(f.state.Menus.RecentFiles.front(), package);
    EXPECT_EQ(f.state.StageFile, f.Extracted("city.def"));
    EXPECT_EQ(f.ui.captions.back(), package);
    LoadStage(f.state);
    EXPECT_EQ(f.state.bRunning, 1);

    OpenFromCommandLine(f.state, package);  // the running package is released before the new extraction
    EXPECT_EQ(f.state.Window.DroppedFile, f.Extracted("city.def"));
    EXPECT_EQ(f.state.bRunning, 0);
    mnuClose_Click(f.state);
    EXPECT_EQ(f.ProgramListing(), before);

    fs::remove(package);
    MnuRecentFiles_Click(f.state, 0);
    EXPECT_EQ(f.BoxTexts().back(), "Can't find file: \r\n" + package + "\r\nIt was taken off the recent files.");
    EXPECT_EQ(f.ProgramListing(), before);
}

// While a box about the stage on screen waits, nothing opens and nothing is asked or reordered; a
// package dropped then waits, unextracted, for the drop timer like a dropped definition.
TEST(StagePackage, WhileTheStageIsHeldADroppedPackageWaits) {
    PackageFixture f;
    const std::string package = f.Package("city.zip", f.CityItems());
    const std::vector<std::string> recent = {f.AddStage("a", "A"), package};
    f.state.Menus.RecentFiles = recent;
    f.state.StageBoxesOpen = 1;
    MnuRecentFiles_Click(f.state, 1);
    EXPECT_EQ(f.state.Menus.RecentFiles, recent);
    FilesDropped(f.state, {package});
    EXPECT_TRUE(f.TempListing().empty());
    EXPECT_EQ(f.state.Window.DroppedFile, package);
    TmrDropTick(f.state);
    EXPECT_TRUE(f.state.StageFile.empty());
    EXPECT_TRUE(f.ui.boxes.empty());

    f.state.StageBoxesOpen = 0;  // answered
    TmrDropTick(f.state);
    EXPECT_EQ(f.state.StageFile, f.Extracted("city.def"));
    EXPECT_TRUE(f.timers.Active(TimerId::Start));
}

TEST(StagePackage, ContentsDecideWhatOpensAndWhatStays) {
    const std::string twoDef = StageDefText("Two", "city.sff");
    const std::string sjisName = "stages/\x93\x73\x8E\x73.def";  // a Shift-JIS name
    std::vector<RawZipItem> bomb;  // small, but its headers declare 5 x 256 MiB
    for (const char* name : {"city.def", "a.sff", "b.sff", "c.sff", "d.sff"})
        bomb.push_back({name, "x", 0, 0, Crc32("x"), 256u << 20});
    const struct {
        const char* what;
        std::vector<ZipItem> items;
        std::string opens;                    // empty: the open ends at "Not a stage!"
        std::vector<std::string> boxes;
        std::vector<RawZipItem> raw;  // instead of `items`: headers that declare what the test sets
    } cases[] = {
        {"two definitions: the last listed opens",
         {{"a/one.def", StageDefText("One", "city.sff")}, {"b/two.def", twoDef}, {"city.sff", TinySff()}},
         "two.def",
         {}},
        {"legacy name", {{sjisName, StageDefText("Toshi", "city.sff")}, {"city.sff", TinySff()}},
         "\xE9\x83\xBD\xE5\xB8\x82.def", {}},
        {"no definition", {{"stages/city.sff", TinySff()}}, "",
         {"Not a stage!\r\n%\r\nThe package holds no stage definition (.def file)."}},
        {"a definition that is no stage", {{"x.def", "[Info]\r\nname = x\r\n"}, {"x.sff", TinySff()}}, "",
         {"Not a stage!\r\n%\r\nIts definition x.def has no [Camera] section."}},
        {"password-protected sprite file",
         {{"city.def", StageDefText("City", "city.sff")}, {"city.sff", TinySff(), false, "pw"}},
         "city.def",
         {"Some files of the package\r\n%\r\nwere not extracted:\r\ncity.sff is password-protected."}},
        {"a bomb: entries that declare 1.25 GB together", {}, "",
         {"The package\r\n%\r\nwould unpack to 1342177280 bytes; a stage package may unpack to at most "
          "1073741824 bytes (1 GiB). It was not opened."},
         bomb},
        {"a definition too large alone", {}, "",
         {"Not a stage!\r\n%\r\nIts definition stages/city.def is too large to unpack (over 256 MiB, or "
          "over 1 GiB in all)."},
         {{"stages/city.def", "d", 0, 0, Crc32("d"), 300u << 20}, {"city.sff", "s", 0, 0, Crc32("s"), 1}}},
    };
    for (const auto& c : cases) {
        PackageFixture f;
        const auto before = f.ProgramListing();
        const std::string package =
            c.raw.empty() ? f.Package("p.zip", c.items) : f.RawPackage("p.zip", RawZip(c.raw));
        f.ui.openAnswers = {package};
        mnuOpen_Click(f.state);
        std::vector<std::string> expectedBoxes;
        for (std::string box : c.boxes) {
            if (const size_t at = box.find('%'); at != std::string::npos) box.replace(at, 1, package);
            expectedBoxes.push_back(box);
        }
        EXPECT_EQ(f.BoxTexts(), expectedBoxes) << c.what;
        if (c.opens.empty()) {
            EXPECT_EQ(f.state.StageFile, "") << c.what;  // a refused package names nothing to open
            EXPECT_TRUE(f.TempListing().empty()) << c.what;  // deleted at once
            continue;
        }
        EXPECT_EQ(f.state.StageFile, f.Extracted(c.opens)) << c.what;
        mnuClose_Click(f.state);
        EXPECT_TRUE(f.TempListing().empty()) << c.what;  // every extracted file goes, the unopened one too
        EXPECT_EQ(f.ProgramListing(), before) << c.what;
    }
}

// A package of several stages asks which one to open; Cancel opens nothing and keeps the stage on
// screen. Definitions without a camera line are not offered.
TEST(StagePackage, SeveralStagesAskWhichToOpen) {
    std::string nameless = StageDefText("", "city.sff");
    nameless.erase(nameless.find("name = "), 9);
    const std::vector<ZipItem> items = {{"a/one.def", StageDefText("\"One\"", "city.sff")},
                                        {"notes.def", "[Info]\r\nname = notes\r\n"},
                                        {"b/two.def", StageDefText("Two", "city.sff")},
                                        {"c/nameless.def", nameless},
                                        {"city.sff", TinySff()}};
    const struct {
        std::deque<int> answers;  // empty: Enter on the preselected item
        std::string opens;        // empty: nothing opens
    } cases[] = {{{}, "nameless.def"}, {{0}, "one.def"}, {{1}, "two.def"}, {{-1}, ""}};
    for (const auto& c : cases) {
        PackageFixture f;
        f.ui.openAnswers = {f.AddStage("a", "A")};
        mnuOpen_Click(f.state);
        LoadStage(f.state);
        ASSERT_EQ(f.state.bRunning, 1);
        const std::string running = f.state.StageFile;
        f.ui.openAnswers = {f.Package("p.zip", items)};
        f.ui.chooseAnswers = c.answers;
        mnuOpen_Click(f.state);
        ASSERT_EQ(f.ui.choices.size(), 1u);
        EXPECT_EQ(f.ui.choices[0].items,
                  (std::vector<std::string>{"One  (a/one.def)", "Two  (b/two.def)", "c/nameless.def"}));
        EXPECT_EQ(f.ui.choices[0].preselected, 2);
        EXPECT_TRUE(f.BoxTexts().empty());
        if (c.opens.empty()) {
            EXPECT_EQ(f.state.bRunning, 1);
            EXPECT_EQ(f.state.StageFile, running);
            EXPECT_FALSE(f.state.Package.FromPackage);
            EXPECT_TRUE(f.TempListing().empty());
            continue;
        }
        EXPECT_EQ(f.state.StageFile, f.Extracted(c.opens));
        // A reload of the changed package keeps the chosen stage without asking again.
        ASSERT_TRUE(BeginStageRun(f.state));
        std::vector<ZipItem> changed = items;
        changed.push_back({"zz/last.def", StageDefText("Last", "city.sff")});
        ASSERT_TRUE(WriteZip(f.state.Package.PackageFile, changed));
        mnuReload_Click(f.state);
        EXPECT_EQ(f.ui.choices.size(), 1u);
        EXPECT_EQ(f.state.StageFile, f.Extracted(c.opens));
    }
}

TEST(StagePackage, EachStageOfAPackageIsARowOfTheListThatOpensItWithoutAsking) {
    PackageFixture f;
    fs::create_directories(f.mugen.Path() / "stages");
    ASSERT_TRUE(WriteZip((f.mugen.Path() / "stages/p.zip").string(),
                         {{"a/one.def", StageDefText("One", "city.sff")},
                          {"notes.def", "[Info]\r\nname = notes\r\n"},
                          {"b/two.def", StageDefText("Two", "city.sff")},
                          {"city.sff", TinySff()}}));
    ASSERT_TRUE(LoadFilestoList(f.state.Stages, f.ui, f.mugen.Dir() + "stages", ".def"));
    ASSERT_EQ(f.state.Stages.Names, (std::vector<std::string>{"One", "Two"}));
    lstStages_Click(f.state, 1);
    EXPECT_TRUE(f.ui.choices.empty());
    EXPECT_EQ(f.state.StageFile, f.Extracted("two.def"));
    EXPECT_EQ(f.state.Stages.ListIndex, 1);
    mnuStagePrev_Click(f.state);
    EXPECT_TRUE(f.ui.choices.empty());
    EXPECT_EQ(f.state.StageFile, f.Extracted("one.def"));
    EXPECT_EQ(f.state.Stages.ListIndex, 0);
}

TEST(StagePackage, ARefusedPackageLeavesTheRunningStageAlone) {
    for (const bool runningFromPackage : {false, true}) {
        PackageFixture f;
        f.ui.openAnswers = {runningFromPackage ? f.Package("city.zip", f.CityItems()) : f.AddStage("a", "A")};
        mnuOpen_Click(f.state);
        LoadStage(f.state);
        ASSERT_EQ(f.state.bRunning, 1);
        const std::string running = f.state.StageFile;
        const auto listing = f.ProgramListing();
        const std::string notStage = f.Package("notes.zip", {{"x.def", "[Info]\r\nname = x\r\n"}});
        f.ui.openAnswers = {notStage, f.RawPackage("junk.zip", "junk")};
        mnuOpen_Click(f.state);
        mnuOpen_Click(f.state);
        FilesDropped(f.state, {notStage});
        EXPECT_EQ(f.BoxTexts().size(), 3u);
        EXPECT_EQ(f.state.bRunning, 1);
        EXPECT_EQ(f.state.StageFile, running);
        EXPECT_EQ(f.state.Package.FromPackage, runningFromPackage);
        EXPECT_EQ(f.ProgramListing(), listing) << "the running package's files stay, the refused ones go";
    }
}

TEST(StagePackage, UnreadableOrEmptyArchivesAreZipErrors) {
    PackageFixture f;
    const std::string whole = RawZip({{"city.def", "[Camera]\r\n", 0, 0, Crc32("[Camera]\r\n"), 10}});
    for (const std::string& bytes : {whole.substr(0, whole.size() / 2), RawZip({}), std::string("junk")}) {
        f.ui.boxes.clear();
        const std::string package = f.RawPackage("bad.zip", bytes);
        f.ui.openAnswers = {package};
        mnuOpen_Click(f.state);
        EXPECT_EQ(f.BoxTexts(),
                  (std::vector<std::string>{"ZIP ERROR!\r\n" + package +
                                            "\r\nThe file cannot be read as a zip archive, or it holds no files."}));
        EXPECT_EQ(f.state.StageFile, "");
    }
}

// Files the package did not create are never deleted nor taken for its own: the editor's "Save
// Changes" output and a sprite file of the same name in the program folder stay as they are.
TEST(StagePackage, ReleaseKeepsFilesThePackageDidNotCreate) {
    PackageFixture f;
    const std::string mine = TinySff() + "mine";
    const std::string saved = StageDefText("Saved", "city.sff");  // an earlier Save Changes
    f.program.Write("city.sff", mine);
    f.program.Write("test.def", saved);
    f.ui.openAnswers = {
        f.Package("test.zip", {{"test.def", StageDefText("City", "city.sff")}, {"city.sff", TinySff()}})};
    mnuOpen_Click(f.state);
    ASSERT_TRUE(BeginStageRun(f.state));
    EXPECT_EQ(f.state.Package.ExtractedSpriteFile, f.Extracted("city.sff"));
    EXPECT_EQ(f.Log().find("already exists"), std::string::npos);
    mnuClose_Click(f.state);
    EXPECT_EQ(f.program.Read("test.def"), saved);
    EXPECT_EQ(f.program.Read("city.sff"), mine);
    EXPECT_TRUE(f.TempListing().empty());
}

TEST(StagePackage, DeletingAZippedStageAsksThenDeletesThePackage) {
    PackageFixture f;
    const auto before = f.ProgramListing();
    const std::string package = f.Package("city.zip", f.CityItems());
    f.ui.openAnswers = {package};
    mnuOpen_Click(f.state);
    LoadStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);

    f.ui.boxAnswers = {MsgAnswer::No};
    mnuDelete_Click(f.state);
    EXPECT_EQ(f.state.bRunning, 1);
    EXPECT_TRUE(fs::exists(package));

    f.ui.boxAnswers = {MsgAnswer::Yes};
    mnuDelete_Click(f.state);
    ASSERT_EQ(f.ui.boxes.size(), 2u);
    EXPECT_EQ(f.ui.boxes[1].text,
              "Are you sure you want to delete this zipped stage (" + package + ")?\r\nThe package goes to the trash.");
    EXPECT_EQ(f.ui.boxes[1].buttons, MsgButtons::YesNoDefaultNo);
    EXPECT_EQ(f.ui.trashed, (std::vector<std::string>{package}));
    EXPECT_EQ(f.ProgramListing(), before);
}

// The music chooser's question about a package stage holds it: a second start's hand-over waits, and
// Yes writes into the extracted copy it asked about, never into the stage handed over.
TEST(StagePackage, TheMusicChoosersQuestionHoldsThePackageStage) {
    PackageFixture f;
    const std::string music = "[Music]\r\nbgmusic = \r\n";
    const std::string other = f.AddStage("b", "B");
    const std::string otherText = StageDefText("B", "b.sff") + music;
    f.mugen.Write("stages/b.def", otherText);
    f.ui.openAnswers = {f.Package("city.zip", {{"stages/city.def", StageDefText("City", "city.sff") + music},
                                               {"stages/city.sff", TinySff()}})};
    mnuOpen_Click(f.state);
    LoadStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);
    const std::string extracted = f.state.StageFile;
    mnuChangeMusic_Click(f.state);
    f.state.Chooser.MusicPicked = true;  // as Browse leaves it
    f.state.Chooser.CurMusic = "song.mp3";
    f.ui.onBox = [&] {
        f.ui.onBox = nullptr;
        OpenFromCommandLine(f.state, other);
        TmrDropTick(f.state);
    };
    f.ui.boxAnswers = {MsgAnswer::Yes};
    EXPECT_TRUE(MusicChooserSave(f.state));
    EXPECT_EQ(f.state.StageFile, extracted);
    EXPECT_EQ(f.mugen.Read("stages/b.def"), otherText);
    EXPECT_NE(ReadFileBytes(extracted, 1 << 20).value_or("").find("song.mp3"), std::string::npos);
    EXPECT_TRUE(f.timers.Active(TimerId::Drop));
}

// Hostile names opened and closed through the window: the stage still opens from the files the names
// reduce to, only definitions and sprite files by the name they are written under reach the private
// folder, and nothing else changes. (Bounds, methods and passwords are cUnzip's.)
TEST(StagePackage, HostileNamesWriteOnlyIntoThePrivateFolder) {
    const std::string def = StageDefText("City", "city.sff");
    const std::string sff = TinySff();
    const auto item = [](const std::string& name, const std::string& data) {
        return RawZipItem{name, data, 0, 0, Crc32(data), data.size()};
    };
    const struct {
        std::vector<RawZipItem> items;
        std::set<std::string> extracted;
    } cases[] = {
        {{item("../../city.def", def), item("..\\..\\city.sff", sff)}, {"city.def", "city.sff"}},
        {{item("/tmp/city.def", def), item("C:\\x\\city.sff", sff)}, {"city.def", "city.sff"}},
        // Listed as "x.def\qt.conf" (no "/" to split on) but written as qt.conf: not extracted.
        {{item("x.def\\qt.conf", "[Paths]\nPlugins = /tmp\n"), item("y.sff:z.sh", "#!/bin/sh\n"),
          item("../../evil.def", "[Info]\r\n"), item("city.def", def), item("city.sff", sff)},
         {"evil.def", "city.def", "city.sff"}},
    };
    for (const auto& c : cases) {
        PackageFixture f;
        f.program.Write("QB.cfg", "kept");
        const auto before = f.ProgramListing();
        f.ui.openAnswers = {f.RawPackage("hostile.zip", RawZip(c.items))};
        const auto mugenBefore = Listing(f.mugen.Path());
        mnuOpen_Click(f.state);
        std::set<std::string> extracted;
        for (const auto& entry : fs::directory_iterator(f.state.Package.Folder))
            extracted.insert(entry.path().filename().string());
        EXPECT_EQ(extracted, c.extracted) << c.items[0].name;
        LoadStage(f.state);
        EXPECT_EQ(f.state.bRunning, 1) << c.items[0].name;
        mnuClose_Click(f.state);
        EXPECT_EQ(f.ProgramListing(), before) << c.items[0].name;
        EXPECT_EQ(Listing(f.mugen.Path()), mugenBefore) << c.items[0].name;
        EXPECT_TRUE(f.TempListing().empty()) << c.items[0].name;
        EXPECT_EQ(f.program.Read("QB.cfg"), "kept");
    }
}

// A package changed on disk since it was extracted: Reload and the watcher extract it again, into a
// new private folder, and the old copy goes.
TEST(StagePackage, ReloadExtractsAChangedPackageAgain) {
    PackageFixture f;
    const std::string package = f.Package("city.zip", f.CityItems());
    f.ui.openAnswers = {package};
    mnuOpen_Click(f.state);
    ASSERT_TRUE(BeginStageRun(f.state));
    f.state.Options.AutoReload = true;
    const std::vector<std::string> watched = StageFilesToWatch(f.state);
    EXPECT_NE(std::find(watched.begin(), watched.end(), ResolvePath(package)), watched.end());
    const std::string firstFolder = f.state.Package.Folder;

    for (const bool byWatcher : {false, true}) {
        SCOPED_TRACE(byWatcher ? "watcher" : "Reload");
        const std::string name = byWatcher ? "Night" : "Dusk";
        const std::string old = f.state.Package.Folder;
        ASSERT_TRUE(WriteZip(
            package, {{"stages/city.def", StageDefText(name, "city.sff")}, {"stages/city.sff", TinySff()}}));
        if (byWatcher) {
            NoteStageFilesChanged(f.state);
            f.clock.AdvanceMs(kReloadSettleMs + 1);
            PollLiveReload(f.state);
        } else {
            mnuReload_Click(f.state);
        }
        EXPECT_NE(f.state.Package.Folder, old);
        EXPECT_FALSE(fs::exists(old));
        EXPECT_EQ(f.state.StageFile, f.Extracted("city.def"));
        EXPECT_TRUE(f.timers.Active(TimerId::Start));
        ASSERT_TRUE(BeginStageRun(f.state));
        EXPECT_EQ(f.state.Stage.StageName, name);
    }
    EXPECT_NE(f.state.Package.Folder, firstFolder);
    // Edits made with Update outlive a changed package as they outlive a changed definition: the
    // watcher asks nothing and keeps the stage; Reload (Discard) then extracts the new package.
    f.state.Edit.SelectedElement = 0;
    ShowElement(f.state.Stage, 0, f.state.Edit.Fields);
    f.state.Edit.Fields.txtXpos = "40";
    BgEditorButton(f.state, "cmdUpdate");
    ASSERT_TRUE(WriteZip(
        package, {{"stages/city.def", StageDefText("Dawn", "city.sff")}, {"stages/city.sff", TinySff()}}));
    const std::string held = f.state.Package.Folder;
    f.ui.boxes.clear();
    NoteStageFilesChanged(f.state);
    f.clock.AdvanceMs(kReloadSettleMs + 1);
    PollLiveReload(f.state);
    EXPECT_TRUE(f.ui.boxes.empty());
    EXPECT_EQ(f.state.Package.Folder, held);
    EXPECT_EQ(f.state.Stage.Elements[0].StartX, 40);
    f.ui.boxAnswers = {MsgAnswer::No};
    mnuReload_Click(f.state);
    EXPECT_FALSE(fs::exists(held));
    ASSERT_TRUE(BeginStageRun(f.state));
    EXPECT_EQ(f.state.Stage.StageName, "Dawn");
    mnuReload_Click(f.state);  // unchanged now: the same files are read again
    EXPECT_TRUE(fs::exists(f.Extracted("city.def")));
}

}  // namespace
}  // namespace qb::test

namespace qb::test {
namespace {

TEST(ProgramFiles, AnInstalledProgramWritesOnlyIntoThePerUserFolders) {
    // The program folder is read-only in spirit: the configuration, the snapshots, the editor's files
    // and a package's files go to the folders DataDirs names, made on demand.
    PackageFixture f;
    const auto before = f.ProgramListing();
    TempDir user;
    f.state.Dirs = DataDirs{(user.Path() / "config/quillback").string(), (user.Path() / "data/quillback").string(),
                            (user.Path() / "cache/quillback/tmp").string(), "", false};
    f.ui.openAnswers = {f.Package("city.zip", f.CityItems())};
    mnuOpen_Click(f.state);
    EXPECT_EQ(fs::path(f.state.StageFile).parent_path().parent_path(), user.Path() / "cache/quillback/tmp");
    LoadStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);
    mnuSnapshot_Click(f.state);
    EXPECT_TRUE(fs::exists(user.Path() / "data/quillback/snapshots/City 0.pcx"));
    ASSERT_TRUE(SaveConfig(f.state));
    EXPECT_TRUE(fs::exists(user.Path() / "config/quillback/QB.cfg"));
    mnuClose_Click(f.state);
    EXPECT_TRUE(fs::is_empty(user.Path() / "cache/quillback/tmp"));
    // Save Changes writes a plain stage only (a package's sprite file is gone once it closes).
    f.state.StageFile = f.AddStage("a", "A");
    LoadStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);
    BgEditorButton(f.state, "cmdSave");
    EXPECT_TRUE(fs::exists(user.Path() / "data/quillback/test.def"));
    mnuClose_Click(f.state);
    EXPECT_EQ(f.ProgramListing(), before);
    EXPECT_TRUE(f.ui.boxes.empty());
}

}  // namespace
}  // namespace qb::test

namespace qb::test {
namespace {

// A package holding a stage whose sprite file is version 2: the sprite file is extracted like any
// other (the package path goes by the name, never the version) and is the one the stage reads.
TEST(StagePackage, AVersion2SpriteFileIsExtractedAndRead) {
    PackageFixture f;
    demo::Sff2Palette palette{1, 1, std::vector<uint8_t>(256 * 4, 255), -1};
    const std::vector<uint8_t> pixels(16 * 8, 3);
    const std::string modern = demo::WriteSff2(
        {{0, 0, 0, 0, kSff2Lz5, 8, 16, 8, pixels, 0, -1, false}, {0, 1, 2, 2, kSff2Lz5, 8, 16, 8, {}, 0, 0, false}},
        {palette}, 1);
    const std::string package = f.Package(
        "modern.zip", {{"stages/modern.def", StageDefText("Modern", "modern.sff")}, {"stages/modern.sff", modern}});
    f.ui.openAnswers = {package};
    mnuOpen_Click(f.state);
    EXPECT_EQ(f.state.StageFile, f.Extracted("modern.def"));
    const auto extracted = ReadFileBytes(f.Extracted("modern.sff"), 1 << 20);
    ASSERT_TRUE(extracted);
    EXPECT_EQ(*extracted, modern);
    LoadStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);
    EXPECT_EQ(f.state.Package.ExtractedSpriteFile, f.Extracted("modern.sff"));
    mnuClose_Click(f.state);
    EXPECT_TRUE(f.TempListing().empty());
}

}  // namespace
}  // namespace qb::test

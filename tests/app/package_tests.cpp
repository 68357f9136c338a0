#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "app/bg_buttons.h"
#include "app/commands.h"
#include "app/config.h"
#include "app/load_stage.h"
#include "app/run_loop.h"
#include "app/startup.h"
#include "tests/app/app_fixture.h"
#include "tests/render/picture_file.h"
#include "tests/support/zip_builder.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

// A window whose packages live in the MUGEN directory's "packs" folder.
struct PackageFixture : AppFixture {
    std::string Package(const std::string& name, const std::vector<ZipItem>& items) const {
        fs::create_directories(mugen.Path() / "packs");
        const std::string path = (mugen.Path() / "packs" / name).string();
        EXPECT_TRUE(WriteZip(path, items));
        return path;
    }
    std::string RawPackage(const std::string& name, const std::string& bytes) const {
        return mugen.Write("packs/" + name, bytes).string();
    }
    std::string InProgram(const std::string& name) const { return (program.Path() / name).string(); }
    // The program folder's files and sizes: what a package must leave as it found it once released.
    std::map<std::string, uintmax_t> ProgramListing() const {
        std::map<std::string, uintmax_t> files;
        for (const auto& entry : fs::directory_iterator(program.Path()))
            files[entry.path().filename().string()] = entry.is_regular_file() ? entry.file_size() : 0;
        return files;
    }
    std::vector<ZipItem> CityItems() const {
        return {{"stages/city.def", StageDefText("City", "city.sff")},
                {"stages/city.sff", TinySff()},
                {"stages/readme.txt", "not extracted"}};
    }
};

TEST(StagePackage, LifeCycleThroughTheOpenDialog) {
    PackageFixture f;
    const auto before = f.ProgramListing();
    const std::string package = f.Package("city.zip", f.CityItems());
    f.ui.openAnswers = {package};
    mnuOpen_Click(f.state);
    EXPECT_EQ(f.state.StageFile, f.InProgram("city.def"));
    EXPECT_EQ(f.state.Package.PackageFile, package);
    EXPECT_EQ(f.state.Menus.RecentFiles.front(), package);  // the package, not the extracted file
    EXPECT_TRUE(f.state.Window.tmrStartEnabled);
    auto extracted = before;
    extracted["city.def"] = StageDefText("City", "city.sff").size();
    extracted["city.sff"] = TinySff().size();
    EXPECT_EQ(f.ProgramListing(), extracted);  // flat, and only definitions and sprite files

    LoadStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);
    EXPECT_EQ(f.state.Package.ExtractedSpriteFile, f.InProgram("city.sff"));
    mnuReload_Click(f.state);
    EXPECT_EQ(f.ProgramListing(), extracted);  // a reload reads the same extracted files
    LoadStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);

    mnuClose_Click(f.state);
    EXPECT_EQ(f.ProgramListing(), before);
    EXPECT_FALSE(f.state.Package.FromPackage);
    EXPECT_TRUE(f.ui.boxes.empty());
}

TEST(StagePackage, DropRecentEntryAndCommandLineExtractTheirPackage) {
    PackageFixture f;
    const auto before = f.ProgramListing();
    const std::string package = f.Package("city.zip", f.CityItems());

    FilesDropped(f.state, {package});
    EXPECT_TRUE(fs::exists(f.InProgram("city.def")));  // extracted at once; opened by tmrDrop
    TmrDropTick(f.state);
    EXPECT_EQ(f.state.StageFile, f.InProgram("city.def"));
    EXPECT_EQ(f.state.Menus.RecentFiles, (std::vector<std::string>{package}));
    mnuClose_Click(f.state);
    EXPECT_EQ(f.ProgramListing(), before);  // released before it ever ran

    f.state.Menus.RecentFiles = {f.AddStage("a", "A"), package};
    MnuRecentFiles_Click(f.state, 1);
    EXPECT_EQ(f.state.Menus.RecentFiles.front(), package);
    EXPECT_EQ(f.state.StageFile, f.InProgram("city.def"));
    EXPECT_EQ(f.ui.captions.back(), package);
    LoadStage(f.state);
    EXPECT_EQ(f.state.bRunning, 1);

    OpenFromCommandLine(f.state, package);  // the running package is released before the new extraction
    EXPECT_EQ(f.state.Window.DroppedFile, f.InProgram("city.def"));
    EXPECT_EQ(f.state.bRunning, 0);
    mnuClose_Click(f.state);
    EXPECT_EQ(f.ProgramListing(), before);

    fs::remove(package);
    MnuRecentFiles_Click(f.state, 0);
    EXPECT_EQ(f.BoxTexts().back(), "Can't find file: \r\n" + package);
    EXPECT_EQ(f.ProgramListing(), before);
}

TEST(StagePackage, ContentsDecideWhatOpensAndWhatStays) {
    const std::string twoDef = StageDefText("Two", "city.sff");
    const std::string sjisName = "stages/\x93\x73\x8E\x73.def";  // a Shift-JIS name
    const struct {
        const char* what;
        std::vector<ZipItem> items;
        std::string opens;                    // empty: the open ends at "Not a stage!"
        std::vector<std::string> boxes;
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
    };
    for (const auto& c : cases) {
        PackageFixture f;
        const auto before = f.ProgramListing();
        const std::string package = f.Package("p.zip", c.items);
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
            EXPECT_EQ(f.ProgramListing(), before) << c.what;  // deleted at once
            continue;
        }
        EXPECT_EQ(f.state.StageFile, f.InProgram(c.opens)) << c.what;
        mnuClose_Click(f.state);
        EXPECT_EQ(f.ProgramListing(), before) << c.what;  // every extracted file goes, the unopened one too
    }
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

// Files the package did not create are never deleted: a file of the same name already in the program
// folder (which the stage then uses), and a sprite file that loading found in the MUGEN directory.
TEST(StagePackage, ReleaseKeepsFilesThePackageDidNotCreate) {
    PackageFixture f;
    const std::string mine = TinySff() + "mine";
    f.program.Write("city.sff", mine);
    const auto before = f.ProgramListing();
    f.ui.openAnswers = {f.Package("city.zip", f.CityItems())};
    mnuOpen_Click(f.state);
    ASSERT_TRUE(BeginStageRun(f.state));  // the start clears the error log; the note comes back
    EXPECT_NE(f.Log().find("stages/city.sff was not extracted: " + f.InProgram("city.sff") +
                           " already exists and is used as it is."),
              std::string::npos);
    mnuClose_Click(f.state);
    EXPECT_EQ(f.ProgramListing(), before);
    EXPECT_EQ(f.program.Read("city.sff"), mine);

    // The program folder is the MUGEN directory's stages folder: "spr = stages/shared.sff" resolves
    // to the installed file beside the extracted definition.
    PackageFixture g;
    g.state.ProgramDir = (g.mugen.Path() / "stages").string();
    g.state.Dirs = PortableDataDirs(g.state.ProgramDir);
    g.mugen.Write("stages/shared.sff", TinySff());
    g.ui.openAnswers = {g.Package("lone.zip", {{"lone.def", StageDefText("Lone", "shared.sff")}})};
    mnuOpen_Click(g.state);
    LoadStage(g.state);
    ASSERT_EQ(g.state.bRunning, 1);
    EXPECT_EQ(g.state.Package.ExtractedSpriteFile, (g.mugen.Path() / "stages" / "shared.sff").string());
    mnuClose_Click(g.state);
    EXPECT_TRUE(fs::exists(g.mugen.Path() / "stages" / "shared.sff"));
    EXPECT_FALSE(fs::exists(g.mugen.Path() / "stages" / "lone.def"));
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

// Hostile names opened and closed through the window: the stage still opens from the files the names
// reduce to, and the program folder ends as it began. (Bounds, methods and passwords are cUnzip's.)
TEST(StagePackage, HostileNamesLeaveTheProgramFolderAsItWas) {
    const std::string def = StageDefText("City", "city.sff");
    const std::string sff = TinySff();
    const std::vector<RawZipItem> cases[] = {
        {{"../../city.def", def, 0, 0, Crc32(def), def.size()}, {"..\\..\\city.sff", sff, 0, 0, Crc32(sff), sff.size()}},
        {{"/tmp/city.def", def, 0, 0, Crc32(def), def.size()}, {"C:\\x\\city.sff", sff, 0, 0, Crc32(sff), sff.size()}},
    };
    for (const auto& items : cases) {
        PackageFixture f;
        f.program.Write("QB.cfg", "kept");
        const auto before = f.ProgramListing();
        f.ui.openAnswers = {f.RawPackage("hostile.zip", RawZip(items))};
        mnuOpen_Click(f.state);
        LoadStage(f.state);
        EXPECT_EQ(f.state.bRunning, 1) << items[0].name;
        mnuClose_Click(f.state);
        EXPECT_EQ(f.ProgramListing(), before) << items[0].name;
        EXPECT_EQ(f.program.Read("QB.cfg"), "kept");
    }
}

}  // namespace
}  // namespace qb::test

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
    EXPECT_EQ(f.state.StageFile, (user.Path() / "cache/quillback/tmp/city.def").string());
    LoadStage(f.state);
    ASSERT_EQ(f.state.bRunning, 1);
    mnuSnapshot_Click(f.state);
    EXPECT_TRUE(fs::exists(user.Path() / "data/quillback/snapshots/City 0.pcx"));
    BgEditorButton(f.state, "cmdSave");
    EXPECT_TRUE(fs::exists(user.Path() / "data/quillback/test.def"));
    ASSERT_TRUE(SaveConfig(f.state));
    EXPECT_TRUE(fs::exists(user.Path() / "config/quillback/QB.cfg"));
    mnuClose_Click(f.state);
    EXPECT_TRUE(fs::is_empty(user.Path() / "cache/quillback/tmp"));
    EXPECT_EQ(f.ProgramListing(), before);
    EXPECT_TRUE(f.ui.boxes.empty());
}

}  // namespace
}  // namespace qb::test

// The file watcher's wiring: saves on disk, in place and by replacing the file, reach the core's
// reload while the stage runs, and the stage list follows its folder.
#include <gtest/gtest.h>

#include <QListWidget>
#include <filesystem>

#include "gui/stage_watcher.h"
#include "tests/gui/gui_harness.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

TEST(StageWatcher, SavesReloadTheRunningStageAndTheListFollowsItsFolder) {
    GuiHarness h;
    const std::string first = h.StagePath("quillback");
    ASSERT_TRUE(h.Start(first));
    h.WaitRunning(first);
    const std::string original = h.mugen.Read("stages/quillback.def");
    const fs::path moved = h.mugen.Path().string() + ".moved";
    const auto named = [&original](const std::string& name) {
        std::string def = original;
        return def.replace(def.find("\"Quillback Demo\""), 16, name);
    };
    h.Do([&] { h.mugen.Write("stages/quillback.def", named("Saved")); }, "save in place");
    h.Then([&] { return h.State().Stage.StageName == "Saved"; },
           [&] {
               EXPECT_EQ(h.State().Live.Reloads, 1);
               // An editor that keeps a backup writes a new file and renames it over the old one.
               h.mugen.Write("stages/quillback.def.new", named("Replaced"));
               fs::rename(h.mugen.Path() / "stages/quillback.def.new", h.mugen.Path() / "stages/quillback.def");
           },
           "reloaded after the save in place");
    h.Then([&] { return h.State().Stage.StageName == "Replaced"; },
           [&] {
               EXPECT_EQ(h.State().Live.Reloads, 2);
               const QStringList files = h.Window().Watcher()->WatchedFiles();
               EXPECT_TRUE(files.contains(QString::fromStdString(first))) << "watched again after the rename";
               EXPECT_EQ(h.Window().StageListBox()->count(), 2);
               h.mugen.Write("stages/third.def", named("Third"));
           },
           "reloaded after the replace");
    h.Then([&] { return h.Window().StageListBox()->count() == 3; },
           [&] {
               EXPECT_EQ(h.Window().StageListBox()->item(2)->text(), QStringLiteral("Third \u00b7 Quillback"));
               EXPECT_TRUE(h.State().Loop.InRunLoop) << "the stage runs on";
               // The MUGEN folder renamed while running: the list must not keep naming files that
               // are no longer there.
               fs::rename(h.mugen.Path(), moved);
           },
           "the list shows the new stage");
    h.Then([&] { return h.Window().StageListBox()->count() == 0; },
           [&] { fs::rename(moved, h.mugen.Path()); }, "the list empties when the MUGEN folder goes");
    h.Then([&] { return h.Window().StageListBox()->count() == 3; }, [] {},
           "the list comes back with the folder");
    h.ThenExit();
    h.Run();
}

}  // namespace
}  // namespace qb::test

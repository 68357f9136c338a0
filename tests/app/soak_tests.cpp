// A long session through the main window's commands: corpus stages opened, reloaded, offered for
// deletion (the user says No) and closed, hundreds of times. Nothing may accumulate: the sanitizer
// build checks for errors and leaks, and the live heap at the end must be where it was once the
// session had settled.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/commands.h"
#include "session/stage_session.h"
#include "app/startup.h"
#include "tests/app/app_fixture.h"
#include "tests/support/memory_use.h"

namespace qb::test {
namespace {

namespace fs = std::filesystem;

constexpr int kCycles = 500;
constexpr int kSettledCycle = 10;
// DoEvents calls into a run before the user acts: a few frames are drawn first.
constexpr int kEventsBeforeAction = 6;

// Small corpus stages with different habits: LF-only lines repaired through fix.def, "spr" relative
// to the MUGEN directory and to the definition's folder, linked sprites, parallax floors.
const char* const kStages[] = {"kazzmir__stage0", "TheNegumProject__sb3dcloud", "kazzmir__cargo",
                               "kazzmir__kfm"};

// Copies each corpus stage's definition and sprite file into the fixture's stages folder and answers
// the definitions' paths.
std::vector<std::string> LayOutStages(const AppFixture& f, const fs::path& corpus) {
    std::vector<std::string> defs;
    const fs::path stages = f.mugen.Path() / "stages";
    fs::create_directories(stages);
    for (const char* name : kStages) {
        for (const auto& entry : fs::directory_iterator(corpus / "stages" / name)) {
            fs::copy_file(entry.path(), stages / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
            std::string ext = entry.path().extension().string();
            for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (ext == ".def") defs.push_back((stages / entry.path().filename()).string());
        }
    }
    return defs;
}

// Runs `action` inside the run loop once it has serviced kEventsBeforeAction window messages, as a
// menu command chosen while the stage runs would. Messages serviced while the sprite file is indexed
// do not count: the user acts on a stage that is on screen.
void ActWhileRunning(AppFixture& f, std::function<void()> action) {
    f.ui.onDoEvents = [&f, action = std::move(action), seen = 0]() mutable {
        if (f.state.Loop.InRunLoop && ++seen == kEventsBeforeAction) action();
    };
}

TEST(Soak, OpenReloadRefusedDeleteAndCloseLeaveNothingBehind) {
    const fs::path corpus = CorpusDir();
    if (corpus.empty()) GTEST_SKIP() << "../shared/corpus is absent";
    AppFixture f;
    const std::vector<std::string> stages = LayOutStages(f, corpus);
    ASSERT_EQ(stages.size(), std::size(kStages));

    size_t settledHeap = 0, settledResident = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        const std::string& stage = stages[static_cast<size_t>(cycle) % stages.size()];
        SCOPED_TRACE("cycle " + std::to_string(cycle) + ": " + stage);

        OpenStageFile(f.state, stage);
        ASSERT_TRUE(f.timers.Active(TimerId::Start));
        bool ranBeforeReload = false;
        ActWhileRunning(f, [&] {
            ranBeforeReload = f.state.bRunning == 1 && f.state.Stage.SpriteCount > 0;
            mnuReload_Click(f.state);
        });
        TmrStartTick(f.state);
        ASSERT_TRUE(ranBeforeReload);
        ASSERT_TRUE(f.timers.Active(TimerId::Start));  // the reload starts again through the timer

        bool ranAfterRefusal = false;
        ActWhileRunning(f, [&] {
            f.ui.boxAnswers.push_back(MsgAnswer::No);
            mnuDelete_Click(f.state);
            ranAfterRefusal = f.state.bRunning == 1;
            mnuClose_Click(f.state);
        });
        TmrStartTick(f.state);
        ASSERT_TRUE(ranAfterRefusal);
        ASSERT_EQ(f.state.bRunning, 0);
        ASSERT_FALSE(f.state.Loop.InRunLoop);
        ASSERT_TRUE(f.state.Stage.Sprites.empty());
        ASSERT_TRUE(fs::exists(stage));
        ASSERT_TRUE(f.ui.boxAnswers.empty());  // the delete prompt was asked
        f.ui.onDoEvents = nullptr;
        f.ForgetRecords();

        if (cycle == kSettledCycle) {
            settledHeap = LiveHeapBytes();
            settledResident = ResidentBytes();
        }
    }
    const size_t endHeap = LiveHeapBytes();
    const size_t endResident = ResidentBytes();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "soak: %d cycles in %.1f s; live heap %zu -> %zu bytes, resident %zu -> %zu kB (cycle %d -> end)\n",
        kCycles, seconds, settledHeap, endHeap, settledResident / 1024, endResident / 1024, kSettledCycle);

    // Every stage file is still there, and nothing else was written beside them (the repaired copy
    // of an LF-only definition goes again with its load).
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(f.mugen.Path() / "stages"))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 2 * std::size(kStages));
    EXPECT_FALSE(fs::exists(f.program.Path() / "fix.def"));
    EXPECT_LE(endHeap, settledHeap + settledHeap / 10);
}

}  // namespace
}  // namespace qb::test

#include <gtest/gtest.h>

#include <numeric>
#include <utility>

#include "app/commands.h"
#include "app/run_loop.h"
#include "session/stage_session.h"
#include "app/startup.h"
#include "tests/app/app_fixture.h"

namespace qb::test {
namespace {

constexpr int64_t kPeriod60 = 16667;  // counts of the 1 MHz fake counter in one frame at 60 fps

TEST(FramePacing, PeriodIsRoundedAndNonPositiveLimitsDoNotWait) {
    EXPECT_EQ(FramePeriodCounts(1'000'000, 60), kPeriod60);
    EXPECT_EQ(FramePeriodCounts(3'000'000, 7), 428571);
    EXPECT_EQ(FramePeriodCounts(1'000'000, 0), 0);
    EXPECT_LT(FramePeriodCounts(1'000'000, -30), 0);
}

TEST(FramePacing, WaitSleepsUntilTheDeadlineInsteadOfSpinning) {
    AppFixture f;
    f.clock.nowCounts = 5'000'000;
    f.state.Loop.LastPresent = f.clock.nowCounts;
    f.clock.AdvanceMs(4);  // the frame took 4 ms to draw
    WaitForFrame(f.state);
    // Presented one period after the previous present, give or take the last short sleep.
    EXPECT_GE(f.state.Loop.LastPresent - 5'000'000, kPeriod60);
    EXPECT_LE(f.state.Loop.LastPresent - 5'000'000, kPeriod60 + 50);
    ASSERT_FALSE(f.clock.sleeps.empty());
    EXPECT_LE(f.clock.sleeps.size(), 12u);  // a handful of naps, not a busy loop
    const int64_t slept = std::accumulate(f.clock.sleeps.begin(), f.clock.sleeps.end(), int64_t{0});
    EXPECT_GE(slept, kPeriod60 - 4000 - 50);
    for (int64_t nap : f.clock.sleeps) EXPECT_GT(nap, 0);
    EXPECT_EQ(f.ui.doEventsCalls,
              static_cast<int>(f.clock.sleeps.size()) + 1);  // messages served between naps
}

TEST(FramePacing, AFrontEndThatWaitsForMessagesSleepsInItAndLateNapsKeepTheRate) {
    // The wait starts 4 ms into the period; a message comes 3 ms later (or none). Every nap wakes `late`.
    enum class Message { None, Key, Close, Resume };
    struct Case { Message message; bool paused; int64_t late, end; size_t waits; };
    for (const Case& c : {Case{Message::None, false, 0, kPeriod60, 1}, Case{Message::Key, false, 0, kPeriod60, 2},
                          Case{Message::Close, false, 0, 7000, 1}, Case{Message::None, true, 0, 33333, 1},
                          Case{Message::Resume, true, 0, 7000, 1}, Case{Message::None, false, 1400, kPeriod60, 1},
                          Case{Message::None, false, 2000, kPeriod60 + 2000, 1}}) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.message) << c.paused << " late " << c.late);
        AppFixture f;
        f.clock.oversleep = c.late;
        if (c.paused) f.state.Loop.FpsLimit = 0, f.state.Loop.Paused = 255;
        f.clock.AdvanceMs(4);
        int64_t messageAt = c.message == Message::None ? -1 : f.clock.nowCounts + 3000;
        f.ui.onWaitForEvents = [&](int64_t micros) {
            const bool comes = messageAt >= 0 && messageAt <= f.clock.nowCounts + micros;
            f.clock.nowCounts = comes ? std::exchange(messageAt, -1) : f.clock.nowCounts + micros;
            f.state.Loop.ExitLoop = comes && c.message == Message::Close;
            if (comes && c.message == Message::Resume) f.state.Loop.Paused = 0;
            return true;
        };
        WaitForFrame(f.state);
        EXPECT_EQ(f.state.Loop.LastPresent, c.end);
        EXPECT_EQ(f.ui.eventWaits.size(), c.waits);
        EXPECT_LE(f.clock.sleeps.size(), 1u) << "only the last stretch is slept on the clock";
        EXPECT_EQ(f.ui.doEventsCalls, static_cast<int>(f.clock.sleeps.size()) + 1);
    }
}

TEST(FramePacing, OverrunFrameWaitsOnePass) {
    AppFixture f;
    f.clock.nowCounts = 1'000'000;
    f.state.Loop.LastPresent = f.clock.nowCounts - 3 * kPeriod60;
    WaitForFrame(f.state);
    EXPECT_TRUE(f.clock.sleeps.empty());
    EXPECT_EQ(f.ui.doEventsCalls, 1);
}

TEST(FramePacing, UnlimitedAndNegativeLimitsServeMessagesOnce) {
    for (int16_t limit : {int16_t{0}, int16_t{-5}}) {
        AppFixture f;
        f.state.Loop.FpsLimit = limit;
        f.state.Loop.LastPresent = f.clock.nowCounts;
        WaitForFrame(f.state);
        EXPECT_TRUE(f.clock.sleeps.empty());
        EXPECT_EQ(f.ui.doEventsCalls, 1);
    }
}

TEST(FramePacing, PausedWithoutALimitWaitsForMessagesInsteadOfSpinning) {
    const int64_t period = FramePeriodCounts(FakeClock::kFrequency, kPausedFps);
    for (const bool resumed : {false, true}) {
        AppFixture f;
        f.state.Loop.FpsLimit = 0;
        f.state.Loop.Paused = 255;
        if (resumed) f.ui.onDoEvents = [&] { f.state.Loop.Paused = 0; };  // the Pause command, mid-wait
        WaitForFrame(f.state);
        EXPECT_EQ(f.state.Loop.LastPresent >= period, !resumed);
        EXPECT_LE(f.state.Loop.LastPresent, period + 50);
        EXPECT_LE(f.clock.sleeps.size(), 20u) << "a handful of naps, not a busy loop";
    }
}

TEST(FramePacing, ExitLoopSetDuringTheWaitEndsIt) {
    AppFixture f;
    f.state.Loop.LastPresent = f.clock.nowCounts;
    f.ui.onDoEvents = [&] { f.state.Loop.ExitLoop = true; };
    WaitForFrame(f.state);
    EXPECT_TRUE(f.clock.sleeps.empty());
    EXPECT_EQ(f.ui.doEventsCalls, 1);
}

TEST(RunLoop, RunsTheStageUntilACommandEndsIt) {
    AppFixture f;
    f.state.StageFile = f.AddStage("forest", "Forest Gate");
    f.state.Log.Append("old entry");
    f.EndLoopAtDoEvents(30);
    RunStage(f.state);
    EXPECT_FALSE(f.state.Loop.InRunLoop);
    EXPECT_EQ(f.state.bRunning, 1);
    EXPECT_TRUE(f.state.Log.Text().empty());
    ASSERT_FALSE(f.ui.captions.empty());
    EXPECT_EQ(f.ui.captions.back(), "Forest Gate");
    EXPECT_TRUE(MenuModel(f.state).Item("mnuFS").Enabled);
    EXPECT_TRUE(MenuModel(f.state).Item("mnuDebug").Enabled);
    EXPECT_GT(f.sink.presents, 0);
    // Paced at 60 fps on the counter: the presents span about one period each.
    const double elapsedMs = static_cast<double>(f.clock.nowCounts) / 1000.0;
    EXPECT_GE(elapsedMs, (f.sink.presents - 1) * 16.6);
    EXPECT_EQ(f.state.Edit.Fields.txtcamleft, "-100");
}

TEST(RunLoop, AStageStartedWhilePausedShowsItsFirstFrameAndStaysPaused) {
    AppFixture f;
    f.state.StageFile = f.AddStage("forest", "Forest Gate");
    mnuPause_Click(f.state);  // paused on the stage before
    a_clear_to_color(f.state.BackBuffer.get(), 0);
    f.EndLoopAtDoEvents(30);
    RunStage(f.state);
    EXPECT_EQ(f.state.Loop.Paused, 255);
    EXPECT_EQ(f.ui.captions.back(), "Forest Gate <<PAUSED>>");
    EXPECT_EQ(f.state.Frame.FrameNumber, 1) << "one frame drawn, then the pause holds";
    int drawn = 0;
    for (int y = 0; y < kViewHeight; ++y)
        for (int x = 0; x < kViewWidth; ++x) drawn += a_getpixel(f.state.BackBuffer.get(), x, y) != 0;
    EXPECT_GT(drawn, 0) << "the view (and a snapshot of it) shows the new stage, not black";
    EXPECT_GT(f.sink.presents, 0);
}

TEST(RunLoop, FailedLoadDoesNotEnterTheLoop) {
    AppFixture f;
    f.state.StageFile = f.mugen.Write("stages/nosprite.def", StageDefText("X", "missing.sff")).string();
    f.ui.onDoEvents = [&] {
        ADD_FAILURE() << "the loop ran";
        f.state.Loop.ExitLoop = true;
    };
    a_clear_to_color(f.state.BackBuffer.get(), kMaskColor);  // the previous stage's last frame
    RunStage(f.state);
    EXPECT_EQ(f.state.bRunning, 0);
    EXPECT_FALSE(f.state.Loop.InRunLoop);
    // The view is cleared and shown once, as Close leaves it, instead of keeping the old frame.
    EXPECT_EQ(f.sink.presents, 1);
    EXPECT_EQ(a_getpixel(f.state.BackBuffer.get(), 160, 120), 0);
}

TEST(RunLoop, OnceASecondLoopsTheMusicAtItsEnd) {
    AppFixture f;
    f.state.Stage.MusicFile = "song.ogg";
    ASSERT_TRUE(f.state.MUSIC.SetFileName("/m/song.ogg"));
    f.media.calls.clear();
    f.media.duration = 93.5;
    f.media.position = 40;
    OnceASecond(f.state);
    EXPECT_TRUE(f.media.calls.empty());
    f.media.position = 93.5;
    OnceASecond(f.state);
    EXPECT_EQ(f.media.calls, (std::vector<std::string>{"seek", "play"}));
    EXPECT_EQ(f.media.position, 0);

    f.media.calls.clear();
    f.media.duration = f.media.position = 0;  // nothing playable: left alone
    OnceASecond(f.state);
    f.state.Stage.MusicFile.clear();
    f.media.duration = f.media.position = 10;
    OnceASecond(f.state);
    EXPECT_TRUE(f.media.calls.empty());
}

TEST(RunLoop, FirstPassCountsTheSecondAndPauseKeyFreezesIt) {
    AppFixture f;
    f.state.StageFile = f.AddStage("forest", "Forest Gate");
    f.state.Options.Info = true;
    f.clock.AdvanceMs(250'000);  // the machine has been up for a while
    f.EndLoopAtDoEvents(1);
    RunStage(f.state);  // loads; one pass
    EXPECT_EQ(f.state.Frame.InfoText.rfind("Cam ", 0), 0u);
    EXPECT_NE(f.state.Frame.InfoText.find("  1 FPS"), std::string::npos);

    const int16_t frames = f.state.Frame.FramesThisSecond;
    f.keys.Tap(Key::Pause);
    RunPass(f.state);
    EXPECT_EQ(f.state.Loop.Paused, 255);
    EXPECT_EQ(f.ui.captions.back(), "Forest Gate <<PAUSED>>");
    const int16_t afterPause = f.state.Frame.FramesThisSecond;
    EXPECT_EQ(afterPause, frames + 1);  // the pass that read the key was still drawn
    RunPass(f.state);
    RunPass(f.state);
    EXPECT_EQ(f.state.Frame.FramesThisSecond, afterPause);  // paused: nothing drawn or counted
    f.keys.Tap(Key::Pause);
    RunPass(f.state);
    EXPECT_EQ(f.state.Loop.Paused, 0);
    EXPECT_EQ(f.ui.captions.back(), "Forest Gate");
}

TEST(RunLoop, TimersActOnlyOnceTheLoopHasReturned) {
    AppFixture f;
    const std::string first = f.AddStage("first", "First");
    const std::string second = f.AddStage("second", "Second");
    f.state.StageFile = first;
    OpenStageFile(f.state, f.state.StageFile);
    ASSERT_TRUE(f.timers.Active(TimerId::Start));

    int calls = 0;
    bool sawSecondInsideFirstLoop = false;
    f.ui.onDoEvents = [&] {
        ++calls;
        if (calls == 3) {
            // The user picks another stage while the first one runs.
            OpenStageFile(f.state, second);
            EXPECT_TRUE(f.state.Loop.ExitLoop);
            EXPECT_EQ(f.state.bRunning, 0);  // released at once
            TmrStartTick(f.state);           // the timer fires inside the loop: it waits
            EXPECT_TRUE(f.timers.Active(TimerId::Start));
            sawSecondInsideFirstLoop = f.state.Stage.StageName == "Second";
            CloseRequest(f.state);
            TmrExitTick(f.state);  // likewise waits
            EXPECT_TRUE(f.timers.Active(TimerId::Exit));
        }
        if (calls == 10) f.state.Loop.ExitLoop = true;
    };
    TmrStartTick(f.state);  // runs the first stage until the command above ends it
    EXPECT_LT(calls, 10);   // the first loop ended right after the command
    EXPECT_FALSE(sawSecondInsideFirstLoop);
    EXPECT_FALSE(f.state.Loop.InRunLoop);
    EXPECT_TRUE(f.timers.Active(TimerId::Start));
    EXPECT_EQ(f.ui.quitCalls, 0);
}

TEST(RunLoop, CloseAndDropWaitForALoadInProgress) {
    AppFixture f;
    const std::string other = f.AddStage("other", "Other");
    f.state.StageFile = f.AddStage("forest", "Forest Gate");
    OpenStageFile(f.state, f.state.StageFile);
    bool seenDuringLoad = false;
    f.ui.onDoEvents = [&] {
        if (f.state.Load.LoadPhase == 0 || seenDuringLoad) return;
        // The sprite file is being indexed: the window is closed and a stage dropped on it.
        seenDuringLoad = true;
        // Commands that release the stage do nothing while it loads (their menus are off).
        f.ui.boxAnswers = {MsgAnswer::Yes};
        mnuReload_Click(f.state);
        mnuDelete_Click(f.state);
        mnuClose_Click(f.state);
        OpenStageFile(f.state, other);
        f.ui.boxAnswers.clear();
        FilesDropped(f.state, {other});
        TmrDropTick(f.state);
        CloseRequest(f.state);
        TmrExitTick(f.state);
        EXPECT_TRUE(f.timers.Active(TimerId::Drop)) << "the drop waits for the load";
        EXPECT_TRUE(f.timers.Active(TimerId::Exit)) << "the close waits for the load";
        EXPECT_EQ(f.ui.quitCalls, 0);
        // The stage being loaded is the load's own until it is installed: nothing here can release it.
        EXPECT_EQ(f.state.bRunning, 0);
    };
    TmrStartTick(f.state);
    ASSERT_TRUE(seenDuringLoad);
    EXPECT_EQ(f.state.Stage.StageName, "Forest Gate") << "the load finished whole";
    EXPECT_FALSE(f.state.Loop.InRunLoop) << "the close asked for during the load ended the run";
    f.ui.onDoEvents = nullptr;
    TmrExitTick(f.state);
    EXPECT_EQ(f.ui.quitCalls, 1);
}

TEST(RunLoop, CloseBeforeTheStartCameDueWins) {
    AppFixture f;
    f.state.StageFile = f.AddStage("forest", "Forest Gate");
    OpenStageFile(f.state, f.state.StageFile);
    CloseRequest(f.state);
    f.ui.onDoEvents = [&] {
        ADD_FAILURE() << "a loop started after the close";
        f.state.Loop.ExitLoop = true;
    };
    TmrStartTick(f.state);
    EXPECT_FALSE(f.timers.Active(TimerId::Start));
    EXPECT_FALSE(f.state.Loop.InRunLoop);
    TmrExitTick(f.state);
    EXPECT_EQ(f.ui.quitCalls, 1);
}

TEST(RunLoop, ReloadRestartsThroughTheStartTimer) {
    AppFixture f;
    f.state.StageFile = f.AddStage("forest", "Forest Gate");
    OpenStageFile(f.state, f.state.StageFile);
    int calls = 0;
    int loopsEntered = 0;
    f.ui.onDoEvents = [&] {
        ++calls;
        if (calls == 2) mnuReload_Click(f.state);
        if (calls == 5) f.state.Loop.ExitLoop = true;
    };
    while (f.timers.Active(TimerId::Start) && loopsEntered < 5) {
        ++loopsEntered;
        TmrStartTick(f.state);
    }
    EXPECT_EQ(loopsEntered, 2);  // the reload ran as a second, separate loop
    EXPECT_EQ(f.state.bRunning, 1);
    EXPECT_EQ(f.state.Stage.StageName, "Forest Gate");
    EXPECT_FALSE(f.state.Package.Reloading);
}

}  // namespace
}  // namespace qb::test

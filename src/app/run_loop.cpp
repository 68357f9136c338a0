#include "app/run_loop.h"

#include <algorithm>

#include "app/app_state.h"
#include "app/char_commands.h"
#include "app/commands.h"
#include "app/frame_controls.h"
#include "app/view_commands.h"
#include "session/live_reload.h"
#include "session/load_stage.h"
#include "session/stage_session.h"
#include "app/window_rules.h"
#include "character/char_walker.h"
#include "character/fighters.h"
#include "tools/bg_commands.h"
#include "tools/bg_editor.h"
#include "render/frame.h"

namespace qb {

namespace {

// Longest single sleep of the frame wait: messages are serviced at least this often while waiting.
constexpr int64_t kMaxSleepMicros = 4000;
// Shortest message wait asked of the front end: its timers count whole milliseconds.
constexpr int64_t kMinEventWaitMicros = 1000;
// Step presses kept for later passes at most (what was typed while a box held the loop up).
constexpr int kMaxQueuedSteps = 16;

int64_t MicrosToCounts(int64_t micros, int64_t frequency) {
    return frequency * micros / 1'000'000;
}

int64_t CountsToMicros(int64_t counts, int64_t frequency) {
    return counts * 1'000'000 / frequency;
}

void EnterFullScreenIfWished(AppState& state) {
    if (state.bMakeFullScreen == 255 && state.bFullScreen != 1 && state.bRunning == 1)
        SwitchFullScreen(state, true);  // now that a stage runs
}

}  // namespace

int64_t FramePeriodCounts(int64_t perfFrequency, int fps, int quarters) {
    if (fps == 0 || quarters <= 0) return 0;
    // The period in whole counts, rounded; a negative limit gives a negative period (no wait).
    const int64_t twice = 2 * 4 * perfFrequency / (int64_t{fps} * quarters);
    return (twice + (twice >= 0 ? 1 : -1)) / 2;
}

void API_doevents(AppState& state) {
    if (state.ports.ui) state.ports.ui->DoEvents();
}

void PresentFrame(AppState& state) {
    if (state.ports.sink) state.Target.Present(*state.ports.sink, state.Frame.Retained.Shown);
}

void OnceASecond(AppState& state) {
    if (state.Stage.MusicFile.empty()) return;
    if (state.Chooser.Loaded) ShowMusicTime(state.Chooser, state.MUSIC);
    // Music loops: checked once a second. A player that knows no duration (nothing open, or MIDI
    // before its first end) is left alone rather than told to play every second.
    const double duration = state.MUSIC.Duration();
    const double position = state.MUSIC.Position();
    if (duration > 0 && position == duration) {
        state.MUSIC.SetPosition(state.MUSIC.RestartPosition());
        state.MUSIC.Play();
    }
}

void RunPass(AppState& state) {
    Keys& keys = *state.ports.keys;
    // A stage reloaded while paused is drawn once: the picture must not go on showing the old one.
    const bool showReload = PollLiveReload(state) && state.Loop.Paused == 255;
    if (state.BackBuffer) {
        if (showReload) state.Loop.Paused = 0;
        const FrameResult result = DrawStageFrame(state, keys, *state.ports.clock);
        if (showReload) state.Loop.Paused = 255;
        if (result.SecondElapsed) OnceASecond(state);
        // The stage's loop points are watched every frame: a second would overshoot the loop end
        // audibly.
        state.MUSIC.KeepLoop();
        if (result.DeleteKey) mnuDelete_Click(state);
    }
    ExpireNotice(state);
    // The full-screen view has no menu: Escape leaves it, as its caption promises.
    if (state.bFullScreen == 1 && keys.Pressed(Key::Escape)) LeaveFullScreen(state);
}

void WaitForPeriod(AppState& state, int64_t periodCounts, bool (*stop)(const AppState&)) {
    Clock& clock = *state.ports.clock;
    const int64_t frequency = state.Loop.PerfFrequency > 0 ? state.Loop.PerfFrequency : clock.Frequency();
    const int64_t waitStart = clock.Counter();
    const int64_t frameTicks = periodCounts + (state.Loop.LastPresent - waitStart);
    const int64_t margin = MicrosToCounts(kSleepMarginMicros, frequency);
    const int64_t eventMargin = MicrosToCounts(kEventWaitMarginMicros, frequency);
    const int64_t maxSleep = MicrosToCounts(kMaxSleepMicros, frequency);
    const int64_t minEventWait = MicrosToCounts(kMinEventWaitMicros, frequency);
    bool serviced = false;  // messages were just handled by the front end's own wait
    bool waited = false;    // the front end waits for messages: the last stretch is one nap
    while (true) {
        if (!serviced) API_doevents(state);
        serviced = false;
        if (stop(state)) break;
        const int64_t elapsed = clock.Counter() - waitStart;
        if (elapsed >= frameTicks) break;
        const int64_t remaining = frameTicks - elapsed;
        // Most of the period passes asleep in the front end's message wait, which wakes for a
        // message and otherwise once, shortly before the deadline: its timers keep whole
        // milliseconds and may fire one late.
        if (remaining - eventMargin >= minEventWait && state.ports.ui &&
            state.ports.ui->WaitForEvents(CountsToMicros(remaining - eventMargin, frequency))) {
            serviced = waited = true;
            continue;
        }
        // Without it: sleep in pieces until shortly before the deadline (the scheduler may
        // oversleep by about the margin), servicing messages between them; the rest passes in one
        // nap, so the deadline is met closely and the wait never spins a core.
        const bool last = remaining <= margin || (waited && remaining <= eventMargin + minEventWait);
        const int64_t nap = last ? remaining : std::min(remaining - margin, maxSleep);
        clock.SleepCounts(nap);
    }
    // A nap wakes a little late (0.1-0.2 ms on these machines). Within the margin the deadline
    // counts as the present's time, so the lateness is not added to every period and the rate
    // stays the limit's; a frame that ran over starts the next period from now.
    const int64_t end = clock.Counter();
    const int64_t deadline = waitStart + frameTicks;
    state.Loop.LastPresent = end > deadline && end - deadline < margin ? deadline : end;
}

void WaitForFrame(AppState& state) {
    Clock& clock = *state.ports.clock;
    const int64_t frequency = state.Loop.PerfFrequency > 0 ? state.Loop.PerfFrequency : clock.Frequency();
    if (state.Loop.FpsLimit <= 0 && state.Loop.Paused == 255 && !state.Loop.StepPending && state.Loop.StepsQueued == 0) {
        // Paused without a limit: nothing changes on screen until a command or key does, so the
        // pass waits for messages on the clock instead of drawing the same picture flat out. The
        // wait ends as soon as the pause does (or a step, or the end of the loop, is asked for).
        WaitForPeriod(state, FramePeriodCounts(frequency, kPausedFps),
                      [](const AppState& s) { return s.Loop.ExitLoop || s.Loop.Paused != 255 || s.Loop.StepPending; });
        return;
    }
    if (state.Loop.FpsLimit <= 0) {
        // No limit (or a negative one, whose period is negative): one servicing of messages.
        API_doevents(state);
        state.Loop.LastPresent = clock.Counter();
        return;
    }
    WaitForPeriod(state, FramePeriodCounts(frequency, state.Loop.FpsLimit, SpeedQuarters(state.Loop.Speed)),
                  [](const AppState& s) { return s.Loop.ExitLoop; });
}

FrameOptions CurrentFrameOptions(const AppState& state) {
    FrameOptions options;
    options.Info = state.Options.Info;
    // The stage's own debugbg clears the same way, leaving the menu's setting as the user chose it.
    options.DebugBG = state.Options.DebugBG || state.Stage.DebugBg != 0;
    options.DebugMode = state.Loop.DebugMode;
    options.FpsLimit = PacedFpsLimit(state.Loop.FpsLimit, state.Loop.Speed);
    options.Paused = state.Loop.Paused == 255;
    options.Step = state.Loop.StepPending;
    options.Speed = state.Loop.Speed;
    options.Overlays = OverlayBits(state.Options);
    options.SelectedElement = state.Edit.SelectedElement;
    return options;
}

FrameResult DrawStageFrame(AppState& state, Keys& keys, Clock& clock) {
    RunLoopState& loop = state.Loop;
    if (loop.Paused != 255) loop.StepsQueued = 0;
    if (loop.StepsQueued > 0 && !loop.StepPending) {
        loop.StepPending = true;
        --loop.StepsQueued;
    }
    ElementEditor editor(state.Edit, [&state](const std::string& caption) {
        if (state.ports.ui) state.ports.ui->SetCaption(caption);
    });
    FrameContext ctx{state.Stage, state.Camera,           state.Frame, state.BackBuffer.get(),
                     keys,        clock,                  CurrentFrameOptions(state), &editor};
    ctx.drawCharacter = [&state, &keys] {
        if (state.Chars.CharEnabled != 0) DrawTestChar(state, keys);
    };
    ctx.cameraArrows = [&state] { return CameraArrowsFor(state.Chars); };
    ctx.beforeFrame = [&state, &keys] {
        const CharState& chars = state.Chars;
        if (chars.CharEnabled != 0 && chars.CharLoaded == 255 && chars.TwoFighters && chars.CharCount >= 2)
            FightersStep(state.Chars, state.Stage, state.Camera, keys);
    };
    ctx.picture = state.Target.BeginFrame(state.Camera);
    // The picture is kept between frames unless the character draws into it between the passes or
    // an edited element may change while they run.
    const int selected = state.Edit.SelectedElement;
    const bool editing = selected >= 0 && selected < static_cast<int>(state.Stage.Elements.size());
    const bool charDraws = state.Chars.CharEnabled != 0 && state.Chars.CharLoaded == 255;
    // Overlay lines drawn over the picture would stay in a kept one.
    ctx.retain = !state.Loop.WholeFrames && !editing && !charDraws && state.Loop.DebugMode == 0 &&
                 ctx.options.Overlays == 0;
    ctx.verifyKept = state.Loop.VerifyKept;
    ctx.preview = &state.Edit.Preview;
    const FrameResult result = DrawFrame(ctx);
    state.Loop.StepPending = false;
    state.Loop.StepsQueued = std::min(state.Loop.StepsQueued + result.ExtraSteps, kMaxQueuedSteps);
    if (result.PauseKey) mnuPause_Click(state);
    if (result.SpeedChange != 0) SetRunSpeed(state.Loop, state.Loop.Speed + result.SpeedChange);
    TellZoomWithoutRange(state);
    return result;
}

bool BeginStageRun(AppState& state) {
    state.LineNumber = 0;
    // Presses made before the loop (while the stage was chosen) must not act in its first frame.
    if (Keys* keys = state.ports.keys) {
        for (Key key : {Key::MouseRight, Key::Left, Key::Up, Key::Right, Key::Down, Key::Pause, Key::Escape,
                        Key::Z, Key::A, Key::Delete, Key::NumPlus, Key::NumMinus, Key::Insert, Key::Step,
                        Key::SpeedDown, Key::SpeedUp, Key::ZoomIn, Key::ZoomOut}) {
            keys->Pressed(key);
        }
        keys->WheelSteps();
    }
    ResetEditRun(state.Edit);
    state.Log.Clear();
    AddPackageNotes(state);
    LoadStage(state);
    if (state.bRunning == 0) return false;
    ShowStuff(state.Stage, state.Edit.Fields);
    ResetFrameState(state.Frame);
    StartCharForRun(state);
    // A failed reload shows the log of the stage that runs, the character's entries included.
    state.Live.BaseLog = state.Log.Records();
    // The character may have been refused: the stage still runs without it.
    return true;
}

void RunStage(AppState& state) {
    Clock& clock = *state.ports.clock;

    const bool running = BeginStageRun(state);
    state.Loop.ExitLoop = false;
    if (!running) return;

    // The pause outlives the stage it was set on (every path that replaces the stage comes here):
    // the caption keeps its mark, and the new stage's first frame is drawn once, as a step, so the
    // view and a snapshot show it instead of black.
    const bool paused = state.Loop.Paused == 255;
    if (state.ports.ui) state.ports.ui->SetCaption(StageCaption(state.Stage.StageName, paused));
    if (paused) state.Loop.StepPending = true;
    state.Loop.StageHasRun = true;
    EnterFullScreenIfWished(state);
    if (state.Loop.PerfFrequency <= 0) state.Loop.PerfFrequency = clock.Frequency();
    state.Loop.InRunLoop = true;
    // A close requested while the stage loaded (a message box services messages) still ends it.
    state.Loop.ExitLoop = TimerActive(state, TimerId::Exit);
    state.Loop.LastPresent = clock.Counter();

    while (!state.Loop.ExitLoop) {
        RunPass(state);
        if (state.Loop.ExitLoop) break;
        WaitForFrame(state);
        // A command serviced during the wait may have released the stage: the buffer is not shown
        // again once the loop has been told to end.
        if (state.Loop.ExitLoop) break;
        PresentFrame(state);
    }
    state.Loop.InRunLoop = false;
}

}  // namespace qb

#pragma once
// RunStage: loads the opened stage and runs it, one pass per frame, until ExitLoop is set. Window
// messages (menu commands, timers, drops) are serviced inside every frame's wait, through
// Ui::DoEvents, so commands run in the middle of a pass; they only set flags.
#include <cstdint>

#include "platform/ports.h"
#include "render/frame.h"

namespace qb {

struct AppState;

// The first steps of every run of a stage, shared by the window and the headless tool: line
// counter, presses made before the run discarded, no selection, log emptied, LoadStage; when it
// loaded, the editor's camera boxes, fresh frame values and the test character's start (when it
// is on). True when the stage runs.
bool BeginStageRun(AppState& state);

// The frame's options as the menus and the run loop set them.
FrameOptions CurrentFrameOptions(const AppState& state);
// Draws one frame of the running stage with the editor's keys (a caption they set goes straight to
// the window) and acts on the Pause, Step and speed keys (a pending step is used up).
FrameResult DrawStageFrame(AppState& state, Keys& keys, Clock& clock);

// BeginStageRun, the Full screen item and the caption, then the loop. Returns when ExitLoop is set, or at once
// when the stage did not load (bRunning 0). InRunLoop is true in between.
void RunStage(AppState& state);

// One pass of the loop without its wait and present: the frame (when not paused or stepping), the
// once-a-second work, info text and the pause, step and speed keys. Exposed for the headless tool and the tests.
void RunPass(AppState& state);

// The once-a-second work that belongs to the shell: the music loop check (position equals
// duration: seek to 0 and play again) and the full-screen foreground check.
void OnceASecond(AppState& state);

// Waits until the period of FpsLimit times the run speed has passed since the previous present, servicing messages
// all the while. Sleeps in the front end's message wait (Ui::WaitForEvents, woken by each message)
// until shortly before the deadline, or, where the front end cannot wait, on the clock in pieces
// with Ui::DoEvents between them; finishes in one short nap, so it never spins a core. FpsLimit <= 0: services messages once and returns,
// except while paused, when it waits up to a kPausedFps period for a command that ends the pause.
// Answers early when ExitLoop becomes set during the wait.
void WaitForFrame(AppState& state);
// The wait itself: until `periodCounts` have passed since Loop.LastPresent, servicing messages all
// the while; answers early once `stop` holds. Loop.LastPresent becomes the counter at the end, or
// the deadline when the end is less than kSleepMarginMicros past it.
void WaitForPeriod(AppState& state, int64_t periodCounts, bool (*stop)(const AppState&));

// Hands the BackBuffer to the frame sink (a_draw_to_hdc).
void PresentFrame(AppState& state);

// Services pending window messages.
void API_doevents(AppState& state);

// Counter counts in one frame period at `fps` times `quarters` / 4 (PerfFrequency / fps at the
// normal speed, rounded); 0 or less for fps <= 0.
int64_t FramePeriodCounts(int64_t perfFrequency, int fps, int quarters = 4);

// The rate a paused stage without a frame limit presents at (it waits for messages in between).
inline constexpr int kPausedFps = 30;

// How long before the deadline the wait stops sleeping in one piece: the scheduler may oversleep by
// about this much (1.5 ms). The last stretch is one nap.
inline constexpr int64_t kSleepMarginMicros = 1500;
// How long before the deadline the front end's message wait (Ui::WaitForEvents) ends: the margin
// and a millisecond more, as its timers count whole milliseconds.
inline constexpr int64_t kEventWaitMarginMicros = kSleepMarginMicros + 1000;

}  // namespace qb

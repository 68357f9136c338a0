#include "app/about_screen.h"

#include <memory>

#include "app/app_state.h"
#include "app/run_loop.h"
#include "character/about_walkers.h"
#include "character/load_character.h"
#include "platform/paths.h"

namespace qb {

namespace {

constexpr int kAboutFps = 40;
constexpr int kPauseMs = 1200;
constexpr float kNoStageGroundY = 200;
constexpr int32_t kPauseX = 9;

bool AboutStopped(const AppState& state) {
    return !state.Loop.AboutRunning;
}

// Clears the guard however the screen ends.
class GuardScope {
public:
    explicit GuardScope(uint8_t& guard) : m_guard(guard) { m_guard = 255; }
    ~GuardScope() { m_guard = 0; }
    GuardScope(const GuardScope&) = delete;
    GuardScope& operator=(const GuardScope&) = delete;

private:
    uint8_t& m_guard;
};

void ShowCredits(AppState& state) {
    Ui& ui = *state.ports.ui;
    ui.MsgBox("KFM character could not be found for the about screen :(", MsgIcon::None, MsgButtons::Ok);
    ui.MsgBox(CreditsText(state), MsgIcon::None, MsgButtons::Ok);
}

}  // namespace

std::string AboutCharPath(const AppState& state) {
    return state.MugeDir + "chars/kfm/kfm.def";
}

std::string CreditsText(const AppState& state) {
    return "Quillback " + state.VersionText + " Beta\r\nBy Tarnwick (quillback@users.noreply.invalid)\r\n\r\n"
           "M.U.G.E.N. by Elecbyte! :)";
}

void RunAbout(AppState& state, bool asked) {
    CharState& chars = state.Chars;
    if (chars.AboutGuard != 0 || !state.ports.ui || !state.ports.clock) return;
    GuardScope guard(chars.AboutGuard);
    state.Camera.ViewRight = kViewWidth;
    state.Camera.ViewBottom = kViewHeight;
    chars.CharCount = 1;

    // Two walkers of a few hundred kilobytes each: kept off the stack.
    auto walkers = std::make_unique<AboutWalkers>();
    const std::string path = AboutCharPath(state);
    bool loaded = false;
    // The walk at start is a greeting nobody asked for: without KFM it is left out quietly (no box
    // behind the main window), and a KFM that is refused says why only in the error log.
    HeadlessUi quiet;
    Ui& told = asked ? *state.ports.ui : quiet;
    if (FileExists(path)) {
        // A KFM that is there but refused has already told why; the credits follow as for a missing one.
        ReaderContext reader{state.Log, told, state.LineNumber, {}};
        CharLoadEnv env{told, reader, nullptr};
        loaded = LoadCharacter(env, walkers->Records[0], ResolvePath(path), false);
    }
    if (!loaded || !state.BackBuffer) {
        if (asked) ShowCredits(state);
        return;
    }

    PlaceAboutWalkers(*walkers, state.bRunning != 0 ? state.Stage.ZOffset : kNoStageGroundY);
    UniqueBitmap card = MakeIntroCard();
    if (card && state.ports.sink) state.ports.sink->GrabIntro(card.get());
    state.Loop.AboutRunning = true;

    Clock& clock = *state.ports.clock;
    const int64_t frequency = state.Loop.PerfFrequency > 0 ? state.Loop.PerfFrequency : clock.Frequency();
    const int64_t framePeriod = FramePeriodCounts(frequency, kAboutFps);
    state.Loop.LastPresent = clock.Counter();
    bool paused = false;
    while (state.Loop.AboutRunning) {
        const int32_t secondX = DrawAboutFrame(*walkers, state.BackBuffer.get(), card.get(), state.Camera.CameraY,
                                               state.Frame.LinkOffsetY);
        PresentFrame(state);
        WaitForPeriod(state, framePeriod, AboutStopped);
        if (secondX > kViewWidth) break;
        // The card rests a moment once the second walker has come into view (x 9 or 10 for the
        // sample character). Taken as "first frame at 9 or more": a walker faster than one pixel per
        // frame may step over 9 and 10, and a slow one reaches both; either way it rests once.
        if (!paused && secondX >= kPauseX) {
            paused = true;
            state.Loop.LastPresent = clock.Counter();
            WaitForPeriod(state, frequency * kPauseMs / 1000, AboutStopped);
        }
        if (state.Loop.AboutRunning) API_doevents(state);
    }
    // The walkers' bitmaps go with them; the test character's own files stay loaded.
    walkers.reset();
    state.Loop.AboutRunning = false;
}

void mnuAbout_Click(AppState& state) {
    RunAbout(state);
}

}  // namespace qb

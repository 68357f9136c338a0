#include "app/startup.h"

#include <exception>
#include <new>

#include "app/about_screen.h"
#include "app/app_state.h"
#include "app/bg_buttons.h"
#include "app/char_commands.h"
#include "app/commands.h"
#include "app/config.h"
#include "session/load_stage.h"
#include "session/recent_files.h"
#include "app/run_loop.h"
#include "app/session_host.h"
#include "session/stage_session.h"
#include "app/window_rules.h"
#include "library/stage_list.h"
#include "platform/data_dirs.h"
#include "platform/gfx.h"
#include "platform/paths.h"
#include "stage/error_log.h"

namespace qb {

namespace {

// The release this program is, from the build's one version number (the project's, in
// CMakeLists.txt): 0.6.7 reads "minor 6, revision 7".
constexpr int kVersionMajor = QB_VERSION_MAJOR;
constexpr int kVersionMinor = QB_VERSION_MINOR;
constexpr int kVersionRevision = QB_VERSION_PATCH;

void SizeWindowForList(AppState& state) {
    if (state.Options.StageListShown == 255) {
        // The stage-list command shows the list and sets the flag back to 255.
        state.Options.StageListShown = 0;
        mnuStageList_Click(state);
    } else {
        ApplyWindowGeometry(state);
    }
}

void CenterWindow(AppState& state) {
    if (MoveToRememberedPlace(state)) return;
    Ui& ui = *state.ports.ui;
    const auto [screenWidth, screenHeight] = ui.ScreenSize();
    if (screenWidth <= 0 || screenHeight <= 0) return;
    const auto [width, height] = ClientSizeFor(state);
    ui.MoveWindow(screenWidth / 2 - width / 2, screenHeight / 2 - height / 2);
}

// Runs one entry point of the front end and reports what escaped it, so that nothing is thrown
// back through the toolkit's event handlers. Answers false when something was caught.
template <typename Fn>
bool Trapped(AppState& state, const char* module, const char* procedure, Fn&& fn) {
    try {
        fn();
        return true;
    } catch (const std::bad_alloc&) {
        if (state.ports.ui) HandleError(*state.ports.ui, module, procedure, 7, "Out of memory");
    } catch (const std::exception& e) {
        if (state.ports.ui) HandleError(*state.ports.ui, module, procedure, 51, e.what());
    } catch (...) {
        if (state.ports.ui) HandleError(*state.ports.ui, module, procedure, 51, "Internal error");
    }
    return false;
}

}  // namespace

std::string MakeVersionText(int minor, int revision) {
    return "." + std::to_string(minor) + std::to_string(revision);
}

void SizeAndCenter(AppState& state) {
    SizeWindowForList(state);
    CenterWindow(state);
}

std::string MakeAppTitle(const std::string& versionText) {
    return "Quillback " + versionText + " Beta by Tarnwick";
}

std::string VersionLine(const std::string& program) {
    return program + " " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision) + " (" + MakeAppTitle(MakeVersionText(kVersionMinor, kVersionRevision)) +
           ")";
}

void SetVersionAndTitle(AppState& state) {
    state.VersionText = MakeVersionText(kVersionMinor, kVersionRevision);
    state.AppTitle = MakeAppTitle(state.VersionText);
}

static bool FormLoadSteps(AppState& state, bool alreadyRunning) {
    Ui& ui = *state.ports.ui;
    SetVersionAndTitle(state);
    ui.SetCaption(state.AppTitle);
    if (alreadyRunning) {
        ui.MsgBox("Already running..", MsgIcon::None, MsgButtons::Ok);
        return false;
    }
    // Package folders of an earlier run that ended without releasing its stage (a crash, a kill).
    RemoveStalePackageFolders(state.Dirs.Temp, ProcessRunning);
    state.Window.FirstActivate = 255;
    state.Window.ShowIntro = 255;
    state.Loop.PerfFrequency = state.ports.clock ? state.ports.clock->Frequency() : 0;
    // The menu items the window holds hidden that are offered (mouse scrolling and Deform only need
    // their check marks; Reset has no command): see app/menu_model.cpp.
    state.Window.Loaded = true;

    LoadConfig(state);
    PruneRecentFiles(state.Menus.RecentFiles);
    if (state.CharSettings.CharRequested == 255) {
        // "Char = True": the use command runs once, as if clicked (it asks for a character when
        // none is chosen). CharEnabled carries the setting from here on.
        state.CharSettings.CharRequested = 0;
        mnuChar_Click(state);
    }
    // The listing's names are kept in the per-user cache, so a large library lists at once next time.
    if (!state.Dirs.Cache.empty()) state.Stages.CacheFile = JoinPath(state.Dirs.Cache, "library.tsv");
    LoadFilestoList(state.Stages, ui, StagesFolder(state), ".def");

    // The limiter starts on, at the number last chosen (QB.cfg's FpsLimit).
    state.Loop.FpsLimit = state.Loop.LimitShown > 0 ? state.Loop.LimitShown : kDefaultFpsLimit;
    state.Loop.LimitShown = state.Loop.FpsLimit;

    SetViewScale(state, state.Options.ViewScale);
    SizeAndCenter(state);

    if (!a_allegro_init()) {
        HandleError(ui, "Load", "Form_Load", 48, "Error in loading DLL");
        return true;
    }
    state.BackBuffer = CreateBitmap(kViewWidth, kViewHeight);
    if (!state.BackBuffer) {
        HandleError(ui, "Load", "Form_Load", 7, "Out of memory");
        return true;
    }
    a_clear_to_color(state.BackBuffer.get(), 0);
    return true;
}

bool FormLoad(AppState& state, bool alreadyRunning) {
    bool keepRunning = true;
    Trapped(state, "Load", "Form_Load", [&] { keepRunning = FormLoadSteps(state, alreadyRunning); });
    return keepRunning;
}

void FormActivate(AppState& state) {
    if (state.Window.FirstActivate == 0) return;
    state.Window.FirstActivate = 0;
    Trapped(state, "Main", "Form_Activate", [&] {
        SizeAndCenter(state);
        if (state.Window.ShowIntro != 0) RunAbout(state, false);
        ShowNoStageHint(state);
    });
}

void CloseRequest(AppState& state) {
    if (!ConfirmDropEdits(state)) return;
    StopRequest(state);
}

void mnuExit_Click(AppState& state) {
    CloseRequest(state);
}

void StopRequest(AppState& state) {
    state.Loop.AboutRunning = false;
    state.Loop.ExitLoop = true;
    StartTimer(state, TimerId::Exit);
}

void TmrStartTick(AppState& state) {
    // The old loop has not returned yet, or a load is under way: try again on the next tick.
    if (state.Loop.InRunLoop || LoadInProgress(state)) return;
    StopTimer(state, TimerId::Start);
    // A close asked for before the start came due wins: the shutdown must not wait for a new loop.
    if (TimerActive(state, TimerId::Exit)) return;
    if (!Trapped(state, "Main", "RunStage", [&] { RunStage(state); })) {
        // Whatever escaped the frame ends this stage, not the program.
        state.Loop.InRunLoop = false;
        Trapped(state, "Main", "UnloadStuff", [&] { UnloadStuff(state); });
    }
}

void TmrExitTick(AppState& state) {
    if (state.Loop.InRunLoop || LoadInProgress(state)) return;
    StopTimer(state, TimerId::Exit);
    Trapped(state, "Main", "Shutdown", [&] { Shutdown(state); });
    if (state.ports.ui) state.ports.ui->Quit();
}

void TmrDropTick(AppState& state) {
    // The drop (or a second start's hand-over) is opened once the load has finished and no box about
    // the stage on screen waits for its answer.
    if (StageHeld(state)) return;
    StopTimer(state, TimerId::Drop);
    if (state.Window.DroppedFile.empty()) return;
    const std::string path = state.Window.DroppedFile;
    state.Window.DroppedFile.clear();
    OpenStageFile(state, path);
}

void Shutdown(AppState& state) {
    if (state.Loop.ShutdownDone) return;
    state.Loop.ShutdownDone = true;
    state.Loop.AboutRunning = false;
    state.Loop.ExitLoop = true;
    StopTimer(state, TimerId::Start);
    StopTimer(state, TimerId::Drop);
    if (state.bFullScreen == 1) LeaveFullScreen(state);
    UnloadStuff(state);
    ReleaseTestChar(state.Chars);
    // A failed write is told by SaveConfig and the shutdown goes on: the program must still end.
    RememberPlace(state);
    if (!state.ProgramDir.empty()) SaveConfig(state);
    state.BackBuffer.reset();
    a_allegro_exit();
}

}  // namespace qb

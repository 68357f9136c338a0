#include "app/commands.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/app_state.h"
#include "app/char_commands.h"
#include "app/config.h"
#include "app/frame_controls.h"
#include "session/live_reload.h"
#include "session/load_stage.h"
#include "library/open_package.h"
#include "session/stage_session.h"
#include "app/window_rules.h"
#include "library/open_stage.h"
#include "library/stage_list.h"
#include "platform/paths.h"
#include "render/camera.h"
#include "render/overlays.h"
#include "stage/def_reader.h"
#include "stage/error_log.h"
#include "stage/stage_loader.h"
#include "platform/text_util.h"

namespace qb {

namespace {

Ui& UiOf(AppState& state) {
    return *state.ports.ui;
}


void EnterFullScreen(AppState& state) {
    Ui& ui = UiOf(state);
    const auto [left, top] = ui.WindowPos();
    state.Window.SavedLeft = left;
    state.Window.SavedTop = top;
    state.bFullScreen = 1;
    state.bMakeFullScreen = 0;
    // An Escape pressed before full screen began must not end it at once.
    if (state.ports.keys) state.ports.keys->Pressed(Key::Escape);
    ui.SetFullScreen(true);
}

}  // namespace

// ---- Stage list ----------------------------------------------------------------------------------

void mnuStageList_Click(AppState& state) {
    state.Options.StageListShown = static_cast<uint8_t>(~state.Options.StageListShown);
    ApplyWindowGeometry(state);
}

// ---- Options -------------------------------------------------------------------------------------

void mnuFS_Click(AppState& state) {
    SwitchFullScreen(state, !(state.bFullScreen == 1 || state.bMakeFullScreen == 255));
}

void SwitchFullScreen(AppState& state, bool on) {
    if (!on) {
        LeaveFullScreen(state);
        return;
    }
    if (state.bRunning == 1) {
        if (state.bFullScreen != 1) EnterFullScreen(state);
    } else {
        state.bMakeFullScreen = 255;
    }
}

void LeaveFullScreen(AppState& state) {
    state.bMakeFullScreen = 0;
    if (state.bFullScreen != 1) return;
    state.bFullScreen = 0;
    Ui& ui = UiOf(state);
    ui.SetFullScreen(false);
    ui.MoveWindow(state.Window.SavedLeft, state.Window.SavedTop);
}

void SetViewScale(AppState& state, int scale) {
    if (scale < 1 || scale > 4) return;
    // The setting is the user's choice and stays so; where its window would not fit the screen the
    // layout shows the largest scale below it that does (app/window_rules.h).
    state.Options.ViewScale = scale;
    ApplyWindowGeometry(state);
}

void mnuFPS_Click(AppState& state) {
    if (state.Loop.FpsLimit > 0) {
        state.Loop.FpsLimit = 0;
        return;
    }
    bool cancelled = false;
    // The box offers the limit last chosen, so switching the limiter off and on keeps it.
    const std::string offered = std::to_string(state.Loop.LimitShown > 0 ? state.Loop.LimitShown : kDefaultFpsLimit);
    const std::string answer = UiOf(state).InputBox("Max FPS?", state.AppTitle, offered, &cancelled);
    // Cancel leaves the limiter as it was (off) instead of switching it on with a limit of 0.
    if (cancelled) return;
    // Whole numbers from 1 to 1000 only: anything else leaves the limiter as it was (off).
    const std::optional<double> limit = text::ParseNumber(answer);
    if (!limit || *limit != std::floor(*limit) || *limit < 1 || *limit > kMaxFpsLimit) return;
    state.Loop.FpsLimit = static_cast<int16_t>(*limit);
    state.Loop.LimitShown = state.Loop.FpsLimit;
}

void mnuMugenDir_Click(AppState& state) {
    // It opens in the MUGEN directory in use, so a neighbouring one is a click away.
    const std::string folder = BrowseForFolder(UiOf(state), kMugenDirPrompt, state.MugeDir);
    if (folder.empty()) return;
    state.MugeDir = AsMugeDir(folder);
    state.Stages.Clear();
    LoadFilestoList(state.Stages, UiOf(state), StagesFolder(state), ".def");
}

void mnuInfo_Click(AppState& state) {
    state.Options.Info = !state.Options.Info;
}

void mnuDebugBG_Click(AppState& state) {
    state.Options.DebugBG = !state.Options.DebugBG;
}

void mnuMusic_Click(AppState& state) {
    state.Options.Music = !state.Options.Music;
    if (state.Options.Music)
        state.MUSIC.Play();
    else
        state.MUSIC.StopPlaying();
}

void mnuChangeMusic_Click(AppState& state) {
    if (!state.Chooser.Loaded) {
        state.Chooser.Loaded = true;
        InitMusicChooser(state.Chooser, state.Stage, state.MUSIC, state.bRunning != 0);
    }
    UiOf(state).ShowMusicChooser();
}

MusicChooserEnv ChooserEnv(AppState& state) {
    return MusicChooserEnv{state.Stage,
                           state.MUSIC,
                           state.cdl,
                           UiOf(state),
                           state.MugeDir,
                           state.StageFile,
                           state.Package.FromPackage ? state.Package.PackageFile : std::string()};
}

bool MusicChooserSave(AppState& state) {
    const StageBoxHold hold(state);
    MusicChooserEnv env = ChooserEnv(state);
    return cmdSave_Click(state.Chooser, env);
}

void MusicChooserClosed(AppState& state) {
    state.Chooser.Loaded = false;
    state.Chooser.Enabled = false;
}

void mnuDeform_Click(AppState& state) {
    state.Options.Deform = !state.Options.Deform;
}

void mnuMScroll_Click(AppState& state) {
    ToggleMouseScroll(state.Camera);
}

void mnuError_Click(AppState& state) {
    state.Window.ErrorLogShown = !state.Window.ErrorLogShown;
    UiOf(state).ShowErrorLog(state.Window.ErrorLogShown);
}

void ErrorLogClosed(AppState& state) {
    state.Window.ErrorLogShown = false;
}

void mnuNotepad_Click(AppState& state) {
    // Without a stage the editor starts without a file; otherwise it gets the file as it is on disk
    // (the definition may name it in another letter case).
    const std::string file = state.StageFile.empty() ? std::string() : ResolvePath(state.StageFile);
    if (!UiOf(state).OpenInTextEditor(file)) TextEditorFailed(state);
}

void TextEditorFailed(AppState& state) {
    std::string text = "Didn't work for some reason...";
    const std::string tried = UiOf(state).TextEditorTried();
    if (!tried.empty()) text += "\r\nTried:\r\n" + tried;
    text +=
        "\r\nTo choose the editor, set $VISUAL (or $EDITOR) to a graphical editor, for example "
        "VISUAL=gedit, or choose the default application for text files in the desktop's settings.";
    Box(state, text, MsgIcon::Critical);
}

void mnuPause_Click(AppState& state) {
    const bool paused = state.Loop.Paused != 255;
    state.Loop.Paused = paused ? 255 : 0;
    UiOf(state).SetCaption(StageCaption(state.Stage.StageName, paused));
}

void mnuSnapshot_Click(AppState& state) {
    if (!state.BackBuffer || state.bRunning == 0) return;
    const SnapshotFormat format = state.Options.SnapshotPng ? SnapshotFormat::Png : SnapshotFormat::Pcx;
    const std::string written =
        PrepareDataDir(state.Dirs, state.Dirs.Data)
            ? state.Target.Snapshot(state.Dirs.Data, state.Stage.StageName, state.bRunning, format,
                                    state.Options.SnapshotInfo ? nullptr : &state.Frame.UnderInfo)
            : std::string();
    // A snapshot that silently went nowhere would look like one that was taken.
    if (written.empty()) {
        Box(state, "The snapshot could not be saved in\r\n" + JoinPath(state.Dirs.Data, "snapshots"),
            MsgIcon::Exclamation);
        return;
    }
    UiOf(state).SetCaption(SnapshotNotice(written));
    state.Window.NoticeShown = true;
    state.Window.NoticeUntil = state.ports.clock ? state.ports.clock->TickCount() + kNoticeMs : 0;
}

std::string SnapshotNotice(const std::string& writtenPath) {
    return "Snapshot saved: " + writtenPath;
}

void ExpireNotice(AppState& state) {
    if (!state.Window.NoticeShown || !state.ports.clock) return;
    // Signed difference: the tick count wraps after 49 days.
    if (static_cast<int32_t>(state.ports.clock->TickCount() - state.Window.NoticeUntil) < 0) return;
    state.Window.NoticeShown = false;
    UiOf(state).SetCaption(StageCaption(state.Stage.StageName, state.Loop.Paused == 255));
}

void mnuSnapshotFolder_Click(AppState& state) {
    const std::string folder = JoinPath(state.Dirs.Data, "snapshots");
    std::error_code ec;
    if (PrepareDataDir(state.Dirs, state.Dirs.Data)) std::filesystem::create_directories(folder, ec);
    if (!UiOf(state).OpenWithDesktop(folder))
        Box(state, "The snapshot folder could not be opened:\r\n" + folder, MsgIcon::Exclamation);
}

void mnuDebug_Click(AppState& state) {
    state.Loop.DebugMode = static_cast<uint8_t>(~state.Loop.DebugMode);
    if (state.Loop.DebugMode != 0) UiOf(state).ShowSpriteBrowser();
}

void SpriteBrowserClosed(AppState& state) {
    // Debug mode takes the Pause and editor keys from the stage; with its window gone nothing would
    // show that it is still on, so it ends with the window.
    state.Loop.DebugMode = 0;
}

void mnuBgEditor_Click(AppState& state) {
    UiOf(state).ShowBgEditor();
}

// ---- Scroll bar ----------------------------------------------------------------------------------

void hscHScroll_Change(AppState& state, int value) {
    state.Window.HScrollValue = value;
    state.Camera.ViewLeft = static_cast<float>(value);
}

void hscHScroll_Scroll(AppState& state, int value) {
    hscHScroll_Change(state, value);
    UiOf(state).SetCaption(text::NumberText(state.Camera.CameraX));
}

}  // namespace qb

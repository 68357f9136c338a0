#include "app/commands.h"

#include <cmath>
#include <optional>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/about_screen.h"
#include "app/app_state.h"
#include "app/bg_buttons.h"
#include "app/char_commands.h"
#include "app/config.h"
#include "app/frame_controls.h"
#include "app/live_reload.h"
#include "app/load_stage.h"
#include "app/open_package.h"
#include "app/run_loop.h"
#include "app/startup.h"
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

void Box(AppState& state, const std::string& text, MsgIcon icon = MsgIcon::None,
         MsgButtons buttons = MsgButtons::Ok) {
    UiOf(state).MsgBox(text, icon, buttons);
}

void RefreshRecentMenu(AppState& state) {
    state.Menus.SetVisible("MnuRecentFiles", !state.Menus.RecentFiles.empty());
}

// The checks of OpenStage on a candidate path. A refused file leaves StageFile naming the stage on
// screen, so reload, Notepad and delete keep acting on what the user sees.
bool CheckStageFile(AppState& state, const std::string& path) {
    if (!FileExists(path)) Box(state, "Can't find file: \r\n" + path);
    return IsStage(path);
}

// Releases the running stage so that a new one can start through tmrStart once the loop returned.
void ReleaseRunning(AppState& state) {
    if (state.bRunning != 0) {
        state.Loop.ExitLoop = true;
        UnloadStuff(state);
    }
}

// The open sequence every way of opening a stage shares: the stage test (a refusal keeps a start
// already pending), the caption, the release of the running stage and the start through tmrStart,
// after the old loop has let go of the released stage.
static bool BeginOpen(AppState& state, const std::string& path, MsgIcon refusalIcon) {
    if (LoadInProgress(state)) return false;  // its menus are off; a stray call must not release it
    if (!CheckStageFile(state, path)) {
        Box(state, "Not a stage!", refusalIcon);
        return false;
    }
    state.Loop.StartPending = 1;
    // The list shows the stage that runs, however it was opened.
    if (const int row = StageIndexForFile(state.Stages, path); row != state.Stages.ListIndex)
        state.Stages.Select(row);
    state.StageFile = path;
    UiOf(state).SetCaption(state.StageFile);
    ReleaseRunning(state);
    state.Window.tmrStartEnabled = true;
    return true;
}

// Extracts the package at `path`; true when it gave a definition to open (StageFile names it). A
// package without one is refused here with "Not a stage!": the stage test would read the archive's
// own bytes, where a stored definition's "[Camera]" line can be found. False while a stage loads:
// nothing may release it then.
bool ExtractPackage(AppState& state, const std::string& path, MsgIcon refusalIcon) {
    if (LoadInProgress(state)) return false;
    state.StageFile = path;
    OpenStagePackage(state);
    if (state.Package.FromPackage) return true;
    Box(state, "Not a stage!", refusalIcon);
    return false;
}

void OpenStagePath(AppState& state, const std::string& path) {
    state.Loop.AboutRunning = false;
    state.Window.tmrDropEnabled = false;
    API_doevents(state);
    if (!BeginOpen(state, path, MsgIcon::Exclamation)) return;
    AddRecentFile(state.Menus.RecentFiles, state.Package.FromPackage ? state.Package.PackageFile : state.StageFile);
    RefreshRecentMenu(state);
}

void OpenListIndex(AppState& state, int index) {
    if (index < 0 || index >= static_cast<int>(state.Stages.Names.size())) return;
    if (!ConfirmDropEdits(state)) return;
    state.Stages.Select(index);
    const std::string path =
        index < static_cast<int>(state.Stages.Files.size())
            ? state.Stages.Files[static_cast<size_t>(index)]
            : StagePathForName(state.MugeDir, state.Stages.Names[static_cast<size_t>(index)]);
    OpenStagePath(state, path);
}

// Deleting moves the file to the desktop's trash, so a slip of the keyboard can be undone there.
bool TrashFileTold(AppState& state, const std::string& path) {
    if (path.empty()) return true;
    const std::string native = ResolvePath(path);
    if (!FileExists(native)) return true;  // already gone: nothing to tell
    std::string error;
    if (UiOf(state).MoveToTrash(native, error)) return true;
    Box(state, "Could not move\r\n" + native + "\r\nto the trash: " + error, MsgIcon::Exclamation);
    return false;
}

// The "spr" value of one definition line, read as the stage parser reads it.
std::string SpriteValue(ReaderContext& reader, std::string line) {
    for (char& c : line)
        if (c == '\t') c = ' ';  // as the line source cleans a line for the parser
    std::string value;
    int16_t index = 0;
    return ReadDefValue(reader, line, "spr", value, index, ReadFlags::KeepBlanks) ? value : std::string();
}

// Other listed stages whose "spr" names a sprite file of the same name. Their sprite file is kept:
// deleting one stage must not break the stages that share its pictures.
std::vector<std::string> StagesSharingSprite(const AppState& state, const std::string& stageFile,
                                             const std::string& spriteFile) {
    std::vector<std::string> users;
    const std::string spriteName = text::Lower(FileNameOf(spriteFile));
    if (spriteName.empty()) return users;
    const std::string self = ResolvePath(stageFile);
    // Complaints about the other stages' lines are not this command's business.
    ErrorLog scratchLog;
    int32_t lineNumber = 0;
    ReaderContext reader{scratchLog, *state.ports.ui, lineNumber, {}};
    for (size_t i = 0; i < state.Stages.Files.size(); ++i) {
        if (ResolvePath(state.Stages.Files[i]) == self) continue;
        const auto bytes = ReadFileBytes(state.Stages.Files[i], 4u << 20);
        if (!bytes) continue;
        size_t start = 0;
        while (start < bytes->size()) {
            size_t end = bytes->find_first_of("\r\n", start);
            if (end == std::string::npos) end = bytes->size();
            const std::string value = SpriteValue(reader, bytes->substr(start, end - start));
            if (!value.empty() && text::Lower(FileNameOf(value)) == spriteName) {
                users.push_back(state.Stages.Names[i]);
                break;
            }
            start = end + 1;
        }
    }
    return users;
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

// ---- Opening stages ----------------------------------------------------------------------------

void OpenStage(AppState& state) {
    OpenStagePath(state, state.StageFile);
}

void OpenStageFile(AppState& state, const std::string& path) {
    OpenStagePath(state, path);
}

void mnuOpen_Click(AppState& state) {
    const std::string answer =
        state.cdl.ShowOpen(UiOf(state), "Choose your stage!", StageDialogStartFolder(state.MugeDir),
                           ".def, .zip|*.def;*.zip", kOfnPathMustExist | kOfnFileMustExist);
    const OpenPath chosen = ClassifyDialogAnswer(answer);
    // Cancel keeps StageFile: the stage on screen stays the one reload and delete act on.
    if (chosen.Target == OpenTarget::None) return;
    if (!ConfirmDropEdits(state)) return;
    if (chosen.Target == OpenTarget::Package) {
        if (ExtractPackage(state, chosen.Path, MsgIcon::Exclamation)) OpenStagePath(state, state.StageFile);
        return;
    }
    OpenStagePath(state, chosen.Path);
}

void mnuClose_Click(AppState& state) {
    if (LoadInProgress(state)) return;
    if (!ConfirmDropEdits(state)) return;
    state.Loop.ExitLoop = true;
    state.Loop.AboutRunning = false;
    if (!state.StageFile.empty()) UnloadStuff(state);
    LeaveFullScreen(state);
    state.Menus.SetEnabled("mnuFS", false);
    UiOf(state).SetCaption(state.AppTitle);
    ClearView(state);
}

void ClearView(AppState& state) {
    if (!state.BackBuffer) return;
    a_clear_to_color(state.BackBuffer.get(), 0);
    PresentFrame(state);
}

void mnuReload_Click(AppState& state) {
    if (LoadInProgress(state)) return;
    if (state.bRunning != 1) {
        mnuOpen_Click(state);
        return;
    }
    if (!ConfirmDropEdits(state)) return;
    state.Loop.AboutRunning = false;
    state.Loop.ExitLoop = true;
    state.Package.Reloading = true;
    UnloadStuff(state);
    state.Package.Reloading = false;
    // The new run starts from tmrStart, after the old loop has returned: the released stage is
    // never touched by the old loop's remaining pass while the new one draws.
    state.Loop.StartPending = 1;
    state.Window.tmrStartEnabled = true;
}

void mnuDelete_Click(AppState& state) {
    if (LoadInProgress(state)) return;
    if (state.bRunning == 0) return;
    if (state.Package.FromPackage) {
        const std::string packageFile = state.Package.PackageFile;
        const MsgAnswer answer = UiOf(state).MsgBox("Are you sure you want to delete this zipped stage (" + packageFile +
                                                        ")?\r\nThe package goes to the trash.",
                                                    MsgIcon::Exclamation, MsgButtons::YesNoDefaultNo);
        if (answer != MsgAnswer::Yes) return;
        mnuClose_Click(state);  // the release deletes the extracted files
        state.Loop.AboutRunning = false;
        state.Loop.ExitLoop = true;
        UnloadStuff(state);
        TrashFileTold(state, packageFile);
        return;
    }
    const std::string stageFile = state.StageFile;
    const MsgAnswer answer =
        UiOf(state).MsgBox("Are you sure you want to delete this stage (" + stageFile +
                               ", and it's .sff)?\r\nBoth files go to the trash.",
                           MsgIcon::Exclamation, MsgButtons::YesNoDefaultNo);
    if (answer != MsgAnswer::Yes) return;
    const std::string spriteFile = state.Stage.SpriteFile;  // the release clears it
    const std::vector<std::string> sharing = StagesSharingSprite(state, stageFile, spriteFile);
    mnuClose_Click(state);
    state.Loop.AboutRunning = false;
    state.Loop.ExitLoop = true;
    UnloadStuff(state);
    TrashFileTold(state, stageFile);
    if (sharing.empty()) {
        TrashFileTold(state, spriteFile);
    } else {
        std::string names;
        for (const auto& name : sharing) names += "\r\n" + name;
        Box(state, "The sprite file\r\n" + spriteFile + "\r\nwas kept because other stages use it:" + names,
            MsgIcon::Information);
    }
    state.Stages.Clear();
    LoadFilestoList(state.Stages, UiOf(state), StagesFolder(state), ".def");
}

void MnuRecentFiles_Click(AppState& state, int index) {
    auto& recent = state.Menus.RecentFiles;
    if (index < 0 || index >= static_cast<int>(recent.size())) return;
    if (LoadInProgress(state)) return;
    if (!ConfirmDropEdits(state)) return;
    PromoteRecentFile(recent, static_cast<size_t>(index));
    state.Menus.Touch();
    const std::string path = recent.front();
    state.Loop.AboutRunning = false;
    if (ClassifyDialogAnswer(path).Target != OpenTarget::Package) {
        BeginOpen(state, path, MsgIcon::Critical);
        return;
    }
    // The entry is the package: it is extracted again for this open.
    if (!FileExists(path)) {
        Box(state, "Can't find file: \r\n" + path);
        Box(state, "Not a stage!", MsgIcon::Critical);
        return;
    }
    if (!ExtractPackage(state, path, MsgIcon::Critical)) return;
    if (BeginOpen(state, state.StageFile, MsgIcon::Critical) && state.Package.FromPackage)
        UiOf(state).SetCaption(state.Package.PackageFile);
}

void FilesDropped(AppState& state, const std::vector<std::string>& paths) {
    const OpenPath chosen = ClassifyDroppedFiles(paths);
    if (chosen.Target == OpenTarget::None) return;
    if (!ConfirmDropEdits(state)) return;
    // A package is extracted at once; its definition is opened by tmrDrop like a dropped one.
    if (chosen.Target == OpenTarget::Package && !ExtractPackage(state, chosen.Path, MsgIcon::Exclamation)) return;
    // The stage on screen is released only once the dropped file has passed the stage test
    // (OpenStage, from tmrDrop), so a stray drop does not end it.
    state.Window.DroppedFile = chosen.Target == OpenTarget::Package ? state.StageFile : chosen.Path;
    state.Window.tmrDropEnabled = true;
}

void OpenFromCommandLine(AppState& state, const std::string& argument) {
    const std::string path(text::Trim(argument));
    if (path.empty()) return;
    const OpenPath chosen = ClassifyDialogAnswer(path);
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(chosen.Path), ec);
    const std::string full = ec ? chosen.Path : absolute.lexically_normal().string();
    if (chosen.Target == OpenTarget::Package) {
        if (!ExtractPackage(state, full, MsgIcon::Exclamation)) return;
        state.Window.DroppedFile = state.StageFile;
    } else {
        state.Window.DroppedFile = full;
    }
    state.Window.tmrDropEnabled = true;
}

// ---- Stage list ----------------------------------------------------------------------------------

void lstStages_Click(AppState& state, int index) {
    if (state.Load.LoadPhase != 0) return;
    OpenListIndex(state, index);
}

void mnuStageNext_Click(AppState& state) {
    OpenListIndex(state, NextStageIndex(state.Stages));
}

void mnuStagePrev_Click(AppState& state) {
    OpenListIndex(state, PrevStageIndex(state.Stages));
}

void mnuR_Click(AppState& state, double random01) {
    if (state.Stages.Names.empty() || state.Load.LoadPhase == 255) return;
    OpenListIndex(state, RandomStageIndex(state.Stages, random01));
}

void mnuStageList_Click(AppState& state) {
    state.Window.StageListShown = static_cast<uint8_t>(~state.Window.StageListShown);
    ApplyWindowGeometry(state);
}

// ---- Options -------------------------------------------------------------------------------------

void mnuFS_Click(AppState& state) {
    const bool checked = state.Menus.Toggle("mnuFS");
    if (!checked) {
        state.bMakeFullScreen = 0;
        LeaveFullScreen(state);
        return;
    }
    if (state.bRunning == 1) {
        EnterFullScreen(state);
    } else {
        state.bMakeFullScreen = 255;
    }
}

void LeaveFullScreen(AppState& state) {
    state.bMakeFullScreen = 0;
    if (state.bFullScreen != 1) return;
    state.bFullScreen = 0;
    state.Menus.SetChecked("mnuFS", false);
    Ui& ui = UiOf(state);
    ui.SetFullScreen(false);
    ui.MoveWindow(state.Window.SavedLeft, state.Window.SavedTop);
}

void SetViewScale(AppState& state, int scale) {
    if (scale < 1 || scale > 4) return;
    state.Window.ViewScale = scale;
    for (int s = 1; s <= 4; ++s) state.Menus.SetChecked("mnuScale" + std::to_string(s), s == scale);
    UiOf(state).SetViewScale(scale);
    ApplyWindowGeometry(state);
}

void mnuFPS_Click(AppState& state) {
    if (!state.Menus.Toggle("mnuFPS")) {
        state.Loop.FpsLimit = 0;
        return;
    }
    bool cancelled = false;
    const std::string answer = UiOf(state).InputBox("Max FPS?", state.AppTitle, "60", &cancelled);
    if (cancelled) {
        // Cancel leaves the limiter as it was (off) instead of checking it with a limit of 0.
        state.Menus.SetChecked("mnuFPS", false);
        return;
    }
    // Whole numbers from 1 to 1000 only: anything else leaves the limiter as it was (off).
    const std::optional<double> limit = text::ParseNumber(answer);
    if (!limit || *limit != std::floor(*limit) || *limit < 1 || *limit > kMaxFpsLimit) {
        state.Menus.SetChecked("mnuFPS", false);
        return;
    }
    state.Loop.FpsLimit = static_cast<int16_t>(*limit);
    state.Menus.SetCaption("mnuFPS", "FPS Limiter (" + std::to_string(state.Loop.FpsLimit) + " fps)");
}

void mnuMugenDir_Click(AppState& state) {
    const std::string folder = BrowseForFolder(UiOf(state), kMugenDirPrompt);
    if (folder.empty()) return;
    state.MugeDir = AsMugeDir(folder);
    state.Stages.Clear();
    LoadFilestoList(state.Stages, UiOf(state), StagesFolder(state), ".def");
}

void mnuInfo_Click(AppState& state) {
    state.Menus.Toggle("mnuInfo");
}

void mnuDebugBG_Click(AppState& state) {
    state.Menus.Toggle("mnuDebugBG");
}

void mnuMusic_Click(AppState& state) {
    state.Menus.Toggle("mnuMusic");
    if (state.Menus.Checked("mnuMusic"))
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
    return MusicChooserEnv{state.Stage, state.MUSIC, state.cdl, UiOf(state), state.MugeDir, state.StageFile};
}

void MusicChooserClosed(AppState& state) {
    state.Chooser.Loaded = false;
    state.Chooser.Enabled = false;
}

void mnuDeform_Click(AppState& state) {
    state.Menus.Toggle("mnuDeform");
}

void mnuMScroll_Click(AppState& state) {
    state.Menus.SetChecked("mnuMScroll", ToggleMouseScroll(state.Camera));
}

void mnuError_Click(AppState& state) {
    UiOf(state).ShowErrorLog(state.Menus.Toggle("mnuError"));
}

void ErrorLogClosed(AppState& state) {
    state.Menus.SetChecked("mnuError", false);
}

void mnuNotepad_Click(AppState& state) {
    // Without a stage the editor starts without a file; otherwise it gets the file as it is on disk
    // (the definition may name it in another letter case).
    const std::string file = state.StageFile.empty() ? std::string() : ResolvePath(state.StageFile);
    if (!UiOf(state).OpenInTextEditor(file)) {
        Box(state, "Didn't work for some reason...", MsgIcon::Critical);
    }
}

void mnuPause_Click(AppState& state) {
    const bool paused = state.Menus.Toggle("mnuPause");
    state.Loop.Paused = paused ? 255 : 0;
    state.Menus.SetEnabled("mnuStep", paused);
    UiOf(state).SetCaption(StageCaption(state.Stage.StageName, paused));
}

void mnuSnapshot_Click(AppState& state) {
    if (!state.BackBuffer || state.bRunning == 0) return;
    const std::string written =
        !PrepareDataDir(state.Dirs, state.Dirs.Data)
            ? std::string()
            : TakeSnapshot(state.Dirs.Data, state.Stage.StageName, state.BackBuffer.get(), state.bRunning,
                           state.Menus.Checked("mnuSnapshotPng") ? SnapshotFormat::Png : SnapshotFormat::Pcx);
    // A snapshot that silently went nowhere would look like one that was taken.
    if (written.empty()) {
        Box(state, "The snapshot could not be saved in\r\n" + JoinPath(state.Dirs.Data, "snapshots"),
            MsgIcon::Exclamation);
    }
}

void mnuDebug_Click(AppState& state) {
    state.Loop.DebugMode = static_cast<uint8_t>(~state.Loop.DebugMode);
    state.Menus.SetChecked("mnuDebug", state.Loop.DebugMode != 0);
    if (state.Loop.DebugMode != 0) UiOf(state).ShowSpriteBrowser();
}

void mnuBgEditor_Click(AppState& state) {
    UiOf(state).ShowBgEditor();
}

void mnuExit_Click(AppState& state) {
    CloseRequest(state);
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

// ---- Dispatcher ----------------------------------------------------------------------------------

bool MenuCommand(AppState& state, const std::string& itemName) {
    using Command = void (*)(AppState&);
    static constexpr struct {
        const char* name;
        Command command;
    } kCommands[] = {
        {"mnuOpen", mnuOpen_Click},
        {"mnuClose", mnuClose_Click},
        {"mnuReload", mnuReload_Click},
        {"mnuDelete", mnuDelete_Click},
        {"mnuExit", mnuExit_Click},
        {"mnuFS", mnuFS_Click},
        {"mnuFPS", mnuFPS_Click},
        {"mnuInfo", mnuInfo_Click},
        {"mnuMScroll", mnuMScroll_Click},
        {"mnuDeform", mnuDeform_Click},
        {"mnuMusic", mnuMusic_Click},
        {"mnuChangeMusic", mnuChangeMusic_Click},
        {"mnuDebugBG", mnuDebugBG_Click},
        {"mnuError", mnuError_Click},
        {"mnuNotepad", mnuNotepad_Click},
        {"mnuMugenDir", mnuMugenDir_Click},
        {"mnuPause", mnuPause_Click},
        {"mnuSnapshot", mnuSnapshot_Click},
        {"mnuStageList", mnuStageList_Click},
        {"mnuStagePrev", mnuStagePrev_Click},
        {"mnuStageNext", mnuStageNext_Click},
        {"mnuDebug", mnuDebug_Click},
        {"mnuBgEditor", mnuBgEditor_Click},
        {"mnuChar", mnuChar_Click},
        {"mnuChange", mnuChange_Click},
        {"mnuAbout", mnuAbout_Click},
        {"mnuStep", mnuStep_Click},
        {"mnuSnapshotPng", mnuSnapshotPng_Click},
        {"mnuAutoReload", mnuAutoReload_Click},
    };
    for (const auto& entry : kCommands) {
        if (itemName == entry.name) {
            entry.command(state);
            return true;
        }
    }
    if (itemName == "mnuR") {
        // Seeded from the time, as the command always was: the high-resolution counter's low bits.
        const auto counter = static_cast<uint64_t>(state.ports.clock->Counter());
        const uint64_t mixed = (counter ^ (counter >> 29)) * 0x9E3779B97F4A7C15ULL;
        mnuR_Click(state, static_cast<double>(mixed >> 11) / 9007199254740992.0);
        return true;
    }
    if (SpeedItemCommand(state, itemName)) return true;
    if (itemName == "mnuLanguageZh" || itemName == "mnuLanguageEn") {
        SetLanguage(state, itemName == "mnuLanguageEn" ? kLanguageEnglish : kLanguageGiven);
        return true;
    }
    if (itemName.rfind("mnuScale", 0) == 0 && itemName.size() == 9) {
        SetViewScale(state, itemName[8] - '0');
        return true;
    }
    return false;
}

}  // namespace qb

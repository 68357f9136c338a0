#include "app/stage_session.h"

#include <filesystem>
#include <system_error>

#include "app/app_state.h"
#include "app/bg_buttons.h"
#include "app/commands.h"
#include "app/config.h"
#include "app/live_reload.h"
#include "app/load_stage.h"
#include "app/open_package.h"
#include "app/recent_files.h"
#include "app/run_loop.h"
#include "app/startup.h"
#include "library/open_stage.h"
#include "library/sprite_users.h"
#include "library/stage_list.h"
#include "platform/paths.h"
#include "platform/text_util.h"
#include "platform/trash.h"
#include "render/overlays.h"
#include "stage/stage_loader.h"

namespace qb {

namespace {

Ui& UiOf(AppState& state) {
    return *state.ports.ui;
}


// The checks of OpenStage on a candidate path: one box naming the file and what is wrong with it.
// A refused file leaves StageFile naming the stage on screen (and the list's highlight on it), so
// reload, Notepad and delete keep acting on what the user sees.
bool CheckStageFile(AppState& state, const std::string& path, MsgIcon refusalIcon) {
    const std::string refusal = StageRefusalMessage(path);
    if (!refusal.empty()) Box(state, refusal, refusalIcon);
    return refusal.empty();
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
    if (StageHeld(state)) return false;  // its menus are off; a stray call must not release it
    if (!CheckStageFile(state, path, refusalIcon)) return false;
    // The list shows the stage that runs, however it was opened.
    if (const int row = StageIndexForFile(state.Stages, path); row != state.Stages.ListIndex)
        state.Stages.Select(row);
    state.StageFile = path;
    UiOf(state).SetCaption(state.StageFile);
    ReleaseRunning(state);
    StartTimer(state, TimerId::Start);
    return true;
}

// Extracts the package at `path`; true when it gave a definition to open (StageFile names it). A
// refused package (told by OpenStagePackage) leaves StageFile naming the stage on screen. False
// while a stage loads: nothing may release it then.
bool ExtractPackage(AppState& state, const std::string& path, MsgIcon refusalIcon,
                    const std::string& preferredEntry = {}) {
    if (StageHeld(state)) return false;
    if (!FileExists(path)) {
        Box(state, "Can't find file: \r\n" + path, refusalIcon);
        return false;
    }
    const std::string kept = state.StageFile;
    state.StageFile = path;
    OpenStagePackage(state, preferredEntry);
    if (state.StageFile != path) return true;
    state.StageFile = kept;
    return false;
}

bool OpenStagePath(AppState& state, const std::string& path) {
    state.Loop.AboutRunning = false;
    StopTimer(state, TimerId::Drop);
    API_doevents(state);
    if (!BeginOpen(state, path, MsgIcon::Exclamation)) return false;
    AddRecentFile(state.Menus.RecentFiles, state.Package.FromPackage ? state.Package.PackageFile : state.StageFile);
    return true;
}

void OpenListIndex(AppState& state, int index) {
    if (index < 0 || index >= static_cast<int>(state.Stages.Names.size())) return;
    if (!ConfirmDropEdits(state)) return;
    // The highlight moves only when the stage opens (BeginOpen): a refused name leaves it on the
    // stage on screen.
    const std::string path =
        index < static_cast<int>(state.Stages.Files.size())
            ? state.Stages.Files[static_cast<size_t>(index)]
            : StagePathForName(state.MugeDir, state.Stages.Names[static_cast<size_t>(index)]);
    if (OpenStagePath(state, path)) state.Stages.Select(index);
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

// The files Delete would move, checked before anything is closed: a read-only folder must not cost
// the user the stage on screen for a move that cannot happen. Files already gone need no check.
bool RemovableTold(AppState& state, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (path.empty() || !FileExists(path)) continue;
        const std::string problem = RemovalProblem(ResolvePath(path));
        if (problem.empty()) continue;
        Box(state, problem + "\r\nNothing was deleted.", MsgIcon::Exclamation);
        return false;
    }
    return true;
}

MsgAnswer AskAboutStage(AppState& state, const std::string& text) {
    const StageBoxHold hold(state);
    return UiOf(state).MsgBox(text, MsgIcon::Exclamation, MsgButtons::YesNoDefaultNo);
}

// Reload reads the stage's files again: when its definition (or package) is gone or no longer a stage
// the stage on screen is kept and the box says why, instead of a load that fails halfway.
bool ReloadRefused(AppState& state) {
    const bool package = state.Package.FromPackage;
    const std::string source = package ? state.Package.PackageFile : state.StageFile;
    if (!FileExists(source)) {
        Box(state,
            std::string(package ? "The stage package\r\n" : "The stage definition\r\n") + source +
                "\r\nis gone (moved, renamed or deleted). The stage on screen stays as it was loaded.",
            MsgIcon::Exclamation);
        return true;
    }
    if (package) return false;  // the package's own test comes with its extraction
    const std::string refusal = StageRefusalMessage(source);
    if (!refusal.empty()) Box(state, refusal + "\r\nThe stage on screen stays as it was loaded.", MsgIcon::Exclamation);
    return !refusal.empty();
}

// A package given by name (a hand-over kept for later): its file name ends in ".zip".
bool IsPackageName(const std::string& path) {
    const std::string name = text::Lower(FileNameOf(path));
    return name.size() > 4 && name.compare(name.size() - 4, 4, ".zip") == 0;
}

}  // namespace

bool StageHeld(const AppState& state) {
    return LoadInProgress(state) || state.Window.StageBoxesOpen > 0;
}

StageBoxHold::StageBoxHold(AppState& state) : m_state(state) {
    ++m_state.Window.StageBoxesOpen;
}

StageBoxHold::~StageBoxHold() {
    --m_state.Window.StageBoxesOpen;
}

// ---- Opening stages ----------------------------------------------------------------------------

void OpenStage(AppState& state) {
    OpenStagePath(state, state.StageFile);
}

void OpenStageFile(AppState& state, const std::string& path) {
    // A hand-over or a drop replaces the stage as the list does: unwritten edits are asked about.
    if (!ConfirmDropEdits(state)) return;
    if (IsPackageName(path)) {
        if (ExtractPackage(state, path, MsgIcon::Exclamation)) OpenStagePath(state, state.StageFile);
        return;
    }
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
    UiOf(state).SetCaption(state.AppTitle);
    ClearView(state);
}

void ClearView(AppState& state) {
    if (!state.BackBuffer) return;
    a_clear_to_color(state.BackBuffer.get(), 0);
    if (state.bRunning == 0) DrawNoStageHint(state.BackBuffer.get());  // never a plain black view
    PresentFrame(state);
}

void ShowNoStageHint(AppState& state) {
    if (!state.BackBuffer || state.bRunning != 0 || TimerActive(state, TimerId::Start) ||
        TimerActive(state, TimerId::Drop))
        return;
    DrawNoStageHint(state.BackBuffer.get());
    PresentFrame(state);
}

void mnuReload_Click(AppState& state) {
    if (LoadInProgress(state)) return;
    if (state.bRunning != 1) {
        mnuOpen_Click(state);
        return;
    }
    if (!ConfirmDropEdits(state)) return;
    if (ReloadRefused(state)) return;
    // A package replaced since it was extracted is extracted again: the copy on disk is the old one.
    if (PackageChanged(state.Package)) {
        state.Loop.AboutRunning = false;
        const std::string package = state.Package.PackageFile;
        // The stage that was chosen from a package of several stays chosen.
        if (ExtractPackage(state, package, MsgIcon::Exclamation, state.Package.DefinitionEntry) &&
            BeginOpen(state, state.StageFile, MsgIcon::Exclamation))
            UiOf(state).SetCaption(package);
        return;
    }
    state.Loop.AboutRunning = false;
    state.Loop.ExitLoop = true;
    state.Package.Reloading = true;
    UnloadStuff(state);
    state.Package.Reloading = false;
    // The new run starts from tmrStart, after the old loop has returned: the released stage is
    // never touched by the old loop's remaining pass while the new one draws.
    StartTimer(state, TimerId::Start);
}

void mnuDelete_Click(AppState& state) {
    if (StageHeld(state)) return;
    if (state.bRunning == 0) return;
    if (state.Package.FromPackage) {
        const std::string packageFile = state.Package.PackageFile;
        if (!RemovableTold(state, {packageFile})) return;
        if (AskAboutStage(state, "Are you sure you want to delete this zipped stage (" + packageFile +
                                     ")?\r\nThe package goes to the trash.") != MsgAnswer::Yes)
            return;
        mnuClose_Click(state);  // the release deletes the extracted files
        if (state.bRunning != 0) return;  // its question about unwritten edits was cancelled
        state.Loop.AboutRunning = false;
        state.Loop.ExitLoop = true;
        UnloadStuff(state);
        TrashFileTold(state, packageFile);
        return;
    }
    // Everything the question speaks of is read before it is shown: the answer acts on these.
    const std::string stageFile = state.StageFile;
    const StageFilesToTrash plan =
        StageFilesForDelete(stageFile, state.Stage.SpriteFile, StagesFolder(state), state.MugeDir);
    if (!RemovableTold(state, plan.moved)) return;
    std::string question = "Are you sure you want to delete this stage (" + stageFile + ")?\r\n" +
                           (plan.moved.size() == 1 ? "This file goes" : "These files go") + " to the trash:";
    for (const std::string& file : plan.moved) question += "\r\n" + file;
    if (!plan.keptSprite.empty())
        question += "\r\nThe sprite file\r\n" + plan.keptSprite + "\r\nstays: " + plan.keptBecause + ".";
    if (AskAboutStage(state, question) != MsgAnswer::Yes) return;
    mnuClose_Click(state);
    if (state.bRunning != 0) return;  // its question about unwritten edits was cancelled
    state.Loop.AboutRunning = false;
    state.Loop.ExitLoop = true;
    UnloadStuff(state);
    // A definition that stayed keeps its backup and sprite file: a stage without its pictures is no
    // stage.
    if (!plan.moved.empty() && TrashFileTold(state, plan.moved.front())) {
        for (size_t i = 1; i < plan.moved.size(); ++i) TrashFileTold(state, plan.moved[i]);
        if (!plan.users.empty())
            Box(state, SpriteKeptText(plan.keptSprite, plan.users, StagesFolder(state)),
                MsgIcon::Information);
    }
    state.Stages.Clear();
    LoadFilestoList(state.Stages, UiOf(state), StagesFolder(state), ".def");
}

void MnuRecentFiles_Click(AppState& state, int index) {
    auto& recent = state.Menus.RecentFiles;
    if (index < 0 || index >= static_cast<int>(recent.size())) return;
    if (LoadInProgress(state)) return;
    if (DropVanishedRecentFile(state, index)) return;
    if (!ConfirmDropEdits(state)) return;
    PromoteRecentFile(recent, static_cast<size_t>(index));
    const std::string path = recent.front();
    state.Loop.AboutRunning = false;
    if (ClassifyDialogAnswer(path).Target != OpenTarget::Package) {
        BeginOpen(state, path, MsgIcon::Critical);
        return;
    }
    // The entry is the package: it is extracted again for this open.
    if (!ExtractPackage(state, path, MsgIcon::Critical)) return;
    if (BeginOpen(state, state.StageFile, MsgIcon::Critical) && state.Package.FromPackage)
        UiOf(state).SetCaption(state.Package.PackageFile);
}

void FilesDropped(AppState& state, const std::vector<std::string>& paths) {
    const OpenPath chosen = ClassifyDroppedFiles(paths);
    if (chosen.Target == OpenTarget::None) {
        if (!paths.empty()) Box(state, NotOpenableText(paths.front()), MsgIcon::Exclamation);
        return;
    }
    // A package is extracted at once, which releases the stage on screen: its unwritten edits are
    // asked about first (a definition's are asked about by tmrDrop). Its definition is opened by
    // tmrDrop like a dropped one.
    if (chosen.Target == OpenTarget::Package &&
        (!ConfirmDropEdits(state) || !ExtractPackage(state, chosen.Path, MsgIcon::Exclamation)))
        return;
    // The stage on screen is released only once the dropped file has passed the stage test
    // (OpenStage, from tmrDrop), so a stray drop does not end it.
    state.Window.DroppedFile = chosen.Target == OpenTarget::Package ? state.StageFile : chosen.Path;
    StartTimer(state, TimerId::Drop);
}

void OpenFromCommandLine(AppState& state, const std::string& argument) {
    const std::string path(text::Trim(argument));
    if (path.empty()) return;
    const OpenPath chosen = ClassifyDialogAnswer(path);
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(chosen.Path), ec);
    const std::string full = ec ? chosen.Path : absolute.lexically_normal().string();
    if (chosen.Target == OpenTarget::Package && !StageHeld(state)) {
        if (!ConfirmDropEdits(state) || !ExtractPackage(state, full, MsgIcon::Exclamation)) return;
        state.Window.DroppedFile = state.StageFile;
    } else {
        state.Window.DroppedFile = full;
    }
    StartTimer(state, TimerId::Drop);
}

// ---- Stage list ----------------------------------------------------------------------------------

void lstStages_Click(AppState& state, int index) {
    if (LoadInProgress(state)) return;
    OpenListIndex(state, index);
}

void mnuStageNext_Click(AppState& state) {
    OpenListIndex(state, NextStageIndex(state.Stages));
}

void mnuStagePrev_Click(AppState& state) {
    OpenListIndex(state, PrevStageIndex(state.Stages));
}

void mnuR_Click(AppState& state, double random01) {
    if (state.Stages.Names.empty() || LoadInProgress(state)) return;
    OpenListIndex(state, RandomStageIndex(state.Stages, random01));
}

void UnloadStuff(AppState& state) {
    state.bRunning = 0;
    if (!state.Package.Reloading && state.Package.FromPackage) DeleteExtractedFiles(state.Package);
    // Whatever plays stops, also the chooser's preview on a stage that has no music of its own.
    state.MUSIC.StopPlaying();
    if (state.Chooser.Loaded) EnableMusicChooser(state.Chooser, false);
    // Every stage-wide value goes back to its program-start value, so a stage never looks different
    // depending on the stage opened before it (sprites' bitmaps go with their table).
    state.Stage = StageModel{};
    state.Load = StageLoadState{};
    // A modern stage's picture must not outlive it (after Close the view would show its last frame).
    // A reload keeps it on screen until the new one is installed. The view wraps the picture's
    // pixels, so it is handed the cleared classic picture before they go.
    if (!state.Package.Reloading && state.Target.Picture() != nullptr) {
        if (state.BackBuffer) a_clear_to_color(state.BackBuffer.get(), 0);
        state.Target = FrameTarget{&state.BackBuffer};
        PresentFrame(state);
    }
}

}  // namespace qb

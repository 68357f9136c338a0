#include "session/stage_session.h"

#include <filesystem>
#include <system_error>

#include "session/session_state.h"
#include "session/load_stage.h"
#include "session/recent_files.h"
#include "library/open_package.h"
#include "library/open_stage.h"
#include "library/sprite_users.h"
#include "library/stage_list.h"
#include "platform/paths.h"
#include "platform/text_util.h"
#include "platform/trash.h"
#include "stage/stage_loader.h"

namespace qb {

namespace {

Ui& UiOf(SessionState& state) {
    return *state.ports.ui;
}


// The checks of OpenStage on a candidate path: one box naming the file and what is wrong with it.
// A refused file leaves StageFile naming the stage on screen (and the list's highlight on it), so
// reload, Notepad and delete keep acting on what the user sees.
bool CheckStageFile(SessionState& state, const std::string& path, MsgIcon refusalIcon) {
    const std::string refusal = StageRefusalMessage(path);
    if (!refusal.empty()) Box(state, refusal, refusalIcon);
    return refusal.empty();
}

// Releases the running stage so that a new one can start through tmrStart once the loop returned.
void ReleaseRunning(SessionState& state) {
    if (state.bRunning != 0) {
        state.Host().EndRunLoop();
        UnloadStuff(state);
    }
}

// The open sequence every way of opening a stage shares: the stage test (a refusal keeps a start
// already pending), the caption, the release of the running stage and the start through tmrStart,
// after the old loop has let go of the released stage.
static bool BeginOpen(SessionState& state, const std::string& path, MsgIcon refusalIcon) {
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

// Deleting moves the file to the desktop's trash, so a slip of the keyboard can be undone there.
bool TrashFileTold(SessionState& state, const std::string& path) {
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
bool RemovableTold(SessionState& state, const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        if (path.empty() || !FileExists(path)) continue;
        const std::string problem = RemovalProblem(ResolvePath(path));
        if (problem.empty()) continue;
        Box(state, problem + "\r\nNothing was deleted.", MsgIcon::Exclamation);
        return false;
    }
    return true;
}

MsgAnswer AskAboutStage(SessionState& state, const std::string& text) {
    const StageBoxHold hold(state);
    return UiOf(state).MsgBox(text, MsgIcon::Exclamation, MsgButtons::YesNoDefaultNo);
}

// Reload reads the stage's files again: when its definition (or package) is gone or no longer a stage
// the stage on screen is kept and the box says why, instead of a load that fails halfway.
bool ReloadRefused(SessionState& state) {
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

// Which entry of the recent files an open moves: none, the opened file once it opened, or the clicked
// entry (to the top) before anything else.
enum class RecentEntry { Kept, AddedOnOpen, PromotedFirst };

// How each way of opening a stage goes where they differ. In common: nothing opens while the stage is
// held (it loads, or a box about it waits for its answer); a package is extracted before the stage test
// (OpenPackage), and the running stage is released only by a package or definition that passed it.
struct OriginRule {
    OpenOrigin origin;
    // Left to tmrDrop, which opens it as a hand-over once nothing holds the stage: a definition waits
    // as it is, a package is extracted at once (while the stage is held, it waits as it is too).
    bool deferred;
    // Unwritten edits are asked about first (a deferred definition's are asked when tmrDrop opens it;
    // Reload's command asked before it chose to extract the package again).
    bool asksEdits;
    // A pending drop is cancelled and window messages are serviced before the stage test.
    bool settlesFirst;
    MsgIcon refusalIcon;
    RecentEntry recent;
    // The package keeps the stage that was chosen from it (a reload of a package of several stages).
    bool keepsEntry;
    // The caption names the package, not its extracted definition.
    bool captionNamesPackage;
};

// clang-format off
constexpr OriginRule kOriginRules[] = {
    // origin                  deferred asks   settles refusal icon          recent file                  keeps  caption
    {OpenOrigin::List,         false,   true,  true,   MsgIcon::Exclamation, RecentEntry::AddedOnOpen,   false, false},
    {OpenOrigin::Dialog,       false,   true,  true,   MsgIcon::Exclamation, RecentEntry::AddedOnOpen,   false, false},
    {OpenOrigin::HandOver,     false,   true,  true,   MsgIcon::Exclamation, RecentEntry::AddedOnOpen,   false, false},
    {OpenOrigin::Recent,       false,   true,  false,  MsgIcon::Critical,    RecentEntry::PromotedFirst, false, true},
    {OpenOrigin::Reload,       false,   false, false,  MsgIcon::Exclamation, RecentEntry::Kept,          true,  true},
    {OpenOrigin::Drop,         true,    true,  false,  MsgIcon::Exclamation, RecentEntry::Kept,          false, false},
    {OpenOrigin::CommandLine,  true,    true,  false,  MsgIcon::Exclamation, RecentEntry::Kept,          false, false},
};
// clang-format on

const OriginRule& RuleOf(OpenOrigin origin) {
    for (const OriginRule& rule : kOriginRules)
        if (rule.origin == origin) return rule;
    return kOriginRules[0];
}

// A drop or the command line: the drop timer opens it once the load has finished and no box about the
// stage on screen waits. A package is extracted now, while the user still looks at what was dropped.
void DeferOpen(SessionState& state, const std::string& path, const OriginRule& rule) {
    std::string open = path;
    if (IsPackagePath(path) && !StageHeld(state)) {
        if (!rule.asksEdits || !state.Host().ConfirmDropEdits() || !ExtractPackage(state, path, {}, rule.refusalIcon))
            return;
        open = state.StageFile;
    }
    // The stage on screen is released only once the file has passed the stage test (from tmrDrop), so
    // a stray drop does not end it.
    state.Host().OpenLater(open);
}

std::string ListPath(const SessionState& state, int index) {
    if (index < 0 || index >= static_cast<int>(state.Stages.Names.size())) return {};
    return index < static_cast<int>(state.Stages.Files.size())
               ? state.Stages.Files[static_cast<size_t>(index)]
               : StagePathForName(state.MugeDir, state.Stages.Names[static_cast<size_t>(index)]);
}

OpenRequest ListRequest(const SessionState& state, int index) {
    const auto& rows = state.Stages.Rows;
    const bool known = index >= 0 && index < static_cast<int>(rows.size());
    return {ListPath(state, index), OpenOrigin::List, index, known ? rows[static_cast<size_t>(index)].Entry : std::string()};
}

OpenRequest RecentRequest(SessionState& state, int index) {
    const auto& recent = state.Menus.RecentFiles;
    if (index < 0 || index >= static_cast<int>(recent.size())) return {};
    return {recent[static_cast<size_t>(index)], OpenOrigin::Recent, index};
}

// The dialog's answer; empty when it was cancelled (StageFile stays: the stage on screen is still
// the one reload and delete act on).
std::string AskForStage(SessionState& state) {
    return ClassifyDialogAnswer(state.cdl.ShowOpen(UiOf(state), "Choose your stage!",
                                                   StageDialogStartFolder(state.MugeDir), ".def, .zip|*.def;*.zip",
                                                   kOfnPathMustExist | kOfnFileMustExist))
        .Path;
}

// The program's argument, trimmed and made absolute: the drop timer opens it after start-up.
std::string CommandLinePath(const std::string& argument) {
    const std::string path(text::Trim(argument));
    if (path.empty()) return {};
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(std::filesystem::path(path), ec);
    return ec ? path : absolute.lexically_normal().string();
}

}  // namespace

// ---- Opening stages ----------------------------------------------------------------------------

bool ExtractPackage(SessionState& state, std::string zip, std::string preferredEntry, MsgIcon missingIcon) {
    if (StageHeld(state)) return false;
    if (!FileExists(zip)) {
        Box(state, "Can't find file: \r\n" + zip, missingIcon);
        return false;
    }
    // Files of a package extracted but never loaded (its start still pending) go before new ones come;
    // a running package's files stay until the new package has proved to hold a stage.
    if (state.bRunning == 0 && (!state.Package.CreatedFiles.empty() || !state.Package.Folder.empty()))
        DeleteExtractedFiles(state.Package);
    HeadlessUi noWindow;
    PackageOpen open = OpenPackage(zip, state.Dirs, state.ports.ui ? *state.ports.ui : noWindow, preferredEntry);
    if (!open.refusal.empty()) Box(state, open.refusal, MsgIcon::Exclamation);
    if (!open.Opened()) return false;
    if (state.bRunning != 0) {
        state.Host().EndRunLoop();
        state.Host().DoEvents();
        UnloadStuff(state);
    }
    state.Package = std::move(open.package);
    if (!open.skipped.empty()) Box(state, open.skipped, MsgIcon::Exclamation);
    state.StageFile = std::move(open.definition);
    return true;
}

void OpenStage(SessionState& state, const OpenRequest& request) {
    const OriginRule& rule = RuleOf(request.origin);
    if (request.path.empty()) return;
    if (rule.deferred) {
        DeferOpen(state, request.path, rule);
        return;
    }
    if (StageHeld(state)) return;  // its menus are off; a stray call must not release it
    if (rule.asksEdits && !state.Host().ConfirmDropEdits()) return;
    if (rule.recent == RecentEntry::PromotedFirst)
        PromoteRecentFile(state.Menus.RecentFiles, static_cast<size_t>(request.row));
    state.Host().EndAboutScreen();
    if (rule.settlesFirst) {
        StopTimer(state, TimerId::Drop);
        state.Host().DoEvents();
    }
    std::string definition = request.path;
    if (IsPackagePath(request.path)) {
        if (!ExtractPackage(state, request.path, rule.keepsEntry ? state.Package.DefinitionEntry : request.entry,
                            rule.refusalIcon))
            return;
        definition = state.StageFile;
    }
    if (!BeginOpen(state, definition, rule.refusalIcon)) return;
    // The highlight moves only when the stage opens: a refused name leaves it on the stage on screen.
    if (request.origin == OpenOrigin::List) state.Stages.Select(request.row);
    const std::string opened = state.Package.FromPackage ? state.Package.PackageFile : state.StageFile;
    if (rule.recent == RecentEntry::AddedOnOpen) AddRecentFile(state.Menus.RecentFiles, opened);
    if (rule.captionNamesPackage && state.Package.FromPackage) UiOf(state).SetCaption(opened);
}

void OpenStageFile(SessionState& state, const std::string& path) {
    OpenStage(state, {path, OpenOrigin::HandOver});
}

void mnuOpen_Click(SessionState& state) {
    OpenStage(state, {AskForStage(state), OpenOrigin::Dialog});
}

void mnuClose_Click(SessionState& state) {
    if (LoadInProgress(state)) return;
    if (!state.Host().ConfirmDropEdits()) return;
    state.Host().EndRunLoop();
    state.Host().EndAboutScreen();
    if (!state.StageFile.empty()) UnloadStuff(state);
    state.Host().LeaveFullScreen();
    UiOf(state).SetCaption(state.AppTitle);
    state.Host().ClearView();
}

void mnuReload_Click(SessionState& state) {
    if (LoadInProgress(state)) return;
    if (state.bRunning != 1) {
        mnuOpen_Click(state);
        return;
    }
    if (!state.Host().ConfirmDropEdits()) return;
    if (ReloadRefused(state)) return;
    // A package replaced since it was extracted is extracted again: the copy on disk is the old one.
    if (PackageChanged(state.Package)) {
        OpenStage(state, {state.Package.PackageFile, OpenOrigin::Reload});
        return;
    }
    state.Host().EndAboutScreen();
    state.Host().EndRunLoop();
    state.Package.Reloading = true;
    UnloadStuff(state);
    state.Package.Reloading = false;
    // The new run starts from tmrStart, after the old loop has returned: the released stage is
    // never touched by the old loop's remaining pass while the new one draws.
    StartTimer(state, TimerId::Start);
}

void mnuDelete_Click(SessionState& state) {
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
        state.Host().EndAboutScreen();
        state.Host().EndRunLoop();
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
    state.Host().EndAboutScreen();
    state.Host().EndRunLoop();
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

void MnuRecentFiles_Click(SessionState& state, int index) {
    if (!LoadInProgress(state) && DropVanishedRecentFile(state, index)) return;
    OpenStage(state, RecentRequest(state, index));
}

void FilesDropped(SessionState& state, const std::vector<std::string>& paths) {
    const OpenPath chosen = ClassifyDroppedFiles(paths);
    if (chosen.Target == OpenTarget::None) {
        if (!paths.empty()) Box(state, NotOpenableText(paths.front()), MsgIcon::Exclamation);
        return;
    }
    OpenStage(state, {chosen.Path, OpenOrigin::Drop});
}

void OpenFromCommandLine(SessionState& state, const std::string& argument) {
    OpenStage(state, {CommandLinePath(argument), OpenOrigin::CommandLine});
}

// ---- Stage list ----------------------------------------------------------------------------------

void lstStages_Click(SessionState& state, int index) {
    OpenStage(state, ListRequest(state, index));
}

void mnuStageNext_Click(SessionState& state) {
    OpenStage(state, ListRequest(state, NextStageIndex(state.Stages)));
}

void mnuStagePrev_Click(SessionState& state) {
    OpenStage(state, ListRequest(state, PrevStageIndex(state.Stages)));
}

void mnuR_Click(SessionState& state, double random01) {
    OpenStage(state, ListRequest(state, RandomStageIndex(state.Stages, random01)));
}

}  // namespace qb

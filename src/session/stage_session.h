#pragma once
// The stage session: opening a stage (the dialog, the list, the recent files, drops, the command line),
// reloading it, closing it and deleting it, and releasing it (UnloadStuff). Loading and installing
// the stage itself is session/load_stage.h.
//
// Re-entrancy: every command may be called while RunStage is running (from inside Ui::DoEvents).
// Commands that replace or end the stage never start or end it themselves: they set ExitLoop,
// release the stage and start one of the one-shot timers (tmrStart, tmrExit, tmrDrop) through the
// Timers port, whose tick handlers in app/startup.h (the window's, through SessionHost) do the rest once the loop has returned.
#include <string>
#include <vector>

#include "platform/ports.h"
#include "session/load_stage.h"
#include "session/session_state.h"

namespace qb {

// ---- Opening stages ------------------------------------------------------------------------

// Where a request to open a stage comes from; kOriginRules in stage_session.cpp says how each goes.
enum class OpenOrigin {
    List,         // lstStages, and the list's next, previous and random commands
    Dialog,       // mnuOpen's dialog
    HandOver,     // what tmrDrop opens: a drop, the command line, a second start's hand-over
    Recent,       // an entry of the recent files
    Reload,       // mnuReload of a package changed since it was extracted
    Drop,         // files dropped on the window: left to tmrDrop
    CommandLine,  // the program's argument: left to tmrDrop
};

struct OpenRequest {
    std::string path;  // a definition or a package (IsPackagePath); empty: nothing to open
    OpenOrigin origin = OpenOrigin::HandOver;
    int row = -1;  // the list's row (List) or the recent files' entry (Recent) the path came from
    std::string entry;  // the package's stage the list's row names; empty: the package's choice
};

// Opens a stage, the one way every entry point below takes. Nothing opens while the stage is held.
// A package is extracted first (ExtractPackage). The stage test refuses with one box ("Can't find
// file: ", "Not a stage!") and releases nothing; a stage that passes becomes StageFile and the caption,
// the running stage is released, the list highlights its row and tmrStart starts it. A refused file
// leaves StageFile naming the stage on screen, so reload, Notepad and delete keep acting on it.
void OpenStage(SessionState& state, const OpenRequest& request);
// Extracts the package `zip` (OpenPackage, with the ports' Ui choosing among its stages) and tells its
// refusal or its skipped entries in a box. Once it gave a stage, the running stage is released, the
// package becomes state.Package and its definition StageFile. False while the stage is held, for a
// missing file ("Can't find file: ", with `missingIcon`), a refused package and a cancelled choice;
// StageFile, the package state and the running stage then stay as they were.
bool ExtractPackage(SessionState& state, std::string zip, std::string preferredEntry = {},
                    MsgIcon missingIcon = MsgIcon::Exclamation);

// A hand-over (tmrDrop): OpenStage from OpenOrigin::HandOver.
void OpenStageFile(SessionState& state, const std::string& path);
// mnuOpen: the open dialog, then OpenStage.
void mnuOpen_Click(SessionState& state);
// mnuClose: ends the loop, releases the stage (StageFile stays), caption = AppTitle, black frame.
void mnuClose_Click(SessionState& state);
// mnuReload: with a stage running, releases it (Reloading) and starts StageFile again through
// tmrStart, so the new stage is drawn only after the old loop has returned. Otherwise as mnuOpen.
void mnuReload_Click(SessionState& state);
// mnuDelete: with a stage running, asks Yes/No, naming every file that goes; on Yes closes it and
// moves the stage's own files (StageFilesForDelete: the definition, its backup, the sprite file when it
// is the stage's) to the trash, then refills the stage list. A stage from a package: the package goes
// instead. A sprite file that stays is named in the question with the reason; when other stages use
// it, a box says so afterwards. Everything the question promises is read before it is shown,
// and the stage is held while it is up. A file in a read-only folder is refused before anything is
// closed; a failed move is told in a box; nothing else ends.
void mnuDelete_Click(SessionState& state);
// Click on recent-file entry `index` (0 = the most recent, item 1 of MnuRecentFiles): moves it to
// the top and opens it (like reload, through tmrStart); a package's caption names the package.
void MnuRecentFiles_Click(SessionState& state, int index);
// Files dropped on the main window: picks the path (last .def or .zip wins) and enables tmrDrop; the
// drop timer then opens it. A .zip is extracted at once unless the stage is held.
void FilesDropped(SessionState& state, const std::vector<std::string>& paths);
// The program's optional command-line argument, opened like a dropped file. Call after FormLoad.
void OpenFromCommandLine(SessionState& state, const std::string& argument);

// ---- Stage list ----------------------------------------------------------------------------

// Click on lstStages row `index` (ignored while a stage is being parsed or loaded).
void lstStages_Click(SessionState& state, int index);
void mnuStageNext_Click(SessionState& state);
void mnuStagePrev_Click(SessionState& state);
// Random stage; `random01` in [0, 1) comes from the caller (the front end seeds from the time).
void mnuR_Click(SessionState& state, double random01);
}  // namespace qb

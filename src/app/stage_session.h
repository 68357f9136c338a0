#pragma once
// The stage session: opening a stage (the dialog, the list, the recent files, drops, the command line),
// reloading it, closing it and deleting it, and releasing it (UnloadStuff). Loading and installing
// the stage itself is app/load_stage.h.
//
// Re-entrancy: every command may be called while RunStage is running (from inside Ui::DoEvents).
// Commands that replace or end the stage never start or end it themselves: they set ExitLoop,
// release the stage and start one of the one-shot timers (tmrStart, tmrExit, tmrDrop) through the
// Timers port, whose tick handlers in app/startup.h do the rest once the loop has returned.
#include <string>
#include <vector>

namespace qb {

struct AppState;

// True while nothing may replace or end the stage on screen: it is loading, or a box about it waits
// for its answer. Opening commands refuse then, and the drop timer (the hand-over of a second start)
// waits.
bool StageHeld(const AppState& state);

// Holds the stage for as long as it lives: put one around a box whose answer acts on the stage.
class StageBoxHold {
public:
    explicit StageBoxHold(AppState& state);
    ~StageBoxHold();
    StageBoxHold(const StageBoxHold&) = delete;
    StageBoxHold& operator=(const StageBoxHold&) = delete;

private:
    AppState& m_state;
};

// ---- Opening stages ------------------------------------------------------------------------

// Opens StageFile: "Can't find file: " box when missing, "Not a stage!" box (and nothing released)
// when it is not a stage; otherwise caption = StageFile, the running stage is released, the entry
// goes to the top of the recent files and tmrStart is started.
void OpenStage(AppState& state);
// OpenStage on `path`; StageFile changes only when the file passes the stage test, so a refused
// file leaves reload, Notepad and delete acting on the stage on screen. A .zip package (a hand-over
// that had to wait) is extracted first.
void OpenStageFile(AppState& state, const std::string& path);

// mnuOpen: the open dialog, then OpenStage. A .zip is extracted first (OpenStagePackage).
void mnuOpen_Click(AppState& state);
// mnuClose: ends the loop, releases the stage (StageFile stays), caption = AppTitle, the no-stage hint.
void mnuClose_Click(AppState& state);
// A cleared view, presented; while no stage runs it shows the no-stage hint.
void ClearView(AppState& state);
// At start, while no stage runs or is on its way: the view says how to open one (DrawNoStageHint).
void ShowNoStageHint(AppState& state);
// mnuReload: with a stage running, releases it (Reloading) and starts StageFile again through
// tmrStart, so the new stage is drawn only after the old loop has returned. Otherwise as mnuOpen.
void mnuReload_Click(AppState& state);
// mnuDelete: with a stage running, asks Yes/No, naming every file that goes; on Yes closes it and
// moves the stage's own files (StageFilesForDelete: the definition, its backup, the sprite file when it
// is the stage's) to the trash, then refills the stage list. A stage from a package: the package goes
// instead. A sprite file that stays is named in the question with the reason; when other stages use
// it, a box says so afterwards. Everything the question promises is read before it is shown,
// and the stage is held while it is up. A file in a read-only folder is refused before anything is
// closed; a failed move is told in a box; nothing else ends.
void mnuDelete_Click(AppState& state);
// Click on recent-file entry `index` (0 = the most recent, item 1 of MnuRecentFiles): moves it to
// the top and opens it (like reload, through tmrStart).
void MnuRecentFiles_Click(AppState& state, int index);
// Files dropped on the main window: picks the path (last .def wins), releases the running stage and
// enables tmrDrop; the drop timer then opens it. A .zip is extracted at once (OpenStagePackage).
void FilesDropped(AppState& state, const std::vector<std::string>& paths);
// The program's optional command-line argument, opened like a dropped file. Call after FormLoad.
void OpenFromCommandLine(AppState& state, const std::string& argument);

// ---- Stage list ----------------------------------------------------------------------------

// Click on lstStages row `index` (ignored while a stage is being parsed or loaded).
void lstStages_Click(AppState& state, int index);
void mnuStageNext_Click(AppState& state);
void mnuStagePrev_Click(AppState& state);
// Random stage; `random01` in [0, 1) comes from the caller (the front end seeds from the time).
void mnuR_Click(AppState& state, double random01);
// ---- Release ---------------------------------------------------------------------------------

// Releases the current stage: closes its music, deletes the files a package's extraction created
// (unless Reloading), destroys its sprites and resets every stage-wide value to its program-start
// value.
void UnloadStuff(AppState& state);

}  // namespace qb

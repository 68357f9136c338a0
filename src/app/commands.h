#pragma once
// The main window's commands: one function per menu item (named after the item's control), the
// stage list, drops, the scroll bar and opening from outside. The front end calls them from its
// Qt signals and then renders AppState (menus, caption through Ui, stage list, geometry).
//
// Re-entrancy: every command may be called while RunStage is running (from inside Ui::DoEvents).
// Commands that replace or end the stage never start or end it themselves: they set ExitLoop,
// release the stage and start one of the one-shot timers (tmrStart, tmrExit, tmrDrop) through the
// Timers port, whose tick handlers in app/startup.h do the rest once the loop has returned.
#include <cstdint>
#include <string>
#include <vector>

#include "music/music_chooser.h"
#include "platform/ports.h"

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

// Release of the current stage (app/load_stage.h; extended here for the shell's parts).
// void UnloadStuff(AppState& state);  -- declared in app/load_stage.h

// mnuOpen: the open dialog, then OpenStage. A .zip is extracted first (OpenStagePackage).
void mnuOpen_Click(AppState& state);
// mnuClose: ends the loop, releases the stage (StageFile stays), caption = AppTitle, black frame.
void mnuClose_Click(AppState& state);
// A black view, presented: nothing runs.
void ClearView(AppState& state);
// At start, while no stage runs or is on its way: the view says how to open one (DrawNoStageHint).
void ShowNoStageHint(AppState& state);
// mnuReload: with a stage running, releases it (Reloading) and starts StageFile again through
// tmrStart, so the new stage is drawn only after the old loop has returned. Otherwise as mnuOpen.
void mnuReload_Click(AppState& state);
// mnuDelete: with a stage running, asks Yes/No; on Yes closes it and moves the definition and its
// sprite file to the trash, then refills the stage list. A stage from a package: the package goes
// instead. A sprite file that another stage uses (in the stage's folder or anywhere under the stages
// folder) is kept, and a box says so. Everything the question promises is read before it is shown,
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
// Shows or hides the list (StageListShown) and resizes the window around it.
void mnuStageList_Click(AppState& state);

// ---- Options -------------------------------------------------------------------------------

// Full screen: enabled only while a stage runs; toggles bFullScreen. On: remembers the window's
// position (SavedTop, SavedLeft) and asks Ui::SetFullScreen(true). Off: Ui::SetFullScreen(false)
// and the window goes back to SavedLeft, SavedTop. With no stage running it only records the wish.
void mnuFS_Click(AppState& state);
// Full screen on (now while a stage runs, else as a wish the next stage start fulfils) or off.
void SwitchFullScreen(AppState& state, bool on);
// Escape (from the full-screen view, or polled by the run loop): leaves full screen if on.
void LeaveFullScreen(AppState& state);
// View scale 1..4 (items mnuScale1 .. mnuScale4): resizes the window; saved in the configuration.
void SetViewScale(AppState& state, int scale);
void mnuFPS_Click(AppState& state);
void mnuInfo_Click(AppState& state);
void mnuDebugBG_Click(AppState& state);
void mnuDeform_Click(AppState& state);
// Toggles the Music mark; the stage's music plays when it is now set and stops when it is clear.
void mnuMusic_Click(AppState& state);
// Loads the music chooser (filled from the current stage) when it is not loaded, and shows it.
void mnuChangeMusic_Click(AppState& state);
// The chooser's routines' view of the state.
MusicChooserEnv ChooserEnv(AppState& state);
// The chooser's Update DEF: its question about a package stage holds the stage, so the answer writes
// into the stage it was asked about (a second start's hand-over waits for it).
bool MusicChooserSave(AppState& state);
// The user closed the chooser: it is unloaded.
void MusicChooserClosed(AppState& state);
// Mouse scrolling on or off: saves the camera steps when it starts and restores them after.
void mnuMScroll_Click(AppState& state);
// Shows or hides the error log (check mark follows).
void mnuError_Click(AppState& state);
// The error log window was closed from its title bar: it is only hidden (text kept), mark cleared.
void ErrorLogClosed(AppState& state);
// Opens StageFile in the desktop's text editor ("Didn't work for some reason..." on failure).
void mnuNotepad_Click(AppState& state);
// Asks for the MUGEN directory with the folder browser and fills the stage list from it again.
void mnuMugenDir_Click(AppState& state);
// The largest frame limit "Max FPS?" takes.
inline constexpr int kMaxFpsLimit = 1000;
void mnuPause_Click(AppState& state);
// F8: saves the BackBuffer as the next free Dirs.Data/snapshots/<StageName> n.pcx (stage running),
// and says where in the caption for kNoticeMs (SnapshotNotice).
void mnuSnapshot_Click(AppState& state);
inline constexpr uint32_t kNoticeMs = 3000;
std::string SnapshotNotice(const std::string& writtenPath);
// Once a notice's time is up, the caption shows the stage again (called once a pass by the run loop).
void ExpireNotice(AppState& state);
// Opens the snapshots folder (made when missing) in the desktop's file manager.
void mnuSnapshotFolder_Click(AppState& state);
// Debug mode on (check mark set) shows the sprite browser; off only clears the mark.
void mnuDebug_Click(AppState& state);
// The sprite browser was closed from its title bar: debug mode ends with it.
void SpriteBrowserClosed(AppState& state);
void mnuBgEditor_Click(AppState& state);
// Same as closing the window (CloseRequest in app/startup.h).
void mnuExit_Click(AppState& state);

// ---- Scroll bar hscHScroll ------------------------------------------------------------------

// Change: the view rectangle's left edge becomes `value`.
void hscHScroll_Change(AppState& state, int value);
// Scroll: the same, and the window caption shows CameraX.
void hscHScroll_Scroll(AppState& state, int value);

// ---- Dispatcher ----------------------------------------------------------------------------

// Runs the command of the menu item with this control name (app/menu_model.h's table). Answers
// false for an item with no command (the submenus, separators, mnuReset, mnuInstall). The test
// character's items and About are declared in app/char_commands.h and app/about_screen.h.
// mnuR draws its random number from the clock.
bool MenuCommand(AppState& state, const std::string& itemName);

// ---- Timers --------------------------------------------------------------------------------------

// The one-shot timers tick every millisecond until their handler has done its work.
inline constexpr int kOneShotTimerMs = 1;
// Through the Timers port; without one (the headless tool) nothing starts and none is active.
void StartTimer(AppState& state, TimerId id);
void StopTimer(AppState& state, TimerId id);
bool TimerActive(const AppState& state, TimerId id);

}  // namespace qb

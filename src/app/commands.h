#pragma once
// The main window's commands besides the stage session (session/stage_session.h): one function per menu
// item (named after the item's control), the options, the tool windows and the scroll bar. The front
// end calls them from its Qt signals and then renders AppState (menus, caption through Ui, geometry).
// Every command may be called while RunStage is running (from inside Ui::DoEvents).
#include <cstdint>
#include <string>
#include <vector>

#include "music/music_chooser.h"
#include "platform/ports.h"
// Box, the one-shot timers and StagesFolder are the stage session's, below the commands.
#include "session/stage_session.h"

namespace qb {

struct AppState;

// ---- Stage list ----------------------------------------------------------------------------

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
// The text editor did not start: the box says what was tried and how to choose another editor.
void TextEditorFailed(AppState& state);
void mnuNotepad_Click(AppState& state);
// Asks for the MUGEN directory with the folder browser and fills the stage list from it again.
void mnuMugenDir_Click(AppState& state);
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
// mnuExit is the close request's (app/startup.h); the dispatcher by item name, MenuCommand, is the
// menu table's (app/menu_model.h).

// ---- Scroll bar hscHScroll ------------------------------------------------------------------

// Change: the view rectangle's left edge becomes `value`.
void hscHScroll_Change(AppState& state, int value);
// Scroll: the same, and the window caption shows CameraX.
void hscHScroll_Scroll(AppState& state, int value);

}  // namespace qb

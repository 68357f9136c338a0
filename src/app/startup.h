#pragma once
// Start-up, first activation, the three one-shot timers, closing and shutdown of the main window.
//
// What the front end does:
//  1. Fill AppState::ports, ProgramDir (the executable's folder) and Dirs (FindDataDirs), take the
//     single-instance lock in Dirs.Config, then call FormLoad(state, alreadyRunning). When it answers false, end the program at once.
//  2. Render the menus (MenuModel(state), app/menu_model.h; a click runs MenuCommand), the stage
//     list (state.Stages), the error log text (state.Log), and apply the geometry the core sets
//     through the Ui port. Render again whenever the core may have changed them: once per turn
//     of the event loop and after each presented frame.
//  3. On the window's first activation call FormActivate.
//  4. Supply the Timers port (ports.timers): while the core keeps TimerId::Start active call
//     TmrStartTick every interval; likewise Exit → TmrExitTick and Drop → TmrDropTick. The handlers
//     stop their timer themselves (a tick may run the whole run loop, during which commands start
//     and stop timers). A tick that arrives while the run loop is running does nothing and keeps
//     its timer running.
//  5. On the window's close request call CloseRequest and refuse the close; the shutdown happens in
//     TmrExitTick, which calls Ui::Quit when it has finished.
#include <string>

namespace qb {

struct AppState;

// "." + minor + revision, e.g. ".67" for version 0.6.7.
std::string MakeVersionText(int minor, int revision);
// "Quillback " + the version text + " Beta by Tarnwick": the caption with no stage and the title of
// every message box that gives none of its own.
std::string MakeAppTitle(const std::string& versionText);
// What `--version` prints for `program`: the release number and the application title the window
// shows, both of this build ("quillback 0.6.7 (Quillback .67 Beta by Tarnwick)").
std::string VersionLine(const std::string& program);
// The version text and the application title of this build.
void SetVersionAndTitle(AppState& state);

// Start-up steps in their documented order. `alreadyRunning`: another instance holds the lock; the
// core then shows "Already running.." and answers false (the caller ends at once). Errors are
// reported through HandleError("Load", "Form_Load") and the window stays up (answers true).
bool FormLoad(AppState& state, bool alreadyRunning);

// First activation: sizes and centres the window again and, when ShowIntro asks for it, runs the
// about screen (its walk only: no box when KFM is missing). Later activations do nothing.
void FormActivate(AppState& state);

// Sizes the client area for the list state and the view scale, and centres the window (or puts it
// where it was closed, see MoveToRememberedPlace).
void SizeAndCenter(AppState& state);

// StagesFolder is the session's (session/stage_session.h).

// The close request (window close button, mnuExit): ends the run loop and starts tmrExit.
void CloseRequest(AppState& state);
// mnuExit: the same as closing the window.
void mnuExit_Click(AppState& state);
// A stop signal (a logout, kill): CloseRequest without the question about unwritten edits. Nobody is
// there to answer it, and its Cancel would keep the program up until the session kills it unsaved;
// the edits go as with Discard, the user's stage file is not written unasked.
void StopRequest(AppState& state);

// tmrStart: when the run loop is not running, stops itself and runs RunStage (unless a close was
// asked for meanwhile).
void TmrStartTick(AppState& state);
// tmrExit: when the run loop is not running, performs Shutdown and calls Ui::Quit.
void TmrExitTick(AppState& state);
// tmrDrop: opens the dropped stage (OpenStage stops the timer).
void TmrDropTick(AppState& state);

// The shutdown proper: UnloadStuff, the test character's release, SaveConfig (a failed write is told, never fatal), the
// BackBuffer and the graphics library released. Runs once; later calls do nothing.
void Shutdown(AppState& state);

}  // namespace qb

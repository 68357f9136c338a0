#pragma once
// The main window's side of the stage session: AppState's SessionHost (session/session_state.h), and
// what the window's view shows while no stage runs.
namespace qb {

struct AppState;

// A black view, presented: nothing runs.
void ClearView(AppState& state);
// At start, while no stage runs or is on its way: the view says how to open one (DrawNoStageHint).
void ShowNoStageHint(AppState& state);

// The stage session's menu commands (session/stage_session.h) in the form the menu table holds.
void mnuOpen_Click(AppState& state);
void mnuClose_Click(AppState& state);
void mnuReload_Click(AppState& state);
void mnuDelete_Click(AppState& state);
void mnuAutoReload_Click(AppState& state);
void mnuStageNext_Click(AppState& state);
void mnuStagePrev_Click(AppState& state);

}  // namespace qb

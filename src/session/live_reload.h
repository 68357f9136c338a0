#pragma once
// Reloading the running stage when its files change on disk, and the stage list following its
// folder. The front end watches the files (StageFilesToWatch) and reports every change
// (NoteStageFilesChanged); the run loop acts on the reports once they have settled (PollLiveReload).
//
// A reload parses the changed definition into a stage of its own first. Only a stage that loads
// replaces the one on screen, in place: the camera, the pause and the selected element stay, and
// the music plays on when the definition still names the same music. A definition that no longer
// loads leaves the stage on screen and opens the error log with the reasons.
#include <string>
#include <vector>

#include "session/load_stage.h"
#include "session/session_state.h"

namespace qb {

// The files to watch now: the running stage's definition and sprite file, and the package it came
// from, while mnuAutoReload is checked; none otherwise.
std::vector<std::string> StageFilesToWatch(const SessionState& state);
// A watched file (or its folder) changed: the reload is due kReloadSettleMs after the last report.
void NoteStageFilesChanged(SessionState& state);
// Called by the run loop every pass: reloads when a reported change has settled and the files really
// differ from what the stage on screen was loaded from. True when a new stage replaced it. A changed
// package is extracted again and started as the Reload command does (false: the start is pending).
bool PollLiveReload(SessionState& state);

// Reads the running stage's definition again and replaces the stage on screen by it, keeping the
// view, as a settled change does (a definition that no longer loads leaves the stage and opens the
// error log). True when it was replaced.
bool ReloadStageFromFile(SessionState& state);

// mnuAutoReload: toggles Options.AutoReload; off drops a pending reload.
void mnuAutoReload_Click(SessionState& state);

// Fills the stage list from its folder again, keeping the selected file selected (no selection when
// it is gone). No box when the folder is empty or unreadable. True when the names changed.
bool RefillStageList(SessionState& state);

}  // namespace qb

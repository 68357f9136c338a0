#pragma once
// Reloading the running stage when its files change on disk, and the stage list following its
// folder. The front end watches the files (StageFilesToWatch) and reports every change
// (NoteStageFilesChanged); the run loop acts on the reports once they have settled (PollLiveReload).
//
// A reload parses the changed definition into a stage of its own first. Only a stage that loads
// replaces the one on screen, in place: the camera, the pause and the selected element stay, and
// the music plays on when the definition still names the same music. A definition that no longer
// loads leaves the stage on screen and opens the error log with the reasons.
#include <cstdint>
#include <string>
#include <vector>

#include "stage/error_log.h"
#include "stage/load_stage_files.h"

namespace qb {

struct AppState;

// Changes that arrive closer together than this are one change (an editor's save is often a
// truncate, several writes and a rename).
inline constexpr uint32_t kReloadSettleMs = 200;

struct LiveReloadState {
    // The stage on screen: its definition and resolved sprite file, and what they held when it loaded.
    std::vector<std::string> Files;
    std::vector<FileStamp> Stamps;
    // A change was reported; it is acted on once the clock passes Deadline.
    bool Pending = false;
    uint32_t Deadline = 0;
    // The last reload failed: the next report retries even when the watched files look unchanged
    // (the fix may be a new sprite file the old definition never named).
    bool LastFailed = false;
    // The error log of the stage on screen; a failed reload shows its entries after these.
    std::vector<Problem> BaseLog;
    // Reloads performed since the program started.
    int Reloads = 0;
};

// Records the files a load read (the definition and the resolved sprite file) and what they held,
// and the package the stage came from. Called by InstallStage.
void WatchStageFiles(AppState& state, std::vector<std::string> files, std::vector<FileStamp> stamps);
// What the watched files hold now, after the program itself wrote the definition (that write is not a
// change to reload).
void WatchStageFiles(AppState& state);
// The files to watch now: the running stage's definition and sprite file, and the package it came
// from, while mnuAutoReload is checked; none otherwise.
std::vector<std::string> StageFilesToWatch(const AppState& state);
// A watched file (or its folder) changed: the reload is due kReloadSettleMs after the last report.
void NoteStageFilesChanged(AppState& state);
// Called by the run loop every pass: reloads when a reported change has settled and the files really
// differ from what the stage on screen was loaded from. True when a new stage replaced it. A changed
// package is extracted again and started as the Reload command does (false: the start is pending).
bool PollLiveReload(AppState& state);

// Reads the running stage's definition again and replaces the stage on screen by it, keeping the
// view, as a settled change does (a definition that no longer loads leaves the stage and opens the
// error log). True when it was replaced.
bool ReloadStageFromFile(AppState& state);

// mnuAutoReload: toggles Options.AutoReload; off drops a pending reload.
void mnuAutoReload_Click(AppState& state);

// Fills the stage list from its folder again, keeping the selected file selected (no selection when
// it is gone). No box when the folder is empty or unreadable. True when the names changed.
bool RefillStageList(AppState& state);

}  // namespace qb

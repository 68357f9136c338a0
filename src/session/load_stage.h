#pragma once
// Loading the stage named by StageFile into the main window's state, and releasing it again.
#include <string>
#include <string_view>
#include <vector>

#include "session/session_state.h"
#include "stage/load_stage_files.h"

namespace qb {

// How InstallStage puts a loaded stage into the running program: Fresh as a stage that starts, or
// KeepView as the live reload replaces the stage on screen (the camera, the selected element and the
// music stay).
enum class InstallHow { Fresh, KeepView };

// Loads StageFile (LoadStageFiles) and installs it fresh. Sets bRunning to 1 when the stage is
// ready, 0 when it failed.
void LoadStage(SessionState& state);
// Puts a loaded stage into `state`: shows the boxes the load asked for, in order, and adds its problems
// to the log; then, when the sprite file was found, the stage, the camera's start, the editor's
// baseline, the music and the watched files' stamps. A fresh install whose sprite file is missing
// releases the stage instead. True when the stage was installed.
bool InstallStage(SessionState& state, LoadResult&& result, InstallHow how);
void StartStageMusic(SessionState& state);
// A packaged stage's log starts with what opening the package said about the entries it left out.
void AddPackageNotes(SessionState& state);

// ---- What the stage on screen was read from (the live reload compares against it) ----------

// What `files` hold now.
std::vector<FileStamp> StampsOf(const std::vector<std::string>& files);
// Records the files a load read (the definition and the resolved sprite file) and what they held,
// and the package the stage came from. Called by InstallStage.
void WatchStageFiles(SessionState& state, std::vector<std::string> files, std::vector<FileStamp> stamps);
// What the watched files hold now, after the program itself wrote the definition (that write is not a
// change to reload).
void WatchStageFiles(SessionState& state);

// Releases the current stage: closes its music, deletes the files a package's extraction created
// (unless Reloading), destroys its sprites and resets every stage-wide value to its program-start
// value.
void UnloadStuff(SessionState& state);

}  // namespace qb

#pragma once
// Loading the stage named by StageFile into the main window's state, and releasing it again.
#include <string>
#include <string_view>

namespace qb {

struct AppState;
struct LoadResult;

// How InstallStage puts a loaded stage into the running program: Fresh as a stage that starts, or
// KeepView as the live reload replaces the stage on screen (the camera, the selected element and the
// music stay).
enum class InstallHow { Fresh, KeepView };

// Loads StageFile (LoadStageFiles) and installs it fresh. Sets bRunning to 1 when the stage is
// ready, 0 when it failed.
void LoadStage(AppState& state);
// Puts a loaded stage into `state`: shows the boxes the load asked for, in order, and adds its problems
// to the log; then, when the sprite file was found, the stage, the camera's start, the editor's
// baseline, the music and the watched files' stamps. A fresh install whose sprite file is missing
// releases the stage instead. True when the stage was installed.
bool InstallStage(AppState& state, LoadResult&& result, InstallHow how);
// True while LoadStage runs: the load services window messages while it indexes the sprite file, and
// nothing may start another load, close the stage or shut the program down under it.
bool LoadInProgress(const AppState& state);
void StartStageMusic(AppState& state);
// A packaged stage's log starts with what opening the package said about the entries it left out.
void AddPackageNotes(AppState& state);

}  // namespace qb

#pragma once
// Loading the stage named by StageFile into the main window's state, and releasing it again.
#include <string>
#include <string_view>

namespace qb {

struct AppState;

// How the error-log entry for stage music that could not be played begins (the path follows).
inline constexpr std::string_view kMusicNotPlayedEntry = "Could not play the music file ";

// Parses StageFile, loads its sprite file, places the camera and the elements, resolves controller
// targets and starts the music. Sets bRunning to 1 when the stage is ready, 0 when it failed.
void LoadStage(AppState& state);
// True while LoadStage runs: the load services window messages while it indexes the sprite file,
// and nothing may release the stage it is filling or shut the program down under it.
bool LoadInProgress(const AppState& state);
// The steps of LoadStage after a successful parse, for a stage parsed elsewhere (the live reload):
// the camera's start, element placement and controller targets; and the stage's music.
void PlaceLoadedStage(AppState& state);
void StartStageMusic(AppState& state);

// Releases the current stage: closes its music, deletes the files a package's extraction created
// (unless Reloading), destroys its sprites and resets every stage-wide value to its program-start
// value.
void UnloadStuff(AppState& state);

// The stage-loading view of the state, with the window's side effects wired to it.
struct StageContext;
StageContext MakeStageContext(AppState& state);

}  // namespace qb

#pragma once
// Stage packages: a zip archive whose definition and sprite files are extracted into the program's
// folder for as long as the stage is open.
#include <string>

namespace qb {

struct AppState;
struct PackageState;

// Extracts the package named by StageFile into the program's folder and points StageFile at the
// extracted definition (the last one listed when there are several); entries that could not be
// extracted (password, method, size, damage) are told in one box. The running stage is released
// only once the package has proved to hold a stage. A refused package ("ZIP ERROR!" for an archive
// that cannot be read or holds nothing, "Not a stage!" without a stage definition; each box names
// the package and the reason) has its extracted files deleted at once and leaves StageFile, the
// package state and the running stage as they were.
void OpenStagePackage(AppState& state);

// Deletes every file the last extraction created (and nothing else), clears the package's extracted
// paths and FromPackage. A file that cannot be deleted is left behind quietly: the program goes on.
void DeleteExtractedFiles(PackageState& package);

}  // namespace qb

#pragma once
// Stage packages: a zip archive whose definition and sprite files are extracted into a private folder
// of their own (never the program's folder, where settings and the editor's files live) for as long as
// the stage is open.
#include <string>

#include "library/package_state.h"

namespace qb {

struct AppState;

// Extracts the package named by StageFile into a new private folder (MakePackageFolder) and points
// StageFile at the extracted definition (the last one listed when there are several). Only entries
// whose written name holds ".def" or ".sff" are extracted. "ZIP ERROR!" for an archive that cannot be
// read or holds nothing; an archive with more entries than a stage package holds is refused with its
// own box; entries that could not be extracted (password, method, size, damage) are told in one box.
// A package without a definition, or whose definition is not a stage, has its folder deleted at once
// and leaves StageFile naming the package, so the open then ends at "Not a stage!". Releases the
// running stage first.
void OpenStagePackage(AppState& state);

// Deletes the files the last extraction created and its private folder, clears the package's
// extracted paths and FromPackage. Failures are quiet: the program goes on, and the next start
// removes a folder left behind.
void DeleteExtractedFiles(PackageState& package);

// The package file's size, time and inode now.
PackageStamp PackageStampOf(const std::string& path);
// True when the running stage came from a package that changed since it was extracted.
bool PackageChanged(const PackageState& package);

}  // namespace qb

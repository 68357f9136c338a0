#pragma once
// Stage packages: a zip archive whose definition and sprite files are extracted into a private folder
// of their own (never the program's folder, where settings and the editor's files live) for as long as
// the stage is open.
#include <string>

#include "library/package_state.h"

namespace qb {

struct AppState;

// Extracts the package named by StageFile into a new private folder (MakePackageFolder) and points
// StageFile at the extracted definition. A package holding several stage definitions asks which to
// open (Ui::ChooseItem, the last one listed preselected); Cancel is a quiet refusal. A definition
// without a camera line is not offered. `preferredEntry` (a reload's DefinitionEntry) is opened
// without asking when the package still holds it. Only entries
// whose written name holds ".def" or ".sff" are extracted; entries that could not be extracted
// (password, method, size, damage) are told in one box. The running stage is released only once the
// package has proved to hold a stage. A refused package ("ZIP ERROR!" for an archive that cannot be
// read or holds nothing, "Not a stage!" without a stage definition, a box of its own for more entries
// than a stage package holds; each box names the package and the reason) has its folder deleted at
// once and leaves StageFile, the package state and the running stage as they were.
void OpenStagePackage(AppState& state, const std::string& preferredEntry = {});

// Deletes the files the last extraction created and its private folder, clears the package's
// extracted paths and FromPackage. Failures are quiet: the program goes on, and the next start
// removes a folder left behind.
void DeleteExtractedFiles(PackageState& package);

// The package file's size, time and inode now.
PackageStamp PackageStampOf(const std::string& path);
// True when the running stage came from a package that changed since it was extracted.
bool PackageChanged(const PackageState& package);

}  // namespace qb

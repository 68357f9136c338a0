#pragma once
// Stage packages: a zip archive whose definition and sprite files are extracted into a private folder
// of their own (never the program's folder, where settings and the editor's files live) for as long as
// the stage is open.
#include <string>

#include "library/package_state.h"
#include "platform/data_dirs.h"
#include "platform/ports.h"

namespace qb {

// What opening a package gave: the definition to open and the extraction it came from, or why the
// package was refused. Neither opened nor refused: the user cancelled the choice of stage.
struct PackageOpen {
    // The extraction (FromPackage, its folder and created files, the chosen entry, the notes about
    // entries it skipped or found on disk already). Empty unless the package opened.
    PackageState package;
    // The extracted definition to open; empty unless the package opened.
    std::string definition;
    // The box that refuses the package ("ZIP ERROR!", "Not a stage!", too many entries, too large, no
    // private folder), naming the package and the reason. Nothing of a refused package stays on disk.
    std::string refusal;
    // The box about entries that could not be extracted (password, method, size, damage): the stage
    // opens all the same.
    std::string skipped;
    bool Opened() const { return !definition.empty(); }
};

// Lists the package `zip`, extracts its definitions and sprite files into a new private folder inside
// dirs.Temp (MakePackageFolder) and picks the definition to open. Only entries whose written name holds
// ".def" or ".sff" are extracted; a definition without a camera line is not offered. A package holding
// several stage definitions asks `ui` which to open (Ui::ChooseItem, the last one listed preselected);
// `preferredEntry` (a reload's DefinitionEntry) is taken without asking when the package still holds
// it. Nothing else is asked or shown: the caller shows `refusal` and `skipped`. The running stage is
// none of its business; the caller releases it once the package has opened.
PackageOpen OpenPackage(const std::string& zip, const DataDirs& dirs, Ui& ui,
                        const std::string& preferredEntry = {});

// Deletes the files the last extraction created and its private folder, clears the package's
// extracted paths and FromPackage. Failures are quiet: the program goes on, and the next start
// removes a folder left behind.
void DeleteExtractedFiles(PackageState& package);

// The package file's size, time and inode now.
PackageStamp PackageStampOf(const std::string& path);
// True when the running stage came from a package that changed since it was extracted.
bool PackageChanged(const PackageState& package);

}  // namespace qb

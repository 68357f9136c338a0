#pragma once
// Installing a stage package into a MUGEN directory: its files go into a folder of their own under
// stages/, where the engine's stage-select list can name them ("stages/<name>/x.def"), and the list
// itself (data/select.def) can get a line for each of its stages.
#include <string>
#include <string_view>
#include <vector>

#include "platform/ports.h"

namespace qb {

struct PackageInstall {
    // The folder the package went into (stages/<name>), whether or not it was installed.
    std::string folder;
    // The installed stage definitions, in the package's order, and the way the stage-select list
    // names each of them ("stages/<name>/x.def").
    std::vector<std::string> stages, selectEntries;
    // Why nothing was installed (empty: installed). Nothing of a refused package stays on disk.
    std::string refusal;
    // The refusal is that `folder` is there already (a folder or a file of that name, in any letter
    // case): installing again with `replace` puts the package in its place.
    bool collision = false;
    // The old folder was replaced.
    bool replaced = false;
    // Entries that were not installed (unsafe names, symbolic links, passwords, damage), one a line.
    std::vector<std::string> skipped;
    // Installed stages whose sprite file is named with a folder ("spr = stages/x.sff") that does not
    // lead to it from the new place: the preview finds it beside the definition, the engine may not.
    std::vector<std::string> warnings;
    bool Installed() const { return refusal.empty(); }
};

// The folder a package installs into under stages/: the package's file name without ".zip", made
// safe as an entry name is (no separators, no "..", no control characters); "package" when nothing
// of it is usable.
std::string InstallFolderName(const std::string& zip);

// Extracts the package `zip` into `mugeDir`/stages/<InstallFolderName>/. The files are first
// extracted into a private folder inside stages/ (the same file system) with every safeguard of
// opening a package (names reduced to safe base names, nothing written outside it, symbolic-link
// entries skipped, entry count and sizes bounded) and then moved into place by one rename, so the
// stage folder is either missing or complete. An existing folder or file of that name is kept unless
// `replace` says so: then it is exchanged for the new folder in one step and removed afterwards. A
// package without a stage definition (a line mentioning "camera") is refused.
PackageInstall InstallPackage(const std::string& zip, const std::string& mugeDir, bool replace);

// What adding lines to the stage-select list did.
struct SelectListChange {
    bool changed = false;                     // the file was rewritten (its old text is in `backup`)
    std::vector<std::string> added, present;  // entries appended, entries the list held already
    std::string file, backup;
    std::string error;  // why the list was not changed; empty when it was or had them all
};

// `text` (a select.def) with `entries` appended to its [ExtraStages] section: after the section's last
// entry (or after its header and the comments under it), in the file's own line ends; the section is
// appended at the end when the file has none. Entries the section holds already (in any letter case,
// with either separator; a commented-out line does not count) are left out and listed in `present`.
std::string AddExtraStages(std::string_view text, const std::vector<std::string>& entries,
                           std::vector<std::string>& present);

// Adds `entries` to `mugeDir`/data/select.def: keeps the old text as select.def.bak and replaces the
// file atomically. Nothing is written when every entry is there already.
SelectListChange AddToSelectList(const std::string& mugeDir, const std::vector<std::string>& entries);

// The whole command: installs `zip`, asking `ui` whether to replace an existing folder of the same
// name and whether to add the stages to the engine's stage-select list, and tells what was installed
// or why not. True when the package was installed.
bool InstallPackageAsking(const std::string& zip, const std::string& mugeDir, Ui& ui);

}  // namespace qb

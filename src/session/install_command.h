#pragma once
// Installing stage packages into the MUGEN directory from the window: the Stage menu's
// "Install Package..." and a package dropped with Shift held.
#include <string>
#include <vector>

#include "session/session_state.h"

namespace qb {

// Installs `zip` into the MUGEN directory (library/install_package.h: asks before replacing a stage
// folder and before adding to the stage-select list, and tells what was installed); the stage list
// then shows what is in its folder now. The stage on screen stays.
void InstallPackageFile(SessionState& state, const std::string& zip);

// mnuInstallPackage: asks for a package and installs it.
void mnuInstallPackage_Click(SessionState& state);

// Files dropped with the install modifier held: packages are installed one after the other; anything
// else among them makes it a plain drop, which opens.
void FilesDroppedToInstall(SessionState& state, const std::vector<std::string>& paths);

}  // namespace qb

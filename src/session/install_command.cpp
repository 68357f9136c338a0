#include "session/install_command.h"

#include <algorithm>

#include "library/install_package.h"
#include "library/open_stage.h"
#include "session/live_reload.h"
#include "session/stage_session.h"

namespace qb {

void InstallPackageFile(SessionState& state, const std::string& zip) {
    if (state.MugeDir.empty()) {
        Box(state,
            "A package is installed into the MUGEN directory; set it first (Options, Set MUGEN Directory).",
            MsgIcon::Exclamation);
        return;
    }
    if (InstallPackageAsking(zip, state.MugeDir, *state.ports.ui)) RefillStageList(state);
}

void mnuInstallPackage_Click(SessionState& state) {
    const std::string zip =
        state.cdl.ShowOpen(*state.ports.ui, "Install Package", StageDialogStartFolder(state.MugeDir),
                           "Stage packages|*.zip", kOfnPathMustExist | kOfnFileMustExist);
    if (!zip.empty()) InstallPackageFile(state, zip);
}

void FilesDroppedToInstall(SessionState& state, const std::vector<std::string>& paths) {
    if (!paths.empty() && std::all_of(paths.begin(), paths.end(), IsPackagePath)) {
        for (const std::string& zip : paths) InstallPackageFile(state, zip);
        return;
    }
    FilesDropped(state, paths);
}

}  // namespace qb

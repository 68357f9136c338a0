#pragma once
// The background editor window's buttons, run against the main window's state.
#include <string>

namespace qb {

struct AppState;

// Runs the action of frmBG's button `control` (cmdUpdate, cmdAutoBound, cmdSave, cmdShowDef, cmdMusic,
// Command1 to Command6, cmdWriteStage). Answers false for a name that is not one of them.
bool BgEditorButton(AppState& state, const std::string& control);

}  // namespace qb

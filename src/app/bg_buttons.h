#pragma once
// The background editor window's buttons, run against the main window's state.
#include <span>
#include <string>

namespace qb {

struct AppState;

// One button of frmBG: its control name, its caption, what it writes or does where the caption does
// not say (the tooltip), and its action.
struct BgButton {
    const char* name;
    const char* caption;
    const char* tip;  // null: the caption says it
    // Writes into the data folder (test.def, stage.def and the fixed-name files), made first.
    bool writesData;
    void (*run)(AppState&);  // null: the button does nothing
    bool developer = false;  // a test button: offered only to developers
};

// The buttons in the window's order.
std::span<const BgButton> BgButtonTable();

// Runs the action of frmBG's button `control` (cmdUpdate, cmdAutoBound, cmdSave, cmdShowDef, cmdMusic,
// Command1 to Command6, cmdWriteStage). Answers false for a name that is not one of them.
bool BgEditorButton(AppState& state, const std::string& control);

// Called by every command that replaces or ends the running stage, before it does: with edits the
// stage file does not hold, asks Write, Discard or Cancel. True when the command may go on (nothing
// to lose, the edits were written, or the user discarded them).
bool ConfirmDropEdits(AppState& state);

// The running stage's definition changed on disk while the editor holds unwritten edits: they are
// kept and the user is told (caption and error log); Reload takes the file's version, and a write
// may replace the text the file holds now.
void HoldEditsAgainstDiskChange(AppState& state);

}  // namespace qb

#pragma once
// The background editor's buttons, without the window: saving the stage, writing the edited values
// into the stage file, and the three test buttons over the saved file. Files the design put in the
// root of drive C live in the program's folder.
#include <cstdint>
#include <functional>
#include <string>

#include "stage/stage_model.h"
#include "stage/write_back.h"
#include "tools/element_edit.h"

namespace qb {

// The stage file as it runs now is what a later write into it compares against: called when a stage
// starts, with where the parser read each value (`source`). The element boxes are emptied: they
// showed an element of the stage before.
void BeginEditBaseline(const StageModel& stage, const StageSource& source, EditState& edit);

// True when the stage holds edits the stage file does not: values changed since the stage started
// (or was last written), or elements removed or copied.
bool HasUnwrittenEdits(const StageModel& stage, const EditState& edit);

// Fills the element boxes (and the position boxes) from element `index`; nothing for an index
// outside the table. A number shows every digit it has: with `file` (the editor's map of the stage
// file), as the file writes it while that still reads as the value.
void ShowElement(const StageModel& stage, int16_t index, BgEditorFields& fields, const EditState* file = nullptr);

// Save Changes: SaveStage into "<program folder>/test.def". Command6: SaveStage2 into "stage.def".
bool cmdSave_Click(const StageModel& stage, const std::string& musicFile, const std::string& programDir);
bool Command6_Click(const StageModel& stage, const std::string& musicFile, const std::string& programDir);

// "Write to stage file": the values changed since the stage started go into `stageFile` as it is
// on disk now (see WriteBackStage; `ui` asks about lines another program changed too). Refused
// when the editor removed an element or added copies: the file's sections could no longer be
// matched to them. On success the written values and text become the baseline (after a merge
// with another program's version the caller reloads the file to show it whole).
WriteBackResult WriteToStageFile(const StageModel& stage, EditState& edit, const std::string& stageFile,
                                 const std::function<bool()>& beforeRename = {}, Ui* ui = nullptr);

// Command3: in test.def, every line holding "bgmusic" and "=" gets the value "<program
// folder>/lalala.mid" after the character that follows the "="; its comment and every other line stay.
bool Command3_Click(const std::string& programDir);
// Command4: the length of test.def in bytes as the message box shows it; nullopt-like -1 when it
// cannot be read.
int64_t Command4_Click(const std::string& programDir);
// Command5: test.def copied to shout.def with each "bgmusic" line (exact case, not commented out)
// holding "f:\mugen\suckme.mp3".
bool Command5_Click(const std::string& programDir);

// A music line's comment part: empty without ";", else the blanks before the ";" and all after it.
std::string CommentPart(const std::string& line);

}  // namespace qb

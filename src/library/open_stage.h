#pragma once
// The rules around opening a stage that need no window: which path a dialog answer, a drop or a
// command-line argument names, the recent-file list, and the open dialog's request.
#include <string>
#include <vector>

#include "platform/ports.h"

namespace qb {

inline constexpr std::size_t kMaxRecentFiles = 6;

// What a path given to the program names.
enum class OpenTarget { None, Definition, Package };

struct OpenPath {
    OpenTarget Target = OpenTarget::None;
    std::string Path;
};

// The one test of whether a path names a stage package: its file name ends in ".zip" (any letter
// case). The extension decides, not a ".zip" anywhere in the text ("old.zips/x.def" is a definition).
bool IsPackagePath(const std::string& path);

// A path from the open dialog: a ".zip" file (any letter case) is a package, anything else a
// definition (the stage test then decides). An empty answer is OpenTarget::None.
OpenPath ClassifyDialogAnswer(const std::string& answer);
// Dropped paths, in the order given: files ending in ".def" or ".zip" (any letter case) count,
// other paths are ignored and the last matching path wins. None when nothing matched.
OpenPath ClassifyDroppedFiles(const std::vector<std::string>& paths);

// Why the file at `path` cannot be opened as a stage, as the one box every open path shows: it
// names the file and what is wrong with it ("Can't find file: " for a missing one, "Not a stage!"
// and the reason otherwise). Empty when the file is a stage. Refusing never touches the stage on
// screen.
std::string StageRefusalMessage(const std::string& path);

// Puts `entry` at the top of `recent` (item 1 of the menu is recent[0]). An entry already in the
// list (exact, case-sensitive text) moves to the top and the list keeps its length; a new entry
// grows the list up to kMaxRecentFiles, beyond which the oldest is overwritten. A list that was
// longer than the limit (read from a hand-edited configuration) keeps its length.
void AddRecentFile(std::vector<std::string>& recent, const std::string& entry);
// Moves entry `index` (0-based) to the top; the others shift down. Out of range: no change.
void PromoteRecentFile(std::vector<std::string>& recent, std::size_t index);

// Start folder of the stage open dialog: MugeDir's "stages" folder (found without regard to case),
// or MugeDir itself when that folder is missing.
std::string StageDialogStartFolder(const std::string& mugeDir);

}  // namespace qb

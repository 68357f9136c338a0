#pragma once
// The stage list lstStages: names of the stage definitions in the MUGEN directory's stages folder,
// the selection, and the rules of the next, previous and random commands. Opening the chosen name
// is the application's business (it needs the whole main-window state).
#include <cstdint>
#include <string>
#include <vector>

namespace qb {

class ErrorLog;
class Ui;

struct StageList {
    // Names without folder and without ".def", in display order (see LoadFilestoList).
    std::vector<std::string> Names;
    // The file each name was listed from (full path). Opening a row opens this file, so a file named
    // "a.default.def", listed as "a", opens itself rather than a missing "a.def".
    std::vector<std::string> Files;
    // Selected index, -1 for none.
    int ListIndex = -1;
    // Bumped on every change of names or selection so that a view can tell when to refresh.
    unsigned Revision = 0;

    void Clear() {
        Names.clear();
        Files.clear();
        ListIndex = -1;
        ++Revision;
    }
    void Select(int index) {
        ListIndex = index;
        ++Revision;
    }
};

// Appends to `list` the names of the normal files in `path` (with or without a trailing separator;
// the folder is looked up without regard to letter case) whose lower-cased name contains
// `extension`: each name is cut before the first occurrence of the extension in its lower-cased
// form ("a.default.def" lists as "a"). The names added by one call are sorted by file name without
// regard to case, so the list is the same on every disk and every run (a directory listing's own
// order is arbitrary on Linux). The list is not emptied first. An empty `path` means the "stages"
// folder of the current directory.
// No matching file: shows "No files.. uh.. " (OK, no icon) and answers false. A folder that cannot
// be read is reported through HandleError("Main", "LoadFilestoList"); the names added so far stay.
bool LoadFilestoList(StageList& list, Ui& ui, const std::string& path, const std::string& extension);

// Navigation rules. Each answers the index to select and open, or -1 when the command does nothing.
// Next: index + 1 unless the selection is the last name (nothing selected: the first name).
int NextStageIndex(const StageList& list);
// Previous: index - 1 when the selection is above 0.
int PrevStageIndex(const StageList& list);
// Random: Int(random01 * count), random01 in [0, 1); -1 for an empty list. The current stage can
// be picked again.
int RandomStageIndex(const StageList& list, double random01);

// The row listed from this file (the same file on disk, however the path is spelled), or -1.
int StageIndexForFile(const StageList& list, const std::string& path);

// MugeDir + "stages" + separator + name + ".def", the stages folder found without regard to case.
std::string StagePathForName(const std::string& mugeDir, const std::string& name);

}  // namespace qb

#pragma once
// The stage list lstStages: names of the stage definitions in the MUGEN directory's stages folder,
// the selection, and the rules of the next, previous and random commands. Opening the chosen name
// is the application's business (it needs the whole main-window state).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "library/stage_library.h"

namespace qb {

class ErrorLog;
class Ui;

struct StageList {
    // The shown rows' names (the stage's own name, see LibraryRow::Name), in display order: the
    // library's rows that pass Filter, in the order Sort gives. The next, previous and random
    // commands walk these.
    std::vector<std::string> Names;
    // The file each name was listed from (full path): a definition, or the package that holds the
    // row's stage. Opening a row opens this file, so a file named "a.default.def", listed as "a",
    // opens itself rather than a missing "a.def".
    std::vector<std::string> Files;
    // The shown rows whole (same length as Names once ShowLibraryRows ran).
    std::vector<LibraryRow> Rows;
    // Every stage listed, in file order.
    std::vector<LibraryRow> All;
    // The filter box's text and the chosen order: kept when the list is filled again.
    std::string Filter;
    LibrarySort Sort = LibrarySort::File;
    // Where the listing is cached between runs; empty: not cached.
    std::string CacheFile;
    // Selected index, -1 for none.
    int ListIndex = -1;
    // Bumped on every change of names or selection so that a view can tell when to refresh.
    unsigned Revision = 0;

    void Clear() {
        Names.clear();
        Files.clear();
        Rows.clear();
        All.clear();
        ListIndex = -1;
        ++Revision;
    }
    void Select(int index) {
        ListIndex = index;
        ++Revision;
    }
};

// Appends to `list.All` the stages of the folder `path` (with or without a trailing separator; the
// folder is looked up without regard to letter case) at any depth and in its packages
// (ScanStageLibrary), named by their [Info] (a file without a name is named by its file name cut
// before the first occurrence of `extension` in its lower-cased form: "a.default.def" lists as "a"),
// then shows them (ShowLibraryRows). The rows added by one call are in file order, without regard to
// case, so the list is the same on every disk and every run (a directory listing's own order is
// arbitrary on Linux). `list.CacheFile`, when set, is read first and written again when a file was
// read. An empty `path` means the "stages" folder of the current directory.
// No matching file: shows "No files.. uh.. " (OK, no icon) and answers false. A folder that cannot
// be read is reported through HandleError("Main", "LoadFilestoList"); the names added so far stay.
bool LoadFilestoList(StageList& list, Ui& ui, const std::string& path, const std::string& extension);

// Fills Names, Files and Rows from All: the rows that pass Filter (RowMatchesFilter) in Sort's order.
// The selected row stays selected when it is still shown (nothing is selected otherwise).
void ShowLibraryRows(StageList& list);

// Type-ahead: the first shown row after `from` (wrapping round; -1: from the top) whose name starts
// with `typed` without regard to case, else the first whose name contains it; -1 when none does.
int TypeAheadIndex(const StageList& list, std::string_view typed, int from);

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

#include "library/stage_list.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "platform/paths.h"
#include "platform/ports.h"
#include "stage/error_log.h"
#include "platform/text_util.h"

namespace qb {

bool LoadFilestoList(StageList& list, Ui& ui, const std::string& path, const std::string& extension) {
    (void)extension;  // definitions and packages: the library's rules (ScanStageLibrary)
    const std::string folder = ResolvePath(path.empty() ? std::string("stages") : path);
    const LibraryCache cache = list.CacheFile.empty() ? LibraryCache() : LibraryCache::Load(list.CacheFile);
    LibraryScan scan = ScanStageLibrary(folder.empty() ? std::string(".") : folder, &cache);
    if (scan.BrokeOff) {
        // A listing that breaks off midway keeps the names read so far.
        HandleError(ui, "Main", "LoadFilestoList", EIO, "The stages folder could not be read wholly: " + folder);
        if (scan.Rows.empty()) return false;
    }
    if (scan.Rows.empty()) {
        ui.MsgBox("No files.. uh.. ", MsgIcon::None, MsgButtons::Ok);
        return false;
    }
    if (!list.CacheFile.empty() && (scan.ReadFiles > 0 || cache.Files() == 0))
        LibraryCache::Save(list.CacheFile, scan.Rows);
    for (auto& row : scan.Rows) list.All.push_back(std::move(row));
    ShowLibraryRows(list);
    return true;
}

void ShowLibraryRows(StageList& list) {
    const bool selected = list.ListIndex >= 0 && list.ListIndex < static_cast<int>(list.Rows.size());
    const LibraryRow chosen = selected ? list.Rows[static_cast<size_t>(list.ListIndex)] : LibraryRow();
    std::vector<const LibraryRow*> shown;
    for (const LibraryRow& row : list.All)
        if (RowMatchesFilter(row, list.Filter)) shown.push_back(&row);
    const LibrarySort sort = list.Sort;
    std::stable_sort(shown.begin(), shown.end(),
                     [sort](const LibraryRow* a, const LibraryRow* b) { return RowBefore(*a, *b, sort); });
    std::vector<LibraryRow> rows;
    rows.reserve(shown.size());
    for (const LibraryRow* row : shown) rows.push_back(*row);
    list.Rows = std::move(rows);
    list.Names.clear();
    list.Files.clear();
    list.ListIndex = -1;
    for (size_t i = 0; i < list.Rows.size(); ++i) {
        const LibraryRow& row = list.Rows[i];
        list.Names.push_back(row.Name);
        list.Files.push_back(row.File);
        if (selected && row.File == chosen.File && row.Entry == chosen.Entry) list.ListIndex = static_cast<int>(i);
    }
    ++list.Revision;
}

int TypeAheadIndex(const StageList& list, std::string_view typed, int from) {
    const int count = static_cast<int>(list.Names.size());
    if (typed.empty() || count == 0) return -1;
    const std::string lower = text::Lower(typed);
    from = std::clamp(from, -1, count - 1);
    int contains = -1;
    for (int step = 1; step <= count; ++step) {
        const int i = (from + step) % count;
        const std::string name = text::Lower(list.Names[static_cast<size_t>(i)]);
        if (name.rfind(lower, 0) == 0) return i;
        if (contains < 0 && name.find(lower) != std::string::npos) contains = i;
    }
    return contains;
}

int NextStageIndex(const StageList& list) {
    const int count = static_cast<int>(list.Names.size());
    if (count == 0 || list.ListIndex == count - 1) return -1;
    if (list.ListIndex < -1 || list.ListIndex >= count) return -1;
    return list.ListIndex + 1;
}

int PrevStageIndex(const StageList& list) {
    const int count = static_cast<int>(list.Names.size());
    if (list.ListIndex <= 0 || list.ListIndex >= count) return -1;
    return list.ListIndex - 1;
}

int RandomStageIndex(const StageList& list, double random01) {
    const int count = static_cast<int>(list.Names.size());
    if (count == 0) return -1;
    if (!(random01 >= 0.0)) random01 = 0.0;  // NaN and negatives
    int index = static_cast<int>(random01 * count);
    return std::clamp(index, 0, count - 1);
}

std::string StagePathForName(const std::string& mugeDir, const std::string& name) {
    return ResolvePath(JoinPath(JoinPath(mugeDir, "stages"), name + ".def"));
}

int StageIndexForFile(const StageList& list, const std::string& path) {
    for (size_t i = 0; i < list.Files.size(); ++i) {
        std::error_code error;
        if (list.Files[i] == path || std::filesystem::equivalent(list.Files[i], path, error))
            return static_cast<int>(i);
    }
    return -1;
}

}  // namespace qb

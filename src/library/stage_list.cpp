#include "library/stage_list.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/paths.h"
#include "platform/ports.h"
#include "stage/error_log.h"
#include "platform/text_util.h"

namespace qb {

namespace {

bool LessNoCase(const std::string& a, const std::string& b) {
    const std::string la = text::Lower(a);
    const std::string lb = text::Lower(b);
    if (la != lb) return la < lb;
    return a < b;  // names differing only in case keep one fixed order
}

bool EndsWithNoCase(const std::string& name, const std::string& lowerExtension) {
    if (lowerExtension.empty() || name.size() < lowerExtension.size()) return false;
    return text::Lower(name.substr(name.size() - lowerExtension.size())) == lowerExtension;
}

}  // namespace

bool LoadFilestoList(StageList& list, Ui& ui, const std::string& path, const std::string& extension) {
    namespace fs = std::filesystem;
    const std::string folder = ResolvePath(path.empty() ? std::string("stages") : path);
    const std::string lowerExtension = text::Lower(extension);

    struct Found {
        std::string name;
        std::string file;
    };
    std::vector<Found> found;
    std::error_code ec;
    bool brokeOff = false;
    fs::directory_iterator it(folder.empty() ? fs::path(".") : fs::path(folder), ec);
    if (ec && ec != std::errc::no_such_file_or_directory && ec != std::errc::not_a_directory) {
        HandleError(ui, "Main", "LoadFilestoList", ec.value(), ec.message());
        return false;
    }
    if (!ec) {
        for (; it != fs::directory_iterator(); it.increment(ec)) {
            if (ec) break;
            std::error_code typeEc;
            if (!it->is_regular_file(typeEc)) continue;
            const std::string file = it->path().filename().string();
            // Only names that end in the extension match, as the folder pattern "*.def" does.
            if (!EndsWithNoCase(file, lowerExtension)) continue;
            const size_t cut = text::Lower(file).find(lowerExtension);
            found.push_back({file.substr(0, cut), file});
        }
        if (ec) {
            // A listing that breaks off midway keeps the names read so far.
            HandleError(ui, "Main", "LoadFilestoList", ec.value(), ec.message());
            brokeOff = true;
        }
    }
    if (found.empty()) {
        if (!brokeOff) ui.MsgBox("No files.. uh.. ", MsgIcon::None, MsgButtons::Ok);
        return false;
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return LessNoCase(a.file, b.file); });
    for (auto& f : found) {
        list.Names.push_back(std::move(f.name));
        list.Files.push_back(JoinPath(folder, f.file));
    }
    ++list.Revision;
    return true;
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

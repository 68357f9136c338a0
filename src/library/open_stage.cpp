#include "library/open_stage.h"

#include <algorithm>

#include "platform/paths.h"
#include "platform/text_util.h"
#include "stage/stage_loader.h"

namespace qb {

namespace {

bool HasExtension(const std::string& path, std::string_view lowerExtension) {
    const std::string name = FileNameOf(path);
    if (name.size() <= lowerExtension.size()) return false;
    return text::Lower(name.substr(name.size() - lowerExtension.size())) == lowerExtension;
}

}  // namespace

// The extension decides, not the first ".def" or ".zip" anywhere in the text: a folder named
// "my.default" or "old.zips" must not turn a path into a different file.
bool IsPackagePath(const std::string& path) {
    return HasExtension(path, ".zip");
}

OpenPath ClassifyDialogAnswer(const std::string& answer) {
    const std::string path(text::Trim(answer));
    if (path.empty()) return {};
    if (IsPackagePath(path)) return {OpenTarget::Package, path};
    return {OpenTarget::Definition, path};
}

OpenPath ClassifyDroppedFiles(const std::vector<std::string>& paths) {
    OpenPath chosen;
    for (const auto& raw : paths) {
        const std::string path(text::Trim(raw));
        if (HasExtension(path, ".def")) {
            chosen = {OpenTarget::Definition, path};
        } else if (IsPackagePath(path)) {
            chosen = {OpenTarget::Package, path};
        }
    }
    return chosen;
}

std::string StageRefusalMessage(const std::string& path) {
    if (!FileExists(path)) {
        if (!path.empty() && DirExists(path)) return "Not a stage!\r\n" + path + "\r\nIt is a folder, not a file.";
        return "Can't find file: \r\n" + path;
    }
    // FileExists opened it: an unreadable file is reported as not found.
    if (IsStage(path)) return {};
    return "Not a stage!\r\n" + path + "\r\nThe file has no [Camera] section, so it is not a stage definition.";
}

void AddRecentFile(std::vector<std::string>& recent, const std::string& entry) {
    auto found = std::find(recent.begin(), recent.end(), entry);
    if (found != recent.end()) {
        std::rotate(recent.begin(), found, found + 1);
        return;
    }
    const size_t before = recent.size();
    recent.insert(recent.begin(), entry);
    // Full lists (six, or more when a hand-edited file gave more) lose their oldest entry.
    if (before >= kMaxRecentFiles) recent.pop_back();
}

void PromoteRecentFile(std::vector<std::string>& recent, std::size_t index) {
    if (index >= recent.size()) return;
    std::rotate(recent.begin(), recent.begin() + static_cast<std::ptrdiff_t>(index),
                recent.begin() + static_cast<std::ptrdiff_t>(index) + 1);
}

std::string StageDialogStartFolder(const std::string& mugeDir) {
    const std::string stages = ResolvePath(JoinPath(mugeDir, "stages/"));
    if (!mugeDir.empty() && DirExists(stages)) return stages;
    return mugeDir;
}

}  // namespace qb

#include "session/recent_files.h"

#include <algorithm>

#include "platform/paths.h"
#include "session/session_state.h"

namespace qb {

size_t PruneRecentFiles(std::vector<std::string>& recent) {
    const size_t before = recent.size();
    std::erase_if(recent, [](const std::string& path) { return path.empty() || !FileExists(path); });
    return before - recent.size();
}

bool DropVanishedRecentFile(SessionState& state, int index) {
    auto& recent = state.Menus.RecentFiles;
    if (index < 0 || static_cast<size_t>(index) >= recent.size()) return false;
    const std::string path = recent[static_cast<size_t>(index)];
    if (FileExists(path)) return false;
    recent.erase(recent.begin() + index);
    Box(state, "Can't find file: \r\n" + path + "\r\nIt was taken off the recent files.", MsgIcon::Exclamation);
    return true;
}

std::string NotOpenableText(const std::string& path) {
    return "Not a stage!\r\n" + path + "\r\nOnly a stage definition (.def) or a stage package (.zip) opens here.";
}

}  // namespace qb

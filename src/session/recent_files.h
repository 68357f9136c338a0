#pragma once
// Files the user hands over that cannot be opened. The recent-file items keep only what can still be
// opened: a stage or package moved or deleted since it was opened is taken off the list (at start, and
// when its item is chosen).
#include <string>
#include <vector>

namespace qb {

struct SessionState;

// Removes the entries whose file no longer exists; answers how many went.
size_t PruneRecentFiles(std::vector<std::string>& recent);

// Recent-file item `index` was chosen: when its file is gone the entry is removed and the user told
// (true: the click needs nothing more).
bool DropVanishedRecentFile(SessionState& state, int index);

// A dropped file that is neither a stage definition nor a package: the box's text.
std::string NotOpenableText(const std::string& path);

}  // namespace qb

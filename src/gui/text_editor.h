#pragma once
// Starting a text editor on Linux: the user's $VISUAL, then $EDITOR (graphical ones: a terminal
// editor started without a terminal would wait unseen), then the desktop's default for text files.
#include <string>

namespace qb::gui {

// Opens `path` (empty: the editor without a file), at `line` where the editor takes one (the
// desktop's default does not). False when nothing could be started; `tried` then says, one per
// line, what was tried and why each did not start.
bool StartTextEditor(const std::string& path, std::string& tried, int line = 0);

}  // namespace qb::gui

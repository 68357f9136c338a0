#pragma once
// clsDialog: the one file-dialog object of the main window (cdl). It remembers the last path chosen
// so that a dialog asked for without a start folder opens where the previous one left off. The
// dialogs themselves are the front end's, reached through the Ui port. It stands with the other
// platform stand-ins because opening stages and the first-run prompt both need it.
#include <cstdint>
#include <string>

#include "platform/ports.h"

namespace qb {

// The platform's dialog flags kept by callers: 2048 path must exist, 4096 file must exist.
inline constexpr int32_t kOfnPathMustExist = 2048;
inline constexpr int32_t kOfnFileMustExist = 4096;

class clsDialog {
public:
    // Shows the open dialog. `filter` is "description|patterns|description|patterns..." with
    // patterns separated by ';'. An empty `initDir` starts in the folder of FileName(). Answers the
    // chosen path without surrounding blanks, or empty on cancel (FileName() then stays).
    std::string ShowOpen(Ui& ui, const std::string& title, const std::string& initDir,
                         const std::string& filter, int32_t flags);
    // The same for the save dialog; `defExt` is the default extension (without a point).
    std::string ShowSave(Ui& ui, const std::string& title, const std::string& initDir,
                         const std::string& filter, const std::string& defExt, int32_t flags);

    const std::string& FileName() const { return m_fileName; }
    void FileName(const std::string& szFileName) { m_fileName = szFileName; }

    // Builds the request the Ui port receives (exposed for the callers' tests).
    FileDialogRequest BuildRequest(const std::string& title, const std::string& initDir,
                                   const std::string& filter, int32_t flags) const;

private:
    std::string m_fileName;
};

// Splits "a|*.x|b|*.y" into (description, patterns) pairs. A trailing description without
// patterns is dropped.
std::vector<std::pair<std::string, std::string>> SplitDialogFilter(const std::string& filter);

// Shows the folder browser (opening at `startDir` when one is given); answers the folder without a
// trailing separator, or empty on cancel.
std::string BrowseForFolder(Ui& ui, const std::string& prompt, const std::string& startDir = {});

}  // namespace qb

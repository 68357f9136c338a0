#include "platform/file_dialog.h"

#include "platform/paths.h"
#include "platform/text_util.h"

namespace qb {

std::vector<std::pair<std::string, std::string>> SplitDialogFilter(const std::string& filter) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= filter.size()) {
        size_t bar = filter.find('|', start);
        if (bar == std::string::npos) bar = filter.size();
        parts.push_back(filter.substr(start, bar - start));
        start = bar + 1;
    }
    // A filter ending in "|" leaves an empty last part, as the platform's double NUL would.
    if (!parts.empty() && parts.back().empty()) parts.pop_back();
    std::vector<std::pair<std::string, std::string>> pairs;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) pairs.emplace_back(parts[i], parts[i + 1]);
    return pairs;
}

FileDialogRequest clsDialog::BuildRequest(const std::string& title, const std::string& initDir,
                                          const std::string& filter, int32_t flags) const {
    FileDialogRequest request;
    request.title = title;
    request.filters = SplitDialogFilter(filter);
    // Without a start folder the dialog opens where the previous choice was made.
    request.initialDir = initDir.empty() ? GetPath(m_fileName) : initDir;
    request.pathMustExist = (flags & kOfnPathMustExist) != 0;
    request.fileMustExist = (flags & kOfnFileMustExist) != 0;
    return request;
}

std::string clsDialog::ShowOpen(Ui& ui, const std::string& title, const std::string& initDir,
                                const std::string& filter, int32_t flags) {
    const std::string answer(text::Trim(ui.ShowOpen(BuildRequest(title, initDir, filter, flags))));
    if (!answer.empty()) m_fileName = answer;
    return answer;
}

std::string clsDialog::ShowSave(Ui& ui, const std::string& title, const std::string& initDir,
                                const std::string& filter, const std::string& defExt, int32_t flags) {
    const FileDialogRequest request = BuildRequest(title, initDir, filter, flags);
    std::string answer(text::Trim(ui.ShowSave(request)));
    if (!answer.empty() && !defExt.empty() && FileNameOf(answer).find('.') == std::string::npos) {
        answer += "." + defExt;  // the default extension completes a name typed without one
    }
    if (!answer.empty()) m_fileName = answer;
    return answer;
}

std::string BrowseForFolder(Ui& ui, const std::string& prompt, const std::string& startDir) {
    std::string folder = startDir.empty() ? ui.BrowseForFolder(prompt) : ui.BrowseForFolderFrom(prompt, startDir);
    // The folder comes back without a trailing separator (the root stays "/").
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
    return folder;
}

}  // namespace qb

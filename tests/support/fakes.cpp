#include "tests/support/fakes.h"

#include <filesystem>

namespace qb::test {

namespace {
MsgAnswer FirstButton(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
        case MsgButtons::OkCancel:
            return MsgAnswer::Ok;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoCancel:
        case MsgButtons::WriteDiscardCancel:
        case MsgButtons::MineTheirsCancel:
            return MsgAnswer::Yes;
        case MsgButtons::YesNoDefaultNo:
            return MsgAnswer::No;
    }
    return MsgAnswer::Ok;
}

std::string Take(std::deque<std::string>& script) {
    if (script.empty()) return {};
    std::string answer = script.front();
    script.pop_front();
    return answer;
}
}  // namespace

MsgAnswer FakeUi::MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons, const std::string& title) {
    boxes.push_back({text, icon, buttons, title});
    if (onBox) onBox();
    if (boxAnswers.empty()) return FirstButton(buttons);
    MsgAnswer answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
}

bool FakeUi::MoveToTrash(const std::string& path, std::string& error) {
    if (!trashWorks) {
        error = "the trash is full";
        return false;
    }
    std::error_code ec;
    std::filesystem::remove(path, ec);
    trashed.push_back(path);
    return true;
}

std::string FakeUi::ShowOpen(const FileDialogRequest& request) {
    openRequests.push_back(request);
    return Take(openAnswers);
}

std::string FakeUi::ShowSave(const FileDialogRequest& request) {
    saveRequests.push_back(request);
    return Take(saveAnswers);
}

std::string FakeUi::BrowseForFolder(const std::string& prompt) {
    folderPrompts.push_back(prompt);
    return Take(folderAnswers);
}

std::string FakeUi::InputBox(const std::string& prompt, const std::string&, const std::string& defaultText,
                             bool* cancelled) {
    inputPrompts.push_back(prompt);
    inputDefaults.push_back(defaultText);
    if (cancelled) *cancelled = inputAnswers.empty();
    return Take(inputAnswers);
}

int FakeUi::ChooseItem(const std::string& prompt, const std::vector<std::string>& items, int preselected,
                       const std::string&) {
    choices.push_back({prompt, items, preselected});
    if (chooseAnswers.empty()) return preselected;
    const int answer = chooseAnswers.front();
    chooseAnswers.pop_front();
    return answer;
}

}  // namespace qb::test

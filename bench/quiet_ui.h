#pragma once
// A Ui that answers every box with OK, every dialog with nothing and every choice with its default, for benchmarks that load stages.
#include <string>
#include <vector>

#include "platform/ports.h"

namespace qb::bench {

class QuietUi : public qb::Ui {
public:
    qb::MsgAnswer MsgBox(const std::string&, qb::MsgIcon, qb::MsgButtons, const std::string&) override {
        return qb::MsgAnswer::Ok;
    }
    std::string ShowOpen(const qb::FileDialogRequest&) override { return {}; }
    std::string ShowSave(const qb::FileDialogRequest&) override { return {}; }
    std::string BrowseForFolder(const std::string&) override { return {}; }
    std::string InputBox(const std::string&, const std::string&, const std::string&, bool*) override {
        return {};
    }
    int ChooseItem(const std::string&, const std::vector<std::string>&, int preselected,
                   const std::string&) override {
        return preselected;
    }
    void SetCaption(const std::string&) override {}
    void DoEvents() override {}
    bool OpenInTextEditor(const std::string&) override { return false; }
};

}  // namespace qb::bench

#pragma once
// Drives the real main window under the offscreen platform: a temporary program folder and MUGEN
// directory, scripted dialogs, and a step runner that keeps working while the run loop runs (the
// loop services the window's messages, so the runner's timer fires inside it).
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "gui/frm_stage.h"
#include "gui/quillback_app.h"
#include "tests/support/temp_dir.h"

namespace qb::test {

// The one QApplication of the test process.
QApplication& GuiApp();

struct RecordedMsg {
    std::string text;
    MsgIcon icon;
    MsgButtons buttons;
    std::string title;
};

class GuiHarness {
public:
    // Lays out a MUGEN directory with two stages ("quillback" and "second", each with its own
    // sprite file) and a configuration pointing at it with the list shown.
    explicit GuiHarness(const std::string& extraConfig = {});
    ~GuiHarness();

    std::string MugeDir() const { return (mugen.Path()).string() + "/"; }
    std::string StagePath(const std::string& name) const;
    std::string ConfigText() const;

    // Starts the program (argument: optional stage to open, as from the command line).
    bool Start(const std::string& argument = {});

    // Step runner: each step waits until `ready` answers true, then runs `act`. Run() pumps events
    // until every step ran and the program has shut down, or the time is up (then it fails the test
    // and closes the window).
    void Then(std::function<bool()> ready, std::function<void()> act, std::string what = {});
    void Do(std::function<void()> act, std::string what = {}) {
        Then([] { return true; }, std::move(act), std::move(what));
    }
    // Waits for a stage to run (the run loop has drawn `frames` more frames).
    void WaitRunning(const std::string& stageFile, int frames = 3);
    // Closes the window at the end of the script (through the menu's Exit item).
    void ThenExit();
    void Run(int timeoutMs = 20000);

    AppState& State() { return program->State(); }
    gui::FrmStage& Window() { return program->Window(); }
    void Trigger(const std::string& item);

    TempDir programDir;
    TempDir mugen;
    std::unique_ptr<gui::QuillbackApp> program;
    // Scripted dialogs: the answers and what was asked.
    std::deque<MsgAnswer> boxAnswers;
    std::vector<RecordedMsg> boxes;
    std::deque<std::string> openAnswers;
    std::vector<FileDialogRequest> openRequests;
    std::deque<std::string> inputAnswers;
    std::vector<std::string> editorOpened;
    std::vector<std::string> desktopOpened;

private:
    struct Step {
        std::function<bool()> ready;
        std::function<void()> act;
        std::string what;
    };
    void Tick();

    std::deque<Step> m_steps;
    QTimer m_runner;
    QElapsedTimer m_clock;
    int m_timeoutMs = 0;
    bool m_timedOut = false;
    int m_done = 0;
};

}  // namespace qb::test

#include "tests/gui/gui_harness.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QThread>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace qb::test {

namespace fs = std::filesystem;

namespace {
// The application must go before Qt's own global objects are destroyed at exit, so the test
// environment's tear-down ends it rather than a static destructor.
std::unique_ptr<QApplication>& AppSlot() {
    static std::unique_ptr<QApplication> app;
    return app;
}

class QtEnvironment : public ::testing::Environment {
public:
    void TearDown() override { AppSlot().reset(); }
};

// gtest owns registered environments.
[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(std::make_unique<QtEnvironment>().release());
}  // namespace

QApplication& GuiApp() {
    static int argc = 1;
    static char name[] = "gui_tests";
    static char* argv[] = {name, nullptr};
    auto& app = AppSlot();
    if (!app) {
        app = std::make_unique<QApplication>(argc, argv);
        QFont font = QApplication::font();
        font.setFamilies({font.family(), QStringLiteral("WenQuanYi Zen Hei")});
        QApplication::setFont(font);
    }
    return *app;
}

namespace {
std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}
}  // namespace

GuiHarness::GuiHarness(const std::string& extraConfig) {
    GuiApp();
    const fs::path demo = fs::path(QB_DEMO_DIR) / "stages";
    const std::string def = ReadAll(demo / "quillback.def");
    const std::string sff = ReadAll(demo / "quillback.sff");
    mugen.Write("stages/quillback.def", def);
    mugen.Write("stages/quillback.sff", sff);
    // A second stage with its own sprite file, so deleting it may take the sprite file too.
    mugen.Write("stages/second.def",
                Replace(Replace(def, "quillback.sff", "second.sff"), "Quillback Demo", "Second"));
    mugen.Write("stages/second.sff", sff);
    programDir.Write("QB.cfg", "Version = .67A\r\nMugeDir = " + MugeDir() +
                                   "\r\nStageList = 255\r\nIntro = False\r\nLanguage = zh\r\n" + extraConfig);

    m_runner.setInterval(5);
    QObject::connect(&m_runner, &QTimer::timeout, [this] { Tick(); });
}

GuiHarness::~GuiHarness() {
    program.reset();
}

std::string GuiHarness::StagePath(const std::string& name) const {
    return (mugen.Path() / "stages" / (name + ".def")).string();
}

std::string GuiHarness::ConfigText() const {
    return programDir.Read("QB.cfg");
}

bool GuiHarness::Start(const std::string& argument) {
    program = std::make_unique<gui::QuillbackApp>();
    gui::StartOptions options;
    options.programDir = programDir.Path().string();
    options.argument = argument;
    options.script.msgBox = [this](const std::string& text, MsgIcon icon, MsgButtons buttons,
                                   const std::string& title) {
        boxes.push_back({text, icon, buttons, title});
        if (!boxAnswers.empty()) {
            MsgAnswer answer = boxAnswers.front();
            boxAnswers.pop_front();
            return answer;
        }
        // Unwritten editor changes are discarded: a test's edits never reach its stage files unasked.
        if (buttons == MsgButtons::WriteDiscardCancel) return MsgAnswer::No;
        return buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel ? MsgAnswer::No
                                                                                  : MsgAnswer::Ok;
    };
    options.script.showOpen = [this](const FileDialogRequest& request) {
        openRequests.push_back(request);
        if (openAnswers.empty()) return std::string();
        std::string answer = openAnswers.front();
        openAnswers.pop_front();
        return answer;
    };
    options.script.showSave = [](const FileDialogRequest&) { return std::string(); };
    options.script.browseForFolder = [this](const std::string&) { return mugen.Path().string(); };
    options.script.inputBox = [this](const std::string&, const std::string&, const std::string& defaultText,
                                     bool* cancelled) {
        if (cancelled != nullptr) *cancelled = false;
        if (inputAnswers.empty()) return defaultText;
        std::string answer = inputAnswers.front();
        inputAnswers.pop_front();
        return answer;
    };
    options.script.openWithDesktop = [this](const std::string& path) {
        desktopOpened.push_back(path);
        return true;
    };
    options.script.openInTextEditor = [this](const std::string& path) {
        editorOpened.push_back(path);
        return true;
    };
    return program->Start(options);
}

void GuiHarness::Then(std::function<bool()> ready, std::function<void()> act, std::string what) {
    m_steps.push_back({std::move(ready), std::move(act), std::move(what)});
}

void GuiHarness::WaitRunning(const std::string& stageFile, int frames) {
    auto start = std::make_shared<int>(-1);
    Then(
        [this, stageFile, frames, start] {
            if (!State().Loop.InRunLoop || State().bRunning != 1 || State().StageFile != stageFile) return false;
            const int presents = Window().ActiveView()->PresentCount();
            if (*start < 0) *start = presents;
            return presents - *start >= frames;
        },
        [] {}, "stage running: " + stageFile);
}

void GuiHarness::ThenExit() {
    Do([this] { Trigger("mnuExit"); }, "exit");
}

void GuiHarness::Trigger(const std::string& item) {
    QAction* action = Window().MenuAction(item);
    ASSERT_NE(action, nullptr) << item;
    action->trigger();
}

void GuiHarness::Tick() {
    if (m_clock.elapsed() > m_timeoutMs) {
        if (!m_timedOut) {
            m_timedOut = true;
            ADD_FAILURE() << "timed out waiting for: "
                          << (m_steps.empty() ? "shutdown" : m_steps.front().what) << " (StageFile "
                          << State().StageFile << ", bRunning " << int(State().bRunning) << ", InRunLoop "
                          << State().Loop.InRunLoop << ", steps done " << m_done << ")";
            m_steps.clear();
            Window().close();
        }
        return;
    }
    // Several steps may be ready at once; each act may run a nested loop, so take one at a time.
    if (m_steps.empty() || !m_steps.front().ready()) return;
    Step step = std::move(m_steps.front());
    m_steps.pop_front();
    step.act();
    ++m_done;
}

void GuiHarness::Run(int timeoutMs) {
    m_timeoutMs = timeoutMs;
    m_clock.start();
    m_runner.start();
    while (!program->Finished() && m_clock.elapsed() < timeoutMs + 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    m_runner.stop();
    EXPECT_TRUE(program->Finished()) << "the program did not shut down";
    EXPECT_TRUE(m_steps.empty()) << m_steps.size() << " steps left, next: " << m_steps.front().what;
}

}  // namespace qb::test

#pragma once
// Scriptable stand-ins for the core's ports: they record calls and answer from scripts.
#include <array>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/key_latch.h"
#include "platform/ports.h"

namespace qb::test {

struct RecordedBox {
    std::string text;
    MsgIcon icon;
    MsgButtons buttons;
    std::string title;
};

class FakeUi : public Ui {
public:
    MsgAnswer MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                     const std::string& title = {}) override;
    std::string ShowOpen(const FileDialogRequest& request) override;
    std::string ShowSave(const FileDialogRequest& request) override;
    std::string BrowseForFolder(const std::string& prompt) override;
    std::string BrowseForFolderFrom(const std::string& prompt, const std::string& startDir) override {
        folderStarts.push_back(startDir);
        return BrowseForFolder(prompt);
    }
    std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText,
                         bool* cancelled = nullptr) override;
    // Answers from chooseAnswers (an index, -1 for Cancel), the preselected item when it is empty.
    int ChooseItem(const std::string& prompt, const std::vector<std::string>& items, int preselected,
                   const std::string& title = {}) override;
    void SetCaption(const std::string& caption) override { captions.push_back(caption); }
    void DoEvents() override {
        ++doEventsCalls;
        if (onDoEvents) onDoEvents();
    }
    bool WaitForEvents(int64_t micros) override {
        eventWaits.push_back(micros);
        return onWaitForEvents && onWaitForEvents(micros);
    }
    std::string TextEditorTried() const override { return editorTried; }
    bool OpenInTextEditor(const std::string& path) override {
        editorOpened.push_back(path);
        return editorWorks;
    }
    bool OpenInTextEditorAt(const std::string& path, int line) override {
        editorLines.push_back(line);
        return OpenInTextEditor(path);
    }
    bool OpenWithDesktop(const std::string& path) override {
        desktopOpened.push_back(path);
        return editorWorks;
    }
    // Removes the file, as a move to a trash elsewhere does, and records it.
    bool MoveToTrash(const std::string& path, std::string& error) override;
    std::pair<int, int> ScreenSize() override { return screenSize; }
    std::pair<int, int> WindowPos() override { return windowPos; }
    void MoveWindow(int left, int top) override { windowPos = {left, top}; moves.emplace_back(left, top); }
    int StageListWidth() override { return stageListWidth; }
    void SetFullScreen(bool on) override { fullScreenCalls.push_back(on); }
    void ShowErrorLog(bool visible) override { errorLogVisible = visible; }
    void ShowMusicChooser() override { ++musicChooserShown; }
    void Quit() override { ++quitCalls; }

    // Scripts: answers are taken from the front; when a script is empty the default applies
    // (first button for boxes, empty text for dialogs).
    std::deque<MsgAnswer> boxAnswers;
    std::deque<std::string> openAnswers, saveAnswers, folderAnswers, inputAnswers;
    std::vector<std::string> inputDefaults;  // the text each input box offered
    std::deque<int> chooseAnswers;
    bool editorWorks = true;
    std::string editorTried;  // what a failed OpenInTextEditor says it tried
    std::vector<int> editorLines;  // the line of each OpenInTextEditorAt
    bool trashWorks = true;
    std::vector<std::string> trashed;
    // Runs inside DoEvents, as a window message serviced in the middle of a frame would.
    std::function<void()> onDoEvents;
    // Answers every WaitForEvents (after recording it); empty: a front end that cannot wait.
    std::function<bool(int64_t micros)> onWaitForEvents;
    // Runs while a box is up (after it was recorded), to look at the state it was shown in.
    std::function<void()> onBox;

    // Records.
    std::vector<RecordedBox> boxes;
    std::vector<FileDialogRequest> openRequests, saveRequests;
    struct Choice {
        std::string prompt;
        std::vector<std::string> items;
        int preselected;
    };
    std::vector<Choice> choices;
    std::vector<std::string> folderPrompts, inputPrompts, captions, editorOpened, desktopOpened;
    // Start folders of the folder browsers (empty: none given).
    std::vector<std::string> folderStarts;
    int doEventsCalls = 0;
    std::vector<int64_t> eventWaits;  // every WaitForEvents request, in order
    int musicChooserShown = 0;

    // Window geometry: answers and records.
    std::pair<int, int> screenSize{1920, 1080};
    std::pair<int, int> windowPos{0, 0};
    int stageListWidth = 120;
    std::vector<std::pair<int, int>> moves;
    std::vector<bool> fullScreenCalls;
    bool errorLogVisible = false;
    int quitCalls = 0;
};

class FakeKeys : public Keys {
public:
    bool IsDown(Key key) override { return latch.IsDown(key); }
    bool Pressed(Key key) override { return latch.Pressed(key); }
    int PressCount(Key key) override { return latch.PressCount(key); }
    std::pair<int, int> PointerPos() override { return pointer; }
    int WheelSteps() override { return std::exchange(wheel, 0); }

    void Hold(Key key, bool on = true) {
        if (on)
            latch.Down(key);
        else
            latch.Up(key);
    }
    // A press shorter than a frame: down and up before the next read (a held key stays held).
    void Tap(Key key) {
        const bool held = latch.IsDown(key);
        latch.Up(key);
        latch.Down(key);
        if (!held) latch.Up(key);
    }
    // Forgets held keys and unread presses: a fresh start between the parts of a test.
    void ReleaseAll() { latch.Clear(); }

    KeyLatch latch;
    std::pair<int, int> pointer{160, 120};
    int wheel = 0;  // notches turned since the last read
};

// A clock that moves only when told (or when something sleeps on it).
class FakeClock : public Clock {
public:
    uint32_t TickCount() override { return static_cast<uint32_t>(nowCounts / (kFrequency / 1000)); }
    int64_t Counter() override { return nowCounts += counterStep; }
    int64_t Frequency() override { return kFrequency; }
    void SleepMs(int ms) override { nowCounts += int64_t(ms) * (kFrequency / 1000); sleptMs += ms; }
    void SleepCounts(int64_t counts) override {
        sleeps.push_back(counts);
        if (counts > 0) nowCounts += counts + oversleep;
    }
    void AdvanceMs(double ms) { nowCounts += static_cast<int64_t>(ms * (kFrequency / 1000)); }

    static constexpr int64_t kFrequency = 1'000'000;
    int64_t nowCounts = 0;
    int64_t counterStep = 0;  // counts added on every Counter() read
    int64_t oversleep = 0;    // counts every SleepCounts wakes late by, as a busy scheduler does
    int sleptMs = 0;
    std::vector<int64_t> sleeps;  // every SleepCounts request, in order
};

// Timers that only record whether the core keeps them running; tests call the tick handlers.
class FakeTimers : public Timers {
public:
    void Start(TimerId id, int intervalMs) override {
        active[Index(id)] = true;
        intervals[Index(id)] = intervalMs;
    }
    void Stop(TimerId id) override { active[Index(id)] = false; }
    bool Active(TimerId id) const override { return active[Index(id)]; }

    static size_t Index(TimerId id) { return static_cast<size_t>(id); }
    std::array<bool, static_cast<size_t>(TimerId::Count)> active{};
    std::array<int, static_cast<size_t>(TimerId::Count)> intervals{};
};

class FakeMedia : public MediaBackend {
public:
    bool Open(const std::string& path) override { calls.push_back("open " + path); opened = path; return openWorks; }
    void Close() override { calls.push_back("close"); opened.clear(); }
    bool Play() override { calls.push_back("play"); playing = true; return true; }
    void Pause() override { calls.push_back("pause"); playing = false; }
    void Stop() override { calls.push_back("stop"); playing = false; }
    double Position() override { return position; }
    void SetPosition(double s) override { calls.push_back("seek"); position = s; }
    double Duration() override { return duration; }
    void SetVolume(int32_t v) override { calls.push_back("volume " + std::to_string(v)); volume = v; }
    int32_t Volume() override { return volume; }
    void SetBalance(int32_t b) override { balance = b; }
    void SetRate(double r) override { rate = r; }
    int SampleRate() override { return sampleRate; }

    bool openWorks = true;
    int sampleRate = 0;
    std::string opened;
    bool playing = false;
    double position = 0, duration = 0, rate = 1;
    int32_t volume = 0, balance = 0;
    std::vector<std::string> calls;
};

}  // namespace qb::test

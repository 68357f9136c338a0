#pragma once
// The small interfaces through which the core reaches the outside world. The Qt front end,
// the headless tool and the tests each supply their own implementations.
#include "platform/picture32.h"
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct BITMAP;

namespace qb {

enum class MsgIcon { None, Exclamation, Critical, Question, Information };
// YesNoDefaultNo: a destructive question whose default button (Enter) is No. WriteDiscardCancel:
// the question before unsaved work is dropped; Write answers Yes, Discard No. MineTheirsCancel: a
// line both the user and another program changed; Write mine answers Yes, Keep theirs No.
enum class MsgButtons {
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
    YesNoDefaultNo,
    WriteDiscardCancel,
    MineTheirsCancel
};
enum class MsgAnswer { Ok, Cancel, Yes, No };

// One file-dialog request (open or save).
struct FileDialogRequest {
    std::string title;
    // Pairs of (description, patterns), patterns separated by ';' as in "*.def;*.zip".
    std::vector<std::pair<std::string, std::string>> filters;
    std::string initialDir;
    std::string fileName;
    bool fileMustExist = false;
    bool pathMustExist = false;
};

class Ui {
public:
    virtual ~Ui() = default;
    // An empty title means the application title.
    virtual MsgAnswer MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                             const std::string& title = {}) = 0;
    // Returns the chosen path, or empty on cancel.
    virtual std::string ShowOpen(const FileDialogRequest& request) = 0;
    virtual std::string ShowSave(const FileDialogRequest& request) = 0;
    // Returns the chosen folder without a trailing separator, or empty.
    virtual std::string BrowseForFolder(const std::string& prompt) = 0;
    // The same, opening at `startDir` (a folder the user already chose) when the front end can.
    virtual std::string BrowseForFolderFrom(const std::string& prompt, const std::string& startDir) {
        (void)startDir;
        return BrowseForFolder(prompt);
    }
    // Returns the typed text; `cancelled` is set when the user cancelled.
    virtual std::string InputBox(const std::string& prompt, const std::string& title,
                                 const std::string& defaultText, bool* cancelled = nullptr) = 0;
    // Asks for one of `items` (text from content, shown in this order, `preselected` highlighted and
    // taken by Enter). Returns the chosen index, or -1 when the user cancelled.
    virtual int ChooseItem(const std::string& prompt, const std::vector<std::string>& items, int preselected,
                           const std::string& title = {}) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    // Services pending window messages (only when some are waiting).
    virtual void DoEvents() = 0;
    // Services window messages as they come for up to `micros` microseconds: sleeps until one
    // arrives, handles what is then pending and returns, or returns when the time is up. False when
    // this front end cannot wait for messages (nothing was done): the caller sleeps on its clock and
    // calls DoEvents itself.
    virtual bool WaitForEvents(int64_t micros) {
        (void)micros;
        return false;
    }
    // Opens a file in the desktop's text editor (an empty path starts the editor without a file);
    // false when that failed.
    virtual bool OpenInTextEditor(const std::string& path) = 0;
    // The same at a line of the file (1-based), where the editor can be told one.
    virtual bool OpenInTextEditorAt(const std::string& path, int line) {
        (void)line;
        return OpenInTextEditor(path);
    }
    // After OpenInTextEditor failed: what it tried, one line each (empty when it cannot say).
    virtual std::string TextEditorTried() const { return {}; }
    // Opens a file or folder with what the desktop uses for it (a folder: the file manager); false
    // when that failed or there is no desktop.
    virtual bool OpenWithDesktop(const std::string& path) {
        (void)path;
        return false;
    }
    // Moves a file to the desktop's trash (platform/trash.h), checked to have arrived there; false
    // (with a reason in `error`) when that failed. The body refuses: a front end without a trash
    // never destroys the user's files.
    virtual bool MoveToTrash(const std::string& path, std::string& error) {
        (void)path;
        error = "there is no trash to move it to";
        return false;
    }

    // ---- Main-window geometry and tool windows. All sizes and positions are in pixels. The core
    // decides the window's layout (app/window_rules.h) from these answers; the front end applies it.
    // The bodies let front ends without a window (the headless tool, simple fakes) ignore them.

    // Available size of the screen the main window is on (without panels and docks); {0, 0} when
    // unknown (the window is then not moved).
    virtual std::pair<int, int> ScreenSize() { return {0, 0}; }
    // Top-left corner of the main window's frame on the screen.
    virtual std::pair<int, int> WindowPos() { return {0, 0}; }
    virtual void MoveWindow(int left, int top) { (void)left; (void)top; }
    // True when a window whose frame's top-left corner is here would be seen on some screen.
    virtual bool PositionVisible(int left, int top) {
        const auto [width, height] = ScreenSize();
        return left >= 0 && top >= 0 && left < width && top < height;
    }
    // Width of the stage list box lstStages (fixed by the front end's font).
    virtual int StageListWidth() { return 0; }
    // On: the view fills the screen at the largest whole-number scale that fits, black around it,
    // the main window hidden. Off: the main window comes back (the core then moves it to where it was).
    virtual void SetFullScreen(bool on) { (void)on; }
    // Shows or hides the error log window frmError (modeless, no owner); its text is the core's log.
    virtual void ShowErrorLog(bool visible) { (void)visible; }
    // Shows the music chooser frmMusic (modeless, above the main window); its fields are the core's.
    virtual void ShowMusicChooser() {}
    // Shows the sprite browser frmSFF, creating it over the stage's sprites when it is not open.
    virtual void ShowSpriteBrowser() {}
    // Shows the background editor frmBG.
    virtual void ShowBgEditor() {}
    // The shutdown has finished: close every window and end the event loop.
    virtual void Quit() {}
};

// A Ui with nobody in front of it (tools, batch runs): each box is passed to Told and answered with
// its first button (Yes or OK), dialogs answer nothing, input boxes keep their default text and
// choices take the preselected item.
class HeadlessUi : public Ui {
public:
    MsgAnswer MsgBox(const std::string& text, MsgIcon, MsgButtons buttons, const std::string&) override {
        Told(text);
        return (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoCancel) ? MsgAnswer::Yes
                                                                                    : MsgAnswer::Ok;
    }
    std::string ShowOpen(const FileDialogRequest&) override { return {}; }
    std::string ShowSave(const FileDialogRequest&) override { return {}; }
    std::string BrowseForFolder(const std::string&) override { return {}; }
    std::string InputBox(const std::string&, const std::string&, const std::string& defaultText,
                         bool* cancelled) override {
        if (cancelled) *cancelled = false;
        return defaultText;
    }
    int ChooseItem(const std::string&, const std::vector<std::string>& items, int preselected,
                   const std::string&) override {
        return preselected >= 0 && static_cast<size_t>(preselected) < items.size() ? preselected : -1;
    }
    void SetCaption(const std::string&) override {}
    void DoEvents() override {}
    bool OpenInTextEditor(const std::string&) override { return false; }

protected:
    virtual void Told(const std::string& text) { (void)text; }
};

// One frame as the sink shows it: the picture the stage drew into, at its own size. 5-6-5 frames
// (the 320 x 240 back buffer) are reused by the next frame at once, so the sink copies what it
// keeps; 32-bit frames stay valid until the next frame is drawn, and when `pixels` is the picture
// presented last only `changed` of it differs from what was shown (it may be empty).
struct FrameImage {
    enum class Format : uint8_t { Rgb565, Rgb32 };
    const void* pixels = nullptr;
    int width = 0, height = 0;
    int pitch = 0;  // pixels from one row's start to the next
    Format format = Format::Rgb565;
    Clip32 changed;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    virtual void Present(const FrameImage& frame) = 0;
    // Copies the intro picture into `target` (may leave it untouched when there is none).
    virtual void GrabIntro(BITMAP* target) { (void)target; }
    // Where 32-bit pictures shown by this sink should keep their pixels: memory the display reads
    // without a copy. Null: the heap.
    virtual std::shared_ptr<PixelMemory> PictureMemory() { return nullptr; }
};

// NumPlus, NumMinus: the numeric pad's plus and minus keys (the element editing keys).
enum class Key {
    Left, Right, Up, Down, Z, A, Pause, Escape, Delete, F8, MouseRight, MouseLeft, NumPlus, NumMinus, Insert,
    Step, SpeedDown, SpeedUp,  // ".", "[" and "]": one frame while paused, slower, faster
    ZoomIn, ZoomOut,           // "+" (or "=") and "-" of the main keyboard
    Count
};

class Keys {
public:
    virtual ~Keys() = default;
    // True while the key is down.
    virtual bool IsDown(Key key) = 0;
    // True when the key is down now or was pressed since the last call of this for that key.
    virtual bool Pressed(Key key) = 0;
    // How many times the key went down since the last call of this or Pressed for that key (keys
    // whose every press is one step: two quick presses between two reads are two steps). Reading
    // it forgets the presses, as Pressed does.
    virtual int PressCount(Key key) { return Pressed(key) ? 1 : 0; }
    // Pointer position in view pixels (0..319, 0..239 at 1x; outside when the pointer is away).
    virtual std::pair<int, int> PointerPos() = 0;
    // Mouse wheel notches over the view since the last call (away from the user positive), then
    // forgotten.
    virtual int WheelSteps() { return 0; }
};

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since some fixed start.
    virtual uint32_t TickCount() = 0;
    // High-resolution counter and its frequency (counts per second).
    virtual int64_t Counter() = 0;
    virtual int64_t Frequency() = 0;
    virtual void SleepMs(int ms) = 0;
    // Sleeps for the given number of counter counts (may return early; never spins).
    virtual void SleepCounts(int64_t counts) = 0;
};

// The main window's one-shot timers: tmrStart (starts the opened stage once the old loop has
// returned), tmrExit (the shutdown) and tmrDrop (opens a dropped or handed-over stage). The core
// starts and stops them itself; the front end calls the matching tick handler of app/startup.h
// every interval while one is active.
enum class TimerId { Start, Exit, Drop, Count };

class Timers {
public:
    virtual ~Timers() = default;
    // Starts the timer (again) with this interval; an active one keeps running with it.
    virtual void Start(TimerId id, int intervalMs) = 0;
    virtual void Stop(TimerId id) = 0;
    virtual bool Active(TimerId id) const = 0;
};

class MediaBackend {
public:
    virtual ~MediaBackend() = default;
    virtual bool Open(const std::string& path) = 0;
    virtual void Close() = 0;
    virtual bool Play() = 0;
    virtual void Pause() = 0;
    virtual void Stop() = 0;
    // Seconds.
    virtual double Position() = 0;
    virtual void SetPosition(double seconds) = 0;
    virtual double Duration() = 0;
    // Hundredths of a decibel: 0 full, -10000 silent.
    virtual void SetVolume(int32_t volume) = 0;
    virtual int32_t Volume() = 0;
    virtual void SetBalance(int32_t balance) = 0;
    virtual void SetRate(double rate) = 0;
    // The rate the open file's sample positions count in (its own samples per second); 0 when no
    // file is open or the rate is not known.
    virtual int SampleRate() { return 0; }
    // Why the last Open or Play failed, for the error log; empty when it did not.
    virtual std::string LastError() const { return {}; }
};

// A media backend that plays nothing: for the headless tool, which never makes a sound.
class SilentMediaBackend : public MediaBackend {
public:
    bool Open(const std::string& path) override { m_path = path; return true; }
    void Close() override { m_path.clear(); }
    bool Play() override { return !m_path.empty(); }
    void Pause() override {}
    void Stop() override {}
    double Position() override { return 0; }
    void SetPosition(double) override {}
    double Duration() override { return 0; }
    void SetVolume(int32_t v) override { m_volume = v; }
    int32_t Volume() override { return m_volume; }
    void SetBalance(int32_t) override {}
    void SetRate(double) override {}

private:
    std::string m_path;
    int32_t m_volume = 0;
};

}  // namespace qb

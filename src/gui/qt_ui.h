#pragma once
// The core's Ui port over Qt's message boxes and dialogs. Every dialog can be replaced by a
// scripted answer, so the window can be driven without anyone at the screen.
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ports.h"

namespace qb::gui {

class FrmStage;

// Answers given instead of the real dialogs; an empty function means "show the real dialog".
struct DialogScript {
    std::function<MsgAnswer(const std::string& text, MsgIcon, MsgButtons, const std::string& title)> msgBox;
    std::function<std::string(const FileDialogRequest&)> showOpen;
    std::function<std::string(const FileDialogRequest&)> showSave;
    std::function<std::string(const std::string& prompt)> browseForFolder;
    std::function<std::string(const std::string& prompt, const std::string& title,
                              const std::string& defaultText, bool* cancelled)>
        inputBox;
    std::function<bool(const std::string& path)> openInTextEditor;
    std::function<bool(const std::string& path)> openWithDesktop;
    std::function<int(const std::string& prompt, const std::vector<std::string>& items, int preselected)>
        chooseItem;
};

// Text from content is bytes: shown as UTF-8 when it is valid UTF-8, else as Windows-1252.
QString FromContentText(const std::string& text);
std::string ToNativeText(const QString& text);
// A box's or prompt's text as shown: the English translation when that language is chosen (whole,
// or by its first line for a text that goes on with a file name), else as given; lines end in "\n".
QString MessageText(const std::string& text);
// A menu caption made at run time ("FPS Limiter (60 fps)", "Use KFM"): translated whole, or by its
// fixed beginning ("FPS Limiter ", "Use "), the rest as it is.
QString MenuCaptionText(const std::string& caption);
// "desc|pattern;pattern" pairs as a Qt name filter list ("desc (*.a *.b)").
QStringList NameFilters(const FileDialogRequest& request);

class QtUi : public Ui {
public:
    QtUi() = default;

    void SetOwner(QWidget* owner) { m_owner = owner; }
    // The application title that boxes without a title of their own carry (kept by the core).
    void SetApplicationTitle(const std::string* title) { m_appTitle = title; }
    // Called with every caption the core sets.
    void SetCaptionSink(std::function<void(const std::string&)> sink) { m_captionSink = std::move(sink); }
    DialogScript& Script() { return m_script; }
    // Where boxes go while this program has no window of its own on screen (a second start's
    // "Already running" box: over the running copy's window, and kept above it).
    void SetBoxAnchor(const QRect& frame) { m_boxAnchor = frame; }

    MsgAnswer MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons,
                     const std::string& title = {}) override;
    std::string ShowOpen(const FileDialogRequest& request) override;
    std::string ShowSave(const FileDialogRequest& request) override;
    std::string BrowseForFolder(const std::string& prompt) override;
    std::string BrowseForFolderFrom(const std::string& prompt, const std::string& startDir) override;
    std::string InputBox(const std::string& prompt, const std::string& title, const std::string& defaultText,
                         bool* cancelled = nullptr) override;
    int ChooseItem(const std::string& prompt, const std::vector<std::string>& items, int preselected,
                   const std::string& title = {}) override;
    void SetCaption(const std::string& caption) override;
    void DoEvents() override;
    bool WaitForEvents(int64_t micros) override;
    bool OpenInTextEditor(const std::string& path) override;
    bool OpenInTextEditorAt(const std::string& path, int line) override;
    std::string TextEditorTried() const override { return m_editorTried; }
    bool OpenWithDesktop(const std::string& path) override;
    bool MoveToTrash(const std::string& path, std::string& error) override;

    // Geometry and windows: applied to the main window given by SetWindow.
    std::pair<int, int> ScreenSize() override;
    std::pair<int, int> WindowPos() override;
    void MoveWindow(int left, int top) override;
    bool PositionVisible(int left, int top) override;
    int StageListWidth() override;
    void SetFullScreen(bool on) override;
    void ShowErrorLog(bool visible) override;
    void ShowMusicChooser() override;
    void ShowSpriteBrowser() override;
    void ShowBgEditor() override;
    void Quit() override;

    void SetWindow(FrmStage* window);

    const std::string& Caption() const { return m_caption; }
    // The window dialogs belong to: the one showing the stage now.
    QWidget* Owner() const;

private:
    std::string RunFileDialog(const FileDialogRequest& request, bool save);
    QString TitleOr(const std::string& title) const;
    std::string AppTitle() const;

    QPointer<QWidget> m_owner;
    QPointer<FrmStage> m_window;
    const std::string* m_appTitle = nullptr;
    std::string m_caption;
    std::function<void(const std::string&)> m_captionSink;
    DialogScript m_script;
    std::string m_editorTried;  // what the last failed OpenInTextEditor tried
    QRect m_boxAnchor;
    std::unique_ptr<QTimer> m_waitTimer;  // ends a WaitForEvents that no message ends
};

// The core's Timers port over three QTimers named as the window's timers (tmrStart, tmrExit,
// tmrDrop). Each timeout calls `tick` with the timer's id; the core's tick handler stops the timer
// once its work is done.
class QtTimers : public Timers {
public:
    QtTimers(QObject* owner, std::function<void(TimerId)> tick);
    void Start(TimerId id, int intervalMs) override;
    void Stop(TimerId id) override;
    bool Active(TimerId id) const override;
    // The QTimer behind "tmrStart", "tmrExit" or "tmrDrop", or null.
    QTimer* Timer(const std::string& name) const;
    void StopAll();

private:
    std::array<QTimer*, static_cast<size_t>(TimerId::Count)> m_timers{};  // owned by `owner`
};

}  // namespace qb::gui

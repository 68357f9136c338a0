#pragma once
// Everything one running program owns on the Qt side: the core's state, the Qt ports and the
// windows. main() makes one; the GUI tests make one per test with a temporary program folder.
#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QRect>
#include <QTimer>
#include <memory>
#include <string>

#include "app/app_state.h"
#include "gui/qt_keys.h"
#include "gui/qt_ui.h"

namespace qb::gui {

class FrmStage;

// The name of the local socket the running copy listens on: one per lock file, so one per
// configuration, and short enough for any platform's socket names.
QString InstanceServerName(const QString& lockPath);
// Hands `stagePath` to the copy listening on `serverName` (which opens it and comes to the front;
// an empty path only brings it to the front); false when no copy answered. `runningFrame`, when
// given, receives the frame of the running copy's window (left invalid when it did not say).
bool SendToRunningInstance(const QString& serverName, const std::string& stagePath,
                           QRect* runningFrame = nullptr);

// Presents each frame in whichever view shows the stage now.
class QtFrameSink : public FrameSink {
public:
    void SetWindow(FrmStage* window) { m_window = window; }
    void Present(const FrameImage& frame) override;
    // The memory the window's views show pictures from (null: the heap).
    std::shared_ptr<PixelMemory> PictureMemory() override;

private:
    FrmStage* m_window = nullptr;
};

// The single-instance lock: beside the configuration it guards.
QString LockFilePath(const AppState& state);

struct StartOptions {
    std::string programDir;  // the executable's folder (tests: a temporary folder)
    std::string argument;    // optional stage .def (or .zip) to open at start, as a drop
    // Replaces the real dialogs (tests); left empty, the real ones are shown.
    DialogScript script;
};

class QuillbackApp : public QObject {
    Q_OBJECT
public:
    QuillbackApp();
    ~QuillbackApp() override;

    // Takes the single-instance lock, runs the start-up, shows the window and opens the argument.
    // Answers false when the program must end at once (another instance runs).
    bool Start(const StartOptions& options);

    AppState& State() { return *m_state; }
    FrmStage& Window() { return *m_window; }
    QtUi& Ui() { return m_ui; }
    QtKeys& Keys() { return m_keys; }
    // True once the core's shutdown has closed the window.
    bool Finished() const { return m_finished; }
    // A stop signal (SIGTERM, SIGHUP, SIGINT): ends the program as Exit does, answering every open
    // modal box or dialog as Cancel (now and while the shutdown is on its way), so that no box left
    // open keeps the program from ending.
    void RequestStop();

signals:
    void Finished_();

private:
    void Listen(const QString& serverName);
    void OpenHandedStage(const std::string& path);
    // The window that shows the stage now (the full-screen one while it is on).
    QWidget* FrontWindow() const;

    std::unique_ptr<AppState> m_state;
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<MediaBackend> m_media;
    QtUi m_ui;
    QtKeys m_keys;
    QtFrameSink m_sink;
    std::unique_ptr<FrmStage> m_window;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;  // stages handed over by later starts
    bool m_finished = false;
    QTimer* m_stopTimer = nullptr;
};

}  // namespace qb::gui

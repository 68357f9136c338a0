#include "gui/quillback_app.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLocale>

#include <filesystem>
#include <system_error>

#include "app/commands.h"
#include "app/config.h"
#include "session/stage_session.h"
#include "app/startup.h"
#include "app/window_rules.h"
#include "gui/frm_stage.h"
#include "gui/x11_picture_memory.h"
#include "platform/sdl_media.h"
#include "platform/system_clock.h"

namespace qb::gui {

QString LockFilePath(const AppState& state) {
    return QDir(QString::fromStdString(state.Dirs.Config)).filePath(QStringLiteral("quillback.lock"));
}

void QtFrameSink::Present(const FrameImage& frame) {
    if (m_window != nullptr) m_window->Present(frame);
}

std::shared_ptr<PixelMemory> QtFrameSink::PictureMemory() {
    return m_window != nullptr ? m_window->PictureMemory() : nullptr;
}

QuillbackApp::QuillbackApp()
    : m_state(std::make_unique<AppState>()),
      m_clock(std::make_unique<SystemClock>()),
      m_media(std::make_unique<SdlMediaBackend>()) {
    m_window = std::make_unique<FrmStage>(*m_state, m_keys);
    m_ui.SetWindow(m_window.get());
    m_ui.SetApplicationTitle(&m_state->AppTitle);
    m_sink.SetWindow(m_window.get());
    m_window->SetPictureMemory(X11PictureMemory::Open());
    // Pointer positions in the pixels of the 320 x 240 frame, wherever the pointer is.
    m_keys.SetPointerSource([this] {
        StageView* view = m_window->ActiveView();
        return view->ToFramePixels(view->mapFromGlobal(QCursor::pos()));
    });
    connect(m_window.get(), &FrmStage::QuitRequested, this, [this] {
        m_finished = true;
        emit Finished_();
    });

    Ports& ports = m_state->ports;
    ports.ui = &m_ui;
    ports.keys = &m_keys;
    ports.clock = m_clock.get();
    ports.media = m_media.get();
    ports.sink = &m_sink;
    ports.timers = &m_window->TimersPort();
}

namespace {

// Answers every open modal box or dialog as its Cancel (a message box's escape answer: No for a
// question). Bounded: a box that will not go is left, and the next tick tries again.
void CancelModalBoxes() {
    for (int i = 0; i < 16; ++i) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        if (QApplication::activeModalWidget() == modal) return;
    }
}

}  // namespace

void QuillbackApp::RequestStop() {
    if (m_finished) return;
    // The close request first: a command waiting on a box then finds the loop told to end. Not
    // through the window's close, whose question about unwritten edits would be one more box.
    if (!m_window->Quitting()) StopRequest(*m_state);
    CancelModalBoxes();
    if (!m_stopTimer) {
        // A command may open another box after the first one went (a refusal, a second question).
        m_stopTimer = new QTimer(this);
        m_stopTimer->setInterval(20);
        connect(m_stopTimer, &QTimer::timeout, this, [this] {
            if (m_finished) {
                m_stopTimer->stop();
                return;
            }
            CancelModalBoxes();
        });
    }
    m_stopTimer->start();
}

QuillbackApp::~QuillbackApp() {
    // The window goes before the state it shows.
    m_window.reset();
}

bool QuillbackApp::Start(const StartOptions& options) {
    m_ui.Script() = options.script;
    m_state->ProgramDir = options.programDir;
    while (m_state->ProgramDir.size() > 1 && m_state->ProgramDir.back() == '/')
        m_state->ProgramDir.pop_back();

    m_state->Dirs = FindDataDirs(m_state->ProgramDir);
    m_state->Window.Developer = qEnvironmentVariableIntValue("QUILLBACK_DEVELOPER") != 0;

    // One running instance per configuration folder: its configuration is read once and written once.
    PrepareDataDir(m_state->Dirs, m_state->Dirs.Config);
    m_lock = std::make_unique<QLockFile>(LockFilePath(*m_state));
    m_lock->setStaleLockTime(0);
    // Only a lock held by a live process means another instance; a folder where no lock can be
    // made (read-only, as an installed program's folder is) must not stop the program.
    const bool alreadyRunning = !m_lock->tryLock(0) && m_lock->error() == QLockFile::LockFailedError;
    const QString serverName = InstanceServerName(m_lock->fileName());
    // A stage given to a second start opens in the running copy; this one ends quietly.
    if (alreadyRunning && !options.argument.empty() && SendToRunningInstance(serverName, options.argument))
        return false;
    // Without one the running copy only comes to the front, and this one says that it runs.
    if (alreadyRunning) {
        QRect runningFrame;
        SendToRunningInstance(serverName, {}, &runningFrame);
        m_ui.SetBoxAnchor(runningFrame);
    }
    // The desktop's language until the configuration gives a saved one; the boxes of the start
    // (the first-run prompt, "Already running..") are shown in it.
    auto env = [](const char* name) { return qEnvironmentVariable(name).toStdString(); };
    SetLanguage(*m_state, DesktopLanguage(env("LC_ALL"), env("LC_MESSAGES"), env("LANG"),
                                          QLocale::system().name().toStdString()));
    // The boxes of the start appear in that language: the translation goes in before them.
    m_window->Refresh();
    if (!FormLoad(*m_state, alreadyRunning)) return false;
    if (!alreadyRunning) Listen(serverName);

    // The first picture of the window shows the settings just read.
    m_window->Refresh();
    m_window->show();
    // The keyboard belongs to the stage view from the start: the arrows steer without a click
    // first, and the menus' keys work (they need an active window, which a desktop without a
    // window manager never makes by itself).
    m_window->raise();
    m_window->activateWindow();
    m_window->ActiveView()->setFocus();
    if (!options.argument.empty()) OpenFromCommandLine(*m_state, options.argument);
    return true;
}

QString InstanceServerName(const QString& lockPath) {
    const QByteArray hash =
        QCryptographicHash::hash(QFileInfo(lockPath).absoluteFilePath().toUtf8(), QCryptographicHash::Sha1);
    return QStringLiteral("quillback-") + QString::fromLatin1(hash.toHex().left(16));
}

bool SendToRunningInstance(const QString& serverName, const std::string& stagePath, QRect* runningFrame) {
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(2000)) return false;
    // The path's bytes as they are (a file name need not be UTF-8), on one line even when a folder's
    // name holds a line break.
    std::string absolute;
    if (!stagePath.empty()) {
        std::error_code ec;
        absolute = std::filesystem::absolute(stagePath, ec).lexically_normal().string();
        if (ec) absolute = stagePath;
    }
    socket.write(QByteArray::fromStdString(EncodeLineValue(absolute)) + '\n');
    const bool sent = socket.waitForBytesWritten(2000);
    // The running copy answers with its window's frame ("left top width height"), so that what this
    // start says appears over it; an older copy just hangs up.
    if (sent && runningFrame != nullptr && (socket.canReadLine() || socket.waitForReadyRead(1000))) {
        const QList<QByteArray> parts = socket.readLine(256).trimmed().split(' ');
        if (parts.size() == 4)
            *runningFrame = QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
    }
    socket.disconnectFromServer();
    return sent;
}

void QuillbackApp::Listen(const QString& serverName) {
    m_server = std::make_unique<QLocalServer>();
    // A socket left by a copy that crashed would refuse the name; the lock says none runs now.
    QLocalServer::removeServer(serverName);
    // Only this user's later starts may hand over a stage.
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(serverName)) {
        m_server.reset();  // later starts then only say that one runs
        return;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            // One line, the stage's absolute path as EncodeLineValue wrote it; a path is a few hundred
            // bytes at most.
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > 64 * 1024) socket->abort();
                    return;
                }
                QByteArray line = socket->readLine();
                if (line.endsWith('\n')) line.chop(1);
                const QRect frame = FrontWindow()->frameGeometry();
                socket->write(QByteArray::number(frame.left()) + ' ' + QByteArray::number(frame.top()) + ' ' +
                              QByteArray::number(frame.width()) + ' ' + QByteArray::number(frame.height()) + '\n');
                socket->disconnectFromServer();
                OpenHandedStage(DecodeLineValue(line.toStdString()));
            });
        }
    });
}

QWidget* QuillbackApp::FrontWindow() const {
    return m_state->bFullScreen == 1 && m_window->FullScreenWindow() != nullptr
               ? static_cast<QWidget*>(m_window->FullScreenWindow())
               : static_cast<QWidget*>(m_window.get());
}

void QuillbackApp::OpenHandedStage(const std::string& path) {
    if (m_finished || m_window->Quitting()) return;
    QWidget* front = FrontWindow();
    front->raise();
    front->activateWindow();
    if (path.empty()) return;
    OpenFromCommandLine(*m_state, path);
}

}  // namespace qb::gui

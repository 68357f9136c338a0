#include "gui/quillback_app.h"

#include <QCursor>
#include <QDir>

#include "app/commands.h"
#include "app/startup.h"
#include "gui/frm_stage.h"
#include "platform/sdl_media.h"
#include "platform/system_clock.h"

namespace qb::gui {

QString LockFilePath(const AppState& state) {
    return QDir(QString::fromStdString(state.Dirs.Config)).filePath(QStringLiteral("quillback.lock"));
}

void QtFrameSink::Present(BITMAP* backBuffer) {
    if (m_window != nullptr) m_window->Present(backBuffer);
}

QuillbackApp::QuillbackApp()
    : m_state(std::make_unique<AppState>()),
      m_clock(std::make_unique<SystemClock>()),
      m_media(std::make_unique<SdlMediaBackend>()) {
    m_window = std::make_unique<FrmStage>(*m_state, m_keys);
    m_ui.SetWindow(m_window.get());
    m_ui.SetApplicationTitle(&m_state->AppTitle);
    m_sink.SetWindow(m_window.get());
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

    // One running instance per configuration folder: its configuration is read once and written once.
    PrepareDataDir(m_state->Dirs, m_state->Dirs.Config);
    m_lock = std::make_unique<QLockFile>(LockFilePath(*m_state));
    m_lock->setStaleLockTime(0);
    // Only a lock held by a live process means another instance; a folder where no lock can be
    // made (read-only, as an installed program's folder is) must not stop the program.
    const bool alreadyRunning = !m_lock->tryLock(0) && m_lock->error() == QLockFile::LockFailedError;
    if (!FormLoad(*m_state, alreadyRunning)) return false;

    m_window->Sync();
    m_window->show();
    m_window->Sync();
    if (!options.argument.empty()) {
        OpenFromCommandLine(*m_state, options.argument);
        m_window->Sync();
    }
    return true;
}

}  // namespace qb::gui

#include "gui/stage_watcher.h"

#include <QFile>
#include <QFileInfo>

#include "app/app_state.h"
#include "session/live_reload.h"
#include "app/startup.h"
#include "platform/paths.h"

namespace qb::gui {

namespace {

QString FromNative(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

QString FolderOf(const QString& path) {
    return QFileInfo(path).absolutePath();
}

}  // namespace

StageWatcher::StageWatcher(AppState& state, std::function<void()> changed)
    : m_state(state), m_changed(std::move(changed)) {
    m_listTimer.setSingleShot(true);
    m_listTimer.setInterval(static_cast<int>(kReloadSettleMs));
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &StageWatcher::OnFileChanged);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &StageWatcher::OnFolderChanged);
    connect(&m_listTimer, &QTimer::timeout, this, [this] {
        if (m_state.Loop.ShutdownDone) return;
        WatchListFolders();
        if (RefillStageList(m_state) && m_changed) m_changed();
    });
}

void StageWatcher::Sync() {
    // Sync runs with every presented frame: the folder is looked up on disk only when it can differ.
    bool changed = false;
    if (m_state.MugeDir != m_mugeDir) {
        m_mugeDir = m_state.MugeDir;
        QString stages = FromNative(StagesFolder(m_state));
        while (stages.size() > 1 && stages.endsWith('/')) stages.chop(1);
        changed = stages != m_stagesFolder;
        m_stagesFolder = stages;
        // The stages folder, the MUGEN folder and the folder that holds it: renaming or removing any of
        // them (or bringing it back) changes what the list shows, and only a watch on the folder above
        // sees it.
        m_listFolders.clear();
        for (QString folder = stages; m_listFolders.size() < 3 && !folder.isEmpty(); folder = FolderOf(folder)) {
            if (m_listFolders.contains(folder)) break;
            m_listFolders << folder;
        }
    }
    std::vector<std::string> files = StageFilesToWatch(m_state);
    if (files != m_files) {
        m_files = std::move(files);
        changed = true;
    }
    if (!changed) return;

    if (!m_watcher.files().isEmpty()) m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty()) m_watcher.removePaths(m_watcher.directories());
    m_fileFolders.clear();
    QStringList folders;
    for (const std::string& file : m_files) {
        const QString path = FromNative(file);
        if (QFileInfo::exists(path)) m_watcher.addPath(path);
        const QString folder = FolderOf(path);
        if (!m_fileFolders.contains(folder)) m_fileFolders << folder;
    }
    folders = m_fileFolders;
    for (const QString& folder : folders)
        if (QFileInfo(folder).isDir()) m_watcher.addPath(folder);
    WatchListFolders();
}

void StageWatcher::WatchListFolders() {
    // The stages folder itself is found without regard to case, as the list is filled.
    const QStringList watched = m_watcher.directories();
    for (const QString& folder : m_listFolders) {
        const QString onDisk = folder == m_stagesFolder ? FromNative(ResolvePath(folder.toStdString())) : folder;
        if (!watched.contains(onDisk) && QFileInfo(onDisk).isDir()) m_watcher.addPath(onDisk);
    }
}

bool StageWatcher::IsListFolder(const QString& path) const {
    for (const QString& folder : m_listFolders)
        if (path == folder || path == FromNative(ResolvePath(folder.toStdString()))) return true;
    return false;
}

void StageWatcher::WatchAgain() {
    const QStringList watched = m_watcher.files();
    for (const std::string& file : m_files) {
        const QString path = FromNative(file);
        if (!watched.contains(path) && QFileInfo::exists(path)) m_watcher.addPath(path);
    }
}

void StageWatcher::OnFileChanged(const QString& path) {
    (void)path;
    WatchAgain();
    NoteStageFilesChanged(m_state);
}

void StageWatcher::OnFolderChanged(const QString& path) {
    WatchAgain();
    // Any change in a stage file's folder may be its replacement; the core compares the contents.
    if (m_fileFolders.contains(path)) NoteStageFilesChanged(m_state);
    if (IsListFolder(path)) m_listTimer.start();
}

}  // namespace qb::gui

#pragma once
// Watches the running stage's files and the stage list's folder on disk and tells the core
// (NoteStageFilesChanged, RefillStageList). Folders are watched as well as files: editors that save by
// writing a new file and renaming it over the old one end the watch on the old file, and the folder's
// report is the only one that comes; the file is then watched again.
#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

namespace qb {
struct AppState;
}

namespace qb::gui {

class StageWatcher : public QObject {
    Q_OBJECT
public:
    // `changed` runs after a report changed the core's state, so the window can render it.
    StageWatcher(AppState& state, std::function<void()> changed);
    // Follows the core: the files it names to watch and the stages folder of its MUGEN directory.
    void Sync();

    QStringList WatchedFiles() const { return m_watcher.files(); }
    QStringList WatchedFolders() const { return m_watcher.directories(); }

private:
    void OnFileChanged(const QString& path);
    void OnFolderChanged(const QString& path);
    // Watches again the files that a replace took out of the watch and that exist once more.
    void WatchAgain();
    // Watches the folders the stage list depends on that exist now and are not watched.
    void WatchListFolders();
    bool IsListFolder(const QString& path) const;

    AppState& m_state;
    std::function<void()> m_changed;
    QFileSystemWatcher m_watcher;
    // The stage list is filled again once its folder has been quiet this long.
    QTimer m_listTimer;
    std::vector<std::string> m_files;
    QStringList m_fileFolders;
    std::string m_mugeDir = "\n";  // never a real directory: the first Sync looks the folder up
    QString m_stagesFolder;
    QStringList m_listFolders;  // the stages folder, the MUGEN folder and its parent
};

}  // namespace qb::gui

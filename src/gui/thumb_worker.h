#pragma once
// The thumbnail worker: one thread at the lowest priority that makes the stage list's pictures one
// stage at a time. A picture already in the cache (library/thumbnail.h: same paths, sizes and times)
// is only found; a missing one is drawn by quillback-shot --thumbnail, the headless tool with the
// window's renderer, run at the lowest CPU priority (nice 19). The renderer's graphics state is
// process-wide, so it cannot draw on a second thread of this process: the tool is its own process,
// which also keeps a stage that crashes the renderer from taking the window with it.
#include <QString>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "library/stage_library.h"

namespace qb::gui {

class ThumbWorker : public QThread {
    Q_OBJECT
public:
    // `shotProgram`: the headless tool's path; `cacheDir`: the per-user cache folder.
    ThumbWorker(QString shotProgram, std::string cacheDir, QObject* parent = nullptr);
    ~ThumbWorker() override;

    // Replaces the waiting work with these rows, in this order (the rows the list shows first).
    void Request(const std::vector<LibraryRow>& rows, const std::string& mugeDir);
    // Stops after the stage being drawn and waits for the thread.
    void Stop();

signals:
    // A row's picture is at `png` (empty: the stage could not be drawn).
    void Ready(const QString& file, const QString& entry, const QString& png);

protected:
    void run() override;

private:
    // Finds or draws one row's picture; its path, or empty.
    QString Make(const LibraryRow& row, const std::string& mugeDir);

    QString m_shot;
    std::string m_cache;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<LibraryRow> m_queue;
    std::string m_mugeDir;
    std::atomic<bool> m_stop = false;
};

}  // namespace qb::gui

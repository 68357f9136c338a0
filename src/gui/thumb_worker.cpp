#include "gui/thumb_worker.h"

#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <filesystem>

#include "library/thumbnail.h"

namespace qb::gui {

namespace {

// A stage the tool could not draw in this time is given up: the worker must move on.
constexpr int kDrawTimeoutMs = 20000;
constexpr int kPollMs = 50;

}  // namespace

ThumbWorker::ThumbWorker(QString shotProgram, std::string cacheDir, QObject* parent)
    : QThread(parent), m_shot(std::move(shotProgram)), m_cache(std::move(cacheDir)) {}

ThumbWorker::~ThumbWorker() {
    Stop();
}

void ThumbWorker::Request(const std::vector<LibraryRow>& rows, const std::string& mugeDir) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.assign(rows.begin(), rows.end());
        m_mugeDir = mugeDir;
    }
    m_wake.notify_one();
    if (!isRunning()) start(QThread::LowestPriority);
}

void ThumbWorker::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_queue.clear();
    }
    m_wake.notify_one();
    wait();
}

void ThumbWorker::run() {
    for (;;) {
        LibraryRow row;
        std::string mugeDir;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop) return;
            row = std::move(m_queue.front());
            m_queue.pop_front();
            mugeDir = m_mugeDir;
        }
        const QString png = Make(row, mugeDir);
        emit Ready(QString::fromStdString(row.File), QString::fromStdString(row.Entry), png);
        // Whatever else wants the processor goes first between two stages.
        QThread::yieldCurrentThread();
    }
}

QString ThumbWorker::Make(const LibraryRow& row, const std::string& mugeDir) {
    const std::string key = ThumbnailKey(ThumbSourceOf(row, mugeDir));
    const std::string path = ThumbnailPath(m_cache, key);
    // A stage that could not be drawn leaves a marker beside its would-be picture, so that an
    // unchanged broken stage is not tried at every start.
    const std::string failed = path + ".failed";
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return QString::fromStdString(path);
    if (std::filesystem::exists(failed, ec)) return {};
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    const std::string part = path + ".part" + std::to_string(::getpid()) + ".png";

    QProcess tool;
    tool.setProgram(m_shot);
    QStringList arguments;
    if (!mugeDir.empty()) arguments << QStringLiteral("--mugen") << QString::fromStdString(mugeDir);
    if (!row.Entry.empty()) arguments << QStringLiteral("--entry") << QString::fromStdString(row.Entry);
    arguments << QStringLiteral("--thumbnail") << QString::fromStdString(row.File) << QString::fromStdString(part)
              << QString::number(kThumbnailSize);
    tool.setArguments(arguments);
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.setStandardErrorFile(QProcess::nullDevice());
    // The lowest CPU priority: the view's frames come first on every core.
    tool.setChildProcessModifier([] { (void)::nice(19); });
    tool.start();
    bool finished = false;
    if (tool.waitForStarted()) {
        // Closing the window does not wait for a stage being drawn.
        for (int waited = 0; !finished && waited < kDrawTimeoutMs && !m_stop; waited += kPollMs)
            finished = tool.waitForFinished(kPollMs);
    }
    if (!finished) {
        tool.kill();
        tool.waitForFinished(1000);
    }
    const bool drawn = finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    if (drawn) {
        std::filesystem::rename(part, path, ec);
        if (!ec) return QString::fromStdString(path);
    }
    std::filesystem::remove(part, ec);
    // Only a stage the tool refused is marked; a tool that could not start or was stopped says
    // nothing about it.
    if (finished) QFile(QString::fromStdString(failed)).open(QIODevice::WriteOnly);
    return {};
}

}  // namespace qb::gui

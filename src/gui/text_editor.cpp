#include "gui/text_editor.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QUrl>
#include <array>

#include "platform/editor_command.h"

namespace qb::gui {

namespace {

// Editors that need a terminal: started detached they would run with no window at all.
bool TerminalEditor(const QString& program) {
    static constexpr std::array kTerminal = {"vi", "vim",   "nvim", "nano", "pico", "ed",    "joe", "micro",
                                             "mg", "emacs", "jed",  "ne",   "kak",  "helix", "hx",  "mcedit"};
    const QString name = QFileInfo(program).fileName();
    for (const char* editor : kTerminal)
        if (name == QLatin1String(editor)) return true;
    return false;
}

// One of $VISUAL and $EDITOR: answers whether it started; adds a line to `tried` when it was set.
bool TryVariable(const char* variable, const std::string& path, int line, std::string& tried) {
    const QString command = qEnvironmentVariable(variable).trimmed();
    const std::string label = std::string("$") + variable;
    if (command.isEmpty()) {
        tried += label + ": not set\n";
        return false;
    }
    // The line goes where the editor takes it (+LINE, --goto FILE:LINE, ...).
    const std::vector<std::string> words = EditorArguments(command.toStdString(), path, line);
    if (words.empty()) return false;
    const QString program = QString::fromStdString(words.front());
    if (TerminalEditor(program)) {
        tried += label + " = " + command.toStdString() + ": needs a terminal, skipped\n";
        return false;
    }
    QStringList args;
    for (size_t i = 1; i < words.size(); ++i) args << QString::fromStdString(words[i]);
    if (QProcess::startDetached(program, args)) return true;
    tried += label + " = " + command.toStdString() + ": could not be started\n";
    return false;
}

bool TryDesktopDefault(const std::string& path, std::string& tried) {
    if (!path.empty()) {
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)))) return true;
        tried += "the desktop's default for text files (xdg-open): did not start\n";
        return false;
    }
    // No file: the desktop's editor for plain text by itself.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    QString desktopFile;
    if (query.waitForFinished(3000) && query.exitCode() == 0)
        desktopFile = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (desktopFile.endsWith(QStringLiteral(".desktop"))) desktopFile.chop(8);
    if (!desktopFile.isEmpty() && QProcess::startDetached(QStringLiteral("gtk-launch"), {desktopFile}))
        return true;
    tried += desktopFile.isEmpty() ? "the desktop's default for text files (xdg-mime): none is set\n"
                                   : "the desktop's default for text files (" + desktopFile.toStdString() +
                                         "): could not be started\n";
    return false;
}

}  // namespace

bool StartTextEditor(const std::string& path, std::string& tried, int line) {
    tried.clear();
    if (TryVariable("VISUAL", path, line, tried) || TryVariable("EDITOR", path, line, tried) ||
        TryDesktopDefault(path, tried)) {
        tried.clear();
        return true;
    }
    if (!tried.empty() && tried.back() == '\n') tried.pop_back();
    return false;
}

}  // namespace qb::gui

// quillback: the desktop program. Everything it does lives in the core and the Qt windows.
#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QSocketNotifier>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <memory>

#include "app/startup.h"
#include "gui/frm_stage.h"
#include "gui/quillback_app.h"
#include "platform/stop_signals.h"

namespace {

// --help: the manual page is made from this text.
constexpr const char* kHelp =
    "Usage: quillback [FILE]\n"
    "A desktop previewer for MUGEN stages: opens a stage (a .def with its .sff, or a .zip package)\n"
    "and runs it as the engine shows it, with its music and a test character. In the window the\n"
    "arrow keys move the camera (or walk the test character, up jumps), Z and A change its step, Pause\n"
    "pauses, . steps one frame while paused, [ and ] change the speed, F8 saves a snapshot and\n"
    "Escape leaves full screen. A stage whose files are saved while it runs is reloaded.\n"
    "\n"
    "Options:\n"
    "  FILE       a stage .def or a .zip package to open at start\n"
    "  --help     show this help and exit\n"
    "  --version  show the version and exit\n"
    "\n"
    "Files:\n"
    "A program whose folder is writable keeps its settings (QB.cfg) and its snapshots in that\n"
    "folder, and unpacks each opened package into a private folder in $TMPDIR (/tmp). An\n"
    "installed program keeps the settings in $XDG_CONFIG_HOME/quillback/ (~/.config/quillback/),\n"
    "the snapshots in $XDG_DATA_HOME/quillback/snapshots/ (~/.local/share/quillback/snapshots/)\n"
    "and the files of opened packages in private folders in $XDG_CACHE_HOME/quillback/tmp/\n"
    "(~/.cache/quillback/tmp/). A package's folder goes when its stage is closed; folders left\n"
    "by a program that was killed go at the next start.\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window, so they work without a display.
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s\n", qb::VersionLine("quillback").c_str());
        return 0;
    }
    qb::IgnoreFileSizeSignal();
    // The frame is scaled by whole numbers only: a fractional screen scale would blur its pixels.
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
    // The desktop's theme icon when installed, else our own.
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("quillback"), QIcon(QStringLiteral(":/icons/quillback.png"))));
    QApplication::setApplicationName(QStringLiteral("Quillback"));
    // The program ends when the core's shutdown has run, not when some window closes (the main
    // window is hidden in full screen, the error log only hides).
    QApplication::setQuitOnLastWindowClosed(false);
    // The menus are Chinese; name the CJK font as a fallback so no platform draws boxes.
    QFont font = QApplication::font();
    font.setFamilies({font.family(), QStringLiteral("WenQuanYi Zen Hei")});
    QApplication::setFont(font);

    qb::gui::StartOptions options;
    options.programDir = QCoreApplication::applicationDirPath().toStdString();
    const QStringList args = QCoreApplication::arguments();
    if (args.size() > 1) options.argument = args.at(1).toStdString();

    qb::gui::QuillbackApp program;
    if (!program.Start(options)) return 0;
    QObject::connect(&program, &qb::gui::QuillbackApp::Finished_, &app, &QCoreApplication::quit);
    if (program.Finished()) return 0;
    // SIGTERM (a logout, `kill`), SIGINT and SIGHUP close the window as the Exit command does, so
    // the settings are written; open boxes are answered as Cancel so none of them holds the exit up.
    std::unique_ptr<QSocketNotifier> stopNotifier;
    if (const int stopFd = qb::StopSignalFd(); stopFd >= 0) {
        stopNotifier = std::make_unique<QSocketNotifier>(stopFd, QSocketNotifier::Read);
        QObject::connect(stopNotifier.get(), &QSocketNotifier::activated, &program, [&program, stopFd] {
            if (qb::DrainStopSignals(stopFd) > 0) program.RequestStop();
        });
    }
    return QApplication::exec();
}

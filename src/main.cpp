// quillback: the desktop program. Everything it does lives in the core and the Qt windows.
#include <QApplication>
#include <QFont>
#include <QStringList>

#include "gui/quillback_app.h"

int main(int argc, char** argv) {
    // The frame is scaled by whole numbers only: a fractional screen scale would blur its pixels.
    QApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
    QApplication app(argc, argv);
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
    return QApplication::exec();
}

#include "gui/translation.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLibraryInfo>

#include "gui/qt_ui.h"

namespace qb::gui {

QString MenuText(const std::string& caption, char accessKey) {
    const QByteArray source = QByteArray::fromStdString(caption);
    QString text = QCoreApplication::translate("Menu", source.constData());
    // Captions made at run time may hold bytes that are not UTF-8 (a character's name).
    if (text == QString::fromUtf8(source)) text = MenuCaptionText(caption);
    // A mark on a Latin letter or digit can be typed; one on a blank or a Chinese character cannot.
    bool typeable = false;
    bool wide = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() >= 0x80) wide = true;
        if (c != QLatin1Char('&') || i + 1 >= text.size()) continue;
        const QChar next = text.at(i + 1);
        if (next == QLatin1Char('&')) {
            ++i;
        } else if (next.unicode() < 0x80 && next.isLetterOrNumber()) {
            typeable = true;
        }
    }
    QString shown;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const QChar next = i + 1 < text.size() ? text.at(i + 1) : QChar();
        if (c == QLatin1Char('&') && next == QLatin1Char('&')) {
            shown += QStringLiteral("&&");
            ++i;
        } else if (c == QLatin1Char('&') && (typeable ? (next.isNull() || next.isSpace()) : true)) {
            // A mark that cannot be typed goes; on a blank it would be drawn as a stray underscore.
            if (!next.isNull() && next.isSpace()) ++i;  // the blank it marks
        } else {
            shown += c;
        }
    }
    // Chinese programs put the Latin access key after the caption: "打开(&O)".
    if (!typeable && wide && accessKey != 0)
        shown += QStringLiteral("(&") + QChar(QLatin1Char(accessKey)) + QLatin1Char(')');
    return shown;
}

QString ToolText(const QString& text) {
    return QCoreApplication::translate("Tools", text.toUtf8().constData());
}

QString KeyText(const char* text) {
    return QCoreApplication::translate("Keys", text);
}

namespace {
class LanguageWatcher : public QObject {
public:
    LanguageWatcher(QWidget* window, std::function<void()> retranslate)
        : QObject(window), m_retranslate(std::move(retranslate)) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() && event->type() == QEvent::LanguageChange) m_retranslate();
        return false;
    }

private:
    std::function<void()> m_retranslate;
};
}  // namespace

void Retranslated(QWidget* window, std::function<void()> retranslate) {
    retranslate();
    new LanguageWatcher(window, std::move(retranslate));  // owned by the window (Qt parent)
}

LanguageSwitch::~LanguageSwitch() {
    if (m_translator) QCoreApplication::removeTranslator(m_translator.get());
    if (m_qtTranslator) QCoreApplication::removeTranslator(m_qtTranslator.get());
}

bool LanguageSwitch::Apply(const std::string& language) {
    if (language == m_current) return true;
    m_current = language;
    if (m_translator) {
        QCoreApplication::removeTranslator(m_translator.get());
        m_translator.reset();
    }
    auto translator = std::make_unique<QTranslator>();
    // Built into the program: an installed copy finds it without a path.
    const QString file = language == "en" ? QStringLiteral(":/i18n/quillback_en.qm") : QStringLiteral(":/i18n/quillback_zh.qm");
    if (!translator->load(file)) return false;
    QCoreApplication::installTranslator(translator.get());
    m_translator = std::move(translator);
    // Qt's own dialogs (the file and folder choosers, input boxes) speak the same language when the
    // system has Qt's translations (Debian: qt6-translations-l10n); without them they stay English.
    if (m_qtTranslator) {
        QCoreApplication::removeTranslator(m_qtTranslator.get());
        m_qtTranslator.reset();
    }
    if (language != "en") {
        auto qt = std::make_unique<QTranslator>();
        if (qt->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(qt.get());
            m_qtTranslator = std::move(qt);
        }
    }
    return true;
}

}  // namespace qb::gui

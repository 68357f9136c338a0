#pragma once
// The language of the menus and tool windows. The core keeps every caption as the design gives it
// and these are the source texts of Qt's translation files (i18n/quillback_<language>.ts, built
// into the program as resources): a caption without a translation shows as given, so texts made
// at run time (recent files, "Use " + a character's name, "FPS Limiter (60 fps)") pass unchanged.
#include <QString>
#include <QTranslator>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

namespace qb::gui {

// A menu caption as the menu shows it: translated, and without the access-key marks that cannot be
// typed: one on a blank ("& 背景"; Qt would underline the blank, which reads as a stray underscore)
// or on a Chinese character. A caption with such a mark, or none, that holds Chinese gets the
// item's Latin `accessKey` appended as "(&O)".
QString MenuText(const std::string& caption, char accessKey = 0);
// A tool window's caption or label, translated when a translation exists.
QString ToolText(const QString& text);
inline QString ToolText(const char* text) {
    return ToolText(QString::fromUtf8(text));
}

// A text of the key reference, a menu item's tooltip or the window's status notices, translated
// when a translation exists (source texts in English).
QString KeyText(const char* text);

// Runs `retranslate` now and each time the language changes (the window's LanguageChange event):
// the window sets its translatable texts there.
void Retranslated(QWidget* window, std::function<void()> retranslate);

// Installs the translation of `language`: "en" translates the given (Chinese) captions into
// English; any other language installs the Chinese catalogue, which translates the texts whose
// source is English (boxes, tool windows, keys) and leaves the given captions as they are. Every
// widget then gets a LanguageChange event. Answers false when the language has no translation
// built in.
class LanguageSwitch {
public:
    ~LanguageSwitch();
    bool Apply(const std::string& language);
    const std::string& Current() const { return m_current; }

private:
    std::unique_ptr<QTranslator> m_translator;
    std::unique_ptr<QTranslator> m_qtTranslator;  // Qt's own texts, when installed
    std::string m_current;
};

}  // namespace qb::gui

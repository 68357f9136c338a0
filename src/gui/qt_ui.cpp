#include "gui/qt_ui.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStringDecoder>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <algorithm>
#include <limits>

#include "gui/frm_stage.h"
#include "gui/text_editor.h"
#include "platform/trash.h"

namespace qb::gui {

QString FromContentText(const std::string& text) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = utf8(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
    if (!utf8.hasError()) return decoded;
    // Content written on Windows: cp1252. Qt has no codec table for it without ICU, so map the
    // 0x80-0x9F block by hand and take the rest as Latin-1, which cp1252 equals there.
    static constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                           0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                           0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                           0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (unsigned char c : text) {
        if (c >= 0x80 && c < 0xA0)
            out.append(QChar(kHigh[c - 0x80]));
        else
            out.append(QChar(c));
    }
    return out;
}

std::string ToNativeText(const QString& text) {
    return text.toStdString();
}

QStringList NameFilters(const FileDialogRequest& request) {
    QStringList filters;
    for (const auto& [description, patterns] : request.filters) {
        QString list = QString::fromStdString(patterns);
        list.replace(';', ' ');
        filters << QStringLiteral("%1 (%2)").arg(MessageText(description), list);
    }
    return filters;
}

namespace {
// One line of a text the core made: the whole line when the catalogue has it, else its longest
// fixed beginning that the catalogue has (the words before a file name or a number, ending in a
// blank: "Snapshot saved: " + path), the rest as it is.
QString TranslatedLine(const std::string& line, const char* context = "Messages") {
    const auto translated = [context](const std::string& source, QString& out) {
        out = QCoreApplication::translate(context, source.c_str());
        return out != QString::fromUtf8(source.c_str());
    };
    QString out;
    if (line.empty() || translated(line, out)) return line.empty() ? QString() : out;
    for (size_t end = line.size() - 1; end >= 3; --end) {
        if (line[end - 1] != ' ') continue;
        if (translated(line.substr(0, end), out)) return out + FromContentText(line.substr(end));
    }
    return FromContentText(line);
}
}  // namespace

QString MenuCaptionText(const std::string& caption) {
    return TranslatedLine(caption, "Menu");
}

QString MessageText(const std::string& text) {
    // The core's texts are the source texts, English for boxes and notices: the Chinese catalogue
    // translates them, the English one words some of them better. A text that names a file or a
    // number is looked up line by line, and a line by its fixed beginning; what content gave (a
    // file name, a stage's name) stays as it is.
    const QString whole = QCoreApplication::translate("Messages", text.c_str());
    QString shown;
    if (whole != QString::fromUtf8(text.c_str())) {
        shown = whole;
    } else {
        size_t start = 0;
        while (true) {
            const size_t lineEnd = text.find("\r\n", start);
            shown += TranslatedLine(text.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start));
            if (lineEnd == std::string::npos) break;
            shown += QStringLiteral("\n");
            start = lineEnd + 2;
        }
    }
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return shown;
}

QWidget* QtUi::Owner() const {
    // In full screen the main window is hidden: a box owned by it could open behind the
    // full-screen window and block the program unseen.
    if (m_window) return m_window->ActiveView()->window();
    return m_owner;
}

std::string QtUi::AppTitle() const {
    return m_appTitle != nullptr ? *m_appTitle : std::string();
}

QString QtUi::TitleOr(const std::string& title) const {
    // A dialog's own title is translated like a message (the application's title is a name).
    if (!title.empty()) return MessageText(title);
    return FromContentText(AppTitle());
}

MsgAnswer QtUi::MsgBox(const std::string& text, MsgIcon icon, MsgButtons buttons, const std::string& title) {
    if (m_script.msgBox) return m_script.msgBox(text, icon, buttons, title.empty() ? AppTitle() : title);
    QWidget* owner = Owner();
    const bool anchored = (owner == nullptr || !owner->isVisible()) && m_boxAnchor.isValid();
    QMessageBox box(anchored ? nullptr : owner);
    if (anchored) {
        // No window of ours to sit on: the box goes over the window it speaks of, in front of it.
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        QTimer::singleShot(0, &box, [&box, anchor = m_boxAnchor] {
            box.move(anchor.center() - QPoint(box.frameGeometry().width() / 2, box.frameGeometry().height() / 2));
            box.raise();
            box.activateWindow();
        });
    }
    box.setWindowTitle(TitleOr(title));
    box.setText(MessageText(text));
    switch (icon) {
        case MsgIcon::None:
            box.setIcon(QMessageBox::NoIcon);
            break;
        case MsgIcon::Exclamation:
            box.setIcon(QMessageBox::Warning);
            break;
        case MsgIcon::Critical:
            box.setIcon(QMessageBox::Critical);
            break;
        case MsgIcon::Question:
            box.setIcon(QMessageBox::Question);
            break;
        case MsgIcon::Information:
            box.setIcon(QMessageBox::Information);
            break;
    }
    switch (buttons) {
        case MsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNoDefaultNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setDefaultButton(QMessageBox::No);
            break;
        case MsgButtons::WriteDiscardCancel:
            box.setStandardButtons(QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
            box.button(QMessageBox::Save)->setText(QCoreApplication::translate("Messages", "Write"));
            box.setDefaultButton(QMessageBox::Save);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case MsgButtons::MineTheirsCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.button(QMessageBox::Yes)->setText(QCoreApplication::translate("Messages", "Write mine"));
            box.button(QMessageBox::No)->setText(QCoreApplication::translate("Messages", "Keep theirs"));
            box.setDefaultButton(QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    // Qt's own button texts are English unless its translations are installed: the catalogue gives
    // them in the menus' language (a button the cases above named keeps its text).
    const std::pair<QMessageBox::StandardButton, const char*> standard[] = {
        {QMessageBox::Ok, "OK"}, {QMessageBox::Cancel, "Cancel"}, {QMessageBox::Yes, "Yes"},
        {QMessageBox::No, "No"}, {QMessageBox::Discard, "Discard"}};
    for (const auto& [which, text] : standard) {
        QAbstractButton* button = box.button(which);
        const bool named = buttons == MsgButtons::MineTheirsCancel && (which == QMessageBox::Yes || which == QMessageBox::No);
        if (button != nullptr && !named) button->setText(QCoreApplication::translate("Messages", text));
    }
    const int result = box.exec();
    switch (result) {
        case QMessageBox::Yes:
        case QMessageBox::Save:
            return MsgAnswer::Yes;
        case QMessageBox::No:
        case QMessageBox::Discard:
            return MsgAnswer::No;
        case QMessageBox::Cancel:
            return MsgAnswer::Cancel;
        case QMessageBox::Ok:
            return MsgAnswer::Ok;
        default:
            // Closed from the title bar: the escape answer of the box.
            if (buttons == MsgButtons::YesNo || buttons == MsgButtons::YesNoDefaultNo) return MsgAnswer::No;
            return buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
}

std::string QtUi::RunFileDialog(const FileDialogRequest& request, bool save) {
    QFileDialog dialog(Owner(), TitleOr(request.title));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else
        dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = NameFilters(request);
    if (!filters.isEmpty()) dialog.setNameFilters(filters);
    if (!request.initialDir.empty()) dialog.setDirectory(QString::fromStdString(request.initialDir));
    if (!request.fileName.empty()) dialog.selectFile(QString::fromStdString(request.fileName));
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return {};
    const QString chosen = files.front();
    if (request.pathMustExist && !QFileInfo(chosen).absoluteDir().exists()) return {};
    if (!save && request.fileMustExist && !QFileInfo::exists(chosen)) return {};
    return ToNativeText(chosen);
}

std::string QtUi::ShowOpen(const FileDialogRequest& request) {
    if (m_script.showOpen) return m_script.showOpen(request);
    return RunFileDialog(request, false);
}

std::string QtUi::ShowSave(const FileDialogRequest& request) {
    if (m_script.showSave) return m_script.showSave(request);
    return RunFileDialog(request, true);
}

std::string QtUi::BrowseForFolder(const std::string& prompt) {
    return BrowseForFolderFrom(prompt, {});
}

std::string QtUi::BrowseForFolderFrom(const std::string& prompt, const std::string& startDir) {
    if (m_script.browseForFolder) return m_script.browseForFolder(prompt);
    // The prompt holds a line break; a dialog title shows one line.
    QString title = MessageText(prompt);
    title.replace(QStringLiteral("\n"), QStringLiteral("  "));
    QString folder = QFileDialog::getExistingDirectory(Owner(), title, QString::fromStdString(startDir));
    while (folder.size() > 1 && folder.endsWith('/')) folder.chop(1);
    return ToNativeText(folder);
}

std::string QtUi::InputBox(const std::string& prompt, const std::string& title,
                           const std::string& defaultText, bool* cancelled) {
    if (m_script.inputBox) return m_script.inputBox(prompt, title, defaultText, cancelled);
    bool ok = false;
    const QString answer = QInputDialog::getText(Owner(), TitleOr(title), MessageText(prompt),
                                                 QLineEdit::Normal, FromContentText(defaultText), &ok);
    if (cancelled != nullptr) *cancelled = !ok;
    return ok ? ToNativeText(answer) : std::string();
}

int QtUi::ChooseItem(const std::string& prompt, const std::vector<std::string>& items, int preselected,
                     const std::string& title) {
    if (m_script.chooseItem) return m_script.chooseItem(prompt, items, preselected);
    if (items.empty()) return -1;
    QStringList shown;
    for (const std::string& item : items) shown << FromContentText(item);
    const int current = preselected >= 0 && preselected < shown.size() ? preselected : 0;
    bool ok = false;
    // Not editable: the answer is one of the items, found again by its position.
    const QString answer =
        QInputDialog::getItem(Owner(), TitleOr(title), FromContentText(prompt), shown, current, false, &ok);
    if (!ok) return -1;
    // The dialog answers with the text: found again by it, the preselected item first should two read alike.
    if (answer == shown[current]) return current;
    return static_cast<int>(shown.indexOf(answer));
}

void QtUi::SetCaption(const std::string& caption) {
    m_caption = caption;
    if (m_window) m_window->ApplyCaption(caption);
    if (m_captionSink) m_captionSink(caption);
}

void QtUi::DoEvents() {
    // Returns at once when nothing waits; otherwise handles what is queued (never blocks).
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtUi::WaitForEvents(int64_t micros) {
    const int64_t ms = micros / 1000;
    if (ms <= 0 || QCoreApplication::instance() == nullptr) return false;
    if (!m_waitTimer) {
        m_waitTimer = std::make_unique<QTimer>();
        m_waitTimer->setSingleShot(true);
        m_waitTimer->setTimerType(Qt::PreciseTimer);
    }
    // The timer's own event ends the wait when no other comes first: one wake-up for a quiet
    // frame instead of a nap every few milliseconds with a look at the queue after each.
    m_waitTimer->start(static_cast<int>(std::min<int64_t>(ms, std::numeric_limits<int>::max())));
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    m_waitTimer->stop();
    return true;
}

bool QtUi::OpenInTextEditor(const std::string& path) {
    if (m_script.openInTextEditor) return m_script.openInTextEditor(path);
    return StartTextEditor(path, m_editorTried);
}

bool QtUi::OpenInTextEditorAt(const std::string& path, int line) {
    if (m_script.openInTextEditor) return m_script.openInTextEditor(path);
    return StartTextEditor(path, m_editorTried, line);
}

bool QtUi::OpenWithDesktop(const std::string& path) {
    if (m_script.openWithDesktop) return m_script.openWithDesktop(path);
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool QtUi::MoveToTrash(const std::string& path, std::string& error) {
    // Our own trash, not QFile::moveToTrash: without a per-user data folder Qt falls back to files/
    // and info/ in the current directory and only says so on standard error.
    const TrashResult result = qb::MoveToTrash(path, FindHomeTrashDir());
    error = result.error;
    return result.ok;
}

void QtUi::SetWindow(FrmStage* window) {
    m_window = window;
    m_owner = window;
}

std::pair<int, int> QtUi::ScreenSize() {
    return m_window ? m_window->ScreenSize() : std::pair<int, int>{0, 0};
}

std::pair<int, int> QtUi::WindowPos() {
    return m_window ? m_window->WindowPos() : std::pair<int, int>{0, 0};
}

bool QtUi::PositionVisible(int left, int top) {
    return m_window != nullptr && m_window->PositionVisible(left, top);
}

void QtUi::MoveWindow(int left, int top) {
    if (m_window) m_window->MoveWindow(left, top);
}

int QtUi::StageListWidth() {
    return m_window ? m_window->StageListWidth() : 0;
}

void QtUi::SetFullScreen(bool on) {
    if (m_window) m_window->SetFullScreen(on);
}

void QtUi::ShowErrorLog(bool visible) {
    if (m_window) m_window->ShowErrorLog(visible);
}

void QtUi::ShowMusicChooser() {
    if (m_window) m_window->ShowMusicChooser();
}

void QtUi::ShowSpriteBrowser() {
    if (m_window) m_window->ShowSpriteBrowser();
}

void QtUi::ShowBgEditor() {
    if (m_window) m_window->ShowBgEditor();
}

void QtUi::Quit() {
    if (m_window) m_window->Quit();
}

namespace {

constexpr const char* kTimerNames[] = {"tmrStart", "tmrExit", "tmrDrop"};

}  // namespace

QtTimers::QtTimers(QObject* owner, std::function<void(TimerId)> tick) {
    for (size_t i = 0; i < m_timers.size(); ++i) {
        auto* timer = new QTimer(owner);
        timer->setObjectName(QString::fromLatin1(kTimerNames[i]));
        const auto id = static_cast<TimerId>(i);
        QObject::connect(timer, &QTimer::timeout, owner, [tick, id] { tick(id); });
        m_timers[i] = timer;
    }
}

void QtTimers::Start(TimerId id, int intervalMs) {
    QTimer* timer = m_timers[static_cast<size_t>(id)];
    timer->setInterval(intervalMs);
    if (!timer->isActive()) timer->start();
}

void QtTimers::Stop(TimerId id) {
    m_timers[static_cast<size_t>(id)]->stop();
}

bool QtTimers::Active(TimerId id) const {
    return m_timers[static_cast<size_t>(id)]->isActive();
}

QTimer* QtTimers::Timer(const std::string& name) const {
    for (size_t i = 0; i < m_timers.size(); ++i)
        if (name == kTimerNames[i]) return m_timers[i];
    return nullptr;
}

void QtTimers::StopAll() {
    for (QTimer* timer : m_timers) timer->stop();
}

}  // namespace qb::gui

#include "gui/frm_error.h"

#include <QCloseEvent>
#include <QMouseEvent>

#include "gui/qt_ui.h"
#include "gui/translation.h"
#include "stage/error_log.h"

namespace qb::gui {

namespace {
// Window sizes are given in twips, 15 to the pixel.
constexpr int kTwips = 15;
}  // namespace

FrmError::FrmError(ErrorLog& log, QWidget* parent) : QWidget(parent, Qt::Window), m_log(log) {
    setObjectName(QStringLiteral("frmError"));
    Retranslated(this, [this] { setWindowTitle(ToolText("Error Log")); });
    setFixedSize(7470 / kTwips, 4020 / kTwips);
    m_txtError = new QPlainTextEdit(this);  // owned by the window (Qt parent)
    m_txtError->setObjectName(QStringLiteral("txtError"));
    m_txtError->setGeometry(0, 0, 7440 / kTwips, 3975 / kTwips);
    m_txtError->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_txtError->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    // A double-click on an entry opens the definition at its line (the word is still selected).
    m_txtError->viewport()->installEventFilter(this);
    // The box is the log's text: what the user types or deletes there is what the log holds.
    connect(m_txtError, &QPlainTextEdit::textChanged, this, [this] {
        if (m_writingBack) return;
        std::string text = ToNativeText(m_txtError->toPlainText());
        // The box shows line breaks as LF; keep the log's own CR LF where the user changed nothing.
        std::string crlf;
        crlf.reserve(text.size());
        for (char c : text) {
            if (c == '\n') crlf.push_back('\r');
            crlf.push_back(c);
        }
        m_log.SetText(crlf);
        m_shown = crlf;
    });
}

void FrmError::Refresh() {
    if (m_log.Text() == m_shown) return;
    m_shown = m_log.Text();
    QString text = FromContentText(m_shown);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace('\r', '\n');
    m_writingBack = true;
    m_txtError->setPlainText(text);
    m_writingBack = false;
}

bool FrmError::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_txtError->viewport() && event->type() == QEvent::MouseButtonDblClick && m_line) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        // A block is a line of the text however the box wraps it.
        m_line(m_txtError->cursorForPosition(mouse->position().toPoint()).blockNumber());
    }
    return QWidget::eventFilter(watched, event);
}

void FrmError::showEvent(QShowEvent* event) {
    Refresh();
    QWidget::showEvent(event);
}

void FrmError::closeEvent(QCloseEvent* event) {
    // Closing from the title bar only hides the window: the text stays, and the menu's check
    // mark follows the window so that the next click shows it again.
    event->ignore();
    hide();
    if (m_closed) m_closed();
}

}  // namespace qb::gui

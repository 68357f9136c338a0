#pragma once
// The error log window: one text box showing the core's error log.
#include <QPlainTextEdit>
#include <QWidget>
#include <functional>
#include <string>

namespace qb {
class ErrorLog;
}

namespace qb::gui {

class FrmError : public QWidget {
    Q_OBJECT
public:
    explicit FrmError(ErrorLog& log, QWidget* parent = nullptr);

    // Copies the log into the text box when the log changed since the last copy.
    void Refresh();
    // Called when the user closes the window from its title bar (it is then only hidden).
    void SetClosedHandler(std::function<void()> handler) { m_closed = std::move(handler); }
    // Called with the line (0-based) of the log's text that was double-clicked.
    void SetLineHandler(std::function<void(int)> handler) { m_line = std::move(handler); }
    QPlainTextEdit* TextBox() const { return m_txtError; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ErrorLog& m_log;
    QPlainTextEdit* m_txtError = nullptr;
    std::string m_shown;
    bool m_writingBack = false;
    std::function<void()> m_closed;
    std::function<void(int)> m_line;
};

}  // namespace qb::gui

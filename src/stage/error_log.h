#pragma once
// The error log's text and the one message box for trapped run-time errors. Both live below the
// application shell because the definition reader, the stage list and the character code report
// through them too.
#include <cstdint>
#include <string>
#include <string_view>

namespace qb {

class Ui;

// A single growing text, one entry after another. Every entry ends its line (CR LF, the log's line end,
// which the log window shows as a line break) so that short remarks such as "TileX < 0" appended one
// after the other stay readable; an entry that already ends in a line end gets no second one.
class ErrorLog {
public:
    const std::string& Text() const { return m_text; }
    void Append(std::string_view entry);
    void Clear() { m_text.clear(); }
    void SetText(std::string text) { m_text = std::move(text); }

private:
    std::string m_text;
};

// "An ERROR has occurred!!" CR LF module " " procedure ": " number " - " description.
std::string HandleErrorMessage(const std::string& module, const std::string& procedure, int32_t number,
                               const std::string& description);
// Shows that message with an exclamation icon, OK and the application title.
void HandleError(Ui& ui, const std::string& module, const std::string& procedure, int32_t number,
                 const std::string& description);

}  // namespace qb

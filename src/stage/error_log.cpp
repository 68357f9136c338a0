#include "stage/error_log.h"

#include <exception>
#include <new>

#include "platform/ports.h"

namespace qb {

void ErrorLog::Append(std::string_view entry) {
    if (entry.empty()) return;
    m_text.append(entry);
    if (entry.back() != '\n' && entry.back() != '\r') m_text.append("\r\n");
}

std::string HandleErrorMessage(const std::string& module, const std::string& procedure, int32_t number,
                               const std::string& description) {
    std::string text = "An ERROR has occurred!!\r\n";
    text += module;
    text += ' ';
    text += procedure;
    text += ": ";
    text += std::to_string(number);
    text += " - ";
    text += description;
    return text;
}

namespace {
void ShowFallback(Ui& ui, const std::string& module, int32_t number, const char* description) {
    try {
        ui.MsgBox(module + " HandleError: " + std::to_string(number) + " - " + description, MsgIcon::None,
                  MsgButtons::Ok);
    } catch (...) {
    }
}
}  // namespace

void HandleError(Ui& ui, const std::string& module, const std::string& procedure, int32_t number,
                 const std::string& description) {
    // The reporter must never become a second source of trouble: anything that fails while the
    // message is built or shown is reported once in a plain box, and never recursively.
    try {
        ui.MsgBox(HandleErrorMessage(module, procedure, number, description), MsgIcon::Exclamation,
                  MsgButtons::Ok);
    } catch (const std::bad_alloc&) {
        ShowFallback(ui, module, 7, "Out of memory");
    } catch (const std::exception& e) {
        ShowFallback(ui, module, 51, e.what());
    } catch (...) {
        ShowFallback(ui, module, 51, "Internal error");
    }
}

}  // namespace qb

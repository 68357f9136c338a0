#include "stage/error_log.h"

#include <algorithm>
#include <exception>
#include <new>

#include "platform/ports.h"

namespace qb {

namespace {

void EndLine(std::string& entry) {
    if (!entry.empty() && entry.back() != '\n' && entry.back() != '\r') entry.append("\r\n");
}

std::string_view FileNameOnly(std::string_view path) {
    const size_t cut = path.find_last_of("\\/");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

}  // namespace

std::string RenderProblem(const Problem& p) {
    std::string entry;
    switch (p.kind) {
        case ProblemKind::ReaderError:
            entry.reserve(120 + p.subject.size());
            entry += "---------------------------\r\nERROR #";
            entry += std::to_string(p.code);
            entry += "  (";
            entry += p.text;
            entry += ")\r\nWhile loading ";
            entry += FileNameOnly(p.file);
            entry += "!\r\n\r\nI choked on line #";
            entry += std::to_string(p.line);
            entry += ":\r\n\"";
            entry += p.subject;
            break;
        case ProblemKind::StrayCharacter:
            entry.reserve(120 + p.subject.size());
            entry += "Stray character ";
            entry += p.text;
            entry += " at column ";
            entry += std::to_string(p.column);
            entry += " of line #";
            entry += std::to_string(p.line);
            entry += " in ";
            entry += FileNameOnly(p.file);
            entry += "; the number before it was read:\r\n\"";
            entry += p.subject;
            entry += "\"";
            break;
        case ProblemKind::NegativeTileX:
            entry = "TileX < 0";
            break;
        case ProblemKind::NegativeTileY:
            entry = "TileY < 0";
            break;
        case ProblemKind::WindowDelta:
            entry = "Windowdelta not supported yet";
            break;
        case ProblemKind::UnreadableSpriteFile:
            entry = std::string(kUnreadableSpriteFileEntry) + std::string(FileNameOnly(p.file));
            if (!p.text.empty()) entry += " (" + p.text + ")";
            break;
        case ProblemKind::DamagedSprite:
            entry = std::string(kDamagedSpriteEntry) + p.text;
            break;
        case ProblemKind::SpritesNotRead:
            entry = "Sprite file " + std::string(FileNameOnly(p.file)) + ": " + std::to_string(p.code) + " of its " +
                    p.subject + " sprites could not be read (" + p.text + "); the elements that show them draw nothing";
            break;
        case ProblemKind::MusicNotPlayed:
            entry = std::string(kMusicNotPlayedEntry) + p.file + ": " + p.text;
            break;
        case ProblemKind::Edited:
            return p.text;
        case ProblemKind::Note:
        case ProblemKind::ParseRemark:
        case ProblemKind::PackageNote:
            entry = p.text;
            break;
    }
    EndLine(entry);
    return entry;
}

void ErrorLog::Append(std::string_view entry) {
    if (entry.empty()) return;
    Add(Problem{.kind = ProblemKind::Note, .text = std::string(entry)});
}

void ErrorLog::Add(Problem problem) {
    m_text += RenderProblem(problem);
    m_records.push_back(std::move(problem));
}

void ErrorLog::AddAll(const std::vector<Problem>& problems) {
    for (const Problem& p : problems) Add(p);
}

void ErrorLog::Clear() {
    m_records.clear();
    m_text.clear();
}

void ErrorLog::SetText(std::string text) {
    Clear();
    if (!text.empty()) Add(Problem{.kind = ProblemKind::Edited, .text = std::move(text)});
}

void ErrorLog::Truncate(size_t count) {
    if (count >= m_records.size()) return;
    std::vector<Problem> kept(m_records.begin(), m_records.begin() + static_cast<std::ptrdiff_t>(count));
    Clear();
    AddAll(kept);
}

const Problem* ProblemAtTextLine(const ErrorLog& log, size_t textLine) {
    size_t line = 0;
    for (const Problem& problem : log.Records()) {
        const std::string entry = RenderProblem(problem);
        size_t ends = 0;
        for (size_t i = 0; i < entry.size(); ++i) {
            if (entry[i] == '\r' && i + 1 < entry.size() && entry[i + 1] == '\n') ++i;
            if (entry[i] == '\r' || entry[i] == '\n') ++ends;
        }
        // An entry always ends its last line (RenderProblem), except text typed into the window.
        const size_t lines = std::max<size_t>(ends + (entry.empty() || (entry.back() != '\n' && entry.back() != '\r') ? 1 : 0), 1);
        if (textLine < line + lines) return &problem;
        line += lines;
    }
    return nullptr;
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

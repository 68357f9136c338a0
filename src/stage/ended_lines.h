#pragma once
// A definition's text as lines that keep their own line ends, so that rewriting a few lines leaves
// every other byte of the author's file as it was (LF, CR LF and CR files all exist).
#include <string>
#include <string_view>
#include <vector>

namespace qb {

// A line of the file and the line end it had: "\r\n", "\n", "\r", or empty for a last line without one.
struct EndedLine {
    std::string body;
    std::string eol;
};

inline std::vector<EndedLine> SplitKeepingEnds(std::string_view bytes) {
    std::vector<EndedLine> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.push_back({std::string(bytes.substr(pos)), ""});
            break;
        }
        size_t next = end + 1;
        if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
        lines.push_back({std::string(bytes.substr(pos, end - pos)), std::string(bytes.substr(end, next - end))});
        pos = next;
    }
    return lines;
}

// The line end most of the file's lines have (for lines added to it); CR LF for a file without any,
// as the engine's own files are written.
inline std::string DominantEol(const std::vector<EndedLine>& lines) {
    size_t crlf = 0, lf = 0, cr = 0;
    for (const EndedLine& l : lines) {
        if (l.eol == "\r\n")
            ++crlf;
        else if (l.eol == "\n")
            ++lf;
        else if (l.eol == "\r")
            ++cr;
    }
    if (lf > crlf && lf >= cr) return "\n";
    if (cr > crlf && cr > lf) return "\r";
    return "\r\n";
}

}  // namespace qb

#include "stage/write_back.h"

#include <optional>

#include "platform/paths.h"
#include "platform/text_util.h"
#include "stage/stage_line_source.h"

namespace qb {
namespace {

constexpr size_t kMaxDefBytes = 64u * 1024u * 1024u;

struct RawLine {
    std::string body;
    std::string eol;  // "\r\n", "\n", "\r" or empty for a last line without one
};

std::vector<RawLine> SplitKeepingEnds(const std::string& bytes) {
    std::vector<RawLine> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            lines.push_back({bytes.substr(pos), ""});
            break;
        }
        size_t next = end + 1;
        if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
        lines.push_back({bytes.substr(pos, end - pos), bytes.substr(end, next - end)});
        pos = next;
    }
    return lines;
}

enum class SectionKind { Other, Camera, Element };

struct Section {
    SectionKind kind = SectionKind::Other;
    int element = -1;
    size_t first = 0;  // header line
    size_t end = 0;    // one past the last line
};

// The key of a cleaned line ("start" of "  Start = 1,2"), lower-cased; empty without "=".
std::string KeyOf(const std::string& cleaned) {
    size_t eq = cleaned.find('=');
    if (eq == std::string::npos) return {};
    return text::Lower(text::Trim(std::string_view(cleaned).substr(0, eq)));
}

// Sections as the stage parser sees them: a bracketed line without "=" starts one; an element is a
// "BG" header that names neither "DEF" nor "CTRL", and an element typed "null" after the first is
// dropped by the parser, so it does not count here either.
std::vector<Section> FindSections(const std::vector<RawLine>& lines) {
    std::vector<Section> sections;
    int elements = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string cleaned = lines[i].body;
        if (!CleanStageLine(cleaned)) continue;
        size_t open = cleaned.find('['), close = cleaned.find(']');
        if (open == std::string::npos || close == std::string::npos || cleaned.find('=') != std::string::npos)
            continue;
        if (!sections.empty()) sections.back().end = i;
        Section s;
        s.first = i;
        const std::string upper = text::Upper(cleaned);
        const std::string name = close > open ? text::Lower(cleaned.substr(open + 1, close - open - 1)) : "";
        if (name == "camera") {
            s.kind = SectionKind::Camera;
        } else if (upper.find("BG") != std::string::npos && upper.find("DEF") == std::string::npos &&
                   upper.find("CTRL") == std::string::npos) {
            s.kind = SectionKind::Element;
            s.element = elements++;
        }
        sections.push_back(s);
    }
    if (!sections.empty()) sections.back().end = lines.size();
    for (Section& s : sections) {
        if (s.kind != SectionKind::Element || s.element == 0) continue;
        for (size_t i = s.first + 1; i < s.end; ++i) {
            std::string cleaned = lines[i].body;
            if (!CleanStageLine(cleaned) || KeyOf(cleaned) != "type") continue;
            std::string value(text::Trim(std::string_view(cleaned).substr(cleaned.find('=') + 1)));
            value = text::Lower(value.substr(0, value.find(' ')));
            if (value == "null") {
                s.kind = SectionKind::Other;
                for (Section& later : sections)
                    if (later.kind == SectionKind::Element && later.element > s.element) --later.element;
            }
            break;
        }
    }
    return sections;
}

struct KeyValue {
    std::string key;
    std::string value;
};

std::string Num(double v) {
    return text::NumberText(v);
}
std::string Pair(double a, double b) {
    return Num(a) + "," + Num(b);
}

// The keys whose values changed, with their new text.
std::vector<KeyValue> ChangedCamera(const EditableValues& a, const EditableValues& b) {
    std::vector<KeyValue> out;
    if (a.StartX != b.StartX) out.push_back({"startx", Num(b.StartX)});
    if (a.StartY != b.StartY) out.push_back({"starty", Num(b.StartY)});
    if (a.BoundLeft != b.BoundLeft) out.push_back({"boundleft", Num(b.BoundLeft)});
    if (a.BoundRight != b.BoundRight) out.push_back({"boundright", Num(b.BoundRight)});
    if (a.BoundHigh != b.BoundHigh) out.push_back({"boundhigh", Num(b.BoundHigh)});
    if (a.BoundLow != b.BoundLow) out.push_back({"boundlow", Num(b.BoundLow)});
    return out;
}

std::vector<KeyValue> ChangedElement(const EditableElement& a, const EditableElement& b) {
    std::vector<KeyValue> out;
    if (a.Type != b.Type) {
        std::string type;
        for (char c : b.Type)
            if (c != '\r' && c != '\n' && c != ';' && c != '\0') type += c;
        out.push_back({"type", type});
    }
    if (a.StartX != b.StartX || a.StartY != b.StartY) out.push_back({"start", Pair(b.StartX, b.StartY)});
    if (a.DeltaX != b.DeltaX || a.DeltaY != b.DeltaY) out.push_back({"delta", Pair(b.DeltaX, b.DeltaY)});
    if (a.VelocityX != b.VelocityX || a.VelocityY != b.VelocityY)
        out.push_back({"velocity", Pair(b.VelocityX, b.VelocityY)});
    if (a.TileX != b.TileX || a.TileY != b.TileY) out.push_back({"tile", Pair(b.TileX, b.TileY)});
    if (a.TileSpacingX != b.TileSpacingX || a.TileSpacingY != b.TileSpacingY)
        out.push_back({"tilespacing", Pair(b.TileSpacingX, b.TileSpacingY)});
    if (a.Mask != b.Mask) out.push_back({"mask", Num(b.Mask)});
    return out;
}

// The line with its value replaced: the text up to and including the first "=", a blank, the value,
// then the blanks and comment that followed the old value.
std::string ReplaceValue(const std::string& body, const std::string& value) {
    const size_t eq = body.find('=');
    size_t valueEnd = body.find(';', eq);
    if (valueEnd == std::string::npos) valueEnd = body.size();
    size_t keepFrom = valueEnd;
    while (keepFrom > eq + 1 && (body[keepFrom - 1] == ' ' || body[keepFrom - 1] == '\t')) --keepFrom;
    if (valueEnd == body.size()) keepFrom = body.size();  // trailing blanks without a comment go
    return body.substr(0, eq + 1) + " " + value + body.substr(keepFrom);
}

// The line end the file uses most (CR LF for a file without any).
std::string FileEol(const std::vector<RawLine>& lines) {
    int crlf = 0, lf = 0, cr = 0;
    for (const RawLine& l : lines) {
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

void ApplySection(std::vector<RawLine>& lines, const Section& s, const std::vector<KeyValue>& changes,
                  std::vector<std::vector<RawLine>>& inserts, WriteBackResult& result) {
    size_t lastContent = s.first;
    std::vector<bool> found(changes.size(), false);
    bool typeDone = false;
    for (size_t i = s.first + 1; i < s.end; ++i) {
        std::string cleaned = lines[i].body;
        if (!CleanStageLine(cleaned)) continue;
        lastContent = i;
        const std::string key = KeyOf(cleaned);
        for (size_t k = 0; k < changes.size(); ++k) {
            if (changes[k].key != key) continue;
            // The parser takes an element's first type line only; the others stay as they are.
            if (key == "type" && typeDone) continue;
            typeDone = typeDone || key == "type";
            lines[i].body = ReplaceValue(lines[i].body, changes[k].value);
            found[k] = true;
            ++result.linesChanged;
        }
    }
    const std::string eol = FileEol(lines);
    for (size_t k = 0; k < changes.size(); ++k) {
        if (found[k]) continue;
        inserts[lastContent].push_back({changes[k].key + " = " + changes[k].value, eol});
        ++result.linesAdded;
    }
}

}  // namespace

EditableValues CaptureEditable(const StageModel& stage) {
    EditableValues v;
    v.StartX = stage.StartX;
    v.StartY = stage.StartY;
    v.BoundLeft = stage.BoundLeft;
    v.BoundRight = stage.BoundRight;
    v.BoundHigh = stage.BoundHigh;
    v.BoundLow = stage.BoundLow;
    for (const BgElement& e : stage.Elements) {
        EditableElement x;
        x.StartX = text::RoundClampInt32(e.BaseX);
        x.StartY = text::RoundClampInt32(e.BaseY);
        x.DeltaX = e.DeltaX;
        x.DeltaY = e.DeltaY;
        x.VelocityX = e.VelocityX;
        x.VelocityY = e.VelocityY;
        x.TileX = e.TileX;
        x.TileY = e.TileY;
        x.TileSpacingX = e.TileSpacingX;
        x.TileSpacingY = e.TileSpacingY;
        x.Mask = e.Mask;
        x.Type = e.Type;
        v.Elements.push_back(std::move(x));
    }
    return v;
}

WriteBackResult WriteBackStage(const std::string& defPath, const EditableValues& before,
                               const EditableValues& after, const std::function<bool()>& beforeRename) {
    WriteBackResult result;
    if (before.Elements.size() != after.Elements.size()) {
        result.error = "Elements were added or removed; the stage file cannot be matched to them";
        return result;
    }
    const std::optional<std::string> bytes = ReadFileBytes(defPath, kMaxDefBytes);
    if (!bytes) {
        result.error = "Cannot read " + defPath;
        return result;
    }
    std::vector<RawLine> lines = SplitKeepingEnds(*bytes);
    const std::vector<Section> sections = FindSections(lines);
    size_t elementSections = 0;
    for (const Section& s : sections)
        if (s.kind == SectionKind::Element) ++elementSections;
    if (elementSections != after.Elements.size()) {
        result.error = "The stage file no longer matches the loaded stage";
        return result;
    }

    std::vector<std::vector<RawLine>> inserts(lines.size());
    bool cameraSeen = false;
    for (const Section& s : sections) {
        if (s.kind == SectionKind::Camera && !cameraSeen) {
            cameraSeen = true;
            ApplySection(lines, s, ChangedCamera(before, after), inserts, result);
        } else if (s.kind == SectionKind::Element) {
            const size_t i = static_cast<size_t>(s.element);
            ApplySection(lines, s, ChangedElement(before.Elements[i], after.Elements[i]), inserts, result);
        }
    }
    if (!cameraSeen && !ChangedCamera(before, after).empty()) {
        result.error = "The stage file has no [Camera] section";
        return result;
    }
    if (result.linesChanged == 0 && result.linesAdded == 0) {
        result.ok = true;
        return result;
    }

    std::string out;
    out.reserve(bytes->size() + 256);
    const std::string eol = FileEol(lines);
    for (size_t i = 0; i < lines.size(); ++i) {
        out += lines[i].body;
        // A section's last line may be the file's last, without a line end: it needs one now.
        out += (lines[i].eol.empty() && !inserts[i].empty()) ? eol : lines[i].eol;
        for (size_t k = 0; k < inserts[i].size(); ++k) {
            out += inserts[i][k].body;
            const bool lastOfFile = i + 1 == lines.size() && k + 1 == inserts[i].size();
            out += lastOfFile && lines[i].eol.empty() ? "" : inserts[i][k].eol;
        }
    }

    const std::string backup = defPath + ".bak";
    if (!FileExists(backup) && !WriteFileAtomic(backup, *bytes)) {
        result.error = "Cannot keep the previous file as " + backup;
        return result;
    }
    if (!WriteFileAtomic(defPath, out, beforeRename)) {
        result.error = "Cannot write " + defPath;
        result.linesChanged = result.linesAdded = 0;
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace qb

#include "stage/write_back.h"

#include <algorithm>
#include <map>
#include <optional>

#include "platform/paths.h"
#include "platform/text_util.h"
#include "stage/stage_writer.h"

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

struct KeyValue {
    std::string key;
    std::string value;
    // A key this one takes the place of: when the element has no line of `key` but one of this,
    // that line becomes the `key` line (a window that changed its kind).
    std::string replaces = {};
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
    if (a.ScaleStartX != b.ScaleStartX || a.ScaleStartY != b.ScaleStartY)
        out.push_back({"scalestart", Pair(b.ScaleStartX, b.ScaleStartY)});
    if (a.ScaleDeltaX != b.ScaleDeltaX || a.ScaleDeltaY != b.ScaleDeltaY)
        out.push_back({"scaledelta", Pair(b.ScaleDeltaX, b.ScaleDeltaY)});
    if (a.ZoomDelta != b.ZoomDelta) out.push_back({"zoomdelta", Num(b.ZoomDelta)});
    // A width or a window the edit took away has no line to write: the editor keeps them.
    if (b.WidthGiven != 0 &&
        (a.WidthGiven != b.WidthGiven || a.WidthTop != b.WidthTop || a.WidthBottom != b.WidthBottom))
        out.push_back({"width", Pair(b.WidthTop, b.WidthBottom)});
    if (b.WindowKind != 0 &&
        (a.WindowKind != b.WindowKind || a.WindowX1 != b.WindowX1 || a.WindowY1 != b.WindowY1 ||
         a.WindowX2 != b.WindowX2 || a.WindowY2 != b.WindowY2)) {
        const bool mask = b.WindowKind == 2;
        out.push_back({mask ? "maskwindow" : "window",
                       Pair(b.WindowX1, b.WindowY1) + "," + Pair(b.WindowX2, b.WindowY2),
                       mask ? "window" : "maskwindow"});
    }
    return out;
}

// The line with its value replaced; the blanks and tabs around "=", the blanks before a comment and
// the comment stay as written.
std::string ReplaceValue(const std::string& body, const std::string& value) {
    const size_t eq = body.find('=');
    size_t valueStart = eq + 1;
    while (valueStart < body.size() && (body[valueStart] == ' ' || body[valueStart] == '\t')) ++valueStart;
    size_t valueEnd = body.find(';', valueStart);
    if (valueEnd == std::string::npos) valueEnd = body.size();
    while (valueEnd > valueStart && (body[valueEnd - 1] == ' ' || body[valueEnd - 1] == '\t')) --valueEnd;
    return body.substr(0, valueStart) + value + body.substr(valueEnd);
}

// The line as a `key` line with `value`: its indentation, the blanks around "=" and its comment stay.
std::string ReplaceKeyAndValue(const std::string& body, const std::string& key, const std::string& value) {
    const std::string replaced = ReplaceValue(body, value);
    const size_t keyStart = std::min(replaced.find_first_not_of(" \t"), replaced.find('='));
    size_t keyEnd = replaced.find('=');
    while (keyEnd > keyStart && (replaced[keyEnd - 1] == ' ' || replaced[keyEnd - 1] == '\t')) --keyEnd;
    return replaced.substr(0, keyStart) + key + replaced.substr(keyEnd);
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

// Puts `changes` on the lines `keys` names; a key without one goes after line `anchor`. False when
// the map points outside the text (it was made for another one).
bool Apply(std::vector<RawLine>& lines, const std::map<std::string, int32_t>& keys, int32_t anchor,
           const std::vector<KeyValue>& changes, std::vector<std::vector<RawLine>>& inserts,
           WriteBackResult& result) {
    const std::string eol = FileEol(lines);
    for (const KeyValue& change : changes) {
        auto at = keys.find(change.key);
        const bool renamed = at == keys.end() && !change.replaces.empty();
        if (renamed) at = keys.find(change.replaces);
        if (at != keys.end()) {
            if (at->second < 1 || static_cast<size_t>(at->second) > lines.size()) return false;
            RawLine& line = lines[static_cast<size_t>(at->second) - 1];
            if (line.body.find('=') == std::string::npos) return false;
            line.body = renamed ? ReplaceKeyAndValue(line.body, change.key, change.value)
                                : ReplaceValue(line.body, change.value);
            ++result.linesChanged;
        } else {
            if (anchor < 1 || static_cast<size_t>(anchor) > lines.size()) return false;
            inserts[static_cast<size_t>(anchor) - 1].push_back({change.key + " = " + change.value, eol});
            ++result.linesAdded;
        }
    }
    return true;
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
        x.StartX = e.StartX;
        x.StartY = e.StartY;
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
        x.ScaleStartX = e.ScaleStartX;
        x.ScaleStartY = e.ScaleStartY;
        x.ScaleDeltaX = e.ScaleDeltaX;
        x.ScaleDeltaY = e.ScaleDeltaY;
        x.ZoomDelta = e.ZoomDelta;
        if (e.WidthGiven != 0) {
            x.WidthGiven = 1;
            x.WidthTop = e.XScaleTop;
            x.WidthBottom = e.XScaleBottom;
        }
        if (e.HasWindow != 0) {
            // Before the kinds were told apart a window came from a "window" line (kind 0).
            x.WindowKind = e.WindowKind == 2 ? 2 : 1;
            x.WindowX1 = e.WindowX1;
            x.WindowY1 = e.WindowY1;
            x.WindowX2 = e.WindowX2;
            x.WindowY2 = e.WindowY2;
        }
        v.Elements.push_back(std::move(x));
    }
    return v;
}

WriteBackResult WriteBackStage(const std::string& defPath, const StageSource& source,
                               const EditableValues& before, const EditableValues& after,
                               const WriteBackOptions& options) {
    WriteBackResult result;
    if (before.Elements.size() != after.Elements.size()) {
        result.error = "Elements were added or removed; the stage file cannot be matched to them";
        return result;
    }
    if (!source.Complete || source.Elements.size() != after.Elements.size()) {
        result.error = "The stage file no longer matches the loaded stage";
        return result;
    }
    const std::vector<KeyValue> camera = ChangedCamera(before, after);
    std::vector<std::vector<KeyValue>> elements;
    bool any = !camera.empty();
    for (size_t i = 0; i < after.Elements.size(); ++i) {
        elements.push_back(ChangedElement(before.Elements[i], after.Elements[i]));
        any = any || !elements.back().empty();
    }
    if (!any) {
        result.ok = true;
        return result;
    }

    const std::string target = RewritableStageFile(defPath, "nothing was written", result.error);
    if (target.empty()) return result;
    const std::optional<std::string> onDisk = ReadFileBytes(target, kMaxDefBytes);
    if (!onDisk) {
        result.error = "Cannot read " + defPath;
        return result;
    }
    // Another program's edit since the load: the map no longer describes the file, and writing the
    // loaded text would undo that edit. Only the user's word (for this very text) lets it go.
    if (*onDisk != source.Bytes &&
        !(options.acceptedDiskVersion && *options.acceptedDiskVersion == *onDisk)) {
        result.diskChanged = true;
        result.diskBytes = *onDisk;
        result.error =
            "The stage file " + defPath + " changed on disk since it was loaded; nothing was written.";
        return result;
    }

    std::vector<RawLine> lines = SplitKeepingEnds(source.Bytes);
    std::vector<std::vector<RawLine>> inserts(lines.size());
    bool mapped = true;
    if (!camera.empty()) {
        int32_t anchor = 0;
        for (const SourceSection& s : source.Sections) {
            if (s.Kind == SourceSectionKind::Stage && s.Name == "camera") {
                anchor = s.LastLine;
                break;
            }
        }
        bool allKept = true;
        for (const KeyValue& change : camera) allKept = allKept && source.StageKeys.count(change.key) != 0;
        if (anchor == 0 && !allKept) {
            result.error = "The stage file has no [Camera] section";
            return result;
        }
        mapped = Apply(lines, source.StageKeys, anchor, camera, inserts, result);
    }
    for (size_t i = 0; mapped && i < elements.size(); ++i) {
        const ElementSource& e = source.Elements[i];
        mapped = Apply(lines, e.Keys, e.OwnLastLine, elements[i], inserts, result);
    }
    if (!mapped) {
        result = WriteBackResult{};
        result.error = "The stage file no longer matches the loaded stage";
        return result;
    }

    std::string out;
    out.reserve(source.Bytes.size() + 256);
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

    const std::string backup = target + ".bak";
    if (!FileExists(backup) && !WriteFileAtomic(backup, *onDisk)) {
        result = WriteBackResult{};
        result.error = "Cannot keep the previous file as " + backup;
        return result;
    }
    if (!WriteFileAtomic(target, out, options.beforeRename)) {
        result = WriteBackResult{};
        result.error = "Cannot write " + defPath;
        return result;
    }
    result.ok = true;
    result.written = std::move(out);
    return result;
}

}  // namespace qb

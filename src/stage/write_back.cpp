#include "stage/write_back.h"

#include <algorithm>
#include <map>
#include <optional>

#include "platform/paths.h"
#include "platform/text_util.h"
#include "stage/stage_parser.h"
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

// One version of the definition: its lines and where the parser read each value in them.
struct Version {
    const StageSource& map;
    std::vector<RawLine> lines;
};

// The line of a section's `change` in one version (0: none), and whether it is the line of the key
// it replaces. -1 when the map points outside the text or at a line without "=".
int32_t LineOf(const Version& v, const std::map<std::string, int32_t>& keys, const KeyValue& change,
               bool& renamed) {
    auto at = keys.find(change.key);
    renamed = at == keys.end() && !change.replaces.empty();
    if (renamed) at = keys.find(change.replaces);
    if (at == keys.end()) return 0;
    if (at->second < 1 || static_cast<size_t>(at->second) > v.lines.size()) return -1;
    if (v.lines[static_cast<size_t>(at->second) - 1].body.find('=') == std::string::npos) return -1;
    return at->second;
}

// One section's keys in the loaded version and in the version on disk now.
struct SectionPair {
    const std::map<std::string, int32_t>& loadedKeys;
    const std::map<std::string, int32_t>& diskKeys;
    int32_t anchor;     // the disk's line after which a key without one goes
    std::string label;  // "[BG Sky]", for the questions
};

struct Writer {
    const Version& loaded;
    Version& disk;
    std::vector<std::vector<RawLine>>& inserts;
    const std::string& fileName;
    Ui* ui;
    WriteBackResult& result;
    std::string eol = FileEol(disk.lines);

    // Another program changed the line this edit goes to (or added it, or took it out) since the
    // stage was loaded: the user says whose version the line keeps.
    MsgAnswer Ask(const SectionPair& s, int32_t loadedLine, int32_t diskLine, const std::string& mine) {
        std::string text;
        if (diskLine > 0 && loadedLine > 0) {
            text = "Line " + std::to_string(diskLine) + " of " + fileName + " (" + s.label +
                   ") was changed by another program since the stage was loaded:\r\n    " +
                   disk.lines[static_cast<size_t>(diskLine) - 1].body + "\r\nYour edit makes it:\r\n    " +
                   mine;
        } else if (diskLine > 0) {
            text = "Line " + std::to_string(diskLine) + " of " + fileName + " (" + s.label +
                   ") was added by another program since the stage was loaded:\r\n    " +
                   disk.lines[static_cast<size_t>(diskLine) - 1].body + "\r\nYour edit makes it:\r\n    " +
                   mine;
        } else {
            text = "Line " + std::to_string(loadedLine) + " of " + fileName + " (" + s.label +
                   ") as it was loaded was removed by another program:\r\n    " +
                   loaded.lines[static_cast<size_t>(loadedLine) - 1].body +
                   "\r\nYour edit adds at the end of the section:\r\n    " + mine;
        }
        text +=
            "\r\n\r\nWrite mine puts your version of this line into the file, Keep theirs leaves it as "
            "it is on disk, Cancel writes nothing.";
        if (!ui) {
            result.error = "Nothing was written. " + text;
            return MsgAnswer::Cancel;
        }
        return ui->MsgBox(text, MsgIcon::Question, MsgButtons::MineTheirsCancel);
    }

    // Puts `changes` into the disk's lines; a key the disk has no line of goes after the anchor.
    // False when the write is off: a map that points outside its text, or the user's Cancel.
    bool Apply(const SectionPair& s, const std::vector<KeyValue>& changes) {
        for (const KeyValue& change : changes) {
            bool loadedRenamed = false, renamed = false;
            const int32_t was = LineOf(loaded, s.loadedKeys, change, loadedRenamed);
            const int32_t now = LineOf(disk, s.diskKeys, change, renamed);
            if (was < 0 || now < 0) return Mismatch();
            RawLine* line = now > 0 ? &disk.lines[static_cast<size_t>(now) - 1] : nullptr;
            const std::string mine = !line     ? change.key + " = " + change.value
                                     : renamed ? ReplaceKeyAndValue(line->body, change.key, change.value)
                                               : ReplaceValue(line->body, change.value);
            // The same line as loaded (or still none): no one else touched what this edit changes.
            const bool theirs = (was > 0) != (now > 0) ||
                                (was > 0 && loaded.lines[static_cast<size_t>(was) - 1].body != line->body);
            if (theirs) {
                if (line && line->body == mine) continue;  // they wrote the same value
                const MsgAnswer answer = Ask(s, was, now, mine);
                if (answer == MsgAnswer::No) {
                    ++result.keptTheirs;
                    continue;
                }
                if (answer != MsgAnswer::Yes) {
                    result.cancelled = ui != nullptr;
                    if (result.error.empty()) result.error = "Nothing was written.";
                    return false;
                }
            }
            if (line) {
                line->body = mine;
                ++result.linesChanged;
            } else {
                if (s.anchor < 1 || static_cast<size_t>(s.anchor) > disk.lines.size()) return Mismatch();
                inserts[static_cast<size_t>(s.anchor) - 1].push_back({mine, eol});
                ++result.linesAdded;
            }
        }
        return true;
    }

    bool Mismatch() {
        result.error = "The stage file no longer matches the loaded stage";
        return false;
    }
};

// What identifies each element in another version of the file: its section's name and how many
// elements before it have that name. Another program may add, remove or move sections around it.
std::vector<std::pair<std::string, int>> ElementIds(const StageSource& source) {
    std::vector<std::pair<std::string, int>> ids(source.Elements.size());
    std::map<std::string, int> seen;
    for (size_t i = 0; i < source.Elements.size(); ++i) {
        for (const SourceSection& s : source.Sections)
            if (s.Kind == SourceSectionKind::Element && s.Header == source.Elements[i].Header)
                ids[i].first = s.Name;
        ids[i].second = seen[ids[i].first]++;
    }
    return ids;
}

int32_t CameraAnchor(const StageSource& source) {
    for (const SourceSection& s : source.Sections)
        if (s.Kind == SourceSectionKind::Stage && s.Name == "camera") return s.LastLine;
    return 0;
}

std::string HeaderText(const Version& v, int32_t header) {
    if (header < 1 || static_cast<size_t>(header) > v.lines.size()) return {};
    std::string text = v.lines[static_cast<size_t>(header) - 1].body;
    text = text.substr(0, text.find(';'));
    return std::string(text::Trim(text));
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
    // Another program (or the music chooser) may have saved the file since the load. The edits go
    // into the text on disk now, found through its own map: writing the loaded text would undo that
    // save. A line both changed is asked about.
    result.merged = *onDisk != source.Bytes;
    const StageSource diskMap = result.merged ? MapStageSource(*onDisk) : StageSource{};
    const Version loaded{source, SplitKeepingEnds(source.Bytes)};
    Version disk{result.merged ? diskMap : source, SplitKeepingEnds(*onDisk)};
    std::vector<std::vector<RawLine>> inserts(disk.lines.size());
    const std::string fileName = FileNameOf(defPath);
    Writer writer{loaded, disk, inserts, fileName, options.ui, result};
    const auto refuse = [&] {
        WriteBackResult refused;
        refused.error = result.error;
        refused.cancelled = result.cancelled;
        result = std::move(refused);
        return result;
    };
    if (!camera.empty()) {
        const int32_t anchor = CameraAnchor(disk.map);
        bool allKept = true;
        for (const KeyValue& change : camera) allKept = allKept && disk.map.StageKeys.count(change.key) != 0;
        if (anchor == 0 && !allKept) {
            result.error = "The stage file has no [Camera] section";
            return refuse();
        }
        if (!writer.Apply({source.StageKeys, disk.map.StageKeys, anchor, "[Camera]"}, camera))
            return refuse();
    }
    const auto loadedIds = ElementIds(source);
    const auto diskIds = ElementIds(disk.map);
    for (size_t i = 0; i < elements.size(); ++i) {
        if (elements[i].empty()) continue;
        const auto found = std::find(diskIds.begin(), diskIds.end(), loadedIds[i]);
        if (found == diskIds.end()) {
            // Its section is gone (or renamed, or made null): there is nowhere to put the edits.
            result.error = HeaderText(loaded, source.Elements[i].Header) + " (line " +
                           std::to_string(source.Elements[i].Header) +
                           " when the stage was loaded) is no longer in " + fileName +
                           ": its edits have nowhere to go, and nothing was written. Reload takes the "
                           "file's version.";
            return refuse();
        }
        const ElementSource& e = disk.map.Elements[static_cast<size_t>(found - diskIds.begin())];
        const SectionPair pair{source.Elements[i].Keys, e.Keys, e.OwnLastLine, HeaderText(disk, e.Header)};
        if (!writer.Apply(pair, elements[i])) return refuse();
    }

    std::string out;
    out.reserve(onDisk->size() + 256);
    std::vector<RawLine>& lines = disk.lines;
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
    // Every edited line kept as the other program wrote it: the file stays as it is.
    if (result.linesChanged + result.linesAdded == 0) {
        result.ok = true;
        return result;
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

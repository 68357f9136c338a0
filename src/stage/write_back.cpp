#include "stage/write_back.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include "platform/paths.h"
#include "platform/text_util.h"
#include "stage/ended_lines.h"
#include "stage/stage_parser.h"
#include "stage/stage_writer.h"

namespace qb {
namespace {

constexpr size_t kMaxDefBytes = 64u * 1024u * 1024u;

using RawLine = EndedLine;

struct KeyValue {
    std::string key;
    std::vector<std::string> members;  // the new text of each value
    // Per member: its value did not change, so the line keeps the text it has for it.
    std::vector<bool> same;
    // A key this one takes the place of: when the element has no line of `key` but one of this,
    // or this one is read after it (and so wins), that line becomes the `key` line (a window that
    // changed its kind).
    std::string replaces = {};
};

std::string Num(float v) {
    return text::FloatText(v);
}
std::string Num(int32_t v) {
    return std::to_string(v);
}

// Adds `key` when any of its values differ, or all of them when `whole` (the line is new in kind).
template <typename T, size_t N>
void Add(std::vector<KeyValue>& out, const std::string& key, const std::array<T, N>& was,
         const std::array<T, N>& now, bool whole = false, const std::string& replaces = {}) {
    if (!whole && was == now) return;
    KeyValue change{key, {}, {}, replaces};
    for (size_t i = 0; i < N; ++i) {
        change.members.push_back(Num(now[i]));
        change.same.push_back(!whole && was[i] == now[i]);
    }
    out.push_back(std::move(change));
}

// The keys whose values changed, with their new text.
std::vector<KeyValue> ChangedCamera(const EditableValues& a, const EditableValues& b) {
    std::vector<KeyValue> out;
    Add<float, 1>(out, "startx", {a.StartX}, {b.StartX});
    Add<int32_t, 1>(out, "starty", {a.StartY}, {b.StartY});
    Add<int32_t, 1>(out, "boundleft", {a.BoundLeft}, {b.BoundLeft});
    Add<int32_t, 1>(out, "boundright", {a.BoundRight}, {b.BoundRight});
    Add<int32_t, 1>(out, "boundhigh", {a.BoundHigh}, {b.BoundHigh});
    Add<int32_t, 1>(out, "boundlow", {a.BoundLow}, {b.BoundLow});
    return out;
}

std::vector<KeyValue> ChangedElement(const EditableElement& a, const EditableElement& b) {
    std::vector<KeyValue> out;
    if (a.Type != b.Type) {
        std::string type;
        for (char c : b.Type)
            if (c != '\r' && c != '\n' && c != ';' && c != '\0') type += c;
        out.push_back({"type", {type}, {false}});
    }
    Add<int32_t, 2>(out, "spriteno", {a.SpriteGroup, a.SpriteImage}, {b.SpriteGroup, b.SpriteImage});
    Add<int32_t, 2>(out, "start", {a.StartX, a.StartY}, {b.StartX, b.StartY});
    Add<float, 2>(out, "delta", {a.DeltaX, a.DeltaY}, {b.DeltaX, b.DeltaY});
    Add<float, 2>(out, "velocity", {a.VelocityX, a.VelocityY}, {b.VelocityX, b.VelocityY});
    Add<int32_t, 2>(out, "tile", {a.TileX, a.TileY}, {b.TileX, b.TileY});
    Add<int32_t, 2>(out, "tilespacing", {a.TileSpacingX, a.TileSpacingY}, {b.TileSpacingX, b.TileSpacingY});
    Add<int32_t, 1>(out, "mask", {a.Mask}, {b.Mask});
    Add<int32_t, 1>(out, "layerno", {a.LayerNo}, {b.LayerNo});
    Add<float, 2>(out, "scalestart", {a.ScaleStartX, a.ScaleStartY}, {b.ScaleStartX, b.ScaleStartY});
    Add<float, 2>(out, "scaledelta", {a.ScaleDeltaX, a.ScaleDeltaY}, {b.ScaleDeltaX, b.ScaleDeltaY});
    Add<float, 1>(out, "zoomdelta", {a.ZoomDelta}, {b.ZoomDelta});
    // A width or a window the edit took away has no line to write: the editor keeps them.
    if (b.WidthGiven != 0)
        Add<float, 2>(out, "width", {a.WidthTop, a.WidthBottom}, {b.WidthTop, b.WidthBottom}, a.WidthGiven == 0);
    if (b.WindowKind != 0) {
        const bool mask = b.WindowKind == 2;
        Add<float, 4>(out, mask ? "maskwindow" : "window", {a.WindowX1, a.WindowY1, a.WindowX2, a.WindowY2},
                      {b.WindowX1, b.WindowY1, b.WindowX2, b.WindowY2}, a.WindowKind != b.WindowKind,
                      mask ? "window" : "maskwindow");
    }
    return out;
}

// Where each value of a key line stands, as the reader splits them: at the commas before any ";",
// each value the word after its blanks (the reader stops a value at a blank). Empty without "=".
std::vector<std::pair<size_t, size_t>> MemberSpans(const std::string& body) {
    std::vector<std::pair<size_t, size_t>> spans;
    const size_t eq = body.find('=');
    if (eq == std::string::npos) return spans;
    size_t comment = body.find(';', eq);
    if (comment == std::string::npos) comment = body.size();
    for (size_t pos = eq + 1;;) {
        size_t b = pos;
        while (b < comment && (body[b] == ' ' || body[b] == '\t')) ++b;
        size_t e = b;
        while (e < comment && body[e] != ',' && body[e] != ' ' && body[e] != '\t') ++e;
        spans.emplace_back(b, e);
        const size_t comma = body.find(',', pos);
        if (comma == std::string::npos || comma >= comment) break;
        pos = comma + 1;
    }
    return spans;
}

// The line with its values replaced: a value that did not change keeps its text, and the blanks
// and tabs around "=", whatever follows the last value written (a note, a comment) stay as written.
std::string ReplaceValue(const std::string& body, const KeyValue& change) {
    const std::vector<std::pair<size_t, size_t>> spans = MemberSpans(body);
    if (spans.empty()) return body;
    std::string value;
    size_t tail = spans.front().first;
    for (size_t i = 0; i < change.members.size(); ++i) {
        std::string member = change.members[i];
        if (i < spans.size()) {
            const auto [b, e] = spans[i];
            if (change.same[i] && e > b) member = body.substr(b, e - b);
            tail = e;
        }
        value += (i == 0 ? "" : ",") + member;
    }
    return body.substr(0, spans.front().first) + value + body.substr(tail);
}

// The line as a `key` line with `value`: its indentation, the blanks around "=" and its comment stay.
std::string ReplaceKeyAndValue(const std::string& body, const KeyValue& change) {
    const std::string replaced = ReplaceValue(body, change);
    const size_t keyStart = std::min(replaced.find_first_not_of(" \t"), replaced.find('='));
    size_t keyEnd = replaced.find('=');
    while (keyEnd > keyStart && (replaced[keyEnd - 1] == ' ' || replaced[keyEnd - 1] == '\t')) --keyEnd;
    return replaced.substr(0, keyStart) + change.key + replaced.substr(keyEnd);
}

std::string Joined(const KeyValue& change) {
    std::string value;
    for (size_t i = 0; i < change.members.size(); ++i) value += (i == 0 ? "" : ",") + change.members[i];
    return value;
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
    const auto other = change.replaces.empty() ? keys.end() : keys.find(change.replaces);
    // With lines of both keys the one read last wins on reading: the edit goes there.
    renamed = other != keys.end() && (at == keys.end() || other->second > at->second);
    if (renamed) at = other;
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
    std::string eol = DominantEol(disk.lines);

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
            const std::string mine = !line     ? change.key + " = " + Joined(change)
                                     : renamed ? ReplaceKeyAndValue(line->body, change)
                                               : ReplaceValue(line->body, change);
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
    for (size_t i = 0; i < stage.Elements.size(); ++i) {
        const BgElement& e = stage.Elements[i];
        EditableElement x;
        x.StartX = e.StartX;
        x.StartY = e.StartY;
        if (e.PositionLink == 0 || i == 0) {
            x.DeltaX = e.DeltaX;
            x.DeltaY = e.DeltaY;
            x.VelocityX = e.VelocityX;
            x.VelocityY = e.VelocityY;
        }
        x.LayerNo = e.LayerNo;
        x.SpriteGroup = e.SpriteGroup;
        x.SpriteImage = e.SpriteImage;
        x.TileX = e.TileX;
        x.TileY = e.TileY;
        x.TileSpacingX = e.TileSpacingX;
        x.TileSpacingY = e.TileSpacingY;
        x.Mask = FileMask(e, i);
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

std::vector<std::string> WrittenMembers(const StageSource& source, size_t element, const std::string& key) {
    std::vector<std::string> members;
    if (element >= source.Elements.size()) return members;
    const auto at = source.Elements[element].Keys.find(key);
    if (at == source.Elements[element].Keys.end() || at->second < 1) return members;
    const std::vector<RawLine> lines = SplitKeepingEnds(source.Bytes);
    if (static_cast<size_t>(at->second) > lines.size()) return members;
    const std::string& body = lines[static_cast<size_t>(at->second) - 1].body;
    for (const auto& [b, e] : MemberSpans(body)) members.push_back(body.substr(b, e - b));
    return members;
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
    const size_t count = after.Elements.size();
    std::vector<bool> placed(count, false);
    for (size_t slot = 0; slot < after.Order.size(); ++slot) {
        const int16_t from = after.Order[slot];
        if (after.Order.size() != count || from < 0 || static_cast<size_t>(from) >= count || placed[from]) {
            result.error = "The drawing order does not name each element once; nothing was written";
            return result;
        }
        placed[static_cast<size_t>(from)] = true;
        if (static_cast<size_t>(from) == slot) continue;
        // Keys under a later header ([Music]) are read into the element before it, whichever that is.
        const ElementSource& e = source.Elements[slot];
        if (e.LastLine > e.OwnLastLine) {
            result.error = "The keys after the section of element " + std::to_string(slot + 1) +
                           " (line " + std::to_string(e.OwnLastLine + 1) +
                           " on) belong to it; its place in the drawing order cannot be changed in the file";
            return result;
        }
        ++result.sectionsMoved;
    }
    const std::vector<KeyValue> camera = ChangedCamera(before, after);
    std::vector<std::vector<KeyValue>> elements;
    bool any = !camera.empty() || result.sectionsMoved > 0;
    for (size_t i = 0; i < after.Elements.size(); ++i) {
        elements.push_back(ChangedElement(before.Elements[i], after.Elements[i]));
        any = any || !elements.back().empty();
    }
    if (!any) {
        result = WriteBackResult{};
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

    // The lines in their new order: each element's place (header to its own last line) takes the
    // lines of the element the order puts there, with the lines added to them. The sections are
    // those of the loaded file: into a file another program changed since, a new order is not
    // written (its sections may no longer be where they were).
    std::vector<RawLine>& lines = disk.lines;
    if (result.merged && result.sectionsMoved > 0) {
        result.error = "The stage file was changed by another program since the stage was loaded: the new "
                       "drawing order cannot be written into it, and nothing was written. Reload takes the "
                       "file's version.";
        return refuse();
    }
    bool mapped = true;
    std::vector<size_t> order;
    order.reserve(lines.size());
    size_t next = 0;
    for (size_t slot = 0; slot < after.Order.size() && mapped; ++slot) {
        const ElementSource& place = source.Elements[slot];
        const ElementSource& from = source.Elements[static_cast<size_t>(after.Order[slot])];
        mapped = place.Header >= 1 && from.Header >= 1 && place.OwnLastLine >= place.Header &&
                 from.OwnLastLine >= from.Header && static_cast<size_t>(place.OwnLastLine) <= lines.size() &&
                 static_cast<size_t>(from.OwnLastLine) <= lines.size() &&
                 static_cast<size_t>(place.Header) > next;
        if (!mapped) break;
        while (next + 1 < static_cast<size_t>(place.Header)) order.push_back(next++);
        for (int32_t l = from.Header; l <= from.OwnLastLine; ++l) order.push_back(static_cast<size_t>(l) - 1);
        next = static_cast<size_t>(place.OwnLastLine);
    }
    if (!mapped) {
        result = WriteBackResult{};
        result.error = "The stage file no longer matches the loaded stage";
        return result;
    }
    while (next < lines.size()) order.push_back(next++);

    std::string out;
    out.reserve(onDisk->size() + 256);
    const std::string eol = DominantEol(lines);
    // A file without a line end after its last line keeps it so, whichever line ends it now; a line
    // that ended the file and no longer does needs one.
    const bool bareEnd = !lines.empty() && lines.back().eol.empty();
    for (size_t n = 0; n < order.size(); ++n) {
        const RawLine& line = lines[order[n]];
        const std::vector<RawLine>& added = inserts[order[n]];
        const bool last = n + 1 == order.size();
        out += line.body;
        if (!(last && added.empty() && bareEnd)) out += line.eol.empty() ? eol : line.eol;
        for (size_t k = 0; k < added.size(); ++k) {
            out += added[k].body;
            if (!(last && k + 1 == added.size() && bareEnd)) out += added[k].eol;
        }
    }
    // Every edited line kept as the other program wrote it: the file stays as it is.
    if (result.linesChanged + result.linesAdded + result.sectionsMoved == 0) {
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

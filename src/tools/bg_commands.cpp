#include "tools/bg_commands.h"

#include <cmath>
#include <limits>
#include <optional>

#include "platform/paths.h"
#include "platform/text_util.h"
#include "stage/save_stage.h"
#include "stage/stage_parser.h"

namespace qb {
namespace {

constexpr size_t kMaxTestFile = 64u * 1024u * 1024u;

// The lines of a file with their own line ends, so that a copy changes only what it means to.
std::vector<std::pair<std::string, std::string>> LinesWithEnds(const std::string& bytes) {
    std::vector<std::pair<std::string, std::string>> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            lines.emplace_back(bytes.substr(pos), "");
            break;
        }
        size_t next = end + 1;
        if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
        lines.emplace_back(bytes.substr(pos, end - pos), bytes.substr(end, next - end));
        pos = next;
    }
    return lines;
}

// The line up to and including the character after its first "=", then `value`, then its comment.
std::string PutValue(const std::string& line, const std::string& value) {
    const size_t eq = line.find('=');
    const size_t keep = std::min(line.size(), eq + 2);
    // Only a comment after the value counts: a ";" before the "=" belongs to the part that is kept.
    return line.substr(0, keep) + value + CommentPart(line.substr(keep));
}

// Rewrites the music lines of test.def (those `isMusicLine` accepts) into `target`.
bool RewriteMusicLines(const std::string& programDir, const std::string& target, const std::string& value,
                       const std::function<bool(const std::string&)>& isMusicLine) {
    const std::optional<std::string> bytes = ReadFileBytes(JoinPath(programDir, "test.def"), kMaxTestFile);
    if (!bytes) return false;
    std::string out;
    out.reserve(bytes->size() + 64);
    for (auto& [line, eol] : LinesWithEnds(*bytes)) {
        out += isMusicLine(line) ? PutValue(line, value) : line;
        out += eol;
    }
    return WriteFileAtomic(JoinPath(programDir, target), out);
}

}  // namespace

void BeginEditBaseline(const StageModel& stage, const StageSource& source, EditState& edit) {
    edit.Baseline = CaptureEditable(stage);
    edit.Origin.clear();
    for (size_t i = 0; i < stage.Elements.size(); ++i) edit.Origin.push_back(static_cast<int16_t>(i));
    edit.Source = source;
    // Steps recorded against the stage before would not fit the one loaded now. The element
    // list's switches stay over a reload of the same table.
    edit.History.Clear();
    if (edit.Preview.Hidden.size() > stage.Elements.size()) edit.Preview.Hidden.resize(stage.Elements.size());
    if (edit.Preview.Solo.size() > stage.Elements.size()) edit.Preview.Solo.resize(stage.Elements.size());
    BgEditorFields& f = edit.Fields;
    for (std::string* box :
         {&f.txtType,        &f.txtGfx,       &f.txtVelX,        &f.txtVelY,        &f.txtDeltaX,
          &f.txtDeltaY,      &f.txtTileX,     &f.txtTileY,       &f.txtTileSpcX,    &f.txtTileSpcY,
          &f.txtXpos,        &f.txtYpos,      &f.txtScaleStartX, &f.txtScaleStartY, &f.txtScaleDeltaX,
          &f.txtScaleDeltaY, &f.txtZoomDelta, &f.txtWidthTop,    &f.txtWidthBottom, &f.txtWindow,
          &f.txtMaskWindow})
        box->clear();
    f.chkMask = false;
}

bool HasUnwrittenEdits(const StageModel& stage, const EditState& edit) {
    const size_t count = edit.Baseline.Elements.size();
    if (stage.Elements.size() != count || edit.Origin.size() != count) return true;
    const EditableValues now = CaptureEditable(stage);
    const EditableValues& was = edit.Baseline;
    if (now.StartX != was.StartX || now.StartY != was.StartY || now.BoundLeft != was.BoundLeft ||
        now.BoundRight != was.BoundRight || now.BoundHigh != was.BoundHigh || now.BoundLow != was.BoundLow)
        return true;
    for (size_t i = 0; i < count; ++i) {
        const int16_t origin = edit.Origin[i];
        if (origin < 0 || static_cast<size_t>(origin) >= count) return true;
        // An element that changed places changed the drawing order, which the file holds too.
        if (static_cast<size_t>(origin) != i || !(now.Elements[i] == was.Elements[i])) return true;
    }
    return false;
}

namespace {

// A float box: the file's own text for the value while it still reads as the value (all its digits,
// "1.263888888888889"), otherwise the shortest text that reads back as it.
std::string Shown(float value, const std::vector<std::string>& written, size_t member) {
    if (member < written.size()) {
        const std::optional<double> v = text::ParseNumber(written[member]);
        if (v && std::fabs(*v) <= std::numeric_limits<float>::max() && static_cast<float>(*v) == value)
            return written[member];
    }
    return text::FloatText(value);
}

}  // namespace

void ShowElement(const StageModel& stage, int16_t index, BgEditorFields& fields, const EditState* file) {
    if (index < 0 || index >= static_cast<int>(stage.Elements.size())) return;
    const BgElement& e = stage.Elements[static_cast<size_t>(index)];
    const auto writtenBy = [&](int16_t element, const std::string& key) {
        if (!file || element < 0 || static_cast<size_t>(element) >= file->Origin.size() || file->Origin[element] < 0)
            return std::vector<std::string>();
        return WrittenMembers(file->Source, static_cast<size_t>(file->Origin[element]), key);
    };
    const auto written = [&](const std::string& key) { return writtenBy(index, key); };
    // A position-linked element moves by its parent's delta and velocity, as the parent writes them.
    const int16_t mover = e.PositionLink != 0 && index > 0 ? e.LinkParent : index;
    const std::vector<std::string> delta = writtenBy(mover, "delta"), velocity = writtenBy(mover, "velocity"),
                                   scaleStart = written("scalestart"), scaleDelta = written("scaledelta"),
                                   width = written("width"),
                                   window = written(e.WindowKind == 2 ? "maskwindow" : "window");
    fields.txtType = e.Type;
    fields.txtGfx = text::NumberText(e.SpriteIndex);
    fields.txtVelX = Shown(e.VelocityX, velocity, 0);
    fields.txtVelY = Shown(e.VelocityY, velocity, 1);
    fields.txtDeltaX = Shown(e.DeltaX, delta, 0);
    fields.txtDeltaY = Shown(e.DeltaY, delta, 1);
    fields.txtTileX = text::NumberText(e.TileX);
    fields.txtTileY = text::NumberText(e.TileY);
    fields.txtTileSpcX = text::NumberText(e.TileSpacingX);
    fields.txtTileSpcY = text::NumberText(e.TileSpacingY);
    fields.chkMask = FileMask(e, static_cast<size_t>(index)) == 1;
    const auto [x, y] = EditedPosition(e);
    fields.txtXpos = text::NumberText(x);
    fields.txtYpos = text::NumberText(y);
    fields.txtScaleStartX = Shown(e.ScaleStartX, scaleStart, 0);
    fields.txtScaleStartY = Shown(e.ScaleStartY, scaleStart, 1);
    fields.txtScaleDeltaX = Shown(e.ScaleDeltaX, scaleDelta, 0);
    fields.txtScaleDeltaY = Shown(e.ScaleDeltaY, scaleDelta, 1);
    fields.txtZoomDelta = Shown(e.ZoomDelta, written("zoomdelta"), 0);
    // Without a width line the two edges hold the xscale factors, which are no width.
    fields.txtWidthTop = e.WidthGiven != 0 ? Shown(e.XScaleTop, width, 0) : std::string();
    fields.txtWidthBottom = e.WidthGiven != 0 ? Shown(e.XScaleBottom, width, 1) : std::string();
    // A line of fewer than four values gives no window: the box shows what it gave, so that Update
    // names it instead of making it a window.
    std::string box;
    const float values[] = {e.WindowX1, e.WindowY1, e.WindowX2, e.WindowY2};
    const int given = e.WindowValues > 0 && e.WindowValues < 4 ? e.WindowValues : 4;
    for (int i = 0; e.HasWindow != 0 && i < given; ++i)
        box += (i == 0 ? "" : ",") + Shown(values[i], window, static_cast<size_t>(i));
    fields.txtWindow = e.WindowKind == 2 ? std::string() : box;
    fields.txtMaskWindow = e.WindowKind == 2 ? box : std::string();
}

bool cmdSave_Click(const StageModel& stage, const std::string& musicFile, const std::string& programDir) {
    return SaveStage(stage, musicFile, JoinPath(programDir, "test.def"));
}

bool Command6_Click(const StageModel& stage, const std::string& musicFile, const std::string& programDir) {
    return SaveStage2(stage, musicFile, JoinPath(programDir, "stage.def"));
}

WriteBackResult WriteToStageFile(const StageModel& stage, EditState& edit, const std::string& stageFile,
                                 const std::function<bool()>& beforeRename, Ui* ui) {
    const size_t fileCount = edit.Baseline.Elements.size();
    const EditableValues now = CaptureEditable(stage);
    EditableValues after = now;
    after.Elements.assign(fileCount, EditableElement{});
    std::vector<bool> seen(fileCount, false);
    bool matched = stage.Elements.size() == fileCount && edit.Origin.size() == fileCount;
    for (size_t i = 0; matched && i < fileCount; ++i) {
        const int16_t origin = edit.Origin[i];
        if (origin < 0 || static_cast<size_t>(origin) >= fileCount || seen[static_cast<size_t>(origin)]) {
            matched = false;
            break;
        }
        seen[static_cast<size_t>(origin)] = true;
        after.Elements[static_cast<size_t>(origin)] = now.Elements[i];
        if (static_cast<size_t>(origin) != i) after.Order = edit.Origin;
    }
    if (!matched) {
        WriteBackResult refused;
        refused.error = "Elements were removed or copied since the stage started; use Save Changes instead";
        return refused;
    }
    WriteBackOptions options;
    options.beforeRename = beforeRename;
    options.ui = ui;
    WriteBackResult result = WriteBackStage(stageFile, edit.Source, edit.Baseline, after, options);
    if (result.ok) {
        // The file now holds the elements in the model's order.
        edit.Baseline = now;
        for (size_t i = 0; i < fileCount; ++i) edit.Origin[i] = static_cast<int16_t>(i);
        // Added lines move the ones after them: the written text is read again for its map.
        if (!result.written.empty()) edit.Source = MapStageSource(result.written);
    }
    return result;
}

std::string CommentPart(const std::string& line) {
    const size_t semicolon = line.find(';');
    if (semicolon == std::string::npos) return {};
    size_t start = semicolon;
    while (start > 0 && (line[start - 1] == ' ' || line[start - 1] == '\t')) --start;
    return line.substr(start);
}

bool Command3_Click(const std::string& programDir) {
    // The value goes in place of the old one, so the lines after it keep their bytes whatever the
    // lengths.
    return RewriteMusicLines(
        programDir, "test.def", JoinPath(programDir, "lalala.mid"), [](const std::string& l) {
            return l.find("bgmusic") != std::string::npos && l.find('=') != std::string::npos;
        });
}

int64_t Command4_Click(const std::string& programDir) {
    const std::optional<std::string> bytes = ReadFileBytes(JoinPath(programDir, "test.def"), kMaxTestFile);
    return bytes ? static_cast<int64_t>(bytes->size()) : -1;
}

bool Command5_Click(const std::string& programDir) {
    return RewriteMusicLines(programDir, "shout.def", "f:\\mugen\\suckme.mp3", [](const std::string& l) {
        const size_t at = l.find("bgmusic");
        if (at == std::string::npos || l.find('=') == std::string::npos) return false;
        const size_t semicolon = l.find(';');
        return semicolon == std::string::npos || semicolon > at;
    });
}

}  // namespace qb

#include "tools/bg_commands.h"

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
        if (!(now.Elements[i] == was.Elements[static_cast<size_t>(origin)])) return true;
    }
    return false;
}

void ShowElement(const StageModel& stage, int16_t index, BgEditorFields& fields) {
    if (index < 0 || index >= static_cast<int>(stage.Elements.size())) return;
    const BgElement& e = stage.Elements[static_cast<size_t>(index)];
    fields.txtType = e.Type;
    fields.txtGfx = text::NumberText(e.SpriteIndex);
    fields.txtVelX = text::NumberText(e.VelocityX);
    fields.txtVelY = text::NumberText(e.VelocityY);
    fields.txtDeltaX = text::NumberText(e.DeltaX);
    fields.txtDeltaY = text::NumberText(e.DeltaY);
    fields.txtTileX = text::NumberText(e.TileX);
    fields.txtTileY = text::NumberText(e.TileY);
    fields.txtTileSpcX = text::NumberText(e.TileSpacingX);
    fields.txtTileSpcY = text::NumberText(e.TileSpacingY);
    fields.chkMask = e.Mask == 1;
    const auto [x, y] = EditedPosition(e);
    fields.txtXpos = text::NumberText(x);
    fields.txtYpos = text::NumberText(y);
    fields.txtScaleStartX = text::NumberText(e.ScaleStartX);
    fields.txtScaleStartY = text::NumberText(e.ScaleStartY);
    fields.txtScaleDeltaX = text::NumberText(e.ScaleDeltaX);
    fields.txtScaleDeltaY = text::NumberText(e.ScaleDeltaY);
    fields.txtZoomDelta = text::NumberText(e.ZoomDelta);
    // Without a width line the two edges hold the xscale factors, which are no width.
    fields.txtWidthTop = e.WidthGiven != 0 ? text::NumberText(e.XScaleTop) : std::string();
    fields.txtWidthBottom = e.WidthGiven != 0 ? text::NumberText(e.XScaleBottom) : std::string();
    // A line of fewer than four values gives no window: the box shows what it gave, so that Update
    // names it instead of making it a window.
    std::string window;
    const float values[] = {e.WindowX1, e.WindowY1, e.WindowX2, e.WindowY2};
    const int given = e.WindowValues > 0 && e.WindowValues < 4 ? e.WindowValues : 4;
    for (int i = 0; e.HasWindow != 0 && i < given; ++i)
        window += (i == 0 ? "" : ",") + text::NumberText(values[i]);
    fields.txtWindow = e.WindowKind == 2 ? std::string() : window;
    fields.txtMaskWindow = e.WindowKind == 2 ? window : std::string();
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
        edit.Baseline = std::move(after);
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

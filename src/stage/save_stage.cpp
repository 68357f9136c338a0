#include "stage/save_stage.h"

#include <algorithm>

#include "platform/paths.h"
#include "platform/text_util.h"

namespace qb {
namespace {

constexpr const char* kEol = "\r\n";

// A line break inside a value would end the line early and the rest would read as a line of its
// own; a NUL cuts the reader's line.
std::string CleanValue(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value)
        if (c != '\r' && c != '\n' && c != '\0') out += c;
    return out;
}

// A section title is read up to its first "]"; a ";" starts a comment and a "=" makes the header read
// as a key line: none of them can be written back so that the same name reads again.
std::string CleanName(std::string_view name) {
    std::string out;
    for (char c : CleanValue(name))
        if (c != ']' && c != ';' && c != '=') out += c;
    return out;
}

std::string Num(double value) {
    return text::NumberText(value);
}

class Writer {
public:
    void Line(const std::string& s) {
        m_text += s;
        m_text += kEol;
    }
    void BlankPair() {
        m_text += kEol;
        m_text += kEol;
    }
    std::string& Text() { return m_text; }

private:
    std::string m_text;
};

void ElementBlock(Writer& w, const BgElement& e, SaveStyle style) {
    const bool two = style == SaveStyle::Stage2;
    const bool anim = e.Type == "anim";
    const std::string sprite =
        "spriteno = " + std::to_string(e.SpriteGroup) + "," + std::to_string(e.SpriteImage);
    const std::string start = "start = " + std::to_string(e.StartX) + "," + std::to_string(e.StartY);

    w.Line("[BG " + CleanName(e.Name) + "]");
    w.Line("type = " + CleanValue(e.Type));
    w.Line(anim ? "actionno = " + std::to_string(e.ActionNo) : sprite);
    if (e.ParallaxAnim) w.Line("actionno = " + std::to_string(e.ActionNo));
    if (!two) w.Line(start);
    if (e.Id > 0) w.Line("ID = " + std::to_string(e.Id));
    if (e.LayerNo == 1) w.Line("layerno = 1");
    if (!two) {
        w.Line(sprite);
        if (e.StartX != 0 && e.StartY != 0) w.Line(start);
    } else if (e.StartX != 0 || e.StartY != 0) {
        w.Line("start = " + std::to_string(text::RoundClampInt32(e.BaseX)) + "," +
               std::to_string(text::RoundClampInt32(e.BaseY)));
    }
    const bool deltaX = e.DeltaX != 1.0f, deltaY = e.DeltaY != 1.0f;
    if (two ? (deltaX || deltaY) : (deltaX && deltaY))
        w.Line("delta = " + Num(e.DeltaX) + "," + Num(e.DeltaY));
    if (!e.Trans.empty() && e.Trans != "none") w.Line("trans = " + CleanValue(e.Trans));
    if (e.Mask == 1 && !(two && anim)) w.Line("mask = 1");
    const bool tileX = e.TileX != 0, tileY = e.TileY != 0;
    if (two ? (tileX || tileY) : (tileX && tileY))
        w.Line("tile = " + std::to_string(e.TileX) + "," + std::to_string(e.TileY));
    const bool spcX = e.TileSpacingX != 0, spcY = e.TileSpacingY != 0;
    bool spacing = spcX && spcY;
    if (two) spacing = anim ? (e.TileSpacingX != 1 || e.TileSpacingX != e.TileSpacingY) : (spcX || spcY);
    if (spacing)
        w.Line("tilespacing = " + std::to_string(e.TileSpacingX) + "," + std::to_string(e.TileSpacingY));
    w.Line("");
}

void ActionBlock(Writer& w, const BgAction& a) {
    w.Line("");
    w.Line("[Begin action " + std::to_string(a.Number) + "]");
    for (const BgFrame& f : a.Frames) {
        std::string line = std::to_string(f.Group) + "," + std::to_string(f.Image) + "," +
                           std::to_string(f.OffsetX) + "," + std::to_string(f.OffsetY) + "," +
                           std::to_string(f.Time);
        if (!f.Flip.empty()) line += "," + CleanValue(f.Flip);
        w.Line(line);
    }
}

bool Save(const StageModel& stage, const std::string& musicFile, const std::string& path, SaveStyle style) {
    return WriteFileAtomic(path, SaveStageText(stage, musicFile, style));
}

}  // namespace

std::string SaveStageText(const StageModel& stage, const std::string& musicFile, SaveStyle style) {
    const bool two = style == SaveStyle::Stage2;
    Writer w;
    w.Line("[Info]");
    w.Line("Name = \"Fenn Test\"");
    w.BlankPair();
    w.Line("[Camera]");
    w.Line("startx = " + Num(stage.StartX));
    w.Line("starty = " + std::to_string(stage.StartY));
    w.Line("boundleft = " + std::to_string(stage.BoundLeft));
    w.Line("boundright = " + std::to_string(stage.BoundRight));
    w.Line("boundhigh = " + std::to_string(stage.BoundHigh));
    w.Line("boundlow = " + std::to_string(stage.BoundLow));
    if (two) {
        w.Line("verticalfollow = " + Num(stage.VerticalFollow));
        w.Line("tension = " + std::to_string(stage.Tension));
    }
    w.BlankPair();
    w.Line("[PlayerInfo]");
    if (two) {
        w.Line("p1startx = " + std::to_string(stage.P1StartX));
        w.Line("p1starty = " + std::to_string(stage.P1StartY));
    }
    w.BlankPair();
    w.Line("[Scaling]");
    w.BlankPair();
    w.Line("[Bound]");
    if (two) {
        w.Line("screenleft = " + std::to_string(stage.ScreenLeft));
        w.Line("screenright = " + std::to_string(stage.ScreenRight));
    }
    w.BlankPair();
    w.Line("[StageInfo]");
    if (two) w.Line("zoffset = " + std::to_string(stage.ZOffset));
    w.BlankPair();
    w.Line("[Shadow]");
    w.BlankPair();
    w.Line("[Music]");
    w.Line("bgmusic = " + CleanValue(musicFile));
    w.BlankPair();
    w.Line("[BGdef]");
    w.Line("spr = " + CleanValue(stage.SpriteFile));
    w.BlankPair();
    for (const BgElement& e : stage.Elements) ElementBlock(w, e, style);
    for (const BgAction& a : stage.Actions)
        if (!a.Frames.empty()) ActionBlock(w, a);
    return std::move(w.Text());
}

bool SaveStage(const StageModel& stage, const std::string& musicFile, const std::string& path) {
    return Save(stage, musicFile, path, SaveStyle::Stage);
}

bool SaveStage2(const StageModel& stage, const std::string& musicFile, const std::string& path) {
    return Save(stage, musicFile, path, SaveStyle::Stage2);
}

}  // namespace qb

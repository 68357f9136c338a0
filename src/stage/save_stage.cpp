#include "stage/save_stage.h"

#include <algorithm>
#include <cstdio>
#include <optional>

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

// The keys of the 1.0 and 1.1 engines are written so that they read back as the same float: the
// short form when it does, else nine significant digits, which always do (a value typed into the
// editor may need more than the short form's seven).
std::string ExactNum(float value) {
    const std::string text = Num(value);
    const std::optional<double> back = text::ParseNumber(text);
    if (back && static_cast<float>(*back) == value) return text;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.9g", static_cast<double>(value));
    return buffer;
}

std::string ExactPair(float a, float b) {
    return ExactNum(a) + "," + ExactNum(b);
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

// The element keys of the 1.0 and 1.1 engines, in both styles: each only when it holds something
// other than what an element without the key reads, so that a classic stage is written as before.
// Pairs are written whole when either member is set (unlike the classic pairs of SaveStage, which
// drop a pair with one default member and so lose it).
void ModernElementLines(Writer& w, const BgElement& e) {
    if (e.ScaleStartX != 1 || e.ScaleStartY != 1)
        w.Line("scalestart = " + ExactPair(e.ScaleStartX, e.ScaleStartY));
    if (e.ScaleDeltaX != 0 || e.ScaleDeltaY != 0)
        w.Line("scaledelta = " + ExactPair(e.ScaleDeltaX, e.ScaleDeltaY));
    if (e.ZoomDelta != 1) w.Line("zoomdelta = " + ExactNum(e.ZoomDelta));
    // "xscale" fills the same two fields; only a width line says they are a width.
    if (e.WidthGiven != 0) w.Line("width = " + ExactPair(e.XScaleTop, e.XScaleBottom));
    if (e.WindowKind != 0) {
        // A line of fewer than four values is written as short as it was read: four would make a
        // window of what the stage draws whole (the loader drops a short window of a modern stage).
        const float values[] = {e.WindowX1, e.WindowY1, e.WindowX2, e.WindowY2};
        const int given = e.WindowValues > 0 && e.WindowValues < 4 ? e.WindowValues : 4;
        std::string line = e.WindowKind == 2 ? "maskwindow = " : "window = ";
        for (int i = 0; i < given; ++i) line += (i == 0 ? "" : ",") + ExactNum(values[i]);
        w.Line(line);
    }
    if (e.WindowDeltaX != 0 || e.WindowDeltaY != 0)
        w.Line("windowdelta = " + ExactPair(e.WindowDeltaX, e.WindowDeltaY));
}

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
    ModernElementLines(w, e);
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
    // The version, the local coordinates and hires decide how a stage is drawn (the engine's 1.0
    // rules, the picture's size): without them a modern stage would read back as a classic one.
    if (stage.MugenVersion != 0) w.Line("mugenversion = " + ExactNum(stage.MugenVersion));
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
    if (stage.ZoomOut != 1) w.Line("zoomout = " + ExactNum(stage.ZoomOut));
    if (stage.ZoomIn != 1) w.Line("zoomin = " + ExactNum(stage.ZoomIn));
    if (stage.StartZoom != 1) w.Line("startzoom = " + ExactNum(stage.StartZoom));
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
    if (stage.LocalCoordW != 320 || stage.LocalCoordH != 240)
        w.Line("localcoord = " + std::to_string(stage.LocalCoordW) + "," + std::to_string(stage.LocalCoordH));
    if (stage.Hires != 0) w.Line("hires = " + std::to_string(stage.Hires));
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

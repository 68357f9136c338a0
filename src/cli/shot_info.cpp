#include "cli/shot_info.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_state.h"
#include "character/test_character.h"
#include "render/frame_target.h"

namespace qb::shot {

std::string FormatFloat(float value) {
    const double v = value;
    if (!std::isfinite(v)) return v != v ? "nan" : (v < 0 ? "-inf" : "inf");
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.6e", v);  // d.dddddde±x: seven significant digits
    std::string s = buffer;
    const bool negative = s[0] == '-';
    if (negative) s.erase(0, 1);
    const size_t e = s.find('e');
    const int exponent = std::atoi(s.c_str() + e + 1);
    std::string digits = s.substr(0, 1) + s.substr(2, e - 2);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    if (digits == "0") return "0";
    std::string out;
    if (exponent < 0) {
        out = "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    } else {
        const size_t intDigits = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= intDigits) {
            out = digits + std::string(intDigits - digits.size(), '0');
        } else {
            out = digits.substr(0, intDigits) + "." + digits.substr(intDigits);
        }
    }
    return negative ? "-" + out : out;
}

namespace {

std::string Ids(const std::vector<int32_t>& ids, int16_t count) {
    std::string out;
    for (int16_t i = 0; i < count && static_cast<size_t>(i) < ids.size(); ++i) {
        if (i > 0) out += ',';
        out += std::to_string(ids[static_cast<size_t>(i)]);
    }
    return out;
}

template <typename T>
std::string N(T value) {
    return std::to_string(static_cast<long long>(value));
}

std::string F(float value) {
    return FormatFloat(value);
}

std::string Pair(float a, float b) {
    return F(a) + "," + F(b);
}

// An element's keys of the 1.0 and 1.1 engines that differ from their defaults, each " key=value";
// empty when all are the defaults (most elements of most stages).
std::string ModernElementKeys(const BgElement& e) {
    std::string out;
    if (e.ScaleStartX != 1 || e.ScaleStartY != 1) out += " scalestart=" + Pair(e.ScaleStartX, e.ScaleStartY);
    if (e.ScaleDeltaX != 0 || e.ScaleDeltaY != 0) out += " scaledelta=" + Pair(e.ScaleDeltaX, e.ScaleDeltaY);
    if (e.ZoomDelta != 1) out += " zoomdelta=" + F(e.ZoomDelta);
    if (e.WidthGiven != 0) out += " width=" + Pair(e.XScaleTop, e.XScaleBottom);
    if (e.HasWindow != 0) {
        // Kind 0 with a window: the line was read before the kinds were told apart, a "window" one.
        out += std::string(" window=") + (e.WindowKind == 2 ? "maskwindow" : "window") + ":" +
               Pair(e.WindowX1, e.WindowY1) + "," + Pair(e.WindowX2, e.WindowY2);
    }
    if (e.WindowDeltaX != 0 || e.WindowDeltaY != 0)
        out += " windowdelta=" + Pair(e.WindowDeltaX, e.WindowDeltaY);
    return out;
}

}  // namespace

std::string InfoDump(const AppState& state) {
    const StageModel& s = state.Stage;
    std::string out;
    out += "name: " + s.StageName + "\n";
    out += "counts: elements=" + N(s.ElementCount) + " actions=" + N(s.ActionCount) +
           " ctrldefs=" + N(s.CtrlDefCount) + " sprites=" + N(s.SpriteCount) + "\n";
    out += "camera: startx=" + F(s.StartX) + " starty=" + N(s.StartY) + " boundleft=" + N(s.BoundLeft) +
           " boundright=" + N(s.BoundRight) + " boundhigh=" + N(s.BoundHigh) + " boundlow=" + N(s.BoundLow) +
           " camerax=" + F(state.Camera.CameraX) + " cameray=" + F(state.Camera.CameraY) + "\n";
    out += "stage: zoffset=" + N(s.ZOffset) + " zoffsetlink=" + N(s.ZOffsetLink) +
           " tension=" + N(s.Tension) + " p1startx=" + N(s.P1StartX) + " screenleft=" + N(s.ScreenLeft) +
           " screenright=" + N(s.ScreenRight) + " shadow=" + N(s.ShadowColorR) + "," + N(s.ShadowColorG) +
           "," + N(s.ShadowColorB) + " intensity=" + N(s.ShadowIntensity) + " yscale=" + F(s.ShadowYScale) +
           " reflection=" + N(s.ReflectionIntensity) + "\n";
    out += "music: file=" + s.MusicFile + " volume=" + N(s.BgVolume) + "\n";
    for (size_t i = 0; i < s.Elements.size(); ++i) {
        const BgElement& e = s.Elements[i];
        out += "element " + N(i) + ": name=\"" + e.Name + "\" type=" + e.Type +
               " sprite=" + N(e.SpriteIndex) + " group=" + N(e.SpriteGroup) + "," + N(e.SpriteImage) +
               " pos=" + F(e.PosX) + "," + F(e.PosY) + " delta=" + F(e.DeltaX) + "," + F(e.DeltaY) +
               " tile=" + N(e.TileX) + "," + N(e.TileY) + " layer=" + N(e.LayerNo) + " trans=" + e.Trans +
               " mask=" + N(e.Mask) + " enabled=" + N(e.Enabled) + " visible=" + N(e.Visible) + "\n";
    }
    for (size_t i = 0; i < s.Actions.size(); ++i) {
        const BgAction& a = s.Actions[i];
        out += "action " + N(i) + ": number=" + N(a.Number) + " frames=" + N(a.NumFrames) +
               " loopstart=" + N(a.LoopStart) + "\n";
    }
    for (size_t i = 0; i < s.CtrlDefs.size(); ++i) {
        const BgCtrlDef& g = s.CtrlDefs[i];
        out += "ctrldef " + N(i) + ": name=\"" + g.Name + "\" looptime=" + N(g.LoopTime) +
               " ids=" + Ids(g.CtrlIds, g.CtrlIdCount) + " ctrls=" + N(g.CtrlCount) + "\n";
        for (size_t j = 0; j < g.Ctrls.size(); ++j) {
            const BgCtrl& c = g.Ctrls[j];
            out += "ctrl " + N(i) + "." + N(j) + ": name=\"" + c.Name + "\" type=" + c.Type +
                   " time=" + N(c.StartTime) + "," + N(c.EndTime) + "," + N(c.LoopTime) +
                   " ids=" + Ids(c.CtrlIds, c.CtrlIdCount) + " x=" + F(c.X) + " y=" + F(c.Y) +
                   " value=" + N(c.Value) + "\n";
        }
    }
    // The keys of the engine's 1.0 and 1.1 releases, one line per group, after every classic line so
    // that readers of the older dump keep their line numbers.
    out += "modern: stageinfo localcoord=" + N(s.LocalCoordW) + "," + N(s.LocalCoordH) + " hires=" + N(s.Hires) +
           " xscale=" + F(s.StageXScale) + " yscale=" + F(s.StageYScale) + " mugenversion=" + F(s.MugenVersion) +
           "\n";
    out += "modern: camera cutlow=" + N(s.CutLow) + " cuthigh=" + N(s.CutHigh) + " overdrawlow=" + N(s.OverdrawLow) +
           " overdrawhigh=" + N(s.OverdrawHigh) + "\n";
    FrameTarget target;
    target.Install(s);
    const PictureSize size = target.StageSize();
    const std::string sff =
        s.SffMajor >= 2 ? N(s.SffMajor) + (s.SffMinor < 10 ? ".0" : ".") + N(s.SffMinor) : std::string("1");
    out += "modern: picture sff=" + sff +
           " path=" + target.KindName() + " size=" + N(size.width) + "x" + N(size.height) + "\n";
    // The zoom keys as written (the camera normalises them where it uses them); -1: absent.
    out += "modern: zoom zoomout=" + F(s.ZoomOut) + " zoomin=" + F(s.ZoomIn) +
           " startzoom=" + F(s.StartZoom) + " tensionhigh=" + N(s.TensionHigh) +
           " tensionlow=" + N(s.TensionLow) + "\n";
    out += "modern: shadow fade.range=" +
           (s.ShadowFadeGiven != 0 ? N(s.ShadowFadeTop) + "," + N(s.ShadowFadeBottom) : std::string("none")) +
           " xshear=" + F(s.ShadowXShear) + "\n";
    for (size_t i = 0; i < s.Elements.size(); ++i) {
        const std::string keys = ModernElementKeys(s.Elements[i]);
        if (!keys.empty()) out += "modern: element " + N(i) + ":" + keys + "\n";
    }
    return out;
}

std::string CharInfoDump(const TestCharacter& c) {
    std::string out;
    out += "char: name=" + c.Name + " canturn=" + N(c.CanTurn) + " xscale=" + F(c.XScale) +
           " yscale=" + F(c.YScale) + " walkspeed=" + F(c.WalkSpeed) + " jump=" + F(c.JumpVelX) + "," +
           F(c.JumpVelY) + " yaccel=" + F(c.YAccel) + " sprites=" + N(c.Sprites.size()) + "\n";
    for (size_t slot = 0; slot < c.Actions.size(); ++slot) {
        const CharAction& a = c.Actions[slot];
        out += "action " + N(slot) + ": number=" + N(a.Number) + " frames=" + N(a.FrameCount) +
               " loopstart=" + N(a.LoopStart) + " looplimit=" + N(a.LoopLimit) + "\n";
        for (size_t i = 0; i < a.Frames.size(); ++i) {
            const CharFrame& f = a.Frames[i];
            out += "frame " + N(slot) + "." + N(i) + ": group=" + N(f.Group) + " image=" + N(f.Image) +
                   " sprite=" + N(f.SpriteIndex) + " offset=" + N(f.OffsetX) + "," + N(f.OffsetY) +
                   " time=" + N(f.Time) + " fliph=" + N(f.FlipH) + "\n";
        }
    }
    for (size_t k = 0; k < c.Sprites.size(); ++k) {
        const SpriteEntry& e = c.Sprites[k];
        out += "sprite " + N(k) + ": group=" + N(e.Group) + " image=" + N(e.Image) + " axis=" + N(e.AxisX) +
               "," + N(e.AxisY) + " size=" + N(e.Width) + "x" + N(e.Height) + "\n";
    }
    return out;
}

}  // namespace qb::shot

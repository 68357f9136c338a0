#include "stage/stage_parser.h"

#include <limits>
#include <optional>

#include "platform/paths.h"
#include "platform/ports.h"
#include "platform/text_util.h"
#include "stage/def_reader.h"
#include "stage/load_stage_files.h"
#include "stage/stage_line_source.h"
#include "stage/stage_loader.h"

namespace qb {

namespace {

constexpr int16_t kMaxCount = std::numeric_limits<int16_t>::max();
constexpr int kMaxIds = 10;
constexpr size_t npos = std::string::npos;
// Stage definitions are a few kilobytes; one this large is parsed as a stream and not kept.
constexpr size_t kMaxKeptDefBytes = 16u * 1024u * 1024u;

bool Contains(std::string_view hay, std::string_view needle) {
    return hay.find(needle) != npos;
}

// An element type as the engine decides it: by its first letter. Other letters keep the text as
// written (such an element is not drawn).
std::string TypeFromFirstLetter(const std::string& written) {
    switch (written.empty() ? '\0' : written[0]) {
        case 'n': return "normal";
        case 'a': return "anim";
        case 'p': return "parallax";
        case 'd': return "dummy";
        default: return written;
    }
}

// A section's name: the text after the header's first blank up to the "]", or "No name".
std::string SectionTitle(std::string_view line) {
    std::string_view trimmed = text::Trim(line);
    size_t blank = trimmed.find(' ');
    if (blank == npos) return "No name";
    std::string_view rest = trimmed.substr(blank + 1);
    size_t close = rest.find(']');
    if (close != npos) rest = rest.substr(0, close);
    return std::string(text::Trim(rest));
}

class Parser {
public:
    Parser(StageContext& ctx, const std::string& fileName, StageSource* source = nullptr)
        : m_ctx(ctx),
          m_stage(ctx.stage),
          m_reader{ctx.log, ctx.ui, ctx.lineNumber, fileName},
          m_source(source),
          m_firstLine(ctx.lineNumber) {}

    void Line(const std::string& line);
    void Finish(const std::string& defPath);

private:
    template <typename T>
    bool Read(std::string_view line, std::string_view key, T& target, int16_t index = 0,
              ReadFlags flags = ReadFlags::None) {
        const bool found = ReadDefValue(m_reader, line, key, target, index, flags);
        if (found) NoteKey(key);
        return found;
    }

    int32_t CurrentLine() const { return m_ctx.lineNumber - m_firstLine; }
    void NoteKey(std::string_view key);
    void NoteLine(bool header);

    void Headers(const std::string& line, const std::string& upper);
    void ElementKeys(const std::string& line);
    void AnimationLine(const std::string& line);
    void CtrlIdKeys(const std::string& line, std::vector<int32_t>& ids, int16_t& count);
    void GroupKeys(const std::string& line);
    void ControllerKeys(const std::string& line);
    void StageKeys(const std::string& line);
    void Remark(const std::string& text, int32_t line = 0) {
        m_ctx.log.Add(qb::Problem{
            .kind = ProblemKind::ParseRemark, .file = m_reader.fileName, .line = line, .text = text});
    }
    void Report(ProblemKind kind, int32_t line) {
        m_ctx.log.Add(qb::Problem{.kind = kind, .file = m_reader.fileName, .line = line});
    }
    // The definition line of element `index`'s key, when the parse keeps a source map.
    int32_t ElementKeyLine(size_t index, const std::string& key) const;
    void ModernStageKeys(const std::string& line);
    void ModernElementKeys(const std::string& line, BgElement& e);
    void WindowKey(const std::string& line, std::string_view key, uint8_t kind, BgElement& e);
    // Keys of the current element that later rules ask about (bits of kSaw*).
    void MarkElementKey(uint8_t bit) {
        if (m_element >= 0 && static_cast<size_t>(m_element) < m_keysSeen.size())
            m_keysSeen[static_cast<size_t>(m_element)] |= bit;
    }
    static constexpr uint8_t kSawSpriteNo = 1, kSawActionNo = 2, kSawTileSpacing = 4;
    std::vector<uint8_t> m_keysSeen;  // per element

    StageContext& m_ctx;
    StageModel& m_stage;
    ReaderContext m_reader;
    StageSource* m_source;
    int32_t m_firstLine;
    bool m_headerLine = false;  // a header test applied to the current line

    std::string m_section;
    bool m_inElement = false;
    bool m_inAction = false;
    int m_ctrlMode = 0;  // 0 none, 1 group, 2 controller
    bool m_skipSection = false;
    int m_element = -1;
    int m_action = 0;
    int m_group = 0;
    int m_ctrl = 0;
    int m_frames = 0;
    uint8_t m_interpolate = 0;  // kInterpolate* bits of the Interpolate lines since the last frame
    int m_interpolateAction = -1;
    bool m_warnedElements = false, m_warnedActions = false, m_warnedGroups = false, m_warnedCtrls = false,
         m_warnedFrames = false;
};

void Parser::Headers(const std::string& line, const std::string& upper) {
    size_t open = line.find('[');
    size_t close = open == npos ? npos : line.find(']', open);
    const bool bracketed = open != npos && line.find(']') != npos;
    m_headerLine = bracketed || Contains(upper, "BGCTRL");
    if (bracketed) m_skipSection = false;
    if (bracketed)
        m_section = text::Lower(close == npos ? std::string_view()
                                              : std::string_view(line).substr(open + 1, close - open - 1));

    if (Contains(upper, "BG") && bracketed && !Contains(upper, "DEF") && !Contains(upper, "CTRL") &&
        !Contains(line, "=")) {
        m_inAction = false;
        m_ctrlMode = 0;
        if (m_stage.ElementCount >= kMaxCount) {
            if (!m_warnedElements) Remark("Too many background elements; the rest are skipped\r\n");
            m_warnedElements = true;
            m_inElement = false;
            m_skipSection = true;
        } else {
            m_skipSection = false;
            m_inElement = true;
            ++m_element;
            m_stage.Elements.resize(static_cast<size_t>(m_element) + 1);
            m_keysSeen.resize(static_cast<size_t>(m_element) + 1);
            m_keysSeen.back() = 0;
            if (m_source) {
                m_source->Elements.resize(static_cast<size_t>(m_element) + 1);
                const int32_t at = CurrentLine();
                m_source->Elements.back() = ElementSource{at, at, at, {}};
            }
            BgElement& e = m_stage.Elements[static_cast<size_t>(m_element)];
            e = BgElement{};
            e.Name = SectionTitle(line);
            if (text::Trim(line).find(' ') != npos && m_ctx.progress)
                m_ctx.progress->Caption("Loading " + m_stage.StageName + "...");
            ++m_stage.ElementCount;
            e.DeltaX = e.DeltaY = 1.0f;
            e.YScaleStart = 100;
        }
    }

    if (Contains(upper, "BEGIN ACTION") && bracketed) {
        m_inElement = false;
        m_ctrlMode = 0;
        if (m_stage.ActionCount >= kMaxCount) {
            if (!m_warnedActions) Remark("Too many animations; the rest are skipped\r\n");
            m_warnedActions = true;
            m_inAction = false;
            m_skipSection = true;
        } else {
            m_skipSection = false;
            if (m_stage.ActionCount > 0) ++m_action;
            m_inAction = true;
            m_stage.Actions.resize(static_cast<size_t>(m_action) + 1);
            BgAction& a = m_stage.Actions[static_cast<size_t>(m_action)];
            a = BgAction{};
            a.Number = text::RoundClampInt32(
                text::LeadingNumber(std::string_view(upper).substr(upper.find("ION") + 3)));
            m_frames = 0;
            ++m_stage.ActionCount;
        }
    }

    if (Contains(upper, "BGCTRLDEF")) {
        m_inElement = m_inAction = false;
        if (m_stage.CtrlDefCount >= kMaxCount) {
            if (!m_warnedGroups) Remark("Too many controller groups; the rest are skipped\r\n");
            m_warnedGroups = true;
            m_ctrlMode = 0;
            m_skipSection = true;
        } else {
            m_skipSection = false;
            m_ctrl = 0;
            if (m_stage.CtrlDefCount > 0) ++m_group;
            m_stage.CtrlDefs.resize(static_cast<size_t>(m_group) + 1);
            BgCtrlDef& g = m_stage.CtrlDefs[static_cast<size_t>(m_group)];
            g = BgCtrlDef{};
            g.LoopTime = -1;
            g.Name = SectionTitle(line);
            ++m_stage.CtrlDefCount;
            g.CtrlIds.assign(1, 0);
            m_ctrlMode = 1;
        }
    }

    if (Contains(upper, "BGCTRL") && !Contains(upper, "DEF")) {
        m_inElement = m_inAction = false;
        if (m_stage.CtrlDefCount == 0) {
            // A controller needs the group it belongs to; without one its lines are skipped.
            Remark("Controller section before any controller group skipped (line " +
                       std::to_string(m_ctx.lineNumber) + ")\r\n",
                   m_ctx.lineNumber);
            m_ctrlMode = 0;
            m_skipSection = true;
        } else {
            BgCtrlDef& g = m_stage.CtrlDefs[static_cast<size_t>(m_group)];
            if (g.CtrlCount >= kMaxCount) {
                if (!m_warnedCtrls) Remark("Too many controllers; the rest are skipped\r\n");
                m_warnedCtrls = true;
                m_ctrlMode = 0;
                m_skipSection = true;
            } else {
                m_skipSection = false;
                if (g.CtrlCount > 0) ++m_ctrl;
                g.Ctrls.resize(static_cast<size_t>(m_ctrl) + 1);
                BgCtrl& c = g.Ctrls[static_cast<size_t>(m_ctrl)];
                c = BgCtrl{};
                c.Name = SectionTitle(line);
                ++g.CtrlCount;
                c.X = c.Y = 999999.0f;
                c.LoopTime = -1;
                c.CtrlIds.assign(1, 0);
                m_ctrlMode = 2;
            }
        }
    }
}

void Parser::ElementKeys(const std::string& line) {
    BgElement& e = m_stage.Elements[static_cast<size_t>(m_element)];
    if (e.Type.empty() && Read(line, "type", e.Type)) {
        // The engine goes by the first letter only: real stages write "nomal", "amin", "paralax"
        // and "p". "null" keeps its own meaning (below).
        e.TypeWritten = e.Type;
        if (e.Type != "null") e.Type = TypeFromFirstLetter(e.Type);
        if (e.Type == "anim") e.TileSpacingX = e.TileSpacingY = 1;
        if (e.Type == "null" && m_element > 0) {
            // A "null" element after the first is dropped; the rest of its section reads as stage keys.
            --m_stage.ElementCount;
            m_stage.Elements.resize(static_cast<size_t>(m_element));
            if (m_source) {
                m_source->Elements.resize(static_cast<size_t>(m_element));
                if (!m_source->Sections.empty()) {
                    m_source->Sections.back().Kind = SourceSectionKind::Stage;
                    m_source->Sections.back().Index = -1;
                }
            }
            --m_element;
            m_inElement = false;
            return;
        }
    }
    if (Read(line, "mask", e.Mask)) {
        e.MaskKey = e.Mask;
        if (e.Type == "dummy") e.Mask = 0;
    }
    if (Read(line, "spriteno", e.SpriteGroup, 1)) MarkElementKey(kSawSpriteNo);
    Read(line, "spriteno", e.SpriteImage, 2);
    Read(line, "start", e.StartX, 1);
    Read(line, "start", e.StartY, 2);
    if (Read(line, "actionno", e.ActionIndex, 1)) MarkElementKey(kSawActionNo);
    Read(line, "delta", e.DeltaX, 1);
    Read(line, "delta", e.DeltaY, 2);
    Read(line, "velocity", e.VelocityX, 1);
    Read(line, "velocity", e.VelocityY, 2);
    Read(line, "tile", e.TileX, 1);
    Read(line, "tile", e.TileY, 2);
    Read(line, "id", e.Id);
    if (Read(line, "trans", e.Trans)) e.Mask = 1;
    if (Read(line, "alpha", e.AlphaS, 1) && !Read(line, "alpha", e.AlphaD, 2)) e.AlphaD = 0;
    // The third value is the phase, in degrees; the element counts its swing in ticks.
    if (Read(line, "sin.x", e.SinXAmp, 1)) {
        Read(line, "sin.x", e.SinXPeriod, 2);
        float degrees = 0;
        Read(line, "sin.x", degrees, 3);
        e.SinXPhase = SineStartTick(degrees, e.SinXPeriod);
    }
    if (Read(line, "sin.y", e.SinYAmp, 1)) {
        Read(line, "sin.y", e.SinYPeriod, 2);
        float degrees = 0;
        Read(line, "sin.y", degrees, 3);
        e.SinYPhase = SineStartTick(degrees, e.SinYPeriod);
    }
    WindowKey(line, "window", 1, e);
    WindowKey(line, "maskwindow", 2, e);
    if (Read(line, "windowdelta", e.WindowDeltaX, 1)) {
        Read(line, "windowdelta", e.WindowDeltaY, 2);
        Report(ProblemKind::WindowDelta, CurrentLine());
    }
    Read(line, "positionlink", e.PositionLink);
    if (Read(line, "tilespacing", e.TileSpacingX, 1)) {
        MarkElementKey(kSawTileSpacing);
        const bool second = Read(line, "tilespacing", e.TileSpacingY, 2);
        e.TileSpacingOneValue = second ? 0 : 1;
        e.TileSpacingWrittenX = e.TileSpacingX;
        e.TileSpacingWrittenY = second ? e.TileSpacingY : 0;
        if (!second || e.Type == "anim") e.TileSpacingY = e.TileSpacingX;
    }
    Read(line, "layerno", e.LayerNo);
    if (Read(line, "xscale", e.XScaleTop, 1)) Read(line, "xscale", e.XScaleBottom, 2);
    if (Read(line, "width", e.XScaleTop, 1)) {
        Read(line, "width", e.XScaleBottom, 2);
        e.WidthGiven = 1;
    }
    Read(line, "yscalestart", e.YScaleStart);
    Read(line, "yscaledelta", e.YScaleDelta);
    ModernElementKeys(line, e);
}

// "window" (kind 1) and "maskwindow" (kind 2) share the element's window: the line written last
// wins. The classic drawing uses whatever values the line gave; the modern one needs all four.
void Parser::WindowKey(const std::string& line, std::string_view key, uint8_t kind, BgElement& e) {
    if (!Read(line, key, e.WindowX1, 1)) return;
    uint8_t values = 1;
    if (Read(line, key, e.WindowY1, 2)) ++values;
    if (Read(line, key, e.WindowX2, 3)) ++values;
    if (Read(line, key, e.WindowY2, 4)) ++values;
    e.HasWindow = 1;
    e.WindowKind = kind;
    e.WindowValues = values;
}

void Parser::ModernElementKeys(const std::string& line, BgElement& e) {
    Read(line, "zoomdelta", e.ZoomDelta, 1);
    if (Read(line, "scalestart", e.ScaleStartX, 1)) Read(line, "scalestart", e.ScaleStartY, 2);
    if (Read(line, "scaledelta", e.ScaleDeltaX, 1)) Read(line, "scaledelta", e.ScaleDeltaY, 2);
}

void Parser::AnimationLine(const std::string& line) {
    BgAction& a = m_stage.Actions[static_cast<size_t>(m_action)];
    if (text::ContainsNoCase(line, "loopstart"))
        a.LoopStart = static_cast<int16_t>(std::min(m_frames + 1, int(kMaxCount)));
    if (m_interpolateAction != m_action) {
        m_interpolate = 0;  // an Interpolate line never reaches into the next action
        m_interpolateAction = m_action;
    }
    if (!IsAnimationFrameLine(line)) {
        // "Interpolate Offset" (Blend, Scale, Angle) stands between two frames: the frame after it
        // carries the bit, and the frame before it moves toward that frame's values while it shows.
        if (text::ContainsNoCase(line, "interpolate")) {
            if (text::ContainsNoCase(line, "offset")) m_interpolate |= kInterpolateOffset;
            if (text::ContainsNoCase(line, "blend")) m_interpolate |= kInterpolateBlend;
            if (text::ContainsNoCase(line, "scale")) m_interpolate |= kInterpolateScale;
            if (text::ContainsNoCase(line, "angle")) m_interpolate |= kInterpolateAngle;
        }
        return;
    }
    if (a.NumFrames >= kMaxCount) {
        if (!m_warnedFrames) Remark("Too many animation frames; the rest are skipped\r\n");
        m_warnedFrames = true;
        return;
    }
    a.Frames.emplace_back();
    BgFrame& f = a.Frames.back();
    Read(line, kAnyLineKey, f.Group, 1);
    Read(line, kAnyLineKey, f.Image, 2);
    Read(line, kAnyLineKey, f.OffsetX, 3);
    Read(line, kAnyLineKey, f.OffsetY, 4);
    Read(line, kAnyLineKey, f.Time, 5);
    Read(line, kAnyLineKey, f.Flip, 6);
    Read(line, kAnyLineKey, f.Trans, 7);
    // The 1.1 values 8-10 (x scale, y scale, angle); a blank or missing one keeps 1, 1, 0. Empty
    // places are skipped quietly: lines write "5, , , 2" to reach the scale past flip and trans.
    float* const extra[] = {&f.ScaleX, &f.ScaleY, &f.Angle};
    for (int16_t n = 8; n <= 10; ++n) {
        std::string written;
        if (Read(line, kAnyLineKey, written, n) && !written.empty())
            Read(line, kAnyLineKey, *extra[n - 8], n);
    }
    f.Interpolate = m_interpolate;
    m_interpolate = 0;
    f.SpriteIndex = -1;
    ++m_frames;
    ++a.NumFrames;
}

void Parser::CtrlIdKeys(const std::string& line, std::vector<int32_t>& ids, int16_t& count) {
    int32_t first = 0;
    if (!Read(line, "ctrlid", first, 1)) return;
    // A later ctrlid line replaces the list of an earlier one.
    ids.assign(1, first);
    for (int16_t n = 2; n <= kMaxIds; ++n) {
        int32_t id = 0;
        if (!Read(line, "ctrlid", id, n)) break;
        ids.push_back(id);
    }
    count = static_cast<int16_t>(ids.size());
}

void Parser::GroupKeys(const std::string& line) {
    BgCtrlDef& g = m_stage.CtrlDefs[static_cast<size_t>(m_group)];
    Read(line, "looptime", g.LoopTime);
    CtrlIdKeys(line, g.CtrlIds, g.CtrlIdCount);
}

void Parser::ControllerKeys(const std::string& line) {
    BgCtrl& c = m_stage.CtrlDefs[static_cast<size_t>(m_group)].Ctrls[static_cast<size_t>(m_ctrl)];
    Read(line, "type", c.Type);
    if (Read(line, "time", c.StartTime, 1)) {
        if (!Read(line, "time", c.EndTime, 2)) c.EndTime = c.StartTime;
        if (!Read(line, "time", c.LoopTime, 3)) c.LoopTime = -1;
    }
    Read(line, "x", c.X, 0, ReadFlags::TrimToDigit);
    Read(line, "y", c.Y, 0, ReadFlags::TrimToDigit);
    if (Contains(c.Type, "sin")) {
        Read(line, "value", c.SinAmp, 1);
        Read(line, "value", c.SinPeriod, 2);
        Read(line, "value", c.SinPhase, 3);
    } else {
        Read(line, "value", c.Value);
    }
    CtrlIdKeys(line, c.CtrlIds, c.CtrlIdCount);
}

void Parser::StageKeys(const std::string& line) {
    StageModel& s = m_stage;
    // Real stages name themselves and their sprite files with blanks inside ("KOF'97 - U.S.A. Stage",
    // "stages/KOF96 - Psycho.sff"), so both keep their blanks like "bgmusic".
    Read(line, "name", s.StageName, 0, ReadFlags::KeepCase | ReadFlags::KeepBlanks);
    Read(line, "startx", s.StartX);
    Read(line, "starty", s.StartY);
    Read(line, "boundleft", s.BoundLeft);
    Read(line, "boundright", s.BoundRight);
    Read(line, "boundhigh", s.BoundHigh);
    if (Read(line, "boundlow", s.BoundLow)) s.BoundLow = 0;
    if (Read(line, "bgmusic", s.MusicFile, 0, ReadFlags::KeepBlanks)) {
        Read(line, "bgmusic", s.MusicRef, 0, ReadFlags::KeepBlanks | ReadFlags::KeepCase);
        if (s.MusicFile == "0") s.MusicRef.clear();  // an empty value: no music
    }
    Read(line, "spr", s.SpriteFile, 0, ReadFlags::KeepBlanks);
    Read(line, "zoffset", s.ZOffset);
    Read(line, "zoffsetlink", s.ZOffsetLink);
    Read(line, "p1startx", s.P1StartX);
    Read(line, "p2startx", s.P2StartX);
    Read(line, "p2starty", s.P2StartY);
    Read(line, "p1facing", s.P1Facing);
    Read(line, "p2facing", s.P2Facing);
    Read(line, "leftbound", s.LeftBound);
    Read(line, "rightbound", s.RightBound);
    Read(line, "tension", s.Tension);
    Read(line, "floortension", s.FloorTension);
    Read(line, "verticalfollow", s.VerticalFollow);
    Read(line, "screenleft", s.ScreenLeft);
    Read(line, "screenright", s.ScreenRight);
    Read(line, "bgvolume", s.BgVolume);
    Read(line, "bgmvolume", s.BgmVolume);
    Read(line, "bgmloopstart", s.BgmLoopStart);
    Read(line, "bgmloopend", s.BgmLoopEnd);
    if (m_section == "bgdef") Read(line, "debugbg", s.DebugBg);
    if (Read(line, "reflect", s.Reflect) && s.Reflect != 0) s.ReflectionIntensity = 128;
    if (text::ContainsNoCase(line, "intensity")) {
        if (m_section == "shadow")
            Read(line, "intensity", s.ShadowIntensity);
        else if (m_section == "reflection")
            Read(line, "intensity", s.ReflectionIntensity);
    }
    if (Read(line, "color", s.ShadowColorR, 1)) {
        Read(line, "color", s.ShadowColorG, 2);
        Read(line, "color", s.ShadowColorB, 3);
    }
    Read(line, "yscale", s.ShadowYScale);
    ModernStageKeys(line);
}

void Parser::ModernStageKeys(const std::string& line) {
    StageModel& s = m_stage;
    if (Read(line, "localcoord", s.LocalCoordW, 1)) Read(line, "localcoord", s.LocalCoordH, 2);
    Read(line, "hires", s.Hires);
    // "Valid values are 2002,02,14, 1.0 or 1.1. Defaults to 2002,02,14": the date names the engines
    // before 1.0, which a version of 0 stands for.
    std::string version;
    if (Read(line, "mugenversion", version)) {
        if (Contains(version, ","))
            s.MugenVersion = 0;
        else
            Read(line, "mugenversion", s.MugenVersion);
    }
    Read(line, "cutlow", s.CutLow);
    Read(line, "cuthigh", s.CutHigh);
    Read(line, "overdrawlow", s.OverdrawLow);
    Read(line, "overdrawhigh", s.OverdrawHigh);
    // [Shadow] yscale is read above wherever it stands (classic stages rely on that); [StageInfo]
    // keeps its own pair.
    if (m_section == "stageinfo") {
        Read(line, "xscale", s.StageXScale);
        Read(line, "yscale", s.StageYScale);
    }
    Read(line, "zoomout", s.ZoomOut);
    Read(line, "zoomin", s.ZoomIn);
    Read(line, "startzoom", s.StartZoom);
    Read(line, "tensionhigh", s.TensionHigh);
    Read(line, "tensionlow", s.TensionLow);
    if (Read(line, "fade.range", s.ShadowFadeTop, 1)) {
        Read(line, "fade.range", s.ShadowFadeBottom, 2);
        s.ShadowFadeGiven = 1;
    }
    Read(line, "xshear", s.ShadowXShear);
}

void Parser::NoteKey(std::string_view key) {
    if (!m_source || key == kAnyLineKey) return;
    const int32_t at = CurrentLine();
    if (m_inElement && m_element >= 0 && static_cast<size_t>(m_element) < m_source->Elements.size())
        m_source->Elements[static_cast<size_t>(m_element)].Keys[std::string(key)] = at;
    else if (!m_inElement && !m_inAction && m_ctrlMode == 0)
        m_source->StageKeys[std::string(key)] = at;
}

int32_t Parser::ElementKeyLine(size_t index, const std::string& key) const {
    if (!m_source || index >= m_source->Elements.size()) return 0;
    const auto& keys = m_source->Elements[index].Keys;
    const auto at = keys.find(key);
    return at == keys.end() ? 0 : at->second;
}

void Parser::NoteLine(bool header) {
    if (!m_source) return;
    const int32_t at = CurrentLine();
    std::vector<SourceSection>& sections = m_source->Sections;
    if (header || sections.empty()) {
        SourceSection s;
        s.Header = header ? at : 0;
        s.Name = header ? m_section : std::string();
        if (m_skipSection) {
            s.Kind = SourceSectionKind::Skipped;
        } else if (m_inElement) {
            s.Kind = SourceSectionKind::Element;
            s.Index = m_element;
        } else if (m_inAction) {
            s.Kind = SourceSectionKind::Animation;
            s.Index = m_action;
        } else if (m_ctrlMode != 0) {
            s.Kind = m_ctrlMode == 1 ? SourceSectionKind::CtrlGroup : SourceSectionKind::Controller;
            s.Index = m_ctrlMode == 1 ? m_group : m_ctrl;
        }
        sections.push_back(std::move(s));
    }
    sections.back().LastLine = at;
    if (m_inElement && m_element >= 0 && static_cast<size_t>(m_element) < m_source->Elements.size()) {
        ElementSource& e = m_source->Elements[static_cast<size_t>(m_element)];
        e.LastLine = at;
        if (sections.back().Header == e.Header) e.OwnLastLine = at;
    }
}

void Parser::Line(const std::string& line) {
    Headers(line, text::Upper(line));
    NoteLine(m_headerLine);
    if (m_skipSection) return;
    const bool hasEquals = Contains(line, "=");
    if (m_inElement) {
        if (hasEquals) ElementKeys(line);
    } else if (m_inAction) {
        AnimationLine(line);
    } else if (m_ctrlMode == 1) {
        if (hasEquals) GroupKeys(line);
    } else if (m_ctrlMode == 2) {
        if (hasEquals) ControllerKeys(line);
    } else if (hasEquals) {
        StageKeys(line);
    }
}

void Parser::Finish(const std::string& defPath) {
    StageModel& s = m_stage;
    if (!s.MusicFile.empty()) m_ctx.load.MusicPath = ResolveMusicPath(s.MusicFile, m_ctx.mugeDir, defPath);

    for (size_t i = 0; i < s.Elements.size(); ++i) {
        BgElement& e = s.Elements[i];
        // An element that names an animation and no sprite is an animation whatever its type says
        // (the engine reads such "normal" elements so).
        const uint8_t seen = i < m_keysSeen.size() ? m_keysSeen[i] : 0;
        if ((e.Type.empty() || e.Type == "normal") && (seen & kSawActionNo) && !(seen & kSawSpriteNo)) {
            e.Type = "anim";
            if (!(seen & kSawTileSpacing)) e.TileSpacingX = e.TileSpacingY = 1;
        }
        if (e.Type.empty()) e.Type = "normal";
        if (e.Type == "anim") e.Mask = 1;
        e.SpriteIndex = -1;
        if (e.TileX > 999999) e.TileX = 1;
        if (e.Type == "parallax" && (seen & kSawActionNo)) e.ParallaxAnim = 1;
        if (e.Type == "anim" || e.ParallaxAnim) {
            e.ActionNo = e.ActionIndex;
            // An animation number that no [Begin Action] carries leaves no index to draw with: the
            // element is kept (-1) but never placed or drawn.
            int32_t found = -1;
            for (size_t i = 0; i < s.Actions.size(); ++i) {
                if (s.Actions[i].Number == e.ActionNo) {
                    found = static_cast<int32_t>(i);
                    break;
                }
            }
            e.ActionIndex = found;
        }
        if (e.TileX < 0) {
            e.TileX = 1;
            Report(ProblemKind::NegativeTileX, ElementKeyLine(i, "tile"));
        }
        if (e.TileY < 0) {
            e.TileY = 1;
            Report(ProblemKind::NegativeTileY, ElementKeyLine(i, "tile"));
        }
        e.OwnMask = e.Mask;
    }
    if (s.Elements.empty())
        Remark("No background elements found\r\n");
    else
        s.Elements[0].Mask = 0;  // the first element of a stage is always drawn unmasked
}

}  // namespace

namespace {

// "sound\x.mp3" (any letter case, either separator) names the file by what follows its first
// separator, looked for in the MUGEN directory's sound folder.
std::string MusicNameInSound(std::string musicFile) {
    if (text::ContainsNoCase(musicFile, "sound")) {
        for (char& c : musicFile)
            if (c == '/') c = '\\';
        size_t slash = musicFile.find('\\');
        if (slash != npos) musicFile.erase(0, slash + 1);
    }
    return musicFile;
}

}  // namespace

bool IsAnimationFrameLine(std::string_view line) {
    if (!Contains(line, ",")) return false;
    const std::string_view start = text::Trim(line);
    return !(start.size() >= 4 && text::FindNoCase(start.substr(0, 4), "clsn") == 0);
}

std::vector<std::string> MusicLookupPaths(const std::string& musicFile, const std::string& mugeDir,
                                          const std::string& defPath) {
    if (Contains(musicFile, ":")) return {musicFile};
    const std::string name = MusicNameInSound(musicFile);
    std::vector<std::string> paths;
    if (!mugeDir.empty()) paths.push_back(JoinPath(JoinPath(mugeDir, "sound"), name));
    paths.push_back(GetPath(defPath) + name);
    // Then as the engine reads it, relative to the MUGEN directory: real stages name music beside
    // themselves that way ("stages/kfm.mid" in the engine's own sample stage).
    if (!mugeDir.empty()) {
        std::string fromMuge = JoinPath(mugeDir, musicFile);
        if (text::Lower(ToNativePath(fromMuge)) != text::Lower(ToNativePath(paths.front())))
            paths.push_back(std::move(fromMuge));
    }
    return paths;
}

std::string ResolveMusicPath(std::string& musicFile, const std::string& mugeDir, const std::string& defPath) {
    if (Contains(musicFile, ":")) return musicFile;
    const std::vector<std::string> paths = MusicLookupPaths(musicFile, mugeDir, defPath);
    musicFile = MusicNameInSound(musicFile);
    for (const std::string& path : paths)
        if (FileExists(path)) return ResolvePath(path);
    // Missing everywhere: the player is told the place beside the definition.
    return ToNativePath(paths[mugeDir.empty() ? 0 : 1]);
}

namespace {

StageSource ParseBytes(std::string bytes, StageModel& scratch) {
    StageLoadState load;
    ErrorLog log;
    HeadlessUi quiet;
    int32_t lineNumber = 0;
    StageContext ctx{scratch, load, log, quiet, lineNumber, {}};
    StageSource map;
    map.Bytes = std::move(bytes);
    map.Complete = true;
    StageLineSource source;
    source.OpenBytes(map.Bytes);
    Parser parser(ctx, {}, &map);
    std::string line;
    while (source.Next(line, lineNumber)) parser.Line(line);
    return map;
}

}  // namespace

StageSource MapStageSource(std::string bytes) {
    StageModel scratch;
    return ParseBytes(std::move(bytes), scratch);
}

std::string StageNameOf(std::string bytes) {
    StageModel scratch;
    ParseBytes(std::move(bytes), scratch);
    return scratch.StageName;
}

bool ParseStageDef(StageContext& ctx, const std::string& defPath) {
    StageModel& s = ctx.stage;
    s.ZOffset = -1;
    s.ZOffsetLink = -1;

    // The bytes are read once and kept: writing values back edits exactly what was parsed, and can
    // tell when the file on disk is no longer it. A file too large to keep is still read, as a stream.
    StageSource& map = ctx.load.Source;
    map = StageSource{};
    StageLineSource source;
    bool opened = true;
    if (std::optional<std::string> bytes = ReadFileBytes(defPath, kMaxKeptDefBytes)) {
        map.Bytes = std::move(*bytes);
        map.Complete = true;
        source.OpenBytes(map.Bytes);
    } else {
        opened = source.Open(defPath);
    }
    s.ShadowIntensity = 128;
    s.ShadowYScale = 0.4f;
    if (opened) {
        Parser parser(ctx, defPath, &map);
        std::string line;
        while (source.Next(line, ctx.lineNumber)) parser.Line(line);
        source.Close();
        parser.Finish(defPath);
    } else {
        ctx.log.Append("Could not open " + FileNameOf(defPath) + "\r\n");
        Parser(ctx, defPath).Finish(defPath);
    }
    return opened;
}

}  // namespace qb

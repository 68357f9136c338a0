#pragma once
// The in-memory form of one stage definition. Field names and widths follow the definition format's
// keys; fields noted "run" are owned by the element update while the stage runs.
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/sprite_table.h"

namespace qb {

struct BgFrame {
    int32_t Group = 0;
    int16_t Image = 0;
    int16_t SpriteIndex = -1;
    int16_t OffsetX = 0;
    int16_t OffsetY = 0;
    int16_t Time = 0;  // -1: forever
    std::string Flip;
    std::string Trans;
    // The 1.1 engine's frame values 8-10: x scale, y scale, angle (degrees, counter-clockwise about
    // the axis).
    float ScaleX = 1, ScaleY = 1, Angle = 0;
    // "Interpolate Offset/Blend/Scale/Angle" lines before this frame: bits of kInterpolate*.
    uint8_t Interpolate = 0;
};

inline constexpr uint8_t kInterpolateOffset = 1, kInterpolateBlend = 2, kInterpolateScale = 4,
                         kInterpolateAngle = 8;

struct BgAction {
    std::vector<BgFrame> Frames;
    int16_t LoopStart = 0;  // 1-based frame after the loopstart line; 0 when none
    int16_t NumFrames = 0;
    int32_t Number = 0;
};

struct BgElement {
    std::string Type;
    int16_t Mask = 0;
    // The mask the element's own lines give. The first element of a stage is drawn unmasked whatever
    // they say (Mask is 0 there), so an element that changes places takes its mask from this.
    int16_t OwnMask = 0;
    int32_t SpriteGroup = 0;
    int16_t SpriteImage = 0;
    int32_t StartX = 0, StartY = 0;
    float PosX = 0, PosY = 0;    // load, run
    float BaseX = 0, BaseY = 0;  // load
    float DeltaX = 1.0f, DeltaY = 1.0f;
    int32_t TileX = 0, TileY = 0;
    int32_t TileSpacingX = 0, TileSpacingY = 0;
    float VelocityX = 0, VelocityY = 0;
    int32_t ActionIndex = 0;
    int32_t ActionNo = 0;
    // A parallax floor with an actionno (1.1 stages) draws its action's current frame; ActionIndex
    // then names the action.
    uint8_t ParallaxAnim = 0;
    int16_t SpriteIndex = -1;
    int16_t LayerNo = 0;
    int16_t FrameIndex = 0;  // run
    int16_t FrameTime = 0;   // load, run
    std::string Name;
    int16_t PositionLink = 0;
    int16_t LinkParent = 0;
    // "sin.x = amplitude, period, phase": one swing lasts `period` ticks. SinXPhase counts the ticks
    // into the swing (the parser turns the written phase, in degrees, into ticks: SineStartTick).
    float SinXAmp = 0, SinXPeriod = 0, SinXPhase = 0;
    float SinYAmp = 0, SinYPeriod = 0, SinYPhase = 0;
    float SinOffX = 0, SinOffY = 0;  // run
    uint8_t Enabled = 0;
    uint8_t Visible = 0;
    std::string Trans;
    float CtrlVelX = 0, CtrlVelY = 0;  // run
    float CtrlOffX = 0, CtrlOffY = 0;  // run
    int32_t Id = 0;
    float WindowX1 = 0, WindowX2 = 0, WindowY1 = 0, WindowY2 = 0;
    uint8_t HasWindow = 0;
    float XScaleTop = 0, XScaleBottom = 0;
    uint8_t WidthGiven = 0;
    uint8_t YScaleStart = 100;
    float YScaleDelta = 0;
    // Modern stages: the "mask" value as written (-1 when the element has none; Mask above is also
    // set by any "trans" line, which the classic path relies on) and "alpha = s,d" (-1 when absent).
    int16_t MaskKey = -1;
    int16_t AlphaS = -1, AlphaD = -1;
    // Keys of the 1.0 and 1.1 engines (read for every stage, used by the modern path).
    float ZoomDelta = 1;
    float ScaleStartX = 1, ScaleStartY = 1;
    float ScaleDeltaX = 0, ScaleDeltaY = 0;
    // Which window line the element's window came from (the last one written wins): 0 none,
    // 1 "window" (view top-left, edges included), 2 "maskwindow" (stage origin, right and bottom
    // edges excluded). HasWindow above is set by either.
    uint8_t WindowKind = 0;
    // How many of the four window values the winning line gave (a window needs all four).
    uint8_t WindowValues = 0;
    float WindowDeltaX = 0, WindowDeltaY = 0;
    // "tilespacing" gave one value only (1.0+ stages then set no y spacing).
    uint8_t TileSpacingOneValue = 0;
    // "tilespacing" as its last line wrote it (0 where a value is missing), before the classic
    // rules for "anim" elements replace it: modern stages take their spacing from these.
    int32_t TileSpacingWrittenX = 0, TileSpacingWrittenY = 0;
    // "type" as written (trimmed, lower-cased): the type itself is decided from it.
    std::string TypeWritten;

    bool operator==(const BgElement&) const = default;
};

// The mask the stage file gives the element at `index`: its own lines' value. Only the first
// element's drawn mask differs from it (always 0).
inline int16_t FileMask(const BgElement& e, size_t index) {
    return index == 0 ? e.OwnMask : e.Mask;
}

// The tick of its swing at which a sine starts: `phaseDegrees` of 360 through a swing of `period`
// ticks, in [0, |period|) (0 for a period of 0).
inline float SineStartTick(double phaseDegrees, double period) {
    const double cycle = std::fabs(period);
    if (!(cycle > 0) || !std::isfinite(cycle) || !std::isfinite(phaseDegrees)) return 0;
    double tick = std::fmod(phaseDegrees / 360.0 * cycle, cycle);
    if (tick < 0) tick += cycle;
    return tick < cycle ? static_cast<float>(tick) : 0.0f;
}

struct BgCtrl {
    std::string Type;
    int32_t StartTime = 0;
    int32_t EndTime = 0;
    int32_t LoopTime = -1;
    int32_t Time = 0;  // run
    float X = 999999.0f;
    float Y = 999999.0f;
    int16_t Value = 0;
    std::string Name;
    int16_t SinAmp = 0, SinPeriod = 0, SinPhase = 0;
    std::vector<int32_t> CtrlIds;
    std::vector<int32_t> CtrlIdsRead;
    int16_t CtrlIdCount = 0;
};

struct BgCtrlDef {
    int32_t LoopTime = -1;
    int32_t Time = 0;  // run
    std::vector<int32_t> CtrlIds;
    std::vector<int32_t> CtrlIdsRead;
    int16_t CtrlIdCount = 0;
    int16_t CtrlCount = 0;
    std::vector<BgCtrl> Ctrls;
    std::string Name;
};

struct StageModel {
    std::string StageName;
    SpriteTable Sprites;
    int16_t SpriteCount = 0;
    std::vector<BgElement> Elements;
    int16_t ElementCount = 0;
    std::vector<BgAction> Actions;
    int16_t ActionCount = 0;
    std::vector<BgCtrlDef> CtrlDefs;
    int16_t CtrlDefCount = 0;
    float StartX = 0;
    int16_t StartY = 0;
    int32_t BoundLeft = 0;
    int32_t BoundRight = 0;
    int16_t BoundHigh = 0;
    int16_t BoundLow = 0;
    int16_t ZOffset = -1;
    int16_t ZOffsetLink = -1;
    std::string MusicFile;
    // "bgmusic" as the stage writes it, folder and letter case kept: what the music chooser writes
    // back when the music was not changed. Empty when the stage has none.
    std::string MusicRef;
    int16_t BgVolume = 0;
    int16_t P1StartX = 0;
    int16_t P1StartY = 0;
    // [PlayerInfo] keys of the second player and both facings (1 right, -1 left), with the engine's
    // defaults; leftbound/rightbound are how far the players may walk, in stage units.
    int16_t P2StartX = 70, P2StartY = 0;
    int16_t P1Facing = 1, P2Facing = -1;
    int32_t LeftBound = -1000, RightBound = 1000;
    int16_t ScreenLeft = 0, ScreenRight = 0;
    int16_t Tension = 0, FloorTension = 0;
    float VerticalFollow = 0;
    int16_t ShadowColorR = 0, ShadowColorG = 0, ShadowColorB = 0;
    int16_t ShadowIntensity = 128;
    float ShadowYScale = 0.4f;
    int16_t ReflectionIntensity = 0;
    uint8_t Reflect = 0;

    std::string SpriteFile;  // "spr", completed to a full path by loading

    // Keys of the engine's 1.0 and 1.1 releases. A stage with a version 2 sprite file, a localcoord
    // other than 320,240 or hires = 1 is drawn at its own resolution in 32-bit colour.
    int32_t LocalCoordW = 320, LocalCoordH = 240;
    int16_t Hires = 0;
    float StageXScale = 1, StageYScale = 1;
    float MugenVersion = 0;  // [Info] mugenversion as a number (1.0, 1.1); 0 when absent
    int32_t CutLow = 0, CutHigh = 0, OverdrawLow = 0, OverdrawHigh = 0;
    // The sprite file's version: byte 15, and bytes 14 and 13 as two decimal digits (2 and 1 for
    // 2.01, stored 0,1,0,2); 0 for a version 1 file.
    uint8_t SffMajor = 0, SffMinor = 0;
    // [Camera] zoom keys as written (normalised where the camera uses them).
    float ZoomOut = 1, ZoomIn = 1, StartZoom = 1;
    // [Camera] tensionhigh/tensionlow; -1 when absent (both given replace verticalfollow).
    int32_t TensionHigh = -1, TensionLow = -1;
    // [Shadow] fade.range = top,bottom (FadeGiven when the line was read) and xshear.
    int32_t ShadowFadeTop = 0, ShadowFadeBottom = 0;
    uint8_t ShadowFadeGiven = 0;
    float ShadowXShear = 0;
    // [BGdef] debugbg: the engine clears the screen to magenta before the back layer (0 off).
    int16_t DebugBg = 0;
    // [Music] of the 1.1 engine: bgmvolume in percent (100 as is), and the loop between the
    // sample positions bgmloopstart and bgmloopend (an end of 0: the whole file loops).
    int16_t BgmVolume = 100;
    int32_t BgmLoopStart = 0, BgmLoopEnd = 0;
};

// Where the parser took a stage's values from, so that writing values back edits the lines it read
// (not a second reading with rules of its own). Lines count from 1, as the error log quotes them.
enum class SourceSectionKind { Stage, Element, Animation, CtrlGroup, Controller, Skipped };

struct SourceSection {
    SourceSectionKind Kind = SourceSectionKind::Stage;
    int32_t Index = -1;    // the element, animation, group or controller read in it; -1 for stage keys
    std::string Name;      // lower-cased text between the brackets ("camera"); empty before any header
    int32_t Header = 0;    // the header line; 0 for the lines before the first header
    int32_t LastLine = 0;  // its last line that holds anything besides a comment
};

struct ElementSource {
    // The element's own section (its header to the last line before the next header) and the last
    // line read into it: keys under a later [Info] or [Music] header still belong to the element.
    int32_t Header = 0;
    int32_t OwnLastLine = 0;
    int32_t LastLine = 0;
    // For each key ("start", "delta", ...), the line whose value the element kept: with duplicates,
    // the last line that read (the first for "type", which only its first line sets).
    std::map<std::string, int32_t> Keys;
};

struct StageSource {
    // The definition's bytes as they were parsed; Complete is false when it could not be read whole
    // (then nothing may be written back into it).
    std::string Bytes;
    bool Complete = false;
    std::vector<SourceSection> Sections;
    std::vector<ElementSource> Elements;       // in element order
    std::map<std::string, int32_t> StageKeys;  // as Keys, for the keys read outside any element
};

// Where a load stands, beside the model: read by the window's commands while the load services
// window messages.
struct StageLoadState {
    uint8_t LoadPhase = 0;  // 255 parsing, 1 loading, 0 ready
    bool SpritesLoaded = false;
    // Full path the music player is given (empty when the stage names no music).
    std::string MusicPath;
    // The smallest element y placed so far (BoundHigh is pulled up to it).
    float MinPosY = 0;
    // Filled by the parse.
    StageSource Source;
};

}  // namespace qb

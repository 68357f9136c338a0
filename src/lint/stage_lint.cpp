#include "lint/stage_lint.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

#include "library/open_package.h"
#include "library/open_stage.h"
#include "platform/paths.h"
#include "platform/ports.h"
#include "platform/text_util.h"
#include "stage/load_stage_files.h"
#include "stage/sff2_stage_sprites.h"
#include "stage/stage_line_source.h"
#include "stage/stage_loader.h"
#include "stage/stage_parser.h"

namespace qb {

namespace {

constexpr size_t npos = std::string::npos;
// A definition bigger than this is no stage; it is only looked into to tell stages from the rest.
constexpr size_t kMaxDefinitionBytes = 16u * 1024u * 1024u;
// How the package's notes about entries it left out begin in the error log.
constexpr std::string_view kPackageNoteStart = "Package entry ";

bool Contains(std::string_view hay, std::string_view needle) {
    return hay.find(needle) != npos;
}

std::string Quoted(std::string_view bytes) {
    return "\"" + text::ContentToUtf8(bytes) + "\"";
}

// A package of several stages: the one to open (-1: the preselected one), and how many were offered.
class ChoosingUi : public HeadlessUi {
public:
    int choice = -1;
    int offered = 0;

    int ChooseItem(const std::string&, const std::vector<std::string>& items, int preselected,
                   const std::string&) override {
        offered = static_cast<int>(items.size());
        return choice >= 0 && choice < offered ? choice : preselected;
    }
};

// Where the sections the parser counts begin, as the parser's own source map gives them, so that the
// n-th element, animation and controller can be given a line. A list is only used when it has as many
// entries as the model (the section limits can make them differ).
struct SectionLines {
    std::vector<int32_t> elements, actions, groups, controllers;
    std::vector<std::vector<int32_t>> frames;  // per animation, the line of each frame
    // Keys the preview does not use: of later engines, or of none.
    std::vector<LintProblem> laterKeys;
    // Lines whose value cannot be what the key needs (a window of fewer than four values), and
    // values left as they should not be (debugbg on).
    std::vector<LintProblem> badValues;
    // Per element, the lines of its "positionlink", "trans" and "type" keys (0 when it has none).
    std::vector<int32_t> positionLinks, transLines, typeLines;
    int32_t spr = 0, bgmusic = 0;
};

// Keys of stage definitions by the section they belong in ("" for an element, "bgctrldef" and
// "bgctrl" for controllers): what the engine reads up to 1.1 (its documentation and sample stages)
// and what the preview reads besides. Those that change the picture are drawn; the rest (players,
// rounds, the stage's notes, the z scaling of characters) have nothing to draw.
struct SectionKey {
    std::string_view section, key;
};
constexpr SectionKey kKnownKeys[] = {
    {"info", "name"}, {"info", "displayname"}, {"info", "versiondate"}, {"info", "mugenversion"},
    {"info", "author"},
    {"camera", "startx"}, {"camera", "starty"}, {"camera", "boundleft"}, {"camera", "boundright"},
    {"camera", "boundhigh"}, {"camera", "boundlow"}, {"camera", "verticalfollow"},
    {"camera", "floortension"}, {"camera", "tension"}, {"camera", "tensionhigh"}, {"camera", "tensionlow"},
    {"camera", "overdrawhigh"}, {"camera", "overdrawlow"}, {"camera", "cuthigh"}, {"camera", "cutlow"},
    {"camera", "zoomout"}, {"camera", "zoomin"}, {"camera", "startzoom"},
    {"playerinfo", "p1startx"}, {"playerinfo", "p1starty"}, {"playerinfo", "p1startz"},
    {"playerinfo", "p1facing"}, {"playerinfo", "p2startx"}, {"playerinfo", "p2starty"},
    {"playerinfo", "p2startz"}, {"playerinfo", "p2facing"}, {"playerinfo", "p3startx"},
    {"playerinfo", "p3starty"}, {"playerinfo", "p3startz"}, {"playerinfo", "p3facing"},
    {"playerinfo", "p4startx"}, {"playerinfo", "p4starty"}, {"playerinfo", "p4startz"},
    {"playerinfo", "p4facing"}, {"playerinfo", "leftbound"}, {"playerinfo", "rightbound"},
    {"playerinfo", "topbound"}, {"playerinfo", "botbound"},
    {"bound", "screenleft"}, {"bound", "screenright"},
    {"stageinfo", "zoffset"}, {"stageinfo", "zoffsetlink"}, {"stageinfo", "autoturn"},
    {"stageinfo", "resetbg"}, {"stageinfo", "localcoord"}, {"stageinfo", "xscale"},
    {"stageinfo", "yscale"}, {"stageinfo", "hires"},
    {"shadow", "intensity"}, {"shadow", "color"}, {"shadow", "yscale"}, {"shadow", "fade.range"},
    {"shadow", "reflect"}, {"shadow", "xshear"},
    {"reflection", "intensity"},
    {"music", "bgmusic"}, {"music", "bgvolume"}, {"music", "bgmvolume"}, {"music", "bgmloopstart"},
    {"music", "bgmloopend"},
    {"bgdef", "spr"}, {"bgdef", "debugbg"},
    {"scaling", "topz"}, {"scaling", "botz"}, {"scaling", "topscale"}, {"scaling", "botscale"},
    {"", "type"}, {"", "spriteno"}, {"", "actionno"}, {"", "id"}, {"", "layerno"}, {"", "start"},
    {"", "delta"}, {"", "trans"}, {"", "alpha"}, {"", "mask"}, {"", "tile"}, {"", "tilespacing"},
    {"", "window"}, {"", "maskwindow"}, {"", "windowdelta"}, {"", "velocity"}, {"", "sin.x"},
    {"", "sin.y"}, {"", "positionlink"}, {"", "xscale"}, {"", "width"}, {"", "yscalestart"},
    {"", "yscaledelta"}, {"", "zoomdelta"}, {"", "scalestart"}, {"", "scaledelta"},
    {"bgctrldef", "looptime"}, {"bgctrldef", "ctrlid"},
    {"bgctrl", "type"}, {"bgctrl", "time"}, {"bgctrl", "ctrlid"}, {"bgctrl", "x"}, {"bgctrl", "y"},
    {"bgctrl", "value"},
};
// Keys of engines later than the one the preview models (element rotation and palette effects,
// the reflection's and the shadow's placement): the engine that knows them may show the stage
// differently.
constexpr SectionKey kLaterKeys[] = {
    {"bgdef", "bgclearcolor"}, {"bgdef", "roundpos"},
    {"shadow", "offset"}, {"shadow", "window"},
    {"reflection", "xshear"}, {"reflection", "offset"}, {"reflection", "window"},
    {"", "angle"}, {"", "xangle"}, {"", "yangle"}, {"", "projection"}, {"", "focallength"},
    {"", "xshear"}, {"", "palfx.add"}, {"", "palfx.mul"}, {"", "palfx.color"}, {"", "palfx.invertall"},
    {"", "palfx.sinadd"},
};
// The sections whose keys are looked at; others are no stage section of the engine.
constexpr std::string_view kStageSections[] = {"info",   "camera",     "playerinfo", "bound", "stageinfo",
                                               "shadow", "reflection", "music",      "bgdef", "scaling"};

// `section` "stage" stands for any stage section: the preview reads stage keys wherever they stand.
bool HasKey(const SectionKey* begin, const SectionKey* end, std::string_view section, std::string_view key) {
    const auto stage = [](std::string_view s) { return !s.empty() && s != "bgctrldef" && s != "bgctrl"; };
    return std::any_of(begin, end, [&](const SectionKey& k) {
        return k.key == key && (k.section == section || (section == "stage" && stage(k.section)));
    });
}

// What the lint says of `key` in `section`; empty when the preview reads it or it draws nothing.
std::string UnsupportedKey(std::string_view section, std::string_view key) {
    if (HasKey(std::begin(kKnownKeys), std::end(kKnownKeys), section, key)) return {};
    if (HasKey(std::begin(kLaterKeys), std::end(kLaterKeys), section, key))
        return "\"" + std::string(key) + "\" is a key of later engines; the preview does not draw it";
    return "\"" + std::string(key) +
           "\" is no key of the engine (misspelt, or another program's); the engine ignores it";
}

// An element's window as the parse read it: "window" and "maskwindow" share it and the line
// written last gives it, so that line is the one a short window is told on, whichever key it has.
// A short line another one replaced draws nothing and is not told.
template <typename Cleaned>
void AddWindowProblems(const StageSource& map, const StageModel& stage, const Cleaned& cleaned,
                       std::vector<LintProblem>& out) {
    if (map.Elements.size() != stage.Elements.size()) return;
    for (size_t i = 0; i < stage.Elements.size(); ++i) {
        const BgElement& e = stage.Elements[i];
        if (e.WindowKind == 0 || e.WindowValues >= 4) continue;
        const std::string key = e.WindowKind == 2 ? "maskwindow" : "window";
        const auto at = map.Elements[i].Keys.find(key);
        const int32_t line = at != map.Elements[i].Keys.end() ? at->second : map.Elements[i].Header;
        const std::string header = std::string(text::Trim(cleaned(map.Elements[i].Header)));
        const int values = e.WindowValues;
        out.push_back({LintKind::Definition, line,
                       "element " + Quoted(header) + ": \"" + key + "\" has " + std::to_string(values) +
                           (values == 1 ? " value" : " values") + "; a window needs four (x1, y1, x2, y2)"});
    }
}

// From the source map the load made of the definition (none when it could not be read whole) and
// the model the parse made of it.
SectionLines FindSectionLines(const StageSource& map, const StageModel& stage) {
    SectionLines found;
    if (!map.Complete) return found;
    const std::vector<std::string> raw = text::SplitTextLines(map.Bytes, true);
    // The cleaned text of a line as the parser saw it (comment cut off); empty when it skipped it.
    const auto cleaned = [&raw](int32_t number) {
        std::string line = number >= 1 && static_cast<size_t>(number) <= raw.size() ? raw[number - 1] : "";
        return CleanStageLine(line) ? line : std::string();
    };
    const auto keyLine = [](const std::map<std::string, int32_t>& keys, const char* key) {
        const auto at = keys.find(key);
        return at == keys.end() ? 0 : at->second;
    };
    for (const SourceSection& section : map.Sections) {
        // Which keys the section takes: an element's, a controller's, or those of the stage sections
        // the engine knows (keys before any header, and sections skipped past a limit, are not
        // looked at).
        std::string_view keys;
        std::string label;
        const std::string header = std::string(text::Trim(cleaned(section.Header)));
        const std::string name = std::string(text::Trim(section.Name));
        if (section.Kind == SourceSectionKind::Element) {
            label = "element " + Quoted(header);
        } else if (section.Kind == SourceSectionKind::CtrlGroup || section.Kind == SourceSectionKind::Controller) {
            keys = section.Kind == SourceSectionKind::CtrlGroup ? "bgctrldef" : "bgctrl";
            label = Quoted(header);
        } else if (const auto* known = std::find(std::begin(kStageSections), std::end(kStageSections), name);
                   section.Kind == SourceSectionKind::Stage && section.Header != 0 && known != std::end(kStageSections)) {
            keys = "stage";
            label = Quoted(header);
        } else {
            continue;
        }
        for (int32_t n = section.Header + 1; n <= section.LastLine; ++n) {
            const std::string line = cleaned(n);
            const size_t equals = line.find('=');
            if (equals == npos) continue;
            const std::string key = text::Lower(text::Trim(line.substr(0, equals)));
            const std::string says = UnsupportedKey(keys, key);
            if (!says.empty()) found.laterKeys.push_back({LintKind::Unsupported, n, label + ": " + says});
        }
    }
    const auto debugBg = map.StageKeys.find("debugbg");
    if (stage.DebugBg != 0 && debugBg != map.StageKeys.end())
        found.badValues.push_back({LintKind::Definition, debugBg->second,
                                   "\"debugbg\" is left on: the engine clears the screen to magenta before the "
                                   "back layer (a help for finding holes, and slower)"});
    AddWindowProblems(map, stage, cleaned, found.badValues);
    for (const ElementSource& e : map.Elements) {
        found.elements.push_back(e.Header);
        found.positionLinks.push_back(keyLine(e.Keys, "positionlink"));
        found.transLines.push_back(keyLine(e.Keys, "trans"));
        found.typeLines.push_back(keyLine(e.Keys, "type"));
    }
    int32_t action = -1;
    for (const SourceSection& section : map.Sections) {
        if (section.Kind == SourceSectionKind::CtrlGroup) found.groups.push_back(section.Header);
        if (section.Kind == SourceSectionKind::Controller) found.controllers.push_back(section.Header);
        if (section.Kind != SourceSectionKind::Animation) continue;
        // A bracketed line inside an animation only renames the section: its lines stay frames.
        if (section.Index != action) {
            action = section.Index;
            found.actions.push_back(section.Header);
            found.frames.emplace_back();
        }
        for (int32_t n = section.Header; n <= section.LastLine; ++n)
            if (IsAnimationFrameLine(cleaned(n))) found.frames.back().push_back(n);
    }
    found.spr = keyLine(map.StageKeys, "spr");
    found.bgmusic = keyLine(map.StageKeys, "bgmusic");
    return found;
}

int32_t LineAt(const std::vector<int32_t>& lines, size_t count, size_t index) {
    return lines.size() == count && index < lines.size() ? lines[index] : 0;
}

// The error log's records as problems.
// `music` is the problem the music entry of the log is told as (empty: the entry's own path).
void AddLogProblems(const std::vector<Problem>& records, const SectionLines& lines, const std::string& music,
                    std::vector<LintProblem>& out) {
    for (const Problem& p : records) {
        switch (p.kind) {
            case ProblemKind::WindowDelta:
                // The definition is right, and the window follows the camera by its windowdelta.
                break;
            case ProblemKind::NegativeTileX:
            case ProblemKind::NegativeTileY: {
                const bool x = p.kind == ProblemKind::NegativeTileX;
                out.push_back({LintKind::Definition, p.line,
                               std::string("tile ") + (x ? "x" : "y") + " is negative (\"" +
                                   (x ? "TileX" : "TileY") + " < 0\"); read as 1"});
                break;
            }
            case ProblemKind::ReaderError: {
                std::string message = "ERROR #" + std::to_string(p.code) + " (" + p.text + ")";
                if (!p.subject.empty()) message += " reading " + Quoted(p.subject);
                out.push_back({LintKind::Definition, p.line, message});
                break;
            }
            case ProblemKind::StrayCharacter:
                out.push_back({LintKind::Definition, p.line,
                               "stray character " + p.text + " at column " + std::to_string(p.column) +
                                   " after a number (the number is read up to it) in " + Quoted(p.subject)});
                break;
            case ProblemKind::PackageNote:
                out.push_back({LintKind::Load, 0, text::ContentToUtf8(p.text)});
                break;
            case ProblemKind::UnreadableSpriteFile:
                out.push_back(
                    {LintKind::SpriteFile, lines.spr,
                     "sprite file " + Quoted(FileNameOf(p.file)) + " is not a readable sprite file"});
                break;
            case ProblemKind::MusicNotPlayed:
                out.push_back({LintKind::Music, lines.bgmusic,
                               !music.empty() && p.text == "no such file"
                                   ? music
                                   : "music file " + Quoted(p.file) + ": " + text::ContentToUtf8(p.text)});
                break;
            case ProblemKind::Note:
            case ProblemKind::ParseRemark:
            case ProblemKind::Edited:
                for (const std::string& entry : text::SplitTextLines(p.text))
                    if (!text::Trim(entry).empty())
                        out.push_back({LintKind::Definition, p.line, text::ContentToUtf8(entry)});
                break;
            case ProblemKind::SpritesNotRead:
                out.push_back({LintKind::SpriteFile, lines.spr,
                               "sprite file " + Quoted(FileNameOf(p.file)) + ": " + std::to_string(p.code) +
                                   " of its " + p.subject + " sprites could not be read (" + p.text + ")"});
                break;
            case ProblemKind::DamagedSprite:
                // One sprite of a version 2 file that cannot be decoded, not a file that cannot be read.
                out.push_back({LintKind::Sprite, lines.spr,
                               "sprite " + text::ContentToUtf8(p.text) + " cannot be decoded"});
                break;
        }
    }
}

void AddMessageProblems(const std::vector<LoadBox>& boxes, const SectionLines& lines, bool loaded,
                        std::vector<LintProblem>& out) {
    for (const LoadBox& box : boxes) {
        const std::string& message = box.text;
        const int32_t line = box.line;
        if (Contains(message, "COULD NOT BE FOUND")) {
            // "SFF FILE:" CR LF path CR LF "COULD NOT BE FOUND!"
            const std::vector<std::string> parts = text::SplitTextLines(message);
            const std::string path = parts.size() >= 2 ? parts[1] : message;
            out.push_back(
                {LintKind::SpriteFile, lines.spr, "sprite file " + Quoted(path) + " could not be found"});
        } else if (!loaded) {
            out.push_back({LintKind::Load, line, "the load stopped with " + Quoted(message)});
        } else {
            out.push_back({LintKind::Definition, line, "message box " + Quoted(message) + " while reading"});
        }
    }
}

// The blending words of "trans", in any letter case.
bool IsKnownTrans(std::string_view trans) {
    const std::string word = text::Lower(text::Trim(trans));
    for (const char* known : {"none", "default", "add", "add1", "sub", "addalpha"})
        if (word == known) return true;
    return false;
}

// The element types, in any letter case. The engine goes by the first letter, so "normall" still
// draws as normal; a word that is none of them is most likely a slip (and "b" is no type at all).
bool IsKnownType(std::string_view type) {
    const std::string word = text::Lower(text::Trim(type));
    for (const char* known : {"normal", "parallax", "anim", "dummy", "null"})
        if (word == known) return true;
    return false;
}

std::string ElementLabel(const BgElement& e) {
    return "element " + Quoted(e.Name) + " (" + text::ContentToUtf8(e.Type) + ")";
}

// `spritesKnown` is false when the sprite file could not be read: then every sprite would be missing
// and only that one problem is told.
void AddElementProblems(const StageModel& stage, const SectionLines& lines, bool spritesKnown,
                        std::vector<LintProblem>& out) {
    for (size_t i = 0; i < stage.Elements.size(); ++i) {
        const BgElement& e = stage.Elements[i];
        const int32_t line = LineAt(lines.elements, stage.Elements.size(), i);
        const auto keyLine = [&](const std::vector<int32_t>& keys) {
            const int32_t at = LineAt(keys, stage.Elements.size(), i);
            return at != 0 ? at : line;
        };
        // The loader places such an element on its own: there is nothing before it to follow.
        if (i == 0 && e.PositionLink != 0)
            out.push_back({LintKind::Definition, keyLine(lines.positionLinks),
                           ElementLabel(e) + ": positionlink = " + std::to_string(e.PositionLink) +
                               " on the first element; there is no element before it to link to"});
        if (!e.Trans.empty() && !IsKnownTrans(e.Trans))
            out.push_back({LintKind::Definition, keyLine(lines.transLines),
                           ElementLabel(e) + ": trans " + Quoted(e.Trans) +
                               " is not one of none, default, add, add1, sub, addalpha"});
        if (!e.TypeWritten.empty() && !IsKnownType(e.TypeWritten))
            out.push_back({LintKind::Definition, keyLine(lines.typeLines),
                           ElementLabel(e) + ": type " + Quoted(e.TypeWritten) +
                               " is not one of normal, parallax, anim, dummy, null (the engine reads it by "
                               "its first letter)"});
        if (e.Type == "dummy") continue;
        if (e.Type == "anim") {
            if (e.ActionIndex < 0)
                out.push_back({LintKind::Action, line,
                               ElementLabel(e) + ": actionno " + std::to_string(e.ActionNo) +
                                   " has no [Begin Action " + std::to_string(e.ActionNo) + "]"});
        } else if (spritesKnown && e.SpriteIndex == -1 && e.SpriteGroup >= 0) {
            // A negative group is how stages leave an element blank on purpose.
            out.push_back({LintKind::Sprite, line,
                           ElementLabel(e) + ": sprite " + std::to_string(e.SpriteGroup) + "," +
                               std::to_string(e.SpriteImage) + " is not in the sprite file"});
        }
    }
    for (size_t a = 0; spritesKnown && a < stage.Actions.size(); ++a) {
        const BgAction& action = stage.Actions[a];
        const int32_t line = LineAt(lines.actions, stage.Actions.size(), a);
        // One problem per missing sprite of an animation, however many frames show it.
        std::map<std::pair<int32_t, int16_t>, std::vector<size_t>> missing;
        std::vector<std::pair<int32_t, int16_t>> order;
        for (size_t f = 0; f < action.Frames.size(); ++f) {
            const BgFrame& frame = action.Frames[f];
            if (frame.SpriteIndex != -1 || frame.Group < 0) continue;  // group -1: a blank frame
            auto& frames = missing[{frame.Group, frame.Image}];
            if (frames.empty()) order.emplace_back(frame.Group, frame.Image);
            frames.push_back(f + 1);
        }
        const bool frameLinesKnown =
            line != 0 && a < lines.frames.size() && lines.frames[a].size() == action.Frames.size();
        for (const auto& key : order) {
            const std::vector<size_t>& frames = missing[key];
            const int32_t frameLine = frameLinesKnown ? lines.frames[a][frames.front() - 1] : line;
            std::string which = frames.size() == 1 ? "frame " : "frames ";
            for (size_t k = 0; k < frames.size(); ++k) which += (k ? "," : "") + std::to_string(frames[k]);
            out.push_back({LintKind::Sprite, frameLine,
                           "[Begin Action " + std::to_string(action.Number) + "] " + which + ": sprite " +
                               std::to_string(key.first) + "," + std::to_string(key.second) +
                               " is not in the sprite file"});
        }
    }
}

void AddIdProblems(const std::vector<int32_t>& resolved, const std::vector<int32_t>& read, int32_t line,
                   const std::string& label, std::vector<LintProblem>& out) {
    for (size_t m = 0; m < read.size() && m < resolved.size(); ++m)
        if (resolved[m] == -1)
            out.push_back({LintKind::Controller, line,
                           label + ": ctrlid " + std::to_string(read[m]) + " matches no element id"});
}

void AddControllerProblems(const StageModel& stage, const SectionLines& lines,
                           std::vector<LintProblem>& out) {
    size_t controllerCount = 0;
    for (const BgCtrlDef& g : stage.CtrlDefs) controllerCount += g.Ctrls.size();
    size_t flat = 0;
    for (size_t gi = 0; gi < stage.CtrlDefs.size(); ++gi) {
        const BgCtrlDef& g = stage.CtrlDefs[gi];
        const std::string group = "controller group " + Quoted(g.Name);
        AddIdProblems(g.CtrlIds, g.CtrlIdsRead, LineAt(lines.groups, stage.CtrlDefs.size(), gi), group, out);
        for (const BgCtrl& c : g.Ctrls) {
            const int32_t line = LineAt(lines.controllers, controllerCount, flat++);
            const std::string label = "controller " + Quoted(c.Name) + " of " + group;
            AddIdProblems(c.CtrlIds, c.CtrlIdsRead, line, label, out);
            if (c.Type == "anim" && c.Value < 0)
                out.push_back({LintKind::Action, line, label + ": its value names no [Begin Action]"});
        }
    }
}

// The music the player did not find, told as the definition wrote it (folder and letter case kept)
// and with the places the player looked in.
std::string MusicProblem(const StageModel& stage, const std::string& mugeDir, const std::string& defPath) {
    const std::string written(text::Unquoted(stage.MusicRef));
    if (written.empty()) return {};
    const std::vector<std::string> paths = MusicLookupPaths(written, mugeDir, defPath);
    std::string where;
    for (size_t i = 0; i < paths.size(); ++i)
        where += (i == 0 ? "" : i + 1 == paths.size() ? " and " : ", ") + Quoted(paths[i]);
    return "bgmusic " + Quoted(written) + " was not found (looked for " + where + ")";
}

// The record the start of a loaded stage makes about its music. The lint plays nothing (a silent
// player opens any file), so only music that is not there is told, as the window's log tells it.
std::optional<Problem> MissingMusic(const LoadResult& loaded) {
    const StageModel& stage = loaded.stage;
    const std::string& path = loaded.load.MusicPath;
    // An empty "bgmusic =" reads as the text "0": no music.
    if (stage.MusicFile.empty() || stage.MusicFile == "0" || path.empty() || FileExists(path))
        return std::nullopt;
    return Problem{.kind = ProblemKind::MusicNotPlayed, .file = path, .text = "no such file"};
}

}  // namespace

const char* LintKindName(LintKind kind) {
    // In the order of LintKind.
    static constexpr const char* kNames[] = {"definition", "sprite-file", "sprite", "action",
                                             "controller", "music",       "load",   "unsupported"};
    static_assert(std::size(kNames) == kLintKinds.size());
    return kNames[static_cast<size_t>(kind)];
}

int StageLint::Count(LintKind kind) const {
    return static_cast<int>(std::count_if(problems.begin(), problems.end(),
                                          [kind](const LintProblem& p) { return p.kind == kind; }));
}

int StageLint::Faults() const {
    return static_cast<int>(problems.size()) - Count(LintKind::Unsupported);
}

std::vector<std::string> FindStageDefinitions(const std::string& dir, std::vector<std::string>* skipped,
                                              std::vector<std::string>* packages) {
    namespace fs = std::filesystem;
    std::vector<std::string> stages;
    std::error_code ec;
    fs::recursive_directory_iterator it(fs::path(ResolvePath(dir)),
                                        fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc)) continue;
        const std::string name = it->path().filename().string();
        const std::string extension =
            name.size() < 4 ? std::string() : text::Lower(name.substr(name.size() - 4));
        if (packages && IsPackagePath(name)) packages->push_back(it->path().string());
        if (extension != ".def") continue;
        const std::string path = it->path().string();
        // An unreadable definition is kept: its load says what is wrong with it.
        const std::optional<std::string> bytes = ReadFileBytes(path, kMaxDefinitionBytes);
        const bool stage = !bytes || (IsStage(path) && (text::ContainsNoCase(*bytes, "[bgdef") ||
                                                        text::ContainsNoCase(*bytes, "[stageinfo")));
        if (stage)
            stages.push_back(path);
        else if (skipped)
            skipped->push_back(path);
    }
    const auto byName = [](const std::string& a, const std::string& b) {
        const std::string la = text::Lower(a), lb = text::Lower(b);
        return la != lb ? la < lb : a < b;
    };
    std::sort(stages.begin(), stages.end(), byName);
    if (skipped) std::sort(skipped->begin(), skipped->end(), byName);
    if (packages) std::sort(packages->begin(), packages->end(), byName);
    return stages;
}

std::string LintMugeDir(const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder = fs::absolute(fs::path(ResolvePath(dir)), ec).lexically_normal();
    if (!folder.has_filename()) folder = folder.parent_path();  // "stages/" names the folder "stages"
    fs::path muge = folder;
    if (text::Lower(folder.filename().string()) == "stages" && folder.has_parent_path())
        muge = folder.parent_path();
    std::string text = muge.string();
    if (text.empty() || text.back() != '/') text += '/';
    return text;
}

StageLint LintDefinition(const std::string& mugeDir, const std::string& defPath,
                         const std::vector<Problem>& notes) {
    StageLint result;
    Progress quiet;
    LoadResult loaded = LoadStageFiles({defPath, mugeDir}, quiet);
    const SectionLines lines = FindSectionLines(loaded.load.Source, loaded.stage);
    result.loaded = loaded.ok;
    // The log as the window keeps it for a stage it starts: the package's notes, the load's records,
    // then what starting the music said.
    std::vector<Problem> records = notes;
    const std::vector<Problem>& read = loaded.log.Records();
    records.insert(records.end(), read.begin(), read.end());
    if (loaded.ok)
        if (std::optional<Problem> music = MissingMusic(loaded)) records.push_back(std::move(*music));
    AddMessageProblems(loaded.boxes, lines, result.loaded, result.problems);
    AddLogProblems(records, lines, MusicProblem(loaded.stage, mugeDir, defPath), result.problems);
    result.problems.insert(result.problems.end(), lines.laterKeys.begin(), lines.laterKeys.end());
    result.problems.insert(result.problems.end(), lines.badValues.begin(), lines.badValues.end());
    if (result.loaded) {
        result.stageName = std::string(text::Unquoted(text::ContentToUtf8(loaded.stage.StageName)));
        const bool spritesKnown = result.Count(LintKind::SpriteFile) == 0;
        AddElementProblems(loaded.stage, lines, spritesKnown, result.problems);
        AddControllerProblems(loaded.stage, lines, result.problems);
    } else if (std::none_of(result.problems.begin(), result.problems.end(), [](const LintProblem& p) {
                   return p.kind == LintKind::SpriteFile || p.kind == LintKind::Load;
               })) {
        result.problems.push_back({LintKind::Load, 0, "the stage did not load"});
    }
    std::stable_sort(result.problems.begin(), result.problems.end(),
                     [](const LintProblem& a, const LintProblem& b) { return a.line < b.line; });
    // The reader reports each value of a line it cannot read: one problem per line and text.
    std::vector<LintProblem> merged;
    std::vector<int> times;
    for (LintProblem& p : result.problems) {
        if (!merged.empty() && merged.back().line == p.line && merged.back().kind == p.kind &&
            merged.back().message == p.message) {
            ++times.back();
            continue;
        }
        merged.push_back(std::move(p));
        times.push_back(1);
    }
    for (size_t i = 0; i < merged.size(); ++i)
        if (times[i] > 1) merged[i].message += " (" + std::to_string(times[i]) + " times)";
    result.problems = std::move(merged);
    return result;
}

namespace {

// What opening a package said (its boxes, its notes about entries left out): the package's own.
bool IsPackageProblem(const LintProblem& p) {
    return p.kind == LintKind::Load &&
           (p.message.rfind("opening the package: ", 0) == 0 || p.message.rfind(kPackageNoteStart, 0) == 0);
}

// One stage of the package: `choice` is its place among the stages the package offers (-1: the one
// opened by default); `offered` is set to how many it offers (0 when it does not ask).
PackageLint LintPackageStage(const std::string& mugeDir, const std::string& temp, const std::string& zipPath,
                             int choice, int& offered) {
    namespace fs = std::filesystem;
    PackageLint result;
    std::error_code ec;
    std::string pattern = (fs::path(temp) / "quillback-lint-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        result.lint.problems.push_back({LintKind::Load, 0, "no private folder to extract the package into"});
        return result;
    }
    const std::string scratch = pattern;
    DataDirs dirs;
    dirs.Temp = scratch;

    ChoosingUi ui;
    ui.choice = choice;
    PackageOpen open = OpenPackage(zipPath, dirs, ui);
    offered = ui.offered;
    // What the window shows while it opens the package: a box about entries it could not extract
    // (the stage still opens), or the refusal of the whole package.
    for (const std::string& message : {open.refusal, open.skipped}) {
        if (message.empty()) continue;
        std::string said = message;
        for (size_t at; (at = said.find("\r\n")) != npos;) said.replace(at, 2, " ");
        result.lint.problems.push_back({LintKind::Load, 0, "opening the package: " + Quoted(said)});
    }
    if (open.Opened()) {
        result.entry = open.package.DefinitionEntry;
        std::vector<Problem> notes;
        for (const std::string& note : open.package.Notes)
            notes.push_back(Problem{.kind = ProblemKind::PackageNote, .file = zipPath, .text = note});
        StageLint stage = LintDefinition(mugeDir, open.definition, notes);
        stage.problems.insert(stage.problems.begin(), result.lint.problems.begin(),
                              result.lint.problems.end());
        result.lint = std::move(stage);
    } else {
        result.lint.problems.push_back({LintKind::Load, 0, "opening the package: \"Not a stage!\""});
    }
    // The private folders are gone once this returns: paths in them are named by what they are.
    for (const std::string& folder : {open.package.Folder, scratch}) {
        if (folder.empty()) continue;
        for (LintProblem& p : result.lint.problems)
            for (size_t at; (at = p.message.find(folder)) != npos;)
                p.message.replace(at, folder.size(), "<extracted>");
    }
    DeleteExtractedFiles(open.package);
    fs::remove_all(scratch, ec);
    return result;
}

}  // namespace

std::vector<PackageLint> LintPackage(const std::string& mugeDir, const std::string& temp,
                                     const std::string& zipPath) {
    int offered = 0;
    PackageLint byDefault = LintPackageStage(mugeDir, temp, zipPath, -1, offered);
    std::vector<PackageLint> stages;
    for (int i = 0; i + 1 < offered; ++i) {
        int again = 0;
        stages.push_back(LintPackageStage(mugeDir, temp, zipPath, i, again));
        // What opening the package said is the package's, told once with its first stage.
        std::erase_if(stages.back().lint.problems, IsPackageProblem);
    }
    // The preselected stage is the last one listed; the package's own problems go first.
    if (!stages.empty()) {
        std::vector<LintProblem> own;
        std::copy_if(byDefault.lint.problems.begin(), byDefault.lint.problems.end(), std::back_inserter(own),
                     IsPackageProblem);
        std::erase_if(byDefault.lint.problems, IsPackageProblem);
        auto& first = stages.front().lint.problems;
        first.insert(first.begin(), own.begin(), own.end());
    }
    stages.push_back(std::move(byDefault));
    return stages;
}

}  // namespace qb

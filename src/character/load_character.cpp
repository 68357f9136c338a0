#include "character/load_character.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "platform/gfx.h"
#include "platform/paths.h"
#include "platform/ports.h"
#include "platform/text_util.h"

namespace qb {

namespace {

using text::ContainsNoCase;
using text::FindNoCase;
using text::Trim;

constexpr size_t npos = std::string_view::npos;
// Character text files are a few hundred kilobytes at most; anything past this is not one.
constexpr size_t kMaxCharTextBytes = size_t{32} << 20;
constexpr int16_t kMaxFramesPerAction = std::numeric_limits<int16_t>::max();

// The loader's text arithmetic works on 1-based positions where 0 means "absent", and a slice whose
// bounds do not make sense fails (the field it was meant for then keeps its value), as the
// character format's first readers behaved.
size_t Pos(std::string_view s, std::string_view what, size_t from1 = 1) {
    if (from1 == 0 || from1 > s.size()) return 0;
    size_t at = FindNoCase(s.substr(from1 - 1), what);
    return at == npos ? 0 : at + from1;
}
size_t PosChar(std::string_view s, char c, size_t from1 = 1) {
    if (from1 == 0 || from1 > s.size()) return 0;
    size_t at = s.find(c, from1 - 1);
    return at == npos ? 0 : at + 1;
}
// Characters from 1-based `start`, `length` of them; nullopt for a start below 1 or a negative length.
std::optional<std::string_view> Mid(std::string_view s, int64_t start, int64_t length) {
    if (start < 1 || length < 0) return std::nullopt;
    if (static_cast<size_t>(start) > s.size()) return std::string_view{};
    return s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length));
}
std::optional<std::string_view> MidToEnd(std::string_view s, int64_t start) {
    if (start < 1) return std::nullopt;
    if (static_cast<size_t>(start) > s.size()) return std::string_view{};
    return s.substr(static_cast<size_t>(start - 1));
}
std::optional<std::string_view> Slice(std::string_view s, size_t afterPos, size_t beforePos) {
    return Mid(s, static_cast<int64_t>(afterPos) + 1,
               static_cast<int64_t>(beforePos) - static_cast<int64_t>(afterPos) - 1);
}

// Strict conversions: a text that is not a number, or out of the target's range, changes nothing.
template <typename T>
void SetNumber(std::optional<std::string_view> textIn, T& target) {
    if (!textIn) return;
    const auto value = text::ParseNumber(*textIn);
    if (!value) return;
    if constexpr (std::is_same_v<T, float>) {
        if (!std::isfinite(*value) || std::fabs(*value) > FLT_MAX) return;
        target = static_cast<float>(*value);
    } else {
        const double r = text::RoundHalfEven(*value);
        if (!(r >= std::numeric_limits<T>::min() && r <= std::numeric_limits<T>::max())) return;
        target = static_cast<T>(r);
    }
}

// Position of a marker word in a line, 0 when absent or when a comment starts before it.
size_t UncommentedPos(std::string_view line, std::string_view word) {
    const size_t at = Pos(line, word);
    if (at == 0) return 0;
    const size_t semi = PosChar(line, ';');
    return (semi > 0 && semi < at) ? 0 : at;
}

void Refuse(Ui& ui, const std::string& text, const std::string& title) {
    ui.MsgBox(text, MsgIcon::Exclamation, MsgButtons::Ok, title);
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

struct FileNames {
    std::string anim, sprite, cns;
};

// The [Files] base name of a line: the trimmed text between its first "=" and the marker.
void TakeBaseName(std::string_view line, std::string_view marker, std::string& base) {
    const size_t at = Pos(line, marker);
    if (auto name = Slice(line, PosChar(line, '='), at)) base = std::string(Trim(*name));
}

// Reads the definition up to the end of its [Files] section: the display name and the base names
// of the animation, sprite and constants files.
void ReadDefinition(const std::vector<std::string>& lines, TestCharacter& character, FileNames& names) {
    bool inFiles = false;
    for (const std::string& raw : lines) {
        const std::string_view line = raw;
        // The display name counts unless it is commented out; a comment after it is fine.
        if (const size_t d = Pos(line, "displayname"); d > 0) {
            const size_t semi = PosChar(line, ';');
            if (semi == 0 || semi > d) {
                const size_t q1 = PosChar(line, '"');
                const size_t q2 = q1 > 0 ? PosChar(line, '"', q1 + 1) : 0;
                if (auto name = Slice(line, q1, q2)) character.Name = std::string(*name);
            }
        }
        // "localcoord = 1280, 720": the width the character's sizes are measured in. A width that
        // is not a positive number keeps the classic 320.
        if (const size_t at = UncommentedPos(line, "localcoord"); at > 0 && !inFiles) {
            const std::string_view body = line.substr(0, line.find(';'));
            const size_t eq = PosChar(body, '=', at);
            const size_t comma = eq > 0 ? PosChar(body, ',', eq) : 0;
            int16_t width = 0;
            if (eq > 0) SetNumber(comma > 0 ? Slice(body, eq, comma) : MidToEnd(body, static_cast<int64_t>(eq) + 1), width);
            if (width > 0) character.LocalCoordWidth = width;
        }
        if (inFiles) {
            // The next section header ends the section; a header with a comment on its line does not.
            if (PosChar(line, '[') > 0 && PosChar(line, ']') > 0 && PosChar(line, ';') == 0) break;
            const std::string_view trimmed = Trim(line);
            if (!trimmed.empty() && trimmed[0] != ';') {
                if (Pos(line, "ANIM") > 0 && Pos(line, ".AIR") > 0) TakeBaseName(line, ".AIR", names.anim);
                if (Pos(line, "SPRITE") > 0 && Pos(line, ".SFF") > 0) TakeBaseName(line, ".SFF", names.sprite);
                // Only "cns" at the very start: "stcommon = common1.cns" and "st = x.cns" name state
                // files, and an indented constants line does not count either.
                if (line.size() >= 3 && FindNoCase(line.substr(0, 3), "CNS") == 0 && Pos(line, ".CNS") > 0)
                    TakeBaseName(line, ".CNS", names.cns);
            }
        }
        if (Pos(line, "[FILES]") > 0) inFiles = true;
    }
}

// One frame line: group, image, x and y offsets, time, and the flip after a fifth comma.
CharFrame ReadFrame(std::string_view frameLine) {
    std::string_view f = frameLine;
    if (const size_t semi = f.find(';'); semi != npos) f = f.substr(0, semi);
    f = Trim(f);
    size_t c[6] = {0, 0, 0, 0, 0, 0};
    for (int k = 1; k <= 5; ++k) c[k] = (k == 1 || c[k - 1] > 0) ? PosChar(f, ',', c[k - 1] + 1) : 0;
    CharFrame frame;
    SetNumber(Mid(f, 1, static_cast<int64_t>(c[1]) - 1), frame.Group);
    SetNumber(Slice(f, c[1], c[2]), frame.Image);
    SetNumber(Slice(f, c[2], c[3]), frame.OffsetX);
    SetNumber(Slice(f, c[3], c[4]), frame.OffsetY);
    if (c[5] > 0) {
        // With a flip field the time is taken as written: -1 stays -1.
        SetNumber(Slice(f, c[4], c[5]), frame.Time);
        if (auto flip = MidToEnd(f, static_cast<int64_t>(c[5]) + 1); flip && ContainsNoCase(*flip, "H")) {
            frame.FlipH = -1;
            if (frame.OffsetX != std::numeric_limits<int16_t>::min())
                frame.OffsetX = static_cast<int16_t>(-frame.OffsetX);
        }
    } else if (c[4] > 0) {
        SetNumber(MidToEnd(f, static_cast<int64_t>(c[4]) + 1), frame.Time);
        if (frame.Time == -1) frame.Time = 100;  // "forever" becomes a long hold
    }
    // Fewer than four commas: the line has no time field, and the frame no time (0).
    return frame;
}

enum class AirResult { Ok, NoLanding, NegativeWalkFrame };

AirResult ReadAnimation(const std::vector<std::string>& lines, TestCharacter& character) {
    int slot = 0;
    bool collecting = false;
    int16_t frameIndex = 0;
    int16_t number = 0;  // the number of the action being collected
    bool landing = false;
    std::array<bool, kCharSlotCount> seen{};
    for (const std::string& raw : lines) {
        const std::string_view line = Trim(raw);
        const size_t header = UncommentedPos(line, "BEGIN ACTION");
        if (collecting) {
            CharAction& action = character.Actions[static_cast<size_t>(slot)];
            if (header > 0) {
                collecting = false;
            } else if (!line.empty() && text::IsDigit(line[0])) {
                if (action.FrameCount < kMaxFramesPerAction) {
                    action.Frames.resize(static_cast<size_t>(frameIndex) + 1);
                    action.Frames[static_cast<size_t>(frameIndex)] = ReadFrame(line);
                    action.FrameCount += 1;
                    frameIndex += 1;
                }
            } else {
                if (UncommentedPos(line, "LOOPSTART") > 0) {
                    action.LoopStart = frameIndex;
                    if (slot == kSlotTurn) action.LoopLimit = -1;
                    if (slot == kSlotWalk) action.LoopLimit = 10;
                }
                // A frame with a negative group: a turn that cannot be shown, or a walk that cannot.
                if (!line.empty() && line[0] == '-') {
                    if (number == 5) character.CanTurn = 0;
                    if (number == 20) return AirResult::NegativeWalkFrame;
                }
            }
        }
        if (header > 0) {
            const size_t actionAt = Pos(line, "ACTION");
            // A header whose number does not convert ("[Begin Action xyz]", or no "]") starts no
            // action: taken as action 0 it would replace the standing frames.
            int16_t read = -1;  // no walker action has this number
            SetNumber(Slice(line, actionAt + 5, PosChar(line, ']')), read);
            // Compared as numbers: "020" and "0020" are both the walk.
            const auto match = std::find(kCharActionNumbers.begin(), kCharActionNumbers.end(), read);
            if (match != kCharActionNumbers.end()) {
                number = read;
                const int matched = static_cast<int>(match - kCharActionNumbers.begin());
                // Real files repeat a header now and then; the first definition wins, so the frame
                // count always matches the frames held.
                if (!seen[static_cast<size_t>(matched)]) {
                    seen[static_cast<size_t>(matched)] = true;
                    slot = matched;
                    frameIndex = 0;
                    collecting = true;
                    character.Actions[static_cast<size_t>(slot)].Number = number;
                    if (slot == kSlotTurn) character.CanTurn = -1;
                    if (slot == kSlotLand) landing = true;
                }
            }
        }
    }
    return landing ? AirResult::Ok : AirResult::NoLanding;
}

void ReadConstants(CharLoadEnv& env, const std::vector<std::string>& lines, TestCharacter& character) {
    bool started = false;
    for (const std::string& raw : lines) {
        std::string_view line = Trim(raw);
        if (!started) {
            started = Pos(line, "[size]") > 0;
            continue;
        }
        // The first state definition ends the constants ([Size] through [Movement] come first).
        if (Pos(line, "state") > 0) break;
        if (line.empty() || line[0] == ';') continue;
        if (const size_t semi = line.find(';'); semi != npos) line = Trim(line.substr(0, semi));
        const auto value = MidToEnd(line, static_cast<int64_t>(PosChar(line, '=')) + 1);
        if (Pos(line, "xscale") > 0) SetNumber(value, character.XScale);
        if (Pos(line, "yscale") > 0) SetNumber(value, character.YScale);
        if (Pos(line, "walk.fwd") > 0) SetNumber(value, character.WalkSpeed);
        if (Pos(line, "yaccel") > 0) SetNumber(value, character.YAccel);
        // Through the definition reader, so that "airjump.neu" and "runjump.neu" do not count.
        int16_t first = 1, second = 2;
        if (ReadDefValue(env.reader, line, "jump.neu", character.JumpVelX, first))
            ReadDefValue(env.reader, line, "jump.neu", character.JumpVelY, second);
    }
}

// The sprite file's header and its image count (byte 20), read without loading the rest.
int32_t ReadSpriteHeader(const std::string& path, SffHeader* record) {
    const std::optional<std::string> read = ReadFileHead(path, kSffHeaderSize);
    if (!read) return 0;
    const std::string& head = *read;
    if (record) {
        if (auto header = ReadSffHeader(head)) *record = *header;
    }
    return static_cast<int32_t>(ReadLe32(AsBytes(head), 20));
}

uint64_t SpriteKey(int32_t group, int32_t image) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(group)) << 32) | static_cast<uint32_t>(image);
}

}  // namespace

std::vector<std::string> SplitCharLines(std::string_view bytes) {
    // Tabs become blanks as in stage lines: tabs between frame fields would leave numbers unread.
    return text::SplitTextLines(bytes, true);
}

std::optional<std::vector<std::string>> ReadCharLines(const std::string& path) {
    const auto bytes = ReadFileBytes(path, kMaxCharTextBytes);
    if (!bytes) return std::nullopt;
    return SplitCharLines(*bytes);
}

bool IsChar(const std::string& path) {
    if (!FileExists(path)) return false;
    const auto bytes = ReadFileBytes(path, kMaxCharTextBytes);
    return bytes && ContainsNoCase(*bytes, "stcommon");
}

bool LoadCharacter(CharLoadEnv& env, TestCharacter& character, const std::string& defPath, bool announce) {
    // Every load starts from a fresh record: a record that held another character would otherwise
    // keep its frame counts and constants wherever the new files say nothing.
    character = TestCharacter{};
    const std::string folder = GetPath(defPath);
    if (!FileExists(defPath)) {
        Refuse(env.ui, Quoted(defPath) + " could not be found.\r\nUnable to load " + defPath + ".", {});
        return false;
    }
    FileNames names;
    ReadDefinition(ReadCharLines(defPath).value_or(std::vector<std::string>{}), character, names);
    const std::string animPath = folder + names.anim + ".air";
    const std::string spritePath = folder + names.sprite + ".sff";
    const std::string cnsPath = folder + names.cns + ".cns";

    character.Actions.resize(kCharSlotCount);
    const auto animLines = ReadCharLines(animPath);
    if (!animLines) {
        Refuse(env.ui, "Unable to load " + Quoted(defPath) + " - animation file missing.", kCharBoxTitle);
        return false;
    }
    switch (ReadAnimation(*animLines, character)) {
        case AirResult::NegativeWalkFrame:
            Refuse(env.ui, "Unable to load " + Quoted(character.Name), kCharBoxTitle);
            return false;
        case AirResult::NoLanding:
            Refuse(env.ui, "Unable to load " + Quoted(defPath) + " - character has no walking frames.",
                   kCharBoxTitle);
            return false;
        case AirResult::Ok:
            break;
    }
    // The walker always shows a standing and a walking frame: a character without them is refused
    // rather than drawn from an empty animation.
    for (const auto& [slot, word] : {std::pair{kSlotStand, "standing"}, std::pair{kSlotWalk, "walking"}}) {
        if (character.Actions[static_cast<size_t>(slot)].FrameCount == 0) {
            Refuse(env.ui, "Unable to load " + Quoted(defPath) + " - character has no " + word + " frames.",
                   kCharBoxTitle);
            return false;
        }
    }
    // Short walk cycles hold their last frame a long time, so the walk does not look like a shuffle.
    CharAction& walk = character.Actions[kSlotWalk];
    if (walk.FrameCount <= 3) walk.Frames[static_cast<size_t>(walk.FrameCount) - 1].Time = 25;

    const auto cnsLines = ReadCharLines(cnsPath);
    if (!cnsLines) {
        Refuse(env.ui, "Unable to load " + Quoted(defPath) + " - constants file missing.", kCharBoxTitle);
        return false;
    }
    ReadConstants(env, *cnsLines, character);

    const int32_t imageCount = ReadSpriteHeader(spritePath, env.spriteHeader);
    if (announce) env.ui.SetCaption("Loading " + character.Name);

    // One table entry per frame of the six actions; only actions whose first frame shows for a
    // while ask for their sprites, so the requests may fill fewer entries than the table has.
    int32_t total = 0;
    std::vector<CharSpriteRequest> requests;
    for (const CharAction& action : character.Actions) {
        total += action.FrameCount;
        if (action.Frames.empty() || action.Frames[0].Time == 0) continue;
        for (const CharFrame& frame : action.Frames) requests.push_back({frame.Group, frame.Image});
    }
    character.Sprites.clear();
    character.Sprites.resize(static_cast<size_t>(total));
    Load_Char_SFF(spritePath, character.Sprites, imageCount, requests, total - 1);

    // Each frame shows the first entry holding its sprite (an index the 16-bit field can hold).
    std::unordered_map<uint64_t, int16_t> firstEntry;
    for (size_t k = 0; k < character.Sprites.size() && k <= kMaxFramesPerAction; ++k) {
        const SpriteEntry& entry = character.Sprites[k];
        firstEntry.emplace(SpriteKey(entry.Group, entry.Image), static_cast<int16_t>(k));
    }
    for (CharAction& action : character.Actions) {
        for (CharFrame& frame : action.Frames) {
            const auto found = firstEntry.find(SpriteKey(frame.Group, frame.Image));
            frame.SpriteIndex = found == firstEntry.end() ? 0 : found->second;
        }
    }
    return true;
}

}  // namespace qb

#include "app/config.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/window_rules.h"
#include "platform/paths.h"
#include "stage/def_reader.h"
#include "stage/error_log.h"
#include "platform/text_util.h"
#include "platform/file_dialog.h"
#include "render/camera.h"

namespace qb {

namespace {

constexpr size_t kMaxConfigBytes = 1 << 20;  // a settings file is a few hundred bytes

// Blanks and tabs around a value are layout; inside it they belong to the name.
std::string_view TrimLayout(std::string_view s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// The value of a "key = value" line exactly as written: everything after the first "=", without the
// blanks and tabs around it. Paths and names are taken this way because the reader's value rules
// (lower case, tabs as blanks, a cut at the first blank after a digit, a cut at ";" or at the byte
// 0x81, "0" for an empty value) would name a different folder on a case-sensitive disk or change
// the name, and the saved file would not load back to the same settings.
std::string RawValue(std::string_view line) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return {};
    return DecodeLineValue(TrimLayout(line.substr(eq + 1)));
}

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}

// The escapes of EncodeLineValue besides "\xHH": the byte and the letter after the backslash.
constexpr std::pair<char, char> kEscapes[] = {
    {'\\', '\\'}, {'"', '"'}, {'\r', 'r'}, {'\n', 'n'}, {'\t', 't'}};

std::string FloatText(float value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (result.ec != std::errc()) return "0";
    return std::string(buffer, result.ptr);
}

// ---- The rows' readers and writers -------------------------------------------------------------

using Values = std::vector<std::string>;

void WriteVersion(const AppState& s, Values& v) {
    v.push_back(s.VersionText + "A");
}
bool ReadMugeDir(AppState& s, const SettingValue& v) {
    s.MugeDir = AsMugeDir(v.text);
    return true;
}
void WriteMugeDir(const AppState& s, Values& v) {
    v.push_back(EncodeLineValue(s.MugeDir));
}
bool ReadTestChar(AppState& s, const SettingValue& v) {
    s.CharSettings.TestCharPath = v.text;
    return true;
}
void WriteTestChar(const AppState& s, Values& v) {
    if (!s.CharSettings.TestCharPath.empty()) v.push_back(EncodeLineValue(s.CharSettings.TestCharPath));
}
// Player two's character; no line while he is a copy of player one.
bool ReadTestChar2(AppState& s, const SettingValue& v) {
    s.CharSettings.TestChar2Path = v.text;
    return true;
}
void WriteTestChar2(const AppState& s, Values& v) {
    if (!s.CharSettings.TestChar2Path.empty()) v.push_back(EncodeLineValue(s.CharSettings.TestChar2Path));
}
bool ReadHCamStep(AppState& s, const SettingValue& v) {
    s.Camera.HCamStep = v.number;
    return true;
}
// The steps the user set, not the pace mouse scrolling or the test character gives the camera now.
void WriteHCamStep(const AppState& s, Values& v) {
    v.push_back(FloatText(UserHCamStep(s.Camera)));
}
bool ReadVCamStep(AppState& s, const SettingValue& v) {
    s.Camera.VCamStep = v.number;
    return true;
}
void WriteVCamStep(const AppState& s, Values& v) {
    v.push_back(FloatText(UserVCamStep(s.Camera)));
}
// "Char = True" is acted on at start-up (the use command runs once, as if clicked) and kept until
// then. The mark alone, without a character to use, would only ask for one before the window appears.
bool ReadChar(AppState& s, const SettingValue& v) {
    if (v.text == "true") s.CharSettings.CharRequested = 255;
    return true;
}
void WriteChar(const AppState& s, Values& v) {
    const bool on = (s.Chars.CharEnabled != 0 && !s.CharSettings.TestCharPath.empty()) ||
                    s.CharSettings.CharRequested == 255;
    v.push_back(on ? "True" : "False");
}
bool ReadCharName(AppState& s, const SettingValue& v) {
    // An empty "CharName = " is the empty name, not the reader's "0".
    s.CharSettings.TestCharName = v.text;
    if (!s.CharSettings.TestCharName.empty() && !s.CharSettings.TestCharPath.empty())
        s.Window.CharCaption = "Use " + s.CharSettings.TestCharName;
    return true;
}
void WriteCharName(const AppState& s, Values& v) {
    v.push_back(EncodeLineValue(s.CharSettings.TestCharName));
}
bool ReadStageList(AppState& s, const SettingValue& v) {
    if (v.text == "255") s.Options.StageListShown = 255;
    return true;
}
void WriteStageList(const AppState& s, Values& v) {
    v.push_back(std::to_string(s.Options.StageListShown));
}
bool ReadRecentFile(AppState& s, const SettingValue& v) {
    if (!v.text.empty()) s.Menus.RecentFiles.push_back(v.text);
    return true;
}
void WriteRecentFile(const AppState& s, Values& v) {
    for (const auto& recent : s.Menus.RecentFiles) v.push_back(EncodeLineValue(recent));
}
bool ReadIntro(AppState& s, const SettingValue& v) {
    s.Window.ShowIntro = v.text == "false" ? 0 : 255;
    return true;
}
// The about screen plays at the first start only.
void WriteIntro(const AppState&, Values& v) {
    v.push_back("False");
}
// Older releases do not know this line; they skip it, and files they wrote simply lack it.
bool ReadScale(AppState& s, const SettingValue& v) {
    const auto scale = text::ParseNumber(v.text);
    if (!scale || *scale < 1 || *scale > 4 || *scale != static_cast<int>(*scale)) return false;
    s.Options.ViewScale = static_cast<int32_t>(*scale);
    return true;
}
void WriteScale(const AppState& s, Values& v) {
    v.push_back(std::to_string(s.Options.ViewScale));
}
// The limiter's number, kept between runs (the limiter itself starts on each run).
bool ReadFpsLimit(AppState& s, const SettingValue& v) {
    const auto limit = text::ParseNumber(v.text);
    if (!limit || *limit < 1 || *limit > kMaxFpsLimit || *limit != static_cast<int>(*limit)) return false;
    s.Loop.LimitShown = static_cast<int16_t>(*limit);
    return true;
}
void WriteFpsLimit(const AppState& s, Values& v) {
    v.push_back(std::to_string(s.Loop.LimitShown > 0 ? s.Loop.LimitShown : kDefaultFpsLimit));
}
// The stage list's order (file, name, author, date, kind); an unknown word keeps the file order.
bool ReadLibrarySort(AppState& s, const SettingValue& v) {
    s.Stages.Sort = LibrarySortFromWord(v.text);
    return true;
}
void WriteLibrarySort(const AppState& s, Values& v) {
    v.push_back(LibrarySortWord(s.Stages.Sort));
}
bool ReadLanguage(AppState& s, const SettingValue& v) {
    SetLanguage(s, v.text);
    return true;
}
void WriteLanguage(const AppState& s, Values& v) {
    v.push_back(s.Options.Language);
}
// The window's place: whole numbers of a sane size; both lines, or the window is centred.
bool ReadCoordinate(int32_t& target, const SettingValue& v) {
    const auto value = text::ParseNumber(v.text);
    if (!value || *value <= -100000 || *value >= 100000) return false;
    target = static_cast<int32_t>(*value);
    return true;
}
bool ReadLeft(AppState& s, const SettingValue& v) {
    return ReadCoordinate(s.Window.SavedLeft, v);
}
void WriteLeft(const AppState& s, Values& v) {
    if (s.Window.PositionKnown) v.push_back(std::to_string(s.Window.SavedLeft));
}
bool ReadTop(AppState& s, const SettingValue& v) {
    return ReadCoordinate(s.Window.SavedTop, v);
}
void WriteTop(const AppState& s, Values& v) {
    if (s.Window.PositionKnown) v.push_back(std::to_string(s.Window.SavedTop));
}

using T = SettingType;
using S = Setting;

// In the order every release wrote the lines.
// clang-format off
constexpr SettingRow kSchema[] = {
    {S::Version, "Version", T::Word, "A", nullptr, WriteVersion},
    {S::MugeDir, "MugeDir", T::Text, "", ReadMugeDir, WriteMugeDir},
    {S::TestChar, "TestChar", T::Text, nullptr, ReadTestChar, WriteTestChar},
    {S::HCamStep, "HCamStep", T::Number, "0", ReadHCamStep, WriteHCamStep},
    {S::VCamStep, "VCamStep", T::Number, "0", ReadVCamStep, WriteVCamStep},
    {S::BGMusic, "BGMusic", T::Switch, "True", nullptr, nullptr, &Options::Music},
    {S::Info, "Info", T::Switch, "False", nullptr, nullptr, &Options::Info},
    {S::Char, "Char", T::Word, "False", ReadChar, WriteChar},
    {S::Deform, "Deform", T::Switch, "False", nullptr, nullptr, &Options::Deform},
    {S::DebugBG, "DebugBG", T::Switch, "False", nullptr, nullptr, &Options::DebugBG},
    {S::CharName, "CharName", T::Text, "", ReadCharName, WriteCharName},
    {S::StageList, "StageList", T::Word, "0", ReadStageList, WriteStageList},
    {S::RecentFile, "RecentFile", T::Text, nullptr, ReadRecentFile, WriteRecentFile},
    {S::Intro, "Intro", T::Word, "False", ReadIntro, WriteIntro},
    {S::Scale, "Scale", T::Word, "2", ReadScale, WriteScale},
    {S::SnapshotPng, "SnapshotPng", T::Switch, "False", nullptr, nullptr, &Options::SnapshotPng},
    {S::Language, "Language", T::Word, "zh", ReadLanguage, WriteLanguage},
    {S::Left, "Left", T::Word, nullptr, ReadLeft, WriteLeft},
    {S::Top, "Top", T::Word, nullptr, ReadTop, WriteTop},
    // Files without this line (older ones) keep it on.
    {S::AutoReload, "AutoReload", T::Switch, "True", nullptr, nullptr, &Options::AutoReload},
    {S::SnapshotInfo, "SnapshotInfo", T::Switch, "False", nullptr, nullptr, &Options::SnapshotInfo},
    {S::FpsLimit, "FpsLimit", T::Word, "60", ReadFpsLimit, WriteFpsLimit},
    {S::ScaleFit, "ScaleFit", T::Switch, "False", nullptr, nullptr, &Options::ScaleFit},
    {S::SmoothScale, "SmoothScale", T::Switch, "False", nullptr, nullptr, &Options::SmoothScale},
    {S::OverlayBounds, "OverlayBounds", T::Switch, "False", nullptr, nullptr, &Options::OverlayBounds},
    {S::OverlayScreen, "OverlayScreen", T::Switch, "False", nullptr, nullptr, &Options::OverlayScreen},
    {S::OverlayStarts, "OverlayStarts", T::Switch, "False", nullptr, nullptr, &Options::OverlayStarts},
    {S::OverlayMoveBounds, "OverlayMoveBounds", T::Switch, "False", nullptr, nullptr, &Options::OverlayMoveBounds},
    {S::OverlayFloor, "OverlayFloor", T::Switch, "False", nullptr, nullptr, &Options::OverlayFloor},
    {S::OverlayElement, "OverlayElement", T::Switch, "False", nullptr, nullptr, &Options::OverlayElement},
    {S::CharP2, "CharP2", T::Switch, "True", nullptr, nullptr, &Options::CharP2},
    {S::TestChar2, "TestChar2", T::Text, nullptr, ReadTestChar2, WriteTestChar2},
    {S::LibrarySort, "LibrarySort", T::Word, "file", ReadLibrarySort, WriteLibrarySort},
};
// clang-format on

// Reads the line into the row it names; answers the row that took it, or null.
const SettingRow* ApplyLine(AppState& state, ReaderContext& ctx, const std::string& line) {
    for (const SettingRow& row : kSchema) {
        const std::string key = text::Lower(row.key);
        int16_t index = 0;
        SettingValue value;
        bool found = false;
        if (row.type == T::Number) {
            found = ReadDefValue(ctx, line, key, value.number, index);
        } else if (row.type == T::Text) {
            found = ReadDefValue(ctx, line, key, value.text, index, ReadFlags::KeepCase);
            if (found) value.text = RawValue(line);
        } else {
            found = ReadDefValue(ctx, line, key, value.text, index);
        }
        if (!found) continue;
        if (row.option != nullptr) {
            state.Options.*row.option = value.text == "true";
            return &row;
        }
        return row.read != nullptr && row.read(state, value) ? &row : nullptr;
    }
    return nullptr;
}

}  // namespace

std::string EncodeLineValue(std::string_view value) {
    const bool plain =
        std::none_of(value.begin(), value.end(), [](char c) { return IsControl(c) && c != '\t'; }) &&
        TrimLayout(value).size() == value.size() && !value.starts_with('"');
    if (plain) return std::string(value);
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "\"";
    for (const char c : value) {
        const auto* escape =
            std::find_if(std::begin(kEscapes), std::end(kEscapes), [c](auto e) { return e.first == c; });
        if (escape != std::end(kEscapes)) {
            out += {'\\', escape->second};
        } else if (IsControl(c)) {
            const auto byte = static_cast<unsigned char>(c);
            out += {'\\', 'x', kHex[byte >> 4], kHex[byte & 15]};
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string DecodeLineValue(std::string_view text) {
    if (text.size() < 2 || !text.starts_with('"') || !text.ends_with('"')) return std::string(text);
    const std::string_view inner = text.substr(1, text.size() - 2);
    const auto hexDigit = [&inner](size_t at) {
        const char c = at < inner.size() ? inner[at] : '\0';
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    };
    std::string out;
    for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '"') return std::string(text);  // not this form: a bare quote inside
        if (inner[i] != '\\') {
            out += inner[i];
            continue;
        }
        const char letter = ++i < inner.size() ? inner[i] : '\0';
        const auto* escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                          [letter](auto e) { return e.second == letter; });
        if (escape != std::end(kEscapes)) {
            out += escape->first;
        } else if (letter == 'x' && hexDigit(i + 1) >= 0 && hexDigit(i + 2) >= 0) {
            out += static_cast<char>(hexDigit(i + 1) * 16 + hexDigit(i + 2));
            i += 2;
        } else {
            return std::string(text);
        }
    }
    return out;
}

std::string ConfigPath(const AppState& state) {
    return ResolvePath(JoinPath(state.Dirs.Config, "QB.cfg"));
}

void FirstRunPrompt(AppState& state) {
    Ui& ui = *state.ports.ui;
    if (!state.Dirs.DemoMugen.empty() &&
        ui.MsgBox("Use the demo MUGEN directory installed with Quillback?", MsgIcon::Question,
                  MsgButtons::YesNo) == MsgAnswer::Yes) {
        state.MugeDir = state.Dirs.DemoMugen;
        return;
    }
    ui.MsgBox(
        "Browse to your MUGEN directory please so I know where to get stuff.  I won't ask you for it "
        "again unless I forget.",
        MsgIcon::None, MsgButtons::Ok);
    int emptyAnswers = 0;
    while (true) {
        const std::string folder = BrowseForFolder(ui, kMugenDirPrompt);
        if (!folder.empty()) {
            state.MugeDir = AsMugeDir(folder);
            return;
        }
        // Asking again is the point of the prompt, but the user must be able to get past it, and a
        // front end that cannot show the browser must not keep the program in this loop for ever.
        if (++emptyAnswers >= kMaxEmptyFolderAnswers) return;
        const MsgAnswer again =
            ui.MsgBox("Without your MUGEN directory the stage list stays empty.\r\nChoose the folder now?",
                      MsgIcon::Question, MsgButtons::YesNo);
        if (again == MsgAnswer::No) return;
    }
}

void LoadConfig(AppState& state) {
    Ui& ui = *state.ports.ui;
    const std::string path = ConfigPath(state);
    if (!FileExists(path)) {
        FirstRunPrompt(state);
        return;
    }
    const auto bytes = ReadFileBytes(path, kMaxConfigBytes);
    if (!bytes) {
        HandleError(ui, "Main", "LoadConfig", 75, "Path/File access error");
        return;
    }
    const std::vector<std::string> lines = text::SplitTextLines(*bytes);
    if (lines.empty()) {
        HandleError(ui, "Main", "LoadConfig", 62, "Input past end of file");
        return;
    }
    if (lines[0].compare(0, 2, ".3") == 0) {
        // The earlier layout: the MUGEN directory alone, on the second line, taken whole but for the
        // blanks and tabs around it, which the saved "MugeDir = " line could not keep.
        if (lines.size() > 1) state.MugeDir = AsMugeDir(std::string(TrimLayout(lines[1])));
        if (state.MugeDir.empty()) FirstRunPrompt(state);
        return;
    }
    ReaderContext ctx{state.Log, ui, state.LineNumber, path};
    bool left = false;
    bool top = false;
    for (const std::string& line : lines) {
        const SettingRow* taken = ApplyLine(state, ctx, line);
        left = left || (taken != nullptr && taken->id == Setting::Left);
        top = top || (taken != nullptr && taken->id == Setting::Top);
    }
    state.Window.PositionKnown = left && top;
    // A prompt left without an answer is stored as an empty directory: that is no answer, so ask
    // again rather than start with an empty stage list for good.
    if (state.MugeDir.empty()) FirstRunPrompt(state);
}

std::span<const SettingRow> SettingsSchema() {
    return kSchema;
}

const SettingRow* FindSetting(Setting id) {
    for (const SettingRow& row : kSchema)
        if (row.id == id) return &row;
    return nullptr;
}

const SettingRow* FindSetting(std::string_view key) {
    const std::string lower = text::Lower(std::string(key));
    for (const SettingRow& row : kSchema)
        if (text::Lower(row.key) == lower) return &row;
    return nullptr;
}

std::vector<std::string> SettingText(const SettingRow& row, const AppState& state) {
    std::vector<std::string> values;
    if (row.option != nullptr)
        values.emplace_back(state.Options.*row.option ? "True" : "False");
    else if (row.write != nullptr)
        row.write(state, values);
    return values;
}

std::string ConfigText(const AppState& state) {
    std::string out;
    for (const SettingRow& row : kSchema)
        for (const std::string& value : SettingText(row, state)) out.append(row.key).append(" = ").append(value).append("\r\n");
    return out;
}

bool SaveConfig(AppState& state) {
    const std::string path = ConfigPath(state);
    // Treated as the music rewrite treats a stage file: a read-only file is the user's to keep as it
    // is, and a symbolic link stays a link whose target gets the settings.
    ReplaceRefusal refusal = ReplaceRefusal::None;
    const std::string target = ReplaceTarget(path, refusal);
    if (refusal == ReplaceRefusal::ReadOnlyFile) {
        if (state.ports.ui && !state.Window.ConfigReadOnlyTold) {
            state.ports.ui->MsgBox("The settings file\r\n" + path +
                                       "\r\nis read-only, so the settings of this session were not saved.",
                                   MsgIcon::Information, MsgButtons::Ok);
        }
        state.Window.ConfigReadOnlyTold = true;
        return false;
    }
    const std::string writeTo = refusal == ReplaceRefusal::Missing ? path : target;
    if (PrepareDataDir(state.Dirs, state.Dirs.Config) && WriteFileAtomic(writeTo, ConfigText(state))) return true;
    // The previous file is left whole by the atomic write; the user learns that this run's changes
    // were not kept, and the shutdown goes on.
    if (state.ports.ui) {
        state.ports.ui->MsgBox("Your settings could not be saved to\r\n" + path +
                                   "\r\n\r\nThe folder may be read-only or the disk full. The settings file "
                                   "that was there before is unchanged.",
                               MsgIcon::Exclamation, MsgButtons::Ok);
    }
    return false;
}

}  // namespace qb

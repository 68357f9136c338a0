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
#include "app/menu_model.h"
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

// The lines in the order every release wrote them. A key that stores a menu item's setting is read
// and written by the item (app/menu_model.h); the others are this file's own.
constexpr std::string_view kFileOrder[] = {
    "Version", "MugeDir",  "TestChar",  "HCamStep", "VCamStep",    "BGMusic",  "Info", "Char", "Deform", "DebugBG",
    "CharName", "StageList", "RecentFile", "Intro", "Scale", "SnapshotPng", "Language", "Left", "Top", "AutoReload"};

std::string FloatText(float value) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    if (result.ec != std::errc()) return "0";
    return std::string(buffer, result.ptr);
}

void ApplyLine(AppState& state, ReaderContext& ctx, const std::string& line, int& coordinates) {
    std::string text;
    float number = 0;
    int16_t index = 0;
    auto read = [&](std::string_view key, auto& target, bool keepCase = false) {
        index = 0;
        return ReadDefValue(ctx, line, key, target, index, keepCase ? ReadFlags::KeepCase : ReadFlags::None);
    };

    if (read("mugedir", text, true)) state.MugeDir = AsMugeDir(RawValue(line));
    if (read("hcamstep", number)) state.Camera.HCamStep = number;
    number = state.Camera.VCamStep;
    if (read("vcamstep", number)) state.Camera.VCamStep = number;
    if (read("testchar", text, true)) state.CharSettings.TestCharPath = RawValue(line);
    if (read("charname", text, true)) {
        // An empty "CharName = " is the empty name, not the reader's "0".
        state.CharSettings.TestCharName = RawValue(line);
        if (!state.CharSettings.TestCharName.empty() && !state.CharSettings.TestCharPath.empty()) {
            state.Window.CharCaption = "Use " + state.CharSettings.TestCharName;
        }
    }
    for (const MenuEntry& item : MenuTable()) {
        if (*item.configKey == 0 || !read(text::Lower(item.configKey), text)) continue;
        if (item.configRead)
            item.configRead(state, text);
        else if (item.option)
            state.Options.*item.option = text == "true";
    }
    if (read("recentfile", text, true)) {
        const std::string path = RawValue(line);
        if (!path.empty()) state.Menus.RecentFiles.push_back(path);
    }
    if (read("intro", text)) state.Window.ShowIntro = text == "false" ? 0 : 255;
    // The window's place: both lines, whole numbers of a sane size, or the window is centred.
    auto coordinate = [&](std::string_view key, int32_t& target) {
        if (!read(key, text)) return;
        const auto value = text::ParseNumber(text);
        if (value && *value > -100000 && *value < 100000) {
            target = static_cast<int32_t>(*value);
            ++coordinates;
        }
    };
    coordinate("left", state.Window.SavedLeft);
    coordinate("top", state.Window.SavedTop);
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
    int coordinates = 0;
    for (const std::string& line : lines) ApplyLine(state, ctx, line, coordinates);
    state.Window.PositionKnown = coordinates >= 2;
    // A prompt left without an answer is stored as an empty directory: that is no answer, so ask
    // again rather than start with an empty stage list for good.
    if (state.MugeDir.empty()) FirstRunPrompt(state);
}

std::string ConfigText(const AppState& state) {
    std::string out;
    auto line = [&out](std::string_view key, const std::string& value) {
        out.append(key).append(" = ").append(value).append("\r\n");
    };
    for (const std::string_view key : kFileOrder) {
        if (const MenuEntry* item = FindConfigEntry(key)) {
            line(key, ConfigValue(*item, state));
        } else if (key == "Version") {
            line(key, state.VersionText + "A");
        } else if (key == "MugeDir") {
            line(key, EncodeLineValue(state.MugeDir));
        } else if (key == "TestChar") {
            if (!state.CharSettings.TestCharPath.empty())
                line(key, EncodeLineValue(state.CharSettings.TestCharPath));
        } else if (key == "HCamStep") {
            // The steps the user set, not the pace mouse scrolling or the test character gives the camera now.
            line(key, FloatText(UserHCamStep(state.Camera)));
        } else if (key == "VCamStep") {
            line(key, FloatText(UserVCamStep(state.Camera)));
        } else if (key == "CharName") {
            line(key, EncodeLineValue(state.CharSettings.TestCharName));
        } else if (key == "RecentFile") {
            for (const auto& recent : state.Menus.RecentFiles) line(key, EncodeLineValue(recent));
        } else if (key == "Intro") {
            line(key, "False");
        } else if (key == "Left" && state.Window.PositionKnown) {
            line(key, std::to_string(state.Window.SavedLeft));
        } else if (key == "Top" && state.Window.PositionKnown) {
            line(key, std::to_string(state.Window.SavedTop));
        }
    }
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

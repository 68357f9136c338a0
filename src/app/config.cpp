#include "app/config.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <string_view>
#include <system_error>
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
    return std::string(TrimLayout(line.substr(eq + 1)));
}

bool IsTrue(const std::string& value) {
    return value == "true";
}

std::string BoolText(bool on) {
    return on ? "True" : "False";
}

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
            state.Menus.SetCaption("mnuChar", "Use " + state.CharSettings.TestCharName);
        }
    }
    if (read("bgmusic", text)) state.Menus.SetChecked("mnuMusic", IsTrue(text));
    if (read("info", text)) state.Menus.SetChecked("mnuInfo", IsTrue(text));
    if (read("char", text) && IsTrue(text)) state.CharSettings.CharRequested = 255;
    if (read("deform", text)) state.Menus.SetChecked("mnuDeform", IsTrue(text));
    if (read("debugbg", text)) state.Menus.SetChecked("mnuDebugBG", IsTrue(text));
    if (read("recentfile", text, true)) {
        const std::string path = RawValue(line);
        if (!path.empty()) {
            state.Menus.RecentFiles.push_back(path);
            state.Menus.SetVisible("MnuRecentFiles", true);
        }
    }
    if (read("stagelist", text) && text == "255") state.Window.StageListShown = 255;
    if (read("intro", text)) state.Window.ShowIntro = text == "false" ? 0 : 255;
    if (read("autoreload", text)) state.Menus.SetChecked("mnuAutoReload", IsTrue(text));
    if (read("scale", text)) {
        const auto value = text::ParseNumber(text);
        if (value && *value >= 1 && *value <= 4 && *value == static_cast<int>(*value)) {
            state.Window.ViewScale = static_cast<int32_t>(*value);
        }
    }
    if (read("snapshotpng", text)) state.Menus.SetChecked("mnuSnapshotPng", IsTrue(text));
    if (read("language", text)) SetLanguage(state, text);
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
    const std::string crlf = "\r\n";
    std::string out;
    out += "Version = " + state.VersionText + "A" + crlf;
    out += "MugeDir = " + state.MugeDir + crlf;
    if (!state.CharSettings.TestCharPath.empty()) out += "TestChar = " + state.CharSettings.TestCharPath + crlf;
    // The steps the user set, not the pace mouse scrolling or the test character gives the camera now.
    out += "HCamStep = " + FloatText(UserHCamStep(state.Camera)) + crlf;
    out += "VCamStep = " + FloatText(UserVCamStep(state.Camera)) + crlf;
    out += "BGMusic = " + BoolText(state.Menus.Checked("mnuMusic")) + crlf;
    out += "Info = " + BoolText(state.Menus.Checked("mnuInfo")) + crlf;
    // A "Char = True" read at start-up is kept until the character command has acted on it.
    // A "Char = True" read at start-up is kept until the character command has acted on it. The mark
    // alone, without a character to use, would only ask for one before the window appears.
    const bool charOn = (state.Menus.Checked("mnuChar") && !state.CharSettings.TestCharPath.empty()) ||
                        state.CharSettings.CharRequested == 255;
    out += "Char = " + BoolText(charOn) + crlf;
    out += "Deform = " + BoolText(state.Menus.Checked("mnuDeform")) + crlf;
    out += "DebugBG = " + BoolText(state.Menus.Checked("mnuDebugBG")) + crlf;
    out += "CharName = " + state.CharSettings.TestCharName + crlf;
    out += "StageList = " + std::to_string(state.Window.StageListShown) + crlf;
    for (const auto& recent : state.Menus.RecentFiles) out += "RecentFile = " + recent + crlf;
    out += "Intro = False" + crlf;
    // Older releases do not know this line; they skip it, and files they wrote simply lack it.
    out += "Scale = " + std::to_string(state.Window.ViewScale) + crlf;
    // Files without this line (older ones) keep PCX snapshots.
    out += "SnapshotPng = " + BoolText(state.Menus.Checked("mnuSnapshotPng")) + crlf;
    out += "Language = " + state.Window.Language + crlf;
    if (state.Window.PositionKnown) {
        out += "Left = " + std::to_string(state.Window.SavedLeft) + crlf;
        out += "Top = " + std::to_string(state.Window.SavedTop) + crlf;
    }
    out += "AutoReload = " + BoolText(state.Menus.Checked("mnuAutoReload")) + crlf;
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

#pragma once
// The configuration file "QB.cfg" in the program's folder: read once at start-up, written once at
// shutdown. Lines are "Key = value", CR LF ended, read through the definition reader.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qb {

struct AppState;
struct Options;

// ---- The settings schema: every line QB.cfg holds, one row each, in the order every release wrote
// them. Loading and saving both walk it; a menu item names the setting it stores by its id.

enum class Setting : uint8_t {
    None,
    Version, MugeDir, TestChar, HCamStep, VCamStep, BGMusic, Info, Char, Deform, DebugBG,
    CharName, StageList, RecentFile, Intro, Scale, SnapshotPng, Language, Left, Top, AutoReload,
    SnapshotInfo, FpsLimit, ScaleFit, SmoothScale, LibrarySort,
    OverlayBounds, OverlayScreen, OverlayStarts, OverlayMoveBounds, OverlayFloor, OverlayElement, CharP2, TestChar2,
};

enum class SettingType : uint8_t {
    Text,    // a path or a name, as written (EncodeLineValue, DecodeLineValue)
    Number,  // a decimal number
    Word,    // a word or a whole number, read in lower case ("True" reads "true")
    Switch,  // one of Options' switches, True or False
};

// A value as a line gives it to a row's reader: `text` by the row's type, `number` for Number rows.
struct SettingValue {
    std::string text;
    float number = 0;
};

struct SettingRow {
    Setting id;
    const char* key;  // as the file writes it; read in any letter case
    SettingType type;
    // What a fresh program writes; null: no line (a path not chosen, the window's place unknown).
    const char* defaultText;
    // Takes a line's value; false when it is refused (the setting keeps what it had). Null for a
    // Switch row (it sets `option`) and for lines that are written only (Version).
    bool (*read)(AppState&, const SettingValue&) = nullptr;
    // The values to write, one line each; none, no line. Null for a Switch row.
    void (*write)(const AppState&, std::vector<std::string>& values) = nullptr;
    bool Options::*option = nullptr;  // a Switch row's switch
};

std::span<const SettingRow> SettingsSchema();
// The row of this setting (Setting::None has none: null), or of this key in any letter case.
const SettingRow* FindSetting(Setting id);
const SettingRow* FindSetting(std::string_view key);
// The setting's values as the file writes them.
std::vector<std::string> SettingText(const SettingRow& row, const AppState& state);

// Path of the configuration file: an existing file named "qb.cfg" in any letter case inside
// Dirs.Config (the program's folder unless installed), else Dirs.Config + "/QB.cfg".
std::string ConfigPath(const AppState& state);

// Reads the configuration into `state` (MugeDir, camera steps, test character, the settings the
// menu items store (Options: Music, Info, Deform, DebugBG, StageListShown, ViewScale, SnapshotPng,
// AutoReload (on when its line is missing), Language), the recent files, ShowIntro, and the
// window's place from "Left" and "Top"; files without these newer lines keep the defaults).
// No file: runs the first-run prompt (the folder browser until a folder is chosen). A file whose
// first line begins with ".3" gives only MugeDir (its second line). An unreadable or empty file is
// reported through HandleError("Main", "LoadConfig") and leaves the defaults.
void LoadConfig(AppState& state);

// The text SaveConfig writes (every line CR LF ended).
std::string ConfigText(const AppState& state);

// Writes the configuration with an atomic replace, so a failed write leaves the previous file whole.
// Answers false after telling the user (exclamation box naming the file) when the file could not be
// written; never ends the program.
bool SaveConfig(AppState& state);

// The first-run prompt alone: when a demo MUGEN directory was installed with the program, first a
// Yes/No offer of it; then the message, then the folder browser until a folder is chosen. A
// front end that cannot show dialogs answers empty every time: after kMaxEmptyFolderAnswers empty
// answers in a row the prompt gives up and MugeDir stays empty (the window still opens, the stage
// list says it found nothing, and the user can quit or open a stage by hand).
inline constexpr int kMaxEmptyFolderAnswers = 20;
void FirstRunPrompt(AppState& state);

// A path or name as one line of text. Stored as it is unless a line could not carry it: a folder's
// name may hold CR or LF (or other control bytes), which would end the line and start another, blanks
// or tabs around it are layout, and one that begins with a double quote would read as this form. Those
// are written between double quotes with "\\", "\"", "\r", "\n", "\t" and "\xHH" escapes.
std::string EncodeLineValue(std::string_view value);
// The value EncodeLineValue wrote: a text between double quotes whose escapes are all of those is
// read through them; any other text is the value itself (stored by a release before the quotes).
std::string DecodeLineValue(std::string_view text);

// The folder browser's prompt for the MUGEN directory.
inline constexpr const char* kMugenDirPrompt = "Point me to your MUGEN Directory please:\r\nex. C:\\GAMES\\MUGEN";

// A chosen folder names the MUGEN directory, which is kept with a trailing separator.
inline std::string AsMugeDir(std::string dir) {
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
    return dir;
}

}  // namespace qb

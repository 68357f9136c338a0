#include "app/shown_texts.h"

#include "app/bg_buttons.h"
#include "app/key_reference.h"
#include "app/menu_model.h"
#include "app/view_commands.h"
#include "render/overlays.h"

namespace qb {

namespace {

// clang-format off
constexpr const char* kMessageTexts[] = {
    // Start-up and the first start.
    "Already running..",
    "Use the demo MUGEN directory installed with Quillback?",
    "Browse to your MUGEN directory please so I know where to get stuff.  I won't ask you for it again unless I forget.",
    "Point me to your MUGEN Directory please:\r\nex. C:\\GAMES\\MUGEN",
    "Without your MUGEN directory the stage list stays empty.",
    "Choose the folder now?",
    "No files.. uh.. ",
    "KFM character could not be found for the about screen :(",
    // Settings.
    "The settings file",
    "is read-only, so the settings of this session were not saved.",
    "Your settings could not be saved to",
    "The folder may be read-only or the disk full. The settings file that was there before is unchanged.",
    "Max FPS?",
    // Opening, closing and deleting stages.
    "Not a stage!",
    "Only a stage definition (.def) or a stage package (.zip) opens here.",
    "Can't find file: ",
    "It was taken off the recent files.",
    "The stage package",
    "The stage definition",
    "is gone (moved, renamed or deleted). The stage on screen stays as it was loaded.",
    "Could not move",
    "Nothing was deleted.",
    "Are you sure you want to delete this stage (",
    "Are you sure you want to delete this zipped stage (",
    "This file goes to the trash:",
    "These files go to the trash:",
    "The sprite file",
    "Choose your stage!",
    "Choose test character.",
    "Not a Character!",
    "Choose da music!",
    "Choose test character (P2).",
    // Installing a package.
    "Install Package",
    "Stage packages",
    "A package is installed into the MUGEN directory; set it first (Options, Set MUGEN Directory).",
    "The MUGEN directory has no stages folder:",
    "The package was not installed.",
    "A stage folder of that name exists already:",
    "Replace the installed stage?",
    "is there already. Its files are replaced by the package's.",
    "Package installed:",
    "Not installed:",
    "Add the stage to the stage-select list?",
    "The list is kept as select.def.bak.",
    "The package holds no stage definition (a .def file with a [Camera] section). It was not installed.",
    // Snapshots, the text editor, notices.
    "The snapshot could not be saved in",
    "The snapshot folder could not be opened:",
    "Snapshot saved: ",
    "Didn't work for some reason...",
    "Tried:",
    "To choose the editor, set $VISUAL (or $EDITOR) to a graphical editor, for example VISUAL=gedit, or choose the default application for text files in the desktop's settings.",
    kNoZoomRangeNotice,
    "Deleted..",
    "Cloned..",
    // The background editor and the music chooser.
    "Could not write ",
    "There is no stage to save: open a stage first.",
    "Cannot play ",
    "This stage was opened from a package; its definition cannot be written back.",
    "Nothing was changed.",
    "The background editor's changes to ",
    "This stage was opened from the package",
    "Update the copy?",
    "Nothing was written.",
    "Nothing was written. ",
    "Write",
    "Write mine",
    "Keep theirs",
    // Why a write-back or a package was refused (lines of the boxes that tell it).
    "The stage file no longer matches the loaded stage",
    "Elements were added or removed; the stage file cannot be matched to them",
    "The drawing order does not name each element once; nothing was written",
    "The stage file has no [Camera] section",
    "Cannot read ",
    "Cannot write ",
    "Cannot keep the previous file as ",
    "Elements were removed or copied since the stage started; use Save Changes instead",
    "Some files of the package",
    "were not extracted:",
    "Package entry ",
    "The package holds no stage definition (.def file).",
    "Its definition ",
    "No private folder could be made in ",
    // The boxes' standard buttons.
    "OK", "Cancel", "Yes", "No", "Discard",
    // Lines that follow a file name.
    "COULD NOT BE FOUND!",
    "It is a folder, not a file.",
    "The file cannot be read as a zip archive, or it holds no files.",
    "The file has no [Camera] section, so it is not a stage definition.",
    "The package itself is not changed: the new music goes into the extracted copy of its definition and lasts until the stage is closed.",
    "The stage on screen stays as it was loaded.",
    "Your edit makes it:",
    "Your edit adds at the end of the section:",
    "The file had been changed by another program since the stage was loaded: its changes ",
    // The definition reader's two quirk boxes (a stage that trips them shows them in either language).
    "pos=0",
    "DOOM FIX",
};

constexpr const char* kToolTexts[] = {
    "BG", "SFF", "Error Log", "Choose Music", "Changes saved...", "Current music file:",
    "Volume:                        (Default is 0, which is 50%)",
    "Keep in mind volume is relative to the master volume!", "Browse", "Play", "Update DEF", "Go", "Save PNG...",
    "Mask",
    "No such sprite.",
    "The sprite could not be saved.",
    // The element list.
    "Elements",
    "Hide",
    "Solo",
    "Back layer",
    "Front layer",
    "Not drawn in the preview (the stage file is not changed)",
    "Only soloed rows are drawn in the preview",
};

// The fixed beginnings of the menu captions made at run time (the limiter's, the test character's).
constexpr const char* kLiveCaptionTexts[] = {"FPS Limiter ", "Use "};
// The key reference window's own texts.
constexpr const char* kKeyWindowTexts[] = {"Key Reference", "Keys", "What they do"};
// clang-format on

// A caption that names nothing in words ("<<", "R", "2x", "-") reads the same in every language.
bool HasWords(const std::string& text) {
    int letters = 0;
    for (unsigned char c : text) {
        if (c >= 0x80) return true;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) ++letters;
    }
    return letters >= 2;
}

}  // namespace

std::span<const char* const> MessageTexts() {
    return kMessageTexts;
}

std::span<const char* const> ToolTexts() {
    return kToolTexts;
}

std::vector<ShownText> ShownTexts() {
    std::vector<ShownText> texts;
    const auto add = [&texts](const char* context, const std::string& source) {
        if (HasWords(source)) texts.push_back({context, source});
    };
    for (const MenuEntry& entry : MenuTable()) {
        add("Menu", entry.caption);
        add("Keys", entry.tip);
        add("Keys", entry.keyHint);
    }
    for (const char* text : kLiveCaptionTexts) add("Menu", text);
    for (const KeyTableRow& row : KeyTable()) {
        add("Keys", row.keys);
        add("Keys", row.action);
    }
    for (const char* text : kKeyWindowTexts) add("Keys", text);
    for (const char* text : kMessageTexts) add("Messages", text);
    for (int line = 0; line < kNoStageHintLines; ++line) add("Messages", kNoStageHint[line]);
    for (const char* text : kToolTexts) add("Tools", text);
    // The background editor's buttons for users, from its own table.
    for (const BgButton& button : BgButtonTable()) {
        if (button.developer) continue;
        add("Tools", button.caption);
        if (button.tip != nullptr) add("Tools", button.tip);
    }
    return texts;
}

}  // namespace qb

#include "app/bg_buttons.h"

#include "app/app_state.h"
#include "app/commands.h"
#include "session/live_reload.h"
#include "session/load_stage.h"
#include "session/stage_session.h"
#include "music/music_chooser.h"
#include "platform/paths.h"
#include "stage/stage_loader.h"
#include "tools/bg_commands.h"

namespace qb {
namespace {

// A save that silently went nowhere would look like one that worked.
void ReportSave(AppState& state, bool ok, const std::string& name) {
    if (!ok) Box(state, "Could not write " + JoinPath(state.Dirs.Data, name), MsgIcon::Exclamation);
}

// Save Changes and Command6 write a definition from the stage on screen. Without one they would
// write an empty stage over the last save; a packaged stage's "spr" names the extracted copy, which is
// deleted when the stage closes, so the saved definition would never load.
bool CanSaveStage(AppState& state) {
    if (state.bRunning == 0) {
        Box(state, "There is no stage to save: open a stage first.", MsgIcon::Exclamation);
        return false;
    }
    if (state.Package.FromPackage) {
        Box(state,
            "This stage was opened from a package; its sprite file is a temporary copy that is deleted when "
            "the stage closes, so a saved definition could not load it.",
            MsgIcon::Exclamation);
        return false;
    }
    return true;
}

void ChooseMusic(AppState& state) {
    if (!state.ports.ui) return;
    FileDialogRequest request;
    request.title = "Choose your stage!";
    request.filters = {{"Music Files", "*.mp3"}};
    const std::string sound = state.MugeDir.empty() ? std::string() : state.MugeDir + "sound/";
    if (!sound.empty() && DirExists(sound)) request.initialDir = ResolvePath(sound);
    request.fileMustExist = true;
    const std::string chosen = state.ports.ui->ShowOpen(request);
    if (chosen.empty()) return;
    // Through the player, so that the Music item and the music chooser act on what plays.
    if (!state.MUSIC.SetFileName(chosen)) {
        Box(state, "Cannot play " + chosen + ": " + state.MUSIC.OpenError(), MsgIcon::Exclamation);
        return;
    }
    state.Load.MusicPath = chosen;
    state.Edit.Fields.txtMusic = chosen;
    state.MUSIC.SetVolume(MusicVolume(state.Stage.BgVolume));
    if (state.Options.Music) state.MUSIC.Play();
    if (state.Chooser.Loaded) InitMusicChooser(state.Chooser, state.Stage, state.MUSIC, true);
}

// True when the stage file holds the editor's values afterwards (nothing to write counts). When
// another program had saved the file since the load, the edits went into its version, and with
// `showMerge` the stage is read again from the file so that the screen shows both.
bool WriteStage(AppState& state, bool showMerge) {
    if (state.bRunning == 0 || state.StageFile.empty()) return false;
    // A packaged stage runs from a copy extracted into the temporary folder, removed when it closes:
    // writing there would look like a save and be lost.
    if (state.Package.FromPackage) {
        Box(state, "This stage was opened from a package; its definition cannot be written back.",
            MsgIcon::Exclamation);
        return false;
    }
    WriteBackResult r;
    {
        // The questions about lines another program changed hold the stage as the other boxes do.
        const StageBoxHold hold(state);
        r = WriteToStageFile(state.Stage, state.Edit, state.StageFile, {}, state.ports.ui);
    }
    if (!r.ok) {
        if (!r.cancelled) Box(state, r.error, MsgIcon::Exclamation);
        return false;
    }
    // The stage on screen is what was just written: the file watcher's report of it is no change.
    WatchStageFiles(state);
    std::string told =
        r.linesChanged + r.linesAdded + r.sectionsMoved == 0
            ? std::string("Nothing was changed.")
            : std::to_string(r.linesChanged) + " line(s) changed and " + std::to_string(r.linesAdded) + " added" +
                  (r.sectionsMoved == 0 ? "" : ", " + std::to_string(r.sectionsMoved) + " element section(s) moved") +
                  " in " + state.StageFile;
    if (r.merged)
        told +=
            "\r\nThe file had been changed by another program since the stage was loaded: its changes "
            "are kept" +
            (r.keptTheirs > 0
                 ? ", with " + std::to_string(r.keptTheirs) + " of your line(s) left as it wrote them"
                 : std::string()) +
            ".";
    Box(state, told, MsgIcon::Information);
    if (r.merged && showMerge) ReloadStageFromFile(state);
    return true;
}

void UpdateElement(AppState& state) {
    EditState& edit = state.Edit;
    // A box that cannot be taken ends the action with nothing changed.
    const int16_t selected = edit.SelectedElement;
    const bool mapped = selected >= 0 && static_cast<size_t>(selected) < edit.Origin.size() &&
                        edit.Origin[selected] >= 0 &&
                        static_cast<size_t>(edit.Origin[selected]) < edit.Source.Elements.size();
    edit.History.Begin(EditKind::Update, state.Stage, edit);
    const std::string refused = UpdateStuff(state.Stage, edit.Fields, selected,
                                            mapped ? &edit.Source.Elements[edit.Origin[selected]] : nullptr);
    // One step when the boxes changed anything (a refused Update changed nothing).
    edit.History.Commit(state.Stage, edit);
    if (!refused.empty()) Box(state, refused, MsgIcon::Exclamation);
    // The boxes show what the file will say (the type as the loader names it, the sprite it finds).
    if (refused.empty()) ShowElement(state.Stage, selected, edit.Fields, &edit);
}

void SaveTestDef(AppState& state) {
    if (CanSaveStage(state))
        ReportSave(state, cmdSave_Click(state.Stage, state.Load.MusicPath, state.Dirs.Data), "test.def");
}

void SaveStageDef(AppState& state) {
    if (CanSaveStage(state))
        ReportSave(state, Command6_Click(state.Stage, state.Load.MusicPath, state.Dirs.Data), "stage.def");
}

void ShowDef(AppState& state) {
    if (state.ports.ui && !state.ports.ui->OpenInTextEditor(ResolvePath(state.StageFile)))
        TextEditorFailed(state);
}

void ShowTestDefSize(AppState& state) {
    const int64_t length = Command4_Click(state.Dirs.Data);
    if (length >= 0) Box(state, std::to_string(length), MsgIcon::None);
}

// The editor's files (test.def, stage.def and the fixed-name ones) live with the user's data.
// clang-format off
constexpr BgButton kButtons[] = {
    {"cmdUpdate", "Update", nullptr, false, UpdateElement},
    {"cmdAutoBound", "Auto Bound", nullptr, false, [](AppState& s) { AutoBound(s.Stage, s.Edit.Fields); }},
    {"cmdSave", "Save Changes", nullptr, true, SaveTestDef},
    {"cmdShowDef", "Show Def", nullptr, false, ShowDef},
    {"cmdMusic", "Music", nullptr, false, ChooseMusic},
    // "Save Stage" (Command2) had no action: it is not offered. The test buttons are for developers.
    {"Command1", "Set", "Does nothing: this button has no action.", false, nullptr, true},
    {"Command3", "Command3",
     "Rewrites test.def in the data folder: every bgmusic line gets lalala.mid (in the data folder).", true,
     [](AppState& s) { Command3_Click(s.Dirs.Data); }, true},
    {"Command4", "Command4", "Shows the size of test.def in the data folder, in bytes.", false, ShowTestDefSize,
     true},
    {"Command5", "Command5",
     "Copies test.def to shout.def in the data folder, every bgmusic line set to f:\\mugen\\suckme.mp3.", true,
     [](AppState& s) { Command5_Click(s.Dirs.Data); }, true},
    {"Command6", "Command6",
     "Saves the stage on screen as stage.def in the data folder: the positions as edited, settings "
     "equal to their defaults left out (Save Changes writes test.def).", true, SaveStageDef},
    {"cmdWriteStage", "Write to stage file", nullptr, false, [](AppState& s) { WriteStage(s, true); }},
};
// clang-format on

}  // namespace

std::span<const BgButton> BgButtonTable() {
    return kButtons;
}

bool BgEditorButton(AppState& state, const std::string& control) {
    for (const BgButton& button : kButtons) {
        if (control != button.name) continue;
        if (button.writesData) PrepareDataDir(state.Dirs, state.Dirs.Data);
        if (button.run) button.run(state);
        return true;
    }
    return false;
}

bool ConfirmDropEdits(AppState& state) {
    if (state.bRunning != 1 || !state.ports.ui) return true;
    if (!HasUnwrittenEdits(state.Stage, state.Edit)) return true;
    MsgAnswer answer = MsgAnswer::Cancel;
    {
        // Nothing may replace the stage while the question about its edits is up (a second start's
        // hand-over waits), or the answer would act on another stage.
        const StageBoxHold hold(state);
        answer = state.ports.ui->MsgBox(
            "The background editor's changes to " + state.StageFile +
                " are not written to the stage file.\r\nWrite them now, or discard them?",
            MsgIcon::Exclamation, MsgButtons::WriteDiscardCancel);
    }
    if (answer == MsgAnswer::No) return true;
    // Anything but Write or Discard (Cancel, the box closed) keeps the stage and its edits.
    // The stage is replaced next: no need to read the merged file into it first.
    return answer == MsgAnswer::Yes && WriteStage(state, false);
}

void HoldEditsAgainstDiskChange(AppState& state) {
    const std::string note = FileNameOf(state.StageFile) +
                             " changed on disk; your unwritten edits are kept. Reload takes the file's "
                             "version, Write puts your edits into it.";
    state.Log.Append(note + "\r\n");
    if (state.ports.ui) state.ports.ui->SetCaption(note);
}

}  // namespace qb

#include "app/char_commands.h"

#include <algorithm>
#include <optional>

#include "app/app_state.h"
#include "app/window_rules.h"
#include "character/char_walker.h"
#include "character/load_character.h"
#include "platform/paths.h"
#include "platform/text_util.h"
#include "render/camera.h"

namespace qb {

namespace {

constexpr uint8_t kCharOn = 255;

std::string CharDialogStartFolder(const AppState& state) {
    const std::string chars = state.MugeDir + "chars/";
    if (!state.MugeDir.empty() && DirExists(chars)) return chars;
    // The program's folder stands in for the current directory.
    return state.ProgramDir;
}

void ShowStageCaption(AppState& state) {
    if (state.ports.ui) state.ports.ui->SetCaption(StageCaption(state.Stage.StageName));
}

}  // namespace

bool InitTestChar(AppState& state) {
    if (!state.ports.ui) return false;
    Ui& ui = *state.ports.ui;
    state.Window.CharLoading = true;
    const bool wasLoaded = state.Chars.CharLoaded == 255;
    state.Chars.TwoFighters = state.Options.CharP2;
    ReaderContext reader{state.Log, ui, state.LineNumber, {}};
    CharLoadEnv env{ui, reader, nullptr};
    const bool placed = InitChar(env, state.Chars, state.CharSettings, state.Stage, state.Camera);
    if (!wasLoaded) {
        state.Window.CharCaption =
            state.Chars.CharLoaded == 255 ? "Use " + state.CharSettings.TestCharName : std::string("Use Char");
    }
    state.Window.CharLoading = false;
    return placed;
}

void StartCharForRun(AppState& state) {
    if (state.Chars.CharEnabled == 0 || state.bRunning == 0) return;
    // Only a character that stands in the stage sets the pace: a refused one would leave a step of 0.
    if (InitTestChar(state))
        SetCharCamStep(state.Camera, state.Chars.Characters[0].WalkSpeed);
    else
        ReleaseCharCamStep(state.Camera);
}

void DrawTestChar(AppState& state, Keys& keys) {
    if (!state.ports.ui || !state.BackBuffer || state.Chars.CharLoaded != 255) return;
    CharScene scene{state.Stage, state.Camera, state.Frame, state.BackBuffer.get(), keys, *state.ports.ui};
    scene.view = state.Target.CharacterView(state.Camera);
    if (Char(state.Chars, scene)) return;
    if (state.Chars.CharEnabled == 0) ReleaseCharCamStep(state.Camera);
}

void ReleaseTestChar(CharState& chars) {
    if (chars.CharLoaded == 0) return;
    ReleaseCharacter(chars.Characters, chars.CharCount, chars.CharLoaded);
}

namespace {

// The chosen path cut after its ".def", or nothing (with the box that says so) when it names no
// character; an empty path passes when `emptyClears`.
std::optional<std::string> CheckedCharPath(AppState& state, const std::string& path, bool emptyClears) {
    std::string chosen = path;
    const size_t def = text::FindNoCase(chosen, ".def");
    if (def != std::string::npos) chosen.resize(def + 4);
    if ((emptyClears && chosen.empty()) || IsChar(chosen)) return chosen;
    if (state.ports.ui) state.ports.ui->MsgBox("Not a Character!", MsgIcon::Exclamation, MsgButtons::Ok);
    return std::nullopt;
}

// The open dialog for a character definition; empty when cancelled or without a window.
std::string AskForCharacter(AppState& state, const char* title) {
    if (!state.ports.ui) return {};
    return state.cdl.ShowOpen(*state.ports.ui, title, CharDialogStartFolder(state), "DEF Files|*.def",
                              kOfnPathMustExist | kOfnFileMustExist);
}

}  // namespace

bool ChooseTestChar(AppState& state, const std::string& path) {
    // A refused file changes nothing: the character chosen before stays, and so does a saved
    // "Char = True", which without it would ask for a character before the window appears.
    const auto chosen = CheckedCharPath(state, path, false);
    if (!chosen) return false;
    state.CharSettings.TestCharPath = *chosen;
    // The loaded character goes at once, running stage or not: otherwise the next stage start would
    // still show the one chosen before.
    ReleaseTestChar(state.Chars);
    if (state.bRunning != 0) {
        if (InitTestChar(state) && state.Chars.CharEnabled != 0)
            SetCharCamStep(state.Camera, state.Chars.Characters[0].WalkSpeed);
        else if (state.Chars.CharEnabled == 0)
            ReleaseCharCamStep(state.Camera);
        ShowStageCaption(state);
    }
    return true;
}

void mnuChange_Click(AppState& state) {
    const std::string answer = AskForCharacter(state, "Choose test character.");
    if (answer.empty()) return;
    ChooseTestChar(state, answer);
}

void mnuChar_Click(AppState& state) {
    if (state.CharSettings.TestCharPath.empty()) {
        mnuChange_Click(state);
        // Nothing chosen (cancelled or refused): switching on would only fail to load.
        if (state.CharSettings.TestCharPath.empty()) return;
    }
    const bool on = state.Chars.CharEnabled == 0;
    state.Chars.CharEnabled = on ? kCharOn : 0;
    const bool running = state.bRunning != 0;
    if (on && running) {
        InitTestChar(state);
        ShowStageCaption(state);
    }
    // The walking speed is the camera's pace only while the character stands in a running stage;
    // the user's step comes back whenever it leaves, stage or no stage.
    if (running && state.Chars.CharEnabled != 0)
        SetCharCamStep(state.Camera, state.Chars.Characters[0].WalkSpeed);
    else
        ReleaseCharCamStep(state.Camera);
}

namespace {

// Player two's character goes (its own bitmaps with it); the next start makes it again.
void DropSecondChar(CharState& chars) {
    if (chars.Characters.size() < 2) return;
    for (SpriteEntry& entry : chars.Characters[1].Sprites)
        if (entry.Owner == -1) entry.Owned.reset();
    chars.Characters.resize(1);
    chars.CharCount = 1;
}

void RestartChar(AppState& state) {
    if (state.bRunning == 0 || state.Chars.CharEnabled == 0) return;
    InitTestChar(state);
    ShowStageCaption(state);
}

}  // namespace

void mnuCharP2_Click(AppState& state) {
    state.Options.CharP2 = !state.Options.CharP2;
    if (!state.Options.CharP2) state.Chars.CharCount = std::min<int16_t>(state.Chars.CharCount, 1);
    RestartChar(state);
}

bool ChooseSecondChar(AppState& state, const std::string& path) {
    const auto chosen = CheckedCharPath(state, path, true);
    if (!chosen) return false;
    state.CharSettings.TestChar2Path = *chosen;
    DropSecondChar(state.Chars);
    RestartChar(state);
    return true;
}

void mnuChangeP2_Click(AppState& state) {
    const std::string answer = AskForCharacter(state, "Choose test character (P2).");
    if (answer.empty()) return;
    ChooseSecondChar(state, answer);
}

}  // namespace qb

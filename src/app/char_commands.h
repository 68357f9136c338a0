#pragma once
// The test character in the main window: its two menu commands, its start when a stage starts, its
// slot in every frame and its release.
#include <string>

namespace qb {

struct AppState;
struct CharState;
class Keys;

// InitChar with the window around it: the Options and Stage menus are disabled while the character
// loads (a refusal box services messages meanwhile), and the use command is captioned
// "Use " + the character's name, or "Use Char" when it did not load. Answers whether the character
// stands in the stage.
bool InitTestChar(AppState& state);

// The run loop's step at stage start: when the character is on, InitTestChar, and the camera's
// horizontal step becomes the character's walking speed so that the camera keeps pace with it.
void StartCharForRun(AppState& state);

// The frame's character slot: Char on the main window's character. A run-time error switches the
// character off; the stage keeps running.
void DrawTestChar(AppState& state, Keys& keys);

// Destroys the loaded character's bitmaps (when loaded). The next start loads the files again.
void ReleaseTestChar(CharState& chars);

// Takes `path` as the test character's definition: cut after its first ".def"; a file that is not a
// character empties TestCharPath and is refused with "Not a Character!". A loaded character is
// released, so the next start (or, while a stage runs, the start done here) shows the new one.
// Answers whether the path was taken.
bool ChooseTestChar(AppState& state, const std::string& path);

// mnuChange: the open dialog ("Choose test character.", DEF files, starting in MugeDir's chars
// folder), then ChooseTestChar. Cancel keeps the current choice.
void mnuChange_Click(AppState& state);

// mnuChar: toggles the test character. With no character chosen yet it asks for one first (and
// stays off when none is chosen). While a stage runs, switching on starts the character and saves
// the camera steps (the horizontal one becomes the walking speed); switching off gives them back.
void mnuChar_Click(AppState& state);

// mnuCharP2: player two on or off (the character starts again when it stands in a running stage).
void mnuCharP2_Click(AppState& state);
// Takes `path` as player two's character (refused as ChooseTestChar refuses; empty: the same
// character as player one) and puts it in at once while the character stands in a running stage.
bool ChooseSecondChar(AppState& state, const std::string& path);
// mnuChangeP2: the open dialog as mnuChange, then ChooseSecondChar.
void mnuChangeP2_Click(AppState& state);

}  // namespace qb

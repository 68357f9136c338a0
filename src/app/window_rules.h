#pragma once
// Rules of the main window that the core decides for every front end: the caption shown for a
// stage, the scale a resized window shows the frame at, the language of the menus and where the
// window opens.
#include <string>

namespace qb {

struct AppState;

// The caption for a stage: its name as the user reads it. Names are stored as written in the
// definition, usually in double quotes ("\"Forest Gate\""); the quotes are dropped here only, the
// model keeps them (a saved definition must read back the same).
std::string StageCaption(const std::string& stageName, bool paused = false);

// The largest whole-number scale at which the 320 x 240 frame fits a client area of this size
// with `listWidth` pixels taken by the stage list beside it; at least 1.
int FitViewScale(int clientWidth, int clientHeight, int listWidth);

// The largest whole-number scale (1..4) whose window fits a screen of this size: the frame at that
// scale and the window's title bar, menu bar and borders (kWindowChrome). The stage list is left
// out: it can be hidden to make room, the view cannot. A screen of unknown size ({0, 0}) takes every
// scale.
inline constexpr int kWindowChromeWidth = 16;
inline constexpr int kWindowChromeHeight = 80;
int LargestScreenScale(int screenWidth, int screenHeight);
// Records the largest scale whose window fits the screen the main window is on: the scale items
// beyond it are offered no more (1x always is).
void OfferFittingScales(AppState& state);

// The client area now has this size (the user resized the window, or the core did): answers the
// scale the view shows the frame at. A fitting scale of 1..4 becomes the chosen ViewScale (its
// menu item checked, saved as "Scale"); a larger one checks none and keeps the saved choice.
int ClientResized(AppState& state, int clientWidth, int clientHeight);

// Language of the menus and tool windows: kLanguageGiven shows the captions as the design gives
// them, kLanguageEnglish their English translations. The two items of the Options menu choose it.
inline constexpr const char* kLanguageGiven = "zh";
inline constexpr const char* kLanguageEnglish = "en";
// Anything but "en" (in any case) is the given captions, so a hand-edited or older file is safe.
void SetLanguage(AppState& state, const std::string& language);
// The language a first start takes (no saved "Language"): the desktop's, as the C library would
// choose it: the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty, or, with none of
// them, the toolkit's system locale name ("zh_CN"). Chinese ("zh", "zh_TW.UTF-8", ...) keeps the
// given captions; anything else, "C" and "POSIX" too, is English.
std::string DesktopLanguage(const std::string& lcAll, const std::string& lcMessages, const std::string& lang,
                            const std::string& systemLocale);

// Moves the window to its remembered place when the configuration gave one that some screen
// shows; answers false (and moves nothing) otherwise, and the caller centres the window.
bool MoveToRememberedPlace(AppState& state);
// Before the configuration is written: remembers where the window is now (where it was before
// full screen began, while full screen is on).
void RememberPlace(AppState& state);

}  // namespace qb

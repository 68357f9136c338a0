#pragma once
// Rules of the main window that the core decides for every front end: the caption shown for a
// stage, the scale a resized window shows the frame at, the language of the menus and where the
// window opens.
#include <string>
#include <utility>

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
// scale, the stage list beside it when it is shown (`listWidth`, 0 when hidden) and the window's
// title bar, menu bar and borders (kWindowChrome). A screen of unknown size ({0, 0}) takes every
// scale.
inline constexpr int kWindowChromeWidth = 16;
inline constexpr int kWindowChromeHeight = 80;
int LargestScreenScale(int screenWidth, int screenHeight, int listWidth = 0);
// Records the largest scale whose window fits the screen the main window is on: the scale items
// beyond it are offered no more (1x always is).
void OfferFittingScales(AppState& state);

// ---- The main window's layout. One value, computed here from the screen and the settings; the
// front end applies it by difference (as it renders the menus) and never takes a size it asked for
// as the user's choice.

struct LayoutRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const LayoutRect&) const = default;
};

struct WindowLayout {
    int clientWidth = 0, clientHeight = 0;  // the client area, the menu bar not counted
    LayoutRect view;                        // the stage view inside the client area
    LayoutRect list;                        // the stage list beside it; width 0 while hidden
    // The whole-number scale of the 320 x 240 frame the view is sized for (the Zoom menu's mark;
    // above 4 when the user made the window larger than any item).
    int scale = 1;
    int pictureWidth = 320, pictureHeight = 240;  // what the stage draws, in its own pixels
    LayoutRect picture;                           // where the view shows it, at the size shown
    bool operator==(const WindowLayout&) const = default;
};

struct LayoutInputs {
    int screenWidth = 0, screenHeight = 0;  // the screen's available area; 0: unknown (no limit)
    int chosenScale = 2;                    // the "Scale" setting
    int listWidth = 0;                      // 0: the list is hidden
    int pictureWidth = 320, pictureHeight = 240;
    int userClientWidth = 0, userClientHeight = 0;  // a client size the user gave the window; 0: none
    bool fit = false;  // the "fit to window" setting: the picture fills the view, keeping its aspect
};

// The largest picture of this picture's aspect inside the area, centred in it ("fit to window"):
// whole pixels, rounded down, at least 1 x 1; an area of zero size gives an empty rectangle at 0, 0.
LayoutRect FitPictureRect(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight);

// The rule: the chosen scale, or the largest below it whose window fits the screen with the list;
// a larger picture (a modern stage) widens the view to show it at the largest whole scale the view
// holds, at least 1x, and where even 1x would not fit the screen it is shown smaller, keeping its
// aspect, so the window never runs off the screen. A size the user gave the window is kept: the view
// fills it beside the list and the picture fits the view. With `fit` the view keeps that size and the
// picture fills it (FitPictureRect) at any scale, whole or not.
WindowLayout LayOutWindow(const LayoutInputs& in);
// The layout for the state now: the settings, the picture the stage draws, and the available size of
// the screen the main window is on (Ui::ScreenSize).
WindowLayout WindowLayoutFor(const AppState& state);
// The client size the window should have now (WindowLayoutFor).
std::pair<int, int> ClientSizeFor(const AppState& state);
// StageListShown or ViewScale was chosen: the window's layout follows them again, whatever size the
// user gave the window before (the window is not moved).
void ApplyWindowGeometry(AppState& state);

// Where a window whose frame is `frame` stands wholly on `screen`: moved in as little as it takes
// (a frame larger than the screen keeps its top-left corner on it).
std::pair<int, int> PlaceOnScreen(const LayoutRect& screen, const LayoutRect& frame);
// The side of the main window a tool window opens on.
enum class ToolSide { Right, Above, Below };
// Where a tool window of this frame size opens: beside the main window's frame on `side`, edges
// aligned, or on the opposite side when the screen has no room there; then moved wholly onto the
// screen the main window is on.
// `keepRight` pixels at the owner's right edge (the stage list) stay uncovered where the screen has
// room for that: a window that has to overlap the owner then overlaps its left part (the view).
std::pair<int, int> PlaceToolWindow(const LayoutRect& screen, const LayoutRect& owner, int width, int height,
                                    ToolSide side, int keepRight = 0);

// The user resized the window to this client area: answers the scale the view shows the classic
// frame at. The size is kept until a scale or the list is chosen. With the classic picture, a
// fitting scale of 1..4 becomes the chosen ViewScale (its menu item checked, saved as "Scale"); a
// larger one checks none and keeps the saved choice. A modern stage's picture never changes the
// setting: its size is the stage's, not a scale the user picked.
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

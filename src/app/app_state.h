#pragma once
// The main window's run-time state: one object made of the parts each subsystem owns. The Qt
// window, the headless tool and the tests each own one. Routines take the narrowest part they need.
#include <cstdint>
#include <string>

#include "character/test_character.h"
#include "platform/gfx.h"
#include "platform/picture32.h"
#include "platform/ports.h"
#include "render/frame.h"
#include "render/frame_target.h"
#include "session/session_state.h"

namespace qb {

// Every setting the user switches or chooses, as its own field. The menus show them (app/menu_model.h
// computes each check mark from them) and the configuration stores them; the run loop reads them.
struct Options {
    bool Music = true;         // mnuMusic: the stage's music plays
    bool Info = false;         // mnuInfo: the information overlay
    bool Deform = false;       // mnuDeform
    bool DebugBG = false;      // mnuDebugBG: element outlines
    bool SnapshotPng = false;  // mnuSnapshotPng: snapshots as PNG instead of PCX
    bool SnapshotInfo = false;  // mnuSnapshotInfo: snapshots keep the info overlay (left out otherwise)
    bool AutoReload = true;    // mnuAutoReload: reload the stage when its files change
    // mnuOverlay*: the setup overlays drawn over the view (SetupOverlay's bits, one switch each).
    bool OverlayBounds = false, OverlayScreen = false, OverlayStarts = false;
    bool OverlayMoveBounds = false, OverlayFloor = false, OverlayElement = false;
    bool CharP2 = true;  // mnuCharP2: the test character has an opponent at the player-two start
    int32_t ViewScale = 2;     // 1..4: the view shows the 320 x 240 frame at this whole-number scale
    bool ScaleFit = false;     // mnuScaleFit: the picture fills the view, keeping its aspect
    bool SmoothScale = false;  // mnuScaleSmooth: a picture scaled by a fraction is smoothed
    uint8_t StageListShown = 0;  // 255 while lstStages is shown
    // Language of the menus and tool windows: "zh", the captions as the design gives them, or "en",
    // their English translations ("Language = en"); see app/window_rules.h.
    std::string Language = "zh";
};

// The largest frame limit "Max FPS?" takes, and the limit of a first run.
inline constexpr int kMaxFpsLimit = 1000;
inline constexpr int16_t kDefaultFpsLimit = 60;

// The run loop: pacing, pause, the flags that end it and the one-shot work it leaves to timers.
struct RunLoopState {
    int16_t FpsLimit = 60;
    uint8_t Paused = 0;
    bool ExitLoop = false;
    bool InRunLoop = false;
    bool AboutRunning = false;
    uint8_t DebugMode = 0;
    bool ShutdownDone = false;
    // High-resolution counter frequency and the counter at the last present.
    int64_t PerfFrequency = 0;
    int64_t LastPresent = 0;
    // Run speed (render/frame.h: x1/4 .. x4; the limiter paces to FpsLimit times it) and a step
    // asked for by the step command while paused. Like Paused, the speed outlives the stage.
    int Speed = kNormalSpeed;
    bool StepPending = false;
    // Presses of the Step key beyond the one a paused pass used: each steps a pass of its own.
    int StepsQueued = 0;
    // The limit the limiter's caption names (the last one chosen; 0 before start-up set one).
    int16_t LimitShown = 0;
    // A stage has run since the program started: the sprite browser (mnuDebug) has sprites to show.
    bool StageHasRun = false;
    // Draw every frame of a modern stage whole rather than only what changed (the benchmark's
    // worst case).
    bool WholeFrames = false;
    // Check every kept frame against the frame drawn whole (render/frame.h: verifyKept).
    bool VerifyKept = false;
};

// The main window: the position kept while full screen is on, what a drop asked to open and the
// facts its menus are computed from.
struct WindowState {
    uint8_t FirstActivate = 255;
    uint8_t ShowIntro = 255;
    int32_t ShownScale = 2;      // the scale the view shows the frame at now (0: none of 1..4)
    int32_t LargestScale = 4;    // the largest scale whose window fits the screen
    // The client size the user gave the window by resizing it (0: none): kept by the layout until a
    // scale or the list is chosen.
    int32_t UserClientWidth = 0;
    int32_t UserClientHeight = 0;
    int32_t SavedTop = 0;        // main window position kept while full screen is on
    int32_t SavedLeft = 0;
    int32_t HScrollValue = 0;
    std::string DroppedFile;  // the dropped (or command-line) stage tmrDrop opens
    // The user was told that the read-only settings file keeps its settings (told once a run).
    bool ConfigReadOnlyTold = false;
    // The window's place from the configuration ("Left", "Top"): SavedLeft and SavedTop then hold
    // it, and start-up puts the window there instead of centring it.
    bool PositionKnown = false;
    // A notice (where a snapshot went) shown in the caption until this tick; the stage's caption
    // comes back after it.
    bool NoticeShown = false;
    uint32_t NoticeUntil = 0;
    // Start-up has run: the items it offers (mouse scrolling, Deform) are shown from then on.
    bool Loaded = false;
    // A stage or the test character is loading: the menus that could replace either are off.
    bool StageLoading = false;
    bool CharLoading = false;
    bool ErrorLogShown = false;  // frmError is up
    // The frame just drawn is the "no stage" hint: a front end whose language the back buffer's font
    // cannot write shows the hint itself on it (the presenter clears this).
    bool HintShown = false;
    // The key reference was asked for (Help menu, F1): the window shows it and clears this.
    bool KeyReferenceWanted = false;
    // frmBG is up: only then does a click in the view pick an element and a drag move it; with
    // the editor closed a drag looks around (pans the camera) and nothing is selected.
    bool BgEditorShown = false;
    // The developers' items are offered: the background editor's test buttons (Set, Command3 to
    // Command5) and Deform. Off for users (QUILLBACK_DEVELOPER=1 in the environment turns it on).
    bool Developer = false;
    // A pan under way: the pointer's last place in view pixels.
    bool Panning = false;
    int32_t PanX = 0, PanY = 0;
    // The test character's item names the character ("Use KFM", "Use Char"); empty: the given caption.
    std::string CharCaption;
};

// The stage session's parts (session/session_state.h) and the window's own; the window is the
// session's host (app/session_host.cpp).
struct AppState final : SessionState, SessionHost {
    std::string VersionText;
    uint8_t bMakeFullScreen = 0;
    uint8_t bFullScreen = 0;

    FrameState Frame;         // render/
    UniqueBitmap BackBuffer;  // platform/: the classic 320 x 240 picture
    // render/: which picture the frames draw into (BackBuffer, or the 32-bit one a modern stage
    // draws into at its own size), set at install; presents, snapshots and sizes it.
    FrameTarget Target{&BackBuffer};
    TestCharSettings CharSettings;  // character/
    CharState Chars;                // character/
    qb::Options Options;      // app/: the settings (qualified: the member takes the type's name)
    RunLoopState Loop;        // app/
    WindowState Window;       // app/

    SessionHost& Host() override { return *this; }
    const SessionHost& Host() const override { return *this; }
    bool MusicOn() const override;
    bool AutoReload() const override;
    void SetAutoReload(bool on) override;
    void EndRunLoop() override;
    void EndAboutScreen() override;
    void DoEvents() override;
    bool ConfirmDropEdits() override;
    void HoldEditsAgainstDiskChange() override;
    void SetStageLoading(bool loading) override;
    void FulfilFullScreenWish() override;
    void LeaveFullScreen() override;
    void ClearView() override;
    void ClearPicture(bool forgetDrawn) override;
    void InstallPicture() override;
    void ReleasePicture() override;
    void ShowStageCaption() override;
    void ShowErrorLog() override;
    void OpenLater(const std::string& path) override;
};

}  // namespace qb

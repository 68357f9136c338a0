#pragma once
// One frame as the run loop draws it: the debug clear, the back layer, the test character's slot,
// the front layer, the once-a-second update and the info text. The window's run loop and the
// headless tool both call DrawFrame, so they draw the same pixels.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/picture32.h"
#include "platform/ports.h"
#include "platform/sprite_table.h"
#include "render/camera_state.h"
#include "render/element_preview.h"
#include "render/layer_stacks.h"
#include "render/overlays.h"
#include "render/retained.h"
#include "stage/stage_model.h"

struct BITMAP;

namespace qb {

constexpr int64_t kNeverTick = INT64_MIN / 4;

// Where the last element pass drew an element: the sprite (-1 when it drew nothing) and the top-left
// corner of its first tile in view pixels, controller motion and sine offsets included. Picking an
// element under the pointer reads this, so it always agrees with what is on screen.
// A zoomed or scaled element on the modern picture records its mapped size (w, h; -1 for the
// sprite's own size) and the zoom its position moves by, so that a drag moves it under the pointer.
struct DrawnElement {
    int16_t sprite = -1;
    int32_t x = 0;
    int32_t y = 0;
    int32_t w = -1;
    int32_t h = -1;
    double zoom = 1;
};

// Run-time values of the frame and of the element passes. Reset by ResetFrameState when a stage
// starts running.
struct FrameState {
    int16_t FramesThisSecond = 0;
    // Milliseconds of the last once-a-second update. Starts far in the past so that the first frame
    // performs the update whatever the clock reads (a clock that starts at 0 included).
    int64_t LastSecondTick = kNeverTick;
    std::string InfoText;
    uint8_t LayerPass = 0;  // 0 back layer, 255 front layer
    // Vertical sine offset of the element named by the stage's zoffsetlink (read by the character).
    int16_t LinkOffsetY = 0;
    // Millisecond tick of the last Z or A step change (they act at most once per 150 ms).
    int64_t LastStepKeyTick = -1'000'000;
    // Set when the Delete key was seen by an element pass; the run loop acts on it.
    bool DeleteRequested = false;
    // One entry per element, written by the pass that handles the element.
    std::vector<DrawnElement> Drawn;
    // Logic frames run since the stage started (a step while paused counts), and the info overlay's
    // second line as it was when the frame on screen was drawn.
    int64_t FrameNumber = 0;
    std::string FrameText;
    // Pixels the element passes wrote into a modern stage's picture since the stage started: the
    // benchmark compares the frames' cost with writing these once.
    int64_t DrawnPixels = 0;
    // A modern stage's layers that move together, stacked into one sprite each (kept between frames).
    LayerStacks Stacks;
    // A modern stage's picture as the last frame left it, and what the window has yet to show.
    RetainedPicture Retained;
    // The top rows of the picture as they were before the info overlay was drawn over them (empty
    // when the last frame drew none): snapshots show the stage, not the overlay. While setup
    // overlays are drawn it keeps the whole picture.
    UnderOverlay UnderInfo;
};

void ResetFrameState(FrameState& frame);

// What the layers above the renderer add to every element pass (the element editor).
class ElementPassHook {
public:
    virtual ~ElementPassHook() = default;
    // True while the Delete key belongs to the hook, so that it is not a request to delete the stage.
    virtual bool OwnsDeleteKey(const StageModel& stage, Keys& keys) = 0;
    // True while the keypad's plus and minus belong to the hook (they zoom otherwise).
    virtual bool OwnsPadKeys(const StageModel& /*stage*/) { return false; }
    // Polled after the camera keys at the end of every element pass.
    virtual void AfterPass(StageModel& stage, FrameState& frame, Keys& keys, Clock& clock) = 0;
};

// Run speeds, slowest first: x1/4, x1/2, x1, x2, x4. The limiter paces to its limit times the speed;
// every pass still runs exactly one logic frame, so a speed changes the pace, never the pictures.
inline constexpr int kSpeedCount = 5;
inline constexpr int kNormalSpeed = 2;
// The speed in quarters of the normal one (1, 2, 4, 8, 16); out-of-range indices are clamped.
int SpeedQuarters(int speed);
// "x1/4", "x1/2", "x1", "x2", "x4" (the built-in font has no fraction glyphs).
std::string SpeedText(int speed);

// The menu marks and run-loop values a frame reads.
struct FrameOptions {
    bool Info = false;     // mnuInfo checked
    bool DebugBG = false;  // mnuDebugBG checked
    uint8_t DebugMode = 0;
    int16_t FpsLimit = 60;  // the rate the limiter paces to (speed included); caps the shown rate
    bool Paused = false;
    // Run one logic frame although paused (the step command); the Step key does the same.
    bool Step = false;
    int Speed = kNormalSpeed;  // shown on the info overlay's second line
    // The setup overlays drawn over the frame (bits of SetupOverlay) and the editor's selected
    // element they outline (-1: none).
    uint8_t Overlays = 0;
    int SelectedElement = -1;
};

// Everything one frame reads and changes.
struct FrameContext {
    StageModel& stage;
    CameraState& camera;
    FrameState& frame;
    BITMAP* backBuffer;
    Keys& keys;
    Clock& clock;
    FrameOptions options{};
    ElementPassHook* hook = nullptr;
    // The test character's slot between the layers (it draws only while it stands in the stage).
    std::function<void()> drawCharacter{};
    // Runs before the back layer of every frame drawn (the players' moves and the camera that
    // follows them, so that both layers show the same camera).
    std::function<void()> beforeFrame{};
    // Which arrow keys are the camera's, asked after each element pass (the character's walk between
    // the passes may hand them over); all of them when unset.
    std::function<CameraArrows()> cameraArrows{};
    // Modern stages draw here instead of into backBuffer (null for classic stages).
    Picture32* picture = nullptr;
    // The picture may be kept between frames, only what changed being drawn again: set only while
    // nothing draws into it between the passes (no test character in the stage) and nothing changes
    // the elements while they run (no element being edited).
    bool retain = false;
    // Every kept frame is also drawn whole aside and compared (the fuzzers' check).
    bool verifyKept = false;
    // The element list's hide and solo switches (null: every element as the stage says).
    const ElementPreview* preview = nullptr;
};

struct FrameResult {
    // The once-a-second update ran (the run loop then checks the music and the full-screen window).
    bool SecondElapsed = false;
    // The Pause key was pressed since it was last read (checked only while DebugMode is 0).
    bool PauseKey = false;
    // The Delete key was seen by an element pass.
    bool DeleteKey = false;
    // Presses of the Step key read while paused beyond the one this frame used.
    int ExtraSteps = 0;
    // Presses of the faster key less presses of the slower one since the last read.
    int SpeedChange = 0;
};

// Draws one frame into ctx.backBuffer.
FrameResult DrawFrame(FrameContext& ctx);

}  // namespace qb

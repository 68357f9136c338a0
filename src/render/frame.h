#pragma once
// One frame as the run loop draws it: the debug clear, the back layer, the test character's slot,
// the front layer, the once-a-second update and the info text. The window's run loop and the
// headless tool both call DrawFrame, so they draw the same pixels.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/ports.h"
#include "platform/sprite_table.h"
#include "render/camera_state.h"
#include "stage/stage_model.h"

struct BITMAP;

namespace qb {

constexpr int64_t kNeverTick = INT64_MIN / 4;

// Run-time values of the frame and of the element passes. Reset by ResetFrameState when a stage
// starts running.
struct FrameState {
    int16_t FramesThisSecond = 0;
    // Milliseconds of the last once-a-second update. Starts far in the past so that the first frame
    // performs the update whatever the clock reads (a clock that starts at 0 included).
    int64_t LastSecondTick = kNeverTick;
    std::string InfoText;
    uint8_t LayerPass = 0;  // 0 back layer, 255 front layer
    // Test character: 255 while it is in the stage; CameraFollow 1 while the arrow keys still move
    // the camera with it on.
    uint8_t CharEnabled = 0;
    uint8_t CameraFollow = 0;
    // Vertical sine offset of the element named by the stage's zoffsetlink (read by the character).
    int16_t LinkOffsetY = 0;
    // Millisecond tick of the last Z or A step change (they act at most once per 150 ms).
    int64_t LastStepKeyTick = -1'000'000;
    // Set when the Delete key was seen by an element pass; the run loop acts on it.
    bool DeleteRequested = false;

    // ---- Element editing (selection, dragging and the editing keys).
    // Element being dragged with the mouse (-1 none), the grab point in view pixels and the
    // element's position and base when it was grabbed.
    int16_t DragIndex = -1;
    int16_t GrabX = 0, GrabY = 0;
    int16_t GrabOffX = 0, GrabOffY = 0;
    int16_t BaseOffX = 0, BaseOffY = 0;
    // Millisecond tick of the last editing key that acted (they act at most once per 150 ms).
    int64_t LastEditKeyTick = -1'000'000;
    // True during a pass in which an element is selected: the Delete key then belongs to the
    // element, not to the delete-stage command.
    bool EditingElement = false;
    // The Delete key removed an element and has not been released since: until it is, it must not
    // reach the delete-stage command.
    bool DeleteHeldByEdit = false;
    // A caption an editing key asked for, handed out by DrawFrame.
    bool CaptionPending = false;
    std::string CaptionRequest;
};

void ResetFrameState(FrameState& frame);

// The menu marks and run-loop values a frame reads.
struct FrameOptions {
    bool Info = false;     // mnuInfo checked
    bool DebugBG = false;  // mnuDebugBG checked
    uint8_t DebugMode = 0;
    int16_t FpsLimit = 60;
    bool Paused = false;
};

struct FrameResult {
    // The once-a-second update ran (the run loop then checks the music and the full-screen window).
    bool SecondElapsed = false;
    // The Pause key was pressed since it was last read (checked only while DebugMode is 0).
    bool PauseKey = false;
    // The Delete key was seen by an element pass.
    bool DeleteKey = false;
    // An editing key asked for a new window caption (Caption).
    bool CaptionChanged = false;
    std::string Caption;
};

// Draws one frame into `backBuffer`. `drawCharacter` is the test character's slot between the
// layers (called only while frame.CharEnabled is non-zero; may be empty).
FrameResult DrawFrame(StageModel& stage, CameraState& camera, FrameState& frame, BITMAP* backBuffer,
                      Keys& keys, Clock& clock, const FrameOptions& options,
                      const std::function<void()>& drawCharacter = {});
// The same with element editing: the editing keys act on `SelectedElement` (the main window's).
FrameResult DrawFrame(StageModel& stage, CameraState& camera, FrameState& frame, BITMAP* backBuffer,
                      Keys& keys, Clock& clock, const FrameOptions& options, int16_t& SelectedElement,
                      const std::function<void()>& drawCharacter = {});

}  // namespace qb

#include "render/frame.h"

#include <utility>

#include "render/draw_elements.h"
#include "render/overlays.h"

namespace qb {

void ResetFrameState(FrameState& frame) {
    frame.FramesThisSecond = 0;
    frame.LastSecondTick = kNeverTick;
    frame.InfoText.clear();
    frame.LayerPass = 0;
    frame.LinkOffsetY = 0;
    frame.LastStepKeyTick = -1'000'000;
    frame.DeleteRequested = false;
    frame.DragIndex = -1;
    frame.LastEditKeyTick = -1'000'000;
    frame.EditingElement = false;
    frame.DeleteHeldByEdit = false;
    frame.CaptionPending = false;
    frame.CaptionRequest.clear();
}

FrameResult DrawFrame(StageModel& stage, CameraState& camera, FrameState& frame, BITMAP* backBuffer,
                      Keys& keys, Clock& clock, const FrameOptions& options,
                      const std::function<void()>& drawCharacter) {
    int16_t none = -1;
    return DrawFrame(stage, camera, frame, backBuffer, keys, clock, options, none, drawCharacter);
}

FrameResult DrawFrame(StageModel& stage, CameraState& camera, FrameState& frame, BITMAP* backBuffer,
                      Keys& keys, Clock& clock, const FrameOptions& options, int16_t& SelectedElement,
                      const std::function<void()>& drawCharacter) {
    FrameResult result;
    if (!options.Paused) {
        if (options.DebugBG) DebugClear(backBuffer);
        frame.LayerPass = 0;
        DrawElements(stage, camera, frame, backBuffer, keys, clock, SelectedElement);
        if (frame.CharEnabled != 0 && drawCharacter) drawCharacter();
        frame.LayerPass = 255;
        DrawElements(stage, camera, frame, backBuffer, keys, clock, SelectedElement);
        frame.FramesThisSecond += 1;
        int64_t now = clock.TickCount();
        if (now > frame.LastSecondTick + 1000) {
            // A negative limit (typed into the limiter's box) paces nothing; capping the shown rate
            // at it would show a negative rate, so only a positive limit caps.
            if (options.FpsLimit > 0 && frame.FramesThisSecond > options.FpsLimit)
                frame.FramesThisSecond = options.FpsLimit;
            if (options.Info) frame.InfoText = BuildInfoText(camera, frame.FramesThisSecond);
            frame.LastSecondTick = now;
            frame.FramesThisSecond = 0;
            result.SecondElapsed = true;
        }
    }
    if (options.DebugMode == 0) {
        if (options.Info) DrawInfoText(backBuffer, frame.InfoText);
        result.PauseKey = keys.Pressed(Key::Pause);
    }
    result.DeleteKey = frame.DeleteRequested;
    frame.DeleteRequested = false;
    if (frame.CaptionPending) {
        result.CaptionChanged = true;
        result.Caption = std::move(frame.CaptionRequest);
        frame.CaptionRequest.clear();
        frame.CaptionPending = false;
    }
    return result;
}

}  // namespace qb

#include "render/frame.h"

#include <algorithm>

#include "render/draw_elements.h"
#include "render/draw_modern.h"
#include "platform/gfx.h"
#include "render/overlays.h"
#include "render/setup_overlays.h"

namespace qb {

void ResetFrameState(FrameState& frame) {
    frame = FrameState{};
}

int SpeedQuarters(int speed) {
    return 1 << std::clamp(speed, 0, kSpeedCount - 1);
}

std::string SpeedText(int speed) {
    static const char* const kTexts[kSpeedCount] = {"x1/4", "x1/2", "x1", "x2", "x4"};
    return kTexts[std::clamp(speed, 0, kSpeedCount - 1)];
}

FrameResult DrawFrame(FrameContext& ctx) {
    FrameState& frame = ctx.frame;
    const FrameOptions& options = ctx.options;
    FrameResult result;
    // The editor's keys belong to the sprite browser while Debug is on, as the Pause key does. The
    // Step key is read on every pass, so that a press made while running does not step later.
    const bool keysOn = options.DebugMode == 0;
    const int stepPresses = keysOn ? ctx.keys.PressCount(Key::Step) : 0;
    const bool stepKey = stepPresses > 0;
    // Two quick presses while paused are two frames, as two presses of the speed keys are two steps.
    if (options.Paused && stepPresses > 0) result.ExtraSteps = options.Step ? stepPresses : stepPresses - 1;
    const bool drawn = !options.Paused || options.Step || stepKey;
    if (drawn) {
        // Every frame starts from an empty picture: where the stage's elements leave gaps (a sparse
        // stage, a sprite that did not load) the previous frame and its info text must not show. The
        // modern picture is cleared by the back pass, only in the rows no element paints wholly.
        if (!ctx.picture && options.DebugBG)
            DebugClear(ctx.backBuffer);
        else if (!ctx.picture && ctx.backBuffer)
            a_clear_to_color(ctx.backBuffer, 0);
        if (ctx.beforeFrame) ctx.beforeFrame();
        frame.LayerPass = 0;
        DrawElements(ctx);
        if (ctx.drawCharacter) ctx.drawCharacter();
        frame.LayerPass = 255;
        DrawElements(ctx);
        if (ctx.picture && ctx.retain) {
            DrawKeptPicture(ctx);
        } else if (ctx.picture) {
            frame.Retained.Forget();
            frame.Retained.Shown = ctx.picture->Whole();
        }
        frame.FramesThisSecond += 1;
        frame.FrameNumber += 1;
        frame.FrameText = BuildFrameText(frame.FrameNumber, SpeedText(options.Speed));
        // The classic picture (a classic stage at zoom 1) keeps its line as it was.
        if (ctx.picture) frame.FrameText += "  " + ZoomText(ctx.camera.Zoom);
        int64_t now = ctx.clock.TickCount();
        if (now > frame.LastSecondTick + 1000) {
            // A negative limit (typed into the limiter's box) paces nothing; capping the shown rate
            // at it would show a negative rate, so only a positive limit caps.
            if (options.FpsLimit > 0 && frame.FramesThisSecond > options.FpsLimit)
                frame.FramesThisSecond = options.FpsLimit;
            if (options.Info) frame.InfoText = BuildInfoText(ctx.camera, frame.FramesThisSecond);
            frame.LastSecondTick = now;
            frame.FramesThisSecond = 0;
            result.SecondElapsed = true;
        }
    }
    const bool setup = options.Overlays != 0;
    if (setup) {
        // The overlays lie all over the picture: the whole of it is kept for snapshots. A frame not
        // drawn again (paused) gets its clean picture back first, so that moved lines leave no trail.
        if (!drawn && frame.UnderInfo.Rows > 0) {
            if (ctx.picture)
                RestoreUnderOverlay(frame.UnderInfo, *ctx.picture);
            else
                RestoreUnderOverlay(frame.UnderInfo, ctx.backBuffer);
        }
        KeepUnderOverlay(frame.UnderInfo, ctx.picture, ctx.backBuffer, INT32_MAX);
        const std::vector<OverlaySegment> segments =
            SetupOverlaySegments(ctx.stage, ctx.camera, frame, OverlayPictureFor(ctx.stage, ctx.camera, ctx.picture),
                                 options.Overlays, options.SelectedElement);
        if (ctx.picture) {
            DrawOverlaySegments(*ctx.picture, segments);
            frame.Retained.Shown = ctx.picture->Whole();
        } else {
            DrawOverlaySegments(ctx.backBuffer, segments);
        }
    } else {
        frame.UnderInfo.Rows = 0;
    }
    if (keysOn) {
        if (options.Info) {
            // The two lines with their one-pixel edge.
            if (!setup) KeepUnderOverlay(frame.UnderInfo, ctx.picture, ctx.backBuffer, 3 + kInfoLineHeight + 9);
            if (ctx.picture) {
                DrawInfoText32(*ctx.picture, frame.InfoText);
                DrawInfoText32(*ctx.picture, frame.FrameText, kInfoLineHeight);
                frame.Retained.OverlayDrawn(*ctx.picture);
            } else {
                DrawInfoText(ctx.backBuffer, frame.InfoText);
                DrawInfoText(ctx.backBuffer, frame.FrameText, kInfoLineHeight);
            }
        }
        result.PauseKey = ctx.keys.Pressed(Key::Pause);
        // Every press counts: at a slow speed two quick presses fall between two reads.
        result.SpeedChange = ctx.keys.PressCount(Key::SpeedUp) - ctx.keys.PressCount(Key::SpeedDown);
    }
    result.DeleteKey = frame.DeleteRequested;
    frame.DeleteRequested = false;
    return result;
}

}  // namespace qb

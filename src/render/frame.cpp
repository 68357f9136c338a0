#include "render/frame.h"

#include "render/draw_elements.h"
#include "render/overlays.h"

namespace qb {

void ResetFrameState(FrameState& frame) {
    frame = FrameState{};
}

FrameResult DrawFrame(FrameContext& ctx) {
    FrameState& frame = ctx.frame;
    const FrameOptions& options = ctx.options;
    FrameResult result;
    if (!options.Paused) {
        if (options.DebugBG) DebugClear(ctx.backBuffer);
        frame.LayerPass = 0;
        DrawElements(ctx);
        if (ctx.camera.CharEnabled != 0 && ctx.drawCharacter) ctx.drawCharacter();
        frame.LayerPass = 255;
        DrawElements(ctx);
        frame.FramesThisSecond += 1;
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
    if (options.DebugMode == 0) {
        if (options.Info) DrawInfoText(ctx.backBuffer, frame.InfoText);
        result.PauseKey = ctx.keys.Pressed(Key::Pause);
    }
    result.DeleteKey = frame.DeleteRequested;
    frame.DeleteRequested = false;
    return result;
}

}  // namespace qb

#pragma once
// Tiny stages built in code for the renderer's tests: sprites drawn from letter layouts
// (tests/support/pixel_layout.h), one element at a time, and a readable dump of the back buffer.
#include <string>
#include <vector>

#include "platform/gfx.h"
#include "render/camera_state.h"
#include "render/frame.h"
#include "stage/stage_model.h"
#include "tests/support/pixel_layout.h"

namespace qb::test {

struct TinyStage {
    TinyStage(int viewWidth = 16, int viewHeight = 8);

    // Adds a sprite (owning its bitmap) and answers its index.
    int16_t AddSprite(const std::vector<std::string>& rows, int axisX = 0, int axisY = 0);
    // Adds a placed, enabled, visible element drawing `sprite` at (x, y) (PosX/PosY).
    BgElement& AddElement(const std::string& type, int16_t sprite, float x = 0, float y = 0);
    // Adds an animation; frames are (sprite index, time, flip, trans). Answers its index.
    struct Frame {
        int16_t sprite;
        int16_t time;
        std::string flip;
        std::string trans;
        int16_t offsetX = 0;
        int16_t offsetY = 0;
    };
    int32_t AddAction(const std::vector<Frame>& frames, int16_t loopStart = 0);
    // Adds an "anim" element on action `action`, placed at (x, y), its reference sprite the first
    // frame's sprite and its frame time the first frame's time.
    BgElement& AddAnim(int32_t action, float x = 0, float y = 0);

    void Clear(char letter = 'K');
    std::vector<std::string> Dump() { return test::Dump(backBuffer.get()); }

    StageModel stage;
    CameraState camera;
    FrameState frame;
    UniqueBitmap backBuffer;
};

}  // namespace qb::test

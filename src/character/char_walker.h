#pragma once
// The test character in the running stage: start, the per-frame walk under the arrow keys with the
// camera hand-over near the view's edges, the shadow and reflection, and releasing its bitmaps.
#include <cstdint>
#include <string>
#include <vector>

#include "character/load_character.h"
#include "character/test_character.h"
#include "platform/ports.h"
#include "render/camera_state.h"
#include "render/frame.h"
#include "render/frame_target.h"
#include "stage/stage_model.h"

struct BITMAP;

namespace qb {

// What the walker reads and writes outside the character's own state.
struct CharScene {
    const StageModel& stage;
    // The camera's position, steps and scroll travel.
    CameraState& camera;
    // LinkOffsetY (the zoffsetlink element's sine offset).
    FrameState& frame;
    BITMAP* backBuffer;
    Keys& keys;
    Ui& ui;  // run-time errors are reported through HandleError
    // Modern stages: the character draws into view.picture instead, view.stageWidth /
    // LocalCoordWidth times larger (so he stands as tall against a 1280-wide stage as against a
    // classic one), its positions moved right by `centreShift` as the elements are, and walks within
    // `viewWidth`. The walk is in stage units; the picture holds `unitScale` pixels per unit (2 on
    // hires stages, whose sprites have twice the resolution of their coordinates). Zoomed, he scales
    // and moves about (pivotX, pivotY), the view's horizontal centre and the ground line, as an
    // element with zoomdelta 1 does.
    PictureView view{};
};

// Loads the character when it is not loaded yet and puts it at the stage's player-one start,
// standing and facing right. When the load fails the chosen path is forgotten, the character's
// CharEnabled is cleared and the answer is false (the loader has shown why). The caller disables
// its Options and Stage menus around the call and, on success, captions the use command
// "Use " + settings.TestCharName ("Use Char" on failure).
bool InitChar(CharLoadEnv& env, CharState& chars, TestCharSettings& settings, const StageModel& stage,
              CameraState& camera);

// Updates and draws every character once: keys, releases, turning, placement, shadow, sprite,
// reflection, walking with the camera hand-over, animation and bookkeeping. Called between the back
// and the front layer. On a run-time error the error box is shown, the character's CharEnabled is cleared
// and the answer is false; the stage keeps running.
bool Char(CharState& chars, const CharScene& scene);

// Which arrow keys the camera keeps: all of them unless the character stands in the stage, then left
// and right only while the camera takes its walk over.
CameraArrows CameraArrowsFor(const CharState& chars);

// Frame `index` of the action in `slot`, or null when either is out of range (counts from files are
// never trusted).
const CharFrame* CharFrameAt(const TestCharacter& ch, int16_t slot, int16_t index);

// The frame's bookkeeping: where and how the character was drawn (the walker's next frame and the
// about screen's hand-over read it).
void RecordDrawn(TestCharacter& ch, CharState& chars, bool mirrored);

// An action ran past its end: back to its loop start, counting the loop (a standing character that
// has looped LoopLimit times starts over at frame 0), or to `noLoopFrame` when it has no loop start.
void RestartAction(TestCharacter& ch, CharAction& action, int16_t noLoopFrame);

// Destroys the bitmaps the first `count` characters own and marks the files as not loaded.
void ReleaseCharacter(std::vector<TestCharacter>& characters, int16_t count, uint8_t& CharLoaded);

// A silhouette of the sprite that darkens what lies under it by `intensity` (0..256, 256 black; 0
// draws nothing) and subtracts `colour` (0xRRGGBB) on top. `shadowYScale` > 0: upside down below the
// feet, squashed to that fraction of the height and drawn at (x, y); < 0: upright, squashed, resting
// on `groundY`; 0: nothing. `mirror` draws it for a character facing effectively left (x is then its
// right edge).
void DrawCharShadow(BITMAP* dest, BITMAP* sprite, int32_t x, int32_t y, int32_t w, int32_t h, bool mirror,
                    float shadowYScale, float groundY, int intensity, uint32_t colour);
// The sprite upside down at (x, y) through the stage's reflection intensity.
void DrawCharReflection(BITMAP* dest, BITMAP* sprite, int32_t x, int32_t y, int32_t w, int32_t h, bool mirror,
                        int16_t reflectionIntensity);

}  // namespace qb

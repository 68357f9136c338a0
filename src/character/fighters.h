#pragma once
// Two test characters as the engine sets a round up: player one at p1startx facing p1facing, player
// two at p2startx facing p2facing, each turning to face the other. Player one walks under the left
// and right arrows and jumps with the up arrow; the camera frames both as the engine's does. Their
// places are kept in stage units (x from the stage's centre, y up from the floor negative) and put
// on the picture each frame, so a camera moved by any means carries them along.
#include <cstdint>

#include "character/test_character.h"
#include "platform/ports.h"
#include "render/camera_state.h"
#include "stage/stage_model.h"

namespace qb {

// KFM's own constants, for a character whose files give none: "[Velocity] jump.neu = 0,-8.4",
// "[Movement] yaccel = .44".
inline constexpr float kDefaultJumpVelY = -8.4f;
inline constexpr float kDefaultYAccel = 0.44f;

// Where the players are, in stage units: the leftmost and rightmost x, the highest and lowest y
// (up is negative).
struct FighterSpan {
    double left = 0, right = 0, highest = 0, lowest = 0;
};

// The view the camera rule frames the players in: its half-width and height in stage units at the
// current zoom, and the floor's row at camera y 0 (zoffset).
struct FramingView {
    double halfWidth = 160;
    double rows = 240;
    double floorRow = 0;
};

// The engine's camera for the players: sideways it moves only when a player comes within
// "tension" of an edge of the view ("Horizontal distance player is from edge before camera starts
// to move"), and centres on the middle of the two when they stand further apart than that allows;
// it stays between boundleft and boundright (widened by the zoom's slack). Up and down, without
// both tensionhigh and tensionlow, it follows the highest player by verticalfollow once he is
// floortension above the floor ("how much the camera will move vertically towards the highest
// player", "Minimum vertical distance the highest player has to be from the floor, before the
// camera starts to move up"); with both, it keeps the highest player tensionhigh below the view's
// top and the lowest tensionlow above its bottom. It stays between boundhigh and boundlow.
// `camX` and `camY` are the camera's shown place in stage units; answers the new one.
struct CameraPlace {
    double x = 0, y = 0;
};
CameraPlace FollowFighters(const StageModel& stage, double slack, const FramingView& view, const FighterSpan& span,
                           CameraPlace camera);

// Puts both characters at their starts (the second a shared copy of the first unless it was loaded
// on its own), standing, facing as the stage says, and notes the camera they start under.
void StartFighters(CharState& chars, const StageModel& stage, const CameraState& camera);

// One frame of the players before the stage is drawn: player one's walk and jump under the arrows,
// gravity, facing each other, the bounds, then the camera (and the elements with it).
void FightersStep(CharState& chars, StageModel& stage, CameraState& camera, Keys& keys);

// The characters' places on the picture (TestCharacter::X and Y, CharState::GroundY) for the camera
// as it is now.
void PlaceFighters(CharState& chars, const StageModel& stage, const CameraState& camera);

}  // namespace qb

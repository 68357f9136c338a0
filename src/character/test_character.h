#pragma once
// The test character: one MUGEN character reduced to what the walker shows (six animations, a few
// constants and the sprites those animations use), and the main window's state around it.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sprite_table.h"

namespace qb {

struct CharFrame {
    int32_t Group = 0;
    int16_t Image = 0;
    int16_t SpriteIndex = 0;  // into the character's own sprite table; filled at the end of loading
    int16_t OffsetX = 0;
    int16_t OffsetY = 0;
    int16_t Time = 0;   // run-loop frames
    int16_t FlipH = 0;  // -1: drawn mirrored left to right
};

struct CharAction {
    int16_t Number = 0;  // the action number as the animation file wrote it
    std::vector<CharFrame> Frames;
    int16_t FrameCount = 0;
    int16_t LoopStart = 0;  // frame after the loop-start line; 0 when there is none
    int16_t LoopLimit = 0;  // plays of the loop part before the animation restarts; -1 no limit
    int16_t LoopsDone = 0;
};

// The action numbers the walker uses, by slot.
constexpr std::array<int16_t, 6> kCharActionNumbers = {0, 5, 20, 40, 41, 47};
enum CharSlot : int16_t { kSlotStand = 0, kSlotTurn = 1, kSlotWalk = 2, kSlotJumpStart = 3, kSlotAir = 4, kSlotLand = 5 };
constexpr int kCharSlotCount = 6;

struct TestCharacter {
    std::string Name;
    SpriteTable Sprites;
    // The width of the coordinate space the character was made for: the definition's localcoord,
    // or 320 when it names none. Against a stage of another width he is drawn scaled to match.
    int16_t LocalCoordWidth = 320;
    std::vector<CharAction> Actions;  // slots 0..5 once loaded
    float X = 0;
    float Y = 0;
    int16_t SpriteWidth = 0, SpriteHeight = 0;
    float ScreenX = 0, ScreenY = 0;
    float XScale = 0, YScale = 0;
    int16_t FrameIndex = 0;
    int16_t FrameTime = 0;
    float WalkSpeed = 0;
    float VelY = 0;
    float JumpVelX = 0, JumpVelY = 0;
    float YAccel = 0;
    int16_t Facing = 0;  // 1 right, -1 left
    int16_t DrawnFacing = 0;
    int16_t ActionSlot = 0;
    int16_t Walking = 0;  // -1 while an arrow key drives the character
    int16_t CanTurn = 0;  // -1: the turning action can be shown
    // With two players (CharState::TwoFighters): the feet's place in stage units (y up negative),
    // off the ground, and the ticks left of an action that plays once (turn, take-off, landing).
    float StageX = 0, StageY = 0;
    bool Airborne = false;
    int16_t SlotTicks = 0;
};

// A copy that draws with `source`'s bitmaps without owning any of them (the about screen's second
// walker). It must not outlive `source`'s sprite table.
TestCharacter SharedCopy(const TestCharacter& source);

// What the configuration keeps about the test character.
struct TestCharSettings {
    std::string TestCharPath;  // full path of the character's .def; empty when none is chosen
    std::string TestCharName;  // display name of the character loaded last
    uint8_t CharRequested = 0;  // "Char = True" was read: the use command should run once at start
    // The second player's character; empty: a copy of the first.
    std::string TestChar2Path;
};

// The main window's run-time state around the test character.
struct CharState {
    // 255 while the character stands in the stage (the arrow keys then walk it); CameraFollow 1 while
    // the camera takes its walk over near the view's edges (left and right then move the camera).
    uint8_t CharEnabled = 0;
    uint8_t CameraFollow = 0;
    // The design's character 1 is element 0.
    std::vector<TestCharacter> Characters;
    int16_t CharCount = 0;
    uint8_t CharLoaded = 0;  // 255 once the character's files are loaded
    float CharScale = 1.0f;
    float GroundY = 0;
    // Mouse-scroll travel taken from the camera at the previous frame, applied at this one: the back
    // layer drawn before the character shows the camera's moves up to the previous frame only.
    float ScrollLagX = 0, ScrollLagY = 0;
    uint8_t TurnLock = 0;  // 255 while the turn plays; the arrows are ignored meanwhile
    int16_t RightHeld = 0, LeftHeld = 0;
    int16_t MirrorFrame = 0;
    int32_t DrawX = 0, DrawY = 0;
    int32_t DrawW = 0, DrawH = 0;
    // 255 while the about screen runs: a second request meanwhile does nothing.
    uint8_t AboutGuard = 0;
    // Two players stand in the stage (Characters[1] is player two); the camera's shown place in
    // stage units and the floor's row when they started.
    bool TwoFighters = false;
    float CamOriginX = 0, CamOriginY = 0, GroundY0 = 0;
};

}  // namespace qb

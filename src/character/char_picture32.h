#pragma once
// Drawing a character's sprites into the 32-bit picture of a modern stage. Version 2 entries draw
// from their decoded picture and colours; classic entries from their 16-bit bitmap.
#include <cstdint>

#include "character/test_character.h"
#include "platform/picture32.h"
#include "render/compose32.h"
#include "stage/stage_model.h"

namespace qb {

// Draws `entry` with its top-left corner at (left, top), `scale` times its size (nearest neighbour:
// each picture pixel becomes a block), mirrored left to right when `flipH`. Colour 0 of an indexed
// picture and the mask colour of a bitmap are not drawn (a character's sprites are always masked);
// RGBA pixels and palette colours with alpha below 255 are blended by it. Clipped to `dest`.
void DrawSpriteEntry32(Picture32& dest, const SpriteEntry& entry, int left, int top, double scale, bool flipH);

// Draws `frame` of `character` so that its sprite's axis, moved by the frame's offsets, lands on
// (x, y), `scale` times the sprite's size; facing left mirrors it around that point as the walker
// does.
void DrawCharFrame32(Picture32& dest, const TestCharacter& character, const CharFrame& frame, double x, double y,
                     double scale, bool facingRight);

// The stage's shadow and reflection of the character on a modern stage's picture.
//
// How much of the shadow shows (0..1) with the character `height` stage units above the floor:
// [Shadow] fade.range = top,bottom fades it out while he rises from bottom to top, and hides it above
// top. Content writes the two as y coordinates (negative is up) as the engine's documentation does;
// positive heights mean the same, so only their sizes count. Both 0 (or no line): no fade.
double ShadowFade(const StageModel& stage, double height);
// The stage's [Shadow] color as 0xRRGGBB (each channel 0 lightest to 255 darkest); 0 on stages for
// 1.1 and later, whose engine ignores it and darkens by intensity alone.
uint32_t ShadowColour(const StageModel& stage);
// One pixel under the shadow: darkened by `intensity` (0..256, 256 black) and, on top of that,
// `colour` (0xRRGGBB, each channel 0 lightest to 255 darkest) subtracted: the two add up.
uint32_t ShadowPixel(uint32_t dst, int intensity, uint32_t colour);
// The sideways shift of the shadow row at picture row `y` (its middle at y + 0.5): xshear times its
// distance from the floor line, whichever way the shadow falls, so a positive xshear leans it right.
int ShadowShear(double xshear, double floorY, int y);

// Where the character's sprite was drawn: `source` scaled to width x height at (left, top), mirrored
// when flipH; `footY` is the picture row of his feet (his axis), `floorY` the floor line's.
struct DrawnCharSprite {
    const Source32* source = nullptr;
    int64_t left = 0, top = 0, width = 0, height = 0;
    bool flipH = false;
    double footY = 0, floorY = 0;
};
// The shadow as the classic picture draws it (yscale k > 0: the sprite upside down below the feet,
// squashed to |k| of its height; k < 0: upright and squashed, resting on the floor; 0: none), as a
// silhouette in the stage's colour and intensity, faded by `height` (stage units above the floor) and
// sheared by xshear. Intensity 0 draws nothing.
void DrawCharShadow32(Picture32& dest, const DrawnCharSprite& drawn, const StageModel& stage, double height);
// The sprite upside down below the feet, mixed into the picture at [Reflection] intensity (0..256);
// 0 draws nothing.
void DrawCharReflection32(Picture32& dest, const DrawnCharSprite& drawn, int intensity);

}  // namespace qb

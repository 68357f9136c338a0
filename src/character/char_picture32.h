#pragma once
// Drawing a character's sprites into the 32-bit picture of a modern stage. Version 2 entries draw
// from their decoded picture and colours; classic entries from their 16-bit bitmap.
#include "character/test_character.h"
#include "platform/picture32.h"

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

}  // namespace qb

#pragma once
// Version 2 sprites into sprite-table entries: the decoded picture and the colours of the palette
// each sprite names, shared between entries showing the same node, and a 16-bit bitmap converted
// from them so that the classic drawing path shows the sprite too.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/sff2_decoder.h"
#include "platform/sff_decoder.h"
#include "platform/sprite_table.h"

namespace qb {

// A 16-bit bitmap of `picture`: indexed pictures drawn through `colours` (a grey ramp when null),
// RGBA ones as they are. Colour 0 of an indexed picture becomes the mask colour when `masked`; any
// pixel whose alpha is below 128 becomes it too, since the classic path draws with a mask and no
// alpha. Null when the picture is empty or the bitmap cannot be made.
UniqueBitmap BitmapFromSff2(const Sff2Picture& picture, const Sff2Colours* colours, bool masked);

// Same contract as DecodeCharSprites (sff_decoder.h), for a version 2 file: entry k gets the sprite
// request k names (the first node with its numbers), its own axis, the size, picture and colours of
// the node its links end at and the palette its own node names, and a masked 16-bit bitmap. Entries
// showing the same picture through the same palette share one bitmap (Owner holds the owning
// entry's index). False when the bytes are not a readable version 2 file.
bool DecodeCharSprites2(std::string_view file, SpriteTable& table, const std::vector<CharSpriteRequest>& requests,
                        int32_t highestIndex, size_t maxDecodedBytes = kMaxDecodedBytes);

}  // namespace qb

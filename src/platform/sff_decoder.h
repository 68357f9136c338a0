#pragma once
// Decoding of a version 1 sprite file's pictures into a sprite table. Load_Stage_SFF (gfx.h) reads the
// file and calls this; tests and benchmarks can decode bytes already in memory.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "platform/sprite_table.h"

namespace qb {

// Files larger than this are refused rather than read whole.
constexpr size_t kMaxSffFileBytes = size_t{1} << 30;
// The decoded bitmaps of one file together never take more than this; pictures past it get no bitmap.
// (The largest real stage files decode to a few tens of megabytes.)
constexpr size_t kMaxDecodedBytes = size_t{1} << 30;

// Same contract as Load_Stage_SFF, over the file's bytes. False when they are not a version 1 sprite
// file; otherwise true, with undecodable pictures left without a bitmap.
bool DecodeSffSprites(std::string_view file, SpriteTable& table, int count,
                      size_t maxDecodedBytes = kMaxDecodedBytes);

// Same contract as Load_Char_SFF (gfx.h), over the file's bytes.
bool DecodeCharSprites(std::string_view file, SpriteTable& table, int32_t count,
                       const std::vector<CharSpriteRequest>& requests, int32_t highestIndex,
                       size_t maxDecodedBytes = kMaxDecodedBytes);

// Gives every entry with a bitmap its pixels as 32-bit words too (SpriteEntry::Expanded: Expand565
// of each pixel, the mask colour with alpha 0, width a row), made once per bitmap and shared by the
// entries that draw it, so that the 32-bit picture of a high-resolution stage blends whole rows of
// them without converting each pixel on every frame. Bitmaps past `maxBytes` of words in all get none.
// With `drawn` (one flag an entry), only the flagged entries get words: the others draw through
// their pixels, as those past the budget do.
void ExpandSffBitmaps(SpriteTable& table, size_t maxBytes = kMaxDecodedBytes,
                      const std::vector<uint8_t>* drawn = nullptr);

// One picture of a version 1 sprite file as it is stored: 8-bit palette indices and the palette the
// stage draws it with ("same palette as previous" takes the last palette read before it; a file
// without any gets a grey ramp). A linked sprite gives its target's picture. Nullopt when the file or
// the picture cannot be read.
struct IndexedSprite {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels;  // row by row, Width a row
    std::array<uint8_t, 768> Palette{};
};
std::optional<IndexedSprite> DecodeSffSpriteIndexed(std::string_view file, size_t index);

// One PCX picture (a sprite's data) decoded through `colors`, and where its pixel data ended. `plain`
// decodes code by code, without the block decoders: the reference those are tested against.
struct PcxPixels {
    int Width = 0;
    int Height = 0;
    std::vector<uint16_t> Pixels;  // row by row, Width a row
    size_t End = 0;                // offset in the data just past the last code the pixels used
};
std::optional<PcxPixels> DecodePcxPixels(std::span<const uint8_t> pcx, const std::array<uint16_t, 256>& colors,
                                         bool plain);

}  // namespace qb

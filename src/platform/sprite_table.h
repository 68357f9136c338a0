#pragma once
// One entry per image of a sprite file, in file order.
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/sff2_decoder.h"

struct BITMAP;

namespace qb {

struct BitmapDeleter {
    void operator()(BITMAP* bitmap) const;
};
using UniqueBitmap = std::unique_ptr<BITMAP, BitmapDeleter>;

struct SpriteEntry {
    int16_t AxisX = 0;
    int16_t AxisY = 0;
    int16_t Width = 0;
    int16_t Height = 0;
    int32_t Group = 0;
    int16_t Image = 0;
    // Drawing handle: the owned bitmap, or the bitmap of the entry this one links to.
    BITMAP* Bitmap = nullptr;
    // 1: colour index 0 is decoded as the mask colour.
    int16_t Mask = 0;
    // -1 when this entry owns its bitmap (then `Owned` holds it); otherwise the linked index.
    int16_t Owner = 0;
    UniqueBitmap Owned;
    // Version 2 sprite files: the decoded picture (palette indices, or RGBA for PNG24/32) and, for
    // indexed pictures, the colours of the palette this entry names. A linked entry shares its
    // target's picture but keeps its own axis and palette. Both empty for version 1 entries, which
    // draw through `Bitmap`.
    std::shared_ptr<const Sff2Picture> Picture;
    std::shared_ptr<const Sff2Colours> Colours;
    // Stage sprites: an indexed picture already put through `Colours` (0xFFRRGGBB a pixel, width a
    // row), made once at load when every colour but 0 is opaque, so opaque runs draw as plain copies.
    // Shared by the entries that show the same picture through the same palette; may be empty.
    std::shared_ptr<const std::vector<uint32_t>> Expanded;
};

using SpriteTable = std::vector<SpriteEntry>;

// One sprite a character's animation shows, by its numbers in the sprite file.
struct CharSpriteRequest {
    int32_t Group = 0;
    int32_t Image = 0;
};

}  // namespace qb

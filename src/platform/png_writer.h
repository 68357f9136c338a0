#pragma once
// Pictures written as PNG through libpng, in their own 8-bit palette rather than the view's 16 bits.
#include <cstdint>
#include <span>
#include <string>

#include "platform/sff_decoder.h"

namespace qb {

// The sprite as an 8-bit paletted PNG with its own 256 colours; colour 0 transparent when
// `transparentZero` (a masked sprite). The file is replaced in one step. False when it could not be
// written; `error` then says why.
bool SaveIndexedPng(const std::string& path, const IndexedSprite& sprite, bool transparentZero,
                    std::string& error);

// A picture of width x height pixels given as R, G, B, A bytes (alpha not premultiplied), written as
// an 8-bit RGBA PNG. Replaced in one step like the paletted one.
bool SaveRgbaPng(const std::string& path, int width, int height, std::span<const uint8_t> rgba,
                 std::string& error);

}  // namespace qb

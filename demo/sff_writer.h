#pragma once
// Writes version 1 sprite files: PCX pictures with 256-colour palettes, shared palettes and linked
// sprites. Used by the demo generator and by the tests' fixture builders.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace qb::demo {

using Palette = std::array<uint8_t, 768>;  // r, g, b for colour indices 0..255

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // width * height colour indices, row by row
};

struct SffSprite {
    int32_t group = 0;
    int16_t image = 0;
    int16_t axisX = 0;
    int16_t axisY = 0;
    Picture picture;
    Palette palette{};
    // Written with the "same palette as previous" flag and no palette in the PCX data.
    bool samePalette = false;
    // >= 0: written as a linked sprite (data length 0) pointing at that index.
    int16_t linkTo = -1;
};

// PCX (version 5, 8 bits, 1 plane, run-length) with the 0x0C palette trailer unless `withPalette` is false.
std::string EncodePcx(const Picture& picture, const Palette& palette, bool withPalette = true);
// A whole sprite file's bytes.
std::string WriteSff(const std::vector<SffSprite>& sprites);

}  // namespace qb::demo

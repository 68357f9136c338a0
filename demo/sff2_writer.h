#pragma once
// Writes version 2 sprite files: the engine's run-length and LZ5 encodings, PNG pictures, linked
// sprites and palettes. Used by the tests' fixture builders (and any demo content in this format).
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qb::demo {

// Encoded pixel data without the four-byte prefix the file puts before it.
std::string EncodeRle8(std::span<const uint8_t> pixels);
// RLE5 and LZ5 hold colours 0..31 only: higher indices are written as index & 31.
std::string EncodeRle5(std::span<const uint8_t> pixels);
std::string EncodeLz5(std::span<const uint8_t> pixels);
// A palette PNG whose indices are the pixels as given (its own palette is a grey ramp the reader
// never uses); empty when libpng fails.
std::string EncodePng8(int width, int height, std::span<const uint8_t> indices);
// An RGB (alpha false) or RGBA PNG from width * height * 4 bytes R, G, B, A.
std::string EncodePngRgba(int width, int height, std::span<const uint8_t> rgba, bool alpha);

struct Sff2Sprite {
    uint16_t group = 0;
    uint16_t image = 0;
    int16_t axisX = 0;
    int16_t axisY = 0;
    uint8_t format = 2;  // 0 raw, 2 RLE8, 3 RLE5, 4 LZ5, 10 PNG8, 11 PNG24, 12 PNG32
    uint8_t depth = 8;
    int width = 0;
    int height = 0;
    // Palette indices (width * height) or, for PNG24/32, RGBA bytes (width * height * 4).
    std::vector<uint8_t> pixels;
    uint16_t palette = 0;
    int linkTo = -1;       // >= 0: a linked node (data length 0) naming that node
    bool inTdata = false;  // data in the tdata section (flag bit 0) instead of ldata
};

struct Sff2Palette {
    uint16_t group = 0;
    uint16_t number = 0;
    std::vector<uint8_t> rgba;  // four bytes a colour
    int linkTo = -1;
};

// A whole file's bytes: a 512-byte header, the sprite nodes, the palette nodes, then ldata (palettes,
// then the sprites not in tdata) and tdata. `minor` is 0 for 2.00 and 1 for 2.01.
std::string WriteSff2(const std::vector<Sff2Sprite>& sprites, const std::vector<Sff2Palette>& palettes,
                      int minor = 1);

}  // namespace qb::demo

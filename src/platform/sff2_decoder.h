#pragma once
// Decoding of a version 2 sprite file's pictures and palettes into plain data: palette indices (one
// byte a pixel) for the indexed formats, PNG8 included, and RGBA bytes for PNG24 and PNG32. Nothing
// here draws; the caller turns the result into bitmaps with whatever mask and palette it needs.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sff2_file.h"

namespace qb {

struct Sff2Picture {
    int width = 0;
    int height = 0;
    bool rgba = false;  // false: width * height palette indices; true: width * height * 4 bytes R, G, B, A
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
    // Indexed pictures a stage draws: each row's runs of indices other than 0, as start and end
    // columns, so a masked copy skips colour 0 without reading it and copies the rest without a test.
    // Row y's runs are runs[runRows[y] .. runRows[y + 1]). Empty when not built (or when the table
    // would be larger than the picture itself).
    std::vector<uint32_t> runRows;
    std::vector<uint16_t> runs;

    std::span<const uint8_t> Bytes() const { return {bytes.get(), size}; }
};

// One palette: `count` colours as R, G, B, A. A is 255 in 2.00 files (whose fourth byte is junk);
// colours past `count` are opaque black.
struct Sff2Colours {
    int count = 0;
    std::array<uint8_t, 1024> rgba{};
};

// Decodes the data of sprite node `k` itself (not of a link) into `out`. The decoded bytes are taken
// from `budget` (the same budget the version 1 reader keeps per file); a picture past it is refused
// with Size before anything is allocated, as is one its data could not possibly fill.
Sff2Error DecodeSff2Picture(std::string_view file, const Sff2File& index, size_t k, Sff2Picture& out,
                            size_t& budget);

// The colours of palette node `k`, links followed.
Sff2Error DecodeSff2Palette(std::string_view file, const Sff2File& index, size_t k, Sff2Colours& out);

// Every sprite and palette of a file, decoded. A linked sprite shares the picture of the node it
// links to (its own node keeps its axis and palette index).
struct Sff2Sheet {
    std::vector<Sff2Picture> pictures;   // per node; empty for linked and damaged nodes
    std::vector<Sff2Error> spriteErrors;  // per node, links followed (a link's target's error)
    std::vector<Sff2Colours> palettes;
    std::vector<Sff2Error> paletteErrors;
    std::vector<uint32_t> pictureOf;  // per node: the node whose picture it shows

    // The picture sprite node `k` shows, or null when it cannot be decoded.
    const Sff2Picture* PictureOf(size_t k) const;
};
Sff2Sheet DecodeSff2Sheet(std::string_view file, const Sff2File& index, size_t budget);

// The `--sff-info` dump of a sprite file of either version: a header line, one line per sprite, one
// per palette (see the tool's help). nullopt with `reason` set when the file is refused.
std::optional<std::string> SffInfoDump(std::string_view file, std::string& reason);

}  // namespace qb

#pragma once
// Decoded pictures (such as the headless tool writes), for comparing pixels rather than file bytes.
#include <cstdint>
#include <string>
#include <vector>

namespace qb::test {

struct DecodedPicture {
    int width = 0;
    int height = 0;
    std::vector<uint16_t> pixels;  // 5-6-5, row by row
    bool ok() const { return width > 0 && height > 0; }
};

// Reads a .png (through Allegro's PNG addon) or a .pcx into 16-bit pixels; !ok() when it cannot.
DecodedPicture LoadPicture(const std::string& path);

}  // namespace qb::test

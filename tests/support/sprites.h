#pragma once
// Sprites for fixture sprite files.
#include <cstdint>
#include <vector>

#include "demo/sff_writer.h"

namespace qb::test {

// A sprite of `w` x `h` pixels of colour 1 with its axis at (ax, ay).
inline demo::SffSprite SolidSprite(int32_t group, int16_t image, int16_t ax = 0, int16_t ay = 0, int w = 4,
                                   int h = 3) {
    demo::SffSprite s;
    s.group = group;
    s.image = image;
    s.axisX = ax;
    s.axisY = ay;
    s.picture = demo::Picture{w, h, std::vector<uint8_t>(static_cast<size_t>(w * h), 1)};
    s.palette[3] = 255;
    return s;
}

}  // namespace qb::test

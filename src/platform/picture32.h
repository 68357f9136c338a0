#pragma once
// The 32-bit picture modern stages (version 2 sprite files, their own resolution) draw into, and
// the pieces that draw on it. Each pixel is 0xAARRGGBB in one 32-bit word, rows contiguous: the
// layout of QImage::Format_RGB32, so the window shows it without converting. The back buffer is
// opaque (alpha 255).
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

namespace qb {

struct Picture32 {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
    // The rows the compositing routines may write, [ClipTop, ClipBottom): the element pass narrows
    // them while it draws an element whose other rows later opaque layers hide. The whole picture
    // otherwise.
    int ClipTop = 0;
    int ClipBottom = std::numeric_limits<int>::max();

    Picture32() = default;
    Picture32(int width, int height, uint32_t fill = 0xFF000000u)
        : Width(width > 0 ? width : 0),
          Height(height > 0 ? height : 0),
          Pixels(static_cast<size_t>(Width) * static_cast<size_t>(Height), fill) {}

    uint32_t* Row(int y) { return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Width); }
    const uint32_t* Row(int y) const {
        return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Width);
    }
};

}  // namespace qb

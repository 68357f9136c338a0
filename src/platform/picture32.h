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

// A rectangle of picture pixels, [left, right) x [top, bottom); empty when either side is not positive.
struct Clip32 {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool Empty() const { return right <= left || bottom <= top; }
    bool operator==(const Clip32&) const = default;
};
// The smallest rectangle holding both (an empty one adds nothing).
inline Clip32 Unite(const Clip32& a, const Clip32& b) {
    if (a.Empty()) return b;
    if (b.Empty()) return a;
    return {a.left < b.left ? a.left : b.left, a.top < b.top ? a.top : b.top, a.right > b.right ? a.right : b.right,
            a.bottom > b.bottom ? a.bottom : b.bottom};
}

// 5-6-5 to 0xFFRRGGBB with the top bits repeated into the low ones (0xFFFF is white).
inline uint32_t Expand565(uint16_t v) {
    const uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
    return 0xFF000000u | ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

struct Picture32 {
    int Width = 0;
    int Height = 0;
    std::vector<uint32_t> Pixels;
    // The rows the compositing routines may write, [ClipTop, ClipBottom): the element pass narrows
    // them while it draws an element whose other rows later opaque layers hide. The whole picture
    // otherwise.
    int ClipTop = 0;
    int ClipBottom = std::numeric_limits<int>::max();
    // The columns they may write, [ClipLeft, ClipRight): narrowed while a kept picture redraws only
    // the area that changed.
    int ClipLeft = 0;
    int ClipRight = std::numeric_limits<int>::max();

    Picture32() = default;
    Picture32(int width, int height, uint32_t fill = 0xFF000000u)
        : Width(width > 0 ? width : 0),
          Height(height > 0 ? height : 0),
          Pixels(static_cast<size_t>(Width) * static_cast<size_t>(Height), fill) {}

    uint32_t* Row(int y) { return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Width); }
    Clip32 Whole() const { return {0, 0, Width, Height}; }
    const uint32_t* Row(int y) const {
        return Pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(Width);
    }
};

}  // namespace qb

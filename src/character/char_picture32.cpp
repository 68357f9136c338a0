#include "character/char_picture32.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "platform/gfx.h"

namespace qb {

namespace {

// 0xAARRGGBB over an opaque destination pixel.
uint32_t Over(uint32_t dst, uint32_t src) {
    const uint32_t a = src >> 24;
    if (a == 255) return src | 0xFF000000u;
    if (a == 0) return dst;
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t s = (src >> shift) & 0xFF, d = (dst >> shift) & 0xFF;
        out |= ((s * a + d * (255 - a) + 127) / 255) << shift;
    }
    return out;
}

uint32_t Argb(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    return (uint32_t{a} << 24) | (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

uint32_t From565(uint16_t c) {
    const uint32_t r = (c >> 11) & 0x1F, g = (c >> 5) & 0x3F, b = c & 0x1F;
    return Argb(static_cast<uint8_t>((r << 3) | (r >> 2)), static_cast<uint8_t>((g << 2) | (g >> 4)),
                static_cast<uint8_t>((b << 3) | (b >> 2)), 255);
}

}  // namespace

void DrawSpriteEntry32(Picture32& dest, const SpriteEntry& entry, int left, int top, double scale, bool flipH) {
    if (!(scale > 0) || !std::isfinite(scale) || dest.Width <= 0 || dest.Height <= 0) return;
    const Sff2Picture* picture = entry.Picture.get();
    const BITMAP* bitmap = picture ? nullptr : entry.Bitmap;
    int w = 0, h = 0;
    if (picture) {
        w = picture->width;
        h = picture->height;
        const size_t n = static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0));
        if (picture->size < (picture->rgba ? n * 4 : n)) return;
    } else if (bitmap) {
        w = BitmapWidth(bitmap);
        h = BitmapHeight(bitmap);
    }
    if (w <= 0 || h <= 0) return;
    // The drawn size, clipped to the picture before any loop runs: a huge scale costs nothing extra.
    const double dw = std::round(w * scale), dh = std::round(h * scale);
    const int x0 = std::max(left, 0), y0 = std::max(top, 0);
    const int x1 = static_cast<int>(std::min<double>(dest.Width, left + dw));
    const int y1 = static_cast<int>(std::min<double>(dest.Height, top + dh));
    if (x0 >= x1 || y0 >= y1) return;

    // The palette as drawn colours, colour 0 transparent.
    std::array<uint32_t, 256> colours{};
    if (picture && !picture->rgba) {
        for (size_t i = 0; i < colours.size(); ++i) {
            if (entry.Colours) {
                const uint8_t* c = &entry.Colours->rgba[i * 4];
                colours[i] = Argb(c[0], c[1], c[2], c[3]);
            } else {
                const auto v = static_cast<uint8_t>(i);
                colours[i] = Argb(v, v, v, 255);
            }
        }
        colours[0] = 0;
    }
    // The source column of each drawn column, mirrored when flipped.
    std::vector<int> column(static_cast<size_t>(x1 - x0));
    for (int x = x0; x < x1; ++x) {
        int sx = std::clamp(static_cast<int>((x - left + 0.5) / scale), 0, w - 1);
        if (flipH) sx = w - 1 - sx;
        column[static_cast<size_t>(x - x0)] = sx;
    }
    for (int y = y0; y < y1; ++y) {
        const int sy = std::clamp(static_cast<int>((y - top + 0.5) / scale), 0, h - 1);
        uint32_t* out = dest.Row(y);
        if (picture && picture->rgba) {
            const uint8_t* row = picture->bytes.get() + static_cast<size_t>(sy) * static_cast<size_t>(w) * 4;
            for (int x = x0; x < x1; ++x) {
                const uint8_t* p = row + static_cast<size_t>(column[static_cast<size_t>(x - x0)]) * 4;
                out[x] = Over(out[x], Argb(p[0], p[1], p[2], p[3]));
            }
        } else if (picture) {
            const uint8_t* row = picture->bytes.get() + static_cast<size_t>(sy) * static_cast<size_t>(w);
            for (int x = x0; x < x1; ++x) out[x] = Over(out[x], colours[row[column[static_cast<size_t>(x - x0)]]]);
        } else {
            const uint16_t* row = BitmapRow(bitmap, sy);
            for (int x = x0; x < x1; ++x) {
                const uint16_t c = row[column[static_cast<size_t>(x - x0)]];
                if (c != kMaskColor) out[x] = From565(c);
            }
        }
    }
}

void DrawCharFrame32(Picture32& dest, const TestCharacter& character, const CharFrame& frame, double x, double y,
                     double scale, bool facingRight) {
    if (frame.SpriteIndex < 0 || static_cast<size_t>(frame.SpriteIndex) >= character.Sprites.size()) return;
    const SpriteEntry& e = character.Sprites[static_cast<size_t>(frame.SpriteIndex)];
    const double top = y + (frame.OffsetY - e.AxisY) * scale;
    // Frame offsets were already mirrored for flipped frames when the animation was read.
    const double dx = (frame.OffsetX - e.AxisX) * scale;
    const bool flip = facingRight == (frame.FlipH == -1);
    const double left = facingRight ? x + dx : x - dx - std::round(e.Width * scale);
    DrawSpriteEntry32(dest, e, static_cast<int>(std::lround(left)), static_cast<int>(std::lround(top)), scale, flip);
}

}  // namespace qb

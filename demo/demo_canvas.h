#pragma once
// Drawing helpers of the demo generator: colours, palettes built from ramps, and an 8-bit canvas.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "demo/sff_writer.h"

namespace qb::demo {

struct Rgb {
    double r, g, b;
};

inline Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

class PaletteBuilder {
public:
    void Set(int index, Rgb c) {
        m_palette[index * 3 + 0] = static_cast<uint8_t>(std::clamp(c.r, 0.0, 255.0));
        m_palette[index * 3 + 1] = static_cast<uint8_t>(std::clamp(c.g, 0.0, 255.0));
        m_palette[index * 3 + 2] = static_cast<uint8_t>(std::clamp(c.b, 0.0, 255.0));
    }
    // Colours first..last blend from a to b.
    void Ramp(int first, int last, Rgb a, Rgb b) {
        for (int i = first; i <= last; ++i)
            Set(i, Mix(a, b, last == first ? 0.0 : double(i - first) / (last - first)));
    }
    const Palette& Get() const { return m_palette; }

private:
    Palette m_palette{};
};

class Canvas {
public:
    Canvas(int width, int height) : m_w(width), m_h(height), m_px(static_cast<size_t>(width * height), 0) {}
    int W() const { return m_w; }
    int H() const { return m_h; }
    void Set(int x, int y, int c) {
        if (x >= 0 && y >= 0 && x < m_w && y < m_h)
            m_px[static_cast<size_t>(y * m_w + x)] = static_cast<uint8_t>(c);
    }
    void SetWrapX(int x, int y, int c) { Set(((x % m_w) + m_w) % m_w, y, c); }
    int Get(int x, int y) const {
        if (x < 0 || y < 0 || x >= m_w || y >= m_h) return 0;
        return m_px[static_cast<size_t>(y * m_w + x)];
    }
    void Rect(int x0, int y0, int x1, int y1, int c) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) Set(x, y, c);
    }
    void Disc(double cx, double cy, double r, int c) {
        for (int y = static_cast<int>(cy - r - 1); y <= cy + r + 1; ++y)
            for (int x = static_cast<int>(cx - r - 1); x <= cx + r + 1; ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r) Set(x, y, c);
    }
    Picture ToPicture() const { return Picture{m_w, m_h, m_px}; }

private:
    int m_w, m_h;
    std::vector<uint8_t> m_px;
};

}  // namespace qb::demo

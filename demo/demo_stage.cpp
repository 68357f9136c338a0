#include "demo/demo_stage.h"

#include "demo/demo_music.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <system_error>

#include "demo/demo_canvas.h"
#include "demo/demo_modern.h"
#include "demo/demo_char.h"

namespace qb::demo {

namespace {

constexpr double kPi = 3.14159265358979;

// Deterministic noise so that the art is the same on every build.
class Rng {
public:
    explicit Rng(uint32_t seed) : m_state(seed ? seed : 1) {}
    uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    double Unit() { return (Next() & 0xFFFFFF) / double(0x1000000); }
    int Range(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<uint32_t>(hi - lo + 1)); }

private:
    uint32_t m_state;
};

SffSprite Sprite(int group, int image, int axisX, int axisY, const Canvas& canvas, const Palette& palette) {
    SffSprite s;
    s.group = group;
    s.image = static_cast<int16_t>(image);
    s.axisX = static_cast<int16_t>(axisX);
    s.axisY = static_cast<int16_t>(axisY);
    s.picture = canvas.ToPicture();
    s.palette = palette;
    return s;
}

// ---- the pictures ------------------------------------------------------------------------

// Dusk sky, 300 rows so that the camera can look 40 pixels up.
SffSprite Sky() {
    Canvas c(320, 300);
    PaletteBuilder p;
    const Rgb top{10, 8, 34}, high{38, 26, 84}, mid{112, 58, 128}, low{232, 118, 96}, horizon{255, 196, 128};
    for (int i = 1; i <= 240; ++i) {
        double t = (i - 1) / 239.0;
        Rgb col = t < 0.35   ? Mix(top, high, t / 0.35)
                  : t < 0.65 ? Mix(high, mid, (t - 0.35) / 0.30)
                  : t < 0.88 ? Mix(mid, low, (t - 0.65) / 0.23)
                             : Mix(low, horizon, (t - 0.88) / 0.12);
        p.Set(i, col);
    }
    // Ordered dithering between neighbouring shades hides the 16-bit banding.
    static const int kBayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    for (int y = 0; y < 300; ++y) {
        double shade = 1 + y * 239.0 / 299.0;
        int base = static_cast<int>(shade);
        double frac = shade - base;
        for (int x = 0; x < 320; ++x) {
            int index = base + (frac * 16 > kBayer[y & 3][x & 3] ? 1 : 0);
            c.Set(x, y, std::min(index, 240));
        }
    }
    return Sprite(0, 0, 160, 60, c, p.Get());
}

SffSprite StarTile() {
    Canvas c(64, 64);
    PaletteBuilder p;
    p.Set(1, {96, 90, 140});
    p.Set(2, {150, 150, 190});
    p.Set(3, {190, 176, 130});
    Rng rng(7);
    for (int i = 0; i < 9; ++i) {
        int x = rng.Range(0, 63), y = rng.Range(0, 63);
        int shade = rng.Range(1, 3);
        c.Set(x, y, shade);
        if (shade == 2) {
            c.Set(x + 1, y, 1);
            c.Set(x - 1, y, 1);
            c.Set(x, y + 1, 1);
            c.Set(x, y - 1, 1);
        }
    }
    return Sprite(3, 0, 0, 0, c, p.Get());
}

SffSprite Moon() {
    Canvas c(44, 44);
    PaletteBuilder p;
    p.Ramp(1, 20, {0, 0, 0}, {90, 70, 60});            // halo
    p.Ramp(21, 40, {200, 190, 170}, {255, 246, 220});  // face
    p.Set(41, {170, 160, 150});                        // craters
    for (int y = 0; y < 44; ++y)
        for (int x = 0; x < 44; ++x) {
            double d = std::hypot(x - 21.5, y - 21.5);
            if (d <= 11.5) {
                double light = 1.0 - std::hypot(x - 18.0, y - 18.0) / 16.0;
                c.Set(x, y, 21 + static_cast<int>(std::clamp(light, 0.0, 1.0) * 19));
            } else if (d < 22) {
                double halo = 1.0 - (d - 11.5) / 10.5;
                int index = static_cast<int>(halo * halo * 20);
                if (index > 0) c.Set(x, y, index);
            }
        }
    c.Disc(24, 19, 2.2, 41);
    c.Disc(18, 25, 1.6, 41);
    c.Disc(26, 27, 1.2, 41);
    return Sprite(1, 0, 22, 22, c, p.Get());
}

SffSprite ShootingStar() {
    Canvas c(30, 9);
    PaletteBuilder p;
    p.Ramp(1, 16, {20, 20, 40}, {255, 255, 240});
    for (int x = 0; x < 30; ++x) {
        double t = 1.0 - x / 29.0;  // head at the left: it flies left
        int y = 1 + x / 6;
        int index = 1 + static_cast<int>(t * t * 15);
        c.Set(x, y, index);
        if (x < 6) {
            c.Set(x, y + 1, index);
            c.Set(x, y - 1, std::max(1, index - 6));
        }
    }
    c.Disc(1.5, 1.5, 1.5, 16);
    return Sprite(20, 0, 0, 0, c, p.Get());
}

SffSprite Cloud() {
    Canvas c(112, 40);
    PaletteBuilder p;
    p.Ramp(1, 24, {150, 96, 130}, {60, 44, 96});
    Rng rng(11);
    const double blobs[][3] = {{20, 26, 11}, {38, 19, 15}, {58, 16, 16}, {78, 21, 13},
                               {94, 27, 10}, {48, 28, 12}, {70, 29, 11}};
    for (const auto& b : blobs) {
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 112; ++x)
                if (std::hypot(x - b[0], (y - b[1]) * 1.2) <= b[2]) {
                    int shade =
                        1 + static_cast<int>(std::clamp(y / 40.0 + rng.Unit() * 0.08, 0.0, 0.99) * 24);
                    c.Set(x, y, shade);
                }
    }
    // Flat underside, as dusk clouds have.
    for (int y = 34; y < 40; ++y)
        for (int x = 0; x < 112; ++x) c.Set(x, y, 0);
    return Sprite(2, 0, 0, 0, c, p.Get());
}

// A periodic ridge line by midpoint displacement, so that the picture tiles without a seam.
std::vector<double> Ridge(int width, double rough, double base, double amplitude, uint32_t seed) {
    std::vector<double> h(static_cast<size_t>(width + 1), base);
    Rng rng(seed);
    h[0] = h[static_cast<size_t>(width)] = base;
    for (int step = width; step > 1; step /= 2) {
        for (int x = 0; x + step <= width; x += step) {
            int m = x + step / 2;
            h[static_cast<size_t>(m)] = (h[static_cast<size_t>(x)] + h[static_cast<size_t>(x + step)]) / 2 +
                                        (rng.Unit() - 0.5) * amplitude;
        }
        amplitude *= rough;
    }
    h.pop_back();
    return h;
}

SffSprite Mountains() {
    Canvas c(320, 100);
    PaletteBuilder p;
    p.Ramp(1, 16, {64, 50, 100}, {40, 32, 72});        // shaded slopes, ridge to foot
    p.Ramp(17, 32, {112, 86, 142}, {56, 44, 90});      // lit slopes
    p.Ramp(33, 36, {214, 190, 214}, {170, 146, 184});  // snow
    std::vector<double> raw = Ridge(256, 0.5, 44, 70, 3);
    std::vector<double> ridge(320);
    for (int x = 0; x < 320; ++x) {
        double sum = 0;
        for (int k = -3; k <= 3; ++k)
            sum += raw[static_cast<size_t>((((x + k) % 320 + 320) % 320) * 256 / 320)];
        ridge[static_cast<size_t>(x)] = std::clamp(sum / 7, 6.0, 80.0);
    }
    for (int x = 0; x < 320; ++x) {
        double top = ridge[static_cast<size_t>(x)];
        double slope =
            ridge[static_cast<size_t>((x + 4) % 320)] - ridge[static_cast<size_t>((x + 316) % 320)];
        for (int y = static_cast<int>(top); y < 100; ++y) {
            double depth = (y - top) / (100 - top);
            // Light comes from the left: slopes rising to the right are lit, fading down the face.
            bool lit = slope < -1.0 && y - top < 26;
            int index = (lit ? 17 : 1) + std::min(15, static_cast<int>(depth * 16));
            if (top < 34 && y - top < (34 - top) / 5 + 2)
                index = 33 + std::min(3, static_cast<int>(y - top) / 2);
            c.Set(x, y, index);
        }
    }
    return Sprite(4, 0, 0, 0, c, p.Get());
}

SffSprite Forest() {
    Canvas c(256, 72);
    PaletteBuilder p;
    p.Ramp(1, 8, {30, 58, 66}, {18, 34, 44});
    p.Ramp(9, 16, {44, 80, 80}, {26, 50, 58});
    Rng rng(5);
    for (int i = 0; i < 30; ++i) {
        int cx = rng.Range(0, 255);
        int height = rng.Range(26, 52);
        int top = 72 - 10 - height;
        int halfBase = height / 3;
        for (int y = top; y < 72; ++y) {
            double t = double(y - top) / height;
            int half =
                static_cast<int>(halfBase * std::min(1.0, t) * (0.75 + 0.25 * std::fabs(std::sin(t * 9))));
            for (int dx = -half; dx <= half; ++dx) {
                int shade = std::min(7, (y - top) / 8);
                c.SetWrapX(cx + dx, y, (dx < 0 ? 9 : 1) + shade);
            }
        }
    }
    for (int y = 62; y < 72; ++y)
        for (int x = 0; x < 256; ++x) c.Set(x, y, 8);
    return Sprite(5, 0, 0, 0, c, p.Get());
}

Palette TownPalette() {
    PaletteBuilder p;
    p.Ramp(1, 6, {84, 62, 80}, {58, 42, 62});   // walls
    p.Ramp(7, 10, {44, 30, 50}, {30, 22, 38});  // roofs
    p.Set(11, {255, 206, 120});                 // lit window
    p.Set(12, {120, 84, 70});                   // dark window
    p.Set(13, {255, 236, 180});                 // window highlight
    p.Set(14, {24, 18, 30});                    // outline
    return p.Get();
}

SffSprite House(int image, uint32_t seed) {
    Canvas c(48, 80);
    Rng rng(seed);
    int roof = 24 + rng.Range(0, 8);
    for (int y = roof; y < 80; ++y)
        for (int x = 2; x < 46; ++x) c.Set(x, y, 1 + std::min(5, (y - roof) / 10));
    for (int y = 4; y < roof; ++y) {
        int half = (y - 4) * 26 / std::max(1, roof - 4);
        for (int dx = -half; dx <= half; ++dx) c.Set(24 + dx, y, 7 + std::min(3, (y - 4) / 6));
    }
    c.Rect(32, 6, 36, 16, 10);  // chimney
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            int x = 8 + col * 13, y = roof + 8 + row * 15;
            bool lit = rng.Unit() < 0.6;
            c.Rect(x, y, x + 6, y + 8, lit ? 11 : 12);
            if (lit) c.Set(x + 1, y + 1, 13);
        }
    c.Rect(20, 68, 27, 79, 14);  // door
    SffSprite s = Sprite(6, image, 0, 80, c, TownPalette());
    return s;
}

SffSprite Tower() {
    Canvas c(56, 130);
    for (int y = 30; y < 130; ++y)
        for (int x = 6; x < 50; ++x) c.Set(x, y, 2 + std::min(4, (y - 30) / 22) + (x < 12 ? 1 : 0));
    for (int y = 0; y < 30; ++y) {
        int half = y * 26 / 30;
        for (int dx = -half; dx <= half; ++dx) c.Set(28 + dx, y, 7 + std::min(3, y / 8));
    }
    c.Rect(27, 0, 28, 3, 11);
    return Sprite(7, 0, 28, 130, c, TownPalette());
}

SffSprite TowerWindow() {
    Canvas c(6, 8);
    c.Rect(0, 0, 5, 7, 14);
    c.Rect(1, 1, 4, 6, 11);
    c.Set(1, 1, 13);
    SffSprite s = Sprite(7, 1, 0, 0, c, TownPalette());
    return s;
}

// Four frames of the pond's ripples; the highlights drift one step per frame.
SffSprite Water(int frame) {
    Canvas c(64, 18);
    PaletteBuilder p;
    p.Ramp(1, 8, {70, 60, 120}, {26, 28, 62});
    p.Set(9, {160, 120, 170});
    p.Set(10, {240, 150, 110});
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 64; ++x) {
            c.Set(x, y, 1 + std::min(7, y / 2));
            double wave = std::sin((x + frame * 4) * 2 * kPi / 32 + y * 0.9);
            if (wave > 0.93 && y % 3 == 1) c.Set(x, y, y < 8 ? 10 : 9);
        }
    SffSprite s = Sprite(8, frame, 0, 0, c, p.Get());
    s.samePalette = frame > 0;
    return s;
}

SffSprite Ground() {
    Canvas c(960, 36);
    PaletteBuilder p;
    p.Ramp(1, 8, {96, 84, 96}, {64, 54, 66});      // stone, far to near
    p.Ramp(9, 16, {118, 104, 112}, {82, 70, 80});  // lit stone
    p.Set(17, {40, 32, 44});                       // grout
    p.Set(18, {52, 84, 62});                       // grass edge
    p.Set(19, {74, 110, 76});
    Rng rng(9);
    const int grout[] = {3, 7, 12, 18, 26, 35};
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 960; ++x) {
            int band = 0;
            while (band < 5 && y >= grout[band]) ++band;
            int shade = std::min(7, y / 5);
            int index = ((x / 40 + band) % 3 == 0 ? 9 : 1) + shade;
            if (rng.Unit() < 0.08) index = std::min(16, index + 1);
            bool groutRow = std::find(std::begin(grout), std::end(grout), y) != std::end(grout);
            bool groutCol = (x + band * 20) % 40 == 0;
            if (groutRow || groutCol) index = 17;
            if (y < 3) index = (rng.Unit() < 0.5) ? 18 : 19;
            c.Set(x, y, index);
        }
    return Sprite(9, 0, 480, 0, c, p.Get());
}

SffSprite Boardwalk() {
    Canvas c(800, 16);
    PaletteBuilder p;
    p.Ramp(1, 8, {150, 100, 62}, {92, 58, 38});
    p.Set(9, {46, 30, 24});
    Rng rng(21);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 800; ++x) {
            int index = 1 + std::min(7, y / 2);
            if (rng.Unit() < 0.1) index = std::min(8, index + 1);
            if (x % 50 == 0 || y == 7 || y == 15) index = 9;
            c.Set(x, y, index);
        }
    return Sprite(10, 0, 400, 0, c, p.Get());
}

Palette PolePalette() {
    PaletteBuilder p;
    p.Set(1, {40, 28, 30});
    p.Set(2, {70, 50, 46});
    p.Set(3, {26, 18, 22});
    return p.Get();
}

// One mooring pole, drawn twice by a counted tile.
SffSprite Pole() {
    Canvas c(8, 108);
    for (int y = 2; y < 108; ++y) {
        c.Rect(2, y, 4, y, 2);
        c.Set(5, y, 1);
    }
    c.Rect(0, 0, 7, 2, 3);
    return Sprite(16, 0, 4, 108, c, PolePalette());
}

// The sagging line between the poles that the lanterns hang from.
SffSprite Rope() {
    Canvas c(191, 24);
    for (int x = 0; x < 191; ++x) {
        double t = (x - 95) / 95.0;
        int y = static_cast<int>(22 * (1 - t * t));
        c.Set(x, y, 3);
        c.Set(x, y + 1, 1);
    }
    SffSprite s = Sprite(16, 1, 0, 0, c, PolePalette());
    s.samePalette = true;
    return s;
}

Palette LanternPalette(bool bright) {
    PaletteBuilder p;
    if (bright) {
        p.Ramp(1, 12, {255, 214, 130}, {220, 80, 50});
    } else {
        p.Ramp(1, 12, {250, 160, 90}, {170, 40, 36});
    }
    p.Set(13, {40, 26, 24});
    p.Set(14, {230, 190, 80});
    return p.Get();
}

SffSprite Lantern(int image, bool bright) {
    Canvas c(14, 22);
    c.Rect(6, 0, 7, 2, 13);   // hook
    c.Rect(3, 3, 10, 4, 13);  // cap
    for (int y = 5; y < 18; ++y)
        for (int x = 0; x < 14; ++x) {
            double dx = (x - 6.5) / 7.0, dy = (y - 11.0) / 7.0;
            double d = dx * dx + dy * dy;
            if (d <= 1.0) c.Set(x, y, 1 + static_cast<int>(std::min(11.0, d * 12)));
        }
    for (int y = 6; y < 17; y += 3) c.Rect(2, y, 11, y, y == 11 ? 1 : 6);
    c.Rect(4, 18, 9, 18, 13);
    c.Rect(6, 19, 7, 21, 14);  // tassel
    return Sprite(12, image, 7, 0, c, LanternPalette(bright));
}

SffSprite Glow() {
    Canvas c(40, 40);
    PaletteBuilder p;
    p.Ramp(1, 24, {16, 8, 2}, {210, 130, 50});
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            double d = std::hypot(x - 19.5, y - 19.5) / 20.0;
            if (d < 1.0) {
                int index = static_cast<int>((1 - d) * (1 - d) * 24);
                if (index > 0) c.Set(x, y, index);
            }
        }
    return Sprite(12, 2, 20, 20, c, p.Get());
}

SffSprite Firefly(int image, int size) {
    Canvas c(size, size);
    PaletteBuilder p;
    p.Ramp(1, 8, {20, 40, 10}, {220, 255, 140});
    double r = size / 2.0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            double d = std::hypot(x + 0.5 - r, y + 0.5 - r) / r;
            if (d < 1) c.Set(x, y, 1 + static_cast<int>((1 - d) * 7.99));
        }
    return Sprite(13, image, size / 2, size / 2, c, p.Get());
}

SffSprite Bird(int image) {
    Canvas c(16, 10);
    PaletteBuilder p;
    p.Set(1, {26, 20, 36});
    // Faces left: head at the left.
    c.Rect(3, 4, 10, 5, 1);
    c.Set(2, 4, 1);
    c.Set(1, 5, 1);
    c.Rect(11, 5, 13, 5, 1);
    if (image == 0) {
        for (int i = 0; i < 4; ++i) c.Set(6 + i, 3 - i, 1), c.Set(7 + i, 3 - i, 1);
    } else {
        for (int i = 0; i < 3; ++i) c.Set(6 + i, 6 + i, 1), c.Set(7 + i, 6 + i, 1);
    }
    return Sprite(14, image, 8, 5, c, p.Get());
}

SffSprite Boat() {
    Canvas c(60, 40);
    PaletteBuilder p;
    p.Ramp(1, 4, {110, 70, 50}, {60, 36, 30});
    p.Ramp(5, 8, {240, 226, 210}, {180, 160, 170});
    p.Set(9, {40, 28, 26});
    for (int y = 28; y < 40; ++y) {
        int inset = (y - 28) * 6 / 12;
        for (int x = 2 + inset; x < 58 - inset; ++x) c.Set(x, y, 1 + std::min(3, (y - 28) / 3));
    }
    c.Rect(29, 2, 30, 28, 9);
    for (int y = 4; y < 27; ++y) {
        int width = (y - 4) * 22 / 23;
        for (int x = 32; x < 32 + width; ++x) c.Set(x, y, 5 + std::min(3, (x - 32) / 6));
        int back = (y - 4) * 14 / 23;
        for (int x = 28 - back; x < 28; ++x) c.Set(x, y, 6 + std::min(2, (28 - x) / 6));
    }
    return Sprite(15, 0, 30, 38, c, p.Get());
}

SffSprite Mist() {
    Canvas c(256, 28);
    PaletteBuilder p;
    p.Ramp(1, 12, {8, 6, 12}, {70, 58, 90});
    for (int y = 0; y < 28; ++y)
        for (int x = 0; x < 256; ++x) {
            double v = std::sin(y / 27.0 * kPi) * (0.6 + 0.4 * std::sin(x * 2 * kPi / 256 * 3 + y * 0.15));
            int index = static_cast<int>(v * 12);
            if (index > 0) c.Set(x, y, std::min(12, index));
        }
    return Sprite(19, 0, 0, 0, c, p.Get());
}

// A soft dark blot: cloud shadows subtracted from the plaza as they drift over it.
SffSprite CloudShadow() {
    Canvas c(120, 12);
    PaletteBuilder p;
    p.Ramp(1, 8, {2, 2, 2}, {36, 32, 24});
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 120; ++x) {
            double u = (x - 59.5) / 60.0, v = (y - 5.5) / 6.0;
            double d = u * u + v * v;
            if (d < 1) c.Set(x, y, 1 + static_cast<int>((1 - d) * 7.99));
        }
    return Sprite(19, 1, 60, 6, c, p.Get());
}

SffSprite Leaf() {
    Canvas c(13, 13);
    PaletteBuilder p;
    p.Set(1, {236, 128, 44});
    p.Set(2, {176, 74, 32});
    p.Set(3, {90, 50, 30});
    p.Set(4, {255, 196, 100});
    // A pointed leaf lying on the diagonal, a light midrib and a stem at its lower left: lopsided on
    // purpose, so that each mirroring of the tumbling animation shows.
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 13; ++x) {
            double u = ((x - 6.5) + (6.5 - y)) / std::sqrt(2.0);
            double w = ((x - 6.5) - (6.5 - y)) / std::sqrt(2.0);
            double half = 2.6 * (1 - (u / 6.5) * (u / 6.5)) + (u < 0 ? 0.6 : 0);
            if (u < -6.5 || u > 6.5 || std::fabs(w) > half) continue;
            c.Set(x, y, std::fabs(w) < 0.45 ? 4 : (w > 0 ? 2 : 1));
        }
    c.Set(1, 11, 3), c.Set(0, 12, 3);
    return Sprite(17, 2, 6, 6, c, p.Get());
}

SffSprite Branch() {
    Canvas c(170, 84);
    PaletteBuilder p;
    p.Set(1, {16, 10, 20});  // bark
    p.Set(2, {20, 22, 34});  // leaves, three shades catching the dusk light
    p.Set(3, {30, 30, 48});
    p.Set(4, {44, 38, 62});
    Rng rng(13);
    auto boughY = [](double x) { return 6 + x * 0.28 + std::sin(x * 0.05) * 4; };
    // Leaves first, so the bough and twigs read over them.
    for (int cluster = 0; cluster < 9; ++cluster) {
        double cx = 12 + cluster * 18 + rng.Range(-4, 4);
        double cy = boughY(cx) + 8 + rng.Range(0, 10);
        for (int i = 0; i < 26; ++i) {
            double lx = cx + rng.Range(-11, 11), ly = cy + rng.Range(-8, 8);
            double angle = rng.Unit() * kPi;
            int shade = 2 + rng.Range(0, 2);
            for (int y = -3; y <= 3; ++y)
                for (int x = -3; x <= 3; ++x) {
                    double u = x * std::cos(angle) + y * std::sin(angle);
                    double v = -x * std::sin(angle) + y * std::cos(angle);
                    if (u * u / 9.0 + v * v / 2.0 <= 1.0)
                        c.Set(static_cast<int>(lx) + x, static_cast<int>(ly) + y, shade);
                }
        }
    }
    for (int x = 0; x < 150; ++x) {
        double y = boughY(x);
        int thick = std::max(1, 7 - x / 22);
        for (int t = -thick / 2; t <= thick / 2; ++t) c.Set(x, static_cast<int>(y) + t, 1);
        if (x % 26 == 13) {
            for (int k = 0; k < 16; ++k) c.Set(x + k / 2, static_cast<int>(y) + k, 1);
        }
    }
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 50 - y * 4; ++x) c.Set(x, y, 1);
    return Sprite(17, 0, 0, 0, c, p.Get());
}

SffSprite Grass() {
    Canvas c(128, 20);
    PaletteBuilder p;
    p.Ramp(1, 6, {40, 70, 46}, {16, 30, 24});
    Rng rng(17);
    for (int i = 0; i < 60; ++i) {
        int x = rng.Range(0, 127);
        int height = rng.Range(6, 19);
        double lean = (rng.Unit() - 0.5) * 0.8;
        for (int k = 0; k < height; ++k)
            c.SetWrapX(x + static_cast<int>(lean * k), 19 - k, 1 + std::min(5, (height - k) / 3));
    }
    for (int x = 0; x < 128; ++x) c.Set(x, 19, 6), c.Set(x, 18, 5);
    return Sprite(17, 1, 0, 20, c, p.Get());
}

SffSprite Vignette() {
    Canvas c(320, 36);
    PaletteBuilder p;
    p.Ramp(1, 16, {4, 4, 3}, {70, 66, 48});
    for (int y = 0; y < 36; ++y)
        for (int x = 0; x < 320; ++x) {
            double edge = std::max(0.0, std::fabs(x - 159.5) / 160.0 - 0.5) * 0.6;
            int index = static_cast<int>(std::min(1.0, y / 35.0 + edge) * 16);
            if (index > 0) c.Set(x, y, index);
        }
    return Sprite(18, 0, 160, 0, c, p.Get());
}

SffSprite Marker() {
    Canvas c(1, 1);
    PaletteBuilder p;
    return Sprite(21, 0, 0, 0, c, p.Get());
}

}  // namespace

std::vector<SffSprite> DemoSprites() {
    std::vector<SffSprite> sprites;
    sprites.push_back(Sky());
    sprites.push_back(StarTile());
    sprites.push_back(Moon());
    sprites.push_back(ShootingStar());
    sprites.push_back(Cloud());
    sprites.push_back(Mountains());
    sprites.push_back(Forest());
    sprites.push_back(House(0, 31));
    SffSprite second = House(1, 47);
    second.samePalette = true;  // the town shares one palette
    sprites.push_back(second);
    // A linked copy of the first house, as the engine's tools write repeated pictures.
    SffSprite linked;
    linked.group = 6;
    linked.image = 2;
    linked.linkTo = 7;
    sprites.push_back(linked);
    sprites.push_back(Tower());
    sprites.push_back(TowerWindow());
    for (int f = 0; f < 4; ++f) sprites.push_back(Water(f));
    sprites.push_back(Ground());
    sprites.push_back(Boardwalk());
    sprites.push_back(Pole());
    sprites.push_back(Rope());
    sprites.push_back(Lantern(0, false));
    sprites.push_back(Lantern(1, true));
    sprites.push_back(Glow());
    sprites.push_back(Firefly(0, 5));
    sprites.push_back(Firefly(1, 9));
    sprites.push_back(Bird(0));
    sprites.push_back(Bird(1));
    sprites.push_back(Boat());
    sprites.push_back(Mist());
    sprites.push_back(CloudShadow());
    sprites.push_back(Leaf());
    sprites.push_back(Branch());
    sprites.push_back(Grass());
    sprites.push_back(Vignette());
    sprites.push_back(Marker());
    return sprites;
}

std::string DemoStageDef() {
    static const char* const kLines[] = {
        "; Quillback Demo: a lantern-lit harbour town at dusk, drawn by the demo generator.",
        "[Info]",
        "name = \"Quillback Demo\"",
        "author = \"Quillback\"",
        "",
        "[Camera]",
        "startx = 0",
        "starty = 0",
        "boundleft = -200",
        "boundright = 200",
        "boundhigh = -40",
        "boundlow = 0",
        "tension = 50",
        "verticalfollow = .2",
        "floortension = 0",
        "",
        "[PlayerInfo]",
        "p1startx = -70",
        "p1starty = 0",
        "p2startx = 70",
        "p2starty = 0",
        "leftbound = -1000",
        "rightbound = 1000",
        "",
        "[Scaling]",
        "topz = 0",
        "botz = 50",
        "",
        "[Bound]",
        "screenleft = 15",
        "screenright = 15",
        "",
        "[StageInfo]",
        "zoffset = 224",
        "zoffsetlink = 50",
        "autoturn = 1",
        "resetBG = 1",
        "",
        "[Shadow]",
        "intensity = 96",
        "color = 40,20,60",
        "yscale = .35",
        "",
        "[Reflection]",
        "reflect = 0",
        "",
        "[Music]",
        "bgmusic = sound/quillback.mid",
        "bgvolume = 255",
        "",
        "[BGdef]",
        "spr = stages/quillback.sff",
        "debugbg = 0",
        "",
        "; ---- back layer ----",
        "[BG Sky]",
        "type = normal",
        "spriteno = 0, 0",
        "start = 0, 0",
        "delta = 0, 0",
        "",
        "[BG Stars]",
        "type = normal",
        "spriteno = 3, 0",
        "start = 0, -60",
        "delta = .02, .02",
        "mask = 1",
        "tile = 1, 2",
        "",
        "[BG Moon]",
        "type = normal",
        "spriteno = 1, 0",
        "start = 84, 48",
        "delta = .05, .05",
        "trans = add",
        "",
        "[BG Shooting star]",
        "type = normal",
        "spriteno = 20, 0",
        "id = 20",
        "start = 110, 18",
        "delta = .05, .05",
        "trans = add",
        "window = 0, 6, 319, 104",
        "",
        "[BG Clouds]",
        "type = normal",
        "spriteno = 2, 0",
        "start = -40, 26",
        "delta = .12, .1",
        "trans = add1",
        "tile = 1, 0",
        "tilespacing = 56",
        "velocity = -.25, 0",
        "sin.y = 2, 300",
        "",
        "[BG Mountains]",
        "type = normal",
        "spriteno = 4, 0",
        "start = 0, 96",
        "delta = .2, .2",
        "mask = 1",
        "tile = 1, 0",
        "",
        "[BG Birds]",
        "type = anim",
        "actionno = 50",
        "id = 70",
        "start = -40, 72",
        "delta = .3, .3",
        "",
        "[BG Forest]",
        "type = normal",
        "spriteno = 5, 0",
        "start = 0, 138",
        "delta = .4, .4",
        "mask = 1",
        "tile = 1, 0",
        "",
        "[BG Tower]",
        "type = normal",
        "spriteno = 7, 0",
        "trans = none",
        "start = -112, 200",
        "delta = .5, .5",
        "mask = 1",
        "",
        "[BG Tower windows]",
        "type = normal",
        "spriteno = 7, 1",
        "positionlink = 1",
        "start = -16, -94",
        "mask = 1",
        "tile = 3, 5",
        "tilespacing = 10, 12",
        "",
        "[BG Houses]",
        "type = normal",
        "spriteno = 6, 0",
        "start = -44, 196",
        "delta = .6, .6",
        "mask = 1",
        "tile = 5, 0",
        "tilespacing = 14",
        "",
        "[BG Pond]",
        "type = anim",
        "actionno = 20",
        "start = 0, 190",
        "delta = .65, .65",
        "tile = 1, 0",
        "tilespacing = 64",
        "",
        "[BG Reflections]",
        "type = anim",
        "actionno = 33",
        "start = -45, 212",
        "delta = .9, .65",
        "tile = 3, 0",
        "tilespacing = 45",
        "",
        "[BG Boat]",
        "type = normal",
        "spriteno = 15, 0",
        "id = 40",
        "start = 78, 203",
        "delta = .65, .65",
        "mask = 1",
        "",
        // The mist and the lantern glows add half of their light onto the whole picture ("alpha =
        // 128, 256", "AS128D256"): add1 and A1 would take all of it onto half the picture, and their
        // soft edges would darken what lies behind them.
        "[BG Mist]",
        "type = normal",
        "spriteno = 19, 0",
        "start = 0, 174",
        "delta = .6, .6",
        "trans = add",
        "alpha = 128, 256",
        "tile = 1, 0",
        "velocity = .15, 0",
        "",
        "[BG Plaza]",
        "type = parallax",
        "spriteno = 9, 0",
        "start = 0, 204",
        "delta = .75, .75",
        "xscale = 1, 1.5",
        "yscalestart = 100",
        "yscaledelta = 0",
        "",
        "[BG Cloud shadows]",
        "type = anim",
        "actionno = 70",
        "start = 0, 214",
        "delta = .75, .75",
        "velocity = .3, 0",
        "tile = 1, 0",
        "tilespacing = 330",
        "",
        "[BG Rope]",
        "type = normal",
        "spriteno = 16, 1",
        "start = -95, 130",
        "delta = .9, .9",
        "mask = 1",
        "",
        "[BG Poles]",
        "type = normal",
        "spriteno = 16, 0",
        "start = -96, 232",
        "delta = .9, .9",
        "mask = 1",
        "tile = 2, 0",
        "tilespacing = 184",
        "",
        "[BG Wind]",
        "type = dummy",
        "spriteno = 21, 0",
        "id = 50",
        "start = 0, 0",
        "delta = .9, .9",
        "sin.x = 1.5, 100",
        "sin.y = 1, 130, 40",
        "",
        "[BG Lantern left]",
        "type = anim",
        "actionno = 30",
        "id = 30",
        "positionlink = 1",
        "start = -50, 147",
        "",
        "[BG Lantern middle]",
        "type = anim",
        "actionno = 30",
        "id = 30",
        "positionlink = 1",
        "start = 0, 153",
        "",
        "[BG Lantern right]",
        "type = anim",
        "actionno = 30",
        "id = 30",
        "positionlink = 1",
        "start = 50, 147",
        "",
        "[BG Lantern glow]",
        "type = anim",
        "actionno = 32",
        "positionlink = 1",
        "start = -50, 160",
        "tile = 3, 0",
        "tilespacing = 50",
        "",
        "[BG Fireflies]",
        "type = anim",
        "actionno = 40",
        "id = 60",
        "start = -118, 184",
        "delta = .95, .95",
        "tile = 3, 0",
        "tilespacing = 97",
        "sin.y = 5, 90",
        "",
        "[BG Leaf]",
        "type = anim",
        "actionno = 60",
        "id = 80",
        "start = 36, 40",
        "delta = 1, 1",
        "sin.x = 9, 70",
        "",
        "[BG Boardwalk]",
        "type = parallax",
        "spriteno = 10, 0",
        "start = 0, 224",
        "delta = .9, .9",
        "width = 800, 1300",
        "tile = 1, 0",
        "",
        "; ---- front layer ----",
        "[BG Grass]",
        "type = normal",
        "spriteno = 17, 1",
        "layerno = 1",
        "start = 0, 244",
        "delta = 1.15, 1.1",
        "mask = 1",
        "tile = 1, 0",
        "",
        "[BG Branch]",
        "type = normal",
        "spriteno = 17, 0",
        "layerno = 1",
        "start = -176, -10",
        "delta = 1.25, 1.1",
        "mask = 1",
        "",
        "[BG Shade]",
        "type = normal",
        "spriteno = 18, 0",
        "layerno = 1",
        "start = 0, 204",
        "delta = 0, 0",
        "trans = sub",
        "",
        "; ---- animations ----",
        "[Begin Action 20]",
        "8,0, 0,0, 10",
        "loopstart",
        "8,1, 0,0, 10",
        "8,2, 0,0, 10",
        "8,3, 0,0, 10",
        "",
        "[Begin Action 30]",
        "12,0, 0,0, 40",
        "12,1, 0,0, 6",
        "loopstart",
        "12,0, 0,0, 50",
        "12,1, 0,0, 5",
        "12,0, 0,0, 30, h",
        "",
        "[Begin Action 31]",
        "12,1, 0,0, 3",
        "12,0, 0,0, 2",
        "12,1, 0,0, 4",
        "12,0, 0,0, 3, h",
        "",
        "[Begin Action 32]",
        "12,2, 0,0, 12, , as128d256",
        "12,2, 0,0, 5, , a",
        "12,2, 0,0, 20, , as128d256",
        "12,2, 0,0, 3, , a",
        "",
        "[Begin Action 33]",
        "12,0, 0,0, -1, v, a1",
        "",
        "[Begin Action 40]",
        "13,0, 0,0, 14, , a1",
        "13,1, 0,0, 6, , a",
        "13,0, 0,0, 10, , a",
        "13,1, 0,0, 4, , a1",
        "",
        "[Begin Action 50]",
        "14,0, 0,0, 7, h",
        "14,1, 0,0, 7, h",
        "",
        "[Begin Action 60]",
        "17,2, 0,0, 8",
        "17,2, 0,0, 8, h",
        "17,2, 0,0, 8, hv",
        "17,2, 0,0, 8, v",
        "17,2, 0,0, 8, vh",
        "17,2, 0,0, 8",
        "",
        "[Begin Action 70]",
        "19,1, 0,0, -1, , s",
        "",
        "; ---- controllers ----",
        "[BGCtrlDef Shooting star]",
        "looptime = 420",
        "ctrlid = 20",
        "",
        "[BGCtrl Hide]",
        "type = visible",
        "time = 0",
        "value = 0",
        "",
        "[BGCtrl Reset]",
        "type = posset",
        "time = 0",
        "x = 0",
        "y = 0",
        "",
        "[BGCtrl Rest]",
        "type = velset",
        "time = 0",
        "x = 0",
        "y = 0",
        "",
        "[BGCtrl Show]",
        "type = visible",
        "time = 300",
        "value = 1",
        "",
        "[BGCtrl Launch]",
        "type = velset",
        "time = 300",
        "x = -4.5",
        "y = .8",
        "",
        "[BGCtrl Fall]",
        "type = veladd",
        "time = 300, 360",
        "y = .015",
        "",
        "[BGCtrl Gone]",
        "type = visible",
        "time = 372",
        "value = 0",
        "",
        "[BGCtrl Nothing]",
        "type = null",
        "time = 0",
        "",
        "[BGCtrlDef Lanterns]",
        "looptime = 479",
        "ctrlid = 30",
        "",
        "[BGCtrl Flicker]",
        "type = anim",
        "time = 240",
        "value = 31",
        "",
        "[BGCtrl Calm]",
        "type = anim",
        "time = 300",
        "value = 30",
        "",
        "[BGCtrlDef Boat]",
        "ctrlid = 40",
        "",
        "[BGCtrl Rock]",
        "type = siny",
        "time = 0",
        "value = 2, 70, 0",
        "",
        "[BGCtrl Sway]",
        "type = sinx",
        "time = 0",
        "value = 3, 150, 0",
        "",
        "[BGCtrl Drift]",
        "type = posadd",
        "time = 0, 119, 240",
        "x = .25",
        "",
        "[BGCtrl Drift back]",
        "type = posadd",
        "time = 120, 239, 240",
        "x = -.25",
        "",
        "[BGCtrlDef Fireflies]",
        "looptime = 599",
        "ctrlid = 60",
        "",
        "[BGCtrl Sleep]",
        "type = enable",
        "time = 400",
        "value = 0",
        "",
        "[BGCtrl Wake]",
        "type = enable",
        "time = 470",
        "value = 1",
        "",
        "[BGCtrlDef Birds]",
        "looptime = 899",
        "ctrlid = 70",
        "",
        "[BGCtrl Start]",
        "type = posset",
        "time = 0",
        "x = -250",
        "",
        "[BGCtrl Fly]",
        "type = velset",
        "time = 0",
        "x = .9",
        "",
        "[BGCtrlDef Leaf]",
        "looptime = 640",
        "ctrlid = 80",
        "",
        "[BGCtrl Back up]",
        "type = posset",
        "time = 0",
        "x = 0",
        "y = 0",
        "",
        "[BGCtrl Fall]",
        "type = velset",
        "time = 0",
        "x = -.3",
        "y = .4",
    };
    std::string text;
    for (const char* line : kLines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool WriteDemoFile(const std::filesystem::path& path, const std::string& bytes, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

bool WriteDemoMugen(const std::filesystem::path& output, std::string& error) {
    std::error_code ec;
    for (const char* folder : {"stages", "chars", "sound"}) {
        std::filesystem::create_directories(output / folder, ec);
        if (ec) {
            error = "cannot create " + (output / folder).string() + ": " + ec.message();
            return false;
        }
    }
    auto write = [&](const std::filesystem::path& path, const std::string& bytes) {
        return WriteDemoFile(path, bytes, error);
    };
    return write(output / "stages" / "quillback.sff", WriteSff(DemoSprites())) &&
           write(output / "stages" / "quillback.def", DemoStageDef()) &&
           write(output / "sound" / "quillback.mid", DemoTuneMidi()) && WriteDemoChar(output, error) &&
           WriteModernDemo(output, error);
}

}  // namespace qb::demo

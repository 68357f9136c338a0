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

// A pixel of a prepared source as 0xAARRGGBB, alpha 0 where nothing is drawn (colour 0 of a masked
// picture, a clear PNG pixel, the mask colour of a bitmap).
uint32_t SourceAt(const Source32& s, int x, int y) {
    const size_t row = static_cast<size_t>(y), col = static_cast<size_t>(x);
    switch (s.kind) {
        case Source32::Kind::Indexed:
            return s.colours[s.bytes[row * static_cast<size_t>(s.width) + col]];
        case Source32::Kind::Rgba: {
            const uint8_t* p = s.bytes + (row * static_cast<size_t>(s.width) + col) * 4;
            return Argb(p[0], p[1], p[2], s.alpha ? p[3] : 255);
        }
        case Source32::Kind::Rgb565: {
            const uint16_t v = s.pixels16[row * s.pitch16 + col];
            return s.alpha && v == kMaskColor ? 0 : Expand565(v);
        }
        case Source32::Kind::None:
            break;
    }
    return 0;
}

// The source column of each drawn column x0..x1-1 of a sprite drawn `width` wide at `left`, the rule
// ComposeScaled uses, so the shadow and the reflection match the sprite pixel for pixel.
int SourceColumn(const DrawnCharSprite& drawn, int64_t x) {
    const int64_t sw = drawn.source->width;
    const auto c = static_cast<int>((x - drawn.left) * sw / drawn.width);
    return drawn.flipH ? static_cast<int>(sw) - 1 - c : c;
}

int SourceRow(const DrawnCharSprite& drawn, int64_t drawnRow) {
    return static_cast<int>(drawnRow * drawn.source->height / drawn.height);
}

bool Usable(const Picture32& dest, const DrawnCharSprite& drawn) {
    return drawn.source && drawn.source->kind != Source32::Kind::None && drawn.source->width > 0 &&
           drawn.source->height > 0 && drawn.width > 0 && drawn.height > 0 && dest.Width > 0 && dest.Height > 0 &&
           std::fabs(drawn.footY) < 1e9 && std::fabs(drawn.floorY) < 1e9;
}

// Calls put(out, sourcePixel) for each drawn pixel of row `drawnRow` landing on picture row y,
// shifted right by `shift`.
template <class Put>
void EachPixelOfRow(Picture32& dest, const DrawnCharSprite& drawn, int64_t drawnRow, int64_t y, int64_t shift,
                    Put put) {
    if (y < 0 || y >= dest.Height) return;
    const int sy = SourceRow(drawn, drawnRow);
    const int64_t x0 = std::max<int64_t>(drawn.left + shift, 0);
    const int64_t x1 = std::min<int64_t>(drawn.left + shift + drawn.width, dest.Width);
    uint32_t* out = dest.Row(static_cast<int>(y));
    for (int64_t x = x0; x < x1; ++x) put(out[x], SourceAt(*drawn.source, SourceColumn(drawn, x - shift), sy));
}

}  // namespace

double ShadowFade(const StageModel& stage, double height) {
    if (stage.ShadowFadeGiven == 0) return 1;
    const double top = std::fabs(static_cast<double>(stage.ShadowFadeTop));
    const double bottom = std::fabs(static_cast<double>(stage.ShadowFadeBottom));
    if (top == 0 && bottom == 0) return 1;
    const double h = std::isfinite(height) ? std::max(0.0, height) : 0.0;
    if (h <= bottom && h <= top) return 1;
    // Above top it is gone; a range written upside down (top below bottom) has nothing to fade over.
    if (h >= top) return 0;
    return (top - h) / (top - bottom);
}

uint32_t ShadowColour(const StageModel& stage) {
    // The 1.1 documents: color "is no longer supported as of 1.1 and will be ignored".
    if (stage.MugenVersion >= 1.1f) return 0;
    auto channel = [](int16_t v) { return static_cast<uint32_t>(std::clamp<int>(v, 0, 255)); };
    return channel(stage.ShadowColorR) << 16 | channel(stage.ShadowColorG) << 8 | channel(stage.ShadowColorB);
}

uint32_t ShadowPixel(uint32_t dst, int intensity, uint32_t colour) {
    const auto i = static_cast<uint32_t>(std::clamp(intensity, 0, 256));
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t d = (dst >> shift) & 0xFF, c = (colour >> shift) & 0xFF;
        const uint32_t dark = d - (d * i >> 8);
        out |= (dark > c ? dark - c : 0) << shift;
    }
    return out;
}

int ShadowShear(double xshear, double floorY, int y) {
    const double shift = xshear * std::fabs(y + 0.5 - floorY);
    if (!std::isfinite(shift)) return 0;
    // A hostile xshear cannot push a row further than any picture is wide.
    return static_cast<int>(std::lround(std::clamp(shift, -65536.0, 65536.0)));
}

void DrawCharShadow32(Picture32& dest, const DrawnCharSprite& drawn, const StageModel& stage, double height) {
    const double k = stage.ShadowYScale;
    if (!Usable(dest, drawn) || k == 0 || !std::isfinite(k) || stage.ShadowIntensity <= 0) return;
    const double fade = ShadowFade(stage, height);
    if (!(fade > 0)) return;
    const int intensity = static_cast<int>(std::lround(std::min<int>(stage.ShadowIntensity, 256) * fade));
    const uint32_t stageColour = ShadowColour(stage);
    auto channel = [fade, stageColour](int shift) {
        return static_cast<uint32_t>(std::lround(static_cast<double>(stageColour >> shift & 0xFF) * fade))
               << shift;
    };
    const uint32_t colour = channel(16) | channel(8) | channel(0);
    if (intensity == 0 && colour == 0) return;
    const double h = static_cast<double>(drawn.height);
    // Never taller than a few pictures: an absurd yscale costs no more than a tall picture.
    const int64_t rows = std::min<int64_t>(std::llround(std::min(std::fabs(k) * h, 1e9)), 4 * int64_t{dest.Height});
    if (rows < 1) return;
    // k > 0: the upside-down sprite squashed towards the feet and laid on the floor; k < 0: upright,
    // its foot on the floor line.
    const double aboveFeet = drawn.footY - static_cast<double>(drawn.top);
    const double topY = k > 0 ? drawn.floorY + (aboveFeet - h) * k : drawn.floorY - h * -k;
    const int64_t top = std::llround(std::clamp(topY, -1e12, 1e12));
    // Partly transparent pixels cast a shadow of their own strength.
    auto put = [intensity, colour](uint32_t& out, uint32_t src) {
        const uint32_t a = src >> 24;
        if (a == 0) return;
        if (a == 255) {
            out = ShadowPixel(out, intensity, colour);
            return;
        }
        const uint32_t c = ((colour >> 16 & 0xFF) * a / 255) << 16 | ((colour >> 8 & 0xFF) * a / 255) << 8 |
                           (colour & 0xFF) * a / 255;
        out = ShadowPixel(out, static_cast<int>(static_cast<uint32_t>(intensity) * a / 255), c);
    };
    const int64_t first = std::max<int64_t>(0, -top), last = std::min<int64_t>(rows, int64_t{dest.Height} - top);
    for (int64_t j = first; j < last; ++j) {
        const int64_t squashed = j * drawn.height / rows;
        const int64_t drawnRow = k > 0 ? drawn.height - 1 - squashed : squashed;
        const int64_t y = top + j;
        EachPixelOfRow(dest, drawn, drawnRow, y, ShadowShear(stage.ShadowXShear, drawn.floorY, static_cast<int>(y)),
                       put);
    }
}

void DrawCharReflection32(Picture32& dest, const DrawnCharSprite& drawn, int intensity) {
    if (!Usable(dest, drawn) || intensity <= 0) return;
    const int weight = std::min(intensity, 256);
    // Mirrored about the feet: drawn row r lands on footY - (top + r - footY) - 1.
    const int64_t top = 2 * std::llround(drawn.footY) - drawn.top - drawn.height;
    auto put = [weight](uint32_t& out, uint32_t src) {
        const uint32_t a = src >> 24;
        if (a == 0) return;
        const int w = a == 255 ? weight : static_cast<int>(static_cast<uint32_t>(weight) * a / 255);
        out = 0xFF000000u | AddChannel(src >> 16 & 0xFF, out >> 16 & 0xFF, w, 256 - w) << 16 |
              AddChannel(src >> 8 & 0xFF, out >> 8 & 0xFF, w, 256 - w) << 8 | AddChannel(src & 0xFF, out & 0xFF, w, 256 - w);
    };
    const int64_t first = std::max<int64_t>(0, -top), last = std::min<int64_t>(drawn.height, int64_t{dest.Height} - top);
    for (int64_t j = first; j < last; ++j) EachPixelOfRow(dest, drawn, drawn.height - 1 - j, top + j, 0, put);
}

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

// Sprite-file pictures into 16-bit bitmaps. This is the load path's hot loop: pictures are decoded
// straight into the bitmap rows through a 256-entry colour table, with no per-pixel calls.
#include "platform/sff_decoder.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

#include "platform/gfx.h"
#include "platform/paths.h"
#include "platform/sff_file.h"

namespace qb {

namespace {

constexpr int kMaxPictureSide = 8192;
// One run-length pair (two bytes) yields at most 63 pixels: a picture claiming more than this many
// bytes per input byte cannot be complete, and is refused before anything is allocated.
constexpr size_t kMaxRleExpansion = 32;

using PaletteBytes = std::array<uint8_t, kPcxPaletteSize>;
using ColorTable = std::array<uint16_t, 256>;

struct PcxLayout {
    int width = 0;
    int height = 0;
    int bytesPerLine = 0;
    bool runLength = true;
};

std::optional<PcxLayout> ReadPcxLayout(std::span<const uint8_t> pcx) {
    if (pcx.size() < kPcxHeaderSize) return std::nullopt;
    const int bitsPerPixel = pcx[3];
    const int planes = pcx[65];
    if (bitsPerPixel != 8 || planes != 1) return std::nullopt;
    const int xmin = ReadLe16(pcx, 4);
    const int ymin = ReadLe16(pcx, 6);
    const int xmax = ReadLe16(pcx, 8);
    const int ymax = ReadLe16(pcx, 10);
    PcxLayout layout;
    layout.width = xmax - xmin + 1;
    layout.height = ymax - ymin + 1;
    layout.bytesPerLine = ReadLe16(pcx, 66);
    layout.runLength = pcx[2] == 1;
    if (layout.width <= 0 || layout.height <= 0 || layout.width > kMaxPictureSide ||
        layout.height > kMaxPictureSide || layout.bytesPerLine < layout.width) {
        return std::nullopt;
    }
    const size_t needed = static_cast<size_t>(layout.bytesPerLine) * static_cast<size_t>(layout.height);
    const size_t available = pcx.size() - kPcxHeaderSize;
    if (needed > available * (layout.runLength ? kMaxRleExpansion : 1)) return std::nullopt;
    return layout;
}

// Where the picture's pixel data ends (offset within `pcx`), or the end of the data when it runs short.
size_t PixelDataEnd(std::span<const uint8_t> pcx, const PcxLayout& layout) {
    const size_t total = static_cast<size_t>(layout.bytesPerLine) * static_cast<size_t>(layout.height);
    if (!layout.runLength) return std::min(pcx.size(), kPcxHeaderSize + total);
    size_t pos = kPcxHeaderSize;
    size_t produced = 0;
    while (produced < total && pos < pcx.size()) {
        const uint8_t b = pcx[pos++];
        if ((b & 0xC0) == 0xC0) {
            produced += b & 0x3F;
            ++pos;
        } else {
            ++produced;
        }
    }
    return std::min(pos, pcx.size());
}

uint16_t To565(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

ColorTable MakeColorTable(const PaletteBytes* palette, bool masked) {
    ColorTable table;
    for (int i = 0; i < 256; ++i) {
        uint16_t c;
        if (palette) {
            const size_t at = static_cast<size_t>(i) * 3;
            c = To565((*palette)[at], (*palette)[at + 1], (*palette)[at + 2]);
        } else {
            const auto v = static_cast<uint8_t>(i);  // no palette anywhere: a grey ramp
            c = To565(v, v, v);
        }
        // An ordinary colour that happens to be magenta would vanish under masked drawing.
        if (c == kMaskColor) c ^= 0x0020;
        table[static_cast<size_t>(i)] = c;
    }
    if (masked) table[0] = static_cast<uint16_t>(kMaskColor);
    return table;
}

// Decodes the picture into a new bitmap; null when the data is short or the layout impossible.
UniqueBitmap DecodePicture(std::span<const uint8_t> pcx, const PcxLayout& layout, const ColorTable& colors) {
    UniqueBitmap bitmap = CreateBitmap(layout.width, layout.height);
    if (!bitmap) return nullptr;
    const int width = layout.width;
    const int pitch = layout.bytesPerLine;
    const uint8_t* p = pcx.data() + kPcxHeaderSize;
    const uint8_t* const end = pcx.data() + pcx.size();

    if (!layout.runLength) {
        for (int y = 0; y < layout.height; ++y) {
            uint16_t* row = BitmapRow(bitmap.get(), y);
            for (int x = 0; x < width; ++x) row[x] = colors[p[x]];
            p += pitch;
        }
        return bitmap;
    }

    int y = 0;
    int x = 0;
    uint16_t* row = BitmapRow(bitmap.get(), 0);
    while (true) {
        if (p >= end) return nullptr;
        uint8_t value = *p++;
        int run = 1;
        if ((value & 0xC0) == 0xC0) {
            if (p >= end) return nullptr;
            run = value & 0x3F;
            value = *p++;
        }
        const uint16_t color = colors[value];
        // Runs may cross the end of a row in files from some tools; the padding bytes past the
        // width are dropped.
        while (run > 0) {
            const int take = std::min(run, pitch - x);
            if (x < width) {
                const int visible = std::min(take, width - x);
                if (visible == 1) {
                    row[x] = color;
                } else {
                    std::fill_n(row + x, visible, color);
                }
            }
            x += take;
            run -= take;
            if (x == pitch) {
                x = 0;
                if (++y == layout.height) return bitmap;
                row = BitmapRow(bitmap.get(), y);
            }
        }
    }
}

std::optional<PaletteBytes> PaletteOf(std::span<const uint8_t> pcx) {
    if (pcx.size() < kPcxHeaderSize + kPcxPaletteSize + 1) return std::nullopt;
    // Knowing where the pixels end tells a padded palette from a 0x0C byte inside the palette. The scan
    // reads only the compressed bytes, and only sprites that carry their own palette pay for it.
    size_t floor = kPcxHeaderSize;
    if (auto layout = ReadPcxLayout(pcx)) floor = PixelDataEnd(pcx, *layout);
    auto found = FindPcxPalette(pcx, floor);
    if (!found) return std::nullopt;
    PaletteBytes out;
    std::copy(found->begin(), found->end(), out.begin());
    return out;
}

}  // namespace

bool DecodeSffSprites(std::string_view file, SpriteTable& table, int count) {
    auto index = ReadSffIndex(file);
    if (!index) return false;
    if (!a_allegro_init()) return false;
    const auto bytes = AsBytes(file);
    const size_t n = std::min({static_cast<size_t>(std::max(count, 0)), table.size(), index->entries.size()});

    std::vector<PaletteBytes> palettes;
    std::vector<int> paletteOf(n, -1);  // per decoded entry, for re-decoding with another mask
    int current = -1;

    auto pictureOf = [&](size_t j) { return bytes.subspan(index->entries[j].dataStart, index->entries[j].DataSize()); };
    auto decode = [&](size_t j, int palette, bool masked) -> UniqueBitmap {
        const auto pcx = pictureOf(j);
        const auto layout = ReadPcxLayout(pcx);
        if (!layout) return nullptr;
        const ColorTable colors =
            MakeColorTable(palette >= 0 ? &palettes[static_cast<size_t>(palette)] : nullptr, masked);
        return DecodePicture(pcx, *layout, colors);
    };

    for (size_t j = 0; j < n; ++j) {
        const SffSubHeader& s = index->entries[j];
        if (s.IsLinked()) continue;
        SpriteEntry& e = table[j];
        e.Owner = -1;
        e.Owned.reset();
        e.Bitmap = nullptr;
        e.AxisX = s.axisX;
        e.AxisY = s.axisY;
        e.Width = 0;
        e.Height = 0;
        // "Same palette as previous" reuses the last palette read; the first sprite has none to reuse.
        if (!s.samePalette || current < 0) {
            if (auto palette = PaletteOf(pictureOf(j))) {
                palettes.push_back(*palette);
                current = static_cast<int>(palettes.size()) - 1;
            }
        }
        paletteOf[j] = current;
        e.Owned = decode(j, current, e.Mask == 1);
        if (e.Owned) {
            e.Bitmap = e.Owned.get();
            e.Width = static_cast<int16_t>(BitmapWidth(e.Bitmap));
            e.Height = static_cast<int16_t>(BitmapHeight(e.Bitmap));
        }
    }

    // Linked entries share what their target decoded; targets may come later in the file and may be
    // linked themselves. A chain longer than the table is a cycle.
    std::unordered_map<size_t, size_t> alternateOwner;  // target -> entry owning its other-mask bitmap
    for (size_t j = 0; j < n; ++j) {
        if (!index->entries[j].IsLinked()) continue;
        SpriteEntry& e = table[j];
        e.Owned.reset();
        e.Bitmap = nullptr;
        size_t t = j;
        size_t steps = 0;
        while (t < n && index->entries[t].IsLinked() && steps <= n) {
            t = static_cast<size_t>(index->entries[t].linkedIndex);
            ++steps;
        }
        if (t >= n || index->entries[t].IsLinked() || !table[t].Bitmap) continue;
        const SpriteEntry& target = table[t];
        e.AxisX = target.AxisX;
        e.AxisY = target.AxisY;
        e.Width = target.Width;
        e.Height = target.Height;
        if (e.Owner < 0) e.Owner = static_cast<int16_t>(t);
        if ((e.Mask == 1) == (target.Mask == 1)) {
            e.Bitmap = target.Bitmap;
            continue;
        }
        // The target was decoded with the other treatment of colour 0: this entry needs its own copy.
        // One copy per target is enough, whichever linked entry owns it.
        if (auto it = alternateOwner.find(t); it != alternateOwner.end()) {
            e.Bitmap = table[it->second].Bitmap;
            e.Owner = static_cast<int16_t>(it->second);
            continue;
        }
        e.Owned = decode(t, paletteOf[t], e.Mask == 1);
        if (e.Owned) {
            e.Bitmap = e.Owned.get();
            e.Owner = -1;
            alternateOwner.emplace(t, j);
        }
    }
    return true;
}

bool Load_Stage_SFF(const std::string& path, SpriteTable& table, int count) {
    const auto file = ReadFileBytes(path, kMaxSffFileBytes);
    if (!file) return false;
    return DecodeSffSprites(*file, table, count);
}

}  // namespace qb

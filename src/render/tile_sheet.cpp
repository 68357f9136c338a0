#include "render/tile_sheet.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gfx.h"

namespace qb {

namespace {

// Below this many tiles the per-tile blits cost less than making a sheet.
constexpr int64_t kMinTiles = 64;
// A sheet holds as many tiles as fit this many pixels a side (at least one).
constexpr int64_t kSheetSide = 64;
// A larger sheet would only copy a large sprite for nothing.
constexpr int64_t kMaxSheetPixels = int64_t{1} << 20;

// The positions sorted, and the one step between neighbours (0 for a single position); false when
// the steps differ or a tile of `size` would overlap the next.
bool EvenSteps(const int32_t* in, int n, int size, std::vector<int32_t>& sorted, int64_t& step) {
    sorted.assign(in, in + n);
    std::sort(sorted.begin(), sorted.end());
    step = n > 1 ? int64_t{sorted[1]} - sorted[0] : 0;
    if (n > 1 && step < size) return false;
    for (int i = 2; i < n; ++i)
        if (int64_t{sorted[i]} - sorted[i - 1] != step) return false;
    return true;
}

}  // namespace

bool DrawTileSheet(Picture32& picture, const Source32& source, Blend32 blend, const int32_t* xs, int nx,
                   const int32_t* ys, int ny, int64_t* drawn, const Clip32* clip) {
    if (int64_t{nx} * ny < kMinTiles || source.width <= 0 || source.height <= 0) return false;
    size_t bytesPerPixel = 0;
    bool clearGaps = false;  // a gap reads as a pixel the rule leaves alone
    switch (source.kind) {
        case Source32::Kind::Indexed: bytesPerPixel = 1, clearGaps = source.masked; break;
        case Source32::Kind::Rgba: bytesPerPixel = 4, clearGaps = source.alpha; break;
        case Source32::Kind::Rgb565: bytesPerPixel = 2, clearGaps = source.alpha; break;
        case Source32::Kind::None: return false;
    }
    std::vector<int32_t> cols, rows;
    int64_t stepX = 0, stepY = 0;
    if (!EvenSteps(xs, nx, source.width, cols, stepX) || !EvenSteps(ys, ny, source.height, rows, stepY))
        return false;
    if (nx == 1) stepX = source.width;
    if (ny == 1) stepY = source.height;
    if ((stepX > source.width || stepY > source.height) && !clearGaps) return false;
    const int64_t kx = std::min<int64_t>(nx, std::max<int64_t>(1, kSheetSide / stepX));
    const int64_t ky = std::min<int64_t>(ny, std::max<int64_t>(1, kSheetSide / stepY));
    if (kx * ky < 4) return false;
    const int64_t sheetW = (kx - 1) * stepX + source.width, sheetH = (ky - 1) * stepY + source.height;
    if (sheetW * sheetH > kMaxSheetPixels) return false;

    // The gaps hold colour 0 (clear), or the mask colour of a 16-bit picture.
    const size_t count = static_cast<size_t>(sheetW * sheetH);
    std::vector<uint8_t> bytes;
    std::vector<uint16_t> words;
    if (source.kind == Source32::Kind::Rgb565)
        words.assign(count, static_cast<uint16_t>(kMaskColor));
    else
        bytes.assign(count * bytesPerPixel, 0);
    const size_t rowBytes = static_cast<size_t>(source.width) * bytesPerPixel;
    for (int64_t j = 0; j < ky; ++j)
        for (int64_t i = 0; i < kx; ++i)
            for (int y = 0; y < source.height; ++y) {
                const size_t at = static_cast<size_t>((j * stepY + y) * sheetW + i * stepX);
                if (source.kind == Source32::Kind::Rgb565)
                    std::memcpy(&words[at], source.pixels16 + static_cast<size_t>(y) * source.pitch16, rowBytes);
                else
                    std::memcpy(&bytes[at * bytesPerPixel], source.bytes + static_cast<size_t>(y) * rowBytes, rowBytes);
            }
    Source32 sheet = source;
    sheet.width = static_cast<int>(sheetW);
    sheet.height = static_cast<int>(sheetH);
    // The sprite's own runs and expanded colours describe the sprite, not the sheet.
    sheet.runRows = nullptr;
    sheet.runs = nullptr;
    sheet.expanded = nullptr;
    sheet.wide = nullptr;
    sheet.bytes = bytes.data();
    sheet.pixels16 = words.data();
    sheet.pitch16 = static_cast<size_t>(sheetW);

    const Clip32 whole = clip ? *clip : WholePicture(picture);
    int64_t written = 0;
    for (int64_t j = 0; j < ny; j += ky)
        for (int64_t i = 0; i < nx; i += kx) {
            // The last sheet of a row or column holds fewer tiles: only that part of it is drawn.
            const int64_t w = (std::min(kx, nx - i) - 1) * stepX + source.width;
            const int64_t h = (std::min(ky, ny - j) - 1) * stepY + source.height;
            written += ComposeRect(picture, sheet, 0, 0, static_cast<int>(w), static_cast<int>(h), cols[i], rows[j],
                                   false, false, blend, whole);
        }
    if (drawn) *drawn += written;
    return true;
}

}  // namespace qb

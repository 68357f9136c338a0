#pragma once
// Small tiles drawn as sheets: a tile run of a tiny sprite (a 1-pixel colour tiled over a 1280 x 720
// picture is nearly a million tiles) costs its blits, not its pixels. Tiles that neither overlap nor
// move apart unevenly are laid side by side into one picture of a few dozen pixels a side, and that
// picture is composed once per place it covers: the same pixels, far fewer calls.
#include <cstdint>

#include "platform/picture32.h"
#include "render/compose32.h"

namespace qb {

// Draws the whole sprite `source` with its corner at every (xs[i], ys[j]), unmirrored, with `blend`,
// inside `clip` (an element's window; the whole picture when null). Answers false, drawing nothing,
// when the tiles are too few to gain or cannot be laid into one sheet (overlapping, unevenly spaced,
// or apart while the sprite has no transparent colour for the gaps): the caller then draws them one
// by one. `drawn` (may be null) grows by the pixels composed.
bool DrawTileSheet(Picture32& picture, const Source32& source, Blend32 blend, const int32_t* xs, int nx,
                   const int32_t* ys, int ny, int64_t* drawn, const Clip32* clip = nullptr);

}  // namespace qb

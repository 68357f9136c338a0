#pragma once
// The sprite browser's logic (frmSFF): which row of the stage's sprite table the scroll bar shows, the
// caption, finding a group and image, saving the shown sprite.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "stage/stage_model.h"

namespace qb {

struct SpriteBrowserState {
    int Value = 0;  // the scroll bar's value: the row shown
    int Max = -1;   // the scroll bar's maximum (SpriteCount - 1 when the window was created)
};

// Window creation: the range of the stage loaded now, the first row.
void OpenSpriteBrowser(SpriteBrowserState& browser, const StageModel& stage);
// The row to show, or -1 when there is none. Another stage may have been loaded since the window was
// created: the range follows the table, so no row outside it is ever addressed and a table that
// was empty for a while (during a reload) is browsed again in full.
int ShownSpriteRow(SpriteBrowserState& browser, const StageModel& stage);
// "(v + 1/m + 1)  Group: g  Image: i"; "SFF" when there is no sprite to show.
std::string SpriteBrowserCaption(SpriteBrowserState& browser, const StageModel& stage);
// The file name Save PNG offers for the sprite shown: "<sprite file's name>-<group>-<image>.png";
// empty when there is no sprite to show.
std::string SpriteFileNameFor(SpriteBrowserState& browser, const StageModel& stage);
// "Size: w x h  Axis: x, y" of the sprite at `row`; empty when there is no such row.
std::string SpriteDetailsText(const StageModel& stage, int row);
// The first row holding group `group`, image `image`; -1 when there is none.
int FindSpriteRow(const StageModel& stage, int group, int image);
// The sprite at `row` as the browser shows it: R, G, B, A bytes, row by row. A version 2 sprite comes
// from its decoded picture (PNG24/32 with their own alpha; indexed ones through the palette they
// name, colour 0 clear when the sprite is masked); a version 1 sprite from its bitmap, the mask
// colour clear. nullopt when the row has no picture.
struct SpriteRgba {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Bytes;
};
std::optional<SpriteRgba> SpritePixels(const StageModel& stage, int row);
// The name Save PNG writes: the typed name, with ".png" added when it has no extension.
std::string PngFileName(const std::string& typed);
// The shown sprite as an 8-bit PNG in its own palette, read again from the stage's sprite file; colour 0
// is transparent when the sprite is masked. A version 2 sprite is written as 8-bit RGBA from its
// decoded picture (SpritePixels), keeping its alpha. False when there is no row or the file could
// not be written.
bool SaveShownSprite(SpriteBrowserState& browser, const StageModel& stage, const std::string& path);

}  // namespace qb

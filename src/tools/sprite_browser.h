#pragma once
// The sprite browser's logic (frmSFF): which row of the stage's sprite table the scroll bar shows, the
// caption, finding a group and image, saving the shown sprite.
#include <string>

#include "stage/stage_model.h"

namespace qb {

struct SpriteBrowserState {
    int Value = 0;  // the scroll bar's value: the row shown
    int Max = -1;   // the scroll bar's maximum (SpriteCount - 1 when the window was created)
};

// Window creation: the range of the stage loaded now, the first row.
void OpenSpriteBrowser(SpriteBrowserState& browser, const StageModel& stage);
// The row to show, or -1 when there is none. A stage with fewer sprites may have been loaded since the
// window was created: the range shrinks to the table, so no row outside it is ever addressed.
int ShownSpriteRow(SpriteBrowserState& browser, const StageModel& stage);
// "(v + 1\m + 1)  Group: g  Image: i"; "SFF" when there is no sprite to show.
std::string SpriteBrowserCaption(SpriteBrowserState& browser, const StageModel& stage);
// The first row holding group `group`, image `image`; -1 when there is none.
int FindSpriteRow(const StageModel& stage, int group, int image);
// The shown sprite as a PNG (the mask colour as written by the decoder). False when there is no row
// or the file could not be written.
bool SaveShownSprite(SpriteBrowserState& browser, const StageModel& stage, const std::string& path);

}  // namespace qb

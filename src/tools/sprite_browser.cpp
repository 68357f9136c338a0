#include "tools/sprite_browser.h"

#include <algorithm>

#include "platform/paths.h"
#include "platform/png_writer.h"
#include "platform/sff_decoder.h"

namespace qb {

namespace {
// The rows the stage counts (the table may hold a spare row past them).
int SpriteRows(const StageModel& stage) {
    return std::clamp(static_cast<int>(stage.SpriteCount), 0, static_cast<int>(stage.Sprites.size()));
}
}  // namespace

void OpenSpriteBrowser(SpriteBrowserState& browser, const StageModel& stage) {
    browser.Max = SpriteRows(stage) - 1;
    browser.Value = 0;
}

int ShownSpriteRow(SpriteBrowserState& browser, const StageModel& stage) {
    // The range is the table's now: an empty table in between (a reload, a switch to another stage)
    // must not leave the window showing nothing once sprites are back.
    browser.Max = SpriteRows(stage) - 1;
    browser.Value = std::clamp(browser.Value, 0, std::max(browser.Max, 0));
    return browser.Max < 0 ? -1 : browser.Value;
}

std::string SpriteBrowserCaption(SpriteBrowserState& browser, const StageModel& stage) {
    const int row = ShownSpriteRow(browser, stage);
    if (row < 0) return "SFF";
    const SpriteEntry& sprite = stage.Sprites[static_cast<size_t>(row)];
    return "(" + std::to_string(row + 1) + "\\" + std::to_string(browser.Max + 1) +
           ")  Group: " + std::to_string(sprite.Group) + "  Image: " + std::to_string(sprite.Image);
}

std::string SpriteDetailsText(const StageModel& stage, int row) {
    if (row < 0 || row >= static_cast<int>(stage.Sprites.size()) || row >= stage.SpriteCount) return {};
    const SpriteEntry& sprite = stage.Sprites[static_cast<size_t>(row)];
    return "Size: " + std::to_string(sprite.Width) + " x " + std::to_string(sprite.Height) +
           "  Axis: " + std::to_string(sprite.AxisX) + ", " + std::to_string(sprite.AxisY);
}

int FindSpriteRow(const StageModel& stage, int group, int image) {
    for (size_t i = 0; i < stage.Sprites.size(); ++i)
        if (stage.Sprites[i].Group == group && stage.Sprites[i].Image == image) return static_cast<int>(i);
    return -1;
}

std::string PngFileName(const std::string& typed) {
    const std::string name = FileNameOf(typed);
    return name.find('.') == std::string::npos ? typed + ".png" : typed;
}

bool SaveShownSprite(SpriteBrowserState& browser, const StageModel& stage, const std::string& path) {
    const int row = ShownSpriteRow(browser, stage);
    if (row < 0 || path.empty()) return false;
    // From the sprite file itself rather than the view's 16-bit bitmap: its own indices and palette,
    // exact colours, and colour 0 transparent where the stage draws it masked.
    const auto file = ReadFileBytes(stage.SpriteFile, kMaxSffFileBytes);
    if (!file) return false;
    const auto sprite = DecodeSffSpriteIndexed(*file, static_cast<size_t>(row));
    if (!sprite) return false;
    std::string error;
    return SaveIndexedPng(PngFileName(path), *sprite, stage.Sprites[static_cast<size_t>(row)].Mask == 1,
                          error);
}

}  // namespace qb

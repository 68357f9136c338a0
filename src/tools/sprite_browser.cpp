#include "tools/sprite_browser.h"

#include <algorithm>

#include "platform/gfx.h"

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
    const int last = SpriteRows(stage) - 1;
    browser.Max = std::min(browser.Max, last);
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

int FindSpriteRow(const StageModel& stage, int group, int image) {
    for (size_t i = 0; i < stage.Sprites.size(); ++i)
        if (stage.Sprites[i].Group == group && stage.Sprites[i].Image == image) return static_cast<int>(i);
    return -1;
}

bool SaveShownSprite(SpriteBrowserState& browser, const StageModel& stage, const std::string& path) {
    const int row = ShownSpriteRow(browser, stage);
    if (row < 0 || stage.Sprites[static_cast<size_t>(row)].Bitmap == nullptr) return false;
    return SavePng(path, stage.Sprites[static_cast<size_t>(row)].Bitmap);
}

}  // namespace qb

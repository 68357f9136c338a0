#include "tools/sprite_browser.h"

#include <algorithm>
#include <array>

#include "platform/gfx.h"
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
    return "(" + std::to_string(row + 1) + "/" + std::to_string(browser.Max + 1) +
           ")  Group: " + std::to_string(sprite.Group) + "  Image: " + std::to_string(sprite.Image);
}

std::string SpriteFileNameFor(SpriteBrowserState& browser, const StageModel& stage) {
    const int row = ShownSpriteRow(browser, stage);
    if (row < 0) return {};
    const SpriteEntry& sprite = stage.Sprites[static_cast<size_t>(row)];
    std::string base = stage.SpriteFile.substr(stage.SpriteFile.find_last_of("/\\") + 1);
    if (const size_t dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.resize(dot);
    if (base.empty()) base = "sprite";
    return base + "-" + std::to_string(sprite.Group) + "-" + std::to_string(sprite.Image) + ".png";
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

std::optional<SpriteRgba> SpritePixels(const StageModel& stage, int row) {
    if (row < 0 || row >= static_cast<int>(stage.Sprites.size())) return std::nullopt;
    const SpriteEntry& sprite = stage.Sprites[static_cast<size_t>(row)];
    SpriteRgba out;
    if (const Sff2Picture* picture = sprite.Picture.get()) {
        const size_t n = static_cast<size_t>(std::max(picture->width, 0)) * static_cast<size_t>(std::max(picture->height, 0));
        if (n == 0 || picture->size < (picture->rgba ? n * 4 : n)) return std::nullopt;
        out.Width = picture->width;
        out.Height = picture->height;
        if (picture->rgba) {
            out.Bytes.assign(picture->bytes.get(), picture->bytes.get() + n * 4);
            return out;
        }
        std::array<uint8_t, 1024> colours{};
        for (size_t i = 0; i < 256; ++i) {
            if (sprite.Colours) {
                std::copy_n(&sprite.Colours->rgba[i * 4], 4, &colours[i * 4]);
            } else {  // no palette: a grey ramp
                colours[i * 4] = colours[i * 4 + 1] = colours[i * 4 + 2] = static_cast<uint8_t>(i);
                colours[i * 4 + 3] = 255;
            }
        }
        if (sprite.Mask == 1) colours[3] = 0;
        out.Bytes.resize(n * 4);
        for (size_t k = 0; k < n; ++k) std::copy_n(&colours[size_t{picture->bytes[k]} * 4], 4, &out.Bytes[k * 4]);
        return out;
    }
    if (!sprite.Bitmap) return std::nullopt;
    out.Width = BitmapWidth(sprite.Bitmap);
    out.Height = BitmapHeight(sprite.Bitmap);
    if (out.Width <= 0 || out.Height <= 0) return std::nullopt;
    out.Bytes.reserve(static_cast<size_t>(out.Width) * static_cast<size_t>(out.Height) * 4);
    for (int y = 0; y < out.Height; ++y) {
        const uint16_t* line = BitmapRow(static_cast<const BITMAP*>(sprite.Bitmap), y);
        for (int x = 0; x < out.Width; ++x) {
            const uint16_t c = line[x];
            const int r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
            out.Bytes.insert(out.Bytes.end(), {static_cast<uint8_t>(r * 255 / 31), static_cast<uint8_t>(g * 255 / 63),
                                               static_cast<uint8_t>(b * 255 / 31),
                                               static_cast<uint8_t>(c == kMaskColor ? 0 : 255)});
        }
    }
    return out;
}

std::string PngFileName(const std::string& typed) {
    const std::string name = FileNameOf(typed);
    return name.find('.') == std::string::npos ? typed + ".png" : typed;
}

bool SaveShownSprite(SpriteBrowserState& browser, const StageModel& stage, const std::string& path) {
    const int row = ShownSpriteRow(browser, stage);
    if (row < 0 || path.empty()) return false;
    std::string error;
    if (stage.Sprites[static_cast<size_t>(row)].Picture) {
        const auto pixels = SpritePixels(stage, row);
        return pixels && SaveRgbaPng(PngFileName(path), pixels->Width, pixels->Height, pixels->Bytes, error);
    }
    // From the sprite file itself rather than the view's 16-bit bitmap: its own indices and palette,
    // exact colours, and colour 0 transparent where the stage draws it masked.
    const auto file = ReadFileBytes(stage.SpriteFile, kMaxSffFileBytes);
    if (!file) return false;
    const auto sprite = DecodeSffSpriteIndexed(*file, static_cast<size_t>(row));
    if (!sprite) return false;
    return SaveIndexedPng(PngFileName(path), *sprite, stage.Sprites[static_cast<size_t>(row)].Mask == 1,
                          error);
}

}  // namespace qb

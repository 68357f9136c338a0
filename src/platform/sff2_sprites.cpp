#include "platform/sff2_sprites.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <utility>

#include "platform/gfx.h"

namespace qb {

namespace {

constexpr size_t kMaxOwnerIndex = 32767;

uint16_t To565(uint8_t r, uint8_t g, uint8_t b) {
    uint16_t c = static_cast<uint16_t>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
    // An ordinary colour that happens to be magenta would vanish under masked drawing.
    if (c == kMaskColor) c ^= 0x0020;
    return c;
}

}  // namespace

UniqueBitmap BitmapFromSff2(const Sff2Picture& picture, const Sff2Colours* colours, bool masked) {
    const size_t n = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height);
    if (picture.width <= 0 || picture.height <= 0 || picture.size < (picture.rgba ? n * 4 : n)) return nullptr;
    UniqueBitmap bitmap = CreateBitmap(picture.width, picture.height);
    if (!bitmap) return nullptr;
    const uint8_t* src = picture.bytes.get();
    if (picture.rgba) {
        for (int y = 0; y < picture.height; ++y) {
            uint16_t* row = BitmapRow(bitmap.get(), y);
            for (int x = 0; x < picture.width; ++x, src += 4)
                row[x] = src[3] < 128 ? static_cast<uint16_t>(kMaskColor) : To565(src[0], src[1], src[2]);
        }
        return bitmap;
    }
    std::array<uint16_t, 256> table{};
    for (size_t i = 0; i < table.size(); ++i) {
        if (colours) {
            const uint8_t* c = &colours->rgba[i * 4];
            table[i] = c[3] < 128 ? static_cast<uint16_t>(kMaskColor) : To565(c[0], c[1], c[2]);
        } else {
            const auto v = static_cast<uint8_t>(i);
            table[i] = To565(v, v, v);
        }
    }
    if (masked) table[0] = static_cast<uint16_t>(kMaskColor);
    for (int y = 0; y < picture.height; ++y) {
        uint16_t* row = BitmapRow(bitmap.get(), y);
        for (int x = 0; x < picture.width; ++x) row[x] = table[*src++];
    }
    return bitmap;
}

bool DecodeCharSprites2(std::string_view file, SpriteTable& table, const std::vector<CharSpriteRequest>& requests,
                        int32_t highestIndex, size_t maxDecodedBytes) {
    const auto index = ReadSff2(file);
    if (!index) return false;
    if (!a_allegro_init()) return false;

    size_t budget = maxDecodedBytes;
    std::map<uint32_t, std::shared_ptr<const Sff2Picture>> pictures;  // data node -> its picture
    std::map<uint32_t, std::shared_ptr<const Sff2Colours>> palettes;  // palette node -> its colours
    std::map<std::pair<uint32_t, uint32_t>, size_t> bitmapOwner;     // (data node, palette node) -> entry

    auto pictureOf = [&](uint32_t node) -> std::shared_ptr<const Sff2Picture> {
        if (auto found = pictures.find(node); found != pictures.end()) return found->second;
        auto picture = std::make_shared<Sff2Picture>();
        std::shared_ptr<const Sff2Picture> result;
        if (DecodeSff2Picture(file, *index, node, *picture, budget) == Sff2Error::None) result = std::move(picture);
        pictures.emplace(node, result);  // a damaged node is decoded once, and stays without a picture
        return result;
    };
    auto coloursOf = [&](uint32_t node) -> std::shared_ptr<const Sff2Colours> {
        if (node >= index->palettes.size()) return nullptr;
        if (auto found = palettes.find(node); found != palettes.end()) return found->second;
        auto colours = std::make_shared<Sff2Colours>();
        std::shared_ptr<const Sff2Colours> result;
        if (DecodeSff2Palette(file, *index, node, *colours) == Sff2Error::None) result = std::move(colours);
        palettes.emplace(node, result);
        return result;
    };

    const size_t limit = std::min({requests.size(), table.size(),
                                   static_cast<size_t>(std::max<int32_t>(highestIndex + 1, 0))});
    for (size_t k = 0; k < limit; ++k) {
        const CharSpriteRequest& r = requests[k];
        // Version 2 numbers are unsigned 16-bit: a request outside that range names no sprite.
        if (r.Group < 0 || r.Group > 0xFFFF || r.Image < 0 || r.Image > 0xFFFF) continue;
        const auto found = index->FindSprite(static_cast<uint16_t>(r.Group), static_cast<uint16_t>(r.Image));
        if (!found) continue;  // the entry stays fresh
        const Sff2SpriteNode& node = index->sprites[*found];
        SpriteEntry& e = table[k];
        e.Group = node.group;
        e.Image = static_cast<int16_t>(node.image);
        // The axis and palette are the requested node's own, also when it borrows a linked picture.
        e.AxisX = node.axisX;
        e.AxisY = node.axisY;
        e.Mask = 1;
        e.Owner = -1;
        e.Owned.reset();
        e.Bitmap = nullptr;
        e.Width = 0;
        e.Height = 0;
        e.Picture.reset();
        e.Colours.reset();
        const Sff2Source& source = index->spriteSources[*found];
        if (source.error != Sff2Error::None) continue;
        e.Picture = pictureOf(source.node);
        if (!e.Picture) continue;
        if (!e.Picture->rgba) e.Colours = coloursOf(node.palette);
        e.Width = static_cast<int16_t>(std::min(e.Picture->width, 0x7FFF));
        e.Height = static_cast<int16_t>(std::min(e.Picture->height, 0x7FFF));
        const std::pair<uint32_t, uint32_t> look{source.node, e.Picture->rgba ? 0u : node.palette};
        if (auto owner = bitmapOwner.find(look);
            owner != bitmapOwner.end() && owner->second <= kMaxOwnerIndex && table[owner->second].Bitmap) {
            e.Bitmap = table[owner->second].Bitmap;
            e.Owner = static_cast<int16_t>(owner->second);
            continue;
        }
        e.Owned = BitmapFromSff2(*e.Picture, e.Colours.get(), true);
        e.Bitmap = e.Owned.get();
        if (e.Bitmap) bitmapOwner[look] = k;
    }
    return true;
}

}  // namespace qb

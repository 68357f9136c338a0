#include "stage/sff2_stage_sprites.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/paths.h"
#include "platform/sff2_decoder.h"
#include "platform/sff2_file.h"
#include "platform/sff_decoder.h"
#include "stage/stage_loader.h"

namespace qb {

// Finds each row's runs of non-zero indices. Stage art is mostly wide runs or wide holes; a picture
// so speckled that its table would outweigh its own bytes keeps none and is drawn pixel by pixel.
void BuildOpaqueRuns(Sff2Picture& picture) {
    if (picture.rgba || picture.width <= 0 || picture.height <= 0 ||
        picture.width > std::numeric_limits<uint16_t>::max())
        return;
    const size_t w = static_cast<size_t>(picture.width), h = static_cast<size_t>(picture.height);
    const size_t limit = picture.size / sizeof(uint16_t);
    std::vector<uint32_t> rows;
    std::vector<uint16_t> runs;
    rows.reserve(h + 1);
    for (size_t y = 0; y < h; ++y) {
        rows.push_back(static_cast<uint32_t>(runs.size()));
        const uint8_t* row = picture.bytes.get() + y * w;
        size_t x = 0;
        while (x < w) {
            while (x < w && row[x] == 0) ++x;
            if (x == w) break;
            const size_t start = x;
            while (x < w && row[x] != 0) ++x;
            runs.push_back(static_cast<uint16_t>(start));
            runs.push_back(static_cast<uint16_t>(x));
        }
        if (runs.size() + rows.size() * 2 > limit) return;
    }
    rows.push_back(static_cast<uint32_t>(runs.size()));
    picture.runRows = std::move(rows);
    picture.runs = std::move(runs);
}

// The picture through its colours, or null when a colour past 0 is not opaque (those sprites blend
// and take the per-pixel path anyway).
std::shared_ptr<const std::vector<uint32_t>> ExpandIndexed(const Sff2Picture& picture,
                                                           const Sff2Colours& colours) {
    std::array<uint32_t, 256> lut{};
    for (size_t c = 0; c < 256; ++c) {
        const uint8_t* p = &colours.rgba[c * 4];
        if (c > 0 && p[3] != 255) return nullptr;
        lut[c] = 0xFF000000u | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
    }
    auto out = std::make_shared<std::vector<uint32_t>>(picture.size);
    const uint8_t* in = picture.bytes.get();
    uint32_t* to = out->data();
    for (size_t i = 0; i < picture.size; ++i) to[i] = lut[in[i]];
    return out;
}

int16_t IndexSff2StageSprites(std::string_view bytes, StageModel& stage, ErrorLog& log,
                              const std::string& filePath) {
    const std::string fileName = FileNameOf(filePath);
    SpriteTable& table = stage.Sprites;
    table.clear();
    std::string reason;
    std::optional<Sff2File> index = ReadSff2(bytes, &reason);
    if (!index) {
        log.Add(Problem{.kind = ProblemKind::UnreadableSpriteFile, .file = filePath, .text = reason});
        table.resize(1);
        return 0;
    }
    stage.SffMajor = index->header.version[3];
    stage.SffMinor = static_cast<uint8_t>(index->header.version[2] % 10 * 10 + index->header.version[1] % 10);
    const size_t count =
        std::min<size_t>(index->sprites.size(), static_cast<size_t>(std::numeric_limits<int16_t>::max()) - 1);
    table.resize(count + 1);

    // Decoded pictures by the node that holds the data, shared by every node that shows it; palettes
    // likewise by node.
    std::unordered_map<uint32_t, std::shared_ptr<const Sff2Picture>> pictures;
    std::unordered_map<uint32_t, std::shared_ptr<const Sff2Colours>> palettes;
    std::unordered_map<uint32_t, Sff2Error> failed;
    size_t budget = kMaxDecodedBytes;

    for (size_t k = 0; k < count; ++k) {
        const Sff2SpriteNode& node = index->sprites[k];
        SpriteEntry& entry = table[k];
        entry.Group = node.group;
        entry.Image = static_cast<int16_t>(node.image);
        entry.AxisX = node.axisX;
        entry.AxisY = node.axisY;
        entry.Width = static_cast<int16_t>(std::min<int>(node.width, std::numeric_limits<int16_t>::max()));
        entry.Height = static_cast<int16_t>(std::min<int>(node.height, std::numeric_limits<int16_t>::max()));
        entry.Owner = -1;
        // A later node with the same numbers is never shown: not decoding it keeps the budget for
        // sprites a stage can use.
        std::optional<size_t> first = index->FindSprite(node.group, node.image);
        if (!first || *first != k) continue;

        const Sff2Source& source = index->spriteSources[k];
        Sff2Error error = source.error;
        std::shared_ptr<const Sff2Picture> picture;
        if (error == Sff2Error::None) {
            auto done = pictures.find(source.node);
            if (done != pictures.end()) {
                picture = done->second;
            } else if (auto bad = failed.find(source.node); bad != failed.end()) {
                error = bad->second;
            } else {
                auto decoded = std::make_shared<Sff2Picture>();
                error = DecodeSff2Picture(bytes, *index, source.node, *decoded, budget);
                if (error == Sff2Error::None) {
                    BuildOpaqueRuns(*decoded);
                    picture = decoded;
                    pictures.emplace(source.node, picture);
                } else {
                    failed.emplace(source.node, error);
                }
            }
        }
        if (!picture) {
            log.Add(Problem{.kind = ProblemKind::DamagedSprite,
                            .file = filePath,
                            .text = std::to_string(node.group) + "," + std::to_string(node.image) + " in " +
                                    fileName + ": " + std::string(Sff2ErrorCode(error))});
            continue;
        }
        entry.Width =
            static_cast<int16_t>(std::min(picture->width, int(std::numeric_limits<int16_t>::max())));
        entry.Height =
            static_cast<int16_t>(std::min(picture->height, int(std::numeric_limits<int16_t>::max())));
        entry.Picture = picture;
        if (picture->rgba) continue;
        // Indexed pictures draw through the palette their own node names (a linked node keeps its own).
        if (node.palette < index->palettes.size()) {
            auto done = palettes.find(node.palette);
            if (done == palettes.end()) {
                auto colours = std::make_shared<Sff2Colours>();
                if (DecodeSff2Palette(bytes, *index, node.palette, *colours) != Sff2Error::None)
                    colours = std::make_shared<Sff2Colours>();
                done = palettes.emplace(node.palette, std::move(colours)).first;
            }
            entry.Colours = done->second;
        }
        if (!entry.Colours) {
            // A palette index past the table: the sprite still shows, in a grey ramp.
            auto grey = std::make_shared<Sff2Colours>();
            grey->count = 256;
            for (size_t c = 0; c < 256; ++c) {
                grey->rgba[c * 4] = grey->rgba[c * 4 + 1] = grey->rgba[c * 4 + 2] = static_cast<uint8_t>(c);
                grey->rgba[c * 4 + 3] = 255;
            }
            entry.Colours = grey;
        }
    }
    return static_cast<int16_t>(count);
}

void ExpandIndexedSprites(SpriteTable& table, const std::vector<uint8_t>& drawn) {
    // By picture and palette: linked sprites and sprites sharing a palette share their words. Their
    // bytes stay within four times the drawn pictures' indices (one expansion a picture, as most
    // stages have a single palette); past that a sprite draws through its colour table.
    std::map<std::pair<const void*, const void*>, std::shared_ptr<const std::vector<uint32_t>>> expanded;
    size_t budget = 0;
    std::set<const void*> counted;
    for (size_t k = 0; k < table.size() && k < drawn.size(); ++k) {
        const SpriteEntry& e = table[k];
        if (drawn[k] && e.Picture && !e.Picture->rgba && counted.insert(e.Picture.get()).second)
            budget += e.Picture->size * 4;
    }
    for (size_t k = 0; k < table.size() && k < drawn.size(); ++k) {
        SpriteEntry& e = table[k];
        if (!drawn[k] || !e.Picture || e.Picture->rgba || !e.Colours) continue;
        const auto key = std::make_pair(static_cast<const void*>(e.Picture.get()),
                                        static_cast<const void*>(e.Colours.get()));
        if (auto done = expanded.find(key); done != expanded.end()) {
            e.Expanded = done->second;
        } else if (e.Picture->size * 4 <= budget) {
            e.Expanded = ExpandIndexed(*e.Picture, *e.Colours);
            if (e.Expanded) budget -= e.Picture->size * 4;
            expanded.emplace(key, e.Expanded);
        }
    }
}

}  // namespace qb

#include "render/layer_stacks.h"

#include <algorithm>
#include <cstring>

#include "platform/sff2_decoder.h"
#include "stage/sff2_stage_sprites.h"

namespace qb {

namespace {

// Stacks kept at most, and the bytes they may take together (a pixel is an index and a colour); past
// either they are all made again as they are used (a stage has a few). A stack bigger than the
// budget alone is not made: its layers are drawn one by one.
constexpr size_t kMaxStacks = 16;
constexpr size_t kMaxStackBytes = size_t{64} << 20;

// The objects a stack is made from: each layer's picture, colours and words.
std::vector<const void*> Sources(const std::vector<const SpriteEntry*>& layers) {
    std::vector<const void*> from;
    for (const SpriteEntry* layer : layers) {
        from.push_back(layer->Picture.get());
        from.push_back(layer->Colours.get());
        from.push_back(layer->Expanded.get());
    }
    return from;
}

}  // namespace

bool CanStack(const SpriteEntry& a, const SpriteEntry& b) {
    for (const SpriteEntry* s : {&a, &b})
        if (!s->Picture || !s->Picture->bytes || s->Picture->rgba) return false;
    if (a.Picture->width != b.Picture->width || a.Picture->height != b.Picture->height) return false;
    // Every index of both pictures is read, whatever their headers claim.
    const size_t pixels = static_cast<size_t>(std::max(a.Picture->width, 0)) *
                          static_cast<size_t>(std::max(a.Picture->height, 0));
    if (a.Picture->size != pixels || b.Picture->size != pixels) return false;
    if (!a.Colours || !b.Colours) return !a.Colours && !b.Colours;
    return a.Colours == b.Colours || a.Colours->rgba == b.Colours->rgba;
}

const SpriteEntry* LayerStacks::Stack(const std::vector<const SpriteEntry*>& layers) {
    // A kept stack holds its layers' objects, so none of their addresses can have been reused.
    const std::vector<const void*> from = Sources(layers);
    for (const auto& kept : stacks_)
        if (std::equal(from.begin(), from.end(), kept->from.begin(), kept->from.end(),
                       [](const void* p, const std::shared_ptr<const void>& q) { return p == q.get(); }))
            return &kept->entry;
    const Sff2Picture& first = *layers[0]->Picture;
    const size_t bytes = first.size * 5;
    if (bytes > kMaxStackBytes) return nullptr;
    if (stacks_.size() >= kMaxStacks || bytes_ + bytes > kMaxStackBytes) {
        stacks_.clear();
        bytes_ = 0;
    }
    bytes_ += bytes;

    auto picture = std::make_shared<Sff2Picture>();
    picture->width = first.width;
    picture->height = first.height;
    picture->size = first.size;
    picture->bytes = std::make_unique_for_overwrite<uint8_t[]>(first.size);
    uint8_t* indices = picture->bytes.get();
    std::memcpy(indices, first.bytes.get(), first.size);
    const bool words = std::all_of(layers.begin(), layers.end(), [&](const SpriteEntry* l) {
        return l->Expanded && l->Expanded->size() == first.size;
    });
    std::shared_ptr<std::vector<uint32_t>> expanded;
    if (words) expanded = std::make_shared<std::vector<uint32_t>>(*layers[0]->Expanded);
    for (size_t l = 1; l < layers.size(); ++l) {
        const uint8_t* over = layers[l]->Picture->bytes.get();
        const uint32_t* overWords = words ? layers[l]->Expanded->data() : nullptr;
        for (size_t i = 0; i < first.size; ++i) {
            if (over[i] == 0) continue;
            indices[i] = over[i];
            if (overWords) (*expanded)[i] = overWords[i];
        }
    }
    BuildOpaqueRuns(*picture);
    auto stacked = std::make_unique<Stacked>();
    for (const SpriteEntry* layer : layers)
        stacked->from.insert(stacked->from.end(), {layer->Picture, layer->Colours, layer->Expanded});
    stacked->entry.Picture = std::move(picture);
    stacked->entry.Colours = layers.back()->Colours;
    stacked->entry.Expanded = std::move(expanded);
    stacked->entry.Width = layers[0]->Width;
    stacked->entry.Height = layers[0]->Height;
    stacks_.push_back(std::move(stacked));
    return &stacks_.back()->entry;
}

}  // namespace qb

#pragma once
// Stage art often splits one plane into several layers with the same start, delta and tiling
// (mountains and the snow on them; grass, trees and houses): they land on the same pixels every frame.
// Drawn one by one, each layer's colours are read and written where they overlap; stacked once into
// one sprite, they are one copy a frame and the picture is the same.
#include <memory>
#include <vector>

#include "platform/sprite_table.h"

namespace qb {

// Whether two sprites stack: indexed pictures of the same size (as their headers say) drawn through
// the same colours. Drawn as a copy masked by colour 0 with every other colour opaque, a pixel of their
// stack shows the frontmost layer whose index there is not 0.
bool CanStack(const SpriteEntry& a, const SpriteEntry& b);

// The stacked sprites of a stage's passes, made on first use and kept while the layers' pictures and
// colours are the same objects (a reload or an edit brings new ones, and a new stack).
class LayerStacks {
public:
    // `layers` (back first, at least two, each pair CanStack) as one sprite: Picture, Colours and
    // Expanded only, each pixel from the frontmost layer whose index there is not 0. Null when the
    // stack would be too big to keep.
    const SpriteEntry* Stack(const std::vector<const SpriteEntry*>& layers);
    size_t Count() const { return stacks_.size(); }

private:
    struct Stacked {
        std::vector<std::shared_ptr<const void>> from;  // each layer's picture, colours and words
        SpriteEntry entry;
    };
    std::vector<std::unique_ptr<Stacked>> stacks_;
    size_t bytes_ = 0;
};

}  // namespace qb

#pragma once
// The element list beside the editor: the stage's elements as a tree, the back layer and the front
// layer each a row with its elements under it, and a position-linked element under the element it
// is linked to (the one before it in the file, whose delta and velocity it takes).
#include <cstdint>
#include <string>
#include <vector>

#include "render/element_preview.h"
#include "stage/stage_model.h"

namespace qb {

struct ElementTreeRow {
    int16_t Element = -1;  // -1: the row of a layer
    ElementLayer Layer = ElementLayer::Back;
    int Parent = -1;  // the row it sits under (-1 for a layer's row)
    int Depth = 0;    // 0 a layer, 1 an element in it, 2 and deeper a linked one
    // The section's name ("[BG sky]" gives "sky"); "#n" (n counting from 1, as the editor's caption
    // counts) for a section without one. Empty for a layer's row.
    std::string Name;
    bool operator==(const ElementTreeRow&) const = default;
};

// The rows in the order the list shows them: the back layer's row, its elements in drawing order,
// each followed by the elements linked to it; then the front layer's. A link to an element of the
// other layer, to itself or round in a circle (an edited table) places the element in its own layer
// instead, so every element has exactly one row.
std::vector<ElementTreeRow> BuildElementTree(const StageModel& stage);

// The name the list gives element `index`.
std::string ElementListName(const StageModel& stage, size_t index);

}  // namespace qb

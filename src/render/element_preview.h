#pragma once
// The element list's hide and solo switches: what the preview draws, never what the stage file
// says. The switches belong to the editing session; the stage model stays as the file gives it.
#include <array>
#include <cstdint>
#include <vector>

#include "stage/stage_model.h"

namespace qb {

// The element list's two top rows: the back layer (drawn behind the fighters) and the front one.
enum class ElementLayer : uint8_t { Back = 0, Front = 1 };
// The pass that picks an element first: any layerno but 0 draws in front (as picking goes).
ElementLayer LayerOf(const BgElement& element);

struct ElementPreview {
    // By element index; an element past the end of either has its switch off.
    std::vector<uint8_t> Hidden, Solo;
    std::array<uint8_t, 2> LayerHidden{}, LayerSolo{};  // by ElementLayer

    // Some switch is on: the renderer then asks PreviewShown.
    bool Active() const;
    bool IsHidden(size_t index) const { return index < Hidden.size() && Hidden[index] != 0; }
    bool IsSolo(size_t index) const { return index < Solo.size() && Solo[index] != 0; }
    void SetHidden(size_t index, bool on);
    void SetSolo(size_t index, bool on);
    // The table changed: element `a` and `b` changed places; `index` was removed.
    void Swap(size_t a, size_t b);
    void Remove(size_t index);
    void Clear() { *this = ElementPreview{}; }
};

// For each element, the element the list shows it under: the one it is position-linked to when
// that is in the same layer (-1: directly under its layer). A link to itself or round a circle (an
// edited table) is cut, so every walk up ends.
std::vector<int> ListParents(const StageModel& stage);

// For each element, whether the preview draws it. A switch acts on its row and everything under it
// in the list: a layer's on its elements, an element's on the elements position-linked to it in the
// same layer (they move as one piece, and an author hides the piece). Hidden wins: an element under a hidden
// row is not drawn. While any row is soloed only the elements under a soloed row are drawn.
std::vector<uint8_t> PreviewShown(const StageModel& stage, const ElementPreview& preview);

}  // namespace qb

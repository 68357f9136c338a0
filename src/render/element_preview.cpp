#include "render/element_preview.h"

#include <algorithm>

namespace qb {

ElementLayer LayerOf(const BgElement& element) {
    return element.LayerNo != 0 ? ElementLayer::Front : ElementLayer::Back;
}

bool ElementPreview::Active() const {
    const auto on = [](uint8_t v) { return v != 0; };
    return std::any_of(Hidden.begin(), Hidden.end(), on) || std::any_of(Solo.begin(), Solo.end(), on) ||
           std::any_of(LayerHidden.begin(), LayerHidden.end(), on) ||
           std::any_of(LayerSolo.begin(), LayerSolo.end(), on);
}

namespace {
void Set(std::vector<uint8_t>& flags, size_t index, bool on) {
    if (index >= flags.size()) {
        if (!on) return;
        flags.resize(index + 1, 0);
    }
    flags[index] = on ? 1 : 0;
}
void SwapIn(std::vector<uint8_t>& flags, size_t a, size_t b) {
    const size_t high = std::max(a, b);
    if (high >= flags.size()) flags.resize(high + 1, 0);
    std::swap(flags[a], flags[b]);
}
void RemoveFrom(std::vector<uint8_t>& flags, size_t index) {
    if (index < flags.size()) flags.erase(flags.begin() + static_cast<std::ptrdiff_t>(index));
}
}  // namespace

void ElementPreview::SetHidden(size_t index, bool on) {
    Set(Hidden, index, on);
}
void ElementPreview::SetSolo(size_t index, bool on) {
    Set(Solo, index, on);
}
void ElementPreview::Swap(size_t a, size_t b) {
    SwapIn(Hidden, a, b);
    SwapIn(Solo, a, b);
}
void ElementPreview::Remove(size_t index) {
    RemoveFrom(Hidden, index);
    RemoveFrom(Solo, index);
}

std::vector<int> ListParents(const StageModel& stage) {
    const size_t count = stage.Elements.size();
    std::vector<int> parentOf(count, -1);
    for (size_t i = 0; i < count; ++i) {
        const BgElement& e = stage.Elements[i];
        if (e.PositionLink == 0 || e.LinkParent < 0 || static_cast<size_t>(e.LinkParent) >= count ||
            static_cast<size_t>(e.LinkParent) == i ||
            LayerOf(stage.Elements[static_cast<size_t>(e.LinkParent)]) != LayerOf(e))
            continue;
        parentOf[i] = e.LinkParent;
        // A walk up that does not end within the table goes round a circle: cut it here.
        int at = parentOf[i];
        for (size_t steps = 0; at >= 0 && steps <= count; ++steps) at = parentOf[static_cast<size_t>(at)];
        if (at >= 0) parentOf[i] = -1;
    }
    return parentOf;
}

std::vector<uint8_t> PreviewShown(const StageModel& stage, const ElementPreview& preview) {
    const size_t count = stage.Elements.size();
    std::vector<uint8_t> shown(count, 1);
    bool anySolo =
        std::any_of(preview.LayerSolo.begin(), preview.LayerSolo.end(), [](uint8_t v) { return v != 0; });
    for (size_t i = 0; i < count && !anySolo; ++i) anySolo = preview.IsSolo(i);
    const std::vector<int> parentOf = ListParents(stage);
    for (size_t i = 0; i < count; ++i) {
        const auto layer = static_cast<size_t>(LayerOf(stage.Elements[i]));
        bool hidden = preview.LayerHidden[layer] != 0;
        bool solo = preview.LayerSolo[layer] != 0;
        for (int at = static_cast<int>(i); at >= 0; at = parentOf[static_cast<size_t>(at)]) {
            hidden = hidden || preview.IsHidden(static_cast<size_t>(at));
            solo = solo || preview.IsSolo(static_cast<size_t>(at));
        }
        shown[i] = !hidden && (!anySolo || solo) ? 1 : 0;
    }
    return shown;
}

}  // namespace qb

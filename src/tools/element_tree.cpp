#include "tools/element_tree.h"

namespace qb {

std::string ElementListName(const StageModel& stage, size_t index) {
    if (index >= stage.Elements.size()) return {};
    const std::string& name = stage.Elements[index].Name;
    // The parser names a header without a blank ("[BG]") "No name".
    if (name.empty() || name == "No name") return "#" + std::to_string(index + 1);
    return name;
}

std::vector<ElementTreeRow> BuildElementTree(const StageModel& stage) {
    const size_t count = stage.Elements.size();
    const std::vector<int> parentOf = ListParents(stage);
    std::vector<std::vector<size_t>> children(count);
    for (size_t i = 0; i < count; ++i)
        if (parentOf[i] >= 0) children[static_cast<size_t>(parentOf[i])].push_back(i);

    std::vector<ElementTreeRow> rows;
    rows.reserve(count + 2);
    for (ElementLayer layer : {ElementLayer::Back, ElementLayer::Front}) {
        const int layerRow = static_cast<int>(rows.size());
        rows.push_back(ElementTreeRow{-1, layer, -1, 0, {}});
        // Depth first without recursion: a chain may be as long as the table.
        struct Visit {
            size_t element;
            int parentRow;
            int depth;
        };
        std::vector<Visit> stack;
        for (size_t r = count; r-- > 0;)
            if (parentOf[r] < 0 && LayerOf(stage.Elements[r]) == layer) stack.push_back({r, layerRow, 1});
        while (!stack.empty()) {
            const Visit v = stack.back();
            stack.pop_back();
            const int row = static_cast<int>(rows.size());
            rows.push_back(ElementTreeRow{static_cast<int16_t>(v.element), layer, v.parentRow, v.depth,
                                          ElementListName(stage, v.element)});
            const auto& kids = children[v.element];
            for (size_t k = kids.size(); k-- > 0;) stack.push_back({kids[k], row, v.depth + 1});
        }
    }
    return rows;
}

}  // namespace qb

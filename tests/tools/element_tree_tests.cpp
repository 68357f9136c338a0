#include "tools/element_tree.h"

#include <gtest/gtest.h>

namespace qb {
namespace {

TEST(ElementTree, LayersHoldTheirElementsAndLinkedChainsSitUnderTheirParents) {
    StageModel stage;
    const auto add = [&stage](const char* name, int16_t layer, int16_t linkTo = -1) {
        BgElement e;
        e.Name = name;
        e.LayerNo = layer;
        if (linkTo >= 0) e.PositionLink = 1, e.LinkParent = linkTo;
        stage.Elements.push_back(e);
    };
    add("sky", 0);      // 0
    add("No name", 1);  // 1: "[BG]" has no name
    add("hill", 0);     // 2
    add("tree", 0, 2);  // 3: linked to hill
    add("leaf", 0, 3);  // 4: linked to tree
    add("", 0);         // 5
    add("lamp", 1, 2);  // 6: linked across layers: in its own layer
    add("self", 0, 7);  // 7: linked to itself
    using R = ElementTreeRow;
    const ElementLayer back = ElementLayer::Back, front = ElementLayer::Front;
    const std::vector<R> expected = {
        {-1, back, -1, 0, ""},   {0, back, 0, 1, "sky"},   {2, back, 0, 1, "hill"}, {3, back, 2, 2, "tree"},
        {4, back, 3, 3, "leaf"}, {5, back, 0, 1, "#6"},    {7, back, 0, 1, "self"}, {-1, front, -1, 0, ""},
        {1, front, 7, 1, "#2"},  {6, front, 7, 1, "lamp"},
    };
    EXPECT_EQ(BuildElementTree(stage), expected);

    // Links that go round a circle (an edited table): every element still has exactly one row.
    StageModel circle;
    circle.Elements.resize(3);
    for (int16_t i = 0; i < 3; ++i) circle.Elements[static_cast<size_t>(i)].PositionLink = 1;
    circle.Elements[0].LinkParent = 2;
    circle.Elements[1].LinkParent = 0;
    circle.Elements[2].LinkParent = 1;
    const std::vector<R> rows = BuildElementTree(circle);
    ASSERT_EQ(rows.size(), 5u);
    std::vector<int> seen(3, 0);
    for (const R& row : rows)
        if (row.Element >= 0) ++seen[static_cast<size_t>(row.Element)];
    EXPECT_EQ(seen, (std::vector<int>{1, 1, 1}));
}

}  // namespace
}  // namespace qb

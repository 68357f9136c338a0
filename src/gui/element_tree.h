#pragma once
// The element list beside the background editor: the core's tree of the stage's elements
// (tools/element_tree.h) with a hide and a solo box on every row. Choosing a row selects the element
// as a click in the view does; a selection made in the view is shown here.
#include <QTreeWidget>
#include <functional>
#include <vector>

#include "tools/element_tree.h"

namespace qb {
struct AppState;
}

namespace qb::gui {

class ElementTree : public QTreeWidget {
    Q_OBJECT
public:
    explicit ElementTree(AppState& state, QWidget* parent = nullptr);
    // Shows the stage's elements, switches and selection where they changed since the last call.
    void Refresh();
    // Told after a row's switch or the selection changed the core's state (the windows show it).
    void SetChangedHandler(std::function<void()> handler) { m_changed = std::move(handler); }

private:
    void Rebuild();
    void Changed(QTreeWidgetItem* item, int column);
    void Chosen();

    AppState& m_state;
    std::vector<ElementTreeRow> m_rows;
    std::vector<QTreeWidgetItem*> m_items;  // by row
    bool m_updating = false;
    std::function<void()> m_changed;
};

}  // namespace qb::gui

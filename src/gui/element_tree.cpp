#include "gui/element_tree.h"

#include <QHeaderView>
#include <algorithm>

#include "app/app_state.h"
#include "app/edit_commands.h"
#include "gui/qt_ui.h"
#include "gui/translation.h"

namespace qb::gui {

namespace {
constexpr int kNameColumn = 0, kHideColumn = 1, kSoloColumn = 2;
}  // namespace

ElementTree::ElementTree(AppState& state, QWidget* parent) : QTreeWidget(parent), m_state(state) {
    setObjectName(QStringLiteral("tvwElements"));
    setColumnCount(3);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setMinimumSize(240, 320);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(kNameColumn, QHeaderView::Stretch);
    header()->setSectionResizeMode(kHideColumn, QHeaderView::ResizeToContents);
    header()->setSectionResizeMode(kSoloColumn, QHeaderView::ResizeToContents);
    Retranslated(this, [this] {
        setHeaderLabels({ToolText("Elements"), ToolText("Hide"), ToolText("Solo")});
        headerItem()->setToolTip(kHideColumn,
                                 ToolText("Not drawn in the preview (the stage file is not changed)"));
        headerItem()->setToolTip(kSoloColumn, ToolText("Only soloed rows are drawn in the preview"));
        for (size_t r = 0; r < m_rows.size() && r < m_items.size(); ++r)
            if (m_rows[r].Element < 0)
                m_items[r]->setText(
                    kNameColumn,
                    ToolText(m_rows[r].Layer == ElementLayer::Back ? "Back layer" : "Front layer"));
    });
    connect(this, &QTreeWidget::itemChanged, this, &ElementTree::Changed);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &ElementTree::Chosen);
}

void ElementTree::Rebuild() {
    clear();
    m_items.clear();
    for (const ElementTreeRow& row : m_rows) {
        QTreeWidgetItem* parent = row.Parent >= 0 && static_cast<size_t>(row.Parent) < m_items.size()
                                      ? m_items[static_cast<size_t>(row.Parent)]
                                      : nullptr;
        auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);  // owned by the tree
        item->setText(kNameColumn, row.Element < 0 ? ToolText(row.Layer == ElementLayer::Back ? "Back layer"
                                                                                              : "Front layer")
                                                   : FromContentText(row.Name));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable |
                       (row.Element >= 0 ? Qt::ItemIsSelectable : Qt::NoItemFlags));
        item->setCheckState(kHideColumn, Qt::Unchecked);
        item->setCheckState(kSoloColumn, Qt::Unchecked);
        m_items.push_back(item);
    }
    expandAll();
}

void ElementTree::Refresh() {
    m_updating = true;
    std::vector<ElementTreeRow> rows = BuildElementTree(m_state.Stage);
    if (rows != m_rows || m_items.size() != rows.size()) {
        m_rows = std::move(rows);
        Rebuild();
    }
    const ElementPreview& preview = m_state.Edit.Preview;
    const int16_t selected = m_state.Edit.SelectedElement;
    QTreeWidgetItem* current = nullptr;
    for (size_t r = 0; r < m_rows.size(); ++r) {
        const ElementTreeRow& row = m_rows[r];
        QTreeWidgetItem* item = m_items[r];
        const auto layer = static_cast<size_t>(row.Layer);
        const bool hidden = row.Element < 0 ? preview.LayerHidden[layer] != 0
                                            : preview.IsHidden(static_cast<size_t>(row.Element));
        const bool solo = row.Element < 0 ? preview.LayerSolo[layer] != 0
                                          : preview.IsSolo(static_cast<size_t>(row.Element));
        const Qt::CheckState hide = hidden ? Qt::Checked : Qt::Unchecked;
        const Qt::CheckState only = solo ? Qt::Checked : Qt::Unchecked;
        if (item->checkState(kHideColumn) != hide) item->setCheckState(kHideColumn, hide);
        if (item->checkState(kSoloColumn) != only) item->setCheckState(kSoloColumn, only);
        if (row.Element >= 0 && row.Element == selected) current = item;
    }
    const QList<QTreeWidgetItem*> shown = selectedItems();
    if (current == nullptr && !shown.isEmpty()) {
        clearSelection();
    } else if (current != nullptr && (shown.size() != 1 || shown.front() != current)) {
        clearSelection();
        current->setSelected(true);
        scrollToItem(current);
    }
    m_updating = false;
}

void ElementTree::Changed(QTreeWidgetItem* item, int column) {
    if (m_updating || (column != kHideColumn && column != kSoloColumn)) return;
    const auto at = std::find(m_items.begin(), m_items.end(), item);
    if (at == m_items.end()) return;
    const ElementTreeRow& row = m_rows[static_cast<size_t>(at - m_items.begin())];
    const bool on = item->checkState(column) == Qt::Checked;
    if (row.Element < 0) {
        (column == kHideColumn ? SetLayerHidden : SetLayerSolo)(m_state, row.Layer, on);
    } else {
        (column == kHideColumn ? SetElementHidden : SetElementSolo)(m_state, row.Element, on);
    }
    if (m_changed) m_changed();
}

void ElementTree::Chosen() {
    if (m_updating) return;
    const QList<QTreeWidgetItem*> shown = selectedItems();
    if (shown.size() != 1) return;
    const auto at = std::find(m_items.begin(), m_items.end(), shown.front());
    if (at == m_items.end()) return;
    SelectListedElement(m_state, m_rows[static_cast<size_t>(at - m_items.begin())].Element);
    if (m_changed) m_changed();
}

}  // namespace qb::gui

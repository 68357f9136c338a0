#include "app/key_reference.h"

#include "app/menu_model.h"

namespace qb {

namespace {

// One row a key: a key the view reads added later is one more line here. The keys the menus show
// (shortcuts, and the view's own keys the speed and zoom items name) are not repeated: KeyReference
// takes them from the command table.
constexpr KeyTableRow kKeyTable[] = {
    {"Left / Right", "Move the camera (walk the test character while it is on)"},
    {"Up / Down", "Move the camera up and down"},
    {"Z / A", "Smaller / larger camera steps"},
    {"Pause", "Pause or run the stage"},
    {"Mouse wheel", "Zoom the camera in / out (stages with a zoom range)"},
    {"Drag (editor closed)", "Look around: the camera follows the picture"},
    {"Click (editor open)", "Select the element under the pointer"},
    {"Drag (editor open)", "Move the selected element"},
    {"Keypad + / - (element selected)", "Move the selected element to the front / back"},
    {"Insert (element selected)", "Clone the selected element"},
    {"Delete (element selected)", "Remove the selected element"},
    {"Escape", "Clear the selection; leave full screen"},
};

}  // namespace

std::span<const KeyTableRow> KeyTable() {
    return kKeyTable;
}

std::vector<KeyReferenceRow> KeyReference() {
    std::vector<KeyReferenceRow> rows;
    for (const KeyTableRow& row : kKeyTable) rows.push_back({row.keys, row.action, KeyTextSource::Keys});
    for (const MenuEntry& entry : MenuTable()) {
        const std::string key = *entry.shortcut != '\0' ? entry.shortcut : entry.keyHint;
        if (key.empty()) continue;
        if (*entry.tip != '\0')
            rows.push_back({key, entry.tip, KeyTextSource::Keys});
        else
            rows.push_back({key, entry.caption, KeyTextSource::Menu});
    }
    return rows;
}

}  // namespace qb

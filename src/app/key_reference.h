#pragma once
// Every key and mouse action of the program, for the Help menu's key reference: the keys the stage
// view reads itself (one row each in the table behind KeyTable) and the menu items' own shortcuts
// (from the command table), so a key added to either shows up without touching the window.
#include <span>
#include <string>
#include <vector>

namespace qb {

// Where a row's texts come from, and so which catalogue translates them.
enum class KeyTextSource {
    Keys,  // the key table: English source texts
    Menu,  // a menu item: its caption (and its key in Qt's portable key text)
};

struct KeyTableRow {
    const char* keys;    // as the user reads them: "Left / Right"
    const char* action;  // what they do
};

struct KeyReferenceRow {
    std::string keys;
    std::string action;
    KeyTextSource source = KeyTextSource::Keys;
    bool operator==(const KeyReferenceRow&) const = default;
};

// The keys and mouse actions the stage view reads itself.
std::span<const KeyTableRow> KeyTable();
// The whole reference: the key table's rows, then each menu item with a shortcut (its tooltip's
// text where it has one, else its caption) in menu order.
std::vector<KeyReferenceRow> KeyReference();

}  // namespace qb

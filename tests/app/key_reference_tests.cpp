// The key reference lists every key a user can press, from the key table and the command table.
#include <gtest/gtest.h>

#include <set>

#include "app/key_reference.h"
#include "app/menu_model.h"

namespace qb {
namespace {

TEST(KeyReference, ListsEveryKeyOfTheViewAndEveryMenuKeyOnce) {
    const std::vector<KeyReferenceRow> rows = KeyReference();
    std::multiset<std::string> keys;
    for (const KeyReferenceRow& row : rows) {
        keys.insert(row.keys);
        EXPECT_FALSE(row.action.empty()) << row.keys;
    }
    // The keys a user looks for: the view's own and the menus'.
    for (const char* wanted : {"Left / Right", "Up / Down", "Z / A", "PgUp", "PgDown", "Space", "Pause", ".", "[",
                               "]", "+", "-", "Mouse wheel", "Ctrl+0", "F8", "F11", "F1", "Escape",
                               "Drag (editor closed)", "Drag (editor open)", "Insert (element selected)",
                               "Delete (element selected)", "Keypad + / - (element selected)"})
        EXPECT_EQ(keys.count(wanted), 1u) << wanted;
    // Each menu key comes from the command table, so an item given a key later is listed too; an
    // item whose caption does not say what it does ("<<") is listed by its tip.
    for (const MenuEntry& entry : MenuTable()) {
        const std::string key = *entry.shortcut != '\0' ? entry.shortcut : entry.keyHint;
        if (key.empty()) continue;
        bool found = false;
        for (const KeyReferenceRow& row : rows)
            found = found || (row.keys == key && row.action == (*entry.tip != '\0' ? entry.tip : entry.caption));
        EXPECT_TRUE(found) << entry.name;
    }
    // No key is listed twice (a key in both tables would read as two meanings).
    for (const std::string& key : keys) EXPECT_EQ(keys.count(key), 1u) << key;
}

}  // namespace
}  // namespace qb

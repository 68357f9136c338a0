#pragma once
// Caption, check mark, enabled and visible state of every menu item, keyed by the item's control
// name. The Qt menu bar renders this state; commands change it.
#include <map>
#include <set>
#include <string>
#include <vector>

namespace qb {

struct MenuItemState {
    std::string Caption;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
    // The item's key in Qt's portable key text ("Ctrl+O", "F5"), or empty: the one place menus and
    // keys learn it from.
    std::string Shortcut;
    // Latin letter to offer as the access key where the caption's own mark cannot be typed, or 0.
    char AccessKey = 0;
    // Name of the submenu the item sits in, or empty.
    std::string Parent;
};

class MenuModel {
public:
    MenuModel();
    MenuItemState& Item(const std::string& name);
    const MenuItemState& Item(const std::string& name) const;
    bool Has(const std::string& name) const { return m_items.count(name) != 0; }
    bool Checked(const std::string& name) const { return Item(name).Checked; }
    void SetChecked(const std::string& name, bool on) { Item(name).Checked = on; Touch(); }
    // Toggles the check mark and answers the new state.
    bool Toggle(const std::string& name);
    void SetEnabled(const std::string& name, bool on) { Item(name).Enabled = on; Touch(); }
    void SetVisible(const std::string& name, bool on) { Item(name).Visible = on; Touch(); }
    void SetCaption(const std::string& name, const std::string& caption) { Item(name).Caption = caption; Touch(); }
    // True for an item that only opens a submenu of other items.
    bool IsSubmenu(const std::string& name) const { return m_submenus.count(name) != 0; }
    // Item names in menu-bar order.
    const std::vector<std::string>& Order() const { return m_order; }

    // Recent files: item 1 is the most recent. The separator (item 0) is visible while any exist.
    std::vector<std::string> RecentFiles;

    // Bumped on every change so that a view can tell when to refresh.
    unsigned Revision() const { return m_revision; }
    void Touch() { ++m_revision; }

private:
    std::map<std::string, MenuItemState> m_items;
    std::vector<std::string> m_order;
    std::set<std::string> m_submenus;
    unsigned m_revision = 0;
};

}  // namespace qb

#pragma once
// Caption, check mark, enabled and visible state of every menu item, keyed by the item's control
// name. The Qt menu bar renders this state; commands change it.
#include <map>
#include <string>
#include <vector>

namespace qb {

struct MenuItemState {
    std::string Caption;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
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
    unsigned m_revision = 0;
};

}  // namespace qb

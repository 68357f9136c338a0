#pragma once
// The command table behind the menus: each item declared once (name, caption, kind, key, what it
// runs, when it is enabled, checked and visible, and the setting of the configuration it stores).
// The menu model the Qt menu bar renders is computed from the table and AppState, so no check mark
// or enabled flag is ever stored and none can go stale.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/config.h"

namespace qb {

struct AppState;
struct Options;

// The menus' own state (MenuState, the recent-file items) is the stage session's:
// session/session_state.h.
enum class MenuKind {
    Command,
    Check,      // a check mark that follows a setting or a state
    Radio,      // one of a group in a submenu: exactly one is checked
    DropDown,   // a drop-down menu of the bar: the items after it sit in it
    Submenu,    // opens the items that name it as their parent
    Separator,  // a line ("-")
};

struct MenuEntry {
    const char* name;     // the control name (mnuInfo), also the Qt object name
    const char* caption;  // as the window holds it; "&" marks the access key
    MenuKind kind = MenuKind::Command;
    // The key that runs the item wherever the window has the keyboard, in Qt's portable key text
    // ("Ctrl+O"); shown beside the caption. None of them may be one of the keys the stage view polls
    // (arrows, Z, A, ".", "[", "]", Escape, Delete, Insert, Pause): a shortcut takes its key first.
    const char* shortcut = "";
    // Latin access key shown after a caption whose own mark cannot be typed (a blank or a Chinese
    // character), as "(&O)".
    char access = 0;
    // The submenu the item sits in; empty for the two drop-down menus and the bar.
    const char* parent = "";
    // What a click runs; null: nothing (the item is only shown). A Check item bound to a switch
    // without a command of its own toggles the switch.
    void (*run)(AppState&) = nullptr;
    bool (*enabled)(const AppState&) = nullptr;  // null: always
    bool (*checked)(const AppState&) = nullptr;  // null: the option's value, or never
    bool (*visible)(const AppState&) = nullptr;  // null: always
    // A caption that follows the state (empty: the given caption); null: the given caption.
    std::string (*liveCaption)(const AppState&) = nullptr;
    // The setting the item stores in the configuration (app/config.h), or None. A Switch setting is
    // the item's check mark, and a click without a command of its own toggles it.
    Setting setting = Setting::None;
    // A second key for the same command, where desktops differ ("Ctrl+Y" beside "Ctrl+Shift+Z").
    const char* alsoShortcut = "";
    // What the item does with its key, for a tooltip and the key reference (an item whose caption
    // alone does not say it: "<<"); English source text.
    const char* tip = "";
    // A key the stage view reads itself that does what the item does: shown in the key column but
    // never bound (a shortcut would take the key from the view).
    const char* keyHint = "";
};

// The items in menu-bar order.
std::span<const MenuEntry> MenuTable();
// The item of this name, or null.
const MenuEntry* FindMenuEntry(std::string_view name);
// The switch of Options the item's setting is, or null.
bool Options::*MenuSwitch(const MenuEntry& entry);
// Runs the item's command; false for an item that runs nothing.
bool RunMenuEntry(const MenuEntry& entry, AppState& state);
// Runs the command of the menu item with this control name. Answers false for an item with no
// command (the submenus, separators, mnuReset, mnuInstall). mnuR draws its random number from the
// clock.
bool MenuCommand(AppState& state, const std::string& itemName);

struct MenuItemState {
    std::string Caption;
    bool Checked = false;
    bool Enabled = true;
    bool Visible = true;
    std::string Shortcut;
    std::string AlsoShortcut;
    char AccessKey = 0;
    std::string Parent;
    MenuKind Kind = MenuKind::Command;
    std::string Tip;
    std::string KeyHint;
    bool operator==(const MenuItemState&) const = default;
};

// Caption, check mark, enabled and visible state of every item, computed from the state: what the
// menus show now. The window computes it once per event-loop turn and renders what differs.
class MenuModel {
public:
    // The menus of a program that has not started (a fresh AppState).
    MenuModel();
    explicit MenuModel(const AppState& state);
    const MenuItemState& Item(const std::string& name) const;
    bool Has(const std::string& name) const { return FindMenuEntry(name) != nullptr; }
    bool Checked(const std::string& name) const { return Item(name).Checked; }
    // True for an item that only opens a submenu of other items.
    bool IsSubmenu(const std::string& name) const;
    // Item names in menu-bar order.
    static const std::vector<std::string>& Order();
    bool operator==(const MenuModel&) const = default;

private:
    std::vector<MenuItemState> m_items;  // in table order
};

}  // namespace qb

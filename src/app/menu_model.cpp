#include "app/menu_model.h"

#include <stdexcept>

namespace qb {

namespace {

struct InitialItem {
    const char* name;
    const char* caption;
    bool checked;
    bool enabled;
    bool visible;
    // The key that runs the item wherever the window has the keyboard, in Qt's portable key text
    // ("Ctrl+O"); shown beside the caption. None of them may be one of the keys the stage view polls
    // (arrows, Z, A, ".", "[", "]", Escape, Delete, Insert, Pause): a shortcut takes its key first.
    const char* shortcut = "";
    // Latin access key shown after a caption whose own mark cannot be typed (a blank or a Chinese
    // character), as "(&O)".
    char access = 0;
    // The submenu the item sits in; empty for the two drop-down menus and the bar.
    const char* parent = "";
};

// Captions exactly as the window holds them; "&" marks the access key. The Options menu keeps the
// given items first and in their order; what was added later sits in the submenus after them, so
// the menu fits a 768-pixel screen.
constexpr InitialItem kInitialItems[] = {
    {"mnuStage", "& 背景", false, true, true, "", 'S'},
    {"mnuOpen", "& 打开", false, true, true, "Ctrl+O", 'O'},
    {"mnuClose", "& 关闭", false, true, true, "Ctrl+W", 'C'},
    {"mnuReset", "&重置背景", false, false, true, "", 'S'},
    {"mnuReload", "刷&新背景", false, true, true, "F5", 'R'},
    {"mnuDelete", "&删除背景", false, true, true, "", 'D'},
    {"MnuRecentFiles", "-", false, true, false},
    {"mnubla", "-", false, true, true},
    {"mnuExit", "&退出", false, true, true, "Ctrl+Q", 'X'},
    {"mnuOptions", "& 选项", false, true, true, "", 'O'},
    {"mnuFS", "&全屏（ESC退出）", false, false, true, "F11", 'F'},
    {"mnuMusic", "&音乐", true, true, true, "", 'M'},
    {"mnuChangeMusic", "更改音乐&", false, true, true, "", 'H'},
    {"mnuChar", "&使用测试人物", false, true, true, "", 'U'},
    {"mnuChange", "&更改人物", false, true, true, "", 'C'},
    {"mnuFPS", "FPS & 限制器", true, true, true, "", 'L'},
    {"mnuInfo", "显示 &信息", false, true, true, "", 'I'},
    {"mnuMScroll", "Mouse &Scroll", false, false, false},
    {"mnuDeform", "&Deform", false, false, false},
    {"mnuDebugBG", "调&试  BG", false, true, true, "", 'G'},
    {"mnuInstall", "&Install to MUGEN", false, false, false},
    {"mnuError", "显示 &错误日志", false, true, true, "Ctrl+L", 'E'},
    {"mnuNotepad", "用记事本打开DEF&文件", false, true, true, "", 'T'},
    {"mnuPause", "& 暂停", false, true, true, "Space", 'P'},
    {"mnuSnapshot", "快照", false, true, true, "F8", 'N'},
    // Opens the background editor frmBG (new; the editor had no way to be opened).
    {"mnuBgEditor", "背景&编辑器...", false, true, true, "Ctrl+E", 'B'},
    // View scale of the stage view, one check item per whole-number scale (new).
    {"mnuScaleMenu", "缩放", false, true, true, "", 'Z'},
    {"mnuScale1", "1x", false, true, true, "", 0, "mnuScaleMenu"},
    {"mnuScale2", "2x", true, true, true, "", 0, "mnuScaleMenu"},
    {"mnuScale3", "3x", false, true, true, "", 0, "mnuScaleMenu"},
    {"mnuScale4", "4x", false, true, true, "", 0, "mnuScaleMenu"},
    // One frame while paused, and the run speed (new).
    {"mnuSpeedMenu", "速度与单步", false, true, true, "", 'D'},
    {"mnuStep", "单步", false, false, true, "", 0, "mnuSpeedMenu"},
    {"mnuSpeed25", "速度 ¼x", false, true, true, "", 0, "mnuSpeedMenu"},
    {"mnuSpeed50", "速度 ½x", false, true, true, "", 0, "mnuSpeedMenu"},
    {"mnuSpeed100", "速度 1x", true, true, true, "", 0, "mnuSpeedMenu"},
    {"mnuSpeed200", "速度 2x", false, true, true, "", 0, "mnuSpeedMenu"},
    {"mnuSpeed400", "速度 4x", false, true, true, "", 0, "mnuSpeedMenu"},
    // Snapshot settings (new): PNG instead of PCX.
    {"mnuSnapshotMenu", "快照设置", false, true, true, "", 'A'},
    {"mnuSnapshotPng", "快照存为 PNG", false, true, true, "", 0, "mnuSnapshotMenu"},
    // Opens the snapshots folder in the desktop's file manager (new).
    {"mnuSnapshotFolder", "打开快照文件夹", false, true, true, "", 0, "mnuSnapshotMenu"},
    // Asks for the MUGEN directory again at any time (the first-run prompt was the only way), and
    // reloads the running stage when its files change on disk (new).
    {"mnuFilesMenu", "目录与刷新", false, true, true, "", 'R'},
    {"mnuMugenDir", "设置 &MUGEN 目录...", false, true, true, "", 0, "mnuFilesMenu"},
    {"mnuAutoReload", "文件改动时自动刷新", true, true, true, "", 0, "mnuFilesMenu"},
    // Language of the menus, tool windows and boxes (new): the captions as given, or English.
    {"mnuLanguageMenu", "语言", false, true, true, "", 'Y'},
    {"mnuLanguageZh", "中文", true, true, true, "", 0, "mnuLanguageMenu"},
    {"mnuLanguageEn", "English", false, true, true, "", 0, "mnuLanguageMenu"},
    {"mnuStageList", "&背景目录", false, true, true, "", 'L'},
    {"mnuStagePrev", "<<", false, true, true, "PgUp"},
    {"mnuStageNext", ">>", false, true, true, "PgDown"},
    {"mnuR", "R", false, true, true, "Ctrl+R"},
    // Visible (new): it opens the sprite browser, which has no other way in.
    {"mnuDebug", "&Debug", false, false, true},
    {"mnuAbout", "&About", false, true, true},
};

}  // namespace

MenuModel::MenuModel() {
    for (const auto& item : kInitialItems) {
        m_items[item.name] = MenuItemState{item.caption, item.checked, item.enabled, item.visible,
                                           item.shortcut, item.access, item.parent};
        if (*item.parent != 0) m_submenus.insert(item.parent);
        m_order.emplace_back(item.name);
    }
}

MenuItemState& MenuModel::Item(const std::string& name) {
    auto it = m_items.find(name);
    if (it == m_items.end()) throw std::out_of_range("unknown menu item " + name);
    return it->second;
}

const MenuItemState& MenuModel::Item(const std::string& name) const {
    auto it = m_items.find(name);
    if (it == m_items.end()) throw std::out_of_range("unknown menu item " + name);
    return it->second;
}

bool MenuModel::Toggle(const std::string& name) {
    auto& item = Item(name);
    item.Checked = !item.Checked;
    Touch();
    return item.Checked;
}

}  // namespace qb

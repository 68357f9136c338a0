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
};

// Captions exactly as the window holds them; "&" marks the access key.
constexpr InitialItem kInitialItems[] = {
    {"mnuStage", "& 背景", false, true, true},
    {"mnuOpen", "& 打开", false, true, true},
    {"mnuClose", "& 关闭", false, true, true},
    {"mnuReset", "&重置背景", false, false, true},
    {"mnuReload", "刷&新背景", false, true, true},
    {"mnuDelete", "&删除背景", false, true, true},
    {"MnuRecentFiles", "-", false, true, false},
    {"mnubla", "-", false, true, true},
    {"mnuExit", "&退出", false, true, true},
    {"mnuOptions", "& 选项", false, true, true},
    {"mnuFS", "&全屏（ESC退出）", false, false, true},
    // View scale of the stage view, one check item per whole-number scale (new; not in the older menus).
    {"mnuScale1", "1x", false, true, true},
    {"mnuScale2", "2x", true, true, true},
    {"mnuScale3", "3x", false, true, true},
    {"mnuScale4", "4x", false, true, true},
    {"mnuMusic", "&音乐", true, true, true},
    {"mnuChangeMusic", "更改音乐&", false, true, true},
    {"mnuChar", "&使用测试人物", false, true, true},
    {"mnuChange", "&更改人物", false, true, true},
    {"mnuFPS", "FPS & 限制器", true, true, true},
    {"mnuInfo", "显示 &信息", false, true, true},
    {"mnuMScroll", "Mouse &Scroll", false, false, false},
    {"mnuDeform", "&Deform", false, false, false},
    {"mnuDebugBG", "调&试  BG", false, true, true},
    // Opens the background editor frmBG (new; the editor had no way to be opened).
    {"mnuBgEditor", "背景&编辑器...", false, true, true},
    {"mnuInstall", "&Install to MUGEN", false, false, false},
    {"mnuError", "显示 &错误日志", false, true, true},
    {"mnuNotepad", "用记事本打开DEF&文件", false, true, true},
    // Asks for the MUGEN directory again at any time (new; the first-run prompt was the only way).
    {"mnuMugenDir", "设置 &MUGEN 目录...", false, true, true},
    {"mnuPause", "& 暂停", false, true, true},
    {"mnuSnapshot", "快照", false, true, true},
    // Writes snapshots as PNG instead of PCX (new).
    {"mnuSnapshotPng", "快照存为 PNG", false, true, true},
    // Opens the snapshots folder in the desktop's file manager (new).
    {"mnuSnapshotFolder", "打开快照文件夹", false, true, true},
    // Reloads the running stage when its files change on disk (new).
    {"mnuAutoReload", "文件改动时自动刷新", true, true, true},
    // One frame while paused, and the run speed (new).
    {"mnuStep", "单步", false, false, true},
    {"mnuSpeed25", "速度 ¼x", false, true, true},
    {"mnuSpeed50", "速度 ½x", false, true, true},
    {"mnuSpeed100", "速度 1x", true, true, true},
    {"mnuSpeed200", "速度 2x", false, true, true},
    {"mnuSpeed400", "速度 4x", false, true, true},
    // Language of the menus and tool windows (new): the captions as given, or English.
    {"mnuLanguageZh", "中文", true, true, true},
    {"mnuLanguageEn", "English", false, true, true},
    {"mnuStageList", "&背景目录", false, true, true},
    {"mnuStagePrev", "<<", false, true, true},
    {"mnuStageNext", ">>", false, true, true},
    {"mnuR", "R", false, true, true},
    // Visible (new): it opens the sprite browser, which has no other way in.
    {"mnuDebug", "&Debug", false, false, true},
    {"mnuAbout", "&About", false, true, true},
};

}  // namespace

MenuModel::MenuModel() {
    for (const auto& item : kInitialItems) {
        m_items[item.name] = MenuItemState{item.caption, item.checked, item.enabled, item.visible};
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

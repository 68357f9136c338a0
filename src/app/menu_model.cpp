#include "app/menu_model.h"

#include <array>
#include <stdexcept>

#include "app/about_screen.h"
#include "app/app_state.h"
#include "app/char_commands.h"
#include "app/commands.h"
#include "app/edit_commands.h"
#include "app/frame_controls.h"
#include "session/live_reload.h"
#include "app/session_host.h"
#include "app/startup.h"
#include "session/install_command.h"
#include "session/stage_session.h"
#include "app/window_rules.h"
#include "app/view_commands.h"
#include "platform/text_util.h"
#include "render/camera.h"
#include "render/draw_modern.h"

namespace qb {

namespace {

using K = MenuKind;

// ---- When items are offered -------------------------------------------------------------------

// The two menus hold commands that would replace the stage or the character under a load.
bool MenusFree(const AppState& s) {
    return !s.Window.StageLoading && !s.Window.CharLoading;
}
bool NotLoading(const AppState& s) {
    return !s.Window.StageLoading;
}
// Full screen needs a stage on screen.
bool StageShown(const AppState& s) {
    return s.bRunning == 1 && !s.Window.StageLoading;
}
bool Paused(const AppState& s) {
    return s.Loop.Paused == 255;
}
// Items start-up offers beyond the ones the window shows at first (they only need their marks).
bool Loaded(const AppState& s) {
    return s.Window.Loaded;
}
// Items kept for developers only (Deform draws nothing different a user could check).
bool DeveloperItem(const AppState& s) {
    return s.Window.Loaded && s.Window.Developer;
}
// Reset has no command; the window shows it until start-up hides it.
bool NotLoaded(const AppState& s) {
    return !s.Window.Loaded;
}
bool Never(const AppState&) {
    return false;
}
bool HasRecentFiles(const AppState& s) {
    return !s.Menus.RecentFiles.empty();
}

// ---- Check marks --------------------------------------------------------------------------------

// Checked while full screen is on, and while it is wished for with no stage to show yet.
bool FullScreenChecked(const AppState& s) {
    return s.bFullScreen == 1 || s.bMakeFullScreen == 255;
}

template <int Scale>
void RunScale(AppState& s) {
    SetViewScale(s, Scale);
}
template <int Scale>
bool ScaleChecked(const AppState& s) {
    return s.Window.ShownScale == Scale;
}
template <int Scale>
bool ScaleFits(const AppState& s) {
    return Scale <= s.Window.LargestScale;
}
template <int Speed>
void RunSpeed(AppState& s) {
    SetRunSpeed(s.Loop, Speed);
}
template <int Speed>
bool SpeedChecked(const AppState& s) {
    return s.Loop.Speed == Speed;
}
bool English(const AppState& s) {
    return s.Options.Language == kLanguageEnglish;
}

// ---- Captions that follow the state ------------------------------------------------------------

std::string LimiterCaption(const AppState& s) {
    return s.Loop.LimitShown > 0 ? "FPS Limiter (" + std::to_string(s.Loop.LimitShown) + " fps)" : std::string();
}
std::string CharCaption(const AppState& s) {
    return s.Window.CharCaption;
}

bool CanZoom(const AppState& s) {
    return s.Window.Loaded && s.bRunning == 1;
}

void RandomStage(AppState& s) {
    // Seeded from the time, as the command always was: the high-resolution counter's low bits.
    const auto counter = static_cast<uint64_t>(s.ports.clock->Counter());
    const uint64_t mixed = (counter ^ (counter >> 29)) * 0x9E3779B97F4A7C15ULL;
    mnuR_Click(s, static_cast<double>(mixed >> 11) / 9007199254740992.0);
}

// Captions exactly as the window holds them; "&" marks the access key. The Options menu keeps the
// given items first and in their order; what was added later sits in the submenus after them, so
// the menu fits a 768-pixel screen.
// clang-format off
constexpr MenuEntry kMenuTable[] = {
    {.name = "mnuStage", .caption = "& 背景", .kind = K::DropDown, .access = 'S', .enabled = MenusFree},
    {.name = "mnuOpen", .caption = "& 打开", .shortcut = "Ctrl+O", .access = 'O', .run = mnuOpen_Click},
    {.name = "mnuInstallPackage", .caption = "安装背景包...", .access = 'I',
     .run = [](AppState& s) { mnuInstallPackage_Click(s); }},
    {.name = "mnuClose", .caption = "& 关闭", .shortcut = "Ctrl+W", .access = 'C', .run = mnuClose_Click,
     .enabled = StageShown},
    {.name = "mnuReset", .caption = "&重置背景", .access = 'S', .enabled = Never, .visible = NotLoaded},
    {.name = "mnuReload", .caption = "刷&新背景", .shortcut = "F5", .access = 'R', .run = mnuReload_Click,
     .enabled = StageShown},
    {.name = "mnuDelete", .caption = "&删除背景", .access = 'D', .run = mnuDelete_Click, .enabled = StageShown},
    {.name = "MnuRecentFiles", .caption = "-", .kind = K::Separator, .visible = HasRecentFiles},
    {.name = "mnubla", .caption = "-", .kind = K::Separator},
    {.name = "mnuExit", .caption = "&退出", .shortcut = "Ctrl+Q", .access = 'X', .run = mnuExit_Click},
    // The background editor's edits, undone and redone (new); the items name the edit.
    {.name = "mnuEdit", .caption = "& 编辑", .kind = K::DropDown, .access = 'E', .enabled = MenusFree},
    {.name = "mnuUndo", .caption = "&撤销", .shortcut = "Ctrl+Z", .access = 'U', .run = mnuUndo_Click,
     .enabled = CanUndo, .liveCaption = UndoCaption},
    {.name = "mnuRedo", .caption = "&重做", .shortcut = "Ctrl+Shift+Z", .access = 'R', .run = mnuRedo_Click,
     .enabled = CanRedo, .liveCaption = RedoCaption, .alsoShortcut = "Ctrl+Y"},
    {.name = "mnuOptions", .caption = "& 选项", .kind = K::DropDown, .access = 'O', .enabled = MenusFree},
    {.name = "mnuFS", .caption = "&全屏（ESC退出）", .kind = K::Check, .shortcut = "F11", .access = 'F',
     .run = mnuFS_Click, .enabled = StageShown, .checked = FullScreenChecked},
    {.name = "mnuMusic", .caption = "&音乐", .kind = K::Check, .access = 'M', .run = mnuMusic_Click, .setting = Setting::BGMusic},
    {.name = "mnuChangeMusic", .caption = "更改音乐&", .access = 'H', .run = mnuChangeMusic_Click},
    {.name = "mnuChar", .caption = "&使用测试人物", .kind = K::Check, .access = 'U', .run = mnuChar_Click,
     .checked = [](const AppState& s) { return s.Chars.CharEnabled != 0; }, .liveCaption = CharCaption,
     .setting = Setting::Char},
    {.name = "mnuChange", .caption = "&更改人物", .access = 'C', .run = mnuChange_Click},
    {.name = "mnuFPS", .caption = "FPS & 限制器", .kind = K::Check, .access = 'L', .run = mnuFPS_Click,
     .checked = [](const AppState& s) { return s.Loop.FpsLimit > 0; }, .liveCaption = LimiterCaption},
    {.name = "mnuInfo", .caption = "显示 &信息", .kind = K::Check, .access = 'I', .run = mnuInfo_Click, .setting = Setting::Info},
    {.name = "mnuMScroll", .caption = "Mouse &Scroll", .kind = K::Check, .run = mnuMScroll_Click,
     .enabled = Loaded, .checked = [](const AppState& s) { return s.Camera.MouseScroll == 255; },
     .visible = Loaded},
    {.name = "mnuDeform", .caption = "&Deform", .kind = K::Check, .run = mnuDeform_Click, .enabled = DeveloperItem,
     .visible = DeveloperItem, .setting = Setting::Deform},
    {.name = "mnuDebugBG", .caption = "调&试  BG", .kind = K::Check, .access = 'G', .run = mnuDebugBG_Click, .setting = Setting::DebugBG},
    {.name = "mnuInstall", .caption = "&Install to MUGEN", .enabled = Never, .visible = Never},
    {.name = "mnuError", .caption = "显示 &错误日志", .kind = K::Check, .shortcut = "Ctrl+L", .access = 'E',
     .run = mnuError_Click, .checked = [](const AppState& s) { return s.Window.ErrorLogShown; }},
    {.name = "mnuNotepad", .caption = "用记事本打开DEF&文件", .access = 'T', .run = mnuNotepad_Click},
    {.name = "mnuPause", .caption = "& 暂停", .kind = K::Check, .shortcut = "Space", .access = 'P',
     .run = mnuPause_Click, .checked = Paused},
    {.name = "mnuSnapshot", .caption = "快照", .shortcut = "F8", .access = 'N', .run = mnuSnapshot_Click},
    // Opens the background editor frmBG (new; the editor had no way to be opened).
    {.name = "mnuBgEditor", .caption = "背景&编辑器...", .shortcut = "Ctrl+E", .access = 'B',
     .run = mnuBgEditor_Click},
    // View scale of the stage view, one item per whole-number scale that fits the screen (new).
    {.name = "mnuScaleMenu", .caption = "缩放", .kind = K::Submenu, .access = 'W', .setting = Setting::Scale},
    {.name = "mnuScale1", .caption = "1x", .kind = K::Radio, .parent = "mnuScaleMenu", .run = RunScale<1>,
     .enabled = ScaleFits<1>, .checked = ScaleChecked<1>},
    {.name = "mnuScale2", .caption = "2x", .kind = K::Radio, .parent = "mnuScaleMenu", .run = RunScale<2>,
     .enabled = ScaleFits<2>, .checked = ScaleChecked<2>},
    {.name = "mnuScale3", .caption = "3x", .kind = K::Radio, .parent = "mnuScaleMenu", .run = RunScale<3>,
     .enabled = ScaleFits<3>, .checked = ScaleChecked<3>},
    {.name = "mnuScale4", .caption = "4x", .kind = K::Radio, .parent = "mnuScaleMenu", .run = RunScale<4>,
     .enabled = ScaleFits<4>, .checked = ScaleChecked<4>},
    // The picture fills the view at any scale, keeping its aspect; smoothed or in hard pixels.
    {.name = "mnuScaleFit", .caption = "适应窗口", .kind = K::Check, .parent = "mnuScaleMenu",
     .setting = Setting::ScaleFit},
    {.name = "mnuScaleSmooth", .caption = "平滑缩放", .kind = K::Check, .parent = "mnuScaleMenu",
     .setting = Setting::SmoothScale},
    // The camera's zoom, apart from the window's scale: the view's own keys and the wheel (named
    // beside the items), and back to the stage's startzoom.
    {.name = "mnuZoomMenu", .caption = "镜头缩放", .kind = K::Submenu, .access = 'Z'},
    {.name = "mnuZoomIn", .caption = "放大镜头", .parent = "mnuZoomMenu", .run = [](AppState& s) { ZoomStep(s, 1); },
     .enabled = CanZoom, .keyHint = "+"},
    {.name = "mnuZoomOut", .caption = "缩小镜头", .parent = "mnuZoomMenu",
     .run = [](AppState& s) { ZoomStep(s, -1); }, .enabled = CanZoom, .keyHint = "-"},
    {.name = "mnuResetZoom", .caption = "重置镜头缩放", .shortcut = "Ctrl+0", .parent = "mnuZoomMenu",
     .run = ResetCameraZoom, .enabled = CanZoom},
    // One frame while paused, and the run speed (new).
    {.name = "mnuSpeedMenu", .caption = "速度与单步", .kind = K::Submenu, .access = 'D'},
    {.name = "mnuStep", .caption = "单步", .parent = "mnuSpeedMenu", .run = mnuStep_Click, .enabled = Paused,
     .keyHint = "."},
    {.name = "mnuSlower", .caption = "减速", .parent = "mnuSpeedMenu",
     .run = [](AppState& s) { SetRunSpeed(s.Loop, s.Loop.Speed - 1); }, .keyHint = "["},
    {.name = "mnuFaster", .caption = "加速", .parent = "mnuSpeedMenu",
     .run = [](AppState& s) { SetRunSpeed(s.Loop, s.Loop.Speed + 1); }, .keyHint = "]"},
    {.name = "mnuSpeed25", .caption = "速度 ¼x", .kind = K::Radio, .parent = "mnuSpeedMenu", .run = RunSpeed<0>,
     .checked = SpeedChecked<0>},
    {.name = "mnuSpeed50", .caption = "速度 ½x", .kind = K::Radio, .parent = "mnuSpeedMenu", .run = RunSpeed<1>,
     .checked = SpeedChecked<1>},
    {.name = "mnuSpeed100", .caption = "速度 1x", .kind = K::Radio, .parent = "mnuSpeedMenu", .run = RunSpeed<2>,
     .checked = SpeedChecked<2>},
    {.name = "mnuSpeed200", .caption = "速度 2x", .kind = K::Radio, .parent = "mnuSpeedMenu", .run = RunSpeed<3>,
     .checked = SpeedChecked<3>},
    {.name = "mnuSpeed400", .caption = "速度 4x", .kind = K::Radio, .parent = "mnuSpeedMenu", .run = RunSpeed<4>,
     .checked = SpeedChecked<4>},
    // The stage's setup: player two beside the test character (on by default, the same character
    // unless another is chosen), and the overlays drawn over the view: the camera's reach, the
    // screen's frame, the players' starts and bounds, the floor line and the selected element.
    {.name = "mnuOverlayMenu", .caption = "布局叠加", .kind = K::Submenu, .access = 'V'},
    {.name = "mnuCharP2", .caption = "第二人物 (P2)", .kind = K::Check, .parent = "mnuOverlayMenu",
     .run = mnuCharP2_Click, .setting = Setting::CharP2},
    {.name = "mnuChangeP2", .caption = "更改人物 (P2)...", .parent = "mnuOverlayMenu", .run = mnuChangeP2_Click},
    {.name = "mnuOverlayBounds", .caption = "镜头范围", .kind = K::Check, .parent = "mnuOverlayMenu",
     .setting = Setting::OverlayBounds},
    {.name = "mnuOverlayScreen", .caption = "屏幕边缘", .kind = K::Check, .parent = "mnuOverlayMenu",
     .setting = Setting::OverlayScreen},
    {.name = "mnuOverlayStarts", .caption = "玩家起点", .kind = K::Check, .parent = "mnuOverlayMenu",
     .setting = Setting::OverlayStarts},
    {.name = "mnuOverlayMoveBounds", .caption = "移动边界", .kind = K::Check, .parent = "mnuOverlayMenu",
     .setting = Setting::OverlayMoveBounds},
    {.name = "mnuOverlayFloor", .caption = "地面线", .kind = K::Check, .parent = "mnuOverlayMenu",
     .setting = Setting::OverlayFloor},
    {.name = "mnuOverlayElement", .caption = "所选元素框", .kind = K::Check, .parent = "mnuOverlayMenu",
     .setting = Setting::OverlayElement},
    // Snapshot settings (new): PNG instead of PCX (files without this line, older ones, keep PCX),
    // and the snapshots folder in the desktop's file manager.
    {.name = "mnuSnapshotMenu", .caption = "快照设置", .kind = K::Submenu, .access = 'A'},
    {.name = "mnuSnapshotPng", .caption = "快照存为 PNG", .kind = K::Check, .parent = "mnuSnapshotMenu",
     .run = mnuSnapshotPng_Click, .setting = Setting::SnapshotPng},
    {.name = "mnuSnapshotInfo", .caption = "快照包含信息", .kind = K::Check, .parent = "mnuSnapshotMenu",
     .run = mnuSnapshotInfo_Click, .setting = Setting::SnapshotInfo},
    {.name = "mnuSnapshotFolder", .caption = "打开快照文件夹", .parent = "mnuSnapshotMenu",
     .run = mnuSnapshotFolder_Click},
    // Asks for the MUGEN directory again at any time (the first-run prompt was the only way), and
    // reloads the running stage when its files change on disk (new; on when its line is missing).
    {.name = "mnuFilesMenu", .caption = "目录与刷新", .kind = K::Submenu, .access = 'R'},
    {.name = "mnuMugenDir", .caption = "设置 &MUGEN 目录...", .parent = "mnuFilesMenu", .run = mnuMugenDir_Click},
    {.name = "mnuAutoReload", .caption = "文件改动时自动刷新", .kind = K::Check, .parent = "mnuFilesMenu",
     .run = mnuAutoReload_Click, .setting = Setting::AutoReload},
    // Language of the menus, tool windows and boxes (new): the captions as given, or English.
    {.name = "mnuLanguageMenu", .caption = "语言", .kind = K::Submenu, .access = 'Y', .setting = Setting::Language},
    {.name = "mnuLanguageZh", .caption = "中文", .kind = K::Radio, .parent = "mnuLanguageMenu",
     .run = [](AppState& s) { SetLanguage(s, kLanguageGiven); },
     .checked = [](const AppState& s) { return !English(s); }},
    {.name = "mnuLanguageEn", .caption = "English", .kind = K::Radio, .parent = "mnuLanguageMenu",
     .run = [](AppState& s) { SetLanguage(s, kLanguageEnglish); }, .checked = English},
    {.name = "mnuStageList", .caption = "&背景目录", .kind = K::Check, .access = 'L', .run = mnuStageList_Click,
     .checked = [](const AppState& s) { return s.Options.StageListShown == 255; }, .setting = Setting::StageList},
    {.name = "mnuStagePrev", .caption = "<<", .shortcut = "PgUp", .run = mnuStagePrev_Click, .enabled = NotLoading,
     .tip = "Previous stage in the list"},
    {.name = "mnuStageNext", .caption = ">>", .shortcut = "PgDown", .run = mnuStageNext_Click, .enabled = NotLoading,
     .tip = "Next stage in the list"},
    {.name = "mnuR", .caption = "R", .shortcut = "Ctrl+R", .run = RandomStage, .enabled = NotLoading,
     .tip = "A stage from the list at random"},
    // Visible (new): it opens the sprite browser, which has no other way in.
    {.name = "mnuDebug", .caption = "&Debug", .kind = K::Check, .run = mnuDebug_Click,
     .enabled = [](const AppState& s) { return s.Loop.StageHasRun; },
     .checked = [](const AppState& s) { return s.Loop.DebugMode != 0; }},
    {.name = "mnuAbout", .caption = "&About", .run = mnuAbout_Click},
    // Help (new): the key reference, a window that can stay open beside the stage.
    {.name = "mnuHelp", .caption = "帮助", .kind = K::DropDown, .access = 'H'},
    {.name = "mnuKeys", .caption = "按键一览", .shortcut = "F1", .access = 'K', .parent = "mnuHelp",
     .run = [](AppState& s) { s.Window.KeyReferenceWanted = true; }},
};
// clang-format on

bool CheckedIn(const MenuEntry& entry, const AppState& state) {
    if (entry.checked) return entry.checked(state);
    bool Options::*const option = MenuSwitch(entry);
    return option != nullptr && state.Options.*option;
}

MenuItemState ComputeItem(const MenuEntry& entry, const AppState& state) {
    MenuItemState item;
    item.Caption = entry.caption;
    if (entry.liveCaption) {
        std::string live = entry.liveCaption(state);
        if (!live.empty()) item.Caption = std::move(live);
    }
    item.Checked = CheckedIn(entry, state);
    item.Enabled = entry.enabled == nullptr || entry.enabled(state);
    item.Visible = entry.visible == nullptr || entry.visible(state);
    item.Shortcut = entry.shortcut;
    item.AlsoShortcut = entry.alsoShortcut;
    item.AccessKey = entry.access;
    item.Parent = entry.parent;
    item.Kind = entry.kind;
    item.Tip = entry.tip;
    item.KeyHint = entry.keyHint;
    return item;
}

}  // namespace

std::span<const MenuEntry> MenuTable() {
    return kMenuTable;
}

const MenuEntry* FindMenuEntry(std::string_view name) {
    for (const MenuEntry& entry : kMenuTable)
        if (name == entry.name) return &entry;
    return nullptr;
}

bool Options::*MenuSwitch(const MenuEntry& entry) {
    const SettingRow* row = FindSetting(entry.setting);
    return row != nullptr ? row->option : nullptr;
}

bool RunMenuEntry(const MenuEntry& entry, AppState& state) {
    if (entry.run) {
        entry.run(state);
        return true;
    }
    bool Options::*const option = MenuSwitch(entry);
    if (option == nullptr) return false;
    state.Options.*option = !(state.Options.*option);
    return true;
}

bool MenuCommand(AppState& state, const std::string& itemName) {
    const MenuEntry* entry = FindMenuEntry(itemName);
    return entry != nullptr && RunMenuEntry(*entry, state);
}

MenuModel::MenuModel() : MenuModel(AppState{}) {}

MenuModel::MenuModel(const AppState& state) {
    m_items.reserve(std::size(kMenuTable));
    for (const MenuEntry& entry : kMenuTable) m_items.push_back(ComputeItem(entry, state));
}

const MenuItemState& MenuModel::Item(const std::string& name) const {
    const MenuEntry* entry = FindMenuEntry(name);
    if (entry == nullptr) throw std::out_of_range("unknown menu item " + name);
    return m_items[static_cast<size_t>(entry - kMenuTable)];
}

bool MenuModel::IsSubmenu(const std::string& name) const {
    const MenuEntry* entry = FindMenuEntry(name);
    return entry != nullptr && entry->kind == MenuKind::Submenu;
}

const std::vector<std::string>& MenuModel::Order() {
    static const std::vector<std::string> order = [] {
        std::vector<std::string> names;
        for (const MenuEntry& entry : kMenuTable) names.emplace_back(entry.name);
        return names;
    }();
    return order;
}

}  // namespace qb

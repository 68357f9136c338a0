#include "app/window_rules.h"

#include <algorithm>
#include <cstdint>
#include <tuple>

#include "app/app_state.h"
#include "platform/text_util.h"
#include "render/draw_modern.h"

namespace qb {

std::string StageCaption(const std::string& stageName, bool paused) {
    const size_t first = stageName.find_first_not_of('"');
    std::string name;
    if (first != std::string::npos)
        name = stageName.substr(first, stageName.find_last_not_of('"') - first + 1);
    return paused ? name + " <<PAUSED>>" : name;
}

int FitViewScale(int clientWidth, int clientHeight, int listWidth) {
    const int fit = std::min((clientWidth - listWidth) / kViewWidth, clientHeight / kViewHeight);
    return std::max(1, fit);
}

int LargestScreenScale(int screenWidth, int screenHeight, int listWidth) {
    if (screenWidth <= 0 || screenHeight <= 0) return 4;
    int scale = 4;
    while (scale > 1 && (kViewWidth * scale + listWidth + kWindowChromeWidth > screenWidth ||
                         kViewHeight * scale + kWindowChromeHeight > screenHeight))
        --scale;
    return scale;
}

void OfferFittingScales(AppState& state) {
    if (!state.ports.ui) return;
    Ui& ui = *state.ports.ui;
    const auto [width, height] = ui.ScreenSize();
    const int listWidth = state.Options.StageListShown == 255 ? ui.StageListWidth() : 0;
    state.Window.LargestScale = LargestScreenScale(width, height, listWidth);
}

namespace {

// The picture's shown size: the largest whole scale (at least 1) that `room` holds; a picture that
// does not fit even at 1x is made smaller to fit, keeping its aspect (whole pixels, rounded down).
std::pair<int, int> FitPicture(int width, int height, int roomWidth, int roomHeight) {
    const int whole = std::max(1, std::min(roomWidth / width, roomHeight / height));
    if (width * whole <= roomWidth && height * whole <= roomHeight) return {width * whole, height * whole};
    if (static_cast<int64_t>(width) * roomHeight <= static_cast<int64_t>(height) * roomWidth)
        return {static_cast<int>(static_cast<int64_t>(width) * roomHeight / height), roomHeight};
    return {roomWidth, static_cast<int>(static_cast<int64_t>(height) * roomWidth / width)};
}

}  // namespace

LayoutRect FitPictureRect(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight) {
    if (areaWidth <= 0 || areaHeight <= 0) return {};
    const int64_t w = std::max(1, pictureWidth);
    const int64_t h = std::max(1, pictureHeight);
    // Width-bound when the picture is relatively wider than the area, height-bound otherwise.
    int64_t shownWidth = areaWidth;
    int64_t shownHeight = h * areaWidth / w;
    if (w * areaHeight < h * areaWidth) {
        shownHeight = areaHeight;
        shownWidth = w * areaHeight / h;
    }
    const int sw = static_cast<int>(std::clamp<int64_t>(shownWidth, 1, areaWidth));
    const int sh = static_cast<int>(std::clamp<int64_t>(shownHeight, 1, areaHeight));
    return {(areaWidth - sw) / 2, (areaHeight - sh) / 2, sw, sh};
}

WindowLayout LayOutWindow(const LayoutInputs& in) {
    // An unknown screen sets no limit; a bound that keeps the arithmetic below in int.
    constexpr int kNoLimit = 1 << 20;
    const int listWidth = std::max(0, in.listWidth);
    const bool screenKnown = in.screenWidth > 0 && in.screenHeight > 0;
    // The room the view has on the screen: at least the 1x frame, so a tiny screen still shows it.
    const int roomWidth = std::max(kViewWidth, screenKnown ? in.screenWidth - kWindowChromeWidth - listWidth : kNoLimit);
    const int roomHeight = std::max(kViewHeight, screenKnown ? in.screenHeight - kWindowChromeHeight : kNoLimit);
    const int pictureWidth = in.pictureWidth > 0 ? in.pictureWidth : kViewWidth;
    const int pictureHeight = in.pictureHeight > 0 ? in.pictureHeight : kViewHeight;

    WindowLayout out;
    out.pictureWidth = pictureWidth;
    out.pictureHeight = pictureHeight;
    int viewWidth = 0;
    int viewHeight = 0;
    std::pair<int, int> shown;
    if (in.userClientWidth > 0 && in.userClientHeight > 0) {
        viewWidth = std::max(1, in.userClientWidth - listWidth);
        viewHeight = in.userClientHeight;
        out.scale = FitViewScale(viewWidth, viewHeight, 0);
        shown = FitPicture(pictureWidth, pictureHeight, viewWidth, viewHeight);
    } else {
        int scale = std::clamp(in.chosenScale, 1, 4);
        while (scale > 1 && (kViewWidth * scale > roomWidth || kViewHeight * scale > roomHeight)) --scale;
        out.scale = scale;
        shown = FitPicture(pictureWidth, pictureHeight, std::max(kViewWidth * scale, std::min(pictureWidth, roomWidth)),
                           std::max(kViewHeight * scale, std::min(pictureHeight, roomHeight)));
        viewWidth = std::max(kViewWidth * scale, shown.first);
        viewHeight = std::max(kViewHeight * scale, shown.second);
    }
    out.view = {0, 0, viewWidth, viewHeight};
    out.picture = {(viewWidth - shown.first) / 2, (viewHeight - shown.second) / 2, shown.first, shown.second};
    if (in.fit) out.picture = FitPictureRect(pictureWidth, pictureHeight, viewWidth, viewHeight);
    // Beside the view, one pixel down, as high as the view.
    if (listWidth > 0) out.list = {viewWidth, 1, listWidth, viewHeight};
    out.clientWidth = viewWidth + listWidth;
    out.clientHeight = viewHeight;
    return out;
}

WindowLayout WindowLayoutFor(const AppState& state) {
    LayoutInputs in;
    if (Ui* ui = state.ports.ui) {
        std::tie(in.screenWidth, in.screenHeight) = ui->ScreenSize();
        if (state.Options.StageListShown == 255) in.listWidth = ui->StageListWidth();
    }
    in.chosenScale = state.Options.ViewScale;
    // The picture a modern stage draws at its own size; the classic frame otherwise.
    if (state.bRunning != 0) {
        const PictureSize size = state.Target.StageSize();
        in.pictureWidth = size.width;
        in.pictureHeight = size.height;
    }
    in.userClientWidth = state.Window.UserClientWidth;
    in.userClientHeight = state.Window.UserClientHeight;
    in.fit = state.Options.ScaleFit;
    return LayOutWindow(in);
}

std::pair<int, int> ClientSizeFor(const AppState& state) {
    const WindowLayout layout = WindowLayoutFor(state);
    return {layout.clientWidth, layout.clientHeight};
}

void ApplyWindowGeometry(AppState& state) {
    // A scale or the list chosen: the window takes the size they give, whatever the user made it.
    state.Window.UserClientWidth = 0;
    state.Window.UserClientHeight = 0;
    state.Window.ShownScale = WindowLayoutFor(state).scale;
    OfferFittingScales(state);
}

std::pair<int, int> PlaceOnScreen(const LayoutRect& screen, const LayoutRect& frame) {
    const int left = std::max(screen.left, std::min(frame.left, screen.left + screen.width - frame.width));
    const int top = std::max(screen.top, std::min(frame.top, screen.top + screen.height - frame.height));
    return {left, top};
}

std::pair<int, int> PlaceToolWindow(const LayoutRect& screen, const LayoutRect& owner, int width, int height,
                                    ToolSide side, int keepRight) {
    const auto fits = [&](int left, int top) {
        return left >= screen.left && top >= screen.top && left + width <= screen.left + screen.width &&
               top + height <= screen.top + screen.height;
    };
    LayoutRect frame{0, 0, width, height};
    if (side == ToolSide::Right) {
        // Tops aligned, on the right; on the left when the right has no room.
        frame.top = owner.top;
        frame.left = owner.left + owner.width;
        if (!fits(frame.left, screen.top) && fits(owner.left - width, screen.top)) frame.left = owner.left - width;
    } else {
        // Left edges aligned, above (or below) the main window; the other way when there is no room.
        frame.left = owner.left;
        const int above = owner.top - height;
        const int below = owner.top + owner.height;
        const bool wantAbove = side == ToolSide::Above;
        frame.top = wantAbove ? above : below;
        const int other = wantAbove ? below : above;
        if (!fits(screen.left, frame.top) && fits(screen.left, other)) frame.top = other;
    }
    if (screen.width <= 0 || screen.height <= 0) return {frame.left, frame.top};
    auto [left, top] = PlaceOnScreen(screen, frame);
    // Pushed back over the owner (a small screen): over its left part, never over the stage list
    // at its right edge, when the screen's left edge allows.
    const int keepLeft = owner.left + owner.width - keepRight;
    const bool overList = keepRight > 0 && left < owner.left + owner.width && left + width > keepLeft &&
                          top < owner.top + owner.height && top + height > owner.top;
    if (overList) left = std::max(screen.left, keepLeft - width);
    return {left, top};
}

int ClientResized(AppState& state, int clientWidth, int clientHeight) {
    state.Window.UserClientWidth = clientWidth;
    state.Window.UserClientHeight = clientHeight;
    const WindowLayout layout = WindowLayoutFor(state);
    const bool classic = layout.pictureWidth == kViewWidth && layout.pictureHeight == kViewHeight;
    if (classic && layout.scale <= 4) state.Options.ViewScale = layout.scale;
    state.Window.ShownScale = layout.scale <= 4 ? layout.scale : 0;
    return layout.scale;
}

void SetLanguage(AppState& state, const std::string& language) {
    const bool english = text::Lower(language) == kLanguageEnglish;
    state.Options.Language = english ? kLanguageEnglish : kLanguageGiven;
}

std::string DesktopLanguage(const std::string& lcAll, const std::string& lcMessages, const std::string& lang,
                            const std::string& systemLocale) {
    std::string locale = systemLocale;
    for (const std::string* variable : {&lcAll, &lcMessages, &lang}) {
        if (!variable->empty()) {
            locale = *variable;
            break;
        }
    }
    const std::string lower = text::Lower(locale);
    const bool chinese = lower.rfind("zh", 0) == 0 && (lower.size() == 2 || lower[2] == '_' || lower[2] == '-' ||
                                                       lower[2] == '.' || lower[2] == '@');
    return chinese ? kLanguageGiven : kLanguageEnglish;
}

bool MoveToRememberedPlace(AppState& state) {
    Ui* ui = state.ports.ui;
    if (ui == nullptr || !state.Window.PositionKnown) return false;
    if (!ui->PositionVisible(state.Window.SavedLeft, state.Window.SavedTop)) return false;
    ui->MoveWindow(state.Window.SavedLeft, state.Window.SavedTop);
    return true;
}

void RememberPlace(AppState& state) {
    Ui* ui = state.ports.ui;
    // A front end without a screen has no place to remember.
    if (ui == nullptr || ui->ScreenSize().first <= 0) return;
    if (state.bFullScreen != 1) {
        const auto [left, top] = ui->WindowPos();
        state.Window.SavedLeft = left;
        state.Window.SavedTop = top;
    }
    state.Window.PositionKnown = true;
}

}  // namespace qb

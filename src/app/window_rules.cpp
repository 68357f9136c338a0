#include "app/window_rules.h"

#include <algorithm>

#include "app/app_state.h"
#include "platform/text_util.h"

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

int LargestScreenScale(int screenWidth, int screenHeight) {
    if (screenWidth <= 0 || screenHeight <= 0) return 4;
    int scale = 4;
    while (scale > 1 && (kViewWidth * scale + kWindowChromeWidth > screenWidth ||
                         kViewHeight * scale + kWindowChromeHeight > screenHeight))
        --scale;
    return scale;
}

void OfferFittingScales(AppState& state) {
    if (!state.ports.ui) return;
    Ui& ui = *state.ports.ui;
    const auto [width, height] = ui.ScreenSize();
    state.Window.LargestScale = LargestScreenScale(width, height);
}

int ClientResized(AppState& state, int clientWidth, int clientHeight) {
    const int listWidth =
        state.Options.StageListShown == 255 && state.ports.ui ? state.ports.ui->StageListWidth() : 0;
    const int scale = FitViewScale(clientWidth, clientHeight, listWidth);
    if (scale <= 4) state.Options.ViewScale = scale;
    state.Window.ShownScale = scale <= 4 ? scale : 0;
    return scale;
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

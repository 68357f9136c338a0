#include "app/session_host.h"

#include "app/app_state.h"
#include "app/bg_buttons.h"
#include "app/commands.h"
#include "app/run_loop.h"
#include "app/window_rules.h"
#include "render/overlays.h"
#include "session/live_reload.h"
#include "session/stage_session.h"

namespace qb {

void ClearView(AppState& state) {
    if (!state.BackBuffer) return;
    a_clear_to_color(state.BackBuffer.get(), 0);
    if (state.bRunning == 0) DrawNoStageHint(state.BackBuffer.get());  // never a plain black view
    state.Window.HintShown = state.bRunning == 0;
    PresentFrame(state);
}

void ShowNoStageHint(AppState& state) {
    if (!state.BackBuffer || state.bRunning != 0 || TimerActive(state, TimerId::Start) ||
        TimerActive(state, TimerId::Drop))
        return;
    DrawNoStageHint(state.BackBuffer.get());
    state.Window.HintShown = true;
    PresentFrame(state);
}

// The menu table takes commands of AppState; the session's take its own part of it.
void mnuOpen_Click(AppState& state) {
    mnuOpen_Click(static_cast<SessionState&>(state));
}

void mnuClose_Click(AppState& state) {
    mnuClose_Click(static_cast<SessionState&>(state));
}

void mnuReload_Click(AppState& state) {
    mnuReload_Click(static_cast<SessionState&>(state));
}

void mnuDelete_Click(AppState& state) {
    mnuDelete_Click(static_cast<SessionState&>(state));
}

void mnuAutoReload_Click(AppState& state) {
    mnuAutoReload_Click(static_cast<SessionState&>(state));
}

void mnuStageNext_Click(AppState& state) {
    mnuStageNext_Click(static_cast<SessionState&>(state));
}

void mnuStagePrev_Click(AppState& state) {
    mnuStagePrev_Click(static_cast<SessionState&>(state));
}

// ---- AppState as the session's host ----------------------------------------------------------

bool AppState::MusicOn() const {
    return Options.Music;
}

bool AppState::AutoReload() const {
    return Options.AutoReload;
}

void AppState::SetAutoReload(bool on) {
    Options.AutoReload = on;
}

void AppState::EndRunLoop() {
    Loop.ExitLoop = true;
}

void AppState::EndAboutScreen() {
    Loop.AboutRunning = false;
}

void AppState::DoEvents() {
    API_doevents(*this);
}

bool AppState::ConfirmDropEdits() {
    return qb::ConfirmDropEdits(*this);
}

void AppState::HoldEditsAgainstDiskChange() {
    qb::HoldEditsAgainstDiskChange(*this);
}

void AppState::SetStageLoading(bool loading) {
    Window.StageLoading = loading;
}

void AppState::FulfilFullScreenWish() {
    // The wish left the item checked; the command toggles it back on and now finds a running stage.
    if (bMakeFullScreen) SwitchFullScreen(*this, true);
}

void AppState::LeaveFullScreen() {
    qb::LeaveFullScreen(*this);
}

void AppState::ClearView() {
    qb::ClearView(*this);
}

void AppState::ClearPicture(bool forgetDrawn) {
    if (forgetDrawn) Frame.Drawn.clear();
    if (BackBuffer) a_clear_to_color(BackBuffer.get(), 0);
}

void AppState::InstallPicture() {
    Target.Install(Stage);
}

void AppState::ReleasePicture() {
    // A modern stage's picture must not outlive it (after Close the view would show its last frame).
    // The view wraps the picture's pixels, so it is handed the cleared classic picture before they go.
    if (Target.Picture() == nullptr) return;
    if (BackBuffer) a_clear_to_color(BackBuffer.get(), 0);
    Target = FrameTarget{&BackBuffer};
    PresentFrame(*this);
}

void AppState::ShowStageCaption() {
    if (ports.ui) ports.ui->SetCaption(StageCaption(Stage.StageName, Loop.Paused == 255));
}

void AppState::ShowErrorLog() {
    Window.ErrorLogShown = true;
    if (ports.ui) ports.ui->ShowErrorLog(true);
}

void AppState::OpenLater(const std::string& path) {
    Window.DroppedFile = path;
    StartTimer(*this, TimerId::Drop);
}

}  // namespace qb

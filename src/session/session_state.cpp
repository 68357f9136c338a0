#include "session/session_state.h"

#include "platform/paths.h"

namespace qb {

void Box(SessionState& state, const std::string& text, MsgIcon icon, MsgButtons buttons) {
    if (state.ports.ui) state.ports.ui->MsgBox(text, icon, buttons);
}

std::string StagesFolder(const SessionState& state) {
    // The program's folder stands in for the current directory, which this program never relies on.
    return JoinPath(state.MugeDir.empty() ? state.ProgramDir : state.MugeDir, "stages/");
}

void StartTimer(SessionState& state, TimerId id) {
    if (state.ports.timers) state.ports.timers->Start(id, kOneShotTimerMs);
}

void StopTimer(SessionState& state, TimerId id) {
    if (state.ports.timers) state.ports.timers->Stop(id);
}

bool TimerActive(const SessionState& state, TimerId id) {
    return state.ports.timers != nullptr && state.ports.timers->Active(id);
}

bool LoadInProgress(const SessionState& state) {
    return state.Load.LoadPhase != 0;
}

bool StageHeld(const SessionState& state) {
    return LoadInProgress(state) || state.StageBoxesOpen > 0;
}

StageBoxHold::StageBoxHold(SessionState& state) : m_state(state) {
    ++m_state.StageBoxesOpen;
}

StageBoxHold::~StageBoxHold() {
    --m_state.StageBoxesOpen;
}

}  // namespace qb

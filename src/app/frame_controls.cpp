#include "app/frame_controls.h"

#include <algorithm>

#include "app/app_state.h"
#include "render/frame.h"
#include "render/setup_overlays.h"

namespace qb {

namespace {

constexpr const char* kSpeedItems[kSpeedCount] = {"mnuSpeed25", "mnuSpeed50", "mnuSpeed100", "mnuSpeed200",
                                                  "mnuSpeed400"};

// The switches in SetupOverlay's bit order.
constexpr bool Options::*kOverlaySwitches[kSetupOverlayCount] = {
    &Options::OverlayBounds, &Options::OverlayScreen, &Options::OverlayStarts,
    &Options::OverlayMoveBounds, &Options::OverlayFloor, &Options::OverlayElement};

}  // namespace

uint8_t OverlayBits(const Options& options) {
    uint8_t bits = 0;
    for (int i = 0; i < kSetupOverlayCount; ++i)
        if (options.*kOverlaySwitches[i]) bits = static_cast<uint8_t>(bits | 1u << i);
    return bits;
}

void SetOverlayBits(Options& options, uint8_t bits) {
    for (int i = 0; i < kSetupOverlayCount; ++i) options.*kOverlaySwitches[i] = (bits >> i & 1u) != 0;
}

std::string SpeedItemName(int speed) {
    return kSpeedItems[std::clamp(speed, 0, kSpeedCount - 1)];
}

void SetRunSpeed(RunLoopState& loop, int speed) {
    loop.Speed = std::clamp(speed, 0, kSpeedCount - 1);
}

void mnuStep_Click(AppState& state) {
    if (state.Loop.Paused == 255 && state.bRunning != 0) state.Loop.StepPending = true;
}

void mnuSnapshotPng_Click(AppState& state) {
    state.Options.SnapshotPng = !state.Options.SnapshotPng;
}

void mnuSnapshotInfo_Click(AppState& state) {
    state.Options.SnapshotInfo = !state.Options.SnapshotInfo;
}

int16_t PacedFpsLimit(int16_t fpsLimit, int speed) {
    if (fpsLimit <= 0) return fpsLimit;
    const int quarters = SpeedQuarters(speed);
    const int paced = (fpsLimit * quarters + 3) / 4;
    return static_cast<int16_t>(std::min(paced, 32767));
}

}  // namespace qb

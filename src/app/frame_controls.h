#pragma once
// Frame stepping, the run speed and the snapshot format: the Options items and keys that change how
// the run loop paces and what a snapshot writes, never what a frame draws.
#include <cstdint>
#include <string>

namespace qb {

struct AppState;
struct Options;
struct RunLoopState;

// The Options item of a speed (0 .. kSpeedCount - 1): mnuSpeed25, mnuSpeed50, mnuSpeed100,
// mnuSpeed200, mnuSpeed400.
std::string SpeedItemName(int speed);
// Sets the run speed (clamped to the five speeds); the check mark is on its item.
void SetRunSpeed(RunLoopState& loop, int speed);

// The step command (the Step key does the same inside the frame): while paused, the next pass runs
// one logic frame and draws it; the stage stays paused. Does nothing while running.
void mnuStep_Click(AppState& state);
// Toggles whether the snapshot command writes PNG instead of PCX.
void mnuSnapshotPng_Click(AppState& state);
// mnuSnapshotInfo: snapshots keep the info overlay, or show the stage alone (the default).
void mnuSnapshotInfo_Click(AppState& state);

// The setup overlays the Options switches ask for, as SetupOverlay bits, and back (`--overlay`).
uint8_t OverlayBits(const Options& options);
void SetOverlayBits(Options& options, uint8_t bits);

// The rate the limiter paces to: the limit times the speed, rounded up so that a quarter of a small
// limit still paces. A limit of 0 or less stays as it is: no pacing at any speed.
int16_t PacedFpsLimit(int16_t fpsLimit, int speed);

}  // namespace qb

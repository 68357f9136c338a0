#pragma once
// The stage's background controllers: run once per frame at the start of the back-layer pass.
#include "stage/stage_model.h"

namespace qb {

// Applies every active controller of every group to its target elements and advances the
// controller and group clocks (with their loop times).
void RunBgCtrls(StageModel& stage);

}  // namespace qb

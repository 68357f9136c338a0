#pragma once
// Which engine a stage was made for, as far as its keys and its sprite file tell. The answers are
// only complete once the sprite file has been read (its version is part of them).
#include "stage/stage_model.h"

namespace qb {

// Drawn at its own resolution in 32-bit colour, by the rules of the 1.0 and 1.1 engines: a version 2
// sprite file, a localcoord other than 320,240, or hires = 1. Every other stage keeps the classic rules.
inline bool IsModernStageModel(const StageModel& stage) {
    return stage.SffMajor >= 2 || stage.LocalCoordW != 320 || stage.LocalCoordH != 240 || stage.Hires != 0;
}

// Made for the 1.0 engine or later: "mugenversion = 1.0" or more, or a version 2 sprite file (the
// older engines cannot read one).
inline bool IsEngine10Stage(const StageModel& stage) {
    return stage.MugenVersion >= 1.0f || stage.SffMajor >= 2;
}

// Made for the 1.1 engine: "mugenversion = 1.1" or more ("1.1" reads as a float just under 1.1),
// or a 2.01 sprite file, which came with it.
inline bool IsEngine11Stage(const StageModel& stage) {
    return stage.MugenVersion >= 1.05f || stage.SffMajor > 2 || (stage.SffMajor == 2 && stage.SffMinor >= 1);
}

// How far a stage's layers move, before their delta, per unit of camera travel. A hires stage keeps
// the fighters' units for its camera but draws its sprites at half size, and the engine divides the
// camera's position by that scale before applying delta: a layer with delta 2 keeps pace with the
// camera there (DMC4-Jungle's 1280-pixel picture covers its bounds of +-160 exactly so). Start
// positions are not divided.
inline double LayerCameraScale(const StageModel& stage) {
    return stage.Hires != 0 ? 0.5 : 1.0;
}

}  // namespace qb

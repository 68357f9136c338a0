#pragma once
// The background editor's text boxes and the routines that exchange them with the stage: the camera
// bounds and start, and the selected element's values. The editor window shows these fields;
// nothing here needs the window.
#include <cstdint>
#include <string>

#include "stage/stage_model.h"

namespace qb {

struct BgEditorFields {
    std::string txtcamleft, txtcamright, txtcamhigh, txtcamlow, txtcamstartx, txtcamstarty;
    std::string txtTileX, txtTileY, txtDeltaX, txtDeltaY, txtVelX, txtVelY, txtGfx;
    std::string txtTileSpcX, txtTileSpcY, txtType, txtXpos, txtYpos;
    std::string txtMusic;
    bool chkMask = false;
};

// Writes the stage bounds and the camera start into the editor's camera boxes.
void ShowStuff(const StageModel& stage, BgEditorFields& fields);
// Reads the four bound boxes back into the stage; with an element selected, copies the element
// boxes into it and moves it to the typed base position.
void UpdateStuff(StageModel& stage, const BgEditorFields& fields, int16_t SelectedElement);
// Bounds that just cover every element drawn with a plain sprite, written into the bound boxes.
void AutoBound(const StageModel& stage, BgEditorFields& fields);

}  // namespace qb

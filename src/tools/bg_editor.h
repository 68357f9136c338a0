#pragma once
// The background editor's text boxes and the routines that exchange them with the stage: the camera
// bounds and start, and the selected element's values. The editor window shows these fields;
// nothing here needs the window.
#include <cstdint>
#include <string>
#include <utility>

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
// Reads the camera start and the four bound boxes back into the stage; with an element selected,
// copies the element boxes into it and moves it to the typed position (its base position, or for a
// position-linked element its start, the offset from its parent). Every box is checked first: one
// that holds no number, or a number its field cannot hold, changes nothing and is named in the
// answer (empty when the boxes were taken).
std::string UpdateStuff(StageModel& stage, const BgEditorFields& fields, int16_t SelectedElement);
// The position the X and Y boxes show and UpdateStuff moves: a position-linked element is placed
// from its parent, so its own start is what can be edited (its base is never set).
std::pair<double, double> EditedPosition(const BgElement& element);
// Bounds that just cover every element drawn with a plain sprite, written into the bound boxes.
void AutoBound(const StageModel& stage, BgEditorFields& fields);

}  // namespace qb

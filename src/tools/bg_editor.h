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
    // The keys of the 1.0 and 1.1 engines: scalestart, scaledelta, zoomdelta, a floor's width (top
    // and bottom) and the window, as "x1,y1,x2,y2" in the box of its kind (the other box empty).
    std::string txtScaleStartX, txtScaleStartY, txtScaleDeltaX, txtScaleDeltaY, txtZoomDelta;
    std::string txtWidthTop, txtWidthBottom, txtWindow, txtMaskWindow;
    std::string txtMusic;
    bool chkMask = false;
};

// Writes the stage bounds and the camera start into the editor's camera boxes.
void ShowStuff(const StageModel& stage, BgEditorFields& fields);
// Reads the camera start and the four bound boxes back into the stage; with an element selected,
// copies the element boxes into it and moves it to the typed position (its base position, or for a
// position-linked element its start, the offset from its parent). Every box is checked first: one
// that holds no number, or a number its field cannot hold, changes nothing and is named in the
// answer (empty when the boxes were taken). An empty box of the 1.0 and 1.1 keys leaves its value
// as it is: the editor cannot take a line out of the stage file, so a width or a window stays until
// it is replaced; a window typed into the other kind's box (that of its own kind emptied) changes
// its kind.
// What the stage file cannot say is refused with the reason: a position-linked element's delta and
// velocity (it takes its parent's), a type the loader turns into another (`written`, the keys of the
// element's section in the file, tells an element that names only an animation), a y spacing of a
// classic anim element apart from its x, a sprite that is none of the sprite file's, or one for an
// anim element. A box whose value is unchanged changes nothing.
std::string UpdateStuff(StageModel& stage, const BgEditorFields& fields, int16_t SelectedElement,
                        const ElementSource* written = nullptr);
// The position the X and Y boxes show and UpdateStuff moves: a position-linked element is placed
// from its parent, so its own start is what can be edited (its base is never set).
std::pair<double, double> EditedPosition(const BgElement& element);
// Bounds that just cover every element drawn with a plain sprite, written into the bound boxes.
void AutoBound(const StageModel& stage, BgEditorFields& fields);

}  // namespace qb

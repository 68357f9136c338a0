#pragma once
// The camera: keys and mouse scrolling within the stage's bounds, and the exchange of bounds and
// of the selected element with the background editor's fields.
#include <cstdint>
#include <string>

#include "platform/ports.h"
#include "render/camera_state.h"
#include "render/frame.h"
#include "stage/stage_model.h"

namespace qb {

// Arrow keys (within the bounds), the Z and A step keys (at most once per 150 ms), mouse scrolling
// while camera.MouseScroll is 255, and the Delete key (recorded in frame.DeleteRequested, except
// while an element is selected or the key that just removed one is still held). Polled at the end
// of every element pass.
void CameraKeys(StageModel& stage, CameraState& camera, FrameState& frame, Keys& keys, Clock& clock);

// The mouse-scroll command: toggles MouseScroll, saving the steps when it goes on and restoring them
// (a restored 0 becoming 1) when it goes off. Answers the new state.
bool ToggleMouseScroll(CameraState& camera);

// The text boxes of the background editor that the camera and element commands read and write.
// The editor window shows these; nothing here needs the window.
struct BgEditorFields {
    std::string txtcamleft, txtcamright, txtcamhigh, txtcamlow, txtcamstartx, txtcamstarty;
    std::string txtTileX, txtTileY, txtDeltaX, txtDeltaY, txtVelX, txtVelY, txtGfx;
    std::string txtTileSpcX, txtTileSpcY, txtType, txtXpos, txtYpos;
    bool chkMask = false;
};

// Writes the stage bounds and the camera start into the editor's camera boxes.
void ShowStuff(const StageModel& stage, BgEditorFields& fields);
// Reads the four bound boxes back into the stage; with an element selected, copies the element
// boxes into it and moves it to the typed base position.
void UpdateStuff(StageModel& stage, const BgEditorFields& fields, int16_t SelectedElement);
// Bounds that just cover every element drawn with a plain sprite, written into the bound boxes.
void AutoBound(const StageModel& stage, BgEditorFields& fields);

// Numbers as the editor's boxes show them: plain decimal, "." as the point, shortest form.
std::string NumberText(double value);
// The leading number of a box's text (0 when there is none), as the boxes are read.
double BoxValue(const std::string& text);

}  // namespace qb

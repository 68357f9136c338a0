#pragma once
// Editing the stage's elements while it runs: picking an element under the pointer, dragging it,
// the numeric-pad plus/minus, Delete and Insert keys, and the model changes behind them (which keep
// every element index held elsewhere in the model pointing at the same element).
#include <cstdint>
#include <string>

#include "platform/ports.h"
#include "render/frame.h"
#include "stage/stage_model.h"

namespace qb {

// The front-most element whose first drawn tile contains view pixel (x, y), among enabled, visible
// elements that draw a sprite: front-layer elements before back-layer ones, and within a layer the
// one drawn last. -1 when there is none.
int16_t ElementAt(const StageModel& stage, int x, int y);

// `"<Name>" - Background Element #<index + 1>/<element count>`.
std::string ElementCaption(const StageModel& stage, int16_t index);

// Grabs element `index` at view pixel (x, y): later moves shift it by the pointer's travel.
void BeginDrag(const StageModel& stage, FrameState& frame, int16_t index, int x, int y);
// Moves the dragged element (if any) for the pointer at (x, y); answers whether one moved.
bool DragTo(StageModel& stage, FrameState& frame, int x, int y);
void EndDrag(FrameState& frame);

// Model changes. Indices held in the model (controller targets, the z-offset link, position-link
// parents) and the drag index follow the records they name.
void SwapElements(StageModel& stage, FrameState& frame, int a, int b);
// A reference to the removed element becomes -1 (no element; a position link through it ends).
void RemoveElement(StageModel& stage, FrameState& frame, int index);
// Copies the record to a new last place; answers its index, or -1 when the table is full.
int CloneElement(StageModel& stage, int index);

// The editing keys, polled after the camera keys at the end of every element pass. They act at
// most once per 150 ms and only while SelectedElement names an element. A caption they set is left
// in frame.CaptionRequest (CaptionPending).
void EditKeys(StageModel& stage, FrameState& frame, int16_t& SelectedElement, Keys& keys, Clock& clock);

}  // namespace qb

#pragma once
// Editing the stage's elements while it runs: picking an element under the pointer, dragging it,
// the numeric-pad plus/minus, Delete and Insert keys, and the model changes behind them (which keep
// every element index held elsewhere in the model pointing at the same element).
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ports.h"
#include "render/element_preview.h"
#include "render/frame.h"
#include "stage/stage_model.h"
#include "stage/write_back.h"
#include "tools/bg_editor.h"
#include "tools/edit_history.h"
#include "tools/sprite_browser.h"

namespace qb {

// The editor's state: the selected element, the drag under way, the editing keys' pacing and the
// editor window's fields.
struct EditState {
    int16_t SelectedElement = -1;
    // Element being dragged with the mouse (-1 none), the grab point in view pixels and the
    // element's position and base when it was grabbed.
    int16_t DragIndex = -1;
    int16_t GrabX = 0, GrabY = 0;
    int16_t GrabOffX = 0, GrabOffY = 0;
    int16_t BaseOffX = 0, BaseOffY = 0;
    int32_t StartOffX = 0, StartOffY = 0;  // its own start (a linked element's offset from its parent)
    // Pointer pixels per stage unit of the element's position (a hires picture's 2, times the zoom
    // its position moves by).
    double PerUnitX = 1, PerUnitY = 1;
    // Millisecond tick of the last editing key that acted (they act at most once per 150 ms).
    int64_t LastEditKeyTick = -1'000'000;
    // True during a pass in which an element is selected: the Delete key then belongs to the
    // element, not to the delete-stage command.
    bool EditingElement = false;
    // The Delete key removed an element and has not been released since: until it is, it must not
    // reach the delete-stage command.
    bool DeleteHeldByEdit = false;
    // The background editor's text boxes (frmBG); stage start shows the camera state in them.
    BgEditorFields Fields;
    // What the stage file holds, in its own element order, as of the stage start or the last write
    // into it; and for each element of the model, the file element it came from (elements past the
    // end of the list are copies the file does not have). Writing into the stage file compares
    // against these.
    EditableValues Baseline;
    std::vector<int16_t> Origin;
    // Where the stage file's values came from (its text as parsed, or as last written).
    StageSource Source;
    // The sprite browser's scroll position (frmSFF).
    SpriteBrowserState Browser;
    // The element list's hide and solo switches: the preview's, never written into the stage.
    ElementPreview Preview;
    // The editor's edits of this stage, to undo and redo.
    EditHistory History;
};

// Clears what belongs to one run of a stage (the fields stay).
void ResetEditRun(EditState& edit);

// The front-most element whose first drawn tile (as the last frame drew it) contains view pixel
// (x, y), among enabled, visible elements that draw a sprite: front-layer elements before back-layer
// ones, and within a layer the one drawn last. -1 when there is none.
int16_t ElementAt(const StageModel& stage, const FrameState& frame, int x, int y);

// Where element `index` shows in the view, as the last frame drew it: its first drawn tile, in view
// pixels (left, top, width, height), for the outline of the selected element. Nullopt when it is
// no element or drew no sprite (disabled, invisible, no such sprite).
std::optional<std::array<int, 4>> ElementOutline(const StageModel& stage, const FrameState& frame, int16_t index);

// `"<Name>" - Background Element #<index + 1>/<element count>`.
std::string ElementCaption(const StageModel& stage, int16_t index);

// Grabs element `index` at view pixel (x, y): later moves shift it by the pointer's travel divided
// by the pointer pixels per stage unit (each way).
void BeginDrag(const StageModel& stage, EditState& edit, int16_t index, int x, int y, double perUnitX = 1,
               double perUnitY = 1);
// Moves the dragged element (if any) for the pointer at (x, y); answers whether one moved.
bool DragTo(StageModel& stage, EditState& edit, int x, int y);
void EndDrag(EditState& edit);

// Model changes. Indices held in the model (controller targets, the z-offset link, position-link
// parents), the drag index and the element list's switches follow the records they name. The
// editing keys record each change as one step of edit.History.
void SwapElements(StageModel& stage, EditState& edit, int a, int b);
// A reference to the removed element becomes -1 (no element; a position link through it ends).
void RemoveElement(StageModel& stage, EditState& edit, int index);
// Copies the record to a new last place; answers its index, or -1 when the table is full.
int CloneElement(StageModel& stage, int index);

// The editing keys, polled after the camera keys at the end of every element pass. They act at
// most once per 150 ms and only while edit.SelectedElement names an element; presses made while
// none is selected are dropped (they must not act on a selection made later). A caption they want
// shown goes to `setCaption` as they act (an empty setter shows none).
using CaptionSetter = std::function<void(const std::string&)>;
void EditKeys(StageModel& stage, EditState& edit, Keys& keys, Clock& clock, const CaptionSetter& setCaption);

// The editor's part of every element pass: it claims the Delete key while an element is selected
// (or its removing press is still held) and polls the editing keys.
class ElementEditor : public ElementPassHook {
public:
    ElementEditor(EditState& edit, CaptionSetter setCaption)
        : m_edit(edit), m_setCaption(std::move(setCaption)) {}
    bool OwnsDeleteKey(const StageModel& stage, Keys& keys) override;
    // The keypad's plus and minus move the selected element between layers.
    bool OwnsPadKeys(const StageModel& stage) override;
    void AfterPass(StageModel& stage, FrameState& frame, Keys& keys, Clock& clock) override;

private:
    EditState& m_edit;
    CaptionSetter m_setCaption;
};

}  // namespace qb

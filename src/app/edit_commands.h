#pragma once
// The editor's commands beside its boxes: undo and redo (the Edit menu), the element list's
// selection and its hide and solo switches, and opening the stage file at the line of a logged
// problem.
#include <cstdint>
#include <string>

#include "render/element_preview.h"

namespace qb {

struct AppState;

// Edit > Undo and Redo: the last edit of the background editor (a move, Update, an order or layer
// change, a clone, a delete) is taken back or made again; the element it concerned is selected and
// the editor's boxes show the stage as it is then.
void mnuUndo_Click(AppState& state);
void mnuRedo_Click(AppState& state);
bool CanUndo(const AppState& state);
bool CanRedo(const AppState& state);
// The items' captions naming what they act on ("撤销移动", which reads "Undo Move" in English);
// empty when there is nothing to undo or redo (the item's own caption then).
std::string UndoCaption(const AppState& state);
std::string RedoCaption(const AppState& state);

// A row of the element list was chosen: element `index` is selected as a click on it in the view
// selects it (the editor's boxes show it). -1: a layer's row, which selects nothing.
void SelectListedElement(AppState& state, int16_t index);
// The switches of a row: an element's (index >= 0) or a layer's.
void SetElementHidden(AppState& state, int16_t index, bool on);
void SetElementSolo(AppState& state, int16_t index, bool on);
void SetLayerHidden(AppState& state, ElementLayer layer, bool on);
void SetLayerSolo(AppState& state, ElementLayer layer, bool on);

// A double-click on line `textLine` (0-based) of the error log window: the definition opens in the
// user's editor at the line its entry names. False when the entry names no line of a definition.
bool OpenProblemLine(AppState& state, size_t textLine);

}  // namespace qb

#pragma once
// The stage view's mouse buttons and movement, in view pixels (the frame's own pixels, whatever the
// view's scale). While the background editor is open a left click selects the element under the
// pointer and grabs it, moving drags it, releasing lets go; a click on empty space or with the right
// button clears the selection. With the editor closed a left drag pans the camera instead (as image
// viewers do) and nothing is selected. Only while a stage runs.
namespace qb {

struct AppState;

enum class MouseButton { Left, Right, Other };

void StageMouseDown(AppState& state, MouseButton button, int x, int y);
void StageMouseMove(AppState& state, int x, int y);
void StageMouseUp(AppState& state, MouseButton button);

// The background editor was shown or hidden; hiding it drops the selection and any drag.
void BgEditorShown(AppState& state, bool shown);
// Escape in the view: clears the selection. Answers whether there was one.
bool ClearSelection(AppState& state);

}  // namespace qb

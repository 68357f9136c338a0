#pragma once
// The stage view's mouse buttons and movement, in view pixels (the 320 x 240 frame's own pixels,
// whatever the view's scale): a left click selects the element under the pointer and grabs it,
// moving drags it, releasing lets go; a click on empty space or with the right button clears the
// selection. Only while a stage runs.
namespace qb {

struct AppState;

enum class MouseButton { Left, Right, Other };

void StageMouseDown(AppState& state, MouseButton button, int x, int y);
void StageMouseMove(AppState& state, int x, int y);
void StageMouseUp(AppState& state, MouseButton button);

}  // namespace qb

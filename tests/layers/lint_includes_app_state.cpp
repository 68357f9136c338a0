// Must not compile: the lint opens packages through the library and loads through the stage layer,
// so the window's state is out of its sight. Built only by the LayerTree test, which expects the
// include to fail.
#include "app/app_state.h"
#include "lint/stage_lint.h"

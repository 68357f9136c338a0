// Must not compile: the stage session sits below app in the layer table and reaches the window only
// through SessionHost, so the commands' header is out of its sight. Built only by the LayerTree test,
// which expects the include to fail.
#include "app/commands.h"
#include "session/stage_session.h"

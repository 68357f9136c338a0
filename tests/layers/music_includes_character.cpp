// Must not compile: music names only stage and platform in the layer table, so the character's headers
// are out of its sight. Built only by the LayerTree test, which expects the include to fail.
#include "character/test_character.h"
#include "music/cls_music.h"

#include "platform/gfx.h"

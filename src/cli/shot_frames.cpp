#include <cstdio>

#include "app/app_state.h"
#include "cli/shot.h"

namespace qb::shot {

int RunFrames(AppState&, const Options&) {
    std::fprintf(stderr, "quillback-shot: frames are not available yet\n");
    return 2;
}

}  // namespace qb::shot

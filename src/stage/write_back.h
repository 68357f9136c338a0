#pragma once
// Writing the editor's changes into the stage's own definition: only the lines of values that changed
// are rewritten, every other byte (comments, controllers, animations, unknown keys, line ends) stays.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "stage/stage_model.h"

namespace qb {

// The values the background editor can change, as the definition's keys hold them.
struct EditableElement {
    int32_t StartX = 0, StartY = 0;  // the edited base position, rounded
    float DeltaX = 1, DeltaY = 1;
    float VelocityX = 0, VelocityY = 0;
    int32_t TileX = 0, TileY = 0;
    int32_t TileSpacingX = 0, TileSpacingY = 0;
    int16_t Mask = 0;
    std::string Type;
    bool operator==(const EditableElement&) const = default;
};

struct EditableValues {
    float StartX = 0;
    int16_t StartY = 0;
    int32_t BoundLeft = 0, BoundRight = 0;
    int16_t BoundHigh = 0, BoundLow = 0;
    std::vector<EditableElement> Elements;
};

EditableValues CaptureEditable(const StageModel& stage);

struct WriteBackResult {
    bool ok = false;
    int linesChanged = 0;
    int linesAdded = 0;
    std::string error;  // why nothing was written
};

// Rewrites `defPath` so that every value that differs between `before` (the stage as loaded) and
// `after` (as edited) reads as in `after`. A key the element's section lacks is added at the end of the
// section. The file is replaced in one step; before the first replacement the file is kept as
// "<defPath>.bak" (an existing backup is never overwritten, so it stays the original).
// `beforeRename` is passed to the atomic write (tests fail it there).
WriteBackResult WriteBackStage(const std::string& defPath, const EditableValues& before,
                               const EditableValues& after, const std::function<bool()>& beforeRename = {});

}  // namespace qb

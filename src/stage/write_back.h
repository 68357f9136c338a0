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
    int32_t StartX = 0, StartY = 0;  // the element's own start (a linked element's offset from its parent)
    float DeltaX = 1, DeltaY = 1;
    float VelocityX = 0, VelocityY = 0;
    int32_t TileX = 0, TileY = 0;
    int32_t TileSpacingX = 0, TileSpacingY = 0;
    int16_t Mask = 0;
    std::string Type;
    float ScaleStartX = 1, ScaleStartY = 1, ScaleDeltaX = 0, ScaleDeltaY = 0, ZoomDelta = 1;
    // "width = top,bottom": only an element with a width line has one (xscale shares the fields).
    uint8_t WidthGiven = 0;
    float WidthTop = 0, WidthBottom = 0;
    // 0 no window, 1 "window", 2 "maskwindow", and its four values.
    uint8_t WindowKind = 0;
    float WindowX1 = 0, WindowY1 = 0, WindowX2 = 0, WindowY2 = 0;
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
    // Refused because the file on disk is no longer the one that was loaded; what it holds now.
    bool diskChanged = false;
    std::string diskBytes;
    // The text written (empty when nothing was).
    std::string written;
};

struct WriteBackOptions {
    // The file's present text, which the user has agreed to replace by the loaded version with the
    // edits; any other text on disk refuses the write.
    const std::string* acceptedDiskVersion = nullptr;
    // Passed to the atomic write (tests fail it there).
    std::function<bool()> beforeRename;
};

// Rewrites `defPath` so that every value that differs between `before` (the stage as loaded) and
// `after` (as edited) reads as in `after`. The edits go into the text the stage was parsed from, on
// the lines `source` says each value came from: the line whose value the parser kept, in whatever
// section the parser read it. A key the element never read is added after the last line of its own
// section; a camera key after the last line of [Camera]. Refused, changing nothing, when the file on
// disk differs from that text, is read-only, or is not a regular file (a symbolic link is written
// through to its target). The file is replaced in one step; before the first replacement it is
// kept as "<file>.bak" (an existing backup is never overwritten, so it stays the original).
WriteBackResult WriteBackStage(const std::string& defPath, const StageSource& source,
                               const EditableValues& before, const EditableValues& after,
                               const WriteBackOptions& options = {});

}  // namespace qb

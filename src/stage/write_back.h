#pragma once
// Writing the editor's changes into the stage's own definition: only the lines of values that changed
// are rewritten, every other byte (comments, controllers, animations, unknown keys, line ends) stays.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "stage/stage_model.h"

namespace qb {

// The values the background editor can change, as the definition's keys hold them.
struct EditableElement {
    int32_t StartX = 0, StartY = 0;  // the element's own start (a linked element's offset from its parent)
    // A position-linked element takes its parent's delta and velocity on loading, whatever its own
    // lines say: for it these stay at their defaults and are never written.
    float DeltaX = 1, DeltaY = 1;
    float VelocityX = 0, VelocityY = 0;
    int16_t LayerNo = 0;
    int32_t SpriteGroup = 0;  // "spriteno"
    int16_t SpriteImage = 0;
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
    // The drawing order to write: for each element place of the file, the element (by its index in
    // the file as loaded) whose section goes there. Empty: the file's own order.
    std::vector<int16_t> Order;
};

EditableValues CaptureEditable(const StageModel& stage);

struct WriteBackResult {
    bool ok = false;
    int linesChanged = 0;
    int linesAdded = 0;
    int sectionsMoved = 0;
    std::string error;  // why nothing was written
    // The file on disk was no longer the loaded text: the edits went into the text on disk now.
    bool merged = false;
    // Edited lines another program had changed too, left as it wrote them (the user's answer).
    int keptTheirs = 0;
    // The user cancelled at a question about such a line.
    bool cancelled = false;
    // The text written (empty when nothing was).
    std::string written;
};

struct WriteBackOptions {
    // Asks about a line both the editor and another program changed; without one such a line
    // writes nothing and the question's text is the error.
    Ui* ui = nullptr;
    // Passed to the atomic write (tests fail it there).
    std::function<bool()> beforeRename;
};

// Rewrites `defPath` so that every value that differs between `before` (the stage as loaded from
// `source`) and `after` (as edited) reads as in `after`, and nothing else of the file changes. The
// edits go into the file as it is on disk now, which another program may have saved since the load:
// it is mapped again and each value goes on the line the parser keeps for it there (whatever section
// it read it in); an element is found again by its section's name and how many elements before it
// share that name. A key the element has no line of is added after the last line of its own
// section; a camera key after the last line of [Camera]. A member whose value did not change keeps
// its text ("1.263888888888889"), and text after the last member that is no ";" comment stays. With
// `after.Order` the element sections (header to last line) change places; the lines between
// sections stay (refused when another program changed the file since the load). Where the other
// program changed, added or removed a line an edit goes to, options.ui asks whose version it keeps
// (Write mine / Keep theirs / Cancel); Write mine for a removed line adds it where a new key goes.
// Refused, changing nothing, when an edited element's section is no longer in the file, on Cancel,
// or when the file is read-only or not a regular file (a symbolic link is written through to its
// target). The file is replaced in one step; before the first replacement it is kept as
// "<file>.bak" (an existing backup is never overwritten, so it stays the original).
// The member texts (trimmed, in order) of the line whose `key` value element `element` of the file
// kept; empty when it has no such line.
std::vector<std::string> WrittenMembers(const StageSource& source, size_t element, const std::string& key);

WriteBackResult WriteBackStage(const std::string& defPath, const StageSource& source,
                               const EditableValues& before, const EditableValues& after,
                               const WriteBackOptions& options = {});

}  // namespace qb

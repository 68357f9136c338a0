#pragma once
// Reads one stage definition into the stage model. Talks to the rest of the program only through
// StageContext.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "stage/error_log.h"
#include "stage/stage_model.h"

namespace qb {

class Progress;
class Ui;

// What the parse reads into and reports through. `ui` takes the reader's message boxes.
struct StageContext {
    StageModel& stage;
    StageLoadState& load;
    ErrorLog& log;
    Ui& ui;
    int32_t& lineNumber;
    std::string mugeDir;  // ends in a separator (may be empty)
    // Told the new caption while element sections are read.
    Progress* progress = nullptr;
};

// Parses `path` into ctx.stage, reading the file once and keeping its bytes and source map in
// ctx.load.Source. The sprite file is the next step (LoadSpriteFile). False when the file could not
// be opened (the stage is then the empty one, with "Could not open" in the log).
bool ParseStageDef(StageContext& ctx, const std::string& path);

// The source map of a definition held in memory, read exactly as ParseStageDef reads it (into a
// scratch model; no sprite file, no log, no boxes). For the text a write just produced.
StageSource MapStageSource(std::string bytes);
// The "name" a definition held in memory gives its stage, read as ParseStageDef reads it (quotes and
// letter case kept; empty when it has none).
std::string StageNameOf(std::string bytes);

// Whether a cleaned line inside an animation ("[Begin Action N]") is one of its frames: a line with a
// comma, except the collision boxes ("Clsn2Default: 1", "Clsn1[0] = -10,0,10,-80") that stages copy
// from a character's animation file along with the frames.
bool IsAnimationFrameLine(std::string_view line);

// The music rule of the parse: the path the media player is given for `musicFile` (shortened in
// place when it names the "sound" folder).
std::string ResolveMusicPath(std::string& musicFile, const std::string& mugeDir, const std::string& defPath);
// The places ResolveMusicPath looks for `musicFile`, in its order, in the letter case given (a path
// with a drive is taken as it is): what the lint reports when none of them holds the file.
std::vector<std::string> MusicLookupPaths(const std::string& musicFile, const std::string& mugeDir,
                                          const std::string& defPath);

}  // namespace qb

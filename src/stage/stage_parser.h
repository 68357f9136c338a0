#pragma once
// Reads one stage definition into the stage model, then has its sprite file located, indexed and
// decoded. Talks to the rest of the program only through StageContext.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "stage/error_log.h"
#include "stage/stage_model.h"

namespace qb {

class Ui;

struct StageContext {
    StageModel& stage;
    StageLoadState& load;
    ErrorLog& log;
    Ui& ui;
    int32_t& lineNumber;
    std::string mugeDir;  // ends in a separator (may be empty)
    // Packages: when the stage came from one, the two extracted files to delete at release.
    bool fromPackage = false;
    std::string* extractedDefFile = nullptr;
    std::string* extractedSpriteFile = nullptr;
    // The window's side effects: the parse disables full screen; a missing sprite file releases the
    // stage and gives the menus back.
    std::function<void()> onParseStart;
    std::function<void()> onSpriteFileMissing;
    // Called with the new caption while element sections are read.
    std::function<void(const std::string&)> onCaption;
};

// Parses `path` into ctx.stage and runs the sprite-file step. True when the whole stage, sprite file
// included, is loaded. `path` is set to empty when the sprite file could not be found.
bool ParseStageDef(StageContext& ctx, std::string& path);

// The source map of a definition held in memory, read exactly as ParseStageDef reads it (into a
// scratch model; no sprite file, no log, no boxes). For the text a write just produced.
StageSource MapStageSource(std::string bytes);
// The "name" a definition held in memory gives its stage, read as ParseStageDef reads it (quotes and
// letter case kept; empty when it has none).
std::string StageNameOf(std::string bytes);

// The music rule of the parse: the path the media player is given for `musicFile` (shortened in
// place when it names the "sound" folder).
std::string ResolveMusicPath(std::string& musicFile, const std::string& mugeDir, const std::string& defPath);
// The places ResolveMusicPath looks for `musicFile`, in its order, in the letter case given (a path
// with a drive is taken as it is): what the lint reports when none of them holds the file.
std::vector<std::string> MusicLookupPaths(const std::string& musicFile, const std::string& mugeDir,
                                          const std::string& defPath);

}  // namespace qb

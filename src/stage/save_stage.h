#pragma once
// The editor's two simple stage writers: a fresh definition made from the loaded model (camera,
// music, sprite file, every element and every animation with frames), not a copy of the stage file.
// SaveStage writes what the model read; SaveStage2 writes the positions as edited and leaves out
// settings that equal their defaults. Both keep the keys of the 1.0 and 1.1 engines a stage holds
// (version, local coordinates, hires, the camera's zoom; an element's scale, zoom, width, window and
// windowdelta), each only when it is set, so that a modern stage reads back the same and a classic
// one is written as before.
#include <string>

#include "stage/stage_model.h"

namespace qb {

enum class SaveStyle { Stage, Stage2 };

// The text SaveStage / SaveStage2 write. `musicFile` is the media player's current file (a full
// path, or empty). Lines end with CR LF.
std::string SaveStageText(const StageModel& stage, const std::string& musicFile, SaveStyle style);

// Write that text to `path` in one step (a temporary file in the same folder, then a rename): a
// failure half-way leaves the previous file as it was. False when the file could not be written.
bool SaveStage(const StageModel& stage, const std::string& musicFile, const std::string& path);
bool SaveStage2(const StageModel& stage, const std::string& musicFile, const std::string& path);

}  // namespace qb

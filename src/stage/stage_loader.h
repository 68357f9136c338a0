#pragma once
// The loading steps that follow the parse: the sprite file (locate, index, decode, match) and the
// placement of a parsed stage for the camera's start.
#include <cstdint>
#include <string>
#include <vector>
#include <string_view>

#include "stage/load_stage_files.h"
#include "stage/stage_parser.h"

namespace qb {

// Largest sprite file read (bigger files are taken as unreadable).
constexpr size_t kMaxSpriteFileBytes = 512u * 1024u * 1024u;

// Where the "spr" value points before the fallback beside the definition is tried.
std::string LocateSpriteFile(const std::string& spriteFile, const std::string& defPath,
                             const std::string& mugeDir);
// The fallback: the sprite file's bare name in the definition's folder.
std::string SpriteFileBesideDef(const std::string& spriteFile, const std::string& defPath);

// The sprite-file step that follows the parse: locates the file (asking for the "COULD NOT BE FOUND!"
// box when it is missing), reads it once, indexes it, matches sprites to elements and frames, and
// decodes the pictures. Adds the file and its stamp to the result. False when it is missing.
bool LoadSpriteFile(const LoadRequest& request, LoadResult& result, Progress& progress);

// Takes the "windowdelta is not drawn" remarks out of a load's log (modern stages draw it); message
// boxes keep their place among the remaining records.
void DropWindowDeltaRemarks(LoadResult& result);

// Fills the sprite table's index from a sprite file's bytes: one entry per sub-header the file really
// holds (plus one spare), group, image, and linked copies. Answers the number of sub-headers read.
int16_t IndexSpriteFile(std::string_view bytes, SpriteTable& table, Progress* progress);
// Matches sprites to elements and frames and sets the mask words (first match wins).
void MatchSprites(StageModel& stage);
// One flag a sprite (after MatchSprites): named by an element or by a frame of any animation.
std::vector<uint8_t> DrawnSprites(const StageModel& stage);

// True when the file can be opened and one of its lines contains "camera" in any letter case. The
// file is closed again.
bool IsStage(const std::string& stage);

// The camera's horizontal start offset for a stage's startx.
int16_t CameraStartOffset(float startX);
// Camera start, element placement and the BoundHigh correction. Modern stages (known once the sprite
// file is read) also get their own tile spacing, window and position-link rules here. `minPosY` is the smallest element y
// placed so far. Answers the camera's horizontal start offset (CamOffsetX).
int16_t PlaceElements(StageModel& stage, float& minPosY);
// Turns controller ids into element indices and "anim" controller values into animation indices.
void ResolveControllerTargets(StageModel& stage);
// The media player's volume for a stage's bgvolume (-255..255 onto -6000..0).
int32_t MusicVolume(int16_t bgVolume);

}  // namespace qb

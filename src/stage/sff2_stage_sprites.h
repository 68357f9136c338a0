#pragma once
// A version 2 sprite file as a stage's sprite table: every node decoded once, linked nodes sharing
// their target's picture with their own axis and palette.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sff2_decoder.h"
#include "stage/error_log.h"
#include "stage/stage_model.h"

namespace qb {

// What the loader prepares for each indexed stage picture, so a copy does no per-pixel work: the rows'
// runs of non-zero indices (kept only when smaller than the picture), and the picture through a
// palette (null when a colour past 0 is not opaque).
void BuildOpaqueRuns(Sff2Picture& picture);
std::shared_ptr<const std::vector<uint32_t>> ExpandIndexed(const Sff2Picture& picture,
                                                           const Sff2Colours& colours);

// Fills stage.Sprites from a version 2 file's bytes (one entry per node plus one spare, as the version 1
// index keeps) and the stage's sprite-file version. Only the first node with a given group and image
// is decoded and shown, as in version 1 files; later ones stay in the table without a picture. Each
// damaged sprite is named in `log` (a DamagedSprite record). `filePath` is the sprite file. Answers the
// number of nodes, 0 when the file is refused.
int16_t IndexSff2StageSprites(std::string_view bytes, StageModel& stage, ErrorLog& log,
                              const std::string& filePath);

// Gives the indexed entries flagged in `drawn` (one flag an entry) their pictures through their palettes
// (SpriteEntry::Expanded), shared by the entries that show the same picture through the same palette,
// within four times the drawn pictures' indices. Sprites no element or animation names are drawn by no
// frame: expanding them too took most of a big stage's loading time and its memory.
void ExpandIndexedSprites(SpriteTable& table, const std::vector<uint8_t>& drawn);

}  // namespace qb

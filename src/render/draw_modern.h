#pragma once
// The modern path: stages with a version 2 sprite file or a localcoord other than 320,240 draw into a
// 32-bit picture of their own size, one stage unit a pixel.
#include <cstdint>
#include <string>

#include "platform/picture32.h"
#include "render/camera_state.h"
#include "stage/stage_model.h"

namespace qb {

bool IsModernStage(const StageModel& stage);
// The picture a modern stage draws into: localcoord, each side clamped to 64..4096 so that a hostile value cannot ask for gigabytes.
struct PictureSize {
    int width = 320;
    int height = 240;
};
PictureSize ModernPictureSize(const StageModel& stage);
// Positions are placed about the classic centre (160) when a stage loads; the modern picture's
// centre is width / 2, so every element moves right by this much.
int32_t ModernCentreShift(const Picture32& picture);

// The 32-bit counterpart of BlitSprite (same rectangle and window conventions). Answers the pixels
// written, for the benchmark's memcpy floor.
int64_t BlitSprite32(const StageModel& stage, const CameraState& camera, Picture32& picture, int32_t BltX,
                     int32_t BltY, int32_t BltW, int32_t BltH, int16_t SrcIndex, int32_t sx, int32_t sy,
                     int16_t BGCNT);

// The info overlay's text in white with the built-in font, at (4, 3 + dy) as on the classic picture.
void DrawInfoText32(Picture32& picture, const std::string& text, int dy = 0);
// Every frame starts from opaque black.
void ClearPicture32(Picture32& picture);
// The debug background: the mask colour, as the classic picture shows it.
void DebugClear32(Picture32& picture);

}  // namespace qb

#pragma once
// The about screen's picture: two copies of the sample character walking across an empty view from
// left to right, the first one backwards, carrying the title card between them.
#include <array>
#include <cstdint>

#include "character/test_character.h"
#include "platform/gfx.h"

struct BITMAP;

namespace qb {

// Size of the title card the walkers carry.
inline constexpr int kIntroCardWidth = 96;
inline constexpr int kIntroCardHeight = 30;

// The "Quillback" title card, drawn here so that every front end shows the same one.
UniqueBitmap MakeIntroCard();

struct AboutWalkers {
    // [0] is loaded from the character's files; [1] draws with [0]'s bitmaps (SharedCopy).
    std::array<TestCharacter, 2> Records;
    // Per-frame scratch values shared by both records (DrawX, MirrorFrame, TurnLock, ...).
    CharState Scratch;
};

// Makes record 2 a copy of the loaded record 1 and puts both left of the view on `groundY`: record
// 1 at the start of its walk, record 2 four frames into it. The first walker must have its walking
// action (the loader guarantees it).
void PlaceAboutWalkers(AboutWalkers& walkers, float groundY);

// Clears `backBuffer` and steps and draws both walkers and the card between them. `cameraY` and
// `linkOffsetY` shift them vertically like the stage's camera does. Answers where record 2 was
// drawn (its DrawX): the screen ends once that is past the view's right edge.
int32_t DrawAboutFrame(AboutWalkers& walkers, BITMAP* backBuffer, BITMAP* card, float cameraY,
                       int16_t linkOffsetY);

}  // namespace qb

#pragma once
// The graphics function set: Allegro 4 memory bitmaps behind plain functions. This header does not
// include <allegro.h>; only platform/gfx.cpp and platform/sff_decoder.cpp do.
//
// All bitmaps are 16-bit 5-6-5 (red in the top bits), rows contiguous. Drawing happens on one thread.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sprite_table.h"

struct BITMAP;

namespace qb {

constexpr int kMaskColor = 0xF81F;  // 63519, magenta
constexpr int kViewWidth = 320;
constexpr int kViewHeight = 240;

// Starts Allegro without a display (idempotent). Returns false when it could not start.
bool a_allegro_init();
void a_allegro_exit();

BITMAP* a_create_bitmap(int width, int height);
UniqueBitmap CreateBitmap(int width, int height);
void a_destroy_bitmap(BITMAP* bitmap);

// The pixels of many bitmaps made together (the pictures of one sprite file) in one block of memory,
// in large pages where the system gives them: the first writes into freshly loaded pictures then
// fault a few times instead of once every 4 KB, which on virtual machines costs more than decoding
// them. Each bitmap made here keeps the block alive; it is released with the last of them.
class BitmapBlock {
public:
    // Room for `bitmaps` bitmaps of `pixels` pixels in all (none when the memory is refused).
    BitmapBlock(size_t pixels, size_t bitmaps);
    ~BitmapBlock();
    BitmapBlock(const BitmapBlock&) = delete;
    BitmapBlock& operator=(const BitmapBlock&) = delete;
    // A bitmap like CreateBitmap's; made by CreateBitmap once the block is full. Threads may make
    // bitmaps in one block at the same time.
    UniqueBitmap Create(int width, int height);
    // False when the memory was refused (every bitmap is then made by CreateBitmap).
    bool HasMemory() const { return shared_ != nullptr; }

    struct Shared;

private:
    Shared* shared_ = nullptr;
};
// Gives back the memory kept from the last released block (see BitmapBlock).
void ReleaseSpareBitmapMemory();

int BitmapWidth(const BITMAP* bitmap);
int BitmapHeight(const BITMAP* bitmap);
uint16_t* BitmapRow(BITMAP* bitmap, int y);
const uint16_t* BitmapRow(const BITMAP* bitmap, int y);
int a_makecol(int r, int g, int b);
int a_getpixel(BITMAP* bitmap, int x, int y);
void a_putpixel(BITMAP* bitmap, int x, int y, int color);

void a_clear_bitmap(BITMAP* bitmap);
void a_clear_to_color(BITMAP* bitmap, int color);
// Clip rectangle of the destination (inclusive corners), and switching it off again.
void a_set_clip(BITMAP* bitmap, int x1, int y1, int x2, int y2);
void a_reset_clip(BITMAP* bitmap);

void a_blit(BITMAP* source, BITMAP* dest, int sx, int sy, int dx, int dy, int w, int h);
void a_masked_blit(BITMAP* source, BITMAP* dest, int sx, int sy, int dx, int dy, int w, int h);
void a_stretch_blit(BITMAP* source, BITMAP* dest, int sx, int sy, int sw, int sh, int dx, int dy, int dw,
                    int dh);
void a_draw_sprite(BITMAP* dest, BITMAP* sprite, int x, int y);
void a_draw_sprite_h_flip(BITMAP* dest, BITMAP* sprite, int x, int y);
void a_draw_sprite_v_flip(BITMAP* dest, BITMAP* sprite, int x, int y);
void a_draw_sprite_vh_flip(BITMAP* dest, BITMAP* sprite, int x, int y);
void a_stretch_sprite(BITMAP* dest, BITMAP* sprite, int x, int y, int w, int h);
void a_draw_trans_sprite(BITMAP* dest, BITMAP* sprite, int x, int y);
void a_draw_lit_sprite(BITMAP* dest, BITMAP* sprite, int x, int y, int color);
void a_set_trans_blender(int r, int g, int b, int a);
void a_set_difference_blender(int r, int g, int b, int a);
// Adds the sprite's colours onto the destination scaled by amount/255 (255 full, 128 half);
// mask-colour pixels are skipped.
void add_sprite(BITMAP* dest, BITMAP* sprite, int x, int y, int amount);
// Subtracts the sprite's colours from the destination; mask-colour pixels are skipped.
void sub_sprite(BITMAP* dest, BITMAP* sprite, int x, int y);
// The engine's weighted addition per channel: sprite * src/256 + destination * dst/256, rounded to
// the nearest step of the channel and clamped at its top (weights taken into 0..256); mask-colour
// pixels are skipped.
void blend_sprite(BITMAP* dest, BITMAP* sprite, int x, int y, int src, int dst);
// Built-in 8x8 font; transparent background.
void a_textout(BITMAP* bitmap, const std::string& text, int x, int y, int color);

bool a_save_pcx(const std::string& path, BITMAP* bitmap);
bool SavePng(const std::string& path, BITMAP* bitmap);

// Decodes the pictures of a version 1 sprite file into `table` (already sized and indexed by the
// caller: group, image, mask word and, for linked entries, the owner mark). Fills axis, size, bitmap
// and ownership. Never throws; a picture that cannot be decoded leaves its entry without a bitmap.
// Returns false when the file cannot be read at all.
bool Load_Stage_SFF(const std::string& path, SpriteTable& table, int count);

// Fills entry k of a character's sprite table (already sized) with the sprite that request k names:
// group, image, axis, size, bitmap and ownership (-1 for the entry that owns a bitmap; an entry
// showing the same picture as an earlier one shares it and holds that entry's index). Colour 0 is
// always the mask colour. Only the first `count` sub-headers of the file are looked at, only the
// first `highestIndex` + 1 requests are served, and an entry whose request names a sprite the file
// lacks stays as it was. A version 2 file fills the entries' picture and colours as well (and its
// bitmaps come from them). False when the file cannot be read or is not a sprite file.
bool Load_Char_SFF(const std::string& path, SpriteTable& table, int32_t count,
                   const std::vector<CharSpriteRequest>& requests, int32_t highestIndex);

// Time spent inside the drawing calls above, for the headless tool's --bench report.
void GfxTimingEnable(bool on);
int64_t GfxTimingNanos();
// Clears the time and the call count.
void GfxTimingReset();
// Drawing calls made since the last reset, counted whether or not timing is on: what a frame costs
// in calls, whatever the content's values.
int64_t GfxDrawCalls();

}  // namespace qb

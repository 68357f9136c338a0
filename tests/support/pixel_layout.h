#pragma once
// Pixels as letters: tiny bitmaps drawn from rows of letters, and bitmaps dumped back as rows.
//
// Layout letters: '.' mask colour, 'K' black, 'R' red, 'G' green, 'B' blue, 'W' white, 'Y' yellow,
// 'C' cyan, 'r' half red (15,0,0 in 5-6-5), 'g' half green, 'b' half blue. A dump prints '?' for any
// other colour.
#include <string>
#include <vector>

#include "platform/sprite_table.h"

struct BITMAP;

namespace qb::test {

int LayoutColor(char letter);
char ColorLetter(int color);

// Rows of equal length; returns an owned bitmap.
UniqueBitmap BitmapFromLayout(const std::vector<std::string>& rows);
// The bitmap's pixels as rows of letters.
std::vector<std::string> Dump(BITMAP* bitmap);
std::vector<std::string> Dump(BITMAP* bitmap, int x, int y, int w, int h);

}  // namespace qb::test

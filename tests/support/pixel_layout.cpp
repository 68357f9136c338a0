#include "tests/support/pixel_layout.h"

#include "platform/gfx.h"

namespace qb::test {

namespace {

struct LetterColor {
    char letter;
    int r, g, b;
};
constexpr LetterColor kLetters[] = {
    {'K', 0, 0, 0},       {'R', 255, 0, 0},   {'G', 0, 255, 0},   {'B', 0, 0, 255},
    {'W', 255, 255, 255}, {'Y', 255, 255, 0}, {'C', 0, 255, 255},
};

}  // namespace

int LayoutColor(char letter) {
    switch (letter) {
        case '.':
            return kMaskColor;
        case 'r':
            return 15 << 11;
        case 'g':
            return 31 << 5;
        case 'b':
            return 15;
        default:
            break;
    }
    for (const auto& l : kLetters)
        if (l.letter == letter) return a_makecol(l.r, l.g, l.b);
    return 0x1234;
}

char ColorLetter(int color) {
    for (char letter : std::string(".KRGBWYCrgb"))
        if (LayoutColor(letter) == color) return letter;
    return '?';
}

UniqueBitmap BitmapFromLayout(const std::vector<std::string>& rows) {
    a_allegro_init();
    int h = static_cast<int>(rows.size());
    int w = h ? static_cast<int>(rows[0].size()) : 0;
    UniqueBitmap bitmap = CreateBitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) a_putpixel(bitmap.get(), x, y, LayoutColor(rows[y][x]));
    return bitmap;
}

std::vector<std::string> Dump(BITMAP* bitmap, int x0, int y0, int w, int h) {
    std::vector<std::string> rows;
    for (int y = y0; y < y0 + h; ++y) {
        std::string row;
        for (int x = x0; x < x0 + w; ++x) row += ColorLetter(a_getpixel(bitmap, x, y));
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> Dump(BITMAP* bitmap) {
    return Dump(bitmap, 0, 0, BitmapWidth(bitmap), BitmapHeight(bitmap));
}

}  // namespace qb::test

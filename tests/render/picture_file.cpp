#include "tests/render/picture_file.h"

#include <allegro.h>
#include <loadpng.h>

#include <filesystem>

#include "platform/gfx.h"

namespace qb::test {

DecodedPicture LoadPicture(const std::string& path) {
    DecodedPicture picture;
    if (!a_allegro_init()) return picture;
    set_color_conversion(COLORCONV_TOTAL);
    std::string ext = std::filesystem::path(path).extension().string();
    BITMAP* bitmap = ext == ".pcx" ? load_pcx(path.c_str(), nullptr) : load_png(path.c_str(), nullptr);
    if (!bitmap) return picture;
    picture.width = bitmap->w;
    picture.height = bitmap->h;
    picture.pixels.reserve(static_cast<size_t>(bitmap->w * bitmap->h));
    for (int y = 0; y < bitmap->h; ++y)
        for (int x = 0; x < bitmap->w; ++x) {
            int c = getpixel(bitmap, x, y);
            picture.pixels.push_back(static_cast<uint16_t>(a_makecol(getr(c), getg(c), getb(c))));
        }
    destroy_bitmap(bitmap);
    return picture;
}

}  // namespace qb::test

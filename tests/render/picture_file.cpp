#include "tests/render/picture_file.h"

#include <allegro.h>
#include <loadpng.h>

#include <cstdio>
#include <cstdlib>
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

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

int RunShotTool(const std::string& arguments, std::string* output) {
    std::string command = Quote(QB_SHOT_EXE) + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[512];
    std::string text;
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, n);
    int status = pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qb::test

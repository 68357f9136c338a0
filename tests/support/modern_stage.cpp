#include "tests/support/modern_stage.h"

#include <vector>

#include "demo/sff2_writer.h"

namespace qb::test {

std::string ModernTestSff() {
    demo::Sff2Palette palette;
    palette.rgba.assign(256 * 4, 0);
    const uint8_t first[] = {0, 0, 255, 255, 255, 0, 0, 255};
    std::copy(std::begin(first), std::end(first), palette.rgba.begin());

    demo::Sff2Sprite indexed;
    indexed.group = 0;
    indexed.width = 4;
    indexed.height = 2;
    indexed.format = 2;
    indexed.pixels = {0, 1, 0, 1, 1, 1, 1, 1};

    demo::Sff2Sprite png;
    png.group = 1;
    png.width = 2;
    png.height = 1;
    png.format = 12;
    png.depth = 32;
    png.pixels = {255, 255, 255, 0, 0, 200, 0, 128};

    demo::Sff2Sprite linked;
    linked.group = 2;
    linked.axisX = 2;
    linked.width = 4;
    linked.height = 2;
    linked.linkTo = 0;

    demo::Sff2Sprite broken;
    broken.group = 3;
    broken.width = 4;
    broken.height = 2;
    broken.linkTo = 99;
    return demo::WriteSff2({indexed, png, linked, broken}, {palette}, 1);
}

std::string ModernTestDef(const std::string& spriteFile) {
    std::string def =
        "[Info]\nname = Modern\nmugenversion = 1.1\n"
        "[Camera]\nstartx = 0\nstarty = 0\nboundleft = -100\nboundright = 100\nboundhigh = -20\nboundlow = 0\n"
        "cutlow = 7\ncuthigh = 9\n"
        "[StageInfo]\nzoffset = 250\nlocalcoord = 400,300\nxscale = 1.5\nyscale = 0.5\n"
        "[BGdef]\nspr = " +
        spriteFile + "\n";
    struct Element {
        const char* name;
        const char* sprite;
        int y;
        const char* extra;
    };
    const Element elements[] = {
        {"Plain", "0,0", 10, ""},
        {"Add1", "0,0", 20, "trans = add1\n"},
        {"Linked", "2,0", 30, ""},
        {"Png", "1,0", 40, "mask = 1\n"},
        {"Broken", "3,0", 50, ""},
    };
    for (const Element& e : elements)
        def += std::string("[BG ") + e.name + "]\ntype = normal\nspriteno = " + e.sprite + "\nstart = 0," +
               std::to_string(e.y) + "\ndelta = 1,1\n" + e.extra;
    return def;
}

}  // namespace qb::test

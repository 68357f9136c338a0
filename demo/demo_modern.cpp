#include "demo/demo_modern.h"

#include <cmath>
#include <fstream>
#include <system_error>

#include "demo/demo_canvas.h"
#include "demo/demo_char.h"
#include "demo/demo_stage.h"
#include "platform/sff2_file.h"

namespace qb::demo {

namespace {

constexpr double kPi = 3.14159265358979;

// A palette node of `count` colours, all opaque (2.01 files keep alpha in the fourth byte).
Sff2Palette PaletteNode(uint16_t number, const Palette& rgb, int count) {
    Sff2Palette p;
    p.group = 1;
    p.number = number;
    for (int c = 0; c < count; ++c)
        p.rgba.insert(p.rgba.end(), {rgb[size_t(c) * 3], rgb[size_t(c) * 3 + 1], rgb[size_t(c) * 3 + 2], 255});
    return p;
}

Sff2Sprite Indexed(uint16_t group, uint16_t image, int16_t axisX, int16_t axisY, uint8_t format, const Canvas& c,
                   uint16_t palette) {
    Sff2Sprite s;
    s.group = group;
    s.image = image;
    s.axisX = axisX;
    s.axisY = axisY;
    s.format = format;
    s.depth = 8;
    s.width = c.W();
    s.height = c.H();
    s.pixels = c.ToPicture().pixels;
    s.palette = palette;
    return s;
}

// A small deterministic noise in [0, 1).
double Hash(int x, int y) {
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<double>((h ^ (h >> 16)) & 0xFFFF) / 65536.0;
}

// Sky: a dusk gradient in 200 colours with scattered stars (RLE8: long runs of one colour).
Canvas Sky(PaletteBuilder& p) {
    p.Ramp(1, 120, {14, 16, 52}, {120, 60, 130});
    p.Ramp(121, 200, {120, 60, 130}, {250, 150, 110});
    p.Set(250, {255, 250, 220});
    Canvas c(1680, 720);
    for (int y = 0; y < c.H(); ++y) {
        const int colour = 1 + y * 199 / (c.H() - 1);
        for (int x = 0; x < c.W(); ++x) c.Set(x, y, colour);
    }
    for (int k = 0; k < 260; ++k) {
        const int x = static_cast<int>(Hash(k, 1) * c.W()), y = static_cast<int>(Hash(k, 2) * 380);
        c.Set(x, y, 250);
        if (k % 9 == 0) c.Rect(x - 1, y, x + 1, y, 250);
    }
    return c;
}

// Mountains: two ridges in 31 colours (LZ5 holds colours 0..31); colour 0 is the sky behind.
Canvas Mountains(PaletteBuilder& p) {
    p.Ramp(1, 15, {40, 30, 80}, {90, 60, 120});
    p.Ramp(16, 31, {24, 20, 50}, {60, 40, 90});
    Canvas c(1900, 300);
    for (int x = 0; x < c.W(); ++x) {
        const double far = 90 + 50 * std::sin(x * 0.004) + 25 * std::sin(x * 0.013 + 1) + 8 * std::sin(x * 0.05);
        const double near = 170 + 40 * std::sin(x * 0.006 + 2) + 15 * std::sin(x * 0.021);
        for (int y = static_cast<int>(far); y < c.H(); ++y) c.Set(x, y, 1 + std::min(14, (y - int(far)) / 12));
        for (int y = static_cast<int>(near); y < c.H(); ++y) c.Set(x, y, 16 + std::min(15, (y - int(near)) / 8));
    }
    return c;
}

// Fog: a soft band, brightest in the middle, added over the mountains with addalpha.
Canvas Fog(PaletteBuilder& p) {
    p.Ramp(1, 64, {10, 12, 20}, {170, 170, 210});
    Canvas c(1800, 140);
    for (int y = 0; y < c.H(); ++y) {
        const double t = std::sin(kPi * y / (c.H() - 1));
        for (int x = 0; x < c.W(); ++x) c.Set(x, y, 1 + static_cast<int>(63 * t * (0.75 + 0.25 * std::sin(x * 0.01))));
    }
    return c;
}

// A pagoda: three roofs over a lit body (PNG8; colour 0 clear).
Canvas Pagoda(PaletteBuilder& p) {
    p.Set(1, {30, 22, 34});
    p.Set(2, {120, 40, 40});
    p.Set(3, {160, 60, 50});
    p.Set(4, {250, 200, 110});
    p.Set(5, {70, 50, 60});
    Canvas c(220, 300);
    for (int level = 0; level < 3; ++level) {
        const int top = 40 + level * 85, half = 60 - level * 8 + 30;
        c.Rect(110 - half + 30, top + 20, 110 + half - 30, top + 80, 5);          // body
        c.Rect(110 - 14, top + 36, 110 + 14, top + 64, 4);                        // lit window
        for (int y = 0; y < 20; ++y) c.Rect(110 - half + y / 2, top + y, 110 + half - y / 2, top + y, y < 4 ? 1 : 2 + (y % 2));
    }
    c.Rect(104, 0, 116, 40, 1);  // the spire
    c.Rect(60, 285, 160, 299, 1);
    return c;
}

// A glow: a disc fading from a warm white to black, for additive drawing (PNG8).
Canvas Glow(PaletteBuilder& p) {
    p.Ramp(0, 255, {0, 0, 0}, {255, 190, 90});
    Canvas c(120, 120);
    for (int y = 0; y < c.H(); ++y)
        for (int x = 0; x < c.W(); ++x) {
            const double d = std::hypot(x - 59.5, y - 59.5) / 60;
            c.Set(x, y, static_cast<int>(255 * std::max(0.0, 1 - d) * std::max(0.0, 1 - d)));
        }
    return c;
}

// The floor: flagstones in perspective-free rows, drawn as a parallax floor (RLE8).
Canvas Floor(PaletteBuilder& p) {
    p.Ramp(1, 40, {50, 44, 50}, {120, 104, 100});
    p.Set(41, {30, 26, 30});
    Canvas c(1000, 80);
    for (int y = 0; y < c.H(); ++y)
        for (int x = 0; x < c.W(); ++x) {
            const bool joint = y % 20 == 0 || (x + (y / 20) * 25) % 50 == 0;
            c.Set(x, y, joint ? 41 : 1 + static_cast<int>(20 + 19 * std::sin(x * 0.02 + y * 0.1) * Hash(x / 50, y / 20)));
        }
    return c;
}

// A bird in four wing positions (LZ5).
Canvas Bird(PaletteBuilder& p, int frame) {
    p.Set(1, {20, 16, 30});
    p.Set(2, {60, 50, 80});
    Canvas c(48, 32);
    c.Disc(24, 18, 5, 1);
    c.Disc(31, 15, 3, 1);
    const double lift = std::sin(frame * kPi / 2) * 12;
    for (int i = 0; i < 18; ++i) {
        c.Set(24 - i, 16 - static_cast<int>(lift * i / 18), 2);
        c.Set(24 - i, 17 - static_cast<int>(lift * i / 18), 1);
        c.Set(24 + i / 2, 16 - static_cast<int>(lift * i / 18), 2);
    }
    return c;
}

// The moon: a pale disc whose edge fades out through its alpha (PNG32), drawn masked so the alpha counts.
Sff2Sprite Moon() {
    Sff2Sprite s;
    s.group = 2;
    s.image = 0;
    s.axisX = 160;
    s.axisY = 160;
    s.format = kSff2Png32;
    s.depth = 32;
    s.width = 320;
    s.height = 320;
    for (int y = 0; y < 320; ++y)
        for (int x = 0; x < 320; ++x) {
            const double d = std::hypot(x - 159.5, y - 159.5);
            const double a = d < 60 ? 1.0 : std::max(0.0, 1 - (d - 60) / 100);
            const double spot = Hash(x / 12, y / 12) * 20;
            s.pixels.insert(s.pixels.end(), {static_cast<uint8_t>(d < 60 ? 245 - spot : 230),
                                             static_cast<uint8_t>(d < 60 ? 235 - spot : 200),
                                             static_cast<uint8_t>(d < 60 ? 210 - spot : 220),
                                             static_cast<uint8_t>(255 * a * (d < 60 ? 1 : 0.45))});
        }
    return s;
}

std::string Lines(std::initializer_list<const char*> lines) {
    std::string text;
    for (const char* line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

}  // namespace

ModernSheet ModernStageSprites() {
    ModernSheet sheet;
    auto add = [&](Canvas (*draw)(PaletteBuilder&), int count, uint16_t group, int16_t ax, int16_t ay,
                   uint8_t format) {
        PaletteBuilder p;
        const Canvas c = draw(p);
        const auto palette = static_cast<uint16_t>(sheet.palettes.size());
        sheet.palettes.push_back(PaletteNode(palette, p.Get(), count));
        sheet.sprites.push_back(Indexed(group, 0, ax, ay, format, c, palette));
    };
    add(Sky, 256, 0, 840, 0, kSff2Rle8);
    add(Mountains, 32, 1, 950, 300, kSff2Lz5);
    sheet.sprites.push_back(Moon());
    add(Fog, 256, 3, 900, 0, kSff2Rle8);
    add(Glow, 256, 4, 60, 60, kSff2Png8);
    add(Pagoda, 256, 5, 110, 300, kSff2Png8);
    // The second pagoda: the same picture through a link, placed by an axis of its own.
    Sff2Sprite twin;
    twin.group = 5;
    twin.image = 1;
    twin.axisX = -420;
    twin.axisY = 330;
    twin.format = kSff2Png8;
    twin.width = sheet.sprites.back().width;
    twin.height = sheet.sprites.back().height;
    twin.palette = sheet.sprites.back().palette;
    twin.linkTo = static_cast<int>(sheet.sprites.size()) - 1;
    sheet.sprites.push_back(twin);
    add(Floor, 256, 6, 500, 0, kSff2Rle8);
    PaletteBuilder birdColours;
    const auto birdPalette = static_cast<uint16_t>(sheet.palettes.size());
    for (int frame = 0; frame < 4; ++frame)
        sheet.sprites.push_back(Indexed(7, static_cast<uint16_t>(frame), 24, 16, kSff2Lz5, Bird(birdColours, frame), birdPalette));
    sheet.palettes.push_back(PaletteNode(birdPalette, birdColours.Get(), 32));
    return sheet;
}

std::string ModernStageDef() {
    return Lines({
        "; Lantern Pass: a mountain pass at moonrise, drawn by the demo generator at 1280 x 720.",
        "[Info]",
        "name = \"Lantern Pass\"",
        "author = \"Quillback\"",
        "mugenversion = 1.1",
        "",
        "[Camera]",
        "startx = 0",
        "starty = 0",
        "boundleft = -200",
        "boundright = 200",
        "boundhigh = 0",
        "boundlow = 0",
        "tension = 200",
        "verticalfollow = .2",
        "floortension = 0",
        "",
        "[PlayerInfo]",
        "p1startx = -280",
        "p1starty = 0",
        "p2startx = 280",
        "p2starty = 0",
        "leftbound = -1000",
        "rightbound = 1000",
        "",
        "[Bound]",
        "screenleft = 60",
        "screenright = 60",
        "",
        "[StageInfo]",
        "zoffset = 660",
        "localcoord = 1280,720",
        "autoturn = 1",
        "resetBG = 1",
        "",
        "[Shadow]",
        "intensity = 96",
        "color = 20,10,40",
        "yscale = .3",
        "",
        "[BGdef]",
        "spr = stages/lanternpass.sff",
        "debugbg = 0",
        "",
        "[BG Sky]",
        "type = normal",
        "spriteno = 0, 0",
        "start = 0, 0",
        "delta = .2, .2",
        "",
        "[BG Moon]",
        "type = normal",
        "spriteno = 2, 0",
        "start = 300, 220",
        "delta = .25, .25",
        "mask = 1",
        "",
        "[BG Mountains]",
        "type = normal",
        "spriteno = 1, 0",
        "start = 0, 560",
        "delta = .4, .4",
        "mask = 1",
        "",
        "[BG Fog]",
        "type = normal",
        "spriteno = 3, 0",
        "start = 0, 430",
        "delta = .5, .5",
        "trans = addalpha",
        "alpha = 96, 160",
        "",
        "[BG Pagoda]",
        "type = normal",
        "spriteno = 5, 0",
        "start = -380, 630",
        "delta = .7, .7",
        "mask = 1",
        "",
        "[BG Pagoda twin]",
        "type = normal",
        "spriteno = 5, 1",
        "start = -380, 630",
        "delta = .7, .7",
        "mask = 1",
        "",
        "[BG Lantern glow]",
        "type = normal",
        "spriteno = 4, 0",
        "start = -380, 460",
        "delta = .7, .7",
        "trans = add1",
        "",
        "[BG Lantern glow twin]",
        "type = normal",
        "spriteno = 4, 0",
        "start = 150, 430",
        "delta = .7, .7",
        "trans = add1",
        "",
        "[BG Bird]",
        "type = anim",
        "actionno = 10",
        "start = 120, 180",
        "delta = .6, .6",
        "velocity = .5, 0",
        "tile = 1, 0",
        "tilespacing = 900, 0",
        "",
        "[BG Floor]",
        "type = parallax",
        "spriteno = 6, 0",
        "start = 0, 640",
        "delta = .9, .9",
        "xscale = 1, 1.6",
        "yscalestart = 100",
        "yscaledelta = 0",
        "tile = 1, 0",
        "",
        // The bird tilts into its wing beat and rises with it: frames 8-10 (scale, angle) and the
        // Interpolate lines of 1.1 animations, which move a frame toward the next one tick by tick.
        "[Begin Action 10]",
        "7,0, 0,0, 6, , , 1, 1, -6",
        "Interpolate Offset",
        "Interpolate Angle",
        "7,1, 0,-6, 6, , , 1, 1, 4",
        "Interpolate Offset",
        "Interpolate Angle",
        "Interpolate Scale",
        "7,2, 0,-8, 6, , , 1.1, 1.1, 8",
        "7,3, 0,-4, 6, , , 1, 1, 0",
    });
}

ModernSheet ModernCharSprites() {
    // Wren's drawings in Kite's colours: a plum coat and a teal scarf.
    std::vector<SffSprite> wren = DemoCharSprites();
    Palette colours = wren.front().palette;
    const uint8_t coat[] = {130, 60, 120}, shade[] = {90, 36, 86}, scarf[] = {40, 190, 170};
    for (int c = 0; c < 3; ++c) {
        colours[2 * 3 + size_t(c)] = coat[c];
        colours[3 * 3 + size_t(c)] = shade[c];
        colours[6 * 3 + size_t(c)] = scarf[c];
    }
    ModernSheet sheet;
    sheet.palettes.push_back(PaletteNode(1, colours, 256));
    for (const SffSprite& s : wren) {
        Sff2Sprite out;
        out.group = static_cast<uint16_t>(s.group);
        out.image = static_cast<uint16_t>(s.image);
        out.axisX = s.axisX;
        out.axisY = s.axisY;
        out.width = s.picture.width;
        out.height = s.picture.height;
        out.pixels = s.picture.pixels;
        bool small = true;
        for (uint8_t p : out.pixels) small = small && p < 32;
        out.format = small ? kSff2Lz5 : kSff2Rle8;
        out.linkTo = s.linkTo;
        if (s.linkTo >= 0) {
            out.width = wren[size_t(s.linkTo)].picture.width;
            out.height = wren[size_t(s.linkTo)].picture.height;
            out.pixels.clear();
        }
        sheet.sprites.push_back(out);
    }
    return sheet;
}

std::string ModernCharDef() {
    return "; Kite, the Quillback demo character in a version 2 sprite file\n"
           "[Info]\n"
           "name = \"Kite\"\n"
           "displayname = \"Kite\"\n"
           "versiondate = 01,01,2026\n"
           "mugenversion = 1.1\n"
           "localcoord = 320,240\n"
           "author = \"Quillback\"\n"
           "\n"
           "[Files]\n"
           "cmd      = kite.cmd\n"
           "cns      = kite.cns\n"
           "st       = kite.cns\n"
           "stcommon = common1.cns\n"
           "sprite   = kite.sff\n"
           "anim     = kite.air\n";
}

bool WriteModernDemo(const std::filesystem::path& output, std::string& error) {
    std::error_code ec;
    for (const auto& folder : {output / "stages", output / "chars" / "kite"}) {
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            error = "cannot create " + folder.string() + ": " + ec.message();
            return false;
        }
    }
    auto write = [&](const std::filesystem::path& path, const std::string& bytes) {
        return WriteDemoFile(path, bytes, error);
    };
    const ModernSheet stage = ModernStageSprites(), kite = ModernCharSprites();
    const std::filesystem::path chars = output / "chars" / "kite";
    return write(output / "stages" / "lanternpass.sff", WriteSff2(stage.sprites, stage.palettes, 1)) &&
           write(output / "stages" / "lanternpass.def", ModernStageDef()) &&
           write(chars / "kite.def", ModernCharDef()) && write(chars / "kite.air", DemoCharAir()) &&
           write(chars / "kite.cns", DemoCharCns()) && write(chars / "kite.sff", WriteSff2(kite.sprites, kite.palettes, 1));
}

}  // namespace qb::demo

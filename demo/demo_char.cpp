#include "demo/demo_char.h"

#include <cmath>
#include <fstream>
#include <system_error>

#include "demo/demo_canvas.h"

namespace qb::demo {

namespace {

constexpr double kPi = 3.14159265358979;

// Sprite canvas: the feet stand on the bottom row, the axis is there, midway across.
constexpr int kW = 48, kH = 86;
constexpr int kAxisX = 24, kAxisY = 85;
constexpr int kGround = 85;
constexpr double kThigh = 17, kShin = 17;

enum Colour { kClear = 0, kOutline, kCoat, kCoatShade, kSkin, kHair, kScarf, kBoot, kEye, kTrousers, kBeak };

Palette WrenPalette() {
    PaletteBuilder p;
    p.Set(kOutline, {24, 22, 40});
    p.Set(kCoat, {52, 150, 160});
    p.Set(kCoatShade, {30, 98, 116});
    p.Set(kSkin, {240, 202, 160});
    p.Set(kHair, {104, 60, 34});
    p.Set(kScarf, {232, 92, 58});
    p.Set(kBoot, {60, 44, 40});
    p.Set(kEye, {16, 16, 24});
    p.Set(kTrousers, {64, 66, 110});
    p.Set(kBeak, {250, 176, 60});
    return p.Get();
}

struct Point {
    double x, y;
};

// A limb of round brush strokes, outlined by drawing the outline colour one pixel wider first.
void Stroke(Canvas& c, Point a, Point b, double r, int colour) {
    const double length = std::hypot(b.x - a.x, b.y - a.y);
    const int steps = std::max(1, static_cast<int>(length * 2));
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i <= steps; ++i) {
            const double t = double(i) / steps;
            c.Disc(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, pass == 0 ? r + 1 : r, pass == 0 ? kOutline : colour);
        }
    }
}

// The knee of a leg from hip to foot, bent forward (towards +x) as far as the two bones need.
Point Knee(Point hip, Point foot) {
    const double dx = foot.x - hip.x, dy = foot.y - hip.y;
    const double d = std::min(std::hypot(dx, dy), kThigh + kShin - 0.01);
    const double along = d / 2;
    const double out = std::sqrt(std::max(0.0, kThigh * kThigh - along * along));
    const double ux = dx / std::max(d, 0.01), uy = dy / std::max(d, 0.01);
    return {hip.x + ux * along + uy * out, hip.y + uy * along - ux * out};
}

struct Pose {
    Point backFoot, frontFoot;
    double hipY = kGround - kThigh - kShin + 1;
    double backArm = 0.3, frontArm = -0.3;  // radians from hanging straight down, + is forward
    double breath = 0;                      // chest rise in pixels
    bool front = false;                     // seen from the front (the middle of a turn)
};

void Leg(Canvas& c, Point hip, Point foot, int colour) {
    const Point knee = Knee(hip, foot);
    Stroke(c, hip, knee, 3, colour);
    Stroke(c, knee, foot, 2.5, colour);
    Stroke(c, {foot.x - 1, foot.y - 1}, {foot.x + 3, foot.y - 1}, 1.5, kBoot);
}

void Arm(Canvas& c, Point shoulder, double angle, int colour) {
    const Point hand{shoulder.x + std::sin(angle) * 16, shoulder.y + std::cos(angle) * 16};
    Stroke(c, shoulder, hand, 2.2, colour);
    c.Disc(hand.x, hand.y, 2, kSkin);
}

Canvas DrawWren(const Pose& pose) {
    Canvas c(kW, kH);
    const double cx = kAxisX;
    const Point hip{cx, pose.hipY};
    const double chest = pose.hipY - 24 - pose.breath;
    const Point shoulder{cx + (pose.front ? 0 : 1), chest + 3};
    // Far limbs first, in the shade colour, so the near ones overlap them.
    if (pose.front) {
        Leg(c, {cx - 4, hip.y}, pose.backFoot, kTrousers);
        Leg(c, {cx + 4, hip.y}, pose.frontFoot, kTrousers);
        Arm(c, {cx - 8, shoulder.y}, -0.25, kCoatShade);
        Arm(c, {cx + 8, shoulder.y}, 0.25, kCoatShade);
    } else {
        Arm(c, shoulder, pose.backArm, kCoatShade);
        Leg(c, hip, pose.backFoot, kCoatShade);
        Leg(c, hip, pose.frontFoot, kTrousers);
    }
    // Coat: a rounded body from the chest to just below the hips.
    for (int y = static_cast<int>(chest); y <= static_cast<int>(hip.y + 4); ++y) {
        const double half = pose.front ? 9 : 7 + (y - chest) * 0.08;
        for (int x = static_cast<int>(cx - half - 1); x <= static_cast<int>(cx + half + 1); ++x) {
            const bool edge = x < cx - half || x > cx + half || y == static_cast<int>(hip.y + 4);
            c.Set(x, y, edge ? kOutline : (x < cx - 2 && !pose.front ? kCoatShade : kCoat));
        }
    }
    // Head, hair, eye and a small beak-like nose; the scarf trails behind.
    const Point head{cx + (pose.front ? 0 : 2), chest - 9};
    c.Disc(head.x, head.y, 9, kOutline);
    c.Disc(head.x, head.y, 8, kSkin);
    for (int x = static_cast<int>(head.x - 8); x <= static_cast<int>(head.x + 8); ++x)
        for (int y = static_cast<int>(head.y - 9); y <= static_cast<int>(head.y - 3); ++y)
            if (c.Get(x, y) == kSkin && (pose.front || x < head.x + 4 || y < head.y - 6)) c.Set(x, y, kHair);
    if (pose.front) {
        c.Rect(static_cast<int>(head.x - 4), static_cast<int>(head.y), static_cast<int>(head.x - 3),
               static_cast<int>(head.y + 1), kEye);
        c.Rect(static_cast<int>(head.x + 3), static_cast<int>(head.y), static_cast<int>(head.x + 4),
               static_cast<int>(head.y + 1), kEye);
        c.Rect(static_cast<int>(head.x - 1), static_cast<int>(head.y + 3), static_cast<int>(head.x + 1),
               static_cast<int>(head.y + 4), kBeak);
    } else {
        c.Rect(static_cast<int>(head.x + 4), static_cast<int>(head.y - 1), static_cast<int>(head.x + 5),
               static_cast<int>(head.y), kEye);
        c.Rect(static_cast<int>(head.x + 8), static_cast<int>(head.y + 1), static_cast<int>(head.x + 10),
               static_cast<int>(head.y + 2), kBeak);
    }
    c.Rect(static_cast<int>(cx - 8), static_cast<int>(chest - 1), static_cast<int>(cx + 8), static_cast<int>(chest + 2),
           kScarf);
    if (!pose.front) Stroke(c, {cx - 6, chest + 1}, {cx - 13, chest + 8 + pose.breath}, 1.5, kScarf);
    if (!pose.front) Arm(c, shoulder, pose.frontArm, kCoat);
    return c;
}

SffSprite Make(int group, int image, const Canvas& canvas, const Palette& palette) {
    SffSprite s;
    s.group = group;
    s.image = static_cast<int16_t>(image);
    s.axisX = kAxisX;
    s.axisY = kAxisY;
    s.picture = canvas.ToPicture();
    s.palette = palette;
    s.samePalette = true;  // every body sprite shares the portrait's palette
    return s;
}

Pose Standing(double breath) {
    Pose p;
    p.backFoot = {kAxisX - 5, kGround - 1};
    p.frontFoot = {kAxisX + 5, kGround - 1};
    p.hipY = kGround - 1 - std::sqrt((kThigh + kShin) * (kThigh + kShin) - 25) + 1;
    p.breath = breath;
    p.backArm = -0.15;
    p.frontArm = 0.1;
    return p;
}

Pose Walking(int frame, int frames) {
    const double phase = 2 * kPi * frame / frames;
    const double stride = 11;
    Pose p;
    p.frontFoot = {kAxisX + std::sin(phase) * stride, kGround - 1 - std::max(0.0, std::cos(phase)) * 4};
    p.backFoot = {kAxisX - std::sin(phase) * stride, kGround - 1 - std::max(0.0, -std::cos(phase)) * 4};
    // The hips drop as the stride widens, so both feet can reach the ground.
    const double reach = std::max(std::fabs(p.frontFoot.x - kAxisX), std::fabs(p.backFoot.x - kAxisX));
    p.hipY = kGround - 1 - std::sqrt(std::max(1.0, (kThigh + kShin - 1) * (kThigh + kShin - 1) - reach * reach));
    p.frontArm = -std::sin(phase) * 0.6;
    p.backArm = std::sin(phase) * 0.6;
    return p;
}

Pose Crouch() {
    Pose p;
    p.backFoot = {kAxisX - 7, kGround - 1};
    p.frontFoot = {kAxisX + 7, kGround - 1};
    p.hipY = kGround - 20;
    p.backArm = 0.6;
    p.frontArm = 0.9;
    return p;
}

Pose Airborne(int image) {
    Pose p;
    const double tuck = image == 1 ? 14 : image == 0 ? 4 : 8;
    p.hipY = kGround - 40;
    p.backFoot = {kAxisX - 6, p.hipY + kThigh + kShin - tuck - 2};
    p.frontFoot = {kAxisX + 8.0 - (image == 2 ? 4 : 0), p.hipY + kThigh + kShin - tuck};
    p.backArm = image == 0 ? 2.6 : 1.4;
    p.frontArm = image == 0 ? 2.9 : 1.8;
    return p;
}

Canvas Portrait(const Palette&) {
    Pose p = Standing(0);
    Canvas body = DrawWren(p);
    // The head and shoulders, cut from the standing pose.
    Canvas c(26, 26);
    for (int y = 0; y < 26; ++y)
        for (int x = 0; x < 26; ++x) c.Set(x, y, body.Get(x + kAxisX - 12, y + static_cast<int>(p.hipY) - 46));
    return c;
}

}  // namespace

std::vector<SffSprite> DemoCharSprites() {
    const Palette palette = WrenPalette();
    std::vector<SffSprite> sprites;
    SffSprite portrait = Make(9000, 0, Portrait(palette), palette);
    portrait.axisX = 0;
    portrait.axisY = 0;
    portrait.samePalette = false;  // carries the palette every later sprite reuses
    sprites.push_back(portrait);
    const double breaths[] = {0, 1, 2, 1};
    for (int i = 0; i < 4; ++i) sprites.push_back(Make(0, i, DrawWren(Standing(breaths[i])), palette));
    Pose front = Standing(0);
    front.front = true;
    sprites.push_back(Make(5, 0, DrawWren(front), palette));
    for (int i = 0; i < 8; ++i) sprites.push_back(Make(20, i, DrawWren(Walking(i, 8)), palette));
    sprites.push_back(Make(40, 0, DrawWren(Crouch()), palette));
    for (int i = 0; i < 3; ++i) sprites.push_back(Make(41, i, DrawWren(Airborne(i)), palette));
    // Landing shows the jump-start picture: a linked sprite keeps the file small.
    SffSprite land;
    land.group = 47;
    land.image = 0;
    land.axisX = kAxisX;
    land.axisY = kAxisY;
    land.samePalette = true;
    land.linkTo = 14;
    sprites.push_back(land);
    return sprites;
}

std::string DemoCharDef() {
    return "; Wren, the Quillback demo character\n"
           "[Info]\n"
           "name = \"Wren\"\n"
           "displayname = \"Wren\"  ; shown in the Use menu item\n"
           "versiondate = 01,01,2024\n"
           "mugenversion = 04,14,2001\n"
           "author = \"Quillback\"\n"
           "\n"
           "[Files]\n"
           "cmd      = wren.cmd\n"
           "cns      = wren.cns\n"
           "st       = wren.cns\n"
           "stcommon = common1.cns\n"
           "sprite   = wren.sff\n"
           "anim     = wren.air\n"
           "\n"
           "[Arcade]\n"
           "intro.storyboard =\n";
}

std::string DemoCharAir() {
    std::string air =
        "; Wren's animations\n"
        "\n"
        "; Standing: a slow breath\n"
        "[Begin Action 0]\n"
        "Clsn2Default: 1\n"
        " Clsn2[0] = -9, 0, 9,-70\n"
        "0,0, 0,0, 12\n"
        "0,1, 0,0, 8\n"
        "0,2, 0,0, 14\n"
        "0,3, 0,0, 8\n"
        "\n"
        "; Turning: the first frame still faces the old way\n"
        "[Begin Action 5]\n"
        "5,0, 0,0, 4, H\n"
        "5,0, 0,0, 4\n"
        "\n"
        "; Walking forward\n"
        "[Begin Action 20]\n"
        "Clsn2Default: 1\n"
        " Clsn2[0] = -9, 0, 9,-70\n";
    for (int i = 0; i < 8; ++i) air += "20," + std::to_string(i) + ", 0,0, 5\n";
    air +=
        "\n"
        "; Jump start\n"
        "[Begin Action 40]\n"
        "40,0, 0,0, 3\n"
        "\n"
        "; In the air: rising, tucked, then falling until landing\n"
        "[Begin Action 41]\n"
        "41,0, 0,0, 6\n"
        "41,1, 0,0, 6\n"
        "Loopstart\n"
        "41,2, 0,0, -1\n"
        "\n"
        "; Landing\n"
        "[Begin Action 47]\n"
        "47,0, 0,0, 4\n";
    return air;
}

std::string DemoCharCns() {
    return "; Wren's constants\n"
           "[Data]\n"
           "life = 1000\n"
           "attack = 100\n"
           "defence = 100\n"
           "\n"
           "[Size]\n"
           "xscale = 1\n"
           "yscale = 1\n"
           "ground.back = 12\n"
           "ground.front = 14\n"
           "height = 60\n"
           "\n"
           "[Velocity]\n"
           "walk.fwd  = 2.2\n"
           "walk.back = -2\n"
           "jump.neu = 0,-8.4\n"
           "airjump.neu = 0,-8.1\n"
           "\n"
           "[Movement]\n"
           "yaccel = .45\n"
           "\n"
           "; The walker reads nothing past the first state definition.\n"
           "[Statedef 0]\n"
           "type = S\n"
           "anim = 0\n";
}

bool WriteDemoChar(const std::filesystem::path& output, std::string& error) {
    const std::filesystem::path folder = output / "chars" / "wren";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder.string() + ": " + ec.message();
        return false;
    }
    auto write = [&](const char* name, const std::string& bytes) {
        std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            error = "cannot write " + (folder / name).string();
            return false;
        }
        return true;
    };
    return write("wren.def", DemoCharDef()) && write("wren.air", DemoCharAir()) && write("wren.cns", DemoCharCns()) &&
           write("wren.sff", WriteSff(DemoCharSprites()));
}

}  // namespace qb::demo

#include "render/retained.h"

#include <algorithm>
#include <cmath>

#include "render/anim_pose.h"
#include "render/overlays.h"

namespace qb {
namespace {

// Pixels added around a sprite's rectangle: rounding of a mapped edge never reaches past them.
constexpr double kMargin = 4;

int ClampToInt(double v) {
    if (!(v > -1e9)) return -1'000'000'000;
    if (!(v < 1e9)) return 1'000'000'000;
    return static_cast<int>(v);
}

bool SamePose(const FramePose& a, const FramePose& b) {
    return a.offsetX == b.offsetX && a.offsetY == b.offsetY && a.scaleX == b.scaleX && a.scaleY == b.scaleY &&
           a.angle == b.angle && a.blend == b.blend;
}

}  // namespace

Clip32 InfoTextArea(const Picture32& picture) {
    // Two lines of the 8-pixel font from row 3, kInfoLineHeight apart, with their one-pixel edge.
    return {0, 0, picture.Width, std::min(picture.Height, 3 + kInfoLineHeight + 8 + 1)};
}

Clip32 SourceContent(const Source32& source) {
    const int w = source.width, h = source.height;
    if (w <= 0 || h <= 0) return {};
    const bool indexed = source.kind == Source32::Kind::Indexed && source.bytes;
    const bool rgba = source.kind == Source32::Kind::Rgba && source.bytes;
    if (!source.alpha || !(indexed || rgba)) return {0, 0, w, h};
    Clip32 box{w, h, 0, 0};
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = source.bytes + static_cast<size_t>(y) * static_cast<size_t>(w) * (rgba ? 4 : 1);
        int first = -1, last = -1;
        for (int x = 0; x < w; ++x) {
            const bool drawn = rgba ? row[4 * x + 3] != 0 : (source.colours[row[x]] >> 24) != 0;
            if (!drawn) continue;
            if (first < 0) first = x;
            last = x;
        }
        if (first < 0) continue;
        box.left = std::min(box.left, first), box.right = std::max(box.right, last + 1);
        box.top = std::min(box.top, y), box.bottom = y + 1;
    }
    return box.Empty() ? Clip32{} : box;
}

Clip32 DrawBounds(const StageModel& stage, const Picture32& picture, const ModernDraw& draw, const FramePose* pose,
                  const Clip32* content) {
    const Clip32 whole = picture.Whole();
    if (draw.index < 0 || draw.index >= static_cast<int>(stage.Elements.size())) return whole;
    if (draw.sprite < 0 || draw.sprite >= static_cast<int>(stage.Sprites.size())) return whole;
    const BgElement& element = stage.Elements[draw.index];
    const bool acrossX = element.TileX != 0, acrossY = element.TileY != 0;
    const bool turned = pose && pose->Transformed();
    if ((acrossX && acrossY) || element.Type == "parallax") return whole;
    // A mirrored anim frame hangs the other way from its corner: both ways are allowed for.
    const SpriteEntry& sprite = stage.Sprites[draw.sprite];
    const double w = std::max<int>(sprite.Width, 0), h = std::max<int>(sprite.Height, 0);
    const bool anim = element.Type == "anim";
    // Source column c lands on x + c, or mirrored on x - 1 - c.
    const Clip32 part = content ? *content : Clip32{0, 0, sprite.Width, sprite.Height};
    if (part.Empty() && !turned) return {};
    double left = draw.x + part.left, right = draw.x + part.right;
    double top = draw.y + part.top, bottom = draw.y + part.bottom;
    if (anim) {
        left = std::min(left, static_cast<double>(draw.x) - part.right);
        right = std::max(right, static_cast<double>(draw.x) - part.left);
        top = std::min(top, static_cast<double>(draw.y) - part.bottom);
        bottom = std::max(bottom, static_cast<double>(draw.y) - part.top);
    }
    if (turned) {
        // A scaled or turned frame reaches from its axis (either way of the corner, as mirrored) as
        // far as its farthest corner times the larger scale; zoomed, all of it is mapped below.
        const double ax = sprite.AxisX, ay = sprite.AxisY;
        const double reach = std::max(std::fabs(pose->scaleX), std::fabs(pose->scaleY)) *
                             std::hypot(std::max(std::fabs(ax), std::fabs(w - ax)), std::max(std::fabs(ay), std::fabs(h - ay)));
        if (!std::isfinite(reach)) return whole;
        left = draw.x - std::fabs(ax) - reach, right = draw.x + std::fabs(ax) + reach;
        top = draw.y - std::fabs(ay) - reach, bottom = draw.y + std::fabs(ay) + reach;
    }
    if (draw.scaled) {
        const ScaledPlacement& p = draw.placed;
        const double x0 = p.MapX(left), x1 = p.MapX(right), y0 = p.MapY(top), y1 = p.MapY(bottom);
        left = std::min(x0, x1), right = std::max(x0, x1), top = std::min(y0, y1), bottom = std::max(y0, y1);
        if (!std::isfinite(left) || !std::isfinite(right) || !std::isfinite(top) || !std::isfinite(bottom))
            return whole;
    }
    Clip32 bounds{ClampToInt(std::floor(left - kMargin)), ClampToInt(std::floor(top - kMargin)),
                  ClampToInt(std::ceil(right + kMargin)), ClampToInt(std::ceil(bottom + kMargin))};
    // Tiles one way fill a band across the picture.
    if (acrossX) bounds.left = 0, bounds.right = picture.Width;
    if (acrossY) bounds.top = 0, bounds.bottom = picture.Height;
    bounds.left = std::max(bounds.left, 0), bounds.top = std::max(bounds.top, 0);
    bounds.right = std::min(bounds.right, picture.Width), bounds.bottom = std::min(bounds.bottom, picture.Height);
    return bounds;
}

void RetainedPicture::Forget() {
    m_valid = false;
    m_overlay = false;
}

void RetainedPicture::OverlayDrawn(const Picture32& picture) {
    m_overlay = true;
    Shown = Unite(Shown, InfoTextArea(picture));
}

const Clip32* RetainedPicture::ContentOf(const StageModel& stage, int sprite, bool masked) {
    const SpriteEntry& entry = stage.Sprites[static_cast<size_t>(sprite)];
    // Only a picture of the entry's own size: the box is in the placed sprite's pixels.
    if (!entry.Picture || entry.Picture->width != entry.Width || entry.Picture->height != entry.Height) return nullptr;
    std::vector<Content>& cache = m_content[masked ? 1 : 0];
    if (cache.size() != stage.Sprites.size()) cache.assign(stage.Sprites.size(), Content{});
    Content& c = cache[static_cast<size_t>(sprite)];
    if (c.picture != entry.Picture.get()) {
        c.box = SourceContent(MakeSource32(entry, masked));
        c.picture = entry.Picture.get();
    }
    return &c.box;
}

void RetainedPicture::Remember(const StageModel& stage, const Picture32& picture, int pass,
                               std::vector<Record>& into) {
    const std::vector<ModernDraw>& draws = Pending[static_cast<size_t>(pass)];
    into.resize(draws.size());
    for (size_t k = 0; k < draws.size(); ++k) {
        const ModernDraw& draw = draws[k];
        Record& r = into[k];
        r.draw = draw;
        r.pose = FramePose{};
        const bool valid = draw.index >= 0 && draw.index < static_cast<int>(stage.Elements.size());
        const FramePose* pose = nullptr;
        const Clip32* content = nullptr;
        if (valid) {
            const BgElement& element = stage.Elements[draw.index];
            r.element = element;
            if (draw.sprite >= 0 && draw.sprite < static_cast<int>(stage.Sprites.size()))
                content = ContentOf(stage, draw.sprite, ModernMask(element));
            if (element.Type == "anim" && element.ActionIndex >= 0 &&
                element.ActionIndex < static_cast<int>(stage.Actions.size())) {
                const BgAction& action = stage.Actions[element.ActionIndex];
                if (element.FrameIndex >= 0 && element.FrameIndex < static_cast<int>(action.Frames.size())) {
                    r.pose = PoseOf(action, element, true);
                    pose = &r.pose;
                }
            }
        }
        r.pose.frame = nullptr;
        // What moves on every frame without changing the drawing by itself: the ticks left of an
        // anim frame (the pose above holds what they change), and the position, controller and sine
        // offsets and phases (drawing reads them only through the corner).
        r.element.FrameTime = 0;
        r.element.PosX = r.element.PosY = 0;
        r.element.CtrlOffX = r.element.CtrlOffY = 0;
        r.element.SinOffX = r.element.SinOffY = 0;
        r.element.SinXPhase = r.element.SinYPhase = 0;
        r.bounds = DrawBounds(stage, picture, draw, pose, content);
    }
}

Clip32 RetainedPicture::Area(const StageModel& stage, const Picture32& picture, uint32_t clear) {
    const Clip32 whole = picture.Whole();
    for (int pass = 0; pass < 2; ++pass) Remember(stage, picture, pass, m_next[static_cast<size_t>(pass)]);
    const bool same = m_valid && m_pixels == picture.Pixels.data() && m_width == picture.Width &&
                      m_height == picture.Height && m_clear == clear && m_cameras == PendingCamera;
    Clip32 area;
    if (!same) {
        area = whole;
    } else {
        // Both lists run in element order: an element that left or joined a pass counts as changed.
        for (size_t pass = 0; pass < 2 && area != whole; ++pass) {
            const std::vector<Record>& before = m_records[pass];
            const std::vector<Record>& now = m_next[pass];
            size_t i = 0, j = 0;
            while (i < before.size() || j < now.size()) {
                if (j == now.size() || (i < before.size() && before[i].draw.index < now[j].draw.index)) {
                    area = Unite(area, before[i++].bounds);
                } else if (i == before.size() || now[j].draw.index < before[i].draw.index) {
                    area = Unite(area, now[j++].bounds);
                } else {
                    const Record& a = before[i++];
                    const Record& b = now[j++];
                    if (!(a.draw == b.draw && SamePose(a.pose, b.pose) && a.element == b.element))
                        area = Unite(Unite(area, a.bounds), b.bounds);
                }
            }
        }
        if (m_overlay) area = Unite(area, InfoTextArea(picture));
    }
    std::swap(m_records, m_next);
    m_valid = true;
    m_overlay = false;
    m_pixels = picture.Pixels.data();
    m_width = picture.Width;
    m_height = picture.Height;
    m_clear = clear;
    m_cameras = PendingCamera;
    if (area.Empty())
        ++KeptFrames;
    else if (area == whole)
        ++WholeFrames;
    else
        ++PartFrames;
    Shown = Unite(Shown, area);
    return area;
}

}  // namespace qb

#include "tools/bg_editor.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/text_util.h"
#include "stage/stage_version.h"

namespace qb {

void ShowStuff(const StageModel& stage, BgEditorFields& fields) {
    fields.txtcamleft = text::NumberText(stage.BoundLeft);
    fields.txtcamright = text::NumberText(stage.BoundRight);
    fields.txtcamhigh = text::NumberText(stage.BoundHigh);
    fields.txtcamlow = text::NumberText(stage.BoundLow);
    fields.txtcamstartx = text::FloatText(stage.StartX);
    fields.txtcamstarty = text::NumberText(stage.StartY);
}

namespace {

// Reads the boxes of one Update: every box is checked before anything is stored.
class BoxReader {
public:
    // A whole number in [low, high]; the first bad box is remembered and reads as 0.
    double Whole(const std::string& text, const char* label, double low, double high) {
        const std::optional<double> v = Number(text, label);
        if (!v) return 0;
        const double rounded = text::RoundHalfEven(*v);
        if (rounded < low || rounded > high) {
            Fail(text, label,
                 "is out of range (" + text::NumberText(low) + " to " + text::NumberText(high) + ")");
            return 0;
        }
        return rounded;
    }
    float Real(const std::string& text, const char* label) {
        const std::optional<double> v = Number(text, label);
        if (!v) return 0;
        if (std::fabs(*v) > std::numeric_limits<float>::max()) {
            Fail(text, label, "is out of range");
            return 0;
        }
        return static_cast<float>(*v);
    }
    // `count` numbers separated by commas, each a float; nullopt (the box named) otherwise.
    std::optional<std::vector<float>> Reals(const std::string& text, const char* label, size_t count) {
        std::vector<float> values;
        bool numbers = true;
        for (std::string_view rest = text;;) {
            const size_t comma = rest.find(',');
            const std::optional<double> v = text::ParseNumber(rest.substr(0, comma));
            numbers = numbers && v && std::isfinite(*v) && std::fabs(*v) <= std::numeric_limits<float>::max();
            values.push_back(numbers ? static_cast<float>(*v) : 0.0f);
            if (comma == std::string_view::npos) break;
            rest.remove_prefix(comma + 1);
        }
        if (!numbers || values.size() != count) {
            Fail(text, label, "is not " + std::to_string(count) + " numbers separated by commas");
            return std::nullopt;
        }
        return values;
    }
    const std::string& Error() const { return m_error; }
    void Fail(const std::string& text, const char* label, const std::string& why) {
        if (m_error.empty())
            m_error = std::string("The box ") + label + " holds \"" + text + "\", which " + why +
                      "; nothing was updated.";
    }

private:
    std::optional<double> Number(const std::string& text, const char* label) {
        const std::optional<double> v = text::ParseNumber(text);
        if (!v || !std::isfinite(*v)) {
            Fail(text, label, "is not a number");
            return std::nullopt;
        }
        return v;
    }
    std::string m_error;
};

constexpr double kInt16Min = std::numeric_limits<int16_t>::min(),
                 kInt16Max = std::numeric_limits<int16_t>::max();
constexpr double kInt32Min = std::numeric_limits<int32_t>::min(),
                 kInt32Max = std::numeric_limits<int32_t>::max();

// The boxes of the 1.0 and 1.1 keys into `edited`; an empty box keeps the element's value.
void ReadModernBoxes(BoxReader& boxes, const BgEditorFields& fields, BgElement& edited) {
    const auto real = [&boxes](const std::string& text, const char* label, float& field) {
        if (!text::Trim(text).empty()) field = boxes.Real(text, label);
    };
    real(fields.txtScaleStartX, "ScaleStart X", edited.ScaleStartX);
    real(fields.txtScaleStartY, "ScaleStart Y", edited.ScaleStartY);
    real(fields.txtScaleDeltaX, "ScaleDelta X", edited.ScaleDeltaX);
    real(fields.txtScaleDeltaY, "ScaleDelta Y", edited.ScaleDeltaY);
    real(fields.txtZoomDelta, "ZoomDelta", edited.ZoomDelta);
    // A width is both edges: with one box typed, the other must hold a number too.
    if (!text::Trim(fields.txtWidthTop).empty() || !text::Trim(fields.txtWidthBottom).empty()) {
        edited.XScaleTop = boxes.Real(fields.txtWidthTop, "Width top");
        edited.XScaleBottom = boxes.Real(fields.txtWidthBottom, "Width bottom");
        edited.WidthGiven = 1;
    }
    const bool window = !text::Trim(fields.txtWindow).empty();
    const bool mask = !text::Trim(fields.txtMaskWindow).empty();
    if (window && mask) {
        boxes.Fail(fields.txtMaskWindow, "MaskWindow",
                   "is a second window (an element has one: empty the box Window or this one)");
        return;
    }
    if (!window && !mask) return;
    const auto values =
        boxes.Reals(window ? fields.txtWindow : fields.txtMaskWindow, window ? "Window" : "MaskWindow", 4);
    if (!values) return;
    edited.WindowX1 = (*values)[0];
    edited.WindowY1 = (*values)[1];
    edited.WindowX2 = (*values)[2];
    edited.WindowY2 = (*values)[3];
    edited.HasWindow = 1;
    edited.WindowKind = window ? 1 : 2;
    edited.WindowValues = 4;
}

// The type as the loader will read the typed text: trimmed, lower case, and named by its first
// letter (real stages write "nomal" and "p"). Empty when the loader would not keep it (the reason in
// `why`).
std::string TypeAsRead(const std::string& typed, const ElementSource* written, std::string& why) {
    const std::string lower = text::Lower(text::Trim(typed));
    std::string type = lower;
    switch (lower.empty() ? '\0' : lower[0]) {
        case 'n': type = lower == "null" ? lower : "normal"; break;
        case 'a': type = "anim"; break;
        case 'p': type = "parallax"; break;
        case 'd': type = "dummy"; break;
        default: break;
    }
    if (type.empty() || type == "null") {
        why = "would take the element out of the stage on the next load";
        return {};
    }
    // The loader makes an element that names an animation and no sprite an animation again.
    const auto has = [written](const char* key) { return written && written->Keys.count(key) != 0; };
    if (type == "normal" && has("actionno") && !has("spriteno")) {
        why = "is read back as anim: the element names an animation (actionno) and no sprite";
        return {};
    }
    return type;
}

}  // namespace

std::pair<double, double> EditedPosition(const BgElement& element) {
    if (element.PositionLink != 0) return {element.StartX, element.StartY};
    return {element.BaseX, element.BaseY};
}

std::string UpdateStuff(StageModel& stage, const BgEditorFields& fields, int16_t SelectedElement,
                        const ElementSource* written) {
    BoxReader boxes;
    const float startX = boxes.Real(fields.txtcamstartx, "camstartx");
    const auto startY =
        static_cast<int16_t>(boxes.Whole(fields.txtcamstarty, "camstarty", kInt16Min, kInt16Max));
    const auto left = static_cast<int32_t>(boxes.Whole(fields.txtcamleft, "boundleft", kInt32Min, kInt32Max));
    const auto right =
        static_cast<int32_t>(boxes.Whole(fields.txtcamright, "boundright", kInt32Min, kInt32Max));
    const auto high = static_cast<int16_t>(boxes.Whole(fields.txtcamhigh, "boundhigh", kInt16Min, kInt16Max));
    const auto low = static_cast<int16_t>(boxes.Whole(fields.txtcamlow, "boundlow", kInt16Min, kInt16Max));
    const bool selected = SelectedElement >= 0 && SelectedElement < static_cast<int>(stage.Elements.size());
    if (!selected) {
        if (!boxes.Error().empty()) return boxes.Error();
    } else {
        BgElement& element = stage.Elements[static_cast<size_t>(SelectedElement)];
        BgElement edited = element;
        edited.TileX = static_cast<int32_t>(boxes.Whole(fields.txtTileX, "Tile X", kInt32Min, kInt32Max));
        edited.TileY = static_cast<int32_t>(boxes.Whole(fields.txtTileY, "Tile Y", kInt32Min, kInt32Max));
        edited.DeltaX = boxes.Real(fields.txtDeltaX, "DeltaX");
        edited.DeltaY = boxes.Real(fields.txtDeltaY, "Delta Y");
        edited.VelocityX = boxes.Real(fields.txtVelX, "Vel X");
        edited.VelocityY = boxes.Real(fields.txtVelY, "Vel Y");
        const auto sprite = static_cast<int16_t>(boxes.Whole(fields.txtGfx, "Gfx", kInt16Min, kInt16Max));
        edited.TileSpacingX =
            static_cast<int32_t>(boxes.Whole(fields.txtTileSpcX, "TileSX", kInt32Min, kInt32Max));
        edited.TileSpacingY =
            static_cast<int32_t>(boxes.Whole(fields.txtTileSpcY, "Tile SY", kInt32Min, kInt32Max));
        ReadModernBoxes(boxes, fields, edited);
        // The move is whole pixels: the start it changes is a whole number in the file.
        const auto [fromX, fromY] = EditedPosition(element);
        const double x = boxes.Whole(fields.txtXpos, "X", kInt32Min, kInt32Max);
        const double y = boxes.Whole(fields.txtYpos, "Y", kInt32Min, kInt32Max);
        if (!boxes.Error().empty()) return boxes.Error();
        const double dx = text::RoundHalfEven(fromX - x), dy = text::RoundHalfEven(fromY - y);
        if (std::fabs(dx) > kInt32Max / 2 || std::fabs(dy) > kInt32Max / 2 ||
            std::fabs(edited.StartX - dx) > kInt32Max || std::fabs(edited.StartY - dy) > kInt32Max)
            return "The box X or Y moves the element too far; nothing was updated.";
        // What the file cannot say is refused rather than shown and then lost on the next load.
        const bool linked = element.PositionLink != 0 && SelectedElement > 0;
        if (linked && (edited.DeltaX != element.DeltaX || edited.DeltaY != element.DeltaY ||
                       edited.VelocityX != element.VelocityX || edited.VelocityY != element.VelocityY))
            return "The element is position-linked: it takes its delta and velocity from its parent on "
                   "loading. Edit the parent instead; nothing was updated.";
        if (fields.txtType != element.Type) {
            std::string why;
            edited.Type = TypeAsRead(fields.txtType, written, why);
            if (edited.Type.empty()) {
                boxes.Fail(fields.txtType, "Type", why);
                return boxes.Error();
            }
            edited.TypeWritten = edited.Type;  // what the file will say
        }
        // A classic "anim" element is spaced by its x spacing both ways whatever its line says.
        if (edited.Type == "anim" && !IsModernStageModel(stage) && edited.TileSpacingY != element.TileSpacingY &&
            edited.TileSpacingY != edited.TileSpacingX)
            return "The box Tile SY: an anim element is spaced by its x spacing both ways (the engine "
                   "reads no y spacing for it); nothing was updated.";
        if (edited.Type == "anim" && !IsModernStageModel(stage)) edited.TileSpacingY = edited.TileSpacingX;
        if (sprite != element.SpriteIndex) {
            // The file names a sprite by group and number; the loader takes the first of the file
            // with them.
            const int count = std::min<int>(stage.SpriteCount, static_cast<int>(stage.Sprites.size()));
            if (edited.Type == "anim")
                return "The box Gfx: an anim element draws the sprites of its animation, which the "
                       "editor does not change; nothing was updated.";
            if (sprite < 0 || sprite >= count) {
                boxes.Fail(fields.txtGfx, "Gfx",
                           "is no sprite of the stage's sprite file (0 to " + std::to_string(count - 1) + ")");
                return boxes.Error();
            }
            const SpriteEntry& chosen = stage.Sprites[static_cast<size_t>(sprite)];
            edited.SpriteGroup = chosen.Group;
            edited.SpriteImage = chosen.Image;
            edited.SpriteIndex = sprite;
            for (int j = 0; j < sprite; ++j) {
                if (stage.Sprites[static_cast<size_t>(j)].Group == chosen.Group &&
                    stage.Sprites[static_cast<size_t>(j)].Image == chosen.Image) {
                    edited.SpriteIndex = static_cast<int16_t>(j);
                    break;
                }
            }
        }
        if (fields.chkMask != (FileMask(element, static_cast<size_t>(SelectedElement)) == 1)) {
            // The box edits the element's own mask; the first element still draws unmasked.
            edited.OwnMask = fields.chkMask ? 1 : 0;
            edited.Mask = SelectedElement == 0 ? 0 : edited.OwnMask;
        }
        edited.BaseX -= static_cast<float>(dx);
        edited.PosX -= static_cast<float>(dx);
        edited.BaseY -= static_cast<float>(dy);
        edited.PosY -= static_cast<float>(dy);
        edited.StartX -= static_cast<int32_t>(dx);
        edited.StartY -= static_cast<int32_t>(dy);
        element = std::move(edited);
        // Elements linked to it take its delta and velocity, as they will on the next load.
        for (size_t j = static_cast<size_t>(SelectedElement) + 1; j < stage.Elements.size(); ++j) {
            BgElement& child = stage.Elements[j];
            if (child.PositionLink == 0 || child.LinkParent != SelectedElement) continue;
            child.DeltaX = element.DeltaX;
            child.DeltaY = element.DeltaY;
            child.VelocityX = element.VelocityX;
            child.VelocityY = element.VelocityY;
        }
    }
    stage.StartX = startX;
    stage.StartY = startY;
    stage.BoundLeft = left;
    stage.BoundRight = right;
    stage.BoundHigh = high;
    stage.BoundLow = low;
    return {};
}

void AutoBound(const StageModel& stage, BgEditorFields& fields) {
    double minLeft = 32000, maxRight = -32000, minTop = 32000, maxBottom = -32000;
    for (const BgElement& element : stage.Elements) {
        if (element.SpriteIndex < 0 || element.SpriteIndex >= static_cast<int>(stage.Sprites.size()))
            continue;
        const SpriteEntry& sprite = stage.Sprites[element.SpriteIndex];
        double left =
            text::RoundClampPixel(text::RoundWrapInt16(element.StartX - sprite.AxisX + 160) - stage.StartX * element.DeltaX);
        double top = text::RoundClampPixel(text::RoundWrapInt16(element.StartY - sprite.AxisY) - stage.StartY * element.DeltaY);
        minLeft = std::min(minLeft, left);
        maxRight = std::max(maxRight, left + sprite.Width);
        minTop = std::min(minTop, top);
        maxBottom = std::max(maxBottom, top + sprite.Height);
    }
    fields.txtcamleft = text::NumberText(minLeft);
    fields.txtcamright = text::NumberText(maxRight - 320);
    fields.txtcamhigh = text::NumberText(minTop);
    fields.txtcamlow = text::NumberText(maxBottom - 240);
}

}  // namespace qb

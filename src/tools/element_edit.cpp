#include "tools/element_edit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "platform/text_util.h"

namespace qb {

namespace {

constexpr int kEditKeyRepeatMs = 150;

bool InRange(const StageModel& stage, int index) {
    return index >= 0 && index < static_cast<int>(stage.Elements.size());
}

void SyncCount(StageModel& stage) {
    stage.ElementCount = static_cast<int16_t>(stage.Elements.size());
}

// Applies `map` (old index -> new index, -1 for gone) to every element index the model holds.
template <typename Map>
void RemapIndices(StageModel& stage, EditState& edit, Map map) {
    for (BgCtrlDef& group : stage.CtrlDefs) {
        for (int32_t& id : group.CtrlIds)
            if (id >= 0) id = map(id);
        for (BgCtrl& ctrl : group.Ctrls)
            for (int32_t& id : ctrl.CtrlIds)
                if (id >= 0) id = map(id);
    }
    // The link compares against element indices only when it is above 0 (0 marks no link, as the
    // loader leaves it), so a link that would land on 0 is dropped rather than silently disabled.
    if (stage.ZOffsetLink > 0) {
        const int linked = map(stage.ZOffsetLink);
        stage.ZOffsetLink = static_cast<int16_t>(linked > 0 ? linked : -1);
    }
    for (BgElement& element : stage.Elements) {
        if (element.LinkParent < 0) continue;
        const int parent = map(element.LinkParent);
        element.LinkParent = static_cast<int16_t>(parent);
        if (parent < 0) element.PositionLink = 0;
    }
    if (edit.DragIndex >= 0) edit.DragIndex = static_cast<int16_t>(map(edit.DragIndex));
}

void RequestCaption(const CaptionSetter& setCaption, const std::string& caption) {
    if (setCaption) setCaption(caption);
}

// Elements `a` and `a + 1` may change places in the file only when no position link reads across
// them: a linked element follows the element before it in the file, so swapping it, or the two
// elements before one, would give it another parent on the next load.
bool LinkHoldsOrder(const StageModel& stage, int a) {
    for (int i = a; i <= a + 2 && i < static_cast<int>(stage.Elements.size()); ++i)
        if (i > 0 && stage.Elements[static_cast<size_t>(i)].PositionLink != 0) return true;
    return false;
}
// Elements a and b changed places, every other stayed (an undo step's map).
std::vector<int> SwapMap(int count, int a, int b) {
    std::vector<int> map(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) map[static_cast<size_t>(i)] = i == a ? b : i == b ? a : i;
    return map;
}

constexpr const char* kLinkedOrder =
    "Not moved: a position-linked element takes the element before it in the file as its parent";

}  // namespace

int16_t ElementAt(const StageModel& stage, const FrameState& frame, int x, int y) {
    const int count = static_cast<int>(std::min(stage.Elements.size(), frame.Drawn.size()));
    // Front pass first (LayerNo other than 0), then the back pass (LayerNo 0 or below); each pass
    // draws in table order, so the last hit in it is on top.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = count - 1; i >= 0; --i) {
            const BgElement& element = stage.Elements[i];
            const bool inPass = pass == 0 ? element.LayerNo != 0 : element.LayerNo <= 0;
            if (!inPass || element.Enabled == 0 || element.Visible == 0) continue;
            const DrawnElement& drawn = frame.Drawn[i];
            if (drawn.sprite < 0 || drawn.sprite >= static_cast<int>(stage.Sprites.size())) continue;
            const SpriteEntry& sprite = stage.Sprites[drawn.sprite];
            const int64_t w = drawn.w >= 0 ? drawn.w : sprite.Width, h = drawn.h >= 0 ? drawn.h : sprite.Height;
            if (x >= drawn.x && x < static_cast<int64_t>(drawn.x) + w && y >= drawn.y &&
                y < static_cast<int64_t>(drawn.y) + h)
                return static_cast<int16_t>(i);
        }
    }
    return -1;
}

std::optional<std::array<int, 4>> ElementOutline(const StageModel& stage, const FrameState& frame, int16_t index) {
    if (index < 0 || index >= static_cast<int>(std::min(stage.Elements.size(), frame.Drawn.size()))) return {};
    const BgElement& element = stage.Elements[static_cast<size_t>(index)];
    if (element.Enabled == 0 || element.Visible == 0) return {};
    const DrawnElement& drawn = frame.Drawn[static_cast<size_t>(index)];
    if (drawn.sprite < 0 || drawn.sprite >= static_cast<int>(stage.Sprites.size())) return {};
    const SpriteEntry& sprite = stage.Sprites[static_cast<size_t>(drawn.sprite)];
    return std::array<int, 4>{static_cast<int>(drawn.x), static_cast<int>(drawn.y),
                              drawn.w >= 0 ? static_cast<int>(drawn.w) : sprite.Width,
                              drawn.h >= 0 ? static_cast<int>(drawn.h) : sprite.Height};
}

std::string ElementCaption(const StageModel& stage, int16_t index) {
    const std::string name = InRange(stage, index) ? stage.Elements[index].Name : std::string();
    return "\"" + name + "\" - Background Element #" + std::to_string(index + 1) + "/" +
           std::to_string(stage.Elements.size());
}

void BeginDrag(const StageModel& stage, EditState& edit, int16_t index, int x, int y, double perUnitX,
               double perUnitY) {
    if (!InRange(stage, index)) {
        edit.DragIndex = -1;
        return;
    }
    const BgElement& element = stage.Elements[index];
    edit.DragIndex = index;
    edit.GrabX = static_cast<int16_t>(x);
    edit.GrabY = static_cast<int16_t>(y);
    edit.GrabOffX = text::RoundWrapInt16(element.PosX);
    edit.GrabOffY = text::RoundWrapInt16(element.PosY);
    edit.BaseOffX = text::RoundWrapInt16(element.BaseX);
    edit.BaseOffY = text::RoundWrapInt16(element.BaseY);
    edit.StartOffX = element.StartX;
    edit.StartOffY = element.StartY;
    // A zoom of 0 (or a hostile value) would send the element to infinity: travel counts 1:1 then.
    auto usable = [](double v) { return std::isfinite(v) && v >= 1e-3 && v <= 1e6 ? v : 1.0; };
    edit.PerUnitX = usable(perUnitX);
    edit.PerUnitY = usable(perUnitY);
}

bool DragTo(StageModel& stage, EditState& edit, int x, int y) {
    if (edit.DragIndex < 0) return false;
    if (!InRange(stage, edit.DragIndex)) {
        edit.DragIndex = -1;
        return false;
    }
    BgElement& element = stage.Elements[edit.DragIndex];
    const auto units = [](int travel, double perUnit) {
        return static_cast<int>(std::clamp<double>(std::nearbyint(travel / perUnit), -1e6, 1e6));
    };
    const int dx = units(x - edit.GrabX, edit.PerUnitX);
    const int dy = units(y - edit.GrabY, edit.PerUnitY);
    element.PosX = static_cast<float>(dx + edit.GrabOffX);
    element.PosY = static_cast<float>(dy + edit.GrabOffY);
    element.BaseX = static_cast<float>(dx + edit.BaseOffX);
    element.BaseY = static_cast<float>(dy + edit.BaseOffY);
    // The start moves with it: that is what a write into the stage file and Save Changes keep.
    element.StartX = edit.StartOffX + dx;
    element.StartY = edit.StartOffY + dy;
    return true;
}

void EndDrag(EditState& edit) {
    edit.DragIndex = -1;
}

// The first element is drawn unmasked, as the loader makes it; any other takes its own lines' mask.
// Applied where an element changes places, so that the running stage shows what a reading of the
// written file would.
void PlaceMask(StageModel& stage, int index) {
    if (!InRange(stage, index)) return;
    BgElement& e = stage.Elements[static_cast<size_t>(index)];
    e.Mask = index == 0 ? 0 : e.OwnMask;
}

void SwapElements(StageModel& stage, EditState& edit, int a, int b) {
    if (!InRange(stage, a) || !InRange(stage, b) || a == b) return;
    std::swap(stage.Elements[a], stage.Elements[b]);
    PlaceMask(stage, a);
    PlaceMask(stage, b);
    const size_t high = static_cast<size_t>(std::max(a, b));
    if (edit.Origin.size() <= high) edit.Origin.resize(high + 1, -1);
    std::swap(edit.Origin[static_cast<size_t>(a)], edit.Origin[static_cast<size_t>(b)]);
    edit.Preview.Swap(static_cast<size_t>(a), static_cast<size_t>(b));
    RemapIndices(stage, edit, [a, b](int i) { return i == a ? b : i == b ? a : i; });
}

void RemoveElement(StageModel& stage, EditState& edit, int index) {
    if (!InRange(stage, index)) return;
    stage.Elements.erase(stage.Elements.begin() + index);
    PlaceMask(stage, 0);
    if (static_cast<size_t>(index) < edit.Origin.size()) edit.Origin.erase(edit.Origin.begin() + index);
    edit.Preview.Remove(static_cast<size_t>(index));
    SyncCount(stage);
    RemapIndices(stage, edit, [index](int i) { return i == index ? -1 : i > index ? i - 1 : i; });
}

int CloneElement(StageModel& stage, int index) {
    if (!InRange(stage, index) ||
        stage.Elements.size() >= static_cast<size_t>(std::numeric_limits<int16_t>::max()))
        return -1;
    BgElement copy = stage.Elements[index];
    stage.Elements.push_back(std::move(copy));
    SyncCount(stage);
    PlaceMask(stage, static_cast<int>(stage.Elements.size()) - 1);
    return static_cast<int>(stage.Elements.size()) - 1;
}

void EditKeys(StageModel& stage, EditState& edit, Keys& keys, Clock& clock, const CaptionSetter& setCaption) {
    int16_t& SelectedElement = edit.SelectedElement;
    if (!InRange(stage, SelectedElement)) {
        // Reading the latched presses drops them (Delete belongs to the stage command then).
        for (Key key : {Key::NumPlus, Key::NumMinus, Key::Insert}) keys.Pressed(key);
        return;
    }
    const int64_t now = clock.TickCount();
    if (!(now - edit.LastEditKeyTick >= kEditKeyRepeatMs || now < edit.LastEditKeyTick)) return;
    const int count = static_cast<int>(stage.Elements.size());
    EditHistory& history = edit.History;
    if (keys.Pressed(Key::NumPlus)) {
        if (SelectedElement + 1 < count && LinkHoldsOrder(stage, SelectedElement)) {
            RequestCaption(setCaption, kLinkedOrder);
        } else if (SelectedElement + 1 < count) {
            history.Begin(EditKind::Order, stage, edit);
            SwapElements(stage, edit, SelectedElement, SelectedElement + 1);
            SelectedElement += 1;
            history.Commit(stage, edit, SwapMap(count, SelectedElement - 1, SelectedElement));
            RequestCaption(setCaption, ElementCaption(stage, SelectedElement));
        } else {
            history.Begin(EditKind::Layer, stage, edit);
            stage.Elements[SelectedElement].LayerNo = 1;
            history.Commit(stage, edit);
        }
        edit.LastEditKeyTick = now;
    } else if (keys.Pressed(Key::NumMinus)) {
        // A front-layer element goes back to the back layer first, the first one included (it has
        // no record before it to swap with, and would otherwise stay in front for good).
        if (stage.Elements[SelectedElement].LayerNo == 1) {
            history.Begin(EditKind::Layer, stage, edit);
            stage.Elements[SelectedElement].LayerNo = 0;
            history.Commit(stage, edit);
        } else if (SelectedElement >= 1 && LinkHoldsOrder(stage, SelectedElement - 1)) {
            RequestCaption(setCaption, kLinkedOrder);
        } else if (SelectedElement >= 1) {
            history.Begin(EditKind::Order, stage, edit);
            SwapElements(stage, edit, SelectedElement, SelectedElement - 1);
            SelectedElement -= 1;
            history.Commit(stage, edit, SwapMap(count, SelectedElement, SelectedElement + 1));
            RequestCaption(setCaption, ElementCaption(stage, SelectedElement));
        }
        edit.LastEditKeyTick = now;
    } else if (keys.Pressed(Key::Delete)) {
        history.Begin(EditKind::Delete, stage, edit);
        const int removed = SelectedElement;
        RemoveElement(stage, edit, SelectedElement);
        SelectedElement = -1;
        std::vector<int> map(static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) map[static_cast<size_t>(i)] = i < removed ? i : i == removed ? -1 : i - 1;
        history.Commit(stage, edit, std::move(map));
        edit.EditingElement = false;
        edit.DeleteHeldByEdit = true;
        RequestCaption(setCaption, "Deleted..");
        edit.LastEditKeyTick = now;
    } else if (keys.Pressed(Key::Insert)) {
        history.Begin(EditKind::Clone, stage, edit);
        const int clone = CloneElement(stage, SelectedElement);
        if (clone >= 0) {
            SelectedElement = static_cast<int16_t>(clone);
            std::vector<int> map(static_cast<size_t>(count));
            for (int i = 0; i < count; ++i) map[static_cast<size_t>(i)] = i;
            history.Commit(stage, edit, std::move(map));
            RequestCaption(setCaption, "Cloned..");
        }
        edit.LastEditKeyTick = now;
    }
}

void ResetEditRun(EditState& edit) {
    BgEditorFields fields = std::move(edit.Fields);
    edit = EditState{};
    edit.Fields = std::move(fields);
}

bool ElementEditor::OwnsPadKeys(const StageModel& stage) {
    return InRange(stage, m_edit.SelectedElement);
}

bool ElementEditor::OwnsDeleteKey(const StageModel& stage, Keys& keys) {
    m_edit.EditingElement = InRange(stage, m_edit.SelectedElement);
    if (!m_edit.EditingElement && !m_edit.DeleteHeldByEdit) return false;
    // The key belongs to the selected element (read by the editing keys), or it just removed one
    // and is still held: a held key would otherwise go on to delete the whole stage.
    if (m_edit.DeleteHeldByEdit && !keys.IsDown(Key::Delete)) m_edit.DeleteHeldByEdit = false;
    return true;
}

void ElementEditor::AfterPass(StageModel& stage, FrameState&, Keys& keys, Clock& clock) {
    EditKeys(stage, m_edit, keys, clock, m_setCaption);
}

}  // namespace qb

#include "render/element_edit.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "render/draw_elements.h"
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
void RemapIndices(StageModel& stage, FrameState& frame, Map map) {
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
    if (frame.DragIndex >= 0) frame.DragIndex = static_cast<int16_t>(map(frame.DragIndex));
}

void RequestCaption(FrameState& frame, std::string caption) {
    frame.CaptionPending = true;
    frame.CaptionRequest = std::move(caption);
}

}  // namespace

int16_t ElementAt(const StageModel& stage, int x, int y) {
    const int count = static_cast<int>(stage.Elements.size());
    // Front pass first (LayerNo other than 0), then the back pass (LayerNo 0 or below); each pass
    // draws in table order, so the last hit in it is on top.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = count - 1; i >= 0; --i) {
            const BgElement& element = stage.Elements[i];
            const bool inPass = pass == 0 ? element.LayerNo != 0 : element.LayerNo <= 0;
            if (!inPass || element.Enabled == 0 || element.Visible == 0) continue;
            const ElementPlacement placement = PlaceElement(stage, element);
            if (placement.sprite < 0) continue;
            const SpriteEntry& sprite = stage.Sprites[placement.sprite];
            const BgElement* sineSource = &element;
            if (element.PositionLink != 0 && InRange(stage, element.LinkParent))
                sineSource = &stage.Elements[element.LinkParent];
            const int32_t left =
                text::RoundClampPixel(static_cast<double>(element.CtrlOffX) + sineSource->SinOffX + placement.x);
            const int32_t top =
                text::RoundClampPixel(static_cast<double>(sineSource->SinOffY) + placement.y + element.CtrlOffY);
            if (x >= left && x < static_cast<int64_t>(left) + sprite.Width && y >= top &&
                y < static_cast<int64_t>(top) + sprite.Height)
                return static_cast<int16_t>(i);
        }
    }
    return -1;
}

std::string ElementCaption(const StageModel& stage, int16_t index) {
    const std::string name = InRange(stage, index) ? stage.Elements[index].Name : std::string();
    return "\"" + name + "\" - Background Element #" + std::to_string(index + 1) + "/" +
           std::to_string(stage.Elements.size());
}

void BeginDrag(const StageModel& stage, FrameState& frame, int16_t index, int x, int y) {
    if (!InRange(stage, index)) {
        frame.DragIndex = -1;
        return;
    }
    const BgElement& element = stage.Elements[index];
    frame.DragIndex = index;
    frame.GrabX = static_cast<int16_t>(x);
    frame.GrabY = static_cast<int16_t>(y);
    frame.GrabOffX = text::RoundWrapInt16(element.PosX);
    frame.GrabOffY = text::RoundWrapInt16(element.PosY);
    frame.BaseOffX = text::RoundWrapInt16(element.BaseX);
    frame.BaseOffY = text::RoundWrapInt16(element.BaseY);
}

bool DragTo(StageModel& stage, FrameState& frame, int x, int y) {
    if (frame.DragIndex < 0) return false;
    if (!InRange(stage, frame.DragIndex)) {
        frame.DragIndex = -1;
        return false;
    }
    BgElement& element = stage.Elements[frame.DragIndex];
    const int dx = x - frame.GrabX;
    const int dy = y - frame.GrabY;
    element.PosX = static_cast<float>(dx + frame.GrabOffX);
    element.PosY = static_cast<float>(dy + frame.GrabOffY);
    element.BaseX = static_cast<float>(dx + frame.BaseOffX);
    element.BaseY = static_cast<float>(dy + frame.BaseOffY);
    return true;
}

void EndDrag(FrameState& frame) {
    frame.DragIndex = -1;
}

void SwapElements(StageModel& stage, FrameState& frame, int a, int b) {
    if (!InRange(stage, a) || !InRange(stage, b) || a == b) return;
    std::swap(stage.Elements[a], stage.Elements[b]);
    RemapIndices(stage, frame, [a, b](int i) { return i == a ? b : i == b ? a : i; });
}

void RemoveElement(StageModel& stage, FrameState& frame, int index) {
    if (!InRange(stage, index)) return;
    stage.Elements.erase(stage.Elements.begin() + index);
    SyncCount(stage);
    RemapIndices(stage, frame, [index](int i) { return i == index ? -1 : i > index ? i - 1 : i; });
}

int CloneElement(StageModel& stage, int index) {
    if (!InRange(stage, index) ||
        stage.Elements.size() >= static_cast<size_t>(std::numeric_limits<int16_t>::max()))
        return -1;
    BgElement copy = stage.Elements[index];
    stage.Elements.push_back(std::move(copy));
    SyncCount(stage);
    return static_cast<int>(stage.Elements.size()) - 1;
}

void EditKeys(StageModel& stage, FrameState& frame, int16_t& SelectedElement, Keys& keys, Clock& clock) {
    if (!InRange(stage, SelectedElement)) return;
    const int64_t now = clock.TickCount();
    if (!(now - frame.LastEditKeyTick >= kEditKeyRepeatMs || now < frame.LastEditKeyTick)) return;
    const int count = static_cast<int>(stage.Elements.size());
    if (keys.Pressed(Key::NumPlus)) {
        if (SelectedElement + 1 < count) {
            SwapElements(stage, frame, SelectedElement, SelectedElement + 1);
            SelectedElement += 1;
            RequestCaption(frame, ElementCaption(stage, SelectedElement));
        } else {
            stage.Elements[SelectedElement].LayerNo = 1;
        }
        frame.LastEditKeyTick = now;
    } else if (keys.Pressed(Key::NumMinus)) {
        // A front-layer element goes back to the back layer first, the first one included (it has
        // no record before it to swap with, and would otherwise stay in front for good).
        if (stage.Elements[SelectedElement].LayerNo == 1) {
            stage.Elements[SelectedElement].LayerNo = 0;
        } else if (SelectedElement >= 1) {
            SwapElements(stage, frame, SelectedElement, SelectedElement - 1);
            SelectedElement -= 1;
            RequestCaption(frame, ElementCaption(stage, SelectedElement));
        }
        frame.LastEditKeyTick = now;
    } else if (keys.Pressed(Key::Delete)) {
        RemoveElement(stage, frame, SelectedElement);
        SelectedElement = -1;
        frame.EditingElement = false;
        frame.DeleteHeldByEdit = true;
        RequestCaption(frame, "Deleted..");
        frame.LastEditKeyTick = now;
    } else if (keys.Pressed(Key::Insert)) {
        const int clone = CloneElement(stage, SelectedElement);
        if (clone >= 0) {
            SelectedElement = static_cast<int16_t>(clone);
            RequestCaption(frame, "Cloned..");
        }
        frame.LastEditKeyTick = now;
    }
}

}  // namespace qb

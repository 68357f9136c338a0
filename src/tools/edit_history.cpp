#include "tools/edit_history.h"

#include <algorithm>

#include "tools/element_edit.h"

namespace qb {

const char* EditKindName(EditKind kind) {
    switch (kind) {
        case EditKind::Move:
            return "Move";
        case EditKind::Update:
            return "Update";
        case EditKind::Order:
            return "Order Change";
        case EditKind::Layer:
            return "Layer Change";
        case EditKind::Clone:
            return "Clone Element";
        case EditKind::Delete:
            return "Delete Element";
    }
    return "";
}

namespace {

// The fields the running stage changes by itself: they are the stage's, not the edit's.
void CarryRun(BgElement& to, const BgElement& from) {
    to.PosX = from.PosX;
    to.PosY = from.PosY;
    to.FrameIndex = from.FrameIndex;
    to.FrameTime = from.FrameTime;
    to.SinXPhase = from.SinXPhase;
    to.SinYPhase = from.SinYPhase;
    to.SinOffX = from.SinOffX;
    to.SinOffY = from.SinOffY;
    to.CtrlVelX = from.CtrlVelX;
    to.CtrlVelY = from.CtrlVelY;
    to.CtrlOffX = from.CtrlOffX;
    to.CtrlOffY = from.CtrlOffY;
    to.Enabled = from.Enabled;
    to.Visible = from.Visible;
}

bool SameEdit(const BgElement& a, const BgElement& b) {
    BgElement stripped = b;
    CarryRun(stripped, a);
    return a == stripped;
}

std::vector<std::vector<int32_t>> CtrlIdsOf(const StageModel& stage) {
    std::vector<std::vector<int32_t>> ids;
    for (const BgCtrlDef& group : stage.CtrlDefs) {
        ids.push_back(group.CtrlIds);
        for (const BgCtrl& ctrl : group.Ctrls) ids.push_back(ctrl.CtrlIds);
    }
    return ids;
}

EditSnapshot Capture(const StageModel& stage, const EditState& edit) {
    EditSnapshot s;
    s.Count = stage.Elements.size();
    s.Whole = true;
    s.Elements.reserve(s.Count);
    for (size_t i = 0; i < s.Count; ++i) s.Elements.emplace_back(i, stage.Elements[i]);
    s.CtrlIds = CtrlIdsOf(stage);
    s.ZOffsetLink = stage.ZOffsetLink;
    s.StartX = stage.StartX;
    s.StartY = stage.StartY;
    s.BoundLeft = stage.BoundLeft;
    s.BoundRight = stage.BoundRight;
    s.BoundHigh = stage.BoundHigh;
    s.BoundLow = stage.BoundLow;
    s.Origin = edit.Origin;
    s.Selected = edit.SelectedElement;
    return s;
}

bool SameCamera(const EditSnapshot& a, const EditSnapshot& b) {
    return a.StartX == b.StartX && a.StartY == b.StartY && a.BoundLeft == b.BoundLeft &&
           a.BoundRight == b.BoundRight && a.BoundHigh == b.BoundHigh && a.BoundLow == b.BoundLow;
}

size_t SnapshotBytes(const EditSnapshot& s) {
    size_t bytes = sizeof(EditSnapshot) + s.Origin.size() * sizeof(int16_t);
    for (const auto& [index, e] : s.Elements)
        bytes += sizeof(index) + sizeof(BgElement) + e.Type.capacity() + e.Name.capacity() +
                 e.Trans.capacity() + e.TypeWritten.capacity();
    for (const auto& ids : s.CtrlIds) bytes += sizeof(ids) + ids.size() * sizeof(int32_t);
    return bytes;
}

std::vector<int> Inverse(const std::vector<int>& map, size_t size) {
    std::vector<int> inverse(size, -1);
    for (size_t i = 0; i < map.size(); ++i)
        if (map[i] >= 0 && static_cast<size_t>(map[i]) < size)
            inverse[static_cast<size_t>(map[i])] = static_cast<int>(i);
    return inverse;
}

}  // namespace

void EditHistory::Begin(EditKind kind, const StageModel& stage, const EditState& edit) {
    if (m_pending) Commit(stage, edit);
    m_pending = PendingEdit{kind, Capture(stage, edit)};
}

bool EditHistory::Commit(const StageModel& stage, const EditState& edit, std::vector<int> beforeToAfter) {
    if (!m_pending) return false;
    PendingEdit pending = std::move(*m_pending);
    m_pending.reset();
    EditStep step;
    step.Kind = pending.kind;
    step.Before = std::move(pending.state);
    step.After = Capture(stage, edit);
    const bool structural = step.Before.Count != step.After.Count || !beforeToAfter.empty();
    if (structural) {
        // Sizes that disagree with the table would restore the wrong elements: refuse the step.
        if (beforeToAfter.empty() || beforeToAfter.size() != step.Before.Count) return false;
        step.BeforeToAfter = std::move(beforeToAfter);
    } else {
        // Only the elements the edit changed are kept, on both sides.
        std::vector<std::pair<size_t, BgElement>> before, after;
        for (size_t i = 0; i < step.Before.Count; ++i) {
            if (SameEdit(step.Before.Elements[i].second, step.After.Elements[i].second)) continue;
            before.push_back(std::move(step.Before.Elements[i]));
            after.push_back(std::move(step.After.Elements[i]));
        }
        if (before.empty() && SameCamera(step.Before, step.After)) return false;
        step.Before.Elements = std::move(before);
        step.After.Elements = std::move(after);
        step.Before.Whole = step.After.Whole = false;
        // References into the table and the order are unchanged: nothing to keep of them.
        step.Before.CtrlIds.clear();
        step.After.CtrlIds.clear();
        step.Before.Origin.clear();
        step.After.Origin.clear();
    }
    step.Bytes =
        SnapshotBytes(step.Before) + SnapshotBytes(step.After) + step.BeforeToAfter.size() * sizeof(int);
    m_undo.push_back(std::move(step));
    m_redo.clear();
    Trim();
    return true;
}

void EditHistory::Trim() {
    while (m_undo.size() > 1 && (m_undo.size() > kMaxSteps || Bytes() > kMaxBytes)) m_undo.pop_front();
}

size_t EditHistory::Bytes() const {
    size_t bytes = 0;
    for (const auto* steps : {&m_undo, &m_redo})
        for (const EditStep& step : *steps) bytes += step.Bytes;
    return bytes;
}

std::optional<EditKind> EditHistory::NextUndo() const {
    return m_undo.empty() ? std::nullopt : std::optional<EditKind>(m_undo.back().Kind);
}

std::optional<EditKind> EditHistory::NextRedo() const {
    return m_redo.empty() ? std::nullopt : std::optional<EditKind>(m_redo.back().Kind);
}

void EditHistory::Clear() {
    m_pending.reset();
    m_undo.clear();
    m_redo.clear();
}

bool EditHistory::Undo(StageModel& stage, EditState& edit) {
    // An edit under way (a drag) is finished first: it is the one undone.
    if (m_pending) Commit(stage, edit);
    if (m_undo.empty()) return false;
    EditStep step = std::move(m_undo.back());
    m_undo.pop_back();
    if (!Apply(stage, edit, step.Before, step.After, step.BeforeToAfter)) {
        Clear();
        return false;
    }
    m_redo.push_back(std::move(step));
    return true;
}

bool EditHistory::Redo(StageModel& stage, EditState& edit) {
    if (m_pending) Commit(stage, edit);
    if (m_redo.empty()) return false;
    EditStep step = std::move(m_redo.back());
    m_redo.pop_back();
    const std::vector<int> afterToBefore =
        step.BeforeToAfter.empty() ? std::vector<int>() : Inverse(step.BeforeToAfter, step.After.Count);
    if (!Apply(stage, edit, step.After, step.Before, afterToBefore)) {
        Clear();
        return false;
    }
    m_undo.push_back(std::move(step));
    return true;
}

bool EditHistory::Apply(StageModel& stage, EditState& edit, const EditSnapshot& target,
                        const EditSnapshot& other, const std::vector<int>& targetToOther) {
    // The table holds what `other` recorded, moved on by the running stage since.
    if (stage.Elements.size() != other.Count) return false;
    // Where an element is the same on both sides, it keeps how the stage has run it since, and a
    // position the step changed moves by what the step changed.
    const auto carried = [&](BgElement element, size_t now, const BgElement& was) {
        const BgElement& current = stage.Elements[now];
        const float shiftX = static_cast<float>(element.StartX - was.StartX);
        const float shiftY = static_cast<float>(element.StartY - was.StartY);
        CarryRun(element, current);
        element.PosX += shiftX;
        element.PosY += shiftY;
        return element;
    };
    if (!target.Whole) {
        if (target.Elements.size() != other.Elements.size()) return false;
        for (size_t k = 0; k < target.Elements.size(); ++k) {
            const size_t index = target.Elements[k].first;
            if (index >= stage.Elements.size() || other.Elements[k].first != index) return false;
            stage.Elements[index] = carried(target.Elements[k].second, index, other.Elements[k].second);
        }
    } else {
        if (target.Elements.size() != target.Count || !other.Whole || other.Elements.size() != other.Count)
            return false;
        std::vector<BgElement> table;
        table.reserve(target.Count);
        ElementPreview preview = edit.Preview;
        preview.Hidden.assign(target.Count, 0);
        preview.Solo.assign(target.Count, 0);
        // Clones are past the end of the file order (an order as long as the file's).
        std::vector<int16_t> origin(std::min(target.Origin.size(), target.Count), -1);
        for (size_t j = 0; j < target.Count; ++j) {
            const int from = j < targetToOther.size() ? targetToOther[j] : static_cast<int>(j);
            if (from < 0 || static_cast<size_t>(from) >= other.Count) {
                // An element the step removed or added: as it was recorded.
                table.push_back(target.Elements[j].second);
                if (j < origin.size()) origin[j] = target.Origin[j];
                continue;
            }
            const auto at = static_cast<size_t>(from);
            table.push_back(carried(target.Elements[j].second, at, other.Elements[at].second));
            // The file order and the switches follow the element: a write into the file since the
            // step has changed what they say.
            if (j < origin.size()) origin[j] = at < edit.Origin.size() ? edit.Origin[at] : int16_t{-1};
            preview.Hidden[j] = edit.Preview.IsHidden(at) ? 1 : 0;
            preview.Solo[j] = edit.Preview.IsSolo(at) ? 1 : 0;
        }
        stage.Elements = std::move(table);
        stage.ElementCount = static_cast<int16_t>(stage.Elements.size());
        size_t k = 0;
        for (BgCtrlDef& group : stage.CtrlDefs) {
            if (k < target.CtrlIds.size()) group.CtrlIds = target.CtrlIds[k];
            ++k;
            for (BgCtrl& ctrl : group.Ctrls) {
                if (k < target.CtrlIds.size()) ctrl.CtrlIds = target.CtrlIds[k];
                ++k;
            }
        }
        stage.ZOffsetLink = target.ZOffsetLink;
        edit.Origin = std::move(origin);
        edit.Preview = std::move(preview);
    }
    stage.StartX = target.StartX;
    stage.StartY = target.StartY;
    stage.BoundLeft = target.BoundLeft;
    stage.BoundRight = target.BoundRight;
    stage.BoundHigh = target.BoundHigh;
    stage.BoundLow = target.BoundLow;
    edit.SelectedElement =
        target.Selected >= 0 && static_cast<size_t>(target.Selected) < stage.Elements.size() ? target.Selected
                                                                                             : int16_t{-1};
    edit.DragIndex = -1;
    return true;
}

}  // namespace qb

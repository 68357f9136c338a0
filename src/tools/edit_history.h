#pragma once
// Undo and redo of the background editor's edits. Each step keeps the values of what the edit
// changed, before and after: the elements whose values it changed (a move, the editor's Update, a
// layer change), or the whole element table with everything that points into it where the edit
// moved, added or removed elements (order, clone, delete). What the running stage changes by itself
// (an element's motion, its animation, controllers) is not part of a step: undoing a move puts a
// drifting element back by the distance it was moved, where its drift has taken it since.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "stage/stage_model.h"

namespace qb {

struct EditState;

enum class EditKind : uint8_t { Move, Update, Order, Layer, Clone, Delete };
// What the Edit menu names: "Move", "Update", "Order Change", "Layer Change", "Clone Element",
// "Delete Element".
const char* EditKindName(EditKind kind);

// The edited state at one moment: elements (all, or the ones a step changed), the references into
// the table, the camera values the editor's boxes set, the file order and the selection.
struct EditSnapshot {
    size_t Count = 0;  // elements in the table
    bool Whole = false;
    std::vector<std::pair<size_t, BgElement>> Elements;
    std::vector<std::vector<int32_t>> CtrlIds;  // every group's, then each of its controllers'
    int16_t ZOffsetLink = 0;
    float StartX = 0;
    int16_t StartY = 0;
    int32_t BoundLeft = 0, BoundRight = 0;
    int16_t BoundHigh = 0, BoundLow = 0;
    std::vector<int16_t> Origin;
    int16_t Selected = -1;
};

struct EditStep {
    EditKind Kind = EditKind::Move;
    EditSnapshot Before, After;
    // For each element of Before, its index in After (-1: removed); empty: the same index.
    std::vector<int> BeforeToAfter;
    size_t Bytes = 0;
};

class EditHistory {
public:
    // The most steps kept, and the memory they may take; the oldest go first.
    static constexpr size_t kMaxSteps = 200;
    static constexpr size_t kMaxBytes = 32u << 20;

    // Called before an edit of `kind`: takes the state it starts from. An edit begun and not yet
    // committed (a drag under way) is committed first.
    void Begin(EditKind kind, const StageModel& stage, const EditState& edit);
    // Called after it: records one step when it changed anything. `beforeToAfter` says where each
    // element went when the edit moved, added or removed elements (see EditStep).
    bool Commit(const StageModel& stage, const EditState& edit, std::vector<int> beforeToAfter = {});
    bool Pending() const { return m_pending.has_value(); }

    // Puts the stage back as it was before the last step (after the last undone one) and selects
    // the element it concerned; false when there is none, or when the stage no longer matches what
    // the step recorded (the history is then cleared).
    bool Undo(StageModel& stage, EditState& edit);
    bool Redo(StageModel& stage, EditState& edit);
    std::optional<EditKind> NextUndo() const;
    std::optional<EditKind> NextRedo() const;

    // The stage was loaded or reloaded: steps of the stage before would not fit it.
    void Clear();
    size_t Steps() const { return m_undo.size() + m_redo.size(); }
    size_t Bytes() const;

private:
    struct PendingEdit {
        EditKind kind;
        EditSnapshot state;  // whole
    };
    bool Apply(StageModel& stage, EditState& edit, const EditSnapshot& target, const EditSnapshot& other,
               const std::vector<int>& targetToOther);
    void Trim();

    std::optional<PendingEdit> m_pending;
    std::deque<EditStep> m_undo, m_redo;
};

}  // namespace qb

#include "render/bg_ctrl.h"

namespace qb {

namespace {

constexpr float kNotGiven = 999999.0f;

void Apply(StageModel& stage, const BgCtrl& ctrl, BgElement& element) {
    const std::string& type = ctrl.Type;
    if (type == "posset") {
        if (ctrl.X != kNotGiven) element.CtrlOffX = ctrl.X;
        if (ctrl.Y != kNotGiven) element.CtrlOffY = ctrl.Y;
    } else if (type == "posadd") {
        if (ctrl.X != kNotGiven) element.CtrlOffX += ctrl.X;
        if (ctrl.Y != kNotGiven) element.CtrlOffY += ctrl.Y;
    } else if (type == "velset") {
        if (ctrl.X != kNotGiven) element.CtrlVelX = ctrl.X;
        if (ctrl.Y != kNotGiven) element.CtrlVelY = ctrl.Y;
    } else if (type == "veladd") {
        if (ctrl.X != kNotGiven) element.CtrlVelX += ctrl.X;
        if (ctrl.Y != kNotGiven) element.CtrlVelY += ctrl.Y;
    } else if (type == "enable") {
        element.Enabled = static_cast<uint8_t>(ctrl.Value & 0xFF);
    } else if (type == "visible") {
        element.Visible = static_cast<uint8_t>(ctrl.Value & 0xFF);
    } else if (type == "anim") {
        // An animation number that matched no animation stays a number; switching an element to
        // it would make the element read past the animation table, so such a controller is inert.
        if (ctrl.Value < 0 || ctrl.Value >= static_cast<int>(stage.Actions.size())) return;
        const BgAction& action = stage.Actions[ctrl.Value];
        element.ActionIndex = ctrl.Value;
        element.FrameIndex = 0;
        element.FrameTime = action.Frames.empty() ? 0 : action.Frames[0].Time;
    } else if (type == "sinx") {
        element.PositionLink = 0;
        element.SinXAmp = ctrl.SinAmp;
        element.SinXPeriod = ctrl.SinPeriod;
        element.SinXPhase = ctrl.SinPhase;
    } else if (type == "siny") {
        element.PositionLink = 0;
        element.SinYAmp = ctrl.SinAmp;
        element.SinYPeriod = ctrl.SinPeriod;
        element.SinYPhase = ctrl.SinPhase;
    }
}

}  // namespace

void RunBgCtrls(StageModel& stage) {
    const int elementCount = static_cast<int>(stage.Elements.size());
    for (BgCtrlDef& group : stage.CtrlDefs) {
        for (BgCtrl& ctrl : group.Ctrls) {
            const std::vector<int32_t>& targets = ctrl.CtrlIdCount >= 1 ? ctrl.CtrlIds : group.CtrlIds;
            int targetCount = ctrl.CtrlIdCount >= 1 ? ctrl.CtrlIdCount : group.CtrlIdCount;
            if (targetCount > static_cast<int>(targets.size()))
                targetCount = static_cast<int>(targets.size());
            if (ctrl.StartTime <= ctrl.Time && ctrl.Time <= ctrl.EndTime) {
                for (int t = 0; t < targetCount; ++t) {
                    int32_t index = targets[t];
                    if (index < 0 || index >= elementCount) continue;
                    Apply(stage, ctrl, stage.Elements[index]);
                }
            }
            ctrl.Time += 1;
            if (ctrl.Time == ctrl.LoopTime) ctrl.Time = 0;
            if (group.Time == group.LoopTime) ctrl.Time = 0;
        }
        if (group.Time == group.LoopTime)
            group.Time = 0;
        else
            group.Time += 1;
    }
}

}  // namespace qb

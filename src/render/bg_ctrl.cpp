#include "render/bg_ctrl.h"

#include <cmath>

#include "stage/stage_version.h"

namespace qb {

namespace {

constexpr float kNotGiven = 999999.0f;

// What the stage's engine makes of the controllers.
struct CtrlRules {
    // SinX/SinY's third value is a time offset: the sine runs on from it while the controller acts
    // (older stages restart the element's sine at that value on every active frame).
    bool sineTimeOffset = false;
    // SinX/SinY keep their own clock through their group's loop.
    bool sineIgnoresGroupLoop = false;
};

bool IsSine(const std::string& type) {
    return type == "sinx" || type == "siny";
}

// The element's sine counter (ticks into its swing) for a SinX/SinY controller, whose third value is
// the phase in degrees as for sin.x: older stages start the swing there on every active frame; 1.0
// stages count it on by the ticks the controller has been acting, within one swing.
float SinePhase(const BgCtrl& ctrl, const CtrlRules& rules) {
    const float start = SineStartTick(ctrl.SinPhase, ctrl.SinPeriod);
    if (!rules.sineTimeOffset) return start;
    const double cycle = std::fabs(static_cast<double>(ctrl.SinPeriod));
    double phase = static_cast<double>(start) + (static_cast<double>(ctrl.Time) - ctrl.StartTime);
    if (cycle > 0) phase = std::fmod(phase, cycle);
    if (phase < 0) phase += cycle;
    return static_cast<float>(phase);
}

void Apply(StageModel& stage, const BgCtrl& ctrl, const CtrlRules& rules, BgElement& element) {
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
    } else if (type == "enable" || type == "enabled") {
        // The engine's documentation names it "Enabled"; stages write both.
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
        element.SinXPhase = SinePhase(ctrl, rules);
    } else if (type == "siny") {
        element.PositionLink = 0;
        element.SinYAmp = ctrl.SinAmp;
        element.SinYPeriod = ctrl.SinPeriod;
        element.SinYPhase = SinePhase(ctrl, rules);
    }
}

}  // namespace

void RunBgCtrls(StageModel& stage) {
    const int elementCount = static_cast<int>(stage.Elements.size());
    CtrlRules rules;
    if (IsModernStageModel(stage)) {
        rules.sineTimeOffset = IsEngine10Stage(stage);
        rules.sineIgnoresGroupLoop = IsEngine11Stage(stage);
    }
    for (BgCtrlDef& group : stage.CtrlDefs) {
        for (BgCtrl& ctrl : group.Ctrls) {
            const bool own = ctrl.CtrlIdCount >= 1;
            const std::vector<int32_t>& targets = own ? ctrl.CtrlIds : group.CtrlIds;
            int targetCount = own ? ctrl.CtrlIdCount : group.CtrlIdCount;
            if (targetCount > static_cast<int>(targets.size()))
                targetCount = static_cast<int>(targets.size());
            // A group without a ctrlid line: "If the line is omitted, then the default will be to
            // affect all background elements" (its controllers without their own list included).
            const bool everyElement = !own && group.CtrlIdCount <= 0;
            if (ctrl.StartTime <= ctrl.Time && ctrl.Time <= ctrl.EndTime) {
                if (everyElement)
                    for (BgElement& element : stage.Elements) Apply(stage, ctrl, rules, element);
                for (int t = 0; t < targetCount; ++t) {
                    int32_t index = targets[t];
                    if (index < 0 || index >= elementCount) continue;
                    Apply(stage, ctrl, rules, stage.Elements[index]);
                }
            }
            ctrl.Time += 1;
            if (ctrl.Time == ctrl.LoopTime) ctrl.Time = 0;
            if (group.Time == group.LoopTime && !(rules.sineIgnoresGroupLoop && IsSine(ctrl.Type))) ctrl.Time = 0;
        }
        if (group.Time == group.LoopTime)
            group.Time = 0;
        else
            group.Time += 1;
    }
}

}  // namespace qb

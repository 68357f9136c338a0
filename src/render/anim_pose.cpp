#include "render/anim_pose.h"

#include <algorithm>
#include <cmath>

namespace qb {

namespace {

double Lerp(double a, double b, double f) {
    return a + (b - a) * f;
}

// Add weights for blending interpolation, or false when the frame subtracts or cannot be drawn.
bool AddWeights(Blend32 b, int& s, int& d) {
    if (b.skip || b.op == BlendOp::Sub) return false;
    s = b.op == BlendOp::Copy ? 256 : b.s;
    d = b.op == BlendOp::Copy ? 0 : b.d;
    return true;
}

}  // namespace

FramePose PoseOf(const BgAction& action, const BgElement& element, bool interpolate) {
    FramePose pose;
    const int count = static_cast<int>(action.Frames.size());
    if (element.FrameIndex < 0 || element.FrameIndex >= count) return pose;
    const BgFrame& a = action.Frames[element.FrameIndex];
    pose.frame = &a;
    pose.offsetX = a.OffsetX;
    pose.offsetY = a.OffsetY;
    pose.blend = FrameBlend32(a.Trans);
    if (!interpolate) return pose;
    pose.scaleX = a.ScaleX;
    pose.scaleY = a.ScaleY;
    pose.angle = a.Angle;
    if (element.FrameIndex + 1 >= count || a.Time <= 0) return pose;
    const BgFrame& b = action.Frames[element.FrameIndex + 1];
    if (b.Interpolate == 0) return pose;
    const int tick = std::clamp(a.Time - 1 - element.FrameTime, 0, a.Time - 1);
    const double f = static_cast<double>(tick) / a.Time;
    if (b.Interpolate & kInterpolateOffset) {
        pose.offsetX = Lerp(a.OffsetX, b.OffsetX, f);
        pose.offsetY = Lerp(a.OffsetY, b.OffsetY, f);
    }
    if (b.Interpolate & kInterpolateScale) {
        pose.scaleX = Lerp(a.ScaleX, b.ScaleX, f);
        pose.scaleY = Lerp(a.ScaleY, b.ScaleY, f);
    }
    if (b.Interpolate & kInterpolateAngle) pose.angle = Lerp(a.Angle, b.Angle, f);
    int sa = 0, da = 0, sb = 0, db = 0;
    if ((b.Interpolate & kInterpolateBlend) && AddWeights(pose.blend, sa, da) &&
        AddWeights(FrameBlend32(b.Trans), sb, db) &&
        (pose.blend.op == BlendOp::Add || sb != 256 || db != 0)) {
        pose.blend = {BlendOp::Add, static_cast<int>(std::lround(Lerp(sa, sb, f))),
                      static_cast<int>(std::lround(Lerp(da, db, f)))};
    }
    return pose;
}

}  // namespace qb

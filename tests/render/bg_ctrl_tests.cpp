#include "render/bg_ctrl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qb {
namespace {

// Three elements (indices 0..2) and one group aimed at element 1 unless a test says otherwise.
struct CtrlFixture {
    StageModel stage;
    CtrlFixture() {
        stage.Elements.resize(3);
        for (BgElement& e : stage.Elements) e.Enabled = e.Visible = 1;
        BgCtrlDef group;
        group.CtrlIds = {1};
        group.CtrlIdCount = 1;
        stage.CtrlDefs.push_back(group);
    }
    BgCtrl& Add(const std::string& type, int start, int end = -999, int loop = -1) {
        BgCtrl ctrl;
        ctrl.Type = type;
        ctrl.StartTime = start;
        ctrl.EndTime = end == -999 ? start : end;
        ctrl.LoopTime = loop;
        stage.CtrlDefs[0].Ctrls.push_back(ctrl);
        stage.CtrlDefs[0].CtrlCount = static_cast<int16_t>(stage.CtrlDefs[0].Ctrls.size());
        return stage.CtrlDefs[0].Ctrls.back();
    }
    BgElement& Target() { return stage.Elements[1]; }
    // Runs `frames` frames and answers the frames (1-based) on which the target's CtrlOffX grew.
    std::vector<int> ActiveFrames(int frames) {
        std::vector<int> active;
        for (int f = 1; f <= frames; ++f) {
            float before = Target().CtrlOffX;
            RunBgCtrls(stage);
            if (Target().CtrlOffX != before) active.push_back(f);
        }
        return active;
    }
};

TEST(BgCtrl, ASingleTimeActsOnExactlyOneFrame) {
    CtrlFixture f;
    f.Add("posadd", 10).X = 1;
    EXPECT_EQ(f.ActiveFrames(40), std::vector<int>{11});
}

TEST(BgCtrl, TimeRangesIncludeBothEnds) {
    CtrlFixture f;
    f.Add("posadd", 2, 4).X = 1;
    EXPECT_EQ(f.ActiveFrames(10), (std::vector<int>{3, 4, 5}));
}

TEST(BgCtrl, AControllerLoopOfNRepeatsEveryNFrames) {
    CtrlFixture f;
    f.Add("posadd", 0, 0, 3).X = 1;
    EXPECT_EQ(f.ActiveFrames(10), (std::vector<int>{1, 4, 7, 10}));
}

TEST(BgCtrl, AGroupLoopOfNRepeatsEveryNPlusOneFrames) {
    CtrlFixture f;
    f.stage.CtrlDefs[0].LoopTime = 3;
    f.Add("posadd", 1).X = 1;
    EXPECT_EQ(f.ActiveFrames(13), (std::vector<int>{2, 6, 10}));
    EXPECT_EQ(f.stage.CtrlDefs[0].Time, 1);  // 0..3, then back to 0
}

TEST(BgCtrl, PositionAndVelocityControllersLeaveUngivenAxesAlone) {
    CtrlFixture f;
    f.Target().CtrlOffY = 7;
    f.Add("posadd", 0).X = 2;  // Y stays 999999: not given
    RunBgCtrls(f.stage);
    EXPECT_FLOAT_EQ(f.Target().CtrlOffX, 2);
    EXPECT_FLOAT_EQ(f.Target().CtrlOffY, 7);

    CtrlFixture g;
    BgCtrl& set = g.Add("posset", 0);
    set.Y = -5;
    g.Target().CtrlOffX = 3;
    BgCtrl& vel = g.Add("velset", 0);
    vel.X = 1.5f;
    BgCtrl& add = g.Add("veladd", 0);
    add.X = 0.5f;
    add.Y = -1;
    RunBgCtrls(g.stage);
    EXPECT_FLOAT_EQ(g.Target().CtrlOffX, 3);
    EXPECT_FLOAT_EQ(g.Target().CtrlOffY, -5);
    EXPECT_FLOAT_EQ(g.Target().CtrlVelX, 2);
    EXPECT_FLOAT_EQ(g.Target().CtrlVelY, -1);
    // The velocity stays in the element after the controllers' one frame.
    RunBgCtrls(g.stage);
    EXPECT_FLOAT_EQ(g.Target().CtrlVelX, 2);
}

TEST(BgCtrl, SwitchesAnimationsVisibilityAndEnabling) {
    CtrlFixture f;
    BgAction action;
    action.Frames.resize(2);
    action.Frames[0].Time = 9;
    f.stage.Actions = {BgAction{}, action};
    f.Target().FrameIndex = 3;
    f.Add("anim", 0).Value = 1;
    f.Add("visible", 0).Value = 0;
    f.Add("enable", 0).Value = 256;  // the low byte: 0
    RunBgCtrls(f.stage);
    EXPECT_EQ(f.Target().ActionIndex, 1);
    EXPECT_EQ(f.Target().FrameIndex, 0);
    EXPECT_EQ(f.Target().FrameTime, 9);
    EXPECT_EQ(f.Target().Visible, 0);
    EXPECT_EQ(f.Target().Enabled, 0);
}

TEST(BgCtrl, AnAnimControllerWithAnUnknownAnimationChangesNothing) {
    CtrlFixture f;
    f.Target().ActionIndex = 0;
    f.Add("anim", 0).Value = 40;  // an action number that matched no animation
    RunBgCtrls(f.stage);
    EXPECT_EQ(f.Target().ActionIndex, 0);
}

TEST(BgCtrl, SineControllersSetTheSineAndEndThePositionLink) {
    CtrlFixture f;
    f.Target().PositionLink = 1;
    BgCtrl& sx = f.Add("sinx", 0);
    sx.SinAmp = 10;
    sx.SinPeriod = 60;
    sx.SinPhase = 30;  // degrees: tick 5 of the 60-tick swing
    BgCtrl& sy = f.Add("siny", 0);
    sy.SinAmp = 2;
    sy.SinPeriod = 30;
    RunBgCtrls(f.stage);
    EXPECT_EQ(f.Target().PositionLink, 0);
    EXPECT_FLOAT_EQ(f.Target().SinXAmp, 10);
    EXPECT_FLOAT_EQ(f.Target().SinXPeriod, 60);
    EXPECT_FLOAT_EQ(f.Target().SinXPhase, 5);
    EXPECT_FLOAT_EQ(f.Target().SinYAmp, 2);
    EXPECT_FLOAT_EQ(f.Target().SinYPeriod, 30);
}

// The engines' versions read SinX/SinY differently: from 1.0 the third value is a phase offset (the
// sine runs on while the controller acts), and in 1.1 a sine controller keeps its clock through its
// group's loop. "Enabled" is the documented name of "enable".
TEST(BgCtrl, SineOffsetsGroupLoopsAndEnabledByEngineVersion) {
    struct Case {
        const char* name;
        int32_t localW;
        float mugenVersion;
        uint8_t sffMajor, sffMinor;
        float phaseOnFourthFrame;
        std::vector<int> sineFrames;  // frames (1-based) on which the looping sine controller acted
    };
    const Case cases[] = {
        {"classic", 320, 0, 0, 0, 5, {1, 5, 9}},
        {"classic size, mugenversion 1.0", 320, 1.0f, 0, 0, 5, {1, 5, 9}},
        {"modern, older", 400, 0, 0, 0, 5, {1, 5, 9}},
        {"modern, 1.0", 400, 1.0f, 0, 0, 8, {1, 5, 9}},
        {"sff 2.00", 320, 0, 2, 0, 8, {1, 5, 9}},
        {"modern, 1.1", 400, 1.1f, 0, 0, 8, {1}},
        {"sff 2.01", 320, 0, 2, 1, 8, {1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CtrlFixture f, g;
        for (StageModel* s : {&f.stage, &g.stage}) {
            s->LocalCoordW = c.localW;
            s->MugenVersion = c.mugenVersion;
            s->SffMajor = c.sffMajor;
            s->SffMinor = c.sffMinor;
        }
        // Acting on frames 0..9 on element 0, from the phase 30 degrees (tick 5 of 60).
        BgCtrl& wave = f.Add("sinx", 0, 9);
        wave.SinAmp = 10;
        wave.SinPeriod = 60;
        wave.SinPhase = 30;
        wave.CtrlIds = {0};
        wave.CtrlIdCount = 1;
        f.Add("enabled", 0).Value = 0;
        for (int frame = 1; frame <= 4; ++frame) RunBgCtrls(f.stage);
        EXPECT_FLOAT_EQ(f.stage.Elements[0].SinXPhase, c.phaseOnFourthFrame);
        EXPECT_EQ(f.Target().Enabled, 0);

        g.stage.CtrlDefs[0].LoopTime = 3;
        g.Add("siny", 0).SinAmp = 4;
        std::vector<int> acted;
        for (int frame = 1; frame <= 12; ++frame) {
            g.Target().SinYAmp = 0;
            RunBgCtrls(g.stage);
            if (g.Target().SinYAmp != 0) acted.push_back(frame);
        }
        EXPECT_EQ(acted, c.sineFrames);
    }
}

TEST(BgCtrl, OwnTargetsOverrideTheGroupsAndMissingIdsAreSkipped) {
    CtrlFixture f;
    BgCtrl& own = f.Add("posadd", 0);
    own.X = 1;
    own.CtrlIds = {-1, 2, 0};
    own.CtrlIdCount = 3;
    f.Add("null", 0);
    f.Add("posadd", 0).X = 10;  // the group's target, element 1
    RunBgCtrls(f.stage);
    EXPECT_FLOAT_EQ(f.stage.Elements[0].CtrlOffX, 1);
    EXPECT_FLOAT_EQ(f.stage.Elements[1].CtrlOffX, 10);
    EXPECT_FLOAT_EQ(f.stage.Elements[2].CtrlOffX, 1);
}

TEST(BgCtrl, AGroupWithoutCtrlIdsActsOnEveryElement) {
    CtrlFixture f;
    f.stage.CtrlDefs[0].CtrlIdCount = 0;  // no ctrlid line
    f.Add("posadd", 0).X = 1;
    BgCtrl& own = f.Add("posadd", 0);
    own.X = 10;  // its own list still overrides the group's
    own.CtrlIds = {2};
    own.CtrlIdCount = 1;
    RunBgCtrls(f.stage);
    EXPECT_FLOAT_EQ(f.stage.Elements[0].CtrlOffX + f.stage.Elements[1].CtrlOffX, 2);
    EXPECT_FLOAT_EQ(f.stage.Elements[2].CtrlOffX, 11);
}

TEST(BgCtrl, TargetListsLongerThanTheirEntriesAreNotOverrun) {
    CtrlFixture f;
    f.stage.CtrlDefs[0].CtrlIdCount = 9;  // count says nine, the list holds one
    f.Add("posadd", 0).X = 1;
    f.stage.CtrlDefs[0].CtrlIds.push_back(57);  // an index past the elements
    f.stage.CtrlDefs[0].CtrlIdCount = 2;
    RunBgCtrls(f.stage);
    EXPECT_FLOAT_EQ(f.Target().CtrlOffX, 1);
}

}  // namespace
}  // namespace qb

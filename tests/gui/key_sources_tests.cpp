// The window's keys, the headless tool's key script and the tests' fake keys share one latch: the same
// frames of held keys give the same presses from each of them.
#include <gtest/gtest.h>

#include <Qt>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "gui/qt_keys.h"
#include "render/scripted_input.h"
#include "tests/support/fakes.h"

namespace qb {
namespace {

struct ScriptFrame {
    std::vector<Key> held;
    bool read = true;  // the frame reads the keys; a busy frame does not
};

// What a frame reads: Right and Pause through Pressed, Step through PressCount, Faster through Pressed.
std::string Read(Keys& keys) {
    return std::string("R") + (keys.Pressed(Key::Right) ? '1' : '0') + "P" +
           (keys.Pressed(Key::Pause) ? '1' : '0') + "S" + std::to_string(keys.PressCount(Key::Step)) + "F" +
           (keys.Pressed(Key::SpeedUp) ? '1' : '0') + " ";
}

// Feeds the frames to a source through `event` (key, down) at each change of what is held.
std::string Play(const std::vector<ScriptFrame>& frames, Keys& keys,
                 const std::function<void(Key, bool)>& event) {
    std::vector<Key> held;
    std::string seen;
    for (const ScriptFrame& frame : frames) {
        for (Key key : held)
            if (std::find(frame.held.begin(), frame.held.end(), key) == frame.held.end()) event(key, false);
        for (Key key : frame.held)
            if (std::find(held.begin(), held.end(), key) == held.end()) event(key, true);
        held = frame.held;
        if (frame.read) seen += Read(keys);
    }
    return seen;
}

TEST(KeySources, TheSameHeldKeysGiveTheSamePressesFromEverySource) {
    const std::vector<ScriptFrame> frames = {
        {{Key::Right}},
        {{Key::Right, Key::Step}},
        {{Key::Right, Key::Step}},  // a held step key does not step again
        {{}},
        {{Key::Step}, false},
        {{}, false},
        {{Key::Step}},  // two presses while nothing read: two steps
        {{Key::Pause}},
        {{Key::Pause}},  // pause acts in every frame it is held
        {{Key::SpeedUp}},
        {{Key::SpeedUp}},
        {{Key::Right}, false},
        {{}},  // a press let go before any read is still seen once
        {{}},
    };
    const std::string want =
        "R1P0S0F0 R1P0S1F0 R1P0S0F0 R0P0S0F0 R0P0S2F0 R0P1S0F0 R0P1S0F0 R0P0S0F1 R0P0S0F0 "
        "R1P0S0F0 R0P0S0F0 ";

    gui::QtKeys qt;
    const auto qtKey = [](Key key) {
        switch (key) {
            case Key::Right:
                return static_cast<int>(Qt::Key_Right);
            case Key::Pause:
                return static_cast<int>(Qt::Key_Pause);
            case Key::Step:
                return static_cast<int>(Qt::Key_Period);
            default:
                return static_cast<int>(Qt::Key_BracketRight);
        }
    };
    EXPECT_EQ(Play(frames, qt, [&](Key key, bool down) { ASSERT_TRUE(qt.KeyEvent(qtKey(key), down)); }),
              want);

    test::FakeKeys fake;
    EXPECT_EQ(Play(frames, fake, [&](Key key, bool down) { fake.Hold(key, down); }), want);

    // The script holds each frame's keys for one frame; the frames are set one by one as the tool does.
    std::vector<KeyStep> steps;
    for (const ScriptFrame& frame : frames) steps.push_back(KeyStep{frame.held, 1});
    ScriptedKeys scripted(steps);
    int64_t number = 0;
    std::string seen;
    for (const ScriptFrame& frame : frames) {
        scripted.SetFrame(number++);
        if (frame.read) seen += Read(scripted);
    }
    EXPECT_EQ(seen, want);
}

}  // namespace
}  // namespace qb

#pragma once
// Keys and a clock driven by a script instead of a person: the headless tool and the tests use them
// to draw the same frames every time.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/key_latch.h"
#include "platform/ports.h"

namespace qb {

// One step of a key script: these keys held for `frames` frames.
struct KeyStep {
    std::vector<Key> keys;
    int frames = 0;
};

// Parses "right*30,none*10,down+z*5": comma-separated KEY*FRAMES steps, KEY one of left, right, up,
// down, z, a, pause, step, slower, faster, none, combinable with "+". A key held over steps stays held
// and is read as a person's held key is: the arrows, z, a and pause act in every frame they are held
// ("pause*1" toggles once), the step and speed keys once per press ("step*3" steps once,
// "step*1,none*1,step*1" twice). Answers false with a message naming the bad step.
bool ParseKeyScript(const std::string& script, std::vector<KeyStep>& steps, std::string& error);

// Holds the keys of the script's step for the current frame; after the script, nothing is held.
class ScriptedKeys : public Keys {
public:
    explicit ScriptedKeys(std::vector<KeyStep> steps) : m_steps(std::move(steps)) {}
    // Presses the keys the frame's step holds and lets go of the others.
    void SetFrame(int64_t frame);
    bool IsDown(Key key) override { return m_latch.IsDown(key); }
    bool Pressed(Key key) override { return m_latch.Pressed(key); }
    int PressCount(Key key) override { return m_latch.PressCount(key); }
    std::pair<int, int> PointerPos() override { return {-1, -1}; }

private:
    std::vector<KeyStep> m_steps;
    KeyLatch m_latch;
};

// A clock at a fixed frame rate: frame n is at n * 1000 / rate milliseconds. Sleeping advances it.
class FrameClock : public Clock {
public:
    explicit FrameClock(double framesPerSecond = 60.0) : m_rate(framesPerSecond) {}
    void SetFrame(int64_t frame) { m_counts = static_cast<int64_t>(frame * (kFrequency / m_rate)); }
    uint32_t TickCount() override { return static_cast<uint32_t>(m_counts / (kFrequency / 1000)); }
    int64_t Counter() override { return m_counts; }
    int64_t Frequency() override { return kFrequency; }
    void SleepMs(int ms) override { m_counts += int64_t(ms) * (kFrequency / 1000); }
    void SleepCounts(int64_t counts) override {
        if (counts > 0) m_counts += counts;
    }

private:
    static constexpr int64_t kFrequency = 1'000'000;
    double m_rate;
    int64_t m_counts = 0;
};

}  // namespace qb

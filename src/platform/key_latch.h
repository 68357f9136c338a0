#pragma once
// The one rule that turns key downs and ups into what the core polls through Keys, shared by every
// source of keys: the window's key events, the headless tool's key script and the tests' fake keys.
#include <array>

#include "platform/ports.h"

namespace qb {

class KeyLatch {
public:
    // A key went down or up. A down while the key is already down (auto-repeat, a script step that
    // keeps it held) is not a new press.
    void Down(Key key);
    void Up(Key key);
    // Forgets which keys are held (the window lost focus: their releases never arrive); presses not
    // read yet still count.
    void ReleaseAll();
    // Forgets held keys and unread presses alike.
    void Clear();

    bool IsDown(Key key) const;
    // Down now, or pressed since the last read of the key. The step and speed keys answer presses
    // only: one press is one step, and holding them does not repeat every frame.
    bool Pressed(Key key);
    // Presses since the last read of the key (Pressed or this), forgotten once read.
    int PressCount(Key key);

private:
    static constexpr int kCount = static_cast<int>(Key::Count);
    std::array<bool, kCount> m_down{};
    std::array<bool, kCount> m_latched{};
    std::array<int, kCount> m_presses{};
};

}  // namespace qb

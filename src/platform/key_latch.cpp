#include "platform/key_latch.h"

#include <algorithm>

namespace qb {

namespace {

// Presses counted between two reads at most: while a box holds the loop up nothing reads the keys,
// and what was typed meanwhile must not come out as a long run of steps afterwards.
constexpr int kMaxCountedPresses = 16;

int Index(Key key) {
    const int k = static_cast<int>(key);
    return k >= 0 && k < static_cast<int>(Key::Count) ? k : -1;
}

bool PressOnly(Key key) {
    return key == Key::Step || key == Key::SpeedDown || key == Key::SpeedUp;
}

}  // namespace

void KeyLatch::Down(Key key) {
    const int k = Index(key);
    if (k < 0) return;
    // A tap shorter than a frame still counts: the latch holds it until the core reads it.
    if (!m_down[k]) {
        m_latched[k] = true;
        m_presses[k] = std::min(m_presses[k] + 1, kMaxCountedPresses);
    }
    m_down[k] = true;
}

void KeyLatch::Up(Key key) {
    if (const int k = Index(key); k >= 0) m_down[k] = false;
}

void KeyLatch::ReleaseAll() {
    m_down.fill(false);
}

void KeyLatch::Clear() {
    m_down.fill(false);
    m_latched.fill(false);
    m_presses.fill(0);
}

bool KeyLatch::IsDown(Key key) const {
    const int k = Index(key);
    return k >= 0 && m_down[k];
}

bool KeyLatch::Pressed(Key key) {
    const int k = Index(key);
    if (k < 0) return false;
    const bool result = (m_down[k] && !PressOnly(key)) || m_latched[k];
    m_latched[k] = false;
    m_presses[k] = 0;
    return result;
}

int KeyLatch::PressCount(Key key) {
    const int k = Index(key);
    if (k < 0) return 0;
    const int presses = m_presses[k];
    m_presses[k] = 0;
    m_latched[k] = false;
    return presses;
}

}  // namespace qb

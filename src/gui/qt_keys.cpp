#include "gui/qt_keys.h"

#include <Qt>
#include <algorithm>

namespace qb::gui {

namespace {

// Presses counted between two reads at most: while a box holds the loop up nothing reads the keys,
// and what was typed meanwhile must not come out as a long run of steps afterwards.
constexpr int kMaxCountedPresses = 16;

}  // namespace

Key QtKeys::FromQtKey(int qtKey) {
    switch (qtKey) {
        case Qt::Key_Left:
            return Key::Left;
        case Qt::Key_Right:
            return Key::Right;
        case Qt::Key_Up:
            return Key::Up;
        case Qt::Key_Down:
            return Key::Down;
        case Qt::Key_Z:
            return Key::Z;
        case Qt::Key_A:
            return Key::A;
        case Qt::Key_Pause:
            return Key::Pause;
        case Qt::Key_Escape:
            return Key::Escape;
        case Qt::Key_Delete:
            return Key::Delete;
        case Qt::Key_F8:
            return Key::F8;
        case Qt::Key_Insert:
            return Key::Insert;
        case Qt::Key_Period:
            return Key::Step;
        case Qt::Key_BracketLeft:
            return Key::SpeedDown;
        case Qt::Key_BracketRight:
            return Key::SpeedUp;
        default:
            return Key::Count;
    }
}

Key QtKeys::FromQtKey(int qtKey, bool keypad) {
    if (keypad && qtKey == Qt::Key_Plus) return Key::NumPlus;
    if (keypad && qtKey == Qt::Key_Minus) return Key::NumMinus;
    return FromQtKey(qtKey);
}

bool QtKeys::IsDown(Key key) {
    const int k = static_cast<int>(key);
    return k >= 0 && k < kCount && m_down[k];
}

bool QtKeys::Pressed(Key key) {
    const int k = static_cast<int>(key);
    if (k < 0 || k >= kCount) return false;
    // One press of the step and speed keys is one step; holding them does not repeat every frame.
    const bool pressOnly = key == Key::Step || key == Key::SpeedDown || key == Key::SpeedUp;
    const bool result = (m_down[k] && !pressOnly) || m_latched[k];
    m_latched[k] = false;
    m_presses[k] = 0;
    return result;
}

int QtKeys::PressCount(Key key) {
    const int k = static_cast<int>(key);
    if (k < 0 || k >= kCount) return 0;
    const int presses = m_presses[k];
    m_presses[k] = 0;
    m_latched[k] = false;
    return presses;
}

std::pair<int, int> QtKeys::PointerPos() {
    if (m_pointer) return m_pointer();
    return {-1, -1};
}

bool QtKeys::KeyEvent(int qtKey, bool down) {
    return KeyEvent(qtKey, down, false);
}

bool QtKeys::KeyEvent(int qtKey, bool down, bool keypad) {
    // Some platforms drop the keypad flag from a release (Num Lock toggled while held): a plain
    // plus or minus release lets go of the pad key too, so it never stays down for good.
    if (!down && !keypad && (qtKey == Qt::Key_Plus || qtKey == Qt::Key_Minus)) {
        const int pad = static_cast<int>(qtKey == Qt::Key_Plus ? Key::NumPlus : Key::NumMinus);
        m_down[pad] = false;
    }
    const Key key = FromQtKey(qtKey, keypad);
    if (key == Key::Count) return false;
    const int k = static_cast<int>(key);
    // A tap shorter than a frame still counts: the latch holds it until the core reads it.
    if (down && !m_down[k]) {
        m_latched[k] = true;
        m_presses[k] = std::min(m_presses[k] + 1, kMaxCountedPresses);
    }
    m_down[k] = down;
    return true;
}

void QtKeys::MouseButton(Key button, bool down) {
    const int k = static_cast<int>(button);
    if (down && !m_down[k]) m_latched[k] = true;
    m_down[k] = down;
}

void QtKeys::ReleaseAll() {
    m_down.fill(false);
}

}  // namespace qb::gui

#include "gui/qt_keys.h"

#include <Qt>

namespace qb::gui {

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
        // Plus needs Shift on most layouts; the key under it (=) zooms in as well.
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            return Key::ZoomIn;
        case Qt::Key_Minus:
            return Key::ZoomOut;
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
    return m_latch.IsDown(key);
}

bool QtKeys::Pressed(Key key) {
    return m_latch.Pressed(key);
}

int QtKeys::PressCount(Key key) {
    return m_latch.PressCount(key);
}

int QtKeys::WheelSteps() {
    const int steps = m_wheelSteps;
    m_wheelSteps = 0;
    return steps;
}

void QtKeys::Wheel(int angleDelta) {
    // Qt gives eighths of a degree, 120 a notch; touchpads send fractions of a notch.
    m_wheelRemainder += angleDelta;
    m_wheelSteps += m_wheelRemainder / 120;
    m_wheelRemainder %= 120;
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
        m_latch.Up(qtKey == Qt::Key_Plus ? Key::NumPlus : Key::NumMinus);
    }
    const Key key = FromQtKey(qtKey, keypad);
    if (key == Key::Count) return false;
    if (down)
        m_latch.Down(key);
    else
        m_latch.Up(key);
    return true;
}

void QtKeys::MouseButton(Key button, bool down) {
    if (down)
        m_latch.Down(button);
    else
        m_latch.Up(button);
}

void QtKeys::ReleaseAll() {
    m_latch.ReleaseAll();
}

}  // namespace qb::gui

#pragma once
// The core's polled keys, fed from the main window's key and mouse events.
#include <functional>
#include <utility>

#include "platform/key_latch.h"
#include "platform/ports.h"

class QKeyEvent;
class QWidget;

namespace qb::gui {

class QtKeys : public Keys {
public:
    bool IsDown(Key key) override;
    bool Pressed(Key key) override;
    int PressCount(Key key) override;
    std::pair<int, int> PointerPos() override;
    int WheelSteps() override;
    // A wheel event over the view (Qt's angle delta, 120 a notch).
    void Wheel(int angleDelta);

    // The Qt key a core key stands for, or Key::Count when none.
    static Key FromQtKey(int qtKey);
    // The same for a key that may come from the numeric pad (`keypad`: Qt::KeypadModifier was set):
    // the pad's plus and minus are keys of their own.
    static Key FromQtKey(int qtKey, bool keypad);
    // Records a press or release; answers whether the key is one the core polls.
    bool KeyEvent(int qtKey, bool down);
    bool KeyEvent(int qtKey, bool down, bool keypad);
    void MouseButton(Key button, bool down);
    // Forgets every held key (the window lost focus: releases would never arrive).
    void ReleaseAll();
    // Pointer positions are answered in the pixels of whatever this function names (the view that
    // shows the stage now, and its scale).
    void SetPointerSource(std::function<std::pair<int, int>()> source) { m_pointer = std::move(source); }

private:
    KeyLatch m_latch;
    std::function<std::pair<int, int>()> m_pointer;
    int m_wheelSteps = 0;
    int m_wheelRemainder = 0;
};

}  // namespace qb::gui

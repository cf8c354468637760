#include "elements/InputCodes.h"

#include <QKeyEvent>

int vbButton(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton: return VbButton::Left;
    case Qt::RightButton: return VbButton::Right;
    case Qt::MiddleButton: return VbButton::Middle;
    default: return 0;
    }
}

int vbShift(Qt::KeyboardModifiers modifiers)
{
    int shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= 1;
    if (modifiers & Qt::ControlModifier)
        shift |= 2;
    if (modifiers & Qt::AltModifier)
        shift |= 4;
    return shift;
}

int vbKeyCode(const QKeyEvent* event)
{
    const int key = event->key();
    switch (key) {
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return VbKey::Up;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return VbKey::Down;
    case Qt::Key_PageUp: return 33;
    case Qt::Key_PageDown: return 34;
    case Qt::Key_End: return 35;
    case Qt::Key_Home: return 36;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Space: return 32;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Delete: return 46;
    case Qt::Key_Insert: return 45;
    default: break;
    }
    if ((key >= Qt::Key_0 && key <= Qt::Key_9) || (key >= Qt::Key_A && key <= Qt::Key_Z))
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    return 0;
}

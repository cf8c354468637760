#pragma once

#include <Qt>

class QKeyEvent;

// Mouse buttons, shift state and key codes as the handlers take them: Windows' numbers.
int vbButton(Qt::MouseButton button);
int vbShift(Qt::KeyboardModifiers modifiers);
int vbKeyCode(const QKeyEvent* event);

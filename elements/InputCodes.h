#pragma once

#include <Qt>

class QKeyEvent;

// Mouse buttons, shift state and key codes as the handlers take them: Windows' numbers.
namespace VbButton {
inline constexpr int Left = 1;
inline constexpr int Right = 2;
inline constexpr int Middle = 4;
} // namespace VbButton

namespace VbKey {
inline constexpr int Up = 38;
inline constexpr int Down = 40;
} // namespace VbKey

int vbButton(Qt::MouseButton button);
int vbShift(Qt::KeyboardModifiers modifiers);
int vbKeyCode(const QKeyEvent* event);

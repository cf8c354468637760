#pragma once

#include <QString>

namespace Keypad {

inline constexpr int kMaxDigits = 6;

// The display after pressing a digit key: digits are appended up to six, never removed.
QString appendDigit(const QString& display, int digit);

} // namespace Keypad

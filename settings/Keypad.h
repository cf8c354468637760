#pragma once

#include <QString>

namespace Keypad {

inline constexpr int kMaxDigits = 6;

// The panel's twelve keys: the digits 0 to 9 by their own numbers, then these two.
enum Key { Clear = 10, Enter = 11 };

// The display after pressing a digit key: digits are appended up to six, never removed.
QString appendDigit(const QString& display, int digit);

} // namespace Keypad

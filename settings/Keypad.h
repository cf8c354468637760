#pragma once

#include <QString>

namespace Keypad {

inline constexpr int kMaxDigits = 6;

// The panel's twelve keys: the digits 0 to 9 by their own numbers, then these two.
enum Key { Clear = 10, Enter = 11 };
inline constexpr int kKeyCount = Enter + 1;

inline constexpr bool isDigit(int key) { return key >= 0 && key <= 9; }

// What the key says on its face: its digit, "C" or "設定".
QString caption(int key);

// Where the key sits in the telephone-style grid (7 8 9 / 4 5 6 / 1 2 3 / 0 C 設定), counted
// from the top left.
struct Cell {
    int column;
    int row;
};
Cell cell(int key);

// The display after pressing a digit key: digits are appended up to six, never removed.
QString appendDigit(const QString& display, int digit);

} // namespace Keypad

#include "settings/Keypad.h"

namespace Keypad {

QString appendDigit(const QString& display, int digit)
{
    if (display.size() >= kMaxDigits || digit < 0 || digit > 9)
        return display;
    return display + QString::number(digit);
}

} // namespace Keypad

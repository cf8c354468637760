#include "settings/Keypad.h"

#include <QCoreApplication>

namespace Keypad {

QString caption(int key)
{
    switch (key) {
    case Clear: return QStringLiteral("C");
    case Enter: return QCoreApplication::translate("frmSet", "設定");
    default: return QString::number(key);
    }
}

Cell cell(int key)
{
    if (key >= 1 && key <= 9)
        return { (key - 1) % 3, 2 - (key - 1) / 3 };
    switch (key) {
    case Clear: return { 1, 3 };
    case Enter: return { 2, 3 };
    default: return { 0, 3 };
    }
}

QString appendDigit(const QString& display, int digit)
{
    if (display.size() >= kMaxDigits || !isDigit(digit))
        return display;
    return display + QString::number(digit);
}

} // namespace Keypad

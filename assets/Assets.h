#pragma once

#include <QImage>
#include <QString>

namespace Assets {

// Registers the built-in pictures and clips; the resources live in a static library, so
// something must reference them or the linker drops them.
void init();

// A built-in bitmap by its resource name under ":/art/" (A1, A2, A3L, toggle_front, ...).
QImage bitmap(const QString& name);
// The program icon, the front of the bus.
QImage icon();

} // namespace Assets

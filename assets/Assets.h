#pragma once

#include <QIcon>
#include <QImage>
#include <QPoint>
#include <QString>

#include <array>

namespace Assets {

// Registers the built-in pictures and clips; the resources live in a static library, so
// something must reference them or the linker drops them.
void init();

// The scales the artwork is drawn at. A screen whose pixel ratio lies between two of them is
// served by the larger one scaled down; a screen beyond the largest by the largest.
inline constexpr std::array<qreal, 3> kScales { 1.0, 1.5, 2.0 };
// The scale of the drawing that serves a screen of the given pixel ratio.
qreal drawnScale(qreal devicePixelRatio);
// The resource name of a picture as drawn for one of kScales: "A1", "A1@1.5x", "A1@2x".
QString scaledName(const QString& name, qreal scale);

// A built-in bitmap by its resource name under ":/art/" (A1, A2, A3L, toggle_front, ...), as
// drawn for a screen of the given pixel ratio; its own ratio says which scale that is.
QImage bitmap(const QString& name, qreal devicePixelRatio = 1.0);
// The program icon, the front of the bus, likewise.
QImage icon(qreal devicePixelRatio = 1.0);

// The pointing hand of the about box, with its hot spot in the picture's own pixels.
struct Cursor {
    QImage image;
    QPoint hotSpot;
};
Cursor handCursor(qreal devicePixelRatio = 1.0);

// A built-in bitmap, and the program icon, as icons: whatever the screen asks them for gets the
// drawing for its own scale, read the first time a screen of that scale shows them.
QIcon bitmapIcon(const QString& name);
QIcon programIcon();

} // namespace Assets

#pragma once

#include <QPoint>
#include <QRect>

class QWidget;

namespace WindowDrag {

// Where a dragged child window goes: its grab point follows the pointer, with the pointer held
// inside the parent's client area so the window can never be dragged out of reach.
QPoint position(QPoint pointerInParent, QRect parentArea, QPoint grabOffset);

// Moves child with the mouse until the left button is released, then returns; Escape puts it
// back where it started. Runs its own event loop, as the desktop's window move loop does.
void run(QWidget* child, QPoint grabOffset);

} // namespace WindowDrag

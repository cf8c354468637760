#pragma once

#include <QColor>
#include <QPainter>
#include <QRect>

namespace elements_detail {

// A one-pixel outline just inside r, made of four strips: it covers whole logical pixels on every
// screen, where a pen's line would straddle the pixel edges and, on a 2x screen, cover one device
// pixel of the edge and one of what lies inside.
inline void outline(QPainter& painter, const QRect& r, const QColor& colour)
{
    painter.fillRect(QRect(r.left(), r.top(), r.width(), 1), colour);
    painter.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), colour);
    painter.fillRect(QRect(r.left(), r.top(), 1, r.height()), colour);
    painter.fillRect(QRect(r.right(), r.top(), 1, r.height()), colour);
}

} // namespace elements_detail

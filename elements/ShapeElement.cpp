#include "elements/ShapeElement.h"

#include "elements/Outline.h"
#include "geometry/Twips.h"

#include <QPainter>

using elements_detail::outline;

ShapeElement::ShapeElement(QWidget* host, twips::Rect rect, QColor fill, QColor border)
    : WindowlessElement(host, rect)
    , m_fill(fill)
    , m_border(border)
{
}

QRect ShapeElement::footprint(const twips::Rect& rect, qreal dpr) const
{
    const QRect r = twips::toPixelGrid(rect);
    return { r.topLeft() * dpr, r.size() * dpr };
}

void ShapeElement::paint(QPainter& painter) const
{
    if (!Visible())
        return;
    const QRect r = twips::toPixelGrid(twipsRect());
    if (r.isEmpty())
        return;
    painter.fillRect(r, m_fill);
    outline(painter, r, m_border);
}

#pragma once

#include "elements/WindowlessElement.h"
#include "geometry/Twips.h"

#include <QColor>

// A rectangle shape filled with one colour and outlined with another.
class ShapeElement final : public WindowlessElement {
public:
    ShapeElement(QWidget* host, twips::Rect rect, QColor fill, QColor border);

    void paint(QPainter& painter) const override;
    QRect footprint(const twips::Rect& rect, qreal dpr) const override;

private:
    QColor m_fill;
    QColor m_border;
};

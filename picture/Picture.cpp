#include "Picture.h"

#include <QPainter>

Picture::Picture(QImage image)
    : m_image(std::move(image))
    , m_fullSize(m_image.size())
{
}

Picture::Picture(QImage topLeft, QSize fullSize)
    : m_image(std::move(topLeft))
    , m_fullSize(fullSize)
{
}

void Picture::draw(QPainter& painter, const QRectF& target) const
{
    if (isEmpty() || target.width() <= 0 || target.height() <= 0)
        return;
    painter.drawImage(target, m_image, QRectF(m_image.rect()));
}

void Picture::drawAt(QPainter& painter, QPointF origin) const
{
    if (isEmpty())
        return;
    painter.drawImage(origin, m_image);
}

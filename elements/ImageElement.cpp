#include "elements/ImageElement.h"
#include "geometry/Twips.h"

#include <QPainter>
#include <QPaintDevice>

ImageElement::ImageElement(QWidget* host, twips::Rect rect, bool stretch)
    : WindowlessElement(host, rect)
    , m_stretch(stretch)
{
}

void ImageElement::setPicture(Picture picture)
{
    m_picture = std::move(picture);
    m_stretcher.reset();
    twips::Rect sized = twipsRect();
    if (!m_stretch && !m_picture.isEmpty()) {
        sized.width = twips::fromPixels(m_picture.size().width());
        sized.height = twips::fromPixels(m_picture.size().height());
    }
    const twips::Rect before = twipsRect();
    forceRepaint();
    Move({ sized.left, sized.top, sized.width, sized.height });
    if (sized == before)
        changed(before, Visible());
}

QRect ImageElement::footprint(const twips::Rect& rect, qreal dpr) const
{
    const QRectF r = twips::toPixels(rect);
    const QPoint corner(qRound(r.left() * dpr), qRound(r.top() * dpr));
    if (!m_stretch && !m_picture.isEmpty())
        return { corner, m_picture.size() * dpr };
    return { corner, QSize(qMax(1, qRound(r.width() * dpr)), qMax(1, qRound(r.height() * dpr))) };
}

void ImageElement::paint(QPainter& painter) const
{
    if (!Visible() || m_picture.isEmpty())
        return;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRect device = footprint(twipsRect(), dpr);
    if (m_stretch) {
        // Stretched once per device-pixel size and then copied: on a high-dpi screen that is a
        // finer step than a logical pixel, so the door moves as finely as the screen can show.
        // The source is the picture as drawn for this screen's scale.
        const QImage& stretched = m_stretcher.stretch(m_picture.sourceFor(dpr), device.size(), dpr);
        painter.drawImage(QPointF(device.topLeft()) / dpr, stretched);
    } else
        m_picture.drawAt(painter, pixelRect().topLeft());
}

#include "elements/WindowlessElement.h"

#include "elements/RepaintBatch.h"

#include <QWidget>

namespace {

QRect toLogical(const QRect& device, qreal dpr)
{
    return QRectF(QPointF(device.topLeft()) / dpr, QSizeF(device.size()) / dpr).toAlignedRect();
}

} // namespace

WindowlessElement::WindowlessElement(QWidget* host, twips::Rect rect)
    : m_host(host)
    , m_rect(rect)
{
}

void WindowlessElement::setLeft(float v)
{
    Move({ v, {}, {}, {} });
}

void WindowlessElement::setTop(float v)
{
    Move({ m_rect.left, v, {}, {} });
}

void WindowlessElement::setWidth(float v)
{
    Move({ m_rect.left, {}, v, {} });
}

void WindowlessElement::Move(const MoveArgs& args)
{
    const twips::Rect before = m_rect;
    m_rect = args.appliedTo(m_rect);
    if (m_rect != before)
        changed(before, m_visible);
}

void WindowlessElement::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    changed(m_rect, !visible);
}

QRect WindowlessElement::footprint(const twips::Rect& rect, qreal dpr) const
{
    const QRectF r = twips::toPixels(rect);
    return QRectF(r.topLeft() * dpr, r.size() * dpr).toAlignedRect();
}

void WindowlessElement::changed(const twips::Rect& before, bool wasVisible)
{
    if (!m_host)
        return;
    // Door animations change an element and pause without returning to the event loop, so the
    // change is painted here and now, and only over the area it touched. A door moves by a
    // fifteenth of a pixel per step: when the pixels it covers stay the same, so does the
    // picture, and there is nothing to paint.
    const qreal dpr = m_host->devicePixelRatioF();
    const QRect oldFootprint = footprint(before, dpr);
    const QRect newFootprint = footprint(m_rect, dpr);
    if (wasVisible == m_visible && oldFootprint == newFootprint && !m_forceRepaint)
        return;
    m_forceRepaint = false;
    QRegion dirty;
    if (wasVisible)
        dirty += toLogical(oldFootprint, dpr);
    if (m_visible)
        dirty += toLogical(newFootprint, dpr);
    if (dirty.isEmpty())
        return;
    if (RepaintBatch* batch = RepaintBatch::openOn(m_host))
        batch->hold(dirty);
    else if (m_host->isVisible())
        m_host->repaint(dirty);
    else
        m_host->update(dirty);
}

#include "picture/Picture.h"

#include <QPaintDevice>
#include <QPainter>

#include <cmath>

namespace {

qreal deviceRatio(const QPainter& painter)
{
    return painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
}

// The 1x size of a drawing made for its own ratio. A drawing at a fractional ratio has its last
// pixel rounded up, which the floor takes off again.
QSize logicalSize(const QImage& drawing)
{
    const qreal ratio = drawing.devicePixelRatio();
    return { int(std::floor(drawing.width() / ratio + 1e-6)), int(std::floor(drawing.height() / ratio + 1e-6)) };
}

} // namespace

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

Picture::Picture(Renditions renditions, qreal devicePixelRatio)
    : m_image(renditions(devicePixelRatio))
    , m_fullSize(logicalSize(m_image))
    , m_shown(std::make_shared<Shown>())
{
    m_shown->renditions = std::move(renditions);
    m_shown->ratio = devicePixelRatio;
    m_shown->source = m_image;
}

Picture::Picture(Renditions renditions, qreal devicePixelRatio, QSize fullSize)
    : Picture(std::move(renditions), devicePixelRatio)
{
    if (!m_image.isNull())
        m_fullSize = fullSize;
}

bool Picture::isPartial() const
{
    return m_fullSize != (m_shown ? logicalSize(m_image) : m_image.size());
}

QImage Picture::sourceFor(qreal devicePixelRatio) const
{
    if (!m_shown)
        return m_image;
    Shown& shown = *m_shown;
    if (shown.ratio != devicePixelRatio) {
        shown.ratio = devicePixelRatio;
        shown.source = shown.renditions(devicePixelRatio);
        shown.fitted = QImage();
        if (shown.source.isNull())
            shown.source = m_image;
    }
    return shown.source;
}

QImage Picture::imageFor(qreal devicePixelRatio) const
{
    const QImage source = sourceFor(devicePixelRatio);
    if (!m_shown || source.devicePixelRatio() == devicePixelRatio)
        return source;
    if (m_shown->fitted.isNull()) {
        m_shown->fitted = source.scaled(logicalSize(m_image) * devicePixelRatio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_shown->fitted.setDevicePixelRatio(devicePixelRatio);
    }
    return m_shown->fitted;
}

void Picture::draw(QPainter& painter, const QRectF& target) const
{
    if (isEmpty() || target.width() <= 0 || target.height() <= 0)
        return;
    const QImage source = sourceFor(deviceRatio(painter));
    painter.drawImage(target, source, QRectF(source.rect()));
}

void Picture::drawAt(QPainter& painter, QPointF origin) const
{
    if (isEmpty())
        return;
    painter.drawImage(origin, imageFor(deviceRatio(painter)));
}

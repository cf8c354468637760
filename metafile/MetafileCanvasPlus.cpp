#include "metafile/MetafileCanvas.h"

#include "metafile/MetafileCanvasLimits.h"

#include <cmath>

namespace metafile {

using namespace canvas;

void MetafileCanvas::plusPath(const QPainterPath& path, const QPen& pen, const QBrush& brush,
                              const QList<QPainterPath>& clips, bool antialias)
{
    const bool stroke = pen.style() != Qt::NoPen;
    const bool fill = brush.style() != Qt::NoBrush;
    if (!stroke && !fill)
        return;
    Work work;
    measure(path, QTransform(), work);
    work.fill = fill;
    work.stroke = stroke;
    work.penPixels = stroke ? std::max(1.0, pen.widthF()) : 0;
    if (!charge(path.controlPointRect(), work))
        return;
    applyPlusClip(clips);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setRenderHint(QPainter::Antialiasing, antialias);
    m_painter.setPen(pen);
    m_painter.setBrush(brush);
    m_painter.drawPath(path);
    m_painter.setRenderHint(QPainter::Antialiasing, m_smoothGdi);
}

void MetafileCanvas::plusImage(const QTransform& imageToPicture, const QImage& image, const QRect& part,
                               const QList<QPainterPath>& clips, bool smooth)
{
    Work work;
    work.perPixel = 4;
    if (part.isEmpty() || !usable(imageToPicture) || !charge(imageToPicture.mapRect(QRectF(part)), work))
        return;
    applyPlusClip(clips);
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
    m_painter.setTransform(imageToPicture * m_base);
    m_painter.drawImage(part.topLeft(), image, part);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, m_smoothGdi);
}

void MetafileCanvas::setSmoothGdi(bool smooth)
{
    m_smoothGdi = smooth;
    m_painter.setRenderHint(QPainter::Antialiasing, smooth);
    m_painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth);
}

void MetafileCanvas::plusPicture(const QTransform& toPicture, const QRectF& part, const QList<QPainterPath>& clips,
                                 const NestedDevice& device, const std::function<void(MetafileCanvas&)>& play)
{
    if (m_measuring || m_nested || part.isEmpty() || !usable(toPicture) || !charge(toPicture.mapRect(part)))
        return;
    applyPlusClip(clips);
    m_painter.save();
    m_painter.setTransform(toPicture * m_base);
    m_painter.setClipRect(part, Qt::IntersectClip);
    {
        MetafileCanvas inner(m_painter, device.size, device.deviceToPicture, device.pixelsPerMm);
        inner.m_nested = true;
        // The same work budget and bitmap allowance: nesting a picture does not buy more of either.
        inner.m_budget = m_budget;
        inner.m_heldBitmapPixels = m_heldBitmapPixels;
        play(inner);
        m_budget = inner.m_budget;
    }
    m_painter.restore();
    m_clipDirty = true;
}

void MetafileCanvas::plusClear(const QColor& colour, const QList<QPainterPath>& clips)
{
    if (m_measuring || !charge(m_visible))
        return;
    applyPlusClip(clips);
    // The picture's background is white: a clear or half-clear colour is what it leaves on white.
    const double a = colour.alphaF();
    const auto over = [a](int c) { return int(std::lround(c * a + 255 * (1 - a))); };
    m_painter.setCompositionMode(QPainter::CompositionMode_Source);
    m_painter.fillRect(m_visible, QColor(over(colour.red()), over(colour.green()), over(colour.blue())));
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

} // namespace metafile

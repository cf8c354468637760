#include "metafile/MetafileCanvas.h"

#include "metafile/MetafileCanvasLimits.h"

#include <QLinearGradient>

#include <cmath>

namespace metafile {

using namespace canvas;

// The mixes Qt has a composition mode for; the rest are drawn as a plain copy, but for R2_BLACK
// and R2_WHITE, which draw() paints in their colour, and R2_NOP, which draws nothing.
void MetafileCanvas::applyRop2()
{
    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (m_s.rop2) {
    case gdi::Rop2::NotCopyPen: mode = QPainter::RasterOp_NotSource; break;
    case gdi::Rop2::Not: mode = QPainter::RasterOp_NotDestination; break;
    case gdi::Rop2::XorPen: mode = QPainter::RasterOp_SourceXorDestination; break;
    case gdi::Rop2::MaskPen: mode = QPainter::RasterOp_SourceAndDestination; break;
    case gdi::Rop2::NotXorPen: mode = QPainter::RasterOp_NotSourceXorDestination; break;
    case gdi::Rop2::MergePen: mode = QPainter::RasterOp_SourceOrDestination; break;
    default: break;
    }
    m_painter.setCompositionMode(mode);
}

void MetafileCanvas::stretchBlt(const QRectF& dest, const QImage& image, const QRectF& source, gdi::RasterOp rop)
{
    if (m_pathOpen || dest.width() == 0 || dest.height() == 0)
        return;
    const QTransform& t = full();
    if (!usable(t))
        return;
    const QPainterPath box = rectPath(dest.normalized());

    auto fillWith = [&](const QBrush& brush, QPainter::CompositionMode mode) {
        if (!charge(t.mapRect(dest.normalized())))
            return;
        applyClip();
        m_painter.setCompositionMode(mode);
        m_painter.setTransform(t * m_base);
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(brush);
        m_painter.drawPath(box);
    };
    QBrush pattern;
    switch (rop) {
    case gdi::RasterOp::Blackness:
        fillWith(Qt::black, QPainter::CompositionMode_SourceOver);
        return;
    case gdi::RasterOp::Whiteness:
        fillWith(Qt::white, QPainter::CompositionMode_SourceOver);
        return;
    case gdi::RasterOp::DstInvert:
        fillWith(Qt::white, QPainter::RasterOp_SourceXorDestination);
        return;
    case gdi::RasterOp::PatCopy:
        if (prepareBrush(pattern))
            fillWith(pattern, QPainter::CompositionMode_SourceOver);
        return;
    case gdi::RasterOp::PatInvert:
        if (prepareBrush(pattern))
            fillWith(pattern, QPainter::RasterOp_SourceXorDestination);
        return;
    case gdi::RasterOp::Destination:
        return;
    default:
        break;
    }
    if (image.isNull() || source.width() == 0 || source.height() == 0)
        return;

    QPainter::CompositionMode mode = QPainter::CompositionMode_SourceOver;
    switch (rop) {
    case gdi::RasterOp::SrcPaint: mode = QPainter::RasterOp_SourceOrDestination; break;
    case gdi::RasterOp::SrcAnd: mode = QPainter::RasterOp_SourceAndDestination; break;
    case gdi::RasterOp::SrcInvert: mode = QPainter::RasterOp_SourceXorDestination; break;
    case gdi::RasterOp::SrcErase: mode = QPainter::RasterOp_SourceAndNotDestination; break;
    case gdi::RasterOp::NotSrcCopy: mode = QPainter::RasterOp_NotSource; break;
    case gdi::RasterOp::NotSrcErase: mode = QPainter::RasterOp_NotSourceAndNotDestination; break;
    case gdi::RasterOp::MergePaint: mode = QPainter::RasterOp_NotSourceOrDestination; break;
    default: break; // SRCCOPY, and the rest drawn as a copy
    }

    // Source pixels onto the destination, mirrored where the signs of the sizes differ.
    const double sx = dest.width() / source.width();
    const double sy = dest.height() / source.height();
    const QTransform sourceToLogical(sx, 0, 0, sy, dest.x() - source.x() * sx, dest.y() - source.y() * sy);
    const QRect part = source.normalized().toAlignedRect().intersected(image.rect());
    drawImagePart(sourceToLogical * t, image, part, mode);
}

bool MetafileCanvas::drawImagePart(const QTransform& toPicture, const QImage& image, const QRect& part,
                                   QPainter::CompositionMode mode)
{
    Work work;
    work.perPixel = 4; // sampled through a transform
    if (part.isEmpty() || !usable(toPicture) || !charge(toPicture.mapRect(QRectF(part)), work))
        return false;
    applyClip();
    m_painter.setCompositionMode(mode);
    m_painter.setTransform(toPicture * m_base);
    m_painter.drawImage(part.topLeft(), image, part);
    return true;
}

void MetafileCanvas::alphaBlend(const QRectF& dest, const QImage& image, const QRectF& source, int constantAlpha)
{
    if (m_pathOpen || image.isNull() || dest.width() == 0 || dest.height() == 0 || source.width() == 0
        || source.height() == 0)
        return;
    const QTransform& t = full();
    const double sx = dest.width() / source.width();
    const double sy = dest.height() / source.height();
    const QTransform toPicture = QTransform(sx, 0, 0, sy, dest.x() - source.x() * sx, dest.y() - source.y() * sy) * t;
    const QRect part = source.normalized().toAlignedRect().intersected(image.rect());
    m_painter.setOpacity(std::clamp(constantAlpha, 0, 255) / 255.0);
    drawImagePart(toPicture, image, part, QPainter::CompositionMode_SourceOver);
    m_painter.setOpacity(1);
}

void MetafileCanvas::parallelogramBlt(const std::array<QPointF, 3>& corners, const QImage& image, const QRectF& source)
{
    if (m_pathOpen || image.isNull() || source.width() == 0 || source.height() == 0)
        return;
    // The source's corners (left, top), (right, top) and (left, bottom) onto the three points.
    const QPointF across = (corners[1] - corners[0]) / source.width();
    const QPointF down = (corners[2] - corners[0]) / source.height();
    const QTransform sourceToLogical(across.x(), across.y(), down.x(), down.y(),
                                     corners[0].x() - source.x() * across.x() - source.y() * down.x(),
                                     corners[0].y() - source.x() * across.y() - source.y() * down.y());
    const QRect part = source.normalized().toAlignedRect().intersected(image.rect());
    drawImagePart(sourceToLogical * full(), image, part, QPainter::CompositionMode_SourceOver);
}

void MetafileCanvas::gradientRect(QPointF from, QPointF to, QRgb fromColour, QRgb toColour, bool vertical)
{
    const QRectF box = QRectF(from, to).normalized();
    const QTransform& t = full();
    if (m_pathOpen || box.isEmpty() || !usable(t) || !charge(t.mapRect(box)))
        return;
    QLinearGradient gradient(vertical ? QPointF(0, from.y()) : QPointF(from.x(), 0),
                             vertical ? QPointF(0, to.y()) : QPointF(to.x(), 0));
    gradient.setColorAt(0, QColor(fromColour));
    gradient.setColorAt(1, QColor(toColour));
    applyClip();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setTransform(t * m_base);
    m_painter.fillRect(box, gradient);
}

void MetafileCanvas::gradientTriangle(const std::array<QPointF, 3>& corners, const std::array<QRgb, 3>& colours)
{
    const QTransform& t = full();
    if (m_pathOpen || !usable(t))
        return;
    const QPointF a = t.map(corners[0]);
    const QPointF b = t.map(corners[1]);
    const QPointF c = t.map(corners[2]);
    const double area = (b.x() - a.x()) * (c.y() - a.y()) - (c.x() - a.x()) * (b.y() - a.y());
    const QRectF bounds = QPolygonF({ a, b, c }).boundingRect();
    Work work;
    work.perPixel = 8; // each pixel's colour worked out here
    if (std::abs(area) < 1e-9 || !charge(bounds, work))
        return;
    const QRect pixels = bounds.intersected(m_visible).toAlignedRect();
    applyClip();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setTransform(m_base);
    // Each pixel whose centre lies inside takes the corners' colours weighted by its barycentric
    // coordinates, as GDI shades; the rest stay transparent. In tiles, so no picture-sized
    // buffer is needed.
    constexpr int kTile = 256;
    QImage tile(kTile, kTile, QImage::Format_ARGB32_Premultiplied);
    for (int y0 = pixels.top(); y0 <= pixels.bottom(); y0 += kTile) {
        for (int x0 = pixels.left(); x0 <= pixels.right(); x0 += kTile) {
            const int w = std::min(kTile, pixels.right() + 1 - x0);
            const int h = std::min(kTile, pixels.bottom() + 1 - y0);
            tile.fill(Qt::transparent);
            for (int y = 0; y < h; ++y) {
                QRgb* line = reinterpret_cast<QRgb*>(tile.scanLine(y));
                const double py = y0 + y + 0.5;
                for (int x = 0; x < w; ++x) {
                    const double px = x0 + x + 0.5;
                    const double wa = ((b.x() - px) * (c.y() - py) - (c.x() - px) * (b.y() - py)) / area;
                    const double wb = ((c.x() - px) * (a.y() - py) - (a.x() - px) * (c.y() - py)) / area;
                    const double wc = 1 - wa - wb;
                    if (wa < 0 || wb < 0 || wc < 0)
                        continue;
                    auto mix = [&](int (*channel)(QRgb)) {
                        return std::clamp(int(std::lround(wa * channel(colours[0]) + wb * channel(colours[1])
                                                          + wc * channel(colours[2]))),
                                          0, 255);
                    };
                    line[x] = qRgb(mix(qRed), mix(qGreen), mix(qBlue));
                }
            }
            m_painter.drawImage(QPoint(x0, y0), tile, QRect(0, 0, w, h));
        }
    }
}

} // namespace metafile

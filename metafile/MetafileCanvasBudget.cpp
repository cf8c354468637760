#include "metafile/MetafileCanvas.h"

#include "metafile/MetafileCanvasLimits.h"

#include <cmath>

namespace metafile {

using namespace canvas;

namespace {

constexpr qint64 kMaxPatternPixels = 1LL << 22;

} // namespace

bool MetafileCanvas::charge(const QRectF& picturePixels)
{
    return charge(picturePixels, Work());
}

bool MetafileCanvas::charge(const QRectF& picturePixels, const Work& work)
{
    if (exhausted())
        return false;
    const qreal grow = std::max<qreal>(work.penPixels, 1);
    const QRectF r = picturePixels.normalized().adjusted(-grow, -grow, grow, grow);
    if (!sane(r))
        return false;
    if (m_measuring) {
        // What the drawing would cost apart from its pixels, none of which are touched.
        const qreal half = work.penPixels / 2;
        m_measured |= picturePixels.normalized().adjusted(-half, -half, half, half);
        Work shape = work;
        shape.perPixel = 0;
        chargeCost(QRectF(), shape);
        return false;
    }
    const QRectF seen = r.intersected(m_visible);
    if (seen.isEmpty()) {
        m_budget -= kCostPerCall; // not drawn at all
        return false;
    }
    chargeCost(seen, work);
    return !exhausted();
}

void MetafileCanvas::chargeCost(const QRectF& seen, const Work& work)
{
    double cost = kCostPerCall + seen.width() * seen.height() * work.perPixel;
    // Filling walks every edge down the rows it crosses, keeping the edges on each row sorted;
    // a self-crossing outline costs accordingly. Stroking builds an outline along the whole
    // path, visible or not.
    if (work.fill)
        cost += double(work.elements) * 32
            + std::min(work.rows, double(work.elements) * seen.height()) * 4 * std::log2(2.0 + double(work.elements));
    if (work.stroke)
        cost += double(work.elements) * 256 + work.length * std::max(1.0, work.penPixels);
    cost += double(work.characters) * kCostPerCharacter;
    m_budget -= qint64(std::min(cost, 1e15));
}

void MetafileCanvas::measure(const QPainterPath& path, const QTransform& t, Work& work)
{
    // Through the control points, which bound the curves.
    double length = 0;
    double rows = 0;
    QPointF previous;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPointF p = t.map(QPointF(path.elementAt(i)));
        if (!path.elementAt(i).isMoveTo()) {
            length += std::hypot(p.x() - previous.x(), p.y() - previous.y());
            rows += std::abs(p.y() - previous.y());
        }
        previous = p;
    }
    work.elements = path.elementCount();
    work.length = std::isfinite(length) ? length : 1e15;
    work.rows = std::isfinite(rows) ? rows : 1e15;
}

bool MetafileCanvas::allowPattern(qint64 pixels)
{
    if (m_patternPixels + pixels > kMaxPatternPixels)
        return false;
    m_patternPixels += pixels;
    return true;
}

} // namespace metafile

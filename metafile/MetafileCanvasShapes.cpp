#include "metafile/MetafileCanvas.h"

#include "metafile/MetafileCanvasLimits.h"

#include <cmath>
#include <numbers>

namespace metafile {

using namespace canvas;

namespace {

constexpr int kMaxPathElements = 1 << 18;

} // namespace

QPainterPath rectPath(const QRectF& r)
{
    QPainterPath p;
    p.addRect(r);
    return p;
}

void MetafileCanvas::draw(const QPainterPath& logical, bool fill, bool stroke)
{
    if (m_pathOpen) {
        addToPath(logical, false);
        return;
    }
    if (m_s.rop2 == gdi::Rop2::Nop)
        return;
    const QTransform& t = full();
    if (!usable(t))
        return;
    QPen pen;
    QBrush brush;
    const bool hasPen = stroke && preparePen(pen, false);
    const bool hasBrush = fill && prepareBrush(brush);
    if (!hasPen && !hasBrush)
        return;
    if (m_s.rop2 == gdi::Rop2::Black || m_s.rop2 == gdi::Rop2::White) {
        const QColor c = m_s.rop2 == gdi::Rop2::Black ? Qt::black : Qt::white;
        pen.setColor(c);
        brush = QBrush(c);
    }
    Work work;
    measure(logical, t, work);
    work.fill = hasBrush;
    work.stroke = hasPen;
    work.penPixels = hasPen ? std::max(1.0, m_s.pen.width * lengthScale()) : 0;
    if (!charge(t.mapRect(logical.controlPointRect()), work))
        return;
    applyClip();
    applyRop2();
    m_painter.setTransform(t * m_base);
    if (hasBrush && m_s.brush.kind == GdiBrush::Kind::Hatched && m_s.bkOpaque) {
        // GDI fills a hatch's gaps with the background colour when the mode is OPAQUE.
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(QColor(rgb(m_s.bkColour)));
        m_painter.drawPath(logical);
    }
    m_painter.setBrush(hasBrush ? brush : QBrush(Qt::NoBrush));
    if (hasPen && pen.style() == Qt::CustomDashLine && m_s.bkOpaque) {
        // Likewise a styled pen's gaps.
        QPen under = pen;
        under.setStyle(Qt::SolidLine);
        under.setColor(QColor(rgb(m_s.bkColour)));
        m_painter.setPen(Qt::NoPen);
        m_painter.drawPath(logical);
        m_painter.setBrush(Qt::NoBrush);
        m_painter.setPen(under);
        m_painter.drawPath(logical);
        m_painter.setPen(pen);
        m_painter.drawPath(logical);
        return;
    }
    m_painter.setPen(hasPen ? pen : QPen(Qt::NoPen));
    m_painter.drawPath(logical);
}

bool MetafileCanvas::pathTooLong() const
{
    return m_path.elementCount() > kMaxPathElements;
}

void MetafileCanvas::addToPath(const QPainterPath& logical, bool continueFigure)
{
    const QTransform& t = full();
    m_budget -= kCostPerCall + 16LL * logical.elementCount();
    if (!usable(t) || m_pathOverflow || exhausted())
        return;
    QPainterPath mapped = t.map(logical);
    if (!sane(mapped.controlPointRect()))
        return;
    if (continueFigure && m_figureOpen && m_path.elementCount() > 0)
        m_path.connectPath(mapped);
    else
        m_path.addPath(mapped);
    m_figureOpen = continueFigure;
    if (pathTooLong())
        overflowPath();
}

void MetafileCanvas::overflowPath()
{
    m_pathOverflow = true;
    m_path = QPainterPath();
}

void MetafileCanvas::moveTo(QPointF p)
{
    m_s.position = p;
    m_figureOpen = false;
}

void MetafileCanvas::lineTo(QPointF p)
{
    QPainterPath path(m_s.position);
    path.lineTo(p);
    if (m_pathOpen) {
        m_budget -= kCostPerCall;
        const QTransform& t = full();
        const QPointF from = t.map(m_s.position);
        const QPointF to = t.map(p);
        if (usable(t) && sane(QRectF(from, to)) && !m_pathOverflow) {
            if (!m_figureOpen || m_path.elementCount() == 0 || m_path.currentPosition() != from)
                m_path.moveTo(from);
            m_path.lineTo(to);
            m_figureOpen = true;
            if (pathTooLong())
                overflowPath();
        }
    } else {
        draw(path, false, true);
    }
    m_s.position = p;
}

void MetafileCanvas::polyline(const QList<QPointF>& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.addPolygon(QPolygonF(points));
    draw(path, false, true);
}

void MetafileCanvas::polylineTo(const QList<QPointF>& points)
{
    for (const QPointF& p : points)
        lineTo(p);
}

void MetafileCanvas::polygon(const QList<QPointF>& points)
{
    if (points.size() < 2)
        return;
    QPainterPath path;
    path.setFillRule(m_s.winding ? Qt::WindingFill : Qt::OddEvenFill);
    path.addPolygon(QPolygonF(points));
    path.closeSubpath();
    draw(path, true, true);
}

void MetafileCanvas::polyPolygon(const QList<QList<QPointF>>& polygons)
{
    QPainterPath path;
    path.setFillRule(m_s.winding ? Qt::WindingFill : Qt::OddEvenFill);
    for (const QList<QPointF>& polygon : polygons) {
        if (polygon.size() < 2)
            continue;
        path.addPolygon(QPolygonF(polygon));
        path.closeSubpath();
    }
    if (!path.isEmpty())
        draw(path, true, true);
}

void MetafileCanvas::polyPolyline(const QList<QList<QPointF>>& polylines)
{
    QPainterPath path;
    for (const QList<QPointF>& line : polylines) {
        if (line.size() >= 2)
            path.addPolygon(QPolygonF(line));
    }
    if (!path.isEmpty())
        draw(path, false, true);
}

void MetafileCanvas::polyBezier(const QList<QPointF>& points)
{
    if (points.size() < 4)
        return;
    QPainterPath path(points[0]);
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    draw(path, false, true);
}

void MetafileCanvas::polyBezierTo(const QList<QPointF>& points)
{
    if (points.size() < 3)
        return;
    QPainterPath path(m_s.position);
    qsizetype i = 0;
    for (; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    if (m_pathOpen)
        addToPath(path, true);
    else
        draw(path, false, true);
    m_s.position = points[i - 1];
}

void MetafileCanvas::polyDraw(const QList<QPointF>& points, const QList<quint8>& types)
{
    enum : quint8 { Close = 1, Line = 2, Bezier = 4, Move = 6 };
    QPainterPath path(m_s.position);
    for (qsizetype i = 0; i < points.size() && i < types.size(); ++i) {
        const quint8 type = types[i] & ~Close;
        if (type == Move) {
            path.moveTo(points[i]);
        } else if (type == Line) {
            path.lineTo(points[i]);
        } else if (type == Bezier && i + 2 < points.size() && (types[i + 1] & ~Close) == Bezier
                   && (types[i + 2] & ~Close) == Bezier) {
            path.cubicTo(points[i], points[i + 1], points[i + 2]);
            i += 2;
        } else {
            return; // GDI refuses the whole call
        }
        if (types[i] & Close)
            path.closeSubpath();
    }
    if (m_pathOpen) {
        addToPath(path, true);
        if (!types.isEmpty() && (types.last() & Close))
            m_figureOpen = false;
    } else {
        draw(path, false, true);
    }
    if (!points.isEmpty())
        m_s.position = path.currentPosition();
}

void MetafileCanvas::rectangle(const QRectF& box)
{
    QRectF r = box.normalized();
    if (m_s.pen.flags.style() == gdi::PenStyle::InsideFrame && m_s.pen.width > 1) {
        const double half = m_s.pen.width / 2;
        r.adjust(half, half, -half, -half);
    }
    draw(rectPath(r), true, true);
}

void MetafileCanvas::roundRect(const QRectF& box, QSizeF corner)
{
    const QRectF r = box.normalized();
    QPainterPath path;
    path.addRoundedRect(r, std::min(std::abs(corner.width()) / 2, r.width() / 2),
                        std::min(std::abs(corner.height()) / 2, r.height() / 2));
    draw(path, true, true);
}

void MetafileCanvas::ellipse(const QRectF& box)
{
    QRectF r = box.normalized();
    if (m_s.pen.flags.style() == gdi::PenStyle::InsideFrame && m_s.pen.width > 1) {
        const double half = m_s.pen.width / 2;
        r.adjust(half, half, -half, -half);
    }
    QPainterPath path;
    path.addEllipse(r);
    draw(path, true, true);
}

QPainterPath MetafileCanvas::arcPath(const QRectF& box, QPointF start, QPointF end, ArcKind kind, bool* ok)
{
    *ok = false;
    const QRectF r = box.normalized();
    if (r.width() <= 0 || r.height() <= 0)
        return {};
    const QPointF c = r.center();
    const double rx = r.width() / 2;
    const double ry = r.height() / 2;
    // The radial through each point meets the ellipse at this angle of Qt's (y upwards).
    auto angle = [&](QPointF p) {
        const double dx = (p.x() - c.x()) / rx;
        const double dy = -(p.y() - c.y()) / ry;
        return dx == 0 && dy == 0 ? 0.0 : std::atan2(dy, dx) * 180 / std::numbers::pi;
    };
    const double a0 = angle(start);
    const double a1 = angle(end);
    // Anticlockwise as seen on the picture unless told otherwise; where the mapping turns the y
    // axis upwards, that is clockwise in logical units.
    bool positive = !m_s.clockwise;
    if (full().determinant() < 0)
        positive = !positive;
    double sweep = a1 - a0;
    if (positive) {
        while (sweep <= 0)
            sweep += 360;
    } else {
        while (sweep >= 0)
            sweep -= 360;
    }
    QPainterPath path;
    if (kind == ArcKind::Pie) {
        path.moveTo(c);
        path.arcTo(r, a0, sweep);
        path.closeSubpath();
    } else {
        path.arcMoveTo(r, a0);
        path.arcTo(r, a0, sweep);
        if (kind == ArcKind::Chord)
            path.closeSubpath();
    }
    *ok = true;
    return path;
}

void MetafileCanvas::arc(const QRectF& box, QPointF start, QPointF end, ArcKind kind)
{
    bool ok = false;
    QPainterPath path = arcPath(box, start, end, kind, &ok);
    if (!ok)
        return;
    if (kind == ArcKind::ArcTo) {
        QPainterPath withLine(m_s.position);
        withLine.lineTo(path.elementAt(0));
        withLine.connectPath(path);
        if (m_pathOpen)
            addToPath(withLine, true);
        else
            draw(withLine, false, true);
        m_s.position = path.currentPosition();
        return;
    }
    if (m_pathOpen) {
        addToPath(path, false);
        return;
    }
    path.setFillRule(m_s.winding ? Qt::WindingFill : Qt::OddEvenFill);
    draw(path, kind != ArcKind::Arc, true);
}

void MetafileCanvas::angleArc(QPointF centre, double radius, double startDegrees, double sweepDegrees)
{
    if (!std::isfinite(startDegrees) || !std::isfinite(sweepDegrees) || radius <= 0)
        return;
    startDegrees = std::fmod(startDegrees, 360);
    sweepDegrees = std::clamp(sweepDegrees, -3600.0, 3600.0);
    const QRectF r(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path(m_s.position);
    QPainterPath arcOnly;
    arcOnly.arcMoveTo(r, startDegrees);
    path.lineTo(arcOnly.currentPosition());
    path.arcTo(r, startDegrees, sweepDegrees);
    if (m_pathOpen)
        addToPath(path, true);
    else
        draw(path, false, true);
    m_s.position = path.currentPosition();
}

void MetafileCanvas::setPixel(QPointF p, quint32 colourRef)
{
    const QTransform& t = full();
    if (m_pathOpen || !usable(t))
        return;
    const QPointF at = t.map(p);
    if (!charge(QRectF(at, QSizeF(1, 1))))
        return;
    applyClip();
    m_painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    m_painter.setTransform(m_base);
    m_painter.fillRect(QRectF(std::floor(at.x()), std::floor(at.y()), 1, 1), QColor(rgb(colourRef)));
}

void MetafileCanvas::beginPath()
{
    abortPath();
    m_pathOpen = true;
}

void MetafileCanvas::endPath()
{
    if (!m_pathOpen)
        return;
    m_pathOpen = false;
    m_pathDone = !m_pathOverflow;
    m_pathOverflow = false;
}

void MetafileCanvas::abortPath()
{
    m_pathWidened = false;
    m_pathOpen = false;
    m_pathDone = false;
    m_pathOverflow = false;
    m_figureOpen = false;
    m_path = QPainterPath();
}

void MetafileCanvas::closeFigure()
{
    if (m_pathOpen && !m_pathOverflow)
        m_path.closeSubpath();
    m_figureOpen = false;
}

std::optional<QPainterPath> MetafileCanvas::takeFinishedPath()
{
    if (!m_pathDone)
        return std::nullopt;
    QPainterPath path = m_path;
    const bool widened = m_pathWidened;
    abortPath();
    // A widened path left in pieces overlaps itself where the stroke turns; alternate filling
    // would punch holes in the joins that stroking never leaves.
    path.setFillRule(m_s.winding || widened ? Qt::WindingFill : Qt::OddEvenFill);
    return path;
}

void MetafileCanvas::fillPath()
{
    const std::optional<QPainterPath> finished = takeFinishedPath();
    if (!finished)
        return;
    const QPainterPath& path = *finished;
    QBrush brush;
    Work work;
    measure(path, QTransform(), work);
    work.fill = true;
    if (m_s.rop2 == gdi::Rop2::Nop || !prepareBrush(brush) || !charge(path.controlPointRect(), work))
        return;
    if (m_s.brush.kind == GdiBrush::Kind::Pattern)
        brush.setTransform(QTransform());
    applyClip();
    applyRop2();
    m_painter.setTransform(m_base);
    if (m_s.brush.kind == GdiBrush::Kind::Hatched && m_s.bkOpaque)
        m_painter.fillPath(path, QColor(rgb(m_s.bkColour)));
    m_painter.fillPath(path, brush);
}

void MetafileCanvas::strokePath()
{
    if (!m_pathDone)
        return;
    const QPainterPath path = m_path;
    abortPath();
    QPen pen;
    if (m_s.rop2 == gdi::Rop2::Nop || !preparePen(pen, true))
        return;
    Work work;
    measure(path, QTransform(), work);
    work.stroke = true;
    work.penPixels = std::max(1.0, pen.widthF());
    if (!charge(path.controlPointRect(), work))
        return;
    applyClip();
    applyRop2();
    m_painter.setTransform(m_base);
    m_painter.strokePath(path, pen);
}

void MetafileCanvas::strokeAndFillPath()
{
    if (!m_pathDone)
        return;
    const QPainterPath path = m_path;
    fillPath();
    m_path = path;
    m_pathDone = true;
    strokePath();
}

void MetafileCanvas::widenPath()
{
    // The path becomes the outline of what stroking it with the current pen would paint, for
    // filling or clipping with afterwards. GDI widens only with a pen wider than a pixel once
    // rounded to whole pixels; with any other the path stays as it is.
    if (!m_pathDone)
        return;
    QPen pen;
    if (!preparePen(pen, true) || pen.style() == Qt::NoPen || pen.widthF() < 1.5)
        return;
    Work work;
    measure(m_path, QTransform(), work);
    work.stroke = true;
    work.penPixels = std::max(1.0, pen.widthF());
    if (!charge(m_path.controlPointRect(), work))
        return;
    QPainterPathStroker stroker(pen);
    m_path = stroker.createStroke(m_path);
    // The stroker gives overlapping pieces, one for each segment and join. Merged into one
    // outline they fill, clip and stroke like the single shape GDI makes; a path too long to
    // merge quickly keeps its pieces and is filled so that they do not cancel out.
    constexpr int kMaxMergedElements = 4096;
    if (m_path.elementCount() <= kMaxMergedElements)
        m_path = m_path.simplified();
    else
        m_pathWidened = true;
}

} // namespace metafile

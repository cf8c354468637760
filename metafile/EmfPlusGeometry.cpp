#include "metafile/EmfPlusGeometry.h"

#include "metafile/GdiPlus.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace metafile::emfplus {

using namespace gdiplus;

namespace {

constexpr int kMaxRegionDepth = 32;
// Where GDI+ puts the edges of an infinite region.
constexpr double kInfinite = 4194304;

// Each coordinate a step from the point before: one byte when the top bit is clear, seven bits
// signed; two bytes when it is set, fifteen bits signed.
QList<QPointF> relativePoints(Bytes data, qint64 count)
{
    QList<QPointF> result;
    qint64 at = 0;
    const auto step = [&](bool* ok) -> int {
        if (!data.has(at, 1)) {
            *ok = false;
            return 0;
        }
        const int first = data.u8(at);
        if (!(first & 0x80)) {
            ++at;
            return (first & 0x40) ? first - 0x80 : first;
        }
        if (!data.has(at, 2)) {
            *ok = false;
            return 0;
        }
        const int value = (first & 0x7F) << 8 | data.u8(at + 1);
        at += 2;
        return (value & 0x4000) ? value - 0x8000 : value;
    };
    QPointF p;
    result.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        bool ok = true;
        const int dx = step(&ok);
        const int dy = step(&ok);
        if (!ok)
            return {};
        p += QPointF(dx, dy);
        result.append(p);
    }
    return result;
}

// A path's point types, plain or run-length coded, from at; at is left after them.
std::optional<QList<quint8>> pathTypes(Bytes data, qint64& at, qint64 count, bool runLength)
{
    QList<quint8> types;
    types.reserve(count);
    if (!runLength) {
        if (!data.has(at, count))
            return std::nullopt;
        for (qint64 i = 0; i < count; ++i)
            types.append(data.u8(at + i));
        return types;
    }
    // Run-length types, marked by their second-highest bit: a count, then the type it repeats.
    // Plain one-byte types may come between them.
    while (types.size() < count) {
        if (!data.has(at, 1))
            return std::nullopt;
        const quint8 first = data.u8(at);
        if (!(first & 0x40)) {
            types.append(first);
            ++at;
            continue;
        }
        if (!data.has(at, 2) || (first & 0x3F) == 0)
            return std::nullopt;
        const quint8 type = data.u8(at + 1);
        for (int i = 0; i < (first & 0x3F) && types.size() < count; ++i)
            types.append(type);
        at += 2;
    }
    return types;
}

QPainterPath pathFrom(const QList<QPointF>& pts, const QList<quint8>& types)
{
    QPainterPath path;
    const qint64 count = pts.size();
    for (qint64 i = 0; i < count; ++i) {
        const auto kind = PathPointType(types[i] & kPathPointTypeMask);
        if (kind == PathPointType::Start || path.elementCount() == 0) {
            path.moveTo(pts[i]);
        } else if (kind == PathPointType::Bezier && i + 2 < count) {
            path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
            i += 2;
        } else {
            path.lineTo(pts[i]);
        }
        if (types[i] & kPathCloseSubpath)
            path.closeSubpath();
    }
    return path;
}

std::optional<QPainterPath> regionNode(Bytes d, qint64& at, int depth, qint64& elements);

std::optional<QPainterPath> combinedNode(RegionNode type, Bytes d, qint64& at, int depth, qint64& elements)
{
    const std::optional<QPainterPath> left = regionNode(d, at, depth + 1, elements);
    if (!left)
        return std::nullopt;
    const std::optional<QPainterPath> right = regionNode(d, at, depth + 1, elements);
    if (!right)
        return std::nullopt;
    elements += left->elementCount() + right->elementCount();
    if (elements > kMaxClipElements)
        return std::nullopt;
    switch (type) {
    case RegionNode::And: return left->intersected(*right);
    case RegionNode::Or: return left->united(*right);
    case RegionNode::Xor: return left->united(*right).subtracted(left->intersected(*right));
    case RegionNode::Exclude: return left->subtracted(*right);
    default: return right->subtracted(*left);
    }
}

// A region's tree of rectangles, paths and the ways they combine, as one area in world units.
std::optional<QPainterPath> regionNode(Bytes d, qint64& at, int depth, qint64& elements)
{
    if (depth > kMaxRegionDepth || !d.has(at, 4))
        return std::nullopt;
    const auto type = RegionNode(d.u32(at));
    at += 4;
    QPainterPath area;
    switch (type) {
    case RegionNode::Rect:
        if (!d.has(at, 16))
            return std::nullopt;
        area.addRect(rectAt(d, at, false));
        at += 16;
        return sensibleRect(area.boundingRect()) ? std::optional(area) : std::nullopt;
    case RegionNode::Path: {
        const qint64 size = d.u32(at);
        if (!d.has(at + 4, size))
            return std::nullopt;
        const std::optional<QPainterPath> shape = path(d.sub(at + 4, size));
        at += 4 + size;
        if (!shape)
            return std::nullopt;
        elements += shape->elementCount();
        return shape; // filled by its own rule, as GDI+ fills the path
    }
    case RegionNode::Empty:
        return area;
    case RegionNode::Infinite:
        area.addRect(QRectF(-kInfinite, -kInfinite, 2 * kInfinite, 2 * kInfinite));
        return area;
    case RegionNode::And:
    case RegionNode::Or:
    case RegionNode::Xor:
    case RegionNode::Exclude:
    case RegionNode::Complement:
        return combinedNode(type, d, at, depth, elements);
    default:
        return std::nullopt;
    }
}

} // namespace

bool finite(double v)
{
    return std::isfinite(v) && std::abs(v) < 1e9;
}

bool finiteTransform(const QTransform& t)
{
    return finite(t.m11()) && finite(t.m12()) && finite(t.m21()) && finite(t.m22()) && finite(t.dx()) && finite(t.dy());
}

bool sensibleRect(const QRectF& r)
{
    return finite(r.x()) && finite(r.y()) && finite(r.width()) && finite(r.height());
}

double lengthScale(const QTransform& t)
{
    return std::sqrt(std::abs(t.determinant()));
}

QTransform matrixAt(Bytes b, qint64 at)
{
    return QTransform(b.f32(at), b.f32(at + 4), b.f32(at + 8), b.f32(at + 12), b.f32(at + 16), b.f32(at + 20));
}

QRectF rectAt(Bytes b, qint64 at, bool compressed)
{
    if (compressed)
        return QRectF(b.i16(at), b.i16(at + 2), b.i16(at + 4), b.i16(at + 6));
    return QRectF(b.f32(at), b.f32(at + 4), b.f32(at + 8), b.f32(at + 12));
}

QList<QPointF> points(Bytes data, qint64 count, quint16 flags)
{
    QList<QPointF> result;
    if (count <= 0 || count > data.size() || count > kMaxPoints)
        return result;
    if (flags & RecordFlag::Relative)
        return relativePoints(data, count);
    const bool compressed = flags & RecordFlag::Compressed;
    const qint64 each = compressed ? 4 : 8;
    if (!data.has(0, count * each))
        return result;
    result.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        const QPointF p = compressed ? QPointF(data.i16(i * 4), data.i16(i * 4 + 2))
                                     : QPointF(data.f32(i * 8), data.f32(i * 8 + 4));
        if (!finite(p.x()) || !finite(p.y()))
            return {};
        result.append(p);
    }
    return result;
}

std::optional<QPainterPath> path(Bytes data)
{
    if (!data.has(0, 12))
        return std::nullopt;
    const qint64 count = data.u32(4);
    const quint32 flags = data.u32(8);
    if (count < 0 || count > data.size())
        return std::nullopt;
    // The same bits as the drawing records use for compressed and relative points.
    const quint16 pointFlags = quint16(flags & (RecordFlag::Compressed | RecordFlag::Relative));
    const QList<QPointF> pts = points(data.from(12), count, pointFlags);
    if (pts.size() != count)
        return std::nullopt;
    qint64 at = 12;
    if (pointFlags & RecordFlag::Relative) {
        // Walk the steps again to find where they end.
        for (qint64 i = 0; i < 2 * count; ++i)
            at += (data.u8(at) & 0x80) ? 2 : 1;
    } else {
        at += count * ((pointFlags & RecordFlag::Compressed) ? 4 : 8);
    }
    const std::optional<QList<quint8>> types = pathTypes(data, at, count, flags & PathFlag::RunLengthTypes);
    if (!types)
        return std::nullopt;
    return pathFrom(pts, *types);
}

RegionArea region(Bytes data)
{
    RegionArea result;
    qint64 at = 8;
    if (data.has(0, 8))
        result.area = regionNode(data, at, 0, result.elements);
    return result;
}

QPainterPath curve(const QList<QPointF>& pts, double tension, bool closed)
{
    QPainterPath path;
    const qsizetype n = pts.size();
    if (n < 2 || !finite(tension))
        return path;
    const double t = std::clamp(tension, 0.0, 10.0) / 3;
    const auto at = [&](qsizetype i) {
        if (closed)
            return pts[(i % n + n) % n];
        return pts[std::clamp<qsizetype>(i, 0, n - 1)];
    };
    path.moveTo(pts[0]);
    const qsizetype segments = closed ? n : n - 1;
    for (qsizetype i = 0; i < segments; ++i) {
        const QPointF p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
        path.cubicTo(p1 + (p2 - p0) * t, p2 - (p3 - p1) * t, p2);
    }
    if (closed)
        path.closeSubpath();
    return path;
}

QPainterPath arcPath(const QRectF& box, double start, double sweep, bool pie)
{
    QPainterPath path;
    if (!sensibleRect(box) || !finite(start) || !finite(sweep))
        return path;
    sweep = std::clamp(sweep, -360.0, 360.0);
    // GDI+ measures the angles to the points on the ellipse itself; Qt's arcs take them on the
    // circle that is then squashed into the box.
    const auto onCircle = [&](double degrees) {
        const double a = qDegreesToRadians(degrees);
        const double t = qRadiansToDegrees(std::atan2(box.width() * std::sin(a), box.height() * std::cos(a)));
        return t + 360 * std::round((degrees - t) / 360);
    };
    const double from = onCircle(start);
    double turn = std::abs(sweep) >= 360 ? sweep : onCircle(start + sweep) - from;
    if (sweep > 0 && turn < 0)
        turn += 360;
    else if (sweep < 0 && turn > 0)
        turn -= 360;
    if (pie)
        path.moveTo(box.center());
    else
        path.arcMoveTo(box, -from);
    path.arcTo(box, -from, -turn);
    if (pie)
        path.closeSubpath();
    return path;
}

QPainterPath rectsPath(Bytes data, qint64 count, bool compressed, bool ellipses)
{
    QPainterPath path;
    const qint64 size = rectSize(compressed);
    if (count < 0 || count > kMaxRects || !data.has(0, count * size))
        return path;
    for (qint64 i = 0; i < count; ++i) {
        const QRectF r = rectAt(data, i * size, compressed);
        if (!sensibleRect(r))
            continue;
        if (ellipses)
            path.addEllipse(r);
        else
            path.addRect(r);
    }
    return path;
}

QPainterPath polygonPath(const QList<QPointF>& points, bool close)
{
    QPainterPath path;
    if (points.isEmpty())
        return path;
    path.moveTo(points.first());
    for (qsizetype i = 1; i < points.size(); ++i)
        path.lineTo(points[i]);
    if (close)
        path.closeSubpath();
    return path;
}

QPainterPath bezierPath(const QList<QPointF>& points)
{
    QPainterPath path;
    if (points.isEmpty())
        return path;
    path.moveTo(points.first());
    for (qsizetype i = 1; i + 2 < points.size(); i += 3)
        path.cubicTo(points[i], points[i + 1], points[i + 2]);
    return path;
}

} // namespace metafile::emfplus

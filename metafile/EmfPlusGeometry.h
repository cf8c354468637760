#pragma once

#include "metafile/MetafileBytes.h"

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPointF>
#include <QRectF>
#include <QTransform>

#include <optional>

// The numbers and shapes GDI+ records store, read into Qt's terms.
namespace metafile::emfplus {

// Points and rectangles in one record or path: more than any real picture, few enough that the
// shapes built from them stay small before the drawing budget is charged for them.
inline constexpr qint64 kMaxPoints = 1 << 18;
inline constexpr qint64 kMaxRects = 1 << 16;
inline constexpr int kMaxClipElements = 4096;

inline QColor argb(quint32 v)
{
    return QColor::fromRgba(v); // stored blue, green, red, alpha: the same as QRgb
}

bool finite(double v);
bool finiteTransform(const QTransform& t);
bool sensibleRect(const QRectF& r);
double lengthScale(const QTransform& t);

QTransform matrixAt(Bytes b, qint64 at);
QRectF rectAt(Bytes b, qint64 at, bool compressed);
inline qint64 rectSize(bool compressed) { return compressed ? 8 : 16; }

// count points from data: float pairs, 16-bit integer pairs (compressed), or relative steps of
// one or two bytes each (flags as the drawing records give them). Empty when data is too short.
QList<QPointF> points(Bytes data, qint64 count, quint16 flags);
// A serialized GDI+ path object; nullopt when malformed.
std::optional<QPainterPath> path(Bytes data);

// A region object's area in world units (none when malformed), and how many path elements
// reading it took, which are paid for either way.
struct RegionArea {
    std::optional<QPainterPath> area;
    qint64 elements = 0;
};
RegionArea region(Bytes data);

// Cardinal spline through points with the given tension, as bezier segments.
QPainterPath curve(const QList<QPointF>& points, double tension, bool closed);
// An arc's path from GDI+'s angles: clockwise from the x axis, in degrees.
QPainterPath arcPath(const QRectF& box, double start, double sweep, bool pie);
// count rectangles, or the ellipses inside them, from data; empty when data is too short.
QPainterPath rectsPath(Bytes data, qint64 count, bool compressed, bool ellipses);
QPainterPath polygonPath(const QList<QPointF>& points, bool close);
QPainterPath bezierPath(const QList<QPointF>& points);

} // namespace metafile::emfplus

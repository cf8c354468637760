#include "metafile/EmfPlusPlayer.h"

#include "metafile/FaceNames.h"
#include "metafile/MetafileCanvas.h"
#include "metafile/MetafileDib.h"

#include <QBuffer>
#include <QFontMetricsF>
#include <QImageReader>
#include <QLinearGradient>
#include <QtMath>

#include <algorithm>
#include <cmath>

namespace metafile {

namespace {

enum : quint16 {
    PlusHeader = 0x4001,
    PlusObject = 0x4008,
    PlusClear = 0x4009,
    PlusFillRects = 0x400A,
    PlusDrawRects = 0x400B,
    PlusFillPolygon = 0x400C,
    PlusDrawLines = 0x400D,
    PlusFillEllipse = 0x400E,
    PlusDrawEllipse = 0x400F,
    PlusFillPie = 0x4010,
    PlusDrawPie = 0x4011,
    PlusDrawArc = 0x4012,
    PlusFillRegion = 0x4013,
    PlusFillPath = 0x4014,
    PlusDrawPath = 0x4015,
    PlusFillClosedCurve = 0x4016,
    PlusDrawClosedCurve = 0x4017,
    PlusDrawCurve = 0x4018,
    PlusDrawBeziers = 0x4019,
    PlusDrawImage = 0x401A,
    PlusDrawImagePoints = 0x401B,
    PlusDrawString = 0x401C,
    PlusSetAntiAliasMode = 0x401E,
    PlusSetInterpolationMode = 0x4021,
    PlusSave = 0x4025,
    PlusRestore = 0x4026,
    PlusBeginContainer = 0x4027,
    PlusBeginContainerNoParams = 0x4028,
    PlusEndContainer = 0x4029,
    PlusSetWorldTransform = 0x402A,
    PlusResetWorldTransform = 0x402B,
    PlusMultiplyWorldTransform = 0x402C,
    PlusTranslateWorldTransform = 0x402D,
    PlusScaleWorldTransform = 0x402E,
    PlusRotateWorldTransform = 0x402F,
    PlusSetPageTransform = 0x4030,
    PlusResetClip = 0x4031,
    PlusSetClipRect = 0x4032,
    PlusSetClipPath = 0x4033,
    PlusSetClipRegion = 0x4034,
    PlusOffsetClip = 0x4035,
    PlusDrawDriverString = 0x4036,
};

// Bits of a record's flags.
constexpr quint16 kColourGiven = 0x8000; // the brush is a colour, not an object
constexpr quint16 kCompressed = 0x4000;  // coordinates as 16-bit integers
constexpr quint16 kClosedOrAppend = 0x2000;
constexpr quint16 kRelative = 0x0800; // points as steps from the one before
constexpr quint16 kContinued = 0x8000; // an object record with more to come

enum class ObjectKind { Brush = 1, Pen = 2, Path = 3, Region = 4, Image = 5, Font = 6, StringFormat = 7 };

constexpr qint64 kMaxObjectBytes = 64LL * 1024 * 1024;
// The last piece of an object may be padded out to whole 32-bit words.
constexpr qint64 kMaxPiecePadding = 3;
constexpr std::size_t kMaxSaved = 256;
constexpr int kMaxClipElements = 4096;
constexpr qsizetype kMaxNestedClips = 16;
constexpr qint64 kCostPerClipElement = 4096; // boolean operations on paths
constexpr double kClipReach = 1 << 20;       // picture pixels beyond what can be seen
// Points and rectangles in one record or path: more than any real picture, few enough that the
// shapes built from them stay small before the drawing budget is charged for them.
constexpr qint64 kMaxPoints = 1 << 18;
constexpr qint64 kMaxRects = 1 << 16;
constexpr int kMaxRegionDepth = 32;
constexpr int kMaxGradientStops = 1024;
// Where GDI+ puts the edges of an infinite region.
constexpr double kInfinite = 4194304;

QColor argb(quint32 v)
{
    return QColor::fromRgba(v); // stored blue, green, red, alpha: the same as QRgb
}

QTransform matrix(Bytes b, qint64 at)
{
    return QTransform(b.f32(at), b.f32(at + 4), b.f32(at + 8), b.f32(at + 12), b.f32(at + 16), b.f32(at + 20));
}

bool finite(double v)
{
    return std::isfinite(v) && std::abs(v) < 1e9;
}

bool finiteTransform(const QTransform& t)
{
    return finite(t.m11()) && finite(t.m12()) && finite(t.m21()) && finite(t.m22()) && finite(t.dx()) && finite(t.dy());
}

double lengthScale(const QTransform& t)
{
    return std::sqrt(std::abs(t.determinant()));
}

QRectF rectAt(Bytes b, qint64 at, bool compressed)
{
    if (compressed)
        return QRectF(b.i16(at), b.i16(at + 2), b.i16(at + 4), b.i16(at + 6));
    return QRectF(b.f32(at), b.f32(at + 4), b.f32(at + 8), b.f32(at + 12));
}

qint64 rectSize(bool compressed)
{
    return compressed ? 8 : 16;
}

bool sensibleRect(const QRectF& r)
{
    return finite(r.x()) && finite(r.y()) && finite(r.width()) && finite(r.height());
}

// An arc's path from GDI+'s angles: clockwise from the x axis, in degrees.
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

// count rectangles, or the ellipses inside them, from data; empty when data is too short.
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

// A brush as GDI+ serializes one, from `at`; a hatch's background colour in *hatchBack.
std::optional<QBrush> readBrush(Bytes b, qint64 at, std::optional<QColor>* hatchBack, MetafileCanvas& canvas);
std::optional<QImage> readImage(Bytes b, MetafileCanvas& canvas);

Qt::PenCapStyle capStyle(quint32 cap)
{
    switch (cap) {
    case 1: return Qt::SquareCap;
    case 2: return Qt::RoundCap;
    default: return Qt::FlatCap;
    }
}

Qt::PenJoinStyle joinStyle(quint32 join)
{
    switch (join) {
    case 1: return Qt::BevelJoin;
    case 2: return Qt::RoundJoin;
    default: return Qt::SvgMiterJoin; // a miter cut at the limit, as GDI+ draws it
    }
}

std::optional<EmfPlusPlayer::Pen> readPen(Bytes b, MetafileCanvas& canvas)
{
    if (!b.has(0, 20) || b.u32(4) != 0)
        return std::nullopt;
    EmfPlusPlayer::Pen pen;
    const quint32 flags = b.u32(8);
    pen.unit = int(b.u32(12));
    pen.width = b.f32(16);
    if (!finite(pen.width) || pen.width < 0)
        return std::nullopt;
    pen.pen = QPen(Qt::SolidLine);
    pen.pen.setCapStyle(Qt::FlatCap);
    pen.pen.setJoinStyle(Qt::SvgMiterJoin);
    pen.pen.setMiterLimit(10);
    qint64 at = 20;
    const auto take = [&](qint64 n) {
        const qint64 here = at;
        at += n;
        return here;
    };
    if (flags & 0x0001)
        take(24); // a transform of the pen's shape, rarely other than none
    if (flags & 0x0002)
        pen.pen.setCapStyle(capStyle(b.u32(take(4))));
    if (flags & 0x0004)
        take(4); // the end cap: Qt gives both ends one cap
    if (flags & 0x0008)
        pen.pen.setJoinStyle(joinStyle(b.u32(take(4))));
    if (flags & 0x0010) {
        const double limit = b.f32(take(4));
        if (finite(limit) && limit > 0)
            pen.pen.setMiterLimit(limit);
    }
    if (flags & 0x0020) {
        // GDI+'s own patterns, in pen widths, which are tighter than Qt's.
        switch (b.u32(take(4))) {
        case 1: pen.pen.setDashPattern({ 3, 1 }); break;
        case 2: pen.pen.setDashPattern({ 1, 1 }); break;
        case 3: pen.pen.setDashPattern({ 3, 1, 1, 1 }); break;
        case 4: pen.pen.setDashPattern({ 3, 1, 1, 1, 1, 1 }); break;
        default: break;
        }
    }
    quint32 dashCap = 0; // flat
    if (flags & 0x0040)
        dashCap = b.u32(take(4));
    if (flags & 0x0080) {
        const double offset = b.f32(take(4));
        if (finite(offset))
            pen.pen.setDashOffset(offset);
    }
    if (flags & 0x0100) {
        const qint64 count = b.u32(take(4));
        if (count < 0 || count > 1024 || !b.has(at, 4 * count))
            return std::nullopt;
        QList<qreal> dashes;
        for (qint64 i = 0; i < count; ++i) {
            const double d = b.f32(take(4));
            dashes.append(finite(d) && d > 0 ? d : 1);
        }
        if (dashes.size() % 2 == 1)
            dashes.append(dashes.last());
        if (!dashes.isEmpty())
            pen.pen.setDashPattern(dashes);
    }
    if (pen.pen.style() == Qt::CustomDashLine) {
        // Qt puts the pen's cap on both ends of every dash, where GDI+ gives the dashes a cap of
        // their own, flat unless the pen says round, and keeps a round one inside the dash.
        pen.pen.setCapStyle(dashCap == 2 ? Qt::RoundCap : Qt::FlatCap);
        if (dashCap == 2) {
            QList<qreal> pattern = pen.pen.dashPattern();
            for (qsizetype i = 0; i + 1 < pattern.size(); i += 2) {
                const double shorter = std::max(pattern[i] - 1, 0.001);
                pattern[i + 1] += pattern[i] - shorter;
                pattern[i] = shorter;
            }
            pen.pen.setDashPattern(pattern);
        }
    }
    if (flags & 0x0200)
        take(4);
    if (flags & 0x0400) {
        const qint64 count = b.u32(take(4));
        if (count < 0 || count > 1024)
            return std::nullopt;
        take(4 * count);
    }
    for (quint32 customCap : { 0x0800u, 0x1000u }) {
        if (flags & customCap) {
            const qint64 size = b.u32(take(4));
            if (size < 0 || size > b.size())
                return std::nullopt;
            take(size);
        }
    }
    if (!b.has(at, 8))
        return std::nullopt;
    const std::optional<QBrush> brush = readBrush(b, at, nullptr, canvas);
    if (!brush)
        return std::nullopt;
    pen.brush = *brush;
    return pen;
}

Qt::BrushStyle hatchPattern(quint32 style)
{
    switch (style) {
    case 0: return Qt::HorPattern;
    case 1: return Qt::VerPattern;
    case 2: return Qt::FDiagPattern;
    case 3: return Qt::BDiagPattern;
    case 4: return Qt::CrossPattern;
    case 5: return Qt::DiagCrossPattern;
    default: return Qt::Dense4Pattern; // the many dotted and textured hatches, as half-tones
    }
}

std::optional<QBrush> readBrush(Bytes b, qint64 at, std::optional<QColor>* hatchBack, MetafileCanvas& canvas)
{
    if (!b.has(at, 8))
        return std::nullopt;
    const quint32 type = b.u32(at + 4);
    const Bytes d = b.from(at + 8);
    switch (type) {
    case 0: // a solid colour
        if (!d.has(0, 4))
            return std::nullopt;
        return QBrush(argb(d.u32(0)));
    case 1: { // a hatch
        if (!d.has(0, 12))
            return std::nullopt;
        if (hatchBack)
            *hatchBack = argb(d.u32(8));
        return QBrush(argb(d.u32(4)), hatchPattern(d.u32(0)));
    }
    case 2: { // a texture
        if (!d.has(0, 8))
            return std::nullopt;
        const quint32 flags = d.u32(0);
        qint64 offset = 8;
        QTransform transform;
        if (flags & 0x02) {
            if (!d.has(offset, 24))
                return std::nullopt;
            transform = matrix(d, offset);
            offset += 24;
        }
        const std::optional<QImage> texture = readImage(d.from(offset), canvas);
        if (!texture || texture->isNull() || !finiteTransform(transform))
            return std::nullopt;
        QBrush brush(*texture);
        brush.setTransform(transform);
        return brush;
    }
    case 3: { // a path gradient, shown as the mean of its centre and its edge
        if (!d.has(0, 24))
            return std::nullopt;
        const QColor centre = argb(d.u32(8));
        const qint64 surrounding = d.u32(20);
        const QColor edge = surrounding > 0 && d.has(24, 4) ? argb(d.u32(24)) : centre;
        return QBrush(QColor((centre.red() + edge.red()) / 2, (centre.green() + edge.green()) / 2,
                             (centre.blue() + edge.blue()) / 2, (centre.alpha() + edge.alpha()) / 2));
    }
    case 4: { // a linear gradient across a rectangle
        if (!d.has(0, 40))
            return std::nullopt;
        const quint32 flags = d.u32(0);
        const quint32 wrap = d.u32(4);
        const QRectF box(d.f32(8), d.f32(12), d.f32(16), d.f32(20));
        const QColor start = argb(d.u32(24));
        const QColor end = argb(d.u32(28));
        if (!sensibleRect(box))
            return std::nullopt;
        QLinearGradient gradient(box.left(), box.top(), box.right(), box.top());
        gradient.setSpread(wrap == 4 ? QGradient::PadSpread : wrap == 0 ? QGradient::RepeatSpread : QGradient::ReflectSpread);
        gradient.setColorAt(0, start);
        gradient.setColorAt(1, end);
        qint64 offset = 40;
        QTransform transform;
        if (flags & 0x02) {
            if (!d.has(offset, 24))
                return std::nullopt;
            transform = matrix(d, offset);
            offset += 24;
        }
        const qint64 count = d.u32(offset);
        if ((flags & 0x04) && count > 0 && count <= kMaxGradientStops && d.has(offset + 4, 8 * count)) {
            QGradientStops stops;
            for (qint64 i = 0; i < count; ++i) {
                const double position = d.f32(offset + 4 + 4 * i);
                if (finite(position))
                    stops.append({ std::clamp(position, 0.0, 1.0), argb(d.u32(offset + 4 + 4 * count + 4 * i)) });
            }
            if (!stops.isEmpty())
                gradient.setStops(stops);
        } else if ((flags & 0x08) && count > 0 && count <= kMaxGradientStops && d.has(offset + 4, 8 * count)) {
            QGradientStops stops;
            for (qint64 i = 0; i < count; ++i) {
                const double position = d.f32(offset + 4 + 4 * i);
                const double factor = std::clamp(double(d.f32(offset + 4 + 4 * count + 4 * i)), 0.0, 1.0);
                if (!finite(position))
                    continue;
                const auto mix = [&](int a, int z) { return int(std::lround(a + (z - a) * factor)); };
                stops.append({ std::clamp(position, 0.0, 1.0),
                               QColor(mix(start.red(), end.red()), mix(start.green(), end.green()),
                                      mix(start.blue(), end.blue()), mix(start.alpha(), end.alpha())) });
            }
            if (!stops.isEmpty())
                gradient.setStops(stops);
        }
        if (!finiteTransform(transform))
            return std::nullopt;
        QBrush brush(gradient);
        brush.setTransform(transform);
        return brush;
    }
    default:
        return std::nullopt;
    }
}

// Whether a picture of so many pixels may be decoded: its decoding is paid for, and all the
// pictures a file holds at once are limited together, so a file cannot pile them up.
bool affordPixels(MetafileCanvas& canvas, qint64 pixels)
{
    canvas.countDecodedPixels(pixels * 32);
    return !canvas.exhausted() && canvas.allowHeldBitmap(pixels);
}

// The formats GDI+ stores whole files of, told by their first bytes. Only these are decoded,
// each by its own reader: a picture carrying another metafile, which would carry another, and
// so on, is not opened.
QByteArray compressedFormat(Bytes d)
{
    const QByteArrayView v = d.view();
    if (v.startsWith("\x89PNG"))
        return QByteArrayLiteral("png");
    if (v.startsWith("\xFF\xD8"))
        return QByteArrayLiteral("jpeg");
    if (v.startsWith("GIF8"))
        return QByteArrayLiteral("gif");
    if (v.startsWith("BM"))
        return QByteArrayLiteral("bmp");
    return {};
}

std::optional<QImage> readBitmap(Bytes d, MetafileCanvas& canvas)
{
    if (!d.has(0, 20))
        return std::nullopt;
    const qint64 width = d.i32(0);
    const qint64 height = d.i32(4);
    const qint64 stride = d.i32(8);
    const quint32 format = d.u32(12);
    const quint32 kind = d.u32(16);
    const Bytes data = d.from(20);
    if (kind == 1) { // a whole PNG, JPEG, GIF or BMP file
        const QByteArray format = compressedFormat(data);
        if (format.isEmpty())
            return std::nullopt;
        QByteArray bytes = data.view().toByteArray();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, format);
        reader.setAutoDetectImageFormat(false);
        const QSize size = reader.size();
        if (!size.isValid() || qint64(size.width()) * size.height() > kMaxDibPixels
            || !affordPixels(canvas, qint64(size.width()) * size.height()))
            return std::nullopt;
        QImage image = reader.read();
        if (image.isNull())
            return std::nullopt;
        return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    if (kind != 0 || width <= 0 || height <= 0 || width * height > kMaxDibPixels || stride <= 0)
        return std::nullopt;
    if (!affordPixels(canvas, width * height))
        return std::nullopt;
    const int bits = int(format >> 8 & 0xFF);
    const bool indexed = format & 0x00010000;
    qint64 offset = 0;
    QList<QRgb> palette;
    if (indexed) {
        // The palette comes first: flags, count, colours.
        const qint64 count = data.u32(4);
        if (count < 1 || count > 256 || !data.has(8, 4 * count))
            return std::nullopt;
        for (qint64 i = 0; i < count; ++i)
            palette.append(data.u32(8 + 4 * i));
        offset = 8 + 4 * count;
    }
    if (stride < (width * bits + 7) / 8 || !data.has(offset, stride * height))
        return std::nullopt;
    // A palette says whether its colours carry alpha; the 32-bit formats with alpha say so too.
    const bool alpha = format == 0x0026200A || format == 0x000E200B || (indexed && (data.u32(0) & 1));
    const bool premultiplied = format == 0x000E200B;
    QImage image(int(width), int(height), alpha ? (premultiplied ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32)
                                                : QImage::Format_RGB32);
    if (image.isNull())
        return std::nullopt;
    for (qint64 y = 0; y < height; ++y) {
        const qint64 row = offset + y * stride;
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (qint64 x = 0; x < width; ++x) {
            switch (bits) {
            case 1:
            case 4:
            case 8: {
                if (!indexed)
                    return std::nullopt;
                const qint64 bit = x * bits;
                const int index = (data.u8(row + bit / 8) >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
                out[x] = index < palette.size() ? palette[index] : qRgb(0, 0, 0);
                break;
            }
            case 16: {
                const quint16 p = data.u16(row + 2 * x);
                if (format == 0x00021006) // 5-6-5
                    out[x] = qRgb((p >> 11 & 31) * 255 / 31, (p >> 5 & 63) * 255 / 63, (p & 31) * 255 / 31);
                else
                    out[x] = qRgb((p >> 10 & 31) * 255 / 31, (p >> 5 & 31) * 255 / 31, (p & 31) * 255 / 31);
                break;
            }
            case 24:
                out[x] = qRgb(data.u8(row + 3 * x + 2), data.u8(row + 3 * x + 1), data.u8(row + 3 * x));
                break;
            case 32:
                out[x] = alpha ? data.u32(row + 4 * x) : (data.u32(row + 4 * x) | 0xFF000000u);
                break;
            default:
                return std::nullopt;
            }
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::optional<QImage> readImage(Bytes d, MetafileCanvas& canvas)
{
    if (!d.has(0, 8) || d.u32(4) != 1) // only bitmaps: an embedded metafile is not drawn
        return std::nullopt;
    return readBitmap(d.from(8), canvas);
}

// A region's tree of rectangles, paths and the ways they combine, as one area in world units.
std::optional<QPainterPath> readRegionNode(Bytes d, qint64& at, int depth, qint64& elements)
{
    if (depth > kMaxRegionDepth || !d.has(at, 4))
        return std::nullopt;
    const quint32 type = d.u32(at);
    at += 4;
    QPainterPath area;
    switch (type) {
    case 0x10000000: // a rectangle
        if (!d.has(at, 16))
            return std::nullopt;
        area.addRect(rectAt(d, at, false));
        at += 16;
        return sensibleRect(area.boundingRect()) ? std::optional(area) : std::nullopt;
    case 0x10000001: { // a path
        const qint64 size = d.u32(at);
        if (!d.has(at + 4, size))
            return std::nullopt;
        const std::optional<QPainterPath> path = emfplus::path(d.sub(at + 4, size));
        at += 4 + size;
        if (!path)
            return std::nullopt;
        elements += path->elementCount();
        return path; // filled by its own rule, as GDI+ fills the path
    }
    case 0x10000002: // empty
        return area;
    case 0x10000003: // infinite
        area.addRect(QRectF(-kInfinite, -kInfinite, 2 * kInfinite, 2 * kInfinite));
        return area;
    case 1: case 2: case 3: case 4: case 5: {
        const std::optional<QPainterPath> left = readRegionNode(d, at, depth + 1, elements);
        if (!left)
            return std::nullopt;
        const std::optional<QPainterPath> right = readRegionNode(d, at, depth + 1, elements);
        if (!right)
            return std::nullopt;
        elements += left->elementCount() + right->elementCount();
        if (elements > kMaxClipElements)
            return std::nullopt;
        switch (type) {
        case 1: return left->intersected(*right);
        case 2: return left->united(*right);
        case 3: return left->united(*right).subtracted(left->intersected(*right));
        case 4: return left->subtracted(*right);
        default: return right->subtracted(*left);
        }
    }
    default:
        return std::nullopt;
    }
}

} // namespace

namespace emfplus {

QList<QPointF> points(Bytes data, qint64 count, quint16 flags)
{
    QList<QPointF> result;
    if (count <= 0 || count > data.size() || count > kMaxPoints)
        return result;
    if (flags & kRelative) {
        // Each coordinate a step from the point before: one byte when the top bit is clear,
        // seven bits signed; two bytes when it is set, fifteen bits signed.
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
    const qint64 each = (flags & kCompressed) ? 4 : 8;
    if (!data.has(0, count * each))
        return result;
    result.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        const QPointF p = (flags & kCompressed) ? QPointF(data.i16(i * 4), data.i16(i * 4 + 2))
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
    const quint16 pointFlags = quint16(flags & (kCompressed | kRelative));
    const QList<QPointF> pts = points(data.from(12), count, pointFlags);
    if (pts.size() != count)
        return std::nullopt;
    qint64 at = 12;
    if (pointFlags & kRelative) {
        // Walk the steps again to find where they end.
        for (qint64 i = 0; i < 2 * count; ++i)
            at += (data.u8(at) & 0x80) ? 2 : 1;
    } else {
        at += count * ((pointFlags & kCompressed) ? 4 : 8);
    }
    QList<quint8> types;
    types.reserve(count);
    if (flags & 0x1000) {
        // Run-length types, marked by their second-highest bit: a count, then the type it
        // repeats. Plain one-byte types may come between them.
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
    } else {
        if (!data.has(at, count))
            return std::nullopt;
        for (qint64 i = 0; i < count; ++i)
            types.append(data.u8(at + i));
    }
    QPainterPath path;
    for (qint64 i = 0; i < count; ++i) {
        const int kind = types[i] & 0x07;
        if (kind == 0 || path.elementCount() == 0) {
            path.moveTo(pts[i]);
        } else if (kind == 3 && i + 2 < count) {
            path.cubicTo(pts[i], pts[i + 1], pts[i + 2]);
            i += 2;
        } else {
            path.lineTo(pts[i]);
        }
        if (types[i] & 0x80)
            path.closeSubpath();
    }
    return path;
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

} // namespace emfplus

EmfPlusPlayer::EmfPlusPlayer(MetafileCanvas& canvas)
    : m_canvas(canvas)
{
}

EmfPlusPlayer::~EmfPlusPlayer() = default;

void EmfPlusPlayer::play(Bytes records)
{
    qint64 at = 0;
    while (records.has(at, 12) && m_mode != Mode::Ignore && !m_canvas.exhausted()) {
        const quint16 type = records.u16(at);
        const quint16 flags = records.u16(at + 2);
        const qint64 size = records.u32(at + 4);
        // A piece of an object too large for one record gives the whole object's size before
        // the size of its own data.
        const bool piece = type == PlusObject && (flags & kContinued);
        const qint64 header = piece ? 16 : 12;
        const qint64 dataSize = records.u32(at + header - 4);
        if (size < header || !records.has(at, size) || dataSize > size - header)
            return;
        m_canvas.countDecodedPixels(64); // every record costs something, drawn or not
        const Bytes data = records.sub(at + header, dataSize);
        if (piece)
            objectPiece(flags, records.u32(at + 8), data);
        else
            record(type, flags, data);
        at += size;
    }
}

void EmfPlusPlayer::record(quint16 type, quint16 flags, Bytes d)
{
    if (type == PlusHeader) {
        if (m_mode != Mode::Unknown || !d.has(0, 16))
            return;
        // Dual pictures are drawn from their GDI records, as GDI draws them.
        m_mode = (flags & 1) ? Mode::Ignore : Mode::Draw;
        const double dpiX = d.u32(8);
        const double dpiY = d.u32(12);
        if (dpiX >= 10 && dpiX <= 10000 && dpiY >= 10 && dpiY <= 10000) {
            m_dpiX = dpiX;
            m_dpiY = dpiY;
        }
        return;
    }
    if (m_mode != Mode::Draw)
        return;

    const bool compressed = flags & kCompressed;
    const int id = flags & 0xFF;
    switch (type) {
    case PlusObject:
        object(flags, d);
        break;
    case PlusClear:
        if (d.has(0, 4))
            m_canvas.plusClear(argb(d.u32(0)), clips());
        break;

    case PlusFillRects:
        if (const std::optional<Paint> brush = paintFor(flags, d.u32(0)))
            fill(rectsPath(d.from(8), d.u32(4), compressed, false), *brush);
        break;
    case PlusDrawRects:
        if (d.has(0, 4))
            stroke(rectsPath(d.from(4), d.u32(0), compressed, false), id);
        break;
    case PlusFillPolygon: {
        const std::optional<Paint> brush = paintFor(flags, d.u32(0));
        if (brush && d.has(0, 8))
            fill(polygonPath(emfplus::points(d.from(8), d.u32(4), flags), true), *brush);
        break;
    }
    case PlusDrawLines:
        if (d.has(0, 4))
            stroke(polygonPath(emfplus::points(d.from(4), d.u32(0), flags), flags & kClosedOrAppend), id);
        break;
    case PlusFillEllipse:
        if (const std::optional<Paint> brush = paintFor(flags, d.u32(0)))
            fill(rectsPath(d.from(4), 1, compressed, true), *brush);
        break;
    case PlusDrawEllipse:
        stroke(rectsPath(d, 1, compressed, true), id);
        break;
    case PlusFillPie: {
        const std::optional<Paint> brush = paintFor(flags, d.u32(0));
        if (brush && d.has(12, rectSize(compressed)))
            fill(arcPath(rectAt(d, 12, compressed), d.f32(4), d.f32(8), true), *brush);
        break;
    }
    case PlusDrawPie:
    case PlusDrawArc:
        if (d.has(8, rectSize(compressed)))
            stroke(arcPath(rectAt(d, 8, compressed), d.f32(0), d.f32(4), type == PlusDrawPie), id);
        break;
    case PlusFillRegion: {
        const std::optional<Paint> brush = paintFor(flags, d.u32(0));
        const Object* region = objectAt(id, Object::Kind::Region);
        if (brush && region && d.has(0, 4))
            fill(region->path, *brush);
        break;
    }
    case PlusFillPath: {
        const std::optional<Paint> brush = paintFor(flags, d.u32(0));
        const Object* path = objectAt(id, Object::Kind::Path);
        if (brush && path && d.has(0, 4))
            fill(path->path, *brush);
        break;
    }
    case PlusDrawPath:
        if (const Object* path = objectAt(id, Object::Kind::Path); path && d.has(0, 4))
            stroke(path->path, int(d.u32(0)));
        break;
    case PlusFillClosedCurve: {
        const std::optional<Paint> brush = paintFor(flags, d.u32(0));
        if (brush && d.has(0, 12)) {
            QPainterPath path = emfplus::curve(emfplus::points(d.from(12), d.u32(8), flags), d.f32(4), true);
            path.setFillRule((flags & kClosedOrAppend) ? Qt::WindingFill : Qt::OddEvenFill);
            fill(path, *brush);
        }
        break;
    }
    case PlusDrawClosedCurve:
        if (d.has(0, 8))
            stroke(emfplus::curve(emfplus::points(d.from(8), d.u32(4), flags), d.f32(0), true), id);
        break;
    case PlusDrawCurve:
        if (d.has(0, 16)) {
            const QList<QPointF> pts = emfplus::points(d.from(16), d.u32(12), flags);
            const qint64 offset = d.u32(4);
            const qint64 segments = d.u32(8);
            if (offset < 0 || segments < 1 || offset + segments > pts.size() - 1)
                break;
            // The whole curve is shaped by all the points; only the segments asked for are drawn.
            const QPainterPath whole = emfplus::curve(pts, d.f32(0), false);
            QPainterPath part;
            for (qint64 i = offset; i < offset + segments && 1 + 3 * i + 2 < whole.elementCount(); ++i) {
                const qint64 e = 1 + 3 * i;
                if (part.elementCount() == 0)
                    part.moveTo(whole.elementAt(int(e - 1)));
                part.cubicTo(whole.elementAt(int(e)), whole.elementAt(int(e + 1)), whole.elementAt(int(e + 2)));
            }
            stroke(part, id);
        }
        break;
    case PlusDrawBeziers:
        if (d.has(0, 4))
            stroke(bezierPath(emfplus::points(d.from(4), d.u32(0), flags)), id);
        break;

    case PlusDrawImage:
        if (d.has(0, 24 + rectSize(compressed))) {
            const QRectF source = rectAt(d, 8, false);
            const QRectF dest = rectAt(d, 24, compressed);
            if (sensibleRect(dest))
                image(id, source, { dest.topLeft(), dest.topRight(), dest.bottomLeft() });
        }
        break;
    case PlusDrawImagePoints:
        if (d.has(0, 28)) {
            const QList<QPointF> corners = emfplus::points(d.from(28), d.u32(24), flags);
            if (corners.size() == 3)
                image(id, rectAt(d, 8, false), { corners[0], corners[1], corners[2] });
        }
        break;

    case PlusDrawString: {
        const Object* font = objectAt(id, Object::Kind::Font);
        const std::optional<Paint> brush = paintFor(flags, d.u32(0));
        const qint64 length = d.u32(8);
        if (!font || !brush || length < 0 || !d.has(28, 2 * length))
            break;
        const Object* format = objectAt(int(d.u32(4)), Object::Kind::Format);
        QString string;
        string.reserve(length);
        for (qint64 i = 0; i < length; ++i)
            string.append(QChar(d.u16(28 + 2 * i)));
        text(string, font->font, *brush, rectAt(d, 12, false), format ? format->format : Format {});
        break;
    }
    case PlusDrawDriverString:
        driverText(flags, d);
        break;

    case PlusSetAntiAliasMode:
        m_s.antialias = flags & 1;
        break;
    case PlusSetInterpolationMode:
        m_s.smoothImages = (flags & 0xFF) != 5; // nearest neighbour
        break;
    case PlusSave:
        if (d.has(0, 4))
            saveState(d.u32(0));
        break;
    case PlusRestore:
    case PlusEndContainer:
        if (d.has(0, 4))
            restoreState(d.u32(0));
        break;
    case PlusBeginContainer:
        if (d.has(0, 36)) {
            const QRectF dest = rectAt(d, 0, false);
            const QRectF source = rectAt(d, 16, false);
            // The source rectangle, in the unit the flags name, onto the destination, which is
            // in world units; the page transform still follows, so the unit is taken in its terms.
            const double unit = unitToDevice(flags >> 8 & 0xFF) / (unitToDevice(m_s.pageUnit) * m_s.pageScale);
            QTransform fit;
            if (sensibleRect(dest) && sensibleRect(source) && source.width() != 0 && source.height() != 0 && finite(unit)) {
                const double sx = dest.width() / (source.width() * unit);
                const double sy = dest.height() / (source.height() * unit);
                fit = QTransform(sx, 0, 0, sy, dest.x() - source.x() * unit * sx, dest.y() - source.y() * unit * sy);
            }
            beginContainer(d.u32(32), finiteTransform(fit) ? fit : QTransform());
        }
        break;
    case PlusBeginContainerNoParams:
        if (d.has(0, 4))
            beginContainer(d.u32(0), QTransform());
        break;
    case PlusSetWorldTransform:
        if (d.has(0, 24) && finiteTransform(matrix(d, 0)))
            m_s.world = matrix(d, 0);
        break;
    case PlusResetWorldTransform:
        m_s.world = QTransform();
        break;
    case PlusMultiplyWorldTransform:
    case PlusTranslateWorldTransform:
    case PlusScaleWorldTransform:
    case PlusRotateWorldTransform: {
        QTransform m;
        if (type == PlusMultiplyWorldTransform && d.has(0, 24))
            m = matrix(d, 0);
        else if (type == PlusTranslateWorldTransform && d.has(0, 8))
            m = QTransform::fromTranslate(d.f32(0), d.f32(4));
        else if (type == PlusScaleWorldTransform && d.has(0, 8))
            m = QTransform::fromScale(d.f32(0), d.f32(4));
        else if (type == PlusRotateWorldTransform && d.has(0, 4) && finite(d.f32(0)))
            m.rotate(d.f32(0));
        else
            break;
        if (!finiteTransform(m))
            break;
        // Appended, the change applies after the present transform; otherwise before it.
        const QTransform next = (flags & kClosedOrAppend) ? m_s.world * m : m * m_s.world;
        if (finiteTransform(next))
            m_s.world = next;
        break;
    }
    case PlusSetPageTransform:
        if (d.has(0, 4) && finite(d.f32(0)) && d.f32(0) > 0) {
            m_s.pageUnit = flags & 0xFF;
            m_s.pageScale = d.f32(0);
        }
        break;

    case PlusResetClip:
        m_s.clip.reset();
        break;
    case PlusSetClipRect:
        if (d.has(0, 16)) {
            const QRectF r = rectAt(d, 0, false);
            if (sensibleRect(r)) {
                QPainterPath path;
                path.addRect(r);
                combineClip(toPicture().map(path), flags >> 8 & 0x0F);
            }
        }
        break;
    case PlusSetClipPath:
    case PlusSetClipRegion: {
        const Object* shape = objectAt(id, type == PlusSetClipPath ? Object::Kind::Path : Object::Kind::Region);
        if (shape)
            combineClip(toPicture().map(shape->path), flags >> 8 & 0x0F);
        break;
    }
    case PlusOffsetClip:
        if (m_s.clip && d.has(0, 8) && finite(d.f32(0)) && finite(d.f32(4))) {
            const QTransform t = toPicture();
            const QPointF shift = t.map(QPointF(d.f32(0), d.f32(4))) - t.map(QPointF(0, 0));
            m_s.clip->translate(shift);
        }
        break;
    default:
        break;
    }
}

void EmfPlusPlayer::object(quint16 flags, Bytes d)
{
    const int id = flags & 0xFF;
    const int kind = flags >> 8 & 0x7F;
    if (m_pendingId == id && m_pendingKind == kind && !m_pending.isEmpty()) {
        // The last piece of an object that came in pieces.
        const qint64 room = m_pendingTotal - m_pending.size();
        if (d.size() >= room && d.size() <= room + kMaxPiecePadding) {
            m_pending.append(d.view().data(), room);
            const QByteArray whole = std::exchange(m_pending, {});
            m_pendingId = -1;
            defineObject(id, kind, Bytes(whole));
            return;
        }
    }
    m_pending.clear();
    m_pendingId = -1;
    defineObject(id, kind, d);
}

void EmfPlusPlayer::objectPiece(quint16 flags, qint64 total, Bytes d)
{
    const int id = flags & 0xFF;
    const int kind = flags >> 8 & 0x7F;
    if (m_pendingId != id || m_pendingKind != kind || m_pendingTotal != total) {
        m_pending.clear();
        m_pendingId = id;
        m_pendingKind = kind;
        m_pendingTotal = total;
    }
    const qint64 room = total - m_pending.size();
    if (total > kMaxObjectBytes || d.size() > room + kMaxPiecePadding) {
        m_pending.clear();
        m_pendingId = -1;
        return;
    }
    m_canvas.countDecodedPixels(d.size());
    m_pending.append(d.view().data(), std::min(room, d.size()));
    // Some writers mark the last piece as continued too: the size says when it is whole.
    if (m_pending.size() == total) {
        const QByteArray whole = std::exchange(m_pending, {});
        m_pendingId = -1;
        defineObject(id, kind, Bytes(whole));
    }
}

void EmfPlusPlayer::defineObject(int id, int kind, Bytes d)
{
    if (id < 0 || id >= int(m_objects.size()))
        return;
    Object o;
    switch (ObjectKind(kind)) {
    case ObjectKind::Brush: {
        std::optional<QColor> back;
        const std::optional<QBrush> brush = readBrush(d, 0, &back, m_canvas);
        if (brush) {
            o.kind = Object::Kind::Brush;
            o.paint = { *brush, back };
        }
        break;
    }
    case ObjectKind::Pen:
        if (const std::optional<Pen> pen = readPen(d, m_canvas)) {
            o.kind = Object::Kind::Pen;
            o.pen = *pen;
        }
        break;
    case ObjectKind::Path:
        if (const std::optional<QPainterPath> path = emfplus::path(d)) {
            o.kind = Object::Kind::Path;
            o.path = *path;
        }
        break;
    case ObjectKind::Region: {
        qint64 at = 8;
        qint64 elements = 0;
        m_canvas.countDecodedPixels(d.size() * 64);
        if (d.has(0, 8)) {
            if (const std::optional<QPainterPath> area = readRegionNode(d, at, 0, elements)) {
                o.kind = Object::Kind::Region;
                o.path = *area;
            }
        }
        m_canvas.countDecodedPixels(elements * kCostPerClipElement);
        break;
    }
    case ObjectKind::Image:
        if (std::optional<QImage> image = readImage(d, m_canvas)) {
            o.kind = Object::Kind::Image;
            o.image = std::move(*image);
        }
        break;
    case ObjectKind::Font: {
        const qint64 length = d.u32(20);
        if (d.has(0, 24) && length >= 0 && length <= 256 && d.has(24, 2 * length) && finite(d.f32(4)) && d.f32(4) > 0) {
            o.kind = Object::Kind::Font;
            o.font.emSize = d.f32(4);
            o.font.unit = int(d.u32(8));
            o.font.style = int(d.u32(12));
            for (qint64 i = 0; i < length; ++i)
                o.font.family.append(QChar(d.u16(24 + 2 * i)));
        }
        break;
    }
    case ObjectKind::StringFormat:
        if (d.has(0, 20)) {
            o.kind = Object::Kind::Format;
            o.format.flags = d.u32(4);
            o.format.align = int(std::min<quint32>(d.u32(12), 2));
            o.format.lineAlign = int(std::min<quint32>(d.u32(16), 2));
        }
        break;
    default:
        break;
    }
    m_objects[std::size_t(id)] = std::move(o);
}

const EmfPlusPlayer::Object* EmfPlusPlayer::objectAt(int id, Object::Kind kind) const
{
    if (id < 0 || id >= int(m_objects.size()) || m_objects[std::size_t(id)].kind != kind)
        return nullptr;
    return &m_objects[std::size_t(id)];
}

std::optional<EmfPlusPlayer::Paint> EmfPlusPlayer::paintFor(quint16 flags, quint32 value) const
{
    if (flags & kColourGiven)
        return Paint { QBrush(argb(value)), std::nullopt };
    if (const Object* o = objectAt(int(value), Object::Kind::Brush))
        return o->paint;
    return std::nullopt;
}

double EmfPlusPlayer::unitToDevice(int unit) const
{
    const double dpi = (m_dpiX + m_dpiY) / 2;
    switch (unit) {
    case 3: return dpi / 72;    // points
    case 4: return dpi;         // inches
    case 5: return dpi / 300;   // document units
    case 6: return dpi / 25.4;  // millimetres
    default: return 1;          // world, display and pixels
    }
}

QTransform EmfPlusPlayer::toPicture() const
{
    const double page = unitToDevice(m_s.pageUnit) * m_s.pageScale;
    return m_s.world * m_s.container * QTransform::fromScale(page, page) * m_canvas.deviceToPicture();
}

void EmfPlusPlayer::fill(const QPainterPath& world, const Paint& paint)
{
    if (world.isEmpty())
        return;
    const QTransform t = toPicture();
    if (!finiteTransform(t))
        return;
    const QPainterPath picture = t.map(world);
    if (paint.back)
        m_canvas.plusPath(picture, Qt::NoPen, QBrush(*paint.back), clips(), m_s.antialias);
    QBrush placed = paint.brush;
    if (placed.gradient() || placed.style() == Qt::TexturePattern)
        placed.setTransform(placed.transform() * t);
    m_canvas.plusPath(picture, Qt::NoPen, placed, clips(), m_s.antialias);
}

void EmfPlusPlayer::stroke(const QPainterPath& world, int penId)
{
    const Object* o = objectAt(penId, Object::Kind::Pen);
    if (!o || world.isEmpty())
        return;
    const QTransform t = toPicture();
    if (!finiteTransform(t))
        return;
    // A width in world units grows with the transforms; one in a page unit only with the
    // picture's own scale. Less than a pixel is drawn a pixel wide.
    const double width = o->pen.unit == 0 ? o->pen.width * lengthScale(t)
                                          : o->pen.width * unitToDevice(o->pen.unit) * lengthScale(m_canvas.deviceToPicture());
    if (!finite(width))
        return;
    QPen pen = o->pen.pen;
    pen.setWidthF(std::max(1.0, width));
    QBrush brush = o->pen.brush;
    if (brush.gradient() || brush.style() == Qt::TexturePattern)
        brush.setTransform(brush.transform() * t);
    pen.setBrush(brush);
    m_canvas.plusPath(t.map(world), pen, Qt::NoBrush, clips(), m_s.antialias);
}

namespace {

// Text is laid out at this pixel size and scaled to the size asked for.
constexpr int kLayoutPixels = 256;
// Each character becomes an outline that is then filled: far dearer than GDI's text, which Qt
// draws from its glyph cache.
constexpr qint64 kCostPerOutlinedCharacter = 32768;
// Longer strings are not laid out: wrapping measures lines again word by word.
constexpr qint64 kMaxCharacters = 4096;

QFont layoutFont(const EmfPlusPlayer::Font& f)
{
    QFont font(installedFace(f.family));
    font.setPixelSize(kLayoutPixels);
    font.setBold(f.style & 1);
    font.setItalic(f.style & 2);
    font.setUnderline(f.style & 4);
    font.setStrikeOut(f.style & 8);
    return font;
}

} // namespace

void EmfPlusPlayer::text(const QString& string, const Font& font, const Paint& paint, const QRectF& layout,
                         const Format& format)
{
    const QTransform t = toPicture();
    const double toDevice = unitToDevice(m_s.pageUnit) * m_s.pageScale;
    if (string.isEmpty() || !finiteTransform(t) || !sensibleRect(layout) || toDevice <= 0)
        return;
    // The em in world units: as given, or from the font's own unit through the page. The world
    // transform then scales text like everything else.
    const double em = font.unit == 0 ? font.emSize : font.emSize * unitToDevice(font.unit) / toDevice;
    if (!finite(em) || em <= 0 || string.size() > kMaxCharacters)
        return;
    const double k = em / kLayoutPixels;
    const QFont qfont = layoutFont(font);
    const QFontMetricsF metrics(qfont);
    m_canvas.countDecodedPixels(qint64(string.size()) * kCostPerOutlinedCharacter);
    if (m_canvas.exhausted())
        return;

    // Lines: the breaks the text has, and more where a line would pass the box's width.
    const bool wrap = layout.width() > 0 && !(format.flags & 0x1000);
    const double margin = em / 6; // GDI+ keeps a sixth of an em clear at each side
    const double room = (layout.width() - 2 * margin) / k;
    QStringList lines;
    for (const QString& paragraph : string.split(QLatin1Char('\n'))) {
        QString line = paragraph;
        line.remove(QLatin1Char('\r'));
        if (!wrap || metrics.horizontalAdvance(line) <= room) {
            lines.append(line);
            continue;
        }
        QString current;
        for (const QString& word : line.split(QLatin1Char(' '))) {
            const QString tried = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
            if (!current.isEmpty() && metrics.horizontalAdvance(tried) > room) {
                lines.append(current);
                current = word;
            } else {
                current = tried;
            }
        }
        lines.append(current);
        if (lines.size() > 1000)
            break;
    }
    const double lineHeight = metrics.lineSpacing() * k;
    const double total = lineHeight * double(lines.size());
    double top = layout.top();
    if (format.lineAlign == 1)
        top = layout.height() > 0 ? layout.top() + (layout.height() - total) / 2 : layout.top() - total / 2;
    else if (format.lineAlign == 2)
        top = layout.height() > 0 ? layout.bottom() - total : layout.top() - total;

    QPainterPath path;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const double width = metrics.horizontalAdvance(lines[i]) * k;
        double x = layout.left() + margin;
        if (format.align == 1)
            x = layout.width() > 0 ? layout.left() + (layout.width() - width) / 2 : layout.left() - width / 2;
        else if (format.align == 2)
            x = layout.width() > 0 ? layout.right() - margin - width : layout.left() - width;
        const double baseline = top + double(i) * lineHeight + metrics.ascent() * k;
        QPainterPath line;
        line.addText(0, 0, qfont, lines[i]);
        path.addPath(QTransform(k, 0, 0, k, x, baseline).map(line));
    }
    const State kept = m_s;
    m_s.antialias = true; // GDI+ smooths text whatever the shapes do
    if (layout.width() > 0 && layout.height() > 0 && !(format.flags & 0x4000)) {
        // Lines that do not fit the box are cut off at its edges.
        QPainterPath box;
        box.addRect(layout);
        combineClip(t.map(box), 1);
    }
    fill(path, paint);
    m_s = kept;
}

void EmfPlusPlayer::driverText(quint16 flags, Bytes d)
{
    const Object* font = objectAt(flags & 0xFF, Object::Kind::Font);
    const std::optional<Paint> brush = paintFor(flags, d.u32(0));
    const quint32 options = d.u32(4);
    const qint64 count = d.u32(12);
    const bool realized = options & 4; // a position for the first character only
    // Without the lookup flag the codes are glyph numbers of a font that is not here.
    if (!font || !brush || !(options & 1) || count <= 0 || count > kMaxCharacters
        || !d.has(16, realized ? 2 * count + 8 : 10 * count))
        return;
    const QTransform t = toPicture();
    const double toDevice = unitToDevice(m_s.pageUnit) * m_s.pageScale;
    const double em = font->font.unit == 0 ? font->font.emSize : font->font.emSize * unitToDevice(font->font.unit) / toDevice;
    if (!finiteTransform(t) || !finite(em) || em <= 0)
        return;
    m_canvas.countDecodedPixels(count * kCostPerOutlinedCharacter);
    if (m_canvas.exhausted())
        return;
    const double k = em / kLayoutPixels;
    const QFont qfont = layoutFont(font->font);
    const QFontMetricsF metrics(qfont);
    QPainterPath path;
    QPointF pen(d.f32(16 + 2 * count), d.f32(16 + 2 * count + 4));
    for (qint64 i = 0; i < count; ++i) {
        const QString c(QChar(d.u16(16 + 2 * i)));
        const QPointF at = realized ? pen : QPointF(d.f32(16 + 2 * count + 8 * i), d.f32(16 + 2 * count + 8 * i + 4));
        if (!finite(at.x()) || !finite(at.y()))
            return;
        QPainterPath glyph;
        glyph.addText(0, 0, qfont, c);
        path.addPath(QTransform(k, 0, 0, k, at.x(), at.y()).map(glyph));
        pen = at + QPointF(metrics.horizontalAdvance(c) * k, 0);
    }
    const qint64 matrixAt = 16 + 10 * count;
    if (d.u32(8) != 0 && d.has(matrixAt, 24)) {
        const QTransform m = matrix(d, matrixAt);
        if (!finiteTransform(m))
            return;
        path = m.map(path);
    }
    const bool antialias = m_s.antialias;
    m_s.antialias = true;
    fill(path, *brush);
    m_s.antialias = antialias;
}

void EmfPlusPlayer::image(int id, const QRectF& source, const std::array<QPointF, 3>& corners)
{
    const Object* o = objectAt(id, Object::Kind::Image);
    if (!o || !sensibleRect(source) || source.width() == 0 || source.height() == 0)
        return;
    for (const QPointF& p : corners) {
        if (!finite(p.x()) || !finite(p.y()))
            return;
    }
    const QPointF across = (corners[1] - corners[0]) / source.width();
    const QPointF down = (corners[2] - corners[0]) / source.height();
    const QTransform sourceToWorld(across.x(), across.y(), down.x(), down.y(),
                                   corners[0].x() - source.x() * across.x() - source.y() * down.x(),
                                   corners[0].y() - source.x() * across.y() - source.y() * down.y());
    const QTransform t = sourceToWorld * toPicture();
    if (!finiteTransform(t))
        return;
    const QRect part = source.normalized().toAlignedRect().intersected(o->image.rect());
    m_canvas.plusImage(t, o->image, part, clips(), m_s.smoothImages);
}

void EmfPlusPlayer::combineClip(const QPainterPath& picture, int mode)
{
    if (mode == 0) { // replace
        m_s.clip = withinReach(picture);
        return;
    }
    if (!m_s.clip) {
        // No clip is everything: intersecting gives the new area, uniting leaves everything.
        if (mode == 1)
            m_s.clip = withinReach(picture);
        if (mode == 1 || mode == 2)
            return;
    }
    const QPainterPath current = m_s.clip ? *m_s.clip : rectPath(m_canvas.visible().adjusted(-1, -1, 1, 1));
    const qint64 elements = qint64(current.elementCount()) + picture.elementCount();
    m_canvas.countDecodedPixels(elements * kCostPerClipElement);
    if (elements > kMaxClipElements)
        return;
    switch (mode) {
    case 1: m_s.clip = current.intersected(picture); break;
    case 2: m_s.clip = current.united(picture); break;
    case 3: m_s.clip = current.united(picture).subtracted(current.intersected(picture)); break;
    case 4: m_s.clip = current.subtracted(picture); break;
    case 5: m_s.clip = picture.subtracted(current); break;
    default: break;
    }
}

// A clip reaching far beyond the picture (an infinite region, say, under a large transform) is
// cut down to what can be seen: Qt's clipping loses such coordinates.
QPainterPath EmfPlusPlayer::withinReach(const QPainterPath& clip)
{
    const QRectF seen = m_canvas.visible().adjusted(-1, -1, 1, 1);
    if (seen.adjusted(-kClipReach, -kClipReach, kClipReach, kClipReach).contains(clip.controlPointRect()))
        return clip;
    m_canvas.countDecodedPixels(qint64(clip.elementCount() + 5) * kCostPerClipElement);
    if (clip.elementCount() > kMaxClipElements)
        return QPainterPath(); // nothing that big is a real picture's clip
    return clip.intersected(rectPath(seen));
}

QList<QPainterPath> EmfPlusPlayer::clips() const
{
    QList<QPainterPath> all = m_s.outerClips;
    if (m_s.clip)
        all.append(*m_s.clip);
    return all;
}

// A container draws with its own transform, clip and quality settings, starting from identity,
// no clip of its own (what it draws stays inside the clips around it) and the default quality.
void EmfPlusPlayer::beginContainer(quint32 index, const QTransform& fit)
{
    saveState(index);
    m_s.container = fit * m_s.world * m_s.container;
    m_s.world = QTransform();
    if (m_s.clip) {
        if (m_s.outerClips.size() < kMaxNestedClips) {
            m_s.outerClips.append(*m_s.clip);
        } else {
            // Containers nested this deep fold their clips into the innermost one kept.
            QPainterPath& last = m_s.outerClips.last();
            const qint64 elements = qint64(last.elementCount()) + m_s.clip->elementCount();
            m_canvas.countDecodedPixels(elements * kCostPerClipElement);
            last = elements > kMaxClipElements ? QPainterPath() : last.intersected(*m_s.clip);
        }
    }
    m_s.clip.reset();
    m_s.antialias = false;
    m_s.smoothImages = true;
}

void EmfPlusPlayer::saveState(quint32 index)
{
    if (m_saved.size() >= kMaxSaved)
        m_saved.erase(m_saved.begin());
    m_saved.emplace_back(index, m_s);
}

void EmfPlusPlayer::restoreState(quint32 index)
{
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
        if (it->first == index) {
            m_s = it->second;
            m_saved.erase(std::prev(it.base()), m_saved.end());
            return;
        }
    }
}

} // namespace metafile

#include "metafile/EmfPlusObjects.h"

#include "metafile/EmfPlusGeometry.h"

#include <QLinearGradient>

#include <algorithm>

namespace metafile::emfplus {

using namespace gdiplus;

namespace {

constexpr int kMaxGradientStops = 1024;
constexpr qint64 kMaxDashes = 1024;

Qt::PenCapStyle capStyle(quint32 cap)
{
    switch (LineCap(cap)) {
    case LineCap::Square: return Qt::SquareCap;
    case LineCap::Round: return Qt::RoundCap;
    default: return Qt::FlatCap;
    }
}

Qt::PenJoinStyle joinStyle(quint32 join)
{
    switch (LineJoin(join)) {
    case LineJoin::Bevel: return Qt::BevelJoin;
    case LineJoin::Round: return Qt::RoundJoin;
    default: return Qt::SvgMiterJoin; // a miter cut at the limit, as GDI+ draws it
    }
}

Qt::BrushStyle hatchPattern(quint32 style)
{
    switch (HatchStyle(style)) {
    case HatchStyle::Horizontal: return Qt::HorPattern;
    case HatchStyle::Vertical: return Qt::VerPattern;
    case HatchStyle::ForwardDiagonal: return Qt::FDiagPattern;
    case HatchStyle::BackwardDiagonal: return Qt::BDiagPattern;
    case HatchStyle::Cross: return Qt::CrossPattern;
    case HatchStyle::DiagonalCross: return Qt::DiagCrossPattern;
    default: return Qt::Dense4Pattern; // the many dotted and textured hatches, as half-tones
    }
}

// GDI+'s own patterns, in pen widths, which are tighter than Qt's.
void setLineStyle(QPen& pen, quint32 style)
{
    switch (LineStyle(style)) {
    case LineStyle::Dash: pen.setDashPattern({ 3, 1 }); break;
    case LineStyle::Dot: pen.setDashPattern({ 1, 1 }); break;
    case LineStyle::DashDot: pen.setDashPattern({ 3, 1, 1, 1 }); break;
    case LineStyle::DashDotDot: pen.setDashPattern({ 3, 1, 1, 1, 1, 1 }); break;
    default: break;
    }
}

// The optional fields of a pen, one after the other as its flags announce them.
struct PenFields {
    Bytes b;
    quint32 flags = 0;
    qint64 at = 20;

    // Where the field of the given flag is, when the pen has it; at moves past it.
    std::optional<qint64> take(quint32 flag, qint64 size)
    {
        if (!(flags & flag))
            return std::nullopt;
        const qint64 here = at;
        at += size;
        return here;
    }
};

// Caps, joins, the miter limit, the line style and the dash offset; the dashes' own cap.
DashedLineCap readLineShape(PenFields& f, QPen& pen)
{
    f.take(PenData::Transform, 24); // a transform of the pen's shape, rarely other than none
    if (const auto at = f.take(PenData::StartCap, 4))
        pen.setCapStyle(capStyle(f.b.u32(*at)));
    f.take(PenData::EndCap, 4); // Qt gives both ends one cap
    if (const auto at = f.take(PenData::Join, 4))
        pen.setJoinStyle(joinStyle(f.b.u32(*at)));
    if (const auto at = f.take(PenData::MiterLimit, 4)) {
        const double limit = f.b.f32(*at);
        if (finite(limit) && limit > 0)
            pen.setMiterLimit(limit);
    }
    if (const auto at = f.take(PenData::LineStyle, 4))
        setLineStyle(pen, f.b.u32(*at));
    DashedLineCap dashCap = DashedLineCap::Flat;
    if (const auto at = f.take(PenData::DashedLineCap, 4))
        dashCap = DashedLineCap(f.b.u32(*at));
    if (const auto at = f.take(PenData::DashedLineOffset, 4)) {
        const double offset = f.b.f32(*at);
        if (finite(offset))
            pen.setDashOffset(offset);
    }
    return dashCap;
}

bool readDashes(PenFields& f, QPen& pen)
{
    const auto at = f.take(PenData::DashedLine, 4);
    if (!at)
        return true;
    const qint64 count = f.b.u32(*at);
    if (count < 0 || count > kMaxDashes || !f.b.has(f.at, 4 * count))
        return false;
    QList<qreal> dashes;
    for (qint64 i = 0; i < count; ++i) {
        const double d = f.b.f32(f.at);
        f.at += 4;
        dashes.append(finite(d) && d > 0 ? d : 1);
    }
    if (dashes.size() % 2 == 1)
        dashes.append(dashes.last());
    if (!dashes.isEmpty())
        pen.setDashPattern(dashes);
    return true;
}

// Qt puts the pen's cap on both ends of every dash, where GDI+ gives the dashes a cap of their
// own, flat unless the pen says round, and keeps a round one inside the dash.
void capDashes(QPen& pen, DashedLineCap dashCap)
{
    if (pen.style() != Qt::CustomDashLine)
        return;
    const bool round = dashCap == DashedLineCap::Round;
    pen.setCapStyle(round ? Qt::RoundCap : Qt::FlatCap);
    if (!round)
        return;
    QList<qreal> pattern = pen.dashPattern();
    for (qsizetype i = 0; i + 1 < pattern.size(); i += 2) {
        const double shorter = std::max(pattern[i] - 1, 0.001);
        pattern[i + 1] += pattern[i] - shorter;
        pattern[i] = shorter;
    }
    pen.setDashPattern(pattern);
}

// The fields no stroke drawn here uses: passed over to reach the pen's brush.
bool skipUnused(PenFields& f)
{
    f.take(PenData::NonCenter, 4);
    if (const auto at = f.take(PenData::CompoundLine, 4)) {
        const qint64 count = f.b.u32(*at);
        if (count < 0 || count > kMaxDashes)
            return false;
        f.at += 4 * count;
    }
    for (quint32 customCap : { PenData::CustomStartCap, PenData::CustomEndCap }) {
        if (const auto at = f.take(customCap, 4)) {
            const qint64 size = f.b.u32(*at);
            if (size < 0 || size > f.b.size())
                return false;
            f.at += size;
        }
    }
    return true;
}

// The transform a texture or gradient brush may carry at offset, which moves past it; false when
// the brush is cut short there.
bool readBrushTransform(Bytes d, quint32 flags, qint64& offset, QTransform& transform)
{
    if (!(flags & BrushData::Transform))
        return true;
    if (!d.has(offset, 24))
        return false;
    transform = matrixAt(d, offset);
    offset += 24;
    return true;
}

std::optional<QBrush> textureBrush(Bytes d, const AffordPixels& afford)
{
    if (!d.has(0, 8))
        return std::nullopt;
    qint64 offset = 8;
    QTransform transform;
    if (!readBrushTransform(d, d.u32(0), offset, transform))
        return std::nullopt;
    const std::optional<QImage> texture = image(d.from(offset), afford);
    if (!texture || texture->isNull() || !finiteTransform(transform))
        return std::nullopt;
    QBrush brush(*texture);
    brush.setTransform(transform);
    return brush;
}

// A path gradient, shown as the mean of its centre and its edge.
std::optional<QBrush> pathGradientBrush(Bytes d)
{
    if (!d.has(0, 24))
        return std::nullopt;
    const QColor centre = argb(d.u32(8));
    const qint64 surrounding = d.u32(20);
    const QColor edge = surrounding > 0 && d.has(24, 4) ? argb(d.u32(24)) : centre;
    return QBrush(QColor((centre.red() + edge.red()) / 2, (centre.green() + edge.green()) / 2,
                         (centre.blue() + edge.blue()) / 2, (centre.alpha() + edge.alpha()) / 2));
}

// Preset colours at their positions, or blend factors between the start and end colours.
QGradientStops gradientStops(Bytes d, qint64 offset, quint32 flags, const QColor& start, const QColor& end)
{
    QGradientStops stops;
    const qint64 count = d.u32(offset);
    if (count <= 0 || count > kMaxGradientStops || !d.has(offset + 4, 8 * count))
        return stops;
    const bool preset = flags & BrushData::PresetColors;
    if (!preset && !(flags & BrushData::BlendFactorsH))
        return stops;
    for (qint64 i = 0; i < count; ++i) {
        const double position = d.f32(offset + 4 + 4 * i);
        if (!finite(position))
            continue;
        const qint64 second = offset + 4 + 4 * count + 4 * i;
        if (preset) {
            stops.append({ std::clamp(position, 0.0, 1.0), argb(d.u32(second)) });
            continue;
        }
        const double factor = std::clamp(double(d.f32(second)), 0.0, 1.0);
        const auto mix = [&](int a, int z) { return int(std::lround(a + (z - a) * factor)); };
        stops.append({ std::clamp(position, 0.0, 1.0),
                       QColor(mix(start.red(), end.red()), mix(start.green(), end.green()),
                              mix(start.blue(), end.blue()), mix(start.alpha(), end.alpha())) });
    }
    return stops;
}

// A linear gradient across a rectangle.
std::optional<QBrush> linearGradientBrush(Bytes d)
{
    if (!d.has(0, 40))
        return std::nullopt;
    const quint32 flags = d.u32(0);
    const auto wrap = WrapMode(d.u32(4));
    const QRectF box(d.f32(8), d.f32(12), d.f32(16), d.f32(20));
    const QColor start = argb(d.u32(24));
    const QColor end = argb(d.u32(28));
    if (!sensibleRect(box))
        return std::nullopt;
    QLinearGradient gradient(box.left(), box.top(), box.right(), box.top());
    gradient.setSpread(wrap == WrapMode::Clamp ? QGradient::PadSpread
                           : wrap == WrapMode::Tile ? QGradient::RepeatSpread
                                                    : QGradient::ReflectSpread);
    gradient.setColorAt(0, start);
    gradient.setColorAt(1, end);
    qint64 offset = 40;
    QTransform transform;
    if (!readBrushTransform(d, flags, offset, transform))
        return std::nullopt;
    const QGradientStops stops = gradientStops(d, offset, flags, start, end);
    if (!stops.isEmpty())
        gradient.setStops(stops);
    if (!finiteTransform(transform))
        return std::nullopt;
    QBrush brush(gradient);
    brush.setTransform(transform);
    return brush;
}

// A brush as GDI+ serializes one; a hatch's background colour in *hatchBack.
std::optional<QBrush> brushAt(Bytes b, std::optional<QColor>* hatchBack, const AffordPixels& afford)
{
    if (!b.has(0, 8))
        return std::nullopt;
    const Bytes d = b.from(8);
    switch (BrushType(b.u32(4))) {
    case BrushType::SolidColor:
        if (!d.has(0, 4))
            return std::nullopt;
        return QBrush(argb(d.u32(0)));
    case BrushType::HatchFill:
        if (!d.has(0, 12))
            return std::nullopt;
        if (hatchBack)
            *hatchBack = argb(d.u32(8));
        return QBrush(argb(d.u32(4)), hatchPattern(d.u32(0)));
    case BrushType::TextureFill: return textureBrush(d, afford);
    case BrushType::PathGradient: return pathGradientBrush(d);
    case BrushType::LinearGradient: return linearGradientBrush(d);
    default: return std::nullopt;
    }
}

} // namespace

std::optional<Paint> brush(Bytes data, const AffordPixels& afford)
{
    std::optional<QColor> back;
    const std::optional<QBrush> brush = brushAt(data, &back, afford);
    if (!brush)
        return std::nullopt;
    return Paint { *brush, back };
}

std::optional<Pen> pen(Bytes b, const AffordPixels& afford)
{
    if (!b.has(0, 20) || b.u32(4) != 0)
        return std::nullopt;
    Pen pen;
    pen.unit = Unit(b.u32(12));
    pen.width = b.f32(16);
    if (!finite(pen.width) || pen.width < 0)
        return std::nullopt;
    pen.pen = QPen(Qt::SolidLine);
    pen.pen.setCapStyle(Qt::FlatCap);
    pen.pen.setJoinStyle(Qt::SvgMiterJoin);
    pen.pen.setMiterLimit(10);
    PenFields fields { b, b.u32(8) };
    const DashedLineCap dashCap = readLineShape(fields, pen.pen);
    if (!readDashes(fields, pen.pen))
        return std::nullopt;
    capDashes(pen.pen, dashCap);
    if (!skipUnused(fields) || !b.has(fields.at, 8))
        return std::nullopt;
    const std::optional<QBrush> brush = brushAt(b.from(fields.at), nullptr, afford);
    if (!brush)
        return std::nullopt;
    pen.brush = *brush;
    return pen;
}

std::optional<Font> font(Bytes d)
{
    const qint64 length = d.u32(20);
    if (!d.has(0, 24) || length < 0 || length > 256 || !d.has(24, 2 * length) || !finite(d.f32(4)) || d.f32(4) <= 0)
        return std::nullopt;
    Font font;
    font.emSize = d.f32(4);
    font.unit = Unit(d.u32(8));
    font.style = int(d.u32(12));
    for (qint64 i = 0; i < length; ++i)
        font.family.append(QChar(d.u16(24 + 2 * i)));
    return font;
}

std::optional<Format> stringFormat(Bytes d)
{
    if (!d.has(0, 20))
        return std::nullopt;
    Format format;
    format.flags = d.u32(4);
    format.align = StringAlignment(std::min<quint32>(d.u32(12), 2));
    format.lineAlign = StringAlignment(std::min<quint32>(d.u32(16), 2));
    return format;
}

Object object(ObjectType type, Bytes d, const AffordPixels& afford)
{
    Object o;
    const auto set = [&o](auto value, Object::Kind kind, auto Object::*field) {
        if (value) {
            o.kind = kind;
            o.*field = std::move(*value);
        }
    };
    switch (type) {
    case ObjectType::Brush: set(brush(d, afford), Object::Kind::Brush, &Object::paint); break;
    case ObjectType::Pen: set(pen(d, afford), Object::Kind::Pen, &Object::pen); break;
    case ObjectType::Path: set(path(d), Object::Kind::Path, &Object::path); break;
    case ObjectType::Region: {
        RegionArea region = emfplus::region(d);
        o.regionElements = region.elements;
        set(std::move(region.area), Object::Kind::Region, &Object::path);
        break;
    }
    case ObjectType::Image:
        set(image(d, afford), Object::Kind::Image, &Object::image);
        if (const std::optional<Bytes> emf = embeddedEmf(d); emf && o.kind == Object::Kind::None)
            set(std::optional(emf->view().toByteArray()), Object::Kind::Image, &Object::picture);
        break;
    case ObjectType::Font: set(font(d), Object::Kind::Font, &Object::font); break;
    case ObjectType::StringFormat: set(stringFormat(d), Object::Kind::Format, &Object::format); break;
    default: break;
    }
    return o;
}

} // namespace metafile::emfplus

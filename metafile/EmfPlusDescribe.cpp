#include "metafile/EmfPlusGeometry.h"
#include "metafile/EmfPlusImage.h"
#include "metafile/EmfPlusObjects.h"
#include "metafile/EmfPlusRecords.h"

#include "metafile/MetafileDib.h"

#include <QStringList>

#include <array>

namespace metafile::emfplus {

using namespace gdiplus;

namespace {

// Names in record type order from EmfPlusHeader (0x4001) on: table-like data.
constexpr std::array<const char*, 58> kRecordNames = {
    "EmfPlusHeader", "EmfPlusEndOfFile", "EmfPlusComment", "EmfPlusGetDC",
    "EmfPlusMultiFormatStart", "EmfPlusMultiFormatSection", "EmfPlusMultiFormatEnd", "EmfPlusObject",
    "EmfPlusClear", "EmfPlusFillRects", "EmfPlusDrawRects", "EmfPlusFillPolygon",
    "EmfPlusDrawLines", "EmfPlusFillEllipse", "EmfPlusDrawEllipse", "EmfPlusFillPie",
    "EmfPlusDrawPie", "EmfPlusDrawArc", "EmfPlusFillRegion", "EmfPlusFillPath",
    "EmfPlusDrawPath", "EmfPlusFillClosedCurve", "EmfPlusDrawClosedCurve", "EmfPlusDrawCurve",
    "EmfPlusDrawBeziers", "EmfPlusDrawImage", "EmfPlusDrawImagePoints", "EmfPlusDrawString",
    "EmfPlusSetRenderingOrigin", "EmfPlusSetAntiAliasMode", "EmfPlusSetTextRenderingHint", "EmfPlusSetTextContrast",
    "EmfPlusSetInterpolationMode", "EmfPlusSetPixelOffsetMode", "EmfPlusSetCompositingMode", "EmfPlusSetCompositingQuality",
    "EmfPlusSave", "EmfPlusRestore", "EmfPlusBeginContainer", "EmfPlusBeginContainerNoParams",
    "EmfPlusEndContainer", "EmfPlusSetWorldTransform", "EmfPlusResetWorldTransform", "EmfPlusMultiplyWorldTransform",
    "EmfPlusTranslateWorldTransform", "EmfPlusScaleWorldTransform", "EmfPlusRotateWorldTransform", "EmfPlusSetPageTransform",
    "EmfPlusResetClip", "EmfPlusSetClipRect", "EmfPlusSetClipPath", "EmfPlusSetClipRegion",
    "EmfPlusOffsetClip", "EmfPlusDrawDriverString", "EmfPlusStrokeFillPath", "EmfPlusSerializableObject",
    "EmfPlusSetTSGraphics", "EmfPlusSetTSClip",
};
static_assert(kRecordNames.size() == std::size_t(RecordType::SetTSClip) - std::size_t(RecordType::Header) + 1);

// A record's fields, "name=value" one after the other.
class Fields {
public:
    Fields& add(const char* name, const QString& value)
    {
        m_parts.append(QLatin1String(name) + QLatin1Char('=') + value);
        return *this;
    }
    Fields& add(const char* name, qint64 value) { return add(name, QString::number(value)); }
    Fields& add(const char* name, double value) { return add(name, QString::number(value, 'g', 6)); }
    Fields& add(const char* name, bool value) { return add(name, QString::fromLatin1(value ? "yes" : "no")); }
    Fields& hex(const char* name, quint32 value) { return add(name, QStringLiteral("0x%1").arg(value, 0, 16)); }
    Fields& colour(const char* name, quint32 value) { return add(name, QStringLiteral("#%1").arg(value, 8, 16, QLatin1Char('0'))); }
    Fields& rect(const char* name, const QRectF& r)
    {
        return add(name, QStringLiteral("(%1,%2 %3x%4)").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()));
    }
    Fields& brush(const BrushRef& b) { return b.isColour ? colour("colour", b.value) : add("brush", qint64(b.value)); }
    Fields& points(const char* name, const PointList& list)
    {
        add("count", list.count);
        const QList<QPointF> pts = list.read();
        if (pts.size() != list.count)
            return add(name, QStringLiteral("unreadable"));
        QStringList shown;
        for (qsizetype i = 0; i < std::min<qsizetype>(pts.size(), kShownPoints); ++i)
            shown.append(QStringLiteral("%1,%2").arg(pts[i].x()).arg(pts[i].y()));
        if (pts.size() > kShownPoints)
            shown.append(QStringLiteral("..."));
        return add(name, QLatin1Char('[') + shown.join(QLatin1Char(' ')) + QLatin1Char(']'));
    }
    Fields& matrix(const char* name, const QTransform& m)
    {
        return add(name, QStringLiteral("[%1 %2 %3 %4 %5 %6]").arg(m.m11()).arg(m.m12()).arg(m.m21()).arg(m.m22()).arg(m.dx()).arg(m.dy()));
    }
    QString text() const { return m_parts.join(QLatin1Char(' ')); }

private:
    static constexpr qsizetype kShownPoints = 8;
    QStringList m_parts;
};

QString unitName(Unit unit)
{
    switch (unit) {
    case Unit::World: return QStringLiteral("world");
    case Unit::Display: return QStringLiteral("display");
    case Unit::Pixel: return QStringLiteral("pixel");
    case Unit::Point: return QStringLiteral("point");
    case Unit::Inch: return QStringLiteral("inch");
    case Unit::Document: return QStringLiteral("document");
    case Unit::Millimeter: return QStringLiteral("millimeter");
    default: return QString::number(quint32(unit));
    }
}

QString combineModeName(CombineMode mode)
{
    switch (mode) {
    case CombineMode::Replace: return QStringLiteral("replace");
    case CombineMode::Intersect: return QStringLiteral("intersect");
    case CombineMode::Union: return QStringLiteral("union");
    case CombineMode::Xor: return QStringLiteral("xor");
    case CombineMode::Exclude: return QStringLiteral("exclude");
    case CombineMode::Complement: return QStringLiteral("complement");
    default: return QString::number(quint32(mode));
    }
}

QString brushTypeName(quint32 type)
{
    switch (BrushType(type)) {
    case BrushType::SolidColor: return QStringLiteral("solid");
    case BrushType::HatchFill: return QStringLiteral("hatch");
    case BrushType::TextureFill: return QStringLiteral("texture");
    case BrushType::PathGradient: return QStringLiteral("pathgradient");
    case BrushType::LinearGradient: return QStringLiteral("lineargradient");
    default: return QString::number(type);
    }
}

const char* objectTypeName(ObjectType type)
{
    switch (type) {
    case ObjectType::Brush: return "brush";
    case ObjectType::Pen: return "pen";
    case ObjectType::Path: return "path";
    case ObjectType::Region: return "region";
    case ObjectType::Image: return "image";
    case ObjectType::Font: return "font";
    case ObjectType::StringFormat: return "stringformat";
    case ObjectType::ImageAttributes: return "imageattributes";
    case ObjectType::CustomLineCap: return "customlinecap";
    default: return "invalid";
    }
}

void describeImage(Fields& f, Bytes data)
{
    const std::optional<BitmapHeader> h = BitmapHeader::read(data);
    if (!h)
        return void(f.add("image", QStringLiteral("unreadable")));
    if (h->imageType != ImageType::Bitmap)
        return void(f.add("image", QStringLiteral("metafile or unknown, not drawn")));
    f.add("width", qint64(h->width)).add("height", qint64(h->height)).add("stride", qint64(h->stride));
    f.hex("pixelformat", h->pixelFormat);
    if (h->bitmapType == BitmapType::Compressed)
        f.add("compressed", QString::fromLatin1(compressedFormat(h->data).isEmpty() ? "unknown" : compressedFormat(h->data)));
}

// An object's contents as the player would hold them.
void describeObject(Fields& f, ObjectType type, Bytes data)
{
    // Decoding is limited only by the size a single picture may have.
    const AffordPixels afford = [](qint64 pixels) { return pixels <= kMaxDibPixels; };
    if (type == ObjectType::Image)
        return describeImage(f, data);
    if (type == ObjectType::Region) {
        const RegionArea region = emfplus::region(data);
        if (region.area)
            f.rect("bounds", region.area->boundingRect());
        return void(f.add("elements", region.elements).add("readable", region.area.has_value()));
    }
    const Object o = object(type, data, afford);
    switch (o.kind) {
    case Object::Kind::Brush:
        f.add("brush", brushTypeName(data.u32(4))).colour("colour", o.paint.brush.color().rgba());
        break;
    case Object::Kind::Pen:
        f.add("width", o.pen.width).add("unit", unitName(o.pen.unit)).add("dashes", o.pen.pen.style() == Qt::CustomDashLine);
        f.colour("colour", o.pen.brush.color().rgba());
        break;
    case Object::Kind::Path: f.add("elements", qint64(o.path.elementCount())).rect("bounds", o.path.boundingRect()); break;
    case Object::Kind::Font:
        f.add("emsize", o.font.emSize).add("unit", unitName(o.font.unit)).add("style", qint64(o.font.style));
        f.add("family", QLatin1Char('"') + o.font.family + QLatin1Char('"'));
        break;
    case Object::Kind::Format:
        f.hex("flags", o.format.flags).add("align", qint64(o.format.align)).add("linealign", qint64(o.format.lineAlign));
        break;
    default: f.add("readable", false); break;
    }
}

void fields(Fields& f, const Header& h)
{
    f.add("dual", h.dual).hex("version", h.version).hex("plusflags", h.plusFlags);
    f.add("dpix", qint64(h.dpiX)).add("dpiy", qint64(h.dpiY));
}
void fields(Fields& f, const ObjectRecord& o)
{
    f.add("id", qint64(o.id)).add("type", QString::fromLatin1(objectTypeName(o.objectType))).add("bytes", o.data.size());
    if (!o.continued)
        describeObject(f, o.objectType, o.data);
}
void fields(Fields& f, const Clear& c) { f.colour("colour", c.colour); }
void fields(Fields& f, const FillRects& r) { f.brush(r.brush).add("count", r.rects.count).add("compressed", r.rects.compressed); }
void fields(Fields& f, const DrawRects& r) { f.add("pen", qint64(r.pen)).add("count", r.rects.count).add("compressed", r.rects.compressed); }
void fields(Fields& f, const FillPolygon& r) { f.brush(r.brush).points("points", r.points); }
void fields(Fields& f, const DrawLines& r) { f.add("pen", qint64(r.pen)).add("closed", r.closed).points("points", r.points); }
void fields(Fields& f, const FillEllipse& r) { f.brush(r.brush).rect("box", r.box); }
void fields(Fields& f, const DrawEllipse& r) { f.add("pen", qint64(r.pen)).rect("box", r.box); }
void fields(Fields& f, const FillPie& r) { f.brush(r.brush).add("start", double(r.startAngle)).add("sweep", double(r.sweepAngle)).rect("box", r.box); }
void fields(Fields& f, const DrawArc& r)
{
    f.add("pen", qint64(r.pen)).add("start", double(r.startAngle)).add("sweep", double(r.sweepAngle)).rect("box", r.box);
}
void fields(Fields& f, const FillShape& r) { f.brush(r.brush).add(r.region ? "region" : "path", qint64(r.shape)); }
void fields(Fields& f, const DrawPath& r) { f.add("path", qint64(r.path)).add("pen", qint64(r.pen)); }
void fields(Fields& f, const FillClosedCurve& r)
{
    f.brush(r.brush).add("winding", r.winding).add("tension", double(r.tension)).points("points", r.points);
}
void fields(Fields& f, const DrawClosedCurve& r) { f.add("pen", qint64(r.pen)).add("tension", double(r.tension)).points("points", r.points); }
void fields(Fields& f, const DrawCurve& r)
{
    f.add("pen", qint64(r.pen)).add("tension", double(r.tension)).add("offset", r.offset).add("segments", r.segments);
    f.points("points", r.points);
}
void fields(Fields& f, const DrawBeziers& r) { f.add("pen", qint64(r.pen)).points("points", r.points); }
void fields(Fields& f, const DrawImage& r)
{
    f.add("image", qint64(r.image)).add("sourceunit", unitName(r.sourceUnit)).rect("source", r.source).rect("dest", r.dest);
}
void fields(Fields& f, const DrawImagePoints& r)
{
    f.add("image", qint64(r.image)).add("sourceunit", unitName(r.sourceUnit)).rect("source", r.source).points("corners", r.corners);
}
void fields(Fields& f, const DrawString& r)
{
    f.add("font", qint64(r.font)).brush(r.brush).add("format", qint64(r.format)).rect("layout", r.layout);
    f.add("text", QLatin1Char('"') + r.text + QLatin1Char('"'));
}
void fields(Fields& f, const DrawDriverString& r)
{
    f.add("font", qint64(r.font)).brush(r.brush).hex("options", r.options).add("count", r.count);
    QString text;
    for (qint64 i = 0; i < r.count; ++i)
        text.append(r.glyph(i));
    f.add("glyphs", QLatin1Char('"') + text + QLatin1Char('"'));
    const QPointF first = r.position(0);
    f.add("first", QStringLiteral("%1,%2").arg(first.x()).arg(first.y()));
    if (const std::optional<QTransform> m = r.matrix())
        f.matrix("matrix", *m);
}
void fields(Fields& f, const SetAntiAliasMode& r) { f.add("antialias", r.antialias).add("smoothing", qint64(r.smoothing)); }
void fields(Fields& f, const SetInterpolationMode& r) { f.add("mode", qint64(r.mode)); }
void fields(Fields& f, const StackIndex& r) { f.add("index", qint64(r.index)); }
void fields(Fields& f, const BeginContainer& r)
{
    f.add("unit", unitName(r.unit)).rect("dest", r.dest).rect("source", r.source).add("index", qint64(r.index));
}
void fields(Fields& f, const SetWorldTransform& r) { f.matrix("matrix", r.matrix); }
void fields(Fields&, const ResetWorldTransform&) {}
void fields(Fields& f, const ChangeWorldTransform& r) { f.matrix("change", r.change).add("append", r.append); }
void fields(Fields& f, const SetPageTransform& r) { f.add("unit", unitName(r.unit)).add("scale", double(r.scale)); }
void fields(Fields&, const ResetClip&) {}
void fields(Fields& f, const SetClipRect& r) { f.add("mode", combineModeName(r.mode)).rect("rect", r.rect); }
void fields(Fields& f, const SetClipShape& r) { f.add(r.region ? "region" : "path", qint64(r.shape)).add("mode", combineModeName(r.mode)); }
void fields(Fields& f, const OffsetClip& r) { f.add("dx", double(r.dx)).add("dy", double(r.dy)); }

QString describeFields(const Record& r)
{
    Fields f;
    switch (visit(r, [&f](const auto& read) { fields(f, read); })) {
    case Visited::Read: return f.text();
    case Visited::TooShort: return QStringLiteral("too short: %1 bytes").arg(r.data.size());
    default: return QStringLiteral("(not played)");
    }
}

} // namespace

QString recordName(quint16 type)
{
    const int index = int(type) - int(RecordType::Header);
    if (index >= 0 && index < int(kRecordNames.size()))
        return QString::fromLatin1(kRecordNames[std::size_t(index)]);
    return QStringLiteral("EmfPlusRecord0x%1").arg(type, 4, 16, QLatin1Char('0'));
}

QString describe(const Record& record)
{
    QString text = describeFields(record);
    if (record.objectTotal)
        text = QStringLiteral("piece of an object of %1 bytes: ").arg(*record.objectTotal) + text;
    return text;
}

QString describe(quint16 type, quint16 flags, Bytes data)
{
    Record r;
    r.type = type;
    r.flags = flags;
    r.size = data.size();
    r.data = data;
    return describe(r);
}

} // namespace metafile::emfplus

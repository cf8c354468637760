#include "metafile/MetafileCanvas.h"
#include "metafile/MetafileDib.h"
#include "metafile/MetafilePlayers.h"

#include <QImage>
#include <QPainter>

#include <cmath>
#include <set>

namespace metafile {
namespace {

using Metafile::Format;
using Metafile::Problem;

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;

enum : quint16 {
    MetaEof = 0x0000,
    MetaSaveDc = 0x001E,
    MetaCreatePalette = 0x00F7,
    MetaSetBkMode = 0x0102,
    MetaSetMapMode = 0x0103,
    MetaSetRop2 = 0x0104,
    MetaInvertRegion = 0x012A,
    MetaPaintRegion = 0x012B,
    MetaSetPolyFillMode = 0x0106,
    MetaRestoreDc = 0x0127,
    MetaSelectClipRegion = 0x012C,
    MetaSelectObject = 0x012D,
    MetaSetTextAlign = 0x012E,
    MetaSetTextCharExtra = 0x0108,
    MetaDibCreatePatternBrush = 0x0142,
    MetaDeleteObject = 0x01F0,
    MetaCreatePatternBrush = 0x01F9,
    MetaSetBkColor = 0x0201,
    MetaSetTextColor = 0x0209,
    MetaSetWindowOrg = 0x020B,
    MetaSetWindowExt = 0x020C,
    MetaSetViewportOrg = 0x020D,
    MetaSetViewportExt = 0x020E,
    MetaOffsetWindowOrg = 0x020F,
    MetaOffsetViewportOrg = 0x0211,
    MetaLineTo = 0x0213,
    MetaMoveTo = 0x0214,
    MetaOffsetClipRgn = 0x0220,
    MetaFillRegion = 0x0228,
    MetaSelectPalette = 0x0234,
    MetaCreatePenIndirect = 0x02FA,
    MetaCreateFontIndirect = 0x02FB,
    MetaCreateBrushIndirect = 0x02FC,
    MetaPolygon = 0x0324,
    MetaPolyline = 0x0325,
    MetaScaleWindowExt = 0x0410,
    MetaScaleViewportExt = 0x0412,
    MetaExcludeClipRect = 0x0415,
    MetaIntersectClipRect = 0x0416,
    MetaEllipse = 0x0418,
    MetaRectangle = 0x041B,
    MetaSetPixel = 0x041F,
    MetaFrameRegion = 0x0429,
    MetaTextOut = 0x0521,
    MetaPolyPolygon = 0x0538,
    MetaRoundRect = 0x061C,
    MetaPatBlt = 0x061D,
    MetaCreateRegion = 0x06FF,
    MetaArc = 0x0817,
    MetaPie = 0x081A,
    MetaChord = 0x0830,
    MetaBitBlt = 0x0922,
    MetaDibBitBlt = 0x0940,
    MetaExtTextOut = 0x0A32,
    MetaStretchBlt = 0x0B23,
    MetaDibStretchBlt = 0x0B41,
    MetaSetDibToDev = 0x0D33,
    MetaStretchDib = 0x0F43,
};

bool standardHeader(Bytes file, qint64 at)
{
    const quint16 type = file.u16(at);
    const quint16 version = file.u16(at + 4);
    return file.has(at, 18) && (type == 1 || type == 2) && file.u16(at + 2) == 9
        && (version == 0x0100 || version == 0x0300);
}

// A WMF record's parameters, 16-bit words after the size and function.
struct Params {
    Bytes b;
    qint64 words() const { return b.size() / 2; }
    bool need(qint64 n) const { return words() >= n; }
    double s(qint64 i) const { return b.i16(2 * i); }
    quint16 u(qint64 i) const { return b.u16(2 * i); }
    quint32 u32(qint64 i) const { return b.u32(2 * i); }
    QPointF point(qint64 i) const { return QPointF(s(i + 1), s(i)); } // stored y first
    QRectF rect(qint64 i) const // bottom, right, top, left
    {
        return QRectF(QPointF(s(i + 3), s(i + 2)), QPointF(s(i + 1), s(i)));
    }
};

struct Object {
    enum class Kind { Empty, Pen, Brush, Font, Palette, Region, Other };
    Kind kind = Kind::Empty;
    GdiPen pen;
    GdiBrush brush;
    GdiFont font;
    QList<QRgb> palette;
    QPainterPath region;
};

constexpr qint64 kMaxRegionRects = 16384;

// A region object: a bounding box and bands of equal height, each a row of left-right spans.
// A region with no bands is empty, as GDI makes it; a band that does not add up ends the region
// where it stands.
QPainterPath readRegion(const Params& p)
{
    QPainterPath region;
    region.setFillRule(Qt::WindingFill);
    if (!p.need(11))
        return region;
    const qint64 bands = p.u(5);
    qint64 word = 11;
    qint64 rects = 0;
    for (qint64 band = 0; band < bands && p.need(word + 3); ++band) {
        const qint64 count = p.u(word); // words of spans: two per span
        if (count % 2 != 0 || !p.need(word + 3 + count + 1) || p.u(word + 3 + count) != count)
            break;
        const double top = p.s(word + 1);
        const double bottom = p.s(word + 2);
        for (qint64 i = 0; i < count / 2 && rects < kMaxRegionRects; ++i, ++rects) {
            const double left = p.s(word + 3 + 2 * i);
            const double right = p.s(word + 4 + 2 * i);
            region.addRect(QRectF(QPointF(left, top), QPointF(right, bottom)).normalized());
        }
        word += 3 + count + 1;
    }
    return region;
}

// GDI's metafile object table: each new object takes the lowest free slot.
class ObjectTable {
public:
    explicit ObjectTable(int capacity)
        : m_capacity(capacity)
    {
    }
    void add(Object object)
    {
        if (!m_free.empty()) {
            const int slot = *m_free.begin();
            m_free.erase(m_free.begin());
            m_objects[std::size_t(slot)] = std::move(object);
        } else if (m_objects.size() < std::size_t(m_capacity)) {
            m_objects.push_back(std::move(object));
        }
        // A full table drops the object, as GDI would fail to create it.
    }
    const Object* at(quint16 index) const
    {
        if (index >= m_objects.size() || m_objects[index].kind == Object::Kind::Empty)
            return nullptr;
        return &m_objects[index];
    }
    void remove(quint16 index)
    {
        if (index >= m_objects.size() || m_objects[index].kind == Object::Kind::Empty)
            return;
        m_objects[index] = Object();
        m_free.insert(index);
    }

private:
    int m_capacity;
    std::vector<Object> m_objects;
    std::set<int> m_free;
};

QList<QPointF> points(const Params& p, qint64 firstWord, qint64 count)
{
    QList<QPointF> out;
    out.reserve(count);
    for (qint64 i = 0; i < count; ++i)
        out.append(QPointF(p.s(firstWord + 2 * i), p.s(firstWord + 2 * i + 1)));
    return out;
}

GdiFont readFont(const Params& p)
{
    GdiFont f;
    f.height = p.s(0);
    f.width = std::abs(p.s(1));
    f.escapement = p.s(2);
    f.weight = int(p.s(4));
    f.italic = p.b.u8(10) != 0;
    f.underline = p.b.u8(11) != 0;
    f.strikeOut = p.b.u8(12) != 0;
    f.charset = gdi::Charset(p.b.u8(13));
    const Bytes face = p.b.from(18);
    f.face = decodeFaceName(face.view().first(std::min<qint64>(face.size(), 32)), f.charset);
    return f;
}

void blit(MetafileCanvas& canvas, QRectF dest, Bytes dib, QRectF source, quint32 rop, quint32 usage, bool dibOrder)
{
    const Dib bitmap = decodePackedDib(dib, usage, canvas.palette());
    if (bitmap.isNull())
        return;
    canvas.countDecodedPixels(qint64(bitmap.image.width()) * bitmap.image.height());
    if (dibOrder && bitmap.bottomUp) // StretchDIBits counts a bottom-up bitmap's rows from the bottom
        source.moveTop(bitmap.image.height() - source.top() - source.height());
    canvas.stretchBlt(dest, bitmap.image, source, gdi::rasterOp(rop));
}

void blitBitmap16(MetafileCanvas& canvas, QRectF dest, Bytes bitmap, QRectF source, quint32 rop)
{
    const QImage image = decodeBitmap16(bitmap, canvas.textRgb(), canvas.bkRgb());
    if (image.isNull())
        return;
    canvas.countDecodedPixels(qint64(image.width()) * image.height());
    canvas.stretchBlt(dest, image, source, gdi::rasterOp(rop));
}

void playRecord(quint16 function, const Params& p, qint64 recordWords, MetafileCanvas& canvas, ObjectTable& objects)
{
    switch (function) {
    case MetaSetMapMode:
        if (p.need(1))
            canvas.setMapMode(gdi::MapMode(p.u(0)));
        break;
    case MetaSetWindowOrg:
        if (p.need(2))
            canvas.setWindowOrg(p.point(0));
        break;
    case MetaSetWindowExt:
        if (p.need(2))
            canvas.setWindowExt(QSizeF(p.s(1), p.s(0)));
        break;
    case MetaSetViewportOrg:
        if (p.need(2))
            canvas.setViewportOrg(p.point(0));
        break;
    case MetaSetViewportExt:
        if (p.need(2))
            canvas.setViewportExt(QSizeF(p.s(1), p.s(0)));
        break;
    case MetaOffsetWindowOrg:
        if (p.need(2))
            canvas.offsetWindowOrg(p.point(0));
        break;
    case MetaOffsetViewportOrg:
        if (p.need(2))
            canvas.offsetViewportOrg(p.point(0));
        break;
    case MetaScaleWindowExt:
        if (p.need(4))
            canvas.scaleWindowExt(p.s(3), p.s(2), p.s(1), p.s(0));
        break;
    case MetaScaleViewportExt:
        if (p.need(4))
            canvas.scaleViewportExt(p.s(3), p.s(2), p.s(1), p.s(0));
        break;
    case MetaSetBkColor:
        if (p.need(2))
            canvas.setBkColour(p.u32(0));
        break;
    case MetaSetTextColor:
        if (p.need(2))
            canvas.setTextColour(p.u32(0));
        break;
    case MetaSetBkMode:
        if (p.need(1))
            canvas.setBkMode(gdi::BkMode(p.u(0)));
        break;
    case MetaSetPolyFillMode:
        if (p.need(1))
            canvas.setPolyFillMode(gdi::PolyFillMode(p.u(0)));
        break;
    case MetaSetTextAlign:
        if (p.need(1))
            canvas.setTextAlign(gdi::TextAlign { p.u(0) });
        break;
    case MetaSetTextCharExtra:
        if (p.need(1))
            canvas.setCharExtra(p.s(0));
        break;
    case MetaSetRop2:
        if (p.need(1))
            canvas.setRop2(gdi::Rop2(p.u(0)));
        break;
    case MetaSaveDc:
        canvas.saveDC();
        break;
    case MetaRestoreDc:
        if (p.need(1))
            canvas.restoreDC(int(p.s(0)));
        break;

    case MetaCreatePenIndirect:
        if (p.need(5)) {
            Object o;
            o.kind = Object::Kind::Pen;
            o.pen.flags = gdi::PenFlags { p.u(0) };
            o.pen.width = std::abs(p.s(1));
            o.pen.colour = p.u32(3);
            objects.add(o);
        }
        break;
    case MetaCreateBrushIndirect:
        if (p.need(4)) {
            Object o;
            o.kind = Object::Kind::Brush;
            const quint16 style = p.u(0);
            o.brush.colour = p.u32(1);
            if (style == 1) {
                o.brush.kind = GdiBrush::Kind::Null;
            } else if (style == 2) {
                o.brush.kind = GdiBrush::Kind::Hatched;
                o.brush.hatch = gdi::HatchStyle(p.u(3));
            }
            objects.add(o);
        }
        break;
    case MetaDibCreatePatternBrush:
        if (p.need(2)) {
            Object o;
            o.kind = Object::Kind::Brush;
            o.brush.kind = GdiBrush::Kind::Null;
            const Dib dib = decodePackedDib(p.b.from(4), p.u(1), canvas.palette());
            if (!dib.isNull() && canvas.allowPattern(qint64(dib.image.width()) * dib.image.height())) {
                o.brush.kind = GdiBrush::Kind::Pattern;
                o.brush.pattern = dib.image;
            }
            objects.add(o); // the slot is taken even when the bitmap is not usable
        }
        break;
    case MetaCreateFontIndirect:
        if (p.need(9)) {
            Object o;
            o.kind = Object::Kind::Font;
            o.font = readFont(p);
            objects.add(o);
        }
        break;
    case MetaCreatePalette:
        if (p.need(2)) {
            Object o;
            o.kind = Object::Kind::Palette;
            const qint64 count = p.u(1);
            if (p.b.has(4, count * 4)) {
                for (qint64 i = 0; i < count; ++i)
                    o.palette.append(qRgb(p.b.u8(4 + 4 * i), p.b.u8(5 + 4 * i), p.b.u8(6 + 4 * i)));
            }
            objects.add(o);
        }
        break;
    case MetaCreatePatternBrush: {
        // A device-dependent bitmap brush; only the slot it takes matters here.
        Object o;
        o.kind = Object::Kind::Brush;
        o.brush.kind = GdiBrush::Kind::Null;
        objects.add(o);
        break;
    }
    case MetaCreateRegion: {
        Object o;
        o.kind = Object::Kind::Region;
        o.region = readRegion(p);
        objects.add(o);
        break;
    }
    case MetaFillRegion:
    case MetaPaintRegion:
        // FillRegion names its brush; PaintRegion uses the one selected. Logical units, as
        // FillRgn and PaintRgn take them.
        if (p.need(function == MetaFillRegion ? 2 : 1)) {
            const Object* region = objects.at(p.u(0));
            if (!region || region->kind != Object::Kind::Region)
                break;
            if (function == MetaPaintRegion) {
                canvas.fillRegion(region->region, canvas.brush());
            } else if (const Object* brush = objects.at(p.u(1)); brush && brush->kind == Object::Kind::Brush) {
                canvas.fillRegion(region->region, brush->brush);
            }
        }
        break;
    case MetaSelectObject:
        if (p.need(1)) {
            if (const Object* o = objects.at(p.u(0))) {
                if (o->kind == Object::Kind::Pen)
                    canvas.selectPen(o->pen);
                else if (o->kind == Object::Kind::Brush)
                    canvas.selectBrush(o->brush);
                else if (o->kind == Object::Kind::Font)
                    canvas.selectFont(o->font);
            }
        }
        break;
    case MetaSelectPalette:
        if (p.need(1)) {
            if (const Object* o = objects.at(p.u(0)); o && o->kind == Object::Kind::Palette)
                canvas.selectPalette(o->palette);
        }
        break;
    case MetaDeleteObject:
        if (p.need(1))
            objects.remove(p.u(0));
        break;

    case MetaMoveTo:
        if (p.need(2))
            canvas.moveTo(p.point(0));
        break;
    case MetaLineTo:
        if (p.need(2))
            canvas.lineTo(p.point(0));
        break;
    case MetaPolygon:
    case MetaPolyline:
        if (p.need(1)) {
            const qint64 count = p.s(0);
            if (count < 0 || !p.need(1 + 2 * count))
                break;
            if (function == MetaPolygon)
                canvas.polygon(points(p, 1, count));
            else
                canvas.polyline(points(p, 1, count));
        }
        break;
    case MetaPolyPolygon:
        if (p.need(1)) {
            const qint64 polygons = p.u(0);
            if (!p.need(1 + polygons))
                break;
            qint64 total = 0;
            for (qint64 i = 0; i < polygons; ++i)
                total += p.u(1 + i);
            if (!p.need(1 + polygons + 2 * total))
                break;
            QList<QList<QPointF>> all;
            qint64 word = 1 + polygons;
            for (qint64 i = 0; i < polygons; ++i) {
                const qint64 count = p.u(1 + i);
                all.append(points(p, word, count));
                word += 2 * count;
            }
            canvas.polyPolygon(all);
        }
        break;
    case MetaRectangle:
        if (p.need(4))
            canvas.rectangle(p.rect(0));
        break;
    case MetaEllipse:
        if (p.need(4))
            canvas.ellipse(p.rect(0));
        break;
    case MetaRoundRect:
        if (p.need(6))
            canvas.roundRect(p.rect(2), QSizeF(p.s(1), p.s(0)));
        break;
    case MetaArc:
    case MetaPie:
    case MetaChord:
        if (p.need(8)) {
            const auto kind = function == MetaArc ? MetafileCanvas::ArcKind::Arc
                : function == MetaPie             ? MetafileCanvas::ArcKind::Pie
                                                  : MetafileCanvas::ArcKind::Chord;
            canvas.arc(p.rect(4), p.point(2), p.point(0), kind);
        }
        break;
    case MetaSetPixel:
        if (p.need(4))
            canvas.setPixel(p.point(2), p.u32(0));
        break;
    case MetaPatBlt:
        if (p.need(6))
            canvas.stretchBlt(QRectF(p.s(5), p.s(4), p.s(3), p.s(2)), QImage(), QRectF(), gdi::rasterOp(p.u32(0)));
        break;

    case MetaTextOut:
        if (p.need(1)) {
            const qint64 length = p.s(0);
            const qint64 padded = (length + 1) / 2 * 2;
            if (length < 0 || !p.b.has(2, padded + 4))
                break;
            const QByteArrayView bytes = p.b.sub(2, length).view();
            const double y = p.b.i16(2 + padded);
            const double x = p.b.i16(4 + padded);
            canvas.textOut(QPointF(x, y), decodeText(bytes, canvas.textCharset(), {}), {}, std::nullopt);
        }
        break;
    case MetaExtTextOut:
        if (p.need(4)) {
            const QPointF at = p.point(0);
            const qint64 length = p.s(2);
            const quint16 options = p.u(3);
            qint64 offset = 8;
            std::optional<QRectF> rect;
            if (options & 0x0006) { // ETO_OPAQUE, ETO_CLIPPED
                if (!p.b.has(offset, 8))
                    break;
                rect = QRectF(QPointF(p.b.i16(offset), p.b.i16(offset + 2)), QPointF(p.b.i16(offset + 4), p.b.i16(offset + 6)));
                offset += 8;
            }
            if (length < 0 || !p.b.has(offset, length))
                break;
            const QByteArrayView bytes = p.b.sub(offset, length).view();
            offset += (length + 1) / 2 * 2;
            QList<double> dx;
            if (length > 0 && p.b.has(offset, 2 * length)) {
                dx.reserve(length);
                for (qint64 i = 0; i < length; ++i)
                    dx.append(p.b.i16(offset + 2 * i));
            }
            canvas.textOut(at, decodeText(bytes, canvas.textCharset(), dx), gdi::TextOutOptions::fromInt(options), rect);
        }
        break;

    case MetaBitBlt:
    case MetaDibBitBlt:
        // Without a bitmap the record is one word longer than its function's size byte says.
        if (recordWords == (function >> 8) + 3) {
            if (p.need(9))
                canvas.stretchBlt(QRectF(p.s(8), p.s(7), p.s(6), p.s(5)), QImage(), QRectF(), gdi::rasterOp(p.u32(0)));
        } else if (p.need(8)) {
            const QRectF dest(p.s(7), p.s(6), p.s(5), p.s(4));
            const QRectF source(p.s(3), p.s(2), p.s(5), p.s(4));
            if (function == MetaBitBlt)
                blitBitmap16(canvas, dest, p.b.from(16), source, p.u32(0));
            else
                blit(canvas, dest, p.b.from(16), source, p.u32(0), DibRgbColours, false);
        }
        break;
    case MetaStretchBlt:
    case MetaDibStretchBlt:
        if (recordWords == (function >> 8) + 3) {
            if (p.need(11))
                canvas.stretchBlt(QRectF(p.s(10), p.s(9), p.s(8), p.s(7)), QImage(), QRectF(), gdi::rasterOp(p.u32(0)));
        } else if (p.need(10)) {
            const QRectF dest(p.s(9), p.s(8), p.s(7), p.s(6));
            const QRectF source(p.s(5), p.s(4), p.s(3), p.s(2));
            if (function == MetaStretchBlt)
                blitBitmap16(canvas, dest, p.b.from(20), source, p.u32(0));
            else
                blit(canvas, dest, p.b.from(20), source, p.u32(0), DibRgbColours, false);
        }
        break;
    case MetaSetDibToDev:
        if (p.need(9)) {
            // Only the scan lines from startScan up may be stored: the header is made to describe
            // just those, and the source counted from them.
            const qint64 scans = p.u(1);
            const qint64 startScan = p.u(2);
            QByteArray dib = p.b.from(18).view().toByteArray();
            const Bytes stored(dib);
            if (stored.u32(0) >= 40 && stored.has(0, 40) && scans > 0 && std::abs(qint64(stored.i32(8))) > scans) {
                const qint32 height = stored.i32(8) < 0 ? -qint32(scans) : qint32(scans);
                for (int k = 0; k < 4; ++k)
                    dib[8 + k] = char(quint32(height) >> (8 * k) & 0xFF);
            }
            const QRectF dest(p.s(8), p.s(7), p.s(6), p.s(5));
            const QRectF source(p.s(4), p.s(3) - double(startScan), p.s(6), p.s(5));
            blit(canvas, dest, Bytes(dib), source, 0x00CC0020, p.u(0), true);
        }
        break;
    case MetaStretchDib:
        if (p.need(11)) {
            const QRectF dest(p.s(10), p.s(9), p.s(8), p.s(7));
            const QRectF source(p.s(6), p.s(5), p.s(4), p.s(3));
            blit(canvas, dest, p.b.from(22), source, p.u32(0), p.u(2), true);
        }
        break;

    case MetaIntersectClipRect:
        if (p.need(4))
            canvas.intersectClipRect(p.rect(0));
        break;
    case MetaExcludeClipRect:
        if (p.need(4))
            canvas.excludeClipRect(p.rect(0));
        break;
    case MetaOffsetClipRgn:
        if (p.need(2))
            canvas.offsetClip(p.point(0));
        break;
    case MetaFrameRegion:
        if (p.need(4)) {
            const Object* region = objects.at(p.u(0));
            const Object* brush = objects.at(p.u(1));
            if (region && region->kind == Object::Kind::Region && brush && brush->kind == Object::Kind::Brush)
                canvas.frameRegion(region->region, brush->brush, p.s(3), p.s(2));
        }
        break;
    case MetaInvertRegion:
        if (p.need(1)) {
            if (const Object* region = objects.at(p.u(0)); region && region->kind == Object::Kind::Region)
                canvas.invertRegion(region->region);
        }
        break;
    case MetaSelectClipRegion:
        // The region becomes the clip, in device units as SelectClipRgn takes it; a slot that
        // holds no region leaves the clip as it is.
        if (p.need(1)) {
            if (const Object* o = objects.at(p.u(0)); o && o->kind == Object::Kind::Region)
                canvas.selectClipRegion(o->region, gdi::RegionMode::Copy);
        }
        break;
    default:
        break; // records without a visible effect here, and unknown ones
    }
}

void playRecords(const Layout& layout, MetafileCanvas& canvas)
{
    ObjectTable objects(layout.objectCount);
    const Bytes records = layout.records;
    qint64 at = 0;
    while (records.has(at, 6) && !canvas.exhausted()) {
        const qint64 words = records.u32(at);
        const quint16 function = records.u16(at + 4);
        if (words < 3 || !records.has(at, 2 * words))
            break;
        playRecord(function, Params { records.sub(at + 6, 2 * words - 6) }, words, canvas, objects);
        at += 2 * words;
    }
}

// Where a plain file without a window draws, in its device's pixels: such a file is drawn one
// logical unit to a pixel, and its picture is as large as its drawing.
QRectF measureDrawing(const Layout& layout)
{
    QImage scratch(1, 1, QImage::Format_RGB32);
    QPainter painter(&scratch);
    MetafileCanvas canvas(painter, QSize(1, 1), QTransform(), QSizeF(96 / 25.4, 96 / 25.4),
                          MetafileCanvas::Mode::Measure);
    playRecords(layout, canvas);
    return canvas.measured();
}

} // namespace

Layout scanWmf(Bytes file)
{
    Layout l;
    const bool placeable = file.u32(0) == kPlaceableKey && file.has(0, 22);
    const qint64 start = placeable ? 22 : 0;
    if (!standardHeader(file, start)) {
        if (placeable)
            l.problem = Problem::Malformed;
        return l;
    }
    l.format = placeable ? Format::PlaceableWmf : Format::Wmf;
    l.problem = Problem::Malformed;
    l.objectCount = file.u16(start + 10);

    // A placeable file's box over its units per inch is its size; a box with no area (or no
    // inch) says nothing, and the file is sized as a plain one.
    bool boxed = false;
    if (placeable) {
        const double left = file.i16(6);
        const double top = file.i16(8);
        const double right = file.i16(10);
        const double bottom = file.i16(12);
        const double inch = file.u16(14);
        const QSize size(inch == 0 ? 0 : int(std::lround(std::abs(right - left) * 96 / inch)),
                         inch == 0 ? 0 : int(std::lround(std::abs(bottom - top) * 96 / inch)));
        if (size.width() > Metafile::kMaxSide || size.height() > Metafile::kMaxSide) {
            l.size = size;
            l.problem = Problem::TooLarge;
            return l;
        }
        if (size.width() >= 1 && size.height() >= 1) {
            boxed = true;
            l.windowOrg = QPointF(left, top);
            l.windowExt = QSizeF(right - left, bottom - top);
            l.size = size;
        }
    }

    // Walk the chain: every record must lie inside the file. A plain WMF is sized by its first
    // window extent, in logical units taken as pixels.
    const qint64 first = start + 18;
    qint64 at = first;
    std::optional<QSizeF> extent;
    QPointF origin;
    while (at < file.size()) {
        const qint64 words = file.u32(at);
        const quint16 function = file.u16(at + 4);
        if (!file.has(at, 6) || words < 3 || !file.has(at, 2 * words))
            return l; // a record cut short
        if (function == MetaEof) {
            at += 2 * words;
            break;
        }
        if (!extent && words >= 5) {
            const QPointF value(file.i16(at + 8), file.i16(at + 6));
            if (function == MetaSetWindowOrg)
                origin = value;
            else if (function == MetaSetWindowExt)
                extent = QSizeF(value.x(), value.y());
        }
        at += 2 * words;
    }
    l.records = file.sub(first, at - first);

    if (extent && (extent->width() == 0 || extent->height() == 0 || std::abs(extent->width()) < 1
                   || std::abs(extent->height()) < 1))
        extent.reset(); // a window with no area sizes nothing
    if (!boxed && extent) {
        l.windowOrg = origin;
        l.windowExt = *extent;
        const double w = std::abs(extent->width());
        const double h = std::abs(extent->height());
        if (w > Metafile::kMaxSide || h > Metafile::kMaxSide) {
            l.problem = Problem::TooLarge;
            return l;
        }
        l.size = QSize(int(w), int(h));
    } else if (!boxed) {
        const QRectF drawing = measureDrawing(l);
        if (drawing.isEmpty())
            return l;
        const QRect pixels(QPoint(int(std::floor(drawing.left())), int(std::floor(drawing.top()))),
                           QPoint(int(std::ceil(drawing.right())) - 1, int(std::ceil(drawing.bottom())) - 1));
        if (pixels.width() > Metafile::kMaxSide || pixels.height() > Metafile::kMaxSide) {
            l.problem = Problem::TooLarge;
            return l;
        }
        l.drawingOrigin = QPointF(pixels.topLeft());
        l.windowExt = QSizeF(pixels.size());
        l.size = pixels.size();
    }
    if (l.size.width() < 1 || l.size.height() < 1 || l.windowExt.width() == 0 || l.windowExt.height() == 0)
        return l;
    l.problem = Problem::None;
    return l;
}

void playWmf(const Layout& layout, MetafileCanvas& canvas)
{
    if (layout.drawingOrigin) {
        canvas.shiftDevice(-*layout.drawingOrigin);
    } else {
        // As a viewer plays a placeable file: the bounding box (or the plain file's window)
        // fills the picture, and the records may move the window or viewport from there.
        canvas.setMapMode(gdi::MapMode::Anisotropic);
        canvas.setWindowOrg(layout.windowOrg);
        canvas.setWindowExt(layout.windowExt);
        canvas.setViewportOrg(QPointF(0, 0));
        canvas.setViewportExt(QSizeF(layout.size));
    }
    playRecords(layout, canvas);
}

} // namespace metafile

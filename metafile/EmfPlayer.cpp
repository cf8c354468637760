#include "metafile/EmfPlusPlayer.h"
#include "metafile/MetafileCanvas.h"
#include "metafile/MetafileDib.h"
#include "metafile/MetafilePlayers.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace metafile {
namespace {

using Metafile::Format;
using Metafile::Problem;

constexpr quint32 kEmfSignature = 0x464D4520; // " EMF"

enum : quint32 {
    EmrHeader = 1,
    EmrPolyBezier = 2,
    EmrPolygon = 3,
    EmrPolyline = 4,
    EmrPolyBezierTo = 5,
    EmrPolylineTo = 6,
    EmrPolyPolyline = 7,
    EmrPolyPolygon = 8,
    EmrSetWindowExtEx = 9,
    EmrSetWindowOrgEx = 10,
    EmrSetViewportExtEx = 11,
    EmrSetViewportOrgEx = 12,
    EmrEof = 14,
    EmrSetPixelV = 15,
    EmrSetMapMode = 17,
    EmrSetBkMode = 18,
    EmrSetPolyFillMode = 19,
    EmrSetRop2 = 20,
    EmrSetTextAlign = 22,
    EmrSetTextColor = 24,
    EmrSetBkColor = 25,
    EmrOffsetClipRgn = 26,
    EmrMoveToEx = 27,
    EmrExcludeClipRect = 29,
    EmrIntersectClipRect = 30,
    EmrScaleViewportExtEx = 31,
    EmrScaleWindowExtEx = 32,
    EmrSaveDc = 33,
    EmrRestoreDc = 34,
    EmrSetWorldTransform = 35,
    EmrModifyWorldTransform = 36,
    EmrSelectObject = 37,
    EmrCreatePen = 38,
    EmrCreateBrushIndirect = 39,
    EmrDeleteObject = 40,
    EmrAngleArc = 41,
    EmrEllipse = 42,
    EmrRectangle = 43,
    EmrRoundRect = 44,
    EmrArc = 45,
    EmrChord = 46,
    EmrPie = 47,
    EmrSelectPalette = 48,
    EmrCreatePalette = 49,
    EmrLineTo = 54,
    EmrArcTo = 55,
    EmrPolyDraw = 56,
    EmrSetArcDirection = 57,
    EmrSetMiterLimit = 58,
    EmrBeginPath = 59,
    EmrEndPath = 60,
    EmrCloseFigure = 61,
    EmrFillPath = 62,
    EmrStrokeAndFillPath = 63,
    EmrStrokePath = 64,
    EmrWidenPath = 66,
    EmrSelectClipPath = 67,
    EmrAbortPath = 68,
    EmrComment = 70,
    EmrExtSelectClipRgn = 75,
    EmrSetMetaRgn = 28,
    EmrBitBlt = 76,
    EmrStretchBlt = 77,
    EmrMaskBlt = 78,
    EmrPlgBlt = 79,
    EmrStretchDiBits = 81,
    EmrExtCreateFontIndirectW = 82,
    EmrExtTextOutA = 83,
    EmrExtTextOutW = 84,
    EmrPolyTextOutA = 96,
    EmrPolyTextOutW = 97,
    EmrPolyBezier16 = 85,
    EmrPolygon16 = 86,
    EmrPolyline16 = 87,
    EmrPolyBezierTo16 = 88,
    EmrPolylineTo16 = 89,
    EmrPolyPolyline16 = 90,
    EmrPolyPolygon16 = 91,
    EmrPolyDraw16 = 92,
    EmrCreateMonoBrush = 93,
    EmrCreateDibPatternBrushPt = 94,
    EmrExtCreatePen = 95,
    EmrFillRgn = 71,
    EmrFrameRgn = 72,
    EmrInvertRgn = 73,
    EmrPaintRgn = 74,
    EmrSetDiBitsToDevice = 80,
    EmrAlphaBlend = 114,
    EmrTransparentBlt = 116,
    EmrGradientFill = 118,
};

constexpr quint32 kStockObject = 0x80000000;
constexpr qint64 kMaxGradientVertices = 1 << 16;
constexpr qint64 kMaxRegionRects = 16384;

struct Object {
    enum class Kind { Pen, Brush, Font, Palette };
    Kind kind = Kind::Pen;
    GdiPen pen;
    GdiBrush brush;
    GdiFont font;
    QList<QRgb> palette;
};

struct Player {
    MetafileCanvas& canvas;
    int handles;
    QHash<quint32, Object> objects;
    EmfPlusPlayer plus { canvas };

    // Index 0 is the metafile itself; anything at or past the header's count is not a handle.
    bool validHandle(quint32 index) const { return index > 0 && index < quint32(handles); }
    void store(quint32 index, Object object)
    {
        if (validHandle(index))
            objects.insert(index, std::move(object));
    }
    void play(quint32 type, Bytes r);
    // One piece of text (an EMRTEXT at `at`): reference point, characters, options, rectangle
    // and spacing. The rectangle may be left out (ETO_NO_RECT) only where the text stands alone.
    void text(Bytes r, qint64 at, bool wide, bool rectMayBeLeftOut);
    // The bitmap a record carries: its colour usage at usageAt, and the offsets and sizes of its
    // header and bits in four fields from infoAt. Its pixels count against the picture's budget.
    Dib bitmap(Bytes r, qint64 usageAt, qint64 infoAt, bool keepAlpha = false);
    // The brush a record names: a stock one, or one the file made; none for anything else.
    std::optional<GdiBrush> brushAt(quint32 index) const
    {
        if (auto it = objects.constFind(index); it != objects.constEnd() && it->kind == Object::Kind::Brush)
            return it->brush;
        if (index & kStockObject)
            return MetafileCanvas::stockBrush(gdi::StockObject(index & ~kStockObject));
        return std::nullopt;
    }
};

constexpr quint32 kEmfPlusSignature = 0x2B464D45; // "EMF+"

QPointF pointL(Bytes r, qint64 at)
{
    return QPointF(r.i32(at), r.i32(at + 4));
}

QRectF rectL(Bytes r, qint64 at)
{
    return QRectF(pointL(r, at), pointL(r, at + 8));
}

QTransform xform(Bytes r, qint64 at)
{
    return QTransform(r.f32(at), r.f32(at + 4), r.f32(at + 8), r.f32(at + 12), r.f32(at + 16), r.f32(at + 20));
}

// Points at `at`, 32-bit or 16-bit pairs; none if the record is too short for them.
std::optional<QList<QPointF>> readPoints(Bytes r, qint64 at, qint64 count, bool small)
{
    const qint64 size = small ? 4 : 8;
    if (!r.has(at, count * size))
        return {};
    QList<QPointF> out;
    out.reserve(count);
    for (qint64 i = 0; i < count; ++i) {
        const qint64 p = at + i * size;
        out.append(small ? QPointF(r.i16(p), r.i16(p + 2)) : QPointF(r.i32(p), r.i32(p + 4)));
    }
    return out;
}

std::optional<QList<QList<QPointF>>> readPolyPoints(Bytes r, bool small)
{
    const qint64 polys = r.u32(8 + 16);
    const qint64 total = r.u32(8 + 20);
    const qint64 countsAt = 8 + 24;
    if (!r.has(countsAt, polys * 4))
        return {};
    qint64 sum = 0;
    for (qint64 i = 0; i < polys; ++i)
        sum += r.u32(countsAt + 4 * i);
    if (sum > total)
        return {};
    const qint64 pointsAt = countsAt + polys * 4;
    const std::optional<QList<QPointF>> all = readPoints(r, pointsAt, total, small);
    if (!all)
        return {};
    QList<QList<QPointF>> out;
    qint64 next = 0;
    for (qint64 i = 0; i < polys; ++i) {
        const qint64 count = r.u32(countsAt + 4 * i);
        out.append(all->mid(next, count));
        next += count;
    }
    return out;
}

// A RegionData object at `at`: its header, then its rectangles; none if it runs past the record.
std::optional<QPainterPath> readRegion(Bytes r, qint64 at, qint64 dataSize)
{
    const qint64 count = r.u32(at + 8);
    if (count > kMaxRegionRects || !r.has(at, dataSize) || dataSize < 32 + count * 16 || !r.has(at + 32, count * 16))
        return {};
    QPainterPath region;
    region.setFillRule(Qt::WindingFill);
    for (qint64 i = 0; i < count; ++i)
        region.addRect(rectL(r, at + 32 + 16 * i).normalized());
    return region;
}

// Bitmap pixels that are the given colour become transparent, as TransparentBlt leaves them.
QImage withoutColour(const QImage& image, QRgb key)
{
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < out.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (key & 0xFFFFFF))
                line[x] = 0;
    }
    return out;
}

// The source with the pixels its monochrome mask leaves out (bit 0) made clear. The mask's
// (maskX, maskY) lies under the source's (sourceX, sourceY); outside the mask nothing is left out.
QImage masked(const QImage& source, const QImage& mask, QPoint sourceAt, QPoint maskAt)
{
    QImage out = source.convertToFormat(QImage::Format_ARGB32);
    // The file's coordinates may be anything: the shift is worked out wide.
    const qint64 shiftX = qint64(maskAt.x()) - sourceAt.x();
    const qint64 shiftY = qint64(maskAt.y()) - sourceAt.y();
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        const qint64 my = y + shiftY;
        if (my < 0 || my >= mask.height())
            continue;
        for (int x = 0; x < out.width(); ++x) {
            const qint64 mx = x + shiftX;
            if (mx >= 0 && mx < mask.width() && qGray(mask.pixel(int(mx), int(my))) < 128)
                line[x] = 0;
        }
    }
    return out;
}

QRgb triVertexColour(Bytes r, qint64 at)
{
    return qRgb(r.u16(at + 8) >> 8, r.u16(at + 10) >> 8, r.u16(at + 12) >> 8);
}

GdiFont readLogFontW(Bytes r, qint64 at)
{
    GdiFont f;
    f.height = r.i32(at);
    f.width = std::abs(double(r.i32(at + 4)));
    f.escapement = r.i32(at + 8);
    f.weight = r.i32(at + 16);
    f.italic = r.u8(at + 20) != 0;
    f.underline = r.u8(at + 21) != 0;
    f.strikeOut = r.u8(at + 22) != 0;
    f.charset = gdi::Charset(r.u8(at + 23));
    for (int i = 0; i < 32; ++i) {
        const quint16 c = r.u16(at + 28 + 2 * i);
        if (c == 0)
            break;
        f.face.append(QChar(c));
    }
    return f;
}

// The fixed part each record needs; a shorter one is skipped rather than read as zeros.
qint64 fixedSize(quint32 type)
{
    switch (type) {
    case EmrSetMapMode:
    case EmrSetBkMode:
    case EmrSetPolyFillMode:
    case EmrSetRop2:
    case EmrSetTextAlign:
    case EmrSetTextColor:
    case EmrSetBkColor:
    case EmrSetArcDirection:
    case EmrSetMiterLimit:
    case EmrSelectObject:
    case EmrDeleteObject:
    case EmrSelectClipPath:
        return 12;
    case EmrSetWindowExtEx:
    case EmrSetWindowOrgEx:
    case EmrSetViewportExtEx:
    case EmrSetViewportOrgEx:
    case EmrMoveToEx:
    case EmrLineTo:
    case EmrOffsetClipRgn:
        return 16;
    case EmrRectangle:
    case EmrEllipse:
    case EmrIntersectClipRect:
    case EmrExcludeClipRect:
    case EmrScaleViewportExtEx:
    case EmrScaleWindowExtEx:
        return 24;
    case EmrPolyBezier:
    case EmrPolygon:
    case EmrPolyline:
    case EmrPolyBezierTo:
    case EmrPolylineTo:
    case EmrPolyBezier16:
    case EmrPolygon16:
    case EmrPolyline16:
    case EmrPolyBezierTo16:
    case EmrPolylineTo16:
    case EmrPolyDraw:
    case EmrPolyDraw16:
        return 28;
    case EmrRoundRect:
    case EmrPolyPolyline:
    case EmrPolyPolygon:
    case EmrPolyPolyline16:
    case EmrPolyPolygon16:
        return 32;
    case EmrExtSelectClipRgn:
        return 16;
    default:
        return 8;
    }
}

void Player::play(quint32 type, Bytes r)
{
    const qint64 size = r.size();
    if (size < fixedSize(type))
        return;
    switch (type) {
    case EmrSetMapMode:
        canvas.setMapMode(gdi::MapMode(r.u32(8)));
        break;
    case EmrSetWindowExtEx:
        canvas.setWindowExt(QSizeF(r.i32(8), r.i32(12)));
        break;
    case EmrSetWindowOrgEx:
        canvas.setWindowOrg(pointL(r, 8));
        break;
    case EmrSetViewportExtEx:
        canvas.setViewportExt(QSizeF(r.i32(8), r.i32(12)));
        break;
    case EmrSetViewportOrgEx:
        canvas.setViewportOrg(pointL(r, 8));
        break;
    case EmrScaleViewportExtEx:
        canvas.scaleViewportExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
        break;
    case EmrScaleWindowExtEx:
        canvas.scaleWindowExt(r.i32(8), r.i32(12), r.i32(16), r.i32(20));
        break;
    case EmrSetWorldTransform:
        if (size >= 32)
            canvas.setWorldTransform(xform(r, 8));
        break;
    case EmrModifyWorldTransform:
        if (size >= 36)
            canvas.modifyWorldTransform(xform(r, 8), gdi::WorldTransformMode(r.u32(32)));
        break;
    case EmrSetBkMode:
        canvas.setBkMode(gdi::BkMode(r.u32(8)));
        break;
    case EmrSetPolyFillMode:
        canvas.setPolyFillMode(gdi::PolyFillMode(r.u32(8)));
        break;
    case EmrSetRop2:
        canvas.setRop2(gdi::Rop2(r.u32(8)));
        break;
    case EmrSetTextAlign:
        canvas.setTextAlign(gdi::TextAlign { r.u32(8) });
        break;
    case EmrSetTextColor:
        canvas.setTextColour(r.u32(8));
        break;
    case EmrSetBkColor:
        canvas.setBkColour(r.u32(8));
        break;
    case EmrSetArcDirection:
        canvas.setArcDirection(gdi::ArcDirection(r.u32(8)));
        break;
    case EmrSetMiterLimit:
        canvas.setMiterLimit(r.u32(8));
        break;
    case EmrSaveDc:
        canvas.saveDC();
        break;
    case EmrRestoreDc:
        if (size >= 12)
            canvas.restoreDC(r.i32(8));
        break;

    case EmrCreatePen:
        if (size >= 28) {
            Object o;
            o.pen.flags = gdi::PenFlags { r.u32(12) };
            o.pen.width = std::abs(double(r.i32(16)));
            o.pen.colour = r.u32(24);
            store(r.u32(8), o);
        }
        break;
    case EmrExtCreatePen:
        if (size >= 52) {
            Object o;
            o.pen.flags = gdi::PenFlags { r.u32(28) };
            // Cosmetic pens are one pixel wide whatever width they carry.
            o.pen.width = o.pen.flags.geometric() ? double(r.u32(32)) : 0;
            if (gdi::BrushStyle(r.u32(36)) == gdi::BrushStyle::Null)
                o.pen.flags.setStyle(gdi::PenStyle::Null);
            o.pen.colour = r.u32(40);
            const qint64 entries = r.u32(48);
            if (o.pen.flags.style() == gdi::PenStyle::UserStyle && entries <= 16 && r.has(52, entries * 4)) {
                for (qint64 i = 0; i < entries; ++i)
                    o.pen.userDashes.append(r.u32(52 + 4 * i));
            }
            store(r.u32(8), o);
        }
        break;
    case EmrCreateBrushIndirect:
        if (size >= 24) {
            Object o;
            o.kind = Object::Kind::Brush;
            const quint32 style = r.u32(12);
            o.brush.colour = r.u32(16);
            if (style == 1) {
                o.brush.kind = GdiBrush::Kind::Null;
            } else if (style == 2) {
                o.brush.kind = GdiBrush::Kind::Hatched;
                o.brush.hatch = gdi::HatchStyle(r.u32(20) & 0xFF);
            }
            store(r.u32(8), o);
        }
        break;
    case EmrCreateDibPatternBrushPt:
    case EmrCreateMonoBrush:
        if (size >= 32) {
            Object o;
            o.kind = Object::Kind::Brush;
            o.brush.kind = GdiBrush::Kind::Null;
            const Dib dib = decodeDib(r.sub(r.u32(16), r.u32(20)), r.sub(r.u32(24), r.u32(28)), r.u32(12),
                                      canvas.palette());
            if (!dib.isNull() && canvas.allowPattern(qint64(dib.image.width()) * dib.image.height())) {
                o.brush.kind = GdiBrush::Kind::Pattern;
                o.brush.pattern = dib.image;
            }
            store(r.u32(8), o);
        }
        break;
    case EmrExtCreateFontIndirectW:
        if (size >= 12 + 92) {
            Object o;
            o.kind = Object::Kind::Font;
            o.font = readLogFontW(r, 12);
            store(r.u32(8), o);
        }
        break;
    case EmrCreatePalette:
        if (size >= 16) {
            Object o;
            o.kind = Object::Kind::Palette;
            const qint64 count = r.u16(14);
            if (r.has(16, count * 4)) {
                for (qint64 i = 0; i < count; ++i)
                    o.palette.append(qRgb(r.u8(16 + 4 * i), r.u8(17 + 4 * i), r.u8(18 + 4 * i)));
            }
            store(r.u32(8), o);
        }
        break;
    case EmrSelectObject:
        if (size >= 12) {
            const quint32 index = r.u32(8);
            if (index & kStockObject) {
                const int stock = int(index & ~kStockObject);
                if (std::optional<GdiBrush> brush = MetafileCanvas::stockBrush(gdi::StockObject(stock)))
                    canvas.selectBrush(*brush);
                else if ((stock >= 6 && stock <= 8) || stock == 19)
                    canvas.selectPen(MetafileCanvas::stockPen(gdi::StockObject(stock)));
                else if (stock >= 10 && stock <= 17 && stock != 15)
                    canvas.selectFont(GdiFont());
            } else if (auto it = objects.constFind(index); it != objects.constEnd()) {
                switch (it->kind) {
                case Object::Kind::Pen: canvas.selectPen(it->pen); break;
                case Object::Kind::Brush: canvas.selectBrush(it->brush); break;
                case Object::Kind::Font: canvas.selectFont(it->font); break;
                case Object::Kind::Palette: break;
                }
            }
        }
        break;
    case EmrSelectPalette:
        if (size >= 12) {
            const quint32 index = r.u32(8);
            if (index == (kStockObject | 15))
                canvas.selectPalette({});
            else if (auto it = objects.constFind(index); it != objects.constEnd() && it->kind == Object::Kind::Palette)
                canvas.selectPalette(it->palette);
        }
        break;
    case EmrDeleteObject:
        objects.remove(r.u32(8));
        break;

    case EmrMoveToEx:
        canvas.moveTo(pointL(r, 8));
        break;
    case EmrLineTo:
        canvas.lineTo(pointL(r, 8));
        break;
    case EmrPolyBezier:
    case EmrPolygon:
    case EmrPolyline:
    case EmrPolyBezierTo:
    case EmrPolylineTo:
    case EmrPolyBezier16:
    case EmrPolygon16:
    case EmrPolyline16:
    case EmrPolyBezierTo16:
    case EmrPolylineTo16: {
        const bool small = type >= EmrPolyBezier16;
        const std::optional<QList<QPointF>> points = readPoints(r, 28, r.u32(24), small);
        if (!points)
            break;
        switch (small ? type - EmrPolyBezier16 + EmrPolyBezier : type) {
        case EmrPolyBezier: canvas.polyBezier(*points); break;
        case EmrPolygon: canvas.polygon(*points); break;
        case EmrPolyline: canvas.polyline(*points); break;
        case EmrPolyBezierTo: canvas.polyBezierTo(*points); break;
        case EmrPolylineTo: canvas.polylineTo(*points); break;
        default: break;
        }
        break;
    }
    case EmrPolyPolyline:
    case EmrPolyPolygon:
    case EmrPolyPolyline16:
    case EmrPolyPolygon16: {
        const bool small = type == EmrPolyPolyline16 || type == EmrPolyPolygon16;
        const std::optional<QList<QList<QPointF>>> polys = readPolyPoints(r, small);
        if (!polys)
            break;
        if (type == EmrPolyPolygon || type == EmrPolyPolygon16)
            canvas.polyPolygon(*polys);
        else
            canvas.polyPolyline(*polys);
        break;
    }
    case EmrPolyDraw:
    case EmrPolyDraw16: {
        const bool small = type == EmrPolyDraw16;
        const qint64 count = r.u32(24);
        const std::optional<QList<QPointF>> points = readPoints(r, 28, count, small);
        const qint64 typesAt = 28 + count * (small ? 4 : 8);
        if (!points || !r.has(typesAt, count))
            break;
        QList<quint8> types;
        types.reserve(count);
        for (qint64 i = 0; i < count; ++i)
            types.append(r.u8(typesAt + i));
        canvas.polyDraw(*points, types);
        break;
    }
    case EmrRectangle:
        canvas.rectangle(rectL(r, 8));
        break;
    case EmrEllipse:
        canvas.ellipse(rectL(r, 8));
        break;
    case EmrRoundRect:
        canvas.roundRect(rectL(r, 8), QSizeF(r.i32(24), r.i32(28)));
        break;
    case EmrArc:
    case EmrArcTo:
    case EmrChord:
    case EmrPie:
        if (size >= 40) {
            const auto kind = type == EmrArc ? MetafileCanvas::ArcKind::Arc
                : type == EmrArcTo           ? MetafileCanvas::ArcKind::ArcTo
                : type == EmrChord           ? MetafileCanvas::ArcKind::Chord
                                             : MetafileCanvas::ArcKind::Pie;
            canvas.arc(rectL(r, 8), pointL(r, 24), pointL(r, 32), kind);
        }
        break;
    case EmrAngleArc:
        if (size >= 28)
            canvas.angleArc(pointL(r, 8), r.u32(16), r.f32(20), r.f32(24));
        break;
    case EmrSetPixelV:
        if (size >= 20)
            canvas.setPixel(pointL(r, 8), r.u32(16));
        break;

    case EmrBeginPath: canvas.beginPath(); break;
    case EmrEndPath: canvas.endPath(); break;
    case EmrCloseFigure: canvas.closeFigure(); break;
    case EmrAbortPath: canvas.abortPath(); break;
    case EmrFillPath: canvas.fillPath(); break;
    case EmrStrokePath: canvas.strokePath(); break;
    case EmrStrokeAndFillPath: canvas.strokeAndFillPath(); break;
    case EmrWidenPath: canvas.widenPath(); break;
    case EmrSelectClipPath: canvas.selectClipPath(gdi::RegionMode(r.u32(8))); break;

    case EmrIntersectClipRect:
        canvas.intersectClipRect(rectL(r, 8));
        break;
    case EmrExcludeClipRect:
        canvas.excludeClipRect(rectL(r, 8));
        break;
    case EmrOffsetClipRgn:
        canvas.offsetClip(pointL(r, 8));
        break;
    case EmrExtSelectClipRgn: {
        const qint64 dataSize = r.u32(8);
        const auto mode = gdi::RegionMode(r.u32(12));
        if (dataSize == 0 || !r.has(16, 32)) {
            canvas.selectClipRegion(std::nullopt, mode);
            break;
        }
        if (const std::optional<QPainterPath> region = readRegion(r, 16, dataSize))
            canvas.selectClipRegion(*region, mode);
        break;
    }
    case EmrSetMetaRgn:
        canvas.setMetaRegion();
        break;
    case EmrFillRgn:
    case EmrPaintRgn: {
        // FillRgn names its brush; PaintRgn uses the one selected.
        const bool fill = type == EmrFillRgn;
        const qint64 at = fill ? 32 : 28;
        if (size < at + 32)
            break;
        const std::optional<GdiBrush> brush = fill ? brushAt(r.u32(28)) : canvas.brush();
        const std::optional<QPainterPath> region = readRegion(r, at, r.u32(24));
        if (brush && region)
            canvas.fillRegion(*region, *brush);
        break;
    }
    case EmrFrameRgn: {
        if (size < 72)
            break;
        const std::optional<GdiBrush> brush = brushAt(r.u32(28));
        const std::optional<QPainterPath> region = readRegion(r, 40, r.u32(24));
        if (brush && region)
            canvas.frameRegion(*region, *brush, r.i32(32), r.i32(36));
        break;
    }
    case EmrInvertRgn:
        if (size >= 60) {
            if (const std::optional<QPainterPath> region = readRegion(r, 28, r.u32(24)))
                canvas.invertRegion(*region);
        }
        break;
    case EmrGradientFill: {
        if (size < 36)
            break;
        const qint64 vertices = r.u32(24);
        const qint64 shapes = r.u32(28);
        const quint32 mode = r.u32(32);
        const qint64 shapesAt = 36 + vertices * 16;
        const qint64 shapeSize = mode == 2 ? 12 : 8; // GRADIENT_FILL_TRIANGLE, or two corners
        if (mode > 2 || vertices > kMaxGradientVertices || shapes > kMaxGradientVertices || !r.has(36, vertices * 16)
            || !r.has(shapesAt, shapes * shapeSize))
            break;
        auto vertex = [&](quint32 index) { return 36 + qint64(index) * 16; };
        for (qint64 i = 0; i < shapes && !canvas.exhausted(); ++i) {
            const qint64 at = shapesAt + i * shapeSize;
            const quint32 first = r.u32(at);
            const quint32 second = r.u32(at + 4);
            const quint32 third = mode == 2 ? r.u32(at + 8) : 0;
            if (first >= vertices || second >= vertices || third >= vertices)
                continue;
            if (mode == 2) {
                canvas.gradientTriangle({ pointL(r, vertex(first)), pointL(r, vertex(second)), pointL(r, vertex(third)) },
                                        { triVertexColour(r, vertex(first)), triVertexColour(r, vertex(second)),
                                          triVertexColour(r, vertex(third)) });
            } else {
                canvas.gradientRect(pointL(r, vertex(first)), pointL(r, vertex(second)), triVertexColour(r, vertex(first)),
                                    triVertexColour(r, vertex(second)), mode == 1);
            }
        }
        break;
    }

    case EmrExtTextOutA:
    case EmrExtTextOutW:
        text(r, 36, type == EmrExtTextOutW, true);
        break;
    case EmrPolyTextOutA:
    case EmrPolyTextOutW: {
        // Several pieces of text, each with its own reference point, in one record.
        const qint64 count = r.u32(36);
        for (qint64 i = 0; i < count && r.has(40 + 40 * i, 40) && !canvas.exhausted(); ++i)
            text(r, 40 + 40 * i, type == EmrPolyTextOutW, false);
        break;
    }

    case EmrBitBlt:
    case EmrStretchBlt:
    case EmrAlphaBlend:
    case EmrTransparentBlt: {
        const bool stretch = type != EmrBitBlt;
        if (size < (stretch ? 108 : 100))
            break;
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        const quint32 rop = r.u32(40);
        const qint64 bmiSize = r.u32(88);
        if (bmiSize == 0) {
            if (type == EmrBitBlt || type == EmrStretchBlt)
                canvas.stretchBlt(dest, QImage(), QRectF(), gdi::rasterOp(rop));
            break;
        }
        const bool alpha = type == EmrAlphaBlend && (rop >> 24 & 1); // AC_SRC_ALPHA
        const Dib dib = bitmap(r, 80, 84, alpha);
        if (dib.isNull())
            break;
        QRectF source(r.i32(44), r.i32(48), stretch ? r.i32(100) : dest.width(), stretch ? r.i32(104) : dest.height());
        // The source's own transform, when there is a sensible one.
        const QTransform sourceTransform = xform(r, 52);
        if (sourceTransform.isAffine() && sourceTransform.m12() == 0 && sourceTransform.m21() == 0
            && std::isfinite(sourceTransform.m11()) && std::isfinite(sourceTransform.m22())
            && std::isfinite(sourceTransform.dx()) && std::isfinite(sourceTransform.dy())
            && sourceTransform.m11() != 0 && sourceTransform.m22() != 0 && std::abs(sourceTransform.m11()) < 1e6
            && std::abs(sourceTransform.m22()) < 1e6 && std::abs(sourceTransform.dx()) < 1e9
            && std::abs(sourceTransform.dy()) < 1e9)
            source = sourceTransform.mapRect(source);
        if (type == EmrAlphaBlend)
            canvas.alphaBlend(dest, dib.image, source, int(rop >> 16 & 0xFF));
        else if (type == EmrTransparentBlt) // the raster operation's place holds the colour left out
            canvas.stretchBlt(dest, withoutColour(dib.image, canvas.rgb(rop)), source, gdi::RasterOp::SrcCopy);
        else
            canvas.stretchBlt(dest, dib.image, source, gdi::rasterOp(rop));
        break;
    }
    case EmrMaskBlt: {
        // The foreground operation where the mask is set, the background one where it is not.
        // Kept as GDI does it when the background leaves the destination as it is (the usual
        // MAKEROP4(SRCCOPY, ...) case); otherwise the foreground operation covers all.
        if (size < 128)
            break;
        const QRectF dest(r.i32(24), r.i32(28), r.i32(32), r.i32(36));
        const quint32 rop4 = r.u32(40);
        const quint32 foreground = rop4 & 0x00FF0000; // the foreground operation's index
        const qint64 bmiSize = r.u32(88);
        if (bmiSize == 0) {
            canvas.stretchBlt(dest, QImage(), QRectF(), gdi::rasterOp(foreground));
            break;
        }
        const Dib dib = bitmap(r, 80, 84);
        if (dib.isNull())
            break;
        const QPoint sourceAt(r.i32(44), r.i32(48));
        QImage image = dib.image;
        if (((rop4 >> 24) & 0xFF) == 0xAA) {
            if (const Dib mask = bitmap(r, 108, 112); !mask.isNull())
                image = masked(image, mask.image, sourceAt, QPoint(r.i32(100), r.i32(104)));
        }
        canvas.stretchBlt(dest, image, QRectF(sourceAt, dest.size()), gdi::rasterOp(foreground));
        break;
    }
    case EmrPlgBlt: {
        if (size < 140)
            break;
        const std::array<QPointF, 3> corners { pointL(r, 24), pointL(r, 32), pointL(r, 40) };
        const QRectF source(r.i32(48), r.i32(52), r.i32(56), r.i32(60));
        const Dib dib = bitmap(r, 92, 96);
        if (dib.isNull())
            break;
        QImage image = dib.image;
        if (const Dib mask = bitmap(r, 120, 124); !mask.isNull())
            image = masked(image, mask.image, source.topLeft().toPoint(), QPoint(r.i32(112), r.i32(116)));
        canvas.parallelogramBlt(corners, image, source);
        break;
    }
    case EmrSetDiBitsToDevice: {
        if (size < 76)
            break;
        // Only some scan lines may be stored, from startScan up; the header is made to describe
        // just those, and the source counted from them.
        const qint64 startScan = r.u32(68);
        const qint64 scans = r.u32(72);
        const Bytes info = r.sub(r.u32(48), r.u32(52));
        QByteArray header = info.view().toByteArray();
        if (header.size() >= 40 && scans > 0 && scans <= kMaxDibSide) {
            const qint32 height = info.i32(8);
            if (std::abs(qint64(height)) > scans) {
                const qint32 stored = height < 0 ? -qint32(scans) : qint32(scans);
                for (int k = 0; k < 4; ++k)
                    header[8 + k] = char(quint32(stored) >> (8 * k) & 0xFF);
            }
        }
        const Dib dib = decodeDib(Bytes(header), r.sub(r.u32(56), r.u32(60)), r.u32(64), canvas.palette());
        if (dib.isNull())
            break;
        canvas.countDecodedPixels(qint64(dib.image.width()) * dib.image.height());
        const double width = r.i32(40);
        const double height = r.i32(44);
        QRectF source(r.i32(32), double(r.i32(36)) - double(startScan), width, height);
        if (dib.bottomUp) // counted from the bottom-left corner
            source.moveTop(dib.image.height() - source.top() - source.height());
        canvas.stretchBlt(QRectF(r.i32(24), r.i32(28), width, height), dib.image, source, gdi::RasterOp::SrcCopy);
        break;
    }
    case EmrStretchDiBits: {
        if (size < 80)
            break;
        const QRectF dest(r.i32(24), r.i32(28), r.i32(72), r.i32(76));
        const quint32 rop = r.u32(68);
        const qint64 bmiSize = r.u32(52);
        if (bmiSize == 0) {
            canvas.stretchBlt(dest, QImage(), QRectF(), gdi::rasterOp(rop));
            break;
        }
        const Dib dib = bitmap(r, 64, 48);
        if (dib.isNull())
            break;
        QRectF source(r.i32(32), r.i32(36), r.i32(40), r.i32(44));
        if (dib.bottomUp) // rows counted from the bottom of a bottom-up bitmap
            source.moveTop(dib.image.height() - source.top() - source.height());
        canvas.stretchBlt(dest, dib.image, source, gdi::rasterOp(rop));
        break;
    }

    case EmrComment:
        // Private data, GDI+ records among them: for a picture that has both kinds, the plain
        // records draw the same thing and are what is played; one that has GDI+ records only is
        // drawn from those.
        if (size >= 16 && r.u32(12) == kEmfPlusSignature) {
            const qint64 dataSize = r.u32(8);
            if (dataSize >= 4 && r.has(12, dataSize))
                plus.play(r.sub(16, dataSize - 4));
        }
        break;
    default:
        break;
    }
}

Dib Player::bitmap(Bytes r, qint64 usageAt, qint64 infoAt, bool keepAlpha)
{
    const qint64 infoSize = r.u32(infoAt + 4);
    if (infoSize == 0)
        return {};
    Dib dib = decodeDib(r.sub(r.u32(infoAt), infoSize), r.sub(r.u32(infoAt + 8), r.u32(infoAt + 12)), r.u32(usageAt),
                        canvas.palette(), keepAlpha);
    if (!dib.isNull())
        canvas.countDecodedPixels(qint64(dib.image.width()) * dib.image.height());
    return dib;
}

void Player::text(Bytes r, qint64 at, bool wide, bool rectMayBeLeftOut)
{
    if (!r.has(at, 20))
        return;
    const QPointF reference = pointL(r, at);
    const qint64 chars = r.u32(at + 8);
    const qint64 stringAt = r.u32(at + 12);
    const quint32 options = r.u32(at + 16);
    std::optional<QRectF> rect;
    qint64 dxAt = at + 20;
    if (!rectMayBeLeftOut || !(options & 0x100)) { // ETO_NO_RECT leaves the rectangle out
        if (!r.has(at, 40))
            return;
        if (options & 0x6)
            rect = rectL(r, at + 20);
        dxAt = at + 36;
    }
    if (!r.has(dxAt, 4) || !r.has(stringAt, chars * (wide ? 2 : 1)))
        return;
    QList<double> dx;
    const qint64 dxOffset = r.u32(dxAt);
    const qint64 dxStep = (options & 0x2000) ? 8 : 4; // ETO_PDY: x and y for each
    if (dxOffset != 0 && r.has(dxOffset, chars * dxStep)) {
        dx.reserve(chars);
        for (qint64 i = 0; i < chars; ++i)
            dx.append(r.i32(dxOffset + i * dxStep));
    }
    GdiText piece;
    if (wide) {
        QString s(chars, Qt::Uninitialized);
        for (qint64 i = 0; i < chars; ++i)
            s[i] = QChar(r.u16(stringAt + 2 * i));
        piece = utf16Text(s, dx);
    } else {
        piece = decodeText(r.sub(stringAt, chars).view(), canvas.textCharset(), dx);
    }
    canvas.textOut(reference, piece, gdi::TextOutOptions::fromInt(options), rect);
}

} // namespace

Layout scanEmf(Bytes file)
{
    Layout l;
    if (!file.has(0, 88) || file.u32(0) != EmrHeader || file.u32(40) != kEmfSignature)
        return l;
    l.format = Format::Emf;
    l.problem = Problem::Malformed;

    const qint64 headerSize = file.u32(4);
    if (headerSize < 88 || headerSize % 4 != 0 || !file.has(0, headerSize))
        return l;
    qint64 end = file.size();
    const qint64 declared = file.u32(48);
    if (declared > end)
        return l; // cut short
    if (declared >= headerSize)
        end = declared; // whatever follows the metafile is not ours
    l.handles = file.u16(56);

    // The reference device's resolution, which the frame and any metric mapping mode use.
    double pxPerMmX = 96 / 25.4;
    double pxPerMmY = 96 / 25.4;
    const double deviceX = file.i32(72);
    const double deviceY = file.i32(76);
    double mmX = file.i32(80);
    double mmY = file.i32(84);
    // The size in micrometres is finer, but only headers with the second extension carry it;
    // others have their description where it would be, so it is taken only when it lies
    // before the description and agrees with the millimetres.
    qint64 fixedPart = headerSize;
    if (file.u32(60) > 0 && file.u32(64) >= 88)
        fixedPart = std::min<qint64>(fixedPart, file.u32(64));
    if (fixedPart >= 100 && file.u32(88) > 0 && file.u32(92) >= 88)
        fixedPart = std::min<qint64>(fixedPart, file.u32(92));
    const double umX = file.u32(100) / 1000.0;
    const double umY = file.u32(104) / 1000.0;
    if (fixedPart >= 108 && umX > 0 && umY > 0 && std::abs(umX - mmX) <= 1 && std::abs(umY - mmY) <= 1) {
        mmX = umX;
        mmY = umY;
    }
    auto plausible = [](double v) { return std::isfinite(v) && v >= 0.01 && v <= 10000; };
    if (deviceX > 0 && mmX > 0 && plausible(deviceX / mmX))
        pxPerMmX = deviceX / mmX;
    if (deviceY > 0 && mmY > 0 && plausible(deviceY / mmY))
        pxPerMmY = deviceY / mmY;
    l.pixelsPerMm = QSizeF(pxPerMmX, pxPerMmY);

    // The frame, in hundredths of a millimetre, is the picture; without one, the bounds in
    // device pixels.
    double left = file.i32(24);
    double top = file.i32(28);
    double width = double(file.i32(32)) - left;
    double height = double(file.i32(36)) - top;
    if (width <= 0 || height <= 0) {
        const double bl = file.i32(8);
        const double bt = file.i32(12);
        const double bw = double(file.i32(16)) - bl + 1;
        const double bh = double(file.i32(20)) - bt + 1;
        if (bw <= 0 || bh <= 0)
            return l;
        left = bl * 100 / pxPerMmX;
        top = bt * 100 / pxPerMmY;
        width = bw * 100 / pxPerMmX;
        height = bh * 100 / pxPerMmY;
    }
    const double pixelsWide = width * 96 / 2540;
    const double pixelsHigh = height * 96 / 2540;
    if (pixelsWide > Metafile::kMaxSide + 0.5 || pixelsHigh > Metafile::kMaxSide + 0.5) {
        // The size stays known, so that a reader can tell a refusal by size from a broken file.
        const auto side = [](double pixels) { return int(std::lround(std::clamp(pixels, 0.0, 1e9))); };
        l.size = QSize(side(pixelsWide), side(pixelsHigh));
        l.problem = Problem::TooLarge;
        return l;
    }
    l.size = QSize(int(std::lround(pixelsWide)), int(std::lround(pixelsHigh)));
    if (l.size.width() < 1 || l.size.height() < 1)
        return l;
    l.frame = QRectF(left / 100 * pxPerMmX, top / 100 * pxPerMmY, width / 100 * pxPerMmX, height / 100 * pxPerMmY);
    // Some writers place the drawing by its bounds and leave the frame at the origin, away from
    // it: played through that frame, the picture would be all but empty. When the bounds are a
    // real drawing's (each side between a quarter of the frame's and four times it) and mostly
    // miss the frame, they are the picture instead.
    const QRectF bounds(file.i32(8), file.i32(12), double(file.i32(16)) - file.i32(8) + 1,
                        double(file.i32(20)) - file.i32(12) + 1);
    const auto area = [](const QRectF& r) { return r.isValid() ? r.width() * r.height() : 0.0; };
    const auto near = [](double side, double frameSide) { return side >= frameSide / 4 && side <= frameSide * 4; };
    if (near(bounds.width(), l.frame.width()) && near(bounds.height(), l.frame.height())
        && area(l.frame.intersected(bounds)) < area(bounds) / 2) {
        const QSize size(int(std::lround(bounds.width() / pxPerMmX * 96 / 25.4)),
                         int(std::lround(bounds.height() / pxPerMmY * 96 / 25.4)));
        if (size.width() >= 1 && size.height() >= 1 && size.width() <= Metafile::kMaxSide
            && size.height() <= Metafile::kMaxSide) {
            l.frame = bounds;
            l.size = size;
        }
    }

    qint64 at = headerSize;
    while (at < end) {
        const quint32 type = file.u32(at);
        const qint64 size = file.u32(at + 4);
        if (end - at < 8 || size < 8 || size % 4 != 0 || size > end - at)
            return l;
        at += size;
        if (type == EmrEof)
            break;
    }
    l.records = file.sub(headerSize, at - headerSize);
    l.problem = Problem::None;
    return l;
}

void playEmf(const Layout& layout, MetafileCanvas& canvas)
{
    Player player { canvas, layout.handles, {} };
    const Bytes records = layout.records;
    qint64 at = 0;
    while (records.has(at, 8) && !canvas.exhausted()) {
        const quint32 type = records.u32(at);
        const qint64 size = records.u32(at + 4);
        if (size < 8 || !records.has(at, size))
            break;
        if (type == EmrEof)
            break;
        player.play(type, records.sub(at, size));
        at += size;
    }
}

} // namespace metafile

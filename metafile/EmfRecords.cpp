#include "metafile/EmfRecords.h"

#include <algorithm>
#include <cmath>

namespace metafile::emf {

namespace {

constexpr qint64 kMaxUserDashes = 16;
constexpr quint32 kGradientTriangle = 2;
constexpr qint64 kMaxGradientVertices = 1 << 16;
constexpr qint64 kMaxRegionRects = 16384;

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

bool isSmall(EmrType type)
{
    return type >= EmrType::EMR_POLYBEZIER16 && type <= EmrType::EMR_POLYDRAW16;
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

std::optional<Setting> readSetting(EmrType type, Bytes r)
{
    if (r.size() < 12)
        return {};
    return Setting { type, r.u32(8) };
}

std::optional<ObjectRef> readObjectRef(EmrType type, Bytes r)
{
    if (r.size() < 12)
        return {};
    return ObjectRef { type, r.u32(8) };
}

std::optional<PointRecord> readPointRecord(EmrType type, Bytes r)
{
    if (r.size() < 16)
        return {};
    return PointRecord { type, pointL(r, 8) };
}

std::optional<Extent> readExtent(EmrType type, Bytes r)
{
    if (r.size() < 16)
        return {};
    return Extent { type, QSizeF(r.i32(8), r.i32(12)) };
}

std::optional<ScaleExtent> readScaleExtent(EmrType type, Bytes r)
{
    if (r.size() < 24)
        return {};
    return ScaleExtent { type, double(r.i32(8)), double(r.i32(12)), double(r.i32(16)), double(r.i32(20)) };
}

std::optional<SetWorldTransform> readSetWorldTransform(Bytes r)
{
    if (r.size() < 32)
        return {};
    return SetWorldTransform { xform(r, 8) };
}

std::optional<ModifyWorldTransform> readModifyWorldTransform(Bytes r)
{
    if (r.size() < 36)
        return {};
    return ModifyWorldTransform { xform(r, 8), gdi::WorldTransformMode(r.u32(32)) };
}

std::optional<BoxRecord> readBoxRecord(EmrType type, Bytes r)
{
    if (r.size() < 24)
        return {};
    return BoxRecord { type, rectL(r, 8) };
}

std::optional<RoundRect> readRoundRect(Bytes r)
{
    if (r.size() < 32)
        return {};
    return RoundRect { rectL(r, 8), QSizeF(r.i32(24), r.i32(28)) };
}

std::optional<ArcRecord> readArc(EmrType type, Bytes r)
{
    if (r.size() < 40)
        return {};
    return ArcRecord { type, rectL(r, 8), pointL(r, 24), pointL(r, 32) };
}

std::optional<AngleArc> readAngleArc(Bytes r)
{
    if (r.size() < 28)
        return {};
    return AngleArc { pointL(r, 8), r.u32(16), r.f32(20), r.f32(24) };
}

std::optional<SetPixelV> readSetPixelV(Bytes r)
{
    if (r.size() < 20)
        return {};
    return SetPixelV { pointL(r, 8), r.u32(16) };
}

std::optional<Poly> readPoly(EmrType type, Bytes r)
{
    if (r.size() < 28)
        return {};
    std::optional<QList<QPointF>> points = readPoints(r, 28, r.u32(24), isSmall(type));
    if (!points)
        return {};
    return Poly { type, std::move(*points) };
}

std::optional<PolyPoly> readPolyPoly(EmrType type, Bytes r)
{
    if (r.size() < 32)
        return {};
    const qint64 polys = r.u32(24);
    const qint64 total = r.u32(28);
    const qint64 countsAt = 32;
    if (!r.has(countsAt, polys * 4))
        return {};
    qint64 sum = 0;
    for (qint64 i = 0; i < polys; ++i)
        sum += r.u32(countsAt + 4 * i);
    if (sum > total)
        return {};
    const std::optional<QList<QPointF>> all = readPoints(r, countsAt + polys * 4, total, isSmall(type));
    if (!all)
        return {};
    PolyPoly out { type, {} };
    qint64 next = 0;
    for (qint64 i = 0; i < polys; ++i) {
        const qint64 count = r.u32(countsAt + 4 * i);
        out.polys.append(all->mid(next, count));
        next += count;
    }
    return out;
}

std::optional<PolyDraw> readPolyDraw(EmrType type, Bytes r)
{
    if (r.size() < 28)
        return {};
    const bool small = isSmall(type);
    const qint64 count = r.u32(24);
    std::optional<QList<QPointF>> points = readPoints(r, 28, count, small);
    const qint64 typesAt = 28 + count * (small ? 4 : 8);
    if (!points || !r.has(typesAt, count))
        return {};
    PolyDraw out { std::move(*points), {} };
    out.types.reserve(count);
    for (qint64 i = 0; i < count; ++i)
        out.types.append(r.u8(typesAt + i));
    return out;
}

std::optional<CreatePen> readCreatePen(Bytes r)
{
    if (r.size() < 28)
        return {};
    return CreatePen { r.u32(8), logPen(gdi::PenFlags { r.u32(12) }, r.i32(16), r.u32(24)) };
}

std::optional<CreatePen> readExtCreatePen(Bytes r)
{
    if (r.size() < 52)
        return {};
    GdiPen pen;
    pen.flags = gdi::PenFlags { r.u32(28) };
    // Cosmetic pens are one pixel wide whatever width they carry.
    pen.width = pen.flags.geometric() ? double(r.u32(32)) : 0;
    if (gdi::BrushStyle(r.u32(36)) == gdi::BrushStyle::Null)
        pen.flags.setStyle(gdi::PenStyle::Null);
    pen.colour = r.u32(40);
    const qint64 entries = r.u32(48);
    if (pen.flags.style() == gdi::PenStyle::UserStyle && entries <= kMaxUserDashes && r.has(52, entries * 4)) {
        for (qint64 i = 0; i < entries; ++i)
            pen.userDashes.append(r.u32(52 + 4 * i));
    }
    return CreatePen { r.u32(8), pen };
}

std::optional<CreateBrush> readCreateBrush(Bytes r)
{
    if (r.size() < 24)
        return {};
    return CreateBrush { r.u32(8), logBrush(gdi::BrushStyle(r.u32(12)), r.u32(16), gdi::HatchStyle(r.u32(20) & 0xFF)) };
}

std::optional<CreateDibBrush> readCreateDibBrush(Bytes r)
{
    if (r.size() < 32)
        return {};
    return CreateDibBrush { r.u32(8), readBitmapRef(r, 12, 16) };
}

std::optional<CreateFont> readCreateFont(Bytes r)
{
    if (r.size() < 12 + 92)
        return {};
    return CreateFont { r.u32(8), readLogFontW(r.from(12)) };
}

std::optional<CreatePalette> readCreatePalette(Bytes r)
{
    if (r.size() < 16)
        return {};
    return CreatePalette { r.u32(8), readLogPalette(r.from(12)) };
}

// A record with no region data resets the clip; one whose data is malformed is passed over.
std::optional<ExtSelectClipRgn> readExtSelectClipRgn(Bytes r)
{
    if (r.size() < 16)
        return {};
    const qint64 dataSize = r.u32(8);
    const auto mode = gdi::RegionMode(r.u32(12));
    if (dataSize == 0 || !r.has(16, 32))
        return ExtSelectClipRgn { mode, std::nullopt };
    std::optional<QPainterPath> region = readRegion(r, 16, dataSize);
    if (!region)
        return {};
    return ExtSelectClipRgn { mode, std::move(region) };
}

std::optional<FillRgn> readFillRgn(Bytes r)
{
    if (r.size() < 64)
        return {};
    std::optional<QPainterPath> region = readRegion(r, 32, r.u32(24));
    if (!region)
        return {};
    return FillRgn { r.u32(28), std::move(*region) };
}

std::optional<RegionRecord> readRegionRecord(EmrType type, Bytes r)
{
    if (r.size() < 60)
        return {};
    std::optional<QPainterPath> region = readRegion(r, 28, r.u32(24));
    if (!region)
        return {};
    return RegionRecord { type, std::move(*region) };
}

std::optional<FrameRgn> readFrameRgn(Bytes r)
{
    if (r.size() < 72)
        return {};
    std::optional<QPainterPath> region = readRegion(r, 40, r.u32(24));
    if (!region)
        return {};
    return FrameRgn { r.u32(28), QSizeF(r.i32(32), r.i32(36)), std::move(*region) };
}

std::optional<GradientFill> readGradientFill(Bytes r)
{
    if (r.size() < 36)
        return {};
    const qint64 vertices = r.u32(24);
    const qint64 shapes = r.u32(28);
    GradientFill out;
    out.mode = r.u32(32);
    const qint64 shapesAt = 36 + vertices * 16;
    const qint64 shapeSize = out.mode == kGradientTriangle ? 12 : 8; // or two corners
    if (out.mode > kGradientTriangle || vertices > kMaxGradientVertices || shapes > kMaxGradientVertices
        || !r.has(36, vertices * 16) || !r.has(shapesAt, shapes * shapeSize))
        return {};
    out.vertices.reserve(vertices);
    for (qint64 i = 0; i < vertices; ++i) {
        const qint64 at = 36 + i * 16;
        out.vertices.append({ pointL(r, at), qRgb(r.u16(at + 8) >> 8, r.u16(at + 10) >> 8, r.u16(at + 12) >> 8) });
    }
    out.shapes.reserve(shapes);
    for (qint64 i = 0; i < shapes; ++i) {
        const qint64 at = shapesAt + i * shapeSize;
        out.shapes.append({ r.u32(at), r.u32(at + 4), out.mode == kGradientTriangle ? r.u32(at + 8) : 0 });
    }
    return out;
}

// An EMRTEXT at `at`. The rectangle may be left out (ETO_NO_RECT) only where the text stands
// alone, not in a POLYTEXTOUT.
std::optional<TextPiece> readTextPiece(Bytes r, qint64 at, bool wide, bool rectMayBeLeftOut)
{
    if (!r.has(at, 20))
        return {};
    TextPiece piece;
    piece.reference = pointL(r, at);
    piece.wide = wide;
    const qint64 chars = r.u32(at + 8);
    const qint64 stringAt = r.u32(at + 12);
    piece.options = gdi::TextOutOptions::fromInt(r.u32(at + 16));
    qint64 dxAt = at + 20;
    if (!rectMayBeLeftOut || !(piece.options & gdi::TextOutOption::NoRect)) {
        if (!r.has(at, 40))
            return {};
        if (piece.options & (gdi::TextOutOption::Opaque | gdi::TextOutOption::Clipped))
            piece.rect = rectL(r, at + 20);
        dxAt = at + 36;
    }
    if (!r.has(dxAt, 4) || !r.has(stringAt, chars * (wide ? 2 : 1)))
        return {};
    piece.string = r.sub(stringAt, chars * (wide ? 2 : 1));
    const qint64 dxOffset = r.u32(dxAt);
    const qint64 dxStep = (piece.options & gdi::TextOutOption::Pdy) ? 8 : 4; // x and y for each
    if (dxOffset != 0 && r.has(dxOffset, chars * dxStep)) {
        piece.dx.reserve(chars);
        for (qint64 i = 0; i < chars; ++i)
            piece.dx.append(r.i32(dxOffset + i * dxStep));
    }
    return piece;
}

TextRecord readExtTextOut(EmrType type, Bytes r)
{
    TextRecord out;
    if (std::optional<TextPiece> piece = readTextPiece(r, 36, type == EmrType::EMR_EXTTEXTOUTW, true))
        out.pieces.append(std::move(*piece));
    return out;
}

TextRecord readPolyTextOut(EmrType type, Bytes r)
{
    TextRecord out;
    const qint64 count = r.u32(36);
    for (qint64 i = 0; i < count && r.has(40 + 40 * i, 40); ++i) {
        if (std::optional<TextPiece> piece = readTextPiece(r, 40 + 40 * i, type == EmrType::EMR_POLYTEXTOUTW, false))
            out.pieces.append(std::move(*piece));
    }
    return out;
}

std::optional<Blt> readBlt(EmrType type, Bytes r)
{
    const bool stretch = type != EmrType::EMR_BITBLT;
    if (r.size() < (stretch ? 108 : 100))
        return {};
    Blt out { type, QRectF(r.i32(24), r.i32(28), r.i32(32), r.i32(36)), r.u32(40), {}, xform(r, 52),
              readBitmapRef(r, 80, 84) };
    out.source = QRectF(r.i32(44), r.i32(48), stretch ? r.i32(100) : out.dest.width(),
                        stretch ? r.i32(104) : out.dest.height());
    return out;
}

std::optional<MaskBlt> readMaskBlt(Bytes r)
{
    if (r.size() < 128)
        return {};
    return MaskBlt { QRectF(r.i32(24), r.i32(28), r.i32(32), r.i32(36)), r.u32(40), QPoint(r.i32(44), r.i32(48)),
                     readBitmapRef(r, 80, 84), QPoint(r.i32(100), r.i32(104)), readBitmapRef(r, 108, 112) };
}

std::optional<PlgBlt> readPlgBlt(Bytes r)
{
    if (r.size() < 140)
        return {};
    return PlgBlt { { pointL(r, 24), pointL(r, 32), pointL(r, 40) }, QRectF(r.i32(48), r.i32(52), r.i32(56), r.i32(60)),
                    readBitmapRef(r, 92, 96), QPoint(r.i32(112), r.i32(116)), readBitmapRef(r, 120, 124) };
}

std::optional<SetDiBitsToDevice> readSetDiBitsToDevice(Bytes r)
{
    if (r.size() < 76)
        return {};
    return SetDiBitsToDevice { pointL(r, 24), pointL(r, 32), QSizeF(r.i32(40), r.i32(44)), r.u32(68), r.u32(72),
                               readBitmapRef(r, 64, 48) };
}

std::optional<StretchDiBits> readStretchDiBits(Bytes r)
{
    if (r.size() < 80)
        return {};
    return StretchDiBits { QRectF(r.i32(24), r.i32(28), r.i32(72), r.i32(76)),
                           QRectF(r.i32(32), r.i32(36), r.i32(40), r.i32(44)), r.u32(68), readBitmapRef(r, 64, 48) };
}

std::optional<Comment> readComment(Bytes r)
{
    if (r.size() < 16)
        return {};
    Comment out { r.u32(12), std::nullopt };
    const qint64 dataSize = r.u32(8);
    if (out.identifier == kEmfPlusSignature && dataSize >= 4 && r.has(12, dataSize))
        out.emfPlus = r.sub(16, dataSize - 4);
    return out;
}

} // namespace

namespace {

std::optional<NoParameters> readNoParameters(EmrType type, Bytes)
{
    return NoParameters { type };
}

template <class T> std::optional<Record> wrap(std::optional<T> value)
{
    if (!value)
        return {};
    return Record(std::move(*value));
}

template <class T> std::optional<Record> wrap(T value)
{
    return Record(std::move(value));
}

using Reader = std::optional<Record> (*)(EmrType, Bytes);

template <auto read> std::optional<Record> typed(EmrType type, Bytes r)
{
    return wrap(read(type, r));
}

template <auto read> std::optional<Record> untyped(EmrType, Bytes r)
{
    return wrap(read(r));
}

struct Entry {
    EmrType type;
    const char* name;
    Reader read; // null: a record the player passes over
};

// Every record type the format defines, in the order of their numbers.
constexpr Entry kRecords[] = {
    { EmrType::EMR_HEADER, "EMR_HEADER", untyped<readHeader> },
    { EmrType::EMR_POLYBEZIER, "EMR_POLYBEZIER", typed<readPoly> },
    { EmrType::EMR_POLYGON, "EMR_POLYGON", typed<readPoly> },
    { EmrType::EMR_POLYLINE, "EMR_POLYLINE", typed<readPoly> },
    { EmrType::EMR_POLYBEZIERTO, "EMR_POLYBEZIERTO", typed<readPoly> },
    { EmrType::EMR_POLYLINETO, "EMR_POLYLINETO", typed<readPoly> },
    { EmrType::EMR_POLYPOLYLINE, "EMR_POLYPOLYLINE", typed<readPolyPoly> },
    { EmrType::EMR_POLYPOLYGON, "EMR_POLYPOLYGON", typed<readPolyPoly> },
    { EmrType::EMR_SETWINDOWEXTEX, "EMR_SETWINDOWEXTEX", typed<readExtent> },
    { EmrType::EMR_SETWINDOWORGEX, "EMR_SETWINDOWORGEX", typed<readPointRecord> },
    { EmrType::EMR_SETVIEWPORTEXTEX, "EMR_SETVIEWPORTEXTEX", typed<readExtent> },
    { EmrType::EMR_SETVIEWPORTORGEX, "EMR_SETVIEWPORTORGEX", typed<readPointRecord> },
    { EmrType::EMR_SETBRUSHORGEX, "EMR_SETBRUSHORGEX", nullptr },
    { EmrType::EMR_EOF, "EMR_EOF", nullptr },
    { EmrType::EMR_SETPIXELV, "EMR_SETPIXELV", untyped<readSetPixelV> },
    { EmrType::EMR_SETMAPPERFLAGS, "EMR_SETMAPPERFLAGS", nullptr },
    { EmrType::EMR_SETMAPMODE, "EMR_SETMAPMODE", typed<readSetting> },
    { EmrType::EMR_SETBKMODE, "EMR_SETBKMODE", typed<readSetting> },
    { EmrType::EMR_SETPOLYFILLMODE, "EMR_SETPOLYFILLMODE", typed<readSetting> },
    { EmrType::EMR_SETROP2, "EMR_SETROP2", typed<readSetting> },
    { EmrType::EMR_SETSTRETCHBLTMODE, "EMR_SETSTRETCHBLTMODE", nullptr },
    { EmrType::EMR_SETTEXTALIGN, "EMR_SETTEXTALIGN", typed<readSetting> },
    { EmrType::EMR_SETCOLORADJUSTMENT, "EMR_SETCOLORADJUSTMENT", nullptr },
    { EmrType::EMR_SETTEXTCOLOR, "EMR_SETTEXTCOLOR", typed<readSetting> },
    { EmrType::EMR_SETBKCOLOR, "EMR_SETBKCOLOR", typed<readSetting> },
    { EmrType::EMR_OFFSETCLIPRGN, "EMR_OFFSETCLIPRGN", typed<readPointRecord> },
    { EmrType::EMR_MOVETOEX, "EMR_MOVETOEX", typed<readPointRecord> },
    { EmrType::EMR_SETMETARGN, "EMR_SETMETARGN", typed<readNoParameters> },
    { EmrType::EMR_EXCLUDECLIPRECT, "EMR_EXCLUDECLIPRECT", typed<readBoxRecord> },
    { EmrType::EMR_INTERSECTCLIPRECT, "EMR_INTERSECTCLIPRECT", typed<readBoxRecord> },
    { EmrType::EMR_SCALEVIEWPORTEXTEX, "EMR_SCALEVIEWPORTEXTEX", typed<readScaleExtent> },
    { EmrType::EMR_SCALEWINDOWEXTEX, "EMR_SCALEWINDOWEXTEX", typed<readScaleExtent> },
    { EmrType::EMR_SAVEDC, "EMR_SAVEDC", typed<readNoParameters> },
    { EmrType::EMR_RESTOREDC, "EMR_RESTOREDC", typed<readSetting> },
    { EmrType::EMR_SETWORLDTRANSFORM, "EMR_SETWORLDTRANSFORM", untyped<readSetWorldTransform> },
    { EmrType::EMR_MODIFYWORLDTRANSFORM, "EMR_MODIFYWORLDTRANSFORM", untyped<readModifyWorldTransform> },
    { EmrType::EMR_SELECTOBJECT, "EMR_SELECTOBJECT", typed<readObjectRef> },
    { EmrType::EMR_CREATEPEN, "EMR_CREATEPEN", untyped<readCreatePen> },
    { EmrType::EMR_CREATEBRUSHINDIRECT, "EMR_CREATEBRUSHINDIRECT", untyped<readCreateBrush> },
    { EmrType::EMR_DELETEOBJECT, "EMR_DELETEOBJECT", typed<readObjectRef> },
    { EmrType::EMR_ANGLEARC, "EMR_ANGLEARC", untyped<readAngleArc> },
    { EmrType::EMR_ELLIPSE, "EMR_ELLIPSE", typed<readBoxRecord> },
    { EmrType::EMR_RECTANGLE, "EMR_RECTANGLE", typed<readBoxRecord> },
    { EmrType::EMR_ROUNDRECT, "EMR_ROUNDRECT", untyped<readRoundRect> },
    { EmrType::EMR_ARC, "EMR_ARC", typed<readArc> },
    { EmrType::EMR_CHORD, "EMR_CHORD", typed<readArc> },
    { EmrType::EMR_PIE, "EMR_PIE", typed<readArc> },
    { EmrType::EMR_SELECTPALETTE, "EMR_SELECTPALETTE", typed<readObjectRef> },
    { EmrType::EMR_CREATEPALETTE, "EMR_CREATEPALETTE", untyped<readCreatePalette> },
    { EmrType::EMR_SETPALETTEENTRIES, "EMR_SETPALETTEENTRIES", nullptr },
    { EmrType::EMR_RESIZEPALETTE, "EMR_RESIZEPALETTE", nullptr },
    { EmrType::EMR_REALIZEPALETTE, "EMR_REALIZEPALETTE", nullptr },
    { EmrType::EMR_EXTFLOODFILL, "EMR_EXTFLOODFILL", nullptr },
    { EmrType::EMR_LINETO, "EMR_LINETO", typed<readPointRecord> },
    { EmrType::EMR_ARCTO, "EMR_ARCTO", typed<readArc> },
    { EmrType::EMR_POLYDRAW, "EMR_POLYDRAW", typed<readPolyDraw> },
    { EmrType::EMR_SETARCDIRECTION, "EMR_SETARCDIRECTION", typed<readSetting> },
    { EmrType::EMR_SETMITERLIMIT, "EMR_SETMITERLIMIT", typed<readSetting> },
    { EmrType::EMR_BEGINPATH, "EMR_BEGINPATH", typed<readNoParameters> },
    { EmrType::EMR_ENDPATH, "EMR_ENDPATH", typed<readNoParameters> },
    { EmrType::EMR_CLOSEFIGURE, "EMR_CLOSEFIGURE", typed<readNoParameters> },
    { EmrType::EMR_FILLPATH, "EMR_FILLPATH", typed<readNoParameters> },
    { EmrType::EMR_STROKEANDFILLPATH, "EMR_STROKEANDFILLPATH", typed<readNoParameters> },
    { EmrType::EMR_STROKEPATH, "EMR_STROKEPATH", typed<readNoParameters> },
    { EmrType::EMR_FLATTENPATH, "EMR_FLATTENPATH", nullptr },
    { EmrType::EMR_WIDENPATH, "EMR_WIDENPATH", typed<readNoParameters> },
    { EmrType::EMR_SELECTCLIPPATH, "EMR_SELECTCLIPPATH", typed<readSetting> },
    { EmrType::EMR_ABORTPATH, "EMR_ABORTPATH", typed<readNoParameters> },
    { EmrType::EMR_COMMENT, "EMR_COMMENT", untyped<readComment> },
    { EmrType::EMR_FILLRGN, "EMR_FILLRGN", untyped<readFillRgn> },
    { EmrType::EMR_FRAMERGN, "EMR_FRAMERGN", untyped<readFrameRgn> },
    { EmrType::EMR_INVERTRGN, "EMR_INVERTRGN", typed<readRegionRecord> },
    { EmrType::EMR_PAINTRGN, "EMR_PAINTRGN", typed<readRegionRecord> },
    { EmrType::EMR_EXTSELECTCLIPRGN, "EMR_EXTSELECTCLIPRGN", untyped<readExtSelectClipRgn> },
    { EmrType::EMR_BITBLT, "EMR_BITBLT", typed<readBlt> },
    { EmrType::EMR_STRETCHBLT, "EMR_STRETCHBLT", typed<readBlt> },
    { EmrType::EMR_MASKBLT, "EMR_MASKBLT", untyped<readMaskBlt> },
    { EmrType::EMR_PLGBLT, "EMR_PLGBLT", untyped<readPlgBlt> },
    { EmrType::EMR_SETDIBITSTODEVICE, "EMR_SETDIBITSTODEVICE", untyped<readSetDiBitsToDevice> },
    { EmrType::EMR_STRETCHDIBITS, "EMR_STRETCHDIBITS", untyped<readStretchDiBits> },
    { EmrType::EMR_EXTCREATEFONTINDIRECTW, "EMR_EXTCREATEFONTINDIRECTW", untyped<readCreateFont> },
    { EmrType::EMR_EXTTEXTOUTA, "EMR_EXTTEXTOUTA", typed<readExtTextOut> },
    { EmrType::EMR_EXTTEXTOUTW, "EMR_EXTTEXTOUTW", typed<readExtTextOut> },
    { EmrType::EMR_POLYBEZIER16, "EMR_POLYBEZIER16", typed<readPoly> },
    { EmrType::EMR_POLYGON16, "EMR_POLYGON16", typed<readPoly> },
    { EmrType::EMR_POLYLINE16, "EMR_POLYLINE16", typed<readPoly> },
    { EmrType::EMR_POLYBEZIERTO16, "EMR_POLYBEZIERTO16", typed<readPoly> },
    { EmrType::EMR_POLYLINETO16, "EMR_POLYLINETO16", typed<readPoly> },
    { EmrType::EMR_POLYPOLYLINE16, "EMR_POLYPOLYLINE16", typed<readPolyPoly> },
    { EmrType::EMR_POLYPOLYGON16, "EMR_POLYPOLYGON16", typed<readPolyPoly> },
    { EmrType::EMR_POLYDRAW16, "EMR_POLYDRAW16", typed<readPolyDraw> },
    { EmrType::EMR_CREATEMONOBRUSH, "EMR_CREATEMONOBRUSH", untyped<readCreateDibBrush> },
    { EmrType::EMR_CREATEDIBPATTERNBRUSHPT, "EMR_CREATEDIBPATTERNBRUSHPT", untyped<readCreateDibBrush> },
    { EmrType::EMR_EXTCREATEPEN, "EMR_EXTCREATEPEN", untyped<readExtCreatePen> },
    { EmrType::EMR_POLYTEXTOUTA, "EMR_POLYTEXTOUTA", typed<readPolyTextOut> },
    { EmrType::EMR_POLYTEXTOUTW, "EMR_POLYTEXTOUTW", typed<readPolyTextOut> },
    { EmrType::EMR_SETICMMODE, "EMR_SETICMMODE", nullptr },
    { EmrType::EMR_CREATECOLORSPACE, "EMR_CREATECOLORSPACE", nullptr },
    { EmrType::EMR_SETCOLORSPACE, "EMR_SETCOLORSPACE", nullptr },
    { EmrType::EMR_DELETECOLORSPACE, "EMR_DELETECOLORSPACE", nullptr },
    { EmrType::EMR_GLSRECORD, "EMR_GLSRECORD", nullptr },
    { EmrType::EMR_GLSBOUNDEDRECORD, "EMR_GLSBOUNDEDRECORD", nullptr },
    { EmrType::EMR_PIXELFORMAT, "EMR_PIXELFORMAT", nullptr },
    { EmrType::EMR_DRAWESCAPE, "EMR_DRAWESCAPE", nullptr },
    { EmrType::EMR_EXTESCAPE, "EMR_EXTESCAPE", nullptr },
    { EmrType::EMR_SMALLTEXTOUT, "EMR_SMALLTEXTOUT", nullptr },
    { EmrType::EMR_FORCEUFIMAPPING, "EMR_FORCEUFIMAPPING", nullptr },
    { EmrType::EMR_NAMEDESCAPE, "EMR_NAMEDESCAPE", nullptr },
    { EmrType::EMR_COLORCORRECTPALETTE, "EMR_COLORCORRECTPALETTE", nullptr },
    { EmrType::EMR_SETICMPROFILEA, "EMR_SETICMPROFILEA", nullptr },
    { EmrType::EMR_SETICMPROFILEW, "EMR_SETICMPROFILEW", nullptr },
    { EmrType::EMR_ALPHABLEND, "EMR_ALPHABLEND", typed<readBlt> },
    { EmrType::EMR_SETLAYOUT, "EMR_SETLAYOUT", nullptr },
    { EmrType::EMR_TRANSPARENTBLT, "EMR_TRANSPARENTBLT", typed<readBlt> },
    { EmrType::EMR_GRADIENTFILL, "EMR_GRADIENTFILL", untyped<readGradientFill> },
    { EmrType::EMR_SETLINKEDUFIS, "EMR_SETLINKEDUFIS", nullptr },
    { EmrType::EMR_SETTEXTJUSTIFICATION, "EMR_SETTEXTJUSTIFICATION", nullptr },
    { EmrType::EMR_COLORMATCHTOTARGETW, "EMR_COLORMATCHTOTARGETW", nullptr },
    { EmrType::EMR_CREATECOLORSPACEW, "EMR_CREATECOLORSPACEW", nullptr },
};

const Entry* entry(EmrType type)
{
    const auto* it = std::lower_bound(std::begin(kRecords), std::end(kRecords), type,
                                      [](const Entry& e, EmrType t) { return e.type < t; });
    return it != std::end(kRecords) && it->type == type ? it : nullptr;
}

} // namespace

std::optional<Header> readHeader(Bytes r)
{
    if (r.size() < 88)
        return {};
    const auto rect = [&](qint64 at) { return QRect(QPoint(r.i32(at), r.i32(at + 4)), QPoint(r.i32(at + 8), r.i32(at + 12))); };
    return Header { rect(8), rect(24), r.u32(40), r.u32(44), r.u32(48), r.u32(52), r.u16(56), r.u32(60), r.u32(64),
                    QSize(r.i32(72), r.i32(76)), QSize(r.i32(80), r.i32(84)), r.u32(88), r.u32(92), r.u32(100),
                    r.u32(104) };
}

std::optional<Record> readRecord(EmrType type, Bytes record)
{
    const Entry* e = entry(type);
    if (!e || !e->read)
        return Record();
    return e->read(type, record);
}

const char* recordName(EmrType type)
{
    const Entry* e = entry(type);
    return e ? e->name : nullptr;
}

} // namespace metafile::emf

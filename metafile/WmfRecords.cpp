#include "metafile/WmfRecords.h"

#include <algorithm>

namespace metafile::wmf {

namespace {

constexpr quint32 kPlaceableKey = 0x9AC6CDD7;
constexpr qint64 kMaxRegionRects = 16384;
constexpr quint32 kSrcCopy = 0x00CC0020;

// A record's parameters, 16-bit words after the size and function.
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
    QRectF box(qint64 i) const { return QRectF(s(i + 3), s(i + 2), s(i + 1), s(i)); } // height, width, y, x
    QList<QPointF> points(qint64 firstWord, qint64 count) const
    {
        QList<QPointF> out;
        out.reserve(count);
        for (qint64 i = 0; i < count; ++i)
            out.append(QPointF(s(firstWord + 2 * i), s(firstWord + 2 * i + 1)));
        return out;
    }
};

// The record as read: its type, its length in words (header included) and its parameters.
struct Raw {
    MetaType type;
    qint64 words;
    Params p;
};

std::optional<NoParameters> readNoParameters(const Raw& r)
{
    return NoParameters { r.type };
}

std::optional<Setting> readSetting(const Raw& r)
{
    if (!r.p.need(1))
        return {};
    return Setting { r.type, r.p.u(0) };
}

std::optional<ObjectRef> readObjectRef(const Raw& r)
{
    if (!r.p.need(1))
        return {};
    return ObjectRef { r.type, r.p.u(0) };
}

std::optional<Colour> readColour(const Raw& r)
{
    if (!r.p.need(2))
        return {};
    return Colour { r.type, r.p.u32(0) };
}

std::optional<PointRecord> readPointRecord(const Raw& r)
{
    if (!r.p.need(2))
        return {};
    return PointRecord { r.type, r.p.point(0) };
}

std::optional<Extent> readExtent(const Raw& r)
{
    if (!r.p.need(2))
        return {};
    return Extent { r.type, QSizeF(r.p.s(1), r.p.s(0)) };
}

std::optional<ScaleExtent> readScaleExtent(const Raw& r)
{
    if (!r.p.need(4))
        return {};
    return ScaleExtent { r.type, r.p.s(3), r.p.s(2), r.p.s(1), r.p.s(0) };
}

std::optional<BoxRecord> readBoxRecord(const Raw& r)
{
    if (!r.p.need(4))
        return {};
    return BoxRecord { r.type, r.p.rect(0) };
}

std::optional<RoundRect> readRoundRect(const Raw& r)
{
    if (!r.p.need(6))
        return {};
    return RoundRect { r.p.rect(2), QSizeF(r.p.s(1), r.p.s(0)) };
}

std::optional<ArcRecord> readArc(const Raw& r)
{
    if (!r.p.need(8))
        return {};
    return ArcRecord { r.type, r.p.rect(4), r.p.point(2), r.p.point(0) };
}

std::optional<SetPixel> readSetPixel(const Raw& r)
{
    if (!r.p.need(4))
        return {};
    return SetPixel { r.p.point(2), r.p.u32(0) };
}

std::optional<Poly> readPoly(const Raw& r)
{
    if (!r.p.need(1))
        return {};
    const qint64 count = r.p.s(0);
    if (count < 0 || !r.p.need(1 + 2 * count))
        return {};
    return Poly { r.type, r.p.points(1, count) };
}

std::optional<PolyPolygon> readPolyPolygon(const Raw& r)
{
    const Params& p = r.p;
    if (!p.need(1))
        return {};
    const qint64 polygons = p.u(0);
    if (!p.need(1 + polygons))
        return {};
    qint64 total = 0;
    for (qint64 i = 0; i < polygons; ++i)
        total += p.u(1 + i);
    if (!p.need(1 + polygons + 2 * total))
        return {};
    PolyPolygon out;
    qint64 word = 1 + polygons;
    for (qint64 i = 0; i < polygons; ++i) {
        const qint64 count = p.u(1 + i);
        out.polygons.append(p.points(word, count));
        word += 2 * count;
    }
    return out;
}

std::optional<CreatePen> readCreatePen(const Raw& r)
{
    if (!r.p.need(5))
        return {};
    return CreatePen { logPen(gdi::PenFlags { r.p.u(0) }, r.p.s(1), r.p.u32(3)) };
}

std::optional<CreateBrush> readCreateBrush(const Raw& r)
{
    if (!r.p.need(4))
        return {};
    return CreateBrush { logBrush(gdi::BrushStyle(r.p.u(0)), r.p.u32(1), gdi::HatchStyle(r.p.u(3))) };
}

std::optional<CreateDibBrush> readCreateDibBrush(const Raw& r)
{
    if (!r.p.need(2))
        return {};
    return CreateDibBrush { r.p.u(1), r.p.b.from(4) };
}

std::optional<CreateFont> readCreateFont(const Raw& r)
{
    if (!r.p.need(9))
        return {};
    return CreateFont { readLogFont16(r.p.b) };
}

std::optional<CreatePalette> readCreatePalette(const Raw& r)
{
    if (!r.p.need(2))
        return {};
    return CreatePalette { readLogPalette(r.p.b) };
}

std::optional<CreateRegion> readCreateRegion(const Raw& r)
{
    const Params& p = r.p;
    CreateRegion out;
    QPainterPath& region = out.object;
    region.setFillRule(Qt::WindingFill);
    if (!p.need(11))
        return out;
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
    return out;
}

std::optional<FillRegion> readFillRegion(const Raw& r)
{
    if (!r.p.need(2))
        return {};
    return FillRegion { r.p.u(0), r.p.u(1) };
}

std::optional<FrameRegion> readFrameRegion(const Raw& r)
{
    if (!r.p.need(4))
        return {};
    return FrameRegion { r.p.u(0), r.p.u(1), QSizeF(r.p.s(3), r.p.s(2)) };
}

std::optional<Text> readTextOut(const Raw& r)
{
    const Bytes& b = r.p.b;
    if (!r.p.need(1))
        return {};
    const qint64 length = r.p.s(0);
    const qint64 padded = (length + 1) / 2 * 2;
    if (length < 0 || !b.has(2, padded + 4))
        return {};
    return Text { QPointF(b.i16(4 + padded), b.i16(2 + padded)), {}, std::nullopt, b.sub(2, length), {} };
}

std::optional<Text> readExtTextOut(const Raw& r)
{
    const Bytes& b = r.p.b;
    if (!r.p.need(4))
        return {};
    Text out { r.p.point(0), gdi::TextOutOptions::fromInt(r.p.u(3)), std::nullopt, {}, {} };
    const qint64 length = r.p.s(2);
    qint64 offset = 8;
    if (out.options & (gdi::TextOutOption::Opaque | gdi::TextOutOption::Clipped)) {
        if (!b.has(offset, 8))
            return {};
        out.rect = QRectF(QPointF(b.i16(offset), b.i16(offset + 2)), QPointF(b.i16(offset + 4), b.i16(offset + 6)));
        offset += 8;
    }
    if (length < 0 || !b.has(offset, length))
        return {};
    out.string = b.sub(offset, length);
    offset += (length + 1) / 2 * 2;
    if (length > 0 && b.has(offset, 2 * length)) {
        out.dx.reserve(length);
        for (qint64 i = 0; i < length; ++i)
            out.dx.append(b.i16(offset + 2 * i));
    }
    return out;
}

std::optional<Blt> readPatBlt(const Raw& r)
{
    if (!r.p.need(6))
        return {};
    return Blt { r.type, r.p.box(2), r.p.u32(0), std::nullopt, {} };
}

// Without a bitmap the record is one word longer than its function's size byte says.
bool withoutBitmap(const Raw& r)
{
    return r.words == (quint16(r.type) >> 8) + 3;
}

std::optional<Blt> readBitBlt(const Raw& r)
{
    const Params& p = r.p;
    if (withoutBitmap(r)) {
        if (!p.need(9))
            return {};
        return Blt { r.type, p.box(5), p.u32(0), std::nullopt, {} };
    }
    if (!p.need(8))
        return {};
    return Blt { r.type, p.box(4), p.u32(0), QRectF(p.s(3), p.s(2), p.s(5), p.s(4)), p.b.from(16) };
}

std::optional<Blt> readStretchBlt(const Raw& r)
{
    const Params& p = r.p;
    if (withoutBitmap(r)) {
        if (!p.need(11))
            return {};
        return Blt { r.type, p.box(7), p.u32(0), std::nullopt, {} };
    }
    if (!p.need(10))
        return {};
    return Blt { r.type, p.box(6), p.u32(0), p.box(2), p.b.from(20) };
}

std::optional<DibBlt> readSetDibToDev(const Raw& r)
{
    const Params& p = r.p;
    if (!p.need(9))
        return {};
    const quint16 startScan = p.u(2);
    const QRectF source(p.s(4), p.s(3) - double(startScan), p.s(6), p.s(5));
    return DibBlt { r.type, p.box(5), source, kSrcCopy, p.u(0), startScan, p.u(1), p.b.from(18) };
}

std::optional<DibBlt> readStretchDib(const Raw& r)
{
    const Params& p = r.p;
    if (!p.need(11))
        return {};
    return DibBlt { r.type, p.box(7), p.box(3), p.u32(0), p.u(2), 0, 0, p.b.from(22) };
}

template <class T> std::optional<Record> wrap(std::optional<T> value)
{
    if (!value)
        return {};
    return Record(std::move(*value));
}

using Reader = std::optional<Record> (*)(const Raw&);

template <auto read> std::optional<Record> as(const Raw& r)
{
    return wrap(read(r));
}

struct Entry {
    MetaType type;
    const char* name;
    Reader read; // null: a record the player passes over
};

// Every record type the format defines, in the order of their numbers.
constexpr Entry kRecords[] = {
    { MetaType::META_EOF, "META_EOF", nullptr },
    { MetaType::META_SAVEDC, "META_SAVEDC", as<readNoParameters> },
    { MetaType::META_REALIZEPALETTE, "META_REALIZEPALETTE", nullptr },
    { MetaType::META_SETPALENTRIES, "META_SETPALENTRIES", nullptr },
    { MetaType::META_CREATEPALETTE, "META_CREATEPALETTE", as<readCreatePalette> },
    { MetaType::META_SETBKMODE, "META_SETBKMODE", as<readSetting> },
    { MetaType::META_SETMAPMODE, "META_SETMAPMODE", as<readSetting> },
    { MetaType::META_SETROP2, "META_SETROP2", as<readSetting> },
    { MetaType::META_SETRELABS, "META_SETRELABS", nullptr },
    { MetaType::META_SETPOLYFILLMODE, "META_SETPOLYFILLMODE", as<readSetting> },
    { MetaType::META_SETSTRETCHBLTMODE, "META_SETSTRETCHBLTMODE", nullptr },
    { MetaType::META_SETTEXTCHAREXTRA, "META_SETTEXTCHAREXTRA", as<readSetting> },
    { MetaType::META_RESTOREDC, "META_RESTOREDC", as<readSetting> },
    { MetaType::META_INVERTREGION, "META_INVERTREGION", as<readObjectRef> },
    { MetaType::META_PAINTREGION, "META_PAINTREGION", as<readObjectRef> },
    { MetaType::META_SELECTCLIPREGION, "META_SELECTCLIPREGION", as<readObjectRef> },
    { MetaType::META_SELECTOBJECT, "META_SELECTOBJECT", as<readObjectRef> },
    { MetaType::META_SETTEXTALIGN, "META_SETTEXTALIGN", as<readSetting> },
    { MetaType::META_RESIZEPALETTE, "META_RESIZEPALETTE", nullptr },
    { MetaType::META_DIBCREATEPATTERNBRUSH, "META_DIBCREATEPATTERNBRUSH", as<readCreateDibBrush> },
    { MetaType::META_SETLAYOUT, "META_SETLAYOUT", nullptr },
    { MetaType::META_DELETEOBJECT, "META_DELETEOBJECT", as<readObjectRef> },
    { MetaType::META_CREATEPATTERNBRUSH, "META_CREATEPATTERNBRUSH", as<readNoParameters> },
    { MetaType::META_SETBKCOLOR, "META_SETBKCOLOR", as<readColour> },
    { MetaType::META_SETTEXTCOLOR, "META_SETTEXTCOLOR", as<readColour> },
    { MetaType::META_SETTEXTJUSTIFICATION, "META_SETTEXTJUSTIFICATION", nullptr },
    { MetaType::META_SETWINDOWORG, "META_SETWINDOWORG", as<readPointRecord> },
    { MetaType::META_SETWINDOWEXT, "META_SETWINDOWEXT", as<readExtent> },
    { MetaType::META_SETVIEWPORTORG, "META_SETVIEWPORTORG", as<readPointRecord> },
    { MetaType::META_SETVIEWPORTEXT, "META_SETVIEWPORTEXT", as<readExtent> },
    { MetaType::META_OFFSETWINDOWORG, "META_OFFSETWINDOWORG", as<readPointRecord> },
    { MetaType::META_OFFSETVIEWPORTORG, "META_OFFSETVIEWPORTORG", as<readPointRecord> },
    { MetaType::META_LINETO, "META_LINETO", as<readPointRecord> },
    { MetaType::META_MOVETO, "META_MOVETO", as<readPointRecord> },
    { MetaType::META_OFFSETCLIPRGN, "META_OFFSETCLIPRGN", as<readPointRecord> },
    { MetaType::META_FILLREGION, "META_FILLREGION", as<readFillRegion> },
    { MetaType::META_SETMAPPERFLAGS, "META_SETMAPPERFLAGS", nullptr },
    { MetaType::META_SELECTPALETTE, "META_SELECTPALETTE", as<readObjectRef> },
    { MetaType::META_CREATEPENINDIRECT, "META_CREATEPENINDIRECT", as<readCreatePen> },
    { MetaType::META_CREATEFONTINDIRECT, "META_CREATEFONTINDIRECT", as<readCreateFont> },
    { MetaType::META_CREATEBRUSHINDIRECT, "META_CREATEBRUSHINDIRECT", as<readCreateBrush> },
    { MetaType::META_POLYGON, "META_POLYGON", as<readPoly> },
    { MetaType::META_POLYLINE, "META_POLYLINE", as<readPoly> },
    { MetaType::META_SCALEWINDOWEXT, "META_SCALEWINDOWEXT", as<readScaleExtent> },
    { MetaType::META_SCALEVIEWPORTEXT, "META_SCALEVIEWPORTEXT", as<readScaleExtent> },
    { MetaType::META_EXCLUDECLIPRECT, "META_EXCLUDECLIPRECT", as<readBoxRecord> },
    { MetaType::META_INTERSECTCLIPRECT, "META_INTERSECTCLIPRECT", as<readBoxRecord> },
    { MetaType::META_ELLIPSE, "META_ELLIPSE", as<readBoxRecord> },
    { MetaType::META_FLOODFILL, "META_FLOODFILL", nullptr },
    { MetaType::META_RECTANGLE, "META_RECTANGLE", as<readBoxRecord> },
    { MetaType::META_SETPIXEL, "META_SETPIXEL", as<readSetPixel> },
    { MetaType::META_FRAMEREGION, "META_FRAMEREGION", as<readFrameRegion> },
    { MetaType::META_ANIMATEPALETTE, "META_ANIMATEPALETTE", nullptr },
    { MetaType::META_TEXTOUT, "META_TEXTOUT", as<readTextOut> },
    { MetaType::META_POLYPOLYGON, "META_POLYPOLYGON", as<readPolyPolygon> },
    { MetaType::META_EXTFLOODFILL, "META_EXTFLOODFILL", nullptr },
    { MetaType::META_ROUNDRECT, "META_ROUNDRECT", as<readRoundRect> },
    { MetaType::META_PATBLT, "META_PATBLT", as<readPatBlt> },
    { MetaType::META_ESCAPE, "META_ESCAPE", nullptr },
    { MetaType::META_CREATEREGION, "META_CREATEREGION", as<readCreateRegion> },
    { MetaType::META_ARC, "META_ARC", as<readArc> },
    { MetaType::META_PIE, "META_PIE", as<readArc> },
    { MetaType::META_CHORD, "META_CHORD", as<readArc> },
    { MetaType::META_BITBLT, "META_BITBLT", as<readBitBlt> },
    { MetaType::META_DIBBITBLT, "META_DIBBITBLT", as<readBitBlt> },
    { MetaType::META_EXTTEXTOUT, "META_EXTTEXTOUT", as<readExtTextOut> },
    { MetaType::META_STRETCHBLT, "META_STRETCHBLT", as<readStretchBlt> },
    { MetaType::META_DIBSTRETCHBLT, "META_DIBSTRETCHBLT", as<readStretchBlt> },
    { MetaType::META_SETDIBTODEV, "META_SETDIBTODEV", as<readSetDibToDev> },
    { MetaType::META_STRETCHDIB, "META_STRETCHDIB", as<readStretchDib> },
};

const Entry* entry(MetaType type)
{
    const auto* it = std::lower_bound(std::begin(kRecords), std::end(kRecords), type,
                                      [](const Entry& e, MetaType t) { return e.type < t; });
    return it != std::end(kRecords) && it->type == type ? it : nullptr;
}

} // namespace

std::optional<PlaceableHeader> readPlaceableHeader(Bytes file)
{
    if (file.u32(0) != kPlaceableKey || !file.has(0, kPlaceableHeaderSize))
        return {};
    return PlaceableHeader { double(file.i16(6)), double(file.i16(8)), double(file.i16(10)), double(file.i16(12)),
                             file.u16(14) };
}

std::optional<Header> readHeader(Bytes at)
{
    if (!at.has(0, kHeaderSize))
        return {};
    return Header { at.u16(0), at.u16(2), at.u16(4), at.u32(6), at.u16(10), at.u32(12) };
}

std::optional<Record> readRecord(Bytes record)
{
    const Raw raw { MetaType(record.u16(4)), record.u32(0), Params { record.from(6) } };
    const Entry* e = entry(raw.type);
    if (!e || !e->read)
        return Record();
    return e->read(raw);
}

std::optional<EmfChunk> readEmfChunk(Bytes record)
{
    constexpr qint64 kChunkHeaderSize = 34;
    if (MetaType(record.u16(4)) != MetaType::META_ESCAPE
        || gdi::EscapeFunction(record.u16(6)) != gdi::EscapeFunction::MFCOMMENT)
        return std::nullopt;
    const Bytes body = record.sub(10, record.u16(8));
    if (!body.has(0, kChunkHeaderSize) || body.u32(0) != gdi::kWmfcCommentId
        || body.u32(4) != gdi::kWmfcEnhancedMetafile)
        return std::nullopt;
    EmfChunk chunk { .checksum = body.u16(12), .count = body.u32(18), .remaining = body.u32(26),
                     .total = body.u32(30), .data = {} };
    const quint32 size = body.u32(22);
    if (!body.has(kChunkHeaderSize, size))
        return std::nullopt;
    chunk.data = body.sub(kChunkHeaderSize, size);
    return chunk;
}

namespace {

// The documented checksum is the one's complement of the XOR of the EMF's 16-bit words;
// LibreOffice writes the XOR's negation, one more, and reads its own files back.
bool checksumRight(const QByteArray& emf, quint16 checksum)
{
    const Bytes b(emf);
    quint16 sum = 0;
    for (qint64 at = 0; at + 1 < b.size(); at += 2)
        sum ^= b.u16(at);
    return checksum == quint16(~sum) || checksum == quint16(-sum);
}

} // namespace

std::optional<QByteArray> readEmbeddedEmf(Bytes records, qint64 largest)
{
    QByteArray emf;
    std::optional<EmfChunk> first;
    quint32 chunks = 0;
    for (qint64 at = 0; records.has(at, 6);) {
        const qint64 words = records.u32(at);
        if (words < 3 || !records.has(at, 2 * words) || MetaType(records.u16(at + 4)) == MetaType::META_EOF)
            break;
        const std::optional<EmfChunk> chunk = readEmfChunk(records.sub(at, 2 * words));
        at += 2 * words;
        if (!chunk)
            continue;
        if (!first) {
            if (chunk->count == 0 || chunk->total == 0 || chunk->total % 2 || chunk->total > largest)
                return std::nullopt;
            first = chunk;
            emf.reserve(qsizetype(chunk->total));
        }
        // Each chunk must continue where the last one ended: a chunk out of order, or one more
        // than the count, breaks this.
        const qint64 after = emf.size() + chunk->data.size();
        if (chunk->count != first->count || chunk->total != first->total || after > qint64(first->total)
            || chunk->remaining != first->total - after)
            return std::nullopt;
        emf.append(chunk->data.view());
        ++chunks;
    }
    if (!first || chunks != first->count || emf.size() != qint64(first->total) || !checksumRight(emf, first->checksum))
        return std::nullopt;
    return emf;
}

const char* recordName(MetaType type)
{
    const Entry* e = entry(type);
    return e ? e->name : nullptr;
}

} // namespace metafile::wmf

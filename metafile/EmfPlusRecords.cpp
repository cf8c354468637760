#include "metafile/EmfPlusRecords.h"

#include "metafile/EmfPlusGeometry.h"

namespace metafile::emfplus {

using namespace gdiplus;

namespace {

constexpr qint64 kHeaderSize = 12;
// A piece of an object too large for one record gives the whole object's size before the size
// of its own data.
constexpr qint64 kPieceHeaderSize = 16;

bool compressed(const Record& r)
{
    return r.flags & RecordFlag::Compressed;
}

PointList pointsFrom(const Record& r, qint64 countAt)
{
    return { r.data.u32(countAt), r.flags, r.data.from(countAt + 4) };
}

} // namespace

NextRecord readRecord(Bytes records, qint64 at)
{
    if (at == records.size())
        return {};
    if (!records.has(at, kHeaderSize))
        return { std::nullopt, QStringLiteral("%1 bytes left, too few for a record header").arg(records.size() - at) };
    Record r;
    r.type = records.u16(at);
    r.flags = records.u16(at + 2);
    r.size = records.u32(at + 4);
    const bool piece = r.recordType() == RecordType::Object && (r.flags & RecordFlag::ObjectContinued);
    const qint64 header = piece ? kPieceHeaderSize : kHeaderSize;
    const qint64 dataSize = records.u32(at + header - 4);
    if (r.size < header)
        return { std::nullopt, QStringLiteral("record size %1 is less than its %2-byte header").arg(r.size).arg(header) };
    if (!records.has(at, r.size))
        return { std::nullopt, QStringLiteral("record size %1 runs past the end, %2 bytes on").arg(r.size).arg(records.size() - at) };
    if (dataSize > r.size - header)
        return { std::nullopt, QStringLiteral("data size %1 does not fit in record size %2").arg(dataSize).arg(r.size) };
    if (piece)
        r.objectTotal = records.u32(at + 8);
    r.data = records.sub(at + header, dataSize);
    return { r, {} };
}

BrushRef BrushRef::read(quint16 flags, Bytes d)
{
    return { bool(flags & RecordFlag::BrushIsColour), d.u32(0) };
}

QList<QPointF> PointList::read() const
{
    return points(data, count, flags);
}

std::optional<Header> Header::read(const Record& r)
{
    const Bytes& d = r.data;
    if (!d.has(0, kMinSize))
        return std::nullopt;
    return Header { bool(r.flags & RecordFlag::HeaderDual), d.u32(0), d.u32(4), d.u32(8), d.u32(12) };
}

std::optional<ObjectRecord> ObjectRecord::read(const Record& r)
{
    return ObjectRecord { objectId(r.flags), ObjectType(objectTypeBits(r.flags)),
                          bool(r.flags & RecordFlag::ObjectContinued), r.data };
}

std::optional<Clear> Clear::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return Clear { r.data.u32(0) };
}

std::optional<FillRects> FillRects::read(const Record& r)
{
    const Bytes& d = r.data;
    if (!d.has(0, kMinSize))
        return std::nullopt;
    return FillRects { BrushRef::read(r.flags, d), { d.u32(4), compressed(r), d.from(8) } };
}

std::optional<DrawRects> DrawRects::read(const Record& r)
{
    const Bytes& d = r.data;
    if (!d.has(0, kMinSize))
        return std::nullopt;
    return DrawRects { objectId(r.flags), { d.u32(0), compressed(r), d.from(4) } };
}

std::optional<FillPolygon> FillPolygon::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return FillPolygon { BrushRef::read(r.flags, r.data), pointsFrom(r, 4) };
}

std::optional<DrawLines> DrawLines::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return DrawLines { objectId(r.flags), bool(r.flags & RecordFlag::ClosedOrAppend), pointsFrom(r, 0) };
}

std::optional<FillEllipse> FillEllipse::read(const Record& r)
{
    if (!r.data.has(0, kMinSize + rectSize(compressed(r))))
        return std::nullopt;
    return FillEllipse { BrushRef::read(r.flags, r.data), rectAt(r.data, 4, compressed(r)) };
}

std::optional<DrawEllipse> DrawEllipse::read(const Record& r)
{
    if (!r.data.has(0, rectSize(compressed(r))))
        return std::nullopt;
    return DrawEllipse { objectId(r.flags), rectAt(r.data, 0, compressed(r)) };
}

std::optional<FillPie> FillPie::read(const Record& r)
{
    const Bytes& d = r.data;
    if (!d.has(0, kMinSize + rectSize(compressed(r))))
        return std::nullopt;
    return FillPie { BrushRef::read(r.flags, d), d.f32(4), d.f32(8), rectAt(d, 12, compressed(r)) };
}

std::optional<DrawArc> DrawArc::read(const Record& r)
{
    const Bytes& d = r.data;
    if (!d.has(0, kMinSize + rectSize(compressed(r))))
        return std::nullopt;
    return DrawArc { objectId(r.flags), r.recordType() == RecordType::DrawPie, d.f32(0), d.f32(4), rectAt(d, 8, compressed(r)) };
}

std::optional<FillShape> FillShape::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return FillShape { r.recordType() == RecordType::FillRegion, objectId(r.flags), BrushRef::read(r.flags, r.data) };
}

std::optional<DrawPath> DrawPath::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return DrawPath { objectId(r.flags), r.data.u32(0) };
}

std::optional<FillClosedCurve> FillClosedCurve::read(const Record& r)
{
    const Bytes& d = r.data;
    if (!d.has(0, kMinSize))
        return std::nullopt;
    return FillClosedCurve { BrushRef::read(r.flags, d), bool(r.flags & RecordFlag::ClosedOrAppend), d.f32(4), pointsFrom(r, 8) };
}

std::optional<DrawClosedCurve> DrawClosedCurve::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return DrawClosedCurve { objectId(r.flags), r.data.f32(0), pointsFrom(r, 4) };
}

std::optional<DrawCurve> DrawCurve::read(const Record& r)
{
    const Bytes& d = r.data;
    if (!d.has(0, kMinSize))
        return std::nullopt;
    return DrawCurve { objectId(r.flags), d.f32(0), d.u32(4), d.u32(8), pointsFrom(r, 12) };
}

std::optional<DrawBeziers> DrawBeziers::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return DrawBeziers { objectId(r.flags), pointsFrom(r, 0) };
}

std::optional<DrawImage> DrawImage::read(const Record& r)
{
    const Bytes& d = r.data;
    if (!d.has(0, kMinSize + rectSize(compressed(r))))
        return std::nullopt;
    return DrawImage { objectId(r.flags), d.u32(0), Unit(d.u32(4)), rectAt(d, 8, false), rectAt(d, 24, compressed(r)) };
}

std::optional<DrawImagePoints> DrawImagePoints::read(const Record& r)
{
    const Bytes& d = r.data;
    if (!d.has(0, kMinSize))
        return std::nullopt;
    return DrawImagePoints { objectId(r.flags), d.u32(0), Unit(d.u32(4)), rectAt(d, 8, false), pointsFrom(r, 24) };
}

std::optional<DrawString> DrawString::read(const Record& r)
{
    const Bytes& d = r.data;
    const qint64 length = d.u32(8);
    if (!d.has(0, kMinSize) || !d.has(kMinSize, 2 * length))
        return std::nullopt;
    DrawString s { objectId(r.flags), BrushRef::read(r.flags, d), d.u32(4), rectAt(d, 12, false), {} };
    s.text.reserve(length);
    for (qint64 i = 0; i < length; ++i)
        s.text.append(QChar(d.u16(kMinSize + 2 * i)));
    return s;
}

QChar DrawDriverString::glyph(qint64 i) const
{
    return QChar(data.u16(kMinSize + 2 * i));
}

QPointF DrawDriverString::position(qint64 i) const
{
    const qint64 at = kMinSize + 2 * count + 8 * i;
    return QPointF(data.f32(at), data.f32(at + 4));
}

std::optional<QTransform> DrawDriverString::matrix() const
{
    const qint64 at = kMinSize + 10 * count;
    if (!hasMatrix || !data.has(at, 24))
        return std::nullopt;
    return matrixAt(data, at);
}

std::optional<DrawDriverString> DrawDriverString::read(const Record& r)
{
    const Bytes& d = r.data;
    DrawDriverString s { objectId(r.flags), BrushRef::read(r.flags, d), d.u32(4), d.u32(8) != 0, d.u32(12), d };
    // Realized, only the first glyph has a position; the others follow on from it.
    if (s.count <= 0 || s.count > kMaxGlyphs || !d.has(kMinSize, s.realized() ? 2 * s.count + 8 : 10 * s.count))
        return std::nullopt;
    return s;
}

std::optional<SetAntiAliasMode> SetAntiAliasMode::read(const Record& r)
{
    return SetAntiAliasMode { bool(r.flags & RecordFlag::AntiAlias), r.flags >> 1 & 0x7F };
}

std::optional<SetInterpolationMode> SetInterpolationMode::read(const Record& r)
{
    return SetInterpolationMode { r.flags & 0xFF };
}

std::optional<StackIndex> StackIndex::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return StackIndex { r.data.u32(0) };
}

std::optional<Save> Save::read(const Record& r)
{
    const auto index = StackIndex::read(r);
    return index ? std::optional(Save { *index }) : std::nullopt;
}

std::optional<Restore> Restore::read(const Record& r)
{
    const auto index = StackIndex::read(r);
    return index ? std::optional(Restore { *index }) : std::nullopt;
}

std::optional<BeginContainerNoParams> BeginContainerNoParams::read(const Record& r)
{
    const auto index = StackIndex::read(r);
    return index ? std::optional(BeginContainerNoParams { *index }) : std::nullopt;
}

std::optional<BeginContainer> BeginContainer::read(const Record& r)
{
    const Bytes& d = r.data;
    if (!d.has(0, kMinSize))
        return std::nullopt;
    return BeginContainer { Unit(unitBits(r.flags)), rectAt(d, 0, false), rectAt(d, 16, false), d.u32(32) };
}

std::optional<SetWorldTransform> SetWorldTransform::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return SetWorldTransform { matrixAt(r.data, 0) };
}

std::optional<ResetWorldTransform> ResetWorldTransform::read(const Record&)
{
    return ResetWorldTransform {};
}

std::optional<ChangeWorldTransform> ChangeWorldTransform::read(const Record& r)
{
    const Bytes& d = r.data;
    ChangeWorldTransform c { QTransform(), bool(r.flags & RecordFlag::ClosedOrAppend) };
    if (r.recordType() == RecordType::MultiplyWorldTransform && d.has(0, 24))
        c.change = matrixAt(d, 0);
    else if (r.recordType() == RecordType::TranslateWorldTransform && d.has(0, 8))
        c.change = QTransform::fromTranslate(d.f32(0), d.f32(4));
    else if (r.recordType() == RecordType::ScaleWorldTransform && d.has(0, 8))
        c.change = QTransform::fromScale(d.f32(0), d.f32(4));
    else if (r.recordType() == RecordType::RotateWorldTransform && d.has(0, 4) && finite(d.f32(0)))
        c.change.rotate(d.f32(0));
    else
        return std::nullopt;
    return c;
}

std::optional<SetPageTransform> SetPageTransform::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return SetPageTransform { Unit(r.flags & 0xFF), r.data.f32(0) };
}

std::optional<ResetClip> ResetClip::read(const Record&)
{
    return ResetClip {};
}

std::optional<SetClipRect> SetClipRect::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return SetClipRect { CombineMode(combineModeBits(r.flags)), rectAt(r.data, 0, false) };
}

std::optional<SetClipShape> SetClipShape::read(const Record& r)
{
    return SetClipShape { r.recordType() == RecordType::SetClipRegion, objectId(r.flags), CombineMode(combineModeBits(r.flags)) };
}

std::optional<OffsetClip> OffsetClip::read(const Record& r)
{
    if (!r.data.has(0, kMinSize))
        return std::nullopt;
    return OffsetClip { r.data.f32(0), r.data.f32(4) };
}

} // namespace metafile::emfplus

namespace metafile::emfplus {

namespace {

// The records that put something on the page.
bool draws(RecordType type)
{
    switch (type) {
    case RecordType::Clear:
    case RecordType::FillRects:
    case RecordType::DrawRects:
    case RecordType::FillPolygon:
    case RecordType::DrawLines:
    case RecordType::FillEllipse:
    case RecordType::DrawEllipse:
    case RecordType::FillPie:
    case RecordType::DrawPie:
    case RecordType::DrawArc:
    case RecordType::FillRegion:
    case RecordType::FillPath:
    case RecordType::DrawPath:
    case RecordType::FillClosedCurve:
    case RecordType::DrawClosedCurve:
    case RecordType::DrawCurve:
    case RecordType::DrawBeziers:
    case RecordType::DrawImage:
    case RecordType::DrawImagePoints:
    case RecordType::DrawString:
    case RecordType::DrawDriverString: return true;
    default: return false;
    }
}

// Records the player passes over that change nothing that matters to the picture's shapes: hints
// on quality, comments, the end.
bool harmlessUnplayed(RecordType type)
{
    switch (type) {
    case RecordType::EndOfFile:
    case RecordType::Comment:
    case RecordType::SetRenderingOrigin:
    case RecordType::SetTextRenderingHint:
    case RecordType::SetTextContrast:
    case RecordType::SetPixelOffsetMode:
    case RecordType::SetCompositingMode:
    case RecordType::SetCompositingQuality:
    case RecordType::SerializableObject:
    case RecordType::SetTSGraphics: return true;
    default: return false;
    }
}

} // namespace

void DualCheck::decide(Verdict v)
{
    if (m_verdict == Verdict::Undecided)
        m_verdict = v;
}

void DualCheck::read(Bytes records)
{
    qint64 at = 0;
    while (m_verdict == Verdict::Undecided) {
        const NextRecord next = readRecord(records, at);
        if (!next.record) {
            if (!next.problem.isEmpty())
                decide(Verdict::Unplayable);
            return;
        }
        record(*next.record);
        at += next.record->size;
    }
}

void DualCheck::record(const Record& r)
{
    if (!m_header) {
        const std::optional<Header> h = r.recordType() == RecordType::Header ? Header::read(r) : std::nullopt;
        m_header = h && h->dual;
        if (!m_header)
            decide(Verdict::Unplayable);
        return;
    }
    if (r.recordType() == RecordType::GetDC) {
        decide(Verdict::Playable);
        return;
    }
    switch (visit(r, [](const auto&) {})) {
    case Visited::Read:
        if (draws(r.recordType()))
            decide(Verdict::Playable);
        return;
    case Visited::TooShort: decide(Verdict::Unplayable); return;
    case Visited::NotPlayed:
        if (!harmlessUnplayed(r.recordType()))
            decide(Verdict::Unplayable);
        return;
    }
}

} // namespace metafile::emfplus

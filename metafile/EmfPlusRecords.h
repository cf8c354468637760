#pragma once

#include "metafile/GdiPlus.h"
#include "metafile/MetafileBytes.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>

#include <optional>

// The GDI+ records an EMF comment carries, each read into a struct that names its fields. A
// reader gives nullopt when the record is shorter than its fields; the values themselves are
// judged where they are used.
namespace metafile::emfplus {

// One record of the chain: its header read, its data cut out.
struct Record {
    quint16 type = 0;
    quint16 flags = 0;
    qint64 size = 0; // the whole record, header included
    std::optional<qint64> objectTotal; // a piece of a large object: the whole object's size
    Bytes data;

    gdiplus::RecordType recordType() const { return gdiplus::RecordType(type); }
};

// The record at offset at of a chain, or why the chain cannot go on there.
struct NextRecord {
    std::optional<Record> record;
    QString problem; // empty at the end of the chain
};
NextRecord readRecord(Bytes records, qint64 at);

// The name the format's documentation gives a record type ("EmfPlusFillPolygon"); for a type
// it does not document, "EmfPlusRecord" and the number in hexadecimal.
QString recordName(quint16 type);
// A record's decoded fields as text, as its reader reads them: "colour=#ff0000ff count=3 points=[...]".
QString describe(quint16 type, quint16 flags, Bytes data);
QString describe(const Record& record);

// The brush a filling record names: a colour of its own, or a brush object.
struct BrushRef {
    bool isColour = false;
    quint32 value = 0; // an ARGB colour, or the brush object's id
    static BrushRef read(quint16 flags, Bytes d);
};

// Points as a record stores them; read() gives them as the drawing records' flags say.
struct PointList {
    qint64 count = 0;
    quint16 flags = 0;
    Bytes data;
    QList<QPointF> read() const;
};

// A run of rectangles as a record stores them.
struct RectList {
    qint64 count = 0;
    bool compressed = false;
    Bytes data;
};

struct Header {
    static constexpr qint64 kMinSize = 16;
    bool dual = false;
    quint32 version = 0;
    quint32 plusFlags = 0;
    quint32 dpiX = 0;
    quint32 dpiY = 0;
    static std::optional<Header> read(const Record& r);
};

struct ObjectRecord {
    int id = 0;
    gdiplus::ObjectType objectType = gdiplus::ObjectType::Invalid;
    bool continued = false;
    Bytes data;
    static std::optional<ObjectRecord> read(const Record& r);
};

struct Clear {
    static constexpr qint64 kMinSize = 4;
    quint32 colour = 0;
    static std::optional<Clear> read(const Record& r);
};

struct FillRects {
    static constexpr qint64 kMinSize = 8;
    BrushRef brush;
    RectList rects;
    static std::optional<FillRects> read(const Record& r);
};

struct DrawRects {
    static constexpr qint64 kMinSize = 4;
    int pen = 0;
    RectList rects;
    static std::optional<DrawRects> read(const Record& r);
};

struct FillPolygon {
    static constexpr qint64 kMinSize = 8;
    BrushRef brush;
    PointList points;
    static std::optional<FillPolygon> read(const Record& r);
};

struct DrawLines {
    static constexpr qint64 kMinSize = 4;
    int pen = 0;
    bool closed = false;
    PointList points;
    static std::optional<DrawLines> read(const Record& r);
};

struct FillEllipse {
    static constexpr qint64 kMinSize = 4; // and the box
    BrushRef brush;
    QRectF box;
    static std::optional<FillEllipse> read(const Record& r);
};

struct DrawEllipse { // no more than the box
    int pen = 0;
    QRectF box;
    static std::optional<DrawEllipse> read(const Record& r);
};

struct FillPie {
    static constexpr qint64 kMinSize = 12; // and the box
    BrushRef brush;
    float startAngle = 0;
    float sweepAngle = 0;
    QRectF box;
    static std::optional<FillPie> read(const Record& r);
};

// EmfPlusDrawArc and EmfPlusDrawPie.
struct DrawArc {
    static constexpr qint64 kMinSize = 8; // and the box
    int pen = 0;
    bool pie = false;
    float startAngle = 0;
    float sweepAngle = 0;
    QRectF box;
    static std::optional<DrawArc> read(const Record& r);
};

// EmfPlusFillRegion and EmfPlusFillPath: a brush and the object whose area it fills.
struct FillShape {
    static constexpr qint64 kMinSize = 4;
    bool region = false;
    int shape = 0;
    BrushRef brush;
    static std::optional<FillShape> read(const Record& r);
};

struct DrawPath {
    static constexpr qint64 kMinSize = 4;
    int path = 0;
    quint32 pen = 0;
    static std::optional<DrawPath> read(const Record& r);
};

struct FillClosedCurve {
    static constexpr qint64 kMinSize = 12;
    BrushRef brush;
    bool winding = false;
    float tension = 0;
    PointList points;
    static std::optional<FillClosedCurve> read(const Record& r);
};

struct DrawClosedCurve {
    static constexpr qint64 kMinSize = 8;
    int pen = 0;
    float tension = 0;
    PointList points;
    static std::optional<DrawClosedCurve> read(const Record& r);
};

struct DrawCurve {
    static constexpr qint64 kMinSize = 16;
    int pen = 0;
    float tension = 0;
    qint64 offset = 0;   // the first segment drawn
    qint64 segments = 0; // how many are drawn
    PointList points;
    static std::optional<DrawCurve> read(const Record& r);
};

struct DrawBeziers {
    static constexpr qint64 kMinSize = 4;
    int pen = 0;
    PointList points;
    static std::optional<DrawBeziers> read(const Record& r);
};

struct DrawImage {
    static constexpr qint64 kMinSize = 24; // and the destination
    int image = 0;
    quint32 attributes = 0;
    gdiplus::Unit sourceUnit = gdiplus::Unit::World;
    QRectF source;
    QRectF dest;
    static std::optional<DrawImage> read(const Record& r);
};

struct DrawImagePoints {
    static constexpr qint64 kMinSize = 28;
    int image = 0;
    quint32 attributes = 0;
    gdiplus::Unit sourceUnit = gdiplus::Unit::World;
    QRectF source;
    PointList corners; // top left, top right, bottom left
    static std::optional<DrawImagePoints> read(const Record& r);
};

struct DrawString {
    static constexpr qint64 kMinSize = 28; // and the text
    int font = 0;
    BrushRef brush;
    quint32 format = 0;
    QRectF layout;
    QString text;
    static std::optional<DrawString> read(const Record& r);
};

struct DrawDriverString {
    static constexpr qint64 kMinSize = 16; // and the glyphs with their positions
    static constexpr qint64 kMaxGlyphs = 4096;
    int font = 0;
    BrushRef brush;
    quint32 options = 0; // gdiplus::DriverStringOption bits
    bool hasMatrix = false;
    qint64 count = 0;
    Bytes data;
    bool realized() const { return options & gdiplus::DriverStringOption::RealizedAdvance; }
    QChar glyph(qint64 i) const;
    // Where glyph i is put, or (realized) where the first one starts.
    QPointF position(qint64 i) const;
    std::optional<QTransform> matrix() const;
    static std::optional<DrawDriverString> read(const Record& r);
};

struct SetAntiAliasMode {
    bool antialias = false;
    int smoothing = 0;
    static std::optional<SetAntiAliasMode> read(const Record& r);
};

struct SetInterpolationMode {
    int mode = 0;
    static std::optional<SetInterpolationMode> read(const Record& r);
};

// EmfPlusSave, EmfPlusRestore, EmfPlusEndContainer and EmfPlusBeginContainerNoParams: a state's
// index on the stack of saved states.
struct StackIndex {
    static constexpr qint64 kMinSize = 4;
    quint32 index = 0;
    static std::optional<StackIndex> read(const Record& r);
};
struct Save : StackIndex {
    static std::optional<Save> read(const Record& r);
};
struct Restore : StackIndex {
    static std::optional<Restore> read(const Record& r);
};
struct BeginContainerNoParams : StackIndex {
    static std::optional<BeginContainerNoParams> read(const Record& r);
};

struct BeginContainer {
    static constexpr qint64 kMinSize = 36;
    gdiplus::Unit unit = gdiplus::Unit::World;
    QRectF dest;
    QRectF source;
    quint32 index = 0;
    static std::optional<BeginContainer> read(const Record& r);
};

struct SetWorldTransform {
    static constexpr qint64 kMinSize = 24;
    QTransform matrix;
    static std::optional<SetWorldTransform> read(const Record& r);
};

struct ResetWorldTransform {
    static std::optional<ResetWorldTransform> read(const Record& r);
};

// EmfPlusMultiply-, Translate-, Scale- and RotateWorldTransform, as the change they make.
struct ChangeWorldTransform {
    QTransform change;
    bool append = false; // applied after the present transform rather than before
    static std::optional<ChangeWorldTransform> read(const Record& r);
};

struct SetPageTransform {
    static constexpr qint64 kMinSize = 4;
    gdiplus::Unit unit = gdiplus::Unit::World;
    float scale = 1;
    static std::optional<SetPageTransform> read(const Record& r);
};

struct ResetClip {
    static std::optional<ResetClip> read(const Record& r);
};

struct SetClipRect {
    static constexpr qint64 kMinSize = 16;
    gdiplus::CombineMode mode = gdiplus::CombineMode::Replace;
    QRectF rect;
    static std::optional<SetClipRect> read(const Record& r);
};

// EmfPlusSetClipPath and EmfPlusSetClipRegion.
struct SetClipShape {
    bool region = false;
    int shape = 0;
    gdiplus::CombineMode mode = gdiplus::CombineMode::Replace;
    static std::optional<SetClipShape> read(const Record& r);
};

struct OffsetClip {
    static constexpr qint64 kMinSize = 8;
    float dx = 0;
    float dy = 0;
    static std::optional<OffsetClip> read(const Record& r);
};

// Whether a dual picture's GDI+ records can draw it, found by reading them before anything is
// drawn. They can when a header flagged dual comes first and the first record that draws (or
// hands drawing to GDI) is reached with nothing unknown or broken before it; a picture whose
// GDI+ records never draw stays undecided, and is drawn from its GDI records.
class DualCheck {
public:
    enum class Verdict { Undecided, Playable, Unplayable };
    // One comment's records, in the file's order; once decided, the verdict stays.
    void read(Bytes records);
    // A comment that says it holds GDI+ records but cannot hold them whole.
    void broken() { decide(Verdict::Unplayable); }
    Verdict verdict() const { return m_verdict; }

private:
    void record(const Record& r);
    void decide(Verdict v);
    bool m_header = false;
    Verdict m_verdict = Verdict::Undecided;
};

// How visit() went with a record.
enum class Visited { Read, TooShort, NotPlayed };

namespace detail {
template <typename R, typename F>
Visited readAs(const Record& r, F& f)
{
    const std::optional<R> read = R::read(r);
    if (!read)
        return Visited::TooShort;
    f(*read);
    return Visited::Read;
}
} // namespace detail

// Reads a record with its type's reader and hands the struct to f: the one place that says which
// reader reads which record, for the player and for describe() alike.
template <typename F>
Visited visit(const Record& r, F&& f)
{
    using gdiplus::RecordType;
    using detail::readAs;
    switch (r.recordType()) {
    case RecordType::Header: return readAs<Header>(r, f);
    case RecordType::Object: return readAs<ObjectRecord>(r, f);
    case RecordType::Clear: return readAs<Clear>(r, f);
    case RecordType::FillRects: return readAs<FillRects>(r, f);
    case RecordType::DrawRects: return readAs<DrawRects>(r, f);
    case RecordType::FillPolygon: return readAs<FillPolygon>(r, f);
    case RecordType::DrawLines: return readAs<DrawLines>(r, f);
    case RecordType::FillEllipse: return readAs<FillEllipse>(r, f);
    case RecordType::DrawEllipse: return readAs<DrawEllipse>(r, f);
    case RecordType::FillPie: return readAs<FillPie>(r, f);
    case RecordType::DrawPie:
    case RecordType::DrawArc: return readAs<DrawArc>(r, f);
    case RecordType::FillRegion:
    case RecordType::FillPath: return readAs<FillShape>(r, f);
    case RecordType::DrawPath: return readAs<DrawPath>(r, f);
    case RecordType::FillClosedCurve: return readAs<FillClosedCurve>(r, f);
    case RecordType::DrawClosedCurve: return readAs<DrawClosedCurve>(r, f);
    case RecordType::DrawCurve: return readAs<DrawCurve>(r, f);
    case RecordType::DrawBeziers: return readAs<DrawBeziers>(r, f);
    case RecordType::DrawImage: return readAs<DrawImage>(r, f);
    case RecordType::DrawImagePoints: return readAs<DrawImagePoints>(r, f);
    case RecordType::DrawString: return readAs<DrawString>(r, f);
    case RecordType::DrawDriverString: return readAs<DrawDriverString>(r, f);
    case RecordType::SetAntiAliasMode: return readAs<SetAntiAliasMode>(r, f);
    case RecordType::SetInterpolationMode: return readAs<SetInterpolationMode>(r, f);
    case RecordType::Save: return readAs<Save>(r, f);
    case RecordType::Restore:
    case RecordType::EndContainer: return readAs<Restore>(r, f);
    case RecordType::BeginContainer: return readAs<BeginContainer>(r, f);
    case RecordType::BeginContainerNoParams: return readAs<BeginContainerNoParams>(r, f);
    case RecordType::SetWorldTransform: return readAs<SetWorldTransform>(r, f);
    case RecordType::ResetWorldTransform: return readAs<ResetWorldTransform>(r, f);
    case RecordType::MultiplyWorldTransform:
    case RecordType::TranslateWorldTransform:
    case RecordType::ScaleWorldTransform:
    case RecordType::RotateWorldTransform: return readAs<ChangeWorldTransform>(r, f);
    case RecordType::SetPageTransform: return readAs<SetPageTransform>(r, f);
    case RecordType::ResetClip: return readAs<ResetClip>(r, f);
    case RecordType::SetClipRect: return readAs<SetClipRect>(r, f);
    case RecordType::SetClipPath:
    case RecordType::SetClipRegion: return readAs<SetClipShape>(r, f);
    case RecordType::OffsetClip: return readAs<OffsetClip>(r, f);
    default: return Visited::NotPlayed;
    }
}

} // namespace metafile::emfplus

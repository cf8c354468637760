#pragma once

// The WMF records the player reads, one struct per record or per family laid out alike, with
// their fields named and in the units the canvas takes. A WMF record's parameters are 16-bit
// words, points stored y first and rectangles bottom, right, top, left; readRecord() is the one
// place that knows that, and the least number of words each record must have. The player and
// metafile_dump both read through it.

#include "metafile/Gdi.h"
#include "metafile/GdiObjects.h"
#include "metafile/RecordFamilies.h"

#include <QPainterPath>
#include <QRectF>

#include <optional>
#include <variant>

namespace metafile::wmf {

using gdi::MetaType;

// The header some files start with, for programs that place the picture: its box in logical units
// and how many of those make an inch.
struct PlaceableHeader {
    double left = 0, top = 0, right = 0, bottom = 0;
    quint16 unitsPerInch = 0;
};
// None when the file does not start with the placeable header's key or is too short for it.
std::optional<PlaceableHeader> readPlaceableHeader(Bytes file);
constexpr qint64 kPlaceableHeaderSize = 22;

// The standard header every file has (after the placeable one, where there is one).
struct Header {
    quint16 type = 0;        // 1: kept in memory, 2: on disk
    quint16 headerWords = 0; // 9
    quint16 version = 0;     // 0x0100 or 0x0300
    quint32 words = 0;       // the file's size
    quint16 objects = 0;     // the object table's size
    quint32 largestRecord = 0;
    bool standard() const
    {
        return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
    }
};
// None when there are not the header's 18 bytes at the start of `at`.
std::optional<Header> readHeader(Bytes at);
constexpr qint64 kHeaderSize = 18;

// SAVEDC, and CREATEPATTERNBRUSH, a device-dependent bitmap brush kept only for its slot.
using NoParameters = NoParametersOf<MetaType>;
// One word: a mode, an alignment, a saved state's number (signed), extra spacing (signed).
using Setting = SettingOf<MetaType, quint16>;
// SELECTOBJECT, SELECTPALETTE, DELETEOBJECT, and the records that take a region object:
// PAINTREGION, INVERTREGION, SELECTCLIPREGION.
using ObjectRef = ObjectRefOf<MetaType, quint16>;
// SETBKCOLOR, SETTEXTCOLOR.
using Colour = SettingOf<MetaType, quint32>;
// Window and viewport origins and their offsets, MOVETO, LINETO, OFFSETCLIPRGN.
using PointRecord = PointRecordOf<MetaType>;
using Extent = ExtentOf<MetaType>;
using ScaleExtent = ScaleExtentOf<MetaType>;
using BoxRecord = BoxRecordOf<MetaType>;
using RoundRect = metafile::RoundRect;
// ARC, PIE, CHORD.
using ArcRecord = ArcRecordOf<MetaType>;
using SetPixel = metafile::SetPixel;
// POLYGON, POLYLINE.
using Poly = PolyOf<MetaType>;

struct PolyPolygon {
    QList<QList<QPointF>> polygons;
    template <class F> void fields(F&& f) const { f("polygons", polygons); }
};

// The object-creating records: each object takes the lowest free slot.
template <class Object> struct CreateObject {
    Object object;
    template <class F> void fields(F&& f) const { f("object", object); }
};
using CreatePen = CreateObject<GdiPen>;
using CreateBrush = CreateObject<GdiBrush>;
using CreateFont = CreateObject<GdiFont>;
using CreatePalette = CreateObject<QList<QRgb>>;
// CREATEREGION: bands of equal height, each a row of left-right spans. A region with no bands is
// empty, as GDI makes it; a band that does not add up ends the region where it stands.
using CreateRegion = CreateObject<QPainterPath>;

// DIBCREATEPATTERNBRUSH: a packed bitmap, header, colours and pixels in one block.
struct CreateDibBrush {
    quint16 usage = 0;
    Bytes dib;
    template <class F> void fields(F&& f) const { f("usage", usage); f("dib", dib); }
};

// FILLREGION: a region object filled with a brush object.
struct FillRegion {
    quint16 region = 0;
    quint16 brush = 0;
    template <class F> void fields(F&& f) const { f("region", region); f("brush", brush); }
};

struct FrameRegion {
    quint16 region = 0;
    quint16 brush = 0;
    QSizeF stroke; // the border's width at the sides and height at the top and bottom
    template <class F> void fields(F&& f) const { f("region", region); f("brush", brush); f("stroke", stroke); }
};

// TEXTOUT, EXTTEXTOUT: 8-bit text in the font's charset, ETO_* options, the opaque or clipping
// rectangle, and the advances when the record gives them.
struct Text {
    QPointF reference;
    gdi::TextOutOptions options;
    std::optional<QRectF> rect;
    Bytes string;
    QList<double> dx;
    template <class F> void fields(F&& f) const
    {
        f("reference", reference); f("options", options); f("rect", rect); f("text", string); f("dx", dx);
    }
};

// PATBLT, and BITBLT, STRETCHBLT and their DIB forms. Without a bitmap (no source) the raster
// operation paints with the brush; BITBLT and STRETCHBLT carry a 16-bit device-dependent bitmap,
// the DIB forms a packed DIB.
struct Blt {
    MetaType type;
    QRectF dest;
    quint32 rop = 0;
    std::optional<QRectF> source;
    Bytes bitmap;
    template <class F> void fields(F&& f) const
    {
        f("dest", dest); f("rop", rop); f("source", source); f("bitmap", bitmap);
    }
};

// SETDIBTODEV (only the scan lines from startScan up may be stored; rop is SRCCOPY) and
// STRETCHDIB, whose source rows count from the bottom of a bottom-up bitmap.
struct DibBlt {
    MetaType type;
    QRectF dest;
    QRectF source;
    quint32 rop = 0;
    quint16 usage = 0;
    quint16 startScan = 0;
    quint16 scans = 0;
    Bytes dib;
    template <class F> void fields(F&& f) const
    {
        f("dest", dest); f("source", source); f("rop", rop); f("usage", usage); f("startScan", startScan);
        f("scans", scans); f("dib", dib);
    }
};

using Record = std::variant<std::monostate, NoParameters, Setting, ObjectRef, Colour, PointRecord, Extent,
                            ScaleExtent, BoxRecord, RoundRect, ArcRecord, SetPixel, Poly, PolyPolygon, CreatePen,
                            CreateBrush, CreateDibBrush, CreateFont, CreatePalette, CreateRegion, FillRegion,
                            FrameRegion, Text, Blt, DibBlt>;

// One whole record: its size in words, its function, its parameters. monostate for a record the
// player passes over; none when it is too short or does not add up, in which case it is passed
// over as well.
std::optional<Record> readRecord(Bytes record);

// One chunk of an EMF carried in a META_ESCAPE MFCOMMENT record tagged "WMFC", as
// GetWinMetaFileBits writes it: every chunk repeats the chunk count and the EMF's total size;
// the checksum is the first chunk's.
struct EmfChunk {
    quint16 checksum = 0;
    quint32 count = 0;
    quint32 remaining = 0; // bytes of the EMF after this chunk
    quint32 total = 0;
    Bytes data;
};
// None for any other record, or a chunk whose data does not fit in its record.
std::optional<EmfChunk> readEmfChunk(Bytes record);

// The EMF carried by the WMF records `records`, put back together; none unless every chunk is
// there, in order and consistent, and the whole is at most `largest` bytes with a checksum right
// by the documented rule or by the one off from it that LibreOffice writes.
std::optional<QByteArray> readEmbeddedEmf(Bytes records, qint64 largest);

// The documentation's name for a record type ("META_ESCAPE"); null for a number it does not
// define.
const char* recordName(MetaType type);

} // namespace metafile::wmf

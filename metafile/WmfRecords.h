#pragma once

// The WMF records the player reads, one struct per record or per family laid out alike, with
// their fields named and in the units the canvas takes. A WMF record's parameters are 16-bit
// words, points stored y first and rectangles bottom, right, top, left; readRecord() is the one
// place that knows that, and the least number of words each record must have. The player and
// metafile_dump both read through it.

#include "metafile/Gdi.h"
#include "metafile/GdiObjects.h"

#include <QPainterPath>
#include <QRectF>

#include <optional>
#include <variant>

namespace metafile::wmf {

using gdi::MetaType;

// Each struct lists its fields for a printer: fields(f) calls f(name, value) for each, in order.

// SAVEDC, and the object-creating records whose object is kept only for its slot
// (CREATEPATTERNBRUSH: a device-dependent bitmap brush).
struct NoParameters {
    MetaType type;
    template <class F> void fields(F&&) const {}
};

// One word: a mode, an alignment, a saved state's number (signed), extra spacing (signed).
struct Setting {
    MetaType type;
    quint16 value = 0;
    qint16 signedValue() const { return qint16(value); }
    template <class F> void fields(F&& f) const { f("value", value); }
};

// SELECTOBJECT, SELECTPALETTE, DELETEOBJECT, and the records that take a region object:
// PAINTREGION, INVERTREGION, SELECTCLIPREGION.
struct ObjectRef {
    MetaType type;
    quint16 index = 0;
    template <class F> void fields(F&& f) const { f("index", index); }
};

// SETBKCOLOR, SETTEXTCOLOR.
struct Colour {
    MetaType type;
    quint32 colour = 0;
    template <class F> void fields(F&& f) const { f("colour", colour); }
};

// Window and viewport origins and their offsets, MOVETO, LINETO, OFFSETCLIPRGN.
struct PointRecord {
    MetaType type;
    QPointF point;
    template <class F> void fields(F&& f) const { f("point", point); }
};

// SETWINDOWEXT, SETVIEWPORTEXT.
struct Extent {
    MetaType type;
    QSizeF extent;
    template <class F> void fields(F&& f) const { f("extent", extent); }
};

// SCALEWINDOWEXT, SCALEVIEWPORTEXT: each extent times num over denom.
struct ScaleExtent {
    MetaType type;
    double xNum = 0, xDenom = 0, yNum = 0, yDenom = 0;
    template <class F> void fields(F&& f) const
    {
        f("xNum", xNum); f("xDenom", xDenom); f("yNum", yNum); f("yDenom", yDenom);
    }
};

// RECTANGLE, ELLIPSE, INTERSECTCLIPRECT, EXCLUDECLIPRECT.
struct BoxRecord {
    MetaType type;
    QRectF box;
    template <class F> void fields(F&& f) const { f("box", box); }
};

struct RoundRect {
    QRectF box;
    QSizeF corner;
    template <class F> void fields(F&& f) const { f("box", box); f("corner", corner); }
};

// ARC, PIE, CHORD: the ellipse's box and the radials' end points.
struct ArcRecord {
    MetaType type;
    QRectF box;
    QPointF start;
    QPointF end;
    template <class F> void fields(F&& f) const { f("box", box); f("start", start); f("end", end); }
};

struct SetPixel {
    QPointF point;
    quint32 colour = 0;
    template <class F> void fields(F&& f) const { f("point", point); f("colour", colour); }
};

// POLYGON, POLYLINE.
struct Poly {
    MetaType type;
    QList<QPointF> points;
    template <class F> void fields(F&& f) const { f("points", points); }
};

struct PolyPolygon {
    QList<QList<QPointF>> polygons;
    template <class F> void fields(F&& f) const { f("polygons", polygons); }
};

struct CreatePen {
    GdiPen pen;
    template <class F> void fields(F&& f) const { f("pen", pen); }
};

struct CreateBrush {
    GdiBrush brush;
    template <class F> void fields(F&& f) const { f("brush", brush); }
};

// DIBCREATEPATTERNBRUSH: a packed bitmap, header, colours and pixels in one block.
struct CreateDibBrush {
    quint16 usage = 0;
    Bytes dib;
    template <class F> void fields(F&& f) const { f("usage", usage); f("dib", dib); }
};

struct CreateFont {
    GdiFont font;
    template <class F> void fields(F&& f) const { f("font", font); }
};

struct CreatePalette {
    QList<QRgb> entries;
    template <class F> void fields(F&& f) const { f("entries", entries); }
};

// CREATEREGION: bands of equal height, each a row of left-right spans. A region with no bands is
// empty, as GDI makes it; a band that does not add up ends the region where it stands.
struct CreateRegion {
    QPainterPath region;
    template <class F> void fields(F&& f) const { f("region", region); }
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

// The documentation's name for a record type ("META_ESCAPE"); null for a number it does not
// define.
const char* recordName(MetaType type);

} // namespace metafile::wmf

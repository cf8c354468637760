#pragma once

// The EMF records the player reads, one struct per record or per family of records laid out
// alike, with their fields named and in the units the canvas takes. readRecord() is the one place
// that knows a record's offsets and the least size it must have; the player and metafile_dump
// both read through it, so the dump shows what the player sees.

#include "metafile/Gdi.h"
#include "metafile/GdiObjects.h"
#include "metafile/RecordFamilies.h"

#include <QPainterPath>
#include <QRectF>
#include <QTransform>

#include <array>
#include <optional>
#include <variant>

namespace metafile::emf {

using gdi::EmrType;

// Each struct lists its fields for a printer: fields(f) calls f(name, value) for each, in order.

// EMR_HEADER: where the picture lies, how large the file and its handle table are, and the
// reference device. The fields past the first 88 bytes are those of the header's extensions and
// mean something only where the header is long enough to hold them.
struct Header {
    QRect bounds; // device pixels, corners inclusive
    QRect frame;  // hundredths of a millimetre, corners inclusive
    quint32 signature = 0;
    quint32 version = 0;
    quint32 bytes = 0;
    quint32 records = 0;
    quint16 handles = 0;
    quint32 descriptionLength = 0; // UTF-16 characters
    quint32 descriptionOffset = 0;
    QSize device;      // the reference device, pixels
    QSize millimetres; // and its size
    quint32 pixelFormatSize = 0;
    quint32 pixelFormatOffset = 0;
    quint32 micrometresX = 0;
    quint32 micrometresY = 0;
    template <class F> void fields(F&& f) const
    {
        f("bounds", bounds); f("frame", frame); f("version", version); f("bytes", bytes);
        f("records", records); f("handles", handles); f("device", device); f("millimetres", millimetres);
    }
};
// The header at the start of a file; none when the file is too short for one. Whether it is an
// EMF header at all is for the caller to tell, by its type and signature.
std::optional<Header> readHeader(Bytes file);

// SAVEDC, the path brackets and operations, SETMETARGN.
using NoParameters = NoParametersOf<EmrType>;
// A mode, an alignment, a COLORREF, a miter limit, a saved state's number (signed).
using Setting = SettingOf<EmrType, quint32>;
// SELECTOBJECT, DELETEOBJECT, SELECTPALETTE: an object's handle, or a stock object's number with
// the top bit set.
using ObjectRef = ObjectRefOf<EmrType, quint32>;
// Window and viewport origins, MOVETOEX, LINETO, OFFSETCLIPRGN.
using PointRecord = PointRecordOf<EmrType>;
using Extent = ExtentOf<EmrType>;
using ScaleExtent = ScaleExtentOf<EmrType>;
using BoxRecord = BoxRecordOf<EmrType>;
using RoundRect = metafile::RoundRect;
// ARC, ARCTO, CHORD, PIE.
using ArcRecord = ArcRecordOf<EmrType>;
// The polyline, polygon and bezier records, 32-bit and 16-bit points alike.
using Poly = PolyOf<EmrType>;

struct SetWorldTransform {
    QTransform transform;
    template <class F> void fields(F&& f) const { f("transform", transform); }
};

struct ModifyWorldTransform {
    QTransform transform;
    gdi::WorldTransformMode mode {};
    template <class F> void fields(F&& f) const { f("transform", transform); f("mode", mode); }
};

struct AngleArc {
    QPointF centre;
    quint32 radius = 0;
    float startAngle = 0; // degrees
    float sweepAngle = 0;
    template <class F> void fields(F&& f) const
    {
        f("centre", centre); f("radius", radius); f("startAngle", startAngle); f("sweepAngle", sweepAngle);
    }
};

using SetPixelV = metafile::SetPixel;

// POLYPOLYLINE, POLYPOLYGON and their 16-bit forms.
struct PolyPoly {
    EmrType type;
    QList<QList<QPointF>> polys;
    template <class F> void fields(F&& f) const { f("polys", polys); }
};

// POLYDRAW, POLYDRAW16: points, each with a PT_* type.
struct PolyDraw {
    QList<QPointF> points;
    QList<quint8> types;
    template <class F> void fields(F&& f) const { f("points", points); f("types", types); }
};

// CREATEPEN and EXTCREATEPEN, CREATEBRUSHINDIRECT, EXTCREATEFONTINDIRECTW, CREATEPALETTE, and
// CREATEMONOBRUSH and CREATEDIBPATTERNBRUSHPT (a brush from a bitmap in the record): an object
// and the handle it is kept under.
template <class Object> struct CreateObject {
    quint32 index = 0;
    Object object;
    template <class F> void fields(F&& f) const { f("index", index); f("object", object); }
};
using CreatePen = CreateObject<GdiPen>;
using CreateBrush = CreateObject<GdiBrush>;
using CreateDibBrush = CreateObject<BitmapRef>;
using CreateFont = CreateObject<GdiFont>;
using CreatePalette = CreateObject<QList<QRgb>>;

// EXTSELECTCLIPRGN: a region in device pixels combined into the clip by mode; none
// resets the clip, as a record with no region data does.
struct ExtSelectClipRgn {
    gdi::RegionMode mode {};
    std::optional<QPainterPath> region;
    template <class F> void fields(F&& f) const { f("mode", mode); f("region", region); }
};

// FILLRGN: a region filled with the brush of the given handle.
struct FillRgn {
    quint32 brush = 0;
    QPainterPath region;
    template <class F> void fields(F&& f) const { f("brush", brush); f("region", region); }
};

// PAINTRGN, INVERTRGN.
struct RegionRecord {
    EmrType type;
    QPainterPath region;
    template <class F> void fields(F&& f) const { f("region", region); }
};

struct FrameRgn {
    quint32 brush = 0;
    QSizeF stroke; // the border's width at the sides and height at the top and bottom
    QPainterPath region;
    template <class F> void fields(F&& f) const { f("brush", brush); f("stroke", stroke); f("region", region); }
};

// GRADIENTFILL: rectangles (two vertices each) or triangles (three) shaded between the
// vertices' colours. Shapes naming a vertex that is not there are kept, for the player to pass
// over one by one.
struct GradientFill {
    struct Vertex {
        QPointF point;
        QRgb colour;
    };
    quint32 mode = 0; // GRADIENT_FILL_RECT_H, _RECT_V or _TRIANGLE
    QList<Vertex> vertices;
    QList<std::array<quint32, 3>> shapes;
    template <class F> void fields(F&& f) const { f("mode", mode); f("vertices", vertices); f("shapes", shapes); }
};

// One piece of text: reference point, characters (UTF-16 or 8-bit in the font's charset),
// ETO_* options, the opaque or clipping rectangle, and the advances when the record gives them.
struct TextPiece {
    QPointF reference;
    gdi::TextOutOptions options;
    std::optional<QRectF> rect;
    bool wide = false;
    Bytes string;
    QList<double> dx;
    template <class F> void fields(F&& f) const
    {
        f("reference", reference); f("options", options); f("rect", rect); f(wide ? "utf16" : "text", string);
        f("dx", dx);
    }
};

// EXTTEXTOUTA/W (one piece), POLYTEXTOUTA/W (several). Pieces that are malformed are left out.
struct TextRecord {
    QList<TextPiece> pieces;
    template <class F> void fields(F&& f) const { f("pieces", pieces); }
};

// BITBLT, STRETCHBLT, ALPHABLEND, TRANSPARENTBLT. The source rectangle is in the bitmap's pixels,
// before its own transform; rop is the raster operation, ALPHABLEND's BLENDFUNCTION or
// TRANSPARENTBLT's colour left out.
struct Blt {
    EmrType type;
    QRectF dest;
    quint32 rop = 0;
    QRectF source;
    QTransform sourceTransform;
    BitmapRef bitmap;
    template <class F> void fields(F&& f) const
    {
        f("dest", dest); f("rop", rop); f("source", source); f("sourceTransform", sourceTransform);
        f("bitmap", bitmap);
    }
};

struct MaskBlt {
    QRectF dest;
    quint32 rop4 = 0; // foreground operation in bits 16-23, background in 24-31
    QPoint sourceAt;
    BitmapRef bitmap;
    QPoint maskAt;
    BitmapRef mask;
    template <class F> void fields(F&& f) const
    {
        f("dest", dest); f("rop4", rop4); f("sourceAt", sourceAt); f("bitmap", bitmap);
        f("maskAt", maskAt); f("mask", mask);
    }
};

// PLGBLT: the destination's upper-left, upper-right and lower-left corners.
struct PlgBlt {
    std::array<QPointF, 3> corners;
    QRectF source;
    BitmapRef bitmap;
    QPoint maskAt;
    BitmapRef mask;
    template <class F> void fields(F&& f) const
    {
        f("corners", corners); f("source", source); f("bitmap", bitmap); f("maskAt", maskAt);
        f("mask", mask);
    }
};

// SETDIBITSTODEVICE: only scans lines from startScan up may be stored.
struct SetDiBitsToDevice {
    QPointF destAt;
    QPointF sourceAt;
    QSizeF size;
    quint32 startScan = 0;
    quint32 scans = 0;
    BitmapRef bitmap;
    template <class F> void fields(F&& f) const
    {
        f("destAt", destAt); f("sourceAt", sourceAt); f("size", size); f("startScan", startScan);
        f("scans", scans); f("bitmap", bitmap);
    }
};

struct StretchDiBits {
    QRectF dest;
    QRectF source; // rows counted from the bottom of a bottom-up bitmap
    quint32 rop = 0;
    BitmapRef bitmap;
    template <class F> void fields(F&& f) const
    {
        f("dest", dest); f("source", source); f("rop", rop); f("bitmap", bitmap);
    }
};

// COMMENT: private data, named by its first four bytes; GDI+ records ("EMF+") among them.
inline constexpr quint32 kEmfPlusSignature = 0x2B464D45; // "EMF+"

struct Comment {
    quint32 identifier = 0;
    std::optional<Bytes> emfPlus; // the GDI+ records, when the comment holds them whole
    template <class F> void fields(F&& f) const { f("identifier", identifier); }
};

// What readRecord() gives: monostate for a record the player passes over.
using Record = std::variant<std::monostate, Header, NoParameters, Setting, ObjectRef, PointRecord, Extent,
                            ScaleExtent, SetWorldTransform, ModifyWorldTransform, BoxRecord, RoundRect, ArcRecord,
                            AngleArc, SetPixelV, Poly, PolyPoly, PolyDraw, CreatePen, CreateBrush, CreateDibBrush,
                            CreateFont, CreatePalette, ExtSelectClipRgn, FillRgn, RegionRecord, FrameRgn,
                            GradientFill, TextRecord, Blt, MaskBlt, PlgBlt, SetDiBitsToDevice, StretchDiBits,
                            Comment>;

// One whole record, its type and size included; none when it is too short or its data does not
// add up, in which case it is passed over.
std::optional<Record> readRecord(EmrType type, Bytes record);

// The documentation's name for a record type ("EMR_STRETCHDIBITS"); null for a number it does
// not define.
const char* recordName(EmrType type);

} // namespace metafile::emf

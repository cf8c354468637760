#pragma once

// GDI's vocabulary: the numbers WMF and EMF records carry, named once. The players turn a
// record's raw field into these types as they read it, and the canvas takes only these types.

#include <QtGlobal>

namespace metafile::gdi {

// Every enum below keeps the record's own width, so any number a file holds converts to it and
// back unchanged: an unknown code stays unknown rather than becoming some other mode, and the
// canvas ignores it as GDI does.

enum class MapMode : quint32 {
    Text = 1,
    LoMetric = 2,
    HiMetric = 3,
    LoEnglish = 4,
    HiEnglish = 5,
    Twips = 6,
    Isotropic = 7,
    Anisotropic = 8,
};

// Only these two take the window and viewport extents; the others fix the scale.
constexpr bool scalable(MapMode mode)
{
    return mode == MapMode::Isotropic || mode == MapMode::Anisotropic;
}

enum class BkMode : quint32 { Transparent = 1, Opaque = 2 };
enum class PolyFillMode : quint32 { Alternate = 1, Winding = 2 };
enum class ArcDirection : quint32 { CounterClockwise = 1, Clockwise = 2 };
enum class StretchMode : quint32 { BlackOnWhite = 1, WhiteOnBlack = 2, ColorOnColor = 3, Halftone = 4 };
enum class RegionMode : quint32 { And = 1, Or = 2, Xor = 3, Diff = 4, Copy = 5 };
enum class WorldTransformMode : quint32 { Identity = 1, LeftMultiply = 2, RightMultiply = 3, Set = 4 };

// How a pen or brush meets what is already drawn (SetROP2).
enum class Rop2 : quint32 {
    Black = 1,
    NotMergePen = 2,
    MaskNotPen = 3,
    NotCopyPen = 4,
    MaskPenNot = 5,
    Not = 6,
    XorPen = 7,
    NotMaskPen = 8,
    MaskPen = 9,
    NotXorPen = 10,
    Nop = 11,
    MergeNotPen = 12,
    CopyPen = 13,
    MergePenNot = 14,
    MergePen = 15,
    White = 16,
};

// A ternary raster operation by its index, the only part GDI reads: the code records carry
// (SRCCOPY is 0x00CC0020) has the index in its third byte, and its low word merely spells out
// the operation for a blitter to compile. Only the operations drawn as something other than a
// copy are named.
enum class RasterOp : quint8 {
    Blackness = 0x00,
    NotSrcErase = 0x11,
    NotSrcCopy = 0x33,
    SrcErase = 0x44,
    DstInvert = 0x55,
    PatInvert = 0x5A,
    SrcInvert = 0x66,
    SrcAnd = 0x88,
    Destination = 0xAA, // the destination left as it is
    MergePaint = 0xBB,
    SrcCopy = 0xCC,
    SrcPaint = 0xEE,
    PatCopy = 0xF0,
    Whiteness = 0xFF,
};

constexpr RasterOp rasterOp(quint32 code)
{
    return RasterOp((code >> 16) & 0xFF);
}

// A pen's style word packs four fields in separate bits; PenFlags reads each as its own type.
enum class PenStyle : quint32 {
    Solid = 0,
    Dash = 1,
    Dot = 2,
    DashDot = 3,
    DashDotDot = 4,
    Null = 5,
    InsideFrame = 6,
    UserStyle = 7,
    Alternate = 8,
};
enum class PenEndCap : quint32 { Round = 0, Square = 0x100, Flat = 0x200 };
enum class PenJoin : quint32 { Round = 0, Bevel = 0x1000, Miter = 0x2000 };

struct PenFlags {
    static constexpr quint32 kStyleMask = 0xF;
    static constexpr quint32 kEndCapMask = 0xF00;
    static constexpr quint32 kJoinMask = 0xF000;
    static constexpr quint32 kGeometric = 0x10000; // else cosmetic: one pixel, whatever the width

    quint32 bits = 0;

    PenStyle style() const { return PenStyle(bits & kStyleMask); }
    PenEndCap endCap() const { return PenEndCap(bits & kEndCapMask); }
    PenJoin join() const { return PenJoin(bits & kJoinMask); }
    bool geometric() const { return bits & kGeometric; }
    void setStyle(PenStyle style) { bits = (bits & ~kStyleMask) | quint32(style); }
};

enum class BrushStyle : quint32 {
    Solid = 0,
    Null = 1,
    Hatched = 2,
    Pattern = 3,
    Indexed = 4,
    DibPattern = 5,
    DibPatternPt = 6,
    Pattern8x8 = 7,
    DibPattern8x8 = 8,
    MonoPattern = 9,
};
enum class HatchStyle : quint32 { Horizontal = 0, Vertical = 1, FDiagonal = 2, BDiagonal = 3, Cross = 4, DiagCross = 5 };

enum class Charset : quint8 {
    Ansi = 0,
    Default = 1,
    Symbol = 2,
    Mac = 77,
    ShiftJis = 128,
    Hangul = 129,
    Johab = 130,
    Gb2312 = 134,
    ChineseBig5 = 136,
    Greek = 161,
    Turkish = 162,
    Vietnamese = 163,
    Hebrew = 177,
    Arabic = 178,
    Baltic = 186,
    Russian = 204,
    Thai = 222,
    EastEurope = 238,
    Oem = 255,
};

// Text alignment is three fields in one word, and TA_CENTER shares a bit with TA_RIGHT (as
// TA_BASELINE does with TA_BOTTOM), so it is read through accessors rather than tested bit by bit.
enum class HorizontalAlign { Left, Right, Centre };
enum class VerticalAlign { Top, Bottom, Baseline };

struct TextAlign {
    static constexpr quint32 kUpdateCp = 0x1;
    static constexpr quint32 kRight = 0x2;
    static constexpr quint32 kCentre = 0x6;
    static constexpr quint32 kBottom = 0x8;
    static constexpr quint32 kBaseline = 0x18;

    quint32 bits = 0;

    // Text starts at the current position, which then moves past it.
    bool updatesCurrentPosition() const { return bits & kUpdateCp; }
    HorizontalAlign horizontal() const
    {
        if ((bits & kCentre) == kCentre)
            return HorizontalAlign::Centre;
        return bits & kRight ? HorizontalAlign::Right : HorizontalAlign::Left;
    }
    VerticalAlign vertical() const
    {
        if ((bits & kBaseline) == kBaseline)
            return VerticalAlign::Baseline;
        return bits & kBottom ? VerticalAlign::Bottom : VerticalAlign::Top;
    }
};

// ExtTextOut's options are independent bits.
enum class TextOutOption : quint32 {
    Opaque = 0x2,
    Clipped = 0x4,
    GlyphIndex = 0x10,
    NoRect = 0x100,
    Pdy = 0x2000, // each advance is an x and a y
};
Q_DECLARE_FLAGS(TextOutOptions, TextOutOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TextOutOptions)

enum class StockObject : quint32 {
    WhiteBrush = 0,
    LtGrayBrush = 1,
    GrayBrush = 2,
    DkGrayBrush = 3,
    BlackBrush = 4,
    NullBrush = 5,
    WhitePen = 6,
    BlackPen = 7,
    NullPen = 8,
    OemFixedFont = 10,
    AnsiFixedFont = 11,
    AnsiVarFont = 12,
    SystemFont = 13,
    DeviceDefaultFont = 14,
    DefaultPalette = 15,
    SystemFixedFont = 16,
    DefaultGuiFont = 17,
    DcBrush = 18,
    DcPen = 19,
};

// ---- record types

// A record's type as the file stores it, under the name the format's documentation gives it, so
// that a type read from a file can be looked up there. The lists are complete, not just what is
// played: a type outside them is still a valid record, passed over by the players. A WMF type's
// high byte is the parameter count the record had in 16-bit Windows, which some records still
// rely on (a BitBlt without a bitmap is told apart by its length).
enum class EmrType : quint32 {
    EMR_HEADER = 1,
    EMR_POLYBEZIER = 2,
    EMR_POLYGON = 3,
    EMR_POLYLINE = 4,
    EMR_POLYBEZIERTO = 5,
    EMR_POLYLINETO = 6,
    EMR_POLYPOLYLINE = 7,
    EMR_POLYPOLYGON = 8,
    EMR_SETWINDOWEXTEX = 9,
    EMR_SETWINDOWORGEX = 10,
    EMR_SETVIEWPORTEXTEX = 11,
    EMR_SETVIEWPORTORGEX = 12,
    EMR_SETBRUSHORGEX = 13,
    EMR_EOF = 14,
    EMR_SETPIXELV = 15,
    EMR_SETMAPPERFLAGS = 16,
    EMR_SETMAPMODE = 17,
    EMR_SETBKMODE = 18,
    EMR_SETPOLYFILLMODE = 19,
    EMR_SETROP2 = 20,
    EMR_SETSTRETCHBLTMODE = 21,
    EMR_SETTEXTALIGN = 22,
    EMR_SETCOLORADJUSTMENT = 23,
    EMR_SETTEXTCOLOR = 24,
    EMR_SETBKCOLOR = 25,
    EMR_OFFSETCLIPRGN = 26,
    EMR_MOVETOEX = 27,
    EMR_SETMETARGN = 28,
    EMR_EXCLUDECLIPRECT = 29,
    EMR_INTERSECTCLIPRECT = 30,
    EMR_SCALEVIEWPORTEXTEX = 31,
    EMR_SCALEWINDOWEXTEX = 32,
    EMR_SAVEDC = 33,
    EMR_RESTOREDC = 34,
    EMR_SETWORLDTRANSFORM = 35,
    EMR_MODIFYWORLDTRANSFORM = 36,
    EMR_SELECTOBJECT = 37,
    EMR_CREATEPEN = 38,
    EMR_CREATEBRUSHINDIRECT = 39,
    EMR_DELETEOBJECT = 40,
    EMR_ANGLEARC = 41,
    EMR_ELLIPSE = 42,
    EMR_RECTANGLE = 43,
    EMR_ROUNDRECT = 44,
    EMR_ARC = 45,
    EMR_CHORD = 46,
    EMR_PIE = 47,
    EMR_SELECTPALETTE = 48,
    EMR_CREATEPALETTE = 49,
    EMR_SETPALETTEENTRIES = 50,
    EMR_RESIZEPALETTE = 51,
    EMR_REALIZEPALETTE = 52,
    EMR_EXTFLOODFILL = 53,
    EMR_LINETO = 54,
    EMR_ARCTO = 55,
    EMR_POLYDRAW = 56,
    EMR_SETARCDIRECTION = 57,
    EMR_SETMITERLIMIT = 58,
    EMR_BEGINPATH = 59,
    EMR_ENDPATH = 60,
    EMR_CLOSEFIGURE = 61,
    EMR_FILLPATH = 62,
    EMR_STROKEANDFILLPATH = 63,
    EMR_STROKEPATH = 64,
    EMR_FLATTENPATH = 65,
    EMR_WIDENPATH = 66,
    EMR_SELECTCLIPPATH = 67,
    EMR_ABORTPATH = 68,
    EMR_COMMENT = 70,
    EMR_FILLRGN = 71,
    EMR_FRAMERGN = 72,
    EMR_INVERTRGN = 73,
    EMR_PAINTRGN = 74,
    EMR_EXTSELECTCLIPRGN = 75,
    EMR_BITBLT = 76,
    EMR_STRETCHBLT = 77,
    EMR_MASKBLT = 78,
    EMR_PLGBLT = 79,
    EMR_SETDIBITSTODEVICE = 80,
    EMR_STRETCHDIBITS = 81,
    EMR_EXTCREATEFONTINDIRECTW = 82,
    EMR_EXTTEXTOUTA = 83,
    EMR_EXTTEXTOUTW = 84,
    EMR_POLYBEZIER16 = 85,
    EMR_POLYGON16 = 86,
    EMR_POLYLINE16 = 87,
    EMR_POLYBEZIERTO16 = 88,
    EMR_POLYLINETO16 = 89,
    EMR_POLYPOLYLINE16 = 90,
    EMR_POLYPOLYGON16 = 91,
    EMR_POLYDRAW16 = 92,
    EMR_CREATEMONOBRUSH = 93,
    EMR_CREATEDIBPATTERNBRUSHPT = 94,
    EMR_EXTCREATEPEN = 95,
    EMR_POLYTEXTOUTA = 96,
    EMR_POLYTEXTOUTW = 97,
    EMR_SETICMMODE = 98,
    EMR_CREATECOLORSPACE = 99,
    EMR_SETCOLORSPACE = 100,
    EMR_DELETECOLORSPACE = 101,
    EMR_GLSRECORD = 102,
    EMR_GLSBOUNDEDRECORD = 103,
    EMR_PIXELFORMAT = 104,
    EMR_DRAWESCAPE = 105,
    EMR_EXTESCAPE = 106,
    EMR_SMALLTEXTOUT = 108,
    EMR_FORCEUFIMAPPING = 109,
    EMR_NAMEDESCAPE = 110,
    EMR_COLORCORRECTPALETTE = 111,
    EMR_SETICMPROFILEA = 112,
    EMR_SETICMPROFILEW = 113,
    EMR_ALPHABLEND = 114,
    EMR_SETLAYOUT = 115,
    EMR_TRANSPARENTBLT = 116,
    EMR_GRADIENTFILL = 118,
    EMR_SETLINKEDUFIS = 119,
    EMR_SETTEXTJUSTIFICATION = 120,
    EMR_COLORMATCHTOTARGETW = 121,
    EMR_CREATECOLORSPACEW = 122,
};

enum class MetaType : quint16 {
    META_EOF = 0x0000,
    META_REALIZEPALETTE = 0x0035,
    META_SETPALENTRIES = 0x0037,
    META_SAVEDC = 0x001E,
    META_CREATEPALETTE = 0x00F7,
    META_SETBKMODE = 0x0102,
    META_SETMAPMODE = 0x0103,
    META_SETROP2 = 0x0104,
    META_SETRELABS = 0x0105,
    META_SETPOLYFILLMODE = 0x0106,
    META_SETSTRETCHBLTMODE = 0x0107,
    META_SETTEXTCHAREXTRA = 0x0108,
    META_RESTOREDC = 0x0127,
    META_INVERTREGION = 0x012A,
    META_PAINTREGION = 0x012B,
    META_SELECTCLIPREGION = 0x012C,
    META_SELECTOBJECT = 0x012D,
    META_SETTEXTALIGN = 0x012E,
    META_RESIZEPALETTE = 0x0139,
    META_DIBCREATEPATTERNBRUSH = 0x0142,
    META_SETLAYOUT = 0x0149,
    META_DELETEOBJECT = 0x01F0,
    META_CREATEPATTERNBRUSH = 0x01F9,
    META_SETBKCOLOR = 0x0201,
    META_SETTEXTCOLOR = 0x0209,
    META_SETTEXTJUSTIFICATION = 0x020A,
    META_SETWINDOWORG = 0x020B,
    META_SETWINDOWEXT = 0x020C,
    META_SETVIEWPORTORG = 0x020D,
    META_SETVIEWPORTEXT = 0x020E,
    META_OFFSETWINDOWORG = 0x020F,
    META_OFFSETVIEWPORTORG = 0x0211,
    META_LINETO = 0x0213,
    META_MOVETO = 0x0214,
    META_OFFSETCLIPRGN = 0x0220,
    META_FILLREGION = 0x0228,
    META_SETMAPPERFLAGS = 0x0231,
    META_SELECTPALETTE = 0x0234,
    META_CREATEPENINDIRECT = 0x02FA,
    META_CREATEFONTINDIRECT = 0x02FB,
    META_CREATEBRUSHINDIRECT = 0x02FC,
    META_POLYGON = 0x0324,
    META_POLYLINE = 0x0325,
    META_SCALEWINDOWEXT = 0x0410,
    META_SCALEVIEWPORTEXT = 0x0412,
    META_EXCLUDECLIPRECT = 0x0415,
    META_INTERSECTCLIPRECT = 0x0416,
    META_ELLIPSE = 0x0418,
    META_FLOODFILL = 0x0419,
    META_RECTANGLE = 0x041B,
    META_SETPIXEL = 0x041F,
    META_FRAMEREGION = 0x0429,
    META_ANIMATEPALETTE = 0x0436,
    META_TEXTOUT = 0x0521,
    META_POLYPOLYGON = 0x0538,
    META_EXTFLOODFILL = 0x0548,
    META_ROUNDRECT = 0x061C,
    META_PATBLT = 0x061D,
    META_ESCAPE = 0x0626,
    META_CREATEREGION = 0x06FF,
    META_ARC = 0x0817,
    META_PIE = 0x081A,
    META_CHORD = 0x0830,
    META_BITBLT = 0x0922,
    META_DIBBITBLT = 0x0940,
    META_EXTTEXTOUT = 0x0A32,
    META_STRETCHBLT = 0x0B23,
    META_DIBSTRETCHBLT = 0x0B41,
    META_SETDIBTODEV = 0x0D33,
    META_STRETCHDIB = 0x0F43,
};

// META_ESCAPE's escape functions: only the comment is read, for the EMF a WMF may carry.
enum class EscapeFunction : quint16 { MFCOMMENT = 0x000F };
// A comment holding a chunk of an embedded EMF starts with "WMFC", then the comment type.
inline constexpr quint32 kWmfcCommentId = 0x43464D57;
inline constexpr quint32 kWmfcEnhancedMetafile = 1;

} // namespace metafile::gdi

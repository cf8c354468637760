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

} // namespace metafile::gdi

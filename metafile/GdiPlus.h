#pragma once

// GDI+'s vocabulary: the numbers EMF+ records and the objects they define carry, named once.

#include <QtGlobal>

namespace metafile::gdiplus {

enum class RecordType : quint16 {
    Header = 0x4001,
    EndOfFile = 0x4002,
    Comment = 0x4003,
    GetDC = 0x4004,
    MultiFormatStart = 0x4005,
    MultiFormatSection = 0x4006,
    MultiFormatEnd = 0x4007,
    Object = 0x4008,
    Clear = 0x4009,
    FillRects = 0x400A,
    DrawRects = 0x400B,
    FillPolygon = 0x400C,
    DrawLines = 0x400D,
    FillEllipse = 0x400E,
    DrawEllipse = 0x400F,
    FillPie = 0x4010,
    DrawPie = 0x4011,
    DrawArc = 0x4012,
    FillRegion = 0x4013,
    FillPath = 0x4014,
    DrawPath = 0x4015,
    FillClosedCurve = 0x4016,
    DrawClosedCurve = 0x4017,
    DrawCurve = 0x4018,
    DrawBeziers = 0x4019,
    DrawImage = 0x401A,
    DrawImagePoints = 0x401B,
    DrawString = 0x401C,
    SetRenderingOrigin = 0x401D,
    SetAntiAliasMode = 0x401E,
    SetTextRenderingHint = 0x401F,
    SetTextContrast = 0x4020,
    SetInterpolationMode = 0x4021,
    SetPixelOffsetMode = 0x4022,
    SetCompositingMode = 0x4023,
    SetCompositingQuality = 0x4024,
    Save = 0x4025,
    Restore = 0x4026,
    BeginContainer = 0x4027,
    BeginContainerNoParams = 0x4028,
    EndContainer = 0x4029,
    SetWorldTransform = 0x402A,
    ResetWorldTransform = 0x402B,
    MultiplyWorldTransform = 0x402C,
    TranslateWorldTransform = 0x402D,
    ScaleWorldTransform = 0x402E,
    RotateWorldTransform = 0x402F,
    SetPageTransform = 0x4030,
    ResetClip = 0x4031,
    SetClipRect = 0x4032,
    SetClipPath = 0x4033,
    SetClipRegion = 0x4034,
    OffsetClip = 0x4035,
    DrawDriverString = 0x4036,
    StrokeFillPath = 0x4037,
    SerializableObject = 0x4038,
    SetTSGraphics = 0x4039,
    SetTSClip = 0x403A,
};

// Bits of a record's 16-bit flags. Several records give the same bit different meanings.
namespace RecordFlag {
inline constexpr quint16 HeaderDual = 0x0001;      // the picture has GDI records too
inline constexpr quint16 AntiAlias = 0x0001;       // of the smoothing mode
inline constexpr quint16 ObjectId = 0x00FF;        // the object a record uses or defines
inline constexpr quint16 BrushIsColour = 0x8000;   // the brush field is a colour, not an object
inline constexpr quint16 ObjectContinued = 0x8000; // an object record with more pieces to come
inline constexpr quint16 Compressed = 0x4000;      // coordinates as 16-bit integers
inline constexpr quint16 ClosedOrAppend = 0x2000;  // closed lines, winding fill, appended transform
inline constexpr quint16 Relative = 0x0800;        // points as steps from the one before
} // namespace RecordFlag

// Where in the flags a record keeps a small number of its own.
inline int objectId(quint16 flags) { return flags & RecordFlag::ObjectId; }
inline int objectTypeBits(quint16 flags) { return flags >> 8 & 0x7F; }
inline int unitBits(quint16 flags) { return flags >> 8 & 0xFF; }
inline int combineModeBits(quint16 flags) { return flags >> 8 & 0x0F; }

enum class ObjectType : quint8 {
    Invalid = 0,
    Brush = 1,
    Pen = 2,
    Path = 3,
    Region = 4,
    Image = 5,
    Font = 6,
    StringFormat = 7,
    ImageAttributes = 8,
    CustomLineCap = 9,
};

enum class Unit : quint32 { World = 0, Display = 1, Pixel = 2, Point = 3, Inch = 4, Document = 5, Millimeter = 6 };

enum class CombineMode : quint32 { Replace = 0, Intersect = 1, Union = 2, Xor = 3, Exclude = 4, Complement = 5 };

enum class InterpolationMode : quint8 { NearestNeighbor = 5 };

enum class BrushType : quint32 { SolidColor = 0, HatchFill = 1, TextureFill = 2, PathGradient = 3, LinearGradient = 4 };

namespace BrushData {
inline constexpr quint32 Path = 0x0001;
inline constexpr quint32 Transform = 0x0002;
inline constexpr quint32 PresetColors = 0x0004;
inline constexpr quint32 BlendFactorsH = 0x0008;
inline constexpr quint32 BlendFactorsV = 0x0010;
} // namespace BrushData

// The first six hatches; the dotted and textured ones that follow have no Qt pattern of their own.
enum class HatchStyle : quint32 { Horizontal = 0, Vertical = 1, ForwardDiagonal = 2, BackwardDiagonal = 3, Cross = 4, DiagonalCross = 5 };

enum class WrapMode : quint32 { Tile = 0, TileFlipX = 1, TileFlipY = 2, TileFlipXY = 3, Clamp = 4 };

namespace PenData {
inline constexpr quint32 Transform = 0x0001;
inline constexpr quint32 StartCap = 0x0002;
inline constexpr quint32 EndCap = 0x0004;
inline constexpr quint32 Join = 0x0008;
inline constexpr quint32 MiterLimit = 0x0010;
inline constexpr quint32 LineStyle = 0x0020;
inline constexpr quint32 DashedLineCap = 0x0040;
inline constexpr quint32 DashedLineOffset = 0x0080;
inline constexpr quint32 DashedLine = 0x0100;
inline constexpr quint32 NonCenter = 0x0200;
inline constexpr quint32 CompoundLine = 0x0400;
inline constexpr quint32 CustomStartCap = 0x0800;
inline constexpr quint32 CustomEndCap = 0x1000;
} // namespace PenData

enum class LineCap : quint32 { Flat = 0, Square = 1, Round = 2, Triangle = 3 };
enum class LineJoin : quint32 { Miter = 0, Bevel = 1, Round = 2, MiterClipped = 3 };
enum class LineStyle : quint32 { Solid = 0, Dash = 1, Dot = 2, DashDot = 3, DashDotDot = 4, Custom = 5 };
enum class DashedLineCap : quint32 { Flat = 0, Round = 2, Triangle = 3 };

enum class ImageType : quint32 { Unknown = 0, Bitmap = 1, Metafile = 2 };
enum class MetafileType : quint32 { Wmf = 1, WmfPlaceable = 2, Emf = 3, EmfPlusOnly = 4, EmfPlusDual = 5 };
enum class BitmapType : quint32 { Pixel = 0, Compressed = 1 };

namespace PixelFormat {
inline constexpr quint32 Indexed = 0x00010000; // a bit of every palette format
inline constexpr quint32 Rgb555 = 0x00021005;
inline constexpr quint32 Rgb565 = 0x00021006;
inline constexpr quint32 Argb32 = 0x0026200A;
inline constexpr quint32 Pargb32 = 0x000E200B;
inline int bitsPerPixel(quint32 format) { return int(format >> 8 & 0xFF); }
} // namespace PixelFormat

inline constexpr quint32 kPaletteHasAlpha = 0x0001;

namespace PathFlag {
inline constexpr quint32 RunLengthTypes = 0x1000;
} // namespace PathFlag

enum class PathPointType : quint8 { Start = 0, Line = 1, Bezier = 3 };
inline constexpr quint8 kPathPointTypeMask = 0x07;
inline constexpr quint8 kPathCloseSubpath = 0x80;

enum class RegionNode : quint32 {
    And = 1,
    Or = 2,
    Xor = 3,
    Exclude = 4,
    Complement = 5,
    Rect = 0x10000000,
    Path = 0x10000001,
    Empty = 0x10000002,
    Infinite = 0x10000003,
};

namespace FontStyle {
inline constexpr int Bold = 1;
inline constexpr int Italic = 2;
inline constexpr int Underline = 4;
inline constexpr int Strikeout = 8;
} // namespace FontStyle

namespace StringFormatFlag {
inline constexpr quint32 NoWrap = 0x1000;
inline constexpr quint32 NoClip = 0x4000;
} // namespace StringFormatFlag

enum class StringAlignment : quint32 { Near = 0, Center = 1, Far = 2 };

namespace DriverStringOption {
inline constexpr quint32 CmapLookup = 0x0001;
inline constexpr quint32 Vertical = 0x0002;
inline constexpr quint32 RealizedAdvance = 0x0004;
inline constexpr quint32 LimitSubpixel = 0x0008;
} // namespace DriverStringOption

} // namespace metafile::gdiplus

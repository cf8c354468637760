#pragma once

#include "metafile/EmfPlusImage.h"
#include "metafile/GdiPlus.h"
#include "metafile/MetafileBytes.h"

#include <QBrush>
#include <QImage>
#include <QPainterPath>
#include <QPen>

#include <optional>

// The objects GDI+ records define once and then draw with, read into Qt's terms.
namespace metafile::emfplus {

struct Font {
    double emSize = 0;
    gdiplus::Unit unit = gdiplus::Unit::World;
    int style = 0; // gdiplus::FontStyle bits
    QString family;
};

struct Format {
    quint32 flags = 0; // gdiplus::StringFormatFlag bits
    gdiplus::StringAlignment align = gdiplus::StringAlignment::Near;
    gdiplus::StringAlignment lineAlign = gdiplus::StringAlignment::Near; // the same, down the layout box
};

struct Pen {
    double width = 1;
    gdiplus::Unit unit = gdiplus::Unit::World;
    QPen pen; // style, caps, joins and dashes; width and brush are set when drawing
    QBrush brush;
};

// A brush, and the background a hatch paints beneath its lines.
struct Paint {
    QBrush brush;
    std::optional<QColor> back;
};

struct Object {
    enum class Kind { None, Brush, Pen, Path, Region, Image, Font, Format };
    Kind kind = Kind::None;
    Paint paint;
    Pen pen;
    QPainterPath path; // also a region's area, in world units
    QImage image;
    QByteArray picture; // an image that is an EMF, drawn as a picture rather than as pixels
    Font font;
    Format format;
    qint64 regionElements = 0; // what reading a region took, paid for even when it failed
};

// The object an object record defines; Kind::None when it is malformed or of a kind not drawn.
Object object(gdiplus::ObjectType type, Bytes data, const AffordPixels& afford);

std::optional<Paint> brush(Bytes data, const AffordPixels& afford);
std::optional<Pen> pen(Bytes data, const AffordPixels& afford);
std::optional<Font> font(Bytes data);
std::optional<Format> stringFormat(Bytes data);

} // namespace metafile::emfplus

#include "metafile/GdiObjects.h"

#include <cmath>

namespace metafile {

namespace {

constexpr qint64 kFaceNameLength = 32; // characters, the terminating zero included

// The LOGFONT bytes from lfItalic on: italic, underline, strike-out, charset.
void readFontFlags(Bytes flags, GdiFont& font)
{
    font.italic = flags.u8(0) != 0;
    font.underline = flags.u8(1) != 0;
    font.strikeOut = flags.u8(2) != 0;
    font.charset = gdi::Charset(flags.u8(3));
}

} // namespace

GdiPen logPen(gdi::PenFlags style, double width, quint32 colour)
{
    GdiPen pen;
    pen.flags = style;
    pen.width = std::abs(width);
    pen.colour = colour;
    return pen;
}

GdiBrush logBrush(gdi::BrushStyle style, quint32 colour, gdi::HatchStyle hatch)
{
    GdiBrush brush;
    brush.colour = colour;
    if (style == gdi::BrushStyle::Null) {
        brush.kind = GdiBrush::Kind::Null;
    } else if (style == gdi::BrushStyle::Hatched) {
        brush.kind = GdiBrush::Kind::Hatched;
        brush.hatch = hatch;
    }
    return brush;
}

QList<QRgb> readLogPalette(Bytes palette)
{
    QList<QRgb> entries;
    const qint64 count = palette.u16(2);
    if (!palette.has(4, count * 4))
        return entries;
    entries.reserve(count);
    for (qint64 i = 0; i < count; ++i)
        entries.append(qRgb(palette.u8(4 + 4 * i), palette.u8(5 + 4 * i), palette.u8(6 + 4 * i)));
    return entries;
}

GdiFont readLogFont16(Bytes font)
{
    GdiFont f;
    f.height = font.i16(0);
    f.width = std::abs(double(font.i16(2)));
    f.escapement = font.i16(4);
    f.weight = font.i16(8);
    readFontFlags(font.from(10), f);
    const Bytes face = font.from(18);
    f.face = decodeFaceName(face.view().first(std::min(face.size(), kFaceNameLength)), f.charset);
    return f;
}

GdiFont readLogFontW(Bytes font)
{
    GdiFont f;
    f.height = font.i32(0);
    f.width = std::abs(double(font.i32(4)));
    f.escapement = font.i32(8);
    f.weight = font.i32(16);
    readFontFlags(font.from(20), f);
    for (qint64 i = 0; i < kFaceNameLength; ++i) {
        const quint16 c = font.u16(28 + 2 * i);
        if (c == 0)
            break;
        f.face.append(QChar(c));
    }
    return f;
}

BitmapRef readBitmapRef(Bytes record, qint64 usageAt, qint64 infoAt)
{
    BitmapRef b;
    b.usage = record.u32(usageAt);
    b.infoSize = record.u32(infoAt + 4);
    b.info = record.sub(record.u32(infoAt), b.infoSize);
    b.bits = record.sub(record.u32(infoAt + 8), record.u32(infoAt + 12));
    return b;
}

GdiBrush patternBrush(const Dib& dib, MetafileCanvas& canvas)
{
    GdiBrush brush;
    brush.kind = GdiBrush::Kind::Null;
    if (!dib.isNull() && canvas.allowPattern(qint64(dib.image.width()) * dib.image.height())) {
        brush.kind = GdiBrush::Kind::Pattern;
        brush.pattern = dib.image;
    }
    return brush;
}

} // namespace metafile

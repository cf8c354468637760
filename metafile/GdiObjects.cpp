#include "metafile/GdiObjects.h"

#include <cmath>

namespace metafile {

namespace {

constexpr qint64 kFaceNameLength = 32; // characters, the terminating zero included

// The LOGFONT fields both forms share: height, width, escapement, orientation and weight in
// numbers of the given width, then italic, underline, strike-out and charset as bytes. The face
// name follows at faceAt.
GdiFont readLogFontNumbers(Bytes font, int numberBytes, qint64& faceAt)
{
    const auto number = [&](int i) { return numberBytes == 2 ? double(font.i16(2 * i)) : double(font.i32(4 * i)); };
    GdiFont f;
    f.height = number(0);
    f.width = std::abs(number(1));
    f.escapement = number(2);
    f.weight = int(number(4));
    const qint64 flags = 5 * numberBytes;
    f.italic = font.u8(flags) != 0;
    f.underline = font.u8(flags + 1) != 0;
    f.strikeOut = font.u8(flags + 2) != 0;
    f.charset = gdi::Charset(font.u8(flags + 3));
    faceAt = flags + 8;
    return f;
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
    qint64 faceAt = 0;
    GdiFont f = readLogFontNumbers(font, 2, faceAt);
    const Bytes face = font.from(faceAt);
    f.face = decodeFaceName(face.view().first(std::min(face.size(), kFaceNameLength)), f.charset);
    return f;
}

GdiFont readLogFontW(Bytes font)
{
    qint64 faceAt = 0;
    GdiFont f = readLogFontNumbers(font, 4, faceAt);
    for (qint64 i = 0; i < kFaceNameLength; ++i) {
        const quint16 c = font.u16(faceAt + 2 * i);
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

#include "metafile/MetafileDib.h"

#include <QBuffer>
#include <QImageReader>

#include <bit>
#include <cstring>
#include <optional>

namespace metafile {
namespace {

enum : quint32 { BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiJpeg = 4, BiPng = 5, BiAlphaBitfields = 6 };

// Bits per pixel of the uncompressed kinds, as biBitCount gives them.
enum class Depth { Mono = 1, Nibble = 4, Byte = 8, Word = 16, Rgb = 24, Dword = 32 };

struct Header {
    int width = 0;
    int height = 0;
    bool bottomUp = true;
    int bitCount = 0;
    quint32 compression = BiRgb;
    quint32 masks[4] = { 0, 0, 0, 0 };
    QList<QRgb> colours;
    qint64 size = 0; // header, masks and colour table together
};

// The size and depth: a BITMAPCOREHEADER (12 bytes) or a BITMAPINFOHEADER or one of its longer
// successors. False when the header is of neither kind, cut short or the bitmap too large.
bool readSize(Bytes info, quint32 headerSize, Header& h, qint64& clrUsed)
{
    if (headerSize == 12) {
        if (!info.has(0, 12))
            return false;
        h.width = info.u16(4);
        h.height = info.u16(6);
        h.bitCount = info.u16(10);
    } else if (headerSize >= 40 && headerSize <= 1024) {
        if (!info.has(0, headerSize))
            return false;
        h.width = info.i32(4);
        const qint32 height = info.i32(8);
        if (height == std::numeric_limits<qint32>::min())
            return false;
        h.bottomUp = height > 0;
        h.height = height < 0 ? -height : height;
        h.bitCount = info.u16(14);
        h.compression = info.u32(16);
        clrUsed = info.u32(32);
    } else {
        return false;
    }
    return h.width > 0 && h.height > 0 && h.width <= kMaxDibSide && h.height <= kMaxDibSide
        && qint64(h.width) * h.height <= kMaxDibPixels;
}

// Whether the compression is one read here, at a depth it allows.
bool compressionFits(Header& h, quint32 headerSize)
{
    switch (h.compression) {
    case BiRgb:
        return h.bitCount == 1 || h.bitCount == 4 || h.bitCount == 8 || h.bitCount == 16 || h.bitCount == 24
            || h.bitCount == 32;
    case BiRle8:
        return h.bitCount == 8 && h.bottomUp;
    case BiRle4:
        return h.bitCount == 4 && h.bottomUp;
    case BiBitfields:
    case BiAlphaBitfields:
        return h.bitCount == 16 || h.bitCount == 32;
    case BiJpeg:
    case BiPng:
        // A whole JPEG or PNG file as the pixels, as pictures recorded for printing carry them.
        h.bitCount = 0;
        return headerSize != 12;
    default:
        return false;
    }
}

// The colour masks of 16- and 32-bit pixels; offset moves past them where they follow the header.
bool readMasks(Bytes info, quint32 headerSize, Header& h, qint64& offset)
{
    if (h.compression == BiBitfields || h.compression == BiAlphaBitfields) {
        // A plain 40-byte header has its masks after it; the later headers carry them inside.
        const int count = h.compression == BiAlphaBitfields ? 4 : 3;
        const qint64 at = 40;
        if (headerSize == 40)
            offset += 4 * count;
        if (!info.has(at, 4 * count) || (headerSize > 40 && headerSize < quint32(40 + 4 * count)))
            return false;
        for (int i = 0; i < count; ++i)
            h.masks[i] = info.u32(at + 4 * i);
        if (headerSize >= 56 && count == 3)
            h.masks[3] = info.u32(52);
    } else if (h.bitCount == 16) {
        h.masks[0] = 0x7C00;
        h.masks[1] = 0x03E0;
        h.masks[2] = 0x001F;
    }
    return true;
}

std::optional<Header> readHeader(Bytes info, quint32 usage, const QList<QRgb>& palette)
{
    if (!info.has(0, 4))
        return {};
    Header h;
    const quint32 headerSize = info.u32(0);
    qint64 clrUsed = 0;
    qint64 offset = headerSize;
    if (!readSize(info, headerSize, h, clrUsed) || !compressionFits(h, headerSize)
        || !readMasks(info, headerSize, h, offset))
        return {};

    qint64 entries = clrUsed;
    if (h.bitCount == 0)
        entries = 0;
    else if (h.bitCount <= 8 && (entries == 0 || headerSize == 12))
        entries = qint64(1) << h.bitCount;
    const int entrySize = usage == DibPaletteColours ? 2 : headerSize == 12 ? 3 : 4;
    if (entries > 65536 || !info.has(offset, entries * entrySize))
        return {};
    if (h.bitCount <= 8) {
        const qint64 used = std::min<qint64>(entries, qint64(1) << h.bitCount);
        h.colours.reserve(used);
        for (qint64 i = 0; i < used; ++i) {
            const qint64 at = offset + i * entrySize;
            if (usage == DibPaletteColours) {
                const quint16 index = info.u16(at);
                h.colours.append(index < palette.size() ? palette[index] : qRgb(0, 0, 0));
            } else {
                h.colours.append(qRgb(info.u8(at + 2), info.u8(at + 1), info.u8(at)));
            }
        }
    }
    h.size = offset + entries * entrySize;
    return h;
}

struct Channel {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(quint32 m)
        : mask(m)
    {
        if (m == 0)
            return;
        shift = std::countr_zero(m);
        bits = std::popcount(m >> shift);
    }
    int value(quint32 pixel) const
    {
        if (bits == 0)
            return 0;
        const quint32 v = (pixel & mask) >> shift;
        if (bits >= 8)
            return int(v >> (bits - 8));
        const quint32 max = (1u << bits) - 1;
        return int((v * 255 + max / 2) / max);
    }
};

QRgb colourAt(const QList<QRgb>& colours, quint32 index)
{
    return index < quint32(colours.size()) ? colours[index] : qRgb(0, 0, 0);
}

bool decodeRle(const Header& h, Bytes bits, QImage& image)
{
    image.fill(colourAt(h.colours, 0));
    const bool four = h.compression == BiRle4;
    qint64 x = 0;
    qint64 y = 0;
    auto put = [&](quint32 index) {
        if (x < h.width && y < h.height)
            reinterpret_cast<QRgb*>(image.scanLine(int(h.height - 1 - y)))[x] = colourAt(h.colours, index);
        ++x;
    };
    qint64 at = 0;
    while (bits.has(at, 2) && y < h.height) {
        const quint8 count = bits.u8(at);
        const quint8 code = bits.u8(at + 1);
        at += 2;
        if (count > 0) {
            for (int i = 0; i < count && x < h.width; ++i)
                put(four ? (i % 2 == 0 ? code >> 4 : code & 0x0F) : code);
            continue;
        }
        if (code == 0) { // end of line
            x = 0;
            ++y;
        } else if (code == 1) { // end of bitmap
            break;
        } else if (code == 2) { // move right and up
            if (!bits.has(at, 2))
                break;
            x = std::min<qint64>(x + bits.u8(at), h.width);
            y += bits.u8(at + 1);
            at += 2;
        } else { // a run of literal pixels, padded to a 16-bit boundary
            const qint64 bytes = four ? (code + 1) / 2 : code;
            if (!bits.has(at, bytes))
                break;
            for (int i = 0; i < code; ++i) {
                const quint8 b = bits.u8(at + (four ? i / 2 : i));
                put(four ? (i % 2 == 0 ? b >> 4 : b & 0x0F) : b);
            }
            at += bytes + (bytes & 1);
        }
    }
    return true;
}

// The picture a JPEG or PNG file gives, when it is the size the header says: its own header is
// read first, so a file claiming a huge picture is refused before anything is allocated.
QImage embeddedImage(const Header& h, Bytes bits, bool keepAlpha)
{
    QByteArray data = bits.view().toByteArray();
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, h.compression == BiJpeg ? QByteArrayLiteral("jpeg") : QByteArrayLiteral("png"));
    reader.setAutoTransform(false);
    if (reader.size() != QSize(h.width, h.height))
        return {};
    const QImage image = reader.read();
    if (image.isNull())
        return {};
    return image.convertToFormat(keepAlpha && image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                      : QImage::Format_RGB32);
}

} // namespace

Dib decodeDib(Bytes info, Bytes bits, quint32 usage, const QList<QRgb>& palette, bool keepAlpha)
{
    const std::optional<Header> header = readHeader(info, usage, palette);
    if (!header)
        return {};
    const Header& h = *header;
    if (h.compression == BiJpeg || h.compression == BiPng)
        return { embeddedImage(h, bits, keepAlpha), false };
    const bool alpha = keepAlpha && h.bitCount == 32;
    QImage image(h.width, h.height, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull())
        return {};

    if (h.compression == BiRle8 || h.compression == BiRle4) {
        decodeRle(h, bits, image);
        return { image, true };
    }

    const qint64 stride = (qint64(h.width) * h.bitCount + 31) / 32 * 4;
    if (!bits.has(0, stride * h.height))
        return {};
    const Channel red(h.masks[0]);
    const Channel green(h.masks[1]);
    const Channel blue(h.masks[2]);
    const Channel alphaChannel(h.masks[3]);
    const bool masked = h.compression != BiRgb || h.bitCount == 16;
    for (int row = 0; row < h.height; ++row) {
        const qint64 line = stride * (h.bottomUp ? h.height - 1 - row : row);
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(row));
        for (int x = 0; x < h.width; ++x) {
            switch (Depth(h.bitCount)) {
            case Depth::Mono:
                out[x] = colourAt(h.colours, (bits.u8(line + x / 8) >> (7 - x % 8)) & 1);
                break;
            case Depth::Nibble:
                out[x] = colourAt(h.colours, (bits.u8(line + x / 2) >> (x % 2 == 0 ? 4 : 0)) & 0x0F);
                break;
            case Depth::Byte:
                out[x] = colourAt(h.colours, bits.u8(line + x));
                break;
            case Depth::Word: {
                const quint32 p = bits.u16(line + 2 * x);
                out[x] = qRgb(red.value(p), green.value(p), blue.value(p));
                break;
            }
            case Depth::Rgb: {
                const qint64 at = line + 3 * x;
                out[x] = qRgb(bits.u8(at + 2), bits.u8(at + 1), bits.u8(at));
                break;
            }
            case Depth::Dword: {
                const quint32 p = bits.u32(line + 4 * x);
                int r, g, b, a = 255;
                if (masked) {
                    r = red.value(p);
                    g = green.value(p);
                    b = blue.value(p);
                    if (alpha && alphaChannel.mask)
                        a = alphaChannel.value(p);
                } else {
                    r = (p >> 16) & 0xFF;
                    g = (p >> 8) & 0xFF;
                    b = p & 0xFF;
                    if (alpha)
                        a = int(p >> 24);
                }
                // Premultiplied pixels may not exceed their alpha; a file may say otherwise.
                out[x] = alpha ? qRgba(std::min(r, a), std::min(g, a), std::min(b, a), a) : qRgb(r, g, b);
                break;
            }
            }
        }
    }
    return { image, h.bottomUp };
}

Dib decodePackedDib(Bytes dib, quint32 usage, const QList<QRgb>& palette)
{
    const std::optional<Header> header = readHeader(dib, usage, palette);
    if (!header)
        return {};
    return decodeDib(dib, dib.from(header->size), usage, palette);
}

QImage decodeBitmap16(Bytes bitmap, QRgb zeroColour, QRgb oneColour)
{
    // Type, width, height, bytes per row, planes, bits per pixel. What GDI wrote carries the
    // four bytes of a memory pointer after them; the format's description leaves them out. The
    // size of the pixels says which.
    constexpr qint64 kHeader = 10;
    constexpr qint64 kHeaderWithPointer = 14;
    if (!bitmap.has(0, kHeader))
        return {};
    const qint64 width = bitmap.i16(2);
    const qint64 height = bitmap.i16(4);
    const qint64 planes = bitmap.u8(8);
    const qint64 depth = bitmap.u8(9);
    if (width <= 0 || height <= 0 || planes != 1 || (depth != 1 && depth != 24 && depth != 32)
        || width * height > kMaxDibPixels)
        return {};
    const qint64 stride = (width * depth + 15) / 16 * 2;
    const qint64 bytes = stride * height;
    qint64 offset = kHeader;
    if (bitmap.size() - kHeaderWithPointer == bytes)
        offset = kHeaderWithPointer;
    if (!bitmap.has(offset, bytes))
        return {};
    const Bytes bits = bitmap.sub(offset, bytes);

    if (depth == 1) {
        QImage image(int(width), int(height), QImage::Format_Mono);
        if (image.isNull())
            return {};
        image.setColorTable({ zeroColour, oneColour });
        const qint64 rowBytes = (width + 7) / 8;
        for (qint64 y = 0; y < height; ++y)
            std::memcpy(image.scanLine(int(y)), bits.view().data() + y * stride, size_t(rowBytes));
        return image;
    }
    QImage image(int(width), int(height), QImage::Format_RGB32);
    if (image.isNull())
        return {};
    const qint64 step = depth / 8;
    for (qint64 y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (qint64 x = 0; x < width; ++x) {
            const qint64 at = y * stride + x * step;
            row[x] = qRgb(bits.u8(at + 2), bits.u8(at + 1), bits.u8(at));
        }
    }
    return image;
}

QImage pictureUnderMask(const QImage& picture, const QImage& mask)
{
    if (picture.isNull() || picture.size() != mask.size() || !mask.allGray())
        return {};
    QImage out = picture.convertToFormat(QImage::Format_ARGB32);
    const QImage cover = mask.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        const auto* coverLine = reinterpret_cast<const QRgb*>(cover.constScanLine(y));
        for (int x = 0; x < out.width(); ++x)
            line[x] = qRgba(qRed(line[x]), qGreen(line[x]), qBlue(line[x]), qRed(coverLine[x]));
    }
    return out;
}

} // namespace metafile

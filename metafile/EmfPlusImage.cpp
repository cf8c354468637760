#include "metafile/EmfPlusImage.h"

#include "metafile/MetafileDib.h"

#include <QBuffer>
#include <QImageReader>

namespace metafile::emfplus {

using namespace gdiplus;

namespace {

std::optional<QImage> compressedBitmap(Bytes data, const AffordPixels& afford)
{
    const QByteArray format = compressedFormat(data);
    if (format.isEmpty())
        return std::nullopt;
    QByteArray bytes = data.view().toByteArray();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > kMaxDibPixels
        || !afford(qint64(size.width()) * size.height()))
        return std::nullopt;
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// One row of pixels in the bitmap's own format; false where the format is not one read here.
bool readRow(const BitmapHeader& h, qint64 row, const QList<QRgb>& palette, bool alpha, QRgb* out)
{
    const Bytes& data = h.data;
    const int bits = PixelFormat::bitsPerPixel(h.pixelFormat);
    const bool paletted = bits == 1 || bits == 4 || bits == 8;
    if (paletted ? !(h.pixelFormat & PixelFormat::Indexed) : bits != 16 && bits != 24 && bits != 32)
        return false;
    for (qint64 x = 0; x < h.width; ++x) {
        if (paletted) {
            const qint64 bit = x * bits;
            const int index = (data.u8(row + bit / 8) >> (8 - bits - bit % 8)) & ((1 << bits) - 1);
            out[x] = index < palette.size() ? palette[index] : qRgb(0, 0, 0);
        } else if (bits == 16) {
            const quint16 p = data.u16(row + 2 * x);
            if (h.pixelFormat == PixelFormat::Rgb565)
                out[x] = qRgb((p >> 11 & 31) * 255 / 31, (p >> 5 & 63) * 255 / 63, (p & 31) * 255 / 31);
            else
                out[x] = qRgb((p >> 10 & 31) * 255 / 31, (p >> 5 & 31) * 255 / 31, (p & 31) * 255 / 31);
        } else if (bits == 24) {
            out[x] = qRgb(data.u8(row + 3 * x + 2), data.u8(row + 3 * x + 1), data.u8(row + 3 * x));
        } else {
            out[x] = alpha ? data.u32(row + 4 * x) : (data.u32(row + 4 * x) | 0xFF000000u);
        }
    }
    return true;
}

std::optional<QImage> pixelBitmap(const BitmapHeader& h, const AffordPixels& afford)
{
    const qint64 width = h.width;
    const qint64 height = h.height;
    const qint64 stride = h.stride;
    if (width <= 0 || height <= 0 || width * height > kMaxDibPixels || stride <= 0)
        return std::nullopt;
    if (!afford(width * height))
        return std::nullopt;
    const Bytes& data = h.data;
    const bool indexed = h.pixelFormat & PixelFormat::Indexed;
    qint64 offset = 0;
    QList<QRgb> palette;
    if (indexed) {
        // The palette comes first: flags, count, colours.
        const qint64 count = data.u32(4);
        if (count < 1 || count > 256 || !data.has(8, 4 * count))
            return std::nullopt;
        for (qint64 i = 0; i < count; ++i)
            palette.append(data.u32(8 + 4 * i));
        offset = 8 + 4 * count;
    }
    if (stride < (width * PixelFormat::bitsPerPixel(h.pixelFormat) + 7) / 8 || !data.has(offset, stride * height))
        return std::nullopt;
    // A palette says whether its colours carry alpha; the 32-bit formats with alpha say so too.
    const bool alpha = h.pixelFormat == PixelFormat::Argb32 || h.pixelFormat == PixelFormat::Pargb32
        || (indexed && (data.u32(0) & kPaletteHasAlpha));
    const bool premultiplied = h.pixelFormat == PixelFormat::Pargb32;
    QImage image(int(width), int(height), alpha ? (premultiplied ? QImage::Format_ARGB32_Premultiplied : QImage::Format_ARGB32)
                                                : QImage::Format_RGB32);
    if (image.isNull())
        return std::nullopt;
    for (qint64 y = 0; y < height; ++y) {
        if (!readRow(h, offset + y * stride, palette, alpha, reinterpret_cast<QRgb*>(image.scanLine(int(y)))))
            return std::nullopt;
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

std::optional<BitmapHeader> BitmapHeader::read(Bytes object)
{
    if (!object.has(0, 8))
        return std::nullopt;
    BitmapHeader h;
    h.imageType = ImageType(object.u32(4));
    if (h.imageType != ImageType::Bitmap)
        return h;
    const Bytes d = object.from(8);
    if (!d.has(0, 20))
        return std::nullopt;
    h.width = d.i32(0);
    h.height = d.i32(4);
    h.stride = d.i32(8);
    h.pixelFormat = d.u32(12);
    h.bitmapType = BitmapType(d.u32(16));
    h.data = d.from(20);
    return h;
}

std::optional<QImage> image(Bytes object, const AffordPixels& afford)
{
    // Only bitmaps: an embedded EMF is drawn as a picture (embeddedEmf), not decoded to pixels.
    const std::optional<BitmapHeader> h = BitmapHeader::read(object);
    if (!h || h->imageType != ImageType::Bitmap)
        return std::nullopt;
    if (h->bitmapType == BitmapType::Compressed)
        return compressedBitmap(h->data, afford);
    if (h->bitmapType != BitmapType::Pixel)
        return std::nullopt;
    return pixelBitmap(*h, afford);
}

std::optional<Bytes> embeddedEmf(Bytes object)
{
    if (!object.has(0, 16) || ImageType(object.u32(4)) != ImageType::Metafile)
        return std::nullopt;
    const auto type = MetafileType(object.u32(8));
    const qint64 size = object.u32(12);
    const bool emf = type == MetafileType::Emf || type == MetafileType::EmfPlusOnly || type == MetafileType::EmfPlusDual;
    if (!emf || !object.has(16, size))
        return std::nullopt;
    return object.sub(16, size);
}

// The formats GDI+ stores whole files of. Only these are decoded, each by its own reader: a
// picture carrying another metafile, which would carry another, and so on, is not opened.
QByteArray compressedFormat(Bytes d)
{
    const QByteArrayView v = d.view();
    if (v.startsWith("\x89PNG"))
        return QByteArrayLiteral("png");
    if (v.startsWith("\xFF\xD8"))
        return QByteArrayLiteral("jpeg");
    if (v.startsWith("GIF8"))
        return QByteArrayLiteral("gif");
    if (v.startsWith("BM"))
        return QByteArrayLiteral("bmp");
    return {};
}

} // namespace metafile::emfplus

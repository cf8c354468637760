#include "Assets.h"

#include <QResource>

#include <cstdint>
#include <cstring>
#include <vector>

static void initResources()
{
    Q_INIT_RESOURCE(assets);
}

namespace {

std::uint32_t le32(const uchar* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint16_t le16(const uchar* p)
{
    return std::uint16_t(p[0] | p[1] << 8);
}

QByteArray resourceBytes(const QString& path)
{
    const QResource resource(path);
    return resource.isValid() ? resource.uncompressedData() : QByteArray();
}

// The built-in artwork is all uncompressed 24-bit bottom-up bitmaps, which are quicker to convert
// with Qt's vectorised pixel conversion than to pass through its general BMP reader: the bus
// body is on the start-up path.
QImage decodeBmp24(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < 54 || data[0] != 'B' || data[1] != 'M')
        return {};
    const std::uint32_t offset = le32(data + 10);
    const std::uint32_t headerSize = le32(data + 14);
    const auto width = std::int32_t(le32(data + 18));
    const auto height = std::int32_t(le32(data + 22));
    if (headerSize < 40 || le16(data + 26) != 1 || le16(data + 28) != 24 || le32(data + 30) != 0 || width <= 0
        || height <= 0 || width > 4096 || height > 4096)
        return {};
    const qsizetype stride = (qsizetype(width) * 3 + 3) & ~qsizetype(3);
    if (offset > std::uint32_t(size) || qsizetype(offset) + stride * height > size)
        return {};
    // The rows lie bottom-up in blue, green, red order: seen as a top-down picture that is
    // BGR888 upside down.
    const QImage upsideDown(data + offset, width, height, stride, QImage::Format_BGR888);
    QImage image = upsideDown.convertToFormat(QImage::Format_RGB32);
    // Turned the right way up by swapping whole rows, which is quicker than QImage::mirror.
    std::vector<uchar> spare(size_t(image.bytesPerLine()));
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::memcpy(spare.data(), image.scanLine(top), spare.size());
        std::memcpy(image.scanLine(top), image.constScanLine(bottom), spare.size());
        std::memcpy(image.scanLine(bottom), spare.data(), spare.size());
    }
    return image;
}

// The program icon: one 32 x 32 image of 16 colours with its transparency mask.
QImage decodeIco4(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < 22 || le16(data) != 0 || le16(data + 2) != 1 || le16(data + 4) < 1)
        return {};
    const std::uint32_t offset = le32(data + 18);
    if (qsizetype(offset) + 40 > size)
        return {};
    const uchar* dib = data + offset;
    const auto width = std::int32_t(le32(dib + 4));
    const auto height = std::int32_t(le32(dib + 8)) / 2;
    if (le32(dib) != 40 || le16(dib + 14) != 4 || width != 32 || height != 32)
        return {};
    const uchar* palette = dib + 40;
    const uchar* pixels = palette + 16 * 4;
    const qsizetype xorStride = 16; // 32 pixels at 4 bits, already a multiple of 4 bytes
    const uchar* mask = pixels + xorStride * height;
    const qsizetype andStride = 4;
    if (mask + andStride * height > data + size)
        return {};
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        const int row = height - 1 - y;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const uchar pair = pixels[row * xorStride + x / 2];
            const uchar* c = palette + 4 * ((x % 2) ? (pair & 0x0F) : (pair >> 4));
            const bool transparent = mask[row * andStride + x / 8] & (0x80 >> (x % 8));
            dst[x] = transparent ? qRgba(0, 0, 0, 0) : qRgb(c[2], c[1], c[0]);
        }
    }
    return image;
}

} // namespace

namespace Assets {

void init()
{
    static const bool done = (initResources(), true);
    (void)done;
}

QImage bitmap(const QString& name)
{
    init();
    const QString path = QStringLiteral(":/art/") + name;
    QImage image = decodeBmp24(resourceBytes(path));
    // Anything else in the resources still loads; the format is named so Qt does not try every
    // image plugin it has on bytes without an extension.
    return image.isNull() ? QImage(path, "BMP") : image;
}

QImage icon()
{
    init();
    const QString path = QStringLiteral(":/art/A5");
    QImage image = decodeIco4(resourceBytes(path));
    return image.isNull() ? QImage(path, "ICO") : image;
}

} // namespace Assets

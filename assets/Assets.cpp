#include "assets/Assets.h"

#include <QGuiApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QResource>

#include <cstdint>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

static void initResources()
{
    Q_INIT_RESOURCE(assets);
}

// The drawings for larger scales, linked in as an rcc archive of their own (ScaledArtwork.S.in).
extern "C" const uchar kururin_scaled_artwork[];

// Registered only when a screen first asks for one of them: every resource lookup walks each
// registered tree, and at 1x nothing of theirs need be read.
static void initScaledResources()
{
    QResource::registerResource(kururin_scaled_artwork);
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

// The program icon: one square image of 16 colours with its transparency mask.
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
    if (le32(dib) != 40 || le16(dib + 14) != 4 || width != height || width <= 0 || width > 256)
        return {};
    const uchar* palette = dib + 40;
    const uchar* pixels = palette + 16 * 4;
    // Rows of both bitmaps are padded to 32 bits.
    const qsizetype xorStride = (qsizetype(width) * 4 + 31) / 32 * 4;
    const qsizetype andStride = (qsizetype(width) + 31) / 32 * 4;
    if (qsizetype(offset) + 40 + 16 * 4 + (xorStride + andStride) * height > size)
        return {};
    const uchar* mask = pixels + xorStride * height;
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

// An icon read from the artwork only for the scales it is shown at. The drawing for the scale
// asked last is kept: each icon belongs to one window.
class ArtworkIconEngine final : public QIconEngine {
public:
    using Drawing = std::function<QImage(qreal devicePixelRatio)>;

    explicit ArtworkIconEngine(Drawing drawing)
        : m_drawing(std::move(drawing))
    {
    }

    QIconEngine* clone() const override { return new ArtworkIconEngine(*this); }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        painter->drawPixmap(rect, scaledPixmap(rect.size() * ratio, mode, state, ratio));
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // size is in the screen's own pixels.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        QPixmap pixmap = drawingFor(scale);
        if (pixmap.isNull())
            return pixmap;
        if (pixmap.size() != size)
            pixmap = pixmap.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        pixmap.setDevicePixelRatio(scale);
        if (mode == QIcon::Normal || mode == QIcon::Active)
            return pixmap;
        // A greyed or selected look as the style would give any icon.
        QPixmap styled = QIcon(pixmap).pixmap(pixmap.size(), 1.0, mode, state);
        styled.setDevicePixelRatio(scale);
        return styled;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        return logicalSize().scaled(size, Qt::KeepAspectRatio).boundedTo(logicalSize());
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return { logicalSize() }; }

private:
    QPixmap drawingFor(qreal ratio)
    {
        if (m_pixmap.isNull() || m_ratio != ratio) {
            const QImage drawn = m_drawing(ratio);
            m_pixmap = QPixmap::fromImage(drawn);
            m_ratio = ratio;
            if (!drawn.isNull())
                m_logicalSize = (QSizeF(drawn.size()) / drawn.devicePixelRatio()).toSize();
        }
        return m_pixmap;
    }

    QSize logicalSize()
    {
        // Read at the scale the icon is most likely shown at, so that it is not read twice.
        if (m_logicalSize.isEmpty())
            drawingFor(qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
        return m_logicalSize;
    }

    Drawing m_drawing;
    QPixmap m_pixmap;
    qreal m_ratio { 0 };
    QSize m_logicalSize;
};

} // namespace

namespace Assets {

void init()
{
    static const bool done = (initResources(), true);
    (void)done;
}

qreal drawnScale(qreal devicePixelRatio)
{
    for (qreal scale : kScales) {
        if (devicePixelRatio <= scale)
            return scale;
    }
    return kScales.back();
}

QString scaledName(const QString& name, qreal scale)
{
    if (scale == 1.0)
        return name;
    static const bool registered = (initScaledResources(), true);
    (void)registered;
    return name + u'@' + QString::number(scale) + u'x';
}

QImage bitmap(const QString& name, qreal devicePixelRatio)
{
    init();
    const qreal scale = drawnScale(devicePixelRatio);
    const QString path = QStringLiteral(":/art/") + scaledName(name, scale);
    QImage image = decodeBmp24(resourceBytes(path));
    // Anything else in the resources still loads; the format is named so Qt does not try every
    // image plugin it has on bytes without an extension.
    if (image.isNull())
        image = QImage(path, "BMP");
    image.setDevicePixelRatio(scale);
    return image;
}

QImage icon(qreal devicePixelRatio)
{
    init();
    const qreal scale = drawnScale(devicePixelRatio);
    const QString path = QStringLiteral(":/art/") + scaledName(QStringLiteral("A5"), scale);
    QImage image = decodeIco4(resourceBytes(path));
    if (image.isNull())
        image = QImage(path, "ICO");
    image.setDevicePixelRatio(scale);
    return image;
}

Cursor handCursor(qreal devicePixelRatio)
{
    init();
    const qreal scale = drawnScale(devicePixelRatio);
    // The hot spot sits in the cursor file's directory entry.
    const QByteArray bytes = resourceBytes(QStringLiteral(":/art/") + scaledName(QStringLiteral("hand"), scale));
    QImage image = QImage::fromData(bytes, "CUR");
    if (bytes.size() < 22 || image.isNull())
        return {};
    const auto* d = reinterpret_cast<const uchar*>(bytes.constData());
    QPoint hotSpot(le16(d + 10), le16(d + 12));
    if (scale != devicePixelRatio) {
        const QSize fitted = (QSizeF(image.size()) / scale * devicePixelRatio).toSize();
        hotSpot = QPoint(hotSpot.x() * fitted.width() / image.width(), hotSpot.y() * fitted.height() / image.height());
        image = image.scaled(fitted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return { image, hotSpot };
}

QIcon bitmapIcon(const QString& name)
{
    return QIcon(new ArtworkIconEngine([name](qreal ratio) { return bitmap(name, ratio); }));
}

QIcon programIcon()
{
    return QIcon(new ArtworkIconEngine([](qreal ratio) { return icon(ratio); }));
}

} // namespace Assets

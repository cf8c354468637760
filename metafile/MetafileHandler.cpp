#include "metafile/MetafileHandler.h"

#include <QIODevice>
#include <QVariant>

namespace {

// Enough for the longest header to tell a metafile: an EMF's signature sits at byte 40.
constexpr qint64 kHeadBytes = 44;

QByteArray readAtMost(QIODevice* device, qint64 limit)
{
    QByteArray bytes;
    const qint64 stated = device->isSequential() ? 0 : device->size() - device->pos();
    if (stated > limit)
        return {};
    bytes.reserve(int(qMin(stated, limit)));
    char chunk[16 * 1024];
    while (bytes.size() <= limit) {
        const qint64 got = device->read(chunk, sizeof chunk);
        if (got <= 0)
            break;
        bytes.append(chunk, int(got));
    }
    return bytes.size() > limit ? QByteArray() : bytes;
}

} // namespace

MetafileHandler::MetafileHandler() = default;

bool MetafileHandler::canRead(QIODevice* device)
{
    return device && !Metafile::formatName(device->peek(kHeadBytes)).isEmpty();
}

bool MetafileHandler::canRead() const
{
    if (m_done || !canRead(device()))
        return false;
    setFormat(Metafile::formatName(device()->peek(kHeadBytes)));
    return true;
}

bool MetafileHandler::load() const
{
    if (m_loaded)
        return m_playable;
    m_loaded = true;
    if (!device() || !canRead(device()))
        return false;
    m_bytes = readAtMost(device(), Metafile::kMaxFileBytes);
    m_playable = Metafile::inspect(m_bytes, &m_size).ok();
    if (!m_playable)
        m_bytes.clear();
    return m_playable;
}

bool MetafileHandler::read(QImage* image)
{
    if (m_done || !load())
        return false;
    m_done = true;
    const auto allocate = [](QSize size, QImage* out) {
        return QImageIOHandler::allocateImage(size, QImage::Format_RGB32, out);
    };
    Result<Metafile::Rendering> rendering = Metafile::render(m_bytes, m_region, allocate);
    m_bytes.clear();
    if (!rendering.ok() || rendering.value().image.isNull())
        return false;
    *image = std::move(rendering.value().image);
    return true;
}

QVariant MetafileHandler::option(ImageOption option) const
{
    switch (option) {
    case Size:
        // A picture refused for its size still states it.
        load();
        return m_size.isValid() ? QVariant(m_size) : QVariant();
    case ImageFormat:
        return QImage::Format_RGB32;
    case ClipRect:
        return m_region.clipRect;
    case ScaledSize:
        return m_region.scaledSize;
    case ScaledClipRect:
        return m_region.scaledClipRect;
    default:
        return {};
    }
}

void MetafileHandler::setOption(ImageOption option, const QVariant& value)
{
    switch (option) {
    case ClipRect:
        m_region.clipRect = value.toRect();
        break;
    case ScaledSize:
        m_region.scaledSize = value.toSize();
        break;
    case ScaledClipRect:
        m_region.scaledClipRect = value.toRect();
        break;
    default:
        break;
    }
}

bool MetafileHandler::supportsOption(ImageOption option) const
{
    return option == Size || option == ImageFormat || option == ClipRect || option == ScaledSize
        || option == ScaledClipRect;
}

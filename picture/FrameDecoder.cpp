#include "picture/FrameDecoder.h"

#include "picture/PictureLoader.h"

#include <QImageReader>

std::chrono::milliseconds frameDelay(int delayMs)
{
    return std::chrono::milliseconds(delayMs < 20 ? 100 : delayMs);
}

FrameDecoder::FrameDecoder(std::shared_ptr<const Animation> animation, QSize fullSize)
    : m_animation(std::move(animation))
    , m_fullSize(fullSize)
{
    m_buffer.setData(m_animation->bytes);
}

FrameDecoder::~FrameDecoder() = default;

void FrameDecoder::restart()
{
    m_reader.reset();
}

std::optional<Frame> FrameDecoder::next()
{
    if (!m_reader) {
        m_buffer.close();
        m_buffer.open(QIODevice::ReadOnly);
        m_reader = std::make_unique<QImageReader>(&m_buffer, "gif");
        m_reader->setAutoTransform(false);
        m_reader->setAllocationLimit(PictureLoader::kAllocationLimitMiB);
    }
    QImage image;
    if (!m_reader->read(&image) || image.isNull())
        return std::nullopt;
    // The reader composes every frame onto a picture of the first one's size; anything else is
    // not a frame this picture can show.
    if (image.size() != m_fullSize || qint64(image.width()) * image.height() > PictureLoader::kMaxPixels)
        return std::nullopt;
    const std::chrono::milliseconds delay = frameDelay(m_reader->nextImageDelay());
    return Frame { PictureLoader::visiblePart(std::move(image), m_fullSize, m_animation->visibleSize), delay };
}

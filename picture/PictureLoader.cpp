#include "picture/PictureLoader.h"

#include "metafile/Metafile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QScreen>
#include <QtPlugin>

#include <cmath>
#include <memory>

// The metafile reader is linked in rather than found among Qt's plugins.
Q_IMPORT_PLUGIN(MetafilePlugin)

namespace PictureLoader {
namespace {

qreal primaryScreenRatio()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 1.0;
}

// A metafile is a drawing: it is drawn again for each screen scale it is shown at, rather than
// drawn once at 1x and stretched. Only the visible part is drawn, at that scale.
Result<Picture> loadMetafile(const QByteArray& bytes, const QByteArray& format, QSize visibleSize)
{
    QBuffer header;
    header.setData(bytes);
    header.open(QIODevice::ReadOnly);
    const QSize full = QImageReader(&header, format).size();
    if (!full.isValid())
        return Failure { Failure::Kind::NotAPicture, {} };
    if (qint64(full.width()) * full.height() > kMaxPixels)
        return Failure { Failure::Kind::TooLarge, {} };
    const QSize shown = visibleSize.isValid() ? full.boundedTo(visibleSize) : full;
    auto renditions = [bytes, format, full, shown](qreal ratio) -> QImage {
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, format);
        reader.setAllocationLimit(kAllocationLimitMiB);
        if (ratio != 1.0) {
            reader.setScaledSize((QSizeF(full) * ratio).toSize());
            if (shown != full)
                reader.setScaledClipRect(QRect(0, 0, int(std::ceil(shown.width() * ratio)), int(std::ceil(shown.height() * ratio))));
        } else if (shown != full) {
            reader.setClipRect(QRect(QPoint(0, 0), shown));
        }
        QImage image;
        if (!reader.read(&image))
            return {};
        image.setDevicePixelRatio(ratio);
        return image;
    };
    Picture picture(renditions, primaryScreenRatio(), full);
    if (picture.isEmpty())
        return Failure { Failure::Kind::NotAPicture, {} };
    return picture;
}

// The rest of an animated GIF whose first frame the reader has just read. A file too large to keep
// while it plays, or one that cannot be read again, stays a still picture.
std::shared_ptr<const Animation> animationOf(QFile& file, const QImageReader& reader, QSize visibleSize)
{
    if (file.size() > kMaxAnimationBytes || !file.seek(0))
        return nullptr;
    auto animation = std::make_shared<Animation>();
    animation->bytes = file.readAll();
    if (animation->bytes.size() != file.size())
        return nullptr;
    animation->visibleSize = visibleSize;
    animation->firstDelayMs = reader.nextImageDelay();
    animation->loopCount = reader.loopCount();
    return animation;
}

} // namespace

Result<Picture> load(const QString& fileName, QSize visibleSize)
{
    if (fileName.isEmpty())
        return Picture();

    const QFileInfo info(fileName);
    if (!info.exists())
        return Failure { Failure::Kind::NotFound, {} };
    if (info.isDir())
        return Failure { Failure::Kind::IsAFolder, {} };

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return Failure { Failure::Kind::Unreadable, {} };
    // A metafile is named outright: its header is weaker than other formats' signatures, and
    // naming it spares asking every installed image plugin.
    const QByteArray metafileFormat = Metafile::formatName(file.peek(64));
    if (!metafileFormat.isEmpty()) {
        if (file.size() > Metafile::kMaxFileBytes)
            return Failure { Failure::Kind::TooLarge, {} };
        const QByteArray bytes = file.readAll();
        if (bytes.size() != file.size())
            return Failure { Failure::Kind::Unreadable, {} };
        return loadMetafile(bytes, metafileFormat, visibleSize);
    }

    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    const QByteArray format = reader.format();
    static const QList<QByteArray> accepted { "bmp", "gif", "jpeg", "jpg", "png" };
    if (format.isEmpty() || !accepted.contains(format))
        return Failure { Failure::Kind::NotAPicture, {} };

    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxPixels)
        return Failure { Failure::Kind::TooLarge, {} };
    // Not every header states its size (a GIF's first frame may not): the reader's own limit
    // keeps a picture that claims nothing within the same bound.
    reader.setAllocationLimit(kAllocationLimitMiB);

    const bool clipInReader = visibleSize.isValid() && size.isValid() && reader.supportsOption(QImageIOHandler::ClipRect)
        && (size.width() > visibleSize.width() || size.height() > visibleSize.height());
    if (clipInReader)
        reader.setClipRect(QRect(QPoint(0, 0), size.boundedTo(visibleSize)));

    QImage image;
    if (!reader.read(&image) || image.isNull())
        return Failure { Failure::Kind::NotAPicture, {} };
    if (qint64(image.width()) * image.height() > kMaxPixels)
        return Failure { Failure::Kind::TooLarge, {} };
    // A header's size is only a claim; without one to trust, the decoded picture is the truth.
    const QSize full = clipInReader ? size : image.size();
    Picture picture = visiblePart(std::move(image), full, visibleSize);
    // Counting a GIF's frames walks the whole file, so files too large to animate are not asked.
    if (format == "gif" && file.size() <= kMaxAnimationBytes && reader.imageCount() > 1)
        picture.setAnimation(animationOf(file, reader, visibleSize));
    return picture;
}

Picture visiblePart(QImage image, QSize fullSize, QSize visibleSize)
{
    if (!visibleSize.isValid() || (fullSize.width() <= visibleSize.width() && fullSize.height() <= visibleSize.height()))
        return Picture(std::move(image));
    const QRect visible(QPoint(0, 0), fullSize.boundedTo(visibleSize));
    if (image.size() != visible.size())
        image = image.copy(visible);
    return Picture(std::move(image), fullSize);
}

} // namespace PictureLoader

#include "PictureLoader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace PictureLoader {

PictureLoad load(const QString& fileName, QSize visibleSize)
{
    if (fileName.isEmpty())
        return {};

    const QFileInfo info(fileName);
    if (!info.exists())
        return { {}, PictureError::NotFound };
    if (info.isDir())
        return { {}, PictureError::IsFolder };

    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return { {}, PictureError::NotReadable };

    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    const QByteArray format = reader.format();
    static const QList<QByteArray> accepted { "bmp", "gif", "jpeg", "jpg", "png" };
    if (format.isEmpty() || !accepted.contains(format))
        return { {}, PictureError::NotAPicture };

    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxPixels)
        return { {}, PictureError::TooLarge };
    reader.setAllocationLimit(int(kMaxPixels * 4 / (1024 * 1024)) + 1);

    const bool clipped = visibleSize.isValid() && size.isValid()
        && (size.width() > visibleSize.width() || size.height() > visibleSize.height());
    const QRect visible(QPoint(0, 0), size.boundedTo(visibleSize.isValid() ? visibleSize : size));
    if (clipped && reader.supportsOption(QImageIOHandler::ClipRect))
        reader.setClipRect(visible);

    QImage image;
    if (!reader.read(&image) || image.isNull())
        return { {}, PictureError::NotAPicture };
    if (!clipped)
        return { Picture(std::move(image)), PictureError::None };
    if (image.size() != visible.size())
        image = image.copy(visible);
    return { Picture(std::move(image), size), PictureError::None };
}

} // namespace PictureLoader

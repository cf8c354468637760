#include "PictureLoader.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace PictureLoader {

PictureLoad load(const QString& fileName)
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

    QImage image;
    if (!reader.read(&image) || image.isNull())
        return { {}, PictureError::NotAPicture };
    return { Picture(std::move(image)), PictureError::None };
}

} // namespace PictureLoader

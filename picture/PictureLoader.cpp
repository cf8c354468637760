#include "PictureLoader.h"

#include "metafile/Metafile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtPlugin>

// The metafile reader is linked in rather than found among Qt's plugins.
Q_IMPORT_PLUGIN(MetafilePlugin)

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
    // A metafile is named outright: its header is weaker than other formats' signatures, and
    // naming it spares asking every installed image plugin.
    const QByteArray metafileFormat = Metafile::formatName(file.peek(64));
    if (!metafileFormat.isEmpty()) {
        if (file.size() > Metafile::kMaxFileBytes)
            return { {}, PictureError::TooLarge };
        reader.setFormat(metafileFormat);
    } else {
        reader.setDecideFormatFromContent(true);
    }
    reader.setAutoTransform(false);
    const QByteArray format = reader.format();
    static const QList<QByteArray> accepted { "bmp", "gif", "jpeg", "jpg", "png", "wmf", "emf" };
    if (format.isEmpty() || !accepted.contains(format))
        return { {}, PictureError::NotAPicture };

    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMaxPixels)
        return { {}, PictureError::TooLarge };
    // Not every header states its size (a GIF's first frame may not): the reader's own limit
    // keeps a picture that claims nothing within the same bound.
    reader.setAllocationLimit(int(kMaxPixels * 4 / (1024 * 1024)));

    const bool clipInReader = visibleSize.isValid() && size.isValid() && reader.supportsOption(QImageIOHandler::ClipRect)
        && (size.width() > visibleSize.width() || size.height() > visibleSize.height());
    if (clipInReader)
        reader.setClipRect(QRect(QPoint(0, 0), size.boundedTo(visibleSize)));

    QImage image;
    if (!reader.read(&image) || image.isNull())
        return { {}, PictureError::NotAPicture };
    if (qint64(image.width()) * image.height() > kMaxPixels)
        return { {}, PictureError::TooLarge };
    // A header's size is only a claim; without one to trust, the decoded picture is the truth.
    const QSize full = clipInReader ? size : image.size();
    if (!visibleSize.isValid() || (full.width() <= visibleSize.width() && full.height() <= visibleSize.height()))
        return { Picture(std::move(image)), PictureError::None };
    const QRect visible(QPoint(0, 0), full.boundedTo(visibleSize));
    if (image.size() != visible.size())
        image = image.copy(visible);
    return { Picture(std::move(image), full), PictureError::None };
}

} // namespace PictureLoader

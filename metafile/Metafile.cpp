#include "metafile/Metafile.h"

#include "metafile/MetafileCanvas.h"
#include "metafile/MetafilePlayers.h"

#include <QPainter>

namespace Metafile {
namespace {

using metafile::Bytes;
using metafile::Layout;

Layout scan(QByteArrayView file)
{
    const Bytes bytes(file);
    Layout layout = metafile::scanEmf(bytes);
    if (layout.format == Format::None)
        layout = metafile::scanWmf(bytes);
    return layout;
}

// The EMF's frame, in its reference device's pixels, fills a picture of the given size.
void playEmfAt(const Layout& layout, QSize size, QPainter& painter)
{
    const QTransform deviceToPicture = QTransform::fromTranslate(-layout.frame.left(), -layout.frame.top())
        * QTransform::fromScale(size.width() / layout.frame.width(), size.height() / layout.frame.height());
    metafile::MetafileCanvas canvas(painter, size, deviceToPicture, layout.pixelsPerMm);
    metafile::playEmf(layout, canvas);
}

void playLayout(const Layout& layout, QPainter& painter)
{
    if (layout.format == Format::Emf) {
        playEmfAt(layout, layout.size, painter);
    } else if (layout.embedded) {
        playEmfAt(layout.embedded->layout, layout.size, painter);
    } else {
        // A WMF's device is the picture itself, at 96 dots per inch.
        metafile::MetafileCanvas canvas(painter, layout.size, QTransform(), QSizeF(96 / 25.4, 96 / 25.4));
        metafile::playWmf(layout, canvas);
    }
}

} // namespace

Failure failureOf(Problem problem)
{
    switch (problem) {
    case Problem::NotAMetafile: return { Failure::Kind::NotAPicture, {} };
    case Problem::Malformed: return { Failure::Kind::Malformed, {} };
    case Problem::TooLarge:
    case Problem::None: break;
    }
    return { Failure::Kind::TooLarge, {} };
}

bool looksLikeMetafile(QByteArrayView head)
{
    const Bytes b(head);
    if (b.has(0, 22) && b.u32(0) == 0x9AC6CDD7)
        return true;
    if (b.has(0, 44) && b.u32(0) == 1 && b.u32(40) == 0x464D4520)
        return true;
    const quint16 type = b.u16(0);
    const quint16 version = b.u16(4);
    return b.has(0, 18) && (type == 1 || type == 2) && b.u16(2) == 9 && (version == 0x0100 || version == 0x0300);
}

QByteArray formatName(QByteArrayView head)
{
    if (!looksLikeMetafile(head))
        return {};
    const Bytes b(head);
    return b.has(0, 44) && b.u32(40) == 0x464D4520 ? QByteArrayLiteral("emf") : QByteArrayLiteral("wmf");
}

Result<Header> inspect(QByteArrayView file, QSize* statedSize)
{
    const Layout layout = scan(file);
    if (statedSize)
        *statedSize = layout.size;
    if (layout.problem != Problem::None)
        return failureOf(layout.problem);
    return Header { layout.format, layout.size };
}

Result<void> play(QByteArrayView file, QPainter& painter)
{
    const Layout layout = scan(file);
    if (layout.problem != Problem::None)
        return failureOf(layout.problem);
    playLayout(layout, painter);
    return {};
}

QSize outputSize(QSize pictureSize, const Region& region)
{
    QRect source(QPoint(0, 0), pictureSize);
    if (region.clipRect.isValid())
        source &= region.clipRect;
    if (source.isEmpty())
        return {};
    QSize size = region.scaledSize.isValid() ? region.scaledSize : source.size();
    if (region.scaledClipRect.isValid())
        size = (QRect(QPoint(0, 0), size) & region.scaledClipRect).size();
    return size.isEmpty() ? QSize() : size;
}

Result<Rendering> render(QByteArrayView file, const Region& region, Allocate allocate)
{
    const Layout layout = scan(file);
    if (layout.problem != Problem::None)
        return failureOf(layout.problem);

    QRect source(QPoint(0, 0), layout.size);
    if (region.clipRect.isValid())
        source &= region.clipRect;
    const QSize scaled = region.scaledSize.isValid() ? region.scaledSize : source.size();
    QRect kept(QPoint(0, 0), scaled);
    if (region.scaledClipRect.isValid())
        kept &= region.scaledClipRect;
    if (source.isEmpty() || kept.isEmpty())
        return failureOf(Problem::TooLarge);

    QImage image;
    if (allocate) {
        if (!allocate(kept.size(), &image))
            return failureOf(Problem::TooLarge);
    } else {
        image = QImage(kept.size(), QImage::Format_RGB32);
    }
    if (image.isNull())
        return failureOf(Problem::TooLarge);
    // White, as the picture would show on the desktop it was drawn for; it also gives the
    // raster operations that masked bitmaps use (AND, then OR or XOR) a destination to work on.
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        // The picture's own pixels onto the image: the clipped part stretched to the scaled size,
        // moved so that the kept part lands at the image's origin.
        QTransform toImage = QTransform::fromTranslate(-source.left(), -source.top());
        toImage *= QTransform::fromScale(double(scaled.width()) / source.width(), double(scaled.height()) / source.height());
        toImage *= QTransform::fromTranslate(-kept.left(), -kept.top());
        painter.setTransform(toImage);
        playLayout(layout, painter);
    }
    return Rendering { std::move(image), layout.size };
}

Result<Rendering> render(QByteArrayView file, QSize visibleSize)
{
    Region region;
    if (visibleSize.isValid() && !visibleSize.isEmpty())
        region.clipRect = QRect(QPoint(0, 0), visibleSize);
    return render(file, region);
}

} // namespace Metafile

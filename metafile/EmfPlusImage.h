#pragma once

#include "metafile/GdiPlus.h"
#include "metafile/MetafileBytes.h"

#include <QImage>

#include <functional>
#include <optional>

namespace metafile::emfplus {

// Asked before a picture of so many pixels is decoded: whether decoding it may be afforded.
using AffordPixels = std::function<bool(qint64 pixels)>;

// The fixed fields of an image object holding a bitmap.
struct BitmapHeader {
    static constexpr qint64 kSize = 28;
    gdiplus::ImageType imageType = gdiplus::ImageType::Unknown;
    qint32 width = 0;
    qint32 height = 0;
    qint32 stride = 0;
    quint32 pixelFormat = 0;
    gdiplus::BitmapType bitmapType = gdiplus::BitmapType::Pixel;
    Bytes data; // the palette and pixels, or a whole PNG, JPEG, GIF or BMP file

    // Only the object's version and type when it holds no bitmap.
    static std::optional<BitmapHeader> read(Bytes object);
};

// An image object's bitmap; nullopt for a metafile, a malformed bitmap or one not afforded.
std::optional<QImage> image(Bytes object, const AffordPixels& afford);

// The EMF an image object holds, with or without GDI+ records; nullopt for anything else.
std::optional<Bytes> embeddedEmf(Bytes object);

// The file format of a compressed bitmap ("png", "jpeg", "gif", "bmp"), told by its first bytes;
// empty for anything else.
QByteArray compressedFormat(Bytes d);

} // namespace metafile::emfplus

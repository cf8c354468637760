#pragma once

#include "metafile/MetafileBytes.h"

#include <QImage>
#include <QList>

namespace metafile {

// A run-length bitmap can claim any size in a few bytes, so sizes are bounded before anything is
// allocated: 16 megapixels is 64 MB decoded, far beyond any bitmap clip art carries.
inline constexpr qint64 kMaxDibPixels = 16LL * 1024 * 1024;
inline constexpr int kMaxDibSide = 32767;

struct Dib {
    QImage image;          // top row first, whatever the order in the file
    bool bottomUp = true;  // rows were stored bottom row first (the usual order)

    bool isNull() const { return image.isNull(); }
};

// How a bitmap's colour table is to be read: RGB quads, or indexes into the logical palette.
enum DibUsage : quint32 { DibRgbColours = 0, DibPaletteColours = 1 };

// info: the BITMAPINFOHEADER (or BITMAPCOREHEADER) with its masks and colour table; bits: the
// pixels. With keepAlpha, 32-bit pixels keep their fourth byte as premultiplied alpha (what
// AlphaBlend reads); otherwise it is ignored, as every other GDI call does. A null Dib when the
// bitmap is malformed, of a kind not read here, or too large.
Dib decodeDib(Bytes info, Bytes bits, quint32 usage, const QList<QRgb>& palette, bool keepAlpha = false);

// A bitmap whose pixels follow its header and colour table in the same block, as WMF records
// carry them.
Dib decodePackedDib(Bytes dib, quint32 usage, const QList<QRgb>& palette);

// A device-dependent bitmap as 16-bit Windows stored it in BitBlt and StretchBlt records: a
// small header, then rows top first, each padded to a whole word. Monochrome pixels take the
// colours the destination gives them (a 0 bit the text colour, a 1 bit the background colour);
// 24- and 32-bit pixels are blue, green, red. A null image when malformed, of another depth, or
// too large.
QImage decodeBitmap16(Bytes bitmap, QRgb zeroColour, QRgb oneColour);

// Writers that cannot store alpha in a bitmap draw a see-through one as two: a grey mask ORed
// onto the destination (SRCPAINT), then the picture ANDed onto it (SRCAND). White in the mask
// shows the picture; black leaves the destination, where the picture is white. The greys between
// are meant as partial cover, which the two bitwise operations turn into colour bands, so the
// pair is read as what it stands for: the picture with the mask as its alpha. Null unless the
// mask is grey and as large as the picture.
QImage pictureUnderMask(const QImage& picture, const QImage& mask);

} // namespace metafile

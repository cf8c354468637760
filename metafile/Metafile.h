#pragma once

#include "result/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QRect>
#include <QSize>

class QPainter;

// Windows metafiles, WMF (placeable or not) and EMF, played onto a Qt painter by our own player:
// nothing on Debian renders them. Sizes are taken at 96 dots per inch: a placeable WMF's bounding
// box over its units per inch, a plain WMF's window extent, an EMF's frame.
namespace Metafile {

enum class Format { None, Wmf, PlaceableWmf, Emf };

// What the players find wrong with a file. Outside this folder it travels as a Failure: other
// bytes altogether are NotAPicture, broken or truncated records Malformed, a picture size beyond
// kMaxSide or more pixels asked for than may be allocated TooLarge.
enum class Problem {
    None,
    NotAMetafile,
    Malformed,
    TooLarge,
};

// The failure a problem is reported as; None is no failure and must not be passed.
Failure failureOf(Problem problem);

// The largest side a metafile picture may state. A vector picture's own size costs nothing until
// it is drawn, and a poster is read at a smaller size, so this only keeps sizes sane; what may be
// allocated is the reader's business.
inline constexpr int kMaxSide = 1 << 17;
// Files beyond this are refused before they are read. Clip art is kilobytes, but clip art with
// soft shadows saved by an office suite carries them as bitmaps, and its WMF carries the whole
// EMF once more: such files reach 50 MB.
inline constexpr qint64 kMaxFileBytes = 64LL * 1024 * 1024;

// Whether bytes begin like a metafile; the first 44 bytes are enough to tell.
bool looksLikeMetafile(QByteArrayView head);

// The image format name the first 44 bytes begin ("emf" or "wmf"); empty for anything else.
QByteArray formatName(QByteArrayView head);

struct Header {
    Format format = Format::None;
    QSize size; // pixels at 96 dpi
};

// Reads the header and walks the record chain without drawing: a file whose records run past
// its end is refused here, before anything is drawn. statedSize, when given, receives the size
// the file states even when it is refused (for that size, say); invalid when it states none.
Result<Header> inspect(QByteArrayView file, QSize* statedSize = nullptr);

// Draws the picture at its own size with its top-left corner at the painter's origin (the
// painter's transform applies on top). Nothing is drawn when inspect() refuses it.
Result<void> play(QByteArrayView file, QPainter& painter);

struct Rendering {
    QImage image; // the picture on white, or only its top-left part when a visible size was given
    QSize size;   // the picture's own size
};

// What part of the picture to draw, and how large, with the meanings QImageReader gives them:
// clipRect is in the picture's own pixels, the clipped part is drawn at scaledSize, and of that
// only scaledClipRect is kept. Only the final image is allocated.
struct Region {
    QRect clipRect;
    QSize scaledSize;
    QRect scaledClipRect;
};

// The size of the image render() makes for a region of a picture of the given size; empty when
// the region asks for nothing that exists.
QSize outputSize(QSize pictureSize, const Region& region);

// Allocator for the image; returns false to refuse a size (the reader's allocation limit).
using Allocate = bool (*)(QSize size, QImage* image);

Result<Rendering> render(QByteArrayView file, const Region& region, Allocate allocate = nullptr);

// With a valid visibleSize, only that much of the top-left corner is rendered (and allocated).
Result<Rendering> render(QByteArrayView file, QSize visibleSize = {});

} // namespace Metafile

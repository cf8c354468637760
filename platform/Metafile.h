#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QSize>

class QPainter;

// Windows metafiles, WMF (placeable or not) and EMF, played onto a Qt painter by our own player:
// nothing on Debian renders them. Sizes are taken at 96 dots per inch: a placeable WMF's bounding
// box over its units per inch, a plain WMF's window extent, an EMF's frame.
namespace Metafile {

enum class Format { None, Wmf, PlaceableWmf, Emf };

enum class Problem {
    None,
    NotAMetafile, // other bytes altogether
    Malformed,    // a metafile's header, but broken or truncated records
    TooLarge,     // a picture size beyond kMaxSide
};

// The largest side a metafile picture may have; 8192 x 8192 is also the loader's pixel limit.
inline constexpr int kMaxSide = 8192;
// Files beyond this are refused before they are read: clip art is kilobytes, a few megabytes at
// most.
inline constexpr qint64 kMaxFileBytes = 32LL * 1024 * 1024;

// Whether bytes begin like a metafile; the first 44 bytes are enough to tell.
bool looksLikeMetafile(QByteArrayView head);

struct Header {
    Format format = Format::None;
    QSize size; // pixels at 96 dpi
    Problem problem = Problem::NotAMetafile;

    bool ok() const { return problem == Problem::None; }
};

// Reads the header and walks the record chain without drawing: a file whose records run past
// its end is refused here, before anything is drawn.
Header inspect(QByteArrayView file);

// Draws the picture at its own size with its top-left corner at the painter's origin (the
// painter's transform applies on top). False, with nothing drawn, when inspect() refuses it.
bool play(QByteArrayView file, QPainter& painter);

struct Rendering {
    QImage image; // the picture on white, or only its top-left part when a visible size was given
    QSize size;   // the picture's own size
    Problem problem = Problem::NotAMetafile;

    bool ok() const { return problem == Problem::None; }
};

// With a valid visibleSize, only that much of the top-left corner is rendered (and allocated).
Rendering render(QByteArrayView file, QSize visibleSize = {});

} // namespace Metafile

#pragma once

#include "picture/Picture.h"
#include "result/Result.h"

#include <QString>

// Loads BMP, GIF and JPEG pictures (PNG as well, since Qt reads it anyway) and Windows metafiles,
// all through QImageReader, judged by content rather than by extension, and refuses pictures
// whose size would be absurd before decoding.
namespace PictureLoader {

// Pictures claiming more pixels than this are refused from their header alone.
inline constexpr qint64 kMaxPixels = 64LL * 1024 * 1024;
// What a reader may allocate for one picture, or for one frame of an animated one.
inline constexpr int kAllocationLimitMiB = int(kMaxPixels * 4 / (1024 * 1024));
// An animated GIF larger than this shows its first frame only: its bytes are kept while it plays.
inline constexpr qint64 kMaxAnimationBytes = 32LL * 1024 * 1024;

// With a visible size, only the picture's top-left part of that size is decoded where the format
// allows it (a JPEG photo shown on the small sign box); the picture keeps its full size.
// An animated GIF gives its first frame, and the picture carries what its later frames are
// decoded from. A failure says what kind of file stood in the way; nothing describes it, as the
// program never tells the user why a picture did not load.
Result<Picture> load(const QString& fileName, QSize visibleSize = {});

// A decoded picture of the given full size as load() hands it out: whole when it fits the
// visible size, otherwise only its visible top-left part, remembering the full size. The image
// may already be cut to that part.
Picture visiblePart(QImage image, QSize fullSize, QSize visibleSize);

} // namespace PictureLoader

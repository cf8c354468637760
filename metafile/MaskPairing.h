#pragma once

#include "metafile/Gdi.h"

#include <QImage>
#include <QRectF>

#include <optional>

namespace metafile {

class MetafileCanvas;

// Bitmaps drawn with their raster operations, but for one pair: a grey mask ORed in (SRCPAINT)
// and, in the very next record, a picture ANDed over the same place (SRCAND). Writers that cannot
// store alpha draw a see-through bitmap that way, and the pair is drawn as the see-through picture
// it stands for (pictureUnderMask). A player hands every such bitmap record to blit() and calls
// release() before any other record, so a mask nothing pairs with is drawn as what it is.
class MaskPairing {
public:
    explicit MaskPairing(MetafileCanvas& canvas)
        : m_canvas(canvas)
    {
    }

    void blit(const QRectF& dest, const QImage& image, const QRectF& source, gdi::RasterOp rop);
    void release();

private:
    struct Held {
        QRectF dest;
        QRectF source;
        QImage mask;
    };
    MetafileCanvas& m_canvas;
    std::optional<Held> m_held;
};

} // namespace metafile

#include "metafile/MaskPairing.h"

#include "metafile/MetafileCanvas.h"
#include "metafile/MetafileDib.h"

namespace metafile {

void MaskPairing::blit(const QRectF& dest, const QImage& image, const QRectF& source, gdi::RasterOp rop)
{
    if (m_held && rop == gdi::RasterOp::SrcAnd && dest == m_held->dest && source == m_held->source) {
        if (const QImage seeThrough = pictureUnderMask(image, m_held->mask); !seeThrough.isNull()) {
            m_held.reset();
            m_canvas.stretchBlt(dest, seeThrough, source, gdi::RasterOp::SrcCopy);
            return;
        }
    }
    release();
    if (rop == gdi::RasterOp::SrcPaint && !image.isNull() && image.allGray())
        m_held = Held { dest, source, image };
    else
        m_canvas.stretchBlt(dest, image, source, rop);
}

void MaskPairing::release()
{
    if (m_held)
        m_canvas.stretchBlt(m_held->dest, m_held->mask, m_held->source, gdi::RasterOp::SrcPaint);
    m_held.reset();
}

} // namespace metafile

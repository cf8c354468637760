#pragma once

#include <QImage>
#include <QSize>

// Stretches one picture to a size that changes often but mostly in width, as a door leaf's does
// while it folds. The first size is a plain smooth scale. Once the size changes, the picture is
// fitted to the height once, and each new width is then a single pass along the rows: shrinking
// averages the pixels each new one covers, enlarging interpolates between neighbours. Both keep
// the edges and colours of a smooth scale, at a fraction of its cost.
class Stretcher {
public:
    // The source stretched to size (device pixels), marked to show at devicePixelRatio. The
    // result is kept for the next call: asked the same again, it costs nothing.
    const QImage& stretch(const QImage& source, QSize size, qreal devicePixelRatio);
    // Lets go of the pixels kept.
    void reset();

private:
    qint64 m_sourceKey { 0 };
    QImage m_fitted; // the source at the height last asked, in a four-byte format
    QImage m_result;
};

// One horizontal pass: every row of source (32 bits a pixel) resampled to width.
QImage stretchRows(const QImage& source, int width);

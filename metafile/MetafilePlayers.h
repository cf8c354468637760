#pragma once

#include "metafile/Metafile.h"
#include "metafile/MetafileBytes.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include <memory>
#include <optional>

namespace metafile {

class MetafileCanvas;
struct EmbeddedEmf;

// What the header and a walk over the record chain found.
struct Layout {
    Metafile::Format format = Metafile::Format::None;
    Metafile::Problem problem = Metafile::Problem::NotAMetafile;
    QSize size;
    Bytes records; // from the first record after the header(s) to the end of the last

    // WMF: the logical window that fills the picture, and the object table's size. A plain file
    // that sets no window is played as it comes, its drawing moved to the picture's top left.
    QPointF windowOrg;
    QSizeF windowExt;
    std::optional<QPointF> drawingOrigin;
    int objectCount = 0;
    // The EMF the file carries, complete and sound: the picture is drawn from it, at the WMF's
    // size, instead of from the WMF's records.
    std::shared_ptr<const EmbeddedEmf> embedded;

    // EMF: reference device pixels per millimetre, the frame in those pixels, the handle count.
    QSizeF pixelsPerMm;
    QRectF frame;
    int handles = 0;
};

// The layout's records point into the bytes, which is why the two are kept together.
struct EmbeddedEmf {
    QByteArray bytes;
    Layout layout;
};

Layout scanWmf(Bytes file);
Layout scanEmf(Bytes file);

void playWmf(const Layout& layout, MetafileCanvas& canvas);
void playEmf(const Layout& layout, MetafileCanvas& canvas);

} // namespace metafile

#pragma once

#include "metafile/Metafile.h"

#include <QByteArray>
#include <QImageIOHandler>

// Reads Windows metafiles (WMF, placeable or not, and EMF) for QImageReader. A metafile is a
// vector picture, so ScaledSize draws it at that size rather than stretching pixels, and
// ClipRect draws and allocates only that part.
class MetafileHandler : public QImageIOHandler {
public:
    MetafileHandler();

    // Whether the device's next bytes begin a metafile; the device is left where it was.
    static bool canRead(QIODevice* device);

    bool canRead() const override;
    bool read(QImage* image) override;
    QVariant option(ImageOption option) const override;
    void setOption(ImageOption option, const QVariant& value) override;
    bool supportsOption(ImageOption option) const override;

private:
    // Reads the whole file once, and its header; false when it is no metafile we can play.
    bool load() const;

    mutable bool m_loaded { false };
    mutable QByteArray m_bytes;
    mutable bool m_playable { false };
    // What the file states, even when it is refused for that size.
    mutable QSize m_size;
    Metafile::Region m_region;
    bool m_done { false };
};

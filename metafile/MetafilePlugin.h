#pragma once

#include <QImageIOPlugin>

// Makes WMF and EMF readable by every QImageReader: linked into the program, and also built as
// a plugin that other Qt programs find in Qt's imageformats folder.
class MetafilePlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "metafile.json")

public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
    QImageIOHandler* create(QIODevice* device, const QByteArray& format = QByteArray()) const override;
};

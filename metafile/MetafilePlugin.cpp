#include "metafile/MetafilePlugin.h"

#include "metafile/MetafileHandler.h"

QImageIOPlugin::Capabilities MetafilePlugin::capabilities(QIODevice* device, const QByteArray& format) const
{
    if (format == "wmf" || format == "emf")
        return CanRead;
    // Told apart by content, whatever the file is called.
    if (format.isEmpty() && device && device->isOpen() && MetafileHandler::canRead(device))
        return CanRead;
    return {};
}

QImageIOHandler* MetafilePlugin::create(QIODevice* device, const QByteArray& format) const
{
    auto* handler = new MetafileHandler;
    handler->setDevice(device);
    handler->setFormat(format.isEmpty() ? QByteArrayLiteral("wmf") : format);
    return handler;
}

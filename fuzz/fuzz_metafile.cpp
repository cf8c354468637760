// Any bytes as a metafile read through QImageReader, whole, scaled and clipped: the player must
// not crash, hang or run away with memory, whatever the header and records claim, and every
// picture it reads must come out at the size the reader was asked for. The same bytes go through
// metafile_dump's printer, which reads every record whether or not a picture comes of it.
#include "metafile/Metafile.h"
#include "tools/MetafileDump.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QtPlugin>

#include <cstdlib>
#include <ostream>

Q_IMPORT_PLUGIN(MetafilePlugin)

// fontconfig keeps the patterns Qt looks up for fallback fonts for the life of the process; the
// leak check at exit would otherwise end every run on them.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Fonts and painting need a GUI application; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    // Small enough that a header claiming a poster is refused quickly rather than painted.
    QImageReader::setAllocationLimit(16);
    return 0;
}

// Takes every character, so that the printer formats all it would print.
class Discard : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    Discard discard;
    std::ostream nowhere(&discard);
    metafile::dumpMetafile(file, nowhere);
    const Metafile::Region regions[] = {
        {},
        { QRect(), QSize(64, 40), QRect() },
        { QRect(0, 0, 50, 30), QSize(), QRect() },
        { QRect(10, 5, 200, 100), QSize(37, 23), QRect(2, 2, 20, 20) },
    };
    for (const Metafile::Region& region : regions) {
        QBuffer buffer;
        buffer.setData(file);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        if (region.clipRect.isValid())
            reader.setClipRect(region.clipRect);
        if (region.scaledSize.isValid())
            reader.setScaledSize(region.scaledSize);
        if (region.scaledClipRect.isValid())
            reader.setScaledClipRect(region.scaledClipRect);
        const bool recognised = reader.canRead() && (reader.format() == "wmf" || reader.format() == "emf");
        if (!recognised)
            continue;
        // The size the reader states is the one it draws to. (Measured afresh in another reader,
        // a picture sized by its drawn text may differ when the system's fonts change meanwhile.)
        const QSize stated = reader.size();
        QImage image;
        if (!reader.read(&image))
            continue;
        if (!stated.isValid() || image.size() != Metafile::outputSize(stated, region))
            std::abort();
    }
    return 0;
}

// Any bytes as a picture file: the metafile player must not crash, hang or run away with
// memory, whatever the header and records claim, and must agree with its own header check.
#include "Metafile.h"

#include <QGuiApplication>
#include <QImage>

#include <cstdlib>

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
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView file(data, qsizetype(size));
    const Metafile::Header header = Metafile::inspect(file);
    // The top-left corner, as the loader renders it for the sign box, large enough that most
    // inputs are drawn whole.
    const QSize visible(256, 256);
    const Metafile::Rendering rendering = Metafile::render(file, visible);
    if (rendering.problem != header.problem)
        std::abort();
    if (rendering.ok() && rendering.image.size() != header.size.boundedTo(visible))
        std::abort();
    return 0;
}

// Any bytes as a picture file: the loader in front of Qt's BMP, GIF and JPEG readers must refuse
// what it cannot show without crashing, hanging, or allocating beyond its size limit. An animated
// GIF is then read on frame by frame, as the sign plays it: every frame the picture's size and
// cut as its first, none shown for less than 20 ms.
#include "picture/FrameDecoder.h"
#include "picture/PictureLoader.h"

#include <QGuiApplication>

#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

// A metafile with text makes Qt look up fallback fonts, and fontconfig keeps those patterns for
// the life of the process: a leak report at exit that is not ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\n";
}

namespace {
int g_fd = -1;
QString g_path;

// Two passes through the frames, as a looping sign makes them, a bounded number of frames in all.
void readFrames(const Picture& picture)
{
    FrameDecoder decoder(picture.animation(), picture.size());
    int frames = 0;
    for (int pass = 0; pass < 2; ++pass) {
        while (std::optional<Frame> frame = decoder.next()) {
            if (frame->picture.size() != picture.size() || frame->picture.image().size() != picture.image().size())
                std::abort();
            if (frame->delay < std::chrono::milliseconds(20))
                std::abort();
            if (++frames > 2000)
                return;
        }
        decoder.restart();
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(*argc, *argv);
    g_fd = memfd_create("picture", 0);
    g_path = QStringLiteral("/proc/self/fd/%1").arg(g_fd);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (ftruncate(g_fd, 0) != 0 || pwrite(g_fd, data, size, 0) != ssize_t(size))
        return 0;
    for (const QSize visible : { QSize(), QSize(50, 30) }) {
        const Result<Picture> load = PictureLoader::load(g_path, visible);
        if (!load.ok())
            continue;
        const QSize full = load.value().size();
        if (qint64(full.width()) * full.height() > PictureLoader::kMaxPixels)
            std::abort();
        if (visible.isValid() && (load.value().image().width() > visible.width() || load.value().image().height() > visible.height()))
            std::abort();
        if (load.value().isAnimated())
            readFrames(load.value());
    }
    return 0;
}

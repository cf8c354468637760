// Holding the down arrow on a folder of 50,000 signs: ten seconds of steps, the program's
// resident memory sampled every second. The memory must stay flat (no growth with steps).
//
//   flood_bench   (QT_QPA_PLATFORM=offscreen is enough)
#include "bench/ResidentMemory.h"
#include "platform/DesktopPlatform.h"
#include "sign/DestinationSign.h"
#include "sign/FileList.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <chrono>
#include <utility>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    QImage sign(52, 32, QImage::Format_RGB32);
    sign.fill(Qt::darkGreen);
    const QString first = dir.path() + "/00000.bmp";
    sign.save(first);
    for (int i = 1; i < 50000; ++i)
        QFile::link(first, dir.path() + QStringLiteral("/%1.bmp").arg(i, 5, 10, QChar('0')));

    DesktopPlatform platform;
    FileList list(platform);
    list.setPattern(QStringLiteral("*.bmp;*.wmf;*.emf;*.gif;*.jpg;*.jpeg"));
    // The sign box: keeps the picture it is shown.
    struct SignBox final : SignFace {
        void showPicture(Picture shown) override { picture = std::move(shown); }
        Picture picture;
    } box;
    DestinationSign destination(platform, list, box, QSize(50, 30));
    destination.setFolderPath(dir.path());
    (void)destination.pointListAtFolder();
    std::printf("signs in the folder: %d\n", list.ListCount());

    using Clock = std::chrono::steady_clock;
    const long before = rssKiB();
    long peak = before;
    long steps = 0;
    const auto start = Clock::now();
    std::printf("second  steps     rss_kib\n");
    bool goingDown = true;
    for (int second = 1; second <= 10; ++second) {
        while (Clock::now() - start < std::chrono::seconds(second)) {
            // The key held down repeats; at either end of what the arrows can reach (the 16-bit
            // count stops loads past 32,767) the walk turns round, so every press loads a sign.
            if (goingDown && destination.index() >= 32767)
                goingDown = false;
            else if (!goingDown && destination.index() == 0)
                goingDown = true;
            destination.keyDown(goingDown ? VbKey::Down : VbKey::Up);
            ++steps;
        }
        const long rss = rssKiB();
        peak = std::max(peak, rss);
        std::printf("%6d  %8ld  %8ld\n", second, steps, rss);
    }
    std::printf("rss before %ld KiB, peak %ld KiB, growth over the flood %ld KiB\n", before, peak, peak - before);
    return 0;
}

// Animated signs: what an LED sign that alternates its pages costs while it plays, and the memory
// of a long animation.
//
//   animation_bench cpu [SECONDS]       a two-page sign, each page two seconds, on a shown sign
//                                       box for SECONDS (20), beside a still sign as the baseline;
//                                       process CPU time from getrusage
//   animation_bench memory [FRAMES]     a 50-frame animation at 25 frames a second played for
//                                       FRAMES frames (15,000: ten minutes) on a clock of its own,
//                                       each frame shown and painted as soon as it is decoded;
//                                       resident memory sampled every 1,000 frames
//   animation_bench memory-live [SECONDS]  the same in real time, through the timer (600)
//   animation_bench huge [SECONDS]      a signboard of 3000 x 2000 frames that ask for a tenth of a
//                                       second each: the event thread's share and how late a 10 ms
//                                       timer (a key press) gets handled, over SECONDS (10)
//   animation_bench step [STEPS]        a step onto an animated 50-frame LED sign against one onto
//                                       its first frame alone, each loaded, shown, set playing and
//                                       painted on the sign box; the mean of STEPS steps (1,000)
//
//   QT_QPA_PLATFORM=offscreen is enough; under X it paints through the server as the bus does.
#include "bench/ResidentMemory.h"
#include "elements/ImageElement.h"
#include "elements/PictureAnimator.h"
#include "elements/PictureBox.h"
#include "picture/FrameDecoder.h"
#include "picture/FramePlayer.h"
#include "tests/support/GifWriter.h"
#include "picture/PictureLoader.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString writeGif(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// A page of an LED sign: a route box and a line of lit dots whose place tells the page.
QImage ledPage(int page, QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(8, 8, 8));
    QPainter p(&image);
    p.fillRect(QRect(1, 5, 17, 22), QColor(255, 160, 0));
    p.fillRect(QRect(20 + (page * 7) % (size.width() - 24), 8 + page % 3 * 6, 4, 12), QColor(255, 160, 0));
    return image;
}

QByteArray animation(int frames, QSize size, int delayCs)
{
    QList<QImage> images;
    for (int i = 0; i < frames; ++i)
        images << ledPage(i, size);
    return GifWriter::animation(images, delayCs, 0);
}

// The sign box of the bus: a picture box holding an image the size of each picture.
struct SignBox {
    QWidget window;
    PictureBox* box { new PictureBox(&window, { 0, 0, 1590, 510 }) };
    ImageElement& image { box->addImage({ 0, 0, 1560, 480 }, false) };
    SignBox()
    {
        window.resize(140, 60);
        window.show();
        // Painting counts only once the window is on the screen.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!(window.windowHandle() && window.windowHandle()->isExposed()) && std::chrono::steady_clock::now() < deadline)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
};

double cpuPercentOver(const QString& path, int seconds, int* framesShown)
{
    SignBox sign;
    const Result<Picture> load = PictureLoader::load(path, { 104, 32 });
    sign.image.setPicture(load.value());
    int frames = 0;
    PictureAnimator animator(*sign.box, [&](const Picture& frame) {
        sign.image.setPicture(frame);
        ++frames;
    });
    animator.play(load.value());
    QApplication::processEvents();
    const double before = cpuSeconds();
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    QApplication::exec();
    const double used = cpuSeconds() - before;
    *framesShown = frames;
    return 100.0 * used / seconds;
}

int cpu(const QTemporaryDir& dir, int seconds)
{
    const QString paged = writeGif(dir, "paged.gif", animation(2, { 104, 32 }, 200));
    const QString still = writeGif(dir, "still.gif", animation(1, { 104, 32 }, 200));
    int stillFrames = 0;
    int pagedFrames = 0;
    const double stillCpu = cpuPercentOver(still, seconds, &stillFrames);
    const double pagedCpu = cpuPercentOver(paged, seconds, &pagedFrames);
    std::printf("still sign:          %6.3f %% of a core over %d s, %d frames shown\n", stillCpu, seconds, stillFrames);
    std::printf("two pages, 2 s each: %6.3f %% of a core over %d s, %d frames shown (target: at most 1 %%)\n", pagedCpu,
                seconds, pagedFrames);
    return 0;
}

int memory(const QTemporaryDir& dir, int frameCount)
{
    const QString path = writeGif(dir, "fifty.gif", animation(50, { 104, 32 }, 4));
    SignBox sign;
    const long before = rssKiB();
    const Result<Picture> load = PictureLoader::load(path, { 104, 32 });
    sign.image.setPicture(load.value());
    using namespace std::chrono_literals;
    FramePlayer::TimePoint now {};
    FramePlayer player(std::make_unique<FrameDecoder>(load.value().animation(), load.value().size()),
                       frameDelay(load.value().animation()->firstDelayMs), 0, now);
    std::printf("frames   rss_kib\n");
    long base = 0;
    long peak = 0;
    int shown = 0;
    while (shown < frameCount) {
        now += 40ms;
        if (std::optional<Picture> frame = player.advance(now)) {
            sign.image.setPicture(*frame);
            sign.box->repaint();
            ++shown;
            if (shown == 50)
                base = peak = rssKiB();
            if (shown % 1000 == 0) {
                const long rss = rssKiB();
                peak = std::max(peak, rss);
                std::printf("%6d  %8ld\n", shown, rss);
            }
        }
    }
    std::printf("rss before loading %ld KiB, after the first pass %ld KiB, peak %ld KiB: growth %ld KiB over %d frames "
                "(target: under 512)\n",
                before, base, peak, peak - base, shown);
    return 0;
}

int memoryLive(const QTemporaryDir& dir, int seconds)
{
    const QString path = writeGif(dir, "fifty.gif", animation(50, { 104, 32 }, 4));
    SignBox sign;
    const Result<Picture> load = PictureLoader::load(path, { 104, 32 });
    sign.image.setPicture(load.value());
    int frames = 0;
    long base = 0;
    long peak = 0;
    PictureAnimator animator(*sign.box, [&](const Picture& frame) {
        sign.image.setPicture(frame);
        if (++frames == 50)
            base = peak = rssKiB();
    });
    animator.play(load.value());
    QTimer sampler;
    int second = 0;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const long rss = rssKiB();
        peak = std::max(peak, rss);
        if (++second % 30 == 0)
            std::printf("%4d s  %6d frames  %8ld KiB\n", second, frames, rss);
        if (second >= seconds)
            QCoreApplication::quit();
    });
    sampler.start(1000);
    QApplication::exec();
    std::printf("after the first pass %ld KiB, peak %ld KiB: growth %ld KiB over %d frames in %d s (target: under 512)\n",
                base, peak, peak - base, frames, seconds);
    return 0;
}

int huge(const QTemporaryDir& dir, int seconds)
{
    QList<QImage> frames;
    for (int f = 0; f < 4; ++f) {
        QImage frame(3000, 2000, QImage::Format_RGB32);
        QPainter p(&frame);
        for (int y = 0; y < frame.height(); y += 16) {
            for (int x = 0; x < frame.width(); x += 16)
                p.fillRect(QRect(x, y, 16, 16), QColor::fromHsv((x / 16 * 7 + y / 16 * 13 + f * 40) % 360, 200, 220));
        }
        frames << frame;
    }
    QList<QRgb> palette;
    for (int h = 0; h < 360; h += 2)
        palette << QColor::fromHsv(h, 200, 220).rgb();
    GifWriter gif({ 3000, 2000 }, palette);
    gif.setLoopCount(0);
    for (const QImage& frame : frames)
        gif.addFrame(frame, 0);
    const QString path = writeGif(dir, "huge.gif", gif.finish());
    const Result<Picture> load = PictureLoader::load(path);
    if (!load.value().isAnimated()) {
        std::fprintf(stderr, "the huge picture does not play\n");
        return 1;
    }
    QWidget window;
    window.resize(400, 300);
    auto* board = new PictureBox(&window, { 0, 0, 3000, 2000 });
    window.show();
    board->setPicture(load.value());
    int shown = 0;
    PictureAnimator animator(*board, [&](const Picture& frame) {
        board->showFrame(frame);
        ++shown;
    });
    animator.play(load.value());
    using Clock = std::chrono::steady_clock;
    QTimer key;
    key.setTimerType(Qt::PreciseTimer);
    auto expected = Clock::now() + std::chrono::milliseconds(10);
    double worstLateMs = 0;
    QObject::connect(&key, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        worstLateMs = std::max(worstLateMs, std::chrono::duration<double, std::milli>(now - expected).count());
        expected = now + std::chrono::milliseconds(10);
    });
    key.start(10);
    const double before = cpuSeconds();
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    QApplication::exec();
    std::printf("3000 x 2000 frames (%.1f MiB file): %d frames in %d s, the event thread busy %.0f %% of the time, "
                "a 10 ms timer at worst %.0f ms late\n",
                QFileInfo(path).size() / 1048576.0, shown, seconds, 100.0 * (cpuSeconds() - before) / seconds, worstLateMs);
    return 0;
}

double meanStepMs(const QString& path, int steps)
{
    SignBox sign;
    PictureAnimator animator(*sign.box, [&](const Picture& frame) { sign.image.setPicture(frame); });
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    for (int i = 0; i < steps; ++i) {
        const Result<Picture> load = PictureLoader::load(path, { 50, 30 });
        sign.image.setPicture(load.value());
        animator.play(load.value());
        sign.box->repaint();
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / steps;
}

int step(const QTemporaryDir& dir, int steps)
{
    const QString animated = writeGif(dir, "fifty.gif", animation(50, { 52, 32 }, 4));
    const QString still = writeGif(dir, "first.gif", animation(1, { 52, 32 }, 4));
    std::printf("step onto its first frame alone:  %.3f ms\n", meanStepMs(still, steps));
    std::printf("step onto the 50-frame LED sign:  %.3f ms (target: within 15 ms)\n", meanStepMs(animated, steps));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("cpu");
    const int amount = argc > 2 ? std::atoi(argv[2]) : 0;
    if (mode == "cpu")
        return cpu(dir, amount > 0 ? amount : 20);
    if (mode == "memory")
        return memory(dir, amount > 0 ? amount : 15000);
    if (mode == "huge")
        return huge(dir, amount > 0 ? amount : 10);
    if (mode == "step")
        return step(dir, amount > 0 ? amount : 1000);
    if (mode == "memory-live")
        return memoryLive(dir, amount > 0 ? amount : 600);
    std::fprintf(stderr, "usage: %s cpu|memory|memory-live|step|huge [AMOUNT]\n", argv[0]);
    return 2;
}

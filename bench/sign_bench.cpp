// The destination sign's speed: stepping onto a 24-megapixel photo against decoding it whole,
// stepping onto an animated LED sign against a still one, and listing a folder of 50,000 files.
//
//   sign_bench   (QT_QPA_PLATFORM=offscreen is enough)
#include "tests/support/GifWriter.h"
#include "picture/PictureLoader.h"
#include "platform/DesktopPlatform.h"
#include "sign/DestinationSign.h"
#include "sign/FileList.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

QTemporaryDir* g_dir = nullptr;
QString g_photos;
QString g_many;
QString g_stillGifs;
QString g_animatedGifs;

// LED signs of the sign box's size: fifty frames of a line of dots moving across, or the first
// of them alone.
void makeGifs()
{
    QList<QImage> frames;
    for (int i = 0; i < 50; ++i) {
        QImage frame(52, 32, QImage::Format_RGB32);
        frame.fill(QColor(8, 8, 8));
        QPainter p(&frame);
        p.fillRect(QRect(1, 5, 13, 22), QColor(255, 160, 0));
        p.fillRect(QRect(16 + i % 34, 6, 2, 20), QColor(255, 160, 0));
        frames << frame;
    }
    g_stillGifs = g_dir->path() + "/still";
    g_animatedGifs = g_dir->path() + "/animated";
    for (const QString& folder : { g_stillGifs, g_animatedGifs }) {
        QDir().mkpath(folder);
        const QByteArray bytes = GifWriter::animation(folder == g_stillGifs ? frames.mid(0, 1) : frames, 4, 0);
        for (const char* name : { "/a.gif", "/b.gif" }) {
            QFile f(folder + name);
            f.open(QIODevice::WriteOnly);
            f.write(bytes);
        }
    }
}

void makePhotos()
{
    g_photos = g_dir->path() + "/photos";
    QDir().mkpath(g_photos);
    // Something photo-like for the encoder: gradients and noise, not a flat colour.
    QImage image(6000, 4000, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            line[x] = qRgb((x / 24 + int(rng.bounded(32))) & 0xFF, (y / 16 + int(rng.bounded(32))) & 0xFF, ((x + y) / 40) & 0xFF);
    }
    image.save(g_photos + "/a.jpg", "JPG", 90);
    QFile::copy(g_photos + "/a.jpg", g_photos + "/b.jpg");
}

void makeManyFiles()
{
    g_many = g_dir->path() + "/many";
    QDir().mkpath(g_many);
    const char* exts[] = { ".bmp", ".JPG", ".jpeg", ".Gif", ".wmf", ".EMF", ".txt", ".png" };
    for (int i = 0; i < 50000; ++i) {
        QFile f(g_many + QStringLiteral("/Sign_%1%2").arg((i * 7919) % 50000, 5, 10, QChar('0')).arg(QLatin1String(exts[i % 8])));
        f.open(QIODevice::WriteOnly);
    }
}

void stepBackAndForth(benchmark::State& state, const QString& folder, QSize expected, bool animated)
{
    DesktopPlatform platform;
    FileList list(platform);
    list.setPattern(QStringLiteral("*.bmp;*.wmf;*.emf;*.gif;*.jpg;*.jpeg"));
    struct SignBox final : SignFace {
        void showPicture(Picture shown) override { picture = std::move(shown); }
        Picture picture;
    } box;
    DestinationSign sign(platform, list, box, QSize(50, 30));
    sign.setFolderPath(folder);
    (void)sign.pointListAtFolder();
    bool down = true;
    for (auto _ : state) {
        sign.keyDown(down ? VbKey::Down : VbKey::Up);
        down = !down;
        benchmark::DoNotOptimize(box.picture.size());
    }
    if (box.picture.size() != expected || box.picture.isAnimated() != animated)
        state.SkipWithError("the sign was not shown as it should be");
}

void BM_ArrowStepOntoAnimatedSign(benchmark::State& state)
{
    stepBackAndForth(state, g_animatedGifs, QSize(52, 32), true);
}

void BM_ArrowStepOntoStillSign(benchmark::State& state)
{
    stepBackAndForth(state, g_stillGifs, QSize(52, 32), false);
}

void BM_ArrowStepOntoPhoto(benchmark::State& state)
{
    stepBackAndForth(state, g_photos, QSize(6000, 4000), false);
}

void BM_FullDecodeOfPhoto(benchmark::State& state)
{
    for (auto _ : state) {
        QImageReader reader(g_photos + "/a.jpg");
        reader.setAllocationLimit(512);
        QImage image = reader.read();
        benchmark::DoNotOptimize(image.bits());
    }
}

void BM_PicDirOn50000Files(benchmark::State& state)
{
    DesktopPlatform platform;
    FileList list(platform);
    list.setPattern(QStringLiteral("*.bmp;*.wmf;*.emf;*.gif;*.jpg;*.jpeg"));
    for (auto _ : state) {
        (void)list.setPath(g_many);
        benchmark::DoNotOptimize(list.ListCount());
    }
    state.counters["entries"] = list.ListCount();
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    g_dir = &dir;
    makePhotos();
    makeManyFiles();
    makeGifs();
    benchmark::RegisterBenchmark("arrow_step_onto_6000x4000_jpeg", BM_ArrowStepOntoPhoto)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("full_decode_of_the_same_jpeg", BM_FullDecodeOfPhoto)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("arrow_step_onto_a_50_frame_led_gif", BM_ArrowStepOntoAnimatedSign)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("arrow_step_onto_its_first_frame_alone", BM_ArrowStepOntoStillSign)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("picDir_on_50000_files", BM_PicDirOn50000Files)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Metafile pictures against a BMP of the same size: reading a clip-art EMF of a few thousand
// records (polygons, curves, text) through a plain QImageReader and through the program's loader,
// and stepping the sign onto it, which renders only the 50 x 30 corner the sign box shows.
//
//   metafile_bench   (QT_QPA_PLATFORM=offscreen is enough)
#include "metafile/Metafile.h"
#include "picture/PictureLoader.h"
#include "platform/Fonts.h"
#include "tests/support/MetafileWriter.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

constexpr int kWidth = 480;
constexpr int kHeight = 360; // multiples of 24: a whole number of hundredths of a millimetre
const QSize kSignBox(50, 30);

QString g_emf;
QString g_bmp;
QByteArray g_emfBytes;
int g_records = 0;

// Clip art as drawing programs write it: each shape with a brush and pen made for it and
// deleted after, outlines of straight and curved segments, some paths, and captions.
QByteArray clipArt()
{
    using namespace mfw;
    QRandomGenerator rng(27);
    auto colour = [&] { return rgb(int(rng.bounded(256)), int(rng.bounded(256)), int(rng.bounded(256))); };
    auto point = [&] { return QPoint(int(rng.bounded(kWidth)), int(rng.bounded(kHeight))); };
    Emf emf = Emf::pixels(kWidth, kHeight);
    emf.setBkMode(1).setPolyFillMode(2);
    emf.createFont(3, -14, 128, QStringLiteral("ＭＳ Ｐゴシック")).selectObject(3);
    for (int i = 0; i < 700; ++i) {
        emf.createPen(1, 0, int(rng.bounded(3)), colour()).selectObject(1);
        emf.createBrush(2, 0, colour()).selectObject(2);
        const QPoint centre = point();
        switch (i % 5) {
        case 0:
        case 1: {
            QList<QPoint> polygon;
            const int corners = 3 + int(rng.bounded(10));
            for (int k = 0; k < corners; ++k)
                polygon.append(centre + QPoint(int(rng.bounded(60)) - 30, int(rng.bounded(60)) - 30));
            emf.polygon16(polygon);
            break;
        }
        case 2: {
            QList<QPoint> curve { centre };
            for (int k = 0; k < 9; ++k)
                curve.append(centre + QPoint(int(rng.bounded(80)) - 40, int(rng.bounded(80)) - 40));
            emf.polyBezier16(curve);
            break;
        }
        case 3: {
            emf.beginPath().moveTo(centre.x(), centre.y());
            emf.polyBezierTo16({ centre + QPoint(30, -20), centre + QPoint(50, 20), centre + QPoint(20, 40) });
            emf.lineTo(centre.x() - 20, centre.y() + 30).closeFigure().endPath().strokeAndFillPath();
            break;
        }
        case 4:
            emf.setTextColor(colour()).extTextOutW(centre.x(), centre.y(), i % 2 ? QStringLiteral("くるりん号") : QStringLiteral("Kururin"));
            break;
        }
        emf.selectObject(0x80000007).selectObject(0x80000000).deleteObject(1).deleteObject(2);
    }
    g_records = emf.recordCount();
    return emf.finish();
}

void BM_RenderEmfInMemory(benchmark::State& state)
{
    for (auto _ : state) {
        const Result<Metafile::Rendering> r = Metafile::render(g_emfBytes);
        benchmark::DoNotOptimize(r.value().image.constBits());
    }
    state.counters["records"] = g_records;
}

// As any Qt program reads it: a plain QImageReader on the file, the format told by content.
void readPlain(benchmark::State& state, const QString& path, QSize expectedImage)
{
    for (auto _ : state) {
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        const QImage image = reader.read();
        benchmark::DoNotOptimize(image.constBits());
        if (image.size() != expectedImage) {
            state.SkipWithError("the picture was not read");
            break;
        }
    }
}

void load(benchmark::State& state, const QString& path, QSize visible, QSize expectedImage)
{
    for (auto _ : state) {
        const Result<Picture> load = PictureLoader::load(path, visible);
        benchmark::DoNotOptimize(load.value().image().constBits());
        if (load.value().image().size() != expectedImage) {
            state.SkipWithError("the picture was not loaded");
            break;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    Fonts::installSubstitutions();
    QTemporaryDir dir;
    g_emfBytes = clipArt();
    g_emf = dir.filePath(QStringLiteral("clipart.emf"));
    g_bmp = dir.filePath(QStringLiteral("clipart.bmp"));
    QFile emf(g_emf);
    if (!emf.open(QIODevice::WriteOnly) || emf.write(g_emfBytes) != g_emfBytes.size())
        return 1;
    emf.close();
    // The BMP is the same picture, so both load the same pixels.
    if (!Metafile::render(g_emfBytes).value().image.convertToFormat(QImage::Format_RGB888).save(g_bmp, "BMP"))
        return 1;

    const QSize full(kWidth, kHeight);
    benchmark::RegisterBenchmark("render_emf_in_memory", BM_RenderEmfInMemory)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("qimagereader_emf", [=](benchmark::State& s) { readPlain(s, g_emf, full); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("qimagereader_bmp", [=](benchmark::State& s) { readPlain(s, g_bmp, full); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("load_emf_whole", [=](benchmark::State& s) { load(s, g_emf, {}, full); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("load_bmp_whole", [=](benchmark::State& s) { load(s, g_bmp, {}, full); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("step_sign_onto_emf", [=](benchmark::State& s) { load(s, g_emf, kSignBox, kSignBox); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("step_sign_onto_bmp", [=](benchmark::State& s) { load(s, g_bmp, kSignBox, kSignBox); })
        ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

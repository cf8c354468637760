// Renders every .wmf and .emf in a folder to PNG through QImageReader and our metafile plugin, as
// the program reads pictures, timing each, for comparing by eye and against other renderers
// (tools/compare_metafiles.sh):
//   render_metafiles IN_DIR OUT_DIR [SCALE]
// Each picture is read at its own size, or scaled to fit 2048 pixels when a side exceeds 4096;
// SCALE enlarges small pictures for looking at them closely.
// One line per file: name, size drawn, milliseconds (header and drawing), problem.
#include "metafile/Metafile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QtPlugin>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

Q_IMPORT_PLUGIN(MetafilePlugin)

namespace {

constexpr int kLargeSide = 4096;
constexpr int kFitSide = 2048;

const char* verdict(const Result<Metafile::Header>& header)
{
    if (header.ok())
        return "ok";
    switch (header.kind()) {
    case Failure::Kind::NotAPicture: return "not-a-metafile";
    case Failure::Kind::Malformed: return "malformed";
    case Failure::Kind::TooLarge: return "too-large";
    default: return "?";
    }
}

QSize drawnSize(QSize own)
{
    if (own.width() <= kLargeSide && own.height() <= kLargeSide)
        return own;
    return own.scaled(kFitSide, kFitSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s IN_DIR OUT_DIR [SCALE]\n", argv[0]);
        return 2;
    }
    const double scale = argc == 4 ? std::clamp(std::atof(argv[3]), 0.01, 64.0) : 1.0;
    const QDir in(QString::fromLocal8Bit(argv[1]));
    const QDir out(QString::fromLocal8Bit(argv[2]));
    QDir().mkpath(out.path());
    const QStringList names = in.entryList({ "*.wmf", "*.emf", "*.WMF", "*.EMF" }, QDir::Files, QDir::Name);
    qint64 slowest = 0;
    for (const QString& name : names) {
        QFile file(in.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        QElapsedTimer clock;
        clock.start();
        const Result<Metafile::Header> header = Metafile::inspect(bytes);
        QImage image;
        if (header.ok()) {
            QImageReader reader(in.filePath(name));
            const QSize size = drawnSize(header.value().size);
            reader.setScaledSize(scale == 1.0 ? size : (QSizeF(size) * scale).toSize().boundedTo(QSize(4096, 4096)));
            image = reader.read();
        }
        const qint64 ms = clock.elapsed();
        slowest = std::max(slowest, ms);
        const QString base = QFileInfo(name).completeBaseName();
        if (!image.isNull())
            image.save(out.filePath(base + ".png"));
        else
            QFile::remove(out.filePath(base + ".png"));
        std::printf("%-24s %5dx%-5d %6lld ms  %s\n", qPrintable(name), image.width(), image.height(),
                    static_cast<long long>(ms), verdict(header));
    }
    std::printf("slowest %lld ms\n", static_cast<long long>(slowest));
    return 0;
}

// Makes the desktop icons from the program icon (the bus's front, 32 x 32 in 16 colours): the
// pixel art enlarged by whole factors, so it stays crisp, for the hicolor theme's sizes.
//
//   make_icons ICON_FILE OUTPUT_FOLDER     (writes OUTPUT_FOLDER/<size>x<size>/apps/kururin-go.png)
#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ICON_FILE OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    const QImage icon = QImage(QString::fromLocal8Bit(argv[1]), "ICO").convertToFormat(QImage::Format_ARGB32);
    if (icon.size() != QSize(32, 32)) {
        std::fprintf(stderr, "%s is not a 32 x 32 icon\n", argv[1]);
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[2]));
    for (int size : { 32, 48, 64, 128, 256 }) {
        // 48 is not a whole multiple of 32: enlarge to 96 first, then halve smoothly.
        const QImage scaled = size % 32 == 0
            ? icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::FastTransformation)
            : icon.scaled(size * 2, size * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                  .scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        out.mkpath(folder);
        if (!scaled.save(out.filePath(folder + QStringLiteral("/kururin-go.png")), "PNG")) {
            std::fprintf(stderr, "cannot write the %d pixel icon\n", size);
            return 1;
        }
    }
    return 0;
}

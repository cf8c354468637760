// Draws the sample destination signs that come with the program: roll-sign pictures in the sign
// box's own size (52 x 32) and a few wider ones, as 24-bit bitmaps.
//
//   make_sample_signs OUTPUT_FOLDER
#include <QDir>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>

namespace {

struct Sign {
    const char* file;
    const char* route;      // route number in its own box on the left; empty for none
    const char* text;       // the destination
    const char* small;      // a line of smaller text under it; empty for none
    QColor back;
    QColor fore;
    QColor routeBack;
    int width;
};

// Roll signs: white or amber letters on black, with special ones in their usual colours.
const QColor kBlack(16, 16, 16);
const QColor kWhite(245, 245, 240);
const QColor kAmber(255, 176, 32);
const QColor kGreen(24, 120, 56);
const QColor kRed(200, 30, 30);
const QColor kBlue(30, 80, 170);

const Sign kSigns[] = {
    { "00_junkan.bmp", "", "循環", "右回り", kBlack, kWhite, kBlack, 52 },
    { "01_ekimae.bmp", "1", "駅前", "", kBlack, kWhite, kAmber, 52 },
    { "02_shiyakusho.bmp", "2", "市役所", "", kBlack, kWhite, kAmber, 52 },
    { "03_byoinmae.bmp", "3", "病院前", "", kBlack, kWhite, kAmber, 52 },
    { "04_toshokan.bmp", "5", "図書館", "", kBlack, kAmber, kWhite, 52 },
    { "05_danchi.bmp", "7", "団地", "中央", kBlack, kWhite, kAmber, 52 },
    { "06_koen.bmp", "8", "公園", "", kBlack, kAmber, kWhite, 52 },
    { "07_gakko.bmp", "12", "学校前", "", kBlack, kWhite, kAmber, 52 },
    { "08_kuko.bmp", "", "空港", "直行", kBlue, kWhite, kBlue, 52 },
    { "09_shako.bmp", "", "車庫", "入庫", kBlack, kWhite, kBlack, 52 },
    { "10_kaiso.bmp", "", "回送", "", kGreen, kWhite, kGreen, 52 },
    { "11_kashikiri.bmp", "", "貸切", "", kRed, kWhite, kRed, 52 },
    { "12_rinji.bmp", "", "臨時", "", kWhite, kRed, kWhite, 52 },
    { "13_ekimae_wide.bmp", "1", "駅前", "市役所経由", kBlack, kWhite, kAmber, 104 },
    { "14_junkan_wide.bmp", "", "くるりん号", "市内循環", kBlack, kAmber, kBlack, 104 },
    { "15_kaiso_wide.bmp", "", "回送", "ご乗車になれません", kGreen, kWhite, kGreen, 104 },
};

QFont gothic(int pixels, bool bold)
{
    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(pixels);
    // The face has no bold of its own, and a made-up bold smears the small strokes.
    (void)bold;
    font.setHintingPreference(QFont::PreferFullHinting);
    return font;
}

// The largest pixel size at which text fits the box.
int fittingSize(const QString& text, const QRect& box, int largest, bool bold)
{
    for (int px = largest; px > 6; --px) {
        const QFontMetrics fm(gothic(px, bold));
        if (fm.horizontalAdvance(text) <= box.width() && fm.height() <= box.height() + 2)
            return px;
    }
    return 6;
}

QImage draw(const Sign& sign)
{
    QImage image(sign.width, 32, QImage::Format_RGB32);
    image.fill(sign.back);
    QPainter p(&image);
    QRect area(2, 2, sign.width - 4, 28);

    const QString route = QString::fromUtf8(sign.route);
    if (!route.isEmpty()) {
        const QRect box(2, 4, 16, 24);
        p.fillRect(box, sign.routeBack);
        const int px = fittingSize(route, box.adjusted(1, 0, -1, 0), 18, true);
        p.setFont(gothic(px, true));
        p.setPen(sign.back);
        p.drawText(box, Qt::AlignCenter, route);
        area.setLeft(box.right() + 3);
    }

    const QString text = QString::fromUtf8(sign.text);
    const QString small = QString::fromUtf8(sign.small);
    p.setPen(sign.fore);
    if (small.isEmpty()) {
        const int px = fittingSize(text, area, 20, true);
        p.setFont(gothic(px, true));
        p.drawText(area, Qt::AlignCenter, text);
    } else {
        const QRect top(area.left(), area.top(), area.width(), 17);
        const QRect bottom(area.left(), area.top() + 17, area.width(), 11);
        p.setFont(gothic(fittingSize(text, top, 16, true), true));
        p.drawText(top, Qt::AlignCenter, text);
        p.setFont(gothic(fittingSize(small, bottom, 10, false), false));
        p.drawText(bottom, Qt::AlignCenter, small);
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 2 || !QDir(QString::fromLocal8Bit(argv[1])).exists()) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER (an existing folder)\n", argv[0]);
        return 2;
    }
    if (!QFontDatabase::families().contains(QStringLiteral("IPAGothic"))) {
        std::fprintf(stderr, "the IPAGothic font is needed (Debian: fonts-ipafont-gothic)\n");
        return 1;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const Sign& sign : kSigns) {
        const QString path = out.filePath(QString::fromLatin1(sign.file));
        if (!draw(sign).convertToFormat(QImage::Format_RGB888).save(path, "BMP")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

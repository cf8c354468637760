// Draws the sample destination signs that come with the program: roll-sign pictures in the sign
// box's own size (52 x 32) and a few wider ones, as 24-bit bitmaps, and LED signs of today's
// buses as animated GIFs that alternate their pages.
//
//   make_sample_signs OUTPUT_FOLDER
#include "tests/support/GifWriter.h"

#include <QDir>
#include <QFile>
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

// LED signs: a dot lights fully or not at all, so text is drawn without smoothing, and the dots
// that are off glow faintly on the dark field in a grid, as a matrix of LEDs does.
const QColor kLedField(8, 8, 8);
const QColor kLedAmber(255, 160, 0);
const QColor kLedAmberOff(54, 34, 6);
const QColor kLedOff(38, 38, 38);
const QColor kLedWhite(250, 250, 250);
const QColor kLedOrange(255, 120, 0);
const QColor kLedGreen(40, 220, 60);
const QColor kLedCyan(60, 220, 255);

QFont ledFont(int pixels)
{
    QFont font = gothic(pixels, false);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

int ledFittingSize(const QString& text, const QRect& box, int largest)
{
    for (int px = largest; px > 6; --px) {
        const QFontMetrics fm(ledFont(px));
        if (fm.horizontalAdvance(text) <= box.width() && fm.height() <= box.height() + 3)
            return px;
    }
    return 6;
}

// One page of an LED sign: a route number in a lit box on the left, the destination beside it,
// and a smaller second line when there is one.
struct LedPage {
    const char* route;
    const char* text;
    const char* small;
    QColor routeLit;
    QColor textLit;
    QColor smallLit;
};

void drawLedText(QPainter& p, const QRect& box, const QString& text, int largest, QColor colour)
{
    p.setFont(ledFont(ledFittingSize(text, box, largest)));
    p.setPen(colour);
    p.drawText(box, Qt::AlignCenter, text);
}

// The page on a dark field; the field is turned into dots afterwards. The sign box's border
// covers the last two columns and rows, so nothing is lit there.
QImage drawLedPage(const LedPage& page, int width)
{
    QImage image(width, 32, QImage::Format_RGB32);
    image.fill(kLedField);
    QPainter p(&image);
    QRect area(1, 1, width - 4, 28);
    const QString route = QString::fromUtf8(page.route);
    if (!route.isEmpty()) {
        const QRect box(1, 4, 13, 22);
        p.fillRect(box, page.routeLit);
        drawLedText(p, box.adjusted(1, 0, -1, 0), route, 18, kLedField);
        area.setLeft(box.right() + 2);
    }
    const QString small = QString::fromUtf8(page.small);
    if (small.isEmpty()) {
        drawLedText(p, area, QString::fromUtf8(page.text), 20, page.textLit);
    } else {
        drawLedText(p, QRect(area.left(), area.top(), area.width(), 14), QString::fromUtf8(page.text), 14, page.textLit);
        drawLedText(p, QRect(area.left(), area.top() + 14, area.width(), 14), small, 13, page.smallLit);
    }
    return image;
}

// The dots that are off: every other dot of the field glows faintly, the rest stay dark.
void lightTheField(QImage& image, QColor off)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (line[x] == kLedField.rgb())
                line[x] = (x % 2 == 0 && y % 2 == 0) ? off.rgb() : kLedField.rgb();
        }
    }
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

// A sign that shows its pages in turn, each for two seconds, for ever.
bool writePagedSign(const QString& path, const QList<LedPage>& pages, int width, QColor off)
{
    QList<QImage> frames;
    for (const LedPage& page : pages) {
        QImage frame = drawLedPage(page, width);
        lightTheField(frame, off);
        frames << frame;
    }
    return writeFile(path, GifWriter::animation(frames, 200, 0));
}

// The route and its destination above, in Japanese and then in English, and beneath them the
// stops on the way running across from right to left, a dot at a time.
bool writeRunningStops(const QString& path)
{
    const int width = 52;
    const QString stops = QStringLiteral("市役所・病院前・図書館・公園・駅前");
    const QRect strip(0, 17, width - 2, 13);
    const QFont stopFont = ledFont(12);
    const int steps = QFontMetrics(stopFont).horizontalAdvance(stops) + width;
    constexpr int kDelayCs = 6;
    constexpr int kStepsAPage = 40;

    auto drawFrame = [&](int step) {
        QImage image(width, 32, QImage::Format_RGB32);
        image.fill(kLedField);
        QPainter p(&image);
        const bool english = (step / kStepsAPage) % 2 == 1;
        const QRect routeBox(1, 1, 22, 15);
        p.fillRect(routeBox, kLedGreen);
        drawLedText(p, routeBox.adjusted(1, 0, -1, 0), QStringLiteral("循環"), 12, kLedField);
        drawLedText(p, QRect(24, 1, width - 27, 15), english ? QStringLiteral("Loop") : QStringLiteral("右回り"), 12,
                    english ? kLedCyan : kLedOrange);
        p.setFont(stopFont);
        p.setPen(kLedWhite);
        p.setClipRect(strip);
        p.drawText(QPoint(strip.right() + 1 - step, strip.bottom() - 1), stops);
        p.end();
        lightTheField(image, kLedOff);
        return image;
    };

    QList<QImage> all;
    for (int step = 0; step < steps; ++step)
        all << drawFrame(step);
    GifWriter gif({ width, 32 }, GifWriter::paletteOf(all));
    gif.setLoopCount(0);
    for (int step = 0; step < steps; ++step) {
        // Only the running line changes, but when the page above turns.
        if (step % kStepsAPage == 0)
            gif.addFrame(all[step], kDelayCs);
        else
            gif.addFrame(all[step].copy(strip), kDelayCs, strip.topLeft());
    }
    return writeFile(path, gif.finish());
}

bool writeLedSigns(const QDir& out)
{
    const QList<LedPage> amber {
        { "1", "駅前", "", kLedAmber, kLedAmber, kLedAmber },
        { "1", "Ekimae", "Sta.", kLedAmber, kLedAmber, kLedAmber },
    };
    const QList<LedPage> colour {
        { "2", "市役所", "", kLedGreen, kLedOrange, kLedOrange },
        { "2", "City", "Hall", kLedGreen, kLedWhite, kLedWhite },
        { "2", "病院前", "経由", kLedGreen, kLedOrange, kLedCyan },
    };
    return writePagedSign(out.filePath("16_led_ekimae.gif"), amber, 52, kLedAmberOff)
        && writePagedSign(out.filePath("17_led_shiyakusho.gif"), colour, 52, kLedOff)
        && writeRunningStops(out.filePath("18_led_junkan.gif"));
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
    if (!writeLedSigns(out)) {
        std::fprintf(stderr, "cannot write the LED signs into %s\n", argv[1]);
        return 1;
    }
    return 0;
}

// Writes a small placeable Windows metafile, a red left half and a blue right half, and reads it
// back as any Qt program reads a picture. Only an image format plugin can make this work: Qt
// itself has no metafile reader.
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>

namespace {

int failures = 0;

void check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
    if (!ok)
        ++failures;
}

struct Words {
    QByteArray bytes;
    Words& w(int value)
    {
        bytes.append(char(value & 0xFF));
        bytes.append(char((value >> 8) & 0xFF));
        return *this;
    }
    Words& dw(unsigned value) { return w(int(value & 0xFFFF)).w(int(value >> 16)); }
    // A record: its size in 16-bit words, the function number, then the parameters.
    Words& record(int function, std::initializer_list<int> params)
    {
        dw(unsigned(3 + params.size())).w(function);
        for (int p : params)
            w(p);
        return *this;
    }
};

QByteArray halvesMetafile()
{
    const int kBrush = 0x02FC, kPen = 0x02FA, kSelect = 0x012D, kDelete = 0x01F0;
    const int kWindowOrg = 0x020B, kWindowExt = 0x020C, kRectangle = 0x041B;
    Words body;
    body.record(kWindowOrg, { 0, 0 })
        .record(kWindowExt, { 50, 100 })              // height, width
        .record(kPen, { 5, 0, 0, 0, 0 })              // PS_NULL: no outline
        .record(kSelect, { 0 })
        .record(kBrush, { 0, 0x00FF, 0x0000, 0 })     // solid, COLORREF red
        .record(kSelect, { 1 })
        .record(kRectangle, { 50, 50, 0, 0 })         // bottom, right, top, left
        .record(kDelete, { 1 })
        .record(kBrush, { 0, 0x0000, 0x00FF, 0 })     // solid, COLORREF blue
        .record(kSelect, { 1 })
        .record(kRectangle, { 50, 100, 0, 50 })
        .record(0x0000, {});                          // end of file

    // The placeable header: 100 x 50 units at 96 units per inch.
    Words placeable;
    placeable.dw(0x9AC6CDD7u).w(0).w(0).w(0).w(100).w(50).w(96).dw(0);
    int checksum = 0;
    for (int i = 0; i < 20; i += 2)
        checksum ^= uchar(placeable.bytes[i]) | (uchar(placeable.bytes[i + 1]) << 8);
    placeable.w(checksum);

    const int headerWords = 9;
    Words header;
    header.w(1).w(headerWords).w(0x0300)
        .dw(unsigned(headerWords + body.bytes.size() / 2))
        .w(2)           // objects: a pen and a brush at a time
        .dw(8)          // the largest record (the pen), in words
        .w(0);
    return placeable.bytes + header.bytes + body.bytes;
}

bool isColour(const QImage& image, int x, int y, QRgb expected)
{
    const QRgb got = image.pixel(x, y);
    std::printf("  pixel %d,%d is #%06x\n", x, y, got & 0xFFFFFF);
    return qAlpha(got) == 255 && qAbs(qRed(got) - qRed(expected)) <= 8 && qAbs(qGreen(got) - qGreen(expected)) <= 8
        && qAbs(qBlue(got) - qBlue(expected)) <= 8;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: read-metafile FILE\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(halvesMetafile()) < 0 || !file.flush()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 2;
    }
    file.close();

    const QList<QByteArray> formats = QImageReader::supportedImageFormats();
    check(formats.contains("wmf"), "Qt lists wmf among the formats it reads");
    check(formats.contains("emf"), "Qt lists emf among the formats it reads");

    // Told nothing but the file, as a picture viewer is.
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    check(reader.format() == "wmf", "the file is recognised as a Windows metafile by its content");
    const QImage image = reader.read();
    check(!image.isNull(), "the metafile is read");
    if (!image.isNull()) {
        std::printf("  %d x %d pixels\n", image.width(), image.height());
        check(image.height() > 0 && qAbs(image.width() - 2 * image.height()) <= 2,
              "the picture keeps the metafile's 2:1 proportions");
        const int y = image.height() / 2;
        check(isColour(image, image.width() / 4, y, qRgb(255, 0, 0)), "the left half is red");
        check(isColour(image, image.width() * 3 / 4, y, qRgb(0, 0, 255)), "the right half is blue");
    }

    // QImage's own loading goes through the same plugin.
    check(!QImage(path).isNull(), "QImage loads the file by its name");
    return failures == 0 ? 0 : 1;
}

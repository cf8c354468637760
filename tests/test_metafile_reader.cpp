// Metafiles read through a plain QImageReader, as the program and other Qt programs read them.
#include "picture/PictureLoader.h"
#include "tests/support/MetafileWriter.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QImageIOPlugin>
#include <QImageReader>
#include <QPluginLoader>
#include <QtPlugin>

#include <gtest/gtest.h>

// Linked in, as the program links it.
Q_IMPORT_PLUGIN(MetafilePlugin)

using mfw::Emf;
using mfw::Wmf;

namespace {

constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;

// 100 x 50 pixels at 96 dpi: a black block over the left half, a one-pixel line along the
// bottom-right diagonal of the right half.
QByteArray halves()
{
    Emf emf = Emf::pixels(100, 50);
    emf.createPen(1, 5 /* null */, 0, 0).createBrush(2, 0, 0x000000).selectObject(1).selectObject(2);
    emf.rectangle(0, 0, 51, 51);
    emf.createPen(3, 0, 1, 0x000000).selectObject(3);
    emf.moveTo(50, 0).lineTo(100, 50);
    return emf.finish();
}

struct Read {
    QImage image;
    QByteArray format;
    QSize size;
};

Read read(const QByteArray& file, void (*setUp)(QImageReader&) = nullptr)
{
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (setUp)
        setUp(reader);
    Read r;
    r.format = reader.format();
    r.size = reader.size();
    reader.read(&r.image);
    return r;
}

int countOf(const QImage& image, QRgb colour, QRect area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += image.pixel(x, y) == colour;
    return n;
}

} // namespace

TEST(MetafileReader, formats_are_told_by_content_and_the_size_comes_without_drawing)
{
    const Read emf = read(halves(), [](QImageReader& r) { r.setDecideFormatFromContent(true); });
    EXPECT_EQ(emf.format, "emf");
    EXPECT_EQ(emf.size, QSize(100, 50));
    EXPECT_EQ(emf.image.size(), QSize(100, 50));
    EXPECT_EQ(emf.image.pixel(10, 10), kBlack);
    EXPECT_EQ(emf.image.pixel(90, 10), kWhite);

    Wmf wmf;
    wmf.rectangle(0, 0, 10, 10);
    const Read placeable = read(wmf.placeable(0, 0, 1440, 720, 1440));
    EXPECT_EQ(placeable.format, "wmf");
    EXPECT_EQ(placeable.size, QSize(96, 48));

    EXPECT_FALSE(read(QByteArray("GIF89a but not really a picture at all")).format == "wmf");
}

TEST(MetafileReader, a_scaled_size_draws_the_vectors_again_rather_than_stretching_pixels)
{
    const Read big = read(halves(), [](QImageReader& r) { r.setScaledSize(QSize(400, 200)); });
    ASSERT_EQ(big.image.size(), QSize(400, 200));
    // The block's edge stays one sharp step, where stretched pixels would blur it.
    EXPECT_EQ(big.image.pixel(203, 100), kBlack);
    EXPECT_EQ(big.image.pixel(205, 100), kWhite);
    for (int x = 195; x < 215; ++x) {
        const QRgb p = big.image.pixel(x, 60);
        EXPECT_TRUE(p == kBlack || p == kWhite) << "grey at " << x;
    }
    // The one-pixel pen is one logical unit: four times as thick, drawn along the diagonal.
    const int inked = countOf(big.image, kBlack, QRect(300, 96, 1, 10)) + countOf(big.image, kBlack, QRect(300, 96, 1, 10).translated(1, 0));
    EXPECT_GE(inked, 4);
    EXPECT_EQ(big.image.pixel(300, 20), kWhite);
}

TEST(MetafileReader, a_clip_rect_draws_and_allocates_only_that_part)
{
    const Read whole = read(halves());
    const Read part = read(halves(), [](QImageReader& r) { r.setClipRect(QRect(40, 10, 30, 20)); });
    ASSERT_EQ(part.image.size(), QSize(30, 20));
    EXPECT_EQ(part.image, whole.image.copy(40, 10, 30, 20));

    // Clipped, then scaled, then clipped again: the order QImageReader defines.
    const Read both = read(halves(), [](QImageReader& r) {
        r.setClipRect(QRect(50, 0, 50, 50));
        r.setScaledSize(QSize(200, 200));
        r.setScaledClipRect(QRect(0, 0, 100, 100));
    });
    ASSERT_EQ(both.image.size(), QSize(100, 100));
    // The diagonal runs from this corner: ink near (0, 0) and on (50, 50), none far off it.
    EXPECT_GT(countOf(both.image, kBlack, QRect(0, 0, 6, 6)), 0);
    EXPECT_GT(countOf(both.image, kBlack, QRect(46, 46, 8, 8)), 0);
    EXPECT_EQ(countOf(both.image, kBlack, QRect(60, 0, 40, 30)), 0);
}

TEST(MetafileReader, the_allocation_limit_is_honoured_and_a_poster_reads_at_a_smaller_size)
{
    // 3.2 m x 4.1 m: some 12,000 x 15,500 pixels at its own size.
    Emf poster(QRect(0, 0, 320000, 410000));
    poster.setMapMode(8).setWindowExt(3200, 4100).setViewportExt(12094, 15496);
    poster.createBrush(1, 0, 0x0000FF).selectObject(1).rectangle(1600, 2050, 3200, 4100);
    const QByteArray file = poster.finish();

    const Read own = read(file);
    EXPECT_GT(own.size.width(), 12000);
    EXPECT_TRUE(own.image.isNull()) << "beyond Qt's default allocation limit";

    const Read small = read(file, [](QImageReader& r) { r.setScaledSize(r.size().scaled(2048, 2048, Qt::KeepAspectRatio)); });
    ASSERT_FALSE(small.image.isNull());
    EXPECT_EQ(small.image.height(), 2048);
    EXPECT_EQ(small.image.pixel(small.image.width() * 3 / 4, 1536), qRgb(255, 0, 0));
    EXPECT_EQ(small.image.pixel(small.image.width() / 4, 512), kWhite);

    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(1);
    EXPECT_TRUE(read(halves(), [](QImageReader& r) { r.setScaledSize(QSize(1000, 500)); }).image.isNull());
    EXPECT_FALSE(read(halves(), [](QImageReader& r) { r.setScaledSize(QSize(200, 100)); }).image.isNull());
    QImageReader::setAllocationLimit(limit);
}

TEST(MetafileReader, broken_files_read_as_nothing)
{
    const QByteArray good = halves();
    EXPECT_TRUE(read(good.first(good.size() / 2)).image.isNull());
    EXPECT_TRUE(read(good.first(60)).image.isNull());
    QByteArray lying = good;
    lying[4] = char(0xFF); // the header record's size, now past the end
    EXPECT_TRUE(read(lying).image.isNull());
}

TEST(MetafilePlugin, the_installed_plugin_reads_metafiles_for_any_qt_program)
{
    QPluginLoader loader(QStringLiteral(KURURIN_METAFILE_PLUGIN));
    auto* plugin = qobject_cast<QImageIOPlugin*>(loader.instance());
    ASSERT_NE(plugin, nullptr) << qPrintable(loader.errorString());
    EXPECT_EQ(loader.metaData().value("MetaData").toObject().value("Keys").toArray().size(), 2);

    QBuffer buffer;
    buffer.setData(halves());
    buffer.open(QIODevice::ReadOnly);
    EXPECT_TRUE(plugin->capabilities(&buffer, QByteArray()) & QImageIOPlugin::CanRead);
    std::unique_ptr<QImageIOHandler> handler(plugin->create(&buffer, "emf"));
    handler->setOption(QImageIOHandler::ScaledSize, QSize(50, 25));
    QImage image;
    ASSERT_TRUE(handler->read(&image));
    EXPECT_EQ(image.size(), QSize(50, 25));
    EXPECT_EQ(image.pixel(5, 5), kBlack);
}

// The program's loader: a metafile sign is drawn again for each screen scale it is shown at.
TEST(MetafilePicture, a_metafile_sign_is_drawn_again_for_each_screen_scale)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("sign.emf");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(halves());
    file.close();

    const Result<Picture> load = PictureLoader::load(path, QSize(60, 30));
    ASSERT_TRUE(load.ok());
    const Picture& sign = load.value();
    EXPECT_EQ(sign.size(), QSize(100, 50));
    EXPECT_TRUE(sign.isPartial());

    const QImage twice = sign.sourceFor(2.0);
    EXPECT_EQ(twice.size(), QSize(120, 60)) << "only the visible corner, at the screen's pixels";
    EXPECT_EQ(twice.devicePixelRatio(), 2.0);
    // The block's edge at x = 51 is one sharp step at device pixel 102, not a stretched blur.
    for (int x = 96; x < 108; ++x) {
        const QRgb p = twice.pixel(x, 20);
        EXPECT_TRUE(p == kBlack || p == kWhite) << "grey at " << x;
    }
    EXPECT_EQ(twice.pixel(101, 20), kBlack);
    EXPECT_EQ(twice.pixel(102, 20), kWhite);
    const Read direct = read(halves(), [](QImageReader& r) {
        r.setScaledSize(QSize(200, 100));
        r.setScaledClipRect(QRect(0, 0, 120, 60));
    });
    EXPECT_EQ(twice.convertToFormat(QImage::Format_RGB32), direct.image.convertToFormat(QImage::Format_RGB32));

    const QImage between = sign.imageFor(1.5);
    EXPECT_EQ(between.size(), QSize(90, 45));
    EXPECT_EQ(between.devicePixelRatio(), 1.5);
    EXPECT_EQ(sign.imageFor(1.0).size(), QSize(60, 30));
}

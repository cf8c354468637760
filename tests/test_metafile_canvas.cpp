// What every player draws through: the picture's size and its place on the painter, text in the
// faces files name, and metafiles as the program loads them.
#include "metafile/Metafile.h"
#include "picture/PictureLoader.h"
#include "tests/CpuClock.h"
#include "tests/support/MetafileTesting.h"

#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QTemporaryDir>
#include <QTransform>

#include <gtest/gtest.h>

using namespace mfw;
using namespace mftest;

TEST(MetafileSize, a_placeable_wmf_is_its_box_over_its_units_per_inch)
{
    Wmf wmf;
    wmf.rectangle(0, 0, 10, 10);
    // 1440 twips by 720 at 1440 units per inch: one inch by half an inch.
    auto header = Metafile::inspect(wmf.placeable(0, 0, 1440, 720, 1440));
    EXPECT_TRUE(header.ok());
    EXPECT_EQ(header.value().format, Metafile::Format::PlaceableWmf);
    EXPECT_EQ(header.value().size, QSize(96, 48));
    // The box need not start at the origin, and may run backwards.
    EXPECT_EQ(Metafile::inspect(wmf.placeable(-500, 1000, 500, 0, 1000)).value().size, QSize(96, 96));
}

TEST(MetafileSize, a_plain_wmf_is_as_large_as_its_window)
{
    Wmf plain;
    plain.setMapMode(8).setWindowOrg(-50, -20).setWindowExt(300, 120).rectangle(0, 0, 10, 10);
    const Result<Metafile::Header> header = Metafile::inspect(plain.standard());
    EXPECT_TRUE(header.ok());
    EXPECT_EQ(header.value().format, Metafile::Format::Wmf);
    EXPECT_EQ(header.value().size, QSize(300, 120));
}

TEST(MetafileSize, an_emf_is_as_large_as_its_frame)
{
    // 50.8 mm by 25.4 mm.
    const Result<Metafile::Header> header = Metafile::inspect(Emf(QRect(QPoint(0, 0), QPoint(5080, 2540))).rectangle(0, 0, 5, 5).finish());
    EXPECT_TRUE(header.ok());
    EXPECT_EQ(header.value().format, Metafile::Format::Emf);
    EXPECT_EQ(header.value().size, QSize(192, 96));
    const Result<Metafile::Rendering> r = Metafile::render(Emf::pixels(240, 120).finish());
    EXPECT_EQ(r.value().image.size(), QSize(240, 120));
}

TEST(MetafileSize, a_plain_wmf_without_a_window_is_as_large_as_its_drawing)
{
    // No placeable header and no window: one logical unit is a pixel, and the picture starts
    // where the drawing does, here 100 units in and 50 down.
    Wmf wmf;
    wmf.createBrush(0, kRed).selectObject(0).createPen(5, 0, 0).selectObject(1).rectangle(100, 50, 300, 150);
    wmf.createFont(-20, 0, "Arial").selectObject(2).setBkMode(1).textOut(300, 100, "Go");
    const QByteArray file = wmf.standard();
    const Result<Metafile::Header> header = Metafile::inspect(file);
    ASSERT_TRUE(header.ok());
    EXPECT_EQ(header.value().format, Metafile::Format::Wmf);
    EXPECT_NEAR(header.value().size.height(), 100, 2);
    EXPECT_GT(header.value().size.width(), 200 + 10) << "the text right of the rectangle counts";
    EXPECT_LT(header.value().size.width(), 200 + 60);
    const QImage image = render(file);
    EXPECT_EQ(px(image, 2, 2), px(kRed));
    EXPECT_EQ(px(image, 197, 97), px(kRed));
    const QRect text = inkBox(image.copy(201, 0, image.width() - 201, image.height()));
    EXPECT_FALSE(text.isEmpty()) << "the caption is drawn inside the picture";

    // A placeable box without an inch, or a window without area, says nothing of the size either.
    Wmf shapes;
    shapes.createBrush(0, kRed).selectObject(0).createPen(5, 0, 0).selectObject(1).rectangle(10, 10, 110, 60);
    EXPECT_EQ(Metafile::inspect(shapes.placeable(0, 0, 2000, 1000, 0)).value().size, QSize(100, 50));
    EXPECT_EQ(Metafile::inspect(shapes.placeable(0, 0, 0, 0, 1440)).value().size, QSize(100, 50));
    Wmf flat;
    flat.setMapMode(8).setWindowExt(0, 300).createBrush(0, kRed).selectObject(0).rectangle(10, 10, 110, 60);
    EXPECT_TRUE(Metafile::inspect(flat.standard()).ok());

    Wmf nothing;
    nothing.createBrush(0, kRed).selectObject(0);
    EXPECT_EQ(Metafile::inspect(nothing.standard()).kind(), Failure::Kind::Malformed) << "nothing drawn, no size";
}

TEST(MetafileSize, absurd_sides_are_refused_from_the_header_while_posters_pass)
{
    Wmf wmf;
    wmf.rectangle(0, 0, 10, 10);
    // 30,000 inches wide.
    QSize stated;
    EXPECT_EQ(Metafile::inspect(wmf.placeable(0, 0, 30000, 100, 1), &stated).kind(), Failure::Kind::TooLarge);
    EXPECT_EQ(stated.width(), 30000 * 96) << "a picture refused for its size still states it";
    EXPECT_TRUE(Metafile::inspect(wmf.placeable(0, 0, 32000, 100, 96)).ok());
    // A poster three metres wide is a picture; a kilometre is not.
    EXPECT_TRUE(Metafile::inspect(Emf(QRect(0, 0, 300000, 1000)).finish()).ok());
    EXPECT_EQ(Metafile::inspect(Emf(QRect(0, 0, 100000000, 1000)).finish()).kind(), Failure::Kind::TooLarge);
}

TEST(MetafilePlay, a_painter_transform_applies_on_top)
{
    Emf emf = Emf::pixels(48, 24);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2).rectangle(0, 0, 24, 24);
    const QByteArray file = emf.finish();
    QImage image(200, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        painter.translate(10, 10);
        painter.scale(2, 2);
        ASSERT_TRUE(Metafile::play(file, painter).ok());
    }
    EXPECT_EQ(px(image, 12, 12), px(kRed));
    EXPECT_EQ(px(image, 56, 56), px(kRed));
    EXPECT_EQ(px(image, 62, 30), kWhitePx);
    EXPECT_EQ(px(image, 5, 5), kWhitePx);
}

TEST(MetafileText, shift_jis_text_draws_in_the_gothic_face_where_ipagothic_would)
{
    // 「くるりん号」 in ＭＳ ゴシック, 24 pixels to the em, top left at (10, 10).
    const QByteArray face = sjis({ 0x82, 0x6C, 0x82, 0x72, 0x20, 0x83, 0x53, 0x83, 0x56, 0x83, 0x62, 0x83, 0x4E });
    const QByteArray text = sjis({ 0x82, 0xAD, 0x82, 0xE9, 0x82, 0xE8, 0x82, 0xF1, 0x8D, 0x86 });
    Wmf wmf;
    wmf.createFont(-24, 128, face).selectObject(0).setBkMode(1).setTextColor(kBlack);
    wmf.extTextOut(10, 10, text);
    const QImage image = render(placeable(wmf, 200, 50));

    // The same string drawn straight with the face the substitution names.
    QImage expected(image.size(), QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
        QPainter p(&expected);
        QFont font(QStringLiteral("IPAGothic"));
        font.setPixelSize(24);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QPointF(10, 10 + QFontMetricsF(font).ascent()), QStringLiteral("くるりん号"));
    }
    int ink = 0;
    int expectedInk = 0;
    const QRect box = inkBox(image, &ink);
    const QRect expectedBox = inkBox(expected, &expectedInk);
    ASSERT_GT(expectedInk, 100);
    EXPECT_NEAR(box.left(), expectedBox.left(), 2);
    EXPECT_NEAR(box.right(), expectedBox.right(), 2);
    EXPECT_NEAR(box.top(), expectedBox.top(), 2);
    EXPECT_NEAR(box.bottom(), expectedBox.bottom(), 2);
    EXPECT_NEAR(ink, expectedInk, expectedInk / 10);

    // The vertical-writing face "@ＭＳ ゴシック" draws with the same face, upright.
    Wmf vertical;
    vertical.createFont(-24, 128, "@" + face).selectObject(0).setBkMode(1).setTextColor(kBlack);
    vertical.extTextOut(10, 10, text);
    EXPECT_EQ(render(placeable(vertical, 200, 50)), image);
}

// One character 100 pixels high in the given face, and the dark pixels it leaves.
struct Glyph {
    QRect box;
    int ink = 0;
    double filled() const { return box.isEmpty() ? 0 : double(ink) / (box.width() * box.height()); }
    // How far the top row's ink sits from the box's middle, and how wide it is, in box widths.
    double topOffCentre = 0;
    double topWidth = 0;
};

Glyph glyph(const QImage& image)
{
    Glyph g;
    g.box = inkBox(image, &g.ink);
    if (g.box.isEmpty())
        return g;
    QRect top;
    for (int x = g.box.left(); x <= g.box.right(); ++x)
        if (dark(image.pixel(x, g.box.top())) || dark(image.pixel(x, g.box.top() + 1)))
            top |= QRect(x, g.box.top(), 1, 1);
    g.topOffCentre = std::abs(top.center().x() - g.box.center().x()) / double(g.box.width());
    g.topWidth = top.width() / double(g.box.width());
    return g;
}

Glyph wmfGlyph(const QByteArray& face, int charset, const QByteArray& text)
{
    Wmf wmf;
    wmf.createFont(-100, charset, face).selectObject(0).setBkMode(1).textOut(20, 10, text);
    return glyph(render(placeable(wmf, 160, 140)));
}

TEST(MetafileText, symbol_fonts_draw_their_own_symbols_not_the_letters_of_their_codes)
{
    // Symbol's D is a capital delta: a triangle, its apex at the top middle.
    for (int charset : { 2, 1 }) {
        const Glyph delta = wmfGlyph("Symbol", charset, "D");
        EXPECT_LT(delta.topOffCentre, 0.15) << "charset " << charset;
        EXPECT_LT(delta.topWidth, 0.4) << "charset " << charset;
    }
    // And its 0xD6 is a radical sign, whose top is a bar off to the right; in Shift_JIS, which
    // DEFAULT_CHARSET text is read in otherwise, it would be a half-width katakana.
    const Glyph radical = wmfGlyph("Symbol", 1, sjis({ 0xD6 }));
    EXPECT_GT(radical.box.height(), 60);
    EXPECT_GT(radical.topOffCentre, 0.2);
    // Wingdings' n is a black square; the letter n leaves most of its box white.
    EXPECT_GT(wmfGlyph("Wingdings", 2, "n").filled(), 0.9);
    // MT Extra's & is the dot accent over a letter.
    const Glyph dot = wmfGlyph("MT Extra", 2, "&");
    EXPECT_GT(dot.ink, 0);
    EXPECT_LT(dot.box.width(), 25);
    EXPECT_LT(dot.box.height(), 25);
    // A text face never comes out in symbols, whatever stands in for its name.
    EXPECT_LT(wmfGlyph("Impact", 0, "n").filled(), 0.75);
}

TEST(MetafileText, a_symbol_fonts_codes_are_also_reached_at_0xf020_in_unicode_text)
{
    Emf emf = Emf::pixels(160, 144);
    emf.createFont(1, -100, 2, QStringLiteral("Symbol")).selectObject(1).setBkMode(1);
    emf.extTextOutW(20, 10, QString(QChar(0xF044)));
    const Glyph wide = glyph(render(emf.finish()));
    EXPECT_GT(wide.box.height(), 50);
    EXPECT_LT(wide.topOffCentre, 0.15);
    EXPECT_LT(wide.topWidth, 0.4);
}

TEST(MetafileText, text_in_arial_keeps_the_width_it_was_laid_out_for)
{
    const bool metricFace = QFontDatabase::hasFamily(QStringLiteral("Liberation Sans"))
        || QFontDatabase::hasFamily(QStringLiteral("Arimo")) || QFontDatabase::hasFamily(QStringLiteral("Nimbus Sans"));
    if (!metricFace)
        GTEST_SKIP() << "no face with Arial's widths is installed";
    // Arial's H is 0.722 em wide, and its stems 0.08 em in from its sides: ten of them at a
    // 100-pixel em leave ink over 9 x 72.2 + 56 pixels. DejaVu Sans' H is 0.752 em.
    Wmf wmf;
    wmf.createFont(-100, 0, "Arial").selectObject(0).setBkMode(1).textOut(10, 10, "HHHHHHHHHH");
    const QRect ink = inkBox(render(placeable(wmf, 800, 140)));
    EXPECT_NEAR(ink.width(), 9 * 72.2 + 56, 10);
}

TEST(MetafileText, a_font_width_is_counted_against_the_average_of_the_lowercase_letters)
{
    const bool metricFace = QFontDatabase::hasFamily(QStringLiteral("Liberation Serif"))
        || QFontDatabase::hasFamily(QStringLiteral("Tinos")) || QFontDatabase::hasFamily(QStringLiteral("Nimbus Roman"));
    if (!metricFace)
        GTEST_SKIP() << "no face with Times New Roman's widths is installed";
    // Times New Roman's average character is 0.401 em: asked 80 pixels wide at a 100-pixel em,
    // its letters come out 1.99 times as wide as they are.
    auto inkWidth = [](int width) {
        Wmf wmf;
        Bytes font;
        font.i16(-100).i16(width).i16(0).i16(0).i16(400).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0);
        font.raw("Times New Roman").u8(0).padTo(2);
        wmf.record(0x02FB, font).selectObject(0).setBkMode(1).textOut(10, 10, "HHHHH");
        return inkBox(render(wmf.placeable(0, 0, 1000, 140, 96, 1))).width();
    };
    EXPECT_NEAR(double(inkWidth(80)) / inkWidth(0), 80 / 40.13, 0.06);
}

TEST(MetafileText, turned_text_in_a_picture_squashed_almost_flat_is_drawn_from_its_outlines)
{
    // A picture one pixel wide and 26,625 tall, asked for at 64 by 40: turned text would go
    // through Qt's glyph cache under a transform it cannot render (it copies from a glyph bitmap
    // that was never made). Outlines draw it instead.
    Emf emf(QRect(QPoint(0, 0), QPoint(26, 704500)));
    emf.createFont(1, -32, 0, QStringLiteral("Arial")).selectObject(1).setBkMode(1).setTextColor(kBlack);
    emf.setWorldTransform(QTransform().rotate(73) * QTransform::fromTranslate(0, 13000));
    emf.extTextOutW(0, 0, QStringLiteral("Bus"));
    const Result<Metafile::Rendering> r = Metafile::render(emf.finish(), { QRect(), QSize(64, 40), QRect() });
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.value().image.size(), QSize(64, 40));
}

class MetafileLoader : public ::testing::Test {
protected:
    QTemporaryDir dir;

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.path() + "/" + name;
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    static QByteArray sample()
    {
        Emf emf = Emf::pixels(240, 120);
        emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2).rectangle(0, 0, 20, 20);
        emf.createBrush(3, 0, kBlue).selectObject(3).rectangle(200, 100, 240, 120);
        return emf.finish();
    }
};

TEST_F(MetafileLoader, a_metafile_loads_by_its_content_whatever_its_name)
{
    const Result<Picture> load = PictureLoader::load(write("sign.bmp", sample()));
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.value().size(), QSize(240, 120));
    EXPECT_FALSE(load.value().isPartial());
    EXPECT_EQ(px(load.value().image(), 10, 10), px(kRed));
    EXPECT_EQ(px(load.value().image(), 220, 110), px(kBlue));

    Wmf wmf;
    wmf.createBrush(0, kGreen).selectObject(0).rectangle(0, 0, 100, 100);
    const Result<Picture> w = PictureLoader::load(write("board.wmf", wmf.placeable(0, 0, 1000, 500, 1000)));
    ASSERT_TRUE(w.ok());
    EXPECT_EQ(w.value().size(), QSize(96, 48));
    EXPECT_EQ(px(w.value().image(), 4, 4), px(kGreen));
}

TEST_F(MetafileLoader, the_sign_box_gets_only_the_top_left_corner_rendered)
{
    const QString path = write("a.emf", sample());
    const Result<Picture> part = PictureLoader::load(path, QSize(50, 30));
    ASSERT_TRUE(part.ok());
    EXPECT_EQ(part.value().size(), QSize(240, 120));
    EXPECT_TRUE(part.value().isPartial());
    EXPECT_EQ(part.value().image().size(), QSize(50, 30));
    const QImage whole = PictureLoader::load(path).value().image();
    EXPECT_EQ(part.value().image(), whole.copy(0, 0, 50, 30));

    Emf small = Emf::pixels(24, 24);
    const Result<Picture> tiny = PictureLoader::load(write("tiny.emf", small.finish()), QSize(50, 30));
    EXPECT_EQ(tiny.value().image().size(), QSize(24, 24));
    EXPECT_FALSE(tiny.value().isPartial());
}

TEST_F(MetafileLoader, broken_and_absurd_metafiles_are_classified_as_before)
{
    const QByteArray good = sample();
    EXPECT_EQ(PictureLoader::load(write("cut.emf", good.first(good.size() / 2))).kind(), Failure::Kind::NotAPicture);
    Wmf wmf;
    wmf.rectangle(0, 0, 10, 10);
    CpuClock clock;
    clock.start();
    EXPECT_EQ(PictureLoader::load(write("huge.wmf", wmf.placeable(0, 0, 30000, 30000, 1))).kind(), Failure::Kind::TooLarge);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(PictureLoader::load(write("short.wmf", good.first(30))).kind(), Failure::Kind::NotAPicture);
    // Clip art with soft shadows saved as WMF by an office suite runs to 50 MB; past 64 MB a file
    // is refused unread.
    Wmf small;
    small.rectangle(0, 0, 10, 10);
    const QByteArray smallFile = small.placeable(0, 0, 10, 10, 96);
    EXPECT_TRUE(PictureLoader::load(write("50mb.wmf", smallFile + QByteArray(50 << 20, '\0'))).ok());
    EXPECT_EQ(PictureLoader::load(write("65mb.wmf", smallFile + QByteArray(65 << 20, '\0'))).kind(),
              Failure::Kind::TooLarge);
    EXPECT_EQ(PictureLoader::load(dir.path() + "/none.wmf").kind(), Failure::Kind::NotFound);
    EXPECT_EQ(PictureLoader::load(dir.path()).kind(), Failure::Kind::IsAFolder);
}

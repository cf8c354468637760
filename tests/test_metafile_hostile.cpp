// Hostile files: truncated, lying and absurd records and pictures that would paint for minutes
// are drawn safely and soon; and the fuzz target's seeds stay the generator's files.
#include "metafile/Metafile.h"
#include "tests/CpuClock.h"
#include "tests/support/MetafileTesting.h"

#include <QDir>
#include <QFile>
#include <QTransform>

#include <limits>

#include <gtest/gtest.h>

using namespace mfw;
using namespace mftest;

TEST(MetafileHostile, truncated_files_and_records_running_past_the_end_give_no_picture)
{
    Emf emf = Emf::pixels(240, 120);
    emf.createBrush(1, 0, kRed).selectObject(1).rectangle(0, 0, 100, 100).polygon({ { 1, 1 }, { 5, 5 }, { 1, 9 } });
    const QByteArray whole = emf.finish();
    ASSERT_TRUE(Metafile::inspect(whole).ok());
    for (int cut : { 120, 150, int(whole.size()) - 30 })
        EXPECT_EQ(Metafile::render(whole.first(cut)).kind(), Failure::Kind::Malformed) << cut;
    EXPECT_EQ(Metafile::render(whole.first(60)).kind(), Failure::Kind::NotAPicture) << "not even a header";

    QByteArray lying = whole;
    lying[108 + 4] = char(0xF0); // the first record claims 240 bytes more than it has... and more
    lying[108 + 7] = char(0x7F);
    EXPECT_EQ(Metafile::render(lying).kind(), Failure::Kind::Malformed);
    QByteArray odd = whole;
    odd[108 + 4] = char(6); // a size that is not a whole number of 32-bit words
    odd[108 + 5] = 0;
    EXPECT_EQ(Metafile::render(odd).kind(), Failure::Kind::Malformed);

    Wmf wmf;
    wmf.createBrush(0, kRed).selectObject(0).rectangle(0, 0, 10, 10);
    const QByteArray wmfWhole = placeable(wmf, 100, 100);
    EXPECT_EQ(Metafile::render(wmfWhole.first(wmfWhole.size() - 9)).kind(), Failure::Kind::Malformed);
    QByteArray zero = wmfWhole;
    zero[22 + 18] = zero[22 + 19] = zero[22 + 20] = zero[22 + 21] = 0; // a record of no words
    EXPECT_EQ(Metafile::render(zero).kind(), Failure::Kind::Malformed);
}

TEST(MetafileHostile, records_whose_counts_lie_are_skipped_and_the_rest_still_draws)
{
    Emf emf = Emf::pixels(240, 120);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2);
    // A polygon of a billion points carrying three.
    emf.record(3, Bytes().zeros(16).u32(1000000000).i32(0).i32(0).i32(240).i32(0).i32(0).i32(120));
    // Poly-polygons whose counts add up to more than they say, or point past the record.
    emf.record(91, Bytes().zeros(16).u32(2).u32(3).u32(3).u32(3).i16(0).i16(0).i16(9).i16(9).i16(0).i16(9));
    emf.record(91, Bytes().zeros(16).u32(0x40000000).u32(3).u32(3));
    // Text whose string lies outside the record, and whose advances do.
    emf.record(84, Bytes().zeros(16).u32(1).f32(1).f32(1).i32(0).i32(0).u32(50).u32(5000).u32(0).zeros(16).u32(0));
    emf.record(82, Bytes().u32(3).i32(-20)); // a font cut short
    // Bitmaps that claim far more than they carry, or absurd sizes.
    Dib huge = makeDib(fourColours(), 24);
    huge.info[4] = huge.info[5] = huge.info[6] = char(0x7F); // width 8,355,711
    emf.stretchDIBits(QRect(0, 0, 240, 120), QRect(0, 0, 2, 2), huge);
    Dib rle = makeDib(fourColours(), 8);
    rle.info[4] = char(0x30);
    rle.info[5] = char(0x75); // 30,000 pixels square, run-length coded in a few bytes
    rle.info[8] = char(0x30);
    rle.info[9] = char(0x75);
    rle.info[16] = 1;
    emf.stretchDIBits(QRect(0, 0, 240, 120), QRect(0, 0, 30000, 30000), rle);
    emf.rectangle(100, 50, 140, 70);
    CpuClock clock;
    clock.start();
    const QImage image = render(emf.finish());
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(px(image, 120, 60), px(kRed));
    EXPECT_EQ(px(image, 10, 100), kWhitePx);

    Wmf wmf;
    wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kRed).selectObject(1);
    wmf.words(0x0324, { 30000, 0, 0, 100, 0, 0, 100 });        // polygon of 30,000 points carrying 3
    wmf.words(0x0538, { 2, 3, 3, 0, 0, 100, 0, 0, 100 });      // poly-polygon short of its points
    wmf.words(0x0A32, { 0, 0, 4000, 0 });                      // text of 4,000 bytes carrying none
    wmf.words(0x0521, { -5, 0, 0 });                           // text of a negative length
    wmf.record(0x0F43, Bytes().u32(SrcCopy).zeros(18).u32(40)); // a bitmap header cut short
    wmf.rectangle(40, 40, 60, 60);
    const QImage wmfImage = render(placeable(wmf, 100, 100));
    EXPECT_EQ(px(wmfImage, 50, 50), px(kRed));
    EXPECT_EQ(px(wmfImage, 10, 10), kWhitePx);
}

TEST(MetafileHostile, gdi_plus_records_that_lie_are_passed_over_and_the_rest_still_draws)
{
    EmfPlus plus;
    plus.header(false);
    plus.record(0x400D, 2, Bytes().u32(1000000000).f32(0).f32(0)); // lines of a billion points carrying one
    plus.record(0x400A, 0x8000, Bytes().u32(kPlusRed).u32(0x10000000)); // rectangles that are not there
    // An object in pieces that claims a gigabyte, and one whose pieces overrun what they claimed.
    plus.raw(Bytes().u16(0x4008).u16(0x8000 | 5 << 8 | 1).u32(80).u32(0x40000000).u32(64).zeros(64));
    plus.raw(Bytes().u16(0x4008).u16(0x8000 | 5 << 8 | 2).u32(80).u32(8).u32(64).zeros(64));
    // A path of a million points carrying two, a font whose name runs past its record, a picture
    // claiming 100,000 pixels square.
    plus.object(3, 3, Bytes().u32(0xDBC01002).u32(1000000).u32(0).f32(0).f32(0).f32(9).f32(9));
    plus.object(4, 6, Bytes().u32(0xDBC01002).f32(12).u32(2).u32(0).u32(0).u32(200).u16('A'));
    plus.object(5, 5, Bytes().u32(0xDBC01002).u32(1).i32(100000).i32(100000).i32(400000).u32(0x0026200A).u32(0).zeros(16));
    // A region nested a hundred levels deep.
    Bytes region;
    region.u32(0xDBC01002).u32(201);
    for (int i = 0; i < 100; ++i)
        region.u32(1);
    for (int i = 0; i < 101; ++i)
        region.u32(0x10000000).f32(0).f32(0).f32(200).f32(200);
    plus.object(6, 4, region).record(0x4013, 0x8000 | 6, Bytes().u32(kPlusBlack));
    plus.fillPath(3, 0).drawLines(7, { { 0, 0 }, { 200, 200 } }); // objects never made
    plus.drawString(4, kPlusBlack, QRectF(0, 0, 200, 200), QStringLiteral("x")).drawImage(5, QRectF(0, 0, 9, 9), QRectF(0, 0, 200, 200));
    plus.setWorldTransform(QTransform(1e30, 0, 0, 1e30, 0, 0)).fillRects(kPlusBlack, { QRectF(0, 0, 1, 1) });
    plus.resetWorldTransform().fillRects(kPlusGreen, { QRectF(100, 100, 20, 20) });
    CpuClock clock;
    clock.start();
    const QImage image = render(plusOnly(plus));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(px(image, 110, 110), px(kGreen));
    EXPECT_EQ(px(image, 20, 20), kWhitePx);
    EXPECT_EQ(px(image, 180, 180), kWhitePx);
}

TEST(MetafileHostile, text_thousands_of_pixels_tall_is_drawn_from_its_outlines)
{
    // A font hundreds of times the picture's height, in a window that stretches it further:
    // FreeType cannot render such a glyph, and Qt's glyph cache would read from nothing.
    Wmf wmf;
    wmf.setMapMode(8).setWindowExt(100, 25000).setViewportExt(100, 100);
    wmf.createFont(18000, 0, "Times New Roman").selectObject(0).setTextColor(kRed).textOut(0, 0, "W");
    wmf.createPen(5, 0, 0).selectObject(1).createBrush(0, kBlue).selectObject(2).rectangle(0, 20000, 100, 25000);
    const QImage image = render(wmf.standard());
    EXPECT_EQ(px(image, 50, 90), px(kBlue)) << "what follows still draws";
}

TEST(MetafileHostile, tables_stacks_and_paths_stay_bounded_and_quick)
{
    CpuClock clock;
    clock.start();

    // 65,535 objects created and never deleted, in a table declared that large.
    Wmf objects;
    for (int i = 0; i < 65535; ++i)
        objects.createBrush(0, kRed);
    objects.selectObject(65534).rectangle(0, 0, 10, 10);
    const QImage a = render(objects.placeable(0, 0, 20, 20, 96, 65535));
    EXPECT_EQ(px(a, 5, 5), px(kRed));

    // A hundred thousand saves, then one restore to the first.
    Emf saves = Emf::pixels(48, 48);
    saves.createBrush(1, 0, kBlue).selectObject(1).saveDC().createBrush(2, 0, kRed).selectObject(2);
    for (int i = 0; i < 100000; ++i)
        saves.saveDC();
    saves.restoreDC(1).rectangle(0, 0, 20, 20);
    const QImage b = render(saves.finish());
    EXPECT_EQ(px(b, 10, 10), px(kBlue));

    // A path of half a million segments, and handles beyond the table.
    Emf path = Emf::pixels(48, 48);
    path.beginPath();
    for (int i = 0; i < 100000; ++i)
        path.polyline16({ { 0, 0 }, { 40, 1 }, { 1, 40 }, { 40, 40 }, { 0, 0 } });
    path.endPath().fillPath();
    path.createBrush(60000, 0, kRed).selectObject(60000).deleteObject(-1);
    path.createBrush(3, 0, kGreen).selectObject(3).rectangle(30, 30, 40, 40);
    const QImage c = render(path.finish(16));
    EXPECT_EQ(px(c, 35, 35), px(kGreen));

    EXPECT_LT(clock.elapsed(), 10000);
}

TEST(MetafileHostile, a_file_that_would_paint_for_minutes_stops_within_its_budget)
{
    // 300,000 rectangles over the whole of a 2048-pixel picture: 1.2 trillion pixels if painted.
    Emf emf = Emf::pixels(2040, 2040);
    emf.createBrush(1, 0, kRed).selectObject(1).createBrush(2, 0, kBlue);
    for (int i = 0; i < 300000; ++i)
        emf.rectangle(-5, -5, 2100, 2100);
    const QByteArray file = emf.finish();
    CpuClock clock;
    clock.start();
    const Result<Metafile::Rendering> r = Metafile::render(file);
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(px(r.value().image, 1000, 1000), px(kRed)) << "what was painted before it stopped stays";

    // A plain WMF without a window is measured by playing it: that pass has a budget too.
    Wmf wmf;
    wmf.createFont(-16, 0, "Arial").selectObject(0);
    for (int i = 0; i < 100000; ++i)
        wmf.textOut(i % 500, i % 300, "Kururin");
    const QByteArray plain = wmf.standard();
    clock.restart();
    const Result<Metafile::Header> header = Metafile::inspect(plain);
    const Result<Metafile::Rendering> measured = Metafile::render(plain);
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_TRUE(header.ok());
    EXPECT_TRUE(measured.ok());
}

// Filled area alone is a poor measure of Qt's work: before the budget counted edges, strokes,
// characters and clip operations, each of these took between 3 and 14 seconds.
TEST(MetafileHostile, edges_strokes_characters_and_clip_operations_count_against_the_budget)
{
    auto timed = [](const QByteArray& file) {
        CpuClock clock;
        clock.start();
        EXPECT_TRUE(Metafile::render(file).ok());
        return clock.elapsed();
    };
    QList<QPoint> zigzag; // 16,000 segments criss-crossing the picture
    for (int i = 0; i < 16000; ++i)
        zigzag.append(QPoint((i * 37) % 960, (i * 91) % 960));
    const QString line(16000, QChar('W'));
    const QList<int> advances(16000, 1);

    Emf intoPath = Emf::pixels(960, 960);
    intoPath.createFont(1, -12, 0, "Arial").selectObject(1).beginPath();
    for (int i = 0; i < 200; ++i)
        intoPath.extTextOutW(i, i, line, 0, {}, advances);
    EXPECT_LT(timed(intoPath.endPath().fillPath().finish()), 4000) << "text into a path";

    Emf characters = Emf::pixels(960, 960);
    characters.createFont(1, -12, 0, "Arial").selectObject(1);
    for (int i = 0; i < 200; ++i)
        characters.extTextOutW(i, i, line, 0, {}, advances);
    EXPECT_LT(timed(characters.finish()), 4000) << "text placed character by character";

    Emf crossing = Emf::pixels(960, 960);
    crossing.createBrush(1, 2, kRed, 5).selectObject(1);
    for (int i = 0; i < 60; ++i)
        crossing.polygon(zigzag);
    EXPECT_LT(timed(crossing.finish()), 4000) << "self-crossing polygons";

    Emf wide = Emf::pixels(960, 960);
    wide.createPen(1, 0, 30, kBlue).selectObject(1);
    for (int i = 0; i < 60; ++i)
        wide.polyline(zigzag);
    EXPECT_LT(timed(wide.finish()), 4000) << "wide strokes";

    Emf clips = Emf::pixels(960, 960);
    for (int i = 0; i < 20000; ++i)
        clips.beginPath().ellipse(i % 900, 0, i % 900 + 50, 50).endPath().selectClipPath(i % 4 + 1);
    EXPECT_LT(timed(clips.finish()), 4000) << "clip path combinations";

    // A GDI+ clip of 100,000 points, set once, is paid for again at every fill it limits.
    QList<QPointF> jagged;
    QList<int> types;
    for (int i = 0; i < 100000; ++i) {
        jagged.append(QPointF((i * 37) % 960, (i * 91) % 960));
        types.append(i ? 1 : 0);
    }
    EmfPlus plus;
    plus.header(false).object(0, 3, EmfPlus::path(jagged, types)).setClipPath(0, 0);
    for (int i = 0; i < 20000; ++i)
        plus.fillRects(kPlusRed, { QRectF(i % 900, i % 900, 2, 2) });
    EXPECT_LT(timed(plusOnly(plus, 960, 960)), 4000) << "fills under a GDI+ clip of many points";
}

TEST(MetafileHostile, absurd_transforms_and_coordinates_draw_nothing_rather_than_hang)
{
    Emf emf = Emf::pixels(96, 96);
    emf.createPen(1, 1, 0, kBlack).selectObject(1).createBrush(2, 0, kRed).selectObject(2);
    emf.setWorldTransform(QTransform(1e30, 0, 0, 1e30, 0, 0));       // refused
    emf.record(35, Bytes().f32(std::numeric_limits<float>::quiet_NaN()).zeros(20)); // refused
    emf.setMapMode(8).setWindowExt(1, 1).setViewportExt(2000000000, 2000000000);
    emf.ellipse(-30000, -30000, 30000, 30000); // far beyond any rasterizer: skipped
    emf.extCreatePen(3, 0x10000 | 7, 1, kBlack).selectObject(3); // a user style with no entries
    emf.setMapMode(1).polyline16({ { 0, 0 }, { 32000, 32000 } });
    emf.createFont(4, -2000000000, 0, "Arial").selectObject(4).extTextOutW(0, 0, "huge");
    emf.createBrush(5, 0, kGreen).selectObject(5).rectangle(40, 40, 60, 60);
    CpuClock clock;
    clock.start();
    const QImage image = render(emf.finish());
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(px(image, 50, 50), px(kGreen));
    EXPECT_EQ(px(image, 80, 20), kWhitePx);
}

TEST(MetafileHostile, a_mask_blit_from_a_source_corner_at_the_far_end_of_the_coordinates_is_passed_over)
{
    // Nothing of the bitmap is there to draw, and the distance to the mask's corner does not fit
    // an int.
    Emf far = Emf::pixels(240, 120);
    far.record(78, maskedBlits(4, QPoint(std::numeric_limits<int>::min(), 0)).first);
    EXPECT_TRUE(Metafile::render(far.finish()).ok());
}

// The fuzz target's seeds are this generator's files; they are checked here so they cannot drift
// from what the tests draw. KURURIN_WRITE_METAFILE_SEEDS=1 rewrites them.
TEST(MetafileSeeds, the_fuzz_corpus_holds_the_generators_files)
{
    QList<std::pair<QString, QByteArray>> seeds;
    {
        Wmf wmf;
        wmf.createPen(0, 2, kBlue).selectObject(0).createBrush(2, kRed, 4).selectObject(1);
        wmf.setMapMode(8).setWindowOrg(0, 0).setWindowExt(200, 100).setBkMode(2).setBkColor(kYellow);
        wmf.saveDC().intersectClipRect(0, 0, 150, 100).rectangle(5, 5, 60, 40).restoreDC(-1);
        wmf.setPolyFillMode(2).polyPolygon({ { { 10, 50 }, { 60, 50 }, { 60, 95 } }, { { 20, 60 }, { 40, 60 }, { 30, 90 } } });
        wmf.pie(70, 5, 120, 55, { 120, 30 }, { 95, 5 }).chord(130, 5, 180, 55, { 130, 30 }, { 180, 30 });
        wmf.roundRect(70, 60, 120, 95, 10, 10).moveTo(130, 60).lineTo(190, 95).polyline({ { 130, 95 }, { 190, 60 } });
        wmf.createFont(-16, 128, sjis({ 0x82, 0x6C, 0x82, 0x72, 0x20, 0x83, 0x53, 0x83, 0x56, 0x83, 0x62, 0x83, 0x4E })).selectObject(2);
        wmf.setTextColor(kBlack).setTextAlign(24).extTextOut(5, 98, sjis({ 0x8D, 0x86, 0x8E, 0x94 }), 4, QRect(0, 80, 60, 20), { 16, 0, 16, 0 });
        wmf.textOut(100, 98, "Go");
        wmf.stretchDib(QRect(150, 60, 40, 30), QRect(0, 0, 2, 2), makeDib(fourColours(), 8));
        wmf.createPatternBrush(makeDib(fourColours(), 4)).selectObject(3).deleteObject(1).ellipse(150, 5, 195, 50);
        seeds.append({ QStringLiteral("shapes_text_dib.wmf"), wmf.placeable(0, 0, 2000, 1000, 1000) });
    }
    {
        Wmf wmf;
        wmf.setMapMode(8).setWindowExt(64, 64).createBrush(0, kGreen).selectObject(0);
        wmf.dibBitBlt(QPoint(2, 2), QRect(0, 0, 2, 2), makeDib(fourColours(), 1), SrcAnd);
        wmf.dibStretchBlt(QRect(10, 10, 40, 40), QRect(0, 0, 2, 2), makeDib(fourColours(), 24, true), SrcPaint);
        wmf.patBlt(QRect(50, 50, 10, 10), PatCopy).setViewportOrg(5, 5).setViewportExt(32, 32).ellipse(0, 0, 64, 64);
        seeds.append({ QStringLiteral("blits.wmf"), wmf.standard() });
    }
    {
        Emf emf = Emf::pixels(240, 120);
        emf.comment(QByteArray("EMF+") + QByteArray(20, '\x01'));
        emf.createPen(1, 0, 3, kBlue).selectObject(1).createBrush(2, 0, kRed).selectObject(2);
        emf.polygon16({ { 10, 10 }, { 50, 10 }, { 30, 50 } }).polyPolygon16({ { { 60, 10 }, { 100, 10 }, { 80, 50 } }, { { 70, 20 }, { 90, 20 }, { 80, 40 } } });
        emf.polyBezier16({ { 110, 50 }, { 110, 10 }, { 150, 10 }, { 150, 50 } }).moveTo(160, 50).polyBezierTo({ { 160, 10 }, { 200, 10 }, { 200, 50 } });
        emf.polyline({ { 10, 60 }, { 230, 60 } }).polyPolyline16({ { { 10, 62 }, { 230, 62 } } });
        emf.saveDC().setWorldTransform(QTransform(0.8, 0.6, -0.6, 0.8, 40, 60)).ellipse(0, 0, 40, 20);
        emf.modifyWorldTransform(QTransform::fromScale(0.5, 0.5), 3).rectangle(0, 0, 40, 40).restoreDC(-1);
        emf.beginPath().moveTo(100, 70).lineTo(140, 70).lineTo(120, 110).closeFigure().endPath().strokeAndFillPath();
        emf.beginPath().ellipse(150, 70, 190, 110).endPath().selectClipPath(5).createBrush(3, 2, kGreen, 5).selectObject(3).rectangle(140, 60, 200, 120);
        emf.selectClipRects({}).setMapMode(2).rectangle(500, -200, 600, -300).setMapMode(1);
        emf.createFont(4, -18, 128, QStringLiteral("ＭＳ ゴシック")).selectObject(4).setBkMode(1).extTextOutW(5, 90, QStringLiteral("くるりん"), 0, {}, { 18, 18, 18, 18 });
        emf.stretchDIBits(QRect(200, 70, 30, 30), QRect(0, 0, 2, 2), makeDib(fourColours(), 32));
        emf.bitBlt(QRect(205, 105, 10, 10), QPoint(0, 0), {}, PatCopy);
        seeds.append({ QStringLiteral("shapes_paths_text.emf"), emf.finish() });
    }

    {
        Emf emf = Emf::pixels(240, 120);
        emf.createPalette(1, { qt(kRed), qt(kGreen), qt(kBlue) }).selectPalette(1);
        emf.stretchDIBits(QRect(0, 0, 40, 20), QRect(0, 0, 4, 2),
                          handMadeDib(4, 2, 8, 1, quads({ kRed, kGreen, kBlue, kYellow }), sjis({ 2, 0, 2, 1, 0, 0, 0, 4, 2, 3, 2, 3, 0, 0, 0, 1 }), 4));
        emf.stretchDIBits(QRect(50, 0, 40, 20), QRect(0, 0, 4, 2),
                          handMadeDib(4, 2, 4, 2, quads({ kRed, kGreen, kBlue, kYellow }), sjis({ 4, 0x01, 0, 0, 0, 4, 0x23, 0x23, 0, 0, 0, 1 }), 4));
        emf.stretchDIBits(QRect(100, 0, 40, 20), QRect(0, 0, 2, 1),
                          handMadeDib(2, 1, 16, 3, Bytes().u32(0xF800).u32(0x07E0).u32(0x001F).d, sjis({ 0x00, 0xF8, 0x1F, 0x00 }), 0));
        emf.stretchDIBits(QRect(150, 0, 40, 20), QRect(0, 0, 2, 1), handMadeDib(2, 1, 8, 0, sjis({ 2, 0, 0, 0 }), sjis({ 0, 1, 0, 0 }), 2), SrcCopy, 1);
        emf.createBrush(2, 0, 0x01000001).selectObject(2).rectangle(0, 30, 40, 60);
        emf.alphaBlend(QRect(0, 30, 40, 30), QRect(0, 0, 1, 1), handMadeDib(1, 1, 32, 0, {}, sjis({ 0x00, 0x00, 0x80, 0x80 }), 0), 200);
        emf.selectClipRects({ QRect(50, 30, 20, 20), QRect(80, 30, 20, 20) }).rectangle(45, 25, 110, 60).selectClipRects({});
        emf.polyDraw({ { 120, 30 }, { 160, 30 }, { 160, 60 }, { 170, 40 }, { 180, 70 }, { 190, 30 } }, { 6, 2, 2 | 1, 4, 4, 4 });
        emf.moveTo(130, 70).arcTo(130, 70, 170, 110, { 170, 90 }, { 150, 70 }).lineTo(150, 110);
        emf.values(41, { 200, 90, 20 }).record(0, Bytes()); // ANGLEARC cut short, then an unknown record
        emf.setPixel(5, 110, kBlue).createFont(3, -16, 128, QStringLiteral("@ＭＳ ゴシック")).selectObject(3);
        emf.extTextOutA(5, 90, sjis({ 0x82, 0xAD, 0x82, 0xE9, 0x82, 0xE8 }));
        seeds.append({ QStringLiteral("bitmaps_regions_palette.emf"), emf.finish() });
    }

    {
        Emf emf = Emf::pixels(240, 120);
        emf.gradientFill({ { { 0, 0 }, kRed }, { { 100, 40 }, kBlue }, { { 50, 110 }, kGreen } }, 0, { 0, 1 });
        emf.gradientFill({ { { 0, 50 }, kRed }, { { 100, 50 }, kGreen }, { { 50, 110 }, kBlue } }, 2, { 0, 1, 2 });
        emf.createBrush(1, 0, kGreen).selectObject(1).fillRegion({ QRect(110, 0, 20, 20), QRect(130, 20, 20, 20) }, 1);
        emf.fillRegion({ QRect(110, 50, 20, 20) });
        emf.transparentBlt(QRect(160, 0, 40, 40), QRect(0, 0, 2, 2), makeDib(fourColours(), 24), kYellow);
        const Dib dib = makeDib(fourColours(), 8);
        emf.setDIBitsToDevice(QPoint(210, 0), QRect(0, 0, 2, 2), dib, 0, 2);
        emf.setDIBitsToDevice(QPoint(220, 0), QRect(0, 0, 2, 2), { dib.info, dib.bits.first(4) }, 0, 1);
        seeds.append({ QStringLiteral("gradients_regions.emf"), emf.finish() });
    }
    {
        Wmf wmf;
        wmf.createFont(-20, 2, "Symbol").selectObject(0).textOut(0, 0, "abgD");
        wmf.createFont(-20, 1, "Wingdings").selectObject(1).textOut(0, 30, sjis({ 0x6E, 0xFC, 0x81, 0xE0 }));
        wmf.setDibToDev(QPoint(60, 10), QRect(0, 0, 2, 2), makeDib(fourColours(), 4), 0, 2);
        seeds.append({ QStringLiteral("symbols_no_window.wmf"), wmf.standard() });
    }

    {
        Wmf wmf;
        wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kRed).selectObject(1);
        wmf.record(0x06FF, regionRecord()).createBrush(0, kGreen);
        wmf.words(0x0228, { 2, 3 }).words(0x012B, { 2 }).words(0x0429, { 2, 3, 4, 6 }).words(0x012A, { 2 });
        wmf.words(0x012C, { 2 }).rectangle(0, 0, 100, 100);
        seeds.append({ QStringLiteral("regions.wmf"), wmf.placeable(0, 0, 100, 100, 96, 4) });
    }
    {
        const auto [mask, plg] = maskedBlits(6);
        mfw::Bytes text;
        text.zeros(16).u32(1).f32(1).f32(1).u32(2);
        text.i32(10).i32(60).u32(2).u32(120).u32(0).i32(0).i32(0).i32(0).i32(0).u32(0);
        text.i32(10).i32(90).u32(2).u32(124).u32(0x2).i32(120).i32(80).i32(200).i32(110).u32(0);
        for (QChar c : QStringLiteral("ABCD"))
            text.u16(c.unicode());
        Emf emf = Emf::pixels(240, 120);
        emf.createFont(1, -24, 0, QStringLiteral("Arial")).selectObject(1).setBkColor(kYellow);
        emf.record(78, mask).record(79, plg).record(97, text);
        seeds.append({ QStringLiteral("blts_polytext.emf"), emf.finish() });
    }
    {
        QImage mono(9, 3, QImage::Format_RGB32);
        mono.fill(Qt::white);
        mono.setPixel(4, 1, qRgb(0, 0, 0));
        Wmf wmf;
        wmf.setTextColor(kRed).setBkColor(kBlue);
        wmf.stretchBlt16(QRect(0, 0, 90, 30), QRect(0, 0, 9, 3), Wmf::bitmap16(mono, true));
        wmf.bitBlt16(QPoint(0, 40), QRect(0, 0, 9, 3), Wmf::bitmap16(mono, false), SrcInvert);
        seeds.append({ QStringLiteral("device_bitmaps.wmf"), wmf.placeable(0, 0, 100, 50, 96) });
    }
    {
        Emf emf = Emf::pixels(120, 120);
        emf.extCreatePen(1, 0x00010000 | 0x2000 | 1, 12, kBlue).selectObject(1).createBrush(2, 0, kGreen).selectObject(2);
        emf.beginPath().moveTo(10, 10).lineTo(100, 30).lineTo(20, 100).endPath().widenPath().strokeAndFillPath();
        emf.beginPath().ellipse(40, 40, 110, 110).endPath().widenPath().selectClipPath(5).rectangle(0, 0, 120, 120);
        seeds.append({ QStringLiteral("widened_paths.emf"), emf.finish() });
    }
    {
        // A WMF drawn from the EMF it carries in chunks; its own records draw something else.
        Emf emf = Emf::pixels(100, 50);
        emf.createPen(1, 0, 3, kBlue).selectObject(1).createBrush(2, 0, kGreen).selectObject(2).ellipse(5, 5, 95, 45);
        Wmf wmf;
        wmf.embedEmf(Wmf::emfChunks(emf.finish(), 96, 1));
        wmf.createBrush(0, kRed).selectObject(0).rectangle(10, 10, 90, 40);
        seeds.append({ QStringLiteral("embedded_emf.wmf"), wmf.placeable(0, 0, 100, 50, 96) });
    }

    {
        EmfPlus plus;
        plus.header(false);
        plus.fillRects(kPlusRed, { QRectF(10, 10, 40, 40) }).object(0, 1, EmfPlus::hatchBrush(4, kPlusBlack, kPlusGreen));
        plus.object(1, 3, EmfPlus::path({ { 60, 10 }, { 100, 10 }, { 80, 30 }, { 90, 40 }, { 60, 50 } }, { 0, 1, 3, 3, 0x83 }));
        plus.fillPath(1, 0).object(2, 2, EmfPlus::pen(3, kPlusBlue, 0, 1)).drawPath(1, 2);
        plus.rotateWorldTransform(30, false).drawLines(2, { { 10, 60 }, { 110, 60 }, { 60, 90 } }).resetWorldTransform();
        plus.save(3).setClipRect(1, QRectF(0, 0, 60, 120)).fillClosedCurve(kPlusGreen, 0.5f, { { 20, 70 }, { 80, 80 }, { 40, 110 } }).restore(3);
        plus.object(3, 6, EmfPlus::font(12, 3, QStringLiteral("Times New Roman"), 1));
        plus.drawString(3, kPlusBlack, QRectF(0, 90, 120, 30), QStringLiteral("GDI+ text that wraps"));
        plus.object(4, 1, EmfPlus::linearGradient(QRectF(0, 0, 120, 10), kPlusRed, kPlusBlue)).fillRectsWith(4, { QRectF(0, 0, 120, 8) });
        seeds.append({ QStringLiteral("gdiplus_only.emf"), plusOnly(plus, 120, 120) });
    }
    {
        EmfPlus plus;
        plus.header(false);
        plus.setClipRect(0, QRectF(0, 0, 80, 80)).beginContainer(1).setClipRect(0, QRectF(40, 40, 80, 80));
        plus.fillPie(kPlusRed, 30, 200, QRectF(0, 20, 120, 60)).endContainer(1).resetClip();
        plus.save(2).setPageTransform(6, 1).beginContainer(3, QRectF(5, 5, 20, 20), QRectF(0, 0, 50, 50), 2);
        plus.object(0, 3, EmfPlus::path({ { 0, 0 }, { 10, 0 }, { 10, 10 }, { 5, 5 }, { 15, 5 }, { 15, 15 } }, { 0, 1, 0x81, 0, 1, 0x81 }));
        plus.setClipPath(0, 0).fillRects(kPlusBlue, { QRectF(0, 0, 20, 20) }).endContainer(3).restore(2);
        plus.object(1, 2, EmfPlus::pen(2, kPlusBlack, 0, 3)).drawLines(1, { { 0, 110 }, { 120, 100 } });
        plus.objectInPieces(2, 5, EmfPlus::indexedImage(QSize(3, 2), 4, { 0x00FFFFFF, kPlusGreen, kPlusBlue }, true,
                                                        { QByteArray("\x01\x20", 2), QByteArray("\x12\x00", 2) }).d, 3, false, true);
        plus.drawImage(2, QRectF(0, 0, 3, 2), QRectF(70, 70, 45, 30));
        seeds.append({ QStringLiteral("gdiplus_containers.emf"), plusOnly(plus, 120, 120) });
    }

    const QDir corpus(QStringLiteral(KURURIN_METAFILE_CORPUS));
    const bool rewrite = qEnvironmentVariableIntValue("KURURIN_WRITE_METAFILE_SEEDS") == 1;
    for (const auto& [name, bytes] : seeds) {
        EXPECT_LE(bytes.size(), 4096) << qPrintable(name) << " must fit the fuzzer's length limit";
        const Result<Metafile::Rendering> r = Metafile::render(bytes);
        EXPECT_TRUE(r.ok()) << qPrintable(name);
        int ink = 0;
        inkBox(r.value().image, &ink);
        EXPECT_GT(ink, 500) << qPrintable(name) << " draws something";
        QFile f(corpus.filePath(name));
        if (rewrite) {
            QDir().mkpath(corpus.path());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
            continue;
        }
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(f.fileName());
        EXPECT_EQ(f.readAll(), bytes) << qPrintable(name) << " differs from the generator's";
    }
}

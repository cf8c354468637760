// The EMF player: 32-bit Windows' records, drawn where and as GDI draws them.
#include "tests/support/MetafileTesting.h"

#include <QBuffer>
#include <QTransform>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace mfw;
using namespace mftest;

TEST(EmfPlayback, the_sixteen_and_thirty_two_bit_poly_records_draw_alike)
{
    Emf emf = Emf::pixels(240, 120);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2);
    emf.polygon16({ { 10, 10 }, { 50, 10 }, { 30, 50 } });
    emf.polygon({ { 60, 10 }, { 100, 10 }, { 80, 50 } });
    emf.polyPolygon16({ { { 110, 10 }, { 150, 10 }, { 150, 50 }, { 110, 50 } },
                        { { 160, 10 }, { 200, 10 }, { 200, 50 }, { 160, 50 } } });
    emf.extCreatePen(3, 0x10000 | 0x200, 6, kBlue).selectObject(3); // geometric, flat ends, 6 wide
    emf.polyline16({ { 10, 62 }, { 110, 62 } });
    emf.polyline({ { 120, 62 }, { 225, 62 } });
    // A hump from (10, 115) to (110, 115) over control points at y = 75: its top is at
    // (60, 85), and a quarter of the way along it passes (25.6, 92.5).
    emf.polyBezier16({ { 10, 115 }, { 10, 75 }, { 110, 75 }, { 110, 115 } });
    emf.moveTo(120, 115).polyBezierTo16({ { 120, 75 }, { 220, 75 }, { 220, 115 } });
    emf.polyPolyline16({ { { 232, 70 }, { 232, 119 } } });
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 30, 20), px(kRed));
    EXPECT_EQ(px(image, 80, 20), px(kRed));
    EXPECT_EQ(px(image, 130, 30), px(kRed));
    EXPECT_EQ(px(image, 180, 30), px(kRed));
    EXPECT_EQ(px(image, 155, 30), kWhitePx);
    EXPECT_EQ(px(image, 60, 60), px(kBlue));
    EXPECT_EQ(px(image, 60, 66), kWhitePx) << "six pixels wide, no more";
    EXPECT_EQ(px(image, 180, 64), px(kBlue));
    EXPECT_EQ(px(image, 111, 62), kWhitePx) << "flat ends stop at the end point";
    EXPECT_EQ(px(image, 60, 85), px(kBlue)) << "the curve's top";
    EXPECT_EQ(px(image, 26, 92), px(kBlue));
    EXPECT_EQ(px(image, 170, 85), px(kBlue));
    EXPECT_EQ(px(image, 60, 76), kWhitePx) << "not the control polygon";
    EXPECT_EQ(px(image, 60, 100), kWhitePx);
    EXPECT_EQ(px(image, 232, 100), px(kBlue));
}

// The header's bounds, in device pixels, inclusive.
QByteArray withBounds(QByteArray file, QRect bounds)
{
    const qint32 values[] = { bounds.left(), bounds.top(), bounds.right(), bounds.bottom() };
    for (int i = 0; i < 4; ++i)
        qToLittleEndian(values[i], file.data() + 8 + 4 * i);
    return file;
}

// FrameRgn round one region, and InvertRgn over part of a black rectangle.
QImage framedAndInvertedRegions()
{
    // A region's data: its header, then its rectangles.
    const auto regionData = [](QRect r) {
        Bytes d;
        d.u32(32).u32(1).u32(1).u32(16).zeros(16).i32(r.left()).i32(r.top()).i32(r.right() + 1).i32(r.bottom() + 1);
        return d;
    };
    Emf emf = Emf::pixels(240, 120);
    emf.createBrush(1, 0, kGreen).createBrush(2, 0, kBlack).selectObject(2);
    const Bytes framed = regionData(QRect(10, 10, 60, 40));
    emf.record(72, Bytes().zeros(16).u32(quint32(framed.d.size())).u32(1).i32(5).i32(3).raw(framed.d));
    emf.createPen(3, 5, 0, 0).selectObject(3).rectangle(100, 10, 200, 60);
    const Bytes inverted = regionData(QRect(150, 10, 50, 50));
    emf.record(73, Bytes().zeros(16).u32(quint32(inverted.d.size())).raw(inverted.d));
    return render(emf.finish());
}

TEST(EmfPlayback, regions_are_framed_inside_their_edges)
{
    const QImage image = framedAndInvertedRegions();
    EXPECT_EQ(px(image, 12, 30), px(kGreen));  // left side, 5 wide
    EXPECT_EQ(px(image, 40, 11), px(kGreen));  // top, 3 tall
    EXPECT_EQ(px(image, 16, 30), kWhitePx);    // inside the border
    EXPECT_EQ(px(image, 40, 14), kWhitePx);
}

TEST(EmfPlayback, an_inverted_region_turns_black_white)
{
    const QImage image = framedAndInvertedRegions();
    EXPECT_EQ(px(image, 120, 30), px(kBlack));
    EXPECT_EQ(px(image, 170, 30), kWhitePx) << "black inverted";
}

TEST(EmfPlayback, a_drawing_placed_by_its_bounds_away_from_the_frame_is_shown_whole)
{
    // The frame sits at the origin, 100 pixels square; everything is drawn 300 pixels away, and
    // the bounds say so.
    Emf emf = Emf::pixels(96, 96);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2);
    emf.polygon({ { 300, 300 }, { 420, 300 }, { 420, 420 }, { 300, 420 } });
    const QByteArray away = withBounds(emf.finish(), QRect(QPoint(300, 300), QPoint(419, 419)));
    const QImage image = render(away);
    EXPECT_EQ(image.size(), QSize(120, 120));
    EXPECT_EQ(px(image, 60, 60), px(kRed));
    EXPECT_EQ(px(image, 2, 117), px(kRed));

    // Bounds that are a speck or a sliver, or that mostly agree with the frame, leave the frame
    // as it is.
    for (const QRect& bounds : { QRect(300, 300, 10, 10), QRect(0, 0, 1, 26625), QRect(20, 20, 96, 96) }) {
        const QImage framed = render(withBounds(emf.finish(), bounds));
        EXPECT_EQ(framed.size(), QSize(96, 96)) << bounds.x();
        EXPECT_EQ(px(framed, 60, 60), kWhitePx) << bounds.x();
    }
}

TEST(EmfPlayback, paths_fill_stroke_and_clip)
{
    Emf emf = Emf::pixels(240, 120);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kGreen).selectObject(2);
    emf.beginPath().moveTo(10, 10).lineTo(90, 10).lineTo(50, 90).closeFigure().endPath().fillPath();
    // A square path as the clip; a rectangle over all of it shows only inside.
    emf.beginPath().rectangle(120, 20, 160, 60).endPath().selectClipPath(5);
    emf.createBrush(3, 0, kRed).selectObject(3).rectangle(100, 0, 240, 120);
    emf.selectClipRects({}); // no region: back to no clip
    emf.createPen(4, 0, 8, kBlue).selectObject(4);
    emf.beginPath().moveTo(170, 100).lineTo(230, 100).endPath().strokePath();
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 50, 30), px(kGreen));
    EXPECT_EQ(px(image, 15, 80), kWhitePx);
    EXPECT_EQ(px(image, 140, 40), px(kRed));
    EXPECT_EQ(px(image, 110, 40), kWhitePx) << "outside the clip path";
    EXPECT_EQ(px(image, 200, 80), kWhitePx);
    EXPECT_EQ(px(image, 200, 103), px(kBlue));
    EXPECT_EQ(px(image, 200, 107), kWhitePx);
}

TEST(EmfPlayback, a_move_inside_a_path_starts_a_new_figure)
{
    // Three squares in one path, each a move, a curve along its top edge, two lines and a close,
    // as office programs write shapes of many figures. Joined into one figure by lines between
    // them, the alternate fill would also paint the triangle between their starting corners.
    Emf emf = Emf::pixels(240, 240);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kGreen).selectObject(2);
    emf.beginPath();
    for (const QPoint corner : { QPoint(10, 10), QPoint(90, 70), QPoint(170, 10) }) {
        const int x = corner.x();
        const int y = corner.y();
        emf.moveTo(x, y).polyBezierTo16({ { x + 20, y }, { x + 40, y }, { x + 60, y } });
        emf.lineTo(x + 60, y + 40).lineTo(x, y + 40).closeFigure();
    }
    emf.endPath().fillPath();
    // Two open curves stroked: nothing runs from the end of one to the start of the other.
    emf.createPen(3, 0, 3, kBlue).selectObject(3);
    emf.beginPath();
    emf.moveTo(10, 180).polyBezierTo16({ { 30, 180 }, { 50, 180 }, { 70, 180 } });
    emf.moveTo(170, 180).polyBezierTo16({ { 190, 180 }, { 210, 180 }, { 230, 180 } });
    emf.endPath().strokePath();
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 40, 30), px(kGreen));
    EXPECT_EQ(px(image, 120, 90), px(kGreen));
    EXPECT_EQ(px(image, 200, 30), px(kGreen));
    EXPECT_EQ(px(image, 90, 30), kWhitePx) << "between the figures";
    EXPECT_EQ(px(image, 40, 180), px(kBlue));
    EXPECT_EQ(px(image, 200, 180), px(kBlue));
    EXPECT_EQ(px(image, 120, 180), kWhitePx) << "between the curves";
}

TEST(EmfPlayback, a_widened_path_fills_as_the_outline_of_its_stroke)
{
    // A 20-pixel pen widens the path of a square's edges; filling it paints a band along the
    // edges and leaves the middle, with no hole where the band turns the corner.
    Emf emf = Emf::pixels(200, 200);
    emf.createPen(1, 0, 20, kBlue).selectObject(1).createBrush(2, 0, kGreen).selectObject(2);
    emf.beginPath().rectangle(40, 40, 160, 160).endPath().widenPath().fillPath();
    // With a pen of one pixel GDI leaves the path alone: the filled square shows.
    emf.createPen(3, 0, 1, kBlue).selectObject(3);
    emf.beginPath().rectangle(180, 180, 195, 195).endPath().widenPath().fillPath();
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 100, 40), px(kGreen)) << "on the edge";
    EXPECT_EQ(px(image, 100, 33), px(kGreen)) << "half the pen outside";
    EXPECT_EQ(px(image, 100, 47), px(kGreen)) << "half the pen inside";
    EXPECT_EQ(px(image, 40, 40), px(kGreen)) << "the corner";
    EXPECT_EQ(px(image, 100, 100), kWhitePx) << "the middle";
    EXPECT_EQ(px(image, 100, 25), kWhitePx);
    EXPECT_EQ(px(image, 188, 188), px(kGreen));
}

TEST(EmfPlayback, world_transforms_turn_and_scale_what_follows)
{
    Emf emf = Emf::pixels(240, 120);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2);
    // A quarter turn clockwise on the picture, about the origin, then moved right by 100.
    emf.setWorldTransform(QTransform(0, 1, -1, 0, 100, 0));
    emf.rectangle(10, 0, 60, 20); // lands on x 80..100, y 10..60
    // Doubled before the turn.
    emf.modifyWorldTransform(QTransform::fromScale(2, 2), 2);
    emf.createBrush(3, 0, kBlue).selectObject(3).rectangle(0, -60, 10, -50); // x 200..220, y 0..20
    emf.modifyWorldTransform(QTransform(), 1);
    emf.createBrush(4, 0, kGreen).selectObject(4).rectangle(150, 100, 160, 110);
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 90, 35), px(kRed));
    EXPECT_EQ(px(image, 35, 10), kWhitePx) << "where the rectangle would be unturned";
    EXPECT_EQ(px(image, 210, 10), px(kBlue));
    EXPECT_EQ(px(image, 155, 105), px(kGreen));
}

TEST(EmfPlayback, metric_and_isotropic_mapping_modes)
{
    Emf emf = Emf::pixels(240, 120);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2);
    emf.setMapMode(2); // MM_LOMETRIC: tenths of a millimetre, y upwards
    emf.rectangle(0, 0, 254, -127); // 25.4 mm by 12.7 mm below the origin: 96 by 48 pixels
    emf.setMapMode(7).setWindowExt(10, 10).setViewportExt(100, 40).setViewportOrg(120, 0); // 4 pixels a unit
    emf.createBrush(3, 0, kBlue).selectObject(3).rectangle(0, 0, 10, 10);
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 90, 45), px(kRed));
    EXPECT_EQ(px(image, 100, 45), kWhitePx);
    EXPECT_EQ(px(image, 90, 52), kWhitePx);
    EXPECT_EQ(px(image, 155, 35), px(kBlue));
    EXPECT_EQ(px(image, 165, 35), kWhitePx) << "isotropic: as narrow as it is tall";
    EXPECT_EQ(px(image, 155, 45), kWhitePx);
}

TEST(EmfPlayback, a_frame_off_the_origin_and_a_coarser_reference_device)
{
    // A 300 dpi reference device; the frame starts 10 mm in and is 25.4 mm square.
    Emf emf(QRect(QPoint(1000, 1000), QPoint(3540, 3540)), { 3000, 3000 }, { 254, 254 });
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2);
    // The frame's top left is device pixel (118.1, 118.1); a 150-pixel square from there is
    // half the picture.
    emf.rectangle(118, 118, 268, 268);
    const QImage image = render(emf.finish());
    ASSERT_EQ(image.size(), QSize(96, 96));
    EXPECT_EQ(px(image, 2, 2), px(kRed));
    EXPECT_EQ(px(image, 45, 45), px(kRed));
    EXPECT_EQ(px(image, 50, 50), kWhitePx);
}

TEST(EmfPlayback, office_clip_art_maps_its_logical_window_onto_the_frame)
{
    // As office clip art is written: the frame in hundredths of a millimetre, the window in
    // logical units, the viewport the frame's size in the reference device's pixels (1024 x 768
    // on 270 x 203 mm), and the header's description where the extensions would be.
    Emf emf(QRect(QPoint(0, 0), QPoint(14640, 10050)), { 1024, 768 }, { 270, 203 });
    emf.describe(QStringLiteral("Clip Art") + QChar(0) + QStringLiteral("Picture") + QChar(0) + QChar(0));
    emf.setMapMode(8).setWindowOrg(0, 0).setWindowExt(14640, 10050).setViewportOrg(0, 0).setViewportExt(555, 381);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2).rectangle(7320, 0, 14640, 10050);
    emf.createBrush(3, 0, kBlue).selectObject(3).rectangle(0, 5025, 7320, 10050);
    const QImage image = render(emf.finish());
    ASSERT_EQ(image.size(), QSize(553, 380));
    EXPECT_EQ(px(image, 100, 100), kWhitePx);
    EXPECT_EQ(px(image, 400, 100), px(kRed));
    EXPECT_EQ(px(image, 540, 370), px(kRed)) << "the drawing reaches the picture's far corner";
    EXPECT_EQ(px(image, 100, 300), px(kBlue));
    EXPECT_EQ(px(image, 270, 300), px(kBlue));
    EXPECT_EQ(px(image, 284, 300), px(kRed));
}

TEST(EmfPlayback, emf_plus_comments_are_passed_over_for_the_records_after_them)
{
    // The comment holds EMF+ data, and inside it something that reads as a black rectangle over
    // everything if the player ever stepped into it.
    Bytes hidden;
    hidden.u32(43).u32(24).i32(0).i32(0).i32(240).i32(120);
    Bytes plus;
    plus.raw("EMF+").u16(0x4001).u16(1).u32(28).u32(16).raw(hidden.d);
    Emf emf = Emf::pixels(240, 120);
    emf.selectObject(0x80000004); // BLACK_BRUSH
    emf.comment(plus.d);
    emf.comment(QByteArray("EMF+") + hidden.d);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2).rectangle(10, 10, 50, 50);
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 30, 30), px(kRed));
    EXPECT_EQ(px(image, 100, 100), kWhitePx);
}

TEST(EmfPlayback, poly_text_out_draws_each_of_its_strings_at_its_own_place)
{
    // Two wide strings in one record, the second with an opaque rectangle behind it.
    const QString first = QStringLiteral("AB");
    const QString second = QStringLiteral("CD");
    mfw::Bytes b;
    b.zeros(16).u32(1).f32(1).f32(1).u32(2); // bounds, GM_COMPATIBLE, scales, two strings
    const int stringsAt = 40 + 2 * 40; // after the record's fixed part and the two EMRTEXTs
    b.i32(10).i32(10).u32(2).u32(stringsAt).u32(0).i32(0).i32(0).i32(0).i32(0).u32(0);
    b.i32(10).i32(70).u32(2).u32(stringsAt + 4).u32(0x2).i32(120).i32(60).i32(200).i32(110).u32(0);
    for (QChar c : first + second)
        b.u16(c.unicode());
    Emf emf = Emf::pixels(240, 120);
    emf.createFont(1, -40, 0, QStringLiteral("Arial")).selectObject(1);
    emf.setBkMode(1).setTextColor(kBlue).setBkColor(kYellow).record(97, b);
    const QImage image = render(emf.finish());
    int ink = 0;
    const QRect top = inkBox(image.copy(0, 0, 110, 55), &ink);
    EXPECT_GT(ink, 100) << "the first string";
    EXPECT_GE(top.left(), 10);
    const QRect bottom = inkBox(image.copy(0, 60, 110, 60), &ink);
    EXPECT_GT(ink, 100) << "the second string";
    EXPECT_GE(bottom.left(), 10);
    EXPECT_LT(top.bottom(), 55);
    EXPECT_EQ(px(image, 150, 100), px(kYellow)) << "ETO_OPAQUE fills its rectangle";
    EXPECT_EQ(px(image, 150, 40), kWhitePx);
}

TEST(EmfPlayback, the_meta_region_holds_when_the_clip_is_cleared)
{
    Emf emf = Emf::pixels(240, 120);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2);
    emf.intersectClipRect(0, 0, 50, 50).values(28, {}).selectClipRects({});
    emf.rectangle(0, 0, 100, 100);
    // A meta region set after SaveDC (here an empty one) is lifted again by RestoreDC.
    emf.saveDC().intersectClipRect(150, 0, 200, 50).values(28, {}).restoreDC(-1);
    emf.createBrush(3, 0, kGreen).selectObject(3).rectangle(0, 0, 20, 20);
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 25, 25), px(kRed));
    EXPECT_EQ(px(image, 75, 25), kWhitePx);
    EXPECT_EQ(px(image, 25, 75), kWhitePx);
    EXPECT_EQ(px(image, 10, 10), px(kGreen));
}

TEST(EmfPlayback, mask_blt_and_plg_blt_copy_only_what_the_mask_lets_through)
{
    const auto [mask, plg] = maskedBlits(20);
    Emf emf = Emf::pixels(240, 120);
    emf.record(78, mask).record(79, plg);
    const QImage image = render(emf.finish());

    EXPECT_EQ(px(image, 14, 20), px(kRed));
    EXPECT_EQ(px(image, 25, 20), kWhitePx) << "the mask leaves the right half as it was";
    EXPECT_EQ(px(image, 104, 12), px(kRed)) << "just inside the slanted left edge";
    EXPECT_EQ(px(image, 102, 45), kWhitePx) << "left of the slanted edge";
    EXPECT_EQ(px(image, 115, 30), px(kRed)) << "the left half of the source, slanted";
    EXPECT_EQ(px(image, 135, 30), kWhitePx) << "the right half is masked out";
}

// Wide Japanese text, stretched bitmaps and a rectangle in stock objects, in one picture.
QImage wideTextBitmapsAndStockObjects()
{
    Emf emf = Emf::pixels(240, 120);
    emf.createFont(1, -30, 128, QStringLiteral("ＭＳ Ｐゴシック")).selectObject(1);
    emf.setBkMode(1).setTextColor(kBlue).extTextOutW(10, 10, QStringLiteral("方向幕"));
    emf.stretchDIBits(QRect(150, 10, 40, 40), QRect(0, 0, 2, 2), makeDib(fourColours(), 32));
    // StretchDIBits counts a bottom-up bitmap's rows from the bottom: row 1 is the top one.
    emf.stretchDIBits(QRect(200, 10, 20, 20), QRect(1, 1, 1, 1), makeDib(fourColours(), 24));
    emf.stretchDIBits(QRect(200, 40, 20, 20), QRect(1, 0, 1, 1), makeDib(fourColours(), 24));
    emf.selectObject(0x80000008).selectObject(0x80000001); // NULL_PEN, LTGRAY_BRUSH
    emf.rectangle(150, 60, 190, 100);
    return render(emf.finish());
}

TEST(EmfPlayback, wide_text_draws_in_its_face_from_its_reference_point)
{
    const QImage image = wideTextBitmapsAndStockObjects();
    int ink = 0;
    const QRect box = inkBox(image.copy(0, 0, 140, 120), &ink);
    EXPECT_GT(ink, 150);
    EXPECT_GE(box.left(), 10);
    EXPECT_LE(box.left(), 14);
    EXPECT_GE(box.top(), 10);
    EXPECT_LE(box.bottom(), 42);
    EXPECT_GT(box.width(), 75) << "three characters, about 30 pixels each";
}

TEST(EmfPlayback, stretch_dibits_stretches_its_source_counting_rows_from_the_bottom)
{
    const QImage image = wideTextBitmapsAndStockObjects();
    EXPECT_EQ(px(image, 160, 20), px(kRed));
    EXPECT_EQ(px(image, 180, 40), px(kYellow));
    EXPECT_EQ(px(image, 210, 20), px(kGreen));
    EXPECT_EQ(px(image, 210, 50), px(kYellow));
}

TEST(EmfPlayback, stock_objects_are_selected_by_their_numbers)
{
    const QImage image = wideTextBitmapsAndStockObjects();
    EXPECT_EQ(px(image, 170, 80), 0xC0C0C0u);
}

// Run-length coded, bit-field, paletted and half-transparent bitmaps, and a brush in a palette's
// colour, in one picture.
QImage codedAndPalettedBitmaps()
{
    const QByteArray fourQuads = quads({ kRed, kGreen, kBlue, kYellow });
    // 4 x 2, bottom row first: red red green green, then blue yellow blue yellow as a literal run.
    const Dib rle8 = handMadeDib(4, 2, 8, 1, fourQuads,
                                 sjis({ 2, 0, 2, 1, 0, 0, 0, 4, 2, 3, 2, 3, 0, 0, 0, 1 }), 4);
    // The same picture in nibbles, the bottom row as one alternating run.
    const Dib rle4 = handMadeDib(4, 2, 4, 2, fourQuads, sjis({ 4, 0x01, 0, 0, 0, 4, 0x23, 0x23, 0, 0, 0, 1 }), 4);
    // 5-6-5 bits: red, blue.
    Bytes masks;
    masks.u32(0xF800).u32(0x07E0).u32(0x001F);
    const Dib bitfields = handMadeDib(2, 1, 16, 3, masks.d, sjis({ 0x00, 0xF8, 0x1F, 0x00 }), 0);
    // Colour table entries 2 and 0 of the logical palette: blue, red.
    const Dib paletted = handMadeDib(2, 1, 8, 0, sjis({ 2, 0, 0, 0 }), sjis({ 0, 1, 0, 0 }), 2);
    // Half-transparent red, premultiplied.
    const Dib alpha = handMadeDib(1, 1, 32, 0, {}, sjis({ 0x00, 0x00, 0x80, 0x80 }), 0);

    Emf emf = Emf::pixels(240, 120);
    emf.stretchDIBits(QRect(0, 0, 40, 20), QRect(0, 0, 4, 2), rle8);
    emf.stretchDIBits(QRect(50, 0, 40, 20), QRect(0, 0, 4, 2), rle4);
    emf.stretchDIBits(QRect(100, 0, 40, 20), QRect(0, 0, 2, 1), bitfields);
    emf.createPalette(1, { qt(kRed), qt(kGreen), qt(kBlue) }).selectPalette(1);
    emf.stretchDIBits(QRect(150, 0, 40, 20), QRect(0, 0, 2, 1), paletted, SrcCopy, 1);
    emf.createPen(2, 5, 0, 0).selectObject(2).createBrush(3, 0, 0x01000001).selectObject(3); // PALETTEINDEX(1)
    emf.rectangle(0, 40, 40, 80);
    emf.createBrush(4, 0, kBlue).selectObject(4).rectangle(50, 40, 90, 80);
    emf.alphaBlend(QRect(50, 40, 40, 40), QRect(0, 0, 1, 1), alpha);
    return render(emf.finish());
}

TEST(EmfPlayback, run_length_coded_bitmaps_of_eight_and_four_bits)
{
    const QImage image = codedAndPalettedBitmaps();
    for (int x0 : { 0, 50 }) {
        EXPECT_EQ(px(image, x0 + 5, 5), px(kBlue)) << x0;
        EXPECT_EQ(px(image, x0 + 15, 5), px(kYellow)) << x0;
        EXPECT_EQ(px(image, x0 + 25, 5), px(kBlue)) << x0;
    }
    EXPECT_EQ(px(image, 5, 15), px(kRed));
    EXPECT_EQ(px(image, 15, 15), px(kRed));
    EXPECT_EQ(px(image, 25, 15), px(kGreen));
    EXPECT_EQ(px(image, 55, 15), px(kRed));
    EXPECT_EQ(px(image, 65, 15), px(kGreen));
}

TEST(EmfPlayback, bit_field_bitmaps_take_their_colours_through_the_masks)
{
    const QImage image = codedAndPalettedBitmaps();
    EXPECT_EQ(px(image, 110, 10), px(kRed));
    EXPECT_EQ(px(image, 130, 10), px(kBlue));
}

TEST(EmfPlayback, a_bitmap_of_palette_indices_takes_the_selected_palettes_colours)
{
    const QImage image = codedAndPalettedBitmaps();
    EXPECT_EQ(px(image, 160, 10), px(kBlue));
    EXPECT_EQ(px(image, 180, 10), px(kRed));
}

TEST(EmfPlayback, a_palette_index_brush_takes_the_selected_palettes_colour)
{
    const QImage image = codedAndPalettedBitmaps();
    EXPECT_EQ(px(image, 20, 60), px(kGreen));
}

TEST(EmfPlayback, alpha_blend_mixes_a_premultiplied_bitmap_over_the_picture)
{
    const QImage image = codedAndPalettedBitmaps();
    const QRgb blended = image.pixel(70, 60);
    EXPECT_NEAR(qRed(blended), 128, 2);
    EXPECT_EQ(qGreen(blended), 0);
    EXPECT_NEAR(qBlue(blended), 127, 2);
}

TEST(EmfPlayback, bitmaps_carried_as_png_or_jpeg_files)
{
    // 4 x 2: red over blue on the left half, green on the right.
    QImage picture(4, 2, QImage::Format_RGB32);
    picture.fill(qt(kGreen));
    picture.setPixel(0, 0, qt(kRed));
    picture.setPixel(1, 0, qt(kRed));
    picture.setPixel(0, 1, qt(kBlue));
    picture.setPixel(1, 1, qt(kBlue));
    const auto encoded = [&](const char* format, const QImage& image) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, format, 100);
        return bytes;
    };
    const QByteArray png = encoded("PNG", picture);
    const QImage flat(QSize(16, 16), QImage::Format_RGB32);
    QImage yellow = flat;
    yellow.fill(qt(kYellow));

    Emf emf = Emf::pixels(240, 60);
    emf.stretchDIBits(QRect(0, 0, 40, 20), QRect(0, 0, 4, 2), handMadeDib(4, 2, 0, 5, {}, png, 0));
    emf.stretchDIBits(QRect(50, 0, 40, 40), QRect(0, 0, 16, 16), handMadeDib(16, 16, 0, 4, {}, encoded("JPEG", yellow), 0));
    // A header that disagrees with the file's own size, and a file cut short: nothing.
    emf.stretchDIBits(QRect(100, 0, 40, 20), QRect(0, 0, 4, 2), handMadeDib(400, 200, 0, 5, {}, png, 0));
    emf.stretchDIBits(QRect(150, 0, 40, 20), QRect(0, 0, 4, 2), handMadeDib(4, 2, 0, 5, {}, png.left(40), 0));
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 5, 5), px(kRed));
    EXPECT_EQ(px(image, 5, 15), px(kBlue));
    EXPECT_EQ(px(image, 30, 10), px(kGreen));
    const QRgb jpeg = image.pixel(70, 20);
    EXPECT_GT(qRed(jpeg), 240);
    EXPECT_GT(qGreen(jpeg), 240);
    EXPECT_LT(qBlue(jpeg), 20);
    EXPECT_EQ(px(image, 120, 10), kWhitePx);
    EXPECT_EQ(px(image, 170, 10), kWhitePx);
}

// A clip region of two rectangles, PolyDraw, ArcTo and SetPixel, in one picture.
QImage clipRegionPolyDrawArcToAndPixel()
{
    Emf emf = Emf::pixels(240, 120);
    emf.selectClipRects({ QRect(10, 10, 20, 20), QRect(40, 10, 20, 20) });
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2).rectangle(0, 0, 70, 40);
    emf.selectClipRects({}).selectObject(0x80000007); // no clip; BLACK_PEN
    emf.polyDraw({ { 80, 10 }, { 120, 10 }, { 120, 40 } }, { 6, 2, 2 | 1 });
    // A line to the arc's start, the arc anticlockwise to its end, and on from there.
    emf.moveTo(130, 60).arcTo(130, 60, 170, 100, { 170, 80 }, { 150, 60 }).lineTo(150, 100);
    emf.setPixel(5, 110, kBlue);
    return render(emf.finish());
}

TEST(EmfPlayback, a_clip_region_of_several_rectangles_shows_only_inside_them)
{
    const QImage image = clipRegionPolyDrawArcToAndPixel();
    EXPECT_EQ(px(image, 20, 20), px(kRed));
    EXPECT_EQ(px(image, 50, 20), px(kRed));
    EXPECT_EQ(px(image, 35, 20), kWhitePx) << "between the region's rectangles";
    EXPECT_EQ(px(image, 20, 35), kWhitePx);
}

TEST(EmfPlayback, poly_draw_moves_draws_and_closes_figures_by_its_point_types)
{
    const QImage image = clipRegionPolyDrawArcToAndPixel();
    EXPECT_EQ(px(image, 100, 10), px(kBlack));
    EXPECT_EQ(px(image, 120, 25), px(kBlack));
    EXPECT_EQ(px(image, 100, 25), px(kBlack)) << "the figure was closed";
}

TEST(EmfPlayback, arc_to_draws_a_line_to_the_arcs_start_and_goes_on_from_its_end)
{
    const QImage image = clipRegionPolyDrawArcToAndPixel();
    EXPECT_EQ(px(image, 150, 90), px(kBlack)) << "the line starts where the arc ended";
    EXPECT_EQ(px(image, 150, 70), px(kBlack));
}

TEST(EmfPlayback, set_pixel_colours_its_pixel)
{
    const QImage image = clipRegionPolyDrawArcToAndPixel();
    EXPECT_EQ(px(image, 5, 110), px(kBlue));
}

TEST(EmfPlayback, ansi_text_in_shift_jis_draws_exactly_what_wide_text_does)
{
    auto text = [](bool wide) {
        Emf e = Emf::pixels(240, 48);
        e.createFont(1, -24, 128, QStringLiteral("ＭＳ ゴシック")).selectObject(1).setBkMode(1);
        if (wide)
            e.extTextOutW(4, 4, QStringLiteral("くるりん号"));
        else
            e.extTextOutA(4, 4, sjis({ 0x82, 0xAD, 0x82, 0xE9, 0x82, 0xE8, 0x82, 0xF1, 0x8D, 0x86 }));
        return Metafile::render(e.finish()).value().image;
    };
    const QImage a = text(false);
    int ink = 0;
    inkBox(a, &ink);
    EXPECT_GT(ink, 200);
    EXPECT_EQ(a, text(true));
}

// Gradients, regions filled and painted, a bitmap with a colour left out, and bitmaps set straight
// to the device, in one picture.
QImage gradientsRegionsAndDeviceBitmaps()
{
    Emf emf = Emf::pixels(240, 120);
    // Red to blue across a rectangle; a triangle red, green and blue at its corners.
    emf.gradientFill({ { { 0, 0 }, kRed }, { { 100, 40 }, kBlue } }, 0, { 0, 1 });
    emf.gradientFill({ { { 0, 50 }, kRed }, { { 100, 50 }, kGreen }, { { 50, 110 }, kBlue } }, 2, { 0, 1, 2 });
    // A region filled with a brush by its handle, and one painted with the selected brush.
    emf.createBrush(1, 0, kGreen).createBrush(2, 0, kBlue).selectObject(2);
    emf.fillRegion({ QRect(110, 0, 20, 20), QRect(130, 20, 20, 20) }, 1).fillRegion({ QRect(110, 50, 20, 20) });
    // A bitmap with its yellow left out, over red.
    emf.createPen(3, 5, 0, 0).selectObject(3).createBrush(4, 0, kRed).selectObject(4).rectangle(160, 0, 200, 40);
    emf.transparentBlt(QRect(160, 0, 40, 40), QRect(0, 0, 2, 2), makeDib(fourColours(), 24), kYellow);
    // Bitmaps set unstretched: whole, and with only the bottom scan line stored.
    const Dib dib = makeDib(fourColours(), 24);
    emf.setDIBitsToDevice(QPoint(210, 0), QRect(0, 0, 2, 2), dib, 0, 2);
    emf.setDIBitsToDevice(QPoint(220, 0), QRect(0, 0, 2, 2), { dib.info, dib.bits.first(8) }, 0, 1);
    return render(emf.finish());
}

TEST(EmfPlayback, gradients_shade_rectangles_and_triangles_between_their_vertices_colours)
{
    const QImage image = gradientsRegionsAndDeviceBitmaps();
    EXPECT_EQ(px(image, 1, 20) & 0xF000F0, 0xF00000u) << "red at the first vertex";
    EXPECT_EQ(px(image, 98, 20) & 0xF000F0, 0x0000F0u) << "blue at the second";
    const QRgb middle = image.pixel(50, 20);
    EXPECT_NEAR(qRed(middle), 128, 8);
    EXPECT_NEAR(qBlue(middle), 128, 8);
    EXPECT_GT(qRed(image.pixel(8, 54)), 200);
    EXPECT_GT(qGreen(image.pixel(92, 54)), 200);
    EXPECT_GT(qBlue(image.pixel(50, 104)), 200);
    EXPECT_EQ(px(image, 10, 100), kWhitePx) << "outside the triangle";
}

TEST(EmfPlayback, regions_fill_with_a_brush_by_its_handle_or_paint_with_the_selected_one)
{
    const QImage image = gradientsRegionsAndDeviceBitmaps();
    EXPECT_EQ(px(image, 120, 10), px(kGreen));
    EXPECT_EQ(px(image, 140, 30), px(kGreen));
    EXPECT_EQ(px(image, 140, 10), kWhitePx);
    EXPECT_EQ(px(image, 120, 60), px(kBlue));
}

TEST(EmfPlayback, transparent_blt_leaves_out_its_transparent_colour)
{
    const QImage image = gradientsRegionsAndDeviceBitmaps();
    EXPECT_EQ(px(image, 170, 10), px(kRed)) << "red from the bitmap";
    EXPECT_EQ(px(image, 190, 10), px(kGreen));
    EXPECT_EQ(px(image, 170, 30), px(kBlue));
    EXPECT_EQ(px(image, 190, 30), px(kRed)) << "the rectangle shows where yellow was left out";
}

TEST(EmfPlayback, set_dibits_to_device_draws_unstretched_and_only_the_scan_lines_stored)
{
    const QImage image = gradientsRegionsAndDeviceBitmaps();
    EXPECT_EQ(px(image, 210, 0), px(kRed));
    EXPECT_EQ(px(image, 211, 1), px(kYellow));
    EXPECT_EQ(px(image, 220, 0), kWhitePx) << "the top scan line was not stored";
    EXPECT_EQ(px(image, 220, 1), px(kBlue));
    EXPECT_EQ(px(image, 221, 1), px(kYellow));
}

// A see-through bitmap as writers without alpha store it, over blue: a mask ORed in, then a red
// picture (white where the mask is black) ANDed over it. Columns of the mask: white, mid-grey,
// black.
QByteArray maskAndPicture(QRect pictureAt, QRgb middleOfMask)
{
    QImage mask(3, 1, QImage::Format_RGB32);
    mask.setPixel(0, 0, qRgb(255, 255, 255));
    mask.setPixel(1, 0, middleOfMask);
    mask.setPixel(2, 0, qRgb(0, 0, 0));
    QImage picture(3, 1, QImage::Format_RGB32);
    picture.fill(qRgb(255, 0, 0));
    picture.setPixel(2, 0, qRgb(255, 255, 255));
    Emf emf = Emf::pixels(90, 30);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kBlue).selectObject(2).rectangle(0, 0, 91, 31);
    emf.stretchDIBits(QRect(0, 0, 90, 30), QRect(0, 0, 3, 1), makeDib(mask, 8), SrcPaint);
    emf.stretchDIBits(pictureAt, QRect(0, 0, 3, 1), makeDib(picture, 24), SrcAnd);
    return emf.finish();
}

TEST(EmfPlayback, a_grey_mask_ored_in_then_a_picture_anded_over_it_is_a_see_through_picture)
{
    const QRgb grey = qRgb(128, 128, 128);
    const QImage seeThrough = render(maskAndPicture(QRect(0, 0, 90, 30), grey));
    EXPECT_EQ(px(seeThrough, 15, 15), px(kRed)) << "white in the mask: the picture";
    EXPECT_EQ(px(seeThrough, 75, 15), px(kBlue)) << "black in the mask: what was there";
    const QRgb half = seeThrough.pixel(45, 15);
    EXPECT_NEAR(qRed(half), 128, 2) << "grey in the mask: the two mixed, not bitwise";
    EXPECT_EQ(qGreen(half), 0);
    EXPECT_NEAR(qBlue(half), 127, 2);

    // Anything but that pair is drawn bit by bit, as GDI draws it: (blue | mask) & picture.
    const QImage elsewhere = render(maskAndPicture(QRect(0, 0, 90, 29), grey));
    EXPECT_EQ(px(elsewhere, 45, 15), 0x800000u) << "a picture over another place";
    EXPECT_EQ(px(elsewhere, 45, 29), 0x8080FFu) << "the mask alone where the picture is not";
    const QImage coloured = render(maskAndPicture(QRect(0, 0, 90, 30), qRgb(0, 255, 0)));
    EXPECT_EQ(px(coloured, 45, 15), 0x000000u) << "a mask that is not grey: (blue | green) & red";
    EXPECT_EQ(px(coloured, 75, 15), px(kBlue));
}

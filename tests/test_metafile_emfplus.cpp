// The GDI+ player: EMF+ records in an EMF's comments, drawn as GDI+ draws them.
#include "tests/support/MetafileTesting.h"

#include <QBuffer>
#include <QTransform>

#include <gtest/gtest.h>

using namespace mfw;
using namespace mftest;

TEST(EmfPlusPlayback, a_picture_in_gdi_plus_records_only_is_drawn_from_them)
{
    EmfPlus plus;
    plus.header(false);
    plus.fillRects(kPlusRed, { QRectF(10, 10, 40, 40) });
    plus.object(0, 1, EmfPlus::solidBrush(kPlusBlue));
    plus.object(1, 3, EmfPlus::path({ { 60, 10 }, { 100, 10 }, { 60, 50 } }, { 0, 1, 0x81 }));
    plus.fillPath(1, 0);
    plus.object(2, 2, EmfPlus::pen(6, kPlusGreen));
    plus.drawLines(2, { { 10, 100 }, { 190, 100 } });
    // Turned a quarter about the origin, then moved: (10..50, -50..-10) lands at (110..150, 10..50).
    plus.setWorldTransform(QTransform(0, 1, -1, 0, 100, 0)).fillEllipse(kPlusRed, QRectF(10, -50, 40, 40));
    plus.resetWorldTransform();
    plus.setClipRect(0, QRectF(0, 150, 100, 50)).fillRects(kPlusBlack, { QRectF(0, 140, 200, 60) }).resetClip();
    // Millimetres on the page: 10 mm is 37.8 pixels at 96 dpi.
    plus.save(1).setPageTransform(6, 1).fillRects(kPlusBlue, { QRectF(45, 30, 10, 5) }).restore(1);
    plus.fillRects(kPlusGreen, { QRectF(150, 150, 10, 10) }); // the pixel page is back
    const QImage image = render(plusOnly(plus));
    EXPECT_EQ(px(image, 30, 30), px(kRed));
    EXPECT_EQ(px(image, 65, 15), px(kBlue));
    EXPECT_EQ(px(image, 95, 45), kWhitePx) << "outside the triangle";
    EXPECT_EQ(px(image, 100, 98), px(kGreen)) << "the 6-unit pen";
    EXPECT_EQ(px(image, 100, 94), kWhitePx);
    EXPECT_EQ(px(image, 130, 30), px(kRed)) << "the turned ellipse";
    EXPECT_EQ(px(image, 50, 170), px(kBlack));
    EXPECT_EQ(px(image, 50, 145), kWhitePx) << "above the clip";
    EXPECT_EQ(px(image, 150, 175), kWhitePx) << "right of the clip";
    EXPECT_EQ(px(image, 180, 125), px(kBlue)) << "45 mm across";
    EXPECT_EQ(px(image, 165, 125), kWhitePx);
    EXPECT_EQ(px(image, 155, 155), px(kGreen));
}

// A string, driver strings, a gradient, a hatch, a closed curve and bitmaps sent in pieces, in one
// picture.
QImage textBrushesCurveAndBitmaps()
{
    QImage checker(2, 2, QImage::Format_RGB32);
    checker.fill(Qt::red);
    checker.setPixel(1, 0, qRgb(0, 0, 255));
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        checker.save(&buffer, "PNG");
    }
    EmfPlus plus;
    plus.header(false);
    plus.object(0, 6, EmfPlus::font(40, 2, QStringLiteral("Arial")));
    plus.drawString(0, kPlusBlack, QRectF(0, 0, 200, 60), QStringLiteral("Hello"));
    plus.drawDriverString(0, kPlusRed, QStringLiteral("AB"), { { 120, 190 }, { 160, 190 } });
    plus.drawDriverString(0, kPlusRed, QStringLiteral("AB"), { { 10, 195 }, { 50, 195 } }, 0); // glyph numbers
    plus.object(1, 1, EmfPlus::linearGradient(QRectF(0, 70, 100, 20), kPlusRed, kPlusBlue));
    plus.fillRectsWith(1, { QRectF(0, 70, 100, 20) });
    plus.object(2, 1, EmfPlus::hatchBrush(0, kPlusBlack, kPlusGreen)); // horizontal lines on green
    plus.fillRectsWith(2, { QRectF(110, 70, 80, 20) });
    // A closed curve with no tension is the polygon through its points.
    plus.fillClosedCurve(kPlusBlue, 0, { { 10, 100 }, { 90, 100 }, { 90, 140 }, { 10, 140 } });
    plus.objectInPieces(3, 5, EmfPlus::compressedImage(checker.size(), png).d, 3);
    plus.drawImage(3, QRectF(0, 0, 2, 2), QRectF(110, 100, 80, 80));
    plus.objectInPieces(4, 5, EmfPlus::compressedImage(checker.size(), png).d, 2, true);
    plus.drawImage(4, QRectF(0, 0, 2, 2), QRectF(10, 150, 40, 40));
    return render(plusOnly(plus));
}

TEST(EmfPlusPlayback, a_string_is_drawn_in_its_font)
{
    const QImage image = textBrushesCurveAndBitmaps();
    int ink = 0;
    const QRect text = inkBox(image.copy(0, 0, 200, 60), &ink);
    EXPECT_GT(ink, 300) << "the string is drawn";
    EXPECT_GT(text.width(), 60);
    EXPECT_LT(text.height(), 45);
}

TEST(EmfPlusPlayback, a_linear_gradient_runs_from_one_colour_to_the_other)
{
    const QImage image = textBrushesCurveAndBitmaps();
    const QRgb left = image.pixel(3, 80);
    const QRgb right = image.pixel(96, 80);
    EXPECT_GT(qRed(left), 200);
    EXPECT_LT(qBlue(left), 50);
    EXPECT_GT(qBlue(right), 200);
    EXPECT_LT(qRed(right), 50);
}

TEST(EmfPlusPlayback, a_hatch_draws_its_lines_over_its_background)
{
    const QImage image = textBrushesCurveAndBitmaps();
    int black = 0;
    int green = 0;
    for (int y = 70; y < 90; ++y) {
        black += px(image, 150, y) == 0;
        green += px(image, 150, y) == px(kGreen);
    }
    EXPECT_GT(black, 0) << "the hatch's lines";
    EXPECT_GT(green, black) << "its background between them";
}

TEST(EmfPlusPlayback, a_closed_curve_without_tension_is_the_polygon_through_its_points)
{
    const QImage image = textBrushesCurveAndBitmaps();
    EXPECT_EQ(px(image, 12, 102), px(kBlue)) << "the curve's corner";
    EXPECT_EQ(px(image, 88, 138), px(kBlue));
}

TEST(EmfPlusPlayback, a_bitmap_sent_in_pieces_is_put_back_together)
{
    const QImage image = textBrushesCurveAndBitmaps();
    EXPECT_EQ(px(image, 120, 110), px(kRed)) << "the bitmap, from its pieces";
    EXPECT_EQ(px(image, 180, 110), px(kBlue));
    EXPECT_EQ(px(image, 180, 170), px(kRed));
    EXPECT_EQ(px(image, 40, 155), px(kBlue)) << "from pieces all marked as continued";
}

TEST(EmfPlusPlayback, a_driver_string_places_its_characters_one_by_one)
{
    const QImage image = textBrushesCurveAndBitmaps();
    int red = 0;
    const QImage placed = image.copy(110, 150, 90, 50);
    for (int y = 0; y < placed.height(); ++y)
        for (int x = 0; x < placed.width(); ++x)
            red += qRed(placed.pixel(x, y)) > 200 && qGreen(placed.pixel(x, y)) < 80;
    EXPECT_GT(red, 100) << "characters placed one by one";
}

TEST(EmfPlusPlayback, glyph_numbers_of_a_font_that_is_not_here_draw_nothing)
{
    const QImage image = textBrushesCurveAndBitmaps();
    int marks = 0;
    for (int y = 190; y < 200; ++y)
        for (int x = 0; x < 100; ++x)
            marks += px(image, x, y) != kWhitePx;
    EXPECT_EQ(marks, 0) << "glyph numbers of a font that is not here draw nothing";
}

// A see-through clear, a metafile stored as a bitmap, and a string at two scales, in one picture.
QImage clearNestedPictureAndScaledText()
{
    // A picture stored as a bitmap's file is read only as PNG, JPEG, GIF or BMP: an EMF inside
    // is not played (it could hold another, and so on, deeper than the stack goes).
    EmfPlus inner;
    inner.header(false).fillRects(kPlusRed, { QRectF(0, 0, 200, 200) });
    const QByteArray nested = plusOnly(inner);

    EmfPlus plus;
    plus.header(false);
    plus.record(0x4009, 0, Bytes().u32(0x00FF0000)); // clear to a see-through red: white stays
    plus.object(0, 5, EmfPlus::compressedImage(QSize(200, 200), nested));
    plus.drawImage(0, QRectF(0, 0, 200, 200), QRectF(0, 0, 200, 200));
    // A 10-point font drawn twice as large by the world transform comes out twice as tall.
    plus.object(1, 6, EmfPlus::font(10, 3, QStringLiteral("Arial")));
    plus.drawString(1, kPlusBlack, QRectF(0, 0, 100, 50), QStringLiteral("HH"));
    plus.setWorldTransform(QTransform(2, 0, 0, 2, 0, 100)).drawString(1, kPlusBlack, QRectF(0, 0, 100, 50), QStringLiteral("HH"));
    return render(plusOnly(plus));
}

TEST(EmfPlusPlayback, a_see_through_clear_and_a_metafile_stored_as_a_bitmap_leave_the_page_white)
{
    const QImage image = clearNestedPictureAndScaledText();
    EXPECT_EQ(px(image, 150, 60), kWhitePx);
}

TEST(EmfPlusPlayback, text_grows_with_the_world_transform)
{
    const QImage image = clearNestedPictureAndScaledText();
    const QRect small = inkBox(image.copy(0, 0, 200, 60));
    const QRect large = inkBox(image.copy(0, 100, 200, 100));
    ASSERT_FALSE(small.isEmpty());
    EXPECT_NEAR(double(large.height()) / small.height(), 2.0, 0.25);
}

// Containers, a path clip, a pie, an infinite region, dashes, dots and a see-through palette, in
// one picture.
QImage containersClipsPiesDashesAndPalettes()
{
    EmfPlus plus;
    plus.header(false);
    // A container's own clip stays inside the clip around it.
    plus.setClipRect(0, QRectF(0, 0, 100, 100)).beginContainer(1);
    plus.setClipRect(0, QRectF(50, 50, 150, 150)).fillRects(kPlusRed, { QRectF(0, 0, 200, 200) });
    plus.endContainer(1).fillRects(kPlusBlack, { QRectF(0, 90, 200, 20) }).resetClip(); // the clip before it is back
    // Millimetres on the page: the 100-pixel source rectangle (26.46 mm, drawn in the page's
    // unit) fills the destination, 55 to 75 mm across and 10 to 30 mm down, or 207.9 to 283.5
    // and 37.8 to 113.4 pixels.
    plus.save(2).setPageTransform(6, 1).beginContainer(3, QRectF(55, 10, 20, 20), QRectF(0, 0, 100, 100), 2);
    plus.fillRects(kPlusBlue, { QRectF(0, 0, 26.46f, 26.46f) }).endContainer(3).restore(2);
    // A clip from a path whose figures overlap leaves the overlap out: paths fill alternately.
    plus.object(0, 3, EmfPlus::path({ { 120, 0 }, { 170, 0 }, { 170, 50 }, { 120, 50 }, { 140, 20 }, { 190, 20 }, { 190, 70 }, { 140, 70 } },
                                    { 0, 1, 1, 0x81, 0, 1, 1, 0x81 }));
    plus.setClipPath(0, 0).fillRects(kPlusGreen, { QRectF(100, 0, 100, 100) }).resetClip();
    // The pie's angles are those of the points on the ellipse, not on a circle squashed into it.
    plus.fillPie(kPlusBlack, 30, 30, QRectF(0, 140, 200, 100));
    // An infinite region under a large scale still lets everything through.
    plus.object(4, 4, Bytes().u32(0xDBC01002).u32(0).u32(0x10000003));
    plus.setWorldTransform(QTransform::fromScale(1000, 1000)).record(0x4034, 4 | 1 << 8, Bytes()).resetWorldTransform();
    plus.fillRects(kPlusBlue, { QRectF(250, 150, 40, 50) }).resetClip();
    // GDI+'s dashes are three pen widths on, one off.
    plus.object(1, 2, EmfPlus::pen(4, kPlusBlue, 0, 1));
    plus.drawLines(1, { { 0, 290 }, { 200, 290 } });
    // Dots of a pen whose line starts round: the dashes keep their own cap, flat.
    plus.object(3, 2, EmfPlus::pen(4, kPlusBlue, 0, 2, 2)).drawLines(3, { { 0, 297 }, { 200, 297 } });
    // A palette with alpha: its first colour is see-through, over the green below.
    plus.fillRects(kPlusGreen, { QRectF(100, 250, 40, 20) });
    plus.objectInPieces(2, 5, EmfPlus::indexedImage(QSize(2, 1), 8, { 0x00FF0000, kPlusRed }, true, { QByteArray("\0\1", 2) }).d, 7, false, true);
    plus.drawImage(2, QRectF(0, 0, 2, 1), QRectF(100, 250, 80, 20));
    return render(plusOnly(plus, 300, 300));
}

TEST(EmfPlusPlayback, a_containers_clip_stays_inside_the_one_around_it_and_ends_with_it)
{
    const QImage image = containersClipsPiesDashesAndPalettes();
    EXPECT_EQ(px(image, 75, 75), px(kRed));
    EXPECT_EQ(px(image, 95, 95), 0u);
    EXPECT_EQ(px(image, 105, 95), kWhitePx) << "outside the clip from before the container";
    EXPECT_EQ(px(image, 150, 150), kWhitePx) << "outside the clip around the container";
}

TEST(EmfPlusPlayback, a_container_maps_its_source_rectangle_onto_its_destination)
{
    const QImage image = containersClipsPiesDashesAndPalettes();
    EXPECT_EQ(px(image, 210, 40), px(kBlue));
    EXPECT_EQ(px(image, 281, 111), px(kBlue)) << "the whole destination";
    EXPECT_EQ(px(image, 205, 40), kWhitePx);
    EXPECT_EQ(px(image, 287, 117), kWhitePx);
}

TEST(EmfPlusPlayback, a_clip_path_leaves_out_where_its_figures_overlap)
{
    const QImage image = containersClipsPiesDashesAndPalettes();
    EXPECT_EQ(px(image, 130, 10), px(kGreen));
    EXPECT_EQ(px(image, 180, 60), px(kGreen));
    EXPECT_EQ(px(image, 155, 35), kWhitePx) << "where the path's figures overlap";
}

TEST(EmfPlusPlayback, a_pies_angles_are_those_of_points_on_its_ellipse)
{
    const QImage image = containersClipsPiesDashesAndPalettes();
    // 35 pixels out from the centre, (100, 190), at 25, 45 and 55 degrees.
    EXPECT_EQ(px(image, 131, 204), kWhitePx) << "25 degrees round the ellipse";
    EXPECT_EQ(px(image, 124, 214), 0u) << "45 degrees";
    EXPECT_EQ(px(image, 120, 218), 0u) << "55 degrees";
}

TEST(EmfPlusPlayback, dashes_are_three_pen_widths_on_and_one_off)
{
    const QImage image = containersClipsPiesDashesAndPalettes();
    EXPECT_EQ(px(image, 10, 290), px(kBlue));
    EXPECT_EQ(px(image, 14, 290), kWhitePx) << "the first gap";
    EXPECT_EQ(px(image, 18, 290), px(kBlue)) << "the second dash";
}

TEST(EmfPlusPlayback, an_infinite_region_under_a_large_scale_lets_everything_through)
{
    const QImage image = containersClipsPiesDashesAndPalettes();
    EXPECT_EQ(px(image, 270, 170), px(kBlue)) << "inside the infinite region";
}

TEST(EmfPlusPlayback, the_dots_of_a_round_capped_pen_keep_their_own_flat_cap)
{
    const QImage image = containersClipsPiesDashesAndPalettes();
    EXPECT_EQ(px(image, 2, 297), px(kBlue));
    EXPECT_EQ(px(image, 6, 297), kWhitePx) << "between the first two dots";
}

TEST(EmfPlusPlayback, a_palettes_see_through_colour_shows_what_is_below)
{
    const QImage image = containersClipsPiesDashesAndPalettes();
    EXPECT_EQ(px(image, 106, 260), px(kGreen)) << "the see-through colour, from pieces padded at the end";
    EXPECT_EQ(px(image, 174, 260), px(kRed));
}

// A dual picture: a see-through GDI+ fill with an opaque GDI stand-in, a section handed to GDI
// by GetDC, and GDI records after the next GDI+ record, which GDI+ does not draw.
QImage dualWithGdiSection()
{
    EmfPlus seeThrough;
    seeThrough.header(true).fillRects(0x80FF0000, { QRectF(0, 0, 100, 100) });
    EmfPlus handOver;
    handOver.fillRects(kPlusGreen, { QRectF(100, 0, 100, 100) }).getDC();
    EmfPlus after;
    after.fillRects(kPlusGreen, { QRectF(160, 160, 40, 40) });
    Emf emf = Emf::pixels(200, 200);
    emf.comment(seeThrough.comment());
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2).rectangle(0, 0, 100, 100);
    emf.comment(handOver.comment());
    emf.createBrush(3, 0, kBlue).selectObject(3).rectangle(20, 120, 60, 160);
    emf.comment(after.comment());
    emf.createBrush(4, 0, kBlack).selectObject(4).rectangle(100, 120, 140, 160);
    return render(emf.finish());
}

TEST(EmfPlusPlayback, a_dual_picture_is_drawn_from_its_gdi_plus_records)
{
    const QImage image = dualWithGdiSection();
    const QRgb half = image.pixel(50, 50);
    EXPECT_EQ(qRed(half), 255);
    EXPECT_NEAR(qGreen(half), 127, 2) << "the see-through fill, not its opaque GDI stand-in";
    EXPECT_NEAR(qBlue(half), 127, 2);
    EXPECT_EQ(px(image, 150, 50), px(kGreen));
    EXPECT_EQ(px(image, 180, 180), px(kGreen));
}

TEST(EmfPlusPlayback, a_dual_picture_draws_gdi_records_only_where_get_dc_hands_over)
{
    const QImage image = dualWithGdiSection();
    EXPECT_EQ(px(image, 40, 140), px(kBlue)) << "after GetDC";
    EXPECT_EQ(px(image, 120, 140), kWhitePx) << "after the next GDI+ record";
    EXPECT_EQ(px(image, 150, 50), px(kGreen)) << "the GDI+ record before GetDC";
}

// A black triangle, its long edge slanting, drawn by GDI after a GetDC of a picture whose GDI+
// records may ask for smooth edges: how many pixels along that edge are neither black nor white.
int softEdgePixels(bool dual, bool smooth)
{
    EmfPlus plus;
    plus.header(dual);
    if (smooth)
        plus.record(0x401E, 0x09, Bytes()); // SetAntiAliasMode: on, high quality
    plus.getDC();
    Emf emf = Emf::pixels(100, 100);
    emf.comment(plus.comment());
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kBlack).selectObject(2);
    emf.polygon({ QPoint(0, 0), QPoint(100, 0), QPoint(0, 70) });
    const QImage image = render(emf.finish());
    int soft = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            soft += qGray(image.pixel(x, y)) > 20 && qGray(image.pixel(x, y)) < 235;
    return soft;
}

TEST(EmfPlusPlayback, gdi_drawing_handed_over_by_get_dc_is_smooth_when_the_gdi_plus_records_asked_for_it)
{
    EXPECT_GT(softEdgePixels(true, true), 50) << "a dual picture asking for antialiasing";
    EXPECT_GT(softEdgePixels(false, true), 50) << "a GDI+ picture asking for antialiasing";
    EXPECT_EQ(softEdgePixels(true, false), 0) << "no such request: GDI's hard edges";
}

// A dual picture with a GDI+ red fill and a GDI blue square, with the given GDI+ records between
// its header and its fill.
QByteArray dualWith(const Bytes& beforeFill, bool fill = true)
{
    EmfPlus plus;
    plus.header(true).raw(beforeFill);
    if (fill)
        plus.fillRects(kPlusRed, { QRectF(0, 0, 200, 200) });
    Emf emf = Emf::pixels(200, 200);
    emf.comment(plus.comment());
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kBlue).selectObject(2).rectangle(10, 10, 50, 50);
    return emf.finish();
}

TEST(EmfPlusPlayback, a_dual_picture_whose_gdi_plus_records_cannot_draw_it_is_drawn_from_its_gdi_records)
{
    const auto record = [](quint16 type, quint16 flags, const Bytes& data) {
        EmfPlus one;
        one.record(type, flags, data);
        return Bytes().raw(one.comment().mid(4));
    };
    const QImage plus = render(dualWith(record(0x401F, 0, Bytes().u32(0)))); // a text rendering hint
    EXPECT_EQ(px(plus, 30, 30), px(kRed)) << "a hint passed over changes nothing";
    const struct {
        const char* what;
        Bytes records;
        bool fill;
    } cases[] = {
        { "an unknown record", record(0x40FF, 0, Bytes().u32(0)), true },
        { "a clip the player does not take", record(0x403A, 0, Bytes().u32(0)), true },
        { "a fill too short for its fields", record(0x400A, 0x8000, Bytes()), true },
        { "a record running past the comment", Bytes().u16(0x401F).u16(0).u32(400).u32(4), false },
        { "no drawing at all", record(0x4002, 0, Bytes()), false },
    };
    for (const auto& c : cases) {
        const QImage image = render(dualWith(c.records, c.fill));
        EXPECT_EQ(px(image, 30, 30), px(kBlue)) << c.what;
        EXPECT_EQ(px(image, 100, 100), kWhitePx) << c.what;
    }
    // Without its header flagged dual first, the GDI+ part is not taken as the picture's either.
    EmfPlus headless;
    headless.fillRects(kPlusRed, { QRectF(0, 0, 200, 200) }).header(true);
    Emf emf = Emf::pixels(200, 200);
    emf.comment(headless.comment());
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kBlue).selectObject(2).rectangle(10, 10, 50, 50);
    EXPECT_EQ(px(render(emf.finish()), 30, 30), px(kBlue));
}

// A 100-pixel EMF filled with one colour by GDI, then drawn on by GDI+ records when given.
QByteArray filledEmf(quint32 colour, const EmfPlus* plus = nullptr)
{
    Emf emf = Emf::pixels(100, 100);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, colour).selectObject(2).rectangle(0, 0, 101, 101);
    if (plus)
        emf.comment(plus->comment());
    return emf.finish();
}

TEST(EmfPlusPlayback, an_image_that_is_an_emf_is_drawn_one_level_deep)
{
    EmfPlus plus;
    plus.header(false).object(0, 5, EmfPlus::metafileImage(filledEmf(kBlue)));
    plus.drawImage(0, QRectF(0, 0, 50, 100), QRectF(20, 20, 50, 100)); // its left half
    // A picture whose own GDI+ records draw another EMF: that one, a level further in, is not drawn.
    EmfPlus inner;
    inner.header(false).object(0, 5, EmfPlus::metafileImage(filledEmf(kRed))).drawImage(0, QRectF(0, 0, 100, 100), QRectF(0, 0, 100, 100));
    plus.object(1, 5, EmfPlus::metafileImage(filledEmf(kGreen, &inner)));
    plus.drawImage(1, QRectF(0, 0, 100, 100), QRectF(100, 100, 100, 100));
    plus.object(2, 5, EmfPlus::metafileImage(filledEmf(kBlack), 1)); // said to be a WMF
    plus.drawImage(2, QRectF(0, 0, 100, 100), QRectF(100, 0, 100, 100));
    const QImage image = render(plusOnly(plus));
    EXPECT_EQ(px(image, 40, 100), px(kBlue));
    EXPECT_EQ(px(image, 80, 60), kWhitePx) << "the right half is not part of the source";
    EXPECT_EQ(px(image, 150, 150), px(kGreen)) << "the picture's own drawing, without the one inside it";
    EXPECT_EQ(px(image, 150, 50), kWhitePx) << "not an EMF";
}

TEST(EmfPlusPlayback, an_embedded_emf_spends_the_work_budget_of_the_picture_around_it)
{
    // Shrunk to a hundred pixels, yet each of its fills covers four million of its own.
    Emf heavy = Emf::pixels(2000, 2000);
    heavy.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2);
    for (int i = 0; i < 1000; ++i)
        heavy.rectangle(0, 0, 2001, 2001);
    EmfPlus plus;
    plus.header(false).object(0, 5, EmfPlus::metafileImage(heavy.finish()));
    plus.drawImage(0, QRectF(0, 0, 2000, 2000), QRectF(0, 0, 100, 100));
    plus.fillRects(kPlusGreen, { QRectF(100, 100, 100, 100) });
    const QImage image = render(plusOnly(plus));
    EXPECT_EQ(px(image, 50, 50), px(kRed)) << "what was drawn before the budget ran out stays";
    EXPECT_EQ(px(image, 150, 150), kWhitePx) << "nothing is left for the records after it";
}

TEST(EmfPlusPlayback, drawing_a_long_embedded_emf_over_and_over_is_paid_for)
{
    Emf busy = Emf::pixels(100, 100);
    for (int i = 0; i < 20000; ++i)
        busy.setBkMode(1);
    EmfPlus plus;
    plus.header(false).object(0, 5, EmfPlus::metafileImage(busy.finish()));
    for (int i = 0; i < 2500; ++i)
        plus.drawImage(0, QRectF(0, 0, 100, 100), QRectF(0, 0, 100, 100));
    plus.fillRects(kPlusGreen, { QRectF(100, 100, 100, 100) });
    const QImage image = render(plusOnly(plus));
    EXPECT_EQ(px(image, 150, 150), kWhitePx) << "the budget ran out on reading the same picture again";
}

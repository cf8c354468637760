// The WMF player: 16-bit Windows' records, drawn where and as GDI draws them.
#include "tests/support/MetafileTesting.h"

#include <QList>

#include <string>

#include <gtest/gtest.h>

using namespace mfw;
using namespace mftest;

TEST(WmfPlayback, shapes_land_where_the_box_maps_them_in_their_pen_and_brush_colours)
{
    Wmf wmf;
    wmf.createPen(0, 4, kBlue).selectObject(0);
    wmf.createBrush(0, kRed).selectObject(1);
    wmf.rectangle(10, 10, 50, 30);
    wmf.createBrush(0, kGreen).selectObject(2);
    wmf.ellipse(60, 0, 100, 40);
    // 100 by 50 units at 48 units per inch: everything twice as large.
    const QImage image = render(wmf.placeable(0, 0, 100, 50, 48));
    ASSERT_EQ(image.size(), QSize(200, 100));
    EXPECT_EQ(px(image, 60, 40), px(kRed));       // inside the rectangle, (30, 20) in units
    EXPECT_EQ(px(image, 20, 40), px(kBlue));      // on its left edge at x = 20 pixels
    EXPECT_EQ(px(image, 10, 40), kWhitePx);       // left of it
    EXPECT_EQ(px(image, 60, 70), kWhitePx);       // below it
    EXPECT_EQ(px(image, 160, 40), px(kGreen));    // the ellipse's centre
    EXPECT_EQ(px(image, 124, 4), kWhitePx);       // its bounding box's corner stays empty
}

TEST(WmfPlayback, polygons_fill_by_the_fill_mode_alternate_leaves_the_inner_square_empty)
{
    const QList<QList<QPoint>> squares { { { 10, 10 }, { 90, 10 }, { 90, 90 }, { 10, 90 } },
                                         { { 30, 30 }, { 70, 30 }, { 70, 70 }, { 30, 70 } } };
    // A pentagram drawn in one stroke: its centre is crossed twice.
    const QList<QPoint> star { { 150, 10 }, { 175, 90 }, { 110, 40 }, { 190, 40 }, { 125, 90 } };
    for (int mode : { 1, 2 }) {
        Wmf wmf;
        wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kBlack).selectObject(1);
        wmf.setPolyFillMode(mode).polyPolygon(squares).polygon(star);
        const QImage image = render(placeable(wmf, 200, 100));
        const bool winding = mode == 2;
        EXPECT_EQ(px(image, 20, 50), px(kBlack)) << mode;
        EXPECT_EQ(px(image, 50, 50), winding ? px(kBlack) : kWhitePx) << mode;
        EXPECT_EQ(px(image, 150, 50), winding ? px(kBlack) : kWhitePx) << mode;
        EXPECT_EQ(px(image, 150, 20), px(kBlack)) << mode; // a point of the star
        EXPECT_EQ(px(image, 95, 50), kWhitePx) << mode;
    }
}

TEST(WmfPlayback, window_and_viewport_records_move_and_scale_the_drawing)
{
    Wmf wmf;
    wmf.setMapMode(8).setWindowOrg(-100, -50).setWindowExt(200, 100);
    wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kRed).selectObject(1);
    wmf.rectangle(-10, -10, 10, 10); // around the logical origin: the picture's centre
    // Half the window onto the same viewport: units twice as large from here on.
    wmf.setWindowExt(100, 50).setWindowOrg(0, 0).createBrush(0, kBlue).selectObject(2);
    wmf.rectangle(80, 0, 100, 10);
    const QImage image = render(wmf.standard());
    ASSERT_EQ(image.size(), QSize(200, 100));
    EXPECT_EQ(px(image, 100, 50), px(kRed));
    EXPECT_EQ(px(image, 85, 50), kWhitePx);
    EXPECT_EQ(px(image, 180, 10), px(kBlue)); // (90, 5) in the new units
    EXPECT_EQ(px(image, 150, 10), kWhitePx);
}

TEST(WmfPlayback, the_clip_rectangle_holds_until_restoredc)
{
    Wmf wmf;
    wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kRed).selectObject(1).createBrush(0, kBlue);
    wmf.saveDC().intersectClipRect(0, 0, 50, 100).rectangle(0, 0, 100, 50).restoreDC(-1);
    wmf.selectObject(2).rectangle(0, 50, 100, 100);
    wmf.saveDC().excludeClipRect(40, 0, 60, 100).selectObject(1).rectangle(0, 70, 100, 80).restoreDC(-1);
    const QImage image = render(placeable(wmf, 100, 100));
    EXPECT_EQ(px(image, 25, 25), px(kRed));
    EXPECT_EQ(px(image, 75, 25), kWhitePx) << "clipped away";
    EXPECT_EQ(px(image, 75, 60), px(kBlue)) << "drawn after the clip was restored";
    EXPECT_EQ(px(image, 20, 75), px(kRed));
    EXPECT_EQ(px(image, 50, 75), px(kBlue)) << "the excluded strip";
}

TEST(WmfPlayback, regions_fill_paint_and_clip_by_their_spans)
{
    for (const char* use : { "fill", "paint", "clip" }) {
        Wmf wmf;
        wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kRed).selectObject(1);
        wmf.record(0x06FF, regionRecord()); // slot 2
        wmf.createBrush(0, kGreen);          // slot 3
        if (use == std::string("fill"))
            wmf.words(0x0228, { 2, 3 });
        else if (use == std::string("paint"))
            wmf.words(0x012B, { 2 });
        else
            wmf.words(0x012C, { 2 }).rectangle(0, 0, 100, 100);
        const QImage image = render(wmf.placeable(0, 0, 100, 100, 96, 4));
        const QRgb ink = use == std::string("fill") ? px(kGreen) : px(kRed);
        EXPECT_EQ(px(image, 50, 20), ink) << use;      // the bar
        EXPECT_EQ(px(image, 20, 45), ink) << use;      // the left post
        EXPECT_EQ(px(image, 80, 45), ink) << use;      // the right post
        EXPECT_EQ(px(image, 50, 45), kWhitePx) << use; // between the posts
        EXPECT_EQ(px(image, 5, 5), kWhitePx) << use;   // outside the box
    }
}

TEST(WmfPlayback, a_band_whose_closing_count_disagrees_ends_the_region_before_it)
{
    // Only the bar is left.
    Wmf broken;
    broken.createBrush(0, kRed).record(0x06FF, regionRecord(true)).words(0x0228, { 1, 0 });
    const QImage image = render(broken.placeable(0, 0, 100, 100, 96, 2));
    EXPECT_EQ(px(image, 50, 20), px(kRed));
    EXPECT_EQ(px(image, 20, 45), kWhitePx);
}

// FrameRegion round the bar over two posts, and InvertRegion over part of a black rectangle.
QImage framedAndInvertedRegions()
{
    Wmf wmf;
    wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kBlack).selectObject(1);
    wmf.record(0x06FF, regionRecord()); // slot 2: the bar over two posts
    wmf.createBrush(0, kBlue);          // slot 3
    wmf.words(0x0429, { 2, 3, 4, 6 });  // FrameRegion: 6 wide at the sides, 4 tall top and bottom
    wmf.rectangle(0, 70, 100, 100).record(0x06FF, Bytes().u16(0).i16(6).u32(0).i16(0).i16(1).i16(0).i16(0).i16(70).i16(100).i16(100).u16(2).i16(80).i16(90).i16(0).i16(100).u16(2));
    wmf.words(0x012A, { 4 }); // InvertRegion over part of the black rectangle
    return render(wmf.placeable(0, 0, 100, 100, 96, 5));
}

TEST(WmfPlayback, regions_are_framed_inside_their_edges)
{
    const QImage image = framedAndInvertedRegions();
    EXPECT_EQ(px(image, 12, 20), px(kBlue));      // the bar's left edge, inside
    EXPECT_EQ(px(image, 50, 12), px(kBlue));      // its top edge
    EXPECT_EQ(px(image, 50, 20), kWhitePx);       // its middle stays as it was
    EXPECT_EQ(px(image, 50, 27), px(kBlue));      // the bar's bottom edge between the posts
    EXPECT_EQ(px(image, 20, 28), kWhitePx);       // where the bar runs on into a post
    EXPECT_EQ(px(image, 20, 45), kWhitePx);       // the left post's middle
    EXPECT_EQ(px(image, 28, 45), px(kBlue));      // its right edge
    EXPECT_EQ(px(image, 5, 20), kWhitePx);        // outside the region
}

TEST(WmfPlayback, an_inverted_region_turns_black_white)
{
    const QImage image = framedAndInvertedRegions();
    EXPECT_EQ(px(image, 50, 85), kWhitePx) << "black inverted";
    EXPECT_EQ(px(image, 50, 75), px(kBlack)) << "outside the inverted band";
}

TEST(WmfPlayback, arcs_pies_chords_and_rounded_rectangles)
{
    Wmf wmf;
    wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kRed).selectObject(1);
    // From the right (3 o'clock) anticlockwise to the top: the upper right quarter.
    wmf.pie(0, 0, 100, 100, { 100, 50 }, { 50, 0 });
    // A chord across the lower half from 9 o'clock to 3 o'clock, anticlockwise: the bottom half.
    wmf.chord(100, 0, 200, 100, { 100, 50 }, { 200, 50 });
    wmf.roundRect(0, 110, 100, 150, 40, 40);
    const QImage image = render(placeable(wmf, 200, 150));
    EXPECT_EQ(px(image, 70, 30), px(kRed));
    EXPECT_EQ(px(image, 30, 30), kWhitePx);
    EXPECT_EQ(px(image, 70, 70), kWhitePx);
    EXPECT_EQ(px(image, 150, 80), px(kRed));
    EXPECT_EQ(px(image, 150, 20), kWhitePx);
    EXPECT_EQ(px(image, 50, 130), px(kRed));
    EXPECT_EQ(px(image, 1, 111), kWhitePx) << "the rounded corner is cut";
}

TEST(WmfPlayback, hatches_fill_their_gaps_with_the_background_colour_only_when_opaque)
{
    for (int bkMode : { 1, 2 }) {
        Wmf wmf;
        wmf.createPen(5, 0, 0).selectObject(0).createBrush(2, kBlue, 0).selectObject(1); // HS_HORIZONTAL
        wmf.setBkColor(kYellow).setBkMode(bkMode).rectangle(0, 0, 64, 64);
        const QImage image = render(placeable(wmf, 64, 64));
        int lines = 0;
        int gaps = 0;
        for (int y = 8; y < 40; ++y) {
            const unsigned c = px(image, 20, y);
            if (c == px(kBlue))
                ++lines;
            else if (c == (bkMode == 2 ? px(kYellow) : kWhitePx))
                ++gaps;
        }
        EXPECT_EQ(lines, 4) << bkMode;
        EXPECT_EQ(gaps, 28) << bkMode;
        // Horizontal lines: a row is all line or all gap.
        EXPECT_EQ(px(image, 5, 20), px(image, 50, 20)) << bkMode;
    }
}

TEST(WmfPlayback, a_deleted_object_leaves_its_slot_to_the_next_one_created)
{
    Wmf wmf;
    wmf.createPen(5, 0, 0);              // slot 0
    wmf.createBrush(0, kRed);            // slot 1
    wmf.selectObject(0).deleteObject(0); // the pen stays selected; slot 0 is free
    wmf.createBrush(0, kGreen);          // slot 0 again
    wmf.selectObject(0).rectangle(0, 0, 50, 50);
    wmf.selectObject(1).rectangle(50, 0, 100, 50);
    const QImage image = render(placeable(wmf, 100, 50));
    EXPECT_EQ(px(image, 25, 25), px(kGreen));
    EXPECT_EQ(px(image, 75, 25), px(kRed));
}

TEST(WmfPlayback, dibs_of_every_depth_stretch_into_place_the_right_way_up)
{
    for (int depth : { 1, 4, 8, 24, 32 }) {
        QImage source = fourColours();
        if (depth == 1) { // two colours only
            source.setPixel(1, 0, qt(kBlue));
            source.setPixel(1, 1, qt(kRed));
        }
        const Dib dib = makeDib(source, depth);
        Wmf wmf;
        wmf.stretchDib(QRect(10, 10, 40, 40), QRect(0, 0, 2, 2), dib);
        wmf.dibStretchBlt(QRect(60, 10, 40, 40), QRect(0, 0, 2, 2), makeDib(source, depth, true));
        wmf.dibBitBlt(QPoint(110, 10), QRect(1, 0, 1, 2), dib); // the right column, unstretched
        const QImage image = render(placeable(wmf, 120, 60));
        for (int x0 : { 10, 60 }) {
            EXPECT_EQ(px(image, x0 + 10, 20), source.pixel(0, 0) & 0xFFFFFF) << depth << " at " << x0;
            EXPECT_EQ(px(image, x0 + 30, 20), source.pixel(1, 0) & 0xFFFFFF) << depth << " at " << x0;
            EXPECT_EQ(px(image, x0 + 10, 40), source.pixel(0, 1) & 0xFFFFFF) << depth << " at " << x0;
            EXPECT_EQ(px(image, x0 + 30, 40), source.pixel(1, 1) & 0xFFFFFF) << depth << " at " << x0;
        }
        EXPECT_EQ(px(image, 110, 10), source.pixel(1, 0) & 0xFFFFFF) << depth;
        EXPECT_EQ(px(image, 110, 11), source.pixel(1, 1) & 0xFFFFFF) << depth;
        EXPECT_EQ(px(image, 111, 10), kWhitePx) << depth;
        EXPECT_EQ(px(image, 5, 5), kWhitePx) << depth;
    }
}

// A 2x2 monochrome bitmap, white at its top right only.
QImage monochromeCorner()
{
    QImage mono(2, 2, QImage::Format_RGB32);
    mono.fill(Qt::black);
    mono.setPixel(1, 0, qRgb(255, 255, 255));
    return mono;
}

TEST(WmfPlayback, old_device_bitmaps_take_the_text_and_background_colours)
{
    // Blitted onto a colour picture, a monochrome bitmap's clear bits take the text colour and
    // its set bits the background colour.
    const QImage mono = monochromeCorner();
    for (bool withPointer : { false, true }) {
        Wmf wmf;
        wmf.setTextColor(kRed).setBkColor(kBlue);
        wmf.stretchBlt16(QRect(10, 10, 40, 40), QRect(0, 0, 2, 2), Wmf::bitmap16(mono, withPointer));
        wmf.bitBlt16(QPoint(60, 10), QRect(1, 0, 1, 2), Wmf::bitmap16(mono, withPointer)); // right column
        const QImage image = render(placeable(wmf, 80, 60));
        EXPECT_EQ(px(image, 20, 20), px(kRed)) << withPointer;
        EXPECT_EQ(px(image, 40, 20), px(kBlue)) << withPointer;
        EXPECT_EQ(px(image, 20, 40), px(kRed)) << withPointer;
        EXPECT_EQ(px(image, 40, 40), px(kRed)) << withPointer;
        EXPECT_EQ(px(image, 60, 10), px(kBlue)) << withPointer;
        EXPECT_EQ(px(image, 60, 11), px(kRed)) << withPointer;
        EXPECT_EQ(px(image, 61, 10), kWhitePx) << withPointer;
    }
}

TEST(WmfPlayback, device_bitmap_bits_that_run_short_of_the_rows_their_header_claims_draw_nothing)
{
    QByteArray cut = Wmf::bitmap16(monochromeCorner(), false);
    cut.chop(2);
    Wmf wmf;
    wmf.stretchBlt16(QRect(10, 10, 40, 40), QRect(0, 0, 2, 2), cut);
    EXPECT_EQ(px(render(placeable(wmf, 80, 60)), 20, 20), kWhitePx);
}

TEST(WmfPlayback, mask_and_image_blits_combine_by_their_raster_operations)
{
    // The usual transparent sprite: AND a mask (black where the sprite is), then XOR the sprite
    // (black where it is not) over a blue background.
    QImage mask(4, 4, QImage::Format_RGB32);
    mask.fill(Qt::white);
    QImage sprite(4, 4, QImage::Format_RGB32);
    sprite.fill(Qt::black);
    for (int y = 1; y < 3; ++y)
        for (int x = 1; x < 3; ++x) {
            mask.setPixel(x, y, qRgb(0, 0, 0));
            sprite.setPixel(x, y, qt(kRed));
        }
    Wmf wmf;
    wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kBlue).selectObject(1).rectangle(0, 0, 40, 40);
    wmf.stretchDib(QRect(0, 0, 40, 40), QRect(0, 0, 4, 4), makeDib(mask, 1), SrcAnd);
    wmf.stretchDib(QRect(0, 0, 40, 40), QRect(0, 0, 4, 4), makeDib(sprite, 24), SrcInvert);
    const QImage image = render(placeable(wmf, 40, 40));
    EXPECT_EQ(px(image, 20, 20), px(kRed));
    EXPECT_EQ(px(image, 5, 5), px(kBlue));
    EXPECT_EQ(px(image, 35, 20), px(kBlue));
}

TEST(WmfPlayback, a_dib_pattern_brush_tiles_its_bitmap)
{
    QImage tile(2, 2, QImage::Format_RGB32);
    tile.fill(qt(kYellow));
    tile.setPixel(0, 0, qt(kBlue));
    tile.setPixel(1, 1, qt(kBlue));
    Wmf wmf;
    wmf.createPen(5, 0, 0).selectObject(0).createPatternBrush(makeDib(tile, 4)).selectObject(1);
    wmf.rectangle(0, 0, 40, 40);
    // Scaled four times: GDI tiles patterns in device pixels, not logical units.
    const QImage image = render(wmf.placeable(0, 0, 10, 10, 24));
    ASSERT_EQ(image.size(), QSize(40, 40));
    for (int y = 10; y < 14; ++y)
        for (int x = 10; x < 14; ++x)
            EXPECT_EQ(px(image, x, y), (x + y) % 2 == 0 ? px(kBlue) : px(kYellow)) << x << "," << y;
}

// Text centred on its baseline, characters advanced by the record's own spacing, an opaque
// rectangle without text, and letters spaced by the character extra, in one picture.
QImage alignedSpacedAndOpaqueText()
{
    Wmf wmf;
    wmf.createFont(-20, 0, "Arial").selectObject(0).setBkMode(1).setTextColor(kBlack);
    wmf.setTextAlign(6 | 24); // TA_CENTER | TA_BASELINE
    wmf.textOut(100, 30, "HH");
    // 「号」 four times, each advanced 40 units by the record: a line 160 wide.
    wmf.setTextAlign(0).createFont(-20, 128, sjis({ 0x82, 0x6C, 0x82, 0x72, 0x20, 0x83, 0x53, 0x83, 0x56, 0x83, 0x62, 0x83, 0x4E })).selectObject(1);
    wmf.extTextOut(10, 40, sjis({ 0x8D, 0x86, 0x8D, 0x86, 0x8D, 0x86, 0x8D, 0x86 }), 0, {}, { 40, 0, 40, 0, 40, 0, 40, 0 });
    wmf.setBkColor(kYellow).extTextOut(0, 80, "", 2, QRect(20, 75, 30, 10)); // ETO_OPAQUE
    // Four narrow letters, 15 units apart besides their own widths.
    wmf.selectObject(0).setBkMode(1).setTextCharExtra(15).textOut(60, 78, "IIII").setTextCharExtra(0).textOut(150, 78, "IIII");
    return render(placeable(wmf, 200, 100));
}

TEST(WmfPlayback, text_stands_on_its_baseline_centred_on_its_point)
{
    const QImage image = alignedSpacedAndOpaqueText();
    const QRect top = inkBox(image.copy(0, 0, 200, 35));
    EXPECT_NEAR((top.left() + top.right()) / 2.0, 100, 2) << "centred on x = 100";
    EXPECT_LE(top.bottom(), 31) << "standing on the baseline at y = 30";
    EXPECT_GE(top.bottom(), 27);
}

TEST(WmfPlayback, characters_advance_by_the_spacing_their_record_gives)
{
    const QImage image = alignedSpacedAndOpaqueText();
    const QRect spaced = inkBox(image.copy(0, 36, 200, 34));
    EXPECT_GT(spaced.width(), 130) << "four characters 20 wide would take 80 without the advances";
    EXPECT_LT(spaced.width(), 165);
    int column = 0; // the gaps between the characters are empty columns
    for (int y = 36; y < 70; ++y)
        column += dark(image.pixel(45, y));
    EXPECT_EQ(column, 0);
}

TEST(WmfPlayback, an_opaque_text_rectangle_fills_with_the_background_colour)
{
    const QImage image = alignedSpacedAndOpaqueText();
    EXPECT_EQ(px(image, 35, 80), px(kYellow));
    EXPECT_EQ(px(image, 55, 80), kWhitePx);
}

TEST(WmfPlayback, character_extra_widens_the_gaps_between_letters)
{
    const QImage image = alignedSpacedAndOpaqueText();
    const QRect extra = inkBox(image.copy(55, 76, 90, 24));
    const QRect plain = inkBox(image.copy(145, 76, 55, 24));
    EXPECT_NEAR(extra.width() - plain.width(), 45, 3) << "three gaps widened by 15";
}

TEST(WmfPlayback, set_dib_to_dev_draws_unstretched_and_only_the_scan_lines_stored)
{
    const Dib dib = makeDib(fourColours(), 24);
    Wmf wmf;
    wmf.setDibToDev(QPoint(10, 10), QRect(0, 0, 2, 2), dib, 0, 2).setDibToDev(QPoint(20, 10), QRect(0, 0, 2, 2), { dib.info, dib.bits.first(8) }, 0, 1);
    const QImage w = render(placeable(wmf, 40, 20));
    EXPECT_EQ(px(w, 10, 10), px(kRed));
    EXPECT_EQ(px(w, 11, 11), px(kYellow));
    EXPECT_EQ(px(w, 20, 10), kWhitePx);
    EXPECT_EQ(px(w, 21, 11), px(kYellow));
}

namespace {

// An EMF of 200 by 100 pixels that paints its left half blue.
QByteArray blueLeftHalf()
{
    Emf emf = Emf::pixels(200, 100);
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kBlue).selectObject(2).rectangle(0, 0, 100, 100);
    return emf.finish();
}

// A WMF of 100 by 50 pixels whose own records paint it all red, carrying the chunks.
QByteArray redWmfCarrying(const QList<QByteArray>& chunks)
{
    Wmf wmf;
    wmf.embedEmf(chunks);
    wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kRed).selectObject(1).rectangle(0, 0, 101, 51);
    return placeable(wmf, 100, 50);
}

} // namespace

TEST(WmfEmbeddedEmf, a_wmf_carrying_an_emf_in_chunks_is_drawn_from_the_emf_fitted_to_the_wmfs_size)
{
    const QByteArray emf = blueLeftHalf();
    for (int checksumDelta : { 0, 1 }) { // the documented checksum and LibreOffice's
        SCOPED_TRACE(checksumDelta);
        const QList<QByteArray> chunks = Wmf::emfChunks(emf, 64, checksumDelta);
        ASSERT_GE(chunks.size(), 3);
        const QByteArray file = redWmfCarrying(chunks);
        const Result<Metafile::Header> header = Metafile::inspect(file);
        ASSERT_TRUE(header.ok());
        EXPECT_EQ(header.value().format, Metafile::Format::PlaceableWmf);
        EXPECT_EQ(header.value().size, QSize(100, 50));
        const QImage image = render(file);
        ASSERT_EQ(image.size(), QSize(100, 50));
        EXPECT_EQ(px(image, 20, 25), px(kBlue));
        EXPECT_EQ(px(image, 45, 45), px(kBlue));
        EXPECT_EQ(px(image, 55, 25), kWhitePx); // the EMF's right half, where the WMF paints red
        EXPECT_EQ(px(image, 95, 45), kWhitePx);
    }
}

TEST(WmfEmbeddedEmf, an_embedded_emf_missing_out_of_order_or_inconsistent_leaves_the_wmfs_own_records)
{
    const QByteArray emf = blueLeftHalf();
    const QList<QByteArray> good = Wmf::emfChunks(emf, 64);
    ASSERT_GE(good.size(), 3);
    QList<std::pair<const char*, QList<QByteArray>>> cases;
    cases.append({ "checksum off by two", Wmf::emfChunks(emf, 64, 2) });
    cases.append({ "checksum one less", Wmf::emfChunks(emf, 64, -1) });
    cases.append({ "a chunk missing", good });
    cases.back().second.removeAt(1);
    cases.append({ "the last chunk missing", good });
    cases.back().second.removeLast();
    cases.append({ "two chunks swapped", good });
    cases.back().second.swapItemsAt(1, 2);
    cases.append({ "a chunk twice", good });
    cases.back().second.insert(1, good[1]);
    cases.append({ "a count of one more", Wmf::emfChunks(emf, 64, 0, int(good.size()) + 1) });
    cases.append({ "a count of one less", Wmf::emfChunks(emf, 64, 0, int(good.size()) - 1) });
    // One chunk claiming an EMF of two gigabytes: refused before anything is set aside for it.
    QList<QByteArray> huge = Wmf::emfChunks(emf, int(emf.size()));
    for (int k = 0; k < 4; ++k)
        huge[0][30 + k] = char(k == 3 ? 0x7F : 0xF0);
    cases.append({ "a total larger than the file", huge });
    QByteArray notAnEmf = emf;
    notAnEmf[40] = 'X'; // the signature
    cases.append({ "bytes that are no EMF", Wmf::emfChunks(notAnEmf, 64) });
    for (const auto& [name, chunks] : cases) {
        SCOPED_TRACE(name);
        const QByteArray file = redWmfCarrying(chunks);
        EXPECT_EQ(Metafile::inspect(file).value().size, QSize(100, 50));
        const QImage image = render(file);
        EXPECT_EQ(px(image, 20, 25), px(kRed));
        EXPECT_EQ(px(image, 80, 25), px(kRed));
    }
}

TEST(WmfPlayback, a_grey_mask_ored_in_then_a_picture_anded_over_it_is_a_see_through_picture)
{
    QImage mask(2, 1, QImage::Format_RGB32);
    mask.setPixel(0, 0, qRgb(128, 128, 128));
    mask.setPixel(1, 0, qRgb(0, 0, 0));
    QImage picture(2, 1, QImage::Format_RGB32);
    picture.fill(qRgb(255, 0, 0));
    picture.setPixel(1, 0, qRgb(255, 255, 255));
    auto drawn = [&](QRect pictureAt) {
        Wmf wmf;
        wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kBlue).selectObject(1).rectangle(0, 0, 61, 31);
        wmf.stretchDib(QRect(0, 0, 60, 30), QRect(0, 0, 2, 1), makeDib(mask, 8), SrcPaint);
        wmf.stretchDib(pictureAt, QRect(0, 0, 2, 1), makeDib(picture, 24), SrcAnd);
        return render(wmf.placeable(0, 0, 60, 30, 96));
    };
    const QImage seeThrough = drawn(QRect(0, 0, 60, 30));
    const QRgb half = seeThrough.pixel(15, 15);
    EXPECT_NEAR(qRed(half), 128, 2) << "half the picture over half the blue";
    EXPECT_NEAR(qBlue(half), 127, 2);
    EXPECT_EQ(px(seeThrough, 45, 15), px(kBlue)) << "black in the mask leaves the blue";
    EXPECT_EQ(px(drawn(QRect(0, 0, 60, 29)), 15, 15), 0x800000u) << "over another place: bit by bit";
}

#include "metafile/Metafile.h"
#include "tests/support/MetafileWriter.h"
#include "picture/PictureLoader.h"
#include "tests/CpuClock.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

#include <limits>
#include <utility>

#include <gtest/gtest.h>

using namespace mfw;

namespace {

const quint32 kRed = rgb(255, 0, 0);
const quint32 kGreen = rgb(0, 255, 0);
const quint32 kBlue = rgb(0, 0, 255);
const quint32 kBlack = rgb(0, 0, 0);
const quint32 kYellow = rgb(255, 255, 0);

QRgb qt(quint32 colourRef)
{
    return qRgb(colourRef & 0xFF, (colourRef >> 8) & 0xFF, (colourRef >> 16) & 0xFF);
}

// The picture's pixel at (x, y) as a 0xRRGGBB number, which gtest prints readably.
unsigned px(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}
unsigned px(quint32 colourRef)
{
    return qt(colourRef) & 0xFFFFFF;
}
constexpr unsigned kWhitePx = 0xFFFFFF;

QImage render(const QByteArray& file, QSize visible = {})
{
    const Metafile::Rendering r = Metafile::render(file, visible);
    EXPECT_TRUE(r.ok()) << "problem " << int(r.problem);
    return r.image;
}

bool dark(QRgb c)
{
    return qGray(c) < 128;
}

// The smallest rectangle holding every dark pixel, and how many there are.
QRect inkBox(const QImage& image, int* count = nullptr)
{
    QRect box;
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (dark(image.pixel(x, y))) {
                box |= QRect(x, y, 1, 1);
                ++n;
            }
    if (count)
        *count = n;
    return box;
}

// A 1:1 placeable WMF: logical units are the picture's pixels.
QByteArray placeable(const Wmf& wmf, int width, int height)
{
    return wmf.placeable(0, 0, width, height, 96);
}

QImage fourColours()
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qt(kRed));
    image.setPixel(1, 0, qt(kGreen));
    image.setPixel(0, 1, qt(kBlue));
    image.setPixel(1, 1, qt(kYellow));
    return image;
}

} // namespace

// Sizes ----------------------------------------------------------------------------------------

TEST(MetafileSize, comes_from_the_placeable_box_the_window_extent_or_the_emf_frame)
{
    Wmf wmf;
    wmf.rectangle(0, 0, 10, 10);
    // 1440 twips by 720 at 1440 units per inch: one inch by half an inch.
    auto header = Metafile::inspect(wmf.placeable(0, 0, 1440, 720, 1440));
    EXPECT_TRUE(header.ok());
    EXPECT_EQ(header.format, Metafile::Format::PlaceableWmf);
    EXPECT_EQ(header.size, QSize(96, 48));
    // The box need not start at the origin, and may run backwards.
    EXPECT_EQ(Metafile::inspect(wmf.placeable(-500, 1000, 500, 0, 1000)).size, QSize(96, 96));

    Wmf plain;
    plain.setMapMode(8).setWindowOrg(-50, -20).setWindowExt(300, 120).rectangle(0, 0, 10, 10);
    header = Metafile::inspect(plain.standard());
    EXPECT_TRUE(header.ok());
    EXPECT_EQ(header.format, Metafile::Format::Wmf);
    EXPECT_EQ(header.size, QSize(300, 120));

    // 50.8 mm by 25.4 mm.
    header = Metafile::inspect(Emf(QRect(QPoint(0, 0), QPoint(5080, 2540))).rectangle(0, 0, 5, 5).finish());
    EXPECT_TRUE(header.ok());
    EXPECT_EQ(header.format, Metafile::Format::Emf);
    EXPECT_EQ(header.size, QSize(192, 96));
    const Metafile::Rendering r = Metafile::render(Emf::pixels(240, 120).finish());
    EXPECT_EQ(r.image.size(), QSize(240, 120));
}

TEST(MetafileSize, a_plain_wmf_without_a_window_is_as_large_as_its_drawing)
{
    // No placeable header and no window: one logical unit is a pixel, and the picture starts
    // where the drawing does, here 100 units in and 50 down.
    Wmf wmf;
    wmf.createBrush(0, kRed).selectObject(0).createPen(5, 0, 0).selectObject(1).rectangle(100, 50, 300, 150);
    wmf.createFont(-20, 0, "Arial").selectObject(2).setBkMode(1).textOut(300, 100, "Go");
    const QByteArray file = wmf.standard();
    const Metafile::Header header = Metafile::inspect(file);
    ASSERT_TRUE(header.ok());
    EXPECT_EQ(header.format, Metafile::Format::Wmf);
    EXPECT_NEAR(header.size.height(), 100, 2);
    EXPECT_GT(header.size.width(), 200 + 10) << "the text right of the rectangle counts";
    EXPECT_LT(header.size.width(), 200 + 60);
    const QImage image = render(file);
    EXPECT_EQ(px(image, 2, 2), px(kRed));
    EXPECT_EQ(px(image, 197, 97), px(kRed));
    const QRect text = inkBox(image.copy(201, 0, image.width() - 201, image.height()));
    EXPECT_FALSE(text.isEmpty()) << "the caption is drawn inside the picture";

    // A placeable box without an inch, or a window without area, says nothing of the size either.
    Wmf shapes;
    shapes.createBrush(0, kRed).selectObject(0).createPen(5, 0, 0).selectObject(1).rectangle(10, 10, 110, 60);
    EXPECT_EQ(Metafile::inspect(shapes.placeable(0, 0, 2000, 1000, 0)).size, QSize(100, 50));
    EXPECT_EQ(Metafile::inspect(shapes.placeable(0, 0, 0, 0, 1440)).size, QSize(100, 50));
    Wmf flat;
    flat.setMapMode(8).setWindowExt(0, 300).createBrush(0, kRed).selectObject(0).rectangle(10, 10, 110, 60);
    EXPECT_EQ(Metafile::inspect(flat.standard()).problem, Metafile::Problem::None);

    Wmf nothing;
    nothing.createBrush(0, kRed).selectObject(0);
    EXPECT_EQ(Metafile::inspect(nothing.standard()).problem, Metafile::Problem::Malformed) << "nothing drawn, no size";
}

TEST(MetafileSize, absurd_sides_are_refused_from_the_header_while_posters_pass)
{
    Wmf wmf;
    wmf.rectangle(0, 0, 10, 10);
    // 30,000 inches wide.
    const Metafile::Header huge = Metafile::inspect(wmf.placeable(0, 0, 30000, 100, 1));
    EXPECT_EQ(huge.problem, Metafile::Problem::TooLarge);
    EXPECT_EQ(huge.size.width(), 30000 * 96);
    EXPECT_EQ(Metafile::inspect(wmf.placeable(0, 0, 32000, 100, 96)).problem, Metafile::Problem::None);
    // A poster three metres wide is a picture; a kilometre is not.
    EXPECT_EQ(Metafile::inspect(Emf(QRect(0, 0, 300000, 1000)).finish()).problem, Metafile::Problem::None);
    EXPECT_EQ(Metafile::inspect(Emf(QRect(0, 0, 100000000, 1000)).finish()).problem, Metafile::Problem::TooLarge);
}

// WMF drawing ----------------------------------------------------------------------------------

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

// A region record: bands of spans. Two bands here: a wide bar on top, two posts beneath.
Bytes regionRecord(bool brokenSecondBand = false)
{
    Bytes r;
    r.u16(0).i16(6).u32(0).i16(0).i16(2).i16(4).i16(10).i16(10).i16(90).i16(60);
    r.u16(2).i16(10).i16(30).i16(10).i16(90).u16(2);
    r.u16(4).i16(30).i16(60).i16(10).i16(30).i16(70).i16(90).u16(brokenSecondBand ? 3 : 4);
    return r;
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

    // A band whose closing count disagrees ends the region before it: only the bar is left.
    Wmf broken;
    broken.createBrush(0, kRed).record(0x06FF, regionRecord(true)).words(0x0228, { 1, 0 });
    const QImage image = render(broken.placeable(0, 0, 100, 100, 96, 2));
    EXPECT_EQ(px(image, 50, 20), px(kRed));
    EXPECT_EQ(px(image, 20, 45), kWhitePx);
}

TEST(WmfPlayback, regions_are_framed_inside_their_edges_and_inverted)
{
    Wmf wmf;
    wmf.createPen(5, 0, 0).selectObject(0).createBrush(0, kBlack).selectObject(1);
    wmf.record(0x06FF, regionRecord()); // slot 2: the bar over two posts
    wmf.createBrush(0, kBlue);          // slot 3
    wmf.words(0x0429, { 2, 3, 4, 6 });  // FrameRegion: 6 wide at the sides, 4 tall top and bottom
    wmf.rectangle(0, 70, 100, 100).record(0x06FF, Bytes().u16(0).i16(6).u32(0).i16(0).i16(1).i16(0).i16(0).i16(70).i16(100).i16(100).u16(2).i16(80).i16(90).i16(0).i16(100).u16(2));
    wmf.words(0x012A, { 4 }); // InvertRegion over part of the black rectangle
    const QImage image = render(wmf.placeable(0, 0, 100, 100, 96, 5));
    EXPECT_EQ(px(image, 12, 20), px(kBlue));      // the bar's left edge, inside
    EXPECT_EQ(px(image, 50, 12), px(kBlue));      // its top edge
    EXPECT_EQ(px(image, 50, 20), kWhitePx);       // its middle stays as it was
    EXPECT_EQ(px(image, 50, 27), px(kBlue));      // the bar's bottom edge between the posts
    EXPECT_EQ(px(image, 20, 28), kWhitePx);       // where the bar runs on into a post
    EXPECT_EQ(px(image, 20, 45), kWhitePx);       // the left post's middle
    EXPECT_EQ(px(image, 28, 45), px(kBlue));      // its right edge
    EXPECT_EQ(px(image, 5, 20), kWhitePx);        // outside the region
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

TEST(WmfPlayback, old_device_bitmaps_take_the_text_and_background_colours)
{
    // A 2x2 monochrome bitmap, white at its top right only; blitted onto a colour picture its
    // clear bits take the text colour and its set bits the background colour.
    QImage mono(2, 2, QImage::Format_RGB32);
    mono.fill(Qt::black);
    mono.setPixel(1, 0, qRgb(255, 255, 255));
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
    // Bits that run short of the rows the header claims draw nothing.
    QByteArray cut = Wmf::bitmap16(mono, false);
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

TEST(WmfPlayback, shift_jis_text_draws_in_the_gothic_face_where_ipagothic_would)
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

TEST(WmfPlayback, symbol_fonts_draw_their_own_symbols_not_the_letters_of_their_codes)
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

    // In Unicode text, a symbol font's codes are also reached at 0xF020 and up.
    Emf emf = Emf::pixels(160, 144);
    emf.createFont(1, -100, 2, QStringLiteral("Symbol")).selectObject(1).setBkMode(1);
    emf.extTextOutW(20, 10, QString(QChar(0xF044)));
    const Glyph wide = glyph(render(emf.finish()));
    EXPECT_GT(wide.box.height(), 50);
    EXPECT_LT(wide.topOffCentre, 0.15);
    EXPECT_LT(wide.topWidth, 0.4);
}

TEST(WmfPlayback, text_in_arial_keeps_the_width_it_was_laid_out_for)
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

TEST(WmfPlayback, a_font_width_is_counted_against_the_average_of_the_lowercase_letters)
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

TEST(WmfPlayback, text_follows_alignment_spacing_and_the_opaque_rectangle)
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
    const QImage image = render(placeable(wmf, 200, 100));

    const QRect top = inkBox(image.copy(0, 0, 200, 35));
    EXPECT_NEAR((top.left() + top.right()) / 2.0, 100, 2) << "centred on x = 100";
    EXPECT_LE(top.bottom(), 31) << "standing on the baseline at y = 30";
    EXPECT_GE(top.bottom(), 27);

    const QRect spaced = inkBox(image.copy(0, 36, 200, 34));
    EXPECT_GT(spaced.width(), 130) << "four characters 20 wide would take 80 without the advances";
    EXPECT_LT(spaced.width(), 165);
    int column = 0; // the gaps between the characters are empty columns
    for (int y = 36; y < 70; ++y)
        column += dark(image.pixel(45, y));
    EXPECT_EQ(column, 0);

    EXPECT_EQ(px(image, 35, 80), px(kYellow));
    EXPECT_EQ(px(image, 55, 80), kWhitePx);

    const QRect extra = inkBox(image.copy(55, 76, 90, 24));
    const QRect plain = inkBox(image.copy(145, 76, 55, 24));
    EXPECT_NEAR(extra.width() - plain.width(), 45, 3) << "three gaps widened by 15";
}

// EMF drawing ----------------------------------------------------------------------------------

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

TEST(EmfPlayback, regions_are_framed_and_inverted)
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
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 12, 30), px(kGreen));  // left side, 5 wide
    EXPECT_EQ(px(image, 40, 11), px(kGreen));  // top, 3 tall
    EXPECT_EQ(px(image, 16, 30), kWhitePx);    // inside the border
    EXPECT_EQ(px(image, 40, 14), kWhitePx);
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

// ARGB as GDI+ records store colours.
constexpr quint32 kPlusRed = 0xFFFF0000;
constexpr quint32 kPlusGreen = 0xFF00FF00;
constexpr quint32 kPlusBlue = 0xFF0000FF;
constexpr quint32 kPlusBlack = 0xFF000000;

QByteArray plusOnly(const EmfPlus& plus, int width = 200, int height = 200)
{
    Emf emf = Emf::pixels(width, height);
    emf.comment(plus.comment());
    return emf.finish();
}

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

TEST(EmfPlusPlayback, text_gradients_hatches_curves_and_bitmaps)
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
    const QImage image = render(plusOnly(plus));

    int ink = 0;
    const QRect text = inkBox(image.copy(0, 0, 200, 60), &ink);
    EXPECT_GT(ink, 300) << "the string is drawn";
    EXPECT_GT(text.width(), 60);
    EXPECT_LT(text.height(), 45);
    const QRgb left = image.pixel(3, 80);
    const QRgb right = image.pixel(96, 80);
    EXPECT_GT(qRed(left), 200);
    EXPECT_LT(qBlue(left), 50);
    EXPECT_GT(qBlue(right), 200);
    EXPECT_LT(qRed(right), 50);
    int black = 0;
    int green = 0;
    for (int y = 70; y < 90; ++y) {
        black += px(image, 150, y) == 0;
        green += px(image, 150, y) == px(kGreen);
    }
    EXPECT_GT(black, 0) << "the hatch's lines";
    EXPECT_GT(green, black) << "its background between them";
    EXPECT_EQ(px(image, 12, 102), px(kBlue)) << "the curve's corner";
    EXPECT_EQ(px(image, 88, 138), px(kBlue));
    EXPECT_EQ(px(image, 120, 110), px(kRed)) << "the bitmap, from its pieces";
    EXPECT_EQ(px(image, 180, 110), px(kBlue));
    EXPECT_EQ(px(image, 180, 170), px(kRed));
    EXPECT_EQ(px(image, 40, 155), px(kBlue)) << "from pieces all marked as continued";
    int red = 0;
    const QImage placed = image.copy(110, 150, 90, 50);
    for (int y = 0; y < placed.height(); ++y)
        for (int x = 0; x < placed.width(); ++x)
            red += qRed(placed.pixel(x, y)) > 200 && qGreen(placed.pixel(x, y)) < 80;
    EXPECT_GT(red, 100) << "characters placed one by one";
    int marks = 0;
    for (int y = 190; y < 200; ++y)
        for (int x = 0; x < 100; ++x)
            marks += px(image, x, y) != kWhitePx;
    EXPECT_EQ(marks, 0) << "glyph numbers of a font that is not here draw nothing";
}

TEST(EmfPlusPlayback, clears_text_scale_and_pictures_inside_pictures)
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
    const QImage image = render(plusOnly(plus));
    EXPECT_EQ(px(image, 150, 60), kWhitePx);
    const QRect small = inkBox(image.copy(0, 0, 200, 60));
    const QRect large = inkBox(image.copy(0, 100, 200, 100));
    ASSERT_FALSE(small.isEmpty());
    EXPECT_NEAR(double(large.height()) / small.height(), 2.0, 0.25);
}

TEST(EmfPlusPlayback, containers_clips_pies_dashes_and_palettes_as_gdi_plus_draws_them)
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
    const QImage image = render(plusOnly(plus, 300, 300));

    EXPECT_EQ(px(image, 75, 75), px(kRed));
    EXPECT_EQ(px(image, 95, 95), 0u);
    EXPECT_EQ(px(image, 105, 95), kWhitePx) << "outside the clip from before the container";
    EXPECT_EQ(px(image, 150, 150), kWhitePx) << "outside the clip around the container";
    EXPECT_EQ(px(image, 210, 40), px(kBlue));
    EXPECT_EQ(px(image, 281, 111), px(kBlue)) << "the whole destination";
    EXPECT_EQ(px(image, 205, 40), kWhitePx);
    EXPECT_EQ(px(image, 287, 117), kWhitePx);
    EXPECT_EQ(px(image, 130, 10), px(kGreen));
    EXPECT_EQ(px(image, 180, 60), px(kGreen));
    EXPECT_EQ(px(image, 155, 35), kWhitePx) << "where the path's figures overlap";
    // 35 pixels out from the centre, (100, 190), at 25, 45 and 55 degrees.
    EXPECT_EQ(px(image, 131, 204), kWhitePx) << "25 degrees round the ellipse";
    EXPECT_EQ(px(image, 124, 214), 0u) << "45 degrees";
    EXPECT_EQ(px(image, 120, 218), 0u) << "55 degrees";
    EXPECT_EQ(px(image, 10, 290), px(kBlue));
    EXPECT_EQ(px(image, 14, 290), kWhitePx) << "the first gap";
    EXPECT_EQ(px(image, 18, 290), px(kBlue)) << "the second dash";
    EXPECT_EQ(px(image, 270, 170), px(kBlue)) << "inside the infinite region";
    EXPECT_EQ(px(image, 2, 297), px(kBlue));
    EXPECT_EQ(px(image, 6, 297), kWhitePx) << "between the first two dots";
    EXPECT_EQ(px(image, 106, 260), px(kGreen)) << "the see-through colour, from pieces padded at the end";
    EXPECT_EQ(px(image, 174, 260), px(kRed));
}

TEST(EmfPlusPlayback, a_dual_picture_is_drawn_from_its_gdi_records)
{
    EmfPlus plus;
    plus.header(true).fillRects(kPlusRed, { QRectF(0, 0, 200, 200) });
    Emf emf = Emf::pixels(200, 200);
    emf.comment(plus.comment());
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kBlue).selectObject(2).rectangle(10, 10, 50, 50);
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 30, 30), px(kBlue));
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

// The fields a MaskBlt or PlgBlt record ends with: the source and mask bitmaps' places, then the
// bitmaps themselves. `fixed` is the record's size before the bitmaps.
void appendBitmaps(mfw::Bytes& b, int fixed, const Dib& source, const Dib& mask, QPoint maskAt)
{
    const int sourceInfoAt = fixed;
    const int sourceBitsAt = sourceInfoAt + int(source.info.size());
    const int maskInfoAt = sourceBitsAt + int(source.bits.size());
    const int maskBitsAt = maskInfoAt + int(mask.info.size());
    b.f32(1).f32(0).f32(0).f32(1).f32(0).f32(0).u32(0).u32(0); // source transform, colour, usage
    b.u32(sourceInfoAt).u32(quint32(source.info.size())).u32(sourceBitsAt).u32(quint32(source.bits.size()));
    b.i32(maskAt.x()).i32(maskAt.y()).u32(0);
    b.u32(maskInfoAt).u32(quint32(mask.info.size())).u32(maskBitsAt).u32(quint32(mask.bits.size()));
    b.raw(source.info).raw(source.bits).raw(mask.info).raw(mask.bits);
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

// A MaskBlt of a red square through a mask that lets its left half through, at (10, 10), and
// a PlgBlt of the same onto a slanted parallelogram with corners (100, 10), (140, 10), (120, 50).
std::pair<mfw::Bytes, mfw::Bytes> maskedBlits(int side, QPoint sourceAt = {})
{
    QImage red(side, side, QImage::Format_RGB32);
    red.fill(qt(kRed));
    QImage leftHalf(side, side, QImage::Format_RGB32);
    leftHalf.fill(Qt::black);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side / 2; ++x)
            leftHalf.setPixel(x, y, qRgb(255, 255, 255));
    // MaskBlt: MAKEROP4(SRCCOPY, the destination as it is).
    mfw::Bytes mask;
    mask.zeros(16).i32(10).i32(10).i32(side).i32(side).u32(0xAACC0020).i32(sourceAt.x()).i32(sourceAt.y());
    appendBitmaps(mask, 128, makeDib(red, 24), makeDib(leftHalf, 1), QPoint(0, 0));
    // PlgBlt: upper left, upper right, lower left.
    mfw::Bytes plg;
    plg.zeros(16).i32(100).i32(10).i32(140).i32(10).i32(120).i32(50).i32(0).i32(0).i32(side).i32(side);
    appendBitmaps(plg, 140, makeDib(red, 24), makeDib(leftHalf, 1), QPoint(0, 0));
    return { mask, plg };
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

    // A source corner at the far end of the coordinates: nothing of the bitmap is there to draw,
    // and the distance to the mask's corner does not fit an int.
    Emf far = Emf::pixels(240, 120);
    far.record(78, maskedBlits(4, QPoint(std::numeric_limits<int>::min(), 0)).first);
    EXPECT_TRUE(Metafile::render(far.finish()).ok());
}

TEST(EmfPlayback, turned_text_in_a_picture_squashed_almost_flat_is_drawn_from_its_outlines)
{
    // A picture one pixel wide and 26,625 tall, asked for at 64 by 40: turned text would go
    // through Qt's glyph cache under a transform it cannot render (it copies from a glyph bitmap
    // that was never made). Outlines draw it instead.
    Emf emf(QRect(QPoint(0, 0), QPoint(26, 704500)));
    emf.createFont(1, -32, 0, QStringLiteral("Arial")).selectObject(1).setBkMode(1).setTextColor(kBlack);
    emf.setWorldTransform(QTransform().rotate(73) * QTransform::fromTranslate(0, 13000));
    emf.extTextOutW(0, 0, QStringLiteral("Bus"));
    const Metafile::Rendering r = Metafile::render(emf.finish(), { QRect(), QSize(64, 40), QRect() });
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.image.size(), QSize(64, 40));
}

TEST(EmfPlayback, wide_text_bitmaps_and_stock_objects)
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
    const QImage image = render(emf.finish());
    int ink = 0;
    const QRect box = inkBox(image.copy(0, 0, 140, 120), &ink);
    EXPECT_GT(ink, 150);
    EXPECT_GE(box.left(), 10);
    EXPECT_LE(box.left(), 14);
    EXPECT_GE(box.top(), 10);
    EXPECT_LE(box.bottom(), 42);
    EXPECT_GT(box.width(), 75) << "three characters, about 30 pixels each";
    EXPECT_EQ(px(image, 160, 20), px(kRed));
    EXPECT_EQ(px(image, 180, 40), px(kYellow));
    EXPECT_EQ(px(image, 210, 20), px(kGreen));
    EXPECT_EQ(px(image, 210, 50), px(kYellow));
    EXPECT_EQ(px(image, 170, 80), 0xC0C0C0u);
}

// A bitmap header and colour table written out by hand, for the compressed and paletted kinds
// makeDib does not write.
Dib handMadeDib(int width, int height, int bitCount, int compression, const QByteArray& table, const QByteArray& bits,
                int colours)
{
    Bytes info;
    info.u32(40).i32(width).i32(height).u16(1).u16(bitCount).u32(compression).u32(quint32(bits.size()));
    info.i32(3780).i32(3780).u32(colours).u32(0).raw(table);
    return { info.d, bits };
}

QByteArray quads(std::initializer_list<quint32> colourRefs)
{
    Bytes b;
    for (quint32 c : colourRefs)
        b.u8(int(c >> 16)).u8(int(c >> 8)).u8(int(c)).u8(0); // blue, green, red, 0
    return b.d;
}

TEST(EmfPlayback, run_length_bit_field_palette_and_alpha_bitmaps)
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
    const QImage image = render(emf.finish());
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
    EXPECT_EQ(px(image, 110, 10), px(kRed));
    EXPECT_EQ(px(image, 130, 10), px(kBlue));
    EXPECT_EQ(px(image, 160, 10), px(kBlue));
    EXPECT_EQ(px(image, 180, 10), px(kRed));
    EXPECT_EQ(px(image, 20, 60), px(kGreen));
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

TEST(EmfPlayback, regions_polydraw_arcto_pixels_and_ansi_text)
{
    Emf emf = Emf::pixels(240, 120);
    emf.selectClipRects({ QRect(10, 10, 20, 20), QRect(40, 10, 20, 20) });
    emf.createPen(1, 5, 0, 0).selectObject(1).createBrush(2, 0, kRed).selectObject(2).rectangle(0, 0, 70, 40);
    emf.selectClipRects({}).selectObject(0x80000007); // no clip; BLACK_PEN
    emf.polyDraw({ { 80, 10 }, { 120, 10 }, { 120, 40 } }, { 6, 2, 2 | 1 });
    // A line to the arc's start, the arc anticlockwise to its end, and on from there.
    emf.moveTo(130, 60).arcTo(130, 60, 170, 100, { 170, 80 }, { 150, 60 }).lineTo(150, 100);
    emf.setPixel(5, 110, kBlue);
    const QImage image = render(emf.finish());
    EXPECT_EQ(px(image, 20, 20), px(kRed));
    EXPECT_EQ(px(image, 50, 20), px(kRed));
    EXPECT_EQ(px(image, 35, 20), kWhitePx) << "between the region's rectangles";
    EXPECT_EQ(px(image, 20, 35), kWhitePx);
    EXPECT_EQ(px(image, 100, 10), px(kBlack));
    EXPECT_EQ(px(image, 120, 25), px(kBlack));
    EXPECT_EQ(px(image, 100, 25), px(kBlack)) << "the figure was closed";
    EXPECT_EQ(px(image, 150, 90), px(kBlack)) << "the line starts where the arc ended";
    EXPECT_EQ(px(image, 150, 70), px(kBlack));
    EXPECT_EQ(px(image, 5, 110), px(kBlue));

    // ExtTextOutA's Shift_JIS bytes draw exactly what ExtTextOutW's UTF-16 does.
    auto text = [](bool wide) {
        Emf e = Emf::pixels(240, 48);
        e.createFont(1, -24, 128, QStringLiteral("ＭＳ ゴシック")).selectObject(1).setBkMode(1);
        if (wide)
            e.extTextOutW(4, 4, QStringLiteral("くるりん号"));
        else
            e.extTextOutA(4, 4, sjis({ 0x82, 0xAD, 0x82, 0xE9, 0x82, 0xE8, 0x82, 0xF1, 0x8D, 0x86 }));
        return Metafile::render(e.finish()).image;
    };
    const QImage a = text(false);
    int ink = 0;
    inkBox(a, &ink);
    EXPECT_GT(ink, 200);
    EXPECT_EQ(a, text(true));
}

TEST(EmfPlayback, gradients_regions_and_bitmaps_set_straight_to_the_device)
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
    const QImage image = render(emf.finish());

    EXPECT_EQ(px(image, 1, 20) & 0xF000F0, 0xF00000u) << "red at the first vertex";
    EXPECT_EQ(px(image, 98, 20) & 0xF000F0, 0x0000F0u) << "blue at the second";
    const QRgb middle = image.pixel(50, 20);
    EXPECT_NEAR(qRed(middle), 128, 8);
    EXPECT_NEAR(qBlue(middle), 128, 8);
    EXPECT_GT(qRed(image.pixel(8, 54)), 200);
    EXPECT_GT(qGreen(image.pixel(92, 54)), 200);
    EXPECT_GT(qBlue(image.pixel(50, 104)), 200);
    EXPECT_EQ(px(image, 10, 100), kWhitePx) << "outside the triangle";
    EXPECT_EQ(px(image, 120, 10), px(kGreen));
    EXPECT_EQ(px(image, 140, 30), px(kGreen));
    EXPECT_EQ(px(image, 140, 10), kWhitePx);
    EXPECT_EQ(px(image, 120, 60), px(kBlue));
    EXPECT_EQ(px(image, 170, 10), px(kRed)) << "red from the bitmap";
    EXPECT_EQ(px(image, 190, 10), px(kGreen));
    EXPECT_EQ(px(image, 170, 30), px(kBlue));
    EXPECT_EQ(px(image, 190, 30), px(kRed)) << "the rectangle shows where yellow was left out";
    EXPECT_EQ(px(image, 210, 0), px(kRed));
    EXPECT_EQ(px(image, 211, 1), px(kYellow));
    EXPECT_EQ(px(image, 220, 0), kWhitePx) << "the top scan line was not stored";
    EXPECT_EQ(px(image, 220, 1), px(kBlue));
    EXPECT_EQ(px(image, 221, 1), px(kYellow));

    Wmf wmf;
    wmf.setDibToDev(QPoint(10, 10), QRect(0, 0, 2, 2), dib, 0, 2).setDibToDev(QPoint(20, 10), QRect(0, 0, 2, 2), { dib.info, dib.bits.first(8) }, 0, 1);
    const QImage w = render(placeable(wmf, 40, 20));
    EXPECT_EQ(px(w, 10, 10), px(kRed));
    EXPECT_EQ(px(w, 11, 11), px(kYellow));
    EXPECT_EQ(px(w, 20, 10), kWhitePx);
    EXPECT_EQ(px(w, 21, 11), px(kYellow));
}

TEST(EmfPlayback, a_painter_transform_applies_on_top)
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
        ASSERT_TRUE(Metafile::play(file, painter));
    }
    EXPECT_EQ(px(image, 12, 12), px(kRed));
    EXPECT_EQ(px(image, 56, 56), px(kRed));
    EXPECT_EQ(px(image, 62, 30), kWhitePx);
    EXPECT_EQ(px(image, 5, 5), kWhitePx);
}

// Hostile files --------------------------------------------------------------------------------

TEST(MetafileHostile, truncated_files_and_records_running_past_the_end_give_no_picture)
{
    Emf emf = Emf::pixels(240, 120);
    emf.createBrush(1, 0, kRed).selectObject(1).rectangle(0, 0, 100, 100).polygon({ { 1, 1 }, { 5, 5 }, { 1, 9 } });
    const QByteArray whole = emf.finish();
    ASSERT_TRUE(Metafile::inspect(whole).ok());
    for (int cut : { 120, 150, int(whole.size()) - 30 })
        EXPECT_EQ(Metafile::render(whole.first(cut)).problem, Metafile::Problem::Malformed) << cut;
    EXPECT_EQ(Metafile::render(whole.first(60)).problem, Metafile::Problem::NotAMetafile) << "not even a header";

    QByteArray lying = whole;
    lying[108 + 4] = char(0xF0); // the first record claims 240 bytes more than it has... and more
    lying[108 + 7] = char(0x7F);
    EXPECT_EQ(Metafile::render(lying).problem, Metafile::Problem::Malformed);
    QByteArray odd = whole;
    odd[108 + 4] = char(6); // a size that is not a whole number of 32-bit words
    odd[108 + 5] = 0;
    EXPECT_EQ(Metafile::render(odd).problem, Metafile::Problem::Malformed);

    Wmf wmf;
    wmf.createBrush(0, kRed).selectObject(0).rectangle(0, 0, 10, 10);
    const QByteArray wmfWhole = placeable(wmf, 100, 100);
    EXPECT_EQ(Metafile::render(wmfWhole.first(wmfWhole.size() - 9)).problem, Metafile::Problem::Malformed);
    QByteArray zero = wmfWhole;
    zero[22 + 18] = zero[22 + 19] = zero[22 + 20] = zero[22 + 21] = 0; // a record of no words
    EXPECT_EQ(Metafile::render(zero).problem, Metafile::Problem::Malformed);
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
    const Metafile::Rendering r = Metafile::render(file);
    EXPECT_LT(clock.elapsed(), 8000);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(px(r.image, 1000, 1000), px(kRed)) << "what was painted before it stopped stays";

    // A plain WMF without a window is measured by playing it: that pass has a budget too.
    Wmf wmf;
    wmf.createFont(-16, 0, "Arial").selectObject(0);
    for (int i = 0; i < 100000; ++i)
        wmf.textOut(i % 500, i % 300, "Kururin");
    const QByteArray plain = wmf.standard();
    clock.restart();
    const Metafile::Header header = Metafile::inspect(plain);
    const Metafile::Rendering measured = Metafile::render(plain);
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

// Loading --------------------------------------------------------------------------------------

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
    const PictureLoad load = PictureLoader::load(write("sign.bmp", sample()));
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.picture.size(), QSize(240, 120));
    EXPECT_FALSE(load.picture.isPartial());
    EXPECT_EQ(px(load.picture.image(), 10, 10), px(kRed));
    EXPECT_EQ(px(load.picture.image(), 220, 110), px(kBlue));

    Wmf wmf;
    wmf.createBrush(0, kGreen).selectObject(0).rectangle(0, 0, 100, 100);
    const PictureLoad w = PictureLoader::load(write("board.wmf", wmf.placeable(0, 0, 1000, 500, 1000)));
    ASSERT_TRUE(w.ok());
    EXPECT_EQ(w.picture.size(), QSize(96, 48));
    EXPECT_EQ(px(w.picture.image(), 4, 4), px(kGreen));
}

TEST_F(MetafileLoader, the_sign_box_gets_only_the_top_left_corner_rendered)
{
    const QString path = write("a.emf", sample());
    const PictureLoad part = PictureLoader::load(path, QSize(50, 30));
    ASSERT_TRUE(part.ok());
    EXPECT_EQ(part.picture.size(), QSize(240, 120));
    EXPECT_TRUE(part.picture.isPartial());
    EXPECT_EQ(part.picture.image().size(), QSize(50, 30));
    const QImage whole = PictureLoader::load(path).picture.image();
    EXPECT_EQ(part.picture.image(), whole.copy(0, 0, 50, 30));

    Emf small = Emf::pixels(24, 24);
    const PictureLoad tiny = PictureLoader::load(write("tiny.emf", small.finish()), QSize(50, 30));
    EXPECT_EQ(tiny.picture.image().size(), QSize(24, 24));
    EXPECT_FALSE(tiny.picture.isPartial());
}

TEST_F(MetafileLoader, broken_and_absurd_metafiles_are_classified_as_before)
{
    const QByteArray good = sample();
    EXPECT_EQ(PictureLoader::load(write("cut.emf", good.first(good.size() / 2))).error, PictureError::NotAPicture);
    Wmf wmf;
    wmf.rectangle(0, 0, 10, 10);
    CpuClock clock;
    clock.start();
    EXPECT_EQ(PictureLoader::load(write("huge.wmf", wmf.placeable(0, 0, 30000, 30000, 1))).error, PictureError::TooLarge);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(PictureLoader::load(write("short.wmf", good.first(30))).error, PictureError::NotAPicture);
    EXPECT_EQ(PictureLoader::load(dir.path() + "/none.wmf").error, PictureError::NotFound);
    EXPECT_EQ(PictureLoader::load(dir.path()).error, PictureError::IsFolder);
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
        const Metafile::Rendering r = Metafile::render(bytes);
        EXPECT_TRUE(r.ok()) << qPrintable(name);
        int ink = 0;
        inkBox(r.image, &ink);
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

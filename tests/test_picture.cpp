// Stretching a picture the way a folding door leaf is drawn.
#include "assets/Assets.h"
#include "picture/Stretcher.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>

namespace {

// The largest difference in any colour channel between two images of one size.
int largestDifference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    int largest = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            largest = std::max({ largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                 std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q)) });
        }
    }
    return largest;
}

} // namespace

TEST(Stretcher, every_width_of_a_door_leaf_looks_as_a_smooth_scale_does)
{
    // The 2x leaf into the doorway's height, then every width from a sliver to wider than drawn.
    const QImage leaf = Assets::bitmap("A3L", 2.0);
    ASSERT_FALSE(leaf.isNull());
    Stretcher stretcher;
    for (int width = 1; width <= leaf.width() + 40; width += 3) {
        const QSize size(width, 310);
        const QImage& ours = stretcher.stretch(leaf, size, 2.0);
        ASSERT_EQ(ours.size(), size);
        EXPECT_EQ(ours.devicePixelRatio(), 2.0);
        const QImage smooth = leaf.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        EXPECT_LE(largestDifference(ours, smooth), 6) << width;
    }
}

TEST(Stretcher, flat_colour_stays_flat_and_clear_pixels_lend_no_colour)
{
    // Half a clear green (which must not show), half a half-transparent red.
    QImage source(37, 5, QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, x < 18 ? qRgba(0, 255, 0, 0) : qRgba(200, 0, 0, 128));
    }
    for (int width : { 1, 2, 5, 17, 36, 37, 38, 90 }) {
        const QImage stretched = stretchRows(source.convertToFormat(QImage::Format_ARGB32_Premultiplied), width)
                                     .convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(stretched.width(), width);
        for (int x = 0; x < width; ++x) {
            const QRgb p = stretched.pixel(x, 2);
            EXPECT_LE(qGreen(p), 1) << width << " " << x;
            if (qAlpha(p) > 32) {
                EXPECT_NEAR(qRed(p), 200, 4) << width << " " << x;
            }
        }
        // The far right is all red however narrow the picture becomes, unless a single pixel
        // straddles the halves (premultiplying and back rounds the red by a step or two).
        if (width > 1) {
            EXPECT_EQ(qAlpha(stretched.pixel(width - 1, 0)), 128) << width;
            EXPECT_NEAR(qRed(stretched.pixel(width - 1, 0)), 200, 2) << width;
        }
    }

    QImage grey(113, 3, QImage::Format_RGB32);
    grey.fill(qRgb(91, 92, 93));
    for (int width = 1; width < 300; ++width) {
        const QImage stretched = stretchRows(grey, width);
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(stretched.pixel(x, 1), qRgb(91, 92, 93)) << width << " " << x;
    }
}

TEST(Stretcher, a_shrunk_row_averages_what_each_pixel_covers)
{
    // Black and white columns in turn: halved, each pixel covers one of each.
    QImage stripes(8, 1, QImage::Format_RGB32);
    for (int x = 0; x < 8; ++x)
        stripes.setPixel(x, 0, x % 2 ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
    const QImage halved = stretchRows(stripes, 4);
    for (int x = 0; x < 4; ++x)
        EXPECT_NEAR(qRed(halved.pixel(x, 0)), 128, 1) << x;
    // Three columns into two: the first pixel is one and a half black-white-black columns.
    QImage three(3, 1, QImage::Format_RGB32);
    three.setPixel(0, 0, qRgb(0, 0, 0));
    three.setPixel(1, 0, qRgb(255, 255, 255));
    three.setPixel(2, 0, qRgb(0, 0, 0));
    const QImage two = stretchRows(three, 2);
    EXPECT_NEAR(qRed(two.pixel(0, 0)), 85, 1);
    EXPECT_NEAR(qRed(two.pixel(1, 0)), 85, 1);
    // The same width is the same pixels.
    EXPECT_EQ(stretchRows(three, 3), three);
}

TEST(Stretcher, keeps_its_result_until_the_size_or_picture_changes)
{
    QImage first(40, 20, QImage::Format_RGB32);
    first.fill(Qt::red);
    QImage second(40, 20, QImage::Format_RGB32);
    second.fill(Qt::blue);
    Stretcher stretcher;
    const qint64 kept = stretcher.stretch(first, { 30, 10 }, 1.0).cacheKey();
    EXPECT_EQ(stretcher.stretch(first, { 30, 10 }, 1.0).cacheKey(), kept);
    EXPECT_EQ(stretcher.stretch(first, { 30, 10 }, 1.0).pixel(5, 5), qRgb(255, 0, 0));
    // A new height fits the picture again; a new picture is never mistaken for the old one.
    EXPECT_EQ(stretcher.stretch(first, { 30, 14 }, 1.0).height(), 14);
    EXPECT_EQ(stretcher.stretch(second, { 30, 14 }, 1.0).pixel(5, 5), qRgb(0, 0, 255));
    EXPECT_TRUE(stretcher.stretch(second, { 0, 14 }, 1.0).isNull());
}

#pragma once

// What the metafile tests share: the colours they draw in, rendering the writer's files and
// reading their pixels back, and the records more than one test file builds.

#include "metafile/Metafile.h"
#include "tests/support/MetafileWriter.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <initializer_list>
#include <utility>

#include <gtest/gtest.h>

namespace mftest {

inline const quint32 kRed = mfw::rgb(255, 0, 0);
inline const quint32 kGreen = mfw::rgb(0, 255, 0);
inline const quint32 kBlue = mfw::rgb(0, 0, 255);
inline const quint32 kBlack = mfw::rgb(0, 0, 0);
inline const quint32 kYellow = mfw::rgb(255, 255, 0);

// ARGB as GDI+ records store colours.
inline constexpr quint32 kPlusRed = 0xFFFF0000;
inline constexpr quint32 kPlusGreen = 0xFF00FF00;
inline constexpr quint32 kPlusBlue = 0xFF0000FF;
inline constexpr quint32 kPlusBlack = 0xFF000000;

inline QRgb qt(quint32 colourRef)
{
    return qRgb(colourRef & 0xFF, (colourRef >> 8) & 0xFF, (colourRef >> 16) & 0xFF);
}

// The picture's pixel at (x, y) as a 0xRRGGBB number, which gtest prints readably.
inline unsigned px(const QImage& image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFF;
}
inline unsigned px(quint32 colourRef)
{
    return qt(colourRef) & 0xFFFFFF;
}
inline constexpr unsigned kWhitePx = 0xFFFFFF;

inline QImage render(const QByteArray& file, QSize visible = {})
{
    const Result<Metafile::Rendering> r = Metafile::render(file, visible);
    if (!r.ok()) {
        ADD_FAILURE() << "failure " << int(r.kind());
        return {};
    }
    return r.value().image;
}

inline bool dark(QRgb c)
{
    return qGray(c) < 128;
}

// The smallest rectangle holding every dark pixel, and how many there are.
inline QRect inkBox(const QImage& image, int* count = nullptr)
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
inline QByteArray placeable(const mfw::Wmf& wmf, int width, int height)
{
    return wmf.placeable(0, 0, width, height, 96);
}

inline QImage fourColours()
{
    QImage image(2, 2, QImage::Format_RGB32);
    image.setPixel(0, 0, qt(kRed));
    image.setPixel(1, 0, qt(kGreen));
    image.setPixel(0, 1, qt(kBlue));
    image.setPixel(1, 1, qt(kYellow));
    return image;
}

inline QByteArray plusOnly(const mfw::EmfPlus& plus, int width = 200, int height = 200)
{
    mfw::Emf emf = mfw::Emf::pixels(width, height);
    emf.comment(plus.comment());
    return emf.finish();
}

// A region record: bands of spans. Two bands here: a wide bar on top, two posts beneath.
inline mfw::Bytes regionRecord(bool brokenSecondBand = false)
{
    mfw::Bytes r;
    r.u16(0).i16(6).u32(0).i16(0).i16(2).i16(4).i16(10).i16(10).i16(90).i16(60);
    r.u16(2).i16(10).i16(30).i16(10).i16(90).u16(2);
    r.u16(4).i16(30).i16(60).i16(10).i16(30).i16(70).i16(90).u16(brokenSecondBand ? 3 : 4);
    return r;
}

// A bitmap header and colour table written out by hand, for the compressed and paletted kinds
// makeDib does not write.
inline mfw::Dib handMadeDib(int width, int height, int bitCount, int compression, const QByteArray& table,
                            const QByteArray& bits, int colours)
{
    mfw::Bytes info;
    info.u32(40).i32(width).i32(height).u16(1).u16(bitCount).u32(compression).u32(quint32(bits.size()));
    info.i32(3780).i32(3780).u32(colours).u32(0).raw(table);
    return { info.d, bits };
}

inline QByteArray quads(std::initializer_list<quint32> colourRefs)
{
    mfw::Bytes b;
    for (quint32 c : colourRefs)
        b.u8(int(c >> 16)).u8(int(c >> 8)).u8(int(c)).u8(0); // blue, green, red, 0
    return b.d;
}

// The fields a MaskBlt or PlgBlt record ends with: the source and mask bitmaps' places, then the
// bitmaps themselves. `fixed` is the record's size before the bitmaps.
inline void appendBitmaps(mfw::Bytes& b, int fixed, const mfw::Dib& source, const mfw::Dib& mask, QPoint maskAt)
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

// A MaskBlt of a red square through a mask that lets its left half through, at (10, 10), and
// a PlgBlt of the same onto a slanted parallelogram with corners (100, 10), (140, 10), (120, 50).
inline std::pair<mfw::Bytes, mfw::Bytes> maskedBlits(int side, QPoint sourceAt = {})
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
    appendBitmaps(mask, 128, mfw::makeDib(red, 24), mfw::makeDib(leftHalf, 1), QPoint(0, 0));
    // PlgBlt: upper left, upper right, lower left.
    mfw::Bytes plg;
    plg.zeros(16).i32(100).i32(10).i32(140).i32(10).i32(120).i32(50).i32(0).i32(0).i32(side).i32(side);
    appendBitmaps(plg, 140, mfw::makeDib(red, 24), mfw::makeDib(leftHalf, 1), QPoint(0, 0));
    return { mask, plg };
}

} // namespace mftest

// Checks the committed artwork byte by byte: the program and the toolkit only ever see these
// files, so a generator slip (a wrong size, a 32-bit BMP, a mask upside down) must show up here.

#include <QImage>
#include <QImageReader>
#include <QString>

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string assetPath(const std::string& name)
{
    return std::string(KURURIN_ASSETS_DIR) + "/" + name;
}

Bytes readAsset(const std::string& name)
{
    std::ifstream in(assetPath(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned u16(const Bytes& b, std::size_t at)
{
    return unsigned(b.at(at)) | unsigned(b.at(at + 1)) << 8;
}

std::uint32_t u32(const Bytes& b, std::size_t at)
{
    return std::uint32_t(u16(b, at)) | std::uint32_t(u16(b, at + 2)) << 16;
}

std::int32_t i32(const Bytes& b, std::size_t at)
{
    return std::int32_t(u32(b, at));
}

// A 24-bit bottom-up BMP, read straight from the bytes.
struct Bmp {
    Bytes bytes;
    int width = 0;
    int height = 0;

    explicit Bmp(const std::string& name)
        : bytes(readAsset(name))
    {
        if (bytes.size() >= 54) {
            width = i32(bytes, 18);
            height = i32(bytes, 22);
        }
    }

    // Red, green and blue packed as 0xRRGGBB.
    std::uint32_t rgb(int x, int y) const
    {
        const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
        const std::size_t at = u32(bytes, 10) + std::size_t(height - 1 - y) * stride + std::size_t(x) * 3;
        return std::uint32_t(bytes.at(at + 2)) << 16 | std::uint32_t(bytes.at(at + 1)) << 8 | bytes.at(at);
    }

    int brightness(int x, int y) const
    {
        const std::uint32_t c = rgb(x, y);
        return int(((c >> 16) & 0xff) * 30 + ((c >> 8) & 0xff) * 59 + (c & 0xff) * 11) / 100;
    }
};

struct BitmapCase {
    const char* name;
    int width;
    int height;
};

const BitmapCase kBitmaps[] = {
    { "bus_body.bmp", 808, 224 },
    { "front_door.bmp", 69, 152 },
    { "middle_door_left.bmp", 56, 152 },
    { "middle_door_right.bmp", 56, 152 },
    { "sign_default.bmp", 52, 32 },
    { "toggle_front.bmp", 50, 20 },
    { "toggle_middle.bmp", 50, 20 },
};

// The icon and the cursor share a layout: a 6-byte directory, one 16-byte entry, then the
// image: BITMAPINFOHEADER, 16 palette entries, 4-bit colour rows, 1-bit mask rows.
constexpr std::size_t kIconImage = 6 + 16;
constexpr std::size_t kIconPalette = kIconImage + 40;
constexpr std::size_t kIconColour = kIconPalette + 16 * 4;
constexpr std::size_t kIconMask = kIconColour + 32 * 16;
constexpr std::size_t kIconFileSize = kIconMask + 32 * 4;

bool maskSaysTransparent(const Bytes& b, int x, int y)
{
    const std::size_t row = kIconMask + std::size_t(31 - y) * 4;
    return (b.at(row + std::size_t(x / 8)) & (0x80 >> (x % 8))) != 0;
}

int colourIndex(const Bytes& b, int x, int y)
{
    const std::uint8_t pair = b.at(kIconColour + std::size_t(31 - y) * 16 + std::size_t(x / 2));
    return x % 2 == 0 ? pair >> 4 : pair & 0x0f;
}

void expectSixteenColourImage(const Bytes& b)
{
    ASSERT_EQ(b.size(), kIconFileSize);
    EXPECT_EQ(u32(b, kIconImage), 40u);
    EXPECT_EQ(i32(b, kIconImage + 4), 32);
    EXPECT_EQ(i32(b, kIconImage + 8), 64) << "height counts colour bitmap and mask together";
    EXPECT_EQ(u16(b, kIconImage + 12), 1u);
    EXPECT_EQ(u16(b, kIconImage + 14), 4u);
    EXPECT_EQ(u32(b, kIconImage + 16), 0u);
    // Where the mask lets the screen through, the colour must be black, or the screen is inverted.
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (maskSaysTransparent(b, x, y)) {
                EXPECT_EQ(colourIndex(b, x, y), 0) << "at " << x << "," << y;
            }
        }
    }
}

} // namespace

TEST(ArtworkBitmaps, HeadersDescribeUncompressedBottomUp24BitPictures)
{
    for (const BitmapCase& c : kBitmaps) {
        SCOPED_TRACE(c.name);
        const Bytes b = readAsset(c.name);
        ASSERT_GE(b.size(), 54u);
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(u32(b, 2), b.size());
        EXPECT_EQ(u32(b, 10), 54u);
        EXPECT_EQ(u32(b, 14), 40u);
        EXPECT_EQ(i32(b, 18), c.width);
        EXPECT_EQ(i32(b, 22), c.height) << "a positive height means bottom-up rows";
        EXPECT_EQ(u16(b, 26), 1u);
        EXPECT_EQ(u16(b, 28), 24u);
        EXPECT_EQ(u32(b, 30), 0u);
        const std::size_t stride = (std::size_t(c.width) * 3 + 3) & ~std::size_t(3);
        EXPECT_EQ(b.size(), 54 + stride * std::size_t(c.height));
    }
}

TEST(ArtworkBitmaps, QtDecodesEveryFileAtItsSize)
{
    for (const BitmapCase& c : kBitmaps) {
        SCOPED_TRACE(c.name);
        const QImage image(QString::fromStdString(assetPath(c.name)));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), c.width);
        EXPECT_EQ(image.height(), c.height);
    }
    for (const char* name : { "bus.ico", "hand.cur" }) {
        SCOPED_TRACE(name);
        QImageReader reader(QString::fromStdString(assetPath(name)));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
        EXPECT_EQ(image.width(), 32);
        EXPECT_EQ(image.height(), 32);
        EXPECT_TRUE(image.hasAlphaChannel());
    }
}

TEST(ArtworkBitmaps, MiddleDoorLeavesAreMirrorImages)
{
    const Bmp left("middle_door_left.bmp");
    const Bmp right("middle_door_right.bmp");
    ASSERT_EQ(left.width, 56);
    ASSERT_EQ(right.width, 56);
    ASSERT_EQ(left.height, right.height);
    int mismatches = 0;
    for (int y = 0; y < left.height; ++y) {
        for (int x = 0; x < left.width; ++x) {
            if (left.rgb(x, y) != right.rgb(left.width - 1 - x, y))
                ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Shut doors are drawn one pixel short of their doorways on the right and at the bottom, and
// the sign box one pixel short of its recess; what shows there must be dark, not a bright seam.
TEST(ArtworkBitmaps, BodyIsDarkWhereShutDoorsAndSignBoxLeaveAGap)
{
    const Bmp body("bus_body.bmp");
    ASSERT_EQ(body.width, 808);
    ASSERT_EQ(body.height, 224);
    struct Gap {
        const char* what;
        int left, top, right, bottom;
    };
    const Gap gaps[] = {
        { "front doorway, right column", 103, 53, 103, 204 },
        { "front doorway, bottom row", 26, 204, 103, 204 },
        { "middle doorway, right column", 479, 53, 479, 208 },
        { "middle doorway, bottom row", 365, 208, 479, 208 },
        { "sign recess, right column", 551, 41, 551, 73 },
        { "sign recess, bottom row", 499, 73, 551, 73 },
    };
    for (const Gap& g : gaps) {
        SCOPED_TRACE(g.what);
        for (int y = g.top; y <= g.bottom; ++y) {
            for (int x = g.left; x <= g.right; ++x)
                EXPECT_LT(body.brightness(x, y), 64) << "at " << x << "," << y;
        }
    }
}

TEST(ArtworkIcon, DirectoryHoldsOne32By32SixteenColourImage)
{
    const Bytes b = readAsset("bus.ico");
    ASSERT_EQ(b.size(), kIconFileSize);
    EXPECT_EQ(u16(b, 0), 0u);
    EXPECT_EQ(u16(b, 2), 1u) << "type 1 is an icon";
    EXPECT_EQ(u16(b, 4), 1u);
    EXPECT_EQ(b[6], 32);
    EXPECT_EQ(b[7], 32);
    EXPECT_EQ(b[8], 16);
    EXPECT_EQ(b[9], 0);
    EXPECT_EQ(u16(b, 10), 1u);
    EXPECT_EQ(u16(b, 12), 4u);
    EXPECT_EQ(u32(b, 14), b.size() - kIconImage);
    EXPECT_EQ(u32(b, 18), kIconImage);
    expectSixteenColourImage(b);
}

TEST(ArtworkIcon, MaskClearsTheCornersAndKeepsTheBus)
{
    const Bytes b = readAsset("bus.ico");
    ASSERT_EQ(b.size(), kIconFileSize);
    EXPECT_TRUE(maskSaysTransparent(b, 0, 0));
    EXPECT_TRUE(maskSaysTransparent(b, 31, 0));
    EXPECT_TRUE(maskSaysTransparent(b, 0, 31));
    EXPECT_TRUE(maskSaysTransparent(b, 31, 31));
    EXPECT_FALSE(maskSaysTransparent(b, 16, 16));
    EXPECT_FALSE(maskSaysTransparent(b, 16, 3));
}

TEST(ArtworkCursor, DirectoryHoldsOne32By32ImageWithItsHotSpot)
{
    const Bytes b = readAsset("hand.cur");
    ASSERT_EQ(b.size(), kIconFileSize);
    EXPECT_EQ(u16(b, 0), 0u);
    EXPECT_EQ(u16(b, 2), 2u) << "type 2 is a cursor";
    EXPECT_EQ(u16(b, 4), 1u);
    EXPECT_EQ(b[6], 32);
    EXPECT_EQ(b[7], 32);
    EXPECT_EQ(b[8], 16);
    EXPECT_EQ(u16(b, 10), 12u) << "hot spot x";
    EXPECT_EQ(u16(b, 12), 1u) << "hot spot y";
    EXPECT_EQ(u32(b, 14), b.size() - kIconImage);
    EXPECT_EQ(u32(b, 18), kIconImage);
    expectSixteenColourImage(b);
}

TEST(ArtworkCursor, HotSpotIsTheTopOfTheFingertip)
{
    const Bytes b = readAsset("hand.cur");
    ASSERT_EQ(b.size(), kIconFileSize);
    const int hotX = int(u16(b, 10));
    const int hotY = int(u16(b, 12));
    EXPECT_FALSE(maskSaysTransparent(b, hotX, hotY));
    for (int y = 0; y < hotY; ++y) {
        for (int x = 0; x < 32; ++x)
            EXPECT_TRUE(maskSaysTransparent(b, x, y)) << "something above the fingertip at " << x << "," << y;
    }
    // The fingertip is no wider than a finger: the hot spot is not at the edge of a broad shape.
    EXPECT_TRUE(maskSaysTransparent(b, hotX - 3, hotY));
    EXPECT_TRUE(maskSaysTransparent(b, hotX + 3, hotY));
}

#include "Assets.h"

// The program decodes its own bitmaps and icon on a fast path at start-up; it must see exactly
// what Qt's own readers see in the same files.
TEST(ArtworkLoading, FastPathMatchesQtsReaders)
{
    for (const char* name : { "A1", "A2", "A3L", "A3R", "A4", "toggle_front", "toggle_middle" }) {
        const QImage ours = Assets::bitmap(QString::fromLatin1(name));
        const QImage qts = QImage(QStringLiteral(":/art/") + QLatin1String(name), "BMP").convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(ours.isNull()) << name;
        EXPECT_EQ(ours.format(), QImage::Format_RGB32) << name;
        EXPECT_TRUE(ours == qts) << name;
    }
    const QImage icon = Assets::icon();
    const QImage qtIcon = QImage(QStringLiteral(":/art/A5"), "ICO").convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(icon.size(), QSize(32, 32));
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QRgb a = icon.pixel(x, y), b = qtIcon.pixel(x, y);
            ASSERT_EQ(qAlpha(a), qAlpha(b)) << x << "," << y;
            if (qAlpha(a) != 0) {
                ASSERT_EQ(a, b) << x << "," << y;
            }
        }
    }
}

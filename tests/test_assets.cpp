// Checks the committed artwork and buzzer clips byte by byte: the program and the toolkit only
// ever see these files, so a generator slip (a wrong size, a 32-bit BMP, a mask upside down, a
// clip that fades out) must show up here.

#include "tests/CommittedClips.h"

#include <QImage>
#include <QImageReader>
#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>
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

// Every picture is drawn at each of these scales; the file of a scale carries its suffix.
struct ScaleCase {
    double factor;
    const char* suffix;
};
const ScaleCase kScales[] = { { 1.0, "" }, { 1.5, "@1.5x" }, { 2.0, "@2x" } };

// "bus_body.bmp" as drawn for a scale: "bus_body@2x.bmp".
std::string scaledFile(const std::string& name, const ScaleCase& scale)
{
    const std::size_t dot = name.rfind('.');
    return name.substr(0, dot) + scale.suffix + name.substr(dot);
}

// A picture of n 1x pixels holds this many at a scale, its last pixel rounded up.
int scaledLength(int n, double scale)
{
    return int(std::ceil(n * scale));
}

// The pixels of a drawing at `scale` that lie wholly inside the 1x pixels first..last.
std::pair<int, int> scaledSpan(int first, int last, double scale)
{
    return { int(std::ceil(first * scale)), int(std::floor((last + 1) * scale)) - 1 };
}

const BitmapCase kBitmaps[] = {
    { "bus_body.bmp", 808, 224 },
    { "front_door.bmp", 69, 152 },
    { "middle_door_left.bmp", 56, 152 },
    { "middle_door_right.bmp", 56, 152 },
    { "sign_default.bmp", 52, 32 },
    { "toggle_front.bmp", 50, 20 },
    { "toggle_middle.bmp", 50, 20 },
    { "toggle_front_en.bmp", 50, 20 },
    { "toggle_middle_en.bmp", 50, 20 },
};

// The icon and the cursor share a layout: a 6-byte directory, one 16-byte entry, then the
// image: BITMAPINFOHEADER, 16 palette entries, 4-bit colour rows, 1-bit mask rows, each row
// padded to 32 bits. They are 32 pixels square at 1x.
constexpr std::size_t kIconImage = 6 + 16;
constexpr std::size_t kIconPalette = kIconImage + 40;
constexpr std::size_t kIconColour = kIconPalette + 16 * 4;

struct IconLayout {
    int size;
    std::size_t colourStride() const { return (std::size_t(size) * 4 + 31) / 32 * 4; }
    std::size_t maskStride() const { return (std::size_t(size) + 31) / 32 * 4; }
    std::size_t mask() const { return kIconColour + colourStride() * std::size_t(size); }
    std::size_t fileSize() const { return mask() + maskStride() * std::size_t(size); }

    bool transparent(const Bytes& b, int x, int y) const
    {
        const std::size_t row = mask() + std::size_t(size - 1 - y) * maskStride();
        return (b.at(row + std::size_t(x / 8)) & (0x80 >> (x % 8))) != 0;
    }
    int colourIndex(const Bytes& b, int x, int y) const
    {
        const std::uint8_t pair = b.at(kIconColour + std::size_t(size - 1 - y) * colourStride() + std::size_t(x / 2));
        return x % 2 == 0 ? pair >> 4 : pair & 0x0f;
    }
};

const IconLayout k1x { 32 };

bool maskSaysTransparent(const Bytes& b, int x, int y)
{
    return k1x.transparent(b, x, y);
}

void expectSixteenColourImage(const Bytes& b, const IconLayout& icon = k1x)
{
    ASSERT_EQ(b.size(), icon.fileSize());
    EXPECT_EQ(u32(b, kIconImage), 40u);
    EXPECT_EQ(i32(b, kIconImage + 4), icon.size);
    EXPECT_EQ(i32(b, kIconImage + 8), 2 * icon.size) << "height counts colour bitmap and mask together";
    EXPECT_EQ(u16(b, kIconImage + 12), 1u);
    EXPECT_EQ(u16(b, kIconImage + 14), 4u);
    EXPECT_EQ(u32(b, kIconImage + 16), 0u);
    // Where the mask lets the screen through, the colour must be black, or the screen is inverted.
    for (int y = 0; y < icon.size; ++y) {
        for (int x = 0; x < icon.size; ++x) {
            if (icon.transparent(b, x, y)) {
                EXPECT_EQ(icon.colourIndex(b, x, y), 0) << "at " << x << "," << y;
            }
        }
    }
}

} // namespace

TEST(ArtworkBitmaps, headers_describe_uncompressed_bottom_up_24_bit_pictures_at_every_scale)
{
    for (const ScaleCase& scale : kScales) {
        for (const BitmapCase& c : kBitmaps) {
            const std::string name = scaledFile(c.name, scale);
            SCOPED_TRACE(name);
            const int width = scaledLength(c.width, scale.factor);
            const int height = scaledLength(c.height, scale.factor);
            const Bytes b = readAsset(name);
            ASSERT_GE(b.size(), 54u);
            EXPECT_EQ(b[0], 'B');
            EXPECT_EQ(b[1], 'M');
            EXPECT_EQ(u32(b, 2), b.size());
            EXPECT_EQ(u32(b, 10), 54u);
            EXPECT_EQ(u32(b, 14), 40u);
            EXPECT_EQ(i32(b, 18), width);
            EXPECT_EQ(i32(b, 22), height) << "a positive height means bottom-up rows";
            EXPECT_EQ(u16(b, 26), 1u);
            EXPECT_EQ(u16(b, 28), 24u);
            EXPECT_EQ(u32(b, 30), 0u);
            const std::size_t stride = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
            EXPECT_EQ(b.size(), 54 + stride * std::size_t(height));
        }
    }
}

TEST(ArtworkBitmaps, qt_decodes_every_file_at_its_size)
{
    for (const ScaleCase& scale : kScales) {
        for (const BitmapCase& c : kBitmaps) {
            const std::string name = scaledFile(c.name, scale);
            SCOPED_TRACE(name);
            const QImage image(QString::fromStdString(assetPath(name)));
            ASSERT_FALSE(image.isNull());
            EXPECT_EQ(image.width(), scaledLength(c.width, scale.factor));
            EXPECT_EQ(image.height(), scaledLength(c.height, scale.factor));
        }
        for (const char* base : { "bus.ico", "hand.cur" }) {
            const std::string name = scaledFile(base, scale);
            SCOPED_TRACE(name);
            QImageReader reader(QString::fromStdString(assetPath(name)));
            const QImage image = reader.read();
            ASSERT_FALSE(image.isNull()) << reader.errorString().toStdString();
            EXPECT_EQ(image.width(), scaledLength(32, scale.factor));
            EXPECT_EQ(image.height(), scaledLength(32, scale.factor));
            EXPECT_TRUE(image.hasAlphaChannel());
        }
    }
}

TEST(ArtworkBitmaps, middle_door_leaves_are_mirror_images)
{
    for (const ScaleCase& scale : kScales) {
        SCOPED_TRACE(scale.suffix);
        const Bmp left(scaledFile("middle_door_left.bmp", scale));
        const Bmp right(scaledFile("middle_door_right.bmp", scale));
        ASSERT_EQ(left.width, scaledLength(56, scale.factor));
        ASSERT_EQ(right.width, left.width);
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
}

// The larger drawings are the same pictures drawn finer: averaged over small blocks, the 2x
// drawing matches the 1x one everywhere (a part drawn out of place would not), yet it is no
// enlargement of the 1x pixels.
TEST(ArtworkBitmaps, two_times_drawings_match_the_one_times_pictures_but_are_not_enlargements)
{
    constexpr int kBlock = 8; // 1x pixels a side
    for (const BitmapCase& c : kBitmaps) {
        SCOPED_TRACE(c.name);
        const QImage one = QImage(QString::fromStdString(assetPath(c.name))).convertToFormat(QImage::Format_RGB32);
        const QImage two = QImage(QString::fromStdString(assetPath(scaledFile(c.name, kScales[2]))))
                               .convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(two.size(), one.size() * 2);
        auto blockMean = [](const QImage& image, int x0, int y0, int side, int channel) {
            int sum = 0;
            for (int y = y0; y < y0 + side; ++y) {
                for (int x = x0; x < x0 + side; ++x) {
                    const QRgb p = image.pixel(x, y);
                    sum += channel == 0 ? qRed(p) : channel == 1 ? qGreen(p) : qBlue(p);
                }
            }
            return sum / (side * side);
        };
        int worst = 0;
        for (int y = 0; y + kBlock <= one.height(); y += kBlock) {
            for (int x = 0; x + kBlock <= one.width(); x += kBlock) {
                for (int channel = 0; channel < 3; ++channel) {
                    worst = std::max(worst, std::abs(blockMean(one, x, y, kBlock, channel)
                                                     - blockMean(two, 2 * x, 2 * y, 2 * kBlock, channel)));
                }
            }
        }
        EXPECT_LT(worst, 48) << "the largest difference of a block's mean, in one channel";
        int doubled = 0;
        for (int y = 0; y < one.height(); ++y) {
            for (int x = 0; x < one.width(); ++x) {
                const QRgb p = one.pixel(x, y);
                doubled += two.pixel(2 * x, 2 * y) == p && two.pixel(2 * x + 1, 2 * y) == p && two.pixel(2 * x, 2 * y + 1) == p
                    && two.pixel(2 * x + 1, 2 * y + 1) == p;
            }
        }
        EXPECT_LT(doubled, one.width() * one.height() * 98 / 100) << "the 2x drawing is the 1x pixels doubled";
    }
}

TEST(ArtworkBitmaps, body_is_dark_where_shut_doors_and_sign_box_leave_a_gap)
{
  for (const ScaleCase& scale : kScales) {
    SCOPED_TRACE(scale.suffix);
    const Bmp body(scaledFile("bus_body.bmp", scale));
    ASSERT_EQ(body.width, scaledLength(808, scale.factor));
    ASSERT_EQ(body.height, scaledLength(224, scale.factor));
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
        const auto [left, right] = scaledSpan(g.left, g.right, scale.factor);
        const auto [top, bottom] = scaledSpan(g.top, g.bottom, scale.factor);
        for (int y = top; y <= bottom; ++y) {
            for (int x = left; x <= right; ++x)
                EXPECT_LT(body.brightness(x, y), 64) << "at " << x << "," << y;
        }
    }
  }
}

TEST(ArtworkIcon, directory_holds_one_32_by_32_sixteen_colour_image)
{
    const Bytes b = readAsset("bus.ico");
    ASSERT_EQ(b.size(), k1x.fileSize());
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

TEST(ArtworkIcon, mask_clears_the_corners_and_keeps_the_bus)
{
    const Bytes b = readAsset("bus.ico");
    ASSERT_EQ(b.size(), k1x.fileSize());
    EXPECT_TRUE(maskSaysTransparent(b, 0, 0));
    EXPECT_TRUE(maskSaysTransparent(b, 31, 0));
    EXPECT_TRUE(maskSaysTransparent(b, 0, 31));
    EXPECT_TRUE(maskSaysTransparent(b, 31, 31));
    EXPECT_FALSE(maskSaysTransparent(b, 16, 16));
    EXPECT_FALSE(maskSaysTransparent(b, 16, 3));
}

// The 1.5x and 2x icon and cursor: one larger image each, in the same 16-colour form.
TEST(ArtworkIcon, larger_scales_hold_one_larger_sixteen_colour_image_each)
{
    for (const ScaleCase& scale : { kScales[1], kScales[2] }) {
        const IconLayout icon { scaledLength(32, scale.factor) };
        for (const char* base : { "bus.ico", "hand.cur" }) {
            const std::string name = scaledFile(base, scale);
            SCOPED_TRACE(name);
            const Bytes b = readAsset(name);
            ASSERT_EQ(b.size(), icon.fileSize());
            EXPECT_EQ(b[6], icon.size);
            EXPECT_EQ(b[7], icon.size);
            EXPECT_EQ(u32(b, 14), b.size() - kIconImage);
            EXPECT_EQ(u32(b, 18), kIconImage);
            expectSixteenColourImage(b, icon);
            EXPECT_TRUE(icon.transparent(b, 0, icon.size - 1)) << "a corner is clear";
            EXPECT_FALSE(icon.transparent(b, icon.size / 2, icon.size / 2)) << "the middle is not";
        }
    }
}

TEST(ArtworkCursor, directory_holds_one_32_by_32_image_with_its_hot_spot)
{
    const Bytes b = readAsset("hand.cur");
    ASSERT_EQ(b.size(), k1x.fileSize());
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

TEST(ArtworkCursor, hot_spot_is_the_top_of_the_fingertip_at_every_scale)
{
    for (const ScaleCase& scale : kScales) {
        SCOPED_TRACE(scale.suffix);
        const IconLayout cursor { scaledLength(32, scale.factor) };
        const Bytes b = readAsset(scaledFile("hand.cur", scale));
        ASSERT_EQ(b.size(), cursor.fileSize());
        const int hotX = int(u16(b, 10));
        const int hotY = int(u16(b, 12));
        EXPECT_FALSE(cursor.transparent(b, hotX, hotY));
        for (int y = 0; y < hotY; ++y) {
            for (int x = 0; x < cursor.size; ++x)
                EXPECT_TRUE(cursor.transparent(b, x, y)) << "something above the fingertip at " << x << "," << y;
        }
        // The fingertip is no wider than a finger: the hot spot is not at the edge of a broad shape.
        const int finger = int(std::ceil(3 * scale.factor));
        EXPECT_TRUE(cursor.transparent(b, hotX - finger, hotY));
        EXPECT_TRUE(cursor.transparent(b, hotX + finger, hotY));
    }
    EXPECT_EQ(u16(readAsset("hand.cur"), 10), 12u);
    EXPECT_EQ(u16(readAsset("hand.cur"), 12), 1u);
}

#include "assets/Assets.h"

// The toggles' lettering follows the default locale, which start-up sets to the language of the
// texts: English pictures for English, the Japanese ones for any other locale.
TEST(ArtworkLoading, toggles_take_the_lettering_of_the_default_locale_at_every_scale)
{
    const QLocale before;
    for (const qreal scale : Assets::kScales) {
        SCOPED_TRACE(scale);
        for (const QString& stem : { QStringLiteral("toggle_front"), QStringLiteral("toggle_middle") }) {
            const QString suffix = Assets::scaledName(QString(), scale);
            const QImage english = QImage(QStringLiteral(KURURIN_ASSETS_DIR "/") + stem + "_en" + suffix + ".bmp")
                                       .convertToFormat(QImage::Format_RGB32);
            const QImage japanese = QImage(QStringLiteral(KURURIN_ASSETS_DIR "/") + stem + suffix + ".bmp")
                                        .convertToFormat(QImage::Format_RGB32);
            ASSERT_FALSE(english.isNull() || japanese.isNull()) << qPrintable(stem);
            QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom));
            EXPECT_TRUE(Assets::bitmap(stem, scale) == english) << qPrintable(stem);
            QLocale::setDefault(QLocale(QLocale::German));
            EXPECT_TRUE(Assets::bitmap(stem, scale) == japanese) << qPrintable(stem);
            QLocale::setDefault(QLocale(QLocale::Japanese));
            EXPECT_TRUE(Assets::bitmap(stem, scale) == japanese) << qPrintable(stem);
        }
    }
    QLocale::setDefault(before);
}

// The program decodes its own bitmaps and icon on a fast path at start-up; it must see exactly
// what Qt's own readers see in the same files, at every scale, and know which scale it read.
TEST(ArtworkLoading, fast_path_matches_qts_readers)
{
    for (const qreal scale : Assets::kScales) {
        SCOPED_TRACE(scale);
        for (const char* name : { "A1", "A2", "A3L", "A3R", "A4", "toggle_front", "toggle_middle" }) {
            const QString resource = QStringLiteral(":/art/") + Assets::scaledName(QString::fromLatin1(name), scale);
            const QImage ours = Assets::bitmap(QString::fromLatin1(name), scale);
            const QImage qts = QImage(resource, "BMP").convertToFormat(QImage::Format_RGB32);
            ASSERT_FALSE(ours.isNull()) << name;
            EXPECT_EQ(ours.format(), QImage::Format_RGB32) << name;
            EXPECT_EQ(ours.devicePixelRatio(), scale) << name;
            EXPECT_TRUE(ours == qts) << name;
        }
        const QImage icon = Assets::icon(scale);
        const QImage qtIcon = QImage(QStringLiteral(":/art/") + Assets::scaledName("A5", scale), "ICO")
                                  .convertToFormat(QImage::Format_ARGB32);
        const int size = int(std::ceil(32 * scale));
        ASSERT_EQ(icon.size(), QSize(size, size));
        EXPECT_EQ(icon.devicePixelRatio(), scale);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const QRgb a = icon.pixel(x, y), b = qtIcon.pixel(x, y);
                ASSERT_EQ(qAlpha(a), qAlpha(b)) << x << "," << y;
                if (qAlpha(a) != 0) {
                    ASSERT_EQ(a, b) << x << "," << y;
                }
            }
        }
    }
}

// A screen between two scales gets the larger drawing; one beyond the largest, the largest.
TEST(ArtworkLoading, each_screen_ratio_reads_the_drawing_of_the_next_scale_up)
{
    const std::pair<qreal, qreal> cases[] = { { 1.0, 1.0 }, { 1.1, 1.5 }, { 1.5, 1.5 }, { 1.75, 2.0 }, { 2.0, 2.0 }, { 3.0, 2.0 } };
    for (const auto& [ratio, drawn] : cases) {
        EXPECT_EQ(Assets::bitmap("A2", ratio).devicePixelRatio(), drawn) << ratio;
        EXPECT_EQ(Assets::bitmap("A2", ratio).width(), int(std::ceil(69 * drawn))) << ratio;
    }
}

// ---------------------------------------------------------------------------------------------
// The buzzer clips

namespace {

// Little-endian fields of a clip's header.
unsigned u8(const QByteArray& data, qsizetype at)
{
    return static_cast<unsigned char>(data[at]);
}

unsigned u16(const QByteArray& data, qsizetype at)
{
    return u8(data, at) | u8(data, at + 1) << 8;
}

std::uint32_t u32(const QByteArray& data, qsizetype at)
{
    return u16(data, at) | static_cast<std::uint32_t>(u16(data, at + 2)) << 16;
}

class BuzzerClip : public ::testing::TestWithParam<int> {
protected:
    QByteArray image = committedClip(GetParam());
    std::size_t samples = GetParam() == 101 ? kOpeningSamples : kClosingSamples;

    QByteArray sampleBytes() const { return image.mid(44); }
};

TEST_P(BuzzerClip, is_a_canonical_8_bit_mono_wave_without_pad_byte)
{
    ASSERT_EQ(image.size(), qsizetype(44 + samples)) << "the file must end with the last sample";
    EXPECT_EQ(image.left(4), "RIFF");
    EXPECT_EQ(u32(image, 4), 36 + samples);
    EXPECT_EQ(image.mid(8, 4), "WAVE");
    EXPECT_EQ(image.mid(12, 4), "fmt ");
    EXPECT_EQ(u32(image, 16), 16u);
    EXPECT_EQ(u16(image, 20), 1u);         // PCM
    EXPECT_EQ(u16(image, 22), 1u);         // channels
    EXPECT_EQ(u32(image, 24), 22050u);     // samples per second
    EXPECT_EQ(u32(image, 28), 22050u);     // bytes per second
    EXPECT_EQ(u16(image, 32), 1u);         // block align
    EXPECT_EQ(u16(image, 34), 8u);         // bits per sample
    EXPECT_EQ(image.mid(36, 4), "data");
    EXPECT_EQ(u32(image, 40), samples);
}

TEST_P(BuzzerClip, swings_from_60_to_203)
{
    const QByteArray s = sampleBytes();
    ASSERT_FALSE(s.isEmpty());
    const auto [lo, hi] = std::minmax_element(s.begin(), s.end(),
        [](char a, char b) { return static_cast<unsigned char>(a) < static_cast<unsigned char>(b); });
    EXPECT_EQ(static_cast<unsigned char>(*lo), 60);
    EXPECT_EQ(static_cast<unsigned char>(*hi), 203);
}

// A 0.8 s and a 2.5 s clip are both whole numbers of 50 ms windows; every window, the first
// and the last included, must be as loud as the clip as a whole.
TEST_P(BuzzerClip, keeps_the_same_loudness_to_the_last_sample)
{
    const QByteArray s = sampleBytes();
    ASSERT_EQ(s.size(), qsizetype(samples));
    auto rms = [&](qsizetype from, qsizetype count) {
        double mean = 0;
        for (qsizetype n = from; n < from + count; ++n)
            mean += static_cast<unsigned char>(s[n]);
        mean /= count;
        double sum = 0;
        for (qsizetype n = from; n < from + count; ++n)
            sum += std::pow(static_cast<unsigned char>(s[n]) - mean, 2);
        return std::sqrt(sum / count);
    };
    const double whole = rms(0, s.size());
    EXPECT_GT(whole, 25.0);
    const qsizetype window = 1102; // 50 ms
    for (qsizetype from = 0; from + window <= s.size(); from += window)
        EXPECT_NEAR(rms(from, window), whole, whole * 0.03) << "window at sample " << from;
    EXPECT_NEAR(rms(s.size() - window, window), whole, whole * 0.03) << "last window";
}

// The period comes from the autocorrelation: the best lag within one cycle, refined by the
// best lag near ten cycles.
TEST_P(BuzzerClip, is_a_harmonic_rich_buzz_of_period_25_point_8_samples)
{
    const QByteArray raw = sampleBytes();
    std::vector<double> s(raw.size());
    double mean = 0;
    for (qsizetype n = 0; n < raw.size(); ++n)
        mean += s[n] = static_cast<unsigned char>(raw[n]);
    mean /= s.size();
    for (double& v : s)
        v -= mean;

    auto correlation = [&](std::size_t lag) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t n = 0; n + lag < s.size(); ++n) {
            xy += s[n] * s[n + lag];
            xx += s[n] * s[n];
            yy += s[n + lag] * s[n + lag];
        }
        return xy / std::sqrt(xx * yy);
    };
    auto bestLag = [&](std::size_t from, std::size_t to) {
        std::size_t best = from;
        for (std::size_t lag = from; lag <= to; ++lag)
            if (correlation(lag) > correlation(best))
                best = lag;
        return best;
    };

    const std::size_t roughPeriod = bestLag(12, 40);
    EXPECT_EQ(roughPeriod, 26u);
    EXPECT_GT(correlation(roughPeriod), 0.9) << "not a steady periodic tone";
    const std::size_t manyPeriods = bestLag(10 * roughPeriod - 15, 10 * roughPeriod + 15);
    const double period = double(manyPeriods) / std::round(double(manyPeriods) / roughPeriod);
    EXPECT_NEAR(period, 25.8, 0.1);

    // A pure sine would carry all its power in the fundamental. Measured over ten cycles at a
    // time, so that the estimate's small error in the period does not add up.
    const auto window = static_cast<std::size_t>(std::lround(10 * period));
    double fundamental = 0, power = 0;
    for (std::size_t from = 0; from + window <= s.size(); from += window) {
        double c = 0, d = 0;
        for (std::size_t n = 0; n < window; ++n) {
            const double phase = 2 * std::numbers::pi * n / period;
            c += s[from + n] * std::cos(phase);
            d += s[from + n] * std::sin(phase);
            power += s[from + n] * s[from + n];
        }
        fundamental += 2 * (c * c + d * d) / window;
    }
    const double fundamentalShare = fundamental / power;
    EXPECT_LT(fundamentalShare, 0.6);
    EXPECT_GT(fundamentalShare, 0.1) << "the fundamental should still be heard";
}

INSTANTIATE_TEST_SUITE_P(Committed, BuzzerClip, ::testing::Values(101, 102));

TEST(BuzzerClips, opening_clip_is_the_start_of_the_closing_one)
{
    const QByteArray opening = committedClip(101);
    const QByteArray closing = committedClip(102);
    ASSERT_EQ(opening.size(), qsizetype(44 + kOpeningSamples));
    ASSERT_EQ(closing.size(), qsizetype(44 + kClosingSamples));
    EXPECT_EQ(opening.mid(44), closing.mid(44, kOpeningSamples));
}

} // namespace

// The LED samples: animations of the sign box's size that loop for ever, whose pages differ and
// leave dark the last two columns and rows, which the sign box's border covers.
TEST(SampleSigns, led_signs_loop_for_ever_and_light_nothing_under_the_sign_boxs_border)
{
    for (const char* name : { "16_led_ekimae.gif", "17_led_shiyakusho.gif", "18_led_junkan.gif" }) {
        QImageReader reader(QStringLiteral(KURURIN_ASSETS_DIR "/samples/") + QLatin1String(name));
        EXPECT_EQ(reader.size(), QSize(52, 32)) << name;
        EXPECT_EQ(reader.loopCount(), -1) << name;
        ASSERT_GE(reader.imageCount(), 2) << name;
        std::vector<QImage> pages;
        QImage frame;
        while (reader.read(&frame)) {
            EXPECT_GE(reader.nextImageDelay(), 20) << name;
            pages.push_back(frame.convertToFormat(QImage::Format_RGB32));
        }
        ASSERT_EQ(int(pages.size()), reader.imageCount()) << name;
        EXPECT_TRUE(std::any_of(pages.begin(), pages.end(), [&](const QImage& p) { return p != pages.front(); })) << name;
        for (const QImage& page : pages) {
            for (int x = 0; x < 52; ++x) {
                for (int y = 0; y < 32; ++y) {
                    if (x >= 50 || y >= 30)
                        ASSERT_LT(qGray(page.pixel(x, y)), 60) << name << " " << x << "," << y;
                }
            }
        }
    }
}

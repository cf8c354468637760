// Stretching a picture the way a folding door leaf is drawn; animated pictures, from the file
// to the frame on show at each moment.
#include "assets/Assets.h"
#include "picture/FrameDecoder.h"
#include "picture/FramePlayer.h"
#include "tests/support/GifWriter.h"
#include "picture/PictureLoader.h"
#include "picture/Stretcher.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QBuffer>
#include <QTemporaryDir>

#include <cstdlib>
#include <deque>

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

namespace {

using namespace std::chrono_literals;
using TimePoint = FramePlayer::TimePoint;

QImage filled(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Frames told apart by their colour.
const QList<QColor> kColours { Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan, Qt::magenta };

QList<QImage> colourFrames(int count, QSize size = { 20, 10 })
{
    QList<QImage> frames;
    for (int i = 0; i < count; ++i)
        frames << filled(size, kColours[i % kColours.size()]);
    return frames;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

QColor colourOf(const Picture& picture)
{
    return picture.image().pixelColor(0, 0);
}

// Frames whose delays are all the test says, each a picture of its own number.
class ScriptedFrames final : public FrameSource {
public:
    explicit ScriptedFrames(std::vector<int> delaysMs, int decodable = -1)
        : m_delays(std::move(delaysMs))
        , m_decodable(decodable < 0 ? int(m_delays.size()) : decodable)
    {
    }
    std::optional<Frame> next() override
    {
        if (m_at >= m_decodable)
            return std::nullopt;
        QImage image(1, 1, QImage::Format_RGB32);
        image.setPixel(0, 0, qRgb(m_at, 0, 0));
        const int at = m_at++;
        ++*m_decoded;
        return Frame { Picture(image), frameDelay(m_delays[at]) };
    }
    void restart() override
    {
        m_at = 0;
        ++*m_restarts;
    }
    std::shared_ptr<int> m_decoded = std::make_shared<int>(0);
    std::shared_ptr<int> m_restarts = std::make_shared<int>(0);

private:
    std::vector<int> m_delays;
    int m_decodable;
    int m_at { 0 };
};

int numberOf(const Picture& picture)
{
    return qRed(picture.image().pixel(0, 0));
}

// The frame numbers a player shows when asked every millisecond for a while.
std::vector<std::pair<int, int>> playFor(FramePlayer& player, TimePoint start, int milliseconds)
{
    std::vector<std::pair<int, int>> shown; // (at ms, frame)
    for (int t = 0; t <= milliseconds; ++t) {
        if (std::optional<Picture> frame = player.advance(start + std::chrono::milliseconds(t)))
            shown.emplace_back(t, numberOf(*frame));
    }
    return shown;
}

} // namespace

TEST(GifWriter, qt_reads_back_every_pixel_delay_and_loop_count_it_wrote)
{
    // A picture of many colours and long runs: the codes grow to twelve bits and the table is
    // cleared several times over.
    QImage busy(300, 200, QImage::Format_RGB32);
    for (int y = 0; y < busy.height(); ++y) {
        for (int x = 0; x < busy.width(); ++x) {
            const int i = (x * 7 + y * 13 + (x / 30) * (y / 10)) % 256;
            busy.setPixel(x, y, (y / 50) % 2 ? qRgb(i, (i * 37) % 256, (i * 91) % 256) : qRgb(0, 0, 0));
        }
    }
    ASSERT_EQ(GifWriter::paletteOf({ busy }).size(), 256);

    for (const QList<QImage>& frames : { QList<QImage> { busy }, colourFrames(4, { 3, 1 }),
                                         colourFrames(2, { 1, 1 }) }) {
        const QByteArray bytes = GifWriter::animation(frames, 7, 2);
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "gif");
        EXPECT_EQ(reader.imageCount(), frames.size());
        EXPECT_EQ(reader.loopCount(), 2);
        for (const QImage& frame : frames) {
            QImage read;
            ASSERT_TRUE(reader.read(&read)) << reader.errorString().toStdString();
            EXPECT_EQ(reader.nextImageDelay(), 70);
            EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32), frame.convertToFormat(QImage::Format_RGB32));
        }
    }
}

TEST(AnimatedPicture, the_loader_gives_the_first_frame_as_a_still_picture_would_be)
{
    QTemporaryDir dir;
    const QList<QImage> frames = colourFrames(3, { 80, 40 });
    const QString animated = writeFile(dir, "anim.gif", GifWriter::animation(frames, 50, 0));
    const QString still = writeFile(dir, "still.gif", GifWriter::animation({ frames.first() }, 50, 0));

    const Result<Picture> a = PictureLoader::load(animated);
    const Result<Picture> s = PictureLoader::load(still);
    ASSERT_TRUE(a.ok());
    ASSERT_TRUE(s.ok());
    EXPECT_EQ(a.value().image(), s.value().image());
    EXPECT_EQ(a.value().size(), s.value().size());
    EXPECT_FALSE(s.value().isAnimated());
    ASSERT_TRUE(a.value().isAnimated());
    EXPECT_EQ(a.value().animation()->firstDelayMs, 500);
    EXPECT_EQ(a.value().animation()->loopCount, -1);

    // On the small sign box only the top-left part is kept, of every frame alike.
    const Result<Picture> small = PictureLoader::load(animated, { 50, 30 });
    const Result<Picture> smallStill = PictureLoader::load(still, { 50, 30 });
    ASSERT_TRUE(small.ok());
    EXPECT_EQ(small.value().image(), smallStill.value().image());
    EXPECT_EQ(small.value().size(), QSize(80, 40));
    FrameDecoder decoder(small.value().animation(), small.value().size());
    decoder.next();
    const std::optional<Frame> second = decoder.next();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->picture.image().size(), QSize(50, 30));
    EXPECT_EQ(second->picture.size(), QSize(80, 40));
    EXPECT_EQ(colourOf(second->picture), QColor(Qt::green));
}

TEST(AnimatedPicture, the_decoder_gives_each_frame_once_a_pass_with_its_delay)
{
    GifWriter gif({ 20, 10 }, GifWriter::paletteOf(colourFrames(4)));
    const QList<QImage> frames = colourFrames(4);
    gif.addFrame(frames[0], 0);  // no delay: a tenth of a second, as browsers have it
    gif.addFrame(frames[1], 1);  // 10 ms: the same
    gif.addFrame(frames[2], 2);  // 20 ms stays
    gif.addFrame(frames[3], 150);
    auto animation = std::make_shared<Animation>();
    animation->bytes = gif.finish();
    FrameDecoder decoder(animation, { 20, 10 });
    for (int pass = 0; pass < 2; ++pass) {
        std::vector<std::chrono::milliseconds> delays;
        std::vector<QColor> colours;
        while (std::optional<Frame> frame = decoder.next()) {
            delays.push_back(frame->delay);
            colours.push_back(colourOf(frame->picture));
        }
        EXPECT_EQ(delays, (std::vector<std::chrono::milliseconds> { 100ms, 100ms, 20ms, 1500ms }));
        EXPECT_EQ(colours, (std::vector<QColor> { Qt::red, Qt::green, Qt::blue, Qt::yellow }));
        decoder.restart();
    }
}

TEST(AnimatedPicture, bad_frames_show_what_decodes_and_no_more)
{
    const QList<QImage> frames = colourFrames(3);
    const QList<QRgb> palette = GifWriter::paletteOf(frames);

    // A frame larger than the screen, and one that starts past its edge: the picture keeps the
    // screen's size and shows the part that falls on it.
    GifWriter oversized({ 20, 10 }, palette);
    oversized.addFrame(frames[0], 10);
    oversized.addFrame(filled({ 400, 300 }, Qt::green), 10);
    oversized.addFrame(filled({ 5, 5 }, Qt::blue), 10, { 500, 500 });
    QTemporaryDir dir;
    const Result<Picture> load = PictureLoader::load(writeFile(dir, "over.gif", oversized.finish()));
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.value().size(), QSize(20, 10));
    FrameDecoder decoder(load.value().animation(), load.value().size());
    int count = 0;
    while (std::optional<Frame> frame = decoder.next()) {
        EXPECT_EQ(frame->picture.size(), QSize(20, 10));
        EXPECT_EQ(frame->picture.image().size(), QSize(20, 10));
        ++count;
    }
    EXPECT_EQ(count, 3);

    // A file cut short in its last frame: the frames before it, then what came of that one.
    GifWriter cut({ 20, 10 }, palette);
    for (const QImage& frame : frames)
        cut.addFrame(frame, 10);
    QByteArray truncated = cut.bytesSoFar();
    truncated.chop(12);
    auto animation = std::make_shared<Animation>();
    animation->bytes = truncated;
    FrameDecoder shortDecoder(animation, { 20, 10 });
    ASSERT_TRUE(shortDecoder.next());
    ASSERT_TRUE(shortDecoder.next());
    int after = 0;
    while (shortDecoder.next())
        ++after;
    EXPECT_LE(after, 1);

    // A picture claiming more pixels than the loader allows, frame by frame.
    GifWriter huge({ 20, 10 }, palette);
    huge.addFrame(frames[0], 10);
    huge.addFrame(filled({ 1, 1 }, Qt::green), 10);
    auto hugeAnimation = std::make_shared<Animation>();
    hugeAnimation->bytes = huge.finish();
    FrameDecoder wrongSize(hugeAnimation, { 16000, 16000 });
    EXPECT_FALSE(wrongSize.next());
}

TEST(FramePlayer, shows_each_frame_for_its_delay_and_loops_for_ever_when_the_file_says_nothing_or_zero)
{
    for (int loopCount : { 0, -1 }) {
        auto frames = std::make_unique<ScriptedFrames>(std::vector<int> { 100, 50, 200 });
        const TimePoint start {};
        FramePlayer player(std::move(frames), 100ms, loopCount, start);
        const auto shown = playFor(player, start, 1400);
        // Frame 0 is on show from the start; then 1 at 100, 2 at 150, 0 again at 350, ...
        const std::vector<std::pair<int, int>> expected { { 100, 1 }, { 150, 2 }, { 350, 0 }, { 450, 1 }, { 500, 2 },
                                                          { 700, 0 }, { 800, 1 }, { 850, 2 }, { 1050, 0 }, { 1150, 1 },
                                                          { 1200, 2 }, { 1400, 0 } };
        EXPECT_EQ(shown, expected) << loopCount;
        EXPECT_FALSE(player.ended());
    }
}

TEST(FramePlayer, a_loop_count_plays_once_more_than_it_says_then_stays_on_the_last_frame)
{
    auto frames = std::make_unique<ScriptedFrames>(std::vector<int> { 100, 100 });
    const auto decoded = frames->m_decoded;
    const TimePoint start {};
    FramePlayer player(std::move(frames), 100ms, 2, start);
    const auto shown = playFor(player, start, 2000);
    const std::vector<std::pair<int, int>> expected { { 100, 1 }, { 200, 0 }, { 300, 1 }, { 400, 0 }, { 500, 1 } };
    EXPECT_EQ(shown, expected);
    EXPECT_TRUE(player.ended());
    EXPECT_FALSE(player.due());
    const int decodedAtEnd = *decoded;
    EXPECT_FALSE(player.advance(start + 10s));
    EXPECT_EQ(*decoded, decodedAtEnd);
}

TEST(FramePlayer, a_late_frame_is_shown_at_once_and_the_rest_keep_their_pace_from_there)
{
    auto frames = std::make_unique<ScriptedFrames>(std::vector<int> { 100, 100, 100, 100 });
    const TimePoint start {};
    FramePlayer player(std::move(frames), 100ms, 0, start);
    // Slightly late: the next frame keeps the beat of the first.
    ASSERT_TRUE(player.advance(start + 130ms));
    EXPECT_EQ(*player.due(), start + 200ms);
    // The event thread was held for two seconds (a door moving): one frame, not twenty, and the
    // next a whole delay later.
    const std::optional<Picture> late = player.advance(start + 2200ms);
    ASSERT_TRUE(late);
    EXPECT_EQ(numberOf(*late), 2);
    EXPECT_EQ(*player.due(), start + 2300ms);
    EXPECT_FALSE(player.advance(start + 2299ms));
    EXPECT_TRUE(player.advance(start + 2300ms));
}

TEST(FramePlayer, a_pause_keeps_what_is_left_of_the_frame_on_show)
{
    auto frames = std::make_unique<ScriptedFrames>(std::vector<int> { 1000, 1000 });
    const TimePoint start {};
    FramePlayer player(std::move(frames), 1000ms, 0, start);
    player.pause(start + 300ms);
    EXPECT_FALSE(player.due());
    EXPECT_FALSE(player.advance(start + 5s));
    player.resume(start + 60s);
    EXPECT_EQ(*player.due(), start + 60s + 700ms);
    EXPECT_FALSE(player.advance(start + 60s + 699ms));
    EXPECT_TRUE(player.advance(start + 60s + 700ms));
}

TEST(FramePlayer, a_picture_of_which_only_one_frame_decodes_stops_at_once)
{
    auto frames = std::make_unique<ScriptedFrames>(std::vector<int> { 100, 100, 100 }, 1);
    const auto restarts = frames->m_restarts;
    const TimePoint start {};
    FramePlayer player(std::move(frames), 100ms, 0, start);
    EXPECT_FALSE(player.advance(start + 100ms));
    EXPECT_TRUE(player.ended());
    EXPECT_EQ(*restarts, 0);
}

TEST(FramePlayer, thousands_of_zero_delay_frames_decode_one_a_tenth_of_a_second)
{
    const int count = 3000;
    QList<QImage> frames;
    for (int i = 0; i < count; ++i)
        frames << filled({ 2, 2 }, kColours[i % 2]);
    QTemporaryDir dir;
    const Result<Picture> load = PictureLoader::load(writeFile(dir, "many.gif", GifWriter::animation(frames, 0, 0)));
    ASSERT_TRUE(load.ok());
    ASSERT_TRUE(load.value().isAnimated());
    const TimePoint start {};
    FramePlayer player(std::make_unique<FrameDecoder>(load.value().animation(), load.value().size()),
                       frameDelay(load.value().animation()->firstDelayMs), 0, start);
    // Asked all the time over ten seconds, it hands out a hundred frames, in turn.
    int shown = 0;
    QColor last = Qt::red;
    for (int t = 0; t <= 10000; t += 5) {
        if (std::optional<Picture> frame = player.advance(start + std::chrono::milliseconds(t))) {
            ++shown;
            EXPECT_NE(colourOf(*frame), last) << t;
            last = colourOf(*frame);
        }
    }
    EXPECT_EQ(shown, 100);
}

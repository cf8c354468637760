#include "doors/Common.h"
#include "platform/SdlSound.h"
#include "platform/WaveFile.h"
#include "tests/FakePlatform.h"

#include <QCoreApplication>
#include <QFile>
#include <QMetaObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

constexpr std::size_t kOpeningSamples = 17640;
constexpr std::size_t kClosingSamples = 55125;

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray committedClip(int clip)
{
    return readFile(QStringLiteral(KURURIN_ASSET_DIR "/clip%1.wav").arg(clip));
}

std::span<const std::byte> bytesOf(const QByteArray& data)
{
    return std::as_bytes(std::span(data.constData(), static_cast<std::size_t>(data.size())));
}

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

// Builds RIFF WAVE images chunk by chunk, with whatever sizes a test wants to claim.
class WaveBuilder {
public:
    WaveBuilder()
    {
        m_bytes.append("RIFF");
        put32(0);
        m_bytes.append("WAVE");
    }

    WaveBuilder& format(unsigned tag, unsigned channels, std::uint32_t rate, unsigned bits)
    {
        const unsigned align = channels * bits / 8;
        return formatChunk(16, tag, channels, rate, align, bits);
    }

    WaveBuilder& formatChunk(std::uint32_t claimedSize, unsigned tag, unsigned channels, std::uint32_t rate,
                             unsigned align, unsigned bits)
    {
        m_bytes.append("fmt ");
        put32(claimedSize);
        put16(tag);
        put16(channels);
        put32(rate);
        put32(rate * align);
        put16(align);
        put16(bits);
        return *this;
    }

    // A chunk whose size field says `claimedSize` but which holds `body`, padded to even length
    // when `pad` is set.
    WaveBuilder& chunk(const char* tag, const QByteArray& body, std::optional<std::uint32_t> claimedSize = {},
                       bool pad = true)
    {
        m_bytes.append(tag, 4);
        put32(claimedSize.value_or(static_cast<std::uint32_t>(body.size())));
        m_bytes.append(body);
        if (pad && body.size() % 2)
            m_bytes.append('\0');
        return *this;
    }

    QByteArray image() const
    {
        QByteArray out = m_bytes;
        const auto riff = static_cast<std::uint32_t>(out.size() - 8);
        for (int i = 0; i < 4; ++i)
            out[4 + i] = static_cast<char>((riff >> (8 * i)) & 0xff);
        return out;
    }

private:
    void put16(unsigned v)
    {
        m_bytes.append(static_cast<char>(v & 0xff));
        m_bytes.append(static_cast<char>((v >> 8) & 0xff));
    }
    void put32(std::uint32_t v)
    {
        put16(v & 0xffff);
        put16(v >> 16);
    }

    QByteArray m_bytes;
};

QByteArray pcm8Mono(const QByteArray& samples)
{
    return WaveBuilder().format(1, 1, 22050, 8).chunk("data", samples).image();
}

// Sample patterns that cannot be mistaken for one another: one only even bytes, the other
// only odd ones.
QByteArray evenPattern(qsizetype count)
{
    QByteArray out(count, '\0');
    for (qsizetype n = 0; n < count; ++n)
        out[n] = static_cast<char>(2 * (10 + (n * 7) % 100));
    return out;
}

QByteArray oddPattern(qsizetype count)
{
    QByteArray out(count, '\0');
    for (qsizetype n = 0; n < count; ++n)
        out[n] = static_cast<char>(2 * (10 + (n * 3) % 100) + 1);
    return out;
}

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// ---------------------------------------------------------------------------------------------
// The committed clips

class BuzzerClip : public ::testing::TestWithParam<int> {
protected:
    QByteArray image = committedClip(GetParam());
    std::size_t samples = GetParam() == 101 ? kOpeningSamples : kClosingSamples;

    QByteArray sampleBytes() const { return image.mid(44); }
};

TEST_P(BuzzerClip, IsACanonical8BitMonoWaveWithoutPadByte)
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

TEST_P(BuzzerClip, SwingsFrom60To203)
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
TEST_P(BuzzerClip, KeepsTheSameLoudnessToTheLastSample)
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
TEST_P(BuzzerClip, IsAHarmonicRichBuzzOfPeriod25Point8Samples)
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

TEST(BuzzerClips, OpeningClipIsTheStartOfTheClosingOne)
{
    const QByteArray opening = committedClip(101);
    const QByteArray closing = committedClip(102);
    ASSERT_EQ(opening.size(), qsizetype(44 + kOpeningSamples));
    ASSERT_EQ(closing.size(), qsizetype(44 + kClosingSamples));
    EXPECT_EQ(opening.mid(44), closing.mid(44, kOpeningSamples));
}

// ---------------------------------------------------------------------------------------------
// The WAVE reader

TEST(WaveReader, FindsFormatAndSamplesOfTheCommittedClip)
{
    const QByteArray image = committedClip(102);
    const WaveClip clip = parseWave(bytesOf(image));
    ASSERT_TRUE(clip.ok());
    EXPECT_EQ(clip.format.formatTag, 1);
    EXPECT_EQ(clip.format.channels, 1);
    EXPECT_EQ(clip.format.sampleRate, 22050u);
    EXPECT_EQ(clip.format.blockAlign, 1);
    EXPECT_EQ(clip.format.bitsPerSample, 8);
    EXPECT_TRUE(clip.format.isPlayablePcm());
    // An odd-length data chunk that ends the file with no pad byte.
    EXPECT_EQ(clip.samples.data(), bytesOf(image).data() + 44);
    EXPECT_EQ(clip.samples.size(), kClosingSamples);
}

TEST(WaveReader, SkipsChunksItDoesNotKnow)
{
    const QByteArray samples = evenPattern(101);
    const QByteArray image = WaveBuilder()
        .chunk("JUNK", QByteArray(7, 'j'))
        .format(1, 1, 11025, 8)
        .chunk("LIST", QByteArray(5, 'l'))
        .chunk("fact", QByteArray(4, 'f'))
        .chunk("data", samples, {}, false)
        .image();
    const WaveClip clip = parseWave(bytesOf(image));
    ASSERT_TRUE(clip.ok());
    EXPECT_EQ(clip.format.sampleRate, 11025u);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(clip.samples.data()), qsizetype(clip.samples.size())), samples);
}

TEST(WaveReader, RefusesImagesThatAreNotUsableWaves)
{
    const QByteArray data = evenPattern(64);
    auto errorOf = [](const QByteArray& image) { return parseWave(bytesOf(image)).error; };

    EXPECT_EQ(errorOf({}), WaveError::NotWave);
    EXPECT_EQ(errorOf(QByteArray("RIFF\x04\0\0\0WAV", 11)), WaveError::NotWave);
    EXPECT_EQ(errorOf(QByteArray("RIFX\x04\0\0\0WAVE", 12)), WaveError::NotWave);
    EXPECT_EQ(errorOf(WaveBuilder().chunk("data", data).image()), WaveError::NoFormat);
    EXPECT_EQ(errorOf(WaveBuilder().format(1, 1, 22050, 8).image()), WaveError::NoData);
    EXPECT_EQ(errorOf(WaveBuilder().formatChunk(16, 1, 0, 22050, 0, 8).chunk("data", data).image()),
              WaveError::BadFormat);
    EXPECT_EQ(errorOf(WaveBuilder().formatChunk(16, 1, 2, 22050, 0, 16).chunk("data", data).image()),
              WaveError::BadFormat);
}

TEST(WaveReader, RefusesSizesThatRunPastTheImage)
{
    const QByteArray data = evenPattern(64);
    auto errorOf = [](const QByteArray& image) { return parseWave(bytesOf(image)).error; };

    // A format chunk too short to hold a format, and one claiming more than there is.
    EXPECT_EQ(errorOf(WaveBuilder().formatChunk(8, 1, 1, 22050, 1, 8).chunk("data", data).image()),
              WaveError::BadFormat);
    EXPECT_EQ(errorOf(WaveBuilder().formatChunk(0xfffffff0u, 1, 1, 22050, 1, 8).chunk("data", data).image()),
              WaveError::Truncated);
    // A chunk before the samples that claims to reach 4 GiB on: the samples are never found.
    EXPECT_EQ(errorOf(WaveBuilder().format(1, 1, 22050, 8).chunk("LIST", "ab", 0xffffffffu).chunk("data", data).image()),
              WaveError::NoData);
    EXPECT_EQ(errorOf(WaveBuilder().format(1, 1, 22050, 8).chunk("LIST", "ab", 0xfffffff7u).chunk("data", data).image()),
              WaveError::NoData);
}

TEST(WaveReader, CutsAShortDataChunkToTheWholeFramesPresent)
{
    const QByteArray data = evenPattern(10);
    for (const std::uint32_t claimed : {1000u, 0xffffffffu}) {
        const QByteArray image = WaveBuilder().format(1, 2, 44100, 16).chunk("data", data, claimed).image();
        const WaveClip clip = parseWave(bytesOf(image));
        ASSERT_TRUE(clip.ok()) << claimed;
        EXPECT_EQ(clip.samples.size(), 8u) << claimed;
        EXPECT_EQ(clip.samples.data(), bytesOf(image).data() + image.size() - 10) << claimed;
    }
}

// Every prefix of a real clip, and headers with random bytes flipped: whatever is claimed, the
// samples found must lie inside the image and be whole frames.
TEST(WaveReader, NeverPointsOutsideTheImage)
{
    const QByteArray clip101 = committedClip(101);
    const QByteArray withChunks = WaveBuilder()
        .chunk("JUNK", QByteArray(7, 'j'))
        .format(1, 2, 22050, 16)
        .chunk("LIST", QByteArray(5, 'l'))
        .chunk("data", evenPattern(400))
        .image();
    auto check = [](const QByteArray& image) {
        const WaveClip clip = parseWave(bytesOf(image));
        if (!clip.ok())
            return;
        const std::byte* begin = bytesOf(image).data();
        const std::byte* end = begin + image.size();
        ASSERT_GE(clip.samples.data(), begin);
        ASSERT_LE(clip.samples.data() + clip.samples.size(), end);
        ASSERT_EQ(clip.samples.size() % clip.format.blockAlign, 0u);
    };

    for (const QByteArray& source : {clip101, withChunks}) {
        for (qsizetype length = 0; length <= std::min<qsizetype>(source.size(), 600); ++length)
            check(source.left(length));
        std::mt19937 random(20240611);
        for (int round = 0; round < 20000; ++round) {
            QByteArray image = source.left(std::min<qsizetype>(source.size(), 200 + random() % 400));
            for (int flips = 1 + random() % 4; flips > 0; --flips)
                image[random() % std::min<qsizetype>(image.size(), 80)] = static_cast<char>(random());
            check(image);
        }
    }
}

TEST(WaveReader, PlaysOnly8And16BitPcmInMonoOrStereo)
{
    auto playable = [](unsigned tag, unsigned channels, std::uint32_t rate, unsigned bits) {
        WaveFormat f;
        f.formatTag = static_cast<std::uint16_t>(tag);
        f.channels = static_cast<std::uint16_t>(channels);
        f.sampleRate = rate;
        f.bitsPerSample = static_cast<std::uint16_t>(bits);
        f.blockAlign = static_cast<std::uint16_t>(channels * bits / 8);
        return f.isPlayablePcm();
    };
    EXPECT_TRUE(playable(1, 1, 22050, 8));
    EXPECT_TRUE(playable(1, 2, 44100, 16));
    EXPECT_TRUE(playable(1, 1, 8000, 16));
    EXPECT_FALSE(playable(3, 1, 44100, 32)); // float
    EXPECT_FALSE(playable(2, 1, 22050, 4));  // ADPCM
    EXPECT_FALSE(playable(1, 1, 44100, 24));
    EXPECT_FALSE(playable(1, 6, 48000, 16));
    EXPECT_FALSE(playable(1, 1, 0, 8));

    WaveFormat lying;
    lying.formatTag = 1;
    lying.channels = 2;
    lying.sampleRate = 22050;
    lying.bitsPerSample = 16;
    lying.blockAlign = 2;
    EXPECT_FALSE(lying.isPlayablePcm()) << "block size that does not fit the channels";
}

// ---------------------------------------------------------------------------------------------
// SdlSound. SDL reads its driver from the environment each time its audio subsystem starts,
// and SdlSound shuts the subsystem down when it goes, so each test sets the driver up first and
// keeps its player to itself.

class ScopedEnvironment {
public:
    ~ScopedEnvironment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }

    void set(const char* name, const QString& value)
    {
        const char* old = getenv(name);
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        setenv(name, value.toLocal8Bit().constData(), 1);
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

class SdlSoundOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        environment.set("SDL_AUDIODRIVER", "disk");
        environment.set("SDL_DISKAUDIOFILE", capturePath());
    }

    QString capturePath() const { return folder.filePath("capture.raw"); }
    QByteArray capture() const { return readFile(capturePath()); }

    QTemporaryDir folder;
    ScopedEnvironment environment;
};

TEST_F(SdlSoundOnDisk, WaitingPlayReturnsOnceTheClipHasPlayedThrough)
{
    const QByteArray clip = committedClip(101);
    ASSERT_EQ(clip.size(), qsizetype(44 + kOpeningSamples));
    Clock::duration took {};
    {
        SdlSound sound;
        const auto start = Clock::now();
        sound.play(bytesOf(clip), true);
        took = Clock::now() - start;
    }
    EXPECT_GE(seconds(took), 0.79);
    EXPECT_LE(seconds(took), 3.0);
    EXPECT_GE(capture().indexOf(clip.mid(44)), 0) << "the device did not get clip 101's samples in order";
}

// A clip that fits in the device's first buffer leaves SDL's queue at once; the wait must
// still cover the time it takes to be heard.
TEST_F(SdlSoundOnDisk, WaitingPlayOfAClipShorterThanOneBufferLastsTheClip)
{
    const QByteArray blip = evenPattern(441); // 20 ms
    Clock::duration took {};
    {
        SdlSound sound;
        const auto start = Clock::now();
        sound.play(bytesOf(pcm8Mono(blip)), true);
        took = Clock::now() - start;
    }
    EXPECT_GE(seconds(took), 0.02);
    EXPECT_LE(seconds(took), 1.0);
    EXPECT_GE(capture().indexOf(blip), 0);
}

TEST_F(SdlSoundOnDisk, PlayWithoutWaitReturnsWhileTheClipGoesOn)
{
    const QByteArray clip = committedClip(102);
    Clock::duration took {};
    {
        SdlSound sound;
        const auto start = Clock::now();
        sound.play(bytesOf(clip), false);
        took = Clock::now() - start;
        std::this_thread::sleep_for(400ms);
    }
    EXPECT_LT(seconds(took), 1.5) << "waited for a 2.5 s clip";
    const QByteArray heard = capture();
    EXPECT_GE(heard.indexOf(clip.mid(44, 4000)), 0) << "the clip did not start";
}

TEST_F(SdlSoundOnDisk, NewPlayCutsOffTheClipStillPlaying)
{
    const QByteArray first = evenPattern(22050);  // 1 s
    const QByteArray second = oddPattern(11025);  // 0.5 s
    {
        SdlSound sound;
        sound.play(bytesOf(pcm8Mono(first)), false);
        std::this_thread::sleep_for(300ms);
        sound.play(bytesOf(pcm8Mono(second)), true);
    }
    const QByteArray heard = capture();
    const qsizetype start = heard.indexOf(first.left(256));
    ASSERT_GE(start, 0) << "the first clip never started";
    qsizetype played = 0;
    while (start + played < heard.size() && played < first.size() && heard[start + played] == first[played])
        ++played;
    EXPECT_GT(played, 2205) << "cut off before 0.1 s";
    EXPECT_LT(played, first.size() - 2205) << "the first clip was not cut off";
    EXPECT_EQ(heard.mid(start + played, second.size()), second) << "the second clip must follow from its start";
}

TEST_F(SdlSoundOnDisk, OpensTheDeviceInEachClipsOwnFormat)
{
    // 16-bit stereo at 44,100 Hz, left and right different, 0.3 s.
    QByteArray samples;
    for (int n = 0; n < 13230; ++n) {
        const auto left = static_cast<std::int16_t>(9000 * std::sin(n * 0.05));
        const auto right = static_cast<std::int16_t>(-5000 * std::sin(n * 0.11));
        for (const std::int16_t v : {left, right}) {
            samples.append(static_cast<char>(v & 0xff));
            samples.append(static_cast<char>((v >> 8) & 0xff));
        }
    }
    const QByteArray stereo = WaveBuilder().format(1, 2, 44100, 16).chunk("data", samples).image();
    {
        SdlSound sound;
        sound.play(bytesOf(pcm8Mono(evenPattern(22050))), false);
        std::this_thread::sleep_for(100ms);
        sound.play(bytesOf(stereo), true);
    }
    // The disk device starts a new file when it is opened again; had SDL converted the clip
    // to the first clip's format, these bytes would not be there.
    EXPECT_GE(capture().indexOf(samples), 0);
}

// SDL would otherwise turn Ctrl+C into an SDL event that nobody reads.
TEST_F(SdlSoundOnDisk, LeavesTheProgramsSignalHandlingAlone)
{
    struct sigaction plain {};
    plain.sa_handler = SIG_DFL;
    sigemptyset(&plain.sa_mask);
    struct sigaction originalInt {};
    struct sigaction originalTerm {};
    ASSERT_EQ(sigaction(SIGINT, &plain, &originalInt), 0);
    ASSERT_EQ(sigaction(SIGTERM, &plain, &originalTerm), 0);
    {
        SdlSound sound;
        sound.play(bytesOf(pcm8Mono(evenPattern(2205))), false);
        for (const int signal : {SIGINT, SIGTERM}) {
            struct sigaction now {};
            sigaction(signal, nullptr, &now);
            EXPECT_EQ(now.sa_handler, SIG_DFL) << "signal " << signal;
        }
    }
    sigaction(SIGINT, &originalInt, nullptr);
    sigaction(SIGTERM, &originalTerm, nullptr);
}

TEST_F(SdlSoundOnDisk, ClipItCannotPlayStopsTheOneStillPlaying)
{
    const QByteArray first = evenPattern(22050);
    {
        SdlSound sound;
        sound.play(bytesOf(pcm8Mono(first)), false);
        std::this_thread::sleep_for(200ms);
        sound.play(bytesOf(WaveBuilder().format(3, 1, 22050, 32).chunk("data", QByteArray(400, 'x')).image()), true);
        sound.play(bytesOf(QByteArray("not a wave at all")), true);
        std::this_thread::sleep_for(200ms);
    }
    const QByteArray heard = capture();
    const qsizetype start = heard.indexOf(first.left(256));
    ASSERT_GE(start, 0);
    qsizetype played = 0;
    while (start + played < heard.size() && played < first.size() && heard[start + played] == first[played])
        ++played;
    EXPECT_LT(played, first.size() - 2205) << "the first clip played on";
}

class SdlSoundWithoutDevice : public ::testing::Test {
protected:
    QTemporaryDir folder;
    ScopedEnvironment environment;
    QByteArray clip = committedClip(102); // 2.5 s: a play that returns well before that did not wait
};

TEST_F(SdlSoundWithoutDevice, UnknownDriverLeavesPlaysSilentAndRetriesOnlyLater)
{
    environment.set("SDL_AUDIODRIVER", "none-such");
    SdlSound sound(1s);
    const auto start = Clock::now();
    sound.play(bytesOf(clip), true);
    sound.play(bytesOf(clip), false);
    sound.stop();
    EXPECT_LT(seconds(Clock::now() - start), 1.5);

    // A working driver turns up, but the failed probe is not repeated straight away...
    environment.set("SDL_AUDIODRIVER", "disk");
    environment.set("SDL_DISKAUDIOFILE", folder.filePath("capture.raw"));
    sound.play(bytesOf(clip), true);
    EXPECT_FALSE(QFile::exists(folder.filePath("capture.raw")));

    // ...only once the pause has passed.
    std::this_thread::sleep_for(1100ms);
    const QByteArray opening = committedClip(101);
    sound.play(bytesOf(opening), true);
    EXPECT_TRUE(QFile::exists(folder.filePath("capture.raw")));
}

// With a card that does not exist, alsa-lib reports each step of its failed search on stderr.
TEST_F(SdlSoundWithoutDevice, MissingSoundCardMakesNoNoiseOnTheTerminal)
{
    environment.set("SDL_AUDIODRIVER", "alsa");
    environment.set("AUDIODEV", "hw:NoSuchCard");
    const QString errors = folder.filePath("stderr.txt");
    std::fflush(stderr);
    const int savedStderr = dup(STDERR_FILENO);
    FILE* sink = std::fopen(errors.toLocal8Bit().constData(), "w");
    ASSERT_NE(sink, nullptr);
    dup2(fileno(sink), STDERR_FILENO);

    const auto start = Clock::now();
    {
        SdlSound sound(0ms);
        sound.play(bytesOf(clip), true);
        sound.play(bytesOf(clip), true);
    }
    const auto took = Clock::now() - start;

    std::fflush(stderr);
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);
    std::fclose(sink);

    EXPECT_LT(seconds(took), 1.5);
    EXPECT_EQ(readFile(errors), QByteArray());
}

// ---------------------------------------------------------------------------------------------
// Common, over a platform that records what it is asked to play

// The test fake, also noting where the bytes it was handed live and what Common held when it
// was asked to stop.
class RecordingPlatform : public FakePlatform {
public:
    struct Call {
        bool play { false };
        QByteArray bytes;      // what a play handed over
        const std::byte* at { nullptr };
        bool wait { false };
        QByteArray heldAtStop; // Common's buffer when a stop came
    };

    void PlaySound(std::span<const std::byte> waveImage, bool wait) override
    {
        FakePlatform::PlaySound(waveImage, wait);
        Call call;
        call.play = true;
        call.bytes = sounds.back().bytes;
        call.at = waveImage.data();
        call.wait = wait;
        calls.push_back(call);
    }

    void StopSound() override
    {
        FakePlatform::StopSound();
        Call call;
        if (common)
            call.heldAtStop = common->SoundData();
        calls.push_back(call);
    }

    std::vector<Call> plays() const
    {
        std::vector<Call> out;
        std::copy_if(calls.begin(), calls.end(), std::back_inserter(out), [](const Call& c) { return c.play; });
        return out;
    }

    const Common* common = nullptr;
    std::vector<Call> calls;
};

class CommonSound : public ::testing::Test {
protected:
    RecordingPlatform platform;
    Common common { platform };

    void SetUp() override { platform.common = &common; }
};

TEST_F(CommonSound, PlayResSoundHandsOverTheClipFromItsOwnBuffer)
{
    const QByteArray clip = committedClip(101);
    ASSERT_FALSE(clip.isEmpty());
    EXPECT_TRUE(common.SoundData().isEmpty());

    common.PlayResSound(101);

    EXPECT_EQ(common.SoundData(), clip);
    const auto plays = platform.plays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].bytes, clip);
    EXPECT_FALSE(plays[0].wait);
    // The platform may read the bytes after the call returns: they must be the held buffer.
    EXPECT_EQ(plays[0].at, bytesOf(common.SoundData()).data());
}

TEST_F(CommonSound, PlayResSoundWaitAsksThePlatformToWait)
{
    common.PlayResSoundWait(102);

    EXPECT_EQ(common.SoundData(), committedClip(102));
    const auto plays = platform.plays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].bytes, committedClip(102));
    EXPECT_TRUE(plays[0].wait);
    EXPECT_EQ(plays[0].at, bytesOf(common.SoundData()).data());
}

TEST_F(CommonSound, StopsTheClipPlayingBeforeItsBufferIsReplaced)
{
    common.PlayResSound(101);
    common.PlayResSoundWait(102);
    common.PlayResSound(101);

    const QByteArray opening = committedClip(101);
    const QByteArray closing = committedClip(102);
    const QByteArray expectedPlays[] = {opening, closing, opening};
    int played = 0;
    std::optional<QByteArray> playing;
    for (const auto& call : platform.calls) {
        if (call.play) {
            ASSERT_FALSE(playing) << "a play replaced the buffer of a clip not yet stopped";
            ASSERT_LT(played, 3);
            EXPECT_EQ(call.bytes, expectedPlays[played++]);
            playing = call.bytes;
        } else {
            if (playing) {
                EXPECT_EQ(call.heldAtStop, *playing) << "the buffer was replaced before the stop";
            }
            playing.reset();
        }
    }
    EXPECT_EQ(played, 3);
}

TEST_F(CommonSound, PlayResSoundLetsWaitingEventsRun)
{
    bool ran = false;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { ran = true; }, Qt::QueuedConnection);
    common.PlayResSound(101);
    EXPECT_TRUE(ran);
    ASSERT_EQ(platform.plays().size(), 1u);
}

TEST_F(CommonSound, UnknownClipStopsTheSoundAndPlaysNothing)
{
    common.PlayResSound(101);
    const auto before = platform.plays().size();
    common.PlayResSoundWait(999);
    EXPECT_EQ(platform.plays().size(), before);
    EXPECT_FALSE(platform.calls.back().play) << "the clip still playing was not stopped";
    EXPECT_TRUE(common.SoundData().isEmpty());
}

} // namespace

// A device that goes away while a clip plays (its output starts failing) must not hang a
// waiting play, nor bring the program down.
TEST(SdlSoundDeviceLost, AWaitingPlayReturnsWhenTheDeviceFailsMidClip)
{
    ScopedEnvironment environment;
    environment.set("SDL_AUDIODRIVER", "disk");
    environment.set("SDL_DISKAUDIOFILE", QStringLiteral("/dev/full"));
    const QByteArray clip = committedClip(102);
    Clock::duration took {};
    {
        SdlSound sound;
        const auto start = Clock::now();
        sound.play(bytesOf(clip), true);
        sound.play(bytesOf(clip), false);
        took = Clock::now() - start;
    }
    EXPECT_LE(seconds(took), 2 * 2.5 + 1.5) << "the stall guard let the wait run on";
}

#include "platform/DesktopPlatform.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/MakerLibrary.h"
#include "platform/SdlSound.h"
#include "platform/WaveFile.h"
#include "platform/WindowDrag.h"
#include "tests/CommittedClips.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// ---- The desktop's popup menu

// The real desktop's popup menu, as the bus opens it. First in the file: once a test has closed
// a window, the application is quitting and a menu's own event loop would end at once.
TEST(PopupMenu, items_are_chosen_with_the_left_button_only)
{
    DesktopPlatform desktop;
    QMenu menu;
    int chosen = 0;
    QAction* item = menu.addAction(QStringLiteral("看板の表示"));
    QObject::connect(item, &QAction::triggered, [&] { ++chosen; });
    int chosenAfterRight = -1;
    bool openAfterRight = false;
    QTimer::singleShot(100, [&] {
        const QPoint at = menu.actionGeometry(item).center();
        QTest::mouseMove(&menu, at);
        QTest::mouseClick(&menu, Qt::RightButton, {}, at);
        QTest::mouseClick(&menu, Qt::MiddleButton, {}, at);
        chosenAfterRight = chosen;
        openAfterRight = menu.isVisible();
        QTest::mouseClick(&menu, Qt::LeftButton, {}, at);
    });
    desktop.PopupMenu(&menu, QPoint(100, 100));
    EXPECT_EQ(chosenAfterRight, 0);
    EXPECT_TRUE(openAfterRight);
    EXPECT_EQ(chosen, 1);
    EXPECT_FALSE(menu.isVisible());
}

// ---- Sound: the wave reader and SDL playing clips

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
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
// The WAVE reader

TEST(WaveReader, finds_format_and_samples_of_the_committed_clip)
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

TEST(WaveReader, skips_chunks_it_does_not_know)
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

TEST(WaveReader, refuses_images_that_are_not_usable_waves)
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

TEST(WaveReader, refuses_sizes_that_run_past_the_image)
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

TEST(WaveReader, cuts_a_short_data_chunk_to_the_whole_frames_present)
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
TEST(WaveReader, never_points_outside_the_image)
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

TEST(WaveReader, plays_only_8_and_16_bit_pcm_in_mono_or_stereo)
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

TEST_F(SdlSoundOnDisk, waiting_play_returns_once_the_clip_has_played_through)
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
TEST_F(SdlSoundOnDisk, waiting_play_of_a_clip_shorter_than_one_buffer_lasts_the_clip)
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

TEST_F(SdlSoundOnDisk, play_without_wait_returns_while_the_clip_goes_on)
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

TEST_F(SdlSoundOnDisk, new_play_cuts_off_the_clip_still_playing)
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

TEST_F(SdlSoundOnDisk, opens_the_device_in_each_clips_own_format)
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
TEST_F(SdlSoundOnDisk, leaves_the_programs_signal_handling_alone)
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

TEST_F(SdlSoundOnDisk, clip_it_cannot_play_stops_the_one_still_playing)
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

TEST_F(SdlSoundWithoutDevice, unknown_driver_leaves_plays_silent_and_retries_only_later)
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
TEST_F(SdlSoundWithoutDevice, missing_sound_card_makes_no_noise_on_the_terminal)
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

} // namespace

// A device that goes away while a clip plays (its output starts failing) must not hang a
// waiting play, nor bring the program down.
TEST(SdlSoundDeviceLost, a_waiting_play_returns_when_the_device_fails_mid_clip)
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

namespace {

// ---- Files: saves that survive being cut short, and bounded reads

TEST(AtomicWrite, a_save_killed_half_way_leaves_the_old_file_whole)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/RX27A0022.ini";
    const QByteArray old = "0,0,0,3675,\"\",\"\",0,0,\"\",3180,1815,#TRUE#,#TRUE#,10000,6000,0\r\n";
    ASSERT_TRUE(Files::writeAtomically(path, old).ok());
    const pid_t child = fork();
    if (child == 0) {
        // A save far too big to finish before it is killed.
        (void)Files::writeAtomically(path, QByteArray(512 * 1024 * 1024, 'x'));
        _exit(0);
    }
    // Kill it once its new file holds a few megabytes. The file is watched, not the process's
    // write count, which grows only when the one big write returns.
    auto written = [&dir] {
        const QFileInfoList files = QDir(dir.path()).entryInfoList({ ".RX27A0022.ini.new-*" }, QDir::Files | QDir::Hidden);
        return files.isEmpty() ? 0LL : files[0].size();
    };
    for (int i = 0; i < 20000 && written() < 4 * 1024 * 1024; ++i)
        QThread::usleep(200);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the save finished before it could be killed";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), old);

    // The killed save's new file is left over; the next save clears it once it is old enough
    // that no save can still be writing it. The user's own files beside it are never taken,
    // however old.
    QFile backup(dir.filePath("RX27A0022.ini.backup"));
    ASSERT_TRUE(backup.open(QIODevice::WriteOnly));
    ASSERT_EQ(backup.write(old), old.size());
    ASSERT_TRUE(backup.flush());
    ASSERT_TRUE(backup.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    backup.close();
    const auto newFiles = [&dir] {
        return QDir(dir.path()).entryList({ ".RX27A0022.ini.*" }, QDir::Files | QDir::Hidden);
    };
    const QStringList leftovers = newFiles();
    ASSERT_EQ(leftovers.size(), 1);
    ASSERT_TRUE(Files::writeAtomically(path, old).ok());
    EXPECT_EQ(newFiles(), leftovers) << "too fresh to be taken";
    QFile leftover(dir.filePath(leftovers[0]));
    ASSERT_TRUE(leftover.open(QIODevice::ReadWrite));
    ASSERT_TRUE(leftover.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    leftover.close();
    ASSERT_TRUE(Files::writeAtomically(path, old).ok());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList { "RX27A0022.ini", "RX27A0022.ini.backup" }));
}

// A file-size limit makes the disk "full" for one process: its writes fail part way.
TEST(AtomicWrite, a_full_disk_fails_the_save_and_leaves_the_old_file_whole)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/RX27A0022.ini";
    const QByteArray old = "0,0,0,3675,\"\",\"\",0,0,\"\",3180,1815,#TRUE#,#TRUE#,10000,6000,0\r\n";
    ASSERT_TRUE(Files::writeAtomically(path, old).ok());
    const pid_t child = fork();
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit { 16, 16 };
        setrlimit(RLIMIT_FSIZE, &limit);
        const Result<void> result = Files::writeAtomically(path, QByteArray(4096, 'x'));
        _exit(result.ok() ? 0 : 3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "the failed write was reported as a success";
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1) << "no half-written file left behind";
}

TEST(AtomicWrite, a_folder_where_the_file_should_be_fails_the_save_in_words)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/RX27A0022.ini";
    ASSERT_TRUE(QDir().mkdir(path));
    const Result<void> result = Files::writeAtomically(path, "0,0,0\r\n");
    ASSERT_FALSE(result.ok());
    EXPECT_EQ(result.kind(), Failure::Kind::IsAFolder);
    EXPECT_EQ(result.failure().description, "指定したパスはフォルダーです。") << "not a bare error number";
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty()) << "no file left behind";
}

// Killed at many different moments of a save, the file is always either the old one or the new
// one, never a mixture or a stub.
TEST(AtomicWrite, killed_at_any_moment_the_file_is_old_or_new_never_broken)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/RX27A0022.ini";
    const QByteArray old(200, 'o');
    const QByteArray fresh(200, 'n');
    ASSERT_TRUE(Files::writeAtomically(path, old).ok());
    int killedMidway = 0;
    for (int round = 0; round < 40; ++round) {
        const pid_t child = fork();
        if (child == 0) {
            for (;;)
                (void)Files::writeAtomically(path, fresh);
        }
        QThread::usleep(200 + 97 * (round % 23));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        killedMidway += WIFSIGNALED(status);
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray now = f.readAll();
        ASSERT_TRUE(now == old || now == fresh) << "round " << round << ": " << now.size() << " bytes";
    }
    EXPECT_EQ(killedMidway, 40);
}

TEST(FileRead, whole_files_up_to_the_limit_and_nothing_past_it)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("RX27A0022.ini"));
    auto writeBytes = [&](qsizetype n) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QByteArray bytes(n, 'x');
        for (qsizetype i = 0; i < n; i += 997)
            bytes[i] = char('0' + i % 10);
        file.write(bytes);
    };
    // Sizes across the 16 KiB pieces the reader takes, and exactly at the limit.
    for (qsizetype n : { qsizetype(0), qsizetype(1), qsizetype(16384), qsizetype(16385), qsizetype(40000) }) {
        writeBytes(n);
        const Result<QByteArray> read = Files::read(path, 40000);
        ASSERT_TRUE(read.ok()) << n;
        EXPECT_EQ(read.value().size(), n);
        for (qsizetype i = 0; i < n; i += 997)
            EXPECT_EQ(read.value().at(i), char('0' + i % 10)) << i;
    }
    writeBytes(40001);
    EXPECT_EQ(Files::read(path, 40000).kind(), Failure::Kind::TooLarge);
    EXPECT_EQ(Files::read(dir.filePath(QStringLiteral("missing.ini")), 40000).kind(), Failure::Kind::NotFound);
    // A file whose size the system does not know beforehand is read to its end all the same.
    const Result<QByteArray> proc = Files::read(QStringLiteral("/proc/self/status"), 1 << 20);
    ASSERT_TRUE(proc.ok());
    EXPECT_TRUE(proc.value().startsWith("Name:"));
}

// ---- Dragging a child window

TEST(WindowDrag, the_grab_point_stays_inside_the_parent)
{
    const QRect area(0, 0, 807, 225);
    EXPECT_EQ(WindowDrag::position({ 300, 100 }, area, { 10, 5 }), QPoint(290, 95));
    EXPECT_EQ(WindowDrag::position({ 2000, -50 }, area, { 10, 5 }), QPoint(806 - 10, -5));
    EXPECT_EQ(WindowDrag::position({ -300, 500 }, area, { 90, 25 }), QPoint(-90, 224 - 25));
}

// ---- Fonts

TEST(InstalledFonts, name_the_installed_face_and_ask_for_no_hinting)
{
    // The faces the scripts install: asking for them by their own names spares Qt a search of
    // every installed font for fallbacks to a face that does not exist.
    EXPECT_EQ(Fonts::installedFace(Fonts::kGothic), "IPAGothic");
    EXPECT_EQ(Fonts::installedFace(Fonts::kPGothic), "IPAPGothic");
    EXPECT_EQ(Fonts::installedFace(QStringLiteral("Arial")), "Arial");
    const QFont font = Fonts::programFont(Fonts::kPGothic, 9, true, true);
    EXPECT_EQ(font.families(), QStringList { "IPAPGothic" });
    EXPECT_EQ(font.pixelSize(), 12);
    EXPECT_TRUE(font.bold());
    EXPECT_TRUE(font.underline());
    EXPECT_EQ(font.hintingPreference(), QFont::PreferNoHinting);
    // What is drawn is that face, Japanese included.
    EXPECT_EQ(QFontInfo(font).family(), "IPAPGothic");
    EXPECT_TRUE(QFontMetrics(font).inFont(QChar(u'扉')));
}

// ---- The maker's library

// The real maker's library, and stand-ins for it that fail in each way.
TEST(MakersLibrary, gives_the_address_of_the_homepage_installed_beside_it)
{
    const Result<QString> answer = MakerLibrary::homepage(KURURIN_MAKER_LIBRARY);
    ASSERT_TRUE(answer.ok()) << answer.failure().description.toStdString();
    const QUrl url(answer.value());
    EXPECT_EQ(url.scheme(), "file");
    EXPECT_TRUE(url.toLocalFile().endsWith("/homepage/index.html"));
    QFile page(url.toLocalFile());
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(page.readAll()).contains("方向幕"));
}

TEST(MakersLibrary, every_way_of_failing_has_its_own_description)
{
    auto error = [](const char* library) { return MakerLibrary::homepage(library).failure().description; };
    EXPECT_EQ(error("/nonexistent/libKBT7Res.so"), "ファイルが見つかりません。: /nonexistent/libKBT7Res.so");
    EXPECT_EQ(error(KURURIN_STAND_IN_NO_FUNCTION),
              QStringLiteral("DLL エントリ ポイント SoramichiHpURL が %1 内に見つかりません。").arg(KURURIN_STAND_IN_NO_FUNCTION));
    EXPECT_EQ(error(KURURIN_STAND_IN_EMPTY), "ホームページのアドレスを取得できませんでした。");
    EXPECT_EQ(error(KURURIN_STAND_IN_NULL), "ホームページのアドレスを取得できませんでした。");
    EXPECT_EQ(error(KURURIN_STAND_IN_GARBAGE), "ホームページのアドレスが正しくありません。");
}

} // namespace

#include "doors/Common.h"
#include "doors/DoorMotion.h"
#include "tests/CommittedClips.h"
#include "tests/FakePlatform.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <vector>

using namespace Doors;

namespace {

// Everything a movement does, in order: "L.W=855", "R.L=6331", "pause 10".
struct Journal {
    std::vector<std::string> entries;
    void add(std::string e) { entries.push_back(std::move(e)); }
};

class RecordingLeaf : public Leaf {
public:
    RecordingLeaf(Journal& journal, std::string name, float left, float width)
        : m_journal(journal), m_name(std::move(name)), left(left), width(width) { }
    float Width() const override { return width; }
    void setWidth(float w) override
    {
        width = w;
        m_journal.add(m_name + ".W=" + std::to_string(int(w)));
    }
    void setLeft(float l) override
    {
        left = l;
        m_journal.add(m_name + ".L=" + std::to_string(int(l)));
    }

private:
    Journal& m_journal;
    std::string m_name;

public:
    float left;
    float width;
};

class RecordingPacer : public Pacer {
public:
    explicit RecordingPacer(Journal* journal = nullptr) : m_journal(journal) { }
    void pause(int counts) override
    {
        pauses.push_back(counts);
        if (m_journal)
            m_journal->add("pause " + std::to_string(counts));
        if (onPause)
            onPause(int(pauses.size()));
    }
    std::vector<int> pauses;
    std::function<void(int)> onPause;

private:
    Journal* m_journal;
};

class RecordingDisplay : public StepDisplay {
public:
    explicit RecordingDisplay(Journal* journal = nullptr) : m_journal(journal) { }
    void showStep() override
    {
        if (m_journal)
            m_journal->add("show");
    }

private:
    Journal* m_journal;
};

std::vector<int> widthsOf(const Journal& j, const std::string& leaf)
{
    std::vector<int> out;
    const std::string prefix = leaf + ".W=";
    for (const auto& e : j.entries)
        if (e.rfind(prefix, 0) == 0)
            out.push_back(std::stoi(e.substr(prefix.size())));
    return out;
}

const SpeedSource speed10 = [] { return 10; };

TEST(FrontDoor, opening_narrows_from_1155_to_70_with_a_pause_after_every_step)
{
    Journal j;
    RecordingLeaf door(j, "F", 390, 1155);
    RecordingPacer pacer(&j);
    RecordingDisplay display(&j);
    openFrontDoor(door, speed10, pacer, display);
    const auto widths = widthsOf(j, "F");
    ASSERT_EQ(widths.size(), 1086u);
    EXPECT_EQ(widths.front(), 1155);
    EXPECT_EQ(widths.back(), 70);
    for (std::size_t i = 1; i < widths.size(); ++i)
        ASSERT_EQ(widths[i], widths[i - 1] - 1);
    // Every step is shown before its pause begins, the last one included.
    ASSERT_EQ(j.entries.size(), 3 * 1086u);
    EXPECT_EQ(j.entries[1], "show");
    EXPECT_EQ(j.entries[2], "pause 10");
    EXPECT_EQ(j.entries[j.entries.size() - 2], "show");
    EXPECT_EQ(j.entries.back(), "pause 10");
}

TEST(FrontDoor, closing_always_starts_at_70_and_ends_at_1155)
{
    Journal j;
    RecordingLeaf door(j, "F", 390, 600); // half open, e.g. after an odd start
    RecordingPacer pacer;
    RecordingDisplay display;
    closeFrontDoor(door, speed10, pacer, display);
    const auto widths = widthsOf(j, "F");
    ASSERT_EQ(widths.size(), 1086u);
    EXPECT_EQ(widths.front(), 70);
    EXPECT_EQ(widths.back(), 1155);
    EXPECT_EQ(pacer.pauses.size(), 1086u);
}

TEST(FrontDoor, opening_a_door_already_narrower_than_open_takes_no_step)
{
    Journal j;
    RecordingLeaf door(j, "F", 390, 69.4f);
    RecordingPacer pacer;
    RecordingDisplay display;
    openFrontDoor(door, speed10, pacer, display);
    EXPECT_TRUE(j.entries.empty());
    EXPECT_FLOAT_EQ(door.width, 69.4f);
}

TEST(FrontDoor, start_width_rounds_halves_to_even)
{
    EXPECT_EQ(startWidth(100.5f), 100);
    EXPECT_EQ(startWidth(101.5f), 102);
    EXPECT_EQ(startWidth(101.49f), 101);
    EXPECT_EQ(startWidth(69.5f), 70);
    Journal j;
    RecordingLeaf door(j, "F", 390, 70.5f); // rounds to 70: one step
    RecordingPacer pacer;
    RecordingDisplay display;
    openFrontDoor(door, speed10, pacer, display);
    EXPECT_EQ(widthsOf(j, "F"), std::vector<int>({ 70 }));
}

TEST(FrontDoor, speed_is_read_afresh_at_every_step_and_below_1_means_no_pause)
{
    Journal j;
    RecordingLeaf door(j, "F", 390, 1155);
    RecordingPacer pacer;
    int speed = 5;
    pacer.onPause = [&](int n) {
        if (n == 3)
            speed = 0;
        if (n == 10) // never reached while speed is 0
            speed = 7;
    };
    RecordingDisplay display;
    openFrontDoor(door, [&] { return speed; }, pacer, display);
    EXPECT_EQ(pacer.pauses, std::vector<int>({ 5, 5, 5 }));
}

// A clock that only moves when the pacer sleeps or spins, and can be made to oversleep.
class FakeClock : public PauseClock {
public:
    TimePoint now() override { return t; }
    void sleepFor(std::chrono::nanoseconds length) override
    {
        slept += length;
        t += length + oversleep;
    }
    void relax() override
    {
        t += std::chrono::nanoseconds(100);
        ++spins;
    }

    TimePoint t { std::chrono::hours(1) };
    std::chrono::nanoseconds oversleep { 0 };
    std::chrono::nanoseconds slept { 0 };
    int spins = 0;
};

TEST(Pacer, a_pause_lasts_its_counts_sleeping_the_bulk_and_spinning_the_end)
{
    using namespace std::chrono;
    FakeClock clock;
    ClockPacer pacer(clock);
    const auto start = clock.t;
    pacer.pause(4000); // 1 ms
    EXPECT_GE(clock.t - start, milliseconds(1));
    EXPECT_LT(clock.t - start, milliseconds(1) + microseconds(1));
    EXPECT_EQ(clock.slept, microseconds(600)) << "all but the last 400 us asleep";
    EXPECT_GT(clock.spins, 0);

    // A short pause is spun whole.
    clock.slept = {};
    pacer.pause(400); // 100 us
    EXPECT_EQ(clock.slept, nanoseconds(0));

    // No counts, no pause: the clock does not move and nothing sleeps.
    const auto before = clock.t;
    const int spinsBefore = clock.spins;
    pacer.pause(0);
    pacer.pause(-5);
    EXPECT_EQ(clock.t, before);
    EXPECT_EQ(clock.spins, spinsBefore);
    EXPECT_EQ(clock.slept, nanoseconds(0));
}

TEST(Pacer, an_overrun_is_made_up_by_the_next_pauses_of_the_same_movement_only)
{
    using namespace std::chrono;
    FakeClock clock;
    ClockPacer pacer(clock);
    clock.oversleep = microseconds(700);
    pacer.pause(40000); // 10 ms: the sleep ends 0.3 ms past it, the spin's stretch taking the rest
    clock.oversleep = {};
    auto before = clock.t;
    pacer.pause(4000);
    EXPECT_GE(clock.t - before, microseconds(700));
    EXPECT_LT(clock.t - before, microseconds(701)) << "1 ms less the 0.3 ms overrun";
    // A new movement (after a gap) starts from a clean slate.
    clock.oversleep = milliseconds(1);
    pacer.pause(40000);
    clock.oversleep = {};
    clock.t += milliseconds(100);
    before = clock.t;
    pacer.pause(4000);
    EXPECT_GE(clock.t - before, milliseconds(1));
    // Never more than 2 ms is carried over, however long the system kept the thread.
    clock.oversleep = milliseconds(50);
    pacer.pause(40000);
    clock.oversleep = {};
    before = clock.t;
    pacer.pause(40000);
    EXPECT_GE(clock.t - before, milliseconds(8));
    EXPECT_LT(clock.t - before, milliseconds(8) + microseconds(1)) << "10 ms less the 2 ms carried";
}

TEST(Pacer, work_done_inside_a_pause_counts_against_it)
{
    using namespace std::chrono;
    FakeClock clock;
    ClockPacer pacer(clock);
    auto before = clock.t;
    pacer.pauseWith(8000, [&] { clock.t += microseconds(300); }); // 2 ms, the work taking 0.3 of it
    EXPECT_GE(clock.t - before, milliseconds(2));
    EXPECT_LT(clock.t - before, milliseconds(2) + microseconds(1));
    EXPECT_EQ(clock.slept, microseconds(1300)) << "the rest asleep, but for the spin's stretch";

    // Work longer than its pause ends the pause at once, and the next pause makes up the overrun.
    before = clock.t;
    pacer.pauseWith(400, [&] { clock.t += microseconds(250); }); // 100 us
    EXPECT_EQ(clock.t - before, microseconds(250));
    before = clock.t;
    pacer.pause(4000);
    EXPECT_GT(clock.t - before, microseconds(849));
    EXPECT_LT(clock.t - before, microseconds(851)) << "1 ms less the 0.15 ms overrun";

    // A step with no pause still settles its display.
    int settled = 0;
    pacer.pauseWith(0, [&] { ++settled; });
    EXPECT_EQ(settled, 1);
}

// The display is settled after each step is shown, inside the pause that follows it.
TEST(DoorSteps, each_step_is_shown_then_settled_within_its_pause)
{
    struct Settling : RecordingDisplay {
        explicit Settling(Journal& j) : RecordingDisplay(&j), journal(j) { }
        void settle() override { journal.add("settle"); }
        Journal& journal;
    };
    struct WorkPacer : RecordingPacer {
        explicit WorkPacer(Journal& j) : RecordingPacer(&j), journal(j) { }
        void pauseWith(int counts, const std::function<void()>& work) override
        {
            journal.add("pause begins");
            work();
            pause(counts);
        }
        Journal& journal;
    };
    Journal j;
    RecordingLeaf door(j, "F", 390, 1155);
    WorkPacer pacer(j);
    Settling display(j);
    openFrontDoor(door, speed10, pacer, display);
    ASSERT_EQ(j.entries.size(), 5 * 1086u);
    EXPECT_EQ(std::vector<std::string>(j.entries.begin() + 1, j.entries.begin() + 5),
              std::vector<std::string>({ "show", "pause begins", "settle", "pause 10" }));

    // With no pause to hide it in, the display is settled all the same.
    Journal fast;
    RecordingLeaf again(fast, "F", 390, 70);
    WorkPacer unused(fast);
    Settling shown(fast);
    closeFrontDoor(again, [] { return 0; }, unused, shown);
    EXPECT_EQ(std::count(fast.entries.begin(), fast.entries.end(), "settle"), 1086);
    EXPECT_EQ(std::count(fast.entries.begin(), fast.entries.end(), "pause begins"), 0);
}

struct MiddleDoorCase : ::testing::Test {
    Journal j;
    RecordingLeaf left { j, "L", 5475, 855 };
    RecordingLeaf right { j, "R", 6330, 855 };
    RecordingPacer pacer { &j };
    RecordingDisplay display { &j };
};

TEST_F(MiddleDoorCase, both_leaves_fold_together_with_the_right_edge_held_at_7185)
{
    openMiddleDoor(left, right, LeafChoice::Both, speed10, pacer, display);
    ASSERT_EQ(j.entries.size(), 746u * 5);
    EXPECT_EQ(j.entries[0], "L.W=855");
    EXPECT_EQ(j.entries[1], "R.W=855");
    EXPECT_EQ(j.entries[2], "R.L=6330");
    EXPECT_EQ(j.entries[3], "show");
    EXPECT_EQ(j.entries[4], "pause 10");
    EXPECT_EQ(j.entries[5], "L.W=854");
    EXPECT_EQ(j.entries[7], "R.L=6331");
    EXPECT_EQ(j.entries[746 * 5 - 5], "L.W=110");
    EXPECT_EQ(j.entries[746 * 5 - 3], "R.L=7075");
    // After every step the right leaf's right edge is at its hinge.
    for (std::size_t i = 2; i < j.entries.size(); i += 5) {
        const int l = std::stoi(j.entries[i].substr(4));
        const int w = std::stoi(j.entries[i - 1].substr(4));
        ASSERT_EQ(l + w, 7185) << i;
    }

    j.entries.clear();
    closeMiddleDoor(left, right, LeafChoice::Both, speed10, pacer, display);
    ASSERT_EQ(j.entries.size(), 746u * 5);
    EXPECT_EQ(j.entries[0], "L.W=110");
    EXPECT_EQ(j.entries[2], "R.L=7075");
    EXPECT_EQ(j.entries.back(), "pause 10");
    EXPECT_FLOAT_EQ(left.width, 855);
    EXPECT_FLOAT_EQ(right.left, 6330);
}

TEST_F(MiddleDoorCase, left_choice_moves_only_the_left_leaf)
{
    openMiddleDoor(left, right, LeafChoice::Left, speed10, pacer, display);
    EXPECT_EQ(widthsOf(j, "L").size(), 746u);
    EXPECT_TRUE(widthsOf(j, "R").empty());
    EXPECT_FLOAT_EQ(right.left, 6330);
    EXPECT_FLOAT_EQ(left.width, 110);
}

TEST_F(MiddleDoorCase, right_choice_takes_its_start_width_from_the_right_leaf)
{
    left.width = 300; // must not matter
    right.width = 500;
    right.left = 7185 - 500;
    openMiddleDoor(left, right, LeafChoice::Right, speed10, pacer, display);
    const auto widths = widthsOf(j, "R");
    ASSERT_EQ(widths.size(), 391u);
    EXPECT_EQ(widths.front(), 500);
    EXPECT_TRUE(widthsOf(j, "L").empty());
    EXPECT_FLOAT_EQ(right.left + right.width, 7185);
}

TEST_F(MiddleDoorCase, no_step_when_the_measured_leaf_is_already_narrower_than_open)
{
    left.width = 109;
    openMiddleDoor(left, right, LeafChoice::Both, speed10, pacer, display);
    EXPECT_TRUE(j.entries.empty());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Common's sound, over a platform that records what it is asked to play

namespace {

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

TEST_F(CommonSound, play_res_sound_hands_over_the_clip_from_its_own_buffer)
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

TEST_F(CommonSound, play_res_sound_wait_asks_the_platform_to_wait)
{
    common.PlayResSoundWait(102);

    EXPECT_EQ(common.SoundData(), committedClip(102));
    const auto plays = platform.plays();
    ASSERT_EQ(plays.size(), 1u);
    EXPECT_EQ(plays[0].bytes, committedClip(102));
    EXPECT_TRUE(plays[0].wait);
    EXPECT_EQ(plays[0].at, bytesOf(common.SoundData()).data());
}

TEST_F(CommonSound, stops_the_clip_playing_before_its_buffer_is_replaced)
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

TEST_F(CommonSound, play_res_sound_lets_waiting_events_run)
{
    bool ran = false;
    QMetaObject::invokeMethod(QCoreApplication::instance(), [&] { ran = true; }, Qt::QueuedConnection);
    common.PlayResSound(101);
    EXPECT_TRUE(ran);
    ASSERT_EQ(platform.plays().size(), 1u);
}

TEST_F(CommonSound, unknown_clip_stops_the_sound_and_plays_nothing)
{
    common.PlayResSound(101);
    const auto before = platform.plays().size();
    common.PlayResSoundWait(999);
    EXPECT_EQ(platform.plays().size(), before);
    EXPECT_FALSE(platform.calls.back().play) << "the clip still playing was not stopped";
    EXPECT_TRUE(common.SoundData().isEmpty());
}

} // namespace

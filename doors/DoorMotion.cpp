#include "doors/DoorMotion.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace Doors {

namespace {

void endStep(StepDisplay& display, const SpeedSource& speed, Pacer& pacer)
{
    display.showStep();
    const int counts = speed();
    if (counts >= 1)
        pacer.pauseWith(counts, [&display] { display.settle(); });
    else
        display.settle();
}

void cpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

class SteadyClock final : public PauseClock {
public:
    TimePoint now() override { return std::chrono::steady_clock::now(); }
    void sleepFor(std::chrono::nanoseconds length) override { std::this_thread::sleep_for(length); }
    void relax() override { cpuRelax(); }
};

} // namespace

ClockPacer::ClockPacer()
    : m_clock([]() -> PauseClock& {
        static SteadyClock clock;
        return clock;
    }())
{
}

void ClockPacer::pause(int counts)
{
    pauseWith(counts, {});
}

void ClockPacer::pauseWith(int counts, const std::function<void()>& work)
{
    using std::chrono::nanoseconds;
    const auto start = m_clock.now();
    if (work)
        work();
    if (counts < 1)
        return;
    // An overrun only carries over between the steps of one movement, and never more than a
    // couple of milliseconds of it.
    constexpr auto kNewMovement = std::chrono::milliseconds(50);
    constexpr nanoseconds kMaxOverrun = std::chrono::milliseconds(2);
    if (start - m_lastEnd > kNewMovement)
        m_overrun = nanoseconds(0);
    const nanoseconds length(counts * kNanosPerCount);
    const nanoseconds madeUp = std::min(m_overrun, length);
    m_overrun -= madeUp;
    const auto until = start + length - madeUp;

    // A sleep can overrun by the kernel's timer slack and a scheduling delay; leave that much
    // to the spin so the pause still ends on time.
    constexpr auto kSpinStretch = std::chrono::microseconds(400);
    const auto remaining = until - m_clock.now();
    if (remaining > 2 * kSpinStretch)
        m_clock.sleepFor(remaining - kSpinStretch);
    auto now = m_clock.now();
    while (now < until) {
        m_clock.relax();
        now = m_clock.now();
    }
    m_overrun = std::min(kMaxOverrun, m_overrun + (now - until));
    m_lastEnd = now;
}

int startWidth(float width)
{
    return static_cast<int>(std::nearbyint(width)); // the default rounding mode: halves to even
}

void openFrontDoor(Leaf& door, const SpeedSource& speed, Pacer& pacer, StepDisplay& display)
{
    for (int w = startWidth(door.Width()); w >= kFrontOpen; --w) {
        door.setWidth(float(w));
        endStep(display, speed, pacer);
    }
}

void closeFrontDoor(Leaf& door, const SpeedSource& speed, Pacer& pacer, StepDisplay& display)
{
    for (int w = kFrontOpen; w <= kFrontClosed; ++w) {
        door.setWidth(float(w));
        endStep(display, speed, pacer);
    }
}

void openMiddleDoor(Leaf& left, Leaf& right, LeafChoice choice, const SpeedSource& speed, Pacer& pacer, StepDisplay& display)
{
    const Leaf& measured = choice == LeafChoice::Right ? right : left;
    for (int w = startWidth(measured.Width()); w >= kLeafOpen; --w) {
        if (choice != LeafChoice::Right)
            left.setWidth(float(w));
        if (choice != LeafChoice::Left) {
            right.setWidth(float(w));
            right.setLeft(float(kLeafClosedLeft + (kLeafClosed - w)));
        }
        endStep(display, speed, pacer);
    }
}

void closeMiddleDoor(Leaf& left, Leaf& right, LeafChoice choice, const SpeedSource& speed, Pacer& pacer, StepDisplay& display)
{
    for (int w = kLeafOpen; w <= kLeafClosed; ++w) {
        if (choice != LeafChoice::Right)
            left.setWidth(float(w));
        if (choice != LeafChoice::Left) {
            right.setWidth(float(w));
            right.setLeft(float(kRightHinge - w));
        }
        endStep(display, speed, pacer);
    }
}

} // namespace Doors

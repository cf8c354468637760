#include "DoorMotion.h"

#include <chrono>
#include <cmath>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace Doors {

namespace {

void pauseAfterStep(const SpeedSource& speed, Pacer& pacer)
{
    const int counts = speed();
    if (counts >= 1)
        pacer.pause(counts);
}

void cpuRelax()
{
#if defined(__x86_64__) || defined(__i386__)
    _mm_pause();
#endif
}

} // namespace

void ClockPacer::pause(int counts)
{
    using Clock = std::chrono::steady_clock;
    if (counts < 1)
        return;
    const auto until = Clock::now() + std::chrono::nanoseconds(counts * kNanosPerCount);
    // A sleep can overrun by the kernel's timer slack and a scheduling delay; leave that much
    // to the spin so the pause still ends on time.
    constexpr auto kSpinStretch = std::chrono::microseconds(400);
    const auto remaining = until - Clock::now();
    if (remaining > 2 * kSpinStretch)
        std::this_thread::sleep_for(remaining - kSpinStretch);
    while (Clock::now() < until)
        cpuRelax();
}

int startWidth(float width)
{
    return static_cast<int>(std::nearbyint(width)); // the default rounding mode: halves to even
}

void openFrontDoor(Leaf& door, const SpeedSource& speed, Pacer& pacer)
{
    for (int w = startWidth(door.Width()); w >= kFrontOpen; --w) {
        door.setWidth(float(w));
        pauseAfterStep(speed, pacer);
    }
}

void closeFrontDoor(Leaf& door, const SpeedSource& speed, Pacer& pacer)
{
    for (int w = kFrontOpen; w <= kFrontClosed; ++w) {
        door.setWidth(float(w));
        pauseAfterStep(speed, pacer);
    }
}

void openMiddleDoor(Leaf& left, Leaf& right, LeafChoice choice, const SpeedSource& speed, Pacer& pacer)
{
    const Leaf& measured = choice == LeafChoice::Right ? right : left;
    for (int w = startWidth(measured.Width()); w >= kLeafOpen; --w) {
        if (choice != LeafChoice::Right)
            left.setWidth(float(w));
        if (choice != LeafChoice::Left) {
            right.setWidth(float(w));
            right.setLeft(float(kLeafClosedLeft + (kLeafClosed - w)));
        }
        pauseAfterStep(speed, pacer);
    }
}

void closeMiddleDoor(Leaf& left, Leaf& right, LeafChoice choice, const SpeedSource& speed, Pacer& pacer)
{
    for (int w = kLeafOpen; w <= kLeafClosed; ++w) {
        if (choice != LeafChoice::Right)
            left.setWidth(float(w));
        if (choice != LeafChoice::Left) {
            right.setWidth(float(w));
            right.setLeft(float(kRightHinge - w));
        }
        pauseAfterStep(speed, pacer);
    }
}

} // namespace Doors

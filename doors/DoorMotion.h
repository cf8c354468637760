#pragma once

#include "doors/LeafChoice.h"

#include <chrono>
#include <functional>

// The two door animations: a door picture narrowed towards its hinge, or widened again, one
// twip per step, with a pause after every step as long as the door's speed setting.
namespace Doors {

inline constexpr int kFrontClosed = 1155;
inline constexpr int kFrontOpen = 70;
inline constexpr int kLeafClosed = 855;
inline constexpr int kLeafOpen = 110;
inline constexpr int kLeafClosedLeft = 6330;  // where the right leaf starts when closed
inline constexpr int kRightHinge = 7185;      // the right leaf's right edge, which never moves

// What a movement changes on a door picture, in twips.
class Leaf {
public:
    virtual ~Leaf() = default;
    virtual float Width() const = 0;
    virtual void setWidth(float width) = 0;
    virtual void setLeft(float left) = 0;
};

// The pause after a step, counted in ticks of 250 ns.
class Pacer {
public:
    virtual ~Pacer() = default;
    virtual void pause(int counts) = 0;
    // A pause with work done inside it. A pacer that keeps time counts the work against the
    // pause instead of adding it; this one does the work first, then pauses.
    virtual void pauseWith(int counts, const std::function<void()>& work)
    {
        work();
        pause(counts);
    }
};

// The time a pacer keeps: the monotonic clock, or a test's own.
class PauseClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~PauseClock() = default;
    virtual TimePoint now() = 0;
    virtual void sleepFor(std::chrono::nanoseconds length) = 0;
    // One turn of a busy wait.
    virtual void relax() = 0;
};

// Pauses on the monotonic clock: sleeps through the bulk of a long pause and spins only its
// last stretch, so the pace is exact without a slow door keeping a core busy.
// A pause that overruns (the thread was kept waiting by the system) is made up by shortening
// the ones that follow, so a whole movement keeps its pace.
class ClockPacer final : public Pacer {
public:
    static constexpr long long kNanosPerCount = 250;
    ClockPacer();
    explicit ClockPacer(PauseClock& clock) : m_clock(clock) { }
    void pause(int counts) override;
    void pauseWith(int counts, const std::function<void()>& work) override;

private:
    PauseClock& m_clock;
    std::chrono::nanoseconds m_overrun { 0 };
    PauseClock::TimePoint m_lastEnd {};
};

// Puts a finished step on the screen before its pause begins.
class StepDisplay {
public:
    virtual ~StepDisplay() = default;
    virtual void showStep() = 0;
    // Waits, where the window system needs it, until it has taken the step shown, so the next
    // step can be drawn at once. Runs inside the step's pause.
    virtual void settle() { }
};

// The door's speed, read afresh at every step.
using SpeedSource = std::function<int()>;

// The start width of an opening: the current width to the nearest whole twip, halves to even.
int startWidth(float width);

void openFrontDoor(Leaf& door, const SpeedSource& speed, Pacer& pacer, StepDisplay& display);
void closeFrontDoor(Leaf& door, const SpeedSource& speed, Pacer& pacer, StepDisplay& display);

void openMiddleDoor(Leaf& left, Leaf& right, LeafChoice choice, const SpeedSource& speed, Pacer& pacer, StepDisplay& display);
void closeMiddleDoor(Leaf& left, Leaf& right, LeafChoice choice, const SpeedSource& speed, Pacer& pacer, StepDisplay& display);

} // namespace Doors

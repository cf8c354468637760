#pragma once

#include "picture/FrameDecoder.h"

#include <chrono>
#include <memory>
#include <optional>

// When an animation's frames change and how often it plays, apart from any timer or window: the
// caller asks at the time it chooses, and shows what it is given.
//
// A frame that comes late (the event thread was busy: a door moving, a slow machine) is shown at
// once and the animation goes on from there, rather than racing through the frames it missed.
class FramePlayer {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // The first frame has been on show since now. loopCount as QImageReader gives it: -1 or 0
    // play for ever (a file that says nothing loops like one that says so), n plays n + 1 times,
    // as web browsers do.
    FramePlayer(std::unique_ptr<FrameSource> source, std::chrono::milliseconds firstDelay, int loopCount, TimePoint now);

    // The frame to show at now, when one is due.
    std::optional<Picture> advance(TimePoint now);
    // When the next frame is due; nothing once the animation has ended or while it is paused.
    std::optional<TimePoint> due() const;
    bool ended() const { return m_ended; }

    // A pause keeps what is left of the frame on show for after it.
    void pause(TimePoint now);
    void resume(TimePoint now);
    bool paused() const { return m_paused; }

private:
    std::optional<Frame> nextFrame();

    std::unique_ptr<FrameSource> m_source;
    TimePoint m_due;
    std::chrono::nanoseconds m_leftWhenPaused { 0 };
    int m_passes; // how many times the frames are played; 0: for ever
    int m_passesPlayed { 0 };
    int m_framesThisPass { 1 };
    bool m_firstShown { true }; // the source's first frame is already on show
    bool m_paused { false };
    bool m_ended { false };
};

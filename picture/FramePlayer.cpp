#include "picture/FramePlayer.h"

#include <algorithm>

FramePlayer::FramePlayer(std::unique_ptr<FrameSource> source, std::chrono::milliseconds firstDelay, int loopCount, TimePoint now)
    : m_source(std::move(source))
    , m_due(now + firstDelay)
    , m_passes(loopCount > 0 ? loopCount + 1 : 0)
{
}

std::optional<FramePlayer::TimePoint> FramePlayer::due() const
{
    if (m_ended || m_paused)
        return std::nullopt;
    return m_due;
}

void FramePlayer::pause(TimePoint now)
{
    if (m_paused || m_ended)
        return;
    m_paused = true;
    m_leftWhenPaused = std::max(std::chrono::nanoseconds(0), std::chrono::nanoseconds(m_due - now));
}

void FramePlayer::resume(TimePoint now)
{
    if (!m_paused)
        return;
    m_paused = false;
    m_due = now + m_leftWhenPaused;
}

std::optional<Picture> FramePlayer::advance(TimePoint now)
{
    if (m_ended || m_paused || now < m_due)
        return std::nullopt;
    std::optional<Frame> frame = nextFrame();
    if (!frame) {
        m_ended = true;
        return std::nullopt;
    }
    // On time, the next frame is due a delay after this one was; late by a whole frame or more,
    // a delay from now.
    m_due = now - m_due >= frame->delay ? now + frame->delay : m_due + frame->delay;
    return std::move(frame->picture);
}

std::optional<Frame> FramePlayer::nextFrame()
{
    if (m_firstShown) {
        m_firstShown = false;
        // Decoded again so that the source composes the later frames onto it.
        if (!m_source->next())
            return std::nullopt;
    }
    if (std::optional<Frame> frame = m_source->next()) {
        ++m_framesThisPass;
        return frame;
    }
    // The end of a pass. A picture of which only one frame decodes has nothing to animate.
    ++m_passesPlayed;
    if (m_framesThisPass <= 1)
        return std::nullopt;
    if (m_passes > 0 && m_passesPlayed >= m_passes)
        return std::nullopt;
    m_source->restart();
    m_framesThisPass = 0;
    std::optional<Frame> first = m_source->next();
    if (first)
        ++m_framesThisPass;
    return first;
}

#pragma once

#include "platform/WaveFile.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// Plays one RIFF WAVE clip at a time through SDL's audio subsystem, opening the device in the
// clip's own format. Without a sound device it stays silent. Use it from one thread.
class SdlSound {
public:
    SdlSound();
    // After a failed attempt to reach a sound device, plays stay silent for `retryAfter` before
    // SDL is asked again, so a missing device is not probed on every click.
    explicit SdlSound(std::chrono::milliseconds retryAfter);
    ~SdlSound();

    SdlSound(const SdlSound&) = delete;
    SdlSound& operator=(const SdlSound&) = delete;

    // Cuts off the clip still playing and starts this one. With wait, returns once the clip has
    // been heard to its end. The samples are copied to SDL's queue: `wave` may go away at once.
    void play(std::span<const std::byte> wave, bool wait);
    void stop();

private:
    bool startAudio();
    bool openDevice(const WaveFormat& format);
    void closeDevice();
    void giveUp();
    void waitUntilHeard(std::chrono::steady_clock::time_point started, std::chrono::nanoseconds length);

    std::chrono::milliseconds m_retryAfter;
    std::optional<std::chrono::steady_clock::time_point> m_failedAt;
    bool m_audioStarted { false };
    std::uint32_t m_device { 0 };
    WaveFormat m_deviceFormat;
    int m_bufferFrames { 0 };
};

#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

// The "fmt " chunk of a RIFF WAVE image, as far as playing it needs.
struct WaveFormat {
    std::uint16_t formatTag { 0 }; // 1 is integer PCM
    std::uint16_t channels { 0 };
    std::uint32_t sampleRate { 0 };
    std::uint16_t blockAlign { 0 }; // bytes per sample frame, all channels
    std::uint16_t bitsPerSample { 0 };

    // PCM with 8-bit unsigned or 16-bit signed samples, mono or stereo, at a sane rate.
    bool isPlayablePcm() const;
};

enum class WaveError {
    None,
    NotWave,   // no RIFF/WAVE header
    NoFormat,  // no "fmt " chunk
    BadFormat, // a "fmt " chunk too short, or with no channels or a zero block size
    NoData,    // no "data" chunk
    Truncated, // the "fmt " chunk runs past the end of the image
};

struct WaveClip {
    WaveFormat format;
    // Whole sample frames, pointing into the image that was parsed.
    std::span<const std::byte> samples;
    WaveError error { WaveError::None };

    bool ok() const { return error == WaveError::None; }
};

// Finds the format and the samples in a RIFF WAVE image. Chunks it does not know are skipped.
// Nothing is read outside `image`, whatever its sizes claim. A "data" chunk that claims more
// bytes than the image holds is cut to the whole frames that are there: a clip whose recording
// was cut short still plays as far as it goes.
WaveClip parseWave(std::span<const std::byte> image);

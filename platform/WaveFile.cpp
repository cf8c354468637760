#include "platform/WaveFile.h"

#include <cstring>

namespace {

std::uint16_t read16(const std::byte* p)
{
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) | std::to_integer<unsigned>(p[1]) << 8);
}

std::uint32_t read32(const std::byte* p)
{
    return static_cast<std::uint32_t>(read16(p)) | static_cast<std::uint32_t>(read16(p + 2)) << 16;
}

bool hasTag(const std::byte* p, const char (&tag)[5])
{
    return std::memcmp(p, tag, 4) == 0;
}

WaveClip failed(WaveError error)
{
    WaveClip clip;
    clip.error = error;
    return clip;
}

} // namespace

bool WaveFormat::isPlayablePcm() const
{
    return formatTag == 1
        && (channels == 1 || channels == 2)
        && (bitsPerSample == 8 || bitsPerSample == 16)
        && blockAlign == channels * bitsPerSample / 8
        && sampleRate >= 1000 && sampleRate <= 192000;
}

WaveClip parseWave(std::span<const std::byte> image)
{
    const std::byte* const base = image.data();
    const std::uint64_t size = image.size();
    if (size < 12 || !hasTag(base, "RIFF") || !hasTag(base + 8, "WAVE"))
        return failed(WaveError::NotWave);

    // The RIFF size field is not trusted: writers that stream leave it 0 or stale. The walk is
    // bounded by the image instead.
    WaveClip clip;
    bool haveFormat = false;
    bool haveData = false;
    std::uint64_t pos = 12;
    while (pos + 8 <= size && !(haveFormat && haveData)) {
        const std::byte* const header = base + pos;
        const std::uint64_t bodySize = read32(header + 4);
        const std::uint64_t body = pos + 8;
        const std::uint64_t available = size - body;

        if (hasTag(header, "fmt ") && !haveFormat) {
            if (bodySize < 16)
                return failed(WaveError::BadFormat);
            if (bodySize > available)
                return failed(WaveError::Truncated);
            const std::byte* const f = base + body;
            clip.format.formatTag = read16(f);
            clip.format.channels = read16(f + 2);
            clip.format.sampleRate = read32(f + 4);
            clip.format.blockAlign = read16(f + 12);
            clip.format.bitsPerSample = read16(f + 14);
            if (clip.format.channels == 0 || clip.format.blockAlign == 0)
                return failed(WaveError::BadFormat);
            haveFormat = true;
        } else if (hasTag(header, "data") && !haveData) {
            const std::uint64_t length = bodySize < available ? bodySize : available;
            clip.samples = image.subspan(static_cast<std::size_t>(body), static_cast<std::size_t>(length));
            haveData = true;
        }

        // Chunks are padded to an even length, but the pad byte after the last chunk is often
        // missing; then this steps past the end and the walk stops.
        pos = body + bodySize + (bodySize & 1);
    }

    if (!haveFormat)
        return failed(WaveError::NoFormat);
    if (!haveData)
        return failed(WaveError::NoData);
    clip.samples = clip.samples.first(clip.samples.size() - clip.samples.size() % clip.format.blockAlign);
    return clip;
}

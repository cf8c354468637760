// Any bytes as a sound clip: the parser must never read outside them, and a clip it accepts
// must describe samples that lie inside the bytes, in whole frames.
#include "platform/WaveFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    const WaveClip clip = parseWave(bytes);
    if (!clip.ok())
        return 0;
    const auto* begin = bytes.data();
    const auto* end = bytes.data() + bytes.size();
    if (clip.samples.data() < begin || clip.samples.data() + clip.samples.size() > end)
        std::abort();
    if (clip.format.blockAlign != 0 && clip.samples.size() % clip.format.blockAlign != 0)
        std::abort();
    return 0;
}

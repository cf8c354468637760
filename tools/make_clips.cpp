// Writes the middle door's buzzer clips, clip101.wav (before the door opens) and clip102.wav
// (while it closes), into the folder given on the command line.
//
// Both clips are the same buzzer tone, cut to different lengths: an electromagnetic door buzzer
// whose armature snaps against its pole piece 855 times a second, heard through the small
// resonant housing. The tone is built from its harmonics rather than sampled from a clipped
// wave so that nothing folds back above 11,025 Hz into a hiss of non-harmonic partials.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <vector>

namespace {

constexpr int kSampleRate = 22050;
constexpr double kBuzzHz = 855.0; // 25.79 samples a cycle
constexpr int kLowest = 60;       // the tone's excursion in unsigned 8-bit samples
constexpr int kHighest = 203;

constexpr std::size_t kOpeningSamples = 17640; // 0.8 s
constexpr std::size_t kClosingSamples = 55125; // 2.5 s

// Response of a second-order band-pass resonance at `f`, as gain and phase.
struct Response {
    double gain;
    double phase;
};

Response resonance(double f, double centre, double q)
{
    const double x = q * (f / centre - centre / f);
    return {1.0 / std::sqrt(1.0 + x * x), -std::atan(x)};
}

// The even harmonics' phase decides how lopsided the wave is. At this angle it swings 68 below
// and 75 above the silence level 128, which is the 60..203 excursion, so the clip carries no
// DC offset.
constexpr double kEvenTurn = 2.0; // radians

// The buzz, summed from its harmonics. The armature's motion is a sawtooth-like slow pull and
// sharp release (all harmonics, falling as 1/k); the housing rings at about 2.6 kHz and again
// near 5.9 kHz, which gives the nasal, rasping edge.
std::vector<double> buzz(std::size_t count)
{
    const int harmonics = static_cast<int>((kSampleRate / 2.0) / kBuzzHz); // 12, all below Nyquist
    std::vector<double> amplitude(harmonics + 1), phase(harmonics + 1);
    for (int k = 1; k <= harmonics; ++k) {
        const double f = k * kBuzzHz;
        const Response body = resonance(f, 2600.0, 2.2);
        const Response shell = resonance(f, 5900.0, 3.5);
        amplitude[k] = (1.0 / k) * (0.35 + 1.6 * body.gain + 0.9 * shell.gain);
        phase[k] = body.phase + shell.phase + ((k % 2) ? 0.0 : kEvenTurn);
    }

    std::vector<double> wave(count);
    for (std::size_t n = 0; n < count; ++n) {
        // The phase within the cycle is reduced in exact integer arithmetic, so it does not
        // drift over a long clip and every 19th cycle (490 samples) repeats bit for bit.
        const long long ticks = static_cast<long long>(n) * static_cast<long long>(kBuzzHz);
        const double t = static_cast<double>(ticks % kSampleRate) / kSampleRate;
        double v = 0.0;
        for (int k = 1; k <= harmonics; ++k)
            v += amplitude[k] * std::sin(2.0 * std::numbers::pi * k * t + phase[k]);
        wave[n] = v;
    }
    return wave;
}

std::vector<std::uint8_t> toUnsigned8(const std::vector<double>& wave)
{
    const auto [lo, hi] = std::minmax_element(wave.begin(), wave.end());
    const double scale = (kHighest - kLowest) / (*hi - *lo);
    std::vector<std::uint8_t> samples(wave.size());
    for (std::size_t n = 0; n < wave.size(); ++n) {
        const long level = std::lround(kLowest + (wave[n] - *lo) * scale);
        samples[n] = static_cast<std::uint8_t>(std::clamp<long>(level, kLowest, kHighest));
    }
    return samples;
}

void put16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v & 0xff));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>((v >> shift) & 0xff));
}

void putTag(std::vector<std::uint8_t>& out, const char (&tag)[5])
{
    out.insert(out.end(), tag, tag + 4);
}

// The canonical 44-byte layout. No pad byte follows an odd-length data chunk: nothing comes
// after it, so the file ends with the last sample.
std::vector<std::uint8_t> waveImage(const std::uint8_t* samples, std::size_t count)
{
    const auto dataSize = static_cast<std::uint32_t>(count);
    std::vector<std::uint8_t> out;
    out.reserve(44 + count);
    putTag(out, "RIFF");
    put32(out, 4 + (8 + 16) + (8 + dataSize));
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    put32(out, 16);
    put16(out, 1);           // PCM
    put16(out, 1);           // mono
    put32(out, kSampleRate); // samples per second
    put32(out, kSampleRate); // bytes per second
    put16(out, 1);           // block align
    put16(out, 8);           // bits per sample
    putTag(out, "data");
    put32(out, dataSize);
    out.insert(out.end(), samples, samples + count);
    return out;
}

bool writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        std::cerr << "make_clips: cannot write " << path.string() << '\n';
        return false;
    }
    std::cout << path.string() << ": " << bytes.size() << " bytes\n";
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_clips <output folder>\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];

    // The opening clip is the first 0.8 s of the closing one, so the two sound alike.
    const std::vector<std::uint8_t> tone = toUnsigned8(buzz(kClosingSamples));
    const bool ok = writeFile(folder / "clip101.wav", waveImage(tone.data(), kOpeningSamples))
        && writeFile(folder / "clip102.wav", waveImage(tone.data(), kClosingSamples));
    return ok ? 0 : 1;
}

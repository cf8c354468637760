#include "platform/SdlSound.h"

#include <SDL.h>

#include <dlfcn.h>

#include <algorithm>
#include <type_traits>
#include <bit>
#include <thread>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

extern "C" {
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int err, const char* fmt, ...);
using AlsaSetErrorHandler = int (*)(AlsaErrorHandler);

static void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) { }
}

namespace {

// alsa-lib prints "ALSA lib ... cannot find card" lines on stderr while SDL looks for a device
// that is not there. Its error handler is the library's own switch for that; SDL loads the same
// libasound.so.2, so setting it here reaches SDL's calls. The library stays loaded for the run,
// or the handler would be forgotten when SDL unloads it.
void silenceAlsa()
{
    static const bool done = [] {
        void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (!alsa)
            return false;
        if (auto set = reinterpret_cast<AlsaSetErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
            set(ignoreAlsaError);
        return true;
    }();
    (void)done;
}

// SDL, and the thirty-odd libraries it brings along, are loaded at the first play rather than
// at start-up, so the bus appears without waiting for a sound stack it may not need yet.
struct SdlApi {
    decltype(&::SDL_ClearQueuedAudio) SDL_ClearQueuedAudio { nullptr };
    decltype(&::SDL_CloseAudioDevice) SDL_CloseAudioDevice { nullptr };
    decltype(&::SDL_GetAudioDeviceStatus) SDL_GetAudioDeviceStatus { nullptr };
    decltype(&::SDL_GetQueuedAudioSize) SDL_GetQueuedAudioSize { nullptr };
    decltype(&::SDL_InitSubSystem) SDL_InitSubSystem { nullptr };
    decltype(&::SDL_LockAudioDevice) SDL_LockAudioDevice { nullptr };
    decltype(&::SDL_OpenAudioDevice) SDL_OpenAudioDevice { nullptr };
    decltype(&::SDL_PauseAudioDevice) SDL_PauseAudioDevice { nullptr };
    decltype(&::SDL_QueueAudio) SDL_QueueAudio { nullptr };
    decltype(&::SDL_QuitSubSystem) SDL_QuitSubSystem { nullptr };
    decltype(&::SDL_SetHint) SDL_SetHint { nullptr };
    decltype(&::SDL_UnlockAudioDevice) SDL_UnlockAudioDevice { nullptr };

    bool load()
    {
        void* lib = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!lib)
            return false;
        bool all = true;
        auto resolve = [&](auto& fn, const char* name) {
            fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(lib, name));
            all = all && fn;
        };
        resolve(SDL_ClearQueuedAudio, "SDL_ClearQueuedAudio");
        resolve(SDL_CloseAudioDevice, "SDL_CloseAudioDevice");
        resolve(SDL_GetAudioDeviceStatus, "SDL_GetAudioDeviceStatus");
        resolve(SDL_GetQueuedAudioSize, "SDL_GetQueuedAudioSize");
        resolve(SDL_InitSubSystem, "SDL_InitSubSystem");
        resolve(SDL_LockAudioDevice, "SDL_LockAudioDevice");
        resolve(SDL_OpenAudioDevice, "SDL_OpenAudioDevice");
        resolve(SDL_PauseAudioDevice, "SDL_PauseAudioDevice");
        resolve(SDL_QueueAudio, "SDL_QueueAudio");
        resolve(SDL_QuitSubSystem, "SDL_QuitSubSystem");
        resolve(SDL_SetHint, "SDL_SetHint");
        resolve(SDL_UnlockAudioDevice, "SDL_UnlockAudioDevice");
        return all;
    }
};

// Loaded once for the run and never unloaded: SDL keeps threads of its own.
const SdlApi* sdl = nullptr;

bool loadSdl()
{
    static SdlApi api;
    static const bool loaded = api.load();
    if (loaded)
        sdl = &api;
    return loaded;
}

SDL_AudioFormat sdlFormat(const WaveFormat& format)
{
    return format.bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16LSB;
}

// About 25 ms of sound per buffer: short enough that a cut-off is prompt, long enough not to
// stutter on a busy machine.
Uint16 bufferFrames(std::uint32_t sampleRate)
{
    return static_cast<Uint16>(std::clamp<std::uint32_t>(std::bit_floor(sampleRate / 40), 256, 4096));
}

bool sameFormat(const WaveFormat& a, const WaveFormat& b)
{
    return a.channels == b.channels && a.sampleRate == b.sampleRate && a.bitsPerSample == b.bitsPerSample;
}

} // namespace

SdlSound::SdlSound()
    : SdlSound(10s)
{
}

SdlSound::SdlSound(std::chrono::milliseconds retryAfter)
    : m_retryAfter(retryAfter)
{
}

SdlSound::~SdlSound()
{
    closeDevice();
    if (m_audioStarted)
        sdl->SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlSound::play(std::span<const std::byte> wave, bool wait)
{
    const WaveClip clip = parseWave(wave);
    if (!clip.ok() || !clip.format.isPlayablePcm() || clip.samples.empty() || !openDevice(clip.format)) {
        stop();
        return;
    }

    // Swapping the queue's contents under the device lock means the device thread never sees the
    // queue empty in between, so the new clip follows the cut-off one without a gap.
    sdl->SDL_LockAudioDevice(m_device);
    sdl->SDL_ClearQueuedAudio(m_device);
    const bool queued = sdl->SDL_QueueAudio(m_device, clip.samples.data(), static_cast<Uint32>(clip.samples.size())) == 0;
    sdl->SDL_UnlockAudioDevice(m_device);
    if (!queued)
        return;
    sdl->SDL_PauseAudioDevice(m_device, 0);
    const auto started = Clock::now();

    if (wait) {
        const double seconds = static_cast<double>(clip.samples.size()) / clip.format.blockAlign / clip.format.sampleRate;
        waitUntilHeard(started, std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(seconds)));
    }
}

void SdlSound::stop()
{
    if (m_device)
        sdl->SDL_ClearQueuedAudio(m_device);
}

bool SdlSound::startAudio()
{
    if (m_audioStarted)
        return true;
    if (m_failedAt && Clock::now() - *m_failedAt < m_retryAfter)
        return false;

    if (!loadSdl()) {
        m_failedAt = Clock::now();
        return false;
    }
    silenceAlsa();
    // The audio subsystem brings SDL's event subsystem with it, which would otherwise claim
    // SIGINT and SIGTERM wherever they still have their default handling and turn them into
    // SDL events that nobody here reads: Ctrl+C would no longer end the program.
    sdl->SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (sdl->SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        m_failedAt = Clock::now();
        return false;
    }
    m_audioStarted = true;
    return true;
}

bool SdlSound::openDevice(const WaveFormat& format)
{
    if (m_device) {
        if (sameFormat(format, m_deviceFormat) && sdl->SDL_GetAudioDeviceStatus(m_device) != SDL_AUDIO_STOPPED)
            return true;
        // Another format, or the device was unplugged.
        closeDevice();
    }
    if (!startAudio())
        return false;

    SDL_AudioSpec want {};
    want.freq = static_cast<int>(format.sampleRate);
    want.format = sdlFormat(format);
    want.channels = static_cast<Uint8>(format.channels);
    want.samples = bufferFrames(format.sampleRate);
    SDL_AudioSpec have {};
    // No changes allowed: SDL converts if the hardware wants something else, and the clip's
    // bytes can be queued as they are.
    m_device = sdl->SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!m_device) {
        giveUp();
        return false;
    }
    m_deviceFormat = format;
    m_bufferFrames = have.samples;
    return true;
}

void SdlSound::closeDevice()
{
    if (m_device) {
        sdl->SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }
}

// Shuts the subsystem down rather than keeping it idle, which also stops the ALSA backend's
// device polling thread; the next attempt after the pause starts from scratch and finds a
// sound server that has come up since.
void SdlSound::giveUp()
{
    closeDevice();
    if (m_audioStarted) {
        sdl->SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_audioStarted = false;
    }
    m_failedAt = Clock::now();
}

void SdlSound::waitUntilHeard(Clock::time_point started, std::chrono::nanoseconds length)
{
    // A device that stalls must not hang the caller; twice the clip's length is far beyond any
    // honest device's latency.
    const auto stalled = started + 2 * length + 1s;
    while (sdl->SDL_GetQueuedAudioSize(m_device) > 0) {
        if (sdl->SDL_GetAudioDeviceStatus(m_device) != SDL_AUDIO_PLAYING || Clock::now() > stalled) {
            closeDevice();
            return;
        }
        std::this_thread::sleep_for(5ms);
    }

    // An empty queue only means the last samples have left it. They are still to be heard from
    // SDL's mixing buffer and from the backend's own, which for ALSA is two periods of that
    // size: three buffers in all. And no clip is over before its own length has passed.
    const auto inBuffers = std::chrono::nanoseconds(3'000'000'000LL * m_bufferFrames / m_deviceFormat.sampleRate);
    std::this_thread::sleep_until(std::max(Clock::now() + inBuffers, started + length));
}

#include <SDL.h>
#include <dlfcn.h>

#include <cstring>

#include "platform/Platform.h"
#include "backends/sdl/SdlParts.h"

namespace {

constexpr Uint16 kDeviceFrames = 1024;  // about 23 ms a callback

// ALSA's error handler, declared here so that no ALSA header is needed.
using AlsaErrorHandler = void (*)(const char* file, int line, const char* function, int err, const char* fmt, ...);
using AlsaSetErrorHandler = int (*)(AlsaErrorHandler handler);

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// While SDL probes for a device, ALSA writes its own error lines to stderr (eight of them on a
// machine without a sound card) before our one warning says the music runs silently. Its
// error handler is process-wide in the library SDL loads at run time: we load the same library
// (no link to it; nothing happens when it is absent), install a silent handler and keep the
// library loaded so the handler stays in place. SDL still reports every failure itself.
void quietAlsa()
{
    static const bool done = [] {
        if (void* alsa = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL))
            if (auto set = reinterpret_cast<AlsaSetErrorHandler>(dlsym(alsa, "snd_lib_error_set_handler")))
                set(&ignoreAlsaError);
        return true;
    }();
    (void)done;
}

class SdlAudioOutput : public AudioOutput {
public:
    ~SdlAudioOutput() override
    {
        if (m_device) SDL_CloseAudioDevice(m_device);  // returns once no callback runs
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    AudioOpenStatus open()
    {
        quietAlsa();
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return AudioOpenStatus::Failed;
        SDL_AudioSpec want{};
        want.freq = kMusicRate;
        want.format = AUDIO_F32SYS;
        want.channels = kMusicChannels;
        want.samples = kDeviceFrames;
        want.callback = &SdlAudioOutput::callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts to whatever the device really takes.
        m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        return m_device ? AudioOpenStatus::Opened : AudioOpenStatus::NoDevice;
    }

    void setSource(AudioSource* source) override
    {
        SDL_LockAudioDevice(m_device);
        m_source = source;
        SDL_UnlockAudioDevice(m_device);
    }

    void pause(bool paused) override { SDL_PauseAudioDevice(m_device, paused ? 1 : 0); }

private:
    static void SDLCALL callback(void* user, Uint8* stream, int bytes)
    {
        auto* self = static_cast<SdlAudioOutput*>(user);
        const int frames = bytes / static_cast<int>(kMusicChannels * sizeof(float));
        if (self->m_source && frames > 0)
            self->m_source->render(reinterpret_cast<float*>(stream), frames);
        else
            std::memset(stream, 0, static_cast<size_t>(bytes));
    }

    SDL_AudioDeviceID m_device = 0;
    AudioSource* m_source = nullptr;  // changed only with the device locked
};

// The run-time SDL must be the major version we built against, at least its minor.
bool libraryUsable()
{
    SDL_version built;
    SDL_VERSION(&built);
    SDL_version runtime;
    SDL_GetVersion(&runtime);
    return runtime.major == built.major && SDL_VERSIONNUM(runtime.major, runtime.minor, runtime.patch) >=
                                               SDL_VERSIONNUM(built.major, built.minor, 0);
}

} // namespace

std::unique_ptr<AudioOutput> createSdlAudioOutput(AudioOpenStatus& status)
{
    auto output = std::make_unique<SdlAudioOutput>();
    status = output->open();
    if (status != AudioOpenStatus::Opened) return nullptr;
    return output;
}

bool sdlLibraryUsable() { return libraryUsable(); }

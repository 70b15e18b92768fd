#include <SDL.h>

#include <cstring>

#include "platform/Platform.h"
#include "platform/sdl/SdlAudio.h"

namespace {

constexpr Uint16 kDeviceFrames = 1024;  // about 23 ms a callback

class SdlAudioOutput : public AudioOutput {
public:
    ~SdlAudioOutput() override
    {
        if (m_device) SDL_CloseAudioDevice(m_device);  // returns once no callback runs
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    AudioOpenStatus open()
    {
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

std::unique_ptr<AudioOutput> createOutput(AudioOpenStatus& status)
{
    auto output = std::make_unique<SdlAudioOutput>();
    status = output->open();
    if (status != AudioOpenStatus::Opened) return nullptr;
    return output;
}

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

void installSdlAudioBackend(Platform& platform)
{
    platform.headless = false;
    platform.createAudioOutput = createOutput;
    auto previous = platform.musicLibrariesUsable;
    platform.musicLibrariesUsable = [previous] { return (!previous || previous()) && libraryUsable(); };
}

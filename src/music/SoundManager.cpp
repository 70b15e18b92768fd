#include "music/SoundManager.h"

#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "music/ClockedPlayback.h"
#include "music/DevicePlayback.h"
#include "music/MusicPlayback.h"
#include "platform/Platform.h"

namespace {
const char* const kCaption = "SoundManager";

// Reports the file name followed by the suffix; false for the caller to hand back.
bool warn(const StringC& fileName, const char* suffix)
{
    const StringC text = fileName + StringC(suffix);
    return reportWarning(kCaption, text.getName(), false);
}
} // namespace

SoundManager::SoundManager() : m_fileName("NULL") {}

SoundManager::~SoundManager() { close(); }

bool SoundManager::load(const StringC& fileName)
{
    close();
    const StringC name = fileName.isNull() ? StringC("") : fileName;
    Platform& p = platform();

    // The libraries found at run time must be at least those we were built against.
    if (p.musicLibrariesUsable && !p.musicLibrariesUsable())
        return warn(name, ": load: You are using the wrong DLL version!");
    // Start the sound system: a decoder back end, and the audio device unless headless.
    if (!p.openModule && !p.openStream) return warn(name, ": load: FSound_Init error !");
    if (!p.headless && p.createAudioOutput) {
        AudioOpenStatus status = AudioOpenStatus::Failed;
        m_pOutput = p.createAudioOutput(status);
        if (status != AudioOpenStatus::Opened) m_pOutput.reset();
        if (status == AudioOpenStatus::Failed)
            return warn(name, ": load: FSound_Init error !");
        if (!m_pOutput) {
            warn(name, ": load: no audio device, the music runs silently");
        }
    }
    m_fileName = name;

    // The library decides what the file is: a module first, then a stream.
    const std::string path = FileTools::resolvePath(name.getName());
    std::unique_ptr<MusicDecoder> decoder;
    if (p.openModule) decoder = p.openModule(path);
    m_isModule = decoder != nullptr;
    if (!decoder && p.openStream) decoder = p.openStream(path);
    if (!decoder) {
        m_pOutput.reset();
        warn(name, ": load: FMod can t load file !");
        return false;
    }

    m_path = path;
    if (m_pOutput) {
        m_pPlayback = std::make_unique<DevicePlayback>(std::move(decoder), m_isModule, std::move(m_pOutput),
                                                       p.clock);
    } else {
        // Headless: the renderer's virtual clock; no device: the player's system clock.
        m_pPlayback = std::make_unique<ClockedPlayback>(std::move(decoder), m_isModule, p.clock);
    }
    return true;
}

void SoundManager::play()
{
    if (m_pPlayback) m_pPlayback->play();
}

void SoundManager::setTime(int ms)
{
    if (m_pPlayback) m_pPlayback->setTime(ms);
}

void SoundManager::seek(int ms)
{
    if (m_pPlayback) m_pPlayback->seek(ms);
}

void SoundManager::pause(bool paused)
{
    if (m_pPlayback) m_pPlayback->pause(paused);
}

std::unique_ptr<MusicDecoder> SoundManager::openDecoder(int ms) const
{
    if (!m_pPlayback) return nullptr;
    const MusicDecoderOpener& open = m_isModule ? platform().openModule : platform().openStream;
    std::unique_ptr<MusicDecoder> decoder = open ? open(m_path) : nullptr;
    // Past the end the decoder stays at its end: the capture gets silence.
    if (decoder && ms > 0) (void)decoder->seekFrame(firstFrameAt(ms));
    return decoder;
}

int SoundManager::getTime() { return m_pPlayback ? m_pPlayback->getTime() : 0; }

float SoundManager::getVU() { return m_pPlayback ? m_pPlayback->getVU() : 0.0f; }

void SoundManager::close()
{
    m_pPlayback.reset();
    m_pOutput.reset();
    m_isModule = false;
}

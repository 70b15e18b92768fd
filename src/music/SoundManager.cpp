#include "music/SoundManager.h"

#include <algorithm>
#include <filesystem>

#include "foundation/FileTools.h"
#include "foundation/Report.h"
#include "music/ClockedPlayback.h"
#include "music/DevicePlayback.h"
#include "music/MusicBuffer.h"
#include "music/MusicPlayback.h"
#include "platform/Platform.h"

namespace {
const char* const kCaption = "SoundManager";
int g_horizonMs = SoundManager::kDefaultHorizonMs;

// Decoded music offered to the next loads (keepMusicForNextLoads).
struct KeptMusic {
    std::string identity;
    bool isModule = false;
    std::shared_ptr<MusicBuffer> music;
};
KeptMusic& keptMusic()
{
    static KeptMusic kept;
    return kept;
}

// The file's path, size and last change, or "" when it cannot be read.
std::string fileIdentity(const std::string& path)
{
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return "";
    const auto changed = std::filesystem::last_write_time(path, ec);
    if (ec) return "";
    return path + '\n' + std::to_string(size) + '\n' + std::to_string(static_cast<long long>(changed.time_since_epoch().count()));
}

// Reports the file name followed by the suffix; false for the caller to hand back.
bool warn(const StringC& fileName, const char* suffix)
{
    const StringC text = fileName + StringC(suffix);
    return reportWarning(kCaption, text.getName(), false);
}
} // namespace

void SoundManager::setHorizonMs(int ms) { g_horizonMs = std::max(ms, 0); }

SoundManager::SoundManager() : m_fileName("NULL") {}

SoundManager::~SoundManager() { close(); }

bool SoundManager::load(const StringC& fileName, bool onDevice)
{
    close();
    const StringC name = fileName.isNull() ? StringC("") : fileName;
    Platform& p = platform();

    // The libraries found at run time must be at least those we were built against.
    if (p.musicLibrariesUsable && !p.musicLibrariesUsable())
        return warn(name, ": load: You are using the wrong DLL version!");
    // Start the sound system: a decoder back end, and the audio device unless headless.
    if (!p.openModule && !p.openStream) return warn(name, ": load: FSound_Init error !");
    if (onDevice && p.createAudioOutput) {
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

    const std::string path = FileTools::resolvePath(name.getName());
    m_identity = fileIdentity(path);
    const KeptMusic& kept = keptMusic();
    if (kept.music && !m_identity.empty() && kept.identity == m_identity) {
        // The same file as the music kept for this load: already decoded, or on its way.
        m_isModule = kept.isModule;
        m_pMusic = kept.music;
        m_pMusic->extendTo(msToFrames(g_horizonMs));
    } else {
        // The library decides what the file is: a module first, then a stream.
        std::unique_ptr<MusicDecoder> decoder;
        if (p.openModule) decoder = p.openModule(path);
        m_isModule = decoder != nullptr;
        if (!decoder && p.openStream) decoder = p.openStream(path);
        if (!decoder) {
            m_pOutput.reset();
            warn(name, ": load: FMod can t load file !");
            return false;
        }
        m_pMusic = std::make_shared<MusicBuffer>(std::move(decoder), msToFrames(g_horizonMs));
    }
    if (m_pOutput) {
        m_pPlayback = std::make_unique<DevicePlayback>(m_pMusic, m_isModule, std::move(m_pOutput), p.clock);
    } else {
        // No audio back end (headless): the renderer's virtual clock, levels waiting for the
        // music; no device or none asked for: the player's system clock.
        m_pPlayback = std::make_unique<ClockedPlayback>(m_pMusic, m_isModule, p.clock, !p.createAudioOutput);
    }
    return true;
}

void SoundManager::play()
{
    if (m_pPlayback) m_pPlayback->play();
}

void SoundManager::setTime(int ms)
{
    if (!m_pPlayback) return;
    // A stream's horizon counts from its start offset.
    if (!m_isModule) m_pMusic->extendTo(msToFrames(int64_t(std::max(ms, 0)) + g_horizonMs));
    m_pPlayback->setTime(ms);
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
    // Past the end there is nothing to read: the capture gets silence.
    return std::make_unique<MusicBufferReader>(m_pMusic, firstFrameAt(std::max(ms, 0)));
}

void SoundManager::waitUntilDecoded(int ms) const
{
    if (m_pMusic) m_pMusic->waitFor(firstFrameAt(std::max(ms, 0)));
}

int SoundManager::getTime() { return m_pPlayback ? m_pPlayback->getTime() : 0; }

float SoundManager::getVU() { return m_pPlayback ? m_pPlayback->getVU() : 0.0f; }

void SoundManager::keepMusicForNextLoads() const
{
    if (m_pMusic && !m_identity.empty()) keptMusic() = KeptMusic{m_identity, m_isModule, m_pMusic};
}

void SoundManager::dropKeptMusic() { keptMusic() = KeptMusic{}; }

void SoundManager::close()
{
    m_pPlayback.reset();
    m_pMusic.reset();
    m_pOutput.reset();
    m_isModule = false;
}

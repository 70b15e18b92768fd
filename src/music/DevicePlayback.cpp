#include "music/DevicePlayback.h"

#include <algorithm>

DevicePlayback::DevicePlayback(std::unique_ptr<MusicDecoder> decoder, bool isModule,
                               std::unique_ptr<AudioOutput> output, std::shared_ptr<Clock> clock)
    : m_isModule(isModule), m_clock(std::move(clock)), m_decoder(std::move(decoder)),
      m_output(std::move(output))
{
    m_output->setSource(this);
}

DevicePlayback::~DevicePlayback()
{
    m_output->pause(true);
    m_output->setSource(nullptr);
    m_output.reset();
}

void DevicePlayback::play()
{
    if (m_playing) return;
    m_playing = true;
    if (!m_paused) m_output->pause(false);
}

void DevicePlayback::setTime(int ms)
{
    if (!m_isModule) seek(ms);
}

void DevicePlayback::pause(bool paused)
{
    if (paused == m_paused) return;
    m_paused = paused;
    if (paused) {
        // The device has taken more than it has played: the decoder goes back to what is heard
        // now, so that the music resumes exactly where the time holds.
        const int now = getTime();
        m_output->pause(true);
        seek(now);
    } else if (m_playing) {
        m_output->pause(false);
    }
}

void DevicePlayback::seek(int ms)
{
    ms = std::max(ms, 0);
    std::lock_guard decodeLock(m_decodeMutex);
    m_decoder->seek(ms);  // past the end (or unseekable) the decoder is at its end: silence
    std::lock_guard positionLock(m_positionMutex);
    m_position.reset(ms);
}

int DevicePlayback::getTime()
{
    const uint32_t now = m_clock->timeMs();
    std::lock_guard lock(m_positionMutex);
    return static_cast<int>(std::min<int64_t>(m_position.timeMs(now), INT32_MAX));
}

float DevicePlayback::getVU()
{
    if (m_isModule) return 0.0f;
    const uint32_t now = m_clock->timeMs();
    std::lock_guard lock(m_positionMutex);
    return m_position.level(now);
}

void DevicePlayback::render(float* interleaved, int frames)
{
    if (frames <= 0) return;
    std::lock_guard decodeLock(m_decodeMutex);
    const size_t got = m_decoder->read(interleaved, static_cast<size_t>(frames));
    // After the end the device gets silence and the clock keeps running.
    std::fill(interleaved + 2 * got, interleaved + 2 * static_cast<size_t>(frames), 0.0f);
    const uint32_t now = m_clock->timeMs();
    std::lock_guard positionLock(m_positionMutex);
    m_position.onHanded(interleaved, frames, now);
}

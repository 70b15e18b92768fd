#include "music/DevicePlayback.h"

#include <algorithm>

DevicePlayback::DevicePlayback(std::shared_ptr<const MusicBuffer> music, bool isModule,
                               std::unique_ptr<AudioOutput> output, std::shared_ptr<Clock> clock)
    : m_isModule(isModule), m_clock(std::move(clock)), m_music(std::move(music)), m_output(std::move(output))
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
        // The device has taken more than it has played: the reading goes back to what is heard
        // now, so that the music resumes exactly where the time holds.
        m_output->pause(true);
        int64_t now = 0;
        {
            const uint32_t tick = m_clock->timeMs();
            std::lock_guard lock(m_mutex);
            // Never before a time already read: the time holds where it was last seen, or later.
            now = std::max(m_position.frameAt(tick), firstFrameAt(m_position.timeMs(tick)));
        }
        seekFrame(now);
    } else if (m_playing) {
        m_output->pause(false);
    }
}

void DevicePlayback::seek(int ms) { seekFrame(firstFrameAt(std::max(ms, 0))); }

void DevicePlayback::seekFrame(int64_t frame)
{
    std::lock_guard lock(m_mutex);
    m_frame = frame;
    m_position.reset(frame);
}

int DevicePlayback::getTime()
{
    const uint32_t now = m_clock->timeMs();
    std::lock_guard lock(m_mutex);
    return static_cast<int>(std::min<int64_t>(m_position.timeMs(now), INT32_MAX));
}

float DevicePlayback::getVU()
{
    if (m_isModule) return 0.0f;
    const uint32_t now = m_clock->timeMs();
    std::lock_guard lock(m_mutex);
    return m_position.level(now);
}

void DevicePlayback::render(float* interleaved, int frames)
{
    if (frames <= 0) return;
    const uint32_t now = m_clock->timeMs();
    std::lock_guard lock(m_mutex);
    const size_t got = m_music->copy(m_frame, interleaved, static_cast<size_t>(frames));
    std::fill(interleaved + 2 * got, interleaved + 2 * static_cast<size_t>(frames), 0.0f);
    // Past the end of the music the device gets silence and the clock keeps running. Music not
    // decoded yet (a seek ahead of the decoding) gives silence too, but the position holds, so
    // the clock waits for the music instead of running ahead of it.
    const int handed = m_music->isPastEnd(m_frame + static_cast<int64_t>(got)) ? frames : static_cast<int>(got);
    m_frame += handed;
    // The buffer counts from when it is heard, not from when it is handed over.
    m_position.onHanded(interleaved, handed, now, m_output->heardDelayMs());
}

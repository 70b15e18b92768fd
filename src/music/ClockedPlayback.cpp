#include "music/ClockedPlayback.h"

#include <algorithm>
#include <array>

ClockedPlayback::ClockedPlayback(std::shared_ptr<const MusicBuffer> music, bool isModule,
                                 std::shared_ptr<Clock> clock, bool waitForMusic)
    : m_isModule(isModule), m_waitForMusic(waitForMusic), m_clock(std::move(clock)), m_music(std::move(music))
{
}

void ClockedPlayback::play()
{
    if (m_playing) return;
    m_playing = true;
    m_anchorTick = m_clock->tickCount();
}

void ClockedPlayback::setTime(int ms)
{
    if (!m_isModule) seek(ms);
}

void ClockedPlayback::seek(int ms)
{
    m_baseMs = std::max(ms, 0);
    m_anchorTick = m_clock->tickCount();
}

void ClockedPlayback::pause(bool paused)
{
    if (paused == m_paused) return;
    if (paused) m_baseMs = getTime();
    m_paused = paused;
    m_anchorTick = m_clock->tickCount();
}

int ClockedPlayback::getTime()
{
    const uint32_t elapsed = m_playing && !m_paused ? m_clock->tickCount() - m_anchorTick : 0;
    return static_cast<int>(std::min<int64_t>(m_baseMs + elapsed, INT32_MAX));
}

float ClockedPlayback::getVU()
{
    if (m_isModule) return 0.0f;
    return levelAt(getTime());
}

float ClockedPlayback::levelAt(int64_t ms)
{
    const int64_t block = ms / kLevelBlockMs;
    if (block >= kMaxLevelBlocks) return 0.0f;
    constexpr int kBlockFrames = kMusicRate * kLevelBlockMs / 1000;
    const int64_t first = block * kBlockFrames;
    // The block's last frame decoded, or the music ends inside it.
    if (m_waitForMusic) m_music->waitFor(first + kBlockFrames - 1);
    std::array<float, 2 * kBlockFrames> samples;
    const size_t got = m_music->copy(first, samples.data(), kBlockFrames);
    return peakLevel(samples.data(), got);
}

#include "music/PlaybackPosition.h"

#include <algorithm>

#include "music/MusicPlayback.h"

void PlaybackPosition::reset(int64_t baseFrame)
{
    *this = PlaybackPosition();
    m_baseFrame = baseFrame;
    m_lastAnswer = framesToMs(baseFrame);
}

void PlaybackPosition::onHanded(const float* interleaved, int frames, uint32_t nowMs, uint32_t delayMs)
{
    if (frames <= 0) return;
    m_handed += frames;
    m_lastFrames = frames;
    m_lastTick = nowMs;
    m_lastDelayMs = delayMs;
    // Level blocks of at least 10 ms, at most kMaxVuBlocks of them over the buffer.
    m_blockFrames = std::max(kMinVuBlockFrames, (frames + kMaxVuBlocks - 1) / kMaxVuBlocks);
    m_nbBlocks = (frames + m_blockFrames - 1) / m_blockFrames;
    for (int b = 0; b < m_nbBlocks; ++b) {
        const int first = b * m_blockFrames;
        const int count = std::min(m_blockFrames, frames - first);
        m_peaks[b] = peakLevel(interleaved + 2 * first, static_cast<size_t>(count));
    }
}

int64_t PlaybackPosition::framesAt(uint32_t nowMs) const
{
    if (m_lastFrames == 0) return 0;
    const int64_t start = m_handed - m_lastFrames;
    // Wraps like the tick count. A reading taken just before the audio thread stored a later
    // tick comes out negative: the new buffer has only begun.
    const int32_t sinceHandedMs = static_cast<int32_t>(nowMs - m_lastTick);
    if (m_lastDelayMs == 0 && sinceHandedMs <= 0) return start;
    // Handed but not heard yet (a device that buffers ahead): the music before it, which
    // played without a gap.
    const int64_t elapsedMs = int64_t(sinceHandedMs) - m_lastDelayMs;
    if (elapsedMs < 0) return std::max<int64_t>(start + msToFrames(elapsedMs), 0);
    return start + std::min<int64_t>(msToFrames(elapsedMs), m_lastFrames);
}

int64_t PlaybackPosition::timeMs(uint32_t nowMs)
{
    m_lastAnswer = std::max(m_lastAnswer, framesToMs(frameAt(nowMs)));
    return m_lastAnswer;
}

float PlaybackPosition::level(uint32_t nowMs) const
{
    if (m_nbBlocks == 0) return 0.0f;
    // Before the last buffer is heard, the level of its start (earlier peaks are not kept).
    const int64_t inBuffer = std::max<int64_t>(framesAt(nowMs) - (m_handed - m_lastFrames), 0);
    const int block = static_cast<int>(std::min<int64_t>(inBuffer / m_blockFrames, m_nbBlocks - 1));
    return m_peaks[block];
}

// The playing position of a device: the frames handed to it, interpolated between its
// callbacks with a millisecond clock, and the level of the buffer playing now.
#pragma once

#include <array>
#include <cstdint>

// Not thread-safe: the owner guards it (the audio thread writes, the engine thread reads).
class PlaybackPosition {
public:
    static constexpr int kMaxVuBlocks = 16;
    static constexpr int kMinVuBlockFrames = 441;  // 10 ms

    // Restarts counting at frame `baseFrame` of the music (a seek): nothing handed yet.
    void reset(int64_t baseFrame);
    // A buffer of `frames` frames was handed to the device at `nowMs`, to be heard `delayMs`
    // later (what the device buffers ahead); `interleaved` holds them (their block peaks become
    // the level while they play).
    void onHanded(const float* interleaved, int frames, uint32_t nowMs, uint32_t delayMs = 0);
    // Position in ms at `nowMs`: the start of the last buffer plus the time since it was
    // heard (none when `nowMs` is before it was handed; less when it was handed but is not
    // heard yet: the music before it is playing), never past its end and never below an
    // earlier answer.
    int64_t timeMs(uint32_t nowMs);
    // The frame of the music playing at `nowMs` (the frame a pause holds).
    int64_t frameAt(uint32_t nowMs) const { return m_baseFrame + framesAt(nowMs); }
    // Peak level of the part of the last buffer playing at `nowMs` (0 before any buffer).
    float level(uint32_t nowMs) const;

private:
    // Frames since the base that are playing at `nowMs`, within the last buffer.
    int64_t framesAt(uint32_t nowMs) const;

    int64_t m_baseFrame = 0;
    int64_t m_handed = 0;       // frames handed since the base, the last buffer included
    int m_lastFrames = 0;       // frames of the last buffer
    uint32_t m_lastTick = 0;    // when it was handed
    uint32_t m_lastDelayMs = 0; // how long after that it is heard
    int64_t m_lastAnswer = 0;   // latest timeMs answer since the base
    std::array<float, kMaxVuBlocks> m_peaks{};
    int m_blockFrames = kMinVuBlockFrames;
    int m_nbBlocks = 0;
};

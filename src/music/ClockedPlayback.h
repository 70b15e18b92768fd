// Music that is decoded but not played (headless, or no audio device): its position follows
// a clock and its level comes from the decoded samples at that position.
#pragma once

#include <memory>
#include <vector>

#include "music/MusicPlayback.h"
#include "platform/Audio.h"
#include "platform/Clock.h"

class ClockedPlayback : public MusicPlayback {
public:
    // One level per 10 ms block, decoded as far as asked, up to this many blocks (two hours).
    static constexpr int kLevelBlockMs = 10;
    static constexpr int kMaxLevelBlocks = 2 * 3600 * 100;

    ClockedPlayback(std::unique_ptr<MusicDecoder> decoder, bool isModule, std::shared_ptr<Clock> clock);

    void play() override;
    void setTime(int ms) override;
    void seek(int ms) override;
    void pause(bool paused) override;
    int getTime() override;
    float getVU() override;

private:
    // Level of the 10 ms block holding `ms`, decoding the stream up to it on first use. The
    // levels depend on the position only, never on the order of the questions.
    float levelAt(int64_t ms);

    const bool m_isModule;
    const std::shared_ptr<Clock> m_clock;
    std::unique_ptr<MusicDecoder> m_decoder;  // read from the start, in order, for the levels
    bool m_playing = false;
    bool m_paused = false;      // the time holds at m_baseMs
    int64_t m_baseMs = 0;       // position when the clock was anchored
    uint32_t m_anchorTick = 0;  // clock reading at play, at the last setTime or seek, at resume
    std::vector<float> m_levels;
    bool m_decodedToEnd = false;
};

// Music that is decoded but not played (headless, or no audio device): its position follows
// a clock and its level comes from the decoded samples at that position.
#pragma once

#include <memory>

#include "music/MusicBuffer.h"
#include "music/MusicPlayback.h"
#include "platform/Clock.h"

class ClockedPlayback : public MusicPlayback {
public:
    // One level per 10 ms block, up to this many blocks (two hours).
    static constexpr int kLevelBlockMs = 10;
    static constexpr int kMaxLevelBlocks = 2 * 3600 * 100;

    // `waitForMusic`: a level asked of music not decoded yet waits for it (headless runs, whose
    // levels must not depend on the machine's speed); otherwise it is 0 until decoded.
    ClockedPlayback(std::shared_ptr<const MusicBuffer> music, bool isModule, std::shared_ptr<Clock> clock,
                    bool waitForMusic);

    void play() override;
    void setTime(int ms) override;
    void seek(int ms) override;
    void pause(bool paused) override;
    int getTime() override;
    float getVU() override;

private:
    // Level of the 10 ms block holding `ms`: the peak of its samples. Depends on the position
    // only, never on the order of the questions.
    float levelAt(int64_t ms);

    const bool m_isModule;
    const bool m_waitForMusic;
    const std::shared_ptr<Clock> m_clock;
    const std::shared_ptr<const MusicBuffer> m_music;
    bool m_playing = false;
    bool m_paused = false;      // the time holds at m_baseMs
    int64_t m_baseMs = 0;       // position when the clock was anchored
    uint32_t m_anchorTick = 0;  // clock reading at play, at the last setTime or seek, at resume
};

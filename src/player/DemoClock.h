// The demo's clock while the player can pause and seek (the authoring mode, --start): the tick
// count the engine and its effects read holds while paused and moves with a seek; the
// millisecond timer of the frame pacing stays the real one.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/Clock.h"

class DemoClock : public Clock {
public:
    explicit DemoClock(std::shared_ptr<Clock> base) : m_base(std::move(base)) {}

    uint32_t tickCount() override { return m_paused ? m_held : m_base->tickCount() + m_shift; }
    uint32_t timeMs() override { return m_base->timeMs(); }
    void sleepMs(uint32_t ms) override { m_base->sleepMs(ms); }

    // Holds the ticks where they are, or lets them run on from there.
    void pause(bool paused)
    {
        if (paused == m_paused) return;
        if (paused)
            m_held = tickCount();
        else
            m_shift = m_held - m_base->tickCount();
        m_paused = paused;
    }
    // Moves the ticks by `ms` (either way; they wrap like the tick count).
    void shift(int32_t ms)
    {
        if (m_paused)
            m_held += static_cast<uint32_t>(ms);
        else
            m_shift += static_cast<uint32_t>(ms);
    }
    bool isPaused() const { return m_paused; }
    const std::shared_ptr<Clock>& base() const { return m_base; }

private:
    const std::shared_ptr<Clock> m_base;
    uint32_t m_shift = 0;
    uint32_t m_held = 0;
    bool m_paused = false;
};

// Millisecond clocks: the system tick count and timer, or a virtual clock driven by the
// headless renderer and by tests.
#pragma once

#include <cstdint>

// Contract: tickCount() and timeMs() never run backwards (they wrap at 2^32 ms like the
// originals); sleepMs() may return early but never blocks for longer than asked.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t tickCount() = 0;     // system tick count in ms (fps counter, clock without music)
    virtual uint32_t timeMs() = 0;        // millisecond timer (frame pacing)
    virtual void sleepMs(uint32_t ms) = 0; // lets the process rest while it waits
};

// Steady system clock: milliseconds since the first use in this process.
class SystemClock : public Clock {
public:
    uint32_t tickCount() override;
    uint32_t timeMs() override;
    void sleepMs(uint32_t ms) override;
};

// Virtual clock: reads what it was set to; sleeping advances it (so paced loops end).
class VirtualClock : public Clock {
public:
    uint32_t tickCount() override { return m_now; }
    uint32_t timeMs() override { return m_now; }
    void sleepMs(uint32_t ms) override { m_now += ms; }
    void set(uint32_t ms) { m_now = ms; }
    void advance(uint32_t ms) { m_now += ms; }

private:
    uint32_t m_now = 0;
};

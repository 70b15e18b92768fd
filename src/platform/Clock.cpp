#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace {
const auto kProcessStart = std::chrono::steady_clock::now();

uint32_t elapsedMs()
{
    const auto d = std::chrono::steady_clock::now() - kProcessStart;
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(d).count());
}
} // namespace

uint32_t SystemClock::tickCount() { return elapsedMs(); }
uint32_t SystemClock::timeMs() { return elapsedMs(); }
void SystemClock::sleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

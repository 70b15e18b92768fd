#include "image/SimdLevel.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// The start-up choice, read from the environment once. A later TL_SIMD=scalar|sse2|avx2 names a
// level here.
SimdLevel startupLevel()
{
    static const SimdLevel level = [] {
        const char* value = std::getenv("TL_FORCE_SCALAR");
        return value && std::strcmp(value, "1") == 0 ? SimdLevel::Scalar : SimdLevel::Sse2;
    }();
    return level;
}

constexpr int kNotForced = -1;
std::atomic<int> g_forcedLevel{kNotForced};

} // namespace

SimdLevel simdLevel()
{
    const int forced = g_forcedLevel.load(std::memory_order_relaxed);
    return forced == kNotForced ? startupLevel() : SimdLevel(forced);
}

void forceSimdLevel(SimdLevel level) { g_forcedLevel.store(int(level), std::memory_order_relaxed); }

void resetSimdLevel() { g_forcedLevel.store(kNotForced, std::memory_order_relaxed); }

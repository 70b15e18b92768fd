#include "image/SimdLevel.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr const char* kLevelNames[kSimdLevelCount] = {"scalar", "sse2", "avx2"};

SimdLevel startupLevel()
{
    static const SimdLevel level = [] {
        const char* note = "";
        const SimdLevel chosen = chooseSimdLevel(std::getenv("TL_SIMD"), widestSupportedSimdLevel(), &note);
        if (*note) std::fprintf(stderr, "tessaline: %s\n", note);
        return chosen;
    }();
    return level;
}

constexpr int kNotForced = -1;
std::atomic<int> g_forcedLevel{kNotForced};

} // namespace

const char* simdLevelName(SimdLevel level)
{
    const int i = int(level);
    return i >= 0 && i < kSimdLevelCount ? kLevelNames[i] : "unknown";
}

bool simdLevelSupported(SimdLevel level)
{
    switch (level) {
    case SimdLevel::Scalar:
    case SimdLevel::Sse2: return true;  // the x86-64 baseline
    case SimdLevel::Avx2: {
#if TL_HAVE_AVX2
        // libgcc's check includes the operating system's support for the wide registers.
        static const bool avx2 = [] {
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2") != 0;
        }();
        return avx2;
#else
        return false;
#endif
    }
    }
    return false;
}

SimdLevel widestSupportedSimdLevel()
{
    for (int i = kSimdLevelCount - 1; i > 0; --i)
        if (simdLevelSupported(SimdLevel(i))) return SimdLevel(i);
    return SimdLevel::Scalar;
}

SimdLevel chooseSimdLevel(const char* tlSimd, SimdLevel widest, const char** note)
{
    *note = "";
    if (!tlSimd || !*tlSimd) return widest;
    for (int i = 0; i < kSimdLevelCount; ++i) {
        if (std::strcmp(tlSimd, kLevelNames[i]) != 0) continue;
        if (i <= int(widest)) return SimdLevel(i);
        *note = "TL_SIMD asks for a level this CPU does not have; using the widest it has";
        return widest;
    }
    *note = "TL_SIMD is not one of scalar, sse2, avx2; using the widest level this CPU has";
    return widest;
}

SimdLevel simdLevel()
{
    const int forced = g_forcedLevel.load(std::memory_order_relaxed);
    return forced == kNotForced ? startupLevel() : SimdLevel(forced);
}

void forceSimdLevel(SimdLevel level)
{
    const SimdLevel widest = widestSupportedSimdLevel();
    g_forcedLevel.store(int(level) <= int(widest) ? int(level) : int(widest), std::memory_order_relaxed);
}

void resetSimdLevel() { g_forcedLevel.store(kNotForced, std::memory_order_relaxed); }

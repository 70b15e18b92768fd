// The one process-wide switch between packed (SIMD) pixel loops and their scalar twins. Every
// kernel table of the engine (blit spans, lines, pixel operations, effects) holds one loop per
// level and takes the one for simdLevel(), once per call.
#pragma once

#include <cstdint>

// Levels in increasing width; every level gives the same bytes as Scalar. A wider level (AVX2) is
// one more enumerator here, its name in the start-up choice, and one more column in the tables
// that have loops for it (KernelTable.h: the others fall back to the next lower level).
enum class SimdLevel : uint8_t { Scalar, Sse2 };
constexpr int kSimdLevelCount = 2;
constexpr SimdLevel kAllSimdLevels[kSimdLevelCount] = {SimdLevel::Scalar, SimdLevel::Sse2};

// The level in force: the start-up choice (the widest level built, or Scalar when the environment
// has TL_FORCE_SCALAR=1 at the first call; read once) unless forceSimdLevel set another.
SimdLevel simdLevel();
// Tests and benchmarks: run every later call at this level, until resetSimdLevel().
void forceSimdLevel(SimdLevel level);
void resetSimdLevel();

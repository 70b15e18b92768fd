// The one process-wide switch between packed (SIMD) pixel loops and their scalar twins. Every
// kernel table of the engine (blit spans, lines, pixel operations, effects) holds one loop per
// level and takes the one for simdLevel(), once per call.
#pragma once

#include <cstdint>

// Levels in increasing width; every level gives the same bytes as Scalar. SSE2 is the x86-64
// baseline; AVX2 loops are compiled per function (TL_TARGET_AVX2) and only taken when the CPU
// has AVX2, so the binary runs on any x86-64. A table row without a loop for a level uses the
// next lower level's (KernelTable.h).
enum class SimdLevel : uint8_t { Scalar, Sse2, Avx2 };
constexpr int kSimdLevelCount = 3;
constexpr SimdLevel kAllSimdLevels[kSimdLevelCount] = {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2};

// Marks a function whose body uses AVX2 instructions; call it only when simdLevelSupported(Avx2).
// Its helpers carry the mark too (a function without it cannot inline AVX2 intrinsics), and such
// code avoids lambdas, which do not inherit the mark.
//
// AVX2 loops exist only where the compiler targets x86 (the WebAssembly build's widest level is
// SSE2, through emscripten's SSE2 headers): there TL_HAVE_AVX2 is 0, no *Avx2.cpp file is
// compiled, and a kernel table names its AVX2 loop through TL_AVX2_LOOP, null without it (the
// next lower level's loop stands in, and simdLevelSupported(Avx2) is false).
#if defined(__x86_64__) || defined(__i386__)
#define TL_HAVE_AVX2 1
#define TL_TARGET_AVX2 __attribute__((target("avx2")))
#define TL_AVX2_LOOP(...) __VA_ARGS__
#else
#define TL_HAVE_AVX2 0
#define TL_TARGET_AVX2
#define TL_AVX2_LOOP(...) nullptr
#endif

// "scalar", "sse2", "avx2".
const char* simdLevelName(SimdLevel level);
// Whether this CPU (and its operating system) runs the level's loops.
bool simdLevelSupported(SimdLevel level);
// The widest level this CPU runs.
SimdLevel widestSupportedSimdLevel();

// The start-up choice from the environment's TL_SIMD value (null when unset):
// TL_SIMD=scalar|sse2|avx2 names a level, capped at `widest`; otherwise `widest`. `note` receives
// a one-line explanation when the value is unknown or names a level the CPU lacks (empty
// otherwise).
SimdLevel chooseSimdLevel(const char* tlSimd, SimdLevel widest, const char** note);

// The level in force: the start-up choice (read once, at the first call; an unknown TL_SIMD value
// or a level beyond the CPU is said once on stderr) unless forceSimdLevel set another.
SimdLevel simdLevel();
// Tests and benchmarks: run every later call at this level (capped at the widest level the CPU
// runs), until resetSimdLevel().
void forceSimdLevel(SimdLevel level);
void resetSimdLevel();

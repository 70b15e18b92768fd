// The process-wide pseudo-random generator. It reproduces the classic C runtime sequence
// (state = state * 214013 + 2531011 mod 2^32, value = bits 16..30 of the state), so tables
// built from a seed come out the same on every machine as on the platform the data was made on.
#pragma once

#include <cstdint>

// Largest value tlRand() returns.
inline constexpr int kRandMax = 0x7FFF;

// Sets the generator state to seed (the runtime starts as if seeded with 1).
void tlSrand(uint32_t seed);
// Advances the state and returns (state >> 16) & 0x7FFF, 0..kRandMax.
int tlRand();

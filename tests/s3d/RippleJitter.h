// The ripple's jitter worked independently of the engine: the seeded generator's next value
// (state × 214013 + 2531011, bits 16 … 30), mod 10000, × 0.0002.
#pragma once

#include <cstdint>

struct RippleJitter {
    uint32_t state;
    float operator()()
    {
        state = state * 214013u + 2531011u;
        return float(((state >> 16) & 0x7FFF) % 10000) * 0.0002f;
    }
};

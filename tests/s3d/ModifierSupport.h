// What the modifier tests share: a modifier prepared over given bounds, the two-point ripple, and
// the ripple's jitter worked independently of the engine.
#pragma once

#include <cstdint>

#include "foundation/Point3D.h"
#include "s3d/S3DModifierKinds.h"

// Bounds set as the stack sets them for a bounding-box modifier, then prepared.
template <class M>
void prepareWithBounds(M& m, Point3D lo, Point3D hi)
{
    m.m_boundsMin = lo;
    m.m_boundsMax = hi;
    m.prepare();
}

// The world-space ripple of the two-point tests: amplitude 1, wave length 8, decay 0.5.
inline void prepareTwoPointRipple(S3DModifierRipple& ripple)
{
    ripple.m_worldSpace = true;
    ripple.amplitude() = 1.0f;
    ripple.waveLength() = 8.0f;
    ripple.decay() = 0.5f;
    ripple.prepare();
}

// The seeded generator's next value (state × 214013 + 2531011, bits 16 … 30), mod 10000, × 0.0002.
struct RippleJitter {
    uint32_t state;
    float operator()()
    {
        state = state * 214013u + 2531011u;
        return float(((state >> 16) & 0x7FFF) % 10000) * 0.0002f;
    }
};

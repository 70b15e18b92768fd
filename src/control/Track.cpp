#include "control/Track.h"

#include <limits>

#include "foundation/Report.h"

void trackReport(const char* text) { reportWarning("Track", text); }

float Track::ease(float u, float a, float b)
{
    const float s = a + b;
    if (s == 0.0f) return u;
    if (s > 1.0f) {
        a = a / s;
        b = b / s;
    }
    const float k = 1.0f / (2.0f - a - b);
    if (u < a) return k / a * u * u;
    if (u < 1.0f - b) return k * (2.0f * u - a);
    // With b = 0 this branch is reached only at u = 1, where the curve's limit is 1
    // (k / b · (1 - u)^2 would be infinity times 0).
    if (b == 0.0f) return 1.0f;
    return 1.0f - k / b * (1.0f - u) * (1.0f - u);
}

int32_t Track::fileTime(float time)
{
    if (std::isnan(time)) return 0;
    if (time >= 2147483647.0f) return std::numeric_limits<int32_t>::max();
    if (time <= -2147483648.0f) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(time);
}

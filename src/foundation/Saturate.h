// Float-to-int conversion that is defined for every input: values from files and controller
// expressions may be huge, infinite or NaN, where a plain cast is undefined.
#pragma once

#include <climits>
#include <cmath>

// Truncates toward zero like a cast inside the int range; beyond it gives INT_MIN or INT_MAX;
// NaN gives 0.
inline int saturateToInt(double v)
{
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return INT_MAX;
    if (v <= -2147483648.0) return INT_MIN;
    return static_cast<int>(v);
}

// Internal to the box blur: how a pass along a line of `len` elements splits into spans of one
// shape each, shared by the row and column passes of every SIMD level.
#pragma once

#include <algorithm>

namespace hvblur {

// With the window of element x covering x - h + 1 .. x + h, element x + h enters it for
// x < len - h and element x - h leaves it for x >= h. So [0, first) only takes elements in,
// [first, second) takes in and drops (both) or does neither, [second, len) only drops.
struct WindowSpans {
    int first;
    int second;
    bool both;
};

inline WindowSpans splitWindow(int len, int h)
{
    const int a = std::clamp(len - h, 0, len);  // x < a: element x + h enters
    const int b = std::clamp(h, 0, len);        // x >= b: element x - h leaves
    return a <= b ? WindowSpans{a, b, false} : WindowSpans{b, a, true};
}

} // namespace hvblur

#include "music/MusicPlayback.h"

#include <algorithm>

float peakLevel(const float* interleaved, size_t frames)
{
    float peak = 0.0f;
    for (size_t i = 0; i < frames * 2; ++i) {
        const float a = interleaved[i] < 0.0f ? -interleaved[i] : interleaved[i];
        if (a > peak) peak = a;  // NaN never compares greater, so it cannot leak out
    }
    return std::min(peak, 1.0f);
}

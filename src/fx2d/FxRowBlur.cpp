#include "fx2d/FxRowBlur.h"

#include <cmath>

#include "foundation/PortableMath.h"
#include "foundation/Saturate.h"
#include "image/CImage32.h"

FxRowBlur::FxRowBlur(int width, int height) : m_blur(width, height), m_noise(0.875, 2.0, 6.0) {}

void FxRowBlur::applyNoise(float phase, float intensity)
{
    if (!m_blur.getScreen()) return;
    const int rows = m_blur.getScreen()->m_height;
    const double p = m_noise.perlin().permutation(0);
    for (int i = 0; i < rows; ++i) {
        const double n = std::fabs(m_noise.fBm(p + (i + phase) * 0.00062469003, 0.06746602, 2.0, 6.0)) * 200.0;
        const int radius = saturateToInt(n * intensity);
        if (radius > 1) m_blur.blurRow(i, radius);
    }
}

void FxRowBlur::applyWave(uint32_t tickMs)
{
    if (!m_blur.getScreen()) return;
    const int rows = m_blur.getScreen()->m_height;
    // A wave of four periods down the image, running with the tick count.
    const double t = tickMs;
    for (int i = 0; i < rows; ++i) {
        const int radius =
            static_cast<int>(pmath::cos(t * 0.001 * 3.1415927 + double(i) / rows * 25.132742) * 33.0 + 14.0);
        if (radius > 1) m_blur.blurRow(i, radius);
    }
}

// Horizontal blur of every row of the render image with a radius of its own: from fractal noise
// down the image, or from a cosine wave that runs with the clock. Rows of radius 1 or less stay.
#pragma once

#include <cstdint>

#include "foundation/PerlinNoise.h"
#include "fx2d/FxHVBlur.h"

class FxRowBlur {
public:
    // The image must be width x height (512 x 256 in the player). The noise tables are built here,
    // reseeding the process-wide generator.
    FxRowBlur(int width, int height);

    // Takes the image to filter; false for none or other dimensions (reported by the blur, "FxHVBlur : ").
    [[nodiscard]] bool bindScreen(CImage32* screen) { return m_blur.bindScreen(screen); }

    // Both blur the image of the last bindScreen that succeeded; nothing before one.
    // Radius of row i: |fBm(p + (i + phase) * 0.00062469003)| * 200 * intensity, truncated, with
    // fBm at H 0.06746602, lacunarity 2 and 6 octaves and p the first noise permutation entry.
    void applyNoise(float phase, float intensity);
    // Radius of row i at tick t (ms): cos(t * 0.001 * pi + i / rows * 8 pi) * 33 + 14, truncated.
    void applyWave(uint32_t tickMs);

private:
    FxHVBlur m_blur;
    FractalNoise m_noise;
};

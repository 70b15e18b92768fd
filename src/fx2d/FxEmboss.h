// Relief filter of the render image, in place: each channel becomes 128 plus the difference of the
// 3-row column sums right and left of the pixel, or (shade mode) the image lit by that relief.
#pragma once

#include <cstdint>
#include <vector>

#include "fx2d/FxEffect.h"

class FxEmboss : public FxEffect {
public:
    // The relief itself, or the image lit by it (the script's word order: EMBOSS, SHADE).
    enum class Mode : int { Emboss = 0, Shade = 1 };

    // Dimensions beyond the image pixel cap are reported; the filter then does nothing.
    FxEmboss(int width, int height);

    // Strength of the shading, limited to 0..255.
    void setIntensity(int intensity);
    int getIntensity() const { return m_intensity; }
    void setMode(Mode mode) { m_mode = mode; }
    Mode getMode() const { return m_mode; }

    // Filters the screen; nothing without one. Pixels beyond the border repeat the edge pixels.
    void apply();

private:
    int m_intensity = 255;
    Mode m_mode = Mode::Emboss;
    // Column sums of the three rows around the current one: (width + 2) x 4 channels, the first and
    // last column repeating their neighbours.
    std::vector<int16_t> m_workRow;
    // The unfiltered current and previous rows (row y in slot y & 1), kept while the rows are overwritten.
    std::vector<uint32_t> m_savedRows;
};

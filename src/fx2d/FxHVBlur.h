// Box blur of the render image along rows or columns, in place: each pixel becomes the mean of an
// even window of n pixels around it, written as is, added to or subtracted from the image.
#pragma once

#include <cstdint>
#include <vector>

#include "fx2d/FxEffect.h"

class FxHVBlur : public FxEffect {
public:
    enum Direction { HORIZONTAL = 0, VERTICAL = 1 };
    enum Mode { MODE_NORMAL = 0, MODE_ADD = 1, MODE_SUB = 2 };

    // Division of a window sum by n: a shift by log2(n) when n is a power of two, otherwise
    // (sum * multiplier) >> shift with a 32-bit product, shift = highest set bit of n + 8 and
    // multiplier = 2^shift / n rounded to nearest (an exact half rounds down).
    struct Divisor {
        int n = 0;               // window length, even; below 1 no blur is computed
        bool powerOfTwo = false;
        int shift = 0;
        int multiplier = 0;      // 0 when powerOfTwo

        // n = size, raised by one when odd. Sizes above 65536 count as 65536: every average of
        // such a window is 0 with 16-bit sums, as it is with 65536.
        static Divisor make(int size);
        uint32_t divide(uint32_t sum) const
        {
            return powerOfTwo ? sum >> shift : (sum * uint32_t(multiplier)) >> shift;
        }
    };

    // The image given to setScreen must be width x height; a width or height below 1 is reported,
    // and so are dimensions beyond the image pixel cap (the blur then does nothing).
    FxHVBlur(int width, int height);

    // Window length n (odd sizes are raised by one); below 1 see apply().
    void setSize(int size);
    int getSize() const { return m_divisor.n; }
    const Divisor& getDivisor() const { return m_divisor; }
    // 0 along rows, anything else along columns.
    void setDirection(int direction) { m_direction = direction; }
    void setVertical(bool vertical) { m_direction = vertical ? VERTICAL : HORIZONTAL; }
    int getDirection() const { return m_direction; }
    // 0 writes the mean, 1 adds it to the pixel (saturating at 255), 2 subtracts it (at 0);
    // other values act as 0.
    void setMode(int mode) { m_mode = mode; }
    int getMode() const { return m_mode; }

    // Filters the whole screen. With n < 1 nothing is averaged: mode 1 doubles every byte
    // (saturating), mode 2 clears the image, mode 0 leaves it. Without screen reports "m_pScreen NULL".
    void apply();

    // Horizontal blur of row y alone with window size (same rules as setSize, the engine's size
    // is kept) in the current mode: the per-row blur of the noise-driven row effect. Rows outside
    // the image are ignored.
    void blurRow(int y, int size);

private:
    // Whether there is a screen to filter; reports "m_pScreen NULL" when not.
    [[nodiscard]] bool ready() const;
    void blurRows(int firstRow, int lastRow, const Divisor& divisor);
    void applyWithoutWindow(uint32_t* pixels, int64_t count) const;

    int m_direction = HORIZONTAL;
    int m_mode = MODE_NORMAL;
    Divisor m_divisor;
    // Two rows saved interleaved (pixel x of the upper row in the low half), read while the rows
    // are overwritten.
    std::vector<uint64_t> m_line;
    // Vertical pass: per-column running sums (4 x 16 bits per column) and the saved unfiltered
    // rows still inside the window (a ring of up to height rows).
    std::vector<uint16_t> m_columnSums;
    std::vector<uint32_t> m_savedRows;
};

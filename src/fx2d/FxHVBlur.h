// Box blur of the render image along rows or columns, in place: each pixel becomes the mean of an
// even window of n pixels around it, written as is, added to or subtracted from the image.
#pragma once

#include <cstdint>
#include <vector>

#include "fx2d/FxEffect.h"
#include "image/BlendMode.h"

class FxHVBlur : public FxEffect {
public:
    // Along rows or along columns (the script's word order: HORIZONTAL, VERTICAL).
    enum class Direction : int { Horizontal = 0, Vertical = 1 };

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
    void setDirection(Direction direction) { m_direction = direction; }
    Direction getDirection() const { return m_direction; }
    // Normal writes the mean, add adds it to the pixel (saturating at 255), subtract subtracts it
    // (at 0).
    void setMode(BlendMode mode) { m_mode = mode; }
    BlendMode getMode() const { return m_mode; }

    // Filters the whole screen. With n < 1 nothing is averaged: add doubles every byte
    // (saturating), subtract clears the image, normal leaves it. Without screen reports "m_pScreen NULL".
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

    Direction m_direction = Direction::Horizontal;
    BlendMode m_mode = kBlendNormal;
    Divisor m_divisor;
    // Rows saved interleaved, read while the rows are overwritten: two (pixel x of the upper row in
    // the low half of word x), or for the AVX2 loops four, followed by their four interleaved results.
    std::vector<uint64_t> m_line;
    // Vertical pass: per-column running sums (4 x 16 bits per column) and the saved unfiltered
    // rows still inside the window (a ring of up to height rows).
    std::vector<uint16_t> m_columnSums;
    std::vector<uint32_t> m_savedRows;
};

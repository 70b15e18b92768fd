// Colour operations over a whole image by mode: a colour added or subtracted per byte
// (saturating), a colour mask, the negative, and the grey conversions into every channel or one.
#pragma once

#include <cstdint>

class CImage32;

class FxColor {
public:
    // The script's word order: ADD, SUB, MASK, INVERT, GRAY, RED, GREEN, BLUE.
    enum class Mode : int { Add = 0, Sub = 1, Mask = 2, Invert = 3, Gray = 4, Red = 5, Green = 6, Blue = 7 };

    // Runs `mode` on `image` with `colour` (0x00RRGGBB; add and subtract skip colour 0). A null
    // image or a value of no mode does nothing.
    static void apply(CImage32* image, Mode mode, uint32_t colour);
};

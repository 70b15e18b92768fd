// Built-in fixed-width bitmap font and the routine that draws one line of status text with it.
#pragma once

#include <cstdint>

// Draws text in white (0xFFFFFF) on a black (0) box just large enough for it, top-left at (x, y),
// into 32-bit pixels of the given width/height; pitchPixels = pixels per row. Clipped to the
// buffer: nothing outside it is written. Characters outside 32..126 draw as a blank cell.
void drawBitmapText(uint32_t* pixels, int width, int height, int pitchPixels, int x, int y, const char* text);
// Size of the box drawBitmapText fills for this text.
int bitmapTextWidth(const char* text);
int bitmapTextHeight();

// Anti-aliased lines (Xiaolin Wu) into a CImage32, blended with the blit family's rules and
// optionally tested (read-only) against the 3D renderer's depth buffer (image/Depth.h).
#pragma once

#include <cstdint>

#include "image/BlendMode.h"
#include "image/Depth.h"

class CImage32;

// The line record handed to drawLine.
struct LineDesc {
    float x0 = 0, y0 = 0, z0 = 0;  // first end point: destination pixels, w = 1/z
    float x1 = 0, y1 = 0, z1 = 0;  // second end point
    uint32_t colour = 0;           // CImage32 pixel format
    BlendMode mode = kBlendNormal;  // normal, add, any other value subtract
};

// Clips the end points to the one-pixel margin 1 <= x <= width - 2, 1 <= y <= height - 2, so that
// the second pixel of every pair exists. Returns whether anything is left to draw.
[[nodiscard]] bool clipLine(const CImage32* dest, float& x0, float& y0, float& x1, float& y1);

// Draws without clipping; both end points must lie inside the margin of clipLine. depth is a
// depth buffer of dest's width x height cells (or null): a pixel is written only where the
// line's depth there (lineDepth, stepped along the line) passes lineDepthPasses; the buffer is
// never written.
void drawLineNoClip(CImage32* dest, const uint32_t* depth, float x0, float y0, float z0, float x1, float y1, float z1,
                    uint32_t colour, BlendMode mode);

// clipLine, then drawLineNoClip when anything remains.
void drawLine(CImage32* dest, const uint32_t* depth, const LineDesc& line);

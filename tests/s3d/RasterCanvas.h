// An image and its depth buffer for the polygon filler tests, both cleared to 0.
#pragma once

#include <cstdint>
#include <vector>

#include "raster/RasterTypes.h"

struct RasterCanvas {
    int w, h;
    std::vector<uint32_t> px, z;
    RasterImage image;
    RasterDepth depth;
    RasterCanvas(int width, int height)
        : w(width), h(height), px(size_t(width) * height), z(size_t(width) * height),
          image{px.data(), width, height}, depth{z.data(), width, height}
    {
    }
    uint32_t at(int x, int y) const { return px[size_t(y) * w + x]; }
    uint32_t depthAt(int x, int y) const { return z[size_t(y) * w + x]; }
    const uint32_t* row(int y) const { return &px[size_t(y) * w]; }
    const uint32_t* depthRow(int y) const { return &z[size_t(y) * w]; }
};

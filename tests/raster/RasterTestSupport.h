// What the polygon filler tests share: images with and without a depth buffer, palettes, textures
// with their guard rows, the 8 x 2 strip, and vertices and materials made in one call.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "raster/PolyFiller.h"
#include "raster/RasterTypes.h"

// An image and its depth buffer, both cleared to 0.
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

// An image without depth buffer, filled with `background`; at() gives the colour bytes.
struct Image {
    int w, h;
    std::vector<uint32_t> px;
    RasterImage view;
    Image(int width, int height, uint32_t background = 0)
        : w(width), h(height), px(size_t(width) * height, background), view{px.data(), width, height}
    {
    }
    uint32_t at(int x, int y) const { return px[size_t(y) * w + x] & 0xFFFFFFu; }
};

// A width x height texture with two zero guard rows after its last row.
struct Texels {
    std::vector<uint32_t> px;
    RasterTexture view;
    Texels(int width, int height, std::vector<uint32_t> rows, int shiftU, bool alpha = false) : px(std::move(rows))
    {
        px.resize(size_t(width) * (height + 2), 0u);
        view = {px.data(), width, height, uint32_t(width - 1), uint32_t(height - 1), shiftU, alpha, true};
    }
};

// A vertex at (x, y) carrying `values`.
inline RasterVertex at(float x, float y, RasterValues values = {}, float w = 0.5f) { return {x, y, w, values}; }

// The quad over the whole of `image`, every corner with the same values.
inline void cover(PolyFiller& f, Image& image, RasterValues values = {})
{
    f.setDestination(&image.view);
    const float w = float(image.w), h = float(image.h);
    const RasterVertex q[] = {at(0, 0, values), at(0, h, values), at(w, h, values), at(w, 0, values)};
    f.drawPolygon(q, 4);
}

// Grey ramp: palette[i] = i in every colour byte.
struct Ramp {
    uint32_t entry[256];
    Ramp()
    {
        for (uint32_t i = 0; i < 256; ++i) entry[i] = i * 0x010101u;
    }
};

// One colour in every entry.
struct Solid {
    uint32_t entry[256];
    explicit Solid(uint32_t colour)
    {
        for (uint32_t& e : entry) e = colour;
    }
};

// A material over `palette` and a 4 x 4 texture.
inline RasterMaterial materialWith(const uint32_t* palette, const uint32_t* texels)
{
    RasterMaterial m;
    m.palette = palette;
    m.texture = {texels, 4, 4, 3, 3, 2, false, true};  // 4 x 4 with its two guard rows
    return m;
}

// An 8 x 2 image filled with `background`, drawn over whole by one quad whose corners all carry
// `a` (with uFollowsX, each corner's u is its x).
struct Strip {
    std::vector<uint32_t> px;
    RasterImage image;
    explicit Strip(uint32_t background = 0) : px(16, background), image{px.data(), 8, 2} {}
    void draw(PolyFiller& f, RasterValues a = {}, bool uFollowsX = false)
    {
        f.setDestination(&image);
        const auto v = [&](float x, float y) {
            RasterVertex r{x, y, 0.5f, a};
            if (uFollowsX) r.values.u = x;
            return r;
        };
        const RasterVertex r[] = {v(0, 0), v(0, 2), v(8, 2), v(8, 0)};
        f.drawPolygon(r, 4);
    }
};

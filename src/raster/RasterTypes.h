// Where the 3D front end (transform, clip, light, sort) meets the polygon filler: plain structs
// only. The filler knows no scene; the scene side fills these views from its own records.
#pragma once

#include <cstdint>

// Most vertices of one polygon the filler draws; more draw nothing.
constexpr int kMaxPolygonVertices = 9;
// The values a vertex carries for the filler: one layout for every filler kind, each kind
// interpolating the ones it draws with (the kinds in PolyFiller.h say which).
struct RasterValues {
    float light = 0;   // palette index, 0..255 (255 fully lit)
    float weight = 0;  // weight of the lit colour against the destination, 0..255
    float u = 0;       // texel coordinates, in texels
    float v = 0;
};

// One projected vertex: screen position (pixels, y down), w = 1/z of the camera-space depth
// (z >= near >= 1, so 0 < w <= 1), and its values.
struct RasterVertex {
    float x = 0, y = 0, w = 0;
    RasterValues values;
};

// A texture image as the filler samples it. Width and height are powers of two, maskU = width - 1,
// maskV = height - 1, shiftU = log2(width); a view that disagrees is not sampled. Every sampling
// reads this image; the texture's 256x256 strip copy is not read by the filler, so nearest and
// bilinear texels are the image's own in every blend mode.
struct RasterTexture {
    const uint32_t* pixels = nullptr;  // row 0, rows of width pixels, 0x00RRGGBB
    int width = 0, height = 0;
    uint32_t maskU = 0, maskV = 0;
    int shiftU = 0;
    bool hasAlpha = false;   // the top byte of each texel is its own opacity
    bool guardRows = false;  // zero rows follow the last row (owned images), so bilinear may read there
};

// What the filler takes from a sub-material.
struct RasterMaterial {
    const uint32_t* palette = nullptr;  // 256 entries, index 255 fully lit
    int blendMode = 0;                  // 0 normal, 3 subtractive, any other additive
    float opacity = 1.0f;
    int opacityKind = 0;                // 20: opacity-weighted operations; 1..3, 101..103: texel rules
    int textureMode = 0;                // how a texel meets the lit colour (textured kinds)
    bool bilinear = false;
    RasterTexture texture;              // the first texture map's image, or none (pixels null)
};

// The destination image: rows of width pixels, no padding.
struct RasterImage {
    uint32_t* pixels = nullptr;
    int width = 0, height = 0;
};

// The depth buffer: width x height cells of w * 2^32, larger is nearer, cleared to 0 each frame
// (image/Depth.h: how polygons, points and lines convert and compare).
struct RasterDepth {
    uint32_t* cells = nullptr;
    int width = 0, height = 0;
};

// Xiaolin Wu's line in fixed point: 16.16 coordinates, 8-bit coverage, 32-bit depths. The set-up
// is shared; the six inner routines ({normal, add, subtract} x {with, without depth test}) are one
// template, picked once per line, blending with the kernel family's weighted rules.
#include "image/Line.h"

#include <algorithm>
#include <cmath>

#include "image/BlendKernels.h"
#include "image/CImage32.h"
#include "image/KernelTable.h"

using blend::Rule;
using blend::Weight;

bool clipLine(const CImage32* dest, float& x0, float& y0, float& x1, float& y1)
{
    if (!dest || dest->m_width < 3 || dest->m_height < 3) return false;
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return false;
    const float xMin = 1, xMax = float(dest->m_width - 2), yMin = 1, yMax = float(dest->m_height - 2);
    // 1. Both end points on the same outer side of x.
    if ((x0 < xMin && x1 < xMin) || (x0 > xMax && x1 > xMax)) return false;
    // 2. Clamp x and recompute y on the line through the given end points (an end point already
    // inside keeps its y exactly: its x does not move).
    if (x0 < xMin || x0 > xMax || x1 < xMin || x1 > xMax) {
        const float ox0 = x0, oy0 = y0, ox1 = x1, oy1 = y1;
        x0 = std::clamp(ox0, xMin, xMax);
        y0 = oy0 + (x0 - ox0) * (oy1 - oy0) / (ox1 - ox0);
        x1 = std::clamp(ox1, xMin, xMax);
        y1 = oy0 + (x1 - ox0) * (oy1 - oy0) / (ox1 - ox0);
    }
    // 3. Both on the same outer side of y; or all inside.
    if ((y0 < yMin && y1 < yMin) || (y0 > yMax && y1 > yMax)) return false;
    if (y0 >= yMin && y0 <= yMax && y1 >= yMin && y1 <= yMax) return true;
    // 4. Clamp y, recompute x on the line as it is after step 2, clamp x again.
    const float ox0 = x0, oy0 = y0, ox1 = x1, oy1 = y1;
    y0 = std::clamp(oy0, yMin, yMax);
    x0 = std::clamp(ox0 + (y0 - oy0) * (ox1 - ox0) / (oy1 - oy0), xMin, xMax);
    y1 = std::clamp(oy1, yMin, yMax);
    x1 = std::clamp(ox0 + (y1 - oy0) * (ox1 - ox0) / (oy1 - oy0), xMin, xMax);
    return true;
}

namespace {

// A line set up for drawing: major/minor axes as memory strides, both end points on the major
// axis, their minor coordinates, gap factors and depths, the slope and depth step.
struct WuLine {
    bool xMajor = true;
    int64_t majorStride = 1, minorStride = 1;
    int64_t p0 = 0, p1 = 0;        // integer major positions of the end points
    int64_t m0 = 0, m1 = 0;        // 16.16 minor coordinates at p0 and p1
    int64_t gap0 = 0, gap1 = 0;    // 16.16 gap factors (0..65536)
    int64_t slope = 0;             // 16.16 minor change per major pixel
    uint32_t z0 = 0, z1 = 0;
    int64_t zStep = 0;             // depth change per major pixel
};

struct Target {
    uint32_t* pixels;
    const uint32_t* depth;
    uint32_t colour;
};

// 8-bit coverage (0..255) of two 16.16 factors: (a * b) >> 24, the full pixel kept at 255.
inline uint32_t coverage(int64_t a, int64_t b) { return uint32_t(std::min<int64_t>((a * b) >> 24, 255)); }

// One pixel with coverage w: the rule R (weighted, add weighted or subtract weighted with w) on
// the colour, after the read-only depth test of lines.
template <Rule R, bool kDepth, bool kSimd>
inline void plot(const Target& t, int64_t i, uint32_t w, uint32_t z)
{
    if constexpr (kDepth)
        if (!lineDepthPasses(t.depth[i], z)) return;
    if constexpr (kSimd) {
        const __m128i r = blend::blend4<R, Weight::Opacity>(_mm_cvtsi32_si128(int(t.pixels[i])),
                                                             _mm_cvtsi32_si128(int(t.colour)), _mm_setzero_si128(),
                                                             _mm_set1_epi16(int16_t(w)));
        t.pixels[i] = uint32_t(_mm_cvtsi128_si32(r));
    } else {
        t.pixels[i] = blend::blend1<R, Weight::Opacity>(t.pixels[i], t.colour, 0, w);
    }
}

// The inner routine: the two end-point pairs, then every major position strictly between them.
template <Rule R, bool kDepth, bool kSimd>
void drawWu(const Target& t, const WuLine& l)
{
    auto pair = [&](int64_t p, int64_t minor, uint32_t wFirst, uint32_t wSecond, uint32_t z) {
        const int64_t i = p * l.majorStride + minor * l.minorStride;
        plot<R, kDepth, kSimd>(t, i, wFirst, z);
        plot<R, kDepth, kSimd>(t, i + l.minorStride, wSecond, z);
    };
    const int64_t f0 = l.m0 & 0xFFFF, f1 = l.m1 & 0xFFFF;
    pair(l.p0, l.m0 >> 16, coverage(65536 - f0, l.gap0), coverage(f0, l.gap0), l.z0);
    pair(l.p1, l.m1 >> 16, coverage(65536 - f1, l.gap1), coverage(f1, l.gap1), l.z1);

    int64_t z = l.z0;
    if (l.xMajor) {
        // The fraction in an accumulator where one pixel of minor movement is 255 * 65536: it
        // wraps there and moves the minor position by one (backwards for a negative slope), so
        // the coverage acc >> 16 runs 0..254. |slope| < 1 here: at most one wrap per step.
        constexpr int64_t kOne = 255 * 65536;
        int64_t minor = l.m0 >> 16, acc = (l.m0 & 0xFFFF) * 255;
        const int64_t step = l.slope * 255;
        for (int64_t p = l.p0 + 1; p < l.p1; ++p) {
            acc += step;
            if (acc >= kOne) acc -= kOne, ++minor;
            else if (acc < 0) acc += kOne, --minor;
            z += l.zStep;
            const uint32_t f = uint32_t(acc >> 16);
            pair(p, minor, 255 - f, f, uint32_t(z));
        }
    } else {
        // The 16.16 minor coordinate stepped; its top eight fraction bits are the coverage.
        int64_t m = l.m0;
        for (int64_t p = l.p0 + 1; p < l.p1; ++p) {
            m += l.slope;
            z += l.zStep;
            const uint32_t f = uint32_t(m >> 8) & 0xFF;
            pair(p, m >> 16, 255 - f, f, uint32_t(z));
        }
    }
}

using WuFn = void (*)(const Target&, const WuLine&);

// The inner routines by mode (the last row takes every other mode), each with and without the
// depth test, at every SIMD level.
struct WuRow {
    int mode;
    WuFn loops[2][kSimdLevelCount];  // [depth test][level]
};
template <Rule R>
constexpr WuRow wuRow(int mode)
{
    return {mode,
            {{&drawWu<R, false, false>, &drawWu<R, false, true>}, {&drawWu<R, true, false>, &drawWu<R, true, true>}}};
}
constexpr WuRow kWuLoops[] = {
    wuRow<Rule::Weighted>(int(kBlendNormal)),
    wuRow<Rule::AddWeighted>(int(kBlendAdd)),
    wuRow<Rule::SubWeighted>(kAnyMode),
};

} // namespace

void drawLineNoClip(CImage32* dest, const uint32_t* depth, float x0, float y0, float z0, float x1, float y1, float z1,
                    uint32_t colour, BlendMode mode)
{
    if (!dest || dest->pixelCount() <= 0 || dest->m_width < 3 || dest->m_height < 3) return;
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1)) return;
    // 1. 16.16 coordinates (rounded) and buffer depths. The clamp to the margin changes nothing
    // for end points that keep the contract; it only keeps a broken call inside the image.
    const int64_t W = dest->m_width, H = dest->m_height;
    auto fixedIn = [](float v, int64_t hi) { return std::clamp<int64_t>(std::llround(double(v) * 65536.0), 65536, hi * 65536); };
    int64_t X0 = fixedIn(x0, W - 2), Y0 = fixedIn(y0, H - 2), X1 = fixedIn(x1, W - 2), Y1 = fixedIn(y1, H - 2);
    uint32_t Z0 = lineDepth(z0), Z1 = lineDepth(z1);

    // 2. Major axis, end points ordered along it, slope over an extent of at least one pixel.
    WuLine l;
    l.xMajor = std::llabs(X1 - X0) > std::llabs(Y1 - Y0);
    if (!l.xMajor) std::swap(X0, Y0), std::swap(X1, Y1);  // from here X is the major coordinate
    if (X1 < X0) std::swap(X0, X1), std::swap(Y0, Y1), std::swap(Z0, Z1);
    l.majorStride = l.xMajor ? 1 : W;
    l.minorStride = l.xMajor ? W : 1;
    const int64_t extent = std::max<int64_t>(X1 - X0, 65536);
    l.slope = (Y1 - Y0) * 65536 / extent;
    l.z0 = Z0;
    l.z1 = Z1;
    // Depths live modulo 2^32: the step takes the short way round, so a line whose ends lie on
    // both sides of the wrap does not run through the whole range (uint32_t(z) wraps it back).
    l.zStep = int64_t(int32_t(Z1 - Z0)) * 65536 / extent;
    // 3./4. End points: the nearest integer major position, the minor coordinate there, and the
    // gap factors 1 - fraction(x0 + 0.5) and fraction(x1 + 0.5).
    l.p0 = (X0 + 0x8000) >> 16;
    l.m0 = Y0 + ((l.p0 * 65536 - X0) * l.slope >> 16);
    l.gap0 = 65536 - ((X0 + 0x8000) & 0xFFFF);
    l.p1 = (X1 + 0x8000) >> 16;
    l.m1 = Y1 + ((l.p1 * 65536 - X1) * l.slope >> 16);
    l.gap1 = (X1 + 0x8000) & 0xFFFF;

    const Target t{dest->m_pPixels, depth, colour};
    loopForLevel(rowForMode(kWuLoops, mode).loops[depth != nullptr], simdLevel())(t, l);
}

void drawLine(CImage32* dest, const uint32_t* depth, const LineDesc& line)
{
    float x0 = line.x0, y0 = line.y0, x1 = line.x1, y1 = line.y1;
    if (!clipLine(dest, x0, y0, x1, y1)) return;
    drawLineNoClip(dest, depth, x0, y0, line.z0, x1, y1, line.z1, line.colour, line.mode);
}

#include "fx2d/FxRadial.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>

#include "image/CImage32.h"
#include "image/KernelTable.h"

// For pixel P at offset (dx, dy) from the centre, A is the neighbour one step closer along the
// dominant axis (horizontal when |dx| >= |dy|), D the one a step closer on both axes, and
// w = weight(|dx|, |dy|). Per channel:
//   N = w A + (256 - w) D                                  0..65280
//   smooth: P' = min(255, (E P + ((F N) >> 8)) >> 14)      E = (1 - strength) 16384, F = (strength + boost) 16384
//   fast:   P' = min(255, (m P + 2 (((N >> 1) a) >> 8)) >> 8)  m = (1 - strength) 256, a = (strength + boost) 256
// The fast sums run in saturating 16-bit lanes; a sum that saturates is one whose exact value
// exceeds 65535, so both give 255 after the shift.
//
// Rows are visited from the centre row outwards, rows cy + k and cy - k together (they share
// every weight), first the right half (columns cx ..) then the left one (columns cx - 1 down to 0),
// each row from the centre column outwards. Neighbours always lie between the pixel and the
// centre, so they are inside the image and already filtered.

namespace {

const char* const kCaption = "FxRadial : ";

struct Factors {
    int e, f; // smooth, 14-bit
    int m, a; // fast, 8-bit
};

struct SimdLanes {
    using Bytes = __m128i; // low 8 bytes: the pixel of the lower row, then the one of the upper row

    static Bytes gather(uint32_t lower, uint32_t upper)
    {
        return _mm_unpacklo_epi32(_mm_cvtsi32_si128(int(lower)), _mm_cvtsi32_si128(int(upper)));
    }
    static void scatter(Bytes v, uint32_t* lower, uint32_t* upper)
    {
        *lower = uint32_t(_mm_cvtsi128_si32(v));
        *upper = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(v, 4)));
    }

    template <bool Smooth>
    static Bytes blend(Bytes p, Bytes a, Bytes d, int w, const Factors& f)
    {
        const __m128i zero = _mm_setzero_si128();
        const __m128i pw = _mm_unpacklo_epi8(p, zero);
        const __m128i n = _mm_adds_epu16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), _mm_set1_epi16(short(w))),
                                         _mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), _mm_set1_epi16(short(256 - w))));
        if constexpr (Smooth) {
            const __m128i fv = _mm_set1_epi16(short(f.f));
            const __m128i lo = _mm_mullo_epi16(n, fv);
            const __m128i hi = _mm_mulhi_epu16(n, fv);
            const __m128i ev = _mm_set1_epi32(f.e); // E in the low word of each dword, 0 above
            const __m128i s0 = _mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(pw, zero), ev),
                                             _mm_srli_epi32(_mm_unpacklo_epi16(lo, hi), 8));
            const __m128i s1 = _mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(pw, zero), ev),
                                             _mm_srli_epi32(_mm_unpackhi_epi16(lo, hi), 8));
            const __m128i r = _mm_packs_epi32(_mm_srli_epi32(s0, 14), _mm_srli_epi32(s1, 14));
            return _mm_packus_epi16(r, r);
        } else {
            const __m128i av = _mm_set1_epi16(short(f.a));
            const __m128i half = _mm_srli_epi16(n, 1);
            // ((N >> 1) a) >> 8 from the halves of the 32-bit product (below 2^24)
            const __m128i t = _mm_or_si128(_mm_slli_epi16(_mm_mulhi_epu16(half, av), 8),
                                           _mm_srli_epi16(_mm_mullo_epi16(half, av), 8));
            const __m128i mp = _mm_mullo_epi16(pw, _mm_set1_epi16(short(f.m)));
            const __m128i s = _mm_adds_epu16(_mm_adds_epu16(mp, t), t);
            const __m128i r = _mm_srli_epi16(s, 8);
            return _mm_packus_epi16(r, r);
        }
    }
};

struct ScalarLanes {
    using Bytes = uint64_t;

    static Bytes gather(uint32_t lower, uint32_t upper) { return uint64_t(lower) | uint64_t(upper) << 32; }
    static void scatter(Bytes v, uint32_t* lower, uint32_t* upper)
    {
        *lower = uint32_t(v);
        *upper = uint32_t(v >> 32);
    }

    template <bool Smooth>
    static Bytes blend(Bytes p, Bytes a, Bytes d, int w, const Factors& f)
    {
        uint64_t out = 0;
        for (int i = 0; i < 8; ++i) {
            const uint32_t pc = uint32_t(p >> (8 * i)) & 0xFF;
            const uint32_t ac = uint32_t(a >> (8 * i)) & 0xFF;
            const uint32_t dc = uint32_t(d >> (8 * i)) & 0xFF;
            const uint32_t n = std::min(uint32_t(w) * ac + uint32_t(256 - w) * dc, 65535u);
            uint32_t r;
            if constexpr (Smooth) r = (uint32_t(f.e) * pc + ((uint32_t(f.f) * n) >> 8)) >> 14;
            else r = (uint32_t(f.m) * pc + 2 * (((n >> 1) * uint32_t(f.a)) >> 8)) >> 8;
            out |= uint64_t(std::min(r, 255u)) << (8 * i);
        }
        return out;
    }
};

template <class L, bool Smooth>
void radialT(uint32_t* pixels, int width, int height, int cx, int cy, const int16_t* weights, const Factors& f)
{
    using Bytes = typename L::Bytes;
    const int kmax = std::max(cy, height - 1 - cy);
    for (int side = 0; side < 2; ++side) {
        const int sx = side == 0 ? 1 : -1;
        const int last = side == 0 ? width - 1 - cx : cx; // columns cx + sx i for i <= last
        for (int k = 0; k <= kmax; ++k) {
            // A missing row (one side of the centre is shorter) pairs the other with itself.
            const int yLo = cy + k < height ? cy + k : cy - k;
            const int yUp = cy - k >= 0 ? cy - k : cy + k;
            uint32_t* rowLo = pixels + int64_t(yLo) * width;
            uint32_t* rowUp = pixels + int64_t(yUp) * width;
            const uint32_t* prevLo = k == 0 ? rowLo : rowLo + (yLo > cy ? -width : width);
            const uint32_t* prevUp = k == 0 ? rowUp : rowUp + (yUp > cy ? -width : width);
            const int16_t* w = weights + int64_t(k) * width;

            int i = 1;
            Bytes carry;
            if (side == 0) {
                // Centre column: both neighbours are the pixel one row closer (itself on the centre row).
                const Bytes v = L::gather(prevLo[cx], prevUp[cx]);
                carry = L::template blend<Smooth>(L::gather(rowLo[cx], rowUp[cx]), v, v, w[0], f);
                L::scatter(carry, rowLo + cx, rowUp + cx);
            } else {
                carry = L::gather(rowLo[cx], rowUp[cx]);
            }
            // |dx| < |dy|: the axial neighbour is the pixel one row closer.
            const int split = std::clamp(k, i, last + 1);
            for (; i < split; ++i) {
                const int x = cx + sx * i;
                const Bytes a = L::gather(prevLo[x], prevUp[x]);
                const Bytes d = L::gather(prevLo[x - sx], prevUp[x - sx]);
                carry = L::template blend<Smooth>(L::gather(rowLo[x], rowUp[x]), a, d, w[i], f);
                L::scatter(carry, rowLo + x, rowUp + x);
            }
            // |dx| >= |dy|: the axial neighbour is the pixel just filtered in this row.
            for (; i <= last; ++i) {
                const int x = cx + sx * i;
                const Bytes d = L::gather(prevLo[x - sx], prevUp[x - sx]);
                carry = L::template blend<Smooth>(L::gather(rowLo[x], rowUp[x]), carry, d, w[i], f);
                L::scatter(carry, rowLo + x, rowUp + x);
            }
        }
    }
}

// The loops by mode (the last row, fast, takes every other mode) at every SIMD level.
using RadialFn = void (*)(uint32_t*, int, int, int, int, const int16_t*, const Factors&);
struct RadialRow {
    int mode;
    RadialFn loops[kSimdLevelCount];
};
constexpr RadialRow kRadialLoops[] = {
    {int(FxRadial::Mode::Smooth), {&radialT<ScalarLanes, true>, &radialT<SimdLanes, true>}},
    {kAnyMode, {&radialT<ScalarLanes, false>, &radialT<SimdLanes, false>}},
};

float clampUnit(float v)
{
    return v >= 0.0f ? std::min(v, 1.0f) : 0.0f; // NaN gives 0
}

int clampCoordinate(float v, int size)
{
    if (!(v >= 0.0f)) return 0;
    if (v >= float(size - 1)) return std::max(size - 1, 0);
    return int(v);
}

} // namespace

FxRadial::FxRadial(int width, int height)
    : FxEffect(kCaption, width, height), m_centreX(width / 2), m_centreY(height / 2)
{
    if (!usable()) return;
    m_weights.resize(size_t(width) * size_t(height));
    for (int dy = 0; dy < height; ++dy) {
        for (int dx = 0; dx < width; ++dx) {
            const double d = std::sqrt(double(dx) * dx + double(dy) * dy);
            int weight = 256;
            if (d != 0.0) {
                const double a = std::max(dx, dy) / d;
                const double b = std::min(dx, dy) / d;
                const double c = 2.0 * a * a - 1.0;
                weight = int(256.0 * c / (std::fabs(2.0 * a * b) + std::fabs(c)));
            }
            m_weights[size_t(dy) * size_t(width) + size_t(dx)] = int16_t(weight);
        }
    }
}

void FxRadial::setStrength(float strength)
{
    m_strength = clampUnit(strength);
}

void FxRadial::setBoost(float boost)
{
    m_boost = clampUnit(boost);
}

void FxRadial::setCentre(float x, float y)
{
    m_centreX = clampCoordinate(x, m_width);
    m_centreY = clampCoordinate(y, m_height);
}

void FxRadial::apply()
{
    if (!m_pScreen || !m_pScreen->m_pPixels || m_weights.empty()) return;
    Factors f;
    f.e = int((1.0f - m_strength) * 16384.0f);
    f.f = int((m_strength + m_boost) * 16384.0f);
    f.m = int((1.0f - m_strength) * 256.0f);
    f.a = int((m_strength + m_boost) * 256.0f);
    const RadialFn radial = loopForLevel(rowForMode(kRadialLoops, m_mode).loops, simdLevel());
    radial(m_pScreen->m_pPixels, m_width, m_height, m_centreX, m_centreY, m_weights.data(), f);
}

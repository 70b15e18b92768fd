#include "fx2d/FxRadial.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/CImage32.h"
#include "fx2d/FxRadialAvx2.h"
#include "image/KernelTable.h"
#include "image/Transpose4.h"

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

using radial::Factors;

const char* const kCaption = "FxRadial : ";

// ---- the scalar twin: rows in the order above, two pixels (lower and upper row) at a time ------

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
        return uint64_t(radial::blendPixel<Smooth>(uint32_t(p), uint32_t(a), uint32_t(d), w, f)) |
               uint64_t(radial::blendPixel<Smooth>(uint32_t(p >> 32), uint32_t(a >> 32), uint32_t(d >> 32), w, f))
                   << 32;
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

// ---- the packed loops: the same pixels in another order ----------------------------------------
//
// Only the order differs: every pixel still reads its own unfiltered value and two filtered
// neighbours. Within a quadrant (offsets i >= 1 columns and k >= 1 rows from the centre, after the
// centre row and column), a pixel with i < k needs only row k - 1, so those spans of a row are
// filtered side by side; a pixel with i >= k needs only column i - 1, so bands of rows are
// filtered a column at a time, every row of the band together. The serial chain of the
// row order (each pixel waiting for its left neighbour) becomes one chain per band.

// SSE2: four pixels per vector, channels in 16-bit lanes (low half pixels 0 1, high half 2 3).
struct Wide128 {
    __m128i lo, hi;
};

struct Consts128 {
    __m128i e, f, m, a, byteMask, w256, max255;
    explicit Consts128(const Factors& k)
        : e(_mm_set1_epi16(short(k.e))), f(_mm_set1_epi16(short(k.f))), m(_mm_set1_epi16(short(k.m))),
          a(_mm_set1_epi16(short(k.a))), byteMask(_mm_set1_epi16(0xFF)), w256(_mm_set1_epi16(256)),
          max255(_mm_set1_epi16(255))
    {
    }
};

Wide128 widen(__m128i v)
{
    return {_mm_unpacklo_epi8(v, _mm_setzero_si128()), _mm_unpackhi_epi8(v, _mm_setzero_si128())};
}

// Per channel, exact with 16-bit products: smooth splits E P + ((F N) >> 8) into 256 (E P >> 8 +
// F N >> 16) plus the two low bytes, whose carry is added before the final shift (>> 14 = >> 6
// after the 256).
template <bool Smooth>
__m128i blend16(__m128i p, __m128i a, __m128i d, __m128i w, const Consts128& k)
{
    const __m128i n = _mm_add_epi16(_mm_mullo_epi16(a, w), _mm_mullo_epi16(d, _mm_sub_epi16(k.w256, w)));
    if constexpr (Smooth) {
        const __m128i epLo = _mm_mullo_epi16(p, k.e);
        const __m128i e1 = _mm_or_si128(_mm_slli_epi16(_mm_mulhi_epu16(p, k.e), 8), _mm_srli_epi16(epLo, 8));
        const __m128i e0 = _mm_and_si128(epLo, k.byteMask);
        const __m128i lo = _mm_mullo_epi16(n, k.f);
        const __m128i hi = _mm_mulhi_epu16(n, k.f);
        const __m128i carry = _mm_srli_epi16(_mm_add_epi16(_mm_srli_epi16(lo, 8), e0), 8);
        const __m128i r = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(hi, e1), carry), 6);
        return _mm_min_epi16(r, k.max255);
    } else {
        const __m128i half = _mm_srli_epi16(n, 1);
        const __m128i t = _mm_or_si128(_mm_slli_epi16(_mm_mulhi_epu16(half, k.a), 8),
                                       _mm_srli_epi16(_mm_mullo_epi16(half, k.a), 8));
        const __m128i s = _mm_adds_epu16(_mm_adds_epu16(_mm_mullo_epi16(p, k.m), t), t);
        return _mm_srli_epi16(s, 8);
    }
}

// Four weights, each in its pixel's four channel lanes (reversed: weight 3 - m for pixel m).
Wide128 weights4(const int16_t* w, bool reversed)
{
    __m128i v = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(w));
    if (reversed) v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_unpacklo_epi16(v, v);
    return {_mm_unpacklo_epi32(v, v), _mm_unpackhi_epi32(v, v)};
}

template <bool Smooth>
__m128i blend4(__m128i p4, const Wide128& a, const Wide128& d, const Wide128& w, const Consts128& k, Wide128& out)
{
    const Wide128 p = widen(p4);
    out.lo = blend16<Smooth>(p.lo, a.lo, d.lo, w.lo, k);
    out.hi = blend16<Smooth>(p.hi, a.hi, d.hi, w.hi, k);
    return _mm_packus_epi16(out.lo, out.hi);
}

template <bool Smooth>
void rowSse2(uint32_t* row, const uint32_t* prev, const int16_t* weights, int cx, int sx, int i0, int i1,
             const Factors& f)
{
    const Consts128 k(f);
    int i = i0;
    for (; i + 4 <= i1; i += 4) {
        const int x = sx > 0 ? cx + i : cx - i - 3; // leftmost pixel of the four
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
        const Wide128 a = widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + x)));
        const Wide128 d = widen(_mm_loadu_si128(reinterpret_cast<const __m128i*>(prev + x - sx)));
        Wide128 r;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + x), blend4<Smooth>(p, a, d, weights4(weights + i, sx < 0), k, r));
    }
    for (; i < i1; ++i) {
        const int x = cx + sx * i;
        row[x] = radial::blendPixel<Smooth>(row[x], prev[x], prev[x - sx], weights[i], f);
    }
}

template <bool Smooth>
void columnSse2(uint32_t* top, int64_t stride, int count, int sx, const int16_t* weights, const Factors& f)
{
    const Consts128 k(f);
    for (int j0 = 0; j0 < count; j0 += 4) {
        const int n = std::min(4, count - j0);
        alignas(16) uint32_t p[4] = {}, a[4] = {}, d[4] = {};
        alignas(8) int16_t w[4] = {};
        for (int j = 0; j < n; ++j) {
            const int64_t at = (j0 + j) * stride;
            p[j] = top[at];
            a[j] = top[at - sx];
            d[j] = top[at - stride - sx];
            w[j] = weights[j0 + j];
        }
        Wide128 r;
        _mm_store_si128(reinterpret_cast<__m128i*>(p),
                        blend4<Smooth>(_mm_load_si128(reinterpret_cast<const __m128i*>(p)),
                                       widen(_mm_load_si128(reinterpret_cast<const __m128i*>(a))),
                                       widen(_mm_load_si128(reinterpret_cast<const __m128i*>(d))), weights4(w, false), k, r));
        for (int j = 0; j < n; ++j) top[(j0 + j) * stride] = p[j];
    }
}

constexpr int kSse2BandRows = 8;
constexpr int kSse2Groups = kSse2BandRows / 4;

template <bool Smooth>
void bandSse2(uint32_t* const* rows, const uint32_t* above, int cx, int sx, int iFirst, int iLast,
              const int16_t* weights, int stride, const Factors& f)
{
    const Consts128 k(f);
    Wide128 carry[kSse2Groups];
    {
        const int x = cx + sx * (iFirst - 1);
        for (int g = 0; g < kSse2Groups; ++g) {
            const uint32_t* const* r = rows + 4 * g;
            carry[g] = widen(_mm_setr_epi32(int(r[0][x]), int(r[1][x]), int(r[2][x]), int(r[3][x])));
        }
    }
    __m128i cols[kSse2Groups][4];
    for (int i = iFirst; i <= iLast;) {
        const int n = std::min(4, iLast - i + 1);
        const int x0 = sx > 0 ? cx + i : cx - i - (n - 1);
        for (int g = 0; g < kSse2Groups; ++g) {
            for (int j = 0; j < 4; ++j) {
                if (n == 4) {
                    cols[g][j] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[4 * g + j] + x0));
                    continue;
                }
                alignas(16) uint32_t buf[4] = {};
                std::memcpy(buf, rows[4 * g + j] + x0, size_t(n) * 4);
                cols[g][j] = _mm_load_si128(reinterpret_cast<const __m128i*>(buf));
            }
            transpose4(cols[g]);
        }
        for (int s = 0; s < n; ++s, ++i) {
            const int m = sx > 0 ? s : n - 1 - s;
            // The diagonal neighbour of each row is the previous row's pixel at column i - 1: the
            // row above the band for the first, the previous group's last for a group's first.
            const __m128i q = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(above[x0 + m - sx])), _mm_setzero_si128());
            Wide128 next[kSse2Groups];
            for (int g = 0; g < kSse2Groups; ++g) {
                const __m128d before = _mm_castsi128_pd(g == 0 ? _mm_unpacklo_epi64(q, q) : carry[g - 1].hi);
                const __m128d lo = _mm_castsi128_pd(carry[g].lo), hi = _mm_castsi128_pd(carry[g].hi);
                const Wide128 d = {_mm_castpd_si128(_mm_shuffle_pd(before, lo, 1)),
                                   _mm_castpd_si128(_mm_shuffle_pd(lo, hi, 1))};
                const Wide128 w = weights4(weights + int64_t(i) * stride + 4 * g, false);
                cols[g][m] = blend4<Smooth>(cols[g][m], carry[g], d, w, k, next[g]);
            }
            for (int g = 0; g < kSse2Groups; ++g) carry[g] = next[g];
        }
        for (int g = 0; g < kSse2Groups; ++g) {
            transpose4(cols[g]);
            for (int j = 0; j < 4; ++j) {
                if (n == 4) {
                    _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[4 * g + j] + x0), cols[g][j]);
                    continue;
                }
                alignas(16) uint32_t buf[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(buf), cols[g][j]);
                std::memcpy(rows[4 * g + j] + x0, buf, size_t(n) * 4);
            }
        }
    }
}

struct PackedLoops {
    radial::RowFn row;
    radial::ColumnFn column;
    radial::BandFn band;
    int bandRows;
};

// Every pixel of the image through the packed loops. `byColumn` holds the weights column by
// column (weight(i, k) at i * height + k, padded for a band's last rows), `spare` one row that
// takes a band's rows beyond the image.
template <bool Smooth>
void radialPacked(uint32_t* pixels, int width, int height, int cx, int cy, const int16_t* weights,
                  const int16_t* byColumn, uint32_t* spare, const Factors& f, const PackedLoops& loops)
{
    // The centre row outwards from the centre pixel (which blends with itself), each pixel from its
    // filtered neighbour closer to the centre.
    uint32_t* centreRow = pixels + int64_t(cy) * width;
    centreRow[cx] = radial::blendPixel<Smooth>(centreRow[cx], centreRow[cx], centreRow[cx], weights[0], f);
    for (int sx : {1, -1}) {
        const int last = sx > 0 ? width - 1 - cx : cx;
        for (int i = 1; i <= last; ++i) {
            uint32_t& p = centreRow[cx + sx * i];
            const uint32_t n = centreRow[cx + sx * (i - 1)];
            p = radial::blendPixel<Smooth>(p, n, n, weights[i], f);
        }
    }
    // The centre column outwards, both neighbours the pixel one row closer.
    for (int dy : {1, -1}) {
        const int rows = dy > 0 ? height - 1 - cy : cy;
        for (int k = 1; k <= rows; ++k) {
            uint32_t* p = pixels + int64_t(cy + dy * k) * width + cx;
            const uint32_t n = p[-int64_t(dy) * width];
            *p = radial::blendPixel<Smooth>(*p, n, n, weights[int64_t(k) * width], f);
        }
    }
    uint32_t* bandRows[radial::kAvx2BandRows > kSse2BandRows ? radial::kAvx2BandRows : kSse2BandRows];
    const int r = loops.bandRows;
    for (int sx : {1, -1}) {
        const int last = sx > 0 ? width - 1 - cx : cx;
        for (int dy : {1, -1}) {
            const int kLast = dy > 0 ? height - 1 - cy : cy;
            auto rowAt = [&](int k) { return pixels + int64_t(cy + dy * k) * width; };
            for (int k0 = 1; k0 <= kLast; k0 += r) {
                const int iBand = k0 + r - 1; // from this column on, every row of the band takes the band loop
                for (int k = k0; k < k0 + r; ++k) {
                    if (k <= kLast)
                        loops.row(rowAt(k), rowAt(k - 1), weights + int64_t(k) * width, cx, sx, 1, std::min(k, last + 1), f);
                    // The band's corner before iBand: column i = k of the rows k0 .. k, which need
                    // only column k - 1.
                    if (k < iBand && k <= last)
                        loops.column(rowAt(k0) + cx + sx * k, int64_t(dy) * width, std::min(k, kLast) - k0 + 1, sx,
                                     byColumn + int64_t(k) * height + k0, f);
                }
                if (iBand > last) continue;
                for (int j = 0; j < r; ++j) bandRows[j] = k0 + j <= kLast ? rowAt(k0 + j) : spare;
                loops.band(bandRows, rowAt(k0 - 1), cx, sx, iBand, last, byColumn + k0, height, f);
            }
        }
    }
}

template <bool Smooth>
void radialSse2(uint32_t* pixels, int width, int height, int cx, int cy, const int16_t* weights,
                const int16_t* byColumn, uint32_t* spare, const Factors& f)
{
    radialPacked<Smooth>(pixels, width, height, cx, cy, weights, byColumn, spare, f,
                         {&rowSse2<Smooth>, &columnSse2<Smooth>, &bandSse2<Smooth>, kSse2BandRows});
}

template <bool Smooth>
void radialAvx2(uint32_t* pixels, int width, int height, int cx, int cy, const int16_t* weights,
                const int16_t* byColumn, uint32_t* spare, const Factors& f)
{
    const PackedLoops loops = Smooth ? PackedLoops{&radial::rowSmoothAvx2, &radial::columnSmoothAvx2, &radial::bandSmoothAvx2, radial::kAvx2BandRows}
                                     : PackedLoops{&radial::rowFastAvx2, &radial::columnFastAvx2, &radial::bandFastAvx2, radial::kAvx2BandRows};
    radialPacked<Smooth>(pixels, width, height, cx, cy, weights, byColumn, spare, f, loops);
}

template <bool Smooth>
void radialScalar(uint32_t* pixels, int width, int height, int cx, int cy, const int16_t* weights, const int16_t*,
                  uint32_t*, const Factors& f)
{
    radialT<ScalarLanes, Smooth>(pixels, width, height, cx, cy, weights, f);
}

// The loops by mode (the last row, fast, takes every other mode) at every SIMD level.
using RadialFn = void (*)(uint32_t*, int, int, int, int, const int16_t*, const int16_t*, uint32_t*, const Factors&);
struct RadialRow {
    int mode;
    RadialFn loops[kSimdLevelCount];
};
constexpr RadialRow kRadialLoops[] = {
    {int(FxRadial::Mode::Smooth), {&radialScalar<true>, &radialSse2<true>, TL_AVX2_LOOP(&radialAvx2<true>)}},
    {kAnyMode, {&radialScalar<false>, &radialSse2<false>, TL_AVX2_LOOP(&radialAvx2<false>)}},
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
    m_weightsByColumn.resize(size_t(width) * size_t(height) + radial::kAvx2BandRows);
    m_spareRow.resize(size_t(width));
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
            m_weightsByColumn[size_t(dx) * size_t(height) + size_t(dy)] = int16_t(weight);
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
    radial::Factors f;
    f.e = int((1.0f - m_strength) * 16384.0f);
    f.f = int((m_strength + m_boost) * 16384.0f);
    f.m = int((1.0f - m_strength) * 256.0f);
    f.a = int((m_strength + m_boost) * 256.0f);
    const RadialFn radial = loopForLevel(rowForMode(kRadialLoops, m_mode).loops, simdLevel());
    radial(m_pScreen->m_pPixels, m_width, m_height, m_centreX, m_centreY, m_weights.data(), m_weightsByColumn.data(),
           m_spareRow.data(), f);
}

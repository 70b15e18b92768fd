// The span loop of the polygon filler, written once: a source yields each pixel's colour (and a
// weight or a keep flag), the pixel operation comes from the blend-kernel family, the depth test
// and write are masks. Four pixels per SSE2 step with the scalar twin for the tail; the forced
// scalar path runs the twin alone; eight pixels per AVX2 step in PolySpanAvx2.h. Internal to the
// PolySpan*.cpp files.
#pragma once

#include <emmintrin.h>

#include <cstdint>
#include <cstddef>

#include "image/BlendKernels.h"
#include "image/Depth.h"
#include "raster/PolySpan.h"

namespace polyspan {

// --- the pixel operations as rules of the blend-kernel family ----------------------------------
// Plain: the operation itself. Weighing sources (kModulated) turn each operation into its weighted
// form with a per-pixel weight in every byte (Weight::Map): replace, average and alpha blend
// become Weighted; add and scaled add AddWeighted; subtract and scaled subtract SubWeighted.
template <PixelOp Op, bool kModulated>
struct OpRule;

template <PixelOp Op>
struct OpRule<Op, false> {
    static constexpr blend::Rule rule = Op == PixelOp::Replace         ? blend::Rule::Copy
                                        : Op == PixelOp::Average       ? blend::Rule::Half
                                        : Op == PixelOp::Alpha         ? blend::Rule::Weighted
                                        : Op == PixelOp::Add           ? blend::Rule::Add
                                        : Op == PixelOp::Sub           ? blend::Rule::Sub
                                        : Op == PixelOp::AddScaled     ? blend::Rule::AddWeighted
                                        : Op == PixelOp::SubScaled     ? blend::Rule::SubWeighted
                                                                       : blend::Rule::Weighted;
    static constexpr blend::Weight weight =
        Op == PixelOp::Alpha || Op == PixelOp::AddScaled || Op == PixelOp::SubScaled ? blend::Weight::Opacity
        : Op == PixelOp::TexelWeighted                                               ? blend::Weight::Map
                                                                                     : blend::Weight::None;
};

template <PixelOp Op>
struct OpRule<Op, true> {
    static constexpr blend::Rule rule = Op == PixelOp::Add || Op == PixelOp::AddScaled   ? blend::Rule::AddWeighted
                                        : Op == PixelOp::Sub || Op == PixelOp::SubScaled ? blend::Rule::SubWeighted
                                                                                         : blend::Rule::Weighted;
    static constexpr blend::Weight weight = blend::Weight::Map;
};

// --- sources -----------------------------------------------------------------------------------
// next(m, keep) returns the colour of the current pixel and steps to the next one; m is the weight
// (weighing sources: 0..255; TexelWeighted: the texel, a weight per byte), keep clears for pixels
// a stencil leaves alone.

// Palette index from a 16.16 value, held to 0..255 (rounding may step just outside).
inline uint32_t paletteIndex(uint32_t q)
{
    const int32_t i = int32_t(q) >> 16;
    return uint32_t(i < 0 ? 0 : i > 255 ? 255 : i);
}

struct SrcFlat {
    static constexpr bool kModulated = false, kStencil = false, kTexelWeight = false;
    uint32_t colour;
    SrcFlat(const SpanRun&, const SpanContext& c) : colour(c.flat) {}
    uint32_t next(uint32_t&, uint32_t&) const { return colour; }
    void skip(uint32_t) {}
};

struct SrcPalette {
    static constexpr bool kModulated = false, kStencil = false, kTexelWeight = false;
    const uint32_t* palette;
    uint32_t q, dq;
    SrcPalette(const SpanRun& r, const SpanContext& c) : palette(c.palette), q(r.light.at), dq(r.light.step) {}
    void skip(uint32_t k) { q += k * dq; }
    uint32_t next(uint32_t&, uint32_t&)
    {
        const uint32_t s = palette[paletteIndex(q)];
        q += dq;
        return s;
    }
};

struct SrcPaletteWeight {
    static constexpr bool kModulated = true, kStencil = false, kTexelWeight = false;
    const uint32_t* palette;
    uint32_t q, dq, w, dw;
    SrcPaletteWeight(const SpanRun& r, const SpanContext& c)
        : palette(c.palette), q(r.light.at), dq(r.light.step), w(r.weight.at), dw(r.weight.step)
    {
    }
    void skip(uint32_t k) { q += k * dq, w += k * dw; }
    uint32_t next(uint32_t& m, uint32_t&)
    {
        const uint32_t s = palette[paletteIndex(q)];
        m = paletteIndex(w);
        q += dq;
        w += dw;
        return s;
    }
};

// Texel at 16.16 texel coordinates (u, v). Nearest: texel x = (u >> 16) & maskU, y likewise,
// index (y << shiftU) + x. Bilinear: 12-bit fractions of u and v; the right and lower neighbours
// are the next pixel and the next row in memory (not wrapped), inside the guard rows.
template <bool kBilinear>
inline uint32_t fetchTexel(const SpanContext& c, uint32_t u, uint32_t v)
{
    const int64_t i = (int64_t((v >> 16) & c.maskV) << c.shiftU) + ((u >> 16) & c.maskU);
    if constexpr (kBilinear) {
        const uint32_t* p = c.texels + i;
        return blend::scalar::bilinear(p[0], p[1], p[c.texWidth], p[c.texWidth + 1], (u >> 4) & 0xFFF,
                                       (v >> 4) & 0xFFF);
    } else {
        return c.texels[i];
    }
}

// Four texels at once: the bilinear ones through the family's four-sample kernel.
template <bool kBilinear>
inline void fetchFour(const SpanContext& c, const uint32_t* u, const uint32_t* v, uint32_t* out)
{
    if constexpr (kBilinear) {
        __m128i top[4], bottom[4];
        for (int k = 0; k < 4; ++k) {
            const uint32_t* p = c.texels + (int64_t((v[k] >> 16) & c.maskV) << c.shiftU) + ((u[k] >> 16) & c.maskU);
            top[k] = blend::sse2::load2(p);
            bottom[k] = blend::sse2::load2(p + c.texWidth);
        }
        const __m128i mask12 = _mm_set1_epi32(0xFFF);
        const __m128i fx = _mm_and_si128(_mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(u)), 4), mask12);
        const __m128i fy = _mm_and_si128(_mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(v)), 4), mask12);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), blend::sse2::bilinearFour(top, bottom, fx, fy));
    } else {
        for (int k = 0; k < 4; ++k) out[k] = fetchTexel<false>(c, u[k], v[k]);
    }
}

template <bool kBilinear, bool kAlpha>
struct SrcTexture {
    static constexpr bool kModulated = kAlpha, kStencil = false, kTexelWeight = false;
    const SpanContext& ctx;
    uint32_t u, du, v, dv;
    SrcTexture(const SpanRun& r, const SpanContext& c) : ctx(c), u(r.u.at), du(r.u.step), v(r.v.at), dv(r.v.step) {}
    void skip(uint32_t k) { u += k * du, v += k * dv; }
    uint32_t next(uint32_t& m, uint32_t&)
    {
        const uint32_t t = fetchTexel<kBilinear>(ctx, u, v);
        if constexpr (kAlpha) m = t >> 24;
        u += du;
        v += dv;
        return t;
    }
    void nextFour(uint32_t* s, uint32_t* m)
    {
        alignas(16) uint32_t u4[4], v4[4];
        for (int k = 0; k < 4; ++k, u += du, v += dv) u4[k] = u, v4[k] = v;
        fetchFour<kBilinear>(ctx, u4, v4, s);
        if constexpr (kAlpha)
            for (int k = 0; k < 4; ++k) m[k] = s[k] >> 24;
    }
};

// Float to 16.16 texel coordinate, rounded to nearest; out of range gives 0x80000000 (the SSE
// conversion's defined result), which the masks then fold like any other value.
inline uint32_t texelFixed(float t) { return uint32_t(_mm_cvtss_si32(_mm_set_ss(t * 65536.0f))); }

template <bool kBilinear, bool kAlpha>
struct SrcPerspective {
    static constexpr bool kModulated = kAlpha, kStencil = false, kTexelWeight = false;
    const SpanContext& ctx;
    float w, dw, uw, duw, vw, dvw;
    int i = 0;
    SrcPerspective(const SpanRun& r, const SpanContext& c)
        : ctx(c), w(r.w.at), dw(r.w.step), uw(r.uw.at), duw(r.uw.step), vw(r.vw.at), dvw(r.vw.step)
    {
    }
    void skip(uint32_t k) { i += int(k); }
    uint32_t next(uint32_t& m, uint32_t&)
    {
        // Values at pixel i from the span start (not summed step by step), so rounding does not drift.
        const float k = float(i++);
        const float wi = w + k * dw;
        const uint32_t t =
            fetchTexel<kBilinear>(ctx, texelFixed((uw + k * duw) / wi), texelFixed((vw + k * dvw) / wi));
        if constexpr (kAlpha) m = t >> 24;
        return t;
    }
    // The next four pixels with one packed division for each coordinate; the same operations in
    // the same order as next(), so the results are bit for bit those of four next() calls.
    void nextFour(uint32_t* s, uint32_t* m)
    {
        const __m128 k = _mm_setr_ps(float(i), float(i + 1), float(i + 2), float(i + 3));
        i += 4;
        const __m128 wi = _mm_add_ps(_mm_set1_ps(w), _mm_mul_ps(k, _mm_set1_ps(dw)));
        const __m128 scale = _mm_set1_ps(65536.0f);
        const auto fixed = [&](float start, float step) {
            const __m128 t = _mm_div_ps(_mm_add_ps(_mm_set1_ps(start), _mm_mul_ps(k, _mm_set1_ps(step))), wi);
            return _mm_cvtps_epi32(_mm_mul_ps(t, scale));
        };
        alignas(16) uint32_t u4[4], v4[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(u4), fixed(uw, duw));
        _mm_store_si128(reinterpret_cast<__m128i*>(v4), fixed(vw, dvw));
        fetchFour<kBilinear>(ctx, u4, v4, s);
        if constexpr (kAlpha)
            for (int j = 0; j < 4; ++j) m[j] = s[j] >> 24;
    }
};

// t * c >> 8 per byte.
inline uint32_t modulateBytes(uint32_t t, uint32_t c)
{
    uint32_t out = 0;
    for (int b = 0; b < 32; b += 8) out |= ((((t >> b) & 0xFF) * ((c >> b) & 0xFF)) >> 8) << b;
    return out;
}

template <bool kBilinear, Combine C, bool kAlpha>
struct SrcLitTexture {
    static constexpr bool kModulated = kAlpha, kStencil = C == Combine::Stencil,
                          kTexelWeight = C == Combine::TexelWeight;
    const SpanContext& ctx;
    uint32_t q, dq, u, du, v, dv;
    SrcLitTexture(const SpanRun& r, const SpanContext& c)
        : ctx(c), q(r.light.at), dq(r.light.step), u(r.u.at), du(r.u.step), v(r.v.at), dv(r.v.step)
    {
    }
    void skip(uint32_t k) { q += k * dq, u += k * du, v += k * dv; }
    uint32_t next(uint32_t& m, uint32_t& keep)
    {
        const uint32_t c = ctx.palette[paletteIndex(q)];
        const uint32_t t = fetchTexel<kBilinear>(ctx, u, v);
        q += dq;
        u += du;
        v += dv;
        if constexpr (kAlpha) m = t >> 24;
        if constexpr (C == Combine::Sub) return blend::scalar::apply<blend::Rule::Sub>(t, c, 0);
        else if constexpr (C == Combine::Add) return blend::scalar::apply<blend::Rule::Add>(t, c, 0);
        else if constexpr (C == Combine::Mul) return modulateBytes(t, c);
        else if constexpr (C == Combine::Stencil) keep = t != 0;
        else m = t;  // TexelWeight: the texel is the weight of each byte
        return c;
    }
    void nextFour(uint32_t* s, uint32_t* m)
        requires(C == Combine::Sub || C == Combine::Add || C == Combine::Mul)
    {
        alignas(16) uint32_t c[4], u4[4], v4[4];
        for (int k = 0; k < 4; ++k, q += dq, u += du, v += dv) {
            c[k] = ctx.palette[paletteIndex(q)];
            u4[k] = u, v4[k] = v;
        }
        fetchFour<kBilinear>(ctx, u4, v4, s);
        const __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        const __m128i cv = _mm_load_si128(reinterpret_cast<const __m128i*>(c));
        __m128i out;
        if constexpr (C == Combine::Sub) {
            out = _mm_subs_epu8(t, cv);
        } else if constexpr (C == Combine::Add) {
            out = _mm_adds_epu8(t, cv);
        } else {
            // t * c >> 8 per byte, in 16-bit lanes (products up to 65025)
            const __m128i zero = _mm_setzero_si128();
            const __m128i lo = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(t, zero), _mm_unpacklo_epi8(cv, zero)), 8);
            const __m128i hi = _mm_srli_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(t, zero), _mm_unpackhi_epi8(cv, zero)), 8);
            out = _mm_packus_epi16(lo, hi);
        }
        if constexpr (kAlpha)
            for (int k = 0; k < 4; ++k) m[k] = s[k] >> 24;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(s), out);
    }
};

// --- the loop ----------------------------------------------------------------------------------

template <class Src, PixelOp Op, DepthMode Dm>
struct Span {
    using R = OpRule<Op, Src::kModulated>;
    static constexpr bool kMasked = Src::kStencil || Dm != DepthMode::Off;

    // The weight pixel the rule reads: weighing sources put their weight in every byte.
    static uint32_t mapOf(uint32_t m, const SpanContext& c)
    {
        if constexpr (Src::kModulated) return ((m * c.modFactor) >> 8) * 0x01010101u;
        else return m;
    }

    // One pixel: the scalar twin's body and the SIMD loop's tail. A pixel behind the stored depth
    // only steps the source.
    static void one(const SpanRun& r, const SpanContext& c, Src& src, int i, uint32_t z)
    {
        if constexpr (Dm != DepthMode::Off) {
            if (!depthPasses(r.depth[i], z)) return src.skip(1);
        }
        uint32_t m = 0, keep = 1;
        const uint32_t s = src.next(m, keep);
        if (!keep) return;
        r.dst[i] = blend::blend1<R::rule, R::weight>(r.dst[i], s, mapOf(m, c), c.alpha);
        if constexpr (Dm == DepthMode::TestWrite) r.depth[i] = z;
    }

    static void scalar(const SpanRun& r, const SpanContext& c)
    {
        Src src(r, c);
        uint32_t z = r.z;
        for (int i = 0; i < r.n; ++i, z += r.dz) one(r, c, src, i, z);
    }

    static void simd(const SpanRun& r, const SpanContext& c)
    {
        Src src(r, c);
        const __m128i a16 = _mm_set1_epi16(int16_t(c.alpha));
        const __m128i ones = _mm_set1_epi32(-1), zero = _mm_setzero_si128();
        // Depths biased by 2^31 so the signed compare orders them as unsigned.
        const __m128i bias = _mm_set1_epi32(INT32_MIN);
        __m128i zl = _mm_xor_si128(_mm_setr_epi32(int32_t(r.z), int32_t(r.z + r.dz), int32_t(r.z + 2 * r.dz),
                                                  int32_t(r.z + 3 * r.dz)),
                                   bias);
        const __m128i dz4 = _mm_set1_epi32(int32_t(4 * r.dz));
        int i = 0;
        for (; i + 4 <= r.n; i += 4) {
            // Depth first: four pixels all behind the stored depths only step the source.
            __m128i pass = ones, zb = zero;
            __m128i* zp = nullptr;
            if constexpr (Dm != DepthMode::Off) {
                // drawn where z >= stored (depthPasses), i.e. not (stored > z)
                zp = reinterpret_cast<__m128i*>(r.depth + i);
                zb = _mm_loadu_si128(zp);
                pass = _mm_andnot_si128(_mm_cmpgt_epi32(_mm_xor_si128(zb, bias), zl), ones);
                if (_mm_movemask_epi8(pass) == 0) {
                    src.skip(4);
                    zl = _mm_add_epi32(zl, dz4);
                    continue;
                }
            }
            alignas(16) uint32_t s[4], m[4] = {}, keep[4] = {1, 1, 1, 1};
            if constexpr (requires { src.nextFour(s, m); }) {
                src.nextFour(s, m);
                for (int k = 0; k < 4; ++k) m[k] = mapOf(m[k], c);
            } else {
                for (int k = 0; k < 4; ++k) {
                    s[k] = src.next(m[k], keep[k]);
                    m[k] = mapOf(m[k], c);
                }
            }
            const __m128i sv = _mm_load_si128(reinterpret_cast<const __m128i*>(s));
            __m128i* dp = reinterpret_cast<__m128i*>(r.dst + i);
            if constexpr (!kMasked && R::rule == blend::Rule::Copy) {
                _mm_storeu_si128(dp, sv);
                continue;
            }
            const __m128i d = _mm_loadu_si128(dp);
            __m128i out = blend::blend4<R::rule, R::weight>(d, sv, _mm_load_si128(reinterpret_cast<const __m128i*>(m)), a16);
            if constexpr (kMasked) {
                if constexpr (Src::kStencil)
                    pass = _mm_andnot_si128(_mm_cmpeq_epi32(_mm_load_si128(reinterpret_cast<const __m128i*>(keep)), zero),
                                            pass);
                out = _mm_or_si128(_mm_and_si128(pass, out), _mm_andnot_si128(pass, d));
                if constexpr (Dm == DepthMode::TestWrite)
                    _mm_storeu_si128(zp, _mm_or_si128(_mm_and_si128(pass, _mm_xor_si128(zl, bias)),
                                                      _mm_andnot_si128(pass, zb)));
                zl = _mm_add_epi32(zl, dz4);
            }
            _mm_storeu_si128(dp, out);
        }
        for (uint32_t z = r.z + uint32_t(i) * r.dz; i < r.n; ++i, z += r.dz) one(r, c, src, i, z);
    }
};

} // namespace polyspan

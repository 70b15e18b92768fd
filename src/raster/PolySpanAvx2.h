// The span loop of the polygon filler with AVX2: eight pixels per step, the last step of a span
// masked (no scalar tail), the same bytes as the scalar twin. Each source has an eight-lane
// form (Lanes8) that reads the scalar source's position and steps it by eight, so the lanes never
// drift from what the twin computes. Every function here carries TL_TARGET_AVX2; include this
// only from the PolySpan*Avx2.cpp files, whose loops are taken when the CPU has AVX2.
#pragma once

#include <immintrin.h>

#include <climits>
#include <cstdint>

#include "image/BlendKernelsAvx2.h"
#include "raster/PolySpanTable.h"

namespace polyspan::avx2 {

// The helpers of the loop are always inlined into it: left to itself the compiler keeps some of
// them (the eight-texel fetch, a source's step) as calls, which costs the loop a third of its speed.
#define TL_AVX2_INLINE TL_TARGET_AVX2 inline __attribute__((always_inline))

TL_AVX2_INLINE __m256i iota() { return _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7); }

// Lanes x, x + dx, ..., x + 7 dx, modulo 2^32 as the scalar steps wrap.
TL_AVX2_INLINE __m256i ramp(uint32_t x, __m256i kdx)
{
    return _mm256_add_epi32(_mm256_set1_epi32(int32_t(x)), kdx);
}
TL_AVX2_INLINE __m256i steps(uint32_t dx) { return _mm256_mullo_epi32(iota(), _mm256_set1_epi32(int32_t(dx))); }

// paletteIndex per lane: the whole part held to 0..255.
TL_AVX2_INLINE __m256i paletteIndex8(__m256i q)
{
    return _mm256_min_epi32(_mm256_max_epi32(_mm256_srai_epi32(q, 16), _mm256_setzero_si256()), _mm256_set1_epi32(255));
}

// p[idx[0]] .. p[idx[7]]. The gather instruction: on this machine class it is at least as fast as
// eight broadcast loads kept by blends.
TL_AVX2_INLINE __m256i gather8(const uint32_t* p, __m256i idx)
{
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(p), idx, 4);
}

// The texture as the eight-lane fetch reads it, taken from the context once per span: held in
// registers, not read again through the context after every store of the loop.
struct Texels8 {
    __m128i shift;
    __m256i maskU, maskV;
    const uint32_t* top;
    const uint32_t* bottom;  // the row below (bilinear)
    TL_AVX2_INLINE explicit Texels8(const SpanContext& c)
        : shift(_mm_cvtsi32_si128(c.shiftU)), maskU(_mm256_set1_epi32(int32_t(c.maskU))),
          maskV(_mm256_set1_epi32(int32_t(c.maskV))), top(c.texels), bottom(c.texels + c.texWidth)
    {
    }
};

// The 16-bit fraction of each lane in both of its 16-bit halves (one byte shuffle).
TL_AVX2_INLINE __m256i fraction2(__m256i x)
{
    const __m256i low = _mm256_setr_epi8(0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13,  //
                                         0, 1, 0, 1, 4, 5, 4, 5, 8, 9, 8, 9, 12, 13, 12, 13);
    return _mm256_shuffle_epi8(x, low);
}

// fetchTexel on eight 16.16 coordinates. The texel index fits 32 bits (a texture's size does).
template <bool kBilinear>
TL_AVX2_INLINE __m256i texels8(const Texels8& c, __m256i u, __m256i v)
{
    const __m256i x = _mm256_and_si256(_mm256_srli_epi32(u, 16), c.maskU);
    const __m256i y = _mm256_and_si256(_mm256_srli_epi32(v, 16), c.maskV);
    const __m256i idx = _mm256_add_epi32(_mm256_sll_epi32(y, c.shift), x);
    if constexpr (kBilinear) {
        // Pixel pairs p[i], p[i + 1] by 64-bit gathers: samples 0, 2, 4, 6 and 1, 3, 5, 7.
        const __m256i order = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
        const __m256i split = _mm256_permutevar8x32_epi32(idx, order);
        const __m128i even = _mm256_castsi256_si128(split), odd = _mm256_extracti128_si256(split, 1);
        const long long* t = reinterpret_cast<const long long*>(c.top);
        const long long* b = reinterpret_cast<const long long*>(c.bottom);
        __m256i p00, p10, p01, p11;
        blend::avx2::unpair(_mm256_i32gather_epi64(t, even, 4), _mm256_i32gather_epi64(t, odd, 4), p00, p10);
        blend::avx2::unpair(_mm256_i32gather_epi64(b, even, 4), _mm256_i32gather_epi64(b, odd, 4), p01, p11);
        return blend::avx2::bilinearEight(p00, p10, p01, p11, fraction2(u), fraction2(v));
    } else {
        return gather8(c.top, idx);
    }
}

// --- sources in eight lanes ---------------------------------------------------------------------
// eight(src, m, keep) returns the colours of the next eight pixels and steps src past them; m
// receives the weights (weighing sources: 0..255 per lane; texel-weighted: the texel), keep
// all-ones lanes for the pixels a stencil draws. A source without a form here has no AVX2 loop.
template <class Src>
struct Lanes8;

template <>
struct Lanes8<SrcFlat> {
    __m256i colour;
    TL_AVX2_INLINE Lanes8(const SpanRun&, const SpanContext& c) : colour(_mm256_set1_epi32(int32_t(c.flat))) {}
    TL_AVX2_INLINE __m256i eight(SrcFlat&, __m256i&, __m256i&) const { return colour; }
};

template <>
struct Lanes8<SrcPalette> {
    __m256i kdq;
    TL_AVX2_INLINE Lanes8(const SpanRun& r, const SpanContext&) : kdq(steps(r.light.step)) {}
    TL_AVX2_INLINE __m256i eight(SrcPalette& s, __m256i&, __m256i&) const
    {
        const __m256i q = ramp(s.q, kdq);
        s.skip(8);
        return gather8(s.palette, paletteIndex8(q));
    }
};

template <>
struct Lanes8<SrcPaletteWeight> {
    __m256i kdq, kdw;
    TL_AVX2_INLINE Lanes8(const SpanRun& r, const SpanContext&) : kdq(steps(r.light.step)), kdw(steps(r.weight.step)) {}
    TL_AVX2_INLINE __m256i eight(SrcPaletteWeight& s, __m256i& m, __m256i&) const
    {
        const __m256i q = ramp(s.q, kdq);
        m = paletteIndex8(ramp(s.w, kdw));
        s.skip(8);
        return gather8(s.palette, paletteIndex8(q));
    }
};

template <bool kBilinear, bool kAlpha>
struct Lanes8<SrcTexture<kBilinear, kAlpha>> {
    __m256i kdu, kdv;
    Texels8 tex;
    TL_AVX2_INLINE Lanes8(const SpanRun& r, const SpanContext& c) : kdu(steps(r.u.step)), kdv(steps(r.v.step)), tex(c) {}
    TL_AVX2_INLINE __m256i eight(SrcTexture<kBilinear, kAlpha>& s, __m256i& m, __m256i&) const
    {
        const __m256i t = texels8<kBilinear>(tex, ramp(s.u, kdu), ramp(s.v, kdv));
        s.skip(8);
        if constexpr (kAlpha) m = _mm256_srli_epi32(t, 24);
        return t;
    }
};

// The perspective values at pixel i + k from the span start with the operations of next() in
// the same order (float(i) + k is exact, spans being far shorter than 2^24).
template <bool kBilinear, bool kAlpha>
struct Lanes8<SrcPerspective<kBilinear, kAlpha>> {
    __m256 w, dw, uw, duw, vw, dvw;
    Texels8 tex;
    TL_AVX2_INLINE Lanes8(const SpanRun& r, const SpanContext& c)
        : w(_mm256_set1_ps(r.w.at)), dw(_mm256_set1_ps(r.w.step)), uw(_mm256_set1_ps(r.uw.at)),
          duw(_mm256_set1_ps(r.uw.step)), vw(_mm256_set1_ps(r.vw.at)), dvw(_mm256_set1_ps(r.vw.step)), tex(c)
    {
    }
    TL_AVX2_INLINE static __m256i fixed(__m256 start, __m256 step, __m256 k, __m256 wi)
    {
        const __m256 t = _mm256_div_ps(_mm256_add_ps(start, _mm256_mul_ps(k, step)), wi);
        return _mm256_cvtps_epi32(_mm256_mul_ps(t, _mm256_set1_ps(65536.0f)));
    }
    TL_AVX2_INLINE __m256i eight(SrcPerspective<kBilinear, kAlpha>& s, __m256i& m, __m256i&) const
    {
        const __m256 k = _mm256_add_ps(_mm256_set1_ps(float(s.i)), _mm256_cvtepi32_ps(iota()));
        s.skip(8);
        const __m256 wi = _mm256_add_ps(w, _mm256_mul_ps(k, dw));
        const __m256i t = texels8<kBilinear>(tex, fixed(uw, duw, k, wi), fixed(vw, dvw, k, wi));
        if constexpr (kAlpha) m = _mm256_srli_epi32(t, 24);
        return t;
    }
};

template <bool kBilinear, Combine C, bool kAlpha>
struct Lanes8<SrcLitTexture<kBilinear, C, kAlpha>> {
    __m256i kdq, kdu, kdv;
    Texels8 tex;
    const uint32_t* palette;
    TL_AVX2_INLINE Lanes8(const SpanRun& r, const SpanContext& c)
        : kdq(steps(r.light.step)), kdu(steps(r.u.step)), kdv(steps(r.v.step)), tex(c), palette(c.palette)
    {
    }
    TL_AVX2_INLINE __m256i eight(SrcLitTexture<kBilinear, C, kAlpha>& s, __m256i& m, __m256i& keep) const
    {
        const __m256i c = gather8(palette, paletteIndex8(ramp(s.q, kdq)));
        const __m256i t = texels8<kBilinear>(tex, ramp(s.u, kdu), ramp(s.v, kdv));
        s.skip(8);
        if constexpr (kAlpha) m = _mm256_srli_epi32(t, 24);
        if constexpr (C == Combine::Sub) {
            return _mm256_subs_epu8(t, c);
        } else if constexpr (C == Combine::Add) {
            return _mm256_adds_epu8(t, c);
        } else if constexpr (C == Combine::Mul) {
            // t * c >> 8 per byte, in 16-bit lanes (products up to 65025)
            const __m256i zero = _mm256_setzero_si256();
            const __m256i lo = _mm256_srli_epi16(
                _mm256_mullo_epi16(_mm256_unpacklo_epi8(t, zero), _mm256_unpacklo_epi8(c, zero)), 8);
            const __m256i hi = _mm256_srli_epi16(
                _mm256_mullo_epi16(_mm256_unpackhi_epi8(t, zero), _mm256_unpackhi_epi8(c, zero)), 8);
            return _mm256_packus_epi16(lo, hi);
        } else if constexpr (C == Combine::Stencil) {
            keep = _mm256_xor_si256(_mm256_cmpeq_epi32(t, _mm256_setzero_si256()), _mm256_set1_epi32(-1));
            return c;
        } else {
            m = t;  // TexelWeight: the texel is the weight of each byte
            return c;
        }
    }
};

// --- the loop -----------------------------------------------------------------------------------

template <class Src, PixelOp Op, DepthMode Dm>
struct Span8 {
    using Twin = Span<Src, Op, Dm>;
    using R = typename Twin::R;
    static constexpr bool kMasked = Twin::kMasked;

    struct State {
        // The span's pointers held here, not read through the run again after every store
        // (a store through them could, as far as the compiler knows, change the run).
        uint32_t* dst;
        uint32_t* depth;
        Src src;
        Lanes8<Src> lanes;
        __m256i a16, mod, zl, dz8;
    };

    // Weighing sources: w = (m * modFactor) >> 8 (m <= 255 and modFactor <= 256, so the 16-bit
    // product is exact), the weight of every byte of the pixel. The weighted rules read it per
    // 16-bit lane for the even and the odd bytes alike, so it goes straight into both halves.
    TL_AVX2_INLINE static __m256i weightOf(__m256i m, __m256i mod)
    {
        const __m256i x = _mm256_srli_epi32(_mm256_mullo_epi16(m, mod), 8);
        const __m256i spread = _mm256_setr_epi8(0, -1, 0, -1, 4, -1, 4, -1, 8, -1, 8, -1, 12, -1, 12, -1,  //
                                                0, -1, 0, -1, 4, -1, 4, -1, 8, -1, 8, -1, 12, -1, 12, -1);
        return _mm256_shuffle_epi8(x, spread);
    }

    TL_AVX2_INLINE static __m256i combine(__m256i d, __m256i s, __m256i m, const State& st)
    {
        if constexpr (Src::kModulated) {
            static_assert(R::weight == blend::Weight::Map);
            const __m256i w = weightOf(m, st.mod);
            return blend::avx2::apply<R::rule>(d, s, w, w);
        } else {
            return blend::avx2::blend8<R::rule, R::weight>(d, s, m, st.a16);
        }
    }

    // How a step meets the span: a whole step inside it; the last pixels of a span shorter than
    // a step (masked loads and stores); or the last step of a longer one, moved back to end with
    // the span so that it loads and stores whole (the pixels the previous step drew are written
    // back unchanged).
    enum class Part { Whole, Short, Last };

    template <bool kMaskedIo>
    TL_AVX2_INLINE static __m256i load(const int* p, __m256i lanes)
    {
        return kMaskedIo ? _mm256_maskload_epi32(p, lanes) : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
    template <bool kMaskedIo>
    TL_AVX2_INLINE static void store(int* p, __m256i lanes, __m256i x)
    {
        if constexpr (kMaskedIo) _mm256_maskstore_epi32(p, lanes, x);
        else _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x);
    }

    // Pixels i .. i + 7; `lanes` are the pixels to draw (all of them for a whole step).
    template <Part P>
    TL_AVX2_INLINE static void step(State& st, int i, __m256i lanes)
    {
        constexpr bool kMaskedIo = P == Part::Short, kPartial = P != Part::Whole;
        const __m256i ones = _mm256_set1_epi32(-1);
        __m256i pass = kPartial ? lanes : ones, zb = _mm256_setzero_si256();
        int* zp = nullptr;
        if constexpr (Dm != DepthMode::Off) {
            // drawn where z >= stored (depthPasses), i.e. not (stored > z); depths biased by 2^31
            // so the signed compare orders them as unsigned
            zp = reinterpret_cast<int*>(st.depth + i);
            zb = load<kMaskedIo>(zp, lanes);
            const __m256i behind = _mm256_cmpgt_epi32(_mm256_xor_si256(zb, _mm256_set1_epi32(INT32_MIN)), st.zl);
            pass = _mm256_andnot_si256(behind, pass);
            if (_mm256_testz_si256(pass, pass)) {
                st.src.skip(8);
                st.zl = _mm256_add_epi32(st.zl, st.dz8);
                return;
            }
        }
        __m256i m = _mm256_setzero_si256(), keep = ones;
        const __m256i s = st.lanes.eight(st.src, m, keep);
        int* dp = reinterpret_cast<int*>(st.dst + i);
        if constexpr (!kMasked && R::rule == blend::Rule::Copy) {
            // A moved-back last step stores again the colours the previous step stored.
            store<kMaskedIo>(dp, lanes, s);
            return;
        }
        const __m256i d = load<kMaskedIo>(dp, lanes);
        __m256i out = combine(d, s, m, st);
        if constexpr (kMasked || P == Part::Last) {
            if constexpr (Src::kStencil) pass = _mm256_and_si256(pass, keep);
            out = _mm256_blendv_epi8(d, out, pass);
            if constexpr (Dm == DepthMode::TestWrite)
                store<kMaskedIo>(zp, lanes, _mm256_blendv_epi8(zb, _mm256_xor_si256(st.zl, _mm256_set1_epi32(INT32_MIN)), pass));
            st.zl = _mm256_add_epi32(st.zl, st.dz8);
        }
        store<kMaskedIo>(dp, lanes, out);
    }

    // Depth test alone from pixel i on, while whole steps are hidden behind the stored depths: the
    // first pixel of the step that draws (or of the span's end). zl is stepped along.
    TL_AVX2_INLINE static int firstShown(const uint32_t* depth, int i, int n, __m256i& zl, __m256i dz8)
    {
        const __m256i bias = _mm256_set1_epi32(INT32_MIN);
        for (; i + 8 <= n; i += 8) {
            const __m256i zb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(depth + i));
            const __m256i behind = _mm256_cmpgt_epi32(_mm256_xor_si256(zb, bias), zl);
            if (!_mm256_testc_si256(behind, _mm256_set1_epi32(-1))) break;
            zl = _mm256_add_epi32(zl, dz8);
        }
        return i;
    }

    TL_TARGET_AVX2 static void run(const SpanRun& r, const SpanContext& c)
    {
        const int n = r.n;
        if (n <= 0) return;
        __m256i zl = _mm256_xor_si256(ramp(r.z, steps(r.dz)), _mm256_set1_epi32(INT32_MIN));
        const __m256i dz8 = _mm256_set1_epi32(int32_t(8 * r.dz));
        // Hidden steps at the start only step the depths: the sources are set up from the first
        // step that draws. A span hidden to its end still tries its last (moved-back) step.
        int i = 0;
        if constexpr (Dm != DepthMode::Off) {
            if (n >= 8) i = firstShown(r.depth, 0, n, zl, dz8);
            if (i == n) return;
        }
        State st{r.dst, r.depth, Src(r, c), Lanes8<Src>(r, c), _mm256_set1_epi16(int16_t(c.alpha)),
                 _mm256_set1_epi32(int32_t(c.modFactor)), zl, dz8};
        if (n < 8) return step<Part::Short>(st, 0, _mm256_cmpgt_epi32(_mm256_set1_epi32(n), iota()));
        st.src.skip(uint32_t(i));
        const uint32_t dz = r.dz;
        for (; i + 8 <= n; i += 8) step<Part::Whole>(st, i, _mm256_setzero_si256());
        if (i < n) {
            // Sources and depths back by the pixels the last step shares with the previous one
            // (the values wrap modulo 2^32 as the scalar steps do).
            const int back = i + 8 - n;
            st.src.skip(uint32_t(-back));
            st.zl = _mm256_sub_epi32(st.zl, _mm256_set1_epi32(int32_t(uint32_t(back) * dz)));
            step<Part::Last>(st, n - 8, _mm256_cmpgt_epi32(iota(), _mm256_set1_epi32(back - 1)));
        }
    }
};

template <class Src, PixelOp Op, DepthMode Dm>
struct Avx2Loop {
    static constexpr PolySpanFn fn = &Span8<Src, Op, Dm>::run;
};

template <class Src>
PolySpanFn findSpan(const SpanKey& key)
{
    return findSpanIn<Avx2Loop, Src>(key);
}

#undef TL_AVX2_INLINE

} // namespace polyspan::avx2

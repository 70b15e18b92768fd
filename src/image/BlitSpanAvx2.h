// The AVX2 column of the span table: eight destination pixels per step, the same bytes as the
// scalar loops. Defined (and instantiated for every rule/weight pair and fetch kind) in
// BlitSpanAvx2.cpp; call only when the CPU has AVX2.
#pragma once

#include <cstdint>

#include "image/BlitSpan.h"

namespace blit {

// Blends the whole blocks of eight pixels of a span and returns how many pixels that was (a
// multiple of 8, at most n); the caller finishes the span from there.
template <blend::Rule R, blend::Weight W, Fetch F>
TL_TARGET_AVX2 int64_t spanAvx2Blocks(uint32_t* d, int64_t n, const SpanSource& src);

} // namespace blit

// How a pixel operation picks its inner loop: from a table of rows, the first row that matches
// the call's parameters, the general row last; each row holds one loop per SIMD level. Picked
// once per call, never per pixel.
#pragma once

#include <cstddef>

#include "image/SimdLevel.h"

// A row's loop for a level: the row's own, or the nearest lower level's where it has none.
template <class Fn>
Fn loopForLevel(const Fn (&loops)[kSimdLevelCount], SimdLevel level)
{
    for (int i = int(level); i > 0; --i)
        if (loops[i]) return loops[i];
    return loops[0];
}

// Tables chosen by a mode (an int or an enum's value): a row's `mode` matches that value,
// kAnyMode every value.
constexpr int kAnyMode = -1;

// The first row whose mode matches; the last row when none does (tables end with kAnyMode).
template <class Row, size_t N, class Mode>
const Row& rowForMode(const Row (&table)[N], Mode mode)
{
    for (const Row& row : table)
        if (row.mode == int(mode) || row.mode == kAnyMode) return row;
    return table[N - 1];
}

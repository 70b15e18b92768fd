// Which inner loops the whole-image effects run: packed SSE2 or the scalar twins. Both give the
// same bytes; the scalar loops are the reference the packed ones are tested against.
#pragma once

enum class FxPath { Simd, Scalar };

// The path apply() takes: Simd unless the environment variable TL_FORCE_SCALAR is "1" when it is
// first asked (read once per process).
FxPath fxDefaultPath();

// The switch between the SSE2 kernels and their scalar twins, and the opacity weight.
#include "image/BlendKernels.h"

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace blend {

namespace {
// TL_FORCE_SCALAR=1 in the environment at the first call selects the scalar twins for good.
bool forcedByEnvironment()
{
    static const bool forced = [] {
        const char* v = std::getenv("TL_FORCE_SCALAR");
        return v && std::strcmp(v, "1") == 0;
    }();
    return forced;
}
std::atomic<bool> g_forceScalar{false};
} // namespace

bool simdEnabled() { return !forcedByEnvironment() && !g_forceScalar.load(std::memory_order_relaxed); }

void setForceScalar(bool force) { g_forceScalar.store(force, std::memory_order_relaxed); }

int opacityWeight(float opacity)
{
    // Opacity beyond 0..1 has no meaning for the weighted rules (255 - w must stay a byte).
    if (!(opacity == opacity)) return 0;  // NaN
    const long a = std::lround(double(opacity) * 255.0);
    return a < 0 ? 0 : a > 255 ? 255 : int(a);
}

} // namespace blend

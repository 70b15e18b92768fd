// The opacity weight of the weighted rules.
#include "image/BlendKernels.h"

#include <cmath>

namespace blend {

int opacityWeight(float opacity)
{
    // Opacity beyond 0..1 has no meaning for the weighted rules (255 - w must stay a byte).
    if (!(opacity == opacity)) return 0;  // NaN
    const long a = std::lround(double(opacity) * 255.0);
    return a < 0 ? 0 : a > 255 ? 255 : int(a);
}

} // namespace blend

#include "fx2d/FxPath.h"

#include <cstdlib>
#include <cstring>

FxPath fxDefaultPath()
{
    static const FxPath path = [] {
        const char* value = std::getenv("TL_FORCE_SCALAR");
        return (value && std::strcmp(value, "1") == 0) ? FxPath::Scalar : FxPath::Simd;
    }();
    return path;
}

// Component-wise comparison of points for the 3D math, modifier, skin and scene tests.
#pragma once

#include <gtest/gtest.h>

#include "foundation/Point3D.h"

inline void expectNear(const Point3D& got, const Point3D& want, float eps = 1e-4f)
{
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

// The vendored libm behind PortableMath.h against the C library: float functions within 1 ulp of
// the double function rounded to float, double functions within 1 ulp of the C library's own.
// A broken port (a lost table entry, a wrong reduction) misses by far more.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>

#include "foundation/PortableMath.h"

namespace {

// Distance in representable values; both NaN counts as equal.
int64_t ulps(float a, float b)
{
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0 : INT64_MAX;
    int32_t ia, ib;
    std::memcpy(&ia, &a, 4);
    std::memcpy(&ib, &b, 4);
    const int64_t oa = ia < 0 ? int64_t(INT32_MIN) - ia : ia, ob = ib < 0 ? int64_t(INT32_MIN) - ib : ib;
    return oa > ob ? oa - ob : ob - oa;
}

uint64_t ulps(double a, double b)
{
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b) ? 0 : UINT64_MAX;
    int64_t ia, ib;
    std::memcpy(&ia, &a, 8);
    std::memcpy(&ib, &b, 8);
    const __int128 oa = ia < 0 ? __int128(INT64_MIN) - ia : ia, ob = ib < 0 ? __int128(INT64_MIN) - ib : ib;
    return uint64_t(oa > ob ? oa - ob : ob - oa);
}

constexpr int kSteps = 20000;

// Step i of kSteps over [lo, hi]: even steps, or geometric ones (lo > 0) so that every binade of a
// wide range is met, as the long argument reductions need.
double step(double lo, double hi, int i, bool geometric)
{
    return geometric ? lo * std::pow(hi / lo, double(i) / kSteps) : lo + (hi - lo) * i / kSteps;
}

// Float x over [lo, hi]: f(x) against float(reference(double(x))).
void sweepFloat(const char* name, float (*f)(float), double (*reference)(double), double lo, double hi,
                bool geometric = false)
{
    for (int i = 0; i <= kSteps; ++i) {
        const float x = float(step(lo, hi, i, geometric));
        ASSERT_LE(ulps(f(x), float(reference(x))), 1) << name << "(" << x << ")";
    }
}

void sweepDouble(const char* name, double (*f)(double), double (*reference)(double), double lo, double hi,
                 bool geometric = false)
{
    for (int i = 0; i <= kSteps; ++i) {
        const double x = step(lo, hi, i, geometric);
        ASSERT_LE(ulps(f(x), reference(x)), 1u) << name << "(" << x << ")";
    }
}

} // namespace

TEST(PortableMath, FloatFunctionsRoundTheDoubleResult)
{
    sweepFloat("sin", pmath::sin, ::sin, -100.0, 100.0);
    sweepFloat("sin", pmath::sin, ::sin, 100.0, 3e38, true);  // the long argument reductions
    sweepFloat("cos", pmath::cos, ::cos, -100.0, 100.0);
    sweepFloat("cos", pmath::cos, ::cos, 100.0, 3e38, true);
    sweepFloat("tan", pmath::tan, ::tan, -1.57, 1.57);
    sweepFloat("asin", pmath::asin, ::asin, -1.0, 1.0);
    sweepFloat("acos", pmath::acos, ::acos, -1.0, 1.0);
    sweepFloat("exp", pmath::exp, ::exp, -105.0, 89.0);
    sweepFloat("log", pmath::log, ::log, 0.0, 2.0);
    sweepFloat("log", pmath::log, ::log, 1e-44, 3e38, true);
    for (int i = 0; i <= 200; ++i)
        for (int j = 0; j <= 200; ++j) {
            const float y = float(-50.0 + i * 0.5), x = float(-50.0 + j * 0.5);
            ASSERT_LE(ulps(pmath::atan2(y, x), float(std::atan2(double(y), double(x)))), 1) << y << ", " << x;
            const float b = float(i / 100.0), p = float(-20.0 + j * 0.6);
            ASSERT_LE(ulps(pmath::pow(b, p), float(std::pow(double(b), double(p)))), 1) << b << "^" << p;
        }
}

TEST(PortableMath, DoubleFunctionsMatchTheCLibrary)
{
    sweepDouble("sin", pmath::sin, ::sin, -1000.0, 1000.0);
    sweepDouble("sin", pmath::sin, ::sin, 1000.0, 1e308, true);
    sweepDouble("cos", pmath::cos, ::cos, -1000.0, 1000.0);
    sweepDouble("cos", pmath::cos, ::cos, 1000.0, 1e308, true);
    sweepDouble("acos", pmath::acos, ::acos, -1.0, 1.0);
    // The C library's own cbrt may be an ulp off: the long double one, rounded, is the reference.
    sweepDouble("cbrt", pmath::cbrt, [](double x) { return double(std::cbrt(static_cast<long double>(x))); }, -1e6, 1e6);
    for (int i = 0; i <= 200; ++i)
        for (int j = 0; j <= 200; ++j) {
            const double x = 1.0 + i * 0.5, y = -3.0 + j * 0.03;
            ASSERT_LE(ulps(pmath::pow(x, y), std::pow(x, y)), 1u) << x << "^" << y;
        }
}

// Running pixel code at every level of the process's SIMD switch: a scope that forces a level, a
// fixture that runs each test body once per level, and the one parity check (every level gives
// the scalar level's result).
#pragma once

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "image/SimdLevel.h"

// Forces a level for a scope, then goes back to the start-up choice.
class SimdLevelScope {
public:
    explicit SimdLevelScope(SimdLevel level) { forceSimdLevel(level); }
    ~SimdLevelScope() { resetSimdLevel(); }
    SimdLevelScope(const SimdLevelScope&) = delete;
    SimdLevelScope& operator=(const SimdLevelScope&) = delete;
};

// Runs `run` once per level this CPU has; every level must give what the scalar level gives
// (compared with ==, so a failure names the level, not the values). Returns the scalar level's
// result.
template <class Run>
auto atEveryLevel(Run run)
{
    auto reference = [&] {
        SimdLevelScope scope(SimdLevel::Scalar);
        return run();
    }();
    for (SimdLevel level : kAllSimdLevels) {
        if (level == SimdLevel::Scalar || !simdLevelSupported(level)) continue;
        SimdLevelScope scope(level);
        EXPECT_TRUE(run() == reference) << "SIMD level " << simdLevelName(level) << " differs from the scalar loops";
    }
    return reference;
}

// A fixture whose tests run once per level (instantiate with ValuesIn(kAllSimdLevels)); a level
// the CPU lacks is skipped.
class AtEveryLevel : public ::testing::TestWithParam<SimdLevel> {
protected:
    void SetUp() override
    {
        if (!simdLevelSupported(GetParam())) GTEST_SKIP() << simdLevelName(GetParam()) << " not on this CPU";
        forceSimdLevel(GetParam());
    }
    void TearDown() override { resetSimdLevel(); }
};

inline std::string levelName(const ::testing::TestParamInfo<SimdLevel>& info) { return simdLevelName(info.param); }

// Test names and failure messages show the level by name.
inline void PrintTo(SimdLevel level, std::ostream* os) { *os << simdLevelName(level); }

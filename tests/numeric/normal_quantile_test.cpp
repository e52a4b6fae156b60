// The AS 111 normal quantile: published values, the 0.42 split, faults.
#include <cmath>
#include <cstdint>
#include <limits>

#include <gtest/gtest.h>

#include "numeric/normal_quantile.h"

namespace {

struct QuantileCase {
    double p;
    double expected;   // AS 111's value, not the exact quantile
    double tolerance;  // half a unit in the last decimal given
};

class NormalQuantileValues : public ::testing::TestWithParam<QuantileCase> {};

TEST_P(NormalQuantileValues, ReproducesTheAlgorithmsValue)
{
    const QuantileCase c = GetParam();
    std::int32_t fault = 7;
    const double z = normal_quantile(&c.p, &fault);
    EXPECT_EQ(fault, 0);
    EXPECT_NEAR(z, c.expected, c.tolerance) << "p = " << c.p;
}

INSTANTIATE_TEST_SUITE_P(
    Published, NormalQuantileValues,
    ::testing::Values(
        // Central branch.
        QuantileCase{0.9, 1.281551563277, 5e-13},
        // Tail branch; 0.975 differs from the exact 1.959963984540 by AS 111's error.
        QuantileCase{0.975, 1.959963982288, 5e-13}, QuantileCase{0.025, -1.959963982288, 5e-13},
        QuantileCase{0.95, 1.644853627937, 5e-13}, QuantileCase{0.995, 2.575829300949, 5e-13},
        QuantileCase{0.999, 3.090232246771, 5e-13},
        // q = 0.08 - 0.5 is exactly -0.42: central. q = 0.92 - 0.5 rounds above 0.42: tail.
        QuantileCase{0.08, -1.405071557302, 5e-13}, QuantileCase{0.92, 1.405071562959, 5e-13},
        // The smallest positive double is inside (0, 1).
        QuantileCase{4.9e-324, -38.508860197, 5e-10}));

TEST(NormalQuantile, HalfGivesExactlyZero)
{
    const double p = 0.5;
    std::int32_t fault = 1;
    const double z = normal_quantile(&p, &fault);
    EXPECT_EQ(fault, 0);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(z), 0u);
}

TEST(NormalQuantile, SplitBranchesAreNotMirrorImages)
{
    const double low = 0.08;
    const double high = 0.92;
    std::int32_t fault = 0;
    const double z_low = normal_quantile(&low, &fault);
    const double z_high = normal_quantile(&high, &fault);
    EXPECT_NE(-z_low, z_high);
    EXPECT_GT(std::fabs(z_high + z_low), 1e-9);
}

TEST(NormalQuantile, ProbabilitiesOutsideTheOpenIntervalFault)
{
    const double outside[] = {0.0, 1.0, -0.5, 1.5, -0.0, std::numeric_limits<double>::infinity(),
                              std::numeric_limits<double>::quiet_NaN()};
    for (const double p : outside) {
        std::int32_t fault = 0;
        const double z = normal_quantile(&p, &fault);
        EXPECT_EQ(fault, 1) << "p = " << p;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(z), 0u) << "p = " << p;
    }
}

TEST(NormalQuantile, IsOddAwayFromTheSplit)
{
    // For p and 1 - p both exact in binary, the tail branch mirrors exactly.
    const double pairs[][2] = {{0.25, 0.75}, {0.125, 0.875}, {0.0625, 0.9375}, {0.001953125, 0.998046875}};
    for (const auto& pair : pairs) {
        std::int32_t fault = 0;
        EXPECT_EQ(normal_quantile(&pair[0], &fault), -normal_quantile(&pair[1], &fault)) << pair[0];
    }
}

}  // namespace

// The two critical-value methods: tabulated values, the anchor property, and
// the inputs without a value.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "cv/critical_value.h"
#include "host/host_toolkit.h"
#include "numeric/normal_quantile.h"

namespace {

// Values are tabulated to nine decimals.
constexpr double NINE_DECIMALS = 5e-10;

double ljung(std::int32_t n, double alpha)
{
    return ljung_critical_value(&n, &alpha);
}

double corrected(std::int32_t n, double alpha)
{
    return corrected_critical_value(&n, &alpha);
}

bool is_missing_value(double value)
{
    return std::bit_cast<std::uint64_t>(value) == MISSING_VALUE_BITS;
}

struct Tabulated {
    std::int32_t n;
    double alpha;
    double expected;
};

// -- Ljung's asymptotic value -----------------------------------------------

class LjungValues : public ::testing::TestWithParam<Tabulated> {};

TEST_P(LjungValues, MatchTheTable)
{
    const Tabulated t = GetParam();
    EXPECT_NEAR(ljung(t.n, t.alpha), t.expected, NINE_DECIMALS) << "n = " << t.n << ", alpha = " << t.alpha;
}

INSTANTIATE_TEST_SUITE_P(
    Tabulated, LjungValues,
    ::testing::Values(Tabulated{100, 0.05, 3.810087572}, Tabulated{100, 0.01, 4.340470269},
                      Tabulated{100, 0.1, 3.581494389}, Tabulated{200, 0.05, 3.956458293},
                      Tabulated{1000, 0.05, 4.295354413}, Tabulated{2147483647, 0.05, 6.796951488},
                      // Not monotone for small n: minima at n = 7, 14 and 5.
                      Tabulated{2, 0.05, 3.979803694}, Tabulated{5, 0.05, 3.398454117},
                      Tabulated{7, 0.05, 3.383702274}, Tabulated{14, 0.01, 4.143286612},
                      Tabulated{5, 0.1, 3.011776527}));

TEST(Ljung, MinimaLieWhereTabulated)
{
    struct Minimum {
        double alpha;
        std::int32_t at;
    };
    for (const Minimum m : {Minimum{0.05, 7}, Minimum{0.01, 14}, Minimum{0.1, 5}}) {
        EXPECT_LT(ljung(m.at, m.alpha), ljung(m.at - 1, m.alpha)) << m.alpha;
        EXPECT_LT(ljung(m.at, m.alpha), ljung(m.at + 1, m.alpha)) << m.alpha;
    }
}

TEST(Ljung, SmallerLevelGivesLargerValue)
{
    for (const std::int32_t n : {2, 3, 10, 100, 100000, 2147483647}) {
        EXPECT_GT(ljung(n, 0.001), ljung(n, 0.01)) << n;
        EXPECT_GT(ljung(n, 0.01), ljung(n, 0.05)) << n;
        EXPECT_GT(ljung(n, 0.05), ljung(n, 0.1)) << n;
    }
}

// -- The corrected value ------------------------------------------------------

// n, then the values at alpha = 0.05, 0.01 and 0.1.
struct CorrectedRow {
    std::int32_t n;
    double at_05, at_01, at_10;
};

constexpr CorrectedRow CORRECTED_TABLE[] = {
    {1, 1.959963982, 2.575829301, 1.644853628},      {2, 2.236476646, 2.806225284, 1.948821860},
    {3, 2.444906166, 2.969576348, 2.177415293},      {5, 2.745473781, 3.291717402, 2.480257629},
    {10, 3.087110345, 3.659623322, 2.823938539},     {20, 3.357541708, 3.935091378, 3.100866298},
    {50, 3.638343977, 4.196712584, 3.395971122},     {100, 3.810087572, 4.340470269, 3.581494389},
    {150, 3.898372611, 4.408550675, 3.678664134},    {200, 3.956458293, 4.450932001, 3.743341764},
    {500, 4.120567234, 4.559096955, 3.929658097},    {1000, 4.227482630, 4.619177929, 4.054257099},
    {10000, 4.508650551, 4.728675354, 4.396945491},
};

TEST(Corrected, MatchesTheTableAtThreeLevels)
{
    for (const CorrectedRow& row : CORRECTED_TABLE) {
        EXPECT_NEAR(corrected(row.n, 0.05), row.at_05, NINE_DECIMALS) << "n = " << row.n;
        EXPECT_NEAR(corrected(row.n, 0.01), row.at_01, NINE_DECIMALS) << "n = " << row.n;
        EXPECT_NEAR(corrected(row.n, 0.1), row.at_10, NINE_DECIMALS) << "n = " << row.n;
    }
}

TEST(Corrected, TurnsDownAtLargeCountsForSmallLevels)
{
    EXPECT_NEAR(corrected(461, 0.001), 5.180240818, NINE_DECIMALS);
    EXPECT_NEAR(corrected(1000, 0.001), 5.164787677, NINE_DECIMALS);
    EXPECT_NEAR(corrected(10000, 0.001), 4.987072466, NINE_DECIMALS);
    EXPECT_GT(corrected(461, 0.001), corrected(400, 0.001));
    EXPECT_GT(corrected(461, 0.001), corrected(600, 0.001));
    EXPECT_LT(corrected(3000000, 0.05), corrected(3000001, 0.05));
}

TEST(Corrected, OneObservationIsTheTwoSidedNormalValue)
{
    for (const double alpha : {0.1, 0.05, 0.01, 0.001, 1e-10}) {
        const double p = 1.0 - 0.5 * alpha;
        std::int32_t fault = 1;
        EXPECT_EQ(corrected(1, alpha), normal_quantile(&p, &fault)) << alpha;
        EXPECT_EQ(fault, 0);
    }
}

TEST(Corrected, MeetsItsAnchorsUpToRounding)
{
    // The fitted curve passes through its anchors in exact arithmetic; the
    // solve and the evaluation, each rounded step by step, leave at most 15
    // units in the last place (about 7e-15) for alpha in (0, 0.1].
    constexpr double ROUNDING = 1e-14;
    double worst = 0.0;
    for (int k = 1; k <= 1000; ++k) {
        const double alpha = k * 1e-4;
        const double p = (std::sqrt(1.0 - alpha) + 1.0) * 0.5;
        std::int32_t fault = 1;
        const double two = normal_quantile(&p, &fault);
        ASSERT_EQ(fault, 0);
        worst = std::max({worst, std::fabs(corrected(2, alpha) - two),
                          std::fabs(corrected(100, alpha) - ljung(100, alpha)),
                          std::fabs(corrected(200, alpha) - ljung(200, alpha))});
    }
    EXPECT_LT(worst, ROUNDING);
    EXPECT_GT(worst, 0.0);  // rounded, not exact: the fit is really computed
}

TEST(Corrected, LiesBelowAndAboveLjungWhereTheCurvesCross)
{
    for (const double alpha : {0.1, 0.05, 0.01}) {
        for (const std::int32_t n : {3, 10, 50, 99}) {
            EXPECT_LT(corrected(n, alpha), ljung(n, alpha)) << n << ", " << alpha;
        }
        for (const std::int32_t n : {101, 150, 199}) {
            EXPECT_GT(corrected(n, alpha), ljung(n, alpha)) << n << ", " << alpha;
        }
        for (const std::int32_t n : {201, 1000, 1000000}) {
            EXPECT_LT(corrected(n, alpha), ljung(n, alpha)) << n << ", " << alpha;
        }
    }
}

// -- Inputs without a value ----------------------------------------------------

TEST(NoValue, IsAnsweredWithTheMissingValueItself)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::int32_t min = std::numeric_limits<std::int32_t>::min();
    struct Case {
        const char* what;
        std::int32_t n;
        double alpha;
        bool ljung_missing, corrected_missing;
    };
    const Case cases[] = {
        {"one observation", 1, 0.05, true, false},
        {"no observations", 0, 0.05, true, true},
        {"negative count", -1, 0.05, true, true},
        {"most negative count", min, 0.05, true, true},
        {"alpha zero", 100, 0.0, true, true},
        {"alpha minus zero", 100, -0.0, true, true},
        {"alpha zero, one observation", 1, 0.0, true, true},
        {"alpha NaN", 100, nan, true, true},
        {"alpha NaN, one observation", 1, nan, true, true},
        {"alpha NaN, no observations", 0, nan, true, true},
        // sqrt(1 + alpha) rounds to 1: Ljung's value would be +infinity,
        // and the corrected anchor's probability rounds to 1 as well.
        {"alpha 1e-17", 100, 1e-17, true, true},
        {"alpha 2.5e-16", 100, 2.5e-16, true, true},
        {"alpha subnormal", 100, std::numeric_limits<double>::denorm_min(), true, true},
        {"negative alpha", 100, -0.01, true, true},
        // Levels far outside the host's range have no value either.
        {"alpha 3", 100, 3.0, true, true},
        {"alpha infinite", 100, std::numeric_limits<double>::infinity(), true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(is_missing_value(ljung(c.n, c.alpha)), c.ljung_missing) << c.what;
        EXPECT_EQ(is_missing_value(corrected(c.n, c.alpha)), c.corrected_missing) << c.what;
    }
}

TEST(NoValue, EveryOtherAnswerIsFinite)
{
    // Counts across the whole 32-bit range, levels across [0, 0.1] and NaN:
    // a value is either finite or exactly the missing value.
    std::vector<std::int32_t> counts = {std::numeric_limits<std::int32_t>::min(), -2, -1, 0, 1, 2, 3};
    for (std::int64_t n = 4; n <= std::numeric_limits<std::int32_t>::max(); n = n * 3 + 1) {
        counts.push_back(static_cast<std::int32_t>(n));
    }
    counts.push_back(std::numeric_limits<std::int32_t>::max());
    std::vector<double> levels = {0.0, -0.0, std::numeric_limits<double>::denorm_min(), 1e-300, 1e-17,
                                  std::numeric_limits<double>::quiet_NaN(), 0.1,
                                  std::nextafter(0.1, 0.0)};
    for (int i = 1; i <= 100; ++i) {
        levels.push_back(0.001 * i);
    }
    for (const std::int32_t n : counts) {
        for (const double alpha : levels) {
            for (const double value : {ljung(n, alpha), corrected(n, alpha)}) {
                EXPECT_TRUE(std::isfinite(value) || is_missing_value(value)) << n << ", " << alpha;
            }
        }
    }
}

TEST(Constant, IsTheLiteralNotTheComputedLogarithm)
{
    EXPECT_EQ(std::bit_cast<std::uint64_t>(K), 0x40043F89A3F56A5Eu);
    EXPECT_NE(K, std::log(4.0 * 3.141592653589793));
}

}  // namespace

// The scaled-pivoting solver: pivot choice, singularity, tolerance, and
// inputs left untouched.
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cv/critical_value.h"
#include "numeric/linear_solver.h"
#include "numeric/pivot_test.h"
#include "numeric/normal_quantile.h"

namespace {

constexpr double UNTOUCHED = -12345.0;

struct System {
    std::string name;
    int n;
    std::vector<std::vector<double>> rows;  // rows of A
    std::vector<double> b;
    std::int32_t expected_flag;
    std::vector<double> expected_x;  // exact solution when flag 1 and exact
};

struct Outcome {
    std::int32_t flag = -1;
    std::array<double, 3> x{UNTOUCHED, UNTOUCHED, UNTOUCHED};
};

// Stores the rows column-major with leading dimension lda, solves, and checks
// that A, b, n and lda come back bit for bit.
Outcome solve(const System& system, int lda)
{
    std::vector<double> a(static_cast<std::size_t>(lda * system.n), 99.0);
    for (int i = 0; i < system.n; ++i) {
        for (int j = 0; j < system.n; ++j) {
            a[static_cast<std::size_t>(i + j * lda)] = system.rows[i][j];
        }
    }
    const std::vector<double> a_before = a;
    const std::vector<double> b_before = system.b;
    std::vector<double> b = system.b;
    const std::int32_t n = system.n;
    const std::int32_t ld = lda;
    Outcome outcome;
    solve_linear_system(&n, a.data(), b.data(), &ld, outcome.x.data(), &outcome.flag);
    EXPECT_EQ(std::memcmp(a.data(), a_before.data(), a.size() * sizeof(double)), 0) << system.name;
    EXPECT_EQ(std::memcmp(b.data(), b_before.data(), b.size() * sizeof(double)), 0) << system.name;
    EXPECT_EQ(n, system.n);
    EXPECT_EQ(ld, lda);
    return outcome;
}

class SolverCases : public ::testing::TestWithParam<System> {};

TEST_P(SolverCases, GivesTheExpectedFlagAndSolution)
{
    const System& system = GetParam();
    for (const int lda : {system.n, 3, 5}) {
        if (lda < system.n) {
            continue;
        }
        const Outcome outcome = solve(system, lda);
        ASSERT_EQ(outcome.flag, system.expected_flag) << system.name << ", lda " << lda;
        for (int i = 0; i < 3; ++i) {
            if (system.expected_flag == 2 || i >= system.n) {
                EXPECT_EQ(outcome.x[i], UNTOUCHED) << system.name << ": x(" << i + 1 << ") written";
            } else if (!system.expected_x.empty()) {
                EXPECT_EQ(outcome.x[i], system.expected_x[i]) << system.name << ": x(" << i + 1 << ")";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SolverCases,
    ::testing::Values(
        System{"OneByOne", 1, {{4}}, {2}, 1, {0.5}},
        // Row 2 scales to (1, 1 | 2) and wins the pivot although 2 > 1 unscaled.
        System{"ScalingDecidesThePivot", 2, {{2, 1000}, {1, 1}}, {1002, 2}, 1, {1, 1}},
        System{"TieKeepsTheLowerRow", 2, {{1, 1}, {-1, 1}}, {2, 0}, 1, {1, 1}},
        System{"Interchange", 2, {{0, 1}, {1, 0}}, {1, 2}, 1, {2, 1}},
        // The tolerance applies to scaled values only.
        System{"TinyButRegularRows", 2, {{1e-30, 0}, {0, 1}}, {1e-30, 1}, 1, {1, 1}},
        System{"LastPivotBelowTolerance", 2, {{1, 2e-20}, {1, 3e-20}}, {1, 1}, 2, {}},
        System{"LastPivotAboveTolerance", 2, {{1, 2e-20}, {1, 7e-20}}, {1, 1}, 1, {1, 0}},
        System{"EqualRows", 3, {{1, 2, 3}, {1, 2, 3}, {0, 1, 5}}, {1, 2, 3}, 2, {}},
        System{"FirstColumnOfZeros", 2, {{0, 1}, {0, 2}}, {1, 2}, 2, {}},
        System{"RowOfZeros", 3, {{1, 2, 3}, {0, 0, 0}, {0, 1, 5}}, {1, 2, 3}, 2, {}},
        System{"ZeroCoefficient", 1, {{0}}, {1}, 2, {}},
        // Singular in exact arithmetic; rounding leaves a last pivot near 1.9e-16.
        System{"SingularOnlyInExactArithmetic", 3, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, {1, 1, 1}, 1, {}}),
    [](const ::testing::TestParamInfo<System>& param) { return param.param.name; });

TEST(Solver, OrdersOutsideOneToThreeAreRefused)
{
    const double a[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const double b[4] = {1, 1, 1, 1};
    for (const std::int32_t n : {0, -1, 4, std::numeric_limits<std::int32_t>::max(),
                                 std::numeric_limits<std::int32_t>::min()}) {
        const std::int32_t lda = 4;
        double x[4] = {UNTOUCHED, UNTOUCHED, UNTOUCHED, UNTOUCHED};
        std::int32_t flag = 0;
        solve_linear_system(&n, a, b, &lda, x, &flag);
        EXPECT_EQ(flag, 2) << "n = " << n;
        EXPECT_EQ(x[0], UNTOUCHED) << "n = " << n;
    }
}

TEST(Solver, LeadingDimensionBelowTheOrderIsRefused)
{
    const double a[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    const double b[3] = {1, 1, 1};
    for (const std::int32_t lda : {2, 0, -3}) {
        const std::int32_t n = 3;
        double x[3] = {UNTOUCHED, UNTOUCHED, UNTOUCHED};
        std::int32_t flag = 0;
        solve_linear_system(&n, a, b, &lda, x, &flag);
        EXPECT_EQ(flag, 2) << "lda = " << lda;
        EXPECT_EQ(x[0], UNTOUCHED);
    }
}

TEST(Solver, CurveSystemIsRegularWithSmallResiduals)
{
    // Rows (1, g(m), s(m)) for m = 2, 100, 200, as the corrected critical
    // value builds them.
    const double sizes[3] = {2.0, 100.0, 200.0};
    double a[9];
    for (int i = 0; i < 3; ++i) {
        const double c = std::log(sizes[i]);
        const double s = std::sqrt(c + c);
        a[i] = 1.0;
        a[i + 3] = (std::log(c) + K) / (s * 2.0);
        a[i + 6] = s;
    }
    // The anchor values at alpha = 0.05.
    const double alpha = 0.05;
    const double p = (std::sqrt(1.0 - alpha) + 1.0) * 0.5;
    std::int32_t fault = 0;
    const std::int32_t m2 = 100;
    const std::int32_t m3 = 200;
    const double b[3] = {normal_quantile(&p, &fault), ljung_critical_value(&m2, &alpha),
                         ljung_critical_value(&m3, &alpha)};
    const std::int32_t n = 3;
    double x[3];
    std::int32_t flag = 0;
    solve_linear_system(&n, a, b, &n, x, &flag);
    ASSERT_EQ(flag, 1);
    for (int i = 0; i < 3; ++i) {
        const double row = a[i] * x[0] + a[i + 3] * x[1] + a[i + 6] * x[2];
        EXPECT_NEAR(row, b[i], 1e-14) << "row " << i + 1;
    }
    EXPECT_NEAR(x[0], 8.485401809, 5e-10);
    EXPECT_NEAR(x[1], -6.721936355, 5e-10);
    EXPECT_NEAR(x[2], -0.059650700, 5e-10);
}

TEST(NearlyEqual, IsAStrictAbsoluteTest)
{
    struct Case {
        double u, v;
        std::int32_t expected;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {0.0, 0.0, 1},
        {3.8339999e-20, 0.0, 1},
        {-3.8339999e-20, 0.0, 1},
        {3.834e-20, 0.0, 0},  // the tolerance itself is not below the tolerance
        {1.0, 1.0 + 1e-20, 1},  // 1 + 1e-20 rounds to 1
        {1e-16, 0.0, 0},
        {nan, 0.0, 0},
        {0.0, nan, 0},
    };
    EXPECT_EQ(std::bit_cast<std::uint64_t>(PIVOT_TOLERANCE), 0x3BE6A1C6E8D98029u);
    for (const Case& c : cases) {
        EXPECT_EQ(nearly_equal(&c.u, &c.v), c.expected) << c.u << " vs " << c.v;
    }
}

}  // namespace

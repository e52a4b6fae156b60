// The core's knowledge of the function: method names, explanations, and the
// sensible-range verdict against the built module.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/explanations.h"
#include "core/ljungcv.h"
#include "core/sensible_range.h"
#include "core/stretches.h"
#include "host/host_toolkit.h"

namespace core {
namespace {

TEST(Core, MethodNamesAreThoseTheFunctionAccepts)
{
    const std::optional<Method> C = Method::corrected;
    const std::optional<Method> L = Method::asymptotic;
    const struct {
        const char* text;
        std::optional<Method> method;
    } cases[] = {
        {"C", C},       {"corrected", C}, {" Correct ", C}, {"CoRr", C},       {"C CORR", C},  {"L", L},
        {"ljung", L},   {"  LJUNG", L},   {"L C", L},       {"l c corr", L},   {"L  C", {}},   {"", {}},
        {"   ", {}},    {"X", {}},        {"CORREC", {}},   {"CORRECTE", {}},  {"LJ", {}},     {"both", {}},
        {"\tC", {}},    {"L C CORR C", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(method_named(c.text), c.method) << "'" << c.text << "'";
    }
    EXPECT_EQ(methods_named("Both"), (std::vector<Method>{Method::corrected, Method::asymptotic}));
    EXPECT_EQ(methods_named("ljung"), std::vector<Method>{Method::asymptotic});
    EXPECT_FALSE(methods_named("either"));
}

TEST(Core, ExplanationsNameTheReason)
{
    const struct {
        double n;
        double alpha;
        Method method;
        const char* reason;
    } cases[] = {
        {-2147483648.0, 0.05, Method::corrected, "a series needs at least 1 observation"},
        {-2147483648.9, 0.05, Method::corrected, "a series needs at least 1 observation"},
        {-2147483649.0, 0.05, Method::corrected, "n does not fit a 32-bit count"},
        {2147483648.0, 0.05, Method::corrected, "n does not fit a 32-bit count"},
        {3e9, 0.05, Method::corrected, "n does not fit a 32-bit count"},
        {1.0, 0.05, Method::asymptotic, "the asymptotic method needs at least 2 observations"},
        {10.0, 0.0, Method::corrected, "at alpha = 0 the critical value is infinite"},
        {10.0, 1e-17, Method::asymptotic, "sqrt(1 + alpha) rounds to 1"},
        {10.0, std::nan(""), Method::corrected, "alpha is not a number"},
    };
    for (const auto& c : cases) {
        EXPECT_NE(explain_no_result(c.n, c.alpha, c.method).find(c.reason), std::string::npos) << c.reason;
    }
    EXPECT_EQ(explain_rejection(2, 10, 0.2, ""),
              "argument 2 (alpha = 0.2) rejected: alpha must be a level between 0 and 0.1");
    EXPECT_EQ(explain_rejection(3, 10, 0.05, "X"),
              "argument 3 (method = 'X') rejected: the method must be L, LJUNG, C, CORR, CORRECT or CORRECTED");
}

class TurnedDown : public ::testing::Test {
protected:
    ModuleSession session{CVMODULE_PATH};
    Curve corrected{session.entry(), Method::corrected};
    Curve asymptotic{session.entry(), Method::asymptotic};

    static Range at(Curve& curve, double n, double alpha)
    {
        RecentPoints points(curve);
        return assess_at(points, n, alpha).range;
    }
};

TEST_F(TurnedDown, FlagsWhereTheCurveFallsInNOrRisesWithTheLevel)
{
    const struct {
        Method method;
        double n;
        double alpha;
        Range turn;
    } cases[] = {
        {Method::corrected, 10, 0.05, Range::holds},          {Method::corrected, 10000, 0.001, Range::below_previous_n},
        {Method::corrected, 1000000, 0.001, Range::below_previous_n},    {Method::corrected, 400000, 0.05, Range::below_larger_level},
        {Method::corrected, 400000, 0.1, Range::holds},       {Method::corrected, 3, 1e-6, Range::below_previous_n},
        {Method::corrected, 1, 0.05, Range::holds},           {Method::corrected, 10, 0.0, Range::holds},
        {Method::asymptotic, 2, 0.05, Range::holds},          {Method::asymptotic, 7, 0.05, Range::below_previous_n},
        {Method::asymptotic, 8, 0.05, Range::holds},          {Method::asymptotic, 1000000, 0.001, Range::holds},
        {Method::asymptotic, 1, 0.05, Range::holds},
    };
    for (const auto& c : cases) {
        Curve& curve = c.method == Method::corrected ? corrected : asymptotic;
        EXPECT_EQ(at(curve, c.n, c.alpha), c.turn) << method_keyword(c.method) << " " << c.n << " " << c.alpha;
    }
}

TEST_F(TurnedDown, EveryLevelUpToAbout0055IsOutOfOrderAt400000)
{
    for (int k = 1; k <= 55; ++k) {
        const double alpha = k / 1000.0;
        EXPECT_NE(at(corrected, 400000, alpha), Range::holds) << alpha;
    }
    EXPECT_EQ(at(corrected, 400000, 0.06), Range::holds);
}

TEST_F(TurnedDown, ExplanationSaysWhyAndWhatItMeans)
{
    const std::string text = explain_turn_down(Range::below_larger_level, 400000, 0.05, Method::corrected);
    EXPECT_NE(text.find("n = 400000, alpha = 0.05"), std::string::npos) << text;
    EXPECT_NE(text.find("1% larger level"), std::string::npos) << text;
    EXPECT_NE(text.find("does not hold the level"), std::string::npos) << text;
}

// The batch keeps recent points so that a series finds its neighbours
// evaluated; that must never change a value, a status or a verdict.
TEST_F(TurnedDown, BatchAgreesWithOnePointAtATime)
{
    std::vector<double> n;
    std::vector<double> alpha;
    const double levels[] = {1e-6, 0.001, 0.05, 0.0999, 0.1, 0.2, 0.0};
    for (const double level : levels) {
        for (double count = -1; count <= 60; ++count) {  // a series, as a table column
            n.push_back(count);
            alpha.push_back(level);
        }
    }
    std::uint64_t state = 12345;
    for (int i = 0; i < 2000; ++i) {  // and scattered points
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        n.push_back(static_cast<double>(state >> 43));
        alpha.push_back(static_cast<double>((state >> 11) & 0xFFFF) / 65536.0 * 0.1);
    }
    for (Curve* curve : {&corrected, &asymptotic}) {
        const std::size_t count = n.size();
        std::vector<double> values(count);
        std::vector<std::int32_t> statuses(count);
        std::vector<std::int32_t> rejected(count);
        std::vector<std::int32_t> ranges(count);
        assess_many(*curve, count, n.data(), alpha.data(), values.data(), statuses.data(), rejected.data(),
                    ranges.data());
        for (std::size_t i = 0; i < count; ++i) {
            const Point alone = curve->at(n[i], alpha[i]);
            EXPECT_EQ(std::bit_cast<std::uint64_t>(values[i]), std::bit_cast<std::uint64_t>(alone.value)) << i;
            EXPECT_EQ(statuses[i], alone.status) << i;
            EXPECT_EQ(rejected[i], alone.rejected) << i;
            EXPECT_EQ(ranges[i], static_cast<std::int32_t>(at(*curve, n[i], alpha[i]))) << n[i] << " " << alpha[i];
        }
    }
}

// The stretches cover every count from 1 to the largest, in order, and each
// one's ends have its verdict.
TEST_F(TurnedDown, StretchesCoverEveryCountWithTheirVerdicts)
{
    for (Curve* curve : {&corrected, &asymptotic}) {
        for (const double alpha : {1e-6, 0.01, 0.1}) {
            const std::vector<Stretch> found = stretches(*curve, alpha);
            ASSERT_FALSE(found.empty());
            EXPECT_EQ(found.front().first, 1.0);
            EXPECT_EQ(found.back().last, 2147483647.0);
            for (std::size_t i = 0; i < found.size(); ++i) {
                if (i > 0) {
                    EXPECT_EQ(found[i].first, found[i - 1].last + 1.0);
                    EXPECT_NE(found[i].range, found[i - 1].range);
                }
                for (const double n : {found[i].first, found[i].last}) {
                    RecentPoints points(*curve);
                    const AssessedPoint assessed = assess_at(points, n, alpha);
                    const Range range = assessed.point.status == STATUS_OK ? assessed.range : Range::no_value;
                    EXPECT_EQ(range, found[i].range) << n << " " << alpha;
                }
            }
        }
    }
}

}  // namespace
}  // namespace core

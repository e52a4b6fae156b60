// The smallest levels: below about 3.3e-16 the level term of Ljung's value
// has no finite value in double precision (1 + alpha rounds so close to 1
// that 2 - sqrt(1 + alpha) is 1, and its logarithm 0), while the exact
// two-observation anchor of the corrected method already exists from about
// 2.8e-16. In between, the corrected method must still answer "no value",
// not run a missing anchor through its fit.
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "module_fixture.h"

namespace {

double next_up(double x)
{
    return std::nextafter(x, 1.0);
}

// The smallest level at which `exists` holds, by bisection over the
// patterns of positive doubles (their order is the order of their bits).
template <typename Predicate>
double smallest_level(Predicate exists)
{
    std::uint64_t below = std::bit_cast<std::uint64_t>(1e-300);
    std::uint64_t at = std::bit_cast<std::uint64_t>(1e-10);
    while (at - below > 1) {
        const std::uint64_t middle = below + (at - below) / 2;
        (exists(std::bit_cast<double>(middle)) ? at : below) = middle;
    }
    return std::bit_cast<double>(at);
}

// Ljung's level term 2 - sqrt(1 + alpha) lies strictly between 0 and 1.
bool level_term_exists(double alpha)
{
    const double v = 2.0 - std::sqrt(1.0 + alpha);
    return v > 0.0 && v < 1.0;
}

// The corrected method's first anchor, the quantile of (sqrt(1 - alpha) + 1)
// / 2, exists while that probability is below 1.
bool first_anchor_exists(double alpha)
{
    return (std::sqrt(1.0 - alpha) + 1.0) * 0.5 < 1.0;
}

class SmallestLevel : public ModuleTest {
protected:
    standin::Evaluation evaluate(double alpha, const char* method)
    {
        std::vector<standin::Argument> arguments{10.0, alpha};
        if (method != nullptr) {
            arguments.emplace_back(std::string(method));
        }
        return module.evaluate("LJUNGCV", arguments);
    }

    void expect_value(double alpha, const char* method)
    {
        const standin::Evaluation result = evaluate(alpha, method);
        EXPECT_EQ(result.status, STATUS_OK) << alpha;
        EXPECT_TRUE(std::isfinite(result.value)) << alpha;
    }

    void expect_no_value(double alpha, const char* method)
    {
        const standin::Evaluation result = evaluate(alpha, method);
        EXPECT_EQ(result.status, STATUS_NO_RESULT) << alpha;
        EXPECT_EQ(std::bit_cast<std::uint64_t>(result.value), MISSING_VALUE_BITS) << alpha;
        EXPECT_EQ(result.rejected_argument(), 0) << alpha;
    }
};

TEST_F(SmallestLevel, TheFirstAnchorExistsBeforeLjungsValue)
{
    const double ljung_from = smallest_level(level_term_exists);
    const double anchor_from = smallest_level(first_anchor_exists);
    EXPECT_LT(anchor_from, ljung_from);
    EXPECT_GT(anchor_from, 2e-16);
    EXPECT_LT(ljung_from, 4e-16);
}

TEST_F(SmallestLevel, BothMethodsHaveAValueFromLjungsSmallestLevelOn)
{
    const double ljung_from = smallest_level(level_term_exists);
    const double anchor_from = smallest_level(first_anchor_exists);
    for (const char* method : {static_cast<const char*>(nullptr), "C", "L"}) {
        SCOPED_TRACE(method == nullptr ? "two arguments" : method);
        expect_value(ljung_from, method);
        expect_value(next_up(ljung_from), method);
        expect_no_value(std::nextafter(ljung_from, 0.0), method);
        expect_no_value(anchor_from, method);
        expect_no_value(std::nextafter(anchor_from, 0.0), method);
        expect_no_value(5e-324, method);
    }
    // Levels across the window where only the first anchor exists.
    constexpr int STEPS = 64;
    for (int k = 0; k < STEPS; ++k) {
        expect_no_value(anchor_from + (ljung_from - anchor_from) * k / STEPS, nullptr);
    }
}

}  // namespace

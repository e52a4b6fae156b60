// The command's knowledge of the function: method names, count bounds,
// explanations, and the turned-down check against the built module.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "domain.h"
#include "host/host_toolkit.h"
#include "module_session.h"

namespace ljungcv {
namespace {

TEST(Domain, MethodNamesAreThoseTheFunctionAccepts)
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

TEST(Domain, CountsFitWhereTheirTruncationIsA32BitInteger)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double n;
        bool fits;
    } cases[] = {
        {-2147483648.0, true}, {-2147483648.9, true}, {-2147483649.0, false}, {2147483647.0, true},
        {2147483647.9, true},  {2147483648.0, false}, {0.0, true},            {inf, false},
        {-inf, false},         {std::nan(""), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(count_fits(c.n), c.fits) << c.n;
    }
}

TEST(Domain, ExplanationsNameTheReason)
{
    const struct {
        double n;
        double alpha;
        Method method;
        const char* reason;
    } cases[] = {
        {-2147483648.0, 0.05, Method::corrected, "a series needs at least 1 observation"},
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
    Curve corrected{session, Method::corrected};
    Curve asymptotic{session, Method::asymptotic};

    TurnDown at(Curve& curve, double n, double alpha) { return turned_down(curve, n, alpha, curve.at(n, alpha)); }
};

TEST_F(TurnedDown, FlagsWhereTheCurveFallsInNOrRisesWithTheLevel)
{
    const struct {
        Method method;
        double n;
        double alpha;
        TurnDown turn;
    } cases[] = {
        {Method::corrected, 10, 0.05, TurnDown::none},          {Method::corrected, 10000, 0.001, TurnDown::in_n},
        {Method::corrected, 1000000, 0.001, TurnDown::in_n},    {Method::corrected, 400000, 0.05, TurnDown::in_alpha},
        {Method::corrected, 400000, 0.1, TurnDown::none},       {Method::corrected, 3, 1e-6, TurnDown::in_n},
        {Method::corrected, 1, 0.05, TurnDown::none},           {Method::corrected, 10, 0.0, TurnDown::none},
        {Method::asymptotic, 2, 0.05, TurnDown::none},          {Method::asymptotic, 7, 0.05, TurnDown::in_n},
        {Method::asymptotic, 8, 0.05, TurnDown::none},          {Method::asymptotic, 1000000, 0.001, TurnDown::none},
        {Method::asymptotic, 1, 0.05, TurnDown::none},
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
        EXPECT_NE(at(corrected, 400000, alpha), TurnDown::none) << alpha;
    }
    EXPECT_EQ(at(corrected, 400000, 0.06), TurnDown::none);
}

TEST_F(TurnedDown, ExplanationSaysWhyAndWhatItMeans)
{
    const std::string text = explain_turn_down(TurnDown::in_alpha, 400000, 0.05, Method::corrected);
    EXPECT_NE(text.find("n = 400000, alpha = 0.05"), std::string::npos) << text;
    EXPECT_NE(text.find("1% larger level"), std::string::npos) << text;
    EXPECT_NE(text.find("does not hold the level"), std::string::npos) << text;
}

}  // namespace
}  // namespace ljungcv

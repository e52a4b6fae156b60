// Each input rule: an input that breaks it and the exact message.
#include "arima_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace engine {
namespace {

struct Input {
    std::vector<double> y;
    ArimaOrder order;
    std::vector<Regressor> regressors;
    FitOptions options;
};

Input base()
{
    Input input;
    for (int t = 0; t < 40; ++t)
        input.y.push_back(std::sin(t) + 0.1 * t);
    input.order = {1, 0, 0};
    return input;
}

struct Case {
    std::function<void(Input&)> change;
    const char* message;
};

TEST(ArimaChecks, EachRuleHasItsMessage)
{
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    const std::vector<Case> cases{
        // orders and period
        {[](Input& i) { i.order.p = 6; }, "p: must be from 0 to 5, got 6"},
        {[](Input& i) { i.order.d = -1; }, "d: must be from 0 to 2, got -1"},
        {[](Input& i) { i.order.Q = 9; }, "Q: must be from 0 to 5, got 9"},
        {[](Input& i) { i.order.D = 2; }, "D: must be from 0 to 1, got 2"},
        {[](Input& i) { i.order.period = 0; }, "period: must be 1 (no season) or from 2 to 366, got 0"},
        {[](Input& i) { i.order.period = 367; }, "period: must be 1 (no season) or from 2 to 366, got 367"},
        {[](Input& i) { i.order.P = 1; }, "P: must be 0 without a season (period 1), got 1"},
        {[](Input& i) { i.order.D = 1; }, "D: must be 0 without a season (period 1), got 1"},
        // options
        {[](Input& i) { i.options.max_iterations = 0; }, "max_iterations: must be from 1 to 10000, got 0"},
        {[](Input& i) { i.options.fixed_arma = std::vector<double>{0.5, 0.1}; },
         "fixed_arma: 2 values for the model's 1 ARMA coefficients"},
        {[nan](Input& i) { i.options.fixed_arma = std::vector<double>{nan}; }, "fixed_arma: a value is not finite"},
        {[](Input& i) { i.options.include_drift = true; }, "include_drift: a drift needs d + D = 1, got d + D = 0"},
        {[](Input& i) {
             i.order.d = 1;
             i.options.include_mean = true;
         },
         "include_mean: a mean needs d + D = 0 (differencing removes it), got d + D = 1"},
        // the series
        {[inf](Input& i) { i.y[3] = -inf; }, "y: value 4 is infinite"},
        {[nan](Input& i) { i.y.assign(10, nan); }, "y: every value is missing"},
        {[](Input& i) { i.y.clear(); }, "y: is empty"},
        {[](Input& i) { i.y.resize(2); },
         "y: 2 observed values are too few for this model, which needs 3 (2 coefficients + d + D*period + 1)"},
        {[](Input& i) {
             i.y.resize(15);
             i.order = {0, 1, 1, 0, 1, 1, 12};
         },
         "y: 15 observed values are too few for this model, which needs 16 (2 coefficients + d + D*period + 1)"},
        // regressors
        {[](Input& i) {
             i.regressors = {{"", std::vector<double>(40, 1.0)}};
         },
         "regressor 1: has no name"},
        {[](Input& i) {
             i.regressors = {{"ar1", std::vector<double>(40, 1.0)}};
         },
         "regressor 'ar1': the name is taken by another coefficient"},
        {[](Input& i) {
             i.regressors = {{"x", std::vector<double>(39, 1.0)}};
         },
         "regressor 'x': has 39 values, y has 40"},
        {[nan](Input& i) {
             i.regressors = {{"x", std::vector<double>(40, 1.0)}};
             i.regressors[0].values[7] = nan;
         },
         "regressor 'x': value 8 is missing (regressors must be complete)"},
        {[inf](Input& i) {
             i.regressors = {{"x", std::vector<double>(40, 1.0)}};
             i.regressors[0].values[0] = inf;
         },
         "regressor 'x': value 1 is infinite"},
        {[](Input& i) {
             i.regressors = {{"x", std::vector<double>(40, 2.5)}};
         },
         "regressor 'x': collinear with the intercept"},
        {[](Input& i) {
             i.order = {0, 1, 1};
             i.regressors = {{"level", std::vector<double>(40, 2.5)}};
         },
         "regressor 'level': is zero after differencing (d = 1, D = 0)"},
        {[](Input& i) {
             std::vector<double> a(40), b(40), c(40);
             for (int t = 0; t < 40; ++t) {
                 a[static_cast<std::size_t>(t)] = t % 3;
                 b[static_cast<std::size_t>(t)] = t % 5;
                 c[static_cast<std::size_t>(t)] = 2.0 * (t % 3) - (t % 5) + 4.0;
             }
             i.regressors = {{"a", a}, {"b", b}, {"a-b", c}};
         },
         "regressor 'a-b': collinear with the regressors before it"},
        {[](Input& i) {
             std::vector<double> a(40);
             for (int t = 0; t < 40; ++t)
                 a[static_cast<std::size_t>(t)] = t % 7;
             std::vector<double> twice = a;
             for (double& v : twice)
                 v *= -3.0;
             i.regressors = {{"a", a}, {"b", twice}};
         },
         "regressor 'b': collinear with regressor 'a'"},
    };
    for (const Case& c : cases) {
        Input input = base();
        c.change(input);
        try {
            check_fit_input(input.y, input.order, input.regressors, input.options);
            ADD_FAILURE() << "accepted; expected: " << c.message;
        } catch (const FitInputError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
    }
    // The base input itself passes.
    const Input ok = base();
    EXPECT_NO_THROW(check_fit_input(ok.y, ok.order, ok.regressors, ok.options));
}

}  // namespace
}  // namespace engine

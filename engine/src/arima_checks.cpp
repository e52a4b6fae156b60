// The fit's input rules, in the order they are checked: orders, period,
// options, the series, the regressors, the number of observations, and
// last the regressors' independence on the differenced series.
#include "arima_checks.h"

#include <cmath>
#include <set>
#include <string>

#include "polynomials.h"
#include "model_design.h"

namespace engine {

namespace {

// A column whose part not explained by the columns before it is smaller
// than this, relative to its length, is taken as their combination.
constexpr double kCollinear = 1e-8;

constexpr int kLargestArmaOrder = 5;
constexpr int kLargestPeriod = 366;
constexpr int kLargestIterations = 10000;

[[noreturn]] void fail(const std::string& message)
{
    throw FitInputError(message);
}

void check_range(const char* name, int value, int low, int high)
{
    if (value < low || value > high)
        fail(std::string(name) + ": must be from " + std::to_string(low) + " to " + std::to_string(high) + ", got " +
             std::to_string(value));
}

std::string quoted(const std::string& name)
{
    return "'" + name + "'";
}

double dot(const std::vector<double>& a, const std::vector<double>& b)
{
    double sum = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += a[i] * b[i];
    return sum;
}

// The part of x that the columns in basis (orthonormal) leave unexplained.
std::vector<double> residual(std::vector<double> x, const std::vector<std::vector<double>>& basis)
{
    for (const auto& e : basis) {
        const double c = dot(x, e);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] -= c * e[i];
    }
    return x;
}

bool explains(const std::vector<std::vector<double>>& basis, const std::vector<double>& x)
{
    const double length = std::sqrt(dot(x, x));
    const auto rest = residual(x, basis);
    return std::sqrt(dot(rest, rest)) <= kCollinear * length;
}

// Gram-Schmidt over the differenced columns, at the times where the
// differenced series has a value. A dependent column is named with the one
// earlier column it repeats, when there is one.
void check_independence(std::span<const double> y, const ArimaOrder& order, const Design& design)
{
    const Polynomial diff = differencing_operator(order.d, order.D, order.period);
    const std::vector<double> w = apply_operator(diff, y);
    std::vector<std::vector<double>> differenced, basis;
    for (const auto& column : design.columns) {
        const std::vector<double> full = apply_operator(diff, column);
        std::vector<double> kept;
        for (std::size_t t = 0; t < w.size(); ++t)
            if (!std::isnan(w[t]))
                kept.push_back(full[t]);
        differenced.push_back(std::move(kept));
    }
    for (std::size_t j = 0; j < differenced.size(); ++j) {
        const auto& x = differenced[j];
        const std::string who = design.regression_names[j] == "intercept" || design.regression_names[j] == "drift"
                                    ? "the " + design.regression_names[j]
                                    : "regressor " + quoted(design.regression_names[j]);
        if (dot(x, x) == 0.0) {
            if (order.d + order.D > 0)
                fail(who + ": is zero after differencing (d = " + std::to_string(order.d) +
                     ", D = " + std::to_string(order.D) + ")");
            fail(who + ": is zero at every observed time");
        }
        if (explains(basis, x)) {
            for (std::size_t i = 0; i < j; ++i) {
                const double length = std::sqrt(dot(differenced[i], differenced[i]));
                std::vector<std::vector<double>> one{differenced[i]};
                for (double& value : one[0])
                    value /= length;
                if (explains(one, x)) {
                    const std::string& other = design.regression_names[i];
                    fail(who + ": collinear with " +
                         (other == "intercept" || other == "drift" ? "the " + other : "regressor " + quoted(other)));
                }
            }
            fail(who + ": collinear with the regressors before it");
        }
        auto e = residual(x, basis);
        const double length = std::sqrt(dot(e, e));
        for (double& value : e)
            value /= length;
        basis.push_back(std::move(e));
    }
}

}  // namespace

void check_model(const ArimaOrder& order, const FitOptions& options)
{
    check_range("p", order.p, 0, kLargestArmaOrder);
    check_range("d", order.d, 0, 2);
    check_range("q", order.q, 0, kLargestArmaOrder);
    check_range("P", order.P, 0, kLargestArmaOrder);
    check_range("D", order.D, 0, 1);
    check_range("Q", order.Q, 0, kLargestArmaOrder);
    if (order.period != 1 && (order.period < 2 || order.period > kLargestPeriod))
        fail("period: must be 1 (no season) or from 2 to " + std::to_string(kLargestPeriod) + ", got " +
             std::to_string(order.period));
    if (order.period == 1) {
        if (order.P != 0)
            fail("P: must be 0 without a season (period 1), got " + std::to_string(order.P));
        if (order.D != 0)
            fail("D: must be 0 without a season (period 1), got " + std::to_string(order.D));
        if (order.Q != 0)
            fail("Q: must be 0 without a season (period 1), got " + std::to_string(order.Q));
    }
    check_range("max_iterations", options.max_iterations, 1, kLargestIterations);
    if (options.fixed_arma) {
        const int count = order.p + order.q + order.P + order.Q;
        const auto arma = static_cast<std::size_t>(count);
        if (options.fixed_arma->size() != arma)
            fail("fixed_arma: " + std::to_string(options.fixed_arma->size()) + " values for the model's " +
                 std::to_string(arma) + " ARMA coefficients");
        for (const double v : *options.fixed_arma)
            if (!std::isfinite(v))
                fail("fixed_arma: a value is not finite");
    }
    if (options.include_mean.value_or(false) && order.d + order.D != 0)
        fail("include_mean: a mean needs d + D = 0 (differencing removes it), got d + D = " +
             std::to_string(order.d + order.D));
    if (options.include_drift && order.d + order.D != 1)
        fail("include_drift: a drift needs d + D = 1, got d + D = " + std::to_string(order.d + order.D));
}

void check_fit_input(std::span<const double> y, const ArimaOrder& order, std::span<const Regressor> regressors,
                     const FitOptions& options)
{
    check_model(order, options);

    std::size_t observed = 0;
    for (std::size_t t = 0; t < y.size(); ++t) {
        if (std::isinf(y[t]))
            fail("y: value " + std::to_string(t + 1) + " is infinite");
        if (!std::isnan(y[t]))
            ++observed;
    }
    if (observed == 0)
        fail(y.empty() ? "y: is empty" : "y: every value is missing");

    const Design design = make_design(y.size(), order, {}, options);
    std::set<std::string> names(design.arma_names.begin(), design.arma_names.end());
    names.insert(design.regression_names.begin(), design.regression_names.end());
    names.insert({"intercept", "drift"});
    for (std::size_t j = 0; j < regressors.size(); ++j) {
        const Regressor& x = regressors[j];
        if (x.name.empty())
            fail("regressor " + std::to_string(j + 1) + ": has no name");
        if (!names.insert(x.name).second)
            fail("regressor " + quoted(x.name) + ": the name is taken by another coefficient");
        if (x.values.size() != y.size())
            fail("regressor " + quoted(x.name) + ": has " + std::to_string(x.values.size()) + " values, y has " +
                 std::to_string(y.size()));
        for (std::size_t t = 0; t < x.values.size(); ++t) {
            if (std::isnan(x.values[t]))
                fail("regressor " + quoted(x.name) + ": value " + std::to_string(t + 1) +
                     " is missing (regressors must be complete)");
            if (std::isinf(x.values[t]))
                fail("regressor " + quoted(x.name) + ": value " + std::to_string(t + 1) + " is infinite");
        }
    }

    const Design full = make_design(y.size(), order, regressors, options);
    const std::size_t coefficients = full.arma_names.size() + full.regression_names.size();
    const int lost_count = order.d + order.D * order.period;  // at most 2 + 366
    const auto lost = static_cast<std::size_t>(lost_count);
    const std::size_t needed = coefficients + lost + 1;
    if (observed < needed)
        fail("y: " + std::to_string(observed) + " observed values are too few for this model, which needs " +
             std::to_string(needed) + " (" + std::to_string(coefficients) + " coefficients + d + D*period + 1)");

    check_independence(y, order, full);
}

}  // namespace engine

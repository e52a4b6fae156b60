// The identification as a whole: the series the differencing tests read,
// the differencing, then the search over the orders.
#include "core/arima_identification.h"

#include <cmath>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include <Eigen/Dense>

#include "differencing_tests.h"

namespace core {

namespace {

// The largest differencing the tests may choose (the fit's own limits).
constexpr int MOST_DIFFERENCES = 2;
constexpr int MOST_SEASONAL_DIFFERENCES = 1;

void check_range(const char* name, int value, int low, int high)
{
    if (value < low || value > high) {
        throw ArimaInputError(std::string(name) + ": must be from " + std::to_string(low) + " to " +
                              std::to_string(high) + ", got " + std::to_string(value));
    }
}

// What the tests read: y itself, or with regressors the residuals of y's
// least-squares fit on them and a constant, over the observed times (NaN
// elsewhere), so that a known effect is not taken for a trend or a season.
std::vector<double> tested_series(std::span<const double> y, std::span<const ArimaRegressor> regressors)
{
    std::vector<double> series(y.begin(), y.end());
    if (regressors.empty()) {
        return series;
    }
    std::vector<Eigen::Index> rows;
    for (std::size_t t = 0; t < y.size(); ++t) {
        if (std::isfinite(y[t])) {
            rows.push_back(static_cast<Eigen::Index>(t));
        }
    }
    const auto m = static_cast<Eigen::Index>(rows.size());
    const auto k = static_cast<Eigen::Index>(regressors.size()) + 1;
    Eigen::MatrixXd X(m, k);
    Eigen::VectorXd v(m);
    for (Eigen::Index i = 0; i < m; ++i) {
        const auto t = static_cast<std::size_t>(rows[static_cast<std::size_t>(i)]);
        v(i) = y[t];
        X(i, 0) = 1.0;
        for (Eigen::Index j = 1; j < k; ++j) {
            const std::vector<double>& values = regressors[static_cast<std::size_t>(j - 1)].values;
            if (values.size() != y.size()) {
                throw ArimaInputError("regressors: " + regressors[static_cast<std::size_t>(j - 1)].name + " has " +
                                      std::to_string(values.size()) + " values for " + std::to_string(y.size()) +
                                      " observations");
            }
            X(i, j) = values[t];
        }
    }
    // Column pivoting copes with a regressor the constant already spans.
    const Eigen::VectorXd beta = X.colPivHouseholderQr().solve(v);
    const Eigen::VectorXd residual = v - X * beta;
    for (Eigen::Index i = 0; i < m; ++i) {
        series[static_cast<std::size_t>(rows[static_cast<std::size_t>(i)])] = residual(i);
    }
    return series;
}

}  // namespace

void check_identification_options(int period, const IdentificationOptions& options)
{
    check_range("period", period, 1, 366);
    if (options.d) {
        check_range("d", *options.d, 0, MOST_DIFFERENCES);
    }
    if (options.D) {
        check_range("D", *options.D, 0, MOST_SEASONAL_DIFFERENCES);
        if (*options.D > 0 && period == 1) {
            throw ArimaInputError("D: a seasonal difference needs a period of at least 2");
        }
    }
    check_range("max_p", options.max_p, 0, 5);
    check_range("max_q", options.max_q, 0, 5);
    check_range("max_P", options.max_P, 0, 5);
    check_range("max_Q", options.max_Q, 0, 5);
    check_range("max_order", options.max_order, 0, 20);
    check_range("max_models", options.max_models, 1, 1000);
    check_range("max_iterations", options.max_iterations, 1, 10000);
}

DifferencingChoice choose_differencing(std::span<const double> y, int period,
                                       std::span<const ArimaRegressor> regressors,
                                       const IdentificationOptions& options)
{
    check_identification_options(period, options);
    DifferencingChoice choice;
    std::vector<double> series = tested_series(y, regressors);
    if (options.D) {
        choice.D = *options.D;
    } else if (period > 1) {
        choice.D = seasonal_differences(series, period, choice.seasonal_strength);
    }
    if (choice.D == 1) {
        series = lag_difference(series, static_cast<std::size_t>(period));
    }
    if (options.d) {
        choice.d = *options.d;
    } else {
        choice.kpss = kpss_differences(series, MOST_DIFFERENCES);
        choice.d = static_cast<int>(choice.kpss.size()) - 1;
    }
    return choice;
}

Identification identify_arima(std::span<const double> y, int period, std::span<const ArimaRegressor> regressors,
                              const IdentificationOptions& options)
{
    // Said once here rather than by every candidate's refusal.
    if (y.empty()) {
        throw ArimaInputError("y: is empty");
    }
    return search_orders(y, period, choose_differencing(y, period, regressors, options), regressors, options);
}

}  // namespace core

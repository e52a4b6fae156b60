// The front-ends' door to the estimator: regression with seasonal ARIMA
// errors by exact maximum likelihood. The model, its result and its input
// error are the engine's (named here under the core's names); the core adds
// its defaults, so that every front-end fits the same model from the same
// request.
#ifndef CORE_ARIMA_H
#define CORE_ARIMA_H

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "engine/arima_fit.h"

namespace core {

using ArimaOrder = engine::ArimaOrder;
using ArimaRegressor = engine::Regressor;
using ArimaFit = engine::FitResult;
using ArimaInputError = engine::FitInputError;
using ArimaStopped = engine::FitStopped;

struct ArimaOptions {
    std::optional<bool> include_mean;     // unset: a mean exactly when d + D = 0
    bool include_drift = false;           // only when d + D = 1
    int max_iterations = 100;             // of the quasi-Newton search, 1..10000
    std::optional<std::size_t> weights;   // pi and psi weights; unset: n - 1
    std::function<bool()> stop_requested; // asked between the likelihood's evaluations
    // The ARMA coefficients held, the regression alone fitted (one filter
    // pass; see engine::FitOptions).
    std::optional<std::vector<double>> fixed_arma;
    // false: no covariance or standard errors (NaN), the Hessian's cost
    // saved (see engine::FitOptions).
    bool covariance = true;
    // A rougher, cheaper search, to rank models (see engine::FitOptions).
    bool rough = false;
};

// The weights a fit carries when the caller names no count: n - 1, every lag
// the outlier statistics of a series of n values read.
std::size_t default_weight_count(std::size_t n);

// y: NaN for a missing value. Throws ArimaInputError, whose message names
// the argument and the rule, on bad input.
ArimaFit fit_arima(std::span<const double> y, const ArimaOrder& order, std::span<const ArimaRegressor> regressors,
                   const ArimaOptions& options);

// Throws the ArimaInputError fit_arima would for the order or the options,
// whatever the series: what many series fitted alike share.
void check_arima_model(const ArimaOrder& order, const ArimaOptions& options);

}  // namespace core

#endif

// The core's fit: its defaults over the engine's estimator.
#include "core/arima.h"

namespace core {

std::size_t default_weight_count(std::size_t n)
{
    return n > 0 ? n - 1 : 0;
}

namespace {

engine::FitOptions engine_options(const ArimaOptions& options, std::size_t n)
{
    engine::FitOptions fit;
    fit.include_mean = options.include_mean;
    fit.include_drift = options.include_drift;
    fit.max_iterations = options.max_iterations;
    fit.pi_weights = options.weights.value_or(default_weight_count(n));
    fit.stop_requested = options.stop_requested;
    fit.fixed_arma = options.fixed_arma;
    fit.covariance = options.covariance;
    fit.rough = options.rough;
    return fit;
}

}  // namespace

ArimaFit fit_arima(std::span<const double> y, const ArimaOrder& order, std::span<const ArimaRegressor> regressors,
                   const ArimaOptions& options)
{
    return engine::fit_arima(y, order, regressors, engine_options(options, y.size()));
}

void check_arima_model(const ArimaOrder& order, const ArimaOptions& options)
{
    engine::check_model(order, engine_options(options, 0));
}

}  // namespace core

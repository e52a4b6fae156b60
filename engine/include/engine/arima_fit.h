// Maximum-likelihood fit of a regression with seasonal ARIMA errors
//   y_t = x_t' beta + u_t,
//   phi(B) Phi(B^s) (1 - B)^d (1 - B^s)^D u_t = theta(B) Theta(B^s) a_t,  a_t ~ N(0, sigma^2),
// by the exact Gaussian likelihood (see arima_fit.cpp for the steps). The
// fit is deterministic, keeps no state between calls, and stops after a
// fixed number of iterations.
#ifndef ENGINE_ARIMA_FIT_H
#define ENGINE_ARIMA_FIT_H

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace engine {

struct ArimaOrder {
    int p = 0, d = 0, q = 0;  // 0..5, 0..2, 0..5
    int P = 0, D = 0, Q = 0;  // 0..5, 0..1, 0..5; all 0 when period is 1
    int period = 1;           // 1 (no season) or 2..366
};

struct Regressor {
    std::string name;
    std::vector<double> values;  // one per observation, none missing
};

struct FitOptions {
    // An intercept: unset gives one exactly when d + D = 0; true when
    // d + D > 0 is an input error, as the differencing removes any mean.
    std::optional<bool> include_mean;
    bool include_drift = false;  // a time trend 1..n; only when d + D = 1
    int max_iterations = 100;    // of the quasi-Newton search, 1..10000
    std::size_t pi_weights = 0;  // how many pi and psi weights the result carries
    // The ARMA coefficients (ar, ma, sar, sma, in the result's order) held at
    // these values rather than estimated, as from an earlier fit of the same
    // model: only the regression is fitted, by generalised least squares,
    // and its standard errors are sigma^2 (V' F^-1 V)^-1 with the ARMA part
    // taken as known (the ARMA's are NaN). One filter pass: a quick refit
    // after a regressor is dropped.
    std::optional<std::vector<double>> fixed_arma;
    // The covariance and standard errors from the Hessian of log L; false:
    // NaN, and the Hessian's 2 k^2 evaluations saved (a search that compares
    // candidates by their likelihood alone needs none).
    bool covariance = true;
    // A search for comparison only: a forward-difference gradient (k
    // evaluations a step, not 2 k) and a gradient tolerance of 1e-5 rather
    // than 1e-7, which leaves log L within about n 1e-10 / (its curvature)
    // of its maximum: enough to rank models by AICc, not the fit to report.
    bool rough = false;
    // Asked before every evaluation of the likelihood (milliseconds apart on
    // long series); true stops the fit with FitStopped.
    std::function<bool()> stop_requested;
};

struct FitResult {
    // ar1.., ma1.., sar1.., sma1.., then "intercept", "drift" and the caller's regressors.
    std::vector<std::string> names;
    std::vector<double> coefficients;
    std::vector<double> standard_errors;  // NaN where the Hessian gives none
    std::vector<double> covariance;       // row-major, names.size() squared
    double sigma2 = 0;                    // maximum-likelihood estimate
    double loglik = 0;
    double aic = 0, aicc = 0, bic = 0;  // sigma^2 counted as a parameter
    std::size_t nobs = 0;               // observations whose innovation enters the likelihood
    // Standardised one-step residuals v_t / sqrt(F_t) (F_t in units of sigma^2),
    // one per observation; NaN where the value is missing and for the first
    // d + D s observations (and, with missing values, the first d + D s
    // observed ones), where the differenced series has no value.
    std::vector<double> residuals;
    std::vector<double> pi_weights;   // pi_1..pi_k: e_t = y_t - sum pi_j y_{t-j}
    std::vector<double> psi_weights;  // psi_1..psi_k: y_t = e_t + sum psi_j e_{t-j}
    // An exact fit (the regressors, a mean among them, reproduce the series)
    // has converged false, a message that starts "exact fit:", sigma2 0,
    // the regression coefficients with standard errors 0, the ARMA part
    // where the search stopped (standard errors NaN) and no likelihood.
    bool converged = false;
    std::string message;  // why not, when not converged; empty otherwise
    int iterations = 0;
    int evaluations = 0;  // of the likelihood, start values' included
};

// Bad input to the fit: the message is one line naming the argument and the rule.
class FitInputError : public std::invalid_argument {
public:
    explicit FitInputError(const std::string& message) : std::invalid_argument(message) {}
};

// The fit stopped because its caller asked it to.
class FitStopped : public std::runtime_error {
public:
    FitStopped() : std::runtime_error("stopped on request") {}
};

// y: NaN for a missing value. Throws FitInputError on bad input, FitStopped
// when stop_requested says so.
FitResult fit_arima(std::span<const double> y, const ArimaOrder& order, std::span<const Regressor> regressors,
                    const FitOptions& options);

// The rules on the model and the options alone, the first the fit checks:
// throws the FitInputError fit_arima would for them, whatever the series.
void check_model(const ArimaOrder& order, const FitOptions& options);

}  // namespace engine

#endif

// The Kalman filter of the regression-with-ARMA-errors model: several data
// columns (the series and each regressor) pass through the same filter,
// whose gains do not depend on the data, so that the regression
// coefficients can be estimated by generalised least squares afterwards
// (Harvey 1989, section 3.4.2; Kohn & Ansley 1985).
//
// The likelihood is the prediction-error decomposition (Durbin & Koopman
// 2012, section 7.2):  log L = -N/2 log 2pi - 1/2 sum (log F_t + v_t^2 / F_t),
// with F_t in units of sigma^2 so that sigma^2 can be concentrated out.
#ifndef ENGINE_KALMAN_FILTER_H
#define ENGINE_KALMAN_FILTER_H

#include <cstddef>
#include <span>
#include <vector>

#include "state_space.h"

namespace engine {

// Column-major data: column j's value at time t is data[j * n + t].
struct FilterOutput {
    std::vector<double> v;  // innovations, column-major like the data; NaN where none
    std::vector<double> F;  // their variances; NaN where none
    double sum_log_F = 0;   // over the steps that enter the likelihood (and log F_inf of diffuse steps)
    std::size_t used = 0;   // number of steps whose innovation enters the likelihood
};

// A complete series (already differenced): the Chandrasekhar recursions
// (Morf, Sidhu & Kailath 1974), which carry the rank-one change of P_t
// instead of P_t itself, O(r) a step; once the change is below
// steady_tolerance the gain and F_t are held fixed. first_column is P_1's.
FilterOutput filter_complete(const ArmaStateSpace& model, std::span<const double> first_column,
                             std::span<const double> data, std::size_t n, std::size_t columns, double steady_tolerance);

// Missing values (NaN in column 0) and the differencing diff = 1 - delta_1 B
// - ... - delta_k B^k kept in the state: alpha_t = (ARMA state, u_{t-1}, ...,
// u_{t-k}), the k lags diffuse. Exact diffuse initialisation (Durbin &
// Koopman 2012, section 5.2; Koopman & Durbin 2000 for the univariate form);
// a missing value is skipped (section 4.10). P1 is the ARMA block's P_1, r x r
// row-major. O((r + k)^2) a step until P_t settles.
FilterOutput filter_diffuse(const ArmaStateSpace& model, std::span<const double> P1, std::span<const double> diff,
                            std::span<const double> data, std::size_t n, std::size_t columns, double steady_tolerance);

}  // namespace engine

#endif

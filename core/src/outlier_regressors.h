// The pieces of the outlier statistics that the locate stage shares with
// them: input checks, a type's regressor, the correlation of the residuals
// with it. Internal to the core.
#ifndef CORE_OUTLIER_REGRESSORS_H
#define CORE_OUTLIER_REGRESSORS_H

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "core/outliers.h"

namespace core::outlier_detail {

// Throw OutlierInputError naming the first residual or weight that is not
// finite, or for no residuals at all.
void check_residuals(std::span<const double> residuals);
void check_weights(std::span<const double> pi);
void check_delta(double delta);
void check_period(std::size_t period);

// The regressor of an outlier of one type at time T, x_{T+j} for j = 0, 1,
// ..., which depends on j only, and its sums of squares.
struct Regressor {
    OutlierType type = OutlierType::additive;
    std::size_t period = 0;  // the seasonal level shift's
    // x_0..x_{len-1}; the trailing zeros (after the last nonzero value, up
    // to j = n - 1) are left out, since they add nothing to a sum.
    std::vector<double> x;
    // squares[m - 1] = x_0^2 + ... + x_{m-1}^2, summed in that order.
    std::vector<double> squares;

    // sum of x_j^2 over the m = n - T values of j that fit the series.
    double sum_of_squares(std::size_t m) const { return squares[std::min(m, x.size()) - 1]; }
};

Regressor make_regressor(OutlierType type, std::span<const double> pi, double delta, std::size_t period,
                         std::size_t n);

// dot[T] = sum over j < min(n - T, x.size()) of e_{T+j} x_j, for T = 0..n-1,
// each summed in the order of j, as the formula reads.
void correlate(std::span<const double> e, std::span<const double> x, std::span<double> dot);

// The effect w(T) and the statistic tau(T) from dot[T] (see correlate).
struct Estimate {
    double effect;
    double statistic;
};
Estimate estimate(const Regressor& regressor, std::size_t n, std::size_t T, double dot, double sigma);

// default_sigma on scratch space of the residuals' size, which it reorders.
double default_sigma(std::span<const double> residuals, std::vector<double>& scratch);
// The same over the residuals whose flag in left_out is false (all, for an
// empty left_out).
double default_sigma(std::span<const double> residuals, const std::vector<bool>& left_out,
                     std::vector<double>& scratch);

}  // namespace core::outlier_detail

#endif

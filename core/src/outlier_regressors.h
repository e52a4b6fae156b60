// The pieces of the outlier statistics that the locate stage shares with
// them: input checks, a type's regressor, the correlation of the residuals
// with it. Internal to the core.
#ifndef CORE_OUTLIER_REGRESSORS_H
#define CORE_OUTLIER_REGRESSORS_H

#include <algorithm>
#include <complex>
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
// ..., which depends on j only: a head x_0..x_{H-1} as numbers, then a
// tail that past the pi weights follows a rule of its own, so that sums
// over it come from running sums of the residuals instead of one product
// per term.
struct Regressor {
    // How x_j continues for j >= H.
    enum class Tail {
        none,       // 0 (IO, AO)
        constant,   // x_{H-1} (LS: 1 - pi_1 - ... - pi_k)
        geometric,  // x_{j-1} * ratio (TC, ratio delta)
        periodic,   // x_{j-period} (SLS)
    };

    OutlierType type = OutlierType::additive;
    std::size_t period = 0;  // the seasonal level shift's
    std::vector<double> head;
    Tail tail = Tail::none;
    double ratio = 0;
    // squares[m - 1] = x_0^2 + ... + x_{m-1}^2, summed in that order, for
    // m = 1..n.
    std::vector<double> squares;
    // The head's spectrum, conjugated, when its correlation is long enough
    // to take by FFT (see fft_size); empty otherwise.
    std::vector<std::complex<double>> spectrum;

    // x_0..x_{m-1} into x (m = x.size()), the tail by its rule.
    void values(std::span<double> x) const;
    // sum of x_j^2 over the m = n - T values of j that fit the series.
    double sum_of_squares(std::size_t m) const { return squares[m - 1]; }
};

// The pi weights past which the rest cannot move a statistic: the shortest
// k' such that sum_{j > k'} |pi_j| <= PI_TAIL_TOLERANCE / n. A regressor
// then differs from the full one by at most that much at every time, and a
// statistic by at most 1e-16 times the largest residual over sigma.
inline constexpr double PI_TAIL_TOLERANCE = 1e-16;
std::size_t effective_weights(std::span<const double> pi, std::size_t n);

Regressor make_regressor(OutlierType type, std::span<const double> pi, double delta, std::size_t period,
                         std::size_t n);

// Takes the head's spectrum when its correlation with n residuals is
// cheaper by FFT than term by term.
void plan_correlation(Regressor& regressor, std::size_t n);

// The multiply-adds a correlation with n residuals costs, about.
double correlation_work(const Regressor& regressor, std::size_t n);

// dot[T] = sum over j < n - T of e_{T+j} x_j, for T = 0..n-1, for each
// regressor at once (dots[r] for regressors[r], each of n values).
void correlate(std::span<const double> e, std::span<const Regressor> regressors,
               std::span<std::vector<double>> dots);

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

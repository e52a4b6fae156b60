// A critical value calibrated for a fitted model whose innovations need not
// be normal: the 1 - alpha quantile of the largest outlier statistic that
// the locate stage's first round sees on series of the model's innovations,
// found by drawing them. Internal to the core.
//
// The statistics are scale-free (each divides by the scale of the same
// residuals) and under the fitted model the residuals are its innovations,
// so a drawn series needs no filter and no fit: its n innovations are its
// residuals, and the fit's pi weights give the regressors.
#ifndef CORE_CALIBRATED_CRITICAL_VALUE_H
#define CORE_CALIBRATED_CRITICAL_VALUE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "core/outliers.h"
#include "random_draws.h"

namespace core::calibration {

// What the first locate round tests: the fit's pi weights, the types and the
// temporary change's decay, and one flag per time, true where no residual
// exists (a missing value, the differencing's first values): those times
// are neither candidates nor evidence of the scale, as in the locate stage.
struct LocateSetup {
    std::span<const double> pi;
    OutlierTypes types;
    double delta = DEFAULT_DELTA;
    std::span<const bool> left_out;
    std::size_t period = 0;  // the seasonal level shift's
};

// Fills its span (one value per time) with a draw of the innovations.
using InnovationDraw = std::function<void(RandomDraws&, std::span<double>)>;

// The most work a calibration may take, in multiply-adds (a draw and its
// scale counted as DRAW_WORK per value): about a minute on one core at the
// 3 ns each measured. More is refused rather than left to run.
inline constexpr double MOST_WORK = 2e10;
inline constexpr double DRAW_WORK = 20;

// The work of `resamples` draws under `setup`.
double simulation_work(const LocateSetup& setup, int resamples);

// The largest |tau| over the types and the free times of each of
// `resamples` drawn series, in ascending order. Asks stop_requested (may
// be empty) before each draw; true throws OutlierStopped.
std::vector<double> simulated_maxima(const LocateSetup& setup, const InnovationDraw& draw, int resamples,
                                     std::uint64_t seed, const std::function<bool()>& stop_requested);

// The value that a share alpha of the sorted maxima exceed: the
// (B - floor(alpha B))-th smallest of B.
double upper_quantile(std::span<const double> sorted_maxima, double alpha);

struct Calibration {
    double critical_value = 0;  // at alpha
    double retention = 0;       // at the drop step's level
    double tail_dof = 0;        // the fitted nu; infinite: normal innovations
};

// Fits Student's t law to the finite `residuals` outside `censored` (times)
// and the censored ones as beyond the largest |e| of the rest, draws
// `resamples` series of t(nu) innovations (normal ones where the fit says
// normal) from the seed, and returns their maxima's quantiles at alpha and
// retention_alpha. Throws OutlierInputError naming resamples when the draws
// would take more than MOST_WORK, OutlierStopped as simulated_maxima.
Calibration calibrate(std::span<const double> residuals, std::span<const std::size_t> censored,
                      const LocateSetup& setup, double alpha,
                      double retention_alpha, int resamples, std::uint64_t seed,
                      const std::function<bool()>& stop_requested);

}  // namespace core::calibration

#endif

// The calibration's steps: for b = 1..B, draw n innovations (0 at the
// times left out), take their default scale as the locate stage does, form
// every type's statistic tau(T) at every free time with the locate stage's
// regressors and correlations (outlier_statistics.cpp gives the formulas),
// and keep the largest |tau|; sort the B maxima and read the quantile.
#include "calibrated_critical_value.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

#include "core/numbers.h"
#include "core/outlier_procedure.h"
#include "outlier_regressors.h"
#include "student_t_fit.h"

namespace core::calibration {

using outlier_detail::Regressor;

namespace {

std::vector<Regressor> regressors(const LocateSetup& setup, std::size_t n)
{
    std::vector<Regressor> result;
    for (const OutlierType type : OUTLIER_TYPES) {
        if (setup.types.contains(type)) {
            result.push_back(outlier_detail::make_regressor(type, setup.pi, setup.delta, setup.period, n));
        }
    }
    return result;
}

}  // namespace

double simulation_work(const LocateSetup& setup, int resamples)
{
    const std::size_t n = setup.left_out.size();
    double per_draw = static_cast<double>(n) * DRAW_WORK;
    for (const Regressor& regressor : regressors(setup, n)) {
        per_draw += outlier_detail::correlation_work(regressor, n) + 2.0 * static_cast<double>(n);
    }
    return per_draw * resamples;
}

std::vector<double> simulated_maxima(const LocateSetup& setup, const InnovationDraw& draw, int resamples,
                                     std::uint64_t seed, const std::function<bool()>& stop_requested)
{
    const std::size_t n = setup.left_out.size();
    const std::vector<Regressor> types = regressors(setup, n);
    const std::vector<bool> left_out(setup.left_out.begin(), setup.left_out.end());
    RandomDraws random(seed);
    std::vector<double> e(n), scratch, maxima;
    std::vector<std::vector<double>> dots(types.size());
    maxima.reserve(static_cast<std::size_t>(resamples));
    for (int b = 0; b < resamples; ++b) {
        if (stop_requested && stop_requested()) {
            throw OutlierStopped();
        }
        draw(random, e);
        for (std::size_t t = 0; t < n; ++t) {
            e[t] = left_out[t] ? 0.0 : e[t];
        }
        const double sigma = outlier_detail::default_sigma(e, left_out, scratch);
        double largest = 0.0;
        if (sigma > 0.0) {  // else a draw of mostly equal values has no statistic (not with continuous laws)
            outlier_detail::correlate(e, types, dots);
        }
        for (std::size_t r = 0; r < types.size() && sigma > 0.0; ++r) {
            if (stop_requested && stop_requested()) {
                throw OutlierStopped();
            }
            for (std::size_t T = 0; T < n; ++T) {
                if (!left_out[T]) {
                    const double tau = outlier_detail::estimate(types[r], n, T, dots[r][T], sigma).statistic;
                    // A NaN (the level shift at the last time) never counts.
                    largest = std::fabs(tau) > largest ? std::fabs(tau) : largest;
                }
            }
        }
        maxima.push_back(largest);
    }
    std::sort(maxima.begin(), maxima.end());
    return maxima;
}

double upper_quantile(std::span<const double> sorted_maxima, double alpha)
{
    const double count = static_cast<double>(sorted_maxima.size());
    // alpha B to within rounding: 0.05 * 1000 is 50.000000000000003.
    const auto above = static_cast<std::size_t>(std::floor(alpha * count + 1e-9));
    return sorted_maxima[sorted_maxima.size() - 1 - std::min(above, sorted_maxima.size() - 1)];
}

Calibration calibrate(std::span<const double> residuals, std::span<const std::size_t> censored,
                      const LocateSetup& setup, double alpha,
                      double retention_alpha, int resamples, std::uint64_t seed,
                      const std::function<bool()>& stop_requested)
{
    const double work = simulation_work(setup, resamples);
    if (work > MOST_WORK) {
        throw OutlierInputError("resamples: " + std::to_string(resamples) + " draws of " +
                                std::to_string(setup.left_out.size()) + " innovations under this model take about " +
                                format_shortest(std::round(work / 1e9)) + "e9 operations, more than the " +
                                format_shortest(MOST_WORK / 1e9) + "e9 a calibration may take; ask for fewer");
    }
    std::vector<double> exact(residuals.begin(), residuals.end());
    std::size_t beyond = 0;
    for (const std::size_t t : censored) {
        if (t < exact.size() && std::isfinite(exact[t])) {
            exact[t] = NAN;
            ++beyond;
        }
    }
    double largest = 0.0;
    for (const double e : exact) {
        largest = std::isfinite(e) ? std::max(largest, std::fabs(e)) : largest;
    }
    const StudentTFit tails = fit_student_t(exact, beyond, largest);
    const double dof = tails.dof;
    const InnovationDraw draw = [dof](RandomDraws& random, std::span<double> e) {
        std::generate(e.begin(), e.end(), [&] { return random.student_t(dof); });
    };
    const std::vector<double> maxima = simulated_maxima(setup, draw, resamples, seed, stop_requested);
    return {upper_quantile(maxima, alpha), upper_quantile(maxima, retention_alpha), dof};
}

}  // namespace core::calibration

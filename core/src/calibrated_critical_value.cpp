// The calibration's steps: for b = 1..B, draw n innovations (0 at the
// times left out), take their default scale as the locate stage does, form
// every type's statistic tau(T) at every free time (outlier_statistics.cpp
// gives the formulas) and keep the largest |tau|; sort the B maxima and
// read the quantile.
//
// A cheaper route to the same sums. Past the last nonzero pi weight pi_k a
// regressor goes on geometrically: x_{k+m} = x_k r^m, with r = 1 for the
// level shift, delta for the temporary change (and nothing past their
// regressors' length for the others). So
//
//   sum_j e_{T+j} x_j = sum_{j<k} e_{T+j} x_j + x_k G(T + k),
//   G(s) = e_s + r G(s + 1),  G(n) = 0,
//
// O(n k) per type instead of O(n^2): for an AR(p) model k = p. The sums
// differ from the locate stage's by rounding only (and by the terms of a
// temporary change's regressor after it underflows to 0).
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

// A type's regressor split at its head: x_0..x_{head-1} as they are, then
// x_head ratio^m for m = 0, 1, ... (tail 0: nothing after the head).
struct Shape {
    Regressor regressor;
    std::size_t head = 0;
    double tail = 0;
    double ratio = 0;
};

std::vector<Shape> shapes(const LocateSetup& setup, std::size_t n)
{
    // k: the last nonzero pi weight's lag.
    std::size_t k = setup.pi.size();
    while (k > 0 && setup.pi[k - 1] == 0.0) {
        --k;
    }
    std::vector<Shape> result;
    for (const OutlierType type : OUTLIER_TYPES) {
        if (!setup.types.contains(type)) {
            continue;
        }
        Shape shape;
        shape.regressor = outlier_detail::make_regressor(type, setup.pi, setup.delta, n);
        const std::size_t length = shape.regressor.x.size();
        shape.head = length;
        const bool geometric = type == OutlierType::level_shift || type == OutlierType::temporary_change;
        if (geometric && k < length) {
            shape.head = k;
            shape.tail = shape.regressor.x[k];
            shape.ratio = type == OutlierType::level_shift ? 1.0 : setup.delta;
        }
        result.push_back(std::move(shape));
    }
    return result;
}

// dot[T] = sum_j e_{T+j} x_j by the head and the geometric tail.
void correlate_by_shape(std::span<const double> e, const Shape& shape, std::vector<double>& tail_sums,
                        std::span<double> dot)
{
    const std::size_t n = e.size();
    const std::span<const double> head(shape.regressor.x.data(), std::min(shape.head, n));
    outlier_detail::correlate(e, head, dot);
    if (shape.tail == 0.0) {
        return;
    }
    tail_sums.assign(n + 1, 0.0);
    for (std::size_t s = n; s-- > 0;) {
        tail_sums[s] = e[s] + shape.ratio * tail_sums[s + 1];
    }
    for (std::size_t T = 0; T + shape.head < n; ++T) {
        dot[T] += shape.tail * tail_sums[T + shape.head];
    }
}

}  // namespace

double simulation_work(const LocateSetup& setup, int resamples)
{
    const std::size_t n = setup.left_out.size();
    double per_draw = static_cast<double>(n) * DRAW_WORK;
    for (const Shape& shape : shapes(setup, n)) {
        per_draw += static_cast<double>(n) * static_cast<double>(std::min(shape.head, n) + 2);
    }
    return per_draw * resamples;
}

std::vector<double> simulated_maxima(const LocateSetup& setup, const InnovationDraw& draw, int resamples,
                                     std::uint64_t seed, const std::function<bool()>& stop_requested)
{
    const std::size_t n = setup.left_out.size();
    const std::vector<Shape> types = shapes(setup, n);
    const std::vector<bool> left_out(setup.left_out.begin(), setup.left_out.end());
    RandomDraws random(seed);
    std::vector<double> e(n), dot(n), tail_sums, scratch, maxima;
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
        for (const Shape& shape : types) {
            if (!(sigma > 0.0)) {
                break;  // a draw of mostly equal values has no statistic (not with continuous laws)
            }
            if (stop_requested && stop_requested()) {
                throw OutlierStopped();
            }
            correlate_by_shape(e, shape, tail_sums, dot);
            for (std::size_t T = 0; T < n; ++T) {
                if (!left_out[T]) {
                    const double tau = outlier_detail::estimate(shape.regressor, n, T, dot[T], sigma).statistic;
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

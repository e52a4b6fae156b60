// The locate stage of iterative outlier detection: take the largest
// statistic over every free time and every type asked for; while it exceeds
// the critical value, keep it, take its effect out of the residuals and look
// again with the scale re-estimated from what is left. Removing an effect
// changes the residuals from its time on, so every round forms the
// statistics afresh: O(n k) or O(n log n) per type and round (see
// regressor_correlation.cpp), O(n) memory per type.
//
// The critical value is LJUNGCV(n, alpha [, method]) for the series' n, the
// threshold the largest of n statistics exceeds with probability alpha when
// there is no outlier, or one the caller gives.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "core/explanations.h"
#include "core/numbers.h"
#include "core/outliers.h"
#include "outlier_regressors.h"

namespace core {

using namespace outlier_detail;

namespace {

// The default scale of the working residuals at the times that still count
// towards it, which must be positive for a statistic to exist.
double working_sigma(std::span<const double> work, const std::vector<bool>& left_out, std::vector<double>& scratch,
                     std::size_t found, std::optional<double> fallback)
{
    const double sigma = outlier_detail::default_sigma(work, left_out, scratch);
    if (std::isfinite(sigma) && sigma > 0.0) {
        return sigma;
    }
    if (fallback) {
        return std::isfinite(*fallback) && *fallback > 0.0 ? *fallback : 0.0;
    }
    std::string why = "the residual scale (" + format_shortest(MAD_TO_SIGMA) +
                      " times the median absolute deviation from the median) is " + format_shortest(sigma);
    if (found > 0) {
        why += " once " + std::to_string(found) + (found == 1 ? " outlier is" : " outliers are") + " removed";
    }
    throw OutlierInputError(why + ": more than half the residuals are equal, so no statistic can be formed");
}

}  // namespace

void check_outlier_input(std::span<const double> residuals, std::span<const double> pi, OutlierTypes types,
                         double delta, std::size_t period)
{
    check_residuals(residuals);
    check_weights(pi);
    if (types.empty()) {
        throw OutlierInputError("no outlier type to look for");
    }
    if (types.contains(OutlierType::temporary_change)) {
        check_delta(delta);
    }
    if (types.contains(OutlierType::seasonal_level_shift)) {
        check_period(period);
    }
}

std::vector<Outlier> locate_outliers(std::span<const double> residuals, std::span<const double> pi,
                                     OutlierTypes types, double delta, std::size_t period, double critical_value,
                                     const LocateLimits& limits)
{
    check_outlier_input(residuals, pi, types, delta, period);
    if (!(std::isfinite(critical_value) && critical_value > 0.0)) {
        throw OutlierInputError("critical value " + format_shortest(critical_value) + " is not finite and positive");
    }

    const std::size_t n = residuals.size();
    std::vector<Regressor> regressors;
    for (const OutlierType type : OUTLIER_TYPES) {
        if (types.contains(type)) {
            regressors.push_back(make_regressor(type, pi, delta, period, n));
        }
    }
    std::vector<double> work(residuals.begin(), residuals.end());
    std::vector<std::vector<double>> dots(regressors.size());
    std::vector<double> path(n);
    std::vector<double> scratch;
    if (!limits.left_out.empty() && limits.left_out.size() != n) {
        throw OutlierInputError("the times left out are " + std::to_string(limits.left_out.size()) +
                                " flags, not one per residual");
    }
    // Times taken or left out: neither a candidate nor evidence of the scale.
    std::vector<bool> taken(n, false);
    std::size_t free = n;
    for (std::size_t t = 0; t < limits.left_out.size(); ++t) {
        taken[t] = limits.left_out[t];
        free -= taken[t] ? 1 : 0;
    }
    std::vector<Outlier> found;

    while (found.size() < std::min(free, limits.max_count)) {
        if (limits.stop_requested && limits.stop_requested()) {
            throw LocateStopped();
        }
        const double sigma = working_sigma(work, taken, scratch, found.size(), limits.fallback_sigma);
        if (sigma == 0.0) {
            break;  // only with a fallback of 0: nothing left to find
        }
        // The largest |tau| that exceeds the critical value; a NaN never does.
        double largest = critical_value;
        const Regressor* chosen = nullptr;
        Outlier best;
        correlate(work, regressors, dots);
        for (std::size_t r = 0; r < regressors.size(); ++r) {
            const Regressor& regressor = regressors[r];
            for (std::size_t T = 0; T < n; ++T) {
                if (taken[T]) {
                    continue;
                }
                const Estimate at = estimate(regressor, n, T, dots[r][T], sigma);
                if (std::fabs(at.statistic) > largest) {
                    largest = std::fabs(at.statistic);
                    chosen = &regressor;
                    best = {T, regressor.type, at.effect, at.statistic};
                }
            }
        }
        if (chosen == nullptr) {
            break;
        }
        found.push_back(best);
        taken[best.index] = true;
        // e_t -= w x_t for t >= T.
        const std::span<double> x(path.data(), n - best.index);
        chosen->values(x);
        for (std::size_t j = 0; j < x.size(); ++j) {
            work[best.index + j] -= best.effect * x[j];
        }
    }
    return found;
}

double outlier_critical_value(Curve& curve, std::optional<std::string_view> method_text, std::size_t n,
                              double alpha)
{
    const double count = static_cast<double>(n);
    const Point point = curve.at(count, alpha);
    if (point.status == Status::ok) {
        return point.value;
    }
    const std::string why = explain(count, alpha, method_text, point, Range::holds);
    if (point.status == Status::invalid_argument) {
        throw OutlierInputError(why);
    }
    throw NoCriticalValue(why);
}

}  // namespace core

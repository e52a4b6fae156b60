// Whether a series takes a seasonal difference: the strength of its
// seasonality in a classical additive decomposition, y = T + S + R
// (Wang, Smith & Hyndman 2006, with the decomposition of Kendall & Stuart):
//   T_t  a centred moving average over one period s: the mean of s values
//        for odd s, the 2 x s average (half weights at both ends) for even s;
//   S_k  the mean of y_t - T_t over the times of season k, centred on 0;
//   R_t  = y_t - T_t - S_{t mod s};
//   strength = max(0, 1 - Var(R) / Var(y - T)),
// over the times where the trend exists. A strength above 0.64 takes D = 1:
// the seasonal pattern then explains most of what the trend leaves.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <vector>

#include "core/arima_identification.h"
#include "differencing_tests.h"

namespace core {

namespace {

// The centred moving average at each time; NaN near the ends and where its
// window holds a missing value.
std::vector<double> centred_moving_average(std::span<const double> y, std::size_t s)
{
    const std::size_t n = y.size();
    const std::size_t m = s / 2;
    const bool even = s % 2 == 0;
    std::vector<double> trend(n, NAN);
    for (std::size_t t = m; t + m < n; ++t) {
        double sum = 0.0;
        for (std::size_t j = t - m; j <= t + m; ++j) {
            const bool end = even && (j == t - m || j == t + m);
            sum += end ? 0.5 * y[j] : y[j];
        }
        trend[t] = sum / static_cast<double>(s);  // NaN when the window holds one
    }
    return trend;
}

// Sum of squares about the mean of the finite values.
double sum_of_squares(const std::vector<double>& x)
{
    double sum = 0.0;
    std::size_t count = 0;
    for (const double v : x) {
        if (std::isfinite(v)) {
            sum += v;
            ++count;
        }
    }
    const double mean = count > 0 ? sum / static_cast<double>(count) : 0.0;
    double squares = 0.0;
    for (const double v : x) {
        if (std::isfinite(v)) {
            squares += (v - mean) * (v - mean);
        }
    }
    return squares;
}

}  // namespace

double seasonal_strength(std::span<const double> y, int period)
{
    if (period < 2) {
        return NAN;
    }
    const auto s = static_cast<std::size_t>(period);
    const auto observed = static_cast<std::size_t>(
        std::count_if(y.begin(), y.end(), [](double v) { return std::isfinite(v); }));
    if (observed < 2 * s) {
        return NAN;
    }
    const std::vector<double> trend = centred_moving_average(y, s);
    std::vector<double> detrended(y.size());
    for (std::size_t t = 0; t < y.size(); ++t) {
        detrended[t] = y[t] - trend[t];
    }
    std::vector<double> seasonal(s, 0.0);
    std::vector<std::size_t> count(s, 0);
    for (std::size_t t = 0; t < y.size(); ++t) {
        if (std::isfinite(detrended[t])) {
            seasonal[t % s] += detrended[t];
            ++count[t % s];
        }
    }
    double centre = 0.0;
    for (std::size_t k = 0; k < s; ++k) {
        if (count[k] == 0) {
            return NAN;  // a season never seen beside its trend
        }
        seasonal[k] /= static_cast<double>(count[k]);
        centre += seasonal[k];
    }
    centre /= static_cast<double>(s);
    std::vector<double> remainder(y.size());
    for (std::size_t t = 0; t < y.size(); ++t) {
        remainder[t] = detrended[t] - (seasonal[t % s] - centre);
    }
    const double total = sum_of_squares(detrended);
    if (!(total > 0.0)) {
        return 0.0;
    }
    return std::max(0.0, 1.0 - sum_of_squares(remainder) / total);
}

int seasonal_differences(std::span<const double> y, int period, double& strength)
{
    strength = seasonal_strength(y, period);
    return strength > SEASONAL_STRENGTH_THRESHOLD ? 1 : 0;
}

}  // namespace core

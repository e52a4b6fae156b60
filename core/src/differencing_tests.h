// The pieces the identification's choice of differencing is made of, shared
// by the tests of each order of differencing and the choice itself.
#ifndef CORE_DIFFERENCING_TESTS_H
#define CORE_DIFFERENCING_TESTS_H

#include <cstddef>
#include <span>
#include <vector>

#include "core/arima_identification.h"

namespace core {

// x_t - x_{t-lag} for t = lag..n-1; NaN where either value is missing.
std::vector<double> lag_difference(std::span<const double> x, std::size_t lag);

// The KPSS test on x differenced 0, 1, ... times, up to the first that does
// not reject or max_d differences: d is the result's size less 1.
std::vector<KpssTest> kpss_differences(std::span<const double> x, int max_d);

// 1 when the seasonal strength of y exceeds SEASONAL_STRENGTH_THRESHOLD,
// else 0; `strength` receives the measure (NaN where it has none).
int seasonal_differences(std::span<const double> y, int period, double& strength);

}  // namespace core

#endif

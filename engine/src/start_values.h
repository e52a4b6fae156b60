// Start values for the likelihood search: conditional sum of squares
// (Box, Jenkins, Reinsel & Ljung 2016, section 7.1.2).
#ifndef ENGINE_START_VALUES_H
#define ENGINE_START_VALUES_H

#include <span>
#include <vector>

#include "engine/arima_fit.h"

namespace engine {

struct StartValues {
    std::vector<double> unconstrained;  // ar, ma, sar, sma, each through the stationarity transform
    int evaluations = 0;
};

// w: the differenced series less its regression, complete. Starts from
// zero and minimises sum e_t^2 over t > p + P s, where
// e_t = w_t - sum phi~_j w_{t-j} - sum theta~_j e_{t-j} and e_t = 0 before,
// with at most max_iterations quasi-Newton steps. Zeros when that fails.
StartValues css_start_values(std::span<const double> w, const ArimaOrder& order, int max_iterations);

}  // namespace engine

#endif

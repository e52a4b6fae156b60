// An outlier's effect added to a series, as the outlier procedure's
// regressors read it: an AO a pulse, an LS a step, a TC a decay by the
// core's default delta, an SLS a step in the season of `at` (an IO depends
// on the model, and is not planted here).
#ifndef CVMODULE_TESTS_PLANTED_OUTLIERS_H
#define CVMODULE_TESTS_PLANTED_OUTLIERS_H

#include <cstddef>
#include <vector>

#include "core/outliers.h"

inline void plant_outlier(std::vector<double>& y, core::OutlierType type, std::size_t at, double size,
                          std::size_t period = 1)
{
    double power = 1.0;
    for (std::size_t t = at; t < y.size(); ++t) {
        switch (type) {
        case core::OutlierType::additive:
            y[t] += t == at ? size : 0.0;
            break;
        case core::OutlierType::level_shift:
            y[t] += size;
            break;
        case core::OutlierType::temporary_change:
            y[t] += size * power;
            power *= core::DEFAULT_DELTA;
            break;
        case core::OutlierType::seasonal_level_shift:
            y[t] += (t - at) % period == 0 ? size : 0.0;
            break;
        case core::OutlierType::innovational:
            break;
        }
    }
}

#endif

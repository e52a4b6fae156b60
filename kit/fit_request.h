// A model as the C interface's fit options describe it, read and checked
// once for every call that fits one (the fit and the outlier procedure).
#ifndef CVHOST_FIT_REQUEST_H
#define CVHOST_FIT_REQUEST_H

#include <span>
#include <vector>

#include "core/arima.h"
#include "cvmodule/cvhost.h"

namespace cvhost_internal {

struct FitRequest {
    std::span<const double> y;
    core::ArimaOrder order;
    std::vector<core::ArimaRegressor> regressors;
    core::ArimaOptions options;
};

// Throws core::ArimaInputError naming the field and the rule.
FitRequest request_of(const cvhost_fit_options* options);

}  // namespace cvhost_internal

#endif

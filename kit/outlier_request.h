// An outlier procedure as the C interface's options describe it, read and
// checked once for the one-series call and the batch, and the result
// object both hand out.
#ifndef CVHOST_OUTLIER_REQUEST_H
#define CVHOST_OUTLIER_REQUEST_H

#include <memory>

#include "core/outlier_procedure.h"
#include "cvmodule/cvhost.h"
#include "fit_request.h"
#include "handles.h"

namespace cvhost_internal {

struct OutlierRequest {
    FitRequest model;
    core::OutlierOptions procedure;
};

// The procedure of `options` on the series and model of `model` (the
// batch passes the options' model without its series). Throws
// core::OutlierInputError or core::ArimaInputError naming the field.
OutlierRequest outlier_request(const cvhost* host, const cvhost_outlier_options* options,
                               const cvhost_fit_options* model);

// The result object of what the procedure found.
std::unique_ptr<cvhost_outliers> outliers_of(core::OutlierResult result);

}  // namespace cvhost_internal

#endif

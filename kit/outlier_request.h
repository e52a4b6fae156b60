// An outlier procedure as the C interface's options describe it, read and
// checked once for the one-series call and the batch, and the result
// object both hand out.
#ifndef CVHOST_OUTLIER_REQUEST_H
#define CVHOST_OUTLIER_REQUEST_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>

#include "call_outcome.h"
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

// The result object of what the procedure found under `order` (the
// identified model's where the procedure identified one).
std::unique_ptr<cvhost_outliers> outliers_of(core::OutlierResult result, const core::ArimaOrder& order);

// A call that makes a result object (see made_object_call), stopped by
// core::OutlierStopped.
template <class Result, class Make>
std::int32_t procedure_call(Result** result, char* message, std::size_t message_size, Make make)
{
    return made_object_call<core::OutlierStopped>(result, "result: is NULL (the result needs somewhere to go)",
                                                  message, message_size, make);
}

}  // namespace cvhost_internal

#endif

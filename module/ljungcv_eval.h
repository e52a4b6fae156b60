#ifndef CVMODULE_CV_LJUNGCV_EVAL_H
#define CVMODULE_CV_LJUNGCV_EVAL_H

#include <cstdint>

#include "host/host_toolkit.h"
#include "host/ljungcv_function.h"

// Evaluation entry of LJUNGCV(n, alpha [, method]). Writes the critical
// value or MISSING_VALUE to *result and returns the host status.
extern "C" std::int32_t ljungcv_eval(CallFrame* frame, double* result);

#endif

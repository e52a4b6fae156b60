#ifndef CVMODULE_CV_LJUNGCV_EVAL_H
#define CVMODULE_CV_LJUNGCV_EVAL_H

#include <cstdint>

#include "host/host_toolkit.h"

// The method keywords, framed and separated by single blanks (34 bytes).
inline constexpr char METHOD_KEYWORDS[] = " L C CORR CORRECT LJUNG CORRECTED ";
inline constexpr std::int32_t METHOD_KEYWORDS_LENGTH = sizeof(METHOD_KEYWORDS) - 1;
static_assert(METHOD_KEYWORDS_LENGTH == 34);

// Evaluation entry of LJUNGCV(n, alpha [, method]). Writes the critical
// value or MISSING_VALUE to *result and returns the host status.
extern "C" std::int32_t ljungcv_eval(CallFrame* frame, double* result);

#endif

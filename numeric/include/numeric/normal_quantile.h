#ifndef CVMODULE_NUMERIC_NORMAL_QUANTILE_H
#define CVMODULE_NUMERIC_NORMAL_QUANTILE_H

#include <cstdint>

// Standard normal deviate with lower-tail probability *p (AS 111). Writes
// *fault = 0 when a deviate was computed, 1 (with result 0.0) when *p lies
// outside the open interval (0, 1).
double normal_quantile(const double* p, std::int32_t* fault);

#endif

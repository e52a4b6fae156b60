// The linear solver's test of a pivot against zero.
#ifndef CVMODULE_NUMERIC_PIVOT_TEST_H
#define CVMODULE_NUMERIC_PIVOT_TEST_H

#include <cmath>
#include <cstdint>

// Zero tolerance of the solver's pivot test, applied to row-scaled values.
inline constexpr double PIVOT_TOLERANCE = 3.834e-20;

// 1 when |*u - *v| < PIVOT_TOLERANCE, else 0 (also when either is NaN).
inline std::int32_t nearly_equal(const double* u, const double* v)
{
    return std::fabs(*u - *v) < PIVOT_TOLERANCE ? 1 : 0;
}

#endif

// The two ways of computing the critical value of an outlier test for a
// series of *n observations at significance level *alpha. Each returns a
// finite value, or MISSING_VALUE when there is none.
#ifndef CVMODULE_CV_CRITICAL_VALUE_H
#define CVMODULE_CV_CRITICAL_VALUE_H

#include <cstdint>

// Constant term of the extreme-value normalisation: ln(4 x 3.141592654),
// the logarithm of 4 pi with pi to ten digits, used as this literal. It is
// not the correctly rounded ln(4 pi) = 2.5310242469692907.
inline constexpr double K = 2.5310242470998636;

double ljung_critical_value(const std::int32_t* n, const double* alpha);
double corrected_critical_value(const std::int32_t* n, const double* alpha);

#endif
